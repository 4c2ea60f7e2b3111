// Start-up: the library units, the application object, the main window, the
// event loop until the main window closes, and the units again in reverse.
#include <QStringList>

#include "app/uMain.h"
#include "edf/uUnits.h"

int main(int argc, char** argv) {
  // The arguments as the user gave them: QApplication removes its own options
  // (-style, -reverse, ...) from argv, and those count as arguments too.
  QStringList Arguments;
  for (int i = 1; i < argc; ++i) Arguments << QString::fromLocal8Bit(argv[i]);
  StartUnits();
  int ExitCode = 0;
  {
    TApplication Application(argc, argv);
    Application.setApplicationName(QStringLiteral("Vellicor"));
    Application.setApplicationVersion(QStringLiteral(VELLICOR_VERSION));
    // Closing the main window ends the program.
    TForm1 Form1(Arguments);
    Form1.show();
    ExitCode = Application.exec();
  }
  StopUnits();
  return ExitCode;
}
