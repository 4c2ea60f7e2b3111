// Tools / Check EDF+ conformance in the window: the findings listed with
// their place and byte, the progress window's Cancel, and the classic
// verdict left as it was.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

#include "DialogRecorder.h"
#include "WindowProbe.h"
#include "app/uFormProgress.h"
#include "app/uFormResults.h"
#include "app/uMain.h"
#include "testkit/PlusBytes.h"

namespace {

using testkit::PlusBytes;

// Presses Cancel at the first block of records read.
class TCancellingForm : public TForm1 {
public:
  using TForm1::TForm1;
  int Blocks = 0;

protected:
  bool ConformanceBlockRead(TFormProgress& Progress, int Percent) override {
    if (Blocks++ == 0) Progress.RzButton1->click();
    return TForm1::ConformanceBlockRead(Progress, Percent);
  }
};

class UMainConformance : public ::testing::Test {
protected:
  void SetUp() override { ShowAndSettle(Form); }
  QString Open(const PlusBytes& P) {
    const std::string Path = Folder.File("plus.edf");
    P.Write(Path);
    Form.OpenFile(QString::fromStdString(Path));
    return QString::fromStdString(Path);
  }
  QStringList Run() {
    QStringList Lines;
    Recorder.OnExecModal = [&](QDialog& Dialog) {
      auto* Results = qobject_cast<TFormResults*>(&Dialog);
      EXPECT_NE(Results, nullptr);
      if (!Results) return 0;
      EXPECT_EQ(Results->windowTitle(), QStringLiteral("Results of EDF+ conformance check"));
      Lines = Results->Memo1->toPlainText().split(QLatin1Char('\n'));
      return 0;
    };
    Form.findChild<QAction*>(QStringLiteral("CheckEDFconformance1"))->trigger();
    return Lines;
  }

  testkit::TempDir Folder;
  TDialogRecorder Recorder;
  TCancellingForm Form{QStringList()};
};

TEST_F(UMainConformance, FindingsAreListedWithTheirPlaceAndTheVerdictStays) {
  PlusBytes P = PlusBytes::Valid(3);
  // The second record's onset is written with a comma.
  P.Annotations = [](int R, int) {
    return testkit::TimeKeeping(R == 1 ? "+1,0" : '+' + std::to_string(R));
  };
  Open(P);
  Form.Blocks = 1;  // no cancel
  const QString Verdict = FindVerdict(Form)->text();
  const QStringList Lines = Run();
  ASSERT_GE(Lines.size(), 2) << Lines.join('\n').toStdString();
  EXPECT_EQ(Lines[0], QStringLiteral("Conformance of EDF+C, 3 data records checked:"));
  const std::string Expected = "error [edfplus.tal.onset] annotation, data record 2, signal 3 (EDF Annotations), byte " +
                               std::to_string(P.At(1, 2) + 2);
  EXPECT_TRUE(Lines.join('\n').toStdString().find(Expected) != std::string::npos) << Lines.join('\n').toStdString();
  EXPECT_EQ(FindVerdict(Form)->text(), Verdict);
  EXPECT_TRUE(Recorder.Messages.empty());
}

TEST_F(UMainConformance, CancelStopsThePassWithOneMessageAndNoResults) {
  // Enough records for several blocks of reading.
  Open(PlusBytes::Valid(30000));
  int Results = 0;
  Recorder.OnExecModal = [&](QDialog&) { return ++Results, 0; };
  Form.findChild<QAction*>(QStringLiteral("CheckEDFconformance1"))->trigger();
  EXPECT_EQ(Results, 0);
  ASSERT_EQ(Recorder.Messages.size(), 1u);
  EXPECT_EQ(Recorder.Messages[0].Text, QStringLiteral("The EDF+ conformance check\r\nhas been aborted by the user"));
  EXPECT_TRUE(Form.isEnabled());
}

}  // namespace
