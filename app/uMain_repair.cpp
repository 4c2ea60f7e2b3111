// File / Save repaired copy...: the repair plan of the open file, shown
// before anything is written; the copy under a new name; then the copy
// opened, so that its verdict is on show. The open file is never written.
#include <exception>
#include <optional>
#include <string>

#include <QApplication>
#include <QBoxLayout>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>

#include "app/uDialogs.h"
#include "app/uFormDesign.h"
#include "app/uMain.h"
#include "app/uQtText.h"
#include "edf/uEDF.h"
#include "repair/RepairCopy.h"
#include "repair/RepairPlan.h"
#include "repair/RepairReport.h"

namespace {

const QString RepairCaption = QStringLiteral("Save repaired copy");
const QString RepairErrorCaption = QStringLiteral("Repair error");

// The plan in a modal window: what the copy gets, what stays as found, and
// the choice to go on to the new file's name or to stop here.
class TFormRepairPlan : public QDialog {
public:
  explicit TFormRepairPlan(const TRepairPlan& Plan) {
    setObjectName(QStringLiteral("FormRepairPlan"));
    setWindowTitle(QStringLiteral("Repair plan"));
    setFont(DesignFont());
    setSizeGripEnabled(true);

    auto* Summary = new QLabel(this);
    Summary->setObjectName(QStringLiteral("LabelSummary"));
    Summary->setWordWrap(true);
    Summary->setText(SummaryText(Plan));

    auto* Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    QStringList Lines;
    for (const std::string& Line : FormatPlanLines(Plan)) Lines << Latin1Text(Line);
    Memo1->setPlainText(Lines.join(QLatin1Char('\n')));

    auto* BtnSave = new QPushButton(QStringLiteral("Save copy..."), this);
    BtnSave->setObjectName(QStringLiteral("BtnSave"));
    BtnSave->setDefault(true);
    auto* BtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
    connect(BtnSave, &QPushButton::clicked, this, &QDialog::accept);
    connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(BtnSave);
    Buttons->addWidget(BtnCancel);
    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(Summary);
    Layout->addWidget(Memo1, 1);
    Layout->addLayout(Buttons);
    resize(640, 320);
  }

  void showEvent(QShowEvent* Event) override {
    QDialog::showEvent(Event);
    CentreOnOwner(*this, nullptr);
  }

private:
  static QString SummaryText(const TRepairPlan& Plan) {
    const auto Count = [](size_t N, const char* One, const char* Many) {
      return QString::number(N) + QLatin1Char(' ') + QString::fromLatin1(N == 1 ? One : Many);
    };
    QString Text = QStringLiteral("The copy gets ") + Count(Plan.Changes.size(), "change", "changes") +
                   QStringLiteral(", each with one right answer. ");
    if (Plan.Complete())
      Text += QStringLiteral("No fault is left.");
    else
      Text += Count(Plan.Refusals.size(), "fault stays", "faults stay") +
              QStringLiteral(" as found: any repair of it would be a guess.");
    return Text + QStringLiteral(" The open file is not changed.");
  }
};

// Beside the original: "night.edf" gives "night-repaired.edf".
QString SuggestedName(const QString& Original) {
  const QFileInfo Info(Original);
  const QString Suffix = Info.suffix().isEmpty() ? QString() : QLatin1Char('.') + Info.suffix();
  return Info.dir().filePath(Info.completeBaseName() + QStringLiteral("-repaired") + Suffix);
}

}  // namespace

void TForm1::UpdateRepairEnabled() {
  bool Enabled = false;
  if (FEdfFile && !FEdfFile->FileName().empty()) {
    try {
      Enabled = !PlanRepair(FEdfFile->FileName()).Changes.empty();
    } catch (const std::exception&) {
      // A file that cannot be read has nothing to repair from.
    }
  }
  Saverepairedcopy1->setEnabled(Enabled);
}

void TForm1::Saverepairedcopy1Click() {
  if (!FEdfFile || FEdfFile->FileName().empty()) return;
  // Planned afresh: the file may have changed since the menu was opened.
  const std::string Original = FEdfFile->FileName();
  TRepairPlan Plan;
  try {
    Plan = PlanRepair(Original);
  } catch (const std::exception& e) {
    Dialogs().ShowMessage(QStringLiteral("The file could not be read:\n") + QString::fromLocal8Bit(e.what()),
                          RepairErrorCaption, TMsgIcon::Error);
    return;
  }
  if (Plan.Changes.empty()) {
    Dialogs().ShowMessage(QStringLiteral("Nothing in this file has one right repair."), RepairCaption,
                          TMsgIcon::Information);
    return;
  }
  {
    TFormRepairPlan Form(Plan);
    if (Dialogs().ExecModal(Form) != QDialog::Accepted) return;
  }
  const QString OriginalName = QFile::decodeName(Original.c_str());
  const std::optional<QString> Name = Dialogs().GetSaveFileName(this, RepairCaption, SuggestedName(OriginalName));
  if (!Name) return;

  try {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    WriteRepairedCopy(Plan, QFile::encodeName(*Name).toStdString());
    QApplication::restoreOverrideCursor();
  } catch (const ERepairSameFile&) {
    QApplication::restoreOverrideCursor();
    Dialogs().ShowMessage(QStringLiteral("The repaired copy must be a new file: the open file is never written."),
                          RepairErrorCaption, TMsgIcon::Warning);
    return;
  } catch (const std::exception& e) {
    QApplication::restoreOverrideCursor();
    Dialogs().ShowMessage(QStringLiteral("The repaired copy could not be written:\n") +
                              QString::fromLocal8Bit(e.what()),
                          RepairErrorCaption, TMsgIcon::Error);
    return;
  }
  OpenFile(*Name);
}
