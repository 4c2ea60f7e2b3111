// The EDF+ / BDF+ conformance check: a second report beside the classic
// header verdict, which it never changes. Two layers:
//   - the header: the EDF+ mark, the annotation signals' fields, the patient
//     and recording subfields, labels and record duration;
//   - the data records, every one and every annotation signal in it: the
//     framing and syntax of each TAL, its texts, the time-keeping TAL of each
//     record, continuity (EDF+C) or order (EDF+D), annotations outside the
//     recording.
// Every fault is reported, none stops the check; per rule the first
// ConformanceListedPerRule findings in file order are kept and the rest only
// counted. The data records are read in one streaming pass, the same block
// scan (ScanRecords) that folds the digital min/max, so both can share it:
//
//   TConformanceCheck Check(F);
//   TMinMaxFold Fold(Check.Layout());         // optional, same pass
//   TRecordVisitor* V[] = {&Check, &Fold};
//   TScanOutcome Outcome;
//   if (Check.WantsRecords()) Outcome = ScanRecords(*F.Stream(), Check.Layout(), V, Progress);
//   TConformanceReport Report = Check.Finish(Outcome);
//
// or, for the check alone, CheckConformance(F, Progress).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "check/Finding.h"
#include "check/RecordScan.h"
#include "edf/uEDFLayout.h"

class TCustomEDFFile;

inline constexpr int64_t ConformanceListedPerRule = 20;

// How many findings one rule gave in all; Listed of them are in the report.
struct TRuleTotal {
  std::string Rule;
  int64_t Total = 0;
  int64_t Listed = 0;
};

// EDF+C (continuous), EDF+D (discontinuous), or no EDF+ mark.
enum class TPlusKind : uint8_t { None, Continuous, Discontinuous };

struct TConformanceReport {
  // In file order (by byte offset; findings without a place last), at most
  // ConformanceListedPerRule of each rule.
  TFindings Findings;
  // Every rule that found something, in registry order, with its total: a
  // face prints "... N findings in all" where Total exceeds Listed.
  std::vector<TRuleTotal> Totals;
  TEDFFormat Format = TEDFFormat::EDF;
  TPlusKind Plus = TPlusKind::None;
  // The data records were read (RecordsScanned of them; fewer than the
  // layout's when the pass was cancelled or a read failed).
  bool RecordsChecked = false;
  int64_t RecordsScanned = 0;
  bool Cancelled = false;

  // All findings of Rule, listed or not.
  int64_t TotalOf(std::string_view Rule) const;
  // All findings, listed or not, of the rules of this severity.
  int64_t CountOf(TSeverity Severity) const;
  // Some finding, listed or not, is an error.
  bool HasErrors() const;
};

// The layout the conformance pass reads: the records as the header announces
// them (a file cut short then ends the pass with a read finding where the
// bytes stop), or the whole records present when the header says -1. False,
// with the reason in WhyNot, when the header does not say where the records
// lie or this build cannot read the format's samples. For a file whose
// classic verdict is valid it is RecordLayoutOf(F).
bool ConformanceLayout(const TCustomEDFFile& F, TRecordLayout& Layout, std::string& WhyNot);

// The header-layer findings alone (no data record is read).
TConformanceReport CheckConformanceHeader(const TCustomEDFFile& F);

// The whole check as a visitor of the block scan. Constructing it judges the
// header layer; OnRecord checks one record; Finish takes the pass's outcome
// and gives the report. Memory stays the same whatever the file's length.
class TConformanceCheck : public TRecordVisitor {
public:
  // F open (headers read, whatever the classic verdict); the layout from
  // ConformanceLayout, or none when the records cannot be read.
  explicit TConformanceCheck(const TCustomEDFFile& F);
  // With a layout of the caller's (its SampleBytes decides the bytes per
  // annotation "sample"): for readers of formats this build cannot lay out.
  TConformanceCheck(const TCustomEDFFile& F, const TRecordLayout& Layout);
  ~TConformanceCheck() override;
  TConformanceCheck(const TConformanceCheck&) = delete;
  TConformanceCheck& operator=(const TConformanceCheck&) = delete;

  // The record layer has something to check (an EDF+ / BDF+ file with an
  // annotation signal) and the records can be laid out: run the pass with
  // Layout(). When the records cannot be laid out, Finish adds a finding
  // that says why; a plain file needs no pass (OnRecord does nothing).
  bool WantsRecords() const;
  const TRecordLayout& Layout() const;

  void OnRecord(int64_t Index, int64_t Position, const uint8_t* Bytes) override;

  // After the pass (a default outcome when none ran): a read that stopped
  // becomes a file.read finding at the record and byte where it stopped, a
  // size change a file.changed finding; annotations after the last record's
  // end are reported now that the end is known. When the min/max fold shared
  // the pass, take the outcome's findings from here only.
  TConformanceReport Finish(const TScanOutcome& Outcome);

  class TState;

private:
  std::unique_ptr<TState> FState;
};

// The whole check on an open file, with one pass over its records. Progress
// is told the records done after each block and may cancel the pass.
TConformanceReport CheckConformance(const TCustomEDFFile& F, const TScanProgress& Progress = {});
