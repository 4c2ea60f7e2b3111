// vellicor-anonymize end to end: the real program on an EDF+ file with names
// in its header and its annotation texts, one row per option, refusal and
// careless use, each run as text and as JSON (both listing the same
// changes). For every run: the identifying strings appear in nothing it
// printed, IN stays as it was, the folder holds what the row expects; for
// every copy: its header texts, no changed byte but in the header's
// identifying fields or an X in an annotation text, no identifying string
// left, and no classic or conformance rule the original did not break.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "check/FileCheck.h"
#include "edf/uEDFLayout.h"
#include "anonymize/NamedRecording.h"
#include "testkit/PlusBytes.h"
#include "testkit/RealFiles.h"

using testing::HasSubstr;
using named::Anonymous;
using named::Cut;
using named::HeaderStrings;
using named::Holds;
using named::ListedStrings;
using named::Named;
using named::RulesOf;
using named::TokenStrings;
using testkit::PlusBytes;
using testkit::TempDir;

namespace {

struct TRun {
  int Exit = -1;
  std::string Out;
  std::string Err;
};

// Runs a shell line in which $V is the program, $J "--json" or nothing, $D
// the test folder and $W a word list outside it; standard output and error
// go to files outside $D unless the line redirects them.
TRun RunLine(const std::string& Line, const TempDir& Dir, const std::string& Words, bool Json) {
  static const TempDir Scratch;
  static int Counter = 0;
  const std::string Base = Scratch.File("run" + std::to_string(++Counter));
  const pid_t Child = fork();
  if (Child == 0) {
    if (!freopen((Base + ".out").c_str(), "w", stdout) || !freopen((Base + ".err").c_str(), "w", stderr)) _exit(127);
    setenv("V", VELLICOR_ANONYMIZE_EXE, 1);
    setenv("J", Json ? "--json" : "", 1);
    setenv("D", Dir.Path().c_str(), 1);
    setenv("W", Words.c_str(), 1);
    execl("/bin/bash", "bash", "-c", Line.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int Status = 0;
  waitpid(Child, &Status, 0);
  return {WIFEXITED(Status) ? WEXITSTATUS(Status) : -1, testkit::ReadFileBytes(Base + ".out"),
          testkit::ReadFileBytes(Base + ".err")};
}

std::vector<std::string> FolderNames(const std::string& Folder) {
  std::vector<std::string> Names;
  for (const auto& E : std::filesystem::directory_iterator(Folder)) Names.push_back(E.path().filename().string());
  std::sort(Names.begin(), Names.end());
  return Names;
}

size_t ChangeLines(const std::string& Text) {
  size_t N = 0;
  for (size_t At = Text.find("\n  change "); At != std::string::npos; At = Text.find("\n  change ", At + 1)) ++N;
  return N;
}

// The copy against its original: header texts, changed bytes, what is left.
void ExpectCopy(const PlusBytes& File, const std::string& Original, const std::string& Copy,
                const std::vector<std::string>& Fields, const std::vector<std::string>& Gone) {
  ASSERT_EQ(Copy.size(), Original.size());
  const int Places[] = {gfPatient, gfRecording, gfStartDate, gfStartTime};
  for (size_t k = 0; k < Fields.size(); ++k) {
    const TEDFFieldDesc& D = EDFGeneralFields[static_cast<size_t>(Places[k])];
    const std::string Text = Copy.substr(static_cast<size_t>(D.Offset), static_cast<size_t>(D.Width));
    EXPECT_EQ(Text.substr(0, Text.find_last_not_of(' ') + 1), Fields[k]) << D.Caption;
  }
  for (size_t i = 0; i < Copy.size(); ++i) {
    if (Copy[i] == Original[i]) continue;
    const auto At = static_cast<int64_t>(i);
    bool InAnnotations = false;
    for (int r = 0; r < File.Records; ++r)
      InAnnotations = InAnnotations || (At >= File.At(r, 2) && At < File.At(r, 2) + File.SignalBytes(2));
    EXPECT_TRUE((At >= 8 && At < 184) || (InAnnotations && Copy[i] == 'X')) << "byte " << i;
  }
  for (const std::string& S : Gone) EXPECT_FALSE(Holds(Copy, S)) << S << " is still in the copy";
}

struct TRow {
  const char* Name;
  PlusBytes File;
  std::string Line;
  int Exit;
  std::string Says;                   // in standard output or error
  std::vector<std::string> Fields;    // the copy's Patient, Recording, StartDate, StartTime; none: no copy
  std::vector<std::string> Folder;    // the test folder's names afterwards
  const char* JsonOutcome;            // "" when the row is not run with --json
  std::vector<std::string> Gone = {}; // not in the copy; the header's and the tokens' strings when empty
};
void PrintTo(const TRow& R, std::ostream* Os) { *Os << R.Name; }

const std::vector<TRow>& Rows() {
  const std::vector<std::string> In{"in.edf"}, InOut{"in.edf", "out.edf"};
  const std::string X = "X X X X", Rec = "Startdate X X X X", Time = "04.05.06";
  const std::string Copy = "exec $V $J ";
  const std::string Paths = " $D/in.edf $D/out.edf";
  static const std::vector<TRow> Rows = {
      {"Defaults", Named(), Copy + Paths, 0, "overwritten with X", {X, Rec, "01.01.85", Time}, InOut, "written"},
      {"KeepSexAgeAndEquipment", Named(), Copy + "--keep-sex --keep-age --keep-equipment" + Paths, 0,
       "  left [privacy.patient.sex]: the sex subfield, kept by --keep-sex",
       {"X F 01-JAN-1935 X", "Startdate X X X Alice4", "01.01.85", Time}, InOut, "written"},
      {"ShiftInRange", Named(), Copy + "--shift-days 365" + Paths, 0, "start date moved 365 days back",
       {X, "Startdate 02-MAR-2001 X X X", "02.03.01", Time}, InOut, "written"},
      {"ShiftOutOfRange", Named(), Copy + "--shift-days=10000" + Paths, 1, "refuse: a shift of 10000 days", {}, In,
       "refused"},
      {"ClearTime", Named(), Copy + "--clear-time" + Paths, 0, "StartTime -> 00.00.00",
       {X, Rec, "01.01.85", "00.00.00"}, InOut, "written"},
      {"PhiWords", Named(), Copy + "--phi-words $W" + Paths, 0, "a word of the user's list, 7 bytes, overwritten with X",
       {X, Rec, "01.01.85", Time}, InOut, "written", {"Harry", "HAAGSE", "EMR99", "room7", "M\xC3\xBCller"}},
      {"RecordsUnreadable", Cut(), Copy + Paths, 1, "--header-only copies the file", {}, In, "refused"},
      // The annotation texts go as they are: only the header's strings are gone.
      {"RecordsUnreadableHeaderOnly", Cut(), Copy + "--header-only" + Paths, 0, "  warning: --header-only:",
       {X, Rec, "01.01.85", Time}, InOut, "written", {"02-MAY-1951", "ward_4", "Tech_Smith", "02-MAR-2002", "02.03.02"}},
      {"DryRun", Named(), Copy + "--dry-run $D/in.edf", 0, "dry run: nothing written", {}, In, "dry run"},
      {"OutNamedAfterThePatient", Named(), Copy + "$D/in.edf $D/haagse.edf", 1,
       "OUT's name would identify the person: the file name holds a part of the patient's name, 6 bytes", {}, In,
       "refused"},
      {"AlreadyDeidentified", Anonymous(), Copy + Paths, 0, "nothing to change: nothing written", {}, In,
       "nothing to change"},
      {"OutIsInByASymbolicLink", Named(), "ln -sf in.edf $D/link.edf && " + Copy + "$D/in.edf $D/link.edf", 2,
       "link.edf' is IN itself", {}, {"in.edf", "link.edf"}, "error"},
      {"ReportToAFullDisk", Named(), "exec $V" + Paths + " >/dev/full", 2,
       "cannot write the report to standard output: No space left on device; nothing written", {}, In, ""},
      {"InUnreadable", Named(), Copy + "$D/in.edf/ $D/out.edf", 2, "the file cannot be read: Not a directory", {}, In,
       "error"},
      {"OutInAMissingFolder", Named(), Copy + "$D/in.edf $D/none/out.edf", 2, "cannot create a file in", {}, In,
       "error"},
  };
  return Rows;
}

class AnonymizeCommandRow : public testing::TestWithParam<TRow> {};

TEST_P(AnonymizeCommandRow, PrintsNoIdentifyingTextAndWritesOnlyTheAllowedCopy) {
  const TRow& R = GetParam();
  TempDir Dir, Lists;
  const std::string In = Dir.File("in.edf");
  R.File.Write(In);
  // Back-dated, so that a write to the original could not hide in the same tick.
  std::filesystem::last_write_time(In, std::filesystem::last_write_time(In) - std::chrono::hours(1));
  const std::string Original = testkit::ReadFileBytes(In);
  const int64_t MTime = testkit::FileMTimeNs(In);
  testkit::WriteFileBytes(Lists.File("words.txt"), "room7\n  M\xC3\xBCller  \n\n");
  std::vector<std::string> Gone = R.Gone;
  if (Gone.empty()) {
    Gone = HeaderStrings;
    Gone.insert(Gone.end(), TokenStrings.begin(), TokenStrings.end());
    Gone.erase(std::find(Gone.begin(), Gone.end(), "room7"));  // in the annotations, only the list finds it
  }

  size_t TextChanges = 0;
  for (const bool Json : {false, true}) {
    if (Json && *R.JsonOutcome == '\0') continue;
    SCOPED_TRACE(Json ? "--json" : "text");
    std::filesystem::remove(Dir.File("out.edf"));
    const TRun Run = RunLine(R.Line, Dir, Lists.File("words.txt"), Json);
    EXPECT_EQ(Run.Exit, R.Exit) << Run.Out << Run.Err;
    for (const std::vector<std::string>* Strings : {&HeaderStrings, &TokenStrings, &ListedStrings})
      for (const std::string& S : *Strings) EXPECT_FALSE(Holds(Run.Out + Run.Err, S)) << S << " printed";
    EXPECT_EQ(testkit::ReadFileBytes(In), Original);
    EXPECT_EQ(testkit::FileMTimeNs(In), MTime);
    EXPECT_EQ(FolderNames(Dir.Path()), R.Folder);
    if (Json) {
      rapidjson::Document Doc;
      ASSERT_FALSE(Doc.Parse(Run.Out.c_str()).HasParseError()) << Run.Out;
      EXPECT_STREQ(Doc["outcome"].GetString(), R.JsonOutcome);
      EXPECT_THAT(Doc["file"].GetString(), testing::StartsWith(In));
      EXPECT_EQ(Doc["changes"].Size(), TextChanges);  // both faces list the same plan
    } else {
      EXPECT_THAT(Run.Out + Run.Err, HasSubstr(R.Says));
      TextChanges = ChangeLines(Run.Out);
    }
    if (R.Fields.empty()) continue;
    const std::string Copy = testkit::ReadFileBytes(Dir.File("out.edf"));
    ExpectCopy(R.File, Original, Copy, R.Fields, Gone);
    const std::set<std::string> Before = RulesOf(In), After = RulesOf(Dir.File("out.edf"));
    EXPECT_TRUE(std::includes(Before.begin(), Before.end(), After.begin(), After.end()));
  }
}

INSTANTIATE_TEST_SUITE_P(Table, AnonymizeCommandRow, testing::ValuesIn(Rows()),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// Every real file gets a copy that passed its second judgement, or a clear
// refusal; none is changed.
TEST(AnonymizeCommand, RealFilesCopiedOrRefusedNeverChanged) {
  const std::string Real = testkit::RealTestDataDir();
  if (Real.empty()) GTEST_SKIP() << "no real test data folder (../shared/testdata/real)";
  std::vector<std::string> Paths = testkit::UntabledRealFiles(Real);
  for (const testkit::RealFile& F : testkit::RealFiles()) Paths.push_back(Real + "/" + F.Name);
  TempDir Dir;
  for (const std::string& In : Paths) {
    const std::string Original = testkit::ReadFileBytes(In);
    for (const char* Options : {"", "--keep-sex --keep-age --keep-equipment --shift-days 1000 --clear-time"}) {
      SCOPED_TRACE(In + " " + Options);
      std::filesystem::remove(Dir.File("out.edf"));
      const TRun Run = RunLine("exec $V " + std::string(Options) + " '" + In + "' $D/out.edf", Dir, "", false);
      if (Run.Exit == 0) {
        EXPECT_THAT(Run.Out, HasSubstr("\nwrote "));
        EXPECT_TRUE(std::filesystem::exists(Dir.File("out.edf")));
      } else {
        EXPECT_EQ(Run.Exit, 1) << Run.Err;
        EXPECT_THAT(Run.Out, HasSubstr("\n  refuse: "));
        EXPECT_FALSE(std::filesystem::exists(Dir.File("out.edf")));
      }
    }
    EXPECT_EQ(testkit::ReadFileBytes(In), Original);
  }
}

}  // namespace
