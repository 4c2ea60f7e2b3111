#include "report/Summary.h"

#include "support/uMath.h"

// Counts saturate: totals read back from many files' lines cannot wrap round
// to a negative count.
void TSummary::Add(TFileStatus Status, const std::map<std::string, int64_t>& Rules) {
  int64_t& Files = Status == TFileStatus::Valid ? FValid : Status == TFileStatus::Invalid ? FInvalid : FUnread;
  Files = SaturatingAdd(Files, 1);
  for (const auto& [Rule, Count] : Rules) {
    if (Count <= 0) continue;
    TRuleCount& C = FRules[Rule];
    C.Findings = SaturatingAdd(C.Findings, Count);
    C.Files = SaturatingAdd(C.Files, 1);
  }
}

int64_t TSummary::Files() const { return SaturatingAdd(SaturatingAdd(FValid, FInvalid), FUnread); }
