#include "repair/CopyWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "check/Finding.h"
#include "repair/TemporaryFile.h"

namespace {

std::string Reason() { return std::strerror(errno); }

std::string Quoted(const std::string& Path) { return "'" + DisplayName(Path) + "'"; }

class TFd {
public:
  explicit TFd(int Fd) : FFd(Fd) {}
  ~TFd() {
    if (FFd >= 0) ::close(FFd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return FFd; }

private:
  int FFd;
};

int64_t MTimeNs(const struct stat& S) { return int64_t{S.st_mtim.tv_sec} * 1000000000 + S.st_mtim.tv_nsec; }

std::string FolderOf(const std::string& Path) {
  const size_t Slash = Path.find_last_of('/');
  if (Slash == std::string::npos) return ".";
  return Slash == 0 ? "/" : Path.substr(0, Slash);
}

std::string NameOf(const std::string& Path) {
  const size_t Slash = Path.find_last_of('/');
  return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

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

// Copies byte ranges of IN to the same offsets of the copy.
class TCopier {
public:
  TCopier(int In, int Copy, const std::string& InName, const std::string& OutName)
      : FIn(In), FCopy(Copy), FInName(InName), FOutName(OutName) {}

  void Write(const char* Bytes, int64_t Count, int64_t Offset) const {
    for (int64_t Done = 0; Done < Count;) {
      const ssize_t N =
          ::pwrite(FCopy, Bytes + Done, static_cast<size_t>(Count - Done), static_cast<off_t>(Offset + Done));
      if (N < 0 && errno == EINTR) continue;
      if (N < 0) throw ECopyWrite("cannot write " + Quoted(FOutName) + ": " + Reason());
      Done += N;
    }
  }

  // The kernel copies large ranges where it can; a few header bytes
  // between two patches are not worth a call each way.
  void Copy(int64_t From, int64_t To) {
    if (To - From >= (int64_t{64} << 10) && FKernel) KernelCopy(From, To);
    if (From < To) Blocks(From, To);
  }

private:
  int FIn;
  int FCopy;
  const std::string& FInName;
  const std::string& FOutName;
  bool FKernel = true;
  std::string FBlock;

  [[noreturn]] void ThrowEnded(int64_t Offset) const {
    if (errno != 0)
      throw ECopyWrite("cannot read " + Quoted(FInName) + " at byte " + std::to_string(Offset) + ": " + Reason());
    throw ECopySourceChanged(Quoted(FInName) + ": the file changed during the copy: it ended at byte " +
                             std::to_string(Offset) + "; nothing written");
  }

  // Advances From past what was copied.
  void KernelCopy(int64_t& From, int64_t To) {
    while (From < To) {
      loff_t InAt = From;
      loff_t OutAt = From;
      errno = 0;
      const ssize_t N = ::copy_file_range(FIn, &InAt, FCopy, &OutAt, static_cast<size_t>(To - From), 0);
      if (N < 0 && errno == EINTR) continue;
      // Not between these two files (other file systems, older kernels).
      if (N < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
        FKernel = false;
        return;
      }
      if (N < 0) throw ECopyWrite("cannot write " + Quoted(FOutName) + ": " + Reason());
      if (N == 0) ThrowEnded(From);
      From += N;
    }
  }

  void Blocks(int64_t From, int64_t To) {
    ::posix_fadvise(FIn, From, To - From, POSIX_FADV_SEQUENTIAL);
    FBlock.resize(static_cast<size_t>(std::min(CopyBlockBytes, To - From)));
    for (int64_t Offset = From; Offset < To;) {
      const int64_t Count = std::min(static_cast<int64_t>(FBlock.size()), To - Offset);
      errno = 0;
      if (ReadFull(FIn, FBlock.data(), Count, Offset) != Count) ThrowEnded(Offset);
      Write(FBlock.data(), Count, Offset);
      Offset += Count;
    }
  }
};

void CheckPatches(const TCopyJob& Job) {
  int64_t End = 0;
  for (const TBytePatch& P : Job.Patches) {
    if (P.Offset < End || P.Offset + static_cast<int64_t>(P.Bytes.size()) > Job.OutputSize)
      throw std::invalid_argument("copy patches out of order, overlapping or past the copy's end");
    End = P.Offset + static_cast<int64_t>(P.Bytes.size());
  }
  if (Job.OutputSize < 0 || Job.OutputSize > Job.Source.Size)
    throw std::invalid_argument("a copy cannot be larger than its original");
}

// IN as the copy starts from it: as planned, and a regular file (a pipe or
// device put in its place would block or never end).
struct stat OpenedAsPlanned(int In, const TCopySource& Source) {
  struct stat Start {};
  if (::fstat(In, &Start) != 0) throw ECopyWrite("cannot read " + Quoted(Source.Path) + ": " + Reason());
  if (!S_ISREG(Start.st_mode)) throw ECopyWrite("cannot read " + Quoted(Source.Path) + ": not a regular file");
  std::string Head(Source.Head.size(), '\0');
  if (Start.st_size != Source.Size || (Source.MTimeNs >= 0 && MTimeNs(Start) != Source.MTimeNs) ||
      ReadFull(In, Head.data(), static_cast<int64_t>(Head.size()), 0) != static_cast<int64_t>(Head.size()) ||
      Head != Source.Head)
    throw ECopySourceChanged(Quoted(Source.Path) + " changed since the copy was planned; nothing written");
  return Start;
}

// The verification reads the copy by its path, which needs the owner's read
// bit even where IN (and so the copy) lacks it.
std::string VerifyCopy(const TCopyJob& Job, const TTemporaryFile& Temp) {
  if (!Job.Verify) return "";
  struct stat Copy {};
  const bool Unreadable = ::fstat(Temp.Fd(), &Copy) == 0 && (Copy.st_mode & S_IRUSR) == 0;
  if (Unreadable) ::fchmod(Temp.Fd(), (Copy.st_mode & 07777) | S_IRUSR);
  const std::string Refusal = Job.Verify(Temp.Path());
  if (Unreadable && ::fchmod(Temp.Fd(), Copy.st_mode & 07777) != 0) return "its permissions cannot be set: " + Reason();
  return Refusal;
}

}  // namespace

bool SameFile(const std::string& In, const std::string& Out) {
  struct stat A {};
  struct stat B {};
  return ::stat(In.c_str(), &A) == 0 && ::stat(Out.c_str(), &B) == 0 && A.st_dev == B.st_dev &&
         A.st_ino == B.st_ino;
}

void CheckCopyTarget(const std::string& In, const std::string& Out) {
  if (SameFile(In, Out))
    throw ECopySameFile(Quoted(Out) + " is the original file itself: the copy must be a new file");
  struct stat Target {};
  if (::lstat(Out.c_str(), &Target) == 0) {
    if (const std::string Refusal = TargetRefusal(Target, Out); !Refusal.empty()) throw ECopyWrite(Refusal);
  }
  if (NameOf(Out).empty()) throw ECopyWrite(Quoted(Out) + " is a folder's name: the copy needs a file name");
}

void WriteCopy(const TCopyJob& Job, const std::string& Out) {
  static std::mutex OneAtATime;
  const std::lock_guard<std::mutex> Lock(OneAtATime);
  CheckCopyTarget(Job.Source.Path, Out);
  struct stat Existing {};
  if (Job.NeverReplace && ::lstat(Out.c_str(), &Existing) == 0)
    throw ECopyExists(Quoted(Out) + " exists: left as it is; nothing written");
  CheckPatches(Job);
  const std::string Folder = FolderOf(Out);
  const TFd Dir(::open(Folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (Dir.Get() < 0) throw ECopyWrite("cannot create a file in " + Quoted(Folder) + ": " + Reason());
  // Read-only: the original's bytes and times never change.
  const TFd In(::open(Job.Source.Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (In.Get() < 0) throw ECopyWrite("cannot read " + Quoted(Job.Source.Path) + ": " + Reason());
  const struct stat Start = OpenedAsPlanned(In.Get(), Job.Source);

  TTemporaryFile Temp(Dir.Get(), Folder, Start.st_mode & 0777, Job.AllowUnnamed);
  TCopier Copier(In.Get(), Temp.Fd(), Job.Source.Path, Out);
  int64_t Offset = 0;
  for (const TBytePatch& P : Job.Patches) {
    Copier.Copy(Offset, P.Offset);
    Copier.Write(P.Bytes.data(), static_cast<int64_t>(P.Bytes.size()), P.Offset);
    Offset = P.Offset + static_cast<int64_t>(P.Bytes.size());
  }
  Copier.Copy(Offset, Job.OutputSize);

  if (const std::string Refusal = VerifyCopy(Job, Temp); !Refusal.empty())
    throw ECopyWrite(Quoted(Out) + " not written: " + Refusal);
  if (::fsync(Temp.Fd()) != 0) throw ECopyWrite("cannot write " + Quoted(Out) + ": " + Reason());

  // The last look at IN, once the copy is whole: a copy of a file that was
  // written meanwhile may hold a state the file never had.
  struct stat End {};
  if (::fstat(In.Get(), &End) != 0 || End.st_size != Start.st_size || MTimeNs(End) != MTimeNs(Start))
    throw ECopySourceChanged(Quoted(Job.Source.Path) + ": the file changed during the copy: " +
                             std::to_string(Start.st_size) + " bytes at the start, " + std::to_string(End.st_size) +
                             " at the end" + (End.st_size == Start.st_size ? ", its bytes rewritten" : "") +
                             "; nothing written");

  Temp.Publish(NameOf(Out), Out, !Job.NeverReplace);
  // The new name itself is only on the disk once its folder is.
  const TFd Synced(::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (Synced.Get() >= 0) ::fsync(Synced.Get());
}
