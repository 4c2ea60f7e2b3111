// The EDF+ recording of the program's tests: names in its header and in its
// annotation texts, the strings that must never be printed nor copied, and
// its variants (records cut short, already de-identified); and the checks
// its copies go through.
#pragma once

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "check/FileCheck.h"
#include "edf/uEDFLayout.h"
#include "testkit/PlusBytes.h"

namespace named {

inline const std::vector<std::string> HeaderStrings = {"MCH-0234567", "02-MAY-1951", "Haagse",     "Harry",
                                                       "ward_4",      "EMR99",       "Tech_Smith", "room7",
                                                       "02-MAR-2002", "02.03.02"};
// Found in the annotation texts by the header's tokens.
inline const std::vector<std::string> TokenStrings = {"Harry", "HAAGSE", "EMR99", "mch-0234567"};
// Found there only by the word list.
inline const std::vector<std::string> ListedStrings = {"room7", "M\xC3\xBCller"};

// Names in the header; in the annotation texts a code in lower case, an
// accented name, names after a duration and in a time-keeping TAL.
inline testkit::PlusBytes Named() {
  using testkit::Tal;
  using testkit::TimeKeeping;
  testkit::PlusBytes P = testkit::PlusBytes::Valid(3);
  P.Header.General[gfPatient] = "MCH-0234567 F 02-MAY-1951 Haagse_Harry ward_4";
  P.Header.General[gfRecording] = "Startdate 02-MAR-2002 EMR99 Tech_Smith Alice4 room7";
  P.Header.General[gfStartDate] = "02.03.02";
  P.Annotations = [](int r, int) {
    if (r == 0) return TimeKeeping("+0") + Tal("+0.5", {"Dr. M\xC3\xBCller saw mch-0234567"});
    if (r == 1) return TimeKeeping("+1") + Tal("+1.5\x15" "2", {"Harry and HAAGSE in room7"});
    return "+2\x14\x14" "EMR99 Harry\x14" + std::string(1, '\0');
  };
  return P;
}

inline testkit::PlusBytes Cut() {
  testkit::PlusBytes P = Named();
  P.Header.General[gfNrDataRecords] = "4";  // one more record than the file holds
  return P;
}

inline testkit::PlusBytes Anonymous() {
  testkit::PlusBytes P = testkit::PlusBytes::Valid(3);
  P.Header.General[gfStartDate] = "01.01.85";
  return P;
}

// Holds What, letter case ignored.
inline bool Holds(const std::string& Text, const std::string& What) {
  const auto Lower = [](std::string S) {
    std::transform(S.begin(), S.end(), S.begin(), [](unsigned char C) { return std::tolower(C); });
    return S;
  };
  return Lower(Text).find(Lower(What)) != std::string::npos;
}

// The classic and conformance rules the file at Path breaks.
inline std::set<std::string> RulesOf(const std::string& Path) {
  TCheckRequest Request;
  Request.Conformance = true;
  Request.SignalViews = false;
  std::set<std::string> Out;
  for (const TFinding& F : CheckFile(Path, Request).Findings) Out.insert(F.Rule);
  return Out;
}

}  // namespace named
