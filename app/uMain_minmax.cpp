// Tools / Check digital min/max values: the scan of every data record with a
// progress window that can cancel it, and the report in the results window.
#include <memory>
#include <vector>

#include "app/uDialogs.h"
#include "app/uFormProgress.h"
#include "app/uFormResults.h"
#include "app/uMain.h"
#include "app/uProgressSession.h"
#include "check/FileCheck.h"
#include "check/HeaderJudgement.h"
#include "check/MinMaxScan.h"
#include "edf/uEDF.h"

bool TForm1::MinMaxRecordLoaded(TFormProgress& Progress, int Percent) {
  return TProgressSession::Step(Progress, Percent);
}

void TForm1::Checkdigitalminmaxvalues1Click() {
  // Tools is on only for a valid open file; a direct call without one has
  // nothing to scan.
  if (!FEdfFile) return;
  TEDFFile& F = *FEdfFile;

  std::unique_ptr<TProgressSession> Session;
  try {
    Session = std::make_unique<TProgressSession>(
        QStringLiteral("Checking digital values"),
        QStringLiteral("The digital min/max value check\r\nhas been aborted by the user"));
    const int64_t SizeAtStart = F.FileSize();
    const TMinMaxResult Result = ScanDigitalMinMax(
        F, [&](int, int, int Percent) { return MinMaxRecordLoaded(Session->Window(), Percent); });
    const int64_t SizeAtEnd = F.FileSize();
    Session->End();
    if (Result.Cancelled) return;
    std::vector<std::string> Report = BuildMinMaxReport(F, Result);
    // A file still being written may no longer fit its header: say so
    // rather than let "No errors found" stand for a file that moved on.
    if (const auto Changed = FileChangedFinding(SizeAtStart, SizeAtEnd)) Report.push_back(Changed->Message);
    ShowMinMaxReport(Report);
  } catch (...) {
    if (Session) Session->End();
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
