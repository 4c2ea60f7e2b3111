// Opening real files in the main window: the general header pane, the record
// layout remarks, the verdict, and the failure path.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "DialogRecorder.h"
#include "WindowProbe.h"
#include "app/uFormResults.h"
#include "app/uMain.h"
#include "check/HeaderJudgement.h"
#include "testkit/RealFiles.h"

namespace {

using testkit::EdfBytes;
using testkit::With;

const QString ValidVerdict =
    QStringLiteral("File has a valid EDF fileheader.\nUse Tools menu for further checking.");
const QString InvalidVerdict = QStringLiteral("File is not a valid EDF file");


class UMainOpen : public ::testing::Test {
protected:
  void SetUp() override { ShowAndSettle(Form); }
  QString Write(const EdfBytes& Edf, const std::string& Name = "file.edf") {
    return WriteEdf(Folder, Name, Edf);
  }
  void ExpectCompletedOpen(const QString& Path, bool Valid) {
    EXPECT_EQ(Form.windowTitle(), QStringLiteral("Vellicor - ") + Path);
    EXPECT_EQ(FindVerdict(Form)->text(), Valid ? ValidVerdict : InvalidVerdict);
    EXPECT_EQ(FindVerdict(Form)->Blinking(), !Valid);
    EXPECT_EQ(ToolsEnabled(Form), Valid);
  }

  testkit::TempDir Folder;
  TDialogRecorder Recorder;
  TForm1 Form{QStringList()};
};

TEST_F(UMainOpen, RecordLayoutRemarksAndVerdictFollowTheJudgement) {
  const struct {
    const char* What;
    EdfBytes Edf;
    const char* DataBlock;
    bool DataBlockRed;
    const char* Duration;
    const char* Size;
    std::vector<int> RedBoxes;  // of RzEdit1 .. RzEdit20
    bool Valid;
  } Cases[] = {
      {"2 signals of 200 samples", EdfBytes::Valid(2, 200, 3), "Datablock size = 800 bytes", false, "", "",
       {}, true},
      {"a record of exactly 61440 bytes", EdfBytes::Valid(1, 30720, 1), "Datablock size = 61440 bytes",
       false, "", "", {}, true},
      {"a record of 61442 bytes", EdfBytes::Valid(1, 30721, 1),
       "Datablock size = 61442 bytes, exceeds 61440", true, "", "", {}, false},
      {"a record of 80000000 bytes announced, none present", EdfBytes::Valid(1, 40000000, 0),
       "Datablock size = 80000000 bytes, exceeds 61440", true, "", "", {}, false},
      {"0.5 s records of 100 samples", With(EdfBytes::Valid(2, 100, 3), [](EdfBytes& E) { E.General[8] = "0.5"; }),
       "Datablock size = 400 bytes", false, "should be > 1s", "", {19}, false},
      {"0.5 s records that would exceed the limit at 1 s",
       With(EdfBytes::Valid(1, 20000, 1), [](EdfBytes& E) { E.General[8] = "0.5"; }),
       "Datablock size = 40000 bytes", false, "", "", {}, true},
      {"NrDataRecords -1, size not fitting either",
       With(EdfBytes::Valid(2, 200, 3), [](EdfBytes& E) { E.General[7] = "-1"; E.Tail = "xx"; }),
       "Datablock size = 800 bytes", false, "", "", {18}, false},
      {"10 records announced, 9.5 present",
       With(EdfBytes::Valid(2, 200, 9), [](EdfBytes& E) { E.General[7] = "10"; E.Tail = std::string(400, '\0'); }),
       "Datablock size = 800 bytes", false, "", "does not fit filesize", {18}, false},
      {"NrSignals x", With(EdfBytes::Valid(2, 200, 3), [](EdfBytes& E) { E.General[9] = "x"; }), "", false,
       "", "", {16, 20}, false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    const QString Path = Write(C.Edf);
    Form.OpenFile(Path);
    ExpectCompletedOpen(Path, C.Valid);
    EXPECT_EQ(FindLabel(Form, "RzLabel22")->text(), QString::fromLatin1(C.DataBlock));
    EXPECT_EQ(LabelBackground(FindLabel(Form, "RzLabel22")),
              C.DataBlockRed ? QColor(ErrorColour) : ColorBtnFace());
    EXPECT_EQ(FindLabel(Form, "RzLabel23")->text(), QString::fromLatin1(C.Duration));
    EXPECT_EQ(FindLabel(Form, "RzLabel24")->text(), QString::fromLatin1(C.Size));
    EXPECT_EQ(BoxesColoured(Form, 1, 20, QColor(ErrorColour)), C.RedBoxes);
    EXPECT_TRUE(BoxesColoured(Form, 1, 20, QColor(WarningColour)).empty());
  }
  EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(UMainOpen, GeneralHeaderBoxesShowTheRawTextWithReasonsAndMarks) {
  const struct {
    int Field;
    const char* Raw;
    const char* Shown;
    const char* Reason;
    bool Red;
  } Cases[] = {
      {0, "0", "0", "", false},
      {0, " 0", " 0", "Not left justified", true},
      {3, "01-02-03", "01-02-03", "Separators should be '.'", true},
      {9, " 2x", " 2x", "Not left justified, not a number", true},
      {1, "X\tX X X", "X\tX X X", "Not ASCII printable", true},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Raw);
    EdfBytes Edf = EdfBytes::Valid(2, 200, 3);
    Edf.General[static_cast<size_t>(C.Field)] = C.Raw;
    Form.OpenFile(Write(Edf));
    QLineEdit* Box = FindBox(Form, 11 + C.Field);
    EXPECT_EQ(Box->text(), QString::fromLatin1(C.Shown)) << "right-trimmed only";
    EXPECT_EQ(Box->toolTip(), QString::fromLatin1(C.Reason));
    EXPECT_EQ(BoxColour(Box), C.Red ? QColor(ErrorColour) : ColorWindow());
    EXPECT_EQ(FindVerdict(Form)->text(), C.Red ? InvalidVerdict : ValidVerdict);
  }
}

TEST_F(UMainOpen, ValidFileShowsEveryFieldAndTheFirstSignal) {
  const QString Path = Write(EdfBytes::Valid(2, 200, 3), "valid.edf");
  Form.OpenFile(Path);
  ExpectCompletedOpen(Path, true);
  const char* Shown[] = {"0", "X X X X", "Startdate X X X X", "01.02.03", "04.05.06",
                         "768", "", "3", "1", "2"};
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(FindBox(Form, 11 + k)->text(), QString::fromLatin1(Shown[k])) << k;
    EXPECT_EQ(FindBox(Form, 11 + k)->cursorPosition(), 0) << "a long text shows from its start";
  }
  EXPECT_EQ(FindGroupBox(Form, "RzGroupBox1")->title(), QStringLiteral("Signal Header for signal 1"));
  EXPECT_EQ(FindBox(Form, 1)->text(), QStringLiteral("Signal 1"));
  EXPECT_EQ(BoxesColoured(Form, 1, 20, ColorWindow()).size(), 20u);
  EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(UMainOpen, FileThatCannotBeOpenedEndsOnTheErrorPathOnce) {
  const QString Path = Write(EdfBytes::Valid(2, 200, 3), "locked.edf");
  // Another program holds the file for writing.
  const int Fd = ::open(QFile::encodeName(Path).constData(), O_RDWR);
  ASSERT_GE(Fd, 0);
  ASSERT_EQ(::flock(Fd, LOCK_EX | LOCK_NB), 0);
  Form.OpenFile(Path);
  ::close(Fd);

  ASSERT_EQ(Recorder.Messages.size(), 1u);
  EXPECT_EQ(Recorder.Messages[0].Text, QStringLiteral("Error while reading file data"));
  EXPECT_EQ(Recorder.Messages[0].Caption, QStringLiteral("File open error"));
  EXPECT_EQ(Recorder.Messages[0].Icon, TMsgIcon::Error);
  EXPECT_EQ(Form.windowTitle(), QStringLiteral("Vellicor"));
  EXPECT_EQ(FindVerdict(Form)->text(), InvalidVerdict);
  EXPECT_TRUE(FindVerdict(Form)->Blinking());
  EXPECT_FALSE(ToolsEnabled(Form));
  for (int N = 11; N <= 20; ++N) EXPECT_TRUE(FindBox(Form, N)->text().isEmpty()) << N;
  // The failed object stays until the next open; stepping finds no signal.
  FindButton(Form, "RzButton2")->click();
  Form.RzButton2Click();
  EXPECT_TRUE(FindBox(Form, 1)->text().isEmpty());
  EXPECT_EQ(Recorder.Messages.size(), 1u);
}

TEST_F(UMainOpen, SecondFileReplacesTheFirstAndReleasesIt) {
  const QString First = Write(EdfBytes::Valid(2, 200, 3), "first.edf");
  EdfBytes Faulty = EdfBytes::Valid(3, 100, 2);
  Faulty.General[0] = " 0";
  const QString Second = Write(Faulty, "second.edf");

  Form.OpenFile(First);
  ExpectCompletedOpen(First, true);
  Form.OpenFile(Second);
  ExpectCompletedOpen(Second, false);
  EXPECT_EQ(FindBox(Form, 20)->text(), QStringLiteral("3"));
  EXPECT_EQ(BoxesColoured(Form, 11, 20, QColor(ErrorColour)), std::vector<int>{11});
  EXPECT_TRUE(FindLabel(Form, "RzLabel22")->text().isEmpty());

  // Nothing holds the first file any more: a writer may lock it.
  const int Fd = ::open(QFile::encodeName(First).constData(), O_RDWR);
  ASSERT_GE(Fd, 0);
  EXPECT_EQ(::flock(Fd, LOCK_EX | LOCK_NB), 0);
  ::close(Fd);
  EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(UMainOpen, CommandLineFileIsOpenedOnceAtTheFirstIdleMoment) {
  const QString Path = Write(EdfBytes::Valid(1, 10, 1), "argument.edf");
  TCountingForm Started({Path});
  ShowAndSettle(Started);
  ShowAndSettle(Started);
  EXPECT_EQ(Started.Opened, QStringList{Path});
  EXPECT_EQ(Started.windowTitle(), QStringLiteral("Vellicor - ") + Path);
  EXPECT_EQ(FindVerdict(Started)->text(), ValidVerdict);
}

// What a fresh window shows of a file, and its data record check if offered.
// Texts as UTF-8, so that a failure prints them readably.
struct TRealFileSeen {
  std::string Title;
  std::string Verdict;
  bool ToolsOn = false;
  std::vector<int> RedBoxes;  // of RzEdit11 .. RzEdit20
  std::vector<std::string> ToolTips;  // of RzEdit11 .. RzEdit20
  std::string DataBlock;
  int Reports = 0;
  std::string Report;
  bool Unchanged = false;     // bytes and modification time
};

TRealFileSeen OpenAndCheck(const std::string& File, TDialogRecorder& Recorder) {
  TRealFileSeen Seen;
  const std::string Bytes = testkit::ReadFileBytes(File);
  const int64_t MTime = testkit::FileMTimeNs(File);
  {
    TForm1 Window{QStringList()};
    ShowAndSettle(Window);
    Window.OpenFile(QFile::decodeName(File.c_str()));
    Seen.Title = Window.windowTitle().toStdString();
    Seen.Verdict = FindVerdict(Window)->text().toStdString();
    Seen.ToolsOn = ToolsEnabled(Window);
    Seen.RedBoxes = BoxesColoured(Window, 11, 20, QColor(ErrorColour));
    for (int N = 11; N <= 20; ++N) Seen.ToolTips.push_back(FindBox(Window, N)->toolTip().toStdString());
    Seen.DataBlock = FindLabel(Window, "RzLabel22")->text().toStdString();
    Recorder.OnExecModal = [&](QDialog& Dialog) {
      if (auto* Results = qobject_cast<TFormResults*>(&Dialog)) Seen.Report = Results->Memo1->toPlainText().toStdString();
      return ++Seen.Reports, 0;
    };
    if (Seen.ToolsOn) Window.Checkdigitalminmaxvalues1Click();
    Recorder.OnExecModal = nullptr;
  }
  Seen.Unchanged = testkit::ReadFileBytes(File) == Bytes && testkit::FileMTimeNs(File) == MTime;
  return Seen;
}

TEST_F(UMainOpen, RealFilesGetTheirVerdictAndStayUntouched) {
  const std::string Dir = testkit::RealTestDataDir();
  if (Dir.empty()) GTEST_SKIP() << "no real test data (../shared/testdata/real)";
  for (const testkit::RealFile& Real : testkit::RealFiles()) {
    const std::string File = Dir + "/" + Real.Name;
    SCOPED_TRACE(File);
    if (!std::filesystem::is_regular_file(File)) {
      ADD_FAILURE() << "missing from the real test data";
      continue;
    }
    const TRealFileSeen Seen = OpenAndCheck(File, Recorder);
    EXPECT_EQ(Seen.Title, "Vellicor - " + File);
    EXPECT_EQ(Seen.Verdict, VerdictText(Real.Bdf() ? TEDFFormat::BDF : TEDFFormat::EDF, Real.Valid));
    EXPECT_EQ(Seen.ToolsOn, Real.Valid);
    std::vector<int> RedBoxes;
    for (const testkit::RealFault& Fault : Real.Faults) {
      RedBoxes.push_back(11 + Fault.Field);
      EXPECT_EQ(Seen.ToolTips[static_cast<size_t>(Fault.Field)], Fault.Reason);
    }
    EXPECT_EQ(Seen.RedBoxes, RedBoxes);
    EXPECT_EQ(Seen.DataBlock,
              Real.DataBlockBytes ? "Datablock size = " + std::to_string(Real.DataBlockBytes) + " bytes" : "");
    // A valid file also goes through the data record check.
    EXPECT_EQ(Seen.Reports, Real.Valid ? 1 : 0);
    EXPECT_EQ(Seen.Report, Real.Valid ? "No errors found" : "");
    EXPECT_TRUE(Seen.Unchanged) << "the file was changed";
  }
  for (const std::string& File : testkit::UntabledRealFiles(Dir)) {
    SCOPED_TRACE(File);
    const TRealFileSeen Seen = OpenAndCheck(File, Recorder);
    const std::string Texts[] = {VerdictText(TEDFFormat::EDF, true), VerdictText(TEDFFormat::EDF, false),
                                 VerdictText(TEDFFormat::BDF, true), VerdictText(TEDFFormat::BDF, false)};
    EXPECT_NE(std::find(std::begin(Texts), std::end(Texts), Seen.Verdict), std::end(Texts)) << Seen.Verdict;
    EXPECT_EQ(Seen.Reports, Seen.ToolsOn ? 1 : 0);
    EXPECT_TRUE(Seen.Unchanged) << "the file was changed";
  }
  for (const TShownMessage& M : Recorder.Messages) ADD_FAILURE() << M.Text.toStdString();
}

}  // namespace
