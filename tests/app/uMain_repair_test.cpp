// File / Save repaired copy... driven from the main window: when the item is
// on, the plan shown, the new name asked through the seam, the copy written
// and opened, and the open file left as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>

#include "DialogRecorder.h"
#include "WindowProbe.h"
#include "app/uMain.h"

namespace {

using testkit::EdfBytes;
using testkit::With;

const QString ValidVerdict =
    QStringLiteral("File has a valid EDF fileheader.\nUse Tools menu for further checking.");

EdfBytes Sound() { return EdfBytes::Valid(2, 200, 3); }

class UMainRepair : public ::testing::Test {
protected:
  void SetUp() override { ShowAndSettle(Form); }

  // The item's state as the user finds it on opening the File menu.
  bool RepairEnabled() {
    auto* File = Form.findChild<QMenu*>(QStringLiteral("File1"));
    EXPECT_NE(File, nullptr);
    emit File->aboutToShow();
    return Item()->isEnabled();
  }
  QAction* Item() {
    auto* Action = Form.findChild<QAction*>(QStringLiteral("Saverepairedcopy1"));
    EXPECT_NE(Action, nullptr);
    return Action;
  }
  // Shows the plan window's text and answers it with Answer.
  void AnswerPlan(int Answer) {
    Recorder.OnExecModal = [this, Answer](QDialog& Dialog) {
      EXPECT_EQ(Dialog.objectName(), QStringLiteral("FormRepairPlan"));
      if (auto* Memo = Dialog.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))) PlanText = Memo->toPlainText();
      if (auto* Label = Dialog.findChild<QLabel*>(QStringLiteral("LabelSummary"))) Summary = Label->text();
      return Answer;
    };
  }

  testkit::TempDir Folder;
  TDialogRecorder Recorder;
  TCountingForm Form{QStringList()};
  QString PlanText;
  QString Summary;
};

TEST_F(UMainRepair, ItemIsOnWhileTheOpenFileHasSomethingToRepair) {
  EXPECT_FALSE(RepairEnabled()) << "no file open";
  const struct {
    const char* What;
    EdfBytes Edf;
    bool Enabled;
  } Cases[] = {
      {"a sound file", Sound(), false},
      {"a fault that needs a guess only", With(Sound(), [](EdfBytes& E) { E.Signals[0][5] = "3000"; }), false},
      {"a record count from the file size", With(Sound(), [](EdfBytes& E) { E.General[7] = "-1"; }), true},
      {"a mendable date beside a guess",
       With(Sound(), [](EdfBytes& E) { E.General[3] = "01-02-03"; E.Signals[0][5] = "3000"; }), true},
      {"trailing control bytes to tidy",
       With(Sound(), [](EdfBytes& E) { E.General[0] = std::string("0\0\0", 3); }), true},
  };
  for (const auto& C : Cases) {
    Form.OpenFile(WriteEdf(Folder, "file.edf", C.Edf));
    EXPECT_EQ(RepairEnabled(), C.Enabled) << C.What;
  }
}

TEST_F(UMainRepair, PlanShownThenTheCopyWrittenAndOpened) {
  const EdfBytes Faulty = With(Sound(), [](EdfBytes& E) { E.General[7] = "-1"; });
  const QString Original = WriteEdf(Folder, "night.edf", Faulty);
  Form.OpenFile(Original);
  ASSERT_TRUE(RepairEnabled());
  AnswerPlan(QDialog::Accepted);
  Recorder.SaveAnswers = {QString::fromStdString(Folder.File("copy.edf"))};

  Item()->trigger();

  EXPECT_TRUE(PlanText.contains(QStringLiteral("  change [layout.nrdatarecords.unknown] general header, byte 236: "
                                               "NrDataRecords -1 -> 3: the data block holds exactly 3")))
      << PlanText.toStdString();
  EXPECT_TRUE(Summary.startsWith(QStringLiteral("The copy gets 1 change"))) << Summary.toStdString();
  EXPECT_EQ(Recorder.SaveSuggestions, QStringList{QString::fromStdString(Folder.File("night-repaired.edf"))});
  EXPECT_EQ(testkit::ReadFileBytes(Folder.File("copy.edf")), Sound().Bytes());
  EXPECT_EQ(testkit::ReadFileBytes(Folder.File("night.edf")), Faulty.Bytes());
  EXPECT_EQ(Form.Opened, (QStringList{Original, QString::fromStdString(Folder.File("copy.edf"))}));
  EXPECT_EQ(FindVerdict(Form)->text(), ValidVerdict);
  EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(UMainRepair, NothingIsWrittenWhenTheUserStopsOrNamesTheOpenFile) {
  const EdfBytes Faulty = With(Sound(), [](EdfBytes& E) { E.General[3] = "01-02-03"; });
  const QString Original = WriteEdf(Folder, "night.edf", Faulty);
  Form.OpenFile(Original);
  ASSERT_TRUE(RepairEnabled());

  AnswerPlan(QDialog::Rejected);
  Item()->trigger();
  EXPECT_FALSE(PlanText.isEmpty());
  EXPECT_TRUE(Recorder.SaveSuggestions.isEmpty()) << "no name is asked for once the plan is declined";

  AnswerPlan(QDialog::Accepted);
  Recorder.SaveAnswers = {std::nullopt, Original};
  Item()->trigger();
  Item()->trigger();
  ASSERT_EQ(Recorder.Messages.size(), 1u);
  EXPECT_EQ(Recorder.Messages[0].Text,
            QStringLiteral("The repaired copy must be a new file: the open file is never written."));

  EXPECT_EQ(testkit::ReadFileBytes(Folder.File("night.edf")), Faulty.Bytes());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Folder.Path()), std::filesystem::directory_iterator()), 1);
  EXPECT_EQ(Form.Opened, QStringList{Original});
}

}  // namespace
