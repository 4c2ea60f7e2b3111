// One file's de-identified copy, start to end: the plan, its lines and its
// audit record, the copy written to OUT and judged again before it takes
// OUT's name. vellicor-anonymize IN OUT is one call; a run over a whole
// archive makes one per file (from any thread: the copy writer writes the
// copies one after the other). IN is only ever read.
//
//   TAnonymizeFileJob Job;
//   Job.In = In; Job.Out = Out; Job.Options = Options;
//   const TAnonymizeFileResult R = AnonymizeFile(Job);
//   R.Status                      0, 1 or 2 as below
//   R.PlanLines, R.OutcomeLine    the text report (no line feeds)
//   R.Json                        the audit record: one JSON object and a line feed
//   R.Error                       what went wrong, for standard error
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "anonymize/AnonymizeOptions.h"
#include "anonymize/AnonymizeReport.h"

// Exit statuses.
inline constexpr int ExitAnonymizeWritten = 0;  // the copy was written, or there was nothing to change
inline constexpr int ExitAnonymizeRefused = 1;  // refused, or the copy was rejected when judged again
inline constexpr int ExitAnonymizeError = 2;    // wrong usage, or a file could not be read or written

enum class TAnonymizeStage { Planning, JudgingCopy };
// Told the data records done in the pass over IN and in the one over the copy.
using TAnonymizeProgress = std::function<void(TAnonymizeStage Stage, int64_t Done, int64_t Total)>;

struct TAnonymizeFileJob {
  std::string In;
  std::string Out;  // may be empty for a dry run
  TAnonymizeOptions Options;
  bool DryRun = false;
  TAnonymizeProgress Progress;  // may be empty
  // Given the plan's lines as soon as the plan is made, before any copy is
  // written; false stops the run there with nothing written (the command
  // prints them here, so a report that cannot be printed writes no copy).
  std::function<bool(const std::vector<std::string>& PlanLines)> OnPlan;
};

struct TAnonymizeFileResult {
  int Status = ExitAnonymizeError;
  TAnonymizeOutcome Outcome = TAnonymizeOutcome::Failed;
  bool Stopped = false;  // OnPlan said stop
  std::vector<std::string> PlanLines;  // empty when IN could not be planned on
  std::string OutcomeLine;             // "" when Failed
  std::string Json;
  std::string Error;  // "" unless Failed or Rejected
};

// The whole work on one file; never raises.
TAnonymizeFileResult AnonymizeFile(const TAnonymizeFileJob& Job);
