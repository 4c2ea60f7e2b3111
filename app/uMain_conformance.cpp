// Tools / Check EDF+ conformance: the conformance check of the open file in
// one pass over its data records, with the progress window and its Cancel,
// then every finding in the results window (selectable and copyable).
#include <memory>
#include <string>
#include <vector>

#include "app/uDialogs.h"
#include "app/uFormResults.h"
#include "app/uMain.h"
#include "app/uProgressSession.h"
#include "check/Conformance.h"
#include "check/FindingText.h"
#include "check/MinMaxScan.h"
#include "edf/uEDF.h"
#include "edf/uEDFSignalInfo.h"
#include "util/udStr.h"

namespace {

std::vector<std::string> ConformanceReportLines(const TConformanceReport& Report,
                                                const std::vector<std::string>& Labels) {
  std::vector<std::string> Lines{"Conformance of " + ConformanceScope(Report) + ":"};
  for (const TFinding& F : Report.Findings) Lines.push_back(FindingText(F, Labels));
  for (const std::string& Line : ConformanceTotalLines(Report)) Lines.push_back(Line);
  if (Report.Findings.empty()) Lines.push_back("No findings");
  return Lines;
}

}  // namespace

void TForm1::CheckEDFconformance1Click() {
  // Tools is on only for a valid open file.
  if (!FEdfFile) return;
  const TEDFFile& F = *FEdfFile;
  std::unique_ptr<TProgressSession> Session;
  try {
    Session = std::make_unique<TProgressSession>(
        QStringLiteral("Checking EDF+ conformance"),
        QStringLiteral("The EDF+ conformance check\r\nhas been aborted by the user"));
    const TConformanceReport Report = CheckConformance(F, [&](int64_t Done, int64_t Records) {
      return ConformanceBlockRead(Session->Window(), ProgressPercent(Done, Records));
    });
    Session->End(Report.Cancelled);
    if (Report.Cancelled) return;
    std::vector<std::string> Labels;
    for (int i = 0; i < F.SignalCount(); ++i) Labels.push_back(TrimRight(F.GetSignal(i)->RawHeader()[0]));
    const auto Form = std::make_unique<TFormResults>();
    Form->setWindowTitle(QStringLiteral("Results of EDF+ conformance check"));
    Form->SetReportLines(ConformanceReportLines(Report, Labels));
    Dialogs().ExecModal(*Form);
  } catch (...) {
    if (Session) Session->End();
    Dialogs().ShowMessage(QStringLiteral("There was an error during the EDF+ conformance check.\r\n\r\n"
                                         "Possible cause is a file read error. Please check for file-locking."),
                          QStringLiteral("Error checking EDF+ conformance"), TMsgIcon::Error);
  }
}

bool TForm1::ConformanceBlockRead(TFormProgress& Progress, int Percent) {
  return TProgressSession::Step(Progress, Percent);
}
