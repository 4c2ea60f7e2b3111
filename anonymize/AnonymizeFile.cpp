#include "anonymize/AnonymizeFile.h"

#include <exception>

#include "anonymize/AnonymizePlan.h"
#include "check/Finding.h"
#include "repair/CopyWriter.h"

namespace {

TScanProgress ScanProgress(const TAnonymizeFileJob& Job, TAnonymizeStage Stage) {
  if (!Job.Progress) return {};
  return [&Job, Stage](int64_t Done, int64_t Total) {
    Job.Progress(Stage, Done, Total);
    return true;
  };
}

int StatusOf(TAnonymizeOutcome Outcome, const TAnonymizePlan& Plan) {
  switch (Outcome) {
    case TAnonymizeOutcome::NothingToChange:
    case TAnonymizeOutcome::Written: return ExitAnonymizeWritten;
    case TAnonymizeOutcome::DryRun: return Plan.Refused() ? ExitAnonymizeRefused : ExitAnonymizeWritten;
    case TAnonymizeOutcome::Refused:
    case TAnonymizeOutcome::Rejected: return ExitAnonymizeRefused;
    case TAnonymizeOutcome::Failed: break;
  }
  return ExitAnonymizeError;
}

}  // namespace

TAnonymizeFileResult AnonymizeFile(const TAnonymizeFileJob& Job) {
  TAnonymizeFileResult R;
  TAnonymizePlan Plan;
  Plan.Path = Job.In;
  Plan.Options = Job.Options;
  const auto Finish = [&](TAnonymizeOutcome Outcome, const std::string& Error) {
    R.Outcome = Outcome;
    R.Status = StatusOf(Outcome, Plan);
    R.Error = Error;
    R.OutcomeLine = AnonymizeOutcomeLine(Plan, Outcome, Job.Out, Error);
    R.Json = FormatAnonymizeJson(Plan, Outcome, Job.Out, Error);
    return R;
  };

  // Checked before anything is read: the original is never a copy's target.
  if (!Job.Out.empty() && SameFile(Job.In, Job.Out))
    return Finish(TAnonymizeOutcome::Failed,
                  "OUT '" + DisplayName(Job.Out) + "' is IN itself: the de-identified copy must be a new file");
  // A dry run writes nothing, so any OUT (even /dev/null) will do.
  if (!Job.DryRun) {
    try {
      CheckCopyTarget(Job.In, Job.Out);
    } catch (const ECopyWrite& e) {
      return Finish(TAnonymizeOutcome::Failed, e.what());
    }
  }

  Plan = PlanAnonymize(Job.In, Job.Options, ScanProgress(Job, TAnonymizeStage::Planning));
  if (!Plan.UnreadableWhy.empty())
    return Finish(TAnonymizeOutcome::Failed, "cannot de-identify '" + DisplayName(Job.In) + "': " + Plan.Refusals.front());
  // A name that names the person would carry the identifying data along
  // with the copy.
  if (!Job.Out.empty()) RefuseCopyName(Plan, Job.Out);

  R.PlanLines = FormatAnonymizeLines(Plan);
  if (Job.OnPlan && !Job.OnPlan(R.PlanLines)) {
    R.Stopped = true;
    return R;
  }
  if (!Plan.Refused() && Plan.NothingToChange()) return Finish(TAnonymizeOutcome::NothingToChange, "");
  if (Job.DryRun) return Finish(TAnonymizeOutcome::DryRun, "");
  if (Plan.Refused()) return Finish(TAnonymizeOutcome::Refused, "");

  TCopyJob Copy;
  // The plan rests on the annotation texts too: IN must still have the
  // modification time it was planned at.
  Copy.Source = {Plan.Path, Plan.InputSize, Plan.InputMTimeNs, Plan.InputHead};
  Copy.OutputSize = Plan.OutputSize;
  Copy.Patches = Plan.Patches;
  std::string Rejection;
  const TScanProgress Judging = ScanProgress(Job, TAnonymizeStage::JudgingCopy);
  Copy.Verify = [&](const std::string& Path) { return Rejection = CheckAnonymizedCopy(Plan, Path, Judging); };
  try {
    WriteCopy(Copy, Job.Out);
  } catch (const std::exception& e) {
    if (Rejection.empty()) return Finish(TAnonymizeOutcome::Failed, e.what());
    Finish(TAnonymizeOutcome::Rejected, Rejection);
    R.Error = e.what();
    return R;
  }
  return Finish(TAnonymizeOutcome::Written, "");
}
