// The options of File / Save de-identified copy...: what the copy may keep
// (sex, age, equipment), how its dates change, whether its start time is
// cleared, and a file of further words to overwrite. Shown through the
// dialog seam, so tests set it and answer it.
#pragma once

#include <QDialog>
#include <QString>

#include "anonymize/AnonymizeOptions.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

class TFormDeidentify : public QDialog {
  Q_OBJECT

public:
  // Centred on the application's main window when shown.
  explicit TFormDeidentify(QWidget* Owner = nullptr);

  // The options as set; the word list is left to the caller, by its file.
  TAnonymizeOptions Options() const;
  // The file of words and phrases; "" for none.
  QString PhiWordsFile() const;

  // Browse...: the word list chosen through the file-open dialog.
  void BtnPhiWordsClick();

  QCheckBox* CheckKeepSex = nullptr;
  QCheckBox* CheckKeepAge = nullptr;
  QCheckBox* CheckKeepEquipment = nullptr;
  QCheckBox* CheckShiftDays = nullptr;
  QSpinBox* SpinShiftDays = nullptr;  // on with CheckShiftDays
  QCheckBox* CheckClearTime = nullptr;
  QLineEdit* EditPhiWords = nullptr;
  QPushButton* BtnPhiWords = nullptr;
  QPushButton* BtnOK = nullptr;
  QPushButton* BtnCancel = nullptr;

protected:
  void showEvent(QShowEvent* Event) override;

private:
  QWidget* FOwner;
};
