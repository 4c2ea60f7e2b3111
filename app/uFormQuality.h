// The results window of the signal-quality check: the findings and each
// signal's summary in a list (a double-click shows the signal's header in the
// main window), the quality map below it, and File / Save image... to keep
// the map as a PNG picture.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QDialog>
#include <QString>

#include "check/Finding.h"
#include "check/QualityCheck.h"

class QAction;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QScrollArea;
class QSplitter;
class TQualityMap;

class TFormQuality : public QDialog {
  Q_OBJECT

public:
  explicit TFormQuality(QWidget* Owner = nullptr);

  // The pass's report, what the read added (a read that stopped, a size
  // change), the signals' labels as shown, and the file the picture is named
  // after (never written).
  void SetReport(const TQualityReport& Report, const TFindings& ReadFindings, const std::vector<std::string>& Labels,
                 const QString& EdfFileName);

  // Called with the 0-based signal of a list line that is double-clicked.
  std::function<void(int Signal)> OnShowSignal;

  void FindingList1DoubleClick(QListWidgetItem* Item);
  void Saveimage1Click();
  void BtnCloseClick();

  QMenu* File1 = nullptr;
  QAction* Saveimage1 = nullptr;
  QListWidget* FindingList1 = nullptr;
  QScrollArea* MapScroll1 = nullptr;
  TQualityMap* QualityMap1 = nullptr;
  QPushButton* BtnClose = nullptr;

protected:
  void showEvent(QShowEvent* Event) override;

private:
  void AddLine(const std::string& Text, int Signal);

  QWidget* FOwner;
  QSplitter* FSplit = nullptr;
  QString FEdfFileName;
  bool FPlaced = false;
};
