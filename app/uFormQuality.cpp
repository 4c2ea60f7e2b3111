#include "app/uFormQuality.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/uDialogs.h"
#include "app/uFormDesign.h"
#include "app/uQtText.h"
#include "app/uQualityMap.h"
#include "check/FindingText.h"
#include "check/QualityText.h"

namespace {

const QString SaveCaption = QStringLiteral("Save image");

// The picture beside the recording: "night-quality.png" for "night.edf".
QString SuggestedImageName(const QString& EdfFileName) {
  const QFileInfo Info(EdfFileName);
  return Info.dir().filePath(Info.completeBaseName() + QStringLiteral("-quality.png"));
}

std::string Heading(const TQualityReport& Report) {
  if (!Report.Ran)
    return "Signal quality not checked: " +
           (Report.WhyNot.empty() ? std::string("no data record was read") : Report.WhyNot);
  return "Signal quality of " + QualityCount(Report.RecordsScanned) + " data records" +
         (Report.Complete ? "" : " (the pass stopped early)") + ", epochs of " + QualitySeconds(Report.EpochSeconds) +
         ":";
}

}  // namespace

TFormQuality::TFormQuality(QWidget* Owner) : QDialog(Owner), FOwner(Owner) {
  setObjectName(QStringLiteral("FormQuality"));
  setWindowTitle(QStringLiteral("Results of signal quality check"));
  setFont(DesignFont());
  setSizeGripEnabled(true);

  auto* Layout = new QVBoxLayout(this);
  auto* Menu = new QMenuBar(this);
  Menu->setObjectName(QStringLiteral("MainMenu1"));
  File1 = Menu->addMenu(QStringLiteral("&File"));
  File1->setObjectName(QStringLiteral("File1"));
  Saveimage1 = File1->addAction(QStringLiteral("Save image..."));
  Saveimage1->setObjectName(QStringLiteral("Saveimage1"));
  connect(Saveimage1, &QAction::triggered, this, &TFormQuality::Saveimage1Click);
  Layout->setMenuBar(Menu);

  FSplit = new QSplitter(Qt::Vertical, this);
  FindingList1 = new QListWidget(FSplit);
  FindingList1->setObjectName(QStringLiteral("FindingList1"));
  connect(FindingList1, &QListWidget::itemDoubleClicked, this, &TFormQuality::FindingList1DoubleClick);
  MapScroll1 = new QScrollArea(FSplit);
  MapScroll1->setObjectName(QStringLiteral("MapScroll1"));
  MapScroll1->setWidgetResizable(true);
  QualityMap1 = new TQualityMap;
  MapScroll1->setWidget(QualityMap1);
  FSplit->setStretchFactor(0, 1);
  FSplit->setStretchFactor(1, 0);
  Layout->addWidget(FSplit, 1);

  BtnClose = new QPushButton(QStringLiteral("Close"), this);
  BtnClose->setObjectName(QStringLiteral("BtnClose"));
  BtnClose->setAutoDefault(false);
  connect(BtnClose, &QPushButton::clicked, this, &TFormQuality::BtnCloseClick);
  Layout->addWidget(BtnClose, 0, Qt::AlignHCenter);

  resize(860, 620);
}

void TFormQuality::AddLine(const std::string& Text, int Signal) {
  auto* Item = new QListWidgetItem(Latin1Text(Text), FindingList1);
  Item->setData(Qt::UserRole, Signal);
}

void TFormQuality::SetReport(const TQualityReport& Report, const TFindings& ReadFindings,
                             const std::vector<std::string>& Labels, const QString& EdfFileName) {
  FEdfFileName = EdfFileName;
  FindingList1->clear();
  AddLine(Heading(Report), -1);
  for (const TFinding& F : ReadFindings) AddLine(FindingText(F, Labels), F.Where.Signal);
  for (const TFinding& F : Report.Findings) AddLine(FindingText(F, Labels), F.Where.Signal);
  for (const std::string& Line : RuleTotalLines(Report.Totals)) AddLine(Line, -1);
  if (Report.Ran && Report.Findings.empty() && ReadFindings.empty()) AddLine("No findings", -1);
  for (const TQualitySignal& S : Report.Signals)
    if (QualitySummaryWanted(S)) AddLine(QualitySummaryLine(S), S.Index);
  QualityMap1->SetReport(Report, Labels);
}

void TFormQuality::FindingList1DoubleClick(QListWidgetItem* Item) {
  const int Signal = Item ? Item->data(Qt::UserRole).toInt() : -1;
  if (Signal >= 0 && OnShowSignal) OnShowSignal(Signal);
}

void TFormQuality::Saveimage1Click() {
  const std::optional<QString> Name = Dialogs().GetSaveFileName(this, SaveCaption, SuggestedImageName(FEdfFileName));
  if (!Name) return;
  // The recording is only ever read, whatever name is typed.
  const QFileInfo Target(*Name);
  if (Target.exists() && Target.canonicalFilePath() == QFileInfo(FEdfFileName).canonicalFilePath()) {
    Dialogs().ShowMessage(QStringLiteral("The image must not replace the open file: it is never written."), SaveCaption,
                          TMsgIcon::Warning);
    return;
  }
  // Written whole or not at all: an existing picture stays until the new one is complete.
  QSaveFile File(*Name);
  if (!File.open(QIODevice::WriteOnly) || !QualityMap1->Image().save(&File, "PNG") || !File.commit())
    Dialogs().ShowMessage(
        QStringLiteral("The image could not be written to\r\n") + *Name + QStringLiteral("\r\n") + File.errorString(),
        SaveCaption, TMsgIcon::Error);
}

void TFormQuality::BtnCloseClick() { close(); }

void TFormQuality::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  if (!FPlaced) {
    FPlaced = true;
    CentreOnOwner(*this, FOwner);
    // The map as tall as it needs, up to two thirds of the window; the list the rest.
    const int Frame = 2 * MapScroll1->frameWidth();
    const int Total = FSplit->height();
    const int Map = std::min(QualityMap1->HeightFor(FSplit->width() - Frame) + Frame, Total * 2 / 3);
    FSplit->setSizes({Total - Map, Map});
  }
}
