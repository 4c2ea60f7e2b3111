// The signal pane and the stepping through the signals, as the user sees them.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

#include "DialogRecorder.h"
#include "WindowProbe.h"
#include "app/uMain.h"

namespace {

using testkit::EdfBytes;

constexpr size_t PhysiMin = 3, PhysiMax = 4, DigiMin = 5, DigiMax = 6;

class UMainShow : public ::testing::Test {
protected:
  void SetUp() override { ShowAndSettle(Form); }
  void Open(const EdfBytes& Edf) { Form.OpenFile(WriteEdf(Folder, "signals.edf", Edf)); }

  QString Caption() { return FindGroupBox(Form, "RzGroupBox1")->title(); }
  bool PreviousOn() { return FindButton(Form, "RzButton1")->isEnabled(); }
  bool NextOn() { return FindButton(Form, "RzButton2")->isEnabled(); }
  QLabel* Remark() { return FindLabel(Form, "RzLabel25"); }

  testkit::TempDir Folder;
  TDialogRecorder Recorder;
  TForm1 Form{QStringList()};
};

TEST_F(UMainShow, OneSignalLeavesBothButtonsOff) {
  Open(EdfBytes::Valid(1, 10, 1));
  EXPECT_EQ(Caption(), QStringLiteral("Signal Header for signal 1"));
  EXPECT_FALSE(PreviousOn());
  EXPECT_FALSE(NextOn());
}

TEST_F(UMainShow, PreviousAndNextStepThroughThreeSignals) {
  Open(EdfBytes::Valid(3, 10, 1));
  const struct {
    const char* Press;  // "" for the state after the open
    int Shown;
    bool Previous, Next;
  } Steps[] = {{"", 1, false, true}, {"Next", 2, true, true}, {"Next", 3, true, false},
               {"Previous", 2, true, true}, {"Previous", 1, false, true}};
  for (const auto& S : Steps) {
    SCOPED_TRACE(std::string(S.Press) + " to " + std::to_string(S.Shown));
    if (std::string(S.Press) == "Next") FindButton(Form, "RzButton2")->click();
    if (std::string(S.Press) == "Previous") FindButton(Form, "RzButton1")->click();
    EXPECT_EQ(Caption(), QStringLiteral("Signal Header for signal %1").arg(S.Shown));
    EXPECT_EQ(FindBox(Form, 1)->text(), QStringLiteral("Signal %1").arg(S.Shown));
    EXPECT_EQ(Form.SignalIndex(), S.Shown - 1);
    EXPECT_EQ(PreviousOn(), S.Previous);
    EXPECT_EQ(NextOn(), S.Next);
  }
}

TEST_F(UMainShow, PhysicalRangeFaultsAreErrorsAloneAndWarningsTogether) {
  const struct {
    const char* What;
    const char* Min;
    const char* Max;
    std::vector<int> Red, Orange;  // boxes RzEdit1 .. RzEdit10
  } Cases[] = {{"PhysiMin abc", "abc", "500", {4}, {}},
               {"PhysiMax abc", "-500", "abc", {5}, {}},
               {"both blank", "", "", {}, {4, 5}}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    EdfBytes Edf = EdfBytes::Valid(2, 10, 1);
    Edf.Signals[0][PhysiMin] = C.Min;
    Edf.Signals[0][PhysiMax] = C.Max;
    Open(Edf);
    EXPECT_EQ(BoxesColoured(Form, 1, 10, QColor(ErrorColour)), C.Red);
    EXPECT_EQ(BoxesColoured(Form, 1, 10, QColor(WarningColour)), C.Orange);
    EXPECT_EQ(Remark()->text(), QStringLiteral("Signal is not calibrated"));
    EXPECT_EQ(LabelBackground(Remark()), QColor(WarningColour));
    // The physical range takes no part in the verdict.
    EXPECT_TRUE(ToolsEnabled(Form));
  }
}

TEST_F(UMainShow, EqualDigitalLimitsMarkBothAndTheCalibration) {
  EdfBytes Edf = EdfBytes::Valid(1, 10, 1);
  Edf.Signals[0][DigiMin] = "100";
  Edf.Signals[0][DigiMax] = "100";
  Open(Edf);
  EXPECT_EQ(BoxesColoured(Form, 1, 10, QColor(ErrorColour)), std::vector<int>({6, 7}));
  EXPECT_EQ(Remark()->text(), QStringLiteral("Signal is not calibrated"));
  EXPECT_FALSE(ToolsEnabled(Form));
}

TEST_F(UMainShow, FirstInvalidSignalIsShownAfterTheOpen) {
  EdfBytes Edf = EdfBytes::Valid(3, 10, 1);
  Edf.Signals[2][0] = " Third";
  Open(Edf);
  EXPECT_EQ(Caption(), QStringLiteral("Signal Header for signal 3"));
  EXPECT_EQ(FindBox(Form, 1)->text(), QStringLiteral(" Third"));
  EXPECT_EQ(FindBox(Form, 1)->toolTip(), QStringLiteral("Not left justified"));
  EXPECT_EQ(BoxesColoured(Form, 1, 10, QColor(ErrorColour)), std::vector<int>{1});
  EXPECT_TRUE(PreviousOn());
  EXPECT_FALSE(NextOn());
  EXPECT_EQ(FindVerdict(Form)->text(), QStringLiteral("File is not a valid EDF file"));
}

TEST_F(UMainShow, SteppingToACalibratedSignalClearsTheRemark) {
  EdfBytes Edf = EdfBytes::Valid(2, 10, 1);
  Edf.Signals[0][PhysiMin] = "";
  Edf.Signals[0][PhysiMax] = "";
  Open(Edf);
  ASSERT_EQ(Remark()->text(), QStringLiteral("Signal is not calibrated"));
  FindButton(Form, "RzButton2")->click();
  EXPECT_TRUE(Remark()->text().isEmpty());
  EXPECT_EQ(LabelBackground(Remark()), ColorBtnFace());
  EXPECT_EQ(BoxesColoured(Form, 1, 10, ColorWindow()).size(), 10u);
  FindButton(Form, "RzButton1")->click();
  EXPECT_EQ(Remark()->text(), QStringLiteral("Signal is not calibrated"));
}

TEST_F(UMainShow, OutOfRangeEmptiesThePaneButKeepsItsCaption) {
  Open(EdfBytes::Valid(2, 10, 1));
  FindButton(Form, "RzButton2")->click();
  Form.RzButton2Click();  // beyond the last signal, as a program might ask
  EXPECT_EQ(Form.SignalIndex(), 2);
  EXPECT_EQ(Caption(), QStringLiteral("Signal Header for signal 2"));
  EXPECT_EQ(BoxesColoured(Form, 1, 10, ColorInactiveCaptionText()).size(), 10u);
  for (int N = 1; N <= 10; ++N) EXPECT_TRUE(FindBox(Form, N)->text().isEmpty()) << N;
  EXPECT_FALSE(PreviousOn());
  EXPECT_FALSE(NextOn());
}

TEST_F(UMainShow, ButtonsWithoutAFileDoNothing) {
  Form.RzButton1Click();
  Form.RzButton2Click();
  EXPECT_EQ(Form.SignalIndex(), 0);
  EXPECT_EQ(Caption(), QStringLiteral("Signal Header"));
}

TEST_F(UMainShow, MarkedBoxesArePaintedInTheirColours) {
  EdfBytes Edf = EdfBytes::Valid(2, 10, 1);
  Edf.General[0] = " 0";
  Edf.Signals[0][PhysiMin] = "";
  Edf.Signals[0][PhysiMax] = "";
  Edf.Signals[0][DigiMax] = "x";
  Open(Edf);
  const QImage Shot = Form.grab().toImage();
  // A point inside the box, clear of its text and frame.
  const auto Inside = [&](int Number) {
    QLineEdit* Box = FindBox(Form, Number);
    const QPoint P = Box->mapTo(&Form, QPoint(Box->width() - 6, Box->height() / 2));
    return QColor(Shot.pixel(P * Shot.devicePixelRatio()));
  };
  EXPECT_EQ(Inside(11), QColor(ErrorColour)) << "Version";
  EXPECT_EQ(Inside(7), QColor(ErrorColour)) << "DigiMax";
  EXPECT_EQ(Inside(4), QColor(WarningColour)) << "PhysiMin";
  EXPECT_EQ(Inside(5), QColor(WarningColour)) << "PhysiMax";
  EXPECT_EQ(Inside(12), ColorWindow()) << "Patient";
  QLabel* Label = Remark();
  const QPoint P = Label->mapTo(&Form, QPoint(2, Label->height() / 2));
  EXPECT_EQ(QColor(Shot.pixel(P * Shot.devicePixelRatio())), QColor(WarningColour)) << "remark";
}

}  // namespace
