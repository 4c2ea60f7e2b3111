// Tools / Check digital min/max values: the scan of every data record with a
// progress window that can cancel it, and the report in the results window.
#include <memory>
#include <vector>

#include <QApplication>
#include <QPointer>
#include <QProgressBar>

#include "app/uDialogs.h"
#include "app/uMain.h"
#include "check/FileCheck.h"
#include "check/HeaderJudgement.h"
#include "check/MinMaxScan.h"
#include "check/uFormProgress.h"
#include "check/uFormResults.h"
#include "edf/uEDF.h"

namespace {

// Every visible, enabled top-level window but Keep goes off while the scan
// pumps events, so that only Cancel can be operated. The list says which
// ones to switch on again; a window that was already off stays off.
std::vector<QPointer<QWidget>> DisableOtherWindows(const QWidget& Keep) {
  std::vector<QPointer<QWidget>> Disabled;
  for (QWidget* Window : QApplication::topLevelWidgets()) {
    if (Window == &Keep || !Window->isVisible() || !Window->isEnabled()) continue;
    Window->setEnabled(false);
    Disabled.emplace_back(Window);
  }
  return Disabled;
}

void EnableWindows(const std::vector<QPointer<QWidget>>& Windows) {
  for (const QPointer<QWidget>& Window : Windows)
    if (Window) Window->setEnabled(true);
}

}  // namespace

bool TForm1::MinMaxRecordLoaded(TFormProgress& Progress, int Percent) {
  Progress.ProgressBar->setValue(Percent);
  QCoreApplication::processEvents();
  return !Progress.Cancelled();
}

void TForm1::Checkdigitalminmaxvalues1Click() {
  // Tools is on only for a valid open file; a direct call without one has
  // nothing to scan.
  if (!FEdfFile) return;
  TEDFFile& F = *FEdfFile;

  std::unique_ptr<TFormProgress> Progress;
  std::vector<QPointer<QWidget>> Disabled;
  // The same on every way out of the scan, in this order: windows on again,
  // progress hidden, the cancel message only after a cancel, the window freed.
  const auto EndProgress = [&] {
    const std::unique_ptr<TFormProgress> Form = std::move(Progress);
    if (!Form) return;
    EnableWindows(Disabled);
    Disabled.clear();
    Form->hide();
    if (Form->Cancelled()) {
      Dialogs().ShowMessage(
          QStringLiteral("The digital min/max value check\r\nhas been aborted by the user"),
          QStringLiteral("User cancelled operation"), TMsgIcon::Warning);
    }
  };

  try {
    Progress = std::make_unique<TFormProgress>();
    Progress->setWindowTitle(QStringLiteral("Checking digital values"));
    Disabled = DisableOtherWindows(*Progress);
    Progress->show();
    const int64_t SizeAtStart = F.FileSize();
    const TMinMaxResult Result = ScanDigitalMinMax(
        F, [&](int, int, int Percent) { return MinMaxRecordLoaded(*Progress, Percent); });
    const int64_t SizeAtEnd = F.FileSize();
    EndProgress();
    if (Result.Cancelled) return;
    std::vector<std::string> Report = BuildMinMaxReport(F, Result);
    // A file still being written may no longer fit its header: say so
    // rather than let "No errors found" stand for a file that moved on.
    if (SizeAtEnd != SizeAtStart) Report.push_back(FileChangedFinding(SizeAtStart, SizeAtEnd).Message);
    ShowMinMaxReport(Report);
  } catch (...) {
    EndProgress();
    Dialogs().ShowMessage(
        QString::fromLatin1(MinMaxErrorText),
        QStringLiteral("Error checking Digital min/max values"), TMsgIcon::Error);
  }
}

void TForm1::ShowMinMaxReport(const std::vector<std::string>& Lines) {
  // Owned by the application, that is by nobody here: centred on the main
  // window, and freed as soon as it closes.
  const auto Form = std::make_unique<TFormResults>();
  Form->setWindowTitle(QStringLiteral("Results of digital min/max values check"));
  Form->SetReportLines(Lines);
  Dialogs().ExecModal(*Form);
}
