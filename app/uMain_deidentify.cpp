// File / Save de-identified copy...: the options asked in a small dialog,
// the plan of the open file (one pass over its records, with the progress
// window and its Cancel), the new file's name, the copy written through the
// same library as vellicor-anonymize and judged again before it takes that
// name, what changed (places, lengths and the anonymous forms, never an
// identifying text), and the copy opened. The open file is only ever read.
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "anonymize/AnonymizePlan.h"
#include "anonymize/AnonymizeReport.h"
#include "app/uDialogs.h"
#include "app/uFileName.h"
#include "app/uFormDeidentify.h"
#include "app/uFormResults.h"
#include "app/uMain.h"
#include "app/uProgressSession.h"
#include "app/uQtText.h"
#include "check/MinMaxScan.h"
#include "check/PrivacyTokens.h"
#include "edf/uEDF.h"
#include "repair/CopyWriter.h"

namespace {

const QString DeidentifyCaption = QStringLiteral("Save de-identified copy");
const QString DeidentifyErrorCaption = QStringLiteral("De-identify error");
const QString CancelText = QStringLiteral("The de-identified copy\r\nhas been aborted by the user");

// Beside the original: "night.edf" gives "night-deidentified.edf".
QString SuggestedName(const QString& Original) {
  const QFileInfo Info(Original);
  const QString Suffix = Info.suffix().isEmpty() ? QString() : QLatin1Char('.') + Info.suffix();
  return Info.dir().filePath(Info.completeBaseName() + QStringLiteral("-deidentified") + Suffix);
}

// Told the records done; false once Cancel was pressed.
TScanProgress Stepper(TProgressSession& Session, bool& Cancelled) {
  return [&Session, &Cancelled](int64_t Done, int64_t Records) {
    if (!Session.Step(ProgressPercent(Done, Records))) Cancelled = true;
    return !Cancelled;
  };
}

QString Lines(const std::vector<std::string>& Items) {
  QStringList Out;
  for (const std::string& S : Items) Out << Latin1Text(S);
  return Out.join(QLatin1Char('\n'));
}

// The plan's lines without their heading, which names the original by its
// path: a name there is often the person's.
std::vector<std::string> ChangeLines(const TAnonymizePlan& Plan, const std::string& Out) {
  std::vector<std::string> Lines = FormatAnonymizeLines(Plan);
  Lines.front() = "The copy gets " + std::to_string(Plan.Changes.size()) +
                  (Plan.Changes.size() == 1 ? " change" : " changes") + "; the open file is not changed.";
  Lines.push_back(AnonymizeOutcomeLine(Plan, TAnonymizeOutcome::Written, Out, ""));
  return Lines;
}

}  // namespace

void TForm1::UpdateDeidentifyEnabled() { Savedeidentifiedcopy1->setEnabled(FEdfFile && FEdfFile->Active()); }

void TForm1::Savedeidentifiedcopy1Click() {
  if (!FEdfFile || FEdfFile->FileName().empty()) return;
  const std::string Original = FEdfFile->FileName();
  TAnonymizeOptions Options;
  {
    TFormDeidentify Form;
    if (Dialogs().ExecModal(Form) != QDialog::Accepted) return;
    Options = Form.Options();
    if (!Form.PhiWordsFile().isEmpty()) {
      std::string Error;
      // The reason names the line, never its text.
      if (!ReadPhiWords(EncodeFileName(Form.PhiWordsFile()).toStdString(), Options.PhiWords, Error)) {
        Dialogs().ShowMessage(QStringLiteral("The word list could not be used: ") + Latin1Text(Error),
                              DeidentifyErrorCaption, TMsgIcon::Error);
        return;
      }
    }
  }

  // Planned afresh on the file as it is now.
  bool Cancelled = false;
  TAnonymizePlan Plan;
  {
    TProgressSession Session(QStringLiteral("De-identifying"), CancelText);
    Plan = PlanAnonymize(Original, Options, Stepper(Session, Cancelled));
    Session.End(Cancelled);
  }
  if (Cancelled) return;
  if (!Plan.UnreadableWhy.empty()) {
    Dialogs().ShowMessage(QStringLiteral("The file could not be read: ") + Latin1Text(Plan.UnreadableWhy),
                          DeidentifyErrorCaption, TMsgIcon::Error);
    return;
  }
  if (Plan.Refused()) {
    Dialogs().ShowMessage(QStringLiteral("No de-identified copy can be made:\n") + Lines(Plan.Refusals),
                          DeidentifyCaption, TMsgIcon::Warning);
    return;
  }
  if (Plan.NothingToChange()) {
    Dialogs().ShowMessage(QStringLiteral("Nothing in this file identifies the person beyond what the options keep: "
                                         "no copy is needed."),
                          DeidentifyCaption, TMsgIcon::Information);
    return;
  }

  const QString OriginalName = DecodeFileName(QByteArray::fromStdString(Original));
  const std::optional<QString> Name = Dialogs().GetSaveFileName(this, DeidentifyCaption, SuggestedName(OriginalName));
  if (!Name) return;
  const std::string Out = EncodeFileName(*Name).toStdString();
  // A name that names the person would carry the identifying data along.
  if (const std::string Why = CheckCopyName(Plan, Out); !Why.empty()) {
    Dialogs().ShowMessage(QStringLiteral("The copy's name would identify the person: ") + Latin1Text(Why) +
                              QStringLiteral(". Give the copy another name."),
                          DeidentifyCaption, TMsgIcon::Warning);
    return;
  }

  TCopyJob Copy;
  // The plan rests on the annotation texts too: the original must still
  // have the modification time it was planned at.
  Copy.Source = {Plan.Path, Plan.InputSize, Plan.InputMTimeNs, Plan.InputHead};
  Copy.OutputSize = Plan.OutputSize;
  Copy.Patches = Plan.Patches;
  try {
    TProgressSession Session(QStringLiteral("Judging the de-identified copy"), CancelText);
    const TScanProgress Judging = Stepper(Session, Cancelled);
    Copy.Verify = [&](const std::string& Path) { return CheckAnonymizedCopy(Plan, Path, Judging); };
    try {
      WriteCopy(Copy, Out);
    } catch (...) {
      Session.End(Cancelled);
      throw;
    }
    Session.End(false);
  } catch (const ECopySameFile&) {
    Dialogs().ShowMessage(QStringLiteral("The de-identified copy must be a new file: the open file is never written."),
                          DeidentifyErrorCaption, TMsgIcon::Warning);
    return;
  } catch (const std::exception& e) {
    if (!Cancelled)
      Dialogs().ShowMessage(QStringLiteral("The de-identified copy could not be written:\n") + Latin1Text(e.what()),
                            DeidentifyErrorCaption, TMsgIcon::Error);
    return;
  }

  {
    TFormResults Form;
    Form.setWindowTitle(QStringLiteral("De-identified copy"));
    Form.SetReportLines(ChangeLines(Plan, Out));
    Dialogs().ExecModal(Form);
  }
  OpenFile(*Name);
}
