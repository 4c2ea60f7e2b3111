// vellicor-anonymize: writes a de-identified copy of an EDF or BDF file; see
// AnonymizeCommand.
#include <csignal>

#include "anonymize/AnonymizeCommand.h"
#include "edf/uUnits.h"

int main(int argc, char** argv) {
  // Past a file size limit a write then fails and the temporary copy is
  // removed, instead of the signal ending the program with it left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  StartUnits();
  const int Status = RunAnonymizeCommand(argc, argv);
  StopUnits();
  return Status;
}
