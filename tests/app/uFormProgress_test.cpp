#include "app/uFormProgress.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace {

TEST(UFormProgress, IsAToolWindowWithoutAnyBorderIcon) {
  TFormProgress Form;
  const Qt::WindowFlags Flags = Form.windowFlags();
  EXPECT_EQ(Flags & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_TRUE(Flags.testFlag(Qt::CustomizeWindowHint));
  EXPECT_TRUE(Flags.testFlag(Qt::WindowTitleHint));
  for (const Qt::WindowType Icon : {Qt::WindowSystemMenuHint, Qt::WindowCloseButtonHint,
                                    Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint})
    EXPECT_FALSE(Flags.testFlag(Icon)) << Icon;
  EXPECT_EQ(Form.minimumSize(), QSize(295, 115));
  EXPECT_EQ(Form.maximumSize(), QSize(295, 115));
}

TEST(UFormProgress, StartsAtZeroPercentWithTheTextOnTheBar) {
  TFormProgress Form;
  EXPECT_EQ(Form.windowTitle(), QStringLiteral("FormProgress"));
  EXPECT_EQ(Form.ProgressBar->value(), 0);
  EXPECT_EQ(Form.ProgressBar->minimum(), 0);
  EXPECT_EQ(Form.ProgressBar->maximum(), 100);
  EXPECT_TRUE(Form.ProgressBar->isTextVisible());
  Form.ProgressBar->setValue(38);
  EXPECT_EQ(Form.ProgressBar->text(), QStringLiteral("38%"));
  EXPECT_EQ(Form.RzLabel1->text(), QStringLiteral("Progress"));
  EXPECT_EQ(Form.RzButton1->text(), QStringLiteral("Cancel"));
  EXPECT_EQ(Form.ProgressBar->geometry(), QRect(8, 16, 277, 24));
  EXPECT_EQ(Form.RzButton1->geometry(), QRect(108, 80, 75, 25));
  EXPECT_FALSE(Form.Cancelled());
}

TEST(UFormProgress, CancelOnlyRaisesTheFlagAndKeepsTheWindowUp) {
  TFormProgress Form;
  Form.show();
  QTest::mouseClick(Form.RzButton1, Qt::LeftButton);
  EXPECT_TRUE(Form.Cancelled());
  QTest::mouseClick(Form.RzButton1, Qt::LeftButton);
  EXPECT_TRUE(Form.Cancelled());
  EXPECT_TRUE(Form.isVisible());
}

TEST(UFormProgress, ShowsCentredOnItsOwnerOrElseOnTheMainWindow) {
  QMainWindow Main;
  Main.setGeometry(300, 200, 800, 489);
  Main.show();
  QWidget Owner;
  Owner.setGeometry(50, 60, 400, 300);
  Owner.show();
  const struct {
    const char* What;
    QWidget* Owner;
    QPoint Centre;
  } Cases[] = {{"owner", &Owner, Owner.frameGeometry().center()},
               {"no owner", nullptr, Main.frameGeometry().center()}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    TFormProgress Form(C.Owner);
    Form.show();
    const QPoint Centre = Form.frameGeometry().center();
    EXPECT_LE((Centre - C.Centre).manhattanLength(), 2);
  }
}

}  // namespace
