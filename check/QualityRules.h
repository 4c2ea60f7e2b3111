// The rules of the signal-quality pass, by number, so that the pass counts
// findings without looking rule ids up as text. The registry
// (Rules_quality.cpp) lists them with their severities and reasons, in this
// order.
#pragma once

#include <cstddef>

#include "check/Rules.h"

enum class TQualityRule : unsigned char { Flat, Clipped, Constant, Tail, Dead, Count_ };

inline constexpr size_t QualityRuleCount = static_cast<size_t>(TQualityRule::Count_);

// The registry's rule: "quality.flat", its severity and reason.
const TRule& RuleOf(TQualityRule Rule);
