#include "support/CommandStreams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

void WriteText(std::FILE* To, const std::string& Text) {
  std::fwrite(Text.data(), 1, Text.size(), To);
  std::fflush(To);
}

bool GuardStandardStreams(const std::string& Program) {
  for (int Fd : {STDIN_FILENO, STDERR_FILENO}) {
    if (::fcntl(Fd, F_GETFD) != -1) continue;
    const int Null = ::open("/dev/null", Fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (Null >= 0 && Null != Fd) {
      ::dup2(Null, Fd);
      ::close(Null);
    }
  }
  if (::fcntl(STDOUT_FILENO, F_GETFD) != -1) return true;
  WriteText(stderr, Program + ": cannot write the report: standard output is closed\n");
  return false;
}

int UsageError(const std::string& Program, const std::string& Message, int Status) {
  WriteText(stderr, Program + ": " + Message + "\nTry '" + Program + " --help' for more information.\n");
  return Status;
}

bool StandardOutputIs(const std::string& Path) {
  struct stat Stdout {};
  struct stat File {};
  return ::fstat(STDOUT_FILENO, &Stdout) == 0 && ::stat(Path.c_str(), &File) == 0 && S_ISREG(Stdout.st_mode) &&
         Stdout.st_dev == File.st_dev && Stdout.st_ino == File.st_ino;
}

bool TStdoutReport::Print(const std::string& Text) {
  if (FError != 0) return false;
  errno = 0;
  const bool Written = std::fwrite(Text.data(), 1, Text.size(), stdout) == Text.size();
  return Wrote(std::fflush(stdout) == 0 && Written);
}

bool TStdoutReport::Wrote(bool Written) {
  if (Written || FError != 0) return Written && FError == 0;
  FError = errno != 0 ? errno : EIO;
  return false;
}

int TStdoutReport::Fail(const std::string& Done) const {
  WriteText(stderr, FProgram + ": cannot write the report to standard output: " + std::strerror(FError) + Done + "\n");
  return FLostStatus;
}
