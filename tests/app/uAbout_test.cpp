#include "app/uAbout.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QWindow>

#include "DialogRecorder.h"
#include "ModalWatcher.h"

namespace {

QLabel* Label(TWexaAboutForm& Form, const char* Name) {
  auto* Found = Form.findChild<QLabel*>(QString::fromLatin1(Name));
  EXPECT_NE(Found, nullptr) << Name;
  return Found;
}

TEST(UAbout, EmailTargetGetsTheMailtoPrefixUnlessItHoldsMailtoBlank) {
  const struct {
    const char* Address;
    const char* Target;
  } Cases[] = {
      {"support@vellicor.example", "mailto: support@vellicor.example"},
      {"mailto: someone@x.example", "mailto: someone@x.example"},
      {"MAILTO: someone@x.example", "MAILTO: someone@x.example"},
      {"MailTo: someone@x.example", "MailTo: someone@x.example"},
      {"write to mailto: someone@x.example", "write to mailto: someone@x.example"},
      // Without the blank after the colon it is not recognised.
      {"mailto:someone@x.example", "mailto: mailto:someone@x.example"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Address);
    TWexaAboutForm Form;
    Form.SetEmail(QString::fromLatin1(C.Address));
    EXPECT_EQ(Form.EmailTarget(), QString::fromLatin1(C.Target));
    EXPECT_EQ(Label(Form, "RzURLLabel1")->text(), QString::fromLatin1(C.Address));
  }
}

TEST(UAbout, WebTargetGetsHttpUnlessItHoldsHttpInLowerCase) {
  const struct {
    const char* Address;
    const char* Target;
  } Cases[] = {
      {"www.vellicor.example/checker", "http://www.vellicor.example/checker"},
      {"http://www.vellicor.example/", "http://www.vellicor.example/"},
      {"see http://x.example", "see http://x.example"},
      {"HTTP://x.example", "http://HTTP://x.example"},
      {"https://x.example", "http://https://x.example"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Address);
    TWexaAboutForm Form;
    Form.SetWebAddress(QString::fromLatin1(C.Address));
    EXPECT_EQ(Form.WebTarget(), QString::fromLatin1(C.Target));
    EXPECT_EQ(Label(Form, "Image2")->toolTip(), QString::fromLatin1(C.Target));
  }
}

TEST(UAbout, WindowIsFixedWhiteWithOnlyACloseBox) {
  TWexaAboutForm Form;
  EXPECT_EQ(Form.windowTitle(), QStringLiteral("About"));
  EXPECT_EQ(Form.minimumSize(), QSize(442, 249));
  EXPECT_EQ(Form.maximumSize(), QSize(442, 249));
  const Qt::WindowFlags Flags = Form.windowFlags();
  EXPECT_TRUE(Flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(Flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(Flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(Flags.testFlag(Qt::WindowContextHelpButtonHint));
  EXPECT_TRUE(Form.autoFillBackground());
  EXPECT_EQ(Form.palette().color(QPalette::Window), QColor(Qt::white));
}

TEST(UAbout, ShowsPictureIconVersionAndNotice) {
  TWexaAboutForm Form;
  const QLabel* Picture = Label(Form, "Image1");
  EXPECT_EQ(Picture->pixmap().size(), QSize(400, 94));
  EXPECT_EQ(Picture->geometry(), QRect(-24, 160, 400, 94));
  EXPECT_EQ(Label(Form, "Image2")->pixmap().size(), QSize(32, 32));
  EXPECT_TRUE(Label(Form, "VersionInfo")->text().contains(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+"))));
  const QLabel* Notice = Label(Form, "NoticeInfo");
  EXPECT_FALSE(Notice->text().isEmpty());
  EXPECT_EQ(Notice->pos(), QPoint(92, 124));
  EXPECT_EQ(Notice->width(), 209);
  EXPECT_FALSE(Notice->wordWrap());
  EXPECT_LE(Notice->fontMetrics().horizontalAdvance(Notice->text()), 209) << "the notice is cut off";
  EXPECT_EQ(Label(Form, "RzLabel2")->text(), QStringLiteral("Version"));
  EXPECT_EQ(Label(Form, "Label2")->text(), QStringLiteral("Email"));
  auto* Ok = Form.findChild<QPushButton*>(QStringLiteral("Button1"));
  ASSERT_NE(Ok, nullptr);
  EXPECT_EQ(Ok->text(), QStringLiteral("Ok"));
  EXPECT_EQ(Ok->geometry(), QRect(360, 208, 75, 25));
}

TEST(UAbout, IconClickOpensTheWebTargetAndIgnoresFailure) {
  for (const bool Succeeds : {true, false}) {
    TDialogRecorder Recorder;
    Recorder.OpenUrlSucceeds = Succeeds;
    TWexaAboutForm Form;
    Form.SetWebAddress(QStringLiteral("www.vellicor.example/checker"));
    Form.show();
    QTest::mouseClick(Label(Form, "Image2"), Qt::LeftButton);
    ASSERT_EQ(Recorder.OpenedUrls.size(), 1u);
    EXPECT_EQ(Recorder.OpenedUrls[0], QUrl(QStringLiteral("http://www.vellicor.example/checker")));
    EXPECT_TRUE(Recorder.Messages.empty());
  }
}

TEST(UAbout, EmailClickOpensTheMailTargetAndMarksTheLinkVisitedOnSuccess) {
  for (const bool Succeeds : {true, false}) {
    SCOPED_TRACE(Succeeds);
    TDialogRecorder Recorder;
    Recorder.OpenUrlSucceeds = Succeeds;
    TWexaAboutForm Form;
    Form.SetEmail(QStringLiteral("support@vellicor.example"));
    Form.show();
    QLabel* Link = Label(Form, "RzURLLabel1");
    EXPECT_TRUE(Link->font().underline());
    QTest::mouseClick(Link, Qt::LeftButton);
    ASSERT_EQ(Recorder.OpenedUrls.size(), 1u);
    EXPECT_EQ(Recorder.OpenedUrls[0], QUrl(QStringLiteral("mailto: support@vellicor.example")));
    const QPalette::ColorRole Expected = Succeeds ? QPalette::LinkVisited : QPalette::Link;
    EXPECT_EQ(Link->palette().color(QPalette::WindowText), Link->palette().color(Expected));
    EXPECT_TRUE(Recorder.Messages.empty());
  }
}

TEST(UAbout, OkAcceptsAndTheCloseBoxRejects) {
  const struct {
    bool UseOk;
    int Result;
  } Cases[] = {{true, QDialog::Accepted}, {false, QDialog::Rejected}};
  for (const auto& C : Cases) {
    TWexaAboutForm Form;
    TModalWatcher Watcher([&](QWidget& Modal) {
      if (C.UseOk)
        Modal.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
      else
        Modal.windowHandle()->close();
    });
    EXPECT_EQ(Form.exec(), C.Result);
    EXPECT_TRUE(Watcher.Acted());
  }
}

}  // namespace
