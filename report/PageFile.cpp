#include "report/PageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string FolderOf(const std::string& Path) {
  const size_t Slash = Path.find_last_of('/');
  if (Slash == std::string::npos) return ".";
  return Slash == 0 ? "/" : Path.substr(0, Slash);
}

std::string NameOf(const std::string& Path) {
  const size_t Slash = Path.find_last_of('/');
  return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

std::string Reason() { return std::strerror(errno); }

}  // namespace

std::string PageTargetProblem(const std::string& Path, const std::vector<std::string>& Inputs) {
  struct stat Target {};
  if (::stat(Path.c_str(), &Target) == 0) {
    if (S_ISDIR(Target.st_mode)) return "it is a folder";
    for (const std::string& In : Inputs) {
      struct stat Input {};
      if (::stat(In.c_str(), &Input) == 0 && Input.st_dev == Target.st_dev && Input.st_ino == Target.st_ino)
        return "it is one of the files read";
    }
  }
  const std::string Folder = FolderOf(Path);
  struct stat F {};
  if (::stat(Folder.c_str(), &F) != 0) return "folder '" + Folder + "': " + Reason();
  if (!S_ISDIR(F.st_mode)) return "'" + Folder + "' is not a folder";
  if (::access(Folder.c_str(), W_OK | X_OK) != 0) return "folder '" + Folder + "': " + Reason();
  return "";
}

std::string WritePageFile(const std::string& Path, const std::string& Text) {
  std::string Temp = FolderOf(Path) + "/." + NameOf(Path) + ".vellicor-XXXXXX";
  const int Fd = ::mkostemp(Temp.data(), O_CLOEXEC);
  if (Fd < 0) return "cannot create a file in '" + FolderOf(Path) + "': " + Reason();
  const mode_t Mask = ::umask(0);
  ::umask(Mask);
  bool Ok = ::fchmod(Fd, 0666 & ~Mask) == 0;
  for (size_t Done = 0; Ok && Done < Text.size();) {
    const ssize_t N = ::write(Fd, Text.data() + Done, Text.size() - Done);
    if (N < 0 && errno == EINTR) continue;
    if (N == 0) errno = ENOSPC;
    if (N <= 0)
      Ok = false;
    else
      Done += static_cast<size_t>(N);
  }
  Ok = Ok && ::fsync(Fd) == 0;
  std::string Error = Ok ? "" : Reason();
  if (::close(Fd) != 0 && Error.empty()) Error = Reason();
  if (Error.empty() && ::rename(Temp.c_str(), Path.c_str()) != 0) Error = Reason();
  if (!Error.empty()) {
    ::unlink(Temp.c_str());
    return Error;
  }
  // The new name is only on the disk once its folder is.
  const int Folder = ::open(FolderOf(Path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Folder >= 0) {
    ::fsync(Folder);
    ::close(Folder);
  }
  return "";
}
