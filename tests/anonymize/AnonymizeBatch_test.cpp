// vellicor-anonymize -r through the real binary: a tree with subfolders, a
// file already de-identified, one whose name is the patient's, one whose
// records cannot be read, a pipe, an output that exists; each file's JSON
// line carries the single run's audit record and each copy is the single
// run's copy. Nothing printed holds an identifying string (the paths aside),
// and the originals' tree stays exactly as it was.
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "anonymize/NamedRecording.h"
#include "repair/BatchTestRun.h"

namespace fs = std::filesystem;
using batchtest::Files;
using batchtest::Lines;
using batchtest::Put;
using batchtest::TreeState;
using batchtest::TRun;
using named::Holds;
using testkit::TempDir;

namespace {

TRun Anonymize(const std::string& Cwd, const std::vector<std::string>& Args) {
  return batchtest::RunProgram(VELLICOR_ANONYMIZE_EXE, Cwd, Args);
}

// In the order of the walk.
const std::vector<std::string> Names = {"a/Done.EDF", "a/night.edf", "b/cut.edf", "b/haagse.edf", "b/pipe.edf"};

void ArchiveTree(const std::string& In) {
  Put(In + "/a/Done.EDF", named::Anonymous().Bytes());
  Put(In + "/a/night.edf", named::Named().Bytes());
  Put(In + "/b/cut.edf", named::Cut().Bytes());      // records unreadable
  Put(In + "/b/haagse.edf", named::Named().Bytes());  // the patient's name
  ASSERT_EQ(mkfifo((In + "/b/pipe.edf").c_str(), 0644), 0);
}

// The record without the keys the batch and the single run name alike but
// fill in their own words.
rapidjson::Document Record(const std::string& Line) {
  rapidjson::Document D;
  D.Parse(Line.c_str());
  if (D.HasParseError() || !D.IsObject()) return D;
  for (const char* Key : {"file", "output", "outcome", "error"}) D.RemoveMember(Key);
  return D;
}

struct TRow {
  const char* Name;
  std::vector<std::string> Options;       // also given to the single runs
  std::vector<std::string> BatchOptions;  // -r's own
  const char* Outcomes;  // by Names: w(ritten) u(nchanged) c(opied) r(efused) x (exists) e(rror) d(ry run)
  std::vector<std::string> Mirror;  // the mirror's files afterwards
  std::function<void(const TempDir&)> Setup = {};
};
void PrintTo(const TRow& R, std::ostream* Os) { *Os << R.Name; }

class AnonymizeBatch : public testing::TestWithParam<TRow> {};

TEST_P(AnonymizeBatch, CopiesEachFileAsTheSingleRunWouldAndPrintsNoIdentifyingText) {
  const TRow& Row = GetParam();
  TempDir Work;
  ArchiveTree(Work.File("archive"));
  const std::vector<std::string> Before = TreeState(Work.File("archive"));
  const std::map<char, std::string> Words{{'w', "written"}, {'u', "unchanged"}, {'c', "copied"}, {'r', "refused"},
                                          {'x', "exists"},  {'e', "error"},     {'d', "dry run"}};

  for (const bool Json : {false, true}) {
    SCOPED_TRACE(Json ? "--json" : "text");
    fs::remove_all(Work.File("mirror"));
    if (Row.Setup) Row.Setup(Work);
    std::vector<std::string> Args = Row.Options;
    Args.insert(Args.end(), Row.BatchOptions.begin(), Row.BatchOptions.end());
    if (Json) Args.push_back("--json");
    Args.insert(Args.end(), {"-r", "archive", "mirror"});
    const TRun R = Anonymize(Work.Path(), Args);
    EXPECT_EQ(R.Exit, 2) << R.Err;  // the pipe
    EXPECT_THAT(R.Err, testing::HasSubstr("cannot read 'archive/b/pipe.edf'"));
    // The paths are the user's own; nothing else may name the person.
    std::string Printed = R.Out + R.Err;
    for (size_t At; (At = Printed.find("haagse.edf")) != std::string::npos;) Printed.erase(At, 10);
    for (const auto* Strings : {&named::HeaderStrings, &named::TokenStrings})
      for (const std::string& S : *Strings) EXPECT_FALSE(Holds(Printed, S)) << S << " printed";
    EXPECT_EQ(TreeState(Work.File("archive")), Before);
    std::vector<std::string> Mirror;
    for (const auto& [Name, Bytes] : Files(Work.File("mirror"))) Mirror.push_back(Name);
    EXPECT_EQ(Mirror, Row.Mirror);
    if (!Json) continue;

    const std::vector<std::string> Got = Lines(R.Out);
    ASSERT_EQ(Got.size(), Names.size() + 1) << R.Out;
    for (size_t i = 0; i < Names.size(); ++i) {
      SCOPED_TRACE(Names[i]);
      const char Outcome = Row.Outcomes[i];
      EXPECT_THAT(Got[i], testing::StartsWith("{\"file\":\"archive/" + Names[i] + "\",\"output\":\"mirror/" +
                                              Names[i] + "\",\"outcome\":\"" + Words.at(Outcome) + "\""));
      if (Outcome == 'x') {
        EXPECT_EQ(testkit::ReadFileBytes(Work.File("mirror/" + Names[i])), "old");
      }
      if (Outcome == 'e' || Outcome == 'x') continue;
      // The same file alone, to an OUT of the same name: the same record and
      // the same copy.
      fs::create_directories(fs::path(Work.File("single/" + Names[i])).parent_path());
      fs::remove(Work.File("single/" + Names[i]));
      std::vector<std::string> Single = Row.Options;
      Single.insert(Single.end(), {"--json", "archive/" + Names[i], "single/" + Names[i]});
      const TRun One = Anonymize(Work.Path(), Single);
      const rapidjson::Document Batch = Record(Got[i]), Alone = Record(One.Out);
      EXPECT_TRUE(Batch.IsObject() && Alone.IsObject() && Batch == Alone) << Got[i] << "\n" << One.Out;
      if (Outcome == 'w') {
        EXPECT_EQ(testkit::ReadFileBytes(Work.File("mirror/" + Names[i])),
                  testkit::ReadFileBytes(Work.File("single/" + Names[i])));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, AnonymizeBatch,
    testing::Values(
        TRow{"ListsWhatNeedsNothing", {}, {}, "uwrre", {"a/night.edf"}},
        TRow{"CopiesUnchangedWithTwoJobs", {}, {"--copy-unchanged", "-j", "2"}, "cwrre", {"a/Done.EDF", "a/night.edf"}},
        TRow{"HeaderOnlyAndKeptAge", {"--header-only", "--keep-age"}, {}, "uwwre", {"a/night.edf", "b/cut.edf"}},
        TRow{"DryRunWritesNothing", {"--dry-run"}, {}, "udrre", {}},
        TRow{"ExistingOutputIsLeft", {}, {}, "uxrre", {"a/night.edf"},
             [](const TempDir& W) { Put(W.File("mirror/a/night.edf"), "old"); }}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// -j 2 prints what -j 1 prints; the README's share recipe, merged, gives one
// run's lines and mirror.
TEST(AnonymizeBatch, WorkersAndSharesGiveWhatOneRunGives) {
  TempDir Work;
  for (int i = 0; i < 12; ++i)
    Put(Work.File("archive/n" + std::to_string(i % 4) + "/f" + std::to_string(i) + (i % 2 ? ".edf" : ".BDF")),
        (i % 3 ? named::Named() : named::Anonymous()).Bytes());
  Put(Work.File("archive/harry.edf"), named::Named().Bytes());
  batchtest::ExpectWorkersAndSharesGiveOneRun(
      Work,
      {VELLICOR_ANONYMIZE_EXE, "vellicor-anonymize", "<!-- anonymize share recipe -->",
       {{" /archive", " archive"}, {" /deidentified", " mirror"}}, "anonymize.jsonl"},
      1);  // harry.edf is refused
}

}  // namespace
