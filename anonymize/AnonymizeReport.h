// The de-identified copy in words: the lines vellicor-anonymize prints and
// its audit record (--json). Both give places, lengths, anonymous forms and
// reasons, never an identifying text: the plan holds none to give.
#pragma once

#include <string>
#include <vector>

#include "anonymize/AnonymizePlan.h"

// What became of a plan.
enum class TAnonymizeOutcome {
  NothingToChange,  // already de-identified as asked: nothing written
  Written,          // the copy was written and judged sound
  Refused,          // the copy cannot be made as asked: nothing written
  DryRun,           // only planned
  Rejected,         // the copy, judged again, was not as it must be: removed
  Failed            // IN could not be read, or OUT not written
};

// "written", "nothing to change", "refused", "dry run", "rejected", "error".
const char* AnonymizeOutcomeName(TAnonymizeOutcome Outcome);

// A heading ("in.edf: 4 changes, 1 warning") and one line per change,
// warning, refusal and kept place, each indented by two blanks:
//   change general header, byte 8: Patient -> X X X X: why
//   change annotation, data record 2, signal 3 (EDF Annotations), byte 3790: what, 5 bytes, overwritten with X
//   warning: --keep-age keeps nothing: ...
//   refuse: a shift of ... days moves the start date out of 1985..2084, ...
//   left [privacy.patient.sex]: the sex subfield, kept by --keep-sex
std::vector<std::string> FormatAnonymizeLines(const TAnonymizePlan& Plan);

// The last line of the text report; Error is the copy's rejection when
// Outcome is Rejected. "" for Failed (that goes to standard error).
std::string AnonymizeOutcomeLine(const TAnonymizePlan& Plan, TAnonymizeOutcome Outcome, const std::string& Out,
                                 const std::string& Error);

// The audit record as one JSON object on one line: the options, what was
// found (rule and count), changed, refused and left, and the outcome. File
// names that are not UTF-8 are given as DisplayName shows them, with
// "fileEscaped" (or "outputEscaped") true, as vellicor-check --json does.
std::string FormatAnonymizeJson(const TAnonymizePlan& Plan, TAnonymizeOutcome Outcome, const std::string& Out,
                                const std::string& Error);
// The plan's own keys of that object ("inputBytes" to "left"), each led by
// a comma: the line of a whole archive's run carries the same record.
std::string FormatAnonymizeJsonKeys(const TAnonymizePlan& Plan);
