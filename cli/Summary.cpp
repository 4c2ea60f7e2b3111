#include "cli/Summary.h"

#include <set>

void TSummary::Add(TFileStatus Status, const std::vector<std::string>& Rules) {
  switch (Status) {
    case TFileStatus::Valid: ++FValid; break;
    case TFileStatus::Invalid: ++FInvalid; break;
    case TFileStatus::Unread: ++FUnread; break;
  }
  std::set<std::string> Seen;
  for (const std::string& Rule : Rules) {
    TRuleCount& C = FRules[Rule];
    ++C.Findings;
    if (Seen.insert(Rule).second) ++C.Files;
  }
}
