// Tools / Check signal quality: the signal-quality pass over the open file's
// data records with the progress window and its Cancel, then the findings
// and the quality map in their results window.
#include <memory>
#include <string>
#include <vector>

#include <QFile>

#include "app/uDialogs.h"
#include "app/uFormQuality.h"
#include "app/uMain.h"
#include "app/uProgressSession.h"
#include "check/FileCheck.h"
#include "check/MinMaxScan.h"
#include "check/QualityCheck.h"
#include "check/RecordScan.h"
#include "edf/uEDF.h"
#include "edf/uEDFSignalInfo.h"
#include "util/udStr.h"

void TForm1::Checksignalquality1Click() {
  // Tools is on only for a valid open file.
  if (!FEdfFile) return;
  const TEDFFile& F = *FEdfFile;
  std::unique_ptr<TProgressSession> Session;
  try {
    Session =
        std::make_unique<TProgressSession>(QStringLiteral("Checking signal quality"),
                                           QStringLiteral("The signal quality check\r\nhas been aborted by the user"));
    // The pass alone, read with plain calls as every check of the window;
    // its outcome says whether the read stopped or the file changed size,
    // which the quality report leaves to its caller.
    TQualityCheck Check(F);
    TScanOutcome Outcome;
    if (Check.WantsRecords()) {
      TRecordVisitor* const Visitors[] = {&Check};
      Outcome = ScanRecords(*F.Stream(), Check.Layout(), Visitors, [&](int64_t Done, int64_t Records) {
        return QualityBlockRead(Session->Window(), ProgressPercent(Done, Records));
      });
    }
    const TQualityReport Report = Check.Finish(Outcome);
    Session->End(Report.Cancelled);
    if (Report.Cancelled) return;
    std::vector<std::string> Labels;
    for (int i = 0; i < F.SignalCount(); ++i) Labels.push_back(TrimRight(F.GetSignal(i)->RawHeader()[0]));
    const auto Form = std::make_unique<TFormQuality>();
    Form->SetReport(Report, ScanFindings(Outcome), Labels, QFile::decodeName(F.FileName().c_str()));
    Form->OnShowSignal = [this](int Signal) { ShowSignalHeader(Signal); };
    Dialogs().ExecModal(*Form);
  } catch (...) {
    if (Session) Session->End();
    Dialogs().ShowMessage(QStringLiteral("There was an error during the signal quality check.\r\n\r\n"
                                         "Possible cause is a file read error. Please check for file-locking."),
                          QStringLiteral("Error checking signal quality"), TMsgIcon::Error);
  }
}

bool TForm1::QualityBlockRead(TFormProgress& Progress, int Percent) {
  return TProgressSession::Step(Progress, Percent);
}
