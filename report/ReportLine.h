// What the summary and the archive page take from one line of
// vellicor-check --json, read as it streams by (no document is built).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "report/Summary.h"

enum class TReportLineKind { File, Summary };

// The checks a line shows to have run, besides the header's.
enum TChecksRun : unsigned {
  crMinMax = 1u << 0,
  crConformance = 1u << 1,
  crQuality = 1u << 2,
  crPrivacy = 1u << 3
};

struct TReportLine {
  TReportLineKind Kind = TReportLineKind::File;
  std::string File;  // as the line writes it (escaped when the name is not UTF-8)
  TFileStatus Status = TFileStatus::Unread;
  std::string Format;  // "" when the header could not be read
  // Findings per rule id: those listed, and those counted beyond them in the
  // totals of a check ("totals": {RULE: {"total", "listed"}}).
  std::map<std::string, int64_t> Rules;
  // The severity each rule's listed findings have in this line (a rule can
  // be reported as an error in one run and as a warning in another).
  std::map<std::string, std::string> Severities;
  int64_t Errors = 0;
  int64_t Warnings = 0;
  unsigned Checks = 0;  // TChecksRun
  // The lowest usable share (0..1) of the signals the quality check judged;
  // negative when it did not run or judged none.
  double LowestUsable = -1;
};

// False when Line is not a JSON object of a file (checked: "file", "valid"
// and "findings"; not read: "file" and "error") or of a summary, or when a
// rule id in it is not one (IsRuleId), a finding has no rule or severity, or
// a total is no whole count; Out is then unspecified.
bool ReadReportLine(std::string_view Line, TReportLine& Out);

// The longest rule id read; the registry's are far shorter.
inline constexpr size_t MaxRuleIdBytes = 100;
// True when Id is written as the registry writes rule ids: words of
// lower-case letters and digits, each starting with a letter, joined by dots,
// two words at least ("edfplus.tal.onset").
bool IsRuleId(std::string_view Id);
