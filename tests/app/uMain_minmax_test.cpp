// Tools / Check digital min/max values driven from the main window: the
// progress window, Cancel, the report, and the error path.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>

#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include "DialogRecorder.h"
#include "WindowProbe.h"
#include "app/uFormProgress.h"
#include "app/uFormResults.h"
#include "app/uMain.h"

namespace {

using testkit::EdfBytes;

// Watches every record of the scan: what the progress bar shows once the
// events went through, and what the rest of the application looks like.
class TScanForm : public TForm1 {
public:
  using TForm1::TForm1;

  struct TSeen {
    int Percent;
    bool MainEnabled;
    bool ProgressShownAndEnabled;
    QPoint ProgressCentre;
  };
  std::vector<TSeen> Seen;
  // Runs before the events of record Record are processed.
  std::function<void(TFormProgress&, int Record)> BeforeEvents;

protected:
  bool MinMaxRecordLoaded(TFormProgress& Progress, int Percent) override {
    if (BeforeEvents) BeforeEvents(Progress, static_cast<int>(Seen.size()));
    const bool GoOn = TForm1::MinMaxRecordLoaded(Progress, Percent);
    Seen.push_back({Progress.ProgressBar->value(), isEnabled(),
                    Progress.isVisible() && Progress.isEnabled(),
                    Progress.frameGeometry().center()});
    return GoOn;
  }
};

// Sees the progress window come and go, even when no record is scanned.
class TProgressSpy : public QObject {
public:
  TProgressSpy() { qApp->installEventFilter(this); }
  ~TProgressSpy() override { qApp->removeEventFilter(this); }
  int Shown = 0, Hidden = 0;
  QString Caption;
  bool HadOwner = false;
  bool MainEnabledWhenShown = true;
  QPointer<TFormProgress> Window;
  QWidget* Main = nullptr;

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    auto* Progress = qobject_cast<TFormProgress*>(Watched);
    if (Progress && Event->type() == QEvent::Show) {
      ++Shown;
      Window = Progress;
      Caption = Progress->windowTitle();
      HadOwner = Progress->parentWidget() != nullptr;
      if (Main) MainEnabledWhenShown = Main->isEnabled();
    }
    if (Progress && Event->type() == QEvent::Hide) ++Hidden;
    return false;
  }
};

// Records the messages, and the state of the windows at each of them.
class TStateRecorder : public TDialogRecorder {
public:
  std::function<void()> AtMessage;
  void ShowMessage(const QString& Text, const QString& Caption, TMsgIcon Icon) override {
    if (AtMessage) AtMessage();
    TDialogRecorder::ShowMessage(Text, Caption, Icon);
  }
};

QStringList MemoLines(const TFormResults& Form) {
  QStringList Lines;
  for (QTextBlock B = Form.Memo1->document()->begin(); B.isValid(); B = B.next()) Lines << B.text();
  return Lines;
}

class UMainMinMax : public ::testing::Test {
protected:
  void SetUp() override {
    ShowAndSettle(Form);
    Spy.Main = &Form;
  }
  QString Open(const EdfBytes& Edf) {
    const QString Path = WriteEdf(Folder, "scan.edf", Edf);
    Form.OpenFile(Path);
    EXPECT_TRUE(ToolsEnabled(Form));
    return Path;
  }
  // Runs the command; the results window, if any, is read and closed at once.
  QStringList Run() {
    QStringList Report;
    Recorder.OnExecModal = [&](QDialog& Dialog) {
      ++Reports;
      auto* Results = qobject_cast<TFormResults*>(&Dialog);
      EXPECT_NE(Results, nullptr);
      if (!Results) return int(QDialog::Rejected);
      ResultsWindow = Results;
      EXPECT_EQ(Results->windowTitle(), QStringLiteral("Results of digital min/max values check"));
      EXPECT_EQ(Results->parentWidget(), nullptr);
      EXPECT_TRUE(Spy.Window.isNull()) << "the progress window is gone before the report";
      EXPECT_TRUE(Form.isEnabled());
      Report = MemoLines(*Results);
      return int(QDialog::Accepted);
    };
    Form.Checkdigitalminmaxvalues1Click();
    return Report;
  }

  testkit::TempDir Folder;
  TStateRecorder Recorder;
  TProgressSpy Spy;
  TScanForm Form{QStringList()};
  int Reports = 0;
  QPointer<TFormResults> ResultsWindow;
};

TEST_F(UMainMinMax, NoRecordsShowAndHideTheProgressAndFindNothing) {
  Open(EdfBytes::Valid(2, 10, 0));
  EXPECT_EQ(Run(), QStringList{QStringLiteral("No errors found")});
  EXPECT_EQ(Reports, 1);
  EXPECT_TRUE(Form.Seen.empty());
  EXPECT_EQ(Spy.Shown, 1);
  EXPECT_EQ(Spy.Hidden, 1);
  EXPECT_EQ(Spy.Caption, QStringLiteral("Checking digital values"));
  EXPECT_FALSE(Spy.HadOwner);
  EXPECT_FALSE(Spy.MainEnabledWhenShown) << "the main window is off while the progress shows";
  EXPECT_TRUE(Spy.Window.isNull()) << "the progress window is freed";
  EXPECT_TRUE(ResultsWindow.isNull()) << "the results window is freed";
  EXPECT_TRUE(Form.isEnabled());
  EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(UMainMinMax, ValuesBeyondBothLimitsAreCountedUnderAHeading) {
  EdfBytes Edf = EdfBytes::Valid(2, 10, 2);
  Edf.Signals[1][0] = "EEG Fpz";
  Edf.Sample = [](int Record, int Signal, int Index) -> int16_t {
    if (Signal == 1 && Record == 0 && Index == 3) return -2049;
    if (Signal == 1 && Record == 1 && Index == 9) return 2048;
    return Signal == 0 ? 2047 : 0;  // on the limit: no finding
  };
  Open(Edf);
  EXPECT_EQ(Run(), QStringList({QStringLiteral("Found 2 errors:"), QString(),
                                QStringLiteral("Signal 2 (EEG Fpz): found DigitalMin value=-2049 (headerinfo DigiMin=-2048)"),
                                QStringLiteral("Signal 2 (EEG Fpz): found DigitalMax value=2048 (headerinfo DigiMax=2047)")}));
  EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(UMainMinMax, ProgressShowsEachRecordWhileTheOtherWindowsAreOff) {
  QWidget Other;
  Other.show();
  QWidget AlreadyOff;
  AlreadyOff.setEnabled(false);
  AlreadyOff.show();
  bool OtherWasOff = false;
  Form.BeforeEvents = [&](TFormProgress&, int) { OtherWasOff = !Other.isEnabled(); };
  Open(EdfBytes::Valid(2, 10, 8));
  EXPECT_EQ(Run(), QStringList{QStringLiteral("No errors found")});
  std::vector<int> Percents;
  for (const auto& S : Form.Seen) {
    Percents.push_back(S.Percent);
    EXPECT_FALSE(S.MainEnabled);
    EXPECT_TRUE(S.ProgressShownAndEnabled);
    EXPECT_LE((S.ProgressCentre - Form.frameGeometry().center()).manhattanLength(), 2)
        << "centred on the main window";
  }
  EXPECT_EQ(Percents, std::vector<int>({0, 12, 25, 38, 50, 62, 75, 88}));
  EXPECT_TRUE(OtherWasOff);
  EXPECT_TRUE(Other.isEnabled());
  EXPECT_FALSE(AlreadyOff.isEnabled()) << "a window that was off stays off";
  EXPECT_TRUE(Form.isEnabled());
}

TEST_F(UMainMinMax, CancelStopsTheScanWithOneMessageAndNoReport) {
  Open(EdfBytes::Valid(2, 10, 8));
  // The user clicks Cancel while record 3 is in hand.
  Form.BeforeEvents = [](TFormProgress& Progress, int Record) {
    if (Record == 3)
      QTimer::singleShot(0, Progress.RzButton1, [&Progress] {
        QTest::mouseClick(Progress.RzButton1, Qt::LeftButton);
      });
  };
  bool ProgressGone = false, MainOn = false;
  Recorder.AtMessage = [&] {
    ProgressGone = Spy.Hidden == 1;
    MainOn = Form.isEnabled();
  };
  Run();
  EXPECT_EQ(Form.Seen.size(), 4u) << "no record after the cancel";
  EXPECT_EQ(Reports, 0);
  ASSERT_EQ(Recorder.Messages.size(), 1u);
  EXPECT_EQ(Recorder.Messages[0].Text,
            QStringLiteral("The digital min/max value check\r\nhas been aborted by the user"));
  EXPECT_EQ(Recorder.Messages[0].Caption, QStringLiteral("User cancelled operation"));
  EXPECT_EQ(Recorder.Messages[0].Icon, TMsgIcon::Warning);
  EXPECT_TRUE(ProgressGone) << "hidden before the message";
  EXPECT_TRUE(MainOn) << "windows on again before the message";
  EXPECT_TRUE(Spy.Window.isNull());
}

TEST_F(UMainMinMax, ReadErrorEndsWithTheErrorMessageAloneAndTheFileStillShown) {
  const QString Path = Open(EdfBytes::Valid(2, 10, 3));
  // Another program cuts the records off after the open.
  ASSERT_TRUE(QFile::resize(Path, 256 * 3));
  bool ProgressGone = false, MainOn = false;
  Recorder.AtMessage = [&] {
    ProgressGone = Spy.Window.isNull() && Spy.Hidden == 1;
    MainOn = Form.isEnabled();
  };
  Run();
  EXPECT_EQ(Reports, 0);
  ASSERT_EQ(Recorder.Messages.size(), 1u);
  EXPECT_EQ(Recorder.Messages[0].Text,
            QStringLiteral("There was an error during the digital min/max+ values check.\r\n\r\n"
                           "Possible cause is a file read error. Please check for file-locking."));
  EXPECT_EQ(Recorder.Messages[0].Caption, QStringLiteral("Error checking Digital min/max values"));
  EXPECT_EQ(Recorder.Messages[0].Icon, TMsgIcon::Error);
  EXPECT_TRUE(ProgressGone);
  EXPECT_TRUE(MainOn);
  EXPECT_TRUE(Form.isEnabled());
  EXPECT_EQ(Form.windowTitle(), QStringLiteral("Vellicor - ") + Path);
  EXPECT_EQ(FindBox(Form, 20)->text(), QStringLiteral("2"));
  EXPECT_TRUE(ToolsEnabled(Form));
}

TEST_F(UMainMinMax, ScanLeavesTheFileAsItWas) {
  const QString Path = Open(EdfBytes::Valid(3, 50, 4));
  const std::string Name = QFile::encodeName(Path).toStdString();
  const std::string Bytes = testkit::ReadFileBytes(Name);
  const int64_t MTime = testkit::FileMTimeNs(Name);
  Run();
  Run();
  EXPECT_EQ(Reports, 2);
  EXPECT_TRUE(testkit::ReadFileBytes(Name) == Bytes);
  EXPECT_EQ(testkit::FileMTimeNs(Name), MTime);
}

TEST_F(UMainMinMax, AFileThatGrowsDuringTheScanIsSaidToHaveChanged) {
  const QString Path = Open(EdfBytes::Valid(2, 10, 3));
  // Another program appends a record while the second one is scanned.
  Form.BeforeEvents = [&](TFormProgress&, int Record) {
    if (Record == 1) std::ofstream(QFile::encodeName(Path).toStdString(), std::ios::app) << std::string(40, '\0');
  };
  const QStringList Report = Run();
  ASSERT_EQ(Report.size(), 2);
  EXPECT_EQ(Report[0], QStringLiteral("No errors found"));
  EXPECT_EQ(Report[1].toStdString(), "the file changed during the check: 888 bytes at the start, 928 at the end");
}

}  // namespace
