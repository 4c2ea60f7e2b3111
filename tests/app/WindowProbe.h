// What a user sees of the main window, found by component name, and the EDF
// files the window tests open.
#pragma once

#include <string>
#include <vector>

#include <QColor>
#include <QString>

#include "app/uMain.h"
#include "testkit/EdfBytes.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class TBlinkLabel;

// RzEdit1 .. RzEdit20.
QLineEdit* FindBox(QWidget& Form, int Number);
QLabel* FindLabel(QWidget& Form, const char* Name);
QPushButton* FindButton(QWidget& Form, const char* Name);
QGroupBox* FindGroupBox(QWidget& Form, const char* Name);
TBlinkLabel* FindVerdict(QWidget& Form);
bool ToolsEnabled(QWidget& Form);

// The numbers of the boxes in First .. Last whose background is Colour.
std::vector<int> BoxesColoured(QWidget& Form, int First, int Last, const QColor& Colour);

// Shows the window and lets its first idle moment pass.
void ShowAndSettle(QWidget& Form);

// Writes Edf into Folder under Name and gives its path.
QString WriteEdf(const testkit::TempDir& Folder, const std::string& Name,
                 const testkit::EdfBytes& Edf);

// A main window that counts the files it is asked to open and opens them.
class TCountingForm : public TForm1 {
public:
  using TForm1::TForm1;
  void OpenFile(const QString& FileName) override {
    Opened << FileName;
    TForm1::OpenFile(FileName);
  }
  QStringList Opened;
};
