// The JSON Lines forms: one compact object per file, a line for a path that
// cannot be read, the summary object and the rule registry. The schema is
// described in docs/output.md.
#pragma once

#include <string>
#include <string_view>

#include "check/FileCheck.h"
#include "cli/Summary.h"

// One object followed by a line feed. Header texts are 8-bit bytes; each
// byte becomes the character of the same code (Latin-1), so a reader
// recovers the exact bytes.
std::string FormatReportJson(const TFileReport& R);
// {"file": PATH, "error": REASON} for a path that was not checked.
std::string FormatUnreadJson(const std::string& Path, const std::string& Error);
// {"summary": {...}}.
std::string FormatSummaryJson(const TSummary& S);
// One object per rule: {"rule", "severity", "description"}.
std::string FormatRulesJson();

// Adds the file of one JSON line written by FormatReportJson or
// FormatUnreadJson to S; a summary line is skipped. False when the line is
// no such object.
bool AddJsonLineToSummary(std::string_view Line, TSummary& S);
