#include "app/uMain.h"

#include "app/uFormDesign.h"

#include <exception>
#include <memory>

#include <QAction>
#include <QIcon>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QPushButton>

#include "app/uAbout.h"
#include "app/uDialogs.h"
#include "app/uFileName.h"
#include "edf/uEDF.h"

QColor ColorWindow() { return QGuiApplication::palette().color(QPalette::Base); }
QColor ColorBtnFace() { return QGuiApplication::palette().color(QPalette::Button); }
QColor ColorWindowText() { return QGuiApplication::palette().color(QPalette::WindowText); }
QColor ColorInactiveCaptionText() { return QGuiApplication::palette().color(QPalette::Window); }

void SetBoxColour(QLineEdit* Box, const QColor& Colour) {
  QPalette Palette = Box->palette();
  Palette.setColor(QPalette::Base, Colour);
  Box->setPalette(Palette);
}

QColor BoxColour(const QLineEdit* Box) { return Box->palette().color(QPalette::Base); }

void SetLabelBackground(QLabel* Label, const QColor& Colour) {
  QPalette Palette = Label->palette();
  Palette.setColor(QPalette::Window, Colour);
  Label->setPalette(Palette);
  Label->setAutoFillBackground(true);
}

QColor LabelBackground(const QLabel* Label) { return Label->palette().color(QPalette::Window); }

TBlinkLabel::TBlinkLabel(QWidget* Parent) : QLabel(Parent), FTextColour(ColorWindowText()) {
  FTimer.setInterval(BlinkIntervalMs);
  connect(&FTimer, &QTimer::timeout, this, [this] {
    FRedPhase = !FRedPhase;
    ShowColour(FRedPhase ? QColor(Qt::red) : FTextColour);
  });
}

void TBlinkLabel::SetBlinking(bool On) {
  if (On == Blinking()) return;
  FRedPhase = false;
  ShowColour(FTextColour);
  if (On)
    FTimer.start();
  else
    FTimer.stop();
}

void TBlinkLabel::SetTextColour(const QColor& Colour) {
  FTextColour = Colour;
  if (!FRedPhase) ShowColour(Colour);
}

QColor TBlinkLabel::ShownColour() const { return palette().color(QPalette::WindowText); }

void TBlinkLabel::ShowColour(const QColor& Colour) {
  QPalette Palette = palette();
  Palette.setColor(QPalette::WindowText, Colour);
  setPalette(Palette);
}

std::optional<QString> CommandLineFile(const QStringList& Arguments) {
  if (Arguments.size() != 1 || !IsExistingFile(Arguments.first())) return std::nullopt;
  return Arguments.first();
}

TForm1::TForm1(QStringList Arguments, QWidget* Parent)
    : QMainWindow(Parent), FArguments(std::move(Arguments)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Vellicor"));
  setWindowIcon(QIcon(ProgramIcon()));
  setFont(DesignFont());
  resize(800, 489);
  setMinimumHeight(489);
  move(243, 258);
  BuildMenus();
  BuildPrivacyMenus();
  BuildPanes();
  setAcceptDrops(true);
  FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() { ClearRemarks(); }

void TForm1::ClearRemarks() {
  RzLabel22->clear();
  SetLabelBackground(RzLabel22, ColorBtnFace());
  RzLabel23->clear();
  RzLabel24->clear();
  RzLabel25->clear();
  SetLabelBackground(RzLabel25, ColorBtnFace());
}

void TForm1::showEvent(QShowEvent* Event) {
  QMainWindow::showEvent(Event);
  // The first idle moment: once the event loop has nothing else to do.
  if (FIdleHooked) QTimer::singleShot(0, this, &TForm1::ApplicationEvents1Idle);
}

void TForm1::ApplicationEvents1Idle() {
  if (!FIdleHooked) return;
  FIdleHooked = false;  // detached first: runs once in the life of the program
  if (const std::optional<QString> FileName = CommandLineFile(FArguments)) OpenFile(*FileName);
}

void TForm1::SetToolsEnabled(bool Enabled) {
  Tools1->setEnabled(Enabled);
  Tools1->menuAction()->setEnabled(Enabled);
}

void TForm1::ClearFileHeaderBoxes(const QColor& Colour) {
  for (QLineEdit* Box : FFileHeaderBoxes) {
    Box->clear();
    SetBoxColour(Box, Colour);
  }
}

void TForm1::ClearSignalHeaderBoxes(const QColor& Colour) {
  for (QLineEdit* Box : FSignalHeaderBoxes) {
    Box->clear();
    SetBoxColour(Box, Colour);
  }
}

void TForm1::OpenFile(const QString& FileName) {
  // The previous file is closed before anything of the next one is read.
  FEdfFile.reset();
  RzLabel21->SetBlinking(false);
  RzLabel21->setText(QStringLiteral("No file selected"));
  RzLabel21->SetTextColour(ColorWindowText());
  RzGroupBox1->setTitle(QStringLiteral("Signal Header"));
  ClearFileHeaderBoxes(ColorWindow());
  ClearSignalHeaderBoxes(ColorInactiveCaptionText());
  // The remarks and the navigation belong to the file just dropped; left
  // alone they would describe a file that is no longer shown.
  ClearRemarks();
  RzButton1->setEnabled(false);
  RzButton2->setEnabled(false);
  setWindowTitle(QStringLiteral("Vellicor"));
  SetToolsEnabled(false);

  if (!IsExistingFile(FileName)) {
    Dialogs().ShowMessage(QStringLiteral("No existing file selected"), QStringLiteral("Open error"),
                          TMsgIcon::Error);
    return;
  }
  OpenFileContinue(FileName);
}

void TForm1::Open1Click() {
  if (const std::optional<QString> FileName = Dialogs().GetOpenFileName(this)) OpenFile(*FileName);
}

void TForm1::Exit1Click() { close(); }

void TForm1::About1Click() {
  // Without owner, freed however the showing ends.
  const auto Form = std::make_unique<TWexaAboutForm>();
  Form->SetProgramName(QStringLiteral("Vellicor"));
  Form->SetDescription(
      QStringLiteral("Program to check EDF files.\n\n--- Red fields indicate an error ---"));
  Form->SetEmail(QStringLiteral("support@vellicor.example"));
  Form->SetWebAddress(QStringLiteral("www.vellicor.example/checker"));
  Dialogs().ExecModal(*Form);
}

TApplication::TApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {}

bool TApplication::notify(QObject* Receiver, QEvent* Event) {
  try {
    return QApplication::notify(Receiver, Event);
  } catch (const std::exception& Error) {
    Dialogs().ShowMessage(QString::fromLocal8Bit(Error.what()), applicationDisplayName(),
                          TMsgIcon::Error);
  } catch (...) {
    Dialogs().ShowMessage(QStringLiteral("Unknown error"), applicationDisplayName(), TMsgIcon::Error);
  }
  return false;
}
