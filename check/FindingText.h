// A finding as one line of text, the same in the command line's report and
// in the window's results: "  error [rule.id] where, byte N: sentence".
#pragma once

#include <string>
#include <vector>

#include "check/Conformance.h"
#include "check/Finding.h"

// Where a finding is, as a reader names it: "general header",
// "signal 2 (EEG Fpz)", "annotation, data record 4, signal 3 (EDF
// Annotations)", "file". Labels holds the signals' labels as shown
// (right-trimmed), index 0 for signal 1; a missing one prints empty.
std::string WhereText(const TWhere& Where, const std::vector<std::string>& Labels);

// "error [rule.id] where, byte N: sentence", without indent or line feed.
std::string FindingText(const TFinding& F, const std::vector<std::string>& Labels);

// "[rule.id] N findings in all, M listed" for each rule that found more than
// the report lists, in registry order.
std::vector<std::string> RuleTotalLines(const std::vector<TRuleTotal>& Totals);
std::vector<std::string> ConformanceTotalLines(const TConformanceReport& C);

// What the conformance check covered: "EDF+C, 698 data records checked",
// "plain EDF, header only", "BDF+D, cancelled after 12 data records".
std::string ConformanceScope(const TConformanceReport& C);
