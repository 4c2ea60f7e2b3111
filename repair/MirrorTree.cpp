#include "repair/MirrorTree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "check/Finding.h"
#include "support/RecordingWalk.h"

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& Path) { return '\'' + DisplayName(Path) + '\''; }

std::string WithoutTrailingSlashes(std::string Path) {
  while (Path.size() > 1 && Path.back() == '/') Path.pop_back();
  return Path;
}

bool SameFolder(const struct stat& A, const struct stat& B) { return A.st_dev == B.st_dev && A.st_ino == B.st_ino; }

// The folders from Path (or, when it is not there yet, the nearest folder
// above it that is) up to the root, links resolved. Compared by device and
// inode, they tell nesting by any path, a bind mount included.
std::vector<struct stat> FoldersUpFrom(const std::string& Path) {
  std::string Existing = WithoutTrailingSlashes(Path);
  char* Real = nullptr;
  while ((Real = ::realpath(Existing.c_str(), nullptr)) == nullptr) {
    const size_t Slash = Existing.find_last_of('/');
    if (Slash == std::string::npos) Existing.assign(1, '.');
    else if (Slash == 0) Existing.assign(1, '/');
    else Existing.resize(Slash);
    if (Existing == "." || Existing == "/") {
      Real = ::realpath(Existing.c_str(), nullptr);
      break;
    }
  }
  std::vector<struct stat> Chain;
  if (Real == nullptr) return Chain;
  std::string Folder = Real;
  std::free(Real);
  for (;;) {
    struct stat S {};
    if (::stat(Folder.c_str(), &S) == 0) Chain.push_back(S);
    if (Folder == "/") break;
    const size_t Slash = Folder.find_last_of('/');
    Folder = Slash == 0 ? "/" : Folder.substr(0, Slash);
  }
  return Chain;
}

bool LiesIn(const std::vector<struct stat>& Chain, const struct stat& Folder) {
  return std::any_of(Chain.begin(), Chain.end(), [&](const struct stat& S) { return SameFolder(S, Folder); });
}

}  // namespace

std::string MirrorPath(const std::string& Root, const std::string& Relative) {
  const std::string R = WithoutTrailingSlashes(Root);
  if (Relative.empty()) return R;
  return R == "/" ? "/" + Relative : R + "/" + Relative;
}

std::string MirrorRefusal(const std::string& InDir, const std::string& OutDir) {
  struct stat In {};
  if (::stat(InDir.c_str(), &In) != 0) return "cannot read IN_DIR " + Quoted(InDir) + ": " + std::strerror(errno);
  if (!S_ISDIR(In.st_mode)) return "IN_DIR " + Quoted(InDir) + " is not a folder";
  struct stat Out {};
  const bool OutExists = ::stat(OutDir.c_str(), &Out) == 0;
  if (!OutExists && errno != ENOENT) return "cannot use OUT_DIR " + Quoted(OutDir) + ": " + std::strerror(errno);
  if (OutExists && !S_ISDIR(Out.st_mode)) return "OUT_DIR " + Quoted(OutDir) + " is not a folder";
  if (OutExists && SameFolder(In, Out))
    return "OUT_DIR " + Quoted(OutDir) + " is IN_DIR " + Quoted(InDir) + " itself: the copies need a folder of their own";
  // A mirror that is not there yet lies where its nearest existing folder
  // does: making it would already write there.
  if (LiesIn(FoldersUpFrom(OutDir), In))
    return "OUT_DIR " + Quoted(OutDir) + " is inside IN_DIR " + Quoted(InDir) + ": nothing is ever written under IN_DIR";
  if (OutExists && LiesIn(FoldersUpFrom(InDir), Out))
    return "IN_DIR " + Quoted(InDir) + " is inside OUT_DIR " + Quoted(OutDir) +
           ": the copies would be written among the originals";
  return "";
}

bool IsUnder(const std::string& Path, const std::string& Folder) {
  struct stat F {};
  return ::stat(Folder.c_str(), &F) == 0 && LiesIn(FoldersUpFrom(Path), F);
}

std::vector<TMirrorEntry> ListMirror(const std::string& InDir, const std::string& OutDir) {
  std::vector<TMirrorEntry> Entries;
  for (TWalkEntry& E : WalkRecordings(InDir))
    Entries.push_back({E.Relative, MirrorPath(InDir, E.Relative), MirrorPath(OutDir, E.Relative), std::move(E.Error)});
  std::sort(Entries.begin(), Entries.end(),
            [](const TMirrorEntry& A, const TMirrorEntry& B) { return A.Relative < B.Relative; });
  // Nothing to copy is not success: a mistyped folder must not pass a batch.
  if (Entries.empty()) Entries.push_back({"", MirrorPath(InDir, ""), MirrorPath(OutDir, ""), NoRecordingsError});
  return Entries;
}

bool InShare(const std::string& Relative, int Index, int Count) {
  if (Count <= 1 || Relative.empty()) return true;
  // FNV-1a: the same on every machine and compiler, unlike std::hash.
  uint64_t Hash = 14695981039346656037u;
  for (unsigned char C : Relative) Hash = (Hash ^ C) * 1099511628211u;
  return Hash % static_cast<uint64_t>(Count) == static_cast<uint64_t>(Index);
}

std::string MakeMirrorFolders(const std::string& InDir, const std::string& OutDir, const TMirrorEntry& Entry) {
  struct stat Root {};
  if (::stat(OutDir.c_str(), &Root) != 0 || !S_ISDIR(Root.st_mode)) {
    std::error_code Ec;
    fs::create_directories(OutDir, Ec);
    if (Ec && !fs::is_directory(OutDir)) return "cannot make the folder " + Quoted(OutDir) + ": " + Ec.message();
  }
  int Fd = ::open(OutDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Fd < 0) return "cannot open the folder " + Quoted(OutDir) + ": " + std::strerror(errno);
  std::string Error;
  std::string Done;
  for (size_t From = 0, Slash; Error.empty() && (Slash = Entry.Relative.find('/', From)) != std::string::npos;
       From = Slash + 1) {
    const std::string Name = Entry.Relative.substr(From, Slash - From);
    Done = Entry.Relative.substr(0, Slash);
    const std::string Shown = Quoted(MirrorPath(OutDir, Done));
    mode_t Mode = 0777;
    struct stat Original {};
    if (::stat(MirrorPath(InDir, Done).c_str(), &Original) == 0) Mode = (Original.st_mode & 0777) | S_IRWXU;
    if (::mkdirat(Fd, Name.c_str(), Mode) != 0 && errno != EEXIST) {
      Error = "cannot make the folder " + Shown + ": " + std::strerror(errno);
      break;
    }
    const int Next = ::openat(Fd, Name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (Next < 0) {
      struct stat Found {};
      if (::fstatat(Fd, Name.c_str(), &Found, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(Found.st_mode))
        Error = Shown + (S_ISLNK(Found.st_mode) ? " is a symbolic link" : " is not a folder") +
                ": copies are only written into the mirror's own folders";
      else
        Error = "cannot open the folder " + Shown + ": " + std::strerror(errno);
      break;
    }
    ::close(Fd);
    Fd = Next;
  }
  ::close(Fd);
  return Error;
}
