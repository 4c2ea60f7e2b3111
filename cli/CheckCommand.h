// vellicor-check: the options, and the run over all files with ordered
// output, the summary and the exit status. The checking itself is the
// library's (check/FileCheck); this only formats what it found.
#pragma once

#include <string>
#include <vector>

#include "check/QualityCheck.h"
#include "check/PrivacyTokens.h"
#include "support/OrderedWork.h"

// Exit statuses; "cannot read" wins over "invalid".
inline constexpr int ExitAllValid = 0;
inline constexpr int ExitSomeInvalid = 1;
inline constexpr int ExitCannotRead = 2;  // also wrong usage, and nothing to check

struct TCheckOptions {
  std::vector<std::string> Paths;
  bool Recursive = false;
  bool MinMax = false;
  bool FailOnSamples = false;  // out-of-range samples make the exit status 1
  bool Conformance = false;    // the EDF+ / BDF+ conformance check; its errors make the exit status 1
  bool ConformanceOnly = false;  // judge by conformance alone
  // The signal-quality pass with its thresholds; with FailOnQuality its
  // warnings make the exit status 1.
  bool Quality = false;
  TQualityOptions QualityOptions;
  bool FailOnQuality = false;
  // The privacy audit; the reports then withhold every identifying text.
  bool Privacy = false;
  bool RequireDeidentified = false;  // its findings are errors and make the exit status 1
  TPrivacyTokens PhiWords;           // the user's words and phrases, also looked for
  bool Json = false;
  bool Summary = false;
  std::string Html;  // also write the archive page there (built from each file's JSON line)
  int Jobs = 1;
  // Starts one more worker (see TStartThread). Empty: std::thread. Tests
  // replace it.
  TStartThread StartThread;
};

// Checks every file of Options and prints the reports to standard output in
// argument order, paths that cannot be read to standard error (and, with
// JSON, as a line of their own); returns the exit status.
int RunChecks(const TCheckOptions& Options);

// Reads JSON Lines written by any number of runs and prints the summary one
// run with --summary would have printed over all their files; with Html, also
// writes the archive page of all their files there.
int RunSummarize(const std::vector<std::string>& Files, bool Json, const std::string& Html = "");

// The whole command: parses argv (a QCoreApplication must exist) and runs it.
int RunCheckCommand(int argc, char** argv);
