// vellicor-repair: writes a repaired copy of an EDF file; see RepairCommand.
#include <csignal>

#include "edf/uUnits.h"
#include "util/uFormatSettings.h"
#include "repair/RepairCommand.h"

int main(int argc, char** argv) {
  // Past a file size limit a write then fails and the temporary copy is
  // removed, instead of the signal ending the program with it left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  StartUnits();
  UsePointAsDecimalSeparator();
  const int Status = RunRepairCommand(argc, argv);
  StopUnits();
  return Status;
}
