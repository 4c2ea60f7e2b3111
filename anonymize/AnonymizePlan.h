// The plan of a de-identified copy (vellicor-anonymize IN OUT): the byte
// patches that turn IN into the copy, each change with its field or
// annotation place, offset, length and reason (never the identifying text),
// and the refusals that keep the copy from being made. The copy writer takes
// the patches as they are: IN's bytes up to OutputSize with every patch in
// place, samples copied without decoding; before the copy gets OUT's name
// it is judged by CheckAnonymizedCopy.
//
//   TAnonymizePlan Plan = PlanAnonymize(In, Options, Progress);
//   if (Plan.Refused()) ... print Plan.Refusals, exit 1
//   ... print Plan.Changes and Plan.Warnings (--dry-run stops here)
//   write the copy: Plan.Path, Plan.InputSize, Plan.InputMTimeNs, Plan.InputHead,
//     Plan.OutputSize, Plan.Patches, verified by
//     [&](const std::string& Tmp) { return CheckAnonymizedCopy(Plan, Tmp); }
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "anonymize/AnonymizeJudge.h"
#include "anonymize/AnonymizeOptions.h"
#include "check/Finding.h"
#include "check/RecordScan.h"
#include "repair/CopyWriter.h"

enum class TAnonymizeChangeKind : uint8_t {
  Field,      // a general-header field rewritten at its full width
  Annotation  // a match in an annotation text overwritten with X bytes
};

struct TAnonymizeChange {
  TAnonymizeChangeKind Kind = TAnonymizeChangeKind::Field;
  TWhere Where;        // the field, or the annotation's record and signal
  std::string Field;   // the field's caption ("Patient", "StartDate"), or "annotation text"
  int64_t Offset = 0;  // absolute byte in the file
  int64_t Length = 0;
  // A field's new text without its trailing blanks: an anonymous form,
  // never the original's. Empty for annotations (Length X bytes).
  std::string New;
  std::string Reason;
};

struct TAnonymizePlan {
  std::string Path;
  TAnonymizeOptions Options;
  // The original as planned on; the copy is only written while it still
  // has this size, modification time and header.
  int64_t InputSize = 0;
  int64_t InputMTimeNs = 0;
  std::string InputHead;
  int64_t OutputSize = 0;                 // the copy's size: the original's
  std::vector<TBytePatch> Patches;        // by offset, none overlapping
  std::vector<TAnonymizeChange> Changes;  // by offset
  std::vector<std::string> Warnings;      // what an option could not keep, what was not searched
  std::vector<std::string> Refusals;      // why no copy is made
  // Why the file could not be read at all (not there, not a regular file,
  // an error reading its first bytes): a fault of the path, not of the
  // recording. Refused() is then true as well. "" when it could be read.
  std::string UnreadableWhy;
  // The original's audit: what is identifying in it, where (no text).
  TPrivacyReport Audit;
  // The privacy rules the copy may still be found to break: the options' choice.
  std::vector<std::string> KeptRules;
  // The original's judgement, which the copy's is held to. Its tokens are
  // identifying text: for the copy's audit, never to be shown.
  TAnonymizeJudgement Original;

  bool Refused() const { return !Refusals.empty(); }
  // The original is already de-identified as asked: the copy equals it.
  bool NothingToChange() const { return Changes.empty(); }
};

// Plans the copy of the file at Path (opened read-only; one pass over its
// records when its annotation texts must be searched). Never raises: a file
// that cannot be read gives a refused plan. Progress is told the records
// done and may cancel, which refuses the plan.
TAnonymizePlan PlanAnonymize(const std::string& Path, const TAnonymizeOptions& Options,
                             const TScanProgress& Progress = {});

// Why OUT must not be the copy's name: "" when its last part holds none of
// the original's identifying tokens nor the user's words, else which kind
// of token and where in the name (never the token).
std::string CheckCopyName(const TAnonymizePlan& Plan, const std::string& OutPath);
// Refuses the plan when CheckCopyName turns OutPath down: the single copy
// and a whole archive's copies refuse in the same words.
void RefuseCopyName(TAnonymizePlan& Plan, const std::string& OutPath);

// Judges the finished copy at CopyPath (under any name) against the plan:
// "" when it has exactly the planned size and header, no classic or
// conformance finding its original had not, and no privacy finding but
// those of the kept rules (its annotation texts searched for the original's
// tokens); else what is wrong, in words that quote no identifying text.
std::string CheckAnonymizedCopy(const TAnonymizePlan& Plan, const std::string& CopyPath,
                                const TScanProgress& Progress = {});
