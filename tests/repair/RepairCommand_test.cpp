// vellicor-repair end to end: the real program on files built byte by byte,
// one fault per row; the copy is compared with the sound file it came from.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "check/FileCheck.h"
#include "repair/RepairCopy.h"
#include "repair/RepairPlan.h"
#include "testkit/EdfBytes.h"

using testkit::EdfBytes;
using testkit::TempDir;
using testkit::With;
using testing::HasSubstr;

namespace {

struct TRun {
  int Exit = -1;
  std::string Out;
  std::string Err;
};

// Runs vellicor-repair with Args, its output caught in a folder of its own;
// FileSizeLimit (bytes, 0 for none) is set in the child only, so a write
// beyond it fails there.
TRun RunRepair(const std::vector<std::string>& Args, rlim_t FileSizeLimit = 0) {
  static const TempDir Scratch;
  static int Counter = 0;
  const std::string Base = Scratch.File("run" + std::to_string(++Counter));
  const pid_t Child = fork();
  if (Child == 0) {
    if (!freopen((Base + ".out").c_str(), "w", stdout) || !freopen((Base + ".err").c_str(), "w", stderr)) _exit(127);
    if (FileSizeLimit > 0) {
      const rlimit Limit{FileSizeLimit, FileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &Limit);
    }
    std::vector<char*> Argv{const_cast<char*>(VELLICOR_REPAIR_EXE)};
    for (const std::string& A : Args) Argv.push_back(const_cast<char*>(A.c_str()));
    Argv.push_back(nullptr);
    execv(VELLICOR_REPAIR_EXE, Argv.data());
    _exit(127);
  }
  int Status = 0;
  waitpid(Child, &Status, 0);
  TRun R;
  R.Exit = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
  R.Out = testkit::ReadFileBytes(Base + ".out");
  R.Err = testkit::ReadFileBytes(Base + ".err");
  return R;
}

// The names in a folder, sorted.
std::vector<std::string> FolderNames(const std::string& Folder) {
  std::vector<std::string> Names;
  for (const auto& E : std::filesystem::directory_iterator(Folder)) Names.push_back(E.path().filename().string());
  std::sort(Names.begin(), Names.end());
  return Names;
}

bool ValidVerdict(const std::string& Path) {
  return CheckFile(Path, TCheckRequest{}).Valid();
}

EdfBytes Sound() { return EdfBytes::Valid(2, 200, 3); }

EdfBytes General(int Field, const std::string& Text, EdfBytes E = Sound()) {
  E.General[static_cast<size_t>(Field)] = Text;
  return E;
}

EdfBytes Signal(int S, int Field, const std::string& Text, EdfBytes E = Sound()) {
  E.Signals[static_cast<size_t>(S)][static_cast<size_t>(Field)] = Text;
  return E;
}

EdfBytes Tail(EdfBytes E, const std::string& Bytes) {
  E.Tail = Bytes;
  return E;
}

struct TRepairCase {
  const char* Name;
  EdfBytes Faulty;
  EdfBytes Repaired;  // the sound file the copy must equal
  const char* Rule;   // a rule the plan names
};
void PrintTo(const TRepairCase& C, std::ostream* Out) { *Out << C.Name; }

class RepairsOneFault : public testing::TestWithParam<TRepairCase> {};

TEST_P(RepairsOneFault, CopyEqualsTheSoundFileAndTheOriginalStaysAsItWas) {
  const TRepairCase& C = GetParam();
  TempDir Dir;
  const std::string In = Dir.File("in.edf");
  const std::string Out = Dir.File("out.edf");
  const std::string Bytes = C.Faulty.Bytes();
  testkit::WriteFileBytes(In, Bytes);
  // Back-dated, so that a write to the original could not hide in the same tick.
  std::filesystem::last_write_time(In, std::filesystem::last_write_time(In) - std::chrono::hours(1));
  const int64_t MTime = testkit::FileMTimeNs(In);

  const TRun R = RunRepair({In, Out});
  EXPECT_EQ(R.Exit, 0) << R.Out << R.Err;
  EXPECT_THAT(R.Out, HasSubstr(std::string(C.Rule) + "]"));
  EXPECT_EQ(testkit::ReadFileBytes(Out), C.Repaired.Bytes());
  EXPECT_TRUE(ValidVerdict(Out));
  EXPECT_EQ(testkit::ReadFileBytes(In), Bytes);
  EXPECT_EQ(testkit::FileMTimeNs(In), MTime);
  EXPECT_EQ(FolderNames(Dir.Path()), (std::vector<std::string>{"in.edf", "out.edf"}));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RepairsOneFault,
    testing::Values(
        TRepairCase{"CountBelowTheWholeRecords", General(7, "2"), Sound(), "layout.filesize"},
        TRepairCase{"CountUnknown", General(7, "-1"), Sound(), "layout.nrdatarecords.unknown"},
        TRepairCase{"CountNotANumber", General(7, "x"), Sound(), "header.nrdatarecords.integer"},
        TRepairCase{"CutRecordCounted", Tail(General(7, "4"), std::string(123, 'x')), Sound(), "layout.filesize"},
        TRepairCase{"CutRecordNotCounted", Tail(Sound(), std::string(799, '\0')), Sound(), "layout.filesize"},
        TRepairCase{"StartDateWithDashes", General(3, "01-02-03"), Sound(), "header.startdate.layout"},
        TRepairCase{"StartTimeWithColons", General(4, "04:05:06"), Sound(), "header.starttime.layout"},
        TRepairCase{"CountWithLeadingBlanks", General(7, "  3"), Sound(), "header.nrdatarecords.justified"},
        TRepairCase{"LabelWithLeadingBlank", Signal(1, 0, " Signal 2"), Sound(), "signal.signallabel.justified"},
        TRepairCase{"DecimalComma", Signal(0, 3, "-500,5"), Signal(0, 3, "-500.5"), "signal.physimin.number"},
        TRepairCase{"HeaderBytesOfOneSignal", General(5, "512"), Sound(), "header.headerbytes.size"},
        // A wrong HeaderBytes keeps the layout from being judged: the count
        // is only found wrong once the header size is mended.
        TRepairCase{"CountHiddenBehindHeaderBytes", General(5, "1024", General(7, "9")), Sound(), "layout.filesize"},
        TRepairCase{"VersionWithJunk", General(0, "0 EDF"), Sound(), "header.version.value"},
        TRepairCase{"ReservedJunkOfPlainEdf", General(6, "\x7F" "abc"), Sound(), "header.reserved.printable"}),
    [](const testing::TestParamInfo<TRepairCase>& I) { return std::string(I.param.Name); });

// Accepted by the rules but tidied: the copy holds blanks for the control
// bytes that trail a text, and a copy is written although no fault was found.
TEST(RepairCommand, TrailingControlBytesAreTidiedToBlanks) {
  TempDir Dir;
  const std::string In = Dir.File("in.edf");
  testkit::WriteFileBytes(In, General(0, std::string("0\0\0\0\0\0\0\0", 8)).Bytes());
  ASSERT_TRUE(ValidVerdict(In));
  const TRun R = RunRepair({In, Dir.File("out.edf")});
  EXPECT_EQ(R.Exit, 0) << R.Out << R.Err;
  EXPECT_THAT(R.Out, HasSubstr("  tidy [text.printable] general header, byte 0: Version"));
  EXPECT_EQ(testkit::ReadFileBytes(Dir.File("out.edf")), Sound().Bytes());
}

struct TRefusalCase {
  const char* Name;
  EdfBytes Faulty;
  const char* Rule;  // the rule of a fault left as found
};
void PrintTo(const TRefusalCase& C, std::ostream* Out) { *Out << C.Name; }

class RefusesAGuess : public testing::TestWithParam<TRefusalCase> {};

TEST_P(RefusesAGuess, WritesNothingAndSaysWhy) {
  const TRefusalCase& C = GetParam();
  TempDir Dir;
  const std::string In = Dir.File("in.edf");
  testkit::WriteFileBytes(In, C.Faulty.Bytes());
  const TRun R = RunRepair({In, Dir.File("out.edf")});
  EXPECT_EQ(R.Exit, 1) << R.Out << R.Err;
  EXPECT_THAT(R.Out, HasSubstr("  refuse [" + std::string(C.Rule) + "]"));
  EXPECT_THAT(R.Out, HasSubstr("\nrefused: "));
  EXPECT_EQ(FolderNames(Dir.Path()), std::vector<std::string>{"in.edf"});
  EXPECT_EQ(testkit::ReadFileBytes(In), C.Faulty.Bytes());
}

INSTANTIATE_TEST_SUITE_P(
    Guesses, RefusesAGuess,
    testing::Values(
        TRefusalCase{"DigiMinAboveDigiMax", Signal(0, 5, "3000"), "signal.digimin.order"},
        TRefusalCase{"NrSamplesUnreadable", Signal(1, 8, "2O0"), "signal.nrsamples.integer"},
        TRefusalCase{"NoCalendarDate", General(3, "31.02.03"), "header.startdate.calendar"},
        TRefusalCase{"SeparatorsMendedStillNoDate", General(3, "31-02-03"), "header.startdate.layout"},
        TRefusalCase{"CutRecordWithUnknownCount", Tail(General(7, "-1"), "xy"), "layout.nrdatarecords.unknown"},
        TRefusalCase{"CutRecordWithOtherCount", Tail(General(7, "5"), "xy"), "layout.filesize"},
        TRefusalCase{"CommaThatMayGroupThousands", Signal(0, 4, "1,000"), "signal.physimax.number"},
        TRefusalCase{"VersionNumberNotJunk", General(0, "01"), "header.version.value"},
        TRefusalCase{"JunkInsideEdfPlusReserved", General(6, "EDF+C\x01x"), "header.reserved.printable"},
        TRefusalCase{"ControlByteBeforeText", Signal(0, 0, "\x01Signal 1"), "signal.signallabel.justified"},
        TRefusalCase{"RecordDurationZero", General(8, "0"), "header.samplerecduration.minimum"}),
    [](const testing::TestParamInfo<TRefusalCase>& I) { return std::string(I.param.Name); });

TEST(RepairCommand, PartialWritesTheCertainChangesAlone) {
  TempDir Dir;
  const std::string In = Dir.File("in.edf");
  const EdfBytes Faulty = General(3, "01-02-03", Signal(0, 5, "3000"));
  testkit::WriteFileBytes(In, Faulty.Bytes());
  EXPECT_EQ(RunRepair({In, Dir.File("all.edf")}).Exit, 1);
  EXPECT_FALSE(std::filesystem::exists(Dir.File("all.edf")));

  const TRun R = RunRepair({"--partial", In, Dir.File("part.edf")});
  EXPECT_EQ(R.Exit, 0) << R.Out << R.Err;
  EXPECT_THAT(R.Out, HasSubstr("1 change, 3 faults left as found"));
  // An inverted digital range keeps the record layout from being judged:
  // the plan says so rather than passing a wrong count over in silence.
  EXPECT_THAT(R.Out, HasSubstr("\n  unjudged: while these faults stay, NrDataRecords is not compared with the file size\n"));
  EXPECT_EQ(testkit::ReadFileBytes(Dir.File("part.edf")), Signal(0, 5, "3000").Bytes());
}

TEST(RepairCommand, SoundFileAndDryRunWriteNothing) {
  TempDir Dir;
  const std::string In = Dir.File("in.edf");
  testkit::WriteFileBytes(In, Sound().Bytes());
  TRun R = RunRepair({In, Dir.File("out.edf")});
  EXPECT_EQ(R.Exit, 0);
  EXPECT_EQ(R.Out, In + ": no fault found\nnothing to repair: nothing written\n");

  testkit::WriteFileBytes(In, General(7, "-1").Bytes());
  R = RunRepair({"--dry-run", In, Dir.File("out.edf")});
  EXPECT_EQ(R.Exit, 0) << R.Out;
  EXPECT_THAT(R.Out, HasSubstr("dry run: nothing written; the copy would hold 1 change"));
  EXPECT_FALSE(std::filesystem::exists(Dir.File("out.edf")));
}

TEST(RepairCommand, JsonGivesTheChangeWithItsBytes) {
  TempDir Dir;
  const std::string In = Dir.File("in.edf");
  testkit::WriteFileBytes(In, General(3, "01-02-03").Bytes());
  const TRun R = RunRepair({"--json", In, Dir.File("out.edf")});
  EXPECT_EQ(R.Exit, 0);
  EXPECT_EQ(R.Out, "{\"file\":\"" + In + "\",\"outcome\":\"written\",\"output\":\"" + Dir.File("out.edf") +
                       "\",\"layoutJudged\":true,\"inputBytes\":3168,\"outputBytes\":3168,\"changes\":[{\"kind\":\"change\","
                       "\"rules\":[\"header.startdate.layout\"],\"place\":\"general header\",\"field\":\"StartDate\","
                       "\"offset\":168,\"length\":8,\"old\":\"01-02-03\",\"new\":\"01.02.03\",\"why\":\"the digits "
                       "stand in the places of dd, mm and yy; only the separators were not '.'\"}],\"refusals\":[]}\n");
}

TEST(RepairCommand, OutNamingTheOriginalIsRefusedByEveryPath) {
  TempDir Dir;
  const std::string In = Dir.File("in.edf");
  const std::string Bytes = General(7, "-1").Bytes();
  testkit::WriteFileBytes(In, Bytes);
  std::filesystem::create_hard_link(In, Dir.File("hard.edf"));
  std::filesystem::create_symlink(In, Dir.File("soft.edf"));
  for (const std::string& Out : {In, Dir.Path() + "/./in.edf", Dir.File("hard.edf"), Dir.File("soft.edf")}) {
    const TRun R = RunRepair({In, Out});
    EXPECT_EQ(R.Exit, 2) << Out;
    EXPECT_THAT(R.Err, HasSubstr("is IN itself")) << Out;
    EXPECT_EQ(R.Out, "") << Out;
  }
  EXPECT_EQ(testkit::ReadFileBytes(In), Bytes);
  EXPECT_TRUE(std::filesystem::is_symlink(Dir.File("soft.edf")));
}

// A write that fails part-way leaves neither the copy nor its temporary
// file. The limit on file sizes stands in for a full disk: it is set in a
// child only, after planning, which judges the repaired header as a file of
// the full size and would meet the limit first.
TEST(RepairCopy, FailedWriteLeavesNothingBehind) {
  TempDir Dir;
  const std::string In = Dir.File("in.edf");
  testkit::WriteFileBytes(In, General(7, "-1", EdfBytes::Valid(2, 200, 40)).Bytes());
  const TRepairPlan Plan = PlanRepair(In);
  ASSERT_EQ(Plan.Changes.size(), 1u);
  const pid_t Child = fork();
  if (Child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit Limit{16384, 16384};
    setrlimit(RLIMIT_FSIZE, &Limit);
    try {
      WriteRepairedCopy(Plan, Dir.File("out.edf"));
    } catch (const ERepairWrite& e) {
      _exit(std::string(e.what()).find("cannot write") != std::string::npos ? 3 : 4);
    }
    _exit(0);
  }
  int Status = 0;
  waitpid(Child, &Status, 0);
  EXPECT_EQ(WIFEXITED(Status) ? WEXITSTATUS(Status) : -1, 3);
  EXPECT_EQ(FolderNames(Dir.Path()), std::vector<std::string>{"in.edf"});

  const TRun Missing = RunRepair({In, Dir.File("no/such/folder/out.edf")});
  EXPECT_EQ(Missing.Exit, 2);
  EXPECT_THAT(Missing.Err, HasSubstr("cannot create a file in"));
}

TEST(RepairCommand, ReadOnlyFolderLeavesNothingBehind) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root, which writes into read-only folders";
  TempDir Dir;
  const std::string In = Dir.File("in.edf");
  testkit::WriteFileBytes(In, General(7, "-1").Bytes());
  const std::string Locked = Dir.File("locked");
  std::filesystem::create_directory(Locked);
  std::filesystem::permissions(Locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const TRun R = RunRepair({In, Locked + "/out.edf"});
  std::filesystem::permissions(Locked, std::filesystem::perms::owner_all);
  EXPECT_EQ(R.Exit, 2);
  EXPECT_TRUE(std::filesystem::is_empty(Locked));
}

TEST(RepairCommand, UsageErrorsExitTwo) {
  TempDir Dir;
  const std::string In = Dir.File("in.edf");
  testkit::WriteFileBytes(In, Sound().Bytes());
  for (const std::vector<std::string>& Args :
       std::vector<std::vector<std::string>>{{}, {In}, {In, "a", "b"}, {"--frobnicate", In, "a"}}) {
    const TRun R = RunRepair(Args);
    EXPECT_EQ(R.Exit, 2);
    EXPECT_THAT(R.Err, HasSubstr("--help"));
  }
  const TRun Missing = RunRepair({Dir.File("missing.edf"), Dir.File("out.edf")});
  EXPECT_EQ(Missing.Exit, 2);
  EXPECT_THAT(Missing.Err, HasSubstr("No such file"));
}

}  // namespace
