// Arbitrary bytes as an EDF file, opened read-only the way the checker does,
// strict and lenient: judged, re-read, and its records loaded. Only the
// EDataFile family may come out; anything else is a finding.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "edf/uDataFileErrors.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"

namespace {

// At most this many records are loaded per input, to keep runs fast.
constexpr int32_t MaxRecords = 64;

// One scratch file per fuzzing process, made by mkstemp under TMPDIR (or
// /tmp) so that parallel runs and other users cannot collide with it or
// plant a file in its place; removed when the process ends.
class TScratchFile {
public:
  TScratchFile() {
    const char* Env = std::getenv("TMPDIR");
    const std::string Dir = Env && *Env ? Env : "/tmp";
    std::string Template = Dir + "/fuzz_edf_open_XXXXXX";
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

void LoadRecords(TEDFFile& file) {
  if (!file.Valid()) return;
  // Records are read without asking for the buffer first: a header alone must
  // never make the library reserve a record's memory.
  const int32_t count = std::min(file.FileInfo()->NrDataRecords(), MaxRecords);
  for (int32_t r = 0; r < count; ++r) file.ReadDataRecord(r);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TScratchFile scratch;
  scratch.Write(data, size);
  for (const bool strict : {true, false}) {
    try {
      TEDFFile file;
      file.SetFileName(scratch.Path());
      file.SetReadOnly(true);
      file.SetStrict(strict);
      file.SetActive(true);
      file.IsValid();
      LoadRecords(file);
      // The window's second look: the headers re-read, the records again.
      file.ReadHeaders();
      file.IsValid();
      LoadRecords(file);
      file.SetActive(false);
    } catch (const EDataFile&) {
      // a clean refusal of the file
    }
  }
  return 0;
}
