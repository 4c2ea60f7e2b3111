// vellicor-check: checks EDF files from the command line; see CheckCommand.
#include <QCoreApplication>

#include "cli/CheckCommand.h"
#include "edf/uUnits.h"
#include "support/CommandStreams.h"
#include "util/uFormatSettings.h"

int main(int argc, char** argv) {
  if (!GuardStandardStreams("vellicor-check")) return ExitCannotRead;
  QCoreApplication App(argc, argv);
  StartUnits();
  UsePointAsDecimalSeparator();
  const int Status = RunCheckCommand(argc, argv);
  StopUnits();
  return Status;
}
