// Tools / Check for identifying data and File / Save de-identified copy...
// in the window: the findings listed by place and length, a double-click
// selecting the bytes found; the options dialog answered through the seam,
// the copy written as asked and opened; refusals in one message each; and
// no identifying text in anything the window shows of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTest>
#include <QTextBlock>

#include "DialogRecorder.h"
#include "WindowProbe.h"
#include "app/uFormDeidentify.h"
#include "app/uFormResults.h"
#include "app/uMain.h"
#include "edf/uEDFLayout.h"
#include "testkit/PlusBytes.h"

namespace {

using testkit::PlusBytes;

// Everything that names or dates the person in the night below.
const std::vector<QString> kIdentifying = {"MCH-0234567", "02-MAY-1951", "Haagse",  "Harry",       "EMR99",
                                           "J.Kay",       "Alice4",      "Zebedee", "02-MAR-2002", "02.03.02"};

// Harry Haagse's night; record 2 names him and a nurse the header does not know.
PlusBytes Night() {
  PlusBytes P = PlusBytes::Valid(3);
  P.Header.General[gfPatient] = "MCH-0234567 M 02-MAY-1951 Haagse_Harry";
  P.Header.General[gfRecording] = "Startdate 02-MAR-2002 EMR99 J.Kay Alice4";
  P.Header.General[gfStartDate] = "02.03.02";
  P.Annotations = [](int R, int) {
    const std::string Tk = testkit::TimeKeeping("+" + std::to_string(R));
    return R == 1 ? Tk + testkit::Tal("+1.5", {"Harry woke, Zebedee came"}) : Tk;
  };
  return P;
}

void ExpectNothingIdentifying(const QString& Shown) {
  for (const QString& W : kIdentifying)
    EXPECT_FALSE(Shown.contains(W)) << W.toStdString() << " in " << Shown.toStdString();
}

class UMainPrivacy : public ::testing::Test {
protected:
  void SetUp() override {
    ShowAndSettle(Form);
    Night().Write(Original());
    Form.OpenFile(QString::fromStdString(Original()));
  }
  std::string Original() const { return Folder.File("night.edf"); }
  QAction* Item(const char* Name) {
    auto* File = Form.findChild<QMenu*>(QStringLiteral("File1"));
    emit File->aboutToShow();
    return Form.findChild<QAction*>(QString::fromLatin1(Name));
  }
  std::vector<std::string> FolderFiles() const {
    std::vector<std::string> Names;
    for (const auto& E : std::filesystem::directory_iterator(Folder.Path())) Names.push_back(E.path().filename());
    std::sort(Names.begin(), Names.end());
    return Names;
  }

  testkit::TempDir Folder;
  TDialogRecorder Recorder;
  TCountingForm Form{QStringList()};
};

TEST_F(UMainPrivacy, FindingsAreListedWithoutTextAndADoubleClickSelectsTheBytes) {
  const struct {
    const char* Line;  // the start of the finding's line
    int Box;           // RzEdit number
    const char* Selected;
  } Rows[] = {
      {"warning [privacy.patient.name] general header, byte 34", 12, "Haagse_Harry"},
      {"warning [privacy.recording.technician] general header, byte 116", 13, "J.Kay"},
      {"warning [privacy.startdate] general header, byte 168", 14, "02.03.02"},
      {"warning [privacy.annotation] annotation, data record 2, signal 3 (EDF Annotations)", 1, "EDF Annotations"},
  };
  QString Text;
  Recorder.OnExecModal = [&](QDialog& Dialog) {
    auto* Results = qobject_cast<TFormResults*>(&Dialog);
    EXPECT_NE(Results, nullptr);
    if (!Results) return 0;
    EXPECT_EQ(Results->windowTitle(), QStringLiteral("Results of the check for identifying data"));
    Results->show();
    QCoreApplication::processEvents();
    Text = Results->Memo1->toPlainText();
    for (const auto& R : Rows) {
      SCOPED_TRACE(R.Line);
      QTextBlock Block = Results->Memo1->document()->begin();
      while (Block.isValid() && !Block.text().startsWith(QString::fromLatin1(R.Line))) Block = Block.next();
      EXPECT_TRUE(Block.isValid());
      if (!Block.isValid()) continue;
      const QPoint At = Results->Memo1->cursorRect(QTextCursor(Block)).center() + QPoint(20, 0);
      QTest::mouseDClick(Results->Memo1->viewport(), Qt::LeftButton, {}, At);
      EXPECT_EQ(FindBox(Form, R.Box)->selectedText().toStdString(), R.Selected);
    }
    return 0;
  };
  Form.findChild<QAction*>(QStringLiteral("Checkforidentifyingdata1"))->trigger();
  EXPECT_EQ(FindGroupBox(Form, "RzGroupBox1")->title(), QStringLiteral("Signal Header for signal 3"));
  EXPECT_TRUE(Text.startsWith(QStringLiteral("Identifying data, by place, byte and length"))) << Text.toStdString();
  ExpectNothingIdentifying(Text);
  EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(UMainPrivacy, TheCopyIsWrittenAsTheDialogSaysShownWithoutTextAndOpened) {
  const std::string Words = Folder.File("words.txt");
  testkit::WriteFileBytes(Words, "zebedee\n");
  QString Changes;
  int Modal = 0;
  Recorder.OnExecModal = [&](QDialog& Dialog) {
    if (Modal++ == 0) {
      auto* Options = qobject_cast<TFormDeidentify*>(&Dialog);
      EXPECT_NE(Options, nullptr);
      if (!Options) return 0;
      Options->CheckKeepAge->setChecked(true);
      Options->CheckShiftDays->setChecked(true);
      Options->SpinShiftDays->setValue(3650);
      Options->EditPhiWords->setText(QString::fromStdString(Words));
      return static_cast<int>(QDialog::Accepted);
    }
    EXPECT_EQ(Dialog.windowTitle(), QStringLiteral("De-identified copy"));
    if (auto* Results = qobject_cast<TFormResults*>(&Dialog)) Changes = Results->Memo1->toPlainText();
    return 0;
  };
  const std::string Copy = Folder.File("subject-17.edf");
  Recorder.SaveAnswers = {QString::fromStdString(Copy)};
  const std::string Before = testkit::ReadFileBytes(Original());

  QAction* Save = Item("Savedeidentifiedcopy1");
  ASSERT_TRUE(Save->isEnabled());
  Save->trigger();

  EXPECT_EQ(Recorder.SaveSuggestions, QStringList{QString::fromStdString(Folder.File("night-deidentified.edf"))});
  EXPECT_EQ(testkit::ReadFileBytes(Original()), Before);
  const std::string After = testkit::ReadFileBytes(Copy);
  ASSERT_EQ(After.size(), Before.size());
  // The age kept in whole years (50 on the day), the day moved 3650 days back.
  EXPECT_EQ(After.substr(8, 19), "X X 01-JAN-1942 X  ");
  EXPECT_EQ(After.substr(168, 8), "04.03.92");
  for (const QString& W : kIdentifying) EXPECT_EQ(After.find(W.toStdString()), std::string::npos) << W.toStdString();
  EXPECT_TRUE(Changes.contains(QStringLiteral("change annotation, data record 2, signal 3 (EDF Annotations)")))
      << Changes.toStdString();
  ExpectNothingIdentifying(Changes);
  EXPECT_EQ(Form.Opened, (QStringList{QString::fromStdString(Original()), QString::fromStdString(Copy)}));
  EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(UMainPrivacy, RefusalsAndErrorsAreOneMessageEachAndWriteNothing) {
  testkit::WriteFileBytes(Folder.File("latin1.txt"),
                          "Z\xE9"
                          "bed\xE9"
                          "e\n");
  const struct {
    const char* What;
    std::function<void(TFormDeidentify&)> Set;
    std::optional<QString> Name;  // the save dialog's answer; none when it must not be asked
    QString Message;              // its start
  } Rows[] = {
      {"a word list that is not UTF-8",
       [this](TFormDeidentify& F) { F.EditPhiWords->setText(QString::fromStdString(Folder.File("latin1.txt"))); },
       std::nullopt, "The word list could not be used: line 1 is not UTF-8"},
      {"a shift that leaves 1985..2084",
       [](TFormDeidentify& F) {
         F.CheckShiftDays->setChecked(true);
         F.SpinShiftDays->setValue(F.SpinShiftDays->maximum());
       },
       std::nullopt, "No de-identified copy can be made:\n"},
      {"a name that holds the patient's", [](TFormDeidentify&) {}, QString::fromStdString(Folder.File("Haagse.edf")),
       "The copy's name would identify the person: "},
      {"the open file itself", [](TFormDeidentify&) {}, QString::fromStdString(Original()),
       "The de-identified copy must be a new file: the open file is never written."},
  };
  for (const auto& R : Rows) {
    SCOPED_TRACE(R.What);
    Recorder.Messages.clear();
    Recorder.SaveSuggestions.clear();
    Recorder.SaveAnswers.clear();
    if (R.Name) Recorder.SaveAnswers = {*R.Name};
    Recorder.OnExecModal = [&](QDialog& Dialog) {
      auto* Options = qobject_cast<TFormDeidentify*>(&Dialog);
      EXPECT_NE(Options, nullptr) << "only the options are asked";
      if (Options) R.Set(*Options);
      return static_cast<int>(QDialog::Accepted);
    };
    Item("Savedeidentifiedcopy1")->trigger();
    ASSERT_EQ(Recorder.Messages.size(), 1u);
    EXPECT_TRUE(Recorder.Messages[0].Text.startsWith(R.Message)) << Recorder.Messages[0].Text.toStdString();
    ExpectNothingIdentifying(Recorder.Messages[0].Text);
    EXPECT_EQ(Recorder.SaveSuggestions.size(), R.Name ? 1 : 0);
    EXPECT_EQ(FolderFiles(), (std::vector<std::string>{"latin1.txt", "night.edf"}));
  }
  EXPECT_EQ(Form.Opened, QStringList{QString::fromStdString(Original())});
}

}  // namespace
