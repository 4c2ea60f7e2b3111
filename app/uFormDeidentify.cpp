#include "app/uFormDeidentify.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app/uDialogs.h"
#include "app/uFormDesign.h"

namespace {

// A shift must keep the day inside 1985..2084, which spans 36524 days; the
// planner refuses one that would leave it.
constexpr int MaxShiftDays = 36524;

QCheckBox* Check(QWidget* Parent, const char* Name, const QString& Text) {
  auto* Box = new QCheckBox(Text, Parent);
  Box->setObjectName(QString::fromLatin1(Name));
  return Box;
}

}  // namespace

TFormDeidentify::TFormDeidentify(QWidget* Owner) : QDialog(Owner), FOwner(Owner) {
  setObjectName(QStringLiteral("FormDeidentify"));
  setWindowTitle(QStringLiteral("Save de-identified copy"));
  setFont(DesignFont());

  auto* Intro = new QLabel(
      QStringLiteral("The copy gets X for the patient's code, sex, birthdate and name, for the administration "
                     "code, the technician and the equipment, the day 01.01.85, and X over every part of the name "
                     "and every code in the annotation texts. The open file is not changed."),
      this);
  Intro->setObjectName(QStringLiteral("LabelIntro"));
  Intro->setWordWrap(true);

  CheckKeepSex = Check(this, "CheckKeepSex", QStringLiteral("Keep the sex"));
  CheckKeepAge = Check(this, "CheckKeepAge", QStringLiteral("Keep the age in whole years"));
  CheckKeepEquipment = Check(this, "CheckKeepEquipment", QStringLiteral("Keep the equipment"));
  CheckShiftDays = Check(this, "CheckShiftDays", QStringLiteral("Move the dates back by"));
  SpinShiftDays = new QSpinBox(this);
  SpinShiftDays->setObjectName(QStringLiteral("SpinShiftDays"));
  SpinShiftDays->setRange(1, MaxShiftDays);
  SpinShiftDays->setValue(365);
  SpinShiftDays->setEnabled(false);
  auto* DaysLabel = new QLabel(QStringLiteral("days, keeping the spacing of one person's files"), this);
  connect(CheckShiftDays, &QCheckBox::toggled, SpinShiftDays, &QSpinBox::setEnabled);
  CheckClearTime = Check(this, "CheckClearTime", QStringLiteral("Set the start time to 00.00.00"));

  auto* WordsLabel =
      new QLabel(QStringLiteral("Further words and phrases to overwrite (a file, UTF-8, one a line):"), this);
  EditPhiWords = new QLineEdit(this);
  EditPhiWords->setObjectName(QStringLiteral("EditPhiWords"));
  WordsLabel->setBuddy(EditPhiWords);
  BtnPhiWords = new QPushButton(QStringLiteral("Browse..."), this);
  BtnPhiWords->setObjectName(QStringLiteral("BtnPhiWords"));
  BtnPhiWords->setAutoDefault(false);
  connect(BtnPhiWords, &QPushButton::clicked, this, &TFormDeidentify::BtnPhiWordsClick);

  BtnOK = new QPushButton(QStringLiteral("OK"), this);
  BtnOK->setObjectName(QStringLiteral("BtnOK"));
  BtnOK->setDefault(true);
  BtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
  connect(BtnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* Shift = new QHBoxLayout;
  Shift->addWidget(CheckShiftDays);
  Shift->addWidget(SpinShiftDays);
  Shift->addWidget(DaysLabel, 1);
  auto* Words = new QHBoxLayout;
  Words->addWidget(EditPhiWords, 1);
  Words->addWidget(BtnPhiWords);
  auto* Buttons = new QHBoxLayout;
  Buttons->addStretch();
  Buttons->addWidget(BtnOK);
  Buttons->addWidget(BtnCancel);
  auto* Layout = new QVBoxLayout(this);
  Layout->addWidget(Intro);
  Layout->addWidget(CheckKeepSex);
  Layout->addWidget(CheckKeepAge);
  Layout->addWidget(CheckKeepEquipment);
  Layout->addLayout(Shift);
  Layout->addWidget(CheckClearTime);
  Layout->addWidget(WordsLabel);
  Layout->addLayout(Words);
  Layout->addStretch();
  Layout->addLayout(Buttons);
  resize(480, 300);
}

TAnonymizeOptions TFormDeidentify::Options() const {
  TAnonymizeOptions O;
  O.KeepSex = CheckKeepSex->isChecked();
  O.KeepAge = CheckKeepAge->isChecked();
  O.KeepEquipment = CheckKeepEquipment->isChecked();
  if (CheckShiftDays->isChecked()) O.ShiftDays = SpinShiftDays->value();
  O.ClearTime = CheckClearTime->isChecked();
  return O;
}

QString TFormDeidentify::PhiWordsFile() const { return EditPhiWords->text(); }

void TFormDeidentify::BtnPhiWordsClick() {
  if (const std::optional<QString> File = Dialogs().GetOpenFileName(this)) EditPhiWords->setText(*File);
}

void TFormDeidentify::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  CentreOnOwner(*this, FOwner);
}
