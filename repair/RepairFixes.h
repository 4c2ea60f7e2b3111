// What a repair may change: for the findings about one header field, the one
// right new text of the field, or the reason why any new text would be a
// guess. The planner (RepairPlan) applies the texts and has them judged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/Finding.h"
#include "edf/uEDFLayout.h"

// What the judgement of the file says besides the field itself.
struct TRepairContext {
  TEDFFormat Format = TEDFFormat::EDF;
  int64_t FileSize = 0;
  int32_t NrSignals = -1;         // -1 when it cannot be read
  int64_t RecordBytes = -1;       // -1 unless every signal's NrSamples can be read
  int SampleBytes = 2;            // of the record layout: 2 in EDF, 3 in BDF
  std::vector<int64_t> NrSamples;  // each signal's, as RecordBytes counts them
  bool HeaderBytesSound = false;  // HeaderBytes has no fault
  // Some signal's label reads like an annotation label (any letter case,
  // blanks or not, EDF or BDF): the file may be meant as EDF+ or BDF+.
  bool AnnotationLabel = false;
};

// The faults and notes found at one place: a header field (Offset, Width and
// Raw are the field's), or a place without a field (Where.Field -1).
struct TFaultGroup {
  TWhere Where;
  int64_t Offset = -1;
  int Width = 0;
  std::string Raw;
  TFindings Findings;
};

enum class TFixOutcome : uint8_t {
  Change,   // New (and perhaps a dropped tail) is the field's one right repair
  Refuse,   // Reason says why any repair would be a guess
  Defer,    // depends on another field that is not sound yet
  Nothing   // notes only, and nothing to tidy
};

struct TFieldFix {
  TFixOutcome Outcome = TFixOutcome::Nothing;
  std::string New;  // the field at its full width; may equal Raw when only a tail is dropped
  std::string Why;
  std::string Reason;
  int64_t DropFrom = -1;  // the copy ends here: the bytes of a cut data record are left out
  std::string DropWhy;
};

// True for findings a repair may act on: faults (errors, warnings) and the
// notes on a field's shape (a leading blank, trailing control bytes).
bool Actionable(const TFinding& F);

// The repair of one place's findings.
TFieldFix FixField(const TFaultGroup& Group, const TRepairContext& Context);

// True for a label that reads like "EDF Annotations" or "BDF Annotations" in
// any letter case, with or without blanks, '_' or '-', or without the s.
bool AnnotationLikeLabel(const std::string& Label);

// Why a finding is left as found when no fix said more.
std::string RefusalReason(const TFinding& F);
