// vellicor-check against hostile inputs and careless use, through the real
// binary: no hang, no abort, no lost report, no forged line.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "RunCli.h"
#include "cli/CheckCommand.h"
#include "cli/Progress.h"
#include "check/Conformance.h"
#include "check/PrivacyAudit.h"
#include "edf/uEDF.h"
#include "testkit/EdfBytes.h"
#include "testkit/PlusBytes.h"

using clitest::ShellQuote;
using testing::HasSubstr;
using testkit::EdfBytes;
using testkit::PlusBytes;
using testkit::TempDir;

namespace {

struct TShellResult {
  int Exit = -1;
  std::string Out;
  std::string Err;
};

// Runs a shell line in which $V is the program and $D the test folder;
// standard output and error go to files unless the line redirects them.
TShellResult Shell(const std::string& Line, const TempDir& Dir) {
  static int Counter = 0;
  const std::string Base = Dir.File("sh" + std::to_string(++Counter));
  const std::string Cmd = "V=" + ShellQuote(VELLICOR_CHECK_EXE) + " D=" + ShellQuote(Dir.Path()) +
                          " timeout 20 bash -c " + ShellQuote(Line) + " >" + ShellQuote(Base + ".out") +
                          " 2>" + ShellQuote(Base + ".err") + " </dev/null";
  const int Status = std::system(Cmd.c_str());
  return {WIFEXITED(Status) ? WEXITSTATUS(Status) : -1, testkit::ReadFileBytes(Base + ".out"),
          testkit::ReadFileBytes(Base + ".err")};
}

struct TRow {
  const char* Name;
  std::function<void(const TempDir&)> Setup;
  const char* Line;
  int Exit;
  const char* Err;  // a part of standard error ("" when it must be empty)
  const char* Out;  // a part of standard output ("" when not checked)
};
void PrintTo(const TRow& R, std::ostream* Os) { *Os << R.Name; }

void ValidFile(const TempDir& Dir) { testkit::WriteFileBytes(Dir.File("ok.edf"), EdfBytes::Valid(2, 100, 3).Bytes()); }

void CommaDuration(const TempDir& Dir) {
  testkit::WriteFileBytes(Dir.File("comma.edf"),
                          With(EdfBytes::Valid(1, 10, 1), [](EdfBytes& E) { E.General[8] = "1,5"; }).Bytes());
}

// r.jsonl holding Text: lines for --summarize.
std::function<void(const TempDir&)> Lines(std::string Text) {
  return [Text](const TempDir& Dir) { testkit::WriteFileBytes(Dir.File("r.jsonl"), Text); };
}
constexpr const char* kOkLine = R"({"file":"ok.edf","valid":true,"findings":[]})" "\n";
constexpr const char* kHugeTotal =
    R"({"file":"x.edf","valid":false,"findings":[],)"
    R"("conformance":{"totals":{"edfplus.tal.onset":{"listed":0,"total":9223372036854775807}}}})" "\n";

void UnicodeBreaksInAName(const TempDir& Dir) {
  testkit::WriteFileBytes(Dir.File("a\u2028b\u0085c\u2029.edf"), EdfBytes::Valid(1, 10, 1).Bytes());
}

const std::vector<TRow>& Rows() {
  static const std::vector<TRow> R = {
      {"FifoNamedDirectly", [](const TempDir& Dir) { mkfifo(Dir.File("p.edf").c_str(), 0600); }, "$V $D/p.edf", 2,
       "cannot read '", ""},
      {"FifoInsideARecursiveTree",
       [](const TempDir& Dir) {
         ValidFile(Dir);
         mkfifo(Dir.File("x.edf").c_str(), 0600);
       },
       "$V -r $D", 2, "x.edf': not a regular file", "ok.edf: File has a valid EDF fileheader."},
      {"DevZero", ValidFile, "$V /dev/zero", 2, "cannot read '/dev/zero': not a regular file", ""},
      {"StdinFromAPipe", ValidFile, "cat $D/ok.edf | $V /dev/stdin", 2, "cannot read '/dev/stdin': not a regular file", ""},
      {"FileLockedByAnotherProgram", ValidFile, "flock -x $D/ok.edf $V $D/ok.edf", 2,
       "ok.edf': locked by another program", ""},
      {"CommaDecimalUnderAGermanLocale", CommaDuration, "LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 $V $D/comma.edf", 1, "",
       "SampleRecDuration 1,5 is not a decimal number"},
      {"CommaDecimalUnderC", CommaDuration, "LC_ALL=C $V $D/comma.edf", 1, "",
       "SampleRecDuration 1,5 is not a decimal number"},
      {"OutputToAFullDisk", ValidFile, "$V $D/ok.edf >/dev/full", 2,
       "cannot write the report to standard output: No space left on device", ""},
      {"StandardOutputClosed", ValidFile, "$V $D/ok.edf >&-", 2, "standard output is closed", ""},
      {"ReaderStopsWhileSigpipeIsIgnored",
       [](const TempDir& Dir) {
         for (int i = 0; i < 300; ++i)
           testkit::WriteFileBytes(Dir.File('f' + std::to_string(i) + ".edf"), EdfBytes::Valid(1, 10, 1).Bytes());
       },
       "trap '' PIPE; $V -r $D | head -c 10 >/dev/null; exit ${PIPESTATUS[0]}", 2, "Broken pipe", ""},
      {"NameWithANewlineCannotForgeALine",
       [](const TempDir& Dir) {
         testkit::WriteFileBytes(Dir.File("x\nx.edf: File has a valid EDF fileheader."),
                                 With(EdfBytes::Valid(1, 10, 1), [](EdfBytes& E) { E.General[0] = "1"; }).Bytes());
       },
       "$V $D/x*", 1, "", "x\\x0Ax.edf: File has a valid EDF fileheader.: File is not a valid EDF file\n"},
      {"UnicodeLineBreaksInANameCannotForgeALine",
       [](const TempDir& Dir) {
         testkit::WriteFileBytes(Dir.File("a\xC2\x85" "b\xE2\x80\xA8" "c\xE2\x80\xA9" "d.edf"),
                                 EdfBytes::Valid(1, 10, 1).Bytes());
       },
       "cd $D && $V *.edf", 0, "", "a\\xC2\\x85b\\xE2\\x80\\xA8c\\xE2\\x80\\xA9d.edf: File has a valid EDF fileheader.\n"},
      // On a terminal (script gives the program one) the progress line shows
      // the name escaped: its escape sequences set no title, clear no screen.
      {"EscapeSequencesInANameOnTheProgressLine",
       [](const TempDir& Dir) {
         testkit::WriteFileBytes(Dir.File("\x1B]0;owned\x07\x1B[2J.edf"), EdfBytes::Valid(1, 10, 3).Bytes());
       },
       "cd $D && script -qec \"$V --minmax -- *.edf\" /dev/null >$D/tty.txt; "
       "grep -qF '% \\x1B]0;owned\\x07\\x1B[2J.edf' $D/tty.txt && echo escaped; grep -c $'\\x1B]' $D/tty.txt; true",
       0, "", "escaped\n0\n"},
      {"NameThatIsNotUtf8InJson",
       [](const TempDir& Dir) { testkit::WriteFileBytes(Dir.File("n\xFFx.edf"), EdfBytes::Valid(1, 10, 1).Bytes()); },
       "cd $D && $V --json n*.edf", 0, "", "\"file\":\"n\\\\xFFx.edf\",\"fileEscaped\":true,"},
      // --summarize: the path rules of the check, and only lines of ours.
      {"SummarizeAFifo", [](const TempDir& Dir) { mkfifo(Dir.File("p.jsonl").c_str(), 0600); },
       "$V --summarize $D/p.jsonl", 2, "p.jsonl': not a regular file", "summary: 0 files"},
      {"SummarizeDevZero", ValidFile, "$V --summarize /dev/zero --html $D/p.html", 2,
       "cannot read '/dev/zero': not a regular file", "summary: 0 files"},
      {"SummarizeAFolder", ValidFile, "$V --summarize $D", 2, "': Is a directory", "summary: 0 files"},
      {"SummarizeAnEmptyFile", Lines(""), "$V --summarize $D/r.jsonl", 2,
       "r.jsonl': no line of vellicor-check --json in it", "summary: 0 files"},
      {"SummarizeARuleIdWithANewline",
       Lines(std::string(kOkLine) +
             R"({"file":"a.edf","valid":false,"findings":[{"rule":"x\nsummary: 9 files","severity":"error"}]})"),
       "$V --summarize $D/r.jsonl", 2, "r.jsonl:2: not a line of vellicor-check --json",
       "summary: 1 files: 1 valid, 0 invalid, 0 not read\n"},
      {"SummarizeTotalsBeyondInt64Saturate", Lines(std::string(kHugeTotal) + kHugeTotal), "$V --summarize $D/r.jsonl", 1,
       "", "[edfplus.tal.onset] 9223372036854775807 findings in 2 files"},
      {"SummarizeALineOfAnotherProgram", Lines(std::string(kOkLine) + R"({"file":"pkg","version":"1.0"})"),
       "$V --summarize $D/r.jsonl --html $D/p.html", 2, "r.jsonl:2: not a line of vellicor-check --json",
       "summary: 1 files"},
      // Unicode line breaks in a name are escaped, and read back as they were.
      {"UnicodeLineBreaksInJson", UnicodeBreaksInAName, "cd $D && $V --json a*.edf", 0, "",
       "\"file\":\"a\\u2028b\\u0085c\\u2029.edf\""},
      {"UnicodeLineBreaksReadBack", UnicodeBreaksInAName,
       "cd $D && $V --json a*.edf >r.jsonl && $V --summarize r.jsonl --html p.html && grep -o 'data-file=\"[^\"]*\"' p.html",
       0, "", "0 not read\n" "data-file=\"a\u2028b\u0085c\u2029.edf\""},
  };
  return R;
}

class HostileInputs : public testing::TestWithParam<TRow> {};

TEST_P(HostileInputs, EndsWithTheRightStatusAndMessage) {
  const TRow& Row = GetParam();
  TempDir Dir;
  Row.Setup(Dir);
  const TShellResult R = Shell(Row.Line, Dir);
  EXPECT_EQ(R.Exit, Row.Exit) << R.Err;
  if (*Row.Err) {
    EXPECT_THAT(R.Err, HasSubstr(Row.Err));
  } else {
    EXPECT_EQ(R.Err, "");
  }
  if (*Row.Out) {
    EXPECT_THAT(R.Out, HasSubstr(Row.Out));
  }
}

INSTANTIATE_TEST_SUITE_P(Table, HostileInputs, testing::ValuesIn(Rows()),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// Numbers in messages do not follow the locale: under one with a decimal
// comma (made with localedef where the system has none) the report reads as
// under C, so reports merged from many machines agree.
TEST(HostileInputs, NumbersInMessagesFollowNoLocale) {
  TempDir Dir;
  testkit::PlusBytes P = testkit::PlusBytes::Valid();
  P.Annotations = [](int r, int) { return testkit::TimeKeeping(r == 2 ? "+2.0000000015" : "+" + std::to_string(r)); };
  P.Write(Dir.File("noise.edf"));
  const std::string Locale = "LOCPATH=$D LC_ALL=de_DE.UTF-8 ";
  if (Shell("localedef -i de_DE -f UTF-8 $D/de_DE.UTF-8 >/dev/null 2>&1; " + Locale + "/usr/bin/printf %.1f 1.5", Dir)
          .Out != "1,5")
    GTEST_SKIP() << "no locale with a decimal comma could be had";
  const TShellResult R = Shell(Locale + "$V --conformance $D/noise.edf", Dir);
  EXPECT_EQ(R.Exit, 0) << R.Err;
  EXPECT_THAT(R.Out, HasSubstr(", 0.0000000015 s after the previous record ends (2 s): rounding noise far below the "
                               "0.1 s sample period, not a gap\n"));
}

TEST(HostileInputs, ThreadsThatCannotStartLeaveTheRunToTheOnesThatDid) {
  TempDir Dir;
  std::vector<std::string> Paths;
  for (int i = 0; i < 8; ++i) {
    Paths.push_back(Dir.File('t' + std::to_string(i) + ".edf"));
    testkit::WriteFileBytes(Paths.back(), EdfBytes::Valid(1 + i % 2, 20, 2).Bytes());
  }
  const auto Run = [&](int Jobs, int Startable) {
    TCheckOptions O;
    O.Paths = Paths;
    O.Jobs = Jobs;
    int Started = 0;
    O.StartThread = [&](std::vector<std::thread>& Threads, std::function<void()> Work) {
      if (Started >= Startable) return false;
      ++Started;
      Threads.emplace_back(std::move(Work));
      return true;
    };
    testing::internal::CaptureStdout();
    const int Status = RunChecks(O);
    return std::make_pair(Status, testing::internal::GetCapturedStdout());
  };
  const auto One = Run(1, 0);
  EXPECT_EQ(One.first, 0);
  EXPECT_EQ(clitest::SplitLines(One.second).size(), 24u);  // verdict, format, data block
  EXPECT_EQ(Run(200, 0), One);  // no thread at all: the calling thread does it all
  EXPECT_EQ(Run(200, 2), One);  // some threads only
}

struct TChild {
  int Exit = -1;
  long PeakKiB = 0;
  std::string Out;
  std::string Err;
};

// Runs Body in a child process with standard output to OutFile and standard
// error beside it: its exit status (Body's result), peak memory and output.
TChild RunChild(const std::function<int()>& Body, const std::string& OutFile = "/dev/null") {
  const bool Kept = OutFile != "/dev/null";
  const pid_t Pid = fork();
  if (Pid == 0) {
    dup2(open(OutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
    if (Kept) dup2(open((OutFile + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
    _exit(Body());
  }
  int Status = 0;
  rusage Usage{};
  wait4(Pid, &Status, 0, &Usage);
  return {WIFEXITED(Status) ? WEXITSTATUS(Status) : -1, Usage.ru_maxrss,
          Kept ? testkit::ReadFileBytes(OutFile) : "", Kept ? testkit::ReadFileBytes(OutFile + ".err") : ""};
}

// A child's body that runs Args (the program first).
std::function<int()> ExecBody(std::vector<std::string> Args) {
  return [Args] {
    std::vector<char*> Argv;
    for (const std::string& A : Args) Argv.push_back(const_cast<char*>(A.c_str()));
    Argv.push_back(nullptr);
    execv(Argv[0], Argv.data());
    return 127;
  };
}

TEST(HostileInputs, JsonOverManyFilesKeepsMemoryFlatWithOneJobOrTwoBehindASlowFile) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "memory figures mean nothing under AddressSanitizer";
#endif
  TempDir Dir;
  const std::string Bytes = EdfBytes::Valid(3, 50, 2).Bytes();
  std::filesystem::create_directory(Dir.File("few"));
  std::filesystem::create_directory(Dir.File("many"));
  for (int i = 0; i < 3000; ++i) {
    if (i < 300) testkit::WriteFileBytes(Dir.File("few/f" + std::to_string(i) + ".edf"), Bytes);
    testkit::WriteFileBytes(Dir.File("many/f" + std::to_string(i) + ".edf"), Bytes);
  }
  // With two jobs, a slow file at the head of the list: the other worker
  // waits for it instead of piling up reports (600 MB of holes: long to
  // scan, nothing on disk).
  const PlusBytes Slow = PlusBytes::Valid(6000000);
  testkit::WriteFileBytes(Dir.File("slow.edf"), Slow.Header.HeaderBytes());
  std::filesystem::resize_file(Dir.File("slow.edf"), Slow.HeaderSize() + Slow.Records * Slow.RecordBytes());
  const struct {
    std::vector<std::string> Options;
    int Exit;
    size_t Lines;  // beyond the folder's files
  } Rows[] = {{{}, 0, 0}, {{"--conformance", "-j", "2", Dir.File("slow.edf")}, 1, 1}};
  for (const auto& R : Rows) {
    const auto Run = [&](const std::string& Folder, size_t Files) {
      std::vector<std::string> Args = {VELLICOR_CHECK_EXE, "--json"};
      Args.insert(Args.end(), R.Options.begin(), R.Options.end());
      Args.insert(Args.end(), {"-r", Dir.File(Folder)});
      const TChild C = RunChild(ExecBody(Args), Dir.File("out.jsonl"));
      EXPECT_EQ(C.Exit, R.Exit);
      EXPECT_EQ(clitest::SplitLines(C.Out).size(), Files + R.Lines);
      return C.PeakKiB;
    };
    const long Few = Run("few", 300);
    const long Many = Run("many", 3000);
    // Ten times the files, about 3 KB of JSON each: growth with the output
    // would add more than 8 MB.
    EXPECT_LT(Many - Few, 4 * 1024) << Few << " KiB for 300 files, " << Many << " KiB for 3000";
  }
}

// A header may announce records of hundreds of MB in a file of one KB:
// every record pass, mapped or read, sizes its buffer by what the file holds.
TEST(HostileInputs, RecordBuffersAreBoundedByTheBytesTheFileHolds) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "memory figures mean nothing under AddressSanitizer";
#endif
  TempDir Dir;
  const auto Write = [&](const std::string& Name, bool Bdf, const std::string& Samples) {
    PlusBytes P = PlusBytes::Valid(1, Bdf);
    P.Header.Signals[0][sfNrSamples] = Samples;
    P.Header.General[1] = "MCH-0234567 F 02-MAY-1951 Haagse_Harry";  // a name for the audit to look for
    testkit::WriteFileBytes(Dir.File(Name), P.Header.HeaderBytes() + std::string(256, '\0'));
  };
  Write("huge.edf", false, "40000000");  // records of 80 MB
  Write("huge.bdf", true, "67108824");   // the most a BDF record may hold: 201 MB
  Write("small.edf", false, "10");
  Write("small.bdf", true, "10");
  const auto Opened = [](const std::string& Path, const std::function<void(const TEDFFile&)>& Pass) {
    return [Path, Pass] {
      TEDFFile F;
      F.SetFileName(Path);
      F.SetReadOnly(true);
      F.SetActive(true);
      Pass(F);
      return 0;
    };
  };
  const struct {
    const char* Name;
    std::function<std::function<int()>(const std::string& Path)> Pass;
    int Exit;
  } Rows[] = {
      {"vellicor-check --conformance",
       [](const std::string& Path) { return ExecBody({VELLICOR_CHECK_EXE, "--conformance", Path}); }, 1},
      {"conformance, read", [&](const std::string& Path) { return Opened(Path, [](auto& F) { CheckConformance(F); }); }, 0},
      {"privacy, read", [&](const std::string& Path) { return Opened(Path, [](auto& F) { AuditPrivacy(F, {}); }); }, 0},
  };
  for (const auto& R : Rows) {
    for (const char* Format : {"edf", "bdf"}) {
      const std::string Out = Dir.File("out.txt");
      const TChild Small = RunChild(R.Pass(Dir.File(std::string("small.") + Format)));
      const TChild Huge = RunChild(R.Pass(Dir.File(std::string("huge.") + Format)), Out);
      EXPECT_EQ(Huge.Exit, R.Exit) << R.Name << " " << Format;
      EXPECT_LT(Huge.PeakKiB - Small.PeakKiB, 16 * 1024) << R.Name << " " << Format << ": " << Small.PeakKiB
                                                          << " KiB for a small record, " << Huge.PeakKiB << " KiB";
      if (R.Exit != 0) {
        EXPECT_THAT(Huge.Out, HasSubstr("the file ends at byte 1280, in data record 1")) << R.Name;
      }
    }
  }
}

// A line of 100 MB (once 1.2 GB of memory) is refused with its place, and
// never held whole, by the summary and the page alike.
TEST(HostileInputs, SummarizeRefusesAnOverlongLineWithoutHoldingIt) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "memory figures mean nothing under AddressSanitizer";
#endif
  TempDir Dir;
  {
    std::ofstream Out(Dir.File("long.jsonl"), std::ios::binary);
    Out << R"({"file":"x.edf","error":")" << std::string(100 << 20, 'a') << "\"}\n" << kOkLine;
  }
  for (const std::vector<std::string>& Page : {std::vector<std::string>{}, {"--html", Dir.File("p.html")}}) {
    std::vector<std::string> Args = {VELLICOR_CHECK_EXE, "--summarize", Dir.File("long.jsonl")};
    Args.insert(Args.end(), Page.begin(), Page.end());
    const TChild C = RunChild(ExecBody(Args), Dir.File("out.txt"));
    EXPECT_EQ(C.Exit, 2);
    EXPECT_THAT(C.Err, HasSubstr("long.jsonl:1: a line longer than 64 MiB is not a line of vellicor-check --json"));
    EXPECT_THAT(C.Out, HasSubstr("summary: 1 files: 1 valid"));
    EXPECT_LT(C.PeakKiB, 160 * 1024) << Page.size();
  }
}

TEST(HostileInputs, AnInterruptWipesTheProgressBarFirst) {
  int Pipe[2];
  ASSERT_EQ(pipe(Pipe), 0);
  const pid_t Pid = fork();
  if (Pid == 0) {
    dup2(Pipe[1], STDERR_FILENO);
    TProgress Bar(true);
    Bar.Update("night.edf", 42);
    raise(SIGINT);
    _exit(0);
  }
  close(Pipe[1]);
  std::string Err;
  char Buf[256];
  for (ssize_t N; (N = read(Pipe[0], Buf, sizeof Buf)) > 0;) Err.append(Buf, static_cast<size_t>(N));
  int Status = 0;
  waitpid(Pid, &Status, 0);
  EXPECT_TRUE(WIFSIGNALED(Status) && WTERMSIG(Status) == SIGINT);
  EXPECT_THAT(Err, HasSubstr("42%"));
  EXPECT_EQ(Err.substr(Err.size() - 4), "\r\033[K");
}

}  // namespace
