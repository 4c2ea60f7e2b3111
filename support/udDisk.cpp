#include "support/udDisk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace {
// The 16-bit attribute set of a path, bit by bit as callers test it: read-only
// (no write permission for the owner), hidden (a dot name), directory, and
// compressed from the inode flags. A path that cannot be examined gives 0.
uint16_t FileAttributes(const std::string& Path) {
  // One statx gives both the mode and the compressed flag, without opening
  // the file (each file of a batch is opened once, by the check itself).
  struct statx Sx {};
  if (::statx(AT_FDCWD, Path.c_str(), 0, STATX_TYPE | STATX_MODE, &Sx) != 0) return 0;
  uint16_t Attributes = 0;
  if (!(Sx.stx_mode & S_IWUSR)) Attributes |= faReadOnly;
  if (S_ISDIR(Sx.stx_mode)) Attributes |= faDirectory;
  const auto Slash = Path.find_last_of('/');
  const std::string Name = Slash == std::string::npos ? Path : Path.substr(Slash + 1);
  if (Name.size() > 1 && Name[0] == '.' && Name != "..") Attributes |= faHidden;
  // The file system reports compression only where it has it (ext4, btrfs, f2fs).
  if ((Sx.stx_attributes_mask & STATX_ATTR_COMPRESSED) && (Sx.stx_attributes & STATX_ATTR_COMPRESSED))
    Attributes |= faCompressed;
  return Attributes;
}
}  // namespace

bool FileHasAttributes(const std::string& Path, uint16_t Mask) {
  if (Mask == 0) return true;
  return (FileAttributes(Path) & Mask) == Mask;
}

bool IsCompressedFile(const std::string& Path) { return FileHasAttributes(Path, faCompressed); }

std::string FileBaseName(const std::string& Path) {
  const auto Sep = Path.find_last_of("\\/:");
  std::string Name = Sep == std::string::npos ? Path : Path.substr(Sep + 1);
  const auto Dot = Name.find('.');
  if (Dot != std::string::npos) Name.erase(Dot);
  return Name;
}

bool FileExists(const std::string& Path) {
  std::error_code Ec;
  const auto Status = std::filesystem::status(Path, Ec);
  return !Ec && std::filesystem::exists(Status) && !std::filesystem::is_directory(Status);
}

int64_t FileSizeOf(const std::string& Path) {
  std::error_code Ec;
  const auto Size = std::filesystem::file_size(Path, Ec);
  return Ec ? -1 : static_cast<int64_t>(Size);
}
