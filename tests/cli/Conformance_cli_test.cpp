// vellicor-check --conformance and --conformance-only: the findings beside
// the classic verdict, the exit status they set, the count of findings
// beyond those listed, and the JSON a batch reads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "RunCli.h"
#include "testkit/PlusBytes.h"

using clitest::HasLine;
using clitest::RunCli;
using testing::HasSubstr;
using testkit::PlusBytes;
using testkit::TempDir;

namespace {

std::string Write(const TempDir& Dir, const std::string& Name, const PlusBytes& P) {
  const std::string Path = Dir.File(Name);
  P.Write(Path);
  return Path;
}

TEST(ConformanceCli, FindingsSetTheExitStatusOnlyWhenAskedFor) {
  TempDir Dir;
  // 30 records whose texts hold a control byte each: more than the 20 listed.
  PlusBytes P = PlusBytes::Valid(30);
  P.Annotations = [](int R, int) {
    return testkit::TimeKeeping("+" + std::to_string(R)) + testkit::Tal("+" + std::to_string(R), {"bad\x01"});
  };
  const std::string Path = Write(Dir, "ctl.edf", P);

  const auto Plain = RunCli({Path}, Dir.Path());
  EXPECT_EQ(Plain.Exit, 0) << Plain.Out;
  EXPECT_THAT(Plain.Out, testing::Not(HasSubstr("edfplus.")));

  const auto Checked = RunCli({"--conformance", Path}, Dir.Path());
  EXPECT_EQ(Checked.Exit, 1);
  const std::vector<std::string> Lines = clitest::SplitLines(Checked.Out);
  EXPECT_EQ(std::count_if(Lines.begin(), Lines.end(),
                          [](const std::string& L) { return L.find("[edfplus.tal.control]") != std::string::npos; }),
            21);  // 20 findings and the line with the count
  EXPECT_TRUE(HasLine(Checked.Out, "  [edfplus.tal.control] 30 findings in all, 20 listed")) << Checked.Out;
  EXPECT_TRUE(HasLine(Checked.Out, "  conformance: EDF+C, 30 data records checked: 30 errors, 0 warnings"))
      << Checked.Out;

  // The summary counts every finding, listed or not, as --summarize does.
  const auto Json = RunCli({"--conformance", "--json", "--summary", Path}, Dir.Path());
  const std::vector<std::string> JsonLines = clitest::SplitLines(Json.Out);
  ASSERT_EQ(JsonLines.size(), 2u);
  const QJsonObject File = QJsonDocument::fromJson(QByteArray::fromStdString(JsonLines[0])).object();
  const QJsonObject Totals = File["conformance"].toObject()["totals"].toObject();
  EXPECT_EQ(Totals["edfplus.tal.control"].toObject()["total"].toInteger(), 30);
  EXPECT_EQ(Totals["edfplus.tal.control"].toObject()["listed"].toInteger(), 20);
  const QJsonObject Summary = QJsonDocument::fromJson(QByteArray::fromStdString(JsonLines[1])).object();
  EXPECT_EQ(Summary["summary"].toObject()["rules"].toObject()["edfplus.tal.control"].toObject()["findings"].toInteger(),
            30);
}

TEST(ConformanceCli, ConformanceOnlyLetsALegalAnnotationFileThrough) {
  TempDir Dir;
  // Annotations alone, in records of 0 s: legal EDF+, refused by the classic rules.
  PlusBytes P = PlusBytes::Valid(1);
  P.Header.General[8] = "0";
  P.Header.Signals.erase(P.Header.Signals.begin(), P.Header.Signals.begin() + 2);
  P.Header.General[9] = "1";
  P.Header.General[5] = "512";
  P.AnnotationSignals = {0};
  P.Annotations = [](int, int) { return testkit::TimeKeeping("+0") + testkit::Tal("+30\x15" "30", {"Sleep stage W"}); };
  const std::string Path = Write(Dir, "hyp.edf", P);

  const auto Classic = RunCli({"--conformance", Path}, Dir.Path());
  EXPECT_EQ(Classic.Exit, 1);
  EXPECT_THAT(Classic.Out, HasSubstr("  error [header.samplerecduration.minimum]"));
  const auto Only = RunCli({"--conformance-only", Path}, Dir.Path());
  EXPECT_EQ(Only.Exit, 0) << Only.Out;
  EXPECT_THAT(Only.Out, HasSubstr("  warning [header.samplerecduration.minimum]"));
  EXPECT_THAT(Only.Out, HasSubstr("  conformance: EDF+C, 1 data record checked: 0 errors, 0 warnings"));
}

TEST(ConformanceCli, ARecordAbove61440BytesIsOneFinding) {
  TempDir Dir;
  // Signal 1 of 30990 samples beside 10 and 30: records of 62060 bytes.
  PlusBytes P = PlusBytes::Valid(1);
  P.Header.Signals[0][8] = "30990";
  const std::string Path = Write(Dir, "big.edf", P);
  for (const char* Option : {"--conformance", "--conformance-only"}) {
    const auto R = RunCli({Option, Path}, Dir.Path());
    const std::vector<std::string> Lines = clitest::SplitLines(R.Out);
    EXPECT_EQ(std::count_if(Lines.begin(), Lines.end(),
                            [](const std::string& L) { return L.find("61440") != std::string::npos; }),
              2)
        << Option << "\n" << R.Out;  // the finding and the data block line
    EXPECT_THAT(R.Out, HasSubstr("[layout.record.size] file, byte 1024: a data record holds 62060 bytes")) << Option;
  }
}

}  // namespace
