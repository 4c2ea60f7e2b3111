#include "report/Summary.h"

void TSummary::Add(TFileStatus Status, const std::map<std::string, int64_t>& Rules) {
  switch (Status) {
    case TFileStatus::Valid: ++FValid; break;
    case TFileStatus::Invalid: ++FInvalid; break;
    case TFileStatus::Unread: ++FUnread; break;
  }
  for (const auto& [Rule, Count] : Rules) {
    if (Count <= 0) continue;
    TRuleCount& C = FRules[Rule];
    C.Findings += Count;
    ++C.Files;
  }
}
