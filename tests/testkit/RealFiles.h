// The real EDF files from other projects' test suites (RealTestDataDir()) and
// what our rules make of them, for every test that opens them: the file
// object, the window and the command line. Their verdicts follow from the
// field rules: the hypnogram declares records of 0 s, which is no duration;
// the others are sound, their records well below 61440 bytes and at least
// 1 s long, every sample inside its digital range (so the data record check
// finds no errors in any file with a valid header).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testkit {

// A general header field that breaks the rules under strict checking.
struct RealFault {
  int Field;           // 0-based, in header order ("SampleRecDuration" is 8)
  std::string Raw;     // its text, trimmed
  std::string Reason;  // the reason text of the field (the window's tool tip); may be empty
};

struct RealFile {
  std::string Name;        // in RealTestDataDir()
  bool Valid;              // the verdict: a valid EDF file header, record layout included
  int64_t DataBlockBytes;  // one data record ("Datablock size = ..."); 0 without a judged layout
  std::vector<RealFault> Faults;  // empty for a valid file

  bool Faulty(int Field) const {
    for (const RealFault& Fault : Faults)
      if (Fault.Field == Field) return true;
    return false;
  }
};

inline const std::vector<RealFile>& RealFiles() {
  static const std::vector<RealFile> Files = {
      {"edfio_short_psg.edf", true, 18240, {}},
      {"edfio_test_subsecond.edf", true, 296, {}},
      {"pyedflib_test_generator.edf", true, 4514, {}},
      {"pyedflib_test_legacy.edf", true, 4514, {}},
      {"pyedflib_test_utf8.edf", true, 308, {}},
      {"sleepedf_hypnogram.edf", false, 0, {{8, "0", ""}}},
  };
  return Files;
}

// Paths of the .edf files in the folder that the table does not know (added
// later): they still get a verdict and stay untouched. Sorted by name.
std::vector<std::string> UntabledRealFiles(const std::string& Dir);

}  // namespace testkit
