// The About window: program name, description, version and legal notice of
// this build, an e-mail link, a web link behind the icon and a picture.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QPixmap>
#include <QString>

class QLabel;
class QPushButton;

class TWexaAboutForm : public QDialog {
  Q_OBJECT

public:
  explicit TWexaAboutForm(QWidget* Parent = nullptr);

  void SetProgramName(const QString& Name);
  void SetDescription(const QString& Text);
  void SetEmail(const QString& Address);
  void SetWebAddress(const QString& Address);

  QString ProgramName() const { return FProgramName; }
  QString Description() const { return FDescription; }
  QString EmailTarget() const { return FEmailTarget; }
  QString WebTarget() const { return FWebTarget; }

private:
  void BuildLayout();
  void Image2Click();
  void RzURLLabel1Click();

  QString FProgramName;
  QString FDescription;
  QString FEmailTarget;
  QString FWebTarget;

  QLabel* Image2 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* RzLabel3 = nullptr;
  QLabel* RzURLLabel1 = nullptr;
  QLabel* Image1 = nullptr;
  QPushButton* Button1 = nullptr;
};

// The JPEG bytes of the About picture, as stored with the program.
QByteArray AboutPictureData();

// The program icon (32 x 32, 16 colours), also the main window's icon.
QPixmap ProgramIcon();
