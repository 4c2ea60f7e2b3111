// The main window: menus, the file header pane on the left, the signal header
// pane on the right, the verdict, and the opening of one file.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QColor>
#include <QLabel>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QTimer>

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QStatusBar;
class TEDFFile;
class TFormProgress;
struct TFieldView;
struct TFinding;
struct THeaderJudgement;
struct TSignalView;

// The two colours that mark faulty fields.
inline constexpr QRgb ErrorColour = qRgb(255, 128, 128);
inline constexpr QRgb WarningColour = qRgb(255, 165, 64);

// The desktop colours the window uses, read from the application palette:
// the field boxes of an open file on Base (the background of text fields),
// remark labels without a remark on Button, the verdict's text in WindowText.
// The empty signal boxes take Window (the dialog face), which keeps an empty
// box visibly apart from a filled one.
QColor ColorWindow();
QColor ColorBtnFace();
QColor ColorWindowText();
QColor ColorInactiveCaptionText();

// Background of an edit box, of an opaque label.
void SetBoxColour(QLineEdit* Box, const QColor& Colour);
QColor BoxColour(const QLineEdit* Box);
void SetLabelBackground(QLabel* Label, const QColor& Colour);
QColor LabelBackground(const QLabel* Label);

// A label whose text colour can alternate with red to draw the eye.
class TBlinkLabel : public QLabel {
  Q_OBJECT

public:
  explicit TBlinkLabel(QWidget* Parent = nullptr);

  void SetBlinking(bool On);
  bool Blinking() const { return FTimer.isActive(); }
  // The colour shown while not blinking, and between the red phases.
  void SetTextColour(const QColor& Colour);
  QColor TextColour() const { return FTextColour; }
  // The colour on show right now.
  QColor ShownColour() const;

  static constexpr int BlinkIntervalMs = 400;

private:
  void ShowColour(const QColor& Colour);

  QTimer FTimer;
  QColor FTextColour;
  bool FRedPhase = false;
};

// The one file named by a command line (program path not counted): exactly
// one argument that names an existing file; anything else gives nothing.
std::optional<QString> CommandLineFile(const QStringList& Arguments);

class TForm1 : public QMainWindow {
  Q_OBJECT

public:
  // Arguments: the command line without the program path; looked at on the
  // first idle moment after the window is shown.
  explicit TForm1(QStringList Arguments, QWidget* Parent = nullptr);
  ~TForm1() override;

  // Opens, shows and checks one file. Virtual so that tests can watch the
  // command-line pick-up and the Open command without opening anything.
  virtual void OpenFile(const QString& FileName);

  void ClearFileHeaderBoxes(const QColor& Colour);
  void ClearSignalHeaderBoxes(const QColor& Colour);

  // The general header pane as judged: texts, tool tips, red boxes.
  void ShowFileHeader(const std::array<TFieldView, 10>& Fields);
  // Signal Index (0-based) of the open file under its current strictness;
  // out of range (or without a file) the pane empties and both buttons go off.
  void ShowSignalHeader(int Index);
  int SignalIndex() const { return FSignalIndex; }

  // The handlers, public so that a test can run them as the user would.
  void FormCreate();
  void ApplicationEvents1Idle();
  void Open1Click();
  // File / Save repaired copy...: the repair plan, the new file's name, the
  // copy written and then opened. The open file is only ever read.
  void Saverepairedcopy1Click();
  // The item is on while the open file has something with one right repair;
  // judged afresh each time the File menu opens.
  void UpdateRepairEnabled();
  // File / Save de-identified copy...: the options asked, the new file's
  // name, the copy written and judged again, what changed shown (never an
  // identifying text), and the copy opened. On while a file is open.
  void Savedeidentifiedcopy1Click();
  void UpdateDeidentifyEnabled();
  void Exit1Click();
  void Checkdigitalminmaxvalues1Click();
  // Tools / Check EDF+ conformance: a second report beside the verdict.
  void CheckEDFconformance1Click();
  // Tools / Check signal quality: the findings and the quality map.
  void Checksignalquality1Click();
  // Tools / Check for identifying data: the privacy audit's findings, each
  // by place, byte and length; a double-click on one selects its bytes in
  // the field's box.
  void Checkforidentifyingdata1Click();
  // Shows the box of F's header field (its signal's pane for a signal
  // field or an annotation) with F's bytes selected; false when F has no
  // place in the boxes (the file name).
  bool HighlightFinding(const TFinding& F);
  void About1Click();
  void RzButton1Click();
  void RzButton2Click();

protected:
  void showEvent(QShowEvent* Event) override;
  // A single local file dropped on the window is opened as File / Open would.
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;

  // Runs once per data record of the min/max check, after the record is
  // loaded: shows Percent, lets the window events through (Cancel among
  // them) and says whether to go on. Virtual so that tests can watch it.
  virtual bool MinMaxRecordLoaded(TFormProgress& Progress, int Percent);
  // The same for each block of records the conformance check reads.
  virtual bool ConformanceBlockRead(TFormProgress& Progress, int Percent);
  // The same for each block of records the signal-quality check reads.
  virtual bool QualityBlockRead(TFormProgress& Progress, int Percent);

private:
  void BuildMenus();
  // The two items of identifying data, in the File and Tools menus.
  void BuildPrivacyMenus();
  void BuildPanes();
  void SetToolsEnabled(bool Enabled);
  void ClearRemarks();
  // The steps of OpenFile from the creation of the file object on.
  void OpenFileContinue(const QString& FileName);
  // Everything the judgement holds so far, whether or not it completed.
  void ShowJudgement(const THeaderJudgement& Judgement);
  void ShowSignalView(const TSignalView& View);
  void ShowMinMaxReport(const std::vector<std::string>& Lines);

  QStringList FArguments;
  bool FIdleHooked = true;
  // The file of the last OpenFile, owned until the next one; none before.
  std::unique_ptr<TEDFFile> FEdfFile;
  // 0-based index of the signal on show.
  int FSignalIndex = 0;

  QMenu* File1 = nullptr;
  QAction* Open1 = nullptr;
  QAction* Saverepairedcopy1 = nullptr;
  QAction* Savedeidentifiedcopy1 = nullptr;
  QAction* N1 = nullptr;
  QAction* Exit1 = nullptr;
  QMenu* Tools1 = nullptr;
  QAction* Checkdigitalminmaxvalues1 = nullptr;
  QAction* CheckEDFconformance1 = nullptr;
  QAction* Checksignalquality1 = nullptr;
  QAction* Checkforidentifyingdata1 = nullptr;
  QMenu* Help1 = nullptr;
  QAction* About1 = nullptr;

  QStatusBar* RzStatusBar1 = nullptr;
  QSplitter* RzSplitter1 = nullptr;
  QGroupBox* RzGroupBox1 = nullptr;  // signal header, right
  QGroupBox* RzGroupBox2 = nullptr;  // file header, left
  // RzEdit1 .. RzEdit10 and RzEdit11 .. RzEdit20, in header order.
  std::array<QLineEdit*, 10> FSignalHeaderBoxes{};
  std::array<QLineEdit*, 10> FFileHeaderBoxes{};
  TBlinkLabel* RzLabel21 = nullptr;
  QLabel* RzLabel22 = nullptr;
  QLabel* RzLabel23 = nullptr;
  QLabel* RzLabel24 = nullptr;
  QLabel* RzLabel25 = nullptr;
  QPushButton* RzButton1 = nullptr;  // Previous
  QPushButton* RzButton2 = nullptr;  // Next
};

// The application object: an error that escapes an event handler is shown in
// a message box instead of ending the program.
class TApplication : public QApplication {
public:
  TApplication(int& Argc, char** Argv);
  bool notify(QObject* Receiver, QEvent* Event) override;
};
