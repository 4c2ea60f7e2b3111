#include "app/uMain.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "DialogRecorder.h"
#include "app/uAbout.h"

namespace {

// Watches OpenFile instead of opening anything.
class TWatchedForm : public TForm1 {
public:
  using TForm1::TForm1;
  void OpenFile(const QString& FileName) override { Opened << FileName; }
  QStringList Opened;
};

template <class T>
T* Child(QWidget& Form, const QString& Name) {
  T* Found = Form.findChild<T*>(Name);
  EXPECT_NE(Found, nullptr) << Name.toStdString();
  return Found;
}

QLineEdit* Box(QWidget& Form, int Number) { return Child<QLineEdit>(Form, QStringLiteral("RzEdit%1").arg(Number)); }
QLabel* Label(QWidget& Form, const char* Name) { return Child<QLabel>(Form, QString::fromLatin1(Name)); }
QMenu* Menu(QWidget& Form, const char* Name) { return Child<QMenu>(Form, QString::fromLatin1(Name)); }
QAction* Action(QWidget& Form, const char* Name) { return Child<QAction>(Form, QString::fromLatin1(Name)); }
QPushButton* Button(QWidget& Form, const char* Name) { return Child<QPushButton>(Form, QString::fromLatin1(Name)); }
TBlinkLabel* Verdict(QWidget& Form) { return Child<TBlinkLabel>(Form, QStringLiteral("RzLabel21")); }

const QStringList NoArguments;

void ShowAndIdle(QWidget& Form) {
  Form.show();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
}

// A file that exists, in a folder that lives as long as the fixture.
class UMain : public ::testing::Test {
protected:
  QString MakeFile(const char* Name) {
    const QString Path = Folder.filePath(QString::fromLatin1(Name));
    QFile File(Path);
    EXPECT_TRUE(File.open(QIODevice::WriteOnly));
    File.write("0       ");
    return Path;
  }
  QTemporaryDir Folder;
  TDialogRecorder Recorder;
};

// The state of "no file": what start-up and every reset leave behind.
void ExpectNoFileState(TForm1& Form) {
  EXPECT_EQ(Form.windowTitle(), QStringLiteral("Vellicor"));
  EXPECT_EQ(Verdict(Form)->text(), QStringLiteral("No file selected"));
  EXPECT_FALSE(Verdict(Form)->Blinking());
  EXPECT_EQ(Verdict(Form)->ShownColour(), ColorWindowText());
  EXPECT_EQ(Child<QGroupBox>(Form, QStringLiteral("RzGroupBox1"))->title(), QStringLiteral("Signal Header"));
  for (int N = 1; N <= 20; ++N) {
    SCOPED_TRACE(N);
    EXPECT_TRUE(Box(Form, N)->text().isEmpty());
    EXPECT_EQ(BoxColour(Box(Form, N)), N <= 10 ? ColorInactiveCaptionText() : ColorWindow());
  }
  for (const char* Name : {"RzLabel22", "RzLabel23", "RzLabel24", "RzLabel25"})
    EXPECT_TRUE(Label(Form, Name)->text().isEmpty()) << Name;
  EXPECT_EQ(LabelBackground(Label(Form, "RzLabel22")), ColorBtnFace());
  EXPECT_EQ(LabelBackground(Label(Form, "RzLabel25")), ColorBtnFace());
  EXPECT_FALSE(Button(Form, "RzButton1")->isEnabled());
  EXPECT_FALSE(Button(Form, "RzButton2")->isEnabled());
  EXPECT_FALSE(Menu(Form, "Tools1")->menuAction()->isEnabled());
}

TEST_F(UMain, StartWithoutArgumentsShowsNoFile) {
  TWatchedForm Form(NoArguments);
  ShowAndIdle(Form);
  ExpectNoFileState(Form);
  EXPECT_TRUE(Form.Opened.isEmpty());
  EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(UMain, CommandLineNamesAFileOnlyAsTheSingleExistingArgument) {
  const QString Edf = MakeFile("one.edf");
  const QString Other = MakeFile("two.edf");
  const struct {
    const char* What;
    QStringList Arguments;
    bool Picked;
  } Cases[] = {{"none", {}, false},
               {"one existing file", {Edf}, true},
               {"two existing files", {Edf, Other}, false},
               {"a missing file", {Folder.filePath(QStringLiteral("gone.edf"))}, false},
               {"a folder", {Folder.path()}, false},
               {"an empty argument", {QString()}, false}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    const std::optional<QString> Picked = CommandLineFile(C.Arguments);
    EXPECT_EQ(Picked.has_value(), C.Picked);
    if (C.Picked && Picked) {
      EXPECT_EQ(*Picked, C.Arguments.first());
    }
  }
}

TEST_F(UMain, FirstIdleMomentOpensTheCommandLineFileOnce) {
  const QString Edf = MakeFile("one.edf");
  TWatchedForm Form({Edf});
  QCoreApplication::processEvents();
  EXPECT_TRUE(Form.Opened.isEmpty()) << "not before the window is shown";
  ShowAndIdle(Form);
  EXPECT_EQ(Form.Opened, QStringList{Edf});
  Form.hide();
  ShowAndIdle(Form);
  Form.ApplicationEvents1Idle();
  EXPECT_EQ(Form.Opened, QStringList{Edf}) << "the idle hook is detached after the first run";
}

TEST_F(UMain, CommandLineWithoutASingleExistingFileIsIgnoredSilently) {
  const QString Edf = MakeFile("one.edf");
  const QStringList Cases[] = {{Edf, Edf}, {Folder.filePath(QStringLiteral("gone.edf"))}};
  for (const QStringList& Arguments : Cases) {
    TWatchedForm Form(Arguments);
    ShowAndIdle(Form);
    EXPECT_TRUE(Form.Opened.isEmpty());
    ExpectNoFileState(Form);
  }
  EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(UMain, OpenFileOnAVanishedNameResetsTheWindowAndSaysSo) {
  const QString Vanished = MakeFile("vanished.edf");
  ASSERT_TRUE(QFile::remove(Vanished));
  TForm1 Form(NoArguments);
  ShowAndIdle(Form);
  // Leave the window as a previous file would have.
  Form.setWindowTitle(QStringLiteral("Vellicor - old.edf"));
  Verdict(Form)->setText(QStringLiteral("File is not a valid EDF file"));
  Verdict(Form)->SetTextColour(Qt::blue);
  Verdict(Form)->SetBlinking(true);
  Child<QGroupBox>(Form, QStringLiteral("RzGroupBox1"))->setTitle(QStringLiteral("Signal Header for signal 2"));
  for (int N = 1; N <= 20; ++N) {
    Box(Form, N)->setText(QStringLiteral("x"));
    SetBoxColour(Box(Form, N), QColor(ErrorColour));
  }
  for (const char* Name : {"RzLabel22", "RzLabel23", "RzLabel24", "RzLabel25"})
    Label(Form, Name)->setText(QStringLiteral("remark"));
  SetLabelBackground(Label(Form, "RzLabel22"), QColor(ErrorColour));
  SetLabelBackground(Label(Form, "RzLabel25"), QColor(WarningColour));
  Button(Form, "RzButton1")->setEnabled(true);
  Button(Form, "RzButton2")->setEnabled(true);
  Menu(Form, "Tools1")->setEnabled(true);
  Menu(Form, "Tools1")->menuAction()->setEnabled(true);

  Form.OpenFile(Vanished);

  ASSERT_EQ(Recorder.Messages.size(), 1u);
  EXPECT_EQ(Recorder.Messages[0].Text, QStringLiteral("No existing file selected"));
  EXPECT_EQ(Recorder.Messages[0].Caption, QStringLiteral("Open error"));
  EXPECT_EQ(Recorder.Messages[0].Icon, TMsgIcon::Error);
  ExpectNoFileState(Form);
}

TEST_F(UMain, OpenMenuPassesTheChosenFileAndCancelChangesNothing) {
  const QString Edf = MakeFile("chosen.edf");
  TWatchedForm Form(NoArguments);
  ShowAndIdle(Form);
  Recorder.OpenAnswers = {std::nullopt, Edf};
  Action(Form, "Open1")->trigger();
  EXPECT_TRUE(Form.Opened.isEmpty());
  Action(Form, "Open1")->trigger();
  EXPECT_EQ(Form.Opened, QStringList{Edf});
  EXPECT_EQ(Recorder.OpenCalls, 2);
}

TEST_F(UMain, ExitClosesTheWindow) {
  TForm1 Form(NoArguments);
  ShowAndIdle(Form);
  Action(Form, "Exit1")->trigger();
  EXPECT_FALSE(Form.isVisible());
}

TEST_F(UMain, AboutShowsTheProgramModallyWithoutOwnerAndFreesTheWindow) {
  TForm1 Form(NoArguments);
  ShowAndIdle(Form);
  QPointer<TWexaAboutForm> Shown;
  Recorder.OnExecModal = [&](QDialog& Dialog) {
    Shown = qobject_cast<TWexaAboutForm*>(&Dialog);
    if (!Shown) return int(QDialog::Rejected);
    EXPECT_EQ(Shown->parentWidget(), nullptr);
    EXPECT_EQ(Shown->ProgramName(), QStringLiteral("Vellicor"));
    EXPECT_EQ(Shown->findChild<QLabel*>(QStringLiteral("RzLabel3"))->text().split(QLatin1Char('\n')),
              QStringList({QStringLiteral("Program to check EDF files."), QString(),
                           QStringLiteral("--- Red fields indicate an error ---")}));
    EXPECT_EQ(Shown->EmailTarget(), QStringLiteral("mailto: support@vellicor.example"));
    EXPECT_EQ(Shown->WebTarget(), QStringLiteral("http://www.vellicor.example/checker"));
    return int(QDialog::Accepted);
  };
  Action(Form, "About1")->trigger();
  EXPECT_TRUE(Recorder.Messages.empty());
  EXPECT_TRUE(Shown.isNull()) << "the About window is freed after it closes";
}

TEST_F(UMain, MenusCarryTheirCaptionsInOrder) {
  TForm1 Form(NoArguments);
  const QList<QAction*> Bar = Form.menuBar()->actions();
  ASSERT_EQ(Bar.size(), 3);
  EXPECT_EQ(Bar[0], Menu(Form, "File1")->menuAction());
  EXPECT_EQ(Bar[1], Menu(Form, "Tools1")->menuAction());
  EXPECT_EQ(Bar[2], Menu(Form, "Help1")->menuAction());
  EXPECT_EQ(Menu(Form, "File1")->title(), QStringLiteral("&File"));
  EXPECT_EQ(Menu(Form, "Tools1")->title(), QStringLiteral("&Tools"));
  EXPECT_EQ(Menu(Form, "Help1")->title(), QStringLiteral("&Help"));
  EXPECT_EQ(Menu(Form, "File1")->actions(),
            QList<QAction*>({Action(Form, "Open1"), Action(Form, "Saverepairedcopy1"),
                             Action(Form, "Savedeidentifiedcopy1"), Action(Form, "N1"), Action(Form, "Exit1")}));
  EXPECT_EQ(Action(Form, "Saverepairedcopy1")->text(), QStringLiteral("Save &repaired copy..."));
  EXPECT_EQ(Action(Form, "Savedeidentifiedcopy1")->text(), QStringLiteral("Save &de-identified copy..."));
  EXPECT_TRUE(Action(Form, "N1")->isSeparator());
  EXPECT_EQ(Action(Form, "Open1")->text(), QStringLiteral("&Open..."));
  EXPECT_EQ(Action(Form, "Exit1")->text(), QStringLiteral("E&xit"));
  EXPECT_EQ(Menu(Form, "Tools1")->actions(),
            QList<QAction*>({Action(Form, "Checkdigitalminmaxvalues1"), Action(Form, "CheckEDFconformance1"),
                             Action(Form, "Checksignalquality1"),
                             Action(Form, "Checkforidentifyingdata1")}));
  EXPECT_EQ(Action(Form, "Checkforidentifyingdata1")->text(), QStringLiteral("Check for identifying data"));
  EXPECT_EQ(Action(Form, "CheckEDFconformance1")->text(), QStringLiteral("Check EDF+ conformance"));
  EXPECT_EQ(Action(Form, "Checksignalquality1")->text(), QStringLiteral("Check signal quality"));
  EXPECT_EQ(Action(Form, "Checkdigitalminmaxvalues1")->text(), QStringLiteral("Check digital min/max values"));
  EXPECT_EQ(Menu(Form, "Help1")->actions(), QList<QAction*>{Action(Form, "About1")});
  EXPECT_EQ(Action(Form, "About1")->text(), QStringLiteral("&About"));
}

TEST_F(UMain, PanesHoldTheFieldsInHeaderOrderAtTheirPlaces) {
  TForm1 Form(NoArguments);
  ShowAndIdle(Form);
  // Outer sizes, frame included.
  EXPECT_EQ(Form.frameGeometry().size(), QSize(800, 489));
  EXPECT_EQ(Form.minimumHeight() + Form.frameGeometry().height() - Form.height(), 489);
  const char* FileFields[] = {"Version",   "Patient",       "Recording",         "StartDate", "StartTime",
                              "HeaderBytes", "Reserved",    "NrDataRecords", "SampleRecDuration", "NrSignals"};
  const char* SignalFields[] = {"SignalLabel", "TransducerType", "PhysiDim",  "PhysiMin",  "PhysiMax",
                                "DigiMin",     "DigiMax",        "PreFilter", "NrSamples", "Reserved"};
  const struct {
    const char* Pane;
    int FirstNumber;
    const char** Captions;
    int BoxLeft;
    std::vector<int> Wide;  // rows whose box stretches with the pane
    int RightMargin;
  } Panes[] = {{"RzGroupBox2", 11, FileFields, 152, {1, 2, 6}, 13},
               {"RzGroupBox1", 1, SignalFields, 124, {1, 2, 7, 9}, 11}};
  EXPECT_EQ(Child<QGroupBox>(Form, QStringLiteral("RzGroupBox2"))->title(), QStringLiteral("FileHeader"));
  EXPECT_EQ(Child<QGroupBox>(Form, QStringLiteral("RzGroupBox2"))->width(), 456);
  for (const auto& P : Panes) {
    auto* Pane = Child<QGroupBox>(Form, QString::fromLatin1(P.Pane));
    for (int K = 0; K < 10; ++K) {
      SCOPED_TRACE(P.Captions[K]);
      QLineEdit* Edit = Box(Form, P.FirstNumber + K);
      EXPECT_EQ(Edit->parentWidget(), Pane);
      EXPECT_TRUE(Edit->isReadOnly());
      EXPECT_EQ(Edit->pos(), QPoint(P.BoxLeft, 20 + 32 * K));
      const bool Wide = std::find(P.Wide.begin(), P.Wide.end(), K) != P.Wide.end();
      if (Wide)
        EXPECT_EQ(Pane->width() - Edit->geometry().right() - 1, P.RightMargin);
      else
        EXPECT_EQ(Edit->width(), 121);
      const QLabel* Caption = Child<QLabel>(Form, QStringLiteral("LabelFor") + Edit->objectName());
      EXPECT_EQ(Caption->text(), QString::fromLatin1(P.Captions[K]));
      EXPECT_EQ(Caption->buddy(), Edit);
      EXPECT_EQ(Caption->x(), 9);
    }
  }
  EXPECT_EQ(Button(Form, "RzButton1")->text(), QStringLiteral("Previous"));
  EXPECT_EQ(Button(Form, "RzButton2")->text(), QStringLiteral("Next"));
  EXPECT_EQ(Form.findChild<QWidget*>(QStringLiteral("RzStatusBar1"))->height(), 21);
}

TEST_F(UMain, RemarkLabelTakesTheSizeOfItsText) {
  TForm1 Form(NoArguments);
  ShowAndIdle(Form);
  QLabel* Size = Label(Form, "RzLabel22");
  EXPECT_EQ(Size->width(), 0) << "an empty remark shows no background";
  Size->setText(QStringLiteral("Datablock size = 61442 bytes, exceeds 61440"));
  QCoreApplication::processEvents();
  EXPECT_GE(Size->width(), Size->sizeHint().width());
  EXPECT_LT(Size->width(), 429) << "the background covers the text, not the pane";

  Form.hide();
  QLabel* Duration = Label(Form, "RzLabel23");
  Duration->setText(QStringLiteral("should be > 1s"));
  ShowAndIdle(Form);
  EXPECT_GE(Duration->width(), Duration->sizeHint().width()) << "a text set while hidden shows";
}

TEST_F(UMain, VerdictBlinksRedAndStopsInItsOwnColour) {
  TForm1 Form(NoArguments);
  ShowAndIdle(Form);
  TBlinkLabel* Label = Verdict(Form);
  Label->SetBlinking(true);
  EXPECT_TRUE(Label->Blinking());
  const int Wait = 3 * TBlinkLabel::BlinkIntervalMs;
  EXPECT_TRUE(QTest::qWaitFor([&] { return Label->ShownColour() == QColor(Qt::red); }, Wait));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Label->ShownColour() == ColorWindowText(); }, Wait));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Label->ShownColour() == QColor(Qt::red); }, Wait));
  Label->SetBlinking(false);  // stopped in the red phase
  EXPECT_FALSE(Label->Blinking());
  EXPECT_EQ(Label->ShownColour(), ColorWindowText());
}

}  // namespace
