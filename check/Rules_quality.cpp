// The rules of the signal-quality pass: stretches of samples that a reader
// reads correctly but that record nothing. Facts about the samples, never a
// fault of the file: every one is a warning.
#include <array>
#include <vector>

#include "check/QualityRules.h"
#include "check/Rules.h"

namespace {

constexpr TSeverity W = TSeverity::Warning;

using R = TQualityRule;

constexpr std::array<TRuleRow<TQualityRule>, QualityRuleCount> Entries = {{
    {R::Flat, "quality.flat", W,
     "a waveform signal (a voltage sampled at 10 Hz or more, not an event channel) holds one digital value for at "
     "least 10 s (--flat-seconds): an electrode that came off or an input that stopped (a warning: the samples "
     "read correctly but record nothing)"},
    {R::Clipped, "quality.clipped", W,
     "a waveform signal holds at least 3 consecutive samples (--clip-samples) at its DigiMin or at its DigiMax: "
     "the amplifier or converter was driven into its rails and the true values are lost (a warning; not judged "
     "for a signal of two levels or one with samples outside its digital range)"},
    {R::Constant, "quality.constant", W,
     "an ordinary signal holds one value in every sample of the file: an empty or dead channel (a warning)"},
    {R::Tail, "quality.tail", W,
     "the recording ends with at least 1 s (--tail-seconds) in which every waveform signal holds a constant "
     "value: the writer padded the last record, typically with zeros (a warning)"},
    {R::Dead, "quality.dead", W,
     "every waveform signal is constant at the same time for at least 1 s (--dead-seconds) inside the recording: "
     "data lost and filled in (a warning)"},
}};

static_assert(RowsInEnumOrder(Entries), "the quality rules are listed in the order of TQualityRule");

// The samples are as they were recorded: nothing a copy could mend.
const std::vector<TRule>& All() {
  return FamilyRules(Entries, "the samples are left as recorded: a repair mends only the classic header");
}

}  // namespace

const TRule& RuleOf(TQualityRule Rule) { return All()[static_cast<size_t>(Rule)]; }

void AddQualityRules(std::vector<TRule>& Out) { Out.insert(Out.end(), All().begin(), All().end()); }
