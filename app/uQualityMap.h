// The quality map: one row per signal (its label on the left), one column
// per epoch scaled to the width, each cell in the colour of its state, a time
// axis in clock time and a legend, as the archive page draws it from the same
// table of states. A cell's tool tip names the signal, the epoch's start, the
// state and the finding behind it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QColor>
#include <QImage>
#include <QWidget>

#include "check/QualityCheck.h"

class QPainter;

// The colour of a map letter ('.', 'f', ...); white for a letter the map
// does not use.
QColor QualityStateColour(char Letter);

class TQualityMap : public QWidget {
  Q_OBJECT

public:
  explicit TQualityMap(QWidget* Parent = nullptr);

  // The report of the pass and every signal's label as shown (right-trimmed).
  void SetReport(const TQualityReport& Report, const std::vector<std::string>& Labels);

  // Where the cell of Signal (0-based) and Epoch is drawn; empty when it is
  // not on the map.
  QRect CellRect(int Signal, int64_t Epoch) const;
  // The cell under a point: its signal and the epoch whose state it shows
  // (the worst of the epochs that share its pixels).
  struct TCell {
    int Signal;
    int64_t Epoch;
  };
  std::optional<TCell> CellAt(const QPoint& At) const;
  // "signal 2 (EEG Pz-Oz), epoch 3 from 23:16:00 (60 s): flat", then the
  // finding's line when one covers the cell.
  QString CellToolTip(const TCell& Cell) const;

  // The height the map takes at Width, legend and axis included.
  int HeightFor(int Width) const;
  // The whole map, legend and axis included, as drawn at the widget's width.
  QImage Image() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

protected:
  bool event(QEvent* Event) override;
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;

private:
  void Arrange();
  void Paint(QPainter& P) const;
  void PaintAxis(QPainter& P) const;
  void PaintLegend(QPainter& P) const;
  int64_t Epochs() const;
  // The first and last epoch drawn in pixel column Column of the cells.
  std::pair<int64_t, int64_t> EpochsOfColumn(int Column) const;
  char StateOf(int Signal, int64_t Epoch) const;

  TQualityReport FReport;
  std::vector<std::string> FLabels;
  std::vector<QString> FRowTexts;
  int FLabelWidth = 0;
  int FCellsLeft = 0;
  int FCellsWidth = 1;
  int FLegendTop = 0;
};
