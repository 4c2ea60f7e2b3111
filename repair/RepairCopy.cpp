#include "repair/RepairCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "repair/RepairPlan.h"

namespace {

std::string Reason() { return std::strerror(errno); }

class TFile {
public:
  explicit TFile(int Fd) : FFd(Fd) {}
  ~TFile() { Close(); }
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;
  int Fd() const { return FFd; }
  // Closing reports the last deferred write errors of some file systems.
  bool Close() {
    if (FFd < 0) return true;
    const int Result = ::close(FFd);
    FFd = -1;
    return Result == 0;
  }

private:
  int FFd;
};

// Removes the temporary file on every way out but the rename.
class TTemporary {
public:
  explicit TTemporary(std::string Path) : FPath(std::move(Path)) {}
  ~TTemporary() {
    if (!FPath.empty()) ::unlink(FPath.c_str());
  }
  TTemporary(const TTemporary&) = delete;
  TTemporary& operator=(const TTemporary&) = delete;
  void Keep() { FPath.clear(); }

private:
  std::string FPath;
};

int64_t ReadFull(int Fd, char* Buffer, int64_t Count, int64_t Offset) {
  int64_t Done = 0;
  while (Done < Count) {
    const ssize_t N = ::pread(Fd, Buffer + Done, static_cast<size_t>(Count - Done), static_cast<off_t>(Offset + Done));
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) break;
    Done += N;
  }
  return Done;
}

void WriteFull(int Fd, const char* Buffer, int64_t Count, int64_t Offset, const std::string& Name) {
  for (int64_t Done = 0; Done < Count;) {
    const ssize_t N = ::pwrite(Fd, Buffer + Done, static_cast<size_t>(Count - Done), static_cast<off_t>(Offset + Done));
    if (N < 0 && errno == EINTR) continue;
    if (N < 0) throw ERepairWrite("cannot write '" + Name + "': " + Reason());
    Done += N;
  }
}

// Bytes [From, To) of the original into the copy, through a buffer, with
// the plan's field changes in place.
void CopyBlocks(int In, int Copy, int64_t From, int64_t To, const TRepairPlan& Plan, const std::string& Out) {
  if (From >= To) return;
  ::posix_fadvise(In, From, To - From, POSIX_FADV_SEQUENTIAL);
  std::vector<char> Block(static_cast<size_t>(std::min(RepairCopyBlockBytes, To - From)));
  for (int64_t Offset = From; Offset < To;) {
    const int64_t Count = std::min(static_cast<int64_t>(Block.size()), To - Offset);
    if (ReadFull(In, Block.data(), Count, Offset) != Count)
      throw ERepairWrite("'" + Plan.Path + "' ended or could not be read at byte " + std::to_string(Offset));
    ApplyFieldChanges(Plan, Offset, Block.data(), Count);
    WriteFull(Copy, Block.data(), Count, Offset, Out);
    Offset += Count;
  }
}

std::string FolderOf(const std::string& Path) {
  const size_t Slash = Path.find_last_of('/');
  if (Slash == std::string::npos) return ".";
  return Slash == 0 ? "/" : Path.substr(0, Slash);
}

std::string NameOf(const std::string& Path) {
  const size_t Slash = Path.find_last_of('/');
  return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

// The mode a newly created file gets: what the user's umask leaves of rw-rw-rw-.
mode_t NewFileMode() {
  const mode_t Mask = ::umask(0);
  ::umask(Mask);
  return 0666 & ~Mask;
}

}  // namespace

bool SameFile(const std::string& In, const std::string& Out) {
  struct stat A {};
  struct stat B {};
  return ::stat(In.c_str(), &A) == 0 && ::stat(Out.c_str(), &B) == 0 && A.st_dev == B.st_dev &&
         A.st_ino == B.st_ino;
}

void WriteRepairedCopy(const TRepairPlan& Plan, const std::string& Out) {
  if (SameFile(Plan.Path, Out))
    throw ERepairSameFile("'" + Out + "' is the original file itself: the copy must be a new file");
  struct stat Target {};
  if (::stat(Out.c_str(), &Target) == 0 && S_ISDIR(Target.st_mode))
    throw ERepairWrite("'" + Out + "' is a folder");

  // Read-only: the original's bytes and times never change.
  const TFile In(::open(Plan.Path.c_str(), O_RDONLY | O_CLOEXEC));
  if (In.Fd() < 0) throw ERepairWrite("cannot read '" + Plan.Path + "': " + Reason());
  struct stat Source {};
  std::string Head(Plan.InputHead.size(), '\0');
  if (::fstat(In.Fd(), &Source) != 0 || Source.st_size != Plan.InputSize ||
      ReadFull(In.Fd(), Head.data(), static_cast<int64_t>(Head.size()), 0) != static_cast<int64_t>(Head.size()) ||
      Head != Plan.InputHead)
    throw ERepairWrite("'" + Plan.Path + "' changed since its repair was planned");

  std::string TempName = FolderOf(Out) + "/." + NameOf(Out) + ".vellicor-XXXXXX";
  TFile Temp(::mkostemp(TempName.data(), O_CLOEXEC));
  if (Temp.Fd() < 0) throw ERepairWrite("cannot create a file in '" + FolderOf(Out) + "': " + Reason());
  TTemporary Remove(TempName);

  // The header with the changes goes through this program; the data block
  // after it is copied as it is, by the kernel where it can.
  int64_t HeadEnd = 0;
  for (const TRepairChange& C : Plan.Changes)
    if (C.Kind == TRepairChangeKind::Field) HeadEnd = std::max(HeadEnd, C.Offset + C.Length);
  HeadEnd = std::min(HeadEnd, Plan.OutputSize);
  CopyBlocks(In.Fd(), Temp.Fd(), 0, HeadEnd, Plan, Out);
  int64_t Offset = HeadEnd;
  while (Offset < Plan.OutputSize) {
    loff_t From = Offset;
    loff_t To = Offset;
    const ssize_t N = ::copy_file_range(In.Fd(), &From, Temp.Fd(), &To,
                                        static_cast<size_t>(Plan.OutputSize - Offset), 0);
    if (N < 0 && errno == EINTR) continue;
    // Not between these two files (other file systems, older kernels): by hand.
    if (N < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
      CopyBlocks(In.Fd(), Temp.Fd(), Offset, Plan.OutputSize, Plan, Out);
      break;
    }
    if (N < 0) throw ERepairWrite("cannot write '" + Out + "': " + Reason());
    if (N == 0) throw ERepairWrite("'" + Plan.Path + "' ended at byte " + std::to_string(Offset));
    Offset += N;
  }
  if (::fchmod(Temp.Fd(), NewFileMode()) != 0 || ::fsync(Temp.Fd()) != 0 || !Temp.Close())
    throw ERepairWrite("cannot write '" + Out + "': " + Reason());

  // The last guard before the copy takes the name: it must be judged as planned.
  if (const std::string Mismatch = CheckCopy(Plan, TempName); !Mismatch.empty())
    throw ERepairWrite("'" + Out + "' not written: " + Mismatch);
  if (::rename(TempName.c_str(), Out.c_str()) != 0)
    throw ERepairWrite("cannot write '" + Out + "': " + Reason());
  Remove.Keep();
  // The new name itself is only on the disk once its folder is.
  const TFile Folder(::open(FolderOf(Out).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (Folder.Fd() >= 0) ::fsync(Folder.Fd());
}
