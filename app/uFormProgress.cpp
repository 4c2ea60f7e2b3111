#include "app/uFormProgress.h"

#include "app/uFormDesign.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

TFormProgress::TFormProgress(QWidget* Owner)
    : QWidget(Owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), FOwner(Owner) {
  setObjectName(QStringLiteral("FormProgress"));
  setWindowTitle(QStringLiteral("FormProgress"));
  setFont(DesignFont());

  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
  ProgressBar->setGeometry(8, 16, 277, 24);
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(true);
  ProgressBar->setFormat(QStringLiteral("%p%"));
  ProgressBar->setAlignment(Qt::AlignCenter);

  RzLabel1 = new QLabel(QStringLiteral("Progress"), this);
  RzLabel1->setObjectName(QStringLiteral("RzLabel1"));
  RzLabel1->setGeometry(116, 48, 55, 16);

  RzButton1 = new QPushButton(QStringLiteral("Cancel"), this);
  RzButton1->setObjectName(QStringLiteral("RzButton1"));
  RzButton1->setGeometry(108, 80, 75, 25);
  connect(RzButton1, &QPushButton::clicked, this, &TFormProgress::RzButton1Click);
  setFocusProxy(RzButton1);  // the only control that takes the focus

  setFixedSize(295, 115);
}

void TFormProgress::RzButton1Click() {
  // Only the flag: the check notices it after the record in hand and does
  // the hiding itself.
  FCancelled = true;
}

void TFormProgress::showEvent(QShowEvent* Event) {
  CentreOnOwner(*this, FOwner);
  QWidget::showEvent(Event);
}
