#include "app/uFormResults.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QWindow>

#include "ModalWatcher.h"

namespace {

QStringList ShownLines(const QPlainTextEdit& Memo) {
  QStringList Lines;
  for (QTextBlock Block = Memo.document()->begin(); Block.isValid(); Block = Block.next())
    Lines << Block.text();
  return Lines;
}

TEST(UFormResults, StartsAtItsDesignSizeWithAScrollingEditableMemo) {
  TFormResults Form;
  EXPECT_EQ(Form.windowTitle(), QStringLiteral("Results"));
  EXPECT_EQ(Form.size(), QSize(500, 300));
  EXPECT_EQ(Form.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_FALSE(Form.Memo1->isReadOnly());
  EXPECT_EQ(Form.BtnClose->text(), QStringLiteral("Close"));
}

TEST(UFormResults, ResizeCentresTheButtonTruncatingTowardZero) {
  const struct {
    int Width;
    int ButtonLeft;
  } Cases[] = {{500, 212}, {501, 213}, {75, 0}, {74, 0}, {61, -7}, {60, -7}, {59, -8}};
  TFormResults Form;
  Form.show();
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Width);
    Form.resize(C.Width, 300);
    QCoreApplication::processEvents();
    ASSERT_EQ(Form.width(), C.Width);
    EXPECT_EQ(Form.BtnClose->x(), C.ButtonLeft);
  }
}

TEST(UFormResults, MemoFollowsAllEdgesAndTheButtonTheBottom) {
  TFormResults Form;
  Form.show();
  Form.resize(640, 420);
  QCoreApplication::processEvents();
  EXPECT_EQ(Form.Memo1->geometry(), QRect(4, 4, 640 - 7, 420 - 39));
  EXPECT_EQ(Form.BtnClose->y(), 420 - 28);
  EXPECT_EQ(Form.BtnClose->size(), QSize(75, 25));
}

TEST(UFormResults, ReportLinesShowOneEachAndAClosingCrLfAddsAnEmptyLine) {
  const struct {
    std::vector<std::string> Lines;
    QStringList Shown;
  } Cases[] = {
      {{"No errors found"}, {QStringLiteral("No errors found")}},
      {{"Found 2 errors:\r\n", "Signal 1 (EEG Fpz-Cz): found DigitalMin value=-40 (headerinfo DigiMin=-32)",
        "Signal 1 (EEG Fpz-Cz): found DigitalMax value=40 (headerinfo DigiMax=32)"},
       {QStringLiteral("Found 2 errors:"), QString(),
        QStringLiteral("Signal 1 (EEG Fpz-Cz): found DigitalMin value=-40 (headerinfo DigiMin=-32)"),
        QStringLiteral("Signal 1 (EEG Fpz-Cz): found DigitalMax value=40 (headerinfo DigiMax=32)")}},
  };
  for (const auto& C : Cases) {
    TFormResults Form;
    Form.Memo1->setPlainText(QStringLiteral("left over"));
    Form.SetReportLines(C.Lines);
    EXPECT_EQ(ShownLines(*Form.Memo1), C.Shown);
  }
}

TEST(UFormResults, ShowsCentredOnTheMainWindow) {
  QMainWindow Main;
  Main.setGeometry(300, 200, 800, 489);
  Main.show();
  TFormResults Form;
  Form.show();
  EXPECT_LE((Form.frameGeometry().center() - Main.frameGeometry().center()).manhattanLength(), 2);
}

TEST(UFormResults, CloseButtonAndTitleBarCloseBothEndTheModalShow) {
  for (const bool TitleBar : {false, true}) {
    SCOPED_TRACE(TitleBar ? "title bar" : "Close button");
    TFormResults Form;
    TModalWatcher Watcher([&](QWidget& Modal) {
      if (TitleBar)
        Modal.windowHandle()->close();
      else
        Modal.findChild<QPushButton*>(QStringLiteral("BtnClose"))->click();
    });
    Form.exec();
    EXPECT_TRUE(Watcher.Acted());
    EXPECT_FALSE(Form.isVisible());
  }
}

}  // namespace
