// File-system helpers: attribute tests, a program's base name, and the
// existence and size questions the file object asks.
#pragma once

#include <cstdint>
#include <string>

// Bits of the 16-bit attribute set that this platform can answer.
inline constexpr uint16_t faReadOnly = 0x0001;
inline constexpr uint16_t faHidden = 0x0002;
inline constexpr uint16_t faDirectory = 0x0010;
inline constexpr uint16_t faCompressed = 0x0800;

// True when every bit of Mask is set in the path's attributes. A path whose
// attributes cannot be read has none, so a mask of 0 is true for any path.
bool FileHasAttributes(const std::string& Path, uint16_t Mask);
// The file system marks the file as compressed (false where it has no such flag).
bool IsCompressedFile(const std::string& Path);

// The name after the last '\', '/' or drive ':', cut before its first '.':
// "C:\Data.old\Prog.new.exe" gives "Prog"; a path ending in a separator gives "".
std::string FileBaseName(const std::string& Path);

// The path exists and is not a directory.
bool FileExists(const std::string& Path);
// Size in bytes, or -1 when the path cannot be examined.
int64_t FileSizeOf(const std::string& Path);
