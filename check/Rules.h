// The rule registry: every rule a check can report, with its severity, a
// one-line description of what the rule expects and why it is an error, a
// warning or a note, and what the faces decide by rule: how a repair treats
// it and whether it is about the samples. Checks name their rules by type
// (a family's enum, or a header field and its fault), never by text, so a
// renamed or missing rule fails to compile; a finding's severity is decided
// once, and the rules table of docs/rules.md is printed from here
// (vellicor-check --list-rules).
//
// A family of rules is an enum class ending in Count_, declared with
//   const TRule& RuleOf(TXxxRule Rule);
// beside it, and a table of TRuleRow<TXxxRule> in enum order in its own
// Rules_<family>.cpp, which defines RuleOf through FamilyRules and an
// AddXxxRules(std::vector<TRule>&) that BuildRules calls. Findings are made
// with MakeFinding(RuleOf(TXxxRule::Name), ...).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "check/Finding.h"
#include "edf/uEDFHeaderRecord.h"

// How vellicor-repair treats a rule's findings at a header field: the one
// mend that may answer it (which still refuses when the text does not have
// the one right reading), or none.
enum class TRepairWay : uint8_t {
  None,           // never mended: Refusal says why
  LeftJustify,    // blanks before the text are dropped
  BlankTrailing,  // control bytes after the text become blanks
  RecordCount,    // NrDataRecords counted from the file size
  HeaderBytes,    // HeaderBytes computed from NrSignals
  Version,        // "0" followed by junk becomes "0"
  Separators,     // a date or time with other separators gets '.'
  DecimalComma,   // a physical limit with a decimal comma gets '.'
  BlankReserved,  // junk in a plain EDF file's reserved field becomes blanks
  Blank,          // a field that must be blank (an annotation signal's
                  // TransducerType, PhysiDim, PreFilter; a signal's Reserved)
                  // becomes blanks
  StartdateCase,  // the recording field's first word, Startdate in other
                  // letter case, becomes Startdate
  MonthCase,      // an EDF+ date's month in lower case becomes upper case
  BdfMark         // a plain BDF file's blank Reserved becomes 24BIT
};

struct TRule {
  std::string Id;  // short, dotted, stable: "header.startdate.calendar"
  TSeverity Severity = TSeverity::Error;
  std::string Description;
  TRepairWay Repair = TRepairWay::None;
  // Why a repair leaves the finding as found when no mend applies to it.
  std::string Refusal;
  // About the samples' values rather than the header (--fail-on-samples).
  bool Sample = false;
};

// One row of a family's table.
template <class TFamily>
struct TRuleRow {
  TFamily Rule;
  const char* Id;
  TSeverity Severity;
  const char* Description;
  TRepairWay Repair = TRepairWay::None;
  const char* Refusal = nullptr;  // nullptr: the family's own
  bool Sample = false;
};

// Row i of a table names enum value i, so a table can be checked while
// compiling: static_assert(RowsInEnumOrder(Rows)).
template <class TFamily, size_t N>
constexpr bool RowsInEnumOrder(const std::array<TRuleRow<TFamily>, N>& Rows) {
  if (N != static_cast<size_t>(TFamily::Count_)) return false;
  for (size_t i = 0; i < N; ++i)
    if (static_cast<size_t>(Rows[i].Rule) != i) return false;
  return true;
}

// A family's rules, built once from its table, in enum order; Refusal is
// given to the rows that name none.
template <class TFamily, size_t N>
const std::vector<TRule>& FamilyRules(const std::array<TRuleRow<TFamily>, N>& Rows, const char* Refusal) {
  static const std::vector<TRule> Built = [&] {
    std::vector<TRule> Out;
    Out.reserve(N);
    for (const TRuleRow<TFamily>& Row : Rows)
      Out.push_back({Row.Id, Row.Severity, Row.Description, Row.Repair, Row.Refusal ? Row.Refusal : Refusal,
                     Row.Sample});
    return Out;
  }();
  return Built;
}

// The rules of the header judgement and the file check that are not a header
// field's own faults (Rules_classic.cpp).
enum class TClassicRule : unsigned char {
  NrSignalsNone,
  Calibration,
  FieldInvalid,
  RecordSize,
  RecordDuration,
  RecordCap,
  NrDataRecordsUnknown,
  FileSize,
  FileRead,
  FileChanged,
  SamplesDigiMin,
  SamplesDigiMax,
  TextJustified,
  TextPrintable,
  TextSeparators,
  TextNumber,
  Count_
};
const TRule& RuleOf(TClassicRule Rule);

// Every rule, in a stable order (general header, signal headers, layout,
// file, samples, the later checks, then text notes).
const std::vector<TRule>& Rules();
// The rule with this id, or nullptr: for ids read back from a report.
const TRule* FindRule(std::string_view Id);
// The rule of a finding. Every finding is made from a registered rule.
const TRule& RuleOf(const TFinding& Finding);
// The rule of one fault of one header field: "header.<field>.<fault>" or
// "signal.<field>.<fault>"; the fallback rule "field.invalid" when that
// field cannot have that fault by its own rules.
const TRule& FieldRule(bool SignalField, int Field, TEDFFieldFault Fault);

// A finding of Rule, with the rule's severity.
TFinding MakeFinding(const TRule& Rule, const TWhere& Where, int64_t Offset, int64_t Length, std::string Raw,
                     std::string Message);
