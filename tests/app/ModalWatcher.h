// Acts on the modal window that a test is about to open, from inside that
// window's event loop; a window still up after a few seconds is closed and
// the test fails, so that a broken test cannot hang the run.
#pragma once

#include <functional>

#include <QElapsedTimer>
#include <QTimer>

class QWidget;

class TModalWatcher {
public:
  explicit TModalWatcher(std::function<void(QWidget&)> Act);
  bool Acted() const { return FActed; }

private:
  void Poll();

  std::function<void(QWidget&)> FAct;
  bool FActed = false;
  QElapsedTimer FClock;
  QTimer FTimer;
};
