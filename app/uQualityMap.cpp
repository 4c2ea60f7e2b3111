#include "app/uQualityMap.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <QEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include "app/uQtText.h"
#include "check/FindingText.h"
#include "check/QualityText.h"
#include "report/QualityStates.h"

namespace {

constexpr int Margin = 8;
constexpr int RowHeight = 16;  // a cell of 14 pixels and a gap of 2
constexpr int LabelGap = 6;
constexpr int AxisHeight = 24;
constexpr int LegendRowHeight = 18;
constexpr int Swatch = 12;

// The place of a letter among the states, worst first.
size_t RankOf(char Letter) {
  for (size_t i = 0; i < QualityStates.size(); ++i)
    if (QualityStates[i].Letter == Letter) return i;
  return QualityStates.size();
}

// The clock time of an offset into the recording; "+hh:mm:ss" from the
// start when the header gives no start time.
QString ClockText(double ClockStart, double Offset) {
  if (ClockStart < 0) return QStringLiteral("+") + QString::fromStdString(QualityClock(Offset));
  return QString::fromStdString(QualityClock(ClockStart + Offset));
}

// The legend's items, one line after another as the width allows: the
// number of lines.
int LegendLines(const QFontMetrics& Metrics, int Width) {
  int Lines = 1, X = Margin;
  for (const TQualityState& S : QualityStates) {
    const int Item = Swatch + 4 + Metrics.horizontalAdvance(QString::fromLatin1(S.Label)) + 14;
    if (X + Item > Width - Margin && X > Margin) ++Lines, X = Margin;
    X += Item;
  }
  return Lines;
}

}  // namespace

QColor QualityStateColour(char Letter) {
  const TQualityState* S = FindQualityState(Letter);
  return S ? QColor(QString::fromLatin1(S->Colour)) : QColor(Qt::white);
}

TQualityMap::TQualityMap(QWidget* Parent) : QWidget(Parent) {
  setObjectName(QStringLiteral("QualityMap"));
  setMouseTracking(true);
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
}

void TQualityMap::SetReport(const TQualityReport& Report, const std::vector<std::string>& Labels) {
  FReport = Report;
  FLabels = Labels;
  FRowTexts.clear();
  for (const TQualitySignal& S : FReport.Signals) {
    QString Text = QString::number(S.Index + 1) + QLatin1Char(' ') + Latin1Text(S.Label);
    // The usable share of a judged signal, as the archive page shows it.
    if (S.Judged() && S.Epochs > 0)
      Text += QStringLiteral(" \u00b7 ") + QString::number(S.UsableEpochs * 100 / S.Epochs) + QStringLiteral(" %");
    FRowTexts.push_back(Text);
  }
  Arrange();
  update();
}

int64_t TQualityMap::Epochs() const {
  size_t N = 0;
  for (const TQualitySignal& S : FReport.Signals) N = std::max(N, S.Map.size());
  return static_cast<int64_t>(N);
}

char TQualityMap::StateOf(int Signal, int64_t Epoch) const {
  const std::string& Map = FReport.Signals[static_cast<size_t>(Signal)].Map;
  return Epoch < static_cast<int64_t>(Map.size()) ? Map[static_cast<size_t>(Epoch)] : ' ';
}

void TQualityMap::Arrange() {
  const QFontMetrics Metrics(font());
  int Widest = 0;
  for (const QString& T : FRowTexts) Widest = std::max(Widest, Metrics.horizontalAdvance(T));
  // Long labels are cut so that the cells keep at least two thirds; a few
  // pixels spare, since eliding rounds otherwise than measuring.
  FLabelWidth = std::clamp(Widest + 4, 40, std::max(40, width() / 3));
  FCellsLeft = Margin + FLabelWidth + LabelGap;
  FCellsWidth = std::max(1, width() - FCellsLeft - Margin);
  FLegendTop = Margin + static_cast<int>(FReport.Signals.size()) * RowHeight + AxisHeight;
  const int Height = HeightFor(width());
  if (minimumHeight() != Height) setMinimumHeight(Height);
}

int TQualityMap::HeightFor(int Width) const {
  return Margin + static_cast<int>(FReport.Signals.size()) * RowHeight + AxisHeight +
         LegendLines(QFontMetrics(font()), Width) * LegendRowHeight + Margin;
}

std::pair<int64_t, int64_t> TQualityMap::EpochsOfColumn(int Column) const {
  const int64_t N = Epochs(), W = FCellsWidth;
  const int64_t First = Column * N / W;
  const int64_t Last = std::max(First, ((Column + 1) * N + W - 1) / W - 1);
  return {First, std::min(Last, N - 1)};
}

QRect TQualityMap::CellRect(int Signal, int64_t Epoch) const {
  const int64_t N = Epochs();
  if (Signal < 0 || static_cast<size_t>(Signal) >= FReport.Signals.size() || Epoch < 0 || Epoch >= N) return {};
  const auto X0 = static_cast<int>(Epoch * FCellsWidth / N);
  const auto X1 = std::max(X0 + 1, static_cast<int>((Epoch + 1) * FCellsWidth / N));
  return QRect(FCellsLeft + X0, Margin + Signal * RowHeight + 1, X1 - X0, RowHeight - 2);
}

std::optional<TQualityMap::TCell> TQualityMap::CellAt(const QPoint& At) const {
  const int Column = At.x() - FCellsLeft;
  const int Row = (At.y() - Margin) / RowHeight;
  if (Epochs() == 0 || Column < 0 || Column >= FCellsWidth || At.y() < Margin ||
      static_cast<size_t>(Row) >= FReport.Signals.size())
    return std::nullopt;
  const auto [First, Last] = EpochsOfColumn(Column);
  int64_t Worst = First;
  for (int64_t e = First + 1; e <= Last; ++e)
    if (RankOf(StateOf(Row, e)) < RankOf(StateOf(Row, Worst))) Worst = e;
  return TCell{Row, Worst};
}

QString TQualityMap::CellToolTip(const TCell& Cell) const {
  const TQualitySignal& S = FReport.Signals[static_cast<size_t>(Cell.Signal)];
  const char Letter = StateOf(Cell.Signal, Cell.Epoch);
  const TQualityState* State = FindQualityState(Letter);
  QString Tip =
      QStringLiteral("signal %1 (%2), epoch %3 %4: %5")
          .arg(S.Index + 1)
          .arg(Latin1Text(S.Label))
          .arg(Cell.Epoch + 1)
          .arg(Latin1Text(QualityFrom(static_cast<double>(Cell.Epoch) * FReport.EpochSeconds, FReport.ClockStart)))
          .arg(QString::fromLatin1(State ? State->Label : "unknown"));
  if (const TFinding* F = QualityFindingAt(FReport, Cell.Signal, Cell.Epoch))
    Tip += QLatin1Char('\n') + Latin1Text(FindingText(*F, FLabels));
  return Tip;
}

QImage TQualityMap::Image() const {
  QImage Out(size(), QImage::Format_RGB32);
  Out.fill(palette().color(QPalette::Base));
  QPainter P(&Out);
  P.setFont(font());
  Paint(P);
  return Out;
}

QSize TQualityMap::sizeHint() const { return {760, minimumHeight()}; }

QSize TQualityMap::minimumSizeHint() const { return {300, minimumHeight()}; }

bool TQualityMap::event(QEvent* Event) {
  if (Event->type() == QEvent::ToolTip) {
    const auto* Help = static_cast<QHelpEvent*>(Event);
    if (const std::optional<TCell> Cell = CellAt(Help->pos()))
      QToolTip::showText(Help->globalPos(), CellToolTip(*Cell), this);
    else
      QToolTip::hideText();
    return true;
  }
  if (Event->type() == QEvent::FontChange) Arrange();
  return QWidget::event(Event);
}

void TQualityMap::paintEvent(QPaintEvent*) {
  QPainter P(this);
  Paint(P);
}

void TQualityMap::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  Arrange();
}

void TQualityMap::Paint(QPainter& P) const {
  const QFontMetrics Metrics(P.font());
  P.setPen(palette().color(QPalette::Text));
  if (Epochs() == 0) {
    const QString Why = FReport.WhyNot.empty() ? QStringLiteral("no data record was read") : Latin1Text(FReport.WhyNot);
    P.drawText(QRect(Margin, Margin, width() - 2 * Margin, RowHeight), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("No quality map: ") + Why);
    return;
  }
  std::vector<char> Columns(static_cast<size_t>(FCellsWidth));
  for (size_t s = 0; s < FReport.Signals.size(); ++s) {
    const int Top = Margin + static_cast<int>(s) * RowHeight;
    P.setPen(palette().color(QPalette::Text));
    P.drawText(QRect(Margin, Top, FLabelWidth, RowHeight), Qt::AlignLeft | Qt::AlignVCenter,
               Metrics.elidedText(FRowTexts[s], Qt::ElideRight, FLabelWidth));
    // Each pixel column shows the worst state of the epochs it holds, so a
    // fault of one epoch stays visible on a map of thousands.
    for (int c = 0; c < FCellsWidth; ++c) {
      const auto [First, Last] = EpochsOfColumn(c);
      char Worst = StateOf(static_cast<int>(s), First);
      for (int64_t e = First + 1; e <= Last; ++e)
        if (const char L = StateOf(static_cast<int>(s), e); RankOf(L) < RankOf(Worst)) Worst = L;
      Columns[static_cast<size_t>(c)] = Worst;
    }
    for (int a = 0; a < FCellsWidth;) {
      int b = a + 1;
      while (b < FCellsWidth && Columns[static_cast<size_t>(b)] == Columns[static_cast<size_t>(a)]) ++b;
      P.fillRect(FCellsLeft + a, Top + 1, b - a, RowHeight - 2, QualityStateColour(Columns[static_cast<size_t>(a)]));
      a = b;
    }
  }
  PaintAxis(P);
  PaintLegend(P);
}

void TQualityMap::PaintAxis(QPainter& P) const {
  const QFontMetrics Metrics(P.font());
  const int Top = Margin + static_cast<int>(FReport.Signals.size()) * RowHeight + 2;
  P.setPen(palette().color(QPalette::Text));
  P.drawLine(FCellsLeft, Top, FCellsLeft + FCellsWidth - 1, Top);
  const double Span = static_cast<double>(Epochs()) * FReport.EpochSeconds;
  if (!(Span > 0)) return;
  // The shortest step of clock time whose marks do not crowd each other.
  const double Room = Metrics.horizontalAdvance(QStringLiteral("+00:00:00")) + 16;
  static constexpr std::array<double, 18> Steps = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                                   600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
  double Step = Steps.back();
  for (const double S : Steps)
    if (S * FCellsWidth / Span >= Room) {
      Step = S;
      break;
    }
  while (Step * FCellsWidth / Span < Room) Step += 86400;
  const double Start = FReport.ClockStart;
  double First = Start < 0 ? 0 : std::fmod(Step - std::fmod(Start, Step), Step);
  for (double T = First; T <= Span + 1e-9; T += Step) {
    const int X = FCellsLeft + static_cast<int>(std::lround(T * FCellsWidth / Span));
    P.drawLine(X, Top, X, Top + 4);
    const QString Text = ClockText(Start, T);
    const int W = Metrics.horizontalAdvance(Text);
    const int Left = std::clamp(X - W / 2, 0, std::max(0, width() - W));
    P.drawText(QRect(Left, Top + 5, W, Metrics.height()), Qt::AlignCenter, Text);
  }
}

void TQualityMap::PaintLegend(QPainter& P) const {
  const QFontMetrics Metrics(P.font());
  int X = Margin, Y = FLegendTop;
  for (const TQualityState& S : QualityStates) {
    const QString Text = QString::fromLatin1(S.Label);
    const int Item = Swatch + 4 + Metrics.horizontalAdvance(Text) + 14;
    if (X + Item > width() - Margin && X > Margin) X = Margin, Y += LegendRowHeight;
    const int Middle = Y + LegendRowHeight / 2;
    P.fillRect(X, Middle - Swatch / 2, Swatch, Swatch, QualityStateColour(S.Letter));
    P.setPen(QColor(0x66, 0x66, 0x66));
    P.drawRect(X, Middle - Swatch / 2, Swatch - 1, Swatch - 1);
    P.setPen(palette().color(QPalette::Text));
    P.drawText(QRect(X + Swatch + 4, Y, Item, LegendRowHeight), Qt::AlignLeft | Qt::AlignVCenter, Text);
    X += Item;
  }
}
