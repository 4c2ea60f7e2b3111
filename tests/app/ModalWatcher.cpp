#include "ModalWatcher.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QWidget>

namespace {
constexpr int GiveUpAfterMs = 5000;
}

TModalWatcher::TModalWatcher(std::function<void(QWidget&)> Act) : FAct(std::move(Act)) {
  FClock.start();
  FTimer.setInterval(5);
  QObject::connect(&FTimer, &QTimer::timeout, [this] { Poll(); });
  FTimer.start();
}

void TModalWatcher::Poll() {
  QWidget* Modal = QApplication::activeModalWidget();
  if (Modal && !FActed) {
    FActed = true;
    FAct(*Modal);
    return;
  }
  if (Modal && FClock.elapsed() > GiveUpAfterMs) {
    ADD_FAILURE() << "modal window " << Modal->objectName().toStdString() << " did not close";
    if (auto* Dialog = qobject_cast<QDialog*>(Modal))
      Dialog->done(-1);
    else
      Modal->close();
  }
}
