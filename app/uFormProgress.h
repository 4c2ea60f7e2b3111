// The progress window of the data record check: a bar with the percentage and
// a Cancel button that only raises a flag; the check reads the flag.
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

class TFormProgress : public QWidget {
  Q_OBJECT

public:
  // Centred on Owner when shown, or on the application's main window when
  // there is no owner.
  explicit TFormProgress(QWidget* Owner = nullptr);

  bool Cancelled() const { return FCancelled; }
  void RzButton1Click();

  QProgressBar* ProgressBar = nullptr;
  QLabel* RzLabel1 = nullptr;
  QPushButton* RzButton1 = nullptr;

protected:
  void showEvent(QShowEvent* Event) override;

private:
  QWidget* FOwner;
  bool FCancelled = false;
};

