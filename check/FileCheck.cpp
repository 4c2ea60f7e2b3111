#include "check/FileCheck.h"

#include <exception>

#include "check/HeaderFindings.h"
#include "check/MinMaxScan.h"
#include "check/RecordScan.h"
#include "check/Rules.h"
#include "edf/uEDF.h"
#include "support/uSysUtils.h"

namespace {

void RecordError(TFileReport& R, const std::string& Message) {
  R.OpenFailed = true;
  R.OpenError = Message;
  // Whatever the judgement had shown before the error stays visible, as in
  // the window.
  if (R.Judgement.Signal.InRange) R.Signals = {R.Judgement.Signal};
  R.Findings = R.Judgement.Findings;
  R.Findings.push_back(ReadFailedFinding(Message));
}

// One pass over the data records for every record-level check asked for.
void ScanData(TEDFFile& F, TFileReport& R, const TCheckProgress& Progress) {
  const TRecordLayout Layout = RecordLayoutOf(F);
  TMinMaxFold Fold(Layout);
  TRecordVisitor* Visitors[] = {&Fold};
  const TScanOutcome Outcome = ScanRecords(*F.Stream(), Layout, Visitors, [&](int64_t Done, int64_t N) {
    if (Progress) Progress(ProgressPercent(Done, N));
    return true;
  });
  if (Outcome.ReadFailed) {
    R.MinMaxFailed = true;
    R.MinMaxError = Outcome.Error;
    R.Findings.push_back(MakeFinding("file.read", TWhere{TWhereKind::DataRecord, -1, Outcome.FailedRecord, -1},
                                     Outcome.FailedOffset, 0, "",
                                     std::string(ReadErrorText) + ": " + Outcome.Error));
  } else {
    R.MinMaxLines = BuildMinMaxReport(F, Fold.Result());
    const TFindings Found = MinMaxFindings(F, Fold.Result());
    R.Findings.insert(R.Findings.end(), Found.begin(), Found.end());
    R.MinMaxRun = true;
  }
  if (Outcome.FileChanged()) {
    R.FileChanged = true;
    R.Findings.push_back(FileChangedFinding(Outcome.SizeAtStart, Outcome.SizeAtEnd));
  }
}

}  // namespace

TFinding FileChangedFinding(int64_t SizeAtStart, int64_t SizeAtEnd) {
  return MakeFinding("file.changed", TWhere{}, -1, 0, "",
                     "the file changed during the check: " + std::to_string(SizeAtStart) +
                         " bytes at the start, " + std::to_string(SizeAtEnd) + " at the end");
}

TFileReport CheckFile(const std::string& Path, const TCheckRequest& Request,
                      const TCheckProgress& Progress) {
  TFileReport R;
  R.Path = Path;
  try {
    // Each file gets its own file object, so workers share nothing but the
    // process-wide format settings, which checking only reads.
    TEDFFile F;
    try {
      F.SetFileName(Path);
      JudgeOpenFile(F, R.Judgement);
      R.Signals = DescribeAllSignals(F);
      R.Findings = R.Judgement.Findings;
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
    if (Request.MinMax && R.Valid()) ScanData(F, R, Progress);
  } catch (const std::exception& e) {
    RecordError(R, e.what());
  } catch (...) {
    RecordError(R, "unknown error");
  }
  return R;
}
