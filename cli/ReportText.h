// The plain-text forms: one file's report (its verdict line, then one line
// per finding), the summary of a run, and the rule registry.
#pragma once

#include <string>

#include "check/FileCheck.h"

class TSummary;

// The window's verdict on one line: its first line ("File has a valid EDF
// fileheader.", or BDF's), the format's invalid text after a failed open.
std::string VerdictLine(const TFileReport& R);

// One finding: "  error [rule.id] where, byte N: sentence".
std::string FindingLine(const TFileReport& R, const TFinding& F);

// What the privacy audit searched: "header and file name" (plain files, and
// EDF+ files with no annotation text to search or nothing to search for),
// "header, file name and the annotation texts of 3 data records", or that
// the annotation texts were not searched.
std::string PrivacyScope(const TPrivacyReport& P);

// "PATH: verdict", the format ("  format: EDF+") once the header was read,
// then one line per finding, the data block line, the min/max heading
// ("digital min/max: No errors found"), the conformance line and the
// quality summary of each signal that has one. Ends with a line feed.
std::string FormatReportText(const TFileReport& R);

// The summary of a run: the files by verdict, then each rule with its
// findings and files, most findings first.
std::string FormatSummaryText(const TSummary& S);

// The registry as a Markdown table (docs/rules.md carries exactly this).
std::string FormatRulesText();
