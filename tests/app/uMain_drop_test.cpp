// Dropping files on the main window.
#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "DialogRecorder.h"
#include "WindowProbe.h"
#include "app/uMain.h"

namespace {

using testkit::EdfBytes;


// Drags Urls onto the window and drops them; true when the window took them.
bool Drop(QWidget& Form, const QList<QUrl>& Urls) {
  QMimeData Data;
  Data.setUrls(Urls);
  const QPointF Centre = QRectF(Form.rect()).center();
  QDragEnterEvent Enter(Centre.toPoint(), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&Form, &Enter);
  if (!Enter.isAccepted()) return false;
  QDropEvent Dropped(Centre, Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&Form, &Dropped);
  return Dropped.isAccepted();
}

TEST(UMainDrop, ASingleDroppedFileIsOpenedAsByFileOpen) {
  testkit::TempDir Folder;
  TDialogRecorder Recorder;
  // EDF and BDF alike, each judged by its first byte whatever its name.
  const struct {
    const char* Name;
    EdfBytes Bytes;
    const char* Verdict;
  } Cases[] = {{"dropped.edf", EdfBytes::Valid(2, 10, 1), "File has a valid EDF fileheader.\nUse Tools menu for further checking."},
               {"dropped.BDF", EdfBytes::ValidBdf(2, 10, 1), "File has a valid BDF fileheader.\nUse Tools menu for further checking."},
               {"bdf-inside.edf", EdfBytes::ValidBdf(1, 10, 1), "File has a valid BDF fileheader.\nUse Tools menu for further checking."}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    const QString Path = WriteEdf(Folder, C.Name, C.Bytes);
    TCountingForm Form{QStringList()};
    ShowAndSettle(Form);
    EXPECT_TRUE(Form.acceptDrops());
    EXPECT_TRUE(Drop(Form, {QUrl::fromLocalFile(Path)}));
    EXPECT_EQ(Form.Opened, QStringList{Path});
    EXPECT_EQ(Form.windowTitle(), QStringLiteral("Vellicor - ") + Path);
    EXPECT_EQ(FindVerdict(Form)->text(), QString::fromLatin1(C.Verdict));
    EXPECT_TRUE(ToolsEnabled(Form));
  }
  EXPECT_TRUE(Recorder.Messages.empty());
}

TEST(UMainDrop, AnythingButOneLocalFileIsRefused) {
  testkit::TempDir Folder;
  TDialogRecorder Recorder;
  const QString A = WriteEdf(Folder, "a.edf", EdfBytes::Valid(1, 10, 1));
  const QString B = WriteEdf(Folder, "b.edf", EdfBytes::Valid(1, 10, 1));
  const struct {
    const char* What;
    QList<QUrl> Urls;
  } Cases[] = {{"two files", {QUrl::fromLocalFile(A), QUrl::fromLocalFile(B)}},
               {"a folder", {QUrl::fromLocalFile(QString::fromStdString(Folder.Path()))}},
               {"a web address", {QUrl(QStringLiteral("https://example.org/a.edf"))}},
               {"nothing", {}}};
  TCountingForm Form{QStringList()};
  ShowAndSettle(Form);
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    EXPECT_FALSE(Drop(Form, C.Urls));
  }
  EXPECT_TRUE(Form.Opened.isEmpty());
  EXPECT_TRUE(Recorder.Messages.empty());
}

}  // namespace
