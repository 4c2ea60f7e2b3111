// Arbitrary bytes as an EDF file, opened read-only the way the checker does,
// strict and lenient: judged, re-read, and its records loaded. Only the
// EDataFile family may come out; anything else is a finding.
#include <algorithm>
#include <cstdint>

#include "edf/uDataFileErrors.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "fuzz/ScratchFile.h"

namespace {

// At most this many records are loaded per input, to keep runs fast.
constexpr int32_t MaxRecords = 64;

void LoadRecords(TEDFFile& file) {
  if (!file.Valid()) return;
  // Records are read without asking for the buffer first: a header alone must
  // never make the library reserve a record's memory.
  const int32_t count = std::min(file.FileInfo()->NrDataRecords(), MaxRecords);
  for (int32_t r = 0; r < count; ++r) file.ReadDataRecord(r);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TScratchFile scratch("fuzz_edf_open");
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
