#include "app/uFormDesign.h"

#include <QApplication>
#include <QMainWindow>
#include <QScreen>
#include <QWidget>

QFont DesignFont() {
  QFont Font(QStringLiteral("MS Sans Serif"));
  Font.setStyleHint(QFont::SansSerif);
  Font.setPixelSize(13);
  return Font;
}

namespace {

const QWidget* ApplicationMainWindow() {
  for (const QWidget* Window : QApplication::topLevelWidgets())
    if (qobject_cast<const QMainWindow*>(Window) && Window->isVisible()) return Window;
  return nullptr;
}

}  // namespace

void CentreOnOwner(QWidget& Window, const QWidget* Owner) {
  const QWidget* Centre = Owner ? Owner->window() : ApplicationMainWindow();
  QRect Area;
  if (Centre)
    Area = Centre->frameGeometry();
  else if (const QScreen* Screen = QGuiApplication::primaryScreen())
    Area = Screen->availableGeometry();
  else
    return;
  QRect Frame = Window.frameGeometry();
  Frame.moveCenter(Area.center());
  Window.move(Frame.topLeft());
}

