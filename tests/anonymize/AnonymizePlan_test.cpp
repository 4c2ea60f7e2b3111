// The de-identified copy, planned and applied in memory: per option the
// header texts it gets, only the allowed bytes changed, the identifying
// strings nowhere in the copy nor in any text of the plan, onsets,
// durations and samples as they were, no finding the original had not;
// the refusals; a copy that was not made as planned; the real files.
#include "anonymize/AnonymizePlan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "anonymize/NamedRecording.h"
#include "check/FileCheck.h"
#include "check/Tal.h"
#include "edf/uEDFLayout.h"
#include "testkit/PlusBytes.h"
#include "testkit/RealFiles.h"

using named::Holds;
using named::RulesOf;
using testkit::PlusBytes;
using testkit::Tal;
using testkit::TimeKeeping;

namespace {

constexpr const char* NamedPatient = "MCH-0234567 F 02-MAY-1951 Haagse_Harry ward_4";
constexpr const char* NamedRecording = "Startdate 02-MAR-2002 EMR99 Tech_Smith Alice4 room7";

// Names in a text, in the time-keeping TAL and after a duration, in another
// letter case; a further word that only the user's list knows.
PlusBytes Named(const std::string& Patient = NamedPatient, const std::string& StartDate = "02.03.02",
                bool Bdf = false) {
  PlusBytes P = PlusBytes::Valid(3, Bdf);
  P.Header.General[gfPatient] = Patient;
  P.Header.General[gfRecording] = NamedRecording;
  P.Header.General[gfStartDate] = StartDate;
  P.Annotations = [](int r, int) {
    if (r == 1) return TimeKeeping("+1") + Tal("+1.5\x15" "2", {"Harry and HAAGSE in room7"});
    if (r == 2) return "+2\x14\x14" "EMR99 Harry\x14" + std::string(1, '\0');
    return TimeKeeping("+" + std::to_string(r));
  };
  return P;
}

const std::vector<std::string> HeaderStrings = {"MCH-0234567", "02-MAY-1951", "ward_4",  "EMR99",
                                                "Tech_Smith",  "02-MAR-2002", "02.03.02"};
std::vector<std::string> AllStrings(std::vector<std::string> More = {}) {
  More.insert(More.end(), HeaderStrings.begin(), HeaderStrings.end());
  More.insert(More.end(), {"Haagse", "Harry"});
  return More;
}

// Every text the plan gives a face to print.
std::string PlanTexts(const TAnonymizePlan& Plan) {
  std::string Out;
  for (const TAnonymizeChange& C : Plan.Changes) Out += C.Field + "|" + C.New + "|" + C.Reason + "\n";
  for (const std::string& S : Plan.Warnings) Out += S + "\n";
  for (const std::string& S : Plan.Refusals) Out += S + "\n";
  for (const TFinding& F : Plan.Audit.Findings) Out += F.Raw + "|" + F.Message + "\n";
  return Out;
}

// Each TAL of the annotation signal as onset, duration and text lengths.
class TTalShapes : public TTalHandler {
public:
  explicit TTalShapes(const uint8_t* B) : B(B) {}
  void OnTal(const TTal& T) override {
    Shapes.push_back(Span(T.Onset) + "|" + Span(T.Duration) + "|" + std::to_string(T.Texts));
  }
  void OnFault(TTalFault, TNumberFault, uint32_t, TTalSpan) override {}
  std::string Span(TTalSpan S) const { return std::string(reinterpret_cast<const char*>(B) + S.Begin, S.Size()); }
  const uint8_t* B;
  std::vector<std::string> Shapes;
};

std::vector<std::string> Shapes(const std::string& File, const PlusBytes& P) {
  std::vector<std::string> Out;
  for (int r = 0; r < P.Records; ++r) {
    const auto* B = reinterpret_cast<const uint8_t*>(File.data()) + P.At(r, 2);
    TTalShapes H(B);
    ScanTals(B, static_cast<uint32_t>(P.SignalBytes(2)), H);
    Out.insert(Out.end(), H.Shapes.begin(), H.Shapes.end());
  }
  return Out;
}

std::string Applied(std::string Bytes, const TAnonymizePlan& Plan) {
  for (const TBytePatch& P : Plan.Patches) Bytes.replace(static_cast<size_t>(P.Offset), P.Bytes.size(), P.Bytes);
  return Bytes;
}

TAnonymizeOptions Opt(void (*Set)(TAnonymizeOptions&)) {
  TAnonymizeOptions O;
  Set(O);
  return O;
}

struct TRow {
  const char* Name;
  PlusBytes File;
  TAnonymizeOptions Options;
  std::vector<std::string> Expected;  // Patient, Recording, StartDate, StartTime as the copy has them
  std::vector<std::string> Gone;      // nowhere in the copy nor in the plan's texts
  std::string Refusal = "";           // a refused plan says this
};
void PrintTo(const TRow& R, std::ostream* Os) { *Os << R.Name; }

const std::vector<TRow>& Rows() {
  PlusBytes Plain = Named();
  Plain.Header.General[gfReserved] = "";
  PlusBytes Cut = Named();
  Cut.Header.General[gfNrDataRecords] = "4";  // one more record than the file holds
  PlusBytes LongEquipment = Named();
  LongEquipment.Header.General[gfRecording] = "Startdate X X X " + std::string(64, 'E');
  PlusBytes Anonymous = PlusBytes::Valid();
  Anonymous.Header.General[gfStartDate] = "01.01.85";
  PlusBytes OnsetLikeCode = Named("1234 X X X");
  OnsetLikeCode.Annotations = [](int r, int) {
    return TimeKeeping("+" + std::to_string(r)) + (r == 1 ? Tal("+1234", {"1234"}) : "");
  };
  const std::string X = "X X X X", Rec = "Startdate X X X X", Time = "04.05.06";
  static const std::vector<TRow> Rows = {
      {"Defaults", Named(), {}, {X, Rec, "01.01.85", Time}, AllStrings()},
      {"BdfPlus", Named(NamedPatient, "02.03.02", true), {}, {X, Rec, "01.01.85", Time}, AllStrings()},
      {"KeepSexAndEquipment", Named(), Opt([](auto& O) { O.KeepSex = O.KeepEquipment = true; }),
       {"X F X X", "Startdate X X X Alice4", "01.01.85", Time}, AllStrings()},
      {"KeepAgeBeforeTheBirthday", Named(), Opt([](auto& O) { O.KeepAge = true; }),
       {"X X 01-JAN-1935 X", Rec, "01.01.85", Time}, AllStrings()},
      {"KeepAgeLeapDayNotYetReached", Named("X X 29-FEB-2000 X", "28.02.01"), Opt([](auto& O) { O.KeepAge = true; }),
       {"X X 01-JAN-1985 X", Rec, "01.01.85", Time}, {"29-FEB-2000", "28.02.01"}},
      {"KeepAgeLeapDayReached", Named("X X 29-FEB-2000 X", "01.03.01"), Opt([](auto& O) { O.KeepAge = true; }),
       {"X X 01-JAN-1984 X", Rec, "01.01.85", Time}, {"29-FEB-2000", "01.03.01"}},
      {"KeepAgeWithShift", Named(), Opt([](auto& O) { O.KeepAge = true, O.ShiftDays = 365; }),
       {"X X 01-JAN-1951 X", "Startdate 02-MAR-2001 X X X", "02.03.01", Time}, AllStrings()},
      {"ShiftOntoALeapDay", Named(NamedPatient, "01.03.00"), Opt([](auto& O) { O.ShiftDays = 1; }),
       {X, "Startdate 29-FEB-2000 X X X", "29.02.00", Time}, {"Harry", "01.03.00"}},
      {"ShiftTo2084", Named(NamedPatient, "30.12.84"), Opt([](auto& O) { O.ShiftDays = -1; }),
       {X, "Startdate 31-DEC-2084 X X X", "31.12.84", Time}, {"Harry", "30.12.84"}},
      {"ShiftPast2084", Named(NamedPatient, "31.12.84"), Opt([](auto& O) { O.ShiftDays = -1; }), {}, AllStrings(),
       "out of 1985..2084"},
      {"ShiftBefore1985", Named(NamedPatient, "01.01.85"), Opt([](auto& O) { O.ShiftDays = 1; }), {}, AllStrings(),
       "out of 1985..2084"},
      {"EquipmentCutToFitTheShiftedDate", LongEquipment,
       Opt([](auto& O) { O.KeepEquipment = true, O.ShiftDays = 10; }),
       {X, "Startdate 20-FEB-2002 X X " + std::string(54, 'E'), "20.02.02", Time}, {"Harry"}},
      {"ClearTime", Named(), Opt([](auto& O) { O.ClearTime = true; }), {X, Rec, "01.01.85", "00.00.00"}, AllStrings()},
      {"PhiWords", Named(), Opt([](auto& O) { O.PhiWords = {"ROOM7"}; }), {X, Rec, "01.01.85", Time},
       AllStrings({"room7"})},
      {"PlainFileKeepsNothingAndHasNoAnnotationTexts", Plain, Opt([](auto& O) { O.KeepSex = O.KeepEquipment = true; }),
       {X, Rec, "01.01.85", Time}, {"MCH-0234567", "02-MAY-1951", "Tech_Smith", "02-MAR-2002", "02.03.02"}},
      {"CodeLikeAnOnsetLeavesTheOnset", OnsetLikeCode, {}, {X, Rec, "01.01.85", Time}, {}},
      {"AlreadyDeidentified", Anonymous, {}, {X, Rec, "01.01.85", Time}, {}},
      {"RecordsUnreadable", Cut, {}, {}, AllStrings(), "--header-only"},
      {"RecordsUnreadableHeaderOnly", Cut, Opt([](auto& O) { O.HeaderOnly = true; }), {X, Rec, "01.01.85", Time},
       HeaderStrings},
  };
  return Rows;
}

class AnonymizeRow : public testing::TestWithParam<TRow> {};

TEST_P(AnonymizeRow, TheCopyChangesOnlyTheAllowedBytesAndJudgesAsTheOriginal) {
  const TRow& R = GetParam();
  testkit::TempDir Dir;
  const std::string In = Dir.File("in.edf"), Out = Dir.File("out.edf");
  R.File.Write(In);
  const std::string Original = testkit::ReadFileBytes(In);
  const TAnonymizePlan Plan = PlanAnonymize(In, R.Options);
  for (const std::string& S : R.Gone) EXPECT_FALSE(Holds(PlanTexts(Plan), S)) << S << " in\n" << PlanTexts(Plan);
  EXPECT_EQ(testkit::ReadFileBytes(In), Original);
  if (!R.Refusal.empty()) {
    ASSERT_TRUE(Plan.Refused());
    EXPECT_TRUE(Holds(Plan.Refusals.front(), R.Refusal)) << Plan.Refusals.front();
    return;
  }
  ASSERT_FALSE(Plan.Refused()) << Plan.Refusals.front();

  const std::string Copy = Applied(Original, Plan);
  ASSERT_EQ(static_cast<int64_t>(Copy.size()), Plan.OutputSize);
  const int Fields[] = {gfPatient, gfRecording, gfStartDate, gfStartTime};
  for (size_t k = 0; k < R.Expected.size(); ++k) {
    const TEDFFieldDesc& D = EDFGeneralFields[static_cast<size_t>(Fields[k])];
    const std::string Text = Copy.substr(static_cast<size_t>(D.Offset), static_cast<size_t>(D.Width));
    EXPECT_EQ(Text.substr(0, Text.find_last_not_of(' ') + 1), R.Expected[k]) << D.Caption;
  }
  // A changed byte lies in a header field that may change, or is an X of
  // an annotation change inside its record's annotation bytes.
  for (size_t i = 0; i < Copy.size(); ++i) {
    if (Copy[i] == Original[i]) continue;
    const auto At = static_cast<int64_t>(i);
    const bool Allowed = std::any_of(Plan.Changes.begin(), Plan.Changes.end(), [&](const TAnonymizeChange& C) {
      if (At < C.Offset || At >= C.Offset + C.Length) return false;
      if (C.Kind == TAnonymizeChangeKind::Field) return At >= 8 && At < 184;
      return Copy[i] == 'X' && At >= R.File.At(C.Where.Record, 2) &&
             At < R.File.At(C.Where.Record, 2) + R.File.SignalBytes(2);
    });
    EXPECT_TRUE(Allowed) << "byte " << i;
  }
  for (const std::string& S : R.Gone) EXPECT_FALSE(Holds(Copy, S)) << S << " is still in the copy";
  EXPECT_EQ(Shapes(Copy, R.File), Shapes(Original, R.File));
  EXPECT_EQ(Plan.NothingToChange(), Copy == Original);

  testkit::WriteFileBytes(Out, Copy);
  EXPECT_EQ(CheckAnonymizedCopy(Plan, Out), "");
  const std::set<std::string> Before = RulesOf(In), After = RulesOf(Out);
  EXPECT_TRUE(std::includes(Before.begin(), Before.end(), After.begin(), After.end()));
}

INSTANTIATE_TEST_SUITE_P(Table, AnonymizeRow, testing::ValuesIn(Rows()),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(AnonymizePlan, ACopyNotMadeAsPlannedIsCaught) {
  testkit::TempDir Dir;
  const PlusBytes P = Named();
  P.Write(Dir.File("in.edf"));
  const TAnonymizePlan Plan = PlanAnonymize(Dir.File("in.edf"), {});
  const std::string Original = testkit::ReadFileBytes(Dir.File("in.edf"));
  struct TBad {
    const char* Name;
    std::string Copy;
    const char* Says;
  };
  TAnonymizePlan OneLess = Plan;
  OneLess.Patches.pop_back();
  std::string BrokenOnset = Applied(Original, Plan);
  BrokenOnset[static_cast<size_t>(P.At(2, 2))] = '*';
  const std::vector<TBad> Bad = {
      {"AnnotationLeftAsItWas", Applied(Original, OneLess), "privacy.annotation"},
      {"NewFaultInARecord", BrokenOnset, "edfplus.tal.onset"},
      {"Longer", Applied(Original, Plan) + "x", "planned size"},
      {"HeaderNotThePlannedOne", Original, "header is not the planned one"},
  };
  for (const TBad& B : Bad) {
    testkit::WriteFileBytes(Dir.File("out.edf"), B.Copy);
    EXPECT_TRUE(Holds(CheckAnonymizedCopy(Plan, Dir.File("out.edf")), B.Says)) << B.Name;
  }
  EXPECT_TRUE(Holds(CheckCopyName(Plan, Dir.File("harry_2002.edf")), "a part of the patient's name"));
  EXPECT_EQ(CheckCopyName(Plan, Dir.File("subject_17.edf")), "");
}

TEST(AnonymizePlan, WhatIsNoEdfOrBdfFileIsRefused) {
  testkit::TempDir Dir;
  const std::vector<std::pair<std::string, const char*>> Files = {
      {"", "less than the 256-byte general header"},
      {std::string("PK\x03\x04") + std::string(400, 'z'), "neither EDF nor BDF"},
      {Named().Bytes().substr(0, 200), "less than the 256-byte general header"}};
  for (const auto& [Bytes, Says] : Files) {
    testkit::WriteFileBytes(Dir.File("in.edf"), Bytes);
    const TAnonymizePlan Plan = PlanAnonymize(Dir.File("in.edf"), {});
    ASSERT_TRUE(Plan.Refused()) << Says;
    EXPECT_TRUE(Holds(Plan.Refusals.front(), Says)) << Plan.Refusals.front();
    EXPECT_TRUE(Plan.Patches.empty());
  }
  EXPECT_TRUE(PlanAnonymize(Dir.File("gone.edf"), {}).Refused());
}

TEST(AnonymizePlan, RealFilesCopiedWithTheirHeaderTextsAloneChanged) {
  const std::string Dir = testkit::RealTestDataDir();
  if (Dir.empty()) GTEST_SKIP() << "no real test data folder (../shared/testdata/real)";
  testkit::TempDir Tmp;
  for (const testkit::RealFile& Real : testkit::RealFiles()) {
    const std::string In = Dir + "/" + Real.Name;
    SCOPED_TRACE(In);
    const std::string Original = testkit::ReadFileBytes(In);
    TAnonymizeOptions All;
    All.KeepSex = All.KeepAge = All.KeepEquipment = All.ClearTime = true;
    All.ShiftDays = 1000;
    for (const TAnonymizeOptions& O : {TAnonymizeOptions{}, All}) {
      const TAnonymizePlan Plan = PlanAnonymize(In, O);
      ASSERT_FALSE(Plan.Refused()) << Plan.Refusals.front();
      const std::string Copy = Applied(Original, Plan);
      for (size_t i = 0; i < Copy.size(); ++i) {
        ASSERT_TRUE(Copy[i] == Original[i] || (i >= 8 && i < 184)) << "byte " << i;
      }
      testkit::WriteFileBytes(Tmp.File("copy.edf"), Copy);
      EXPECT_EQ(CheckAnonymizedCopy(Plan, Tmp.File("copy.edf")), "");
    }
    EXPECT_EQ(testkit::ReadFileBytes(In), Original);
  }
}

}  // namespace
