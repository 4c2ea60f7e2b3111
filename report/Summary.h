// The summary of a run over many files: how many files got which verdict,
// and per rule id how many findings in how many files. Built from the
// reports of one run, or from the JSON Lines of many runs (map and reduce).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

enum class TFileStatus { Valid, Invalid, Unread };

class TSummary {
public:
  struct TRuleCount {
    int64_t Findings = 0;
    int64_t Files = 0;
  };

  // One file: its status and, per rule id, how many findings it gave. Every
  // count stops at the largest int64_t instead of wrapping round.
  void Add(TFileStatus Status, const std::map<std::string, int64_t>& Rules);

  int64_t Files() const;
  int64_t Valid() const { return FValid; }
  int64_t Invalid() const { return FInvalid; }
  int64_t Unread() const { return FUnread; }
  const std::map<std::string, TRuleCount>& RuleCounts() const { return FRules; }

private:
  int64_t FValid = 0;
  int64_t FInvalid = 0;
  int64_t FUnread = 0;
  std::map<std::string, TRuleCount> FRules;
};
