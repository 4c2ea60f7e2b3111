// vellicor-repair against hostile inputs and careless use, through the real
// binary: no success over a lost report, no target that is not a plain file,
// no copy left half-made, none more readable than its original, none of an
// original that changed while it was copied.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testkit/EdfBytes.h"

using testing::HasSubstr;
using testkit::EdfBytes;
using testkit::TempDir;

namespace {

// A header whose record count is unknown (-1): the repair sets it.
EdfBytes Faulty(int Samples = 200, int Records = 3) {
  EdfBytes E = EdfBytes::Valid(1, Samples, Records);
  E.General[7] = "-1";
  return E;
}

void SmallIn(const TempDir& Dir) { testkit::WriteFileBytes(Dir.File("in.edf"), Faulty().Bytes()); }

// 66 MB of records, long enough to copy that a signal or a change reaches
// it mid-way; the records are a hole in the file, so it costs no disk to make.
void LargeIn(const TempDir& Dir) {
  EdfBytes E = Faulty(30000, 0);
  testkit::WriteFileBytes(Dir.File("in.edf"), E.HeaderBytes());
  std::filesystem::resize_file(Dir.File("in.edf"), 512 + int64_t{60000} * 1100);
}

std::string LongName() { return std::string(251, 'a') + ".edf"; }

struct TResult {
  int Exit = -1;  // the exit status, or minus the signal that ended the program
  std::string Out;
  std::string Err;
};

// What a row does to the running program once its copy exists.
using TDuringCopy = std::function<void(pid_t, const TempDir&)>;

// Runs a shell line in which $V is the program, $D the test folder and $L a
// name of 255 bytes, with standard output and error in files outside $D
// unless the line redirects them. DuringCopy is called once the program has
// its copy open in $D.
TResult RunRepairLine(const std::string& Line, const TempDir& Dir, const TDuringCopy& DuringCopy) {
  static const TempDir Scratch;
  static int Counter = 0;
  const std::string Base = Scratch.File("run" + std::to_string(++Counter));
  const pid_t Child = fork();
  if (Child == 0) {
    // Signals ignored by whoever started the tests would stay ignored.
    for (int S : {SIGINT, SIGTERM, SIGHUP}) signal(S, SIG_DFL);
    if (!freopen((Base + ".out").c_str(), "w", stdout) || !freopen((Base + ".err").c_str(), "w", stderr)) _exit(127);
    setenv("V", VELLICOR_REPAIR_EXE, 1);
    setenv("D", Dir.Path().c_str(), 1);
    setenv("L", LongName().c_str(), 1);
    execl("/bin/bash", "bash", "-c", Line.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int Status = 0;
  bool Ended = false;
  for (bool Acted = !DuringCopy; !Acted && !Ended;) {
    Ended = waitpid(Child, &Status, WNOHANG) == Child;
    std::error_code Ec;
    for (const auto& E : std::filesystem::directory_iterator("/proc/" + std::to_string(Child) + "/fd", Ec)) {
      const std::string Target = std::filesystem::read_symlink(E.path(), Ec).string();
      if (!Ended && Target.rfind(Dir.Path() + "/", 0) == 0 && Target != Dir.File("in.edf")) {
        DuringCopy(Child, Dir);
        Acted = true;
        break;
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  if (!Ended) waitpid(Child, &Status, 0);
  TResult R;
  R.Exit = WIFEXITED(Status) ? WEXITSTATUS(Status) : WIFSIGNALED(Status) ? -WTERMSIG(Status) : -1000;
  R.Out = testkit::ReadFileBytes(Base + ".out");
  R.Err = testkit::ReadFileBytes(Base + ".err");
  return R;
}

TDuringCopy Send(int Signal) {
  return [Signal](pid_t Child, const TempDir&) { kill(Child, Signal); };
}

// Writes Bytes at At into IN while the program stands still, a while after
// the program last looked at it (past the clock's resolution).
TDuringCopy ChangeIn(int64_t At, const std::string& Bytes) {
  return [At, Bytes](pid_t Child, const TempDir& Dir) {
    kill(Child, SIGSTOP);
    siginfo_t Info{};
    waitid(P_PID, static_cast<id_t>(Child), &Info, WSTOPPED | WEXITED | WNOWAIT);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int Fd = open(Dir.File("in.edf").c_str(), O_WRONLY);
    EXPECT_EQ(pwrite(Fd, Bytes.data(), Bytes.size(), At), static_cast<ssize_t>(Bytes.size()));
    close(Fd);
    kill(Child, SIGCONT);
  };
}

std::vector<std::string> Names(const TempDir& Dir) {
  std::vector<std::string> N;
  for (const auto& E : std::filesystem::directory_iterator(Dir.Path())) N.push_back(E.path().filename().string());
  std::sort(N.begin(), N.end());
  return N;
}

mode_t Mode(const std::string& Path) {
  struct stat S {};
  lstat(Path.c_str(), &S);
  return S.st_mode;
}

struct TRow {
  const char* Name;
  std::function<void(const TempDir&)> Setup;
  const char* Line;
  int Exit;          // minus a signal for a program it ends
  const char* Err;   // a part of standard error ("" when it must be empty)
  const char* Out;   // a part of standard output ("" when not checked)
  std::vector<std::string> Left;  // the names in $D afterwards
  TDuringCopy DuringCopy = {};
  std::function<void(const TempDir&)> Holds = {};  // what the files left must be
  bool RootOnly = false;
};
void PrintTo(const TRow& R, std::ostream* Os) { *Os << R.Name; }

const std::vector<TRow>& Rows() {
  const std::vector<std::string> InOnly{"in.edf"};
  const std::vector<std::string> InAndOut{"in.edf", "out.edf"};
  static const std::vector<TRow> R = {
      // A report that cannot be written is a failure, whatever was asked.
      {"ReportToAFullDisk", SmallIn, "exec $V $D/in.edf $D/out.edf >/dev/full", 2,
       "cannot write the report to standard output: No space left on device; nothing written", "", InOnly},
      {"JsonReportToAFullDisk", SmallIn, "exec $V --json $D/in.edf $D/out.edf >/dev/full", 2,
       "No space left on device; the copy '", "", InAndOut},
      {"DryRunToAFullDisk", SmallIn, "exec $V --dry-run $D/in.edf >/dev/full", 2, "No space left on device", "", InOnly},
      {"HelpToAFullDisk", SmallIn, "exec $V --help >/dev/full", 2, "No space left on device", "", InOnly},
      {"StandardOutputClosed", SmallIn, "exec $V $D/in.edf $D/out.edf >&-", 2, "standard output is closed", "", InOnly},
      // An empty argument is a path, not an option that takes the next one.
      {"EmptyArgumentIsAPath", SmallIn, "exec $V '' $D/out.edf", 2, "cannot repair '': ", "", InOnly},
      {"ReportAppendedToTheOriginal", SmallIn, "exec $V $D/in.edf $D/out.edf >>$D/in.edf", 2,
       "standard output is IN '", "", InOnly, {},
       [](const TempDir& Dir) { EXPECT_EQ(testkit::ReadFileBytes(Dir.File("in.edf")), Faulty().Bytes()); }},
      // An existing OUT that is not a regular file is left alone.
      {"OutIsADevice",
       [](const TempDir& Dir) {
         SmallIn(Dir);
         ASSERT_EQ(mknod(Dir.File("out.edf").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
       },
       "exec $V $D/in.edf $D/out.edf", 2, "out.edf' is a device: the copy only replaces a regular file", "", InAndOut,
       {}, [](const TempDir& Dir) { EXPECT_TRUE(S_ISCHR(Mode(Dir.File("out.edf")))); }, true},
      {"OutIsASymbolicLink",
       [](const TempDir& Dir) {
         SmallIn(Dir);
         testkit::WriteFileBytes(Dir.File("kept.edf"), "kept");
         std::filesystem::create_symlink("kept.edf", Dir.File("out.edf"));
       },
       "exec $V $D/in.edf $D/out.edf", 2, "out.edf' is a symbolic link", "", {"in.edf", "kept.edf", "out.edf"}, {},
       [](const TempDir& Dir) {
         EXPECT_TRUE(S_ISLNK(Mode(Dir.File("out.edf"))));
         EXPECT_EQ(testkit::ReadFileBytes(Dir.File("kept.edf")), "kept");
       }},
      // Interrupted mid-copy, even killed: nothing is left.
      {"InterruptedDuringTheCopy", LargeIn, "exec $V $D/in.edf $D/out.edf", -SIGINT, "", "", InOnly, Send(SIGINT)},
      {"TerminatedDuringTheCopy", LargeIn, "exec $V $D/in.edf $D/out.edf", -SIGTERM, "", "", InOnly, Send(SIGTERM)},
      {"HungUpDuringTheCopy", LargeIn, "exec $V $D/in.edf $D/out.edf", -SIGHUP, "", "", InOnly, Send(SIGHUP)},
      {"KilledDuringTheCopy", LargeIn, "exec $V $D/in.edf $D/out.edf", -SIGKILL, "", "", InOnly, Send(SIGKILL)},
      // The copy is no more readable than its original, whatever OUT was.
      {"PrivateOriginalOverAWideOut",
       [](const TempDir& Dir) {
         SmallIn(Dir);
         chmod(Dir.File("in.edf").c_str(), 0600);
         testkit::WriteFileBytes(Dir.File("out.edf"), "old");
         chmod(Dir.File("out.edf").c_str(), 0666);
       },
       "umask 022; exec $V $D/in.edf $D/out.edf", 0, "", "wrote ", InAndOut, {},
       [](const TempDir& Dir) { EXPECT_EQ(Mode(Dir.File("out.edf")) & 07777, 0600u); }},
      {"UmaskNarrowsTheCopy",
       [](const TempDir& Dir) {
         SmallIn(Dir);
         chmod(Dir.File("in.edf").c_str(), 0664);
       },
       "umask 027; exec $V $D/in.edf $D/out.edf", 0, "", "wrote ", InAndOut, {},
       [](const TempDir& Dir) { EXPECT_EQ(Mode(Dir.File("out.edf")) & 07777, 0640u); }},
      // Names that are not UTF-8 map back to their bytes.
      {"NamesThatAreNotUtf8InJson",
       [](const TempDir& Dir) { testkit::WriteFileBytes(Dir.File("n\xFF.edf"), Faulty().Bytes()); },
       "cd $D && exec $V --json n*.edf o$'\\xFE'.edf", 0, "",
       "{\"file\":\"n\\\\xFF.edf\",\"fileEscaped\":true,\"outcome\":\"written\",\"output\":\"o\\\\xFE.edf\","
       "\"outputEscaped\":true,",
       {"n\xFF.edf", "o\xFE.edf"}},
      // An original written to while it is copied gives no copy.
      {"OriginalRewrittenDuringTheCopy", LargeIn, "exec $V $D/in.edf $D/out.edf", 2,
       "in.edf': the file changed during the copy: 66000512 bytes at the start, 66000512 at the end, its bytes "
       "rewritten; nothing written",
       "", InOnly, ChangeIn(600, "x")},
      {"OriginalGrownDuringTheCopy", LargeIn, "exec $V $D/in.edf $D/out.edf", 2,
       "in.edf': the file changed during the copy: 66000512 bytes at the start, 66000612 at the end; nothing written",
       "", InOnly, ChangeIn(66000512, std::string(100, 'x'))},
      // The longest legal names, new or replaced.
      {"OutNameOf255Bytes", SmallIn, "exec $V $D/in.edf $D/$L", 0, "", "wrote ", {LongName(), "in.edf"}},
      {"ExistingOutNameOf255Bytes",
       [](const TempDir& Dir) {
         SmallIn(Dir);
         testkit::WriteFileBytes(Dir.File(LongName()), "old");
       },
       "exec $V $D/in.edf $D/$L", 0, "", "wrote ", {LongName(), "in.edf"}, {},
       [](const TempDir& Dir) {
         EXPECT_EQ(testkit::ReadFileBytes(Dir.File(LongName())), EdfBytes::Valid(1, 200, 3).Bytes());
       }},
  };
  return R;
}

class RepairHostileInputs : public testing::TestWithParam<TRow> {};

TEST_P(RepairHostileInputs, EndsWithTheRightStatusMessageAndFiles) {
  const TRow& Row = GetParam();
  if (Row.RootOnly && geteuid() != 0) GTEST_SKIP() << "needs root (makes a device file)";
  TempDir Dir;
  Row.Setup(Dir);
  const TResult R = RunRepairLine(Row.Line, Dir, Row.DuringCopy);
  EXPECT_EQ(R.Exit, Row.Exit) << R.Out << R.Err;
  if (*Row.Err) {
    EXPECT_THAT(R.Err, HasSubstr(Row.Err));
  } else {
    EXPECT_EQ(R.Err, "");
  }
  if (*Row.Out) {
    EXPECT_THAT(R.Out, HasSubstr(Row.Out));
  }
  EXPECT_EQ(Names(Dir), Row.Left);
  if (Row.Holds) Row.Holds(Dir);
}

INSTANTIATE_TEST_SUITE_P(Table, RepairHostileInputs, testing::ValuesIn(Rows()),
                         [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
