// The archive page without a browser: a run's page is the page of its JSON
// lines, the embedded data give back every line, the page of a large archive
// stays small, and the page never takes the place of an input.
#include "report/ReportPage.h"

#include <rapidjson/document.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "PageRun.h"
#include "cli/RunCli.h"
#include "check/Rules.h"
#include "report/ReportLine.h"

using clitest::RunCli;
using clitest::SplitLines;
using testkit::TempDir;

namespace {

std::vector<std::string> Concat(std::vector<std::string> A, const std::vector<std::string>& B) {
  A.insert(A.end(), B.begin(), B.end());
  return A;
}

// A node of the embedded data, rebuilt as the page's script rebuilds it.
void Rebuild(const rapidjson::Value& Data, unsigned Index, rapidjson::Value& Out,
             rapidjson::Document::AllocatorType& A) {
  const rapidjson::Value& N = Data["nodes"][Index];
  if (!N.IsArray()) {
    Out.CopyFrom(N, A);
    return;
  }
  const int Shape = N[0].GetInt();
  if (Shape == -2) {
    std::string Text;
    for (rapidjson::SizeType i = 1; i + 1 < N.Size(); i += 2)
      for (unsigned k = 0; k < N[i + 1].GetUint(); ++k) Text += N[i].GetString();
    Out.SetString(Text.c_str(), static_cast<rapidjson::SizeType>(Text.size()), A);
    return;
  }
  if (Shape < 0) Out.SetArray();
  else Out.SetObject();
  for (rapidjson::SizeType i = 1; i < N.Size(); ++i) {
    rapidjson::Value Child;
    Rebuild(Data, N[i].GetUint(), Child, A);
    if (Shape < 0) {
      Out.PushBack(Child, A);
    } else {
      rapidjson::Value Key;
      Key.CopyFrom(Data["shapes"][static_cast<rapidjson::SizeType>(Shape)][i - 1], A);
      Out.AddMember(Key, Child, A);
    }
  }
}

TEST(ReportPage, ARunsPageIsThePageBuiltLaterFromItsJsonLines) {
  TempDir dir;
  const std::vector<std::string> paths = reporttest::WriteSmallArchive(dir);
  const std::vector<std::vector<std::string>> Options = {{}, {"--json"}, {"--minmax", "--conformance", "-j", "2"}};
  for (size_t i = 0; i < Options.size(); ++i) {
    const std::string live = dir.File("live" + std::to_string(i) + ".html");
    const std::string later = dir.File("later" + std::to_string(i) + ".html");
    const auto plain = RunCli(Concat(Options[i], paths), dir.Path());
    const auto withPage = RunCli(Concat(Concat(Options[i], paths), {"--html", live}), dir.Path());
    // The usual output does not change with a page.
    EXPECT_EQ(withPage.Out, plain.Out) << i;
    EXPECT_EQ(withPage.Exit, plain.Exit) << i;

    const auto json = RunCli(Concat(Concat(Options[i], {"--json"}), paths), dir.Path());
    testkit::WriteFileBytes(dir.File("lines.jsonl"), json.Out);
    const auto summarized = RunCli({"--summarize", dir.File("lines.jsonl"), "--html", later}, dir.Path());
    EXPECT_EQ(summarized.Exit, 2) << summarized.Err;  // a path was not read
    const std::string a = testkit::ReadFileBytes(live);
    ASSERT_NE(a.find("data-file="), std::string::npos) << i;
    EXPECT_NE(reporttest::WithoutTime(a), a);
    EXPECT_EQ(reporttest::WithoutTime(a), reporttest::WithoutTime(testkit::ReadFileBytes(later))) << i;
  }
}

TEST(ReportPage, EmbeddedDataGiveBackEveryLineAndCannotEndTheirElement) {
  TempDir dir;
  const auto run = RunCli(Concat({"--json", "--minmax", "--conformance"}, reporttest::WriteSmallArchive(dir)),
                          dir.Path());
  std::vector<std::string> lines = SplitLines(run.Out);
  lines.push_back(R"({"file":"</script><script>alert(1)</script>","error":"<!-- <script> -->"})");
  lines.push_back(
      R"({"file":"n.edf","valid":true,"findings":[],"n":[1.5e300,-0.0,12345678901234,0.1,-7],)"
      R"("nested":[[],{},[{"a":null,"b":[false,true]}]],"s":"\u2028 \ud83d\ude00 <\/SCRIPT \u0000 \"q\"",)"
      R"("map":"..............ffffffffffffffff<<<<<<<<<<<<<<<<.\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"})");
  lines.push_back(lines[0]);  // the same line twice shares every node
  TReportPage Page;
  for (const std::string& L : lines) ASSERT_TRUE(Page.AddLine(L)) << L;
  EXPECT_FALSE(Page.AddLine("[1]"));
  EXPECT_FALSE(Page.AddLine("{\"file\":\"x\""));

  const std::string html = Page.Html("now", "test");
  const std::string text = reporttest::ScriptText(html, "vellicor-data");
  EXPECT_EQ(text.find('<'), std::string::npos);
  rapidjson::Document data;
  data.Parse(text.c_str());
  ASSERT_FALSE(data.HasParseError());
  ASSERT_EQ(data["files"].Size(), lines.size());
  for (rapidjson::SizeType i = 0; i < lines.size(); ++i) {
    rapidjson::Document expected;
    expected.Parse(lines[i].c_str());
    rapidjson::Document got;
    Rebuild(data, data["files"][i].GetUint(), got, got.GetAllocator());
    EXPECT_TRUE(got == expected) << lines[i];
  }
  EXPECT_EQ(data["files"][0].GetUint(), data["files"][static_cast<rapidjson::SizeType>(lines.size() - 1)].GetUint());
  // Rows and the pre-rendered text hold the hostile name escaped.
  EXPECT_NE(html.find("data-file=\"&lt;/script&gt;&lt;script&gt;alert(1)&lt;/script&gt;\""), std::string::npos);
  EXPECT_EQ(html.find("<script>alert"), std::string::npos);
}

// What the summary and the page read from a line.
TEST(ReportPage, LineReadingCountsFindingsBeyondThoseListedAndTheWeakestSignal) {
  const struct {
    std::string Line;
    bool Ok;
    TReportLineKind Kind;
    TFileStatus Status;
    std::map<std::string, int64_t> Rules;
    int64_t Errors, Warnings;
    double Usable;
    unsigned Checks;
  } Rows[] = {
      {R"({"file":"x.edf","error":"No such file or directory"})", true, TReportLineKind::File, TFileStatus::Unread,
       {}, 0, 0, -1, 0},
      {R"({"summary":{"files":1}})", true, TReportLineKind::Summary, TFileStatus::Unread, {}, 0, 0, -1, 0},
      // Listed findings by their severity; the unlisted ones by their rule's.
      {R"({"file":"y","valid":false,"findings":[{"rule":"a.b","severity":"warning"},{"rule":"c.d","severity":"error"},)"
       R"({"rule":"c.d","severity":"error"},{"rule":"n.o","severity":"note"}],"minmax":[],)"
       R"("conformance":{"totals":{"a.b":{"listed":1,"total":21},"edfplus.tal.onset":{"listed":0,"total":3}}}})",
       true, TReportLineKind::File, TFileStatus::Invalid, {{"a.b", 21}, {"c.d", 2}, {"edfplus.tal.onset", 3}, {"n.o", 1}},
       5, 21, -1, crMinMax | crConformance},
      // The weakest judged signal; one not judged does not count.
      {R"({"file":"z","valid":true,"findings":[],"quality":{"epochSeconds":30,"signals":[)"
       R"({"index":1,"judged":true,"usableShare":0.75},{"index":2,"judged":false,"usableShare":0},)"
       R"({"index":3,"judged":true,"usableShare":0.5}]}})",
       true, TReportLineKind::File, TFileStatus::Valid, {}, 0, 0, 0.5, crQuality},
      {R"({"file":"p","valid":true,"findings":[{"rule":"privacy.patient.name","severity":"warning"}]})", true,
       TReportLineKind::File, TFileStatus::Valid, {{"privacy.patient.name", 1}}, 0, 1, -1, crPrivacy},
      // Counts stop at the largest int64_t instead of wrapping round.
      {R"({"file":"s","valid":false,"findings":[],"conformance":{"totals":{"a.b":{"listed":0,)"
       R"("total":9223372036854775807}}},"quality":{"totals":{"a.b":{"listed":0,"total":5}}}})",
       true, TReportLineKind::File, TFileStatus::Invalid, {{"a.b", INT64_MAX}}, 0, 0, -1, crConformance | crQuality},
      {R"({"valid":true})", false, {}, {}, {}, 0, 0, -1, 0},
      // Lines of other programs, and rule ids or counts no line of ours holds.
      {R"({"file":"pkg","version":"1.0"})", false, {}, {}, {}, 0, 0, -1, 0},
      {R"({"file":"x","valid":true})", false, {}, {}, {}, 0, 0, -1, 0},
      {R"({"summary":"x"})", false, {}, {}, {}, 0, 0, -1, 0},
      {R"({"summary":{},"file":"x","error":"e"})", false, {}, {}, {}, 0, 0, -1, 0},
      {R"({"file":"x","valid":true,"findings":[{"rule":"a.b
summary: 9 files","severity":"error"}]})", false, {}, {},
       {}, 0, 0, -1, 0},
      {R"({"file":"x","valid":true,"findings":[{"rule":"A.b","severity":"error"}]})", false, {}, {}, {}, 0, 0, -1, 0},
      {R"({"file":"x","valid":true,"findings":[{"rule":"a.b"}]})", false, {}, {}, {}, 0, 0, -1, 0},
      {R"({"file":"x","valid":true,"findings":[{"severity":"error"}]})", false, {}, {}, {}, 0, 0, -1, 0},
      {R"({"file":"x","valid":true,"findings":[],"c":{"totals":{"a b":{"listed":0,"total":1}}}})", false, {}, {}, {}, 0,
       0, -1, 0},
      {R"({"file":"x","valid":true,"findings":[],"c":{"totals":{"a.b":{"listed":2,"total":1}}}})", false, {}, {}, {}, 0,
       0, -1, 0},
      {R"({"file":"x","valid":true,"findings":[],"c":{"totals":{"a.b":{"listed":0,"total":1.5}}}})", false, {}, {}, {},
       0, 0, -1, 0},
      {R"({"file":"x","valid":true,"findings":[],"c":{"totals":{"a.b":{"listed":0,"total":9223372036854775808}}}})",
       false, {}, {}, {}, 0, 0, -1, 0},
      {R"(["file"])", false, {}, {}, {}, 0, 0, -1, 0},
      {"{\"file\":\"\xFF\"}", false, {}, {}, {}, 0, 0, -1, 0},
      // A NUL would end the reading early; nesting without end would end the stack.
      {std::string("{\"file\":\"x\"}\0{", 14), false, {}, {}, {}, 0, 0, -1, 0},
      {"{\"file\":\"x\",\"a\":" + std::string(100000, '[') + std::string(100000, ']') + "}", false, {}, {}, {}, 0, 0, -1,
       0},
  };
  // The syntax of rule ids is the registry's.
  for (const TRule& R : Rules()) EXPECT_TRUE(IsRuleId(R.Id)) << R.Id;
  for (const auto& R : Rows) {
    TReportLine L;
    ASSERT_EQ(ReadReportLine(R.Line, L), R.Ok) << R.Line;
    if (!R.Ok) continue;
    EXPECT_EQ(L.Kind, R.Kind) << R.Line;
    if (L.Kind == TReportLineKind::Summary) continue;
    EXPECT_EQ(L.Status, R.Status) << R.Line;
    EXPECT_EQ(L.Rules, R.Rules) << R.Line;
    EXPECT_EQ(L.Errors, R.Errors) << R.Line;
    EXPECT_EQ(L.Warnings, R.Warnings) << R.Line;
    EXPECT_DOUBLE_EQ(L.LowestUsable, R.Usable) << R.Line;
    EXPECT_EQ(L.Checks, R.Checks) << R.Line;
  }
}

TEST(ReportPage, TenThousandFilesMakeAPageUnder30MB) {
  TempDir dir;
  const std::vector<std::string> lines = reporttest::ArchiveLines(reporttest::kArchiveFiles, dir);
  TReportPage Page;
  for (const std::string& L : lines) ASSERT_TRUE(Page.AddLine(L));
  const std::string html = Page.Html("now", "test");
  size_t linesBytes = 0;
  for (const std::string& L : lines) linesBytes += L.size() + 1;
  EXPECT_LT(html.size(), 30u << 20) << "lines: " << linesBytes;
  std::printf("%d files: %.1f MB of JSON Lines, a page of %.1f MB\n", reporttest::kArchiveFiles, linesBytes / 1e6,
              html.size() / 1e6);
}

// The page is refused before any file is checked, and an input is never
// overwritten.
TEST(ReportPage, APageThatCannotBeWrittenOrWouldReplaceAnInputIsRefusedFirst) {
  TempDir dir;
  const std::vector<std::string> paths = reporttest::WriteSmallArchive(dir);
  testkit::WriteFileBytes(dir.File("lines.jsonl"), R"({"file":"x","error":"gone"})" "\n");
  const std::string before = testkit::ReadFileBytes(paths[0]);
  const std::vector<std::vector<std::string>> Refused = {
      {paths[0], "--html", paths[0]},
      {"--summarize", dir.File("lines.jsonl"), "--html", dir.File("lines.jsonl")},
      {paths[0], "--html", dir.Path()},
      {paths[0], "--html", dir.File("no/such/folder/p.html")},
      {paths[0], "--html", ""}};
  for (const auto& Args : Refused) {
    const auto r = RunCli(Args, dir.Path());
    EXPECT_EQ(r.Exit, 2) << Args.back();
    EXPECT_EQ(r.Out, "") << Args.back();
    EXPECT_NE(r.Err, "") << Args.back();
  }
  EXPECT_EQ(testkit::ReadFileBytes(paths[0]), before);
  EXPECT_EQ(testkit::ReadFileBytes(dir.File("lines.jsonl")), R"({"file":"x","error":"gone"})" "\n");

  // An existing page is replaced whole, and nothing else is left beside it.
  const std::string page = dir.File("p.html");
  testkit::WriteFileBytes(page, "old");
  EXPECT_EQ(RunCli({paths[0], "--html", page}, dir.Path()).Exit, 0);
  EXPECT_NE(testkit::ReadFileBytes(page).find("</html>"), std::string::npos);
  for (const auto& E : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_EQ(E.path().filename().string().find(".vellicor-"), std::string::npos) << E.path();
}

}  // namespace
