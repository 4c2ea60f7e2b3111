// Reading JSON Lines files of any size in large blocks: memory stays that of
// the longest line, whatever the file's size, and no line may be longer than
// MaxJsonLineBytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The longest line read. vellicor-check writes far shorter ones: a night of
// 256 signals with every check gives about 0.3 MB, the most signals a header
// can announce (9999) about 13 MB, and 58 MB when every field of all of them
// is faulty and quoted. A longer line is not ours, and holding it would cost
// a few times its size.
inline constexpr int64_t MaxJsonLineBytes = int64_t{64} << 20;

// Calls OnLine with each line (without its line feed; a last line without
// one too) and its number from 1. A line longer than MaxJsonLineBytes is
// passed over unread: OnLine gets it empty, with TooLong set. "" when the
// whole file was read, else why not: the reasons a recording is not opened
// for ("not a regular file", "Is a directory", "No such file or directory",
// ...), so a pipe or a device is never read, or a read error.
std::string ForEachLine(const std::string& Path,
                        const std::function<void(std::string_view Line, int64_t Number, bool TooLong)>& OnLine);

// Line made ready for RapidJSON's in-place parse (kParseInsituFlag): copied
// into Buffer and followed by NULs, so that the reader's 16-byte scans stay
// inside the copy. nullptr when the line holds bytes that are not UTF-8 or a
// NUL (which would end the parse early): no line of ours does.
char* InsituCopy(std::string& Buffer, std::string_view Line);
