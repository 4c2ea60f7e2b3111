#include "anonymize/AnonymizeBatch.h"

#include <memory>
#include <stdexcept>
#include <vector>

#include "anonymize/AnonymizePlan.h"
#include "anonymize/AnonymizeReport.h"
#include "check/Finding.h"

TBatchPlan PlanAnonymizeBatchFile(const std::string& In, const std::string& Out, const TAnonymizeOptions& Options) {
  auto Planned = std::make_shared<TAnonymizePlan>(PlanAnonymize(In, Options));
  if (!Planned->UnreadableWhy.empty()) throw std::runtime_error(Planned->UnreadableWhy);
  RefuseCopyName(*Planned, Out);
  // The copy's judgement reads the plan: it lives as long as the job.
  const std::shared_ptr<const TAnonymizePlan> Plan = std::move(Planned);

  TBatchPlan B;
  // The plan rests on the annotation texts too: IN must still have the
  // modification time it was planned at.
  B.Job.Source = {Plan->Path, Plan->InputSize, Plan->InputMTimeNs, Plan->InputHead};
  B.JsonKeys = FormatAnonymizeJsonKeys(*Plan);
  const std::vector<std::string> Lines = FormatAnonymizeLines(*Plan);
  // The refusals are the words of the file's own line; the rest goes under it.
  for (size_t i = 1; i < Lines.size(); ++i)
    if (!Lines[i].starts_with("  refuse: ")) B.Details.push_back(Lines[i]);
  if (Plan->Refused()) {
    B.Decision = TBatchDecision::Refused;
    for (const std::string& R : Plan->Refusals) B.Summary += (B.Summary.empty() ? "" : "; ") + R;
    return B;
  }
  if (Plan->NothingToChange()) return B;
  B.Decision = TBatchDecision::Copy;
  // The heading without the file's name: "4 changes, 1 warning".
  B.Summary = Lines.front().substr(DisplayName(Plan->Path).size() + 2);
  B.Job.OutputSize = Plan->OutputSize;
  B.Job.Patches = Plan->Patches;
  B.Job.Verify = [Plan](const std::string& Copy) { return CheckAnonymizedCopy(*Plan, Copy); };
  // A copy that fails its second judgement is this file's refusal, not a
  // path that could not be written.
  B.VerifyRefusalIsRefusal = true;
  return B;
}
