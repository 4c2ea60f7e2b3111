#include "WindowProbe.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "app/uMain.h"

namespace {

template <class T>
T* Child(QWidget& Form, const QString& Name) {
  T* Found = Form.findChild<T*>(Name);
  EXPECT_NE(Found, nullptr) << Name.toStdString();
  return Found;
}

}  // namespace

QLineEdit* FindBox(QWidget& Form, int Number) {
  return Child<QLineEdit>(Form, QStringLiteral("RzEdit%1").arg(Number));
}
QLabel* FindLabel(QWidget& Form, const char* Name) {
  return Child<QLabel>(Form, QString::fromLatin1(Name));
}
QPushButton* FindButton(QWidget& Form, const char* Name) {
  return Child<QPushButton>(Form, QString::fromLatin1(Name));
}
QGroupBox* FindGroupBox(QWidget& Form, const char* Name) {
  return Child<QGroupBox>(Form, QString::fromLatin1(Name));
}
TBlinkLabel* FindVerdict(QWidget& Form) { return Child<TBlinkLabel>(Form, QStringLiteral("RzLabel21")); }
bool ToolsEnabled(QWidget& Form) {
  return Child<QMenu>(Form, QStringLiteral("Tools1"))->menuAction()->isEnabled();
}

std::vector<int> BoxesColoured(QWidget& Form, int First, int Last, const QColor& Colour) {
  std::vector<int> Numbers;
  for (int N = First; N <= Last; ++N)
    if (BoxColour(FindBox(Form, N)) == Colour) Numbers.push_back(N);
  return Numbers;
}

void ShowAndSettle(QWidget& Form) {
  Form.show();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
}

QString WriteEdf(const testkit::TempDir& Folder, const std::string& Name,
                 const testkit::EdfBytes& Edf) {
  const std::string Path = Folder.File(Name);
  testkit::WriteFileBytes(Path, Edf.Bytes());
  return QFile::decodeName(Path.c_str());
}
