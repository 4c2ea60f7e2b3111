// The privacy audit: each identifying place of a header found at its byte
// with its length and never quoted; tokens of the header found in the
// annotation texts of every record and in the file's name; the real files.
#include "check/PrivacyAudit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "edf/uEDF.h"
#include "edf/uEDFLayout.h"
#include "testkit/PlusBytes.h"
#include "testkit/RealFiles.h"

using testkit::PlusBytes;
using testkit::Tal;
using testkit::TimeKeeping;

namespace {

TPrivacyReport AuditFile(const std::string& Path, const std::vector<std::string>& Words = {}) {
  TEDFFile F;
  F.SetFileName(Path);
  F.SetReadOnly(true);
  F.SetActive(true);
  TPrivacyRequest Request;
  for (const std::string& W : Words) Request.Words.Add(W, TTokenKind::UserWord);
  Request.KeepHits = true;
  return AuditPrivacy(F, std::move(Request));
}

TPrivacyReport Audit(const PlusBytes& P, const std::vector<std::string>& Words = {},
                     const std::string& Name = "t.edf") {
  testkit::TempDir Dir;
  P.Write(Dir.File(Name));
  return AuditFile(Dir.File(Name), Words);
}

PlusBytes Header(const std::string& Patient, const std::string& Recording, const std::string& StartDate = "01.01.85",
                 bool Plus = true, bool Bdf = false) {
  PlusBytes P = PlusBytes::Valid(3, Bdf);
  P.Header.General[gfPatient] = Patient;
  P.Header.General[gfRecording] = Recording;
  P.Header.General[gfStartDate] = StartDate;
  if (!Plus) P.Header.General[gfReserved] = "";
  return P;
}

// The words of a header text that a report must never quote.
std::vector<std::string> Identifying(const std::string& Text) {
  std::vector<std::string> Out;
  std::string W;
  for (const char C : Text + " ") {
    if (C != ' ' && C != '_') {
      W += C;
      continue;
    }
    if (W.size() >= 3 && W != "Startdate") Out.push_back(W);
    W.clear();
  }
  return Out;
}

using TExpected = std::vector<std::tuple<std::string, int64_t, int64_t>>;  // rule, byte, length

struct THeaderRow {
  const char* Name;
  PlusBytes File;
  TExpected Expected;
};
void PrintTo(const THeaderRow& R, std::ostream* Os) { *Os << R.Name; }

const std::vector<THeaderRow>& HeaderRows() {
  static const std::vector<THeaderRow> Rows = {
      {"AlreadyDeidentified", Header("X X X X", "Startdate 01-JAN-1985 X X Alice4"), {}},
      {"AlreadyDeidentifiedPlain", Header("X X X X", "Startdate X X X X", "01.01.85", false), {}},
      {"FullPatientSubfields",
       Header("MCH-0234567 F 02-MAY-1951 Haagse_Harry", "Startdate X X X X"),
       {{"privacy.patient.code", 8, 11},
        {"privacy.patient.sex", 20, 1},
        {"privacy.patient.birthdate", 22, 11},
        {"privacy.patient.name", 34, 12}}},
      {"AccentedNameAndAdditionalSubfields",
       Header("X X X Jos\xC3\xA9_M\xC3\xBCller ward 4", "Startdate X X X X"),
       {{"privacy.patient.name", 14, 13}, {"privacy.patient.extra", 28, 6}}},
      {"NameOfOnlyXParts", Header("X X X X,X", "Startdate X X X X"), {}},
      {"PartialSubfieldsAreText", Header("MCH-0234567 F", "Startdate X X X X"), {{"privacy.patient.text", 8, 13}}},
      {"PlainFreeText",
       Header("X Haagse Harry 1951", "Dr Kay in Leiden", "01.01.85", false),
       {{"privacy.patient.text", 10, 17}, {"privacy.recording.extra", 88, 16}}},
      {"FullRecordingSubfields",
       Header("X X X X", "Startdate 02-MAR-2002 EMR99 J.Kay Alice4 room_7", "02.03.02"),
       {{"privacy.startdate", 98, 11},
        {"privacy.recording.admincode", 110, 5},
        {"privacy.recording.technician", 116, 5},
        {"privacy.recording.extra", 129, 6},
        {"privacy.startdate", 168, 8}}},
      {"PlainRecordingWithADate",
       Header("X X X X", "Startdate 02-MAR-2002 X Leiden", "02.03.02", false),
       {{"privacy.startdate", 98, 11}, {"privacy.recording.extra", 112, 6}, {"privacy.startdate", 168, 8}}},
  };
  return Rows;
}

class PrivacyHeaderRow : public testing::TestWithParam<THeaderRow> {};

TEST_P(PrivacyHeaderRow, EachPlaceAtItsByteWithItsLengthAndNeverQuoted) {
  const THeaderRow& R = GetParam();
  const TPrivacyReport Report = Audit(R.File);
  TExpected Found;
  for (const TFinding& F : Report.Findings) {
    Found.emplace_back(F.Rule, F.Offset, F.Length);
    EXPECT_TRUE(F.Raw.empty()) << F.Rule;
    for (const int Field : {gfPatient, gfRecording})
      for (const std::string& W : Identifying(R.File.Header.General[static_cast<size_t>(Field)]))
        EXPECT_EQ(F.Message.find(W), std::string::npos) << F.Rule << " quotes " << W << ": " << F.Message;
  }
  EXPECT_EQ(Found, R.Expected);
}

INSTANTIATE_TEST_SUITE_P(Table, PrivacyHeaderRow, testing::ValuesIn(HeaderRows()),
                         [](const auto& Info) { return std::string(Info.param.Name); });

struct TAnnotationRow {
  const char* Name;
  PlusBytes File;
  std::string Record1;  // record 1's annotation bytes
  std::vector<std::string> Words;
  std::vector<std::pair<int64_t, int64_t>> Hits;  // byte inside record 1's annotation signal, length
};
void PrintTo(const TAnnotationRow& R, std::ostream* Os) { *Os << R.Name; }

PlusBytes Patient(const std::string& Text, bool Plus = true, bool Bdf = false) {
  return Header(Text, "Startdate X EMR_99 X X", "01.01.85", Plus, Bdf);
}

const std::vector<TAnnotationRow>& AnnotationRows() {
  const PlusBytes Named = Patient("MCH-0234567 F 02-MAY-1951 Haagse_Harry");
  const std::string Tk = TimeKeeping("+1");  // 5 bytes
  static const std::vector<TAnnotationRow> Rows = {
      {"AsciiName", Named, Tk + Tal("+1.5", {"Harry called"}), {}, {{10, 5}}},
      {"BdfPlus", Patient("MCH-0234567 F 02-MAY-1951 Haagse_Harry", true, true), Tk + Tal("+1.5", {"Harry called"}),
       {}, {{10, 5}}},
      {"AtTheTalStartAndAnyLetterCase", Named, Tk + Tal("+1.5", {"Haagse", "called HAAGSE"}), {}, {{10, 6}, {24, 6}}},
      {"InTheTimeKeepingTal", Named, "+1\x14\x14Harry\x14" + std::string(1, '\0'), {}, {{4, 5}}},
      {"Utf8NameInOtherCase", Patient("X X X J\xC3\xB6rg_M\xC3\xBCller"),
       Tk + Tal("+1.5", {"J\xC3\x96RG saw M\xC3\x9CLLER"}), {}, {{10, 5}, {20, 7}}},
      {"NameInsideWordsIsNone", Patient("X X X Lee"), Tk + Tal("+1.5", {"Sleep stage 2, asleep"}), {}, {}},
      {"PatientAndAdminCodes", Named, Tk + Tal("+1.5", {"MCH-0234567 / EMR 99"}), {}, {{10, 11}, {24, 6}}},
      {"UserPhrase", Named, Tk + Tal("+1.5", {"moved to room 7."}), {"Room 7"}, {{19, 6}}},
      {"DeidentifiedHeaderHasNoTokens", Header("X X X X", "Startdate X X X X"), Tk + Tal("+1.5", {"Harry"}), {}, {}},
      {"PlainFileHoldsSamplesThere", Patient("MCH-0234567 F 02-MAY-1951 Haagse_Harry", false),
       Tk + Tal("+1.5", {"Harry"}), {}, {}},
  };
  return Rows;
}

class PrivacyAnnotationRow : public testing::TestWithParam<TAnnotationRow> {};

TEST_P(PrivacyAnnotationRow, EveryMatchAtItsByteInItsRecordAndSignal) {
  const TAnnotationRow& R = GetParam();
  PlusBytes P = R.File;
  const auto Old = P.Annotations;
  const std::string Record1 = R.Record1;
  P.Annotations = [=](int r, int s) { return r == 1 ? Record1 : Old(r, s); };
  const TPrivacyReport Report = Audit(P, R.Words);
  EXPECT_TRUE(Report.AnnotationsAudited);
  std::vector<std::pair<int64_t, int64_t>> Hits;
  for (const TPrivacyHit& H : Report.Hits) {
    EXPECT_EQ(H.Record, 1);
    EXPECT_EQ(H.Signal, 2);
    Hits.emplace_back(H.Offset - P.At(1, 2), H.Length);
  }
  EXPECT_EQ(Hits, R.Hits);
  EXPECT_EQ(Report.TotalOf("privacy.annotation"), static_cast<int64_t>(R.Hits.size()));
}

INSTANTIATE_TEST_SUITE_P(Table, PrivacyAnnotationRow, testing::ValuesIn(AnnotationRows()),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(PrivacyAudit, FileNameHoldingATokenAsAWholeWord) {
  const PlusBytes P = Patient("MCH-0234567 F 02-MAY-1951 Haagse_Harry");
  const std::vector<std::pair<std::string, int64_t>> Names = {
      {"Haagse_Harry_2011.edf", 2}, {"mch-0234567.bdf", 1}, {"harryhaagse.edf", 0}, {"Study_17.edf", 0}};
  for (const auto& [Name, Count] : Names) {
    const TPrivacyReport Report = Audit(P, {}, Name);
    EXPECT_EQ(Report.TotalOf("privacy.filename"), Count) << Name;
  }
}

TEST(PrivacyAudit, RecordsThatCannotBeReadLeaveTheTextsUnsearchedAndSaySo) {
  PlusBytes P = Patient("MCH-0234567 F 02-MAY-1951 Haagse_Harry");
  P.Header.General[gfNrDataRecords] = "4";  // one more than the file holds
  const TPrivacyReport Report = Audit(P);
  EXPECT_FALSE(Report.AnnotationsAudited);
  EXPECT_NE(Report.NotAuditedWhy.find("data record 4"), std::string::npos) << Report.NotAuditedWhy;
  EXPECT_EQ(Report.TotalOf("privacy.annotation"), 1);
}

TEST(PrivacyAudit, RealFilesAreSearchedQuoteNothingAndStayUnchanged) {
  const std::string Dir = testkit::RealTestDataDir();
  if (Dir.empty()) GTEST_SKIP() << "no real test data folder (../shared/testdata/real)";
  for (const testkit::RealFile& Real : testkit::RealFiles()) {
    const std::string Path = Dir + "/" + Real.Name;
    SCOPED_TRACE(Path);
    const std::string Before = testkit::ReadFileBytes(Path);
    const TPrivacyReport Report = AuditFile(Path);
    EXPECT_TRUE(Report.AnnotationsAudited);
    // Their names and tokens ("Female", "Hans", "abcxyz99") are nowhere in
    // their annotation texts ("Sleep stage W", "recording starts").
    EXPECT_EQ(Report.TotalOf("privacy.annotation") + Report.TotalOf("privacy.filename"), 0);
    // What their headers give of a person, a day or a place.
    for (const TFinding& F : Report.Findings)
      for (const char* W : {"abcxyz99", "Hans", "Muller", "Spotty", "Female", "33yr", "1969", "1998", "1989", "2011",
                            "2020", "04.04.11", "Legacy"})
        EXPECT_EQ(F.Message.find(W), std::string::npos) << W << ": " << F.Message;
    EXPECT_EQ(testkit::ReadFileBytes(Path), Before);
  }
}

}  // namespace
