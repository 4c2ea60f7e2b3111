// The real EDF and BDF files from other projects' test suites
// (RealTestDataDir()) and what our rules make of them, for every test that
// opens them: the file object, the window and the command line. Their
// verdicts follow from the field rules: the hypnogram declares records of
// 0 s, which is no duration; the others are sound, every sample inside its
// digital range (so the data record check finds no errors in any file with a
// valid header). The EDF files' records stay below 61440 bytes and last at
// least 1 s; the BDF files' records are judged without that recommendation
// (it is EDF's), and are far below the checker's memory cap.
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
  bool Valid;              // the verdict: a valid EDF (BDF) file header, record layout included
  int64_t DataBlockBytes;  // one data record ("Datablock size = ..."); 0 without a judged layout
  std::vector<RealFault> Faults;  // empty for a valid file
  std::string Format;      // "EDF", "EDF+", "BDF" or "BDF+": the first byte, and Reserved

  bool Bdf() const { return Format.rfind("BDF", 0) == 0; }
  bool Faulty(int Field) const {
    for (const RealFault& Fault : Faults)
      if (Fault.Field == Field) return true;
    return false;
  }
};

// Every file of the table, EDF and BDF.
inline const std::vector<RealFile>& RealFiles() {
  static const std::vector<RealFile> Files = {
      {"edfio_short_psg.edf", true, 18240, {}, "EDF"},
      {"edfio_test_subsecond.edf", true, 296, {}, "EDF+"},
      {"pyedflib_test_generator.edf", true, 4514, {}, "EDF+"},
      {"pyedflib_test_legacy.edf", true, 4514, {}, "EDF"},
      {"pyedflib_test_utf8.edf", true, 308, {}, "EDF+"},
      {"sleepedf_hypnogram.edf", false, 0, {{8, "0", ""}}, "EDF+"},
      // The same recordings with 3-byte samples: 9120, 140 and 4312 samples
      // a record. The first leaves Reserved blank, so it is plain BDF.
      {"edfio_short_psg.bdf", true, 27360, {}, "BDF"},
      {"edfio_test_subsecond.bdf", true, 420, {}, "BDF+"},
      {"pyedflib_test_generator.bdf", true, 12936, {}, "BDF+"},
  };
  return Files;
}

// Paths of the .edf and .bdf files in the folder that the table does not
// know (added later): they still get a verdict and stay untouched. Sorted by
// name.
std::vector<std::string> UntabledRealFiles(const std::string& Dir);

}  // namespace testkit
