// The rule registry: every rule id a check can report, with its severity and
// a one-line description of what the rule expects and why it is an error,
// a warning or a note. Checks look their rules up here, so a finding's
// severity is decided once, and the rules table of docs/rules.md is printed from it
// (vellicor-check --list-rules).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "check/Finding.h"
#include "edf/uEDFHeaderRecord.h"

struct TRule {
  std::string Id;  // short, dotted, stable: "header.startdate.calendar"
  TSeverity Severity = TSeverity::Error;
  std::string Description;
};

// Every rule, in a stable order (general header, signal headers, layout,
// data, text notes, then the later checks).
const std::vector<TRule>& Rules();
// The rule with this id, or nullptr.
const TRule* FindRule(std::string_view Id);
// The rule of one fault of one header field: "header.<field>.<fault>" or
// "signal.<field>.<fault>"; the fallback rule "field.invalid" when that
// field cannot have that fault by its own rules.
const TRule& FieldRule(bool SignalField, int Field, TEDFFieldFault Fault);
// The rule with this id; an id missing from the registry is a programming
// mistake and fails an assertion.
const TRule& RuleById(std::string_view Id);

// A finding of rule Id: the severity comes from the registry.
TFinding MakeFinding(std::string_view Id, const TWhere& Where, int64_t Offset, int64_t Length,
                     std::string Raw, std::string Message);
