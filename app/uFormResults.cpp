#include "app/uFormResults.h"

#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>

#include "app/uFormDesign.h"
#include "app/uQtText.h"

namespace {

// Distances of the memo and the button to the window edges they follow.
constexpr int MemoMargin = 4;
constexpr int MemoRightMargin = 3;  // 4 + 493 + 3 = 500
constexpr int MemoBottomMargin = 35;
constexpr int ButtonBottomMargin = 28;

}  // namespace

TFormResults::TFormResults(QWidget* Owner) : QDialog(Owner), FOwner(Owner) {
  setObjectName(QStringLiteral("FormResults"));
  setWindowTitle(QStringLiteral("Results"));
  setFont(DesignFont());
  setSizeGripEnabled(true);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setGeometry(4, 4, 493, 261);

  BtnClose = new QPushButton(QStringLiteral("Close"), this);
  BtnClose->setObjectName(QStringLiteral("BtnClose"));
  BtnClose->setGeometry(220, 272, 75, 25);
  BtnClose->setAutoDefault(false);
  connect(BtnClose, &QPushButton::clicked, this, &TFormResults::BtnCloseClick);

  resize(500, 300);
}

void TFormResults::SetReportLines(const std::vector<std::string>& Lines) {
  QStringList Text;
  Text.reserve(static_cast<qsizetype>(Lines.size()));
  for (const std::string& Line : Lines) {
    QString Shown = Latin1Text(Line);
    Shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    Text << Shown;
  }
  Memo1->setPlainText(Text.join(QLatin1Char('\n')));
}

void TFormResults::FormResize() {
  // Integer division truncates toward zero: a window narrower than the
  // button puts it at -7 at width 60, not at the -8 of rounding down.
  BtnClose->move((width() - BtnClose->width()) / 2, BtnClose->y());
}

void TFormResults::BtnCloseClick() { close(); }

void TFormResults::resizeEvent(QResizeEvent* Event) {
  QDialog::resizeEvent(Event);
  // The memo follows all four edges, the button the bottom edge.
  Memo1->setGeometry(MemoMargin, MemoMargin, width() - MemoMargin - MemoRightMargin,
                     height() - MemoMargin - MemoBottomMargin);
  BtnClose->move(BtnClose->x(), height() - ButtonBottomMargin);
  FormResize();
}

void TFormResults::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  if (!FPlaced) {
    FPlaced = true;
    CentreOnOwner(*this, FOwner);
  }
}
