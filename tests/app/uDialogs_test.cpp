#include "app/uDialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>

#include "DialogRecorder.h"
#include "ModalWatcher.h"

namespace {

// The real implementation, whatever a test has put in its place.
IDialogs& RealDialogs() {
  IDialogs* InForce = SetDialogsForTesting(nullptr);
  IDialogs& Real = Dialogs();
  SetDialogsForTesting(InForce);
  return Real;
}

TEST(UDialogs, RecordersNestAndGiveTheSeamBack) {
  IDialogs* Before = &Dialogs();
  {
    TDialogRecorder Outer;
    {
      TDialogRecorder Inner;
      EXPECT_EQ(&Dialogs(), &Inner);
    }
    EXPECT_EQ(&Dialogs(), &Outer);
  }
  EXPECT_EQ(&Dialogs(), Before);
}

TEST(UDialogs, MessageBoxHasOneOkButtonNoOwnerAndTheIcon) {
  const struct {
    TMsgIcon Icon;
    QMessageBox::Icon Expected;
  } Cases[] = {{TMsgIcon::Error, QMessageBox::Critical},
               {TMsgIcon::Warning, QMessageBox::Warning},
               {TMsgIcon::Information, QMessageBox::Information}};
  for (const auto& C : Cases) {
    bool Seen = false;
    TModalWatcher Watcher([&](QWidget& Modal) {
      auto* Box = qobject_cast<QMessageBox*>(&Modal);
      ASSERT_NE(Box, nullptr);
      Seen = true;
      EXPECT_EQ(Box->icon(), C.Expected);
      EXPECT_EQ(Box->text(), QStringLiteral("No existing file selected"));
      EXPECT_EQ(Box->windowTitle(), QStringLiteral("Open error"));
      EXPECT_EQ(Box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
      EXPECT_EQ(Box->parentWidget(), nullptr);
      Box->button(QMessageBox::Ok)->click();
    });
    RealDialogs().ShowMessage(QStringLiteral("No existing file selected"), QStringLiteral("Open error"),
                              C.Icon);
    EXPECT_TRUE(Seen);
  }
}

TEST(UDialogs, FileDialogAsksForAnExistingFileShowingHiddenOnes) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const QString Name = Folder.filePath(QStringLiteral(".hidden.edf"));
  QFile File(Name);
  ASSERT_TRUE(File.open(QIODevice::WriteOnly));
  File.close();

  for (const bool Confirm : {true, false}) {
    TModalWatcher Watcher([&](QWidget& Modal) {
      auto* Dialog = qobject_cast<QFileDialog*>(&Modal);
      ASSERT_NE(Dialog, nullptr);
      EXPECT_EQ(Dialog->fileMode(), QFileDialog::ExistingFile);
      EXPECT_EQ(Dialog->acceptMode(), QFileDialog::AcceptOpen);
      EXPECT_TRUE(Dialog->filter().testFlag(QDir::Hidden));
      // All files first and chosen; EDF and BDF names in any letter case.
      EXPECT_EQ(Dialog->nameFilters(), (QStringList{QStringLiteral("All files (*)"),
                                                    QStringLiteral("EDF and BDF files (*.edf *.bdf)")}));
      EXPECT_EQ(Dialog->selectedNameFilter(), QStringLiteral("All files (*)"));
      EXPECT_FALSE(Dialog->filter().testFlag(QDir::CaseSensitive));
      if (Confirm) {
        Dialog->selectFile(Name);
        static_cast<QDialog*>(Dialog)->accept();  // as the Open button does
      } else {
        Dialog->reject();
      }
    });
    const std::optional<QString> Chosen = RealDialogs().GetOpenFileName(nullptr);
    EXPECT_TRUE(Watcher.Acted());
    if (Confirm) {
      ASSERT_TRUE(Chosen.has_value());
      EXPECT_EQ(QFileInfo(*Chosen).canonicalFilePath(), QFileInfo(Name).canonicalFilePath());
    } else {
      EXPECT_FALSE(Chosen.has_value());
    }
  }
}

}  // namespace
