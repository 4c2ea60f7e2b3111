// The archive page in a real browser (headless Chromium, started here): what
// shows without scripts, what the filters, sorting and details do, that
// hostile names and fields stay text, that the quality map is drawn in its
// colours, and that 10,000 files load and filter.
#include <rapidjson/document.h>

#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "Chromium.h"
#include "PageRun.h"
#include "cli/RunCli.h"
#include "report/QualityStates.h"
#include "report/ReportPage.h"
#include "testkit/PlantedRuns.h"
#include "testkit/PlusBytes.h"

using clitest::RunCli;
using clitest::SplitLines;
using reporttest::FileUrl;
using reporttest::TChromium;
using testkit::TempDir;

namespace {

// Skips only where Chromium cannot run at all; one that starts but does not
// answer has failed the test already.
#define START_BROWSER(B)                                                               \
  TChromium B;                                                                         \
  if (!B.CannotRun().empty()) GTEST_SKIP() << "Chromium cannot run here: " << B.CannotRun(); \
  if (::testing::Test::HasFailure()) return

std::vector<std::string> Strings(const std::string& Json) {
  rapidjson::Document D;
  D.Parse(Json.c_str());
  std::vector<std::string> Out;
  if (!D.IsArray()) {
    ADD_FAILURE() << "not an array: " << Json;
    return Out;
  }
  for (const auto& V : D.GetArray()) Out.push_back(V.GetString());
  return Out;
}

// Script helpers run in the page: the last path part of each shown row, and
// a wait for two frames (the filter box applies on the next one).
const std::string kShown =
    "const shown = () => JSON.stringify([...document.querySelectorAll('#file-table tbody tr[data-file]')]"
    ".filter(r => !r.hidden).map(r => r.dataset.file.split('/').pop()));"
    "const frames = () => new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)));";

std::string Step(const std::string& Body) { return "(async () => {" + kShown + Body + "})()"; }

std::string WritePage(const TempDir& Dir, const std::vector<std::string>& Lines, const std::string& Name) {
  TReportPage Page;
  for (const std::string& L : Lines) EXPECT_TRUE(Page.AddLine(L)) << L;
  testkit::WriteFileBytes(Dir.File(Name), Page.Html("now", "test"));
  return Dir.File(Name);
}

TEST(ReportBrowser, WithoutScriptsTheTilesRulesAndFileListShow) {
  START_BROWSER(Browser);
  TempDir dir;
  std::vector<std::string> args = reporttest::WriteSmallArchive(dir);
  args.insert(args.end(), {"--minmax", "--html", dir.File("page.html")});
  ASSERT_EQ(RunCli(args, dir.Path()).Exit, 2);
  Browser.Open(FileUrl(dir.File("page.html")), false);
  EXPECT_EQ(Browser.Eval("String(document.documentElement.classList.contains('js'))"), "false");
  EXPECT_EQ(Browser.Eval("document.getElementById('checks').textContent"), "header rules, digital min/max (--minmax)");
  EXPECT_EQ(Strings(Browser.Eval("JSON.stringify([...document.querySelectorAll('.tile')].map(t => t.dataset.tile + "
                                 "' ' + t.textContent))")),
            (std::vector<std::string>{"files 5files", "valid 3valid", "invalid 1invalid", "unread 1not read",
                                      "format:EDF 3EDF", "format:BDF 1BDF"}));
  EXPECT_EQ(Strings(Browser.Eval("JSON.stringify([...document.querySelectorAll('#rules tbody tr')].map(r => "
                                 "[...r.cells].map(c => c.textContent).join('|')))")),
            (std::vector<std::string>{"header.startdate.layout|error|1|1", "signal.calibration|warning|1|1",
                                      "signal.physimin.number|warning|1|1"}));
  EXPECT_EQ(Browser.Eval("[...document.querySelectorAll('#file-table thead th')].map(c => c.textContent).join('|')"),
            "path|format|verdict|errors|warnings");
  EXPECT_EQ(Strings(Browser.Eval("JSON.stringify([...document.querySelectorAll('#file-table tbody tr')].map(r => "
                                 "r.dataset.file.split('/').pop() + ':' + [...r.cells].slice(1).map(c => "
                                 "c.textContent).join('|')))")),
            (std::vector<std::string>{"a.edf:EDF|valid|0|0", "b.edf:EDF|invalid|1|0", "c.edf:EDF|valid|0|2",
                                      "gone.edf:\u2013|not read|0|0", "d.bdf:BDF|valid|0|0"}));
}

TEST(ReportBrowser, FiltersSortingAndDetailsFollowTheRunAndItsSummary) {
  START_BROWSER(Browser);
  TempDir dir;
  std::vector<std::string> args = reporttest::WriteSmallArchive(dir);
  args.insert(args.end(), {"--json", "--summary", "--html", dir.File("page.html")});
  const auto run = RunCli(args, dir.Path());
  rapidjson::Document summary;
  summary.Parse(SplitLines(run.Out).back().c_str());
  ASSERT_TRUE(summary.IsObject() && summary.HasMember("summary")) << run.Out;
  Browser.Open(FileUrl(dir.File("page.html")));

  // The tiles say what --summary says, and every file is one row.
  for (const char* Key : {"files", "valid", "invalid", "unread"})
    EXPECT_EQ(Browser.Eval(std::string("document.querySelector('[data-tile=\"") + Key + "\"] .count').textContent"),
              std::to_string(summary["summary"][Key].GetInt()))
        << Key;
  EXPECT_EQ(Browser.Eval("String(document.querySelectorAll('#file-table tbody tr[data-file]').length)"), "5");

  const struct {
    const char* Action;
    std::vector<std::string> Shown;
  } Steps[] = {
      {"const f = document.getElementById('filter'); f.value = ' C.E '; f.dispatchEvent(new Event('input'));",
       {"c.edf"}},
      {"const f = document.getElementById('filter'); f.value = ''; f.dispatchEvent(new Event('input'));"
       "document.getElementById('invalid-only').click();",
       {"b.edf", "gone.edf"}},
      {"document.getElementById('invalid-only').click(); document.getElementById('has-warnings').click();",
       {"c.edf"}},
      {"document.getElementById('has-warnings').click();"
       "document.querySelector('tr[data-rule=\"header.startdate.layout\"] button').click();",
       {"b.edf"}},
      {"document.querySelector('#rule-chip button').click();", {"a.edf", "b.edf", "c.edf", "gone.edf", "d.bdf"}},
      // Twice on "errors": descending, the file with errors first.
      {"const b = document.querySelector('th[data-key=\"errors\"] button'); b.click(); b.click();",
       {"b.edf", "a.edf", "c.edf", "gone.edf", "d.bdf"}},
  };
  for (const auto& S : Steps)
    EXPECT_EQ(Strings(Browser.Eval(Step(std::string(S.Action) + "await frames(); return shown();"))), S.Shown)
        << S.Action;

  // The invalid file's details: its finding, and its StartDate marked as the window marks it.
  EXPECT_EQ(Strings(Browser.Eval(Step(
                "document.querySelector('tr[data-file$=\"/b.edf\"] button.toggle').click();"
                "const d = document.querySelector('tr[data-file$=\"/b.edf\"]').nextElementSibling;"
                "return JSON.stringify([d.className, ...[...d.querySelectorAll('table.findings tbody td')]"
                ".map(c => c.textContent), ...[...d.querySelectorAll('td.mark-error')].map(c => c.textContent)]);"))),
            (std::vector<std::string>{"detail", "error", "header.startdate.layout", "general header, StartDate", "168",
                                      "StartDate 01-02-03 is not laid out as dd.mm.yy", "01-02-03"}));
  // Printing opens every failing file shown, and closes them again after.
  EXPECT_EQ(Browser.Eval("const visible = () => [...document.querySelectorAll('tr.detail')].filter(d => "
                         "!d.hidden).length; dispatchEvent(new Event('beforeprint')); const during = visible();"
                         "dispatchEvent(new Event('afterprint')); during + ' ' + visible()"),
            "2 1");
}

TEST(ReportBrowser, HostileNamesAndFieldsAppearAsTextAndRunNoScript) {
  START_BROWSER(Browser);
  TempDir dir;
  const std::string Field = "</script><script>window.pwned=1</script>";
  const std::vector<std::string> Names = {"<script>window.pwned=2<", "\"><img src=x onerror=window.pwned=3>",
                                          "a&amp;b' <!--", "\xFF<b>"};
  std::vector<std::string> args = {"--json"};
  for (const std::string& N : Names) {
    testkit::EdfBytes E = testkit::EdfBytes::Valid(1, 10, 1);
    E.General[1] = Field;
    E.Signals[0][0] = "<svg onload=x>";
    args.push_back(dir.File(N + ".edf"));
    testkit::WriteFileBytes(args.back(), E.Bytes());
  }
  std::vector<std::string> lines = SplitLines(RunCli(args, dir.Path()).Out);
  ASSERT_EQ(lines.size(), Names.size());
  lines[0] = reporttest::WithQuality(lines[0], {"..ff"}, 30);
  lines.push_back(R"({"file":"</script><img src=x onerror=window.pwned=4>","error":"<b>&amp;</b>"})");
  Browser.Open(FileUrl(WritePage(dir, lines, "page.html")));
  // Every detail drawn, then nothing ran and nothing was added.
  EXPECT_EQ(Browser.Eval(Step("document.querySelectorAll('button.toggle').forEach(b => b.click()); await frames();"
                              "return [typeof window.pwned, document.scripts.length, "
                              "document.querySelectorAll('img, iframe, object').length, "
                              "document.querySelectorAll('tr.detail').length].join(' ');")),
            "undefined 3 0 5");
  std::vector<std::string> expected;
  for (const std::string& N : Names)
    expected.push_back(N == Names.back() ? dir.File("\\xFF<b>.edf") : dir.File(N + ".edf"));
  expected.push_back("</script><img src=x onerror=window.pwned=4>");
  EXPECT_EQ(Strings(Browser.Eval("JSON.stringify([...document.querySelectorAll('button.toggle')].map(b => "
                                 "b.textContent))")),
            expected);
  EXPECT_EQ(Strings(Browser.Eval("JSON.stringify([...document.querySelectorAll('tr[data-file]')].map(r => "
                                 "r.dataset.file))")),
            expected);
  EXPECT_EQ(Strings(Browser.Eval("JSON.stringify([document.querySelector('table.general tr:nth-child(2) td')"
                                 ".textContent, document.querySelector('.qlabel').textContent, "
                                 "document.querySelector('tr.detail:last-child .error').textContent])")),
            (std::vector<std::string>{Field, "1 <svg onload=x> \u00b7 50 %", "<b>&amp;</b>"}));
}

TEST(ReportBrowser, APrivacyLineShowsLengthsAndNoIdentifyingText) {
  START_BROWSER(Browser);
  TempDir dir;
  testkit::PlusBytes P = testkit::PlusBytes::Valid(2);
  P.Header.General[1] = "MCH-0234567 M 02-MAY-1951 Haagse_Harry";
  P.Header.General[2] = "Startdate 02-MAR-2002 EMR99 J.Kay Alice4";
  P.Header.General[3] = "02-03-02";  // a fault whose finding would quote it
  P.Annotations = [](int R, int) {
    return testkit::TimeKeeping("+" + std::to_string(R)) + testkit::Tal("+0.5", {"Harry"});
  };
  P.Write(dir.File("night.edf"));
  ASSERT_EQ(
      RunCli({"--privacy", "--conformance", "--html", dir.File("page.html"), dir.File("night.edf")}, dir.Path()).Exit,
      1);
  Browser.Open(FileUrl(dir.File("page.html")));
  EXPECT_EQ(Strings(Browser.Eval(Step("document.querySelector('button.toggle').click(); await frames();"
                                      "return JSON.stringify([...document.querySelectorAll('table.general tr')]"
                                      ".slice(1, 4).map(r => r.cells[1].textContent));"))),
            (std::vector<std::string>{"(38 bytes withheld)", "(40 bytes withheld)", "(8 bytes withheld)"}));
  const std::string Dom = Browser.Eval("document.documentElement.outerHTML");
  EXPECT_NE(Dom.find("privacy.annotation"), std::string::npos);
  for (const char* W :
       {"MCH-0234567", "02-MAY-1951", "Haagse", "Harry", "EMR99", "J.Kay", "Alice4", "02-MAR-2002", "02-03-02"})
    EXPECT_EQ(Dom.find(W), std::string::npos) << W;
}

TEST(ReportBrowser, QualityMapIsDrawnInTheStatesColours) {
  START_BROWSER(Browser);
  TempDir dir;
  const auto run = RunCli({"--json", reporttest::WriteSmallArchive(dir)[0]}, dir.Path());
  const std::vector<std::string> maps = {"....ffffcccc....rrrrttttgggg....", "------------------------gggg----"};
  const std::string page = WritePage(dir, {reporttest::WithQuality(SplitLines(run.Out)[0], maps, 30)}, "q.html");
  Browser.Open(FileUrl(page) + "#file=" + dir.File("a.edf"));
  // One cell run per state change, each titled with its state.
  EXPECT_EQ(Browser.Eval("const m = document.querySelector('.qmap'); m.scrollIntoView();"
                         "[...m.querySelectorAll('rect')].map(r => r.dataset.state + '=' + "
                         "r.querySelector('title').textContent.split(': ').pop()).join(',')"),
            ".=good,f=flat,c=clipped,.=good,r=out of range,t=tail or dead,g=gap,.=good,-=not judged,g=gap,-=not judged");
  const std::string png = Browser.Screenshot();
  QImage shot;
  ASSERT_TRUE(shot.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG"));
  std::map<QRgb, int> pixels;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) ++pixels[shot.pixel(x, y) | 0xFF000000u];
  for (const char Letter : std::string(".fcrtg-")) {
    const QRgb colour = QColor(FindQualityState(Letter)->Colour).rgb();
    // A map cell is a 1/32 of the map's width and 16 pixels high.
    EXPECT_GT(pixels[colour], 100) << Letter << " " << FindQualityState(Letter)->Colour;
  }
}

// The page draws the map of the program's own line: one rectangle per run of
// equal epochs, as the line's map strings say, and the usable share beside
// each label.
TEST(ReportBrowser, TheMapOfAQualityRunIsDrawnFromItsOwnLine) {
  START_BROWSER(Browser);
  TempDir dir;
  // Signal 1 flat from 10 s to 20 s, signal 3 a percentage (not judged);
  // with 5 s epochs the maps are "..ff..", "......", "------".
  testkit::EdfBytes E =
      testkit::With(testkit::EdfBytes::Valid(3, 200, 30), [](testkit::EdfBytes& F) { F.Signals[2][2].assign(1, '%'); });
  E.Sample = testkit::PlantedSamples(E, {{0, 2000, 4000, 0}});
  testkit::WriteFileBytes(dir.File("q.edf"), E.Bytes());
  ASSERT_EQ(RunCli({"--quality", "--epoch", "5", dir.File("q.edf"), "--html", dir.File("q.html")}, dir.Path()).Exit, 0);
  Browser.Open(FileUrl(dir.File("q.html")) + "#file=" + dir.File("q.edf"));
  EXPECT_EQ(Strings(Browser.Eval("JSON.stringify([...document.querySelectorAll('.qmap svg.cells')].map(s => "
                                 "[...s.querySelectorAll('rect')].map(r => r.dataset.state + r.getAttribute('width'))"
                                 ".join(' ')))")),
            (std::vector<std::string>{".2 f2 .2", ".6", "-6"}));
  EXPECT_EQ(Browser.Eval("document.querySelector('.qlabel').textContent"), "1 Signal 1 \u00b7 66 %");
}

TEST(ReportBrowser, TenThousandFilesLoadAndFilter) {
  START_BROWSER(Browser);
  TempDir dir;
  const std::vector<std::string> lines = reporttest::ArchiveLines(reporttest::kArchiveFiles, dir);
  // How many files fail, and how many signals the first of them has.
  int invalid = 0;
  rapidjson::SizeType signalCount = 0;
  for (const std::string& L : lines) {
    if (L.find("\"valid\":false") == std::string::npos) continue;
    if (invalid++ > 0) continue;
    rapidjson::Document D;
    D.Parse(L.c_str());
    signalCount = D["quality"]["signals"].Size();
  }
  ASSERT_GT(invalid, 0);
  const std::string page = WritePage(dir, lines, "big.html");
  const auto start = std::chrono::steady_clock::now();
  Browser.Open(FileUrl(page));
  const auto loaded = std::chrono::steady_clock::now();
  EXPECT_EQ(Browser.Eval("String(document.querySelectorAll('#file-table tbody tr').length)"),
            std::to_string(reporttest::kArchiveFiles));
  EXPECT_EQ(Strings(Browser.Eval(Step("const f = document.getElementById('filter'); f.value = 'subject" +
                                      std::to_string(reporttest::kArchiveFiles - 1) + "/';"
                                      "f.dispatchEvent(new Event('input')); await frames(); return shown();"))),
            (std::vector<std::string>{"night.edf"}));
  EXPECT_EQ(Browser.Eval(Step("const f = document.getElementById('filter'); f.value = '';"
                              "f.dispatchEvent(new Event('input')); document.getElementById('invalid-only').click();"
                              "await frames(); document.querySelector('tr[data-file]:not([hidden]) button.toggle')"
                              ".click(); return JSON.parse(shown()).length + ' ' + "
                              "document.querySelectorAll('tr.detail .qmap svg').length;")),
            std::to_string(invalid) + " " + std::to_string(signalCount));
  const auto filtered = std::chrono::steady_clock::now();
  using ms = std::chrono::milliseconds;
  std::printf("%d files: page %.1f MB, loaded in %lld ms, filtered and one detail drawn in %lld ms\n",
              reporttest::kArchiveFiles,
              static_cast<double>(testkit::ReadFileBytes(page).size()) / 1e6,
              static_cast<long long>(std::chrono::duration_cast<ms>(loaded - start).count()),
              static_cast<long long>(std::chrono::duration_cast<ms>(filtered - loaded).count()));
}

}  // namespace
