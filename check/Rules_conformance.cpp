// The rules of the EDF+ / BDF+ conformance check.
#include <vector>

#include "check/Rules.h"

void AddConformanceRules(std::vector<TRule>& Out) { (void)Out; }
