#include "repair/TemporaryFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>

#include "check/Finding.h"
#include "repair/CopyWriter.h"

namespace {

std::string Reason() { return std::strerror(errno); }

// The named temporary file the signal handler removes. Plain globals: the
// handler may touch nothing else.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = 3;
struct sigaction GPrevious[kSignalCount];
bool GInstalled[kSignalCount];
volatile sig_atomic_t GFolder = -1;
volatile sig_atomic_t GLive = 0;
char GName[32];

void OnSignal(int Signal) {
  if (GLive) ::unlinkat(GFolder, GName, 0);
  // The signal goes on to what it would have done without us (by default,
  // ending the program with the usual status) once this handler returns.
  for (int i = 0; i < kSignalCount; ++i)
    if (kSignals[i] == Signal) ::sigaction(Signal, &GPrevious[i], nullptr);
  ::raise(Signal);
}

// Blocks the three signals for the life of the object, so that a name is
// never created or dropped half-way through the handler's bookkeeping.
class TBlockSignals {
public:
  TBlockSignals() {
    sigset_t Set;
    sigemptyset(&Set);
    for (int S : kSignals) sigaddset(&Set, S);
    ::pthread_sigmask(SIG_BLOCK, &Set, &FOld);
  }
  ~TBlockSignals() { ::pthread_sigmask(SIG_SETMASK, &FOld, nullptr); }
  TBlockSignals(const TBlockSignals&) = delete;
  TBlockSignals& operator=(const TBlockSignals&) = delete;

private:
  sigset_t FOld;
};

// Called with the signals blocked.
void Arm(int Folder, const std::string& Name) {
  std::memcpy(GName, Name.c_str(), Name.size() + 1);
  GFolder = Folder;
  GLive = 1;
  for (int i = 0; i < kSignalCount; ++i) {
    struct sigaction Previous {};
    ::sigaction(kSignals[i], nullptr, &Previous);
    // A signal the user chose to ignore (nohup) stays ignored.
    GInstalled[i] = Previous.sa_handler != SIG_IGN;
    if (!GInstalled[i]) continue;
    GPrevious[i] = Previous;
    struct sigaction Action {};
    Action.sa_handler = OnSignal;
    sigemptyset(&Action.sa_mask);
    ::sigaction(kSignals[i], &Action, nullptr);
  }
}

// Called with the signals blocked.
void Disarm() {
  GLive = 0;
  for (int i = 0; i < kSignalCount; ++i)
    if (GInstalled[i]) ::sigaction(kSignals[i], &GPrevious[i], nullptr);
}

// Short, so that the temporary name never fails where OUT's own name fits.
std::string RandomName() {
  static const char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static uint64_t Counter = 0;
  unsigned char Bytes[8] = {};
  if (::getrandom(Bytes, sizeof Bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof Bytes)) {
    const uint64_t Seed = (static_cast<uint64_t>(::getpid()) << 32) + ++Counter * 0x9E3779B97F4A7C15u;
    std::memcpy(Bytes, &Seed, sizeof Bytes);
  }
  std::string Name = ".vellicor-";
  for (unsigned char B : Bytes) Name += Letters[B % (sizeof Letters - 1)];
  return Name;
}

std::string ProcPath(int Fd) { return "/proc/self/fd/" + std::to_string(Fd); }

}  // namespace

TTemporaryFile::TTemporaryFile(int FolderFd, const std::string& Folder, mode_t Mode, bool AllowUnnamed)
    : FFolder(FolderFd), FFolderName(Folder) {
  // Linking an unnamed file goes through /proc; without it the file is named.
  if (AllowUnnamed && ::access("/proc/self/fd", X_OK) == 0) {
    FFd = ::openat(FFolder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, Mode);
    if (FFd >= 0) return;
    // Only a file system without unnamed files goes on to a named one.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
      throw ECopyWrite("cannot create a file in '" + DisplayName(FFolderName) + "': " + Reason());
  }
  CreateNamed(Mode);
}

TTemporaryFile::~TTemporaryFile() {
  if (!FPublished) RemoveNamed();
  if (FFd >= 0) ::close(FFd);
}

std::string TTemporaryFile::Path() const {
  return FName.empty() ? ProcPath(FFd) : FFolderName + "/" + FName;
}

void TTemporaryFile::CreateNamed(mode_t Mode) {
  const TBlockSignals Blocked;
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    const std::string Name = RandomName();
    FFd = ::openat(FFolder, Name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, Mode);
    if (FFd >= 0) {
      FName = Name;
      Arm(FFolder, FName);
      return;
    }
    if (errno != EEXIST) break;
  }
  throw ECopyWrite("cannot create a file in '" + DisplayName(FFolderName) + "': " + Reason());
}

// An unnamed file gets a temporary name when it is to replace a file: a
// link never replaces one, a rename does.
void TTemporaryFile::LinkNamed() {
  const TBlockSignals Blocked;
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    const std::string Name = RandomName();
    if (::linkat(AT_FDCWD, ProcPath(FFd).c_str(), FFolder, Name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      FName = Name;
      Arm(FFolder, FName);
      return;
    }
    if (errno != EEXIST) break;
  }
  throw ECopyWrite("cannot create a file in '" + DisplayName(FFolderName) + "': " + Reason());
}

void TTemporaryFile::RemoveNamed() {
  if (FName.empty()) return;
  const TBlockSignals Blocked;
  ::unlinkat(FFolder, FName.c_str(), 0);
  FName.clear();
  Disarm();
}

namespace {

ECopyExists MadeMeanwhile(const std::string& ShownName) {
  return ECopyExists("'" + DisplayName(ShownName) + "' exists (made while the copy was written): left as it is");
}

}  // namespace

void TTemporaryFile::Publish(const std::string& Name, const std::string& ShownName, bool Replace) {
  const auto Failed = [&] { return ECopyWrite("cannot write '" + DisplayName(ShownName) + "': " + Reason()); };
  struct stat Target {};
  const bool Exists = ::fstatat(FFolder, Name.c_str(), &Target, AT_SYMLINK_NOFOLLOW) == 0;
  if (!Exists && errno != ENOENT) throw Failed();
  if (Exists && !Replace) throw MadeMeanwhile(ShownName);
  // Checked again at the last moment: OUT may have been made a device or a
  // link while the copy was being written.
  if (Exists) {
    if (const std::string Refusal = TargetRefusal(Target, ShownName); !Refusal.empty()) throw ECopyWrite(Refusal);
  }
  if (FName.empty()) {
    if (!Exists) {
      // A link never replaces a name: the one step that cannot lose a file
      // made meanwhile.
      if (::linkat(AT_FDCWD, ProcPath(FFd).c_str(), FFolder, Name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        FPublished = true;
        return;
      }
      if (errno != EEXIST) throw Failed();
      if (!Replace) throw MadeMeanwhile(ShownName);
      // Made meanwhile: judged as any existing OUT.
      if (::fstatat(FFolder, Name.c_str(), &Target, AT_SYMLINK_NOFOLLOW) == 0)
        if (const std::string Refusal = TargetRefusal(Target, ShownName); !Refusal.empty()) throw ECopyWrite(Refusal);
    }
    LinkNamed();
  }
  if (!Replace) return RenameNoReplace(Name, ShownName);
  const TBlockSignals Blocked;
  if (::renameat(FFolder, FName.c_str(), FFolder, Name.c_str()) != 0) throw Failed();
  FName.clear();
  Disarm();
  FPublished = true;
}

// The named file takes Name only where there is none: a rename that refuses
// an existing name, or where the file system lacks it, a link and the
// temporary name removed.
void TTemporaryFile::RenameNoReplace(const std::string& Name, const std::string& ShownName) {
  const TBlockSignals Blocked;
  if (::renameat2(FFolder, FName.c_str(), FFolder, Name.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno == EEXIST) throw MadeMeanwhile(ShownName);
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
      throw ECopyWrite("cannot write '" + DisplayName(ShownName) + "': " + Reason());
    if (::linkat(FFolder, FName.c_str(), FFolder, Name.c_str(), 0) != 0) {
      if (errno == EEXIST) throw MadeMeanwhile(ShownName);
      throw ECopyWrite("cannot write '" + DisplayName(ShownName) +
                       "': the file system can give it a name only at the risk of replacing a file made "
                       "meanwhile (" + Reason() + "); nothing written");
    }
    ::unlinkat(FFolder, FName.c_str(), 0);
  }
  FName.clear();
  Disarm();
  FPublished = true;
}

std::string TargetRefusal(const struct stat& Target, const std::string& ShownName) {
  const char* Kind = S_ISREG(Target.st_mode)    ? nullptr
                     : S_ISDIR(Target.st_mode)  ? "a folder"
                     : S_ISLNK(Target.st_mode)  ? "a symbolic link"
                     : S_ISCHR(Target.st_mode) || S_ISBLK(Target.st_mode) ? "a device"
                     : S_ISFIFO(Target.st_mode) ? "a pipe"
                                                : "not a regular file";
  if (!Kind) return "";
  return '\'' + DisplayName(ShownName) + "' is " + Kind + ": the copy only replaces a regular file";
}
