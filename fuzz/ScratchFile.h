// The scratch file of a fuzz target that hands its input to code reading a
// file by name.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// One scratch file per fuzzing process, made by mkstemp under TMPDIR (or
// /tmp) so that parallel runs and other users cannot collide with it or
// plant a file in its place; removed when the process ends.
class TScratchFile {
public:
  explicit TScratchFile(const std::string& Target) {
    const char* Env = std::getenv("TMPDIR");
    const std::string Dir = Env && *Env ? Env : "/tmp";
    std::string Template = Dir + "/" + Target + "_XXXXXX";
    FHandle = ::mkstemp(Template.data());
    if (FHandle < 0) Fail("cannot create a scratch file in " + Dir);
    FPath = Template;
  }
  ~TScratchFile() {
    ::close(FHandle);
    ::unlink(FPath.c_str());
  }
  const std::string& Path() const { return FPath; }
  // A run that cannot write its input would test nothing: stop instead.
  void Write(const uint8_t* Data, size_t Size) const {
    if (::ftruncate(FHandle, 0) != 0) Fail("cannot empty " + FPath);
    size_t Done = 0;
    while (Done < Size) {
      const ssize_t N = ::pwrite(FHandle, Data + Done, Size - Done, static_cast<off_t>(Done));
      if (N <= 0) Fail("cannot write " + FPath);
      Done += static_cast<size_t>(N);
    }
  }

private:
  [[noreturn]] static void Fail(const std::string& What) {
    std::perror(What.c_str());
    std::abort();
  }

  int FHandle = -1;
  std::string FPath;
};
