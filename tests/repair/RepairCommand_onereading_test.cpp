// vellicor-repair mends a fault only where the file's bytes leave one
// reading, through the real program: no data records dropped on a guess,
// and the EDF+ layer mended where it has one right answer and refused with
// its rule and reason elsewhere, never "no fault found" over a fault.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testkit/EdfBytes.h"
#include "testkit/PlusBytes.h"

using testing::HasSubstr;
using testkit::EdfBytes;
using testkit::PlusBytes;
using testkit::TempDir;
using testkit::With;

namespace {

struct TRun {
  int Exit = -1;
  std::string Out;
};

TRun RunRepair(const std::string& In, const std::string& Out) {
  static const TempDir Scratch;
  static int Counter = 0;
  const std::string Base = Scratch.File("run" + std::to_string(++Counter));
  const pid_t Child = fork();
  if (Child == 0) {
    if (!freopen((Base + ".out").c_str(), "w", stdout) || !freopen((Base + ".err").c_str(), "w", stderr)) _exit(127);
    execl(VELLICOR_REPAIR_EXE, VELLICOR_REPAIR_EXE, In.c_str(), Out.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int Status = 0;
  waitpid(Child, &Status, 0);
  return {WIFEXITED(Status) ? WEXITSTATUS(Status) : -1,
          testkit::ReadFileBytes(Base + ".out") + testkit::ReadFileBytes(Base + ".err")};
}

struct TCase {
  const char* Name;
  std::string In;
  int Exit;
  std::vector<std::string> Said;  // parts of the report
  std::string Copy;               // the copy's bytes; "" when nothing may be written
};
void PrintTo(const TCase& C, std::ostream* Os) { *Os << C.Name; }

class OneReading : public testing::TestWithParam<TCase> {};

TEST_P(OneReading, MendsOnlyWhatHasOneRightAnswer) {
  const TCase& C = GetParam();
  TempDir Dir;
  const std::string In = Dir.File("in");
  const std::string Out = Dir.File("out");
  testkit::WriteFileBytes(In, C.In);
  const TRun R = RunRepair(In, Out);
  EXPECT_EQ(R.Exit, C.Exit) << R.Out;
  for (const std::string& Part : C.Said) EXPECT_THAT(R.Out, HasSubstr(Part));
  if (C.Copy.empty())
    EXPECT_FALSE(std::filesystem::exists(Out));
  else
    EXPECT_EQ(testkit::ReadFileBytes(Out), C.Copy);
  EXPECT_EQ(testkit::ReadFileBytes(In), C.In);
}

// A header whose data block is Records x (Samples x Signals) samples, each
// signal's NrSamples as given.
EdfBytes Block(EdfBytes E, const std::vector<std::string>& NrSamples, int Records, int Samples) {
  const int Ns = static_cast<int>(E.Signals.size());
  for (size_t s = 0; s < NrSamples.size(); ++s) E.Signals[s][8] = NrSamples[s];
  E.Records = 0;
  E.Tail = std::string(static_cast<size_t>(Records * Ns * Samples * E.SampleBytes()), '\0');
  return E;
}

// Records counted by NrDataRecords but laid out by a wrong NrSamples: a cut
// "repaired" away would drop the data a single NrSamples explains.
const std::vector<TCase>& RecordRows() {
  static const std::vector<TCase> Rows = {
      {"SecondSignalSaysMoreSamples", Block(EdfBytes::Valid(2, 256, 2), {"256", "356"}, 2, 256).Bytes(), 1,
       {"refuse [layout.filesize]", "NrDataRecords 2 fills the 2048 data bytes exactly if one signal's NrSamples "
                                    "were 100 lower (signal 1: 156 for 256, or signal 2: 256 for 356)"},
       ""},
      {"BdfSecondSignalSaysMoreSamples", Block(EdfBytes::ValidBdf(2, 256, 2), {"256", "356"}, 2, 256).Bytes(), 1,
       {"NrDataRecords 2 fills the 3072 data bytes exactly"}, ""},
      {"BdfOneRecordReadAsLessThanOne",
       With(Block(EdfBytes::ValidBdf(2, 256, 1), {"256", "356"}, 1, 256), [](EdfBytes& E) { E.General[7] = "1"; })
           .Bytes(),
       1, {"holds no whole record of 1836 bytes: leaving the cut one out would leave no data at all"}, ""},
      // A count set to the whole records present drops nothing, whatever
      // else may explain the size.
      {"CountAboveTheWholeRecordsDropsNothing", With(EdfBytes::Valid(2, 200, 3), [](EdfBytes& E) {
         E.General[7] = "5";
       }).Bytes(),
       0, {"change [layout.filesize]"}, EdfBytes::Valid(2, 200, 3).Bytes()},
      {"BdfCutRecordWithOneReading", With(EdfBytes::ValidBdf(2, 200, 3), [](EdfBytes& E) {
         E.General[7] = "4";
         E.Tail = "12345";
       }).Bytes(),
       0, {"drop [layout.filesize]"}, EdfBytes::ValidBdf(2, 200, 3).Bytes()},
  };
  return Rows;
}

INSTANTIATE_TEST_SUITE_P(RecordCount, OneReading, testing::ValuesIn(RecordRows()),
                         [](const auto& I) { return std::string(I.param.Name); });

PlusBytes Plus(const std::function<void(PlusBytes&)>& Change) {
  PlusBytes P = PlusBytes::Valid();
  Change(P);
  return P;
}
std::string Sound() { return PlusBytes::Valid().Bytes(); }

const std::vector<TCase>& PlusRows() {
  static const std::vector<TCase> Rows = {
      {"AnnotationTransducer", Plus([](PlusBytes& P) { P.Header.Signals[2][1] = "Pen"; }).Bytes(), 0,
       {"change [edfplus.annotation.transducer]"}, Sound()},
      {"AnnotationPhysiDimAndPreFilter",
       Plus([](PlusBytes& P) {
         P.Header.Signals[2][2] = "uV";
         P.Header.Signals[2][7] = "HP:0.1Hz";
       }).Bytes(),
       0, {"change [edfplus.annotation.physidim]", "change [edfplus.annotation.prefilter]"}, Sound()},
      {"SignalReservedWithLeadingBlank", Plus([](PlusBytes& P) { P.Header.Signals[0][9] = " x"; }).Bytes(), 0,
       {"change [signal.reserved.justified, edfplus.signal.reserved]"}, Sound()},
      {"StartdateLowerCase", Plus([](PlusBytes& P) { P.Header.General[2] = "startdate X X X X"; }).Bytes(), 0,
       {"change [edfplus.recording.startdate]"}, Sound()},
      {"MonthsLowerCase",
       Plus([](PlusBytes& P) {
         P.Header.General[1] = "X M 02-aug-1951 X";
         P.Header.General[2] = "Startdate 01-Feb-2003 X X X";
       }).Bytes(),
       0, {"change [edfplus.patient.birthdate]", "change [edfplus.recording.date]"},
       Plus([](PlusBytes& P) {
         P.Header.General[1] = "X M 02-AUG-1951 X";
         P.Header.General[2] = "Startdate 01-FEB-2003 X X X";
       }).Bytes()},
      {"PlainBdfWithBlankReserved", With(EdfBytes::ValidBdf(2, 20, 2), [](EdfBytes& E) {
         E.General[6] = "";
       }).Bytes(),
       0, {"change [edfplus.header.bdfreserved]"}, EdfBytes::ValidBdf(2, 20, 2).Bytes()},
      // Refused: no single right answer.
      {"PlainBdfWithAnAnnotationLabel", With(EdfBytes::ValidBdf(2, 20, 2), [](EdfBytes& E) {
         E.General[6] = "";
         E.Signals[1][0] = "BDF Annotations";
       }).Bytes(),
       1, {"refuse [edfplus.header.bdfreserved]", "refuse [edfplus.header.plainlabel]"}, ""},
      {"SexLowerCase", Plus([](PlusBytes& P) { P.Header.General[1] = "X m X X"; }).Bytes(), 1,
       {"refuse [edfplus.patient.sex] general header, byte 10: sex \"m\" is not M, F or X: the identification is "
        "the recording's own"},
       ""},
      {"MonthMendedIsStillNoDate", Plus([](PlusBytes& P) { P.Header.General[1] = "X M 31-feb-2001 X"; }).Bytes(), 1,
       {"refuse [edfplus.patient.birthdate]", "it would still fail: birthdate \"31-FEB-2001\" is not a calendar date"},
       ""},
      {"OnsetWithAComma",
       Plus([](PlusBytes& P) {
         P.Annotations = [](int r, int) {
           return testkit::TimeKeeping("+" + std::to_string(r)) + (r == 1 ? testkit::Tal("+1,5", {"Beep"}) : "");
         };
       }).Bytes(),
       1, {"refuse [edfplus.tal.onset] annotation, data record 2", "the data records are copied byte for byte"}, ""},
  };
  return Rows;
}

INSTANTIATE_TEST_SUITE_P(PlusLayer, OneReading, testing::ValuesIn(PlusRows()),
                         [](const auto& I) { return std::string(I.param.Name); });

}  // namespace
