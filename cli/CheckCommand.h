// vellicor-check: the options, the check of one file, and the run over all
// files with ordered output and the exit status.
#pragma once

#include <string>
#include <vector>

#include "check/HeaderJudgement.h"

class TProgress;

// Exit statuses; "cannot read" wins over "invalid".
inline constexpr int ExitAllValid = 0;
inline constexpr int ExitSomeInvalid = 1;
inline constexpr int ExitCannotRead = 2;  // also wrong usage

// Everything checking one file found, ready to be printed in either form.
struct TFileReport {
  std::string Path;
  THeaderJudgement Judgement;        // as far as it got when the open failed
  std::vector<TSignalView> Signals;  // every signal under strict rules
  // The open or the judgement raised an error: the file counts as invalid.
  bool OpenFailed = false;
  std::string OpenError;  // the error's own message
  // The min/max scan ran (asked for and the verdict valid).
  bool MinMaxRun = false;
  std::vector<std::string> MinMaxLines;  // as BuildMinMaxReport gives them
  bool MinMaxFailed = false;             // a data record could not be read
  std::string MinMaxError;               // the error's own message

  bool Valid() const { return !OpenFailed && Judgement.Verdict; }
};

// Opens Path read-only, judges it as the window does and, with MinMax and a
// valid verdict, scans its data records. Never raises: errors are recorded in
// the report. Progress (may be null) shows the scan.
TFileReport CheckFile(const std::string& Path, bool MinMax, TProgress* Progress);

struct TCheckOptions {
  std::vector<std::string> Paths;
  bool Recursive = false;
  bool MinMax = false;
  bool Json = false;
  int Jobs = 1;
};

// Checks every file of Options and prints the reports to standard output in
// argument order, paths that cannot be read to standard error; returns the
// exit status.
int RunChecks(const TCheckOptions& Options);

// The whole command: parses argv (a QCoreApplication must exist) and runs it.
int RunCheckCommand(int argc, char** argv);
