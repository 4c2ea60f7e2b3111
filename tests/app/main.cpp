// The GUI tests run inside one QApplication, on the offscreen platform unless
// the caller chose another one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>

#include "DialogRecorder.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication Application(argc, argv);
  // Nothing in a test may wait for a person: a dialog that no test expects
  // fails the test instead of blocking the run.
  TDialogRecorder Guard(TDialogRecorder::FailOnUse);
  return RUN_ALL_TESTS();
}
