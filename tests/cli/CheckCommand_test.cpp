// vellicor-check end to end: the real binary on files built byte by byte.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "RunCli.h"
#include "check/HeaderJudgement.h"
#include "edf/uEDFLayout.h"
#include "testkit/EdfBytes.h"
#include "testkit/RealFiles.h"

using clitest::HasLine;
using clitest::RunCli;
using testkit::EdfBytes;
using testkit::TempDir;
using testing::HasSubstr;

namespace {

const std::string kValid = "File has a valid EDF fileheader.";
const std::string kInvalid = "File is not a valid EDF file";

std::string WriteEdf(const TempDir& Dir, const std::string& Name, const EdfBytes& E) {
  const std::string path = Dir.File(Name);
  testkit::WriteFileBytes(path, E.Bytes());
  return path;
}

TEST(CheckCommand, ValidFileGivesValidVerdictAndExitZero) {
  TempDir dir;
  const std::string path = WriteEdf(dir, "ok.edf", EdfBytes::Valid(2, 200, 3));
  const auto r = RunCli({path}, dir.Path());
  EXPECT_EQ(r.Exit, 0);
  EXPECT_EQ(r.Out, path + ": " + kValid + "\n  format: EDF\n  Datablock size = 800 bytes\n");
  EXPECT_EQ(r.Err, "");
}

// One broken field per row: the exit status and the lines that must name it.
struct FaultCase {
  const char* Name;
  std::function<EdfBytes()> Make;
  int Exit;
  std::vector<std::string> Lines;  // with "signal"/"general" places, indented
};

// Keeps test listings readable (GoogleTest would dump the bytes otherwise).
void PrintTo(const FaultCase& Case, std::ostream* Out) { *Out << Case.Name; }

EdfBytes Valid2() { return EdfBytes::Valid(2, 200, 3); }

EdfBytes WithGeneral(int Field, const std::string& Text) {
  EdfBytes e = Valid2();
  e.General[static_cast<size_t>(Field)] = Text;
  return e;
}

EdfBytes WithSignal(int Signal, int Field, const std::string& Text) {
  EdfBytes e = Valid2();
  e.Signals[static_cast<size_t>(Signal)][static_cast<size_t>(Field)] = Text;
  return e;
}

const std::vector<FaultCase>& FaultCases() {
  // The rules themselves are tested on the library; these rows pin the form
  // of the lines: severity, rule, place, byte offset and sentence.
  static const std::vector<FaultCase> cases = {
      {"LeadingBlankVersion", [] { return WithGeneral(0, " 0"); }, 1,
       {"  error [header.version.justified] general header, byte 0: Version \" 0\" is not left-justified"}},
      {"StartDateWithDashes", [] { return WithGeneral(3, "01-02-03"); }, 1,
       {"  error [header.startdate.layout] general header, byte 168: StartDate 01-02-03 is not laid out as dd.mm.yy"}},
      {"HeaderBytesLeadingBlankIsOnlyANote", [] { return WithGeneral(5, " 768"); }, 0,
       {"  note [text.justified] general header, byte 184: HeaderBytes \" 768\" is not left-justified"}},
      {"SignalLabelByte200", [] { return WithSignal(1, 0, "Sig\xC8"); }, 1,
       {"  error [signal.signallabel.printable] signal 2 (Sig\\xC8), byte 272: SignalLabel \"Sig\\xC8\" holds bytes outside printable ASCII"}},
      {"PhysiMinNotANumberIsOnlyAWarning", [] { return WithSignal(0, 3, "abc"); }, 0,
       {"  warning [signal.physimin.number] signal 1 (Signal 1), byte 464: PhysiMin abc is not a decimal number",
        "  warning [signal.calibration] signal 1 (Signal 1), byte 464: Signal is not calibrated: PhysiMin abc is not a decimal number"}},
      {"QuoteAndBackslashEscaped", [] { return WithSignal(0, 1, " a\"b\\"); }, 1,
       {"  error [signal.transducertype.justified] signal 1 (Signal 1), byte 288: TransducerType \" a\\\"b\\\\\" is not left-justified"}},
      {"RecordTooLarge", [] { return EdfBytes::Valid(1, 30721, 1); }, 1,
       {"  error [layout.record.size] file, byte 512: a data record holds 61442 bytes, above the limit of 61440",
        "  Datablock size = 61442 bytes, exceeds 61440"}},
  };
  return cases;
}

class CheckCommandFault : public testing::TestWithParam<FaultCase> {};

TEST_P(CheckCommandFault, NamesTheFieldItsRawTextAndReason) {
  const FaultCase& c = GetParam();
  TempDir dir;
  const std::string path = WriteEdf(dir, "f.edf", c.Make());
  const auto r = RunCli({path}, dir.Path());
  EXPECT_EQ(r.Exit, c.Exit) << r.Out;
  EXPECT_TRUE(HasLine(r.Out, path + ": " + (c.Exit == 0 ? kValid : kInvalid))) << r.Out;
  for (const std::string& line : c.Lines) EXPECT_TRUE(HasLine(r.Out, line)) << line << "\n" << r.Out;
  // Every line of the report is either the verdict or an indented finding
  // that says what it is.
  for (const std::string& line : clitest::SplitLines(r.Out)) {
    if (line.rfind(path + ": ", 0) == 0) continue;
    ASSERT_FALSE(line.empty());
    EXPECT_TRUE(line.rfind("  error [", 0) == 0 || line.rfind("  warning [", 0) == 0 ||
                line.rfind("  note [", 0) == 0 || line.rfind("  Datablock size = ", 0) == 0 ||
                line == "  format: EDF")
        << line;
    EXPECT_NE(line.back(), ' ') << line;
  }
  EXPECT_EQ(r.Err, "");
}

INSTANTIATE_TEST_SUITE_P(Table, CheckCommandFault, testing::ValuesIn(FaultCases()),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(CheckCommand, MissingPathAmongValidOnesIsReportedAndTheRestChecked) {
  TempDir dir;
  const std::string a = WriteEdf(dir, "a.edf", Valid2());
  const std::string b = WriteEdf(dir, "b.edf", Valid2());
  const std::string missing = dir.File("missing.edf");
  const auto r = RunCli({a, missing, b}, dir.Path());
  EXPECT_EQ(r.Exit, 2);
  EXPECT_EQ(r.Err, "vellicor-check: cannot read '" + missing + "': No such file or directory\n");
  EXPECT_TRUE(HasLine(r.Out, a + ": " + kValid));
  EXPECT_TRUE(HasLine(r.Out, b + ": " + kValid));
}

TEST(CheckCommand, UnreadablePathWinsOverInvalidFile) {
  TempDir dir;
  const std::string bad = WriteEdf(dir, "bad.edf", WithGeneral(0, " 0"));
  const auto r = RunCli({bad, dir.File("nope.edf")}, dir.Path());
  EXPECT_EQ(r.Exit, 2);
  EXPECT_TRUE(HasLine(r.Out, bad + ": " + kInvalid));
}

TEST(CheckCommand, DirectoryWithoutRecursiveIsAnError) {
  TempDir dir;
  WriteEdf(dir, "a.edf", Valid2());
  const auto r = RunCli({dir.Path()}, dir.Path());
  EXPECT_EQ(r.Exit, 2);
  EXPECT_EQ(r.Err, "vellicor-check: cannot read '" + dir.Path() + "': Is a directory\n");
  EXPECT_EQ(r.Out, "");
}

TEST(CheckCommand, FileNameThatIsNotUtf8IsOpenedByItsExactBytes) {
  TempDir dir;
  const std::string path = WriteEdf(dir, "n\xFFx.edf", Valid2());
  const auto r = RunCli({path}, dir.Path());
  EXPECT_EQ(r.Exit, 0) << r.Err;
  EXPECT_TRUE(HasLine(r.Out, dir.Path() + "/n\\xFFx.edf: " + kValid)) << r.Out;
}

TEST(CheckCommand, FolderWithoutEdfFilesSaysSoAndFails) {
  TempDir dir;
  testkit::WriteFileBytes(dir.File("readme.txt"), "x");
  const auto r = RunCli({"-r", dir.Path()}, dir.Path());
  EXPECT_EQ(r.Exit, 2);
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(r.Err, "vellicor-check: cannot read '" + dir.Path() + "': no .edf or .bdf files in this folder\n");
}

TEST(CheckCommand, WrongUsageExitsTwoWithAMessage) {
  TempDir dir;
  const std::string path = WriteEdf(dir, "a.edf", Valid2());
  const std::vector<std::vector<std::string>> usages = {
      {}, {"--no-such-option", path}, {"-j", "0", path}, {"--jobs", "two", path}, {"-j"}};
  for (const auto& args : usages) {
    const auto r = RunCli(args, dir.Path());
    EXPECT_EQ(r.Exit, 2) << testing::PrintToString(args);
    EXPECT_THAT(r.Err, HasSubstr("vellicor-check: ")) << testing::PrintToString(args);
    EXPECT_EQ(r.Out, "") << testing::PrintToString(args);
  }
}

TEST(CheckCommand, HelpAndVersionAsUsersExpect) {
  TempDir dir;
  const auto help = RunCli({"--help"}, dir.Path());
  EXPECT_EQ(help.Exit, 0);
  EXPECT_THAT(help.Out, HasSubstr("Usage: "));
  EXPECT_THAT(help.Out, HasSubstr("--minmax"));
  EXPECT_THAT(help.Out, HasSubstr("--jobs <N>"));
  EXPECT_THAT(help.Out, HasSubstr(".edf or .bdf"));  // what -r collects
  EXPECT_THAT(help.Out, testing::Not(HasSubstr("--help-all")));  // the toolkit's options are not ours
  const auto version = RunCli({"--version"}, dir.Path());
  EXPECT_EQ(version.Exit, 0);
  EXPECT_THAT(version.Out, testing::MatchesRegex("vellicor-check [0-9]+\\.[0-9]+\\.[0-9]+\n"));
}

// A dozen files of every kind, some with data outside the digital range.
std::vector<std::string> MixedFiles(const TempDir& Dir) {
  std::vector<std::string> paths;
  for (int i = 0; i < 12; ++i) {
    EdfBytes e = EdfBytes::Valid(1 + i % 3, 50 + 10 * i, 2 + i % 4);
    if (i % 4 == 1) e.General[3] = "01-02-03";
    if (i % 4 == 2) e.Sample = [i](int, int s, int k) { return static_cast<int16_t>(k * 100 * (s + 1) - i); };
    if (i % 5 == 3) e.Signals[0][3] = "";
    paths.push_back(WriteEdf(Dir, 'm' + std::to_string(i) + ".edf", e));
  }
  return paths;
}

TEST(CheckCommand, TwoJobsPrintExactlyWhatOneJobPrints) {
  TempDir dir;
  std::vector<std::string> files = MixedFiles(dir);
  files.insert(files.begin() + 5, dir.File("gone.edf"));
  for (const std::vector<std::string>& mode : {std::vector<std::string>{},
                                               std::vector<std::string>{"--minmax"},
                                               std::vector<std::string>{"--json", "--minmax"},
                                               std::vector<std::string>{"--json", "--quality", "--minmax"}}) {
    std::vector<std::string> one = mode, two = mode;
    one.insert(one.end(), {"-j", "1"});
    two.insert(two.end(), {"-j", "2"});
    one.insert(one.end(), files.begin(), files.end());
    two.insert(two.end(), files.begin(), files.end());
    const auto r1 = RunCli(one, dir.Path());
    const auto r2 = RunCli(two, dir.Path());
    EXPECT_EQ(r1.Exit, 2);
    EXPECT_EQ(r2.Exit, r1.Exit);
    EXPECT_EQ(r2.Out, r1.Out);
    EXPECT_EQ(r2.Err, r1.Err);
    EXPECT_EQ(clitest::SplitLines(r1.Err).size(), 1u);
  }
}

TEST(CheckCommand, CheckedFilesAreLeftUnchanged) {
  TempDir dir;
  const std::vector<std::string> files = MixedFiles(dir);
  std::vector<std::string> bytes;
  std::vector<int64_t> mtimes;
  for (const std::string& f : files) {
    bytes.push_back(testkit::ReadFileBytes(f));
    mtimes.push_back(testkit::FileMTimeNs(f));
  }
  std::vector<std::string> args = {"--minmax", "-j", "2"};
  args.insert(args.end(), files.begin(), files.end());
  EXPECT_EQ(RunCli(args, dir.Path()).Exit, 1);
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(testkit::ReadFileBytes(files[i]), bytes[i]) << files[i];
    EXPECT_EQ(testkit::FileMTimeNs(files[i]), mtimes[i]) << files[i];
  }
}

// Files from other projects' test suites: the verdicts of the shared table,
// each fault named with its field, and the files never changed.
TEST(CheckCommand, EveryRealFileGetsItsVerdict) {
  const std::string real = testkit::RealTestDataDir();
  if (real.empty()) GTEST_SKIP() << "no real test data folder (../shared/testdata/real)";
  TempDir dir;
  for (const testkit::RealFile& c : testkit::RealFiles()) {
    const std::string f = real + "/" + c.Name;
    SCOPED_TRACE(f);
    const std::string bytes = testkit::ReadFileBytes(f);
    const int64_t mtime = testkit::FileMTimeNs(f);
    const auto r = RunCli({"--minmax", f}, dir.Path());
    EXPECT_EQ(r.Exit, c.Valid ? 0 : 1) << r.Err;
    const std::string verdict = VerdictText(c.Bdf() ? TEDFFormat::BDF : TEDFFormat::EDF, c.Valid);
    EXPECT_TRUE(HasLine(r.Out, f + ": " + verdict.substr(0, verdict.find('\n')))) << r.Out;
    EXPECT_TRUE(HasLine(r.Out, "  format: " + c.Format)) << r.Out;
    if (c.Valid) {
      EXPECT_TRUE(HasLine(r.Out, "  Datablock size = " + std::to_string(c.DataBlockBytes) + " bytes")) << r.Out;
      EXPECT_TRUE(HasLine(r.Out, "  digital min/max: No errors found")) << r.Out;
    }
    for (const testkit::RealFault& fault : c.Faults)
      EXPECT_THAT(r.Out, HasSubstr("general header, byte " + std::to_string(EDFGeneralFieldOffset(fault.Field)) +
                                   ": " + EDFGeneralFields[static_cast<size_t>(fault.Field)].Caption + " " +
                                   fault.Raw));
    EXPECT_EQ(r.Err, "");
    EXPECT_TRUE(testkit::ReadFileBytes(f) == bytes) << "the file was changed";
    EXPECT_EQ(testkit::FileMTimeNs(f), mtime);
  }
  // A file added to the folder later still gets a verdict.
  for (const std::string& f : testkit::UntabledRealFiles(real)) {
    const auto r = RunCli({"--minmax", f}, dir.Path());
    EXPECT_TRUE(r.Exit == 0 || r.Exit == 1) << f << " exit " << r.Exit << "\n" << r.Err;
    EXPECT_EQ(r.Out.rfind(f + ": File ", 0), 0u) << r.Out;
  }
}

}  // namespace
