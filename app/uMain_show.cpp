// The header panes as judged, and the stepping through the signals.
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/uMain.h"
#include "app/uQtText.h"
#include "check/HeaderJudgement.h"
#include "edf/uEDF.h"

namespace {

// A long text shows from its start, where the reader begins (and where a
// leading blank, a fault, sits).
void ShowText(QLineEdit* Box, const QString& Text) {
  Box->setText(Text);
  Box->setCursorPosition(0);
}

}  // namespace

void TForm1::ShowFileHeader(const std::array<TFieldView, 10>& Fields) {
  for (size_t k = 0; k < Fields.size(); ++k) {
    QLineEdit* Box = FFileHeaderBoxes[k];
    ShowText(Box, Latin1Text(Fields[k].Shown));
    Box->setToolTip(Latin1Text(Fields[k].Reason));
    // Only faults are painted; otherwise the box keeps the colour of the reset.
    if (Fields[k].Mark == TFieldMark::Error) SetBoxColour(Box, QColor(ErrorColour));
  }
}

void TForm1::ShowSignalHeader(int Index) {
  if (FEdfFile) {
    ShowSignalView(DescribeSignal(*FEdfFile, Index));
    return;
  }
  // Without a file object every index is out of range.
  TSignalView Empty;
  Empty.Index = Index;
  ShowSignalView(Empty);
}

void TForm1::ShowSignalView(const TSignalView& View) {
  RzLabel25->clear();
  SetLabelBackground(RzLabel25, ColorBtnFace());
  FSignalIndex = View.Index;
  if (!View.InRange) {
    // The pane keeps its caption and the boxes their tool tips.
    ClearSignalHeaderBoxes(ColorInactiveCaptionText());
    RzButton1->setEnabled(false);
    RzButton2->setEnabled(false);
    return;
  }
  RzGroupBox1->setTitle(Latin1Text(View.PaneCaption));
  ClearSignalHeaderBoxes(ColorWindow());
  for (size_t f = 0; f < View.Fields.size(); ++f) {
    QLineEdit* Box = FSignalHeaderBoxes[f];
    const TFieldView& Field = View.Fields[f];
    ShowText(Box, Latin1Text(Field.Shown));
    Box->setToolTip(Latin1Text(Field.Reason));
    if (Field.Mark == TFieldMark::Error)
      SetBoxColour(Box, QColor(ErrorColour));
    else if (Field.Mark == TFieldMark::Warning)
      SetBoxColour(Box, QColor(WarningColour));
  }
  if (!View.CalibrationRemark.empty()) {
    RzLabel25->setText(Latin1Text(View.CalibrationRemark));
    SetLabelBackground(RzLabel25, QColor(WarningColour));
  }
  RzButton1->setEnabled(View.PreviousEnabled);
  RzButton2->setEnabled(View.NextEnabled);
}

void TForm1::RzButton1Click() {
  // Without a file object (none opened yet, or the last name did not
  // exist) there is nothing to step through.
  if (!FEdfFile) return;
  ShowSignalHeader(FSignalIndex - 1);
}

void TForm1::RzButton2Click() {
  if (!FEdfFile) return;
  ShowSignalHeader(FSignalIndex + 1);
}
