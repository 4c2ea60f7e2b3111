// Inside the conformance check: the counting sink that keeps the first
// findings of each rule, what the header layer learns for the record layer,
// and the two layers' entry points.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "check/Conformance.h"
#include "check/ConformanceRules.h"
#include "check/Tal.h"

// Findings as they are met, the first ConformanceListedPerRule of each rule
// kept, every one counted. Checks ask Listing first, so a finding beyond
// the limit costs a counter and no text.
class TConformanceSink {
public:
  // Counts one finding of Rule; true when it is to be listed (then Add it).
  bool Listing(TConformanceRule Rule) {
    return ++FCounts[static_cast<size_t>(Rule)] <= ConformanceListedPerRule;
  }
  // Counts findings that are never listed.
  void CountOnly(TConformanceRule Rule, int64_t N) { FCounts[static_cast<size_t>(Rule)] += N; }
  void Add(TConformanceRule Rule, const TWhere& Where, int64_t Offset, int64_t Length, std::string Raw,
           std::string Message);
  // A finding of a rule outside the conformance set (file.read, file.changed).
  void AddOther(TFinding Finding) { FOther.push_back(std::move(Finding)); }
  // The findings sorted into file order, with the totals per rule.
  void Fill(TConformanceReport& Report) const;

private:
  std::array<int64_t, ConformanceRuleCount> FCounts{};
  TFindings FListed;
  TFindings FOther;
};

// What the header says that the record layer needs.
struct TConformanceContext {
  TEDFFormat Format = TEDFFormat::EDF;
  TPlusKind Plus = TPlusKind::None;
  std::vector<int> Annotations;  // signals labelled exactly "EDF Annotations" / "BDF Annotations"
  bool DurationKnown = false;    // SampleRecDuration read as an exact decimal
  TExactTime Duration;
  // A record start off by less than this (seconds) is rounding noise: a
  // thousandth of the shortest sample period.
  long double NoiseBelow = 0;
  long double SamplePeriod = 0;  // of the fastest ordinary signal; the record duration when none
};

// The header layer: findings into Sink, the context for the records.
void JudgeConformanceHeader(const TCustomEDFFile& F, TConformanceSink& Sink, TConformanceContext& Context);

// A quoted, escaped excerpt for a sentence: "\"+1,5\""; "..." inside the
// quotes where bytes of the text were left out before or after it.
std::string QuoteExcerpt(const std::string& Bytes, bool CutBefore = false, bool CutAfter = false);
