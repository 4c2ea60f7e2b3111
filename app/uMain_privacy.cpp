// Tools / Check for identifying data: the privacy audit of the open file
// (header, file name, and the annotation texts in one pass over the data
// records, with the progress window and its Cancel), its findings in the
// results window by place, byte and length, never by text; a double-click
// on a finding selects its bytes in the field's box.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "app/uDialogs.h"
#include "app/uFormResults.h"
#include "app/uMain.h"
#include "app/uProgressSession.h"
#include "check/FindingText.h"
#include "check/MinMaxScan.h"
#include "check/PrivacyAudit.h"
#include "edf/uEDF.h"
#include "edf/uEDFLayout.h"
#include "edf/uEDFSignalInfo.h"
#include "util/udStr.h"

namespace {

// Line 0 is the heading; finding i is on line i + 1.
std::vector<std::string> PrivacyReportLines(const TPrivacyReport& Report, const std::vector<std::string>& Labels) {
  std::vector<std::string> Lines{"Identifying data, by place, byte and length (no text is shown):"};
  for (const TFinding& F : Report.Findings) Lines.push_back(FindingText(F, Labels));
  for (const TRuleTotal& T : Report.Totals)
    if (T.Total > T.Listed)
      Lines.push_back("[" + T.Rule + "] " + std::to_string(T.Total) + " findings in all, " + std::to_string(T.Listed) +
                      " listed");
  if (Report.Findings.empty()) Lines.push_back("No identifying data found");
  return Lines;
}

// Tells which line of the memo was double-clicked; the memo's own handling
// (selecting a word) goes on.
class TLinePicker : public QObject {
public:
  TLinePicker(QPlainTextEdit& Memo, std::function<void(int)> Picked)
      : QObject(&Memo), FMemo(Memo), FPicked(std::move(Picked)) {
    Memo.viewport()->installEventFilter(this);
  }

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() == QEvent::MouseButtonDblClick) {
      const auto* Mouse = static_cast<QMouseEvent*>(Event);
      FPicked(FMemo.cursorForPosition(Mouse->position().toPoint()).blockNumber());
    }
    return QObject::eventFilter(Watched, Event);
  }

private:
  QPlainTextEdit& FMemo;
  std::function<void(int)> FPicked;
};

}  // namespace

void TForm1::BuildPrivacyMenus() {
  Savedeidentifiedcopy1 = new QAction(QStringLiteral("Save &de-identified copy..."), File1);
  Savedeidentifiedcopy1->setObjectName(QStringLiteral("Savedeidentifiedcopy1"));
  Savedeidentifiedcopy1->setEnabled(false);
  File1->insertAction(N1, Savedeidentifiedcopy1);
  Checkforidentifyingdata1 = Tools1->addAction(QStringLiteral("Check for identifying data"));
  Checkforidentifyingdata1->setObjectName(QStringLiteral("Checkforidentifyingdata1"));

  connect(File1, &QMenu::aboutToShow, this, &TForm1::UpdateDeidentifyEnabled);
  connect(Savedeidentifiedcopy1, &QAction::triggered, this, &TForm1::Savedeidentifiedcopy1Click);
  connect(Checkforidentifyingdata1, &QAction::triggered, this, &TForm1::Checkforidentifyingdata1Click);
}

void TForm1::Checkforidentifyingdata1Click() {
  // Tools is on only for a valid open file.
  if (!FEdfFile) return;
  const TEDFFile& F = *FEdfFile;
  std::unique_ptr<TProgressSession> Session;
  try {
    Session = std::make_unique<TProgressSession>(
        QStringLiteral("Checking for identifying data"),
        QStringLiteral("The check for identifying data\r\nhas been aborted by the user"));
    const TPrivacyReport Report = AuditPrivacy(F, TPrivacyRequest{}, [&](int64_t Done, int64_t Records) {
      return Session->Step(ProgressPercent(Done, Records));
    });
    Session->End(Report.Cancelled);
    if (Report.Cancelled) return;
    std::vector<std::string> Labels;
    for (int i = 0; i < F.SignalCount(); ++i) Labels.push_back(TrimRight(F.GetSignal(i)->RawHeader()[0]));
    const auto Form = std::make_unique<TFormResults>();
    Form->setWindowTitle(QStringLiteral("Results of the check for identifying data"));
    Form->SetReportLines(PrivacyReportLines(Report, Labels));
    new TLinePicker(*Form->Memo1, [this, &Report](int Line) {
      if (Line >= 1 && static_cast<size_t>(Line) <= Report.Findings.size())
        HighlightFinding(Report.Findings[static_cast<size_t>(Line - 1)]);
    });
    Dialogs().ExecModal(*Form);
  } catch (...) {
    if (Session) Session->End();
    Dialogs().ShowMessage(QStringLiteral("There was an error during the check for identifying data.\r\n\r\n"
                                         "Possible cause is a file read error. Please check for file-locking."),
                          QStringLiteral("Error checking for identifying data"), TMsgIcon::Error);
  }
}

bool TForm1::HighlightFinding(const TFinding& F) {
  if (!FEdfFile) return false;
  const TWhere& W = F.Where;
  const int Ns = FEdfFile->SignalCount();
  QLineEdit* Box = nullptr;
  int64_t FieldStart = F.Offset;
  if (W.Kind == TWhereKind::GeneralHeader && W.Field >= 0 && W.Field < EDFFieldCount) {
    Box = FFileHeaderBoxes[static_cast<size_t>(W.Field)];
    FieldStart = EDFGeneralFieldOffset(W.Field);
  } else if (W.Signal >= 0 && W.Signal < Ns &&
             (W.Kind == TWhereKind::SignalHeader || W.Kind == TWhereKind::Annotation ||
              W.Kind == TWhereKind::DataRecord)) {
    // A place in the records is shown by its signal's label.
    const int Field = W.Kind == TWhereKind::SignalHeader && W.Field >= 0 && W.Field < EDFFieldCount ? W.Field : 0;
    ShowSignalHeader(W.Signal);
    Box = FSignalHeaderBoxes[static_cast<size_t>(Field)];
    FieldStart = W.Kind == TWhereKind::SignalHeader ? EDFSignalFieldOffset(Field, W.Signal, Ns) : -1;
  }
  if (!Box) return false;
  // The bytes found, where the box shows them (right-trimmed); the whole
  // box when the finding has no bytes of its own in it.
  const int64_t Shown = Box->text().size();
  const int64_t Start = FieldStart < 0 || F.Offset < FieldStart ? 0 : std::min(F.Offset - FieldStart, Shown);
  const int64_t Length = FieldStart < 0 || F.Length <= 0 ? Shown - Start : std::min(F.Length, Shown - Start);
  Box->setSelection(static_cast<int>(Start), static_cast<int>(Length));
  return true;
}
