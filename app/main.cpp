// Start-up: the library units, the application object, the main window, the
// event loop until the main window closes, and the units again in reverse.
#include <QStringList>

#include "app/uFileName.h"
#include "app/uMain.h"
#include "edf/uUnits.h"
#include "util/uFormatSettings.h"

int main(int argc, char** argv) {
  // Before QApplication takes its own options out of argv.
  const QStringList Arguments = CommandLineArguments(argc, argv);
  StartUnits();
  UsePointAsDecimalSeparator();
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
