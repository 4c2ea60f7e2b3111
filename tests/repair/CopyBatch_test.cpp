// vellicor-repair -r through the real binary: a tree mirrored, outputs that
// exist, folders that overlap, a run killed and run again, workers and
// shares; in every run the originals' tree stays exactly as it was.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "repair/BatchTestRun.h"
#include "repair/CopyBatch.h"
#include "testkit/EdfBytes.h"

namespace fs = std::filesystem;
using testing::HasSubstr;
using batchtest::Files;
using batchtest::Lines;
using batchtest::Put;
using batchtest::TreeState;
using batchtest::TRun;
using testkit::EdfBytes;
using testkit::TempDir;

namespace {

EdfBytes Unknown(EdfBytes E) {  // NrDataRecords -1: the repair sets it
  E.General[7] = "-1";
  return E;
}
EdfBytes Refused() {  // DigiMin above DigiMax: no single right repair
  EdfBytes E = EdfBytes::Valid(1, 200, 3);
  std::swap(E.Signals[0][5], E.Signals[0][6]);
  return E;
}

TRun Repair(const std::string& Cwd, const std::vector<std::string>& Args,
            const std::function<bool(pid_t)>& Until = {}) {
  return batchtest::RunProgram(VELLICOR_REPAIR_EXE, Cwd, Args, Until);
}

// The tree of the first tests: subfolders, names in any letter case, a BDF
// named .EDF and an EDF named .BDF (the first byte decides), a file to
// leave, one refused, a pipe that cannot be read, and what is no recording.
void MixedTree(const std::string& In) {
  Put(In + "/a.edf", Unknown(EdfBytes::Valid(1, 200, 3)).Bytes());
  Put(In + "/Sub Folder/B.EDF", Unknown(EdfBytes::ValidBdf(2, 100, 2)).Bytes());
  Put(In + "/Sub Folder/deep/c.Edf", EdfBytes::Valid(1, 200, 3).Bytes());
  Put(In + "/sub/d.BDF", Unknown(EdfBytes::Valid(2, 50, 4)).Bytes());
  Put(In + "/sub/e.edf", Refused().Bytes());
  ASSERT_EQ(mkfifo((In + "/sub/pipe.edf").c_str(), 0644), 0);
  Put(In + "/notes.txt", "not a recording");
  fs::create_directory_symlink("../sub", In + "/Sub Folder/link");
}

struct TMirrorRow {
  const char* Name;
  std::vector<std::string> Options;
  const char* Outcomes;  // in list order (B, c, a, d, e, pipe): w(ritten) u(nchanged) c(opied) r(efused) e(rror) d(ry run)
  std::map<std::string, std::string> Mirror;  // what the mirror holds afterwards
};
void PrintTo(const TMirrorRow& R, std::ostream* Os) { *Os << R.Name; }

class CopyBatchMirror : public testing::TestWithParam<TMirrorRow> {};

TEST_P(CopyBatchMirror, WritesEachFileAsPlannedUnderItsOwnPath) {
  const TMirrorRow& Row = GetParam();
  TempDir Work;
  MixedTree(Work.File("archive"));
  const std::vector<std::string> Before = TreeState(Work.File("archive"));
  std::vector<std::string> Args = Row.Options;
  Args.insert(Args.end(), {"--json", "-r", "archive", "mirror"});
  const TRun R = Repair(Work.Path(), Args);

  EXPECT_EQ(R.Exit, 2) << R.Err;  // the pipe
  EXPECT_THAT(R.Err, HasSubstr("cannot read 'archive/sub/pipe.edf': not a regular file"));
  const std::map<char, std::string> Words{{'w', "written"}, {'u', "unchanged"}, {'c', "copied"},
                                          {'r', "refused"}, {'e', "error"},     {'d', "dry run"}};
  const std::vector<std::string> Names{"Sub Folder/B.EDF", "Sub Folder/deep/c.Edf", "a.edf",
                                       "sub/d.BDF",        "sub/e.edf",             "sub/pipe.edf"};
  const std::vector<std::string> Got = Lines(R.Out);
  ASSERT_EQ(Got.size(), Names.size() + 1) << R.Out;
  for (size_t i = 0; i < Names.size(); ++i)
    EXPECT_THAT(Got[i], HasSubstr("{\"file\":\"archive/" + Names[i] + "\",\"output\":\"mirror/" + Names[i] +
                                  "\",\"outcome\":\"" + Words.at(Row.Outcomes[i]) + "\""));
  EXPECT_EQ(Files(Work.File("mirror")), Row.Mirror);
  EXPECT_EQ(fs::exists(Work.File("mirror")), !Row.Mirror.empty());
  EXPECT_EQ(TreeState(Work.File("archive")), Before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CopyBatchMirror,
    testing::Values(
        TMirrorRow{"RepairsAndLists", {}, "wuwwre",
                   {{"a.edf", EdfBytes::Valid(1, 200, 3).Bytes()},
                    {"Sub Folder/B.EDF", EdfBytes::ValidBdf(2, 100, 2).Bytes()},
                    {"sub/d.BDF", EdfBytes::Valid(2, 50, 4).Bytes()}}},
        TMirrorRow{"CopiesUnchangedToo", {"--copy-unchanged", "-j", "2"}, "wcwwre",
                   {{"a.edf", EdfBytes::Valid(1, 200, 3).Bytes()},
                    {"Sub Folder/B.EDF", EdfBytes::ValidBdf(2, 100, 2).Bytes()},
                    {"Sub Folder/deep/c.Edf", EdfBytes::Valid(1, 200, 3).Bytes()},
                    {"sub/d.BDF", EdfBytes::Valid(2, 50, 4).Bytes()}}},
        TMirrorRow{"DryRunWritesNothing", {"--dry-run", "--copy-unchanged"}, "ddddre", {}}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// What is in the mirror before the run: an existing output is left unless
// --overwrite, and a link in the mirror never leads a copy elsewhere.
struct TExistingRow {
  const char* Name;
  std::function<void(const TempDir&)> Setup;
  std::vector<std::string> Options;
  int Exit;
  const char* Out;  // a part of standard output
  std::map<std::string, std::string> Mirror;  // the mirror's files afterwards, links not followed
};
void PrintTo(const TExistingRow& R, std::ostream* Os) { *Os << R.Name; }

class CopyBatchExisting : public testing::TestWithParam<TExistingRow> {};

TEST_P(CopyBatchExisting, LeavesWhatIsThereUnlessToldAndNeverWritesOutsideTheMirror) {
  const TExistingRow& Row = GetParam();
  TempDir Work;
  Put(Work.File("archive/a.edf"), Unknown(EdfBytes::Valid()).Bytes());
  Put(Work.File("archive/sub/b.edf"), Unknown(EdfBytes::Valid()).Bytes());
  Row.Setup(Work);
  const std::vector<std::string> Before = TreeState(Work.File("archive"));
  std::vector<std::string> Args = Row.Options;
  Args.insert(Args.end(), {"-r", "archive", "mirror"});
  const TRun R = Repair(Work.Path(), Args);
  EXPECT_EQ(R.Exit, Row.Exit) << R.Out << R.Err;
  EXPECT_THAT(R.Out, HasSubstr(Row.Out));
  EXPECT_EQ(Files(Work.File("mirror")), Row.Mirror);
  EXPECT_EQ(TreeState(Work.File("archive")), Before);
}

const std::string Sound = EdfBytes::Valid().Bytes();

INSTANTIATE_TEST_SUITE_P(
    Table, CopyBatchExisting,
    testing::Values(
        TExistingRow{"ExistingOutputIsLeft", [](const TempDir& W) { Put(W.File("mirror/a.edf"), "old"); }, {}, 0,
                     "archive/a.edf: mirror/a.edf exists; left as it is\n", {{"a.edf", "old"}, {"sub/b.edf", Sound}}},
        TExistingRow{"OverwriteReplacesIt", [](const TempDir& W) { Put(W.File("mirror/a.edf"), "old"); },
                     {"--overwrite"}, 0, "archive/a.edf: written to mirror/a.edf: 1 change\n",
                     {{"a.edf", Sound}, {"sub/b.edf", Sound}}},
        TExistingRow{"LinkedFolderInTheMirrorIsRefused",
                     [](const TempDir& W) {
                       fs::create_directories(W.File("mirror"));
                       fs::create_directory_symlink("../archive/sub", W.File("mirror/sub"));
                     },
                     {"--overwrite"}, 2,
                     "archive/sub/b.edf: error: 'mirror/sub' is a symbolic link: copies are only written into the "
                     "mirror's own folders\n",
                     {{"a.edf", Sound}}}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// OUT_DIR and IN_DIR that overlap by any path: refused before anything is
// written, the whole work folder as it was.
TEST(CopyBatch, OverlappingFoldersAreRefusedBeforeAnythingIsWritten) {
  TempDir Work;
  Put(Work.File("archive/sub/a.edf"), Unknown(EdfBytes::Valid()).Bytes());
  fs::create_directory_symlink("archive", Work.File("alias"));
  const std::vector<std::string> Before = TreeState(Work.Path());
  const struct {
    const char* In;
    const char* Out;
    const char* Err;
  } Rows[] = {
      {"archive", "archive/mirror", "OUT_DIR 'archive/mirror' is inside IN_DIR 'archive'"},
      {"archive", "alias/new/mirror", "OUT_DIR 'alias/new/mirror' is inside IN_DIR 'archive'"},
      {"archive", "alias/", "OUT_DIR 'alias/' is IN_DIR 'archive' itself"},
      {"archive/sub", ".", "IN_DIR 'archive/sub' is inside OUT_DIR '.'"},
  };
  for (const auto& Row : Rows) {
    const TRun R = Repair(Work.Path(), {"-r", "--copy-unchanged", Row.In, Row.Out});
    EXPECT_EQ(R.Exit, 2) << Row.Out;
    EXPECT_THAT(R.Err, HasSubstr(std::string(Row.Err)));
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(TreeState(Work.Path()), Before) << Row.Out;
  }
}

// Killed while a large copy is half made, then run again: the mirror is
// that of one uninterrupted run, and no temporary file is left.
TEST(CopyBatch, AnInterruptedRunRunAgainEqualsOneRun) {
  TempDir Work;
  Put(Work.File("archive/a.edf"), Unknown(EdfBytes::Valid()).Bytes());
  // 66 MB of records as a hole in the file: long to copy, free to make.
  Put(Work.File("archive/b.edf"), Unknown(EdfBytes::Valid(1, 30000, 0)).HeaderBytes());
  fs::resize_file(Work.File("archive/b.edf"), 512 + int64_t{60000} * 1100);
  Put(Work.File("archive/c/d.edf"), Unknown(EdfBytes::Valid()).Bytes());
  const std::vector<std::string> Before = TreeState(Work.File("archive"));

  const TRun Whole = Repair(Work.Path(), {"-r", "archive", "whole"});
  ASSERT_EQ(Whole.Exit, 0) << Whole.Err;
  // Killed once a.edf is out and the copy of b.edf is open in the mirror.
  const TRun Killed = Repair(Work.Path(), {"-r", "archive", "mirror"}, [&](pid_t Child) {
    if (!fs::exists(Work.File("mirror/a.edf"))) return false;
    std::error_code Ec;
    for (const auto& Fd : fs::directory_iterator("/proc/" + std::to_string(Child) + "/fd", Ec))
      if (fs::read_symlink(Fd.path(), Ec).string().rfind(Work.File("mirror/"), 0) == 0) return true;
    return false;
  });
  ASSERT_EQ(Killed.Exit, -SIGKILL) << Killed.Out;
  EXPECT_FALSE(fs::exists(Work.File("mirror/b.edf")));
  const TRun Resumed = Repair(Work.Path(), {"-r", "archive", "mirror"});
  EXPECT_EQ(Resumed.Exit, 0) << Resumed.Err;
  EXPECT_THAT(Resumed.Out, HasSubstr("archive/a.edf: mirror/a.edf exists; left as it is\n"));
  EXPECT_EQ(TreeState(Work.File("mirror"), false), TreeState(Work.File("whole"), false));
  EXPECT_EQ(TreeState(Work.File("archive")), Before);
}

// -j 2 prints what -j 1 prints; the shares of the README's recipe, merged,
// give one run's lines and mirror.
TEST(CopyBatch, WorkersAndSharesGiveWhatOneRunGives) {
  TempDir Work;
  for (int i = 0; i < 12; ++i) {
    const std::string Name = "archive/" + std::string(i % 3 ? "n" : "N") + std::to_string(i % 4) + "/f" +
                             std::to_string(i) + (i % 2 ? ".edf" : ".BDF");
    Put(Work.File(Name), (i % 5 == 0 ? Refused() : i % 3 ? Unknown(EdfBytes::Valid()) : EdfBytes::Valid()).Bytes());
  }
  batchtest::ExpectWorkersAndSharesGiveOneRun(
      Work,
      {VELLICOR_REPAIR_EXE, "vellicor-repair", "<!-- repair share recipe -->",
       {{" /archive", " archive"}, {" /repaired", " mirror"}}, "repair.jsonl"},
      1);
}

// Another process makes the output while the copy is written: it is left
// as it is and reported as an output found before, unless --overwrite.
TEST(CopyBatch, AnOutputMadeDuringTheCopyIsLeftUnlessOverwrite) {
  for (const bool Overwrite : {false, true}) {
    SCOPED_TRACE(Overwrite ? "--overwrite" : "default");
    TempDir Work;
    const std::string Bytes = EdfBytes::Valid().Bytes();
    Put(Work.File("in/a.edf"), Bytes);
    TBatchOptions O;
    O.Program = "test";
    O.Recursive = true;
    O.InDir = Work.File("in");
    O.OutDir = Work.File("out");
    O.Json = true;
    O.Overwrite = Overwrite;
    std::FILE* Report = std::tmpfile();
    O.Report = O.Errors = Report;
    const int Exit = RunCopyBatch(O, [&](const std::string& In, const std::string& Out) {
      TBatchPlan P;
      P.Decision = TBatchDecision::Copy;
      P.Job.Source = {In, static_cast<int64_t>(Bytes.size()), -1, Bytes.substr(0, 256)};
      P.Job.OutputSize = P.Job.Source.Size;
      P.Job.Verify = [Out](const std::string&) {
        testkit::WriteFileBytes(Out, "made meanwhile");
        return std::string();
      };
      P.JsonKeys = ",\"planned\":true";
      return P;
    });
    std::string Text(4096, '\0');
    std::rewind(Report);
    Text.resize(std::fread(Text.data(), 1, Text.size(), Report));
    std::fclose(Report);
    EXPECT_EQ(Exit, 0) << Text;
    EXPECT_THAT(Text, HasSubstr(Overwrite ? "\"outcome\":\"written\",\"planned\":true}" : "\"outcome\":\"exists\"}"));
    EXPECT_EQ(Files(Work.File("out")),
              (std::map<std::string, std::string>{{"a.edf", Overwrite ? Bytes : "made meanwhile"}}));
  }
}

// One slow file at the head of the list: the other workers stop a bounded
// number of results ahead of the printer instead of piling up results.
TEST(CopyBatch, WorkersStayABoundedNumberOfResultsAheadOfThePrinter) {
  TempDir Work;
  for (int i = 0; i < 60; ++i) Put(Work.File("in/f" + std::to_string(100 + i) + ".edf"), "");
  std::atomic<int> Planned{0};
  int PlannedWhileFirstWaited = -1;
  TBatchOptions O;
  O.Program = "test";
  O.Recursive = true;
  O.InDir = Work.File("in");
  O.OutDir = Work.File("out");
  O.Jobs = 2;
  std::FILE* Null = std::fopen("/dev/null", "w");
  O.Report = O.Errors = Null;
  const int Exit = RunCopyBatch(O, [&](const std::string& In, const std::string&) {
    if (In.ends_with("f100.edf")) {
      // Waits until the others stop (or all 59 are done, as they would be
      // without the bound).
      for (int Seen = -1; Seen != Planned && Planned < 59;) {
        Seen = Planned;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
      }
      PlannedWhileFirstWaited = Planned;
    } else {
      ++Planned;
    }
    TBatchPlan P;
    P.Job.Source.Path = In;
    return P;
  });
  std::fclose(Null);
  EXPECT_EQ(Exit, 0);
  EXPECT_EQ(Planned, 59);
  EXPECT_GT(PlannedWhileFirstWaited, 0);
  EXPECT_LE(PlannedWhileFirstWaited, static_cast<int>(BatchAheadPerWorker * 2));
}

}  // namespace
