#include "cli/ReportJson.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <iterator>

#include "check/MinMaxScan.h"
#include "edf/uEDF.h"
#include "RunCli.h"
#include "testkit/EdfBytes.h"

using clitest::RunCli;
using clitest::SplitLines;
using testkit::EdfBytes;
using testkit::TempDir;

namespace {

QJsonObject Parse(const std::string& Line) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(Line), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << Line;
  EXPECT_TRUE(doc.isObject()) << Line;
  return doc.object();
}

std::string Str(const QJsonValue& V) { return V.toString().toStdString(); }

// Valid, faulty header, warning only, out-of-range samples.
std::vector<std::string> Files(const TempDir& Dir) {
  std::vector<EdfBytes> all(4, EdfBytes::Valid(2, 20, 2));
  all[1].General[3] = "01-02-03";
  all[1].Signals[1][0] = "L\xC8";
  all[2].Signals[0][3] = "abc";
  all[3].Sample = [](int, int s, int i) { return static_cast<int16_t>(s == 1 && i == 5 ? 2048 : 0); };
  std::vector<std::string> paths;
  for (size_t i = 0; i < all.size(); ++i) {
    paths.push_back(Dir.File('j' + std::to_string(i) + ".edf"));
    testkit::WriteFileBytes(paths.back(), all[i].Bytes());
  }
  return paths;
}

TEST(ReportJson, OneParsableObjectPerFileWithTheVerdictsOfTheTextForm) {
  TempDir dir;
  const std::vector<std::string> paths = Files(dir);
  std::vector<std::string> args = {"--json"};
  args.insert(args.end(), paths.begin(), paths.end());
  const auto json = RunCli(args, dir.Path());
  args.erase(args.begin());
  const auto text = RunCli(args, dir.Path());
  EXPECT_EQ(json.Exit, 1);
  EXPECT_EQ(json.Exit, text.Exit);

  const std::vector<std::string> lines = SplitLines(json.Out);
  ASSERT_EQ(lines.size(), paths.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    const QJsonObject o = Parse(lines[i]);
    EXPECT_EQ(Str(o["file"]), paths[i]);
    const std::string verdict = Str(o["verdict"]);
    EXPECT_TRUE(clitest::HasLine(text.Out, paths[i] + ": " + verdict)) << verdict;
    EXPECT_EQ(o["valid"].toBool(), verdict == "File has a valid EDF fileheader.");
    EXPECT_EQ(o["general"].toArray().size(), 10);
    EXPECT_EQ(o["signals"].toArray().size(), 2);
    EXPECT_FALSE(o.contains("minmax"));
    EXPECT_FALSE(o.contains("error"));
  }
  EXPECT_FALSE(Parse(lines[1])["valid"].toBool());
  EXPECT_TRUE(Parse(lines[2])["valid"].toBool());
}

// The format comes from the first byte and the Reserved field; a file whose
// header could not be read has none.
TEST(ReportJson, FormatIsTheFamilyMemberOrNullWithoutAHeader) {
  TempDir dir;
  const struct {
    EdfBytes Bytes;
    const char* Format;
    const char* Verdict;
  } Cases[] = {
      {EdfBytes::Valid(1, 10, 1), "EDF", "File has a valid EDF fileheader."},
      {testkit::With(EdfBytes::Valid(1, 10, 1), [](EdfBytes& E) { E.General[6] = "EDF+D"; }), "EDF+",
       "File has a valid EDF fileheader."},
      {EdfBytes::ValidBdf(1, 10, 1), "BDF", "File has a valid BDF fileheader."},
      {testkit::With(EdfBytes::ValidBdf(1, 10, 1), [](EdfBytes& E) { E.General[6] = "BDF+D"; }), "BDF+",
       "File has a valid BDF fileheader."},
      // "EDF+" in a BDF file does not make it BDF+, nor EDF.
      {testkit::With(EdfBytes::ValidBdf(1, 10, 1), [](EdfBytes& E) { E.General[6] = "EDF+C"; }), "BDF",
       "File has a valid BDF fileheader."},
      // The first byte decides: EDF's version makes the 24-bit limits faults.
      {testkit::With(EdfBytes::ValidBdf(1, 10, 1), [](EdfBytes& E) { E.General[0].assign(1, '0'); }), "EDF",
       "File is not a valid EDF file"}};
  std::vector<std::string> args = {"--json"};
  for (size_t i = 0; i < std::size(Cases); ++i) {
    args.push_back(dir.File("f" + std::to_string(i) + ".bdf"));
    testkit::WriteFileBytes(args.back(), Cases[i].Bytes.Bytes());
  }
  const std::vector<std::string> lines = SplitLines(RunCli(args, dir.Path()).Out);
  ASSERT_EQ(lines.size(), std::size(Cases));
  for (size_t i = 0; i < lines.size(); ++i) {
    const QJsonObject o = Parse(lines[i]);
    EXPECT_EQ(Str(o["format"]), Cases[i].Format) << i;
    EXPECT_EQ(Str(o["verdict"]), Cases[i].Verdict) << i;
  }

  // Locked by a writer: the open fails before the header is read.
  const int fd = open(args[1].c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  const auto locked = RunCli({"--json", args[1]}, dir.Path());
  const auto text = RunCli({args[1]}, dir.Path());
  close(fd);
  EXPECT_TRUE(Parse(locked.Out)["format"].isNull()) << locked.Out;
  EXPECT_EQ(text.Out.find("  format:"), std::string::npos) << text.Out;
}

TEST(ReportJson, FieldsCarryRawShownReasonMarkAndSeverity) {
  TempDir dir;
  const std::vector<std::string> paths = Files(dir);
  const QJsonObject bad = Parse(RunCli({"--json", paths[1]}, dir.Path()).Out);
  const QJsonObject date = bad["general"].toArray()[3].toObject();
  EXPECT_EQ(Str(date["name"]), "StartDate");
  EXPECT_EQ(Str(date["raw"]), "01-02-03");
  EXPECT_EQ(Str(date["reason"]), "Separators should be '.'");
  EXPECT_EQ(Str(date["mark"]), "error");
  EXPECT_EQ(Str(bad["general"].toArray()[0].toObject()["mark"]), "none");
  // Header bytes come back exactly: byte 200 is the character U+00C8.
  const QJsonObject label = bad["signals"].toArray()[1].toObject()["fields"].toArray()[0].toObject();
  EXPECT_EQ(label["raw"].toString().toLatin1().toStdString(), "L\xC8" + std::string(14, ' '));
  EXPECT_EQ(label["shown"].toString().toLatin1().toStdString(), "L\xC8");
  EXPECT_EQ(Str(label["reason"]), "Not ASCII printable");

  const QJsonObject warn = Parse(RunCli({"--json", paths[2]}, dir.Path()).Out);
  const QJsonObject sig = warn["signals"].toArray()[0].toObject();
  const QJsonObject physiMin = sig["fields"].toArray()[3].toObject();
  EXPECT_EQ(Str(physiMin["severity"]), "warning");
  EXPECT_EQ(Str(physiMin["mark"]), "error");  // the window shows one bad limit red
  EXPECT_EQ(Str(sig["calibrationRemark"]), "Signal is not calibrated");
  EXPECT_EQ(warn["dataBlockBytes"].toInteger(), 80);  // 2 signals x 20 samples x 2 bytes
  EXPECT_EQ(Str(warn["remarks"].toObject()["dataBlock"]), "Datablock size = 80 bytes");
}

TEST(ReportJson, MinMaxLinesEqualTheSharedReport) {
  TempDir dir;
  const std::vector<std::string> paths = Files(dir);
  const auto r = RunCli({"--json", "--minmax", paths[3], paths[0], paths[1]}, dir.Path());
  const std::vector<std::string> lines = SplitLines(r.Out);
  ASSERT_EQ(lines.size(), 3u);
  for (size_t i = 0; i < 2; ++i) {
    TEDFFile F;
    F.SetFileName(i == 0 ? paths[3] : paths[0]);
    THeaderJudgement J;
    JudgeOpenFile(F, J);
    const std::vector<std::string> expected = BuildMinMaxReport(F, ScanDigitalMinMax(F));
    std::vector<std::string> got;
    for (const QJsonValue& v : Parse(lines[i])["minmax"].toArray()) got.push_back(Str(v));
    EXPECT_EQ(got, expected);
  }
  // An invalid header is never scanned.
  EXPECT_FALSE(Parse(lines[2]).contains("minmax"));
}

TEST(ReportJson, FindingsCarryRuleSeverityPlaceOffsetAndBytes) {
  TempDir dir;
  const std::vector<std::string> paths = Files(dir);
  const QJsonArray findings = Parse(RunCli({"--json", paths[1]}, dir.Path()).Out)["findings"].toArray();
  ASSERT_GE(findings.size(), 2);
  const QJsonObject date = findings[0].toObject();
  EXPECT_EQ(Str(date["rule"]), "header.startdate.layout");
  EXPECT_EQ(Str(date["severity"]), "error");
  EXPECT_EQ(Str(date["where"].toObject()["kind"]), "general header");
  EXPECT_EQ(Str(date["where"].toObject()["field"]), "StartDate");
  EXPECT_EQ(date["offset"].toInteger(), 168);
  EXPECT_EQ(date["length"].toInteger(), 8);
  EXPECT_EQ(Str(date["raw"]), "01-02-03");
  const QJsonObject label = findings[1].toObject();
  EXPECT_EQ(Str(label["rule"]), "signal.signallabel.printable");
  EXPECT_EQ(label["where"].toObject()["signal"].toInt(), 2);
  EXPECT_EQ(label["offset"].toInteger(), 256 + 16);
  EXPECT_EQ(label["raw"].toString().toLatin1().toStdString(), "L\xC8" + std::string(14, ' '));
}

TEST(ReportJson, EveryPathGetsALineAndTheSummaryAddsUp) {
  TempDir dir;
  const std::vector<std::string> paths = Files(dir);
  std::vector<std::string> args = {"--json", "--summary", dir.File("gone.edf")};
  args.insert(args.end(), paths.begin(), paths.end());
  const auto r = RunCli(args, dir.Path());
  EXPECT_EQ(r.Exit, 2);
  const std::vector<std::string> lines = SplitLines(r.Out);
  ASSERT_EQ(lines.size(), paths.size() + 2);
  const QJsonObject gone = Parse(lines[0]);
  EXPECT_EQ(Str(gone["file"]), dir.File("gone.edf"));
  EXPECT_EQ(Str(gone["error"]), "No such file or directory");
  EXPECT_FALSE(gone.contains("valid"));

  const QJsonObject summary = Parse(lines.back())["summary"].toObject();
  EXPECT_EQ(summary["files"].toInt(), 5);
  EXPECT_EQ(summary["valid"].toInt(), 3);
  EXPECT_EQ(summary["invalid"].toInt(), 1);
  EXPECT_EQ(summary["unread"].toInt(), 1);
  const QJsonObject rules = summary["rules"].toObject();
  EXPECT_EQ(rules["header.startdate.layout"].toObject()["files"].toInt(), 1);
  EXPECT_EQ(rules["signal.physimin.number"].toObject()["findings"].toInt(), 1);

  // The lines of a run, summarized later (or merged from many runs), give
  // the same summary as the run itself.
  const std::string results = dir.File("results.jsonl");
  std::string body;
  for (size_t i = 0; i + 1 < lines.size(); ++i) body += lines[i] + "\n";
  testkit::WriteFileBytes(results, body);
  const auto again = RunCli({"--summarize", "--json", results}, dir.Path());
  EXPECT_EQ(again.Out, lines.back() + "\n");
  EXPECT_EQ(again.Exit, 2);
}

// The lines were written with Qt before; they stay the same byte for byte, so
// results of both releases compare equal.
TEST(ReportJson, HeaderBytesAreEscapedAsTheEarlierLinesEscapedThem) {
  const struct {
    std::string Bytes, Json;
  } Rows[] = {
      {"\x01\x1f", "\\u0001\\u001f"},  // lowercase hex
      {"\t\n\r\b\f", "\\t\\n\\r\\b\\f"},
      {"\"\\", "\\\"\\\\"},
      {"/<>&'\x7f", "/<>&'\x7f"},      // as they are
      {"\xC8\xFF", "\xC3\x88\xC3\xBF"},  // a byte as the Latin-1 character, in UTF-8
  };
  std::string bytes, json;
  for (const auto& R : Rows) bytes += R.Bytes, json += R.Json;
  TempDir dir;
  EdfBytes file = EdfBytes::Valid(1, 10, 1);
  file.General[1] = bytes;
  testkit::WriteFileBytes(dir.File("p.edf"), file.Bytes());
  const std::string line = RunCli({"--json", dir.File("p.edf")}, dir.Path()).Out;
  EXPECT_NE(line.find("\"raw\":\"" + json + std::string(80 - bytes.size(), ' ') + "\""), std::string::npos) << line;
}

}  // namespace
