// vellicor-check --privacy, --require-deidentified and --phi-words: the
// audit's findings by place, byte and length, the exit status they set, and
// no identifying text in anything the program prints, whatever else finds
// a fault at those places.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <string>
#include <vector>

#include "RunCli.h"
#include "edf/uEDFLayout.h"
#include "testkit/PlusBytes.h"

using clitest::RunCli;
using testing::HasSubstr;
using testkit::PlusBytes;
using testkit::Tal;
using testkit::TempDir;
using testkit::TimeKeeping;

namespace {

// Everything that names or dates the person in the file below, the word
// list's word included.
const std::vector<std::string> kIdentifying = {"MCH-0234567", "02-MAY-1951", "Haagse",      "Harry",    "EMR99",
                                               "J.Kay",       "Alice4",      "02-MAR-2002", "02.03.02", "Zebedee"};

// An EDF+ night of Harry Haagse, named in record 2's annotation beside a
// word of the list; the annotation's control byte and the day written with
// dashes are faults whose findings would quote the texts.
PlusBytes Night(bool Faulty) {
  PlusBytes P = PlusBytes::Valid(3);
  P.Header.General[gfPatient] = "MCH-0234567 M 02-MAY-1951 Haagse_Harry";
  P.Header.General[gfRecording] = "Startdate 02-MAR-2002 EMR99 J.Kay Alice4";
  P.Header.General[gfStartDate] = Faulty ? "02-03-02" : "02.03.02";
  P.Annotations = [Faulty](int R, int) {
    const std::string Tk = TimeKeeping("+" + std::to_string(R));
    return R == 1 ? Tk + Tal("+1.5", {Faulty ? "Harry\x01 and Zebedee" : "Harry and Zebedee"}) : Tk;
  };
  return P;
}

std::string Everything(const clitest::CliResult& R, const std::string& Page = "") { return R.Out + R.Err + Page; }

TEST(PrivacyCli, FindingsByPlaceAndLengthAndNoIdentifyingTextInAnyOutput) {
  TempDir Dir;
  const std::string Words = Dir.File("words.txt");
  testkit::WriteFileBytes(Words, "  zebedee \n\n");
  const std::string Page = Dir.File("page.html");
  const struct {
    const char* Name;
    bool Faulty;
    std::vector<std::string> Options;
    int Exit;
    std::vector<std::string> Expected;  // substrings of the output
  } Rows[] = {
      {"text",
       false,
       {"--privacy"},
       0,
       {"  warning [privacy.patient.name] general header, byte 34: patient name, 12 bytes, is not X",
        "  note [privacy.patient.sex] general header, byte 20",
        "  warning [privacy.startdate] general header, byte 168: StartDate, 8 bytes, is a real day",
        "  warning [privacy.annotation] annotation, data record 2, signal 3 (EDF Annotations), byte " +
            std::to_string(Night(false).At(1, 2) + 10) +
            ": annotation text holds a part of the patient's name, 5 bytes",
        "  privacy: header, file name and the annotation texts of 3 data records: 9 findings"}},
      {"required",
       false,
       {"--require-deidentified"},
       1,
       {"  error [privacy.patient.name]", "  note [privacy.patient.sex]", "  error [privacy.annotation]"}},
      {"words",
       false,
       {"--phi-words", Words},
       0,
       {"byte " + std::to_string(Night(false).At(1, 2) + 20) +
            ": annotation text holds a word of the user's list, 7 bytes",
        ": 10 findings"}},
      {"faults quoted elsewhere are withheld",
       true,
       {"--privacy", "--conformance", "--minmax"},
       1,
       {"  error [header.startdate.layout] general header, byte 168: ", "is withheld)", "[edfplus.tal.control]"}},
      {"json, summary and page",
       true,
       {"--privacy", "--conformance", "--json", "--summary", "--html", Page},
       1,
       {"\"rawLength\":80,", "\"shownLength\":38}", "\"privacy\":{\"annotationsAudited\":true,\"recordsScanned\":3,",
        "\"privacy.patient.code\":{\"files\":1,\"findings\":1}"}},
  };
  for (const auto& R : Rows) {
    SCOPED_TRACE(R.Name);
    const std::string Path = Dir.File(std::string("night-") + (R.Faulty ? "f" : "v") + ".edf");
    Night(R.Faulty).Write(Path);
    std::vector<std::string> Args = R.Options;
    Args.push_back(Path);
    const auto Run = RunCli(Args, Dir.Path());
    EXPECT_EQ(Run.Exit, R.Exit) << Run.Out << Run.Err;
    for (const std::string& E : R.Expected) EXPECT_THAT(Run.Out, HasSubstr(E));
    const std::string All = Everything(Run, testkit::ReadFileBytes(Page));
    for (const std::string& W : kIdentifying) EXPECT_EQ(All.find(W), std::string::npos) << W << " shown:\n" << Run.Out;
  }
}

TEST(PrivacyCli, TheJsonEchoGivesLengthsForTheIdentifyingFieldsOnly) {
  TempDir Dir;
  const std::string Path = Dir.File("night.edf");
  Night(false).Write(Path);
  const auto Run = RunCli({"--privacy", "--json", Path}, Dir.Path());
  const QJsonArray General = QJsonDocument::fromJson(QByteArray::fromStdString(Run.Out)).object()["general"].toArray();
  ASSERT_EQ(General.size(), EDFFieldCount);
  for (int k = 0; k < EDFFieldCount; ++k) {
    const QJsonObject F = General[k].toObject();
    const bool Withheld = k == gfPatient || k == gfRecording || k == gfStartDate;
    EXPECT_EQ(F.contains("raw"), !Withheld) << k;
    EXPECT_EQ(F.contains("shown"), !Withheld) << k;
    EXPECT_EQ(F.contains("shownLength"), Withheld) << k;
  }
  EXPECT_EQ(General[gfRecording].toObject()["shownLength"].toInt(), 40);
  EXPECT_EQ(General[gfStartDate].toObject()["rawLength"].toInt(), 8);
}

TEST(PrivacyCli, AWordListThatCannotBeUsedIsAUsageErrorNamingTheLineOnly) {
  TempDir Dir;
  const std::string Path = Dir.File("night.edf");
  Night(false).Write(Path);
  const std::string Bad = Dir.File("bad.txt");
  testkit::WriteFileBytes(Bad, "Zebedee\nQuincy\xE9\n");
  const struct {
    std::string File;
    std::string Message;
  } Rows[] = {
      {Bad, "vellicor-check: the word list '" + Bad + "': line 2 is not UTF-8\n"},
      {Dir.File("none.txt"),
       "vellicor-check: the word list '" + Dir.File("none.txt") + "': cannot be read: No such file or directory\n"},
  };
  for (const auto& R : Rows) {
    const auto Run = RunCli({"--phi-words", R.File, Path}, Dir.Path());
    EXPECT_EQ(Run.Exit, 2);
    EXPECT_EQ(Run.Out, "");
    EXPECT_THAT(Run.Err, testing::StartsWith(R.Message));
    EXPECT_EQ(Run.Err.find("Quincy"), std::string::npos);
  }
}

TEST(PrivacyCli, AFileNameHoldingTheNameIsAFindingThatDoesNotRepeatIt) {
  TempDir Dir;
  const std::string Path = Dir.File("Haagse_Harry_2002.edf");
  Night(false).Write(Path);
  const auto Run = RunCli({"--privacy", Path}, Dir.Path());
  EXPECT_THAT(Run.Out, HasSubstr("  warning [privacy.filename] file: the file name holds a part of the patient's "
                                 "name, 6 bytes from byte 0 of the name"));
  // The report names the file by its path, as given; nowhere else.
  std::string Rest = Run.Out;
  for (size_t At; (At = Rest.find(Path)) != std::string::npos;) Rest.erase(At, Path.size());
  for (const std::string& W : kIdentifying) EXPECT_EQ(Rest.find(W), std::string::npos) << W;
}

}  // namespace
