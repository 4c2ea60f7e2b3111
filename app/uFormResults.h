// The results window of the data record check: the report in a scrollable
// text box and a Close button kept centred under it.
#pragma once

#include <string>
#include <vector>

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

class TFormResults : public QDialog {
  Q_OBJECT

public:
  // Centred on the application's main window when shown.
  explicit TFormResults(QWidget* Owner = nullptr);

  // Replaces the text by the report, one line each; a line that itself ends
  // in "\r\n" is followed by an empty line.
  void SetReportLines(const std::vector<std::string>& Lines);

  void FormResize();
  void BtnCloseClick();

  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* BtnClose = nullptr;

protected:
  void resizeEvent(QResizeEvent* Event) override;
  void showEvent(QShowEvent* Event) override;

private:
  QWidget* FOwner;
  bool FPlaced = false;
};
