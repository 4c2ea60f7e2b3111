#include "check/FileCheck.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

#include "check/HeaderFindings.h"
#include "check/MinMaxScan.h"
#include "check/PrivacyMask.h"
#include "check/RecordScan.h"
#include "check/Rules.h"
#include "edf/uEDF.h"
#include "edf/uEDFSignalInfo.h"
#include "util/udStr.h"
#include "support/uSysUtils.h"

namespace {

void RecordError(TFileReport& R, const std::string& Message) {
  R.OpenFailed = true;
  R.OpenError = Message;
  R.Findings = R.Judgement.Findings;
  R.Findings.push_back(ReadFailedFinding(Message));
}

// One pass over the data records for every record-level check asked for.
void CheckData(TEDFFile& F, TFileReport& R, const TCheckRequest& Request, const TCheckProgress& Progress) {
  const bool MinMax = Request.MinMax && R.Valid();
  std::unique_ptr<TConformanceCheck> Conformance;
  if (Request.Conformance) Conformance = std::make_unique<TConformanceCheck>(F);
  const bool ConformanceReads = Conformance && Conformance->WantsRecords();
  std::unique_ptr<TQualityCheck> Quality;
  if (Request.Quality) Quality = std::make_unique<TQualityCheck>(F, Request.QualityOptions);
  const bool QualityReads = Quality && Quality->WantsRecords();
  std::unique_ptr<TPrivacyAudit> Privacy;
  if (Request.Privacy) Privacy = std::make_unique<TPrivacyAudit>(F, TPrivacyRequest{Request.PhiWords});
  const bool PrivacyReads = Privacy && Privacy->WantsRecords();

  TScanOutcome Outcome;
  // The conformance layout is the header's; for a file whose verdict is
  // valid it is the layout the min/max fold expects. The audit lays the
  // records out as the conformance check does; the quality layout lies the
  // same way, with the records the file holds.
  const TRecordLayout Layout = ConformanceReads ? Conformance->Layout()
                               : PrivacyReads   ? Privacy->Layout()
                               : QualityReads   ? Quality->Layout()
                                                : RecordLayoutOf(F);
  TMinMaxFold Fold(Layout);
  // The quality pass meets every sample and gives the extremes on the way.
  const bool FoldInQuality = MinMax && QualityReads;
  if (MinMax || ConformanceReads || QualityReads || PrivacyReads) {
    std::vector<TRecordVisitor*> Visitors;
    if (ConformanceReads) Visitors.push_back(Conformance.get());
    if (PrivacyReads) Visitors.push_back(Privacy.get());
    if (MinMax && !FoldInQuality) Visitors.push_back(&Fold);
    if (QualityReads) Visitors.push_back(Quality.get());
    const auto Told = [&](int64_t Done, int64_t N) {
      if (Progress) Progress(ProgressPercent(Done, N));
      return true;
    };
    Outcome = ScanRecords(*F.Stream(), Layout, Visitors, Told, TScanSource::Map);
  }
  if (Conformance) {
    R.Conformance = Conformance->Finish(Outcome);
    R.ConformanceRun = true;
    // A read that stopped and a size change are among its findings.
    R.Findings.insert(R.Findings.end(), R.Conformance.Findings.begin(), R.Conformance.Findings.end());
  } else {
    const TFindings Found = ScanFindings(Outcome);
    R.Findings.insert(R.Findings.end(), Found.begin(), Found.end());
  }
  R.FileChanged = Outcome.FileChanged();
  // A file judged valid held every record when it was judged; one that did
  // not and ends where the pass stopped lacks them itself.
  R.ReadFault = Outcome.ReadFailed && (R.Valid() || Outcome.FailedOffset < Outcome.SizeAtStart);
  if (Quality) {
    R.Quality = Quality->Finish(Outcome);
    R.QualityRun = true;
    R.Findings.insert(R.Findings.end(), R.Quality.Findings.begin(), R.Quality.Findings.end());
  }
  if (Privacy) {
    R.Privacy = Privacy->Finish(Outcome);
    R.PrivacyRun = true;
    if (Request.RequireDeidentified) RequireDeidentified(R.Privacy.Findings);
    R.Findings.insert(R.Findings.end(), R.Privacy.Findings.begin(), R.Privacy.Findings.end());
  }
  if (!MinMax) return;
  if (Outcome.ReadFailed) {
    R.MinMaxFailed = true;
    R.MinMaxError = Outcome.Error;
    return;
  }
  const TMinMaxResult Extremes = FoldInQuality ? Quality->MinMax() : Fold.Result();
  R.MinMaxLines = BuildMinMaxReport(F, Extremes);
  const TFindings Found = MinMaxFindings(F, Extremes);
  R.Findings.insert(R.Findings.end(), Found.begin(), Found.end());
  R.MinMaxRun = true;
}

// Each field view's Severity: the worst of all the report's findings about
// its field, those of later passes and a conformance-only judgement's
// lowered ones included.
void SetFieldSeverities(TFileReport& R) {
  for (TFieldView& V : R.Judgement.General) V.Severity.reset();
  for (TSignalView& S : R.Signals)
    for (TFieldView& V : S.Fields) V.Severity.reset();
  for (const TFinding& F : R.Findings) {
    const int Field = F.Where.Field;
    if (Field < 0 || Field >= EDFFieldCount) continue;
    TFieldView* V = nullptr;
    if (F.Where.Kind == TWhereKind::GeneralHeader) V = &R.Judgement.General[static_cast<size_t>(Field)];
    // The views are every signal's, in order, when they were asked for.
    if (F.Where.Kind == TWhereKind::SignalHeader && F.Where.Signal >= 0 &&
        static_cast<size_t>(F.Where.Signal) < R.Signals.size())
      V = &R.Signals[static_cast<size_t>(F.Where.Signal)].Fields[static_cast<size_t>(Field)];
    if (V && (!V->Severity || F.Severity < *V->Severity)) V->Severity = F.Severity;
  }
}

TFileOutcome OutcomeOf(const TFileReport& R, const TCheckRequest& Request) {
  if (R.NotRead || R.ReadFault || R.FileChanged) return TFileOutcome::CannotRead;
  // Judged by conformance alone, the classic verdict does not count.
  const bool ClassicFails = !Request.ConformanceOnly && !R.Valid();
  const bool ConformanceFails = R.ConformanceRun && R.Conformance.HasErrors();
  const bool SamplesFail = Request.FailOnSamples && std::any_of(R.Findings.begin(), R.Findings.end(), [](const TFinding& F) {
                             return RuleOf(F).Sample;
                           });
  // Every quality rule that found something has a total, listed or not.
  const bool QualityFails = Request.FailOnQuality && R.QualityRun && !R.Quality.Totals.empty();
  // Made errors by the request, the audit's findings fail the file.
  const bool PrivacyFails = R.PrivacyRun && Request.RequireDeidentified && HasErrors(R.Privacy.Findings);
  return ClassicFails || ConformanceFails || SamplesFail || QualityFails || PrivacyFails ? TFileOutcome::Invalid
                                                                                          : TFileOutcome::Valid;
}

TFileReport Check(const std::string& Path, const TCheckRequest& Request, const TCheckProgress& Progress) {
  TFileReport R;
  R.Path = Path;
  try {
    // Each file gets its own file object, so workers share nothing but the
    // process-wide format settings, which checking only reads.
    TEDFFile F;
    try {
      F.SetFileName(Path);
      JudgeOpenFile(F, R.Judgement, false);
      if (Request.SignalViews) R.Signals = SignalViewsOf(F, R.Judgement.Findings);
      for (int i = 0; i < F.SignalCount(); ++i) R.Labels.push_back(TrimRight(F.GetSignal(i)->RawHeader()[sfSignalLabel]));
      R.Findings = R.Judgement.Findings;
      // Judged by conformance alone, the classic rules' errors are remarks.
      if (Request.ConformanceOnly)
        for (TFinding& Finding : R.Findings)
          if (Finding.Severity == TSeverity::Error) Finding.Severity = TSeverity::Warning;
    } catch (const EFOpenError& e) {
      // Nothing was read, so nothing was judged: the file is not "invalid".
      if (!F.Active()) {
        R.NotRead = true;
        R.ReadError = e.Reason().empty() ? e.what() : e.Reason();
        return R;
      }
      RecordError(R, e.what());
      return R;
    } catch (const std::exception& e) {
      RecordError(R, e.what());
      return R;
    }
    if ((Request.MinMax && R.Valid()) || Request.Conformance || Request.Quality || Request.Privacy)
      CheckData(F, R, Request, Progress);
  } catch (const std::exception& e) {
    RecordError(R, e.what());
  } catch (...) {
    RecordError(R, "unknown error");
  }
  return R;
}

}  // namespace

std::optional<TFinding> FileChangedFinding(int64_t SizeAtStart, int64_t SizeAtEnd) {
  if (SizeAtStart == SizeAtEnd) return std::nullopt;
  return MakeFinding(RuleOf(TClassicRule::FileChanged), TWhere{}, -1, 0, "",
                     "the file changed during the check: " + std::to_string(SizeAtStart) +
                         " bytes at the start, " + std::to_string(SizeAtEnd) + " at the end");
}

TFindings ScanFindings(const TScanOutcome& Outcome) {
  TFindings Out;
  if (Outcome.ReadFailed)
    Out.push_back(MakeFinding(RuleOf(TClassicRule::FileRead),
                              TWhere{TWhereKind::DataRecord, -1, Outcome.FailedRecord, -1}, Outcome.FailedOffset, 0,
                              "", std::string(ReadErrorText) + ": " + Outcome.Error));
  if (auto Changed = FileChangedFinding(Outcome.SizeAtStart, Outcome.SizeAtEnd)) Out.push_back(std::move(*Changed));
  return Out;
}

TFileReport CheckFile(const std::string& Path, const TCheckRequest& Request, const TCheckProgress& Progress) {
  TFileReport R = Check(Path, Request, Progress);
  // Whatever found them, the findings at the identifying places stop
  // quoting them; those of a failed open too.
  if (Request.Privacy) {
    R.WithholdIdentifying = true;
    for (TFinding& F : R.Findings) F = WithoutIdentifyingText(F);
  }
  SetFieldSeverities(R);
  R.Outcome = OutcomeOf(R, Request);
  return R;
}
