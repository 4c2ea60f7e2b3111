#include "check/FileCheck.h"

#include <exception>

#include "check/HeaderFindings.h"
#include "check/MinMaxScan.h"
#include "edf/uEDF.h"

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

void ScanMinMax(TEDFFile& F, TFileReport& R, const TScanProgress& Progress) {
  try {
    const TMinMaxResult Result = ScanDigitalMinMax(F, [&](int, int, int Percent) {
      if (Progress) Progress(Percent);
      return true;
    });
    R.MinMaxLines = BuildMinMaxReport(F, Result);
    const TFindings Found = MinMaxFindings(F, Result);
    R.Findings.insert(R.Findings.end(), Found.begin(), Found.end());
    R.MinMaxRun = true;
  } catch (const std::exception& e) {
    R.MinMaxFailed = true;
    R.MinMaxError = e.what();
    R.Findings.push_back(ReadFailedFinding(e.what()));
  }
}

}  // namespace

TFileReport CheckFile(const std::string& Path, const TCheckRequest& Request,
                      const TScanProgress& Progress) {
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
    } catch (const std::exception& e) {
      RecordError(R, e.what());
      return R;
    }
    if (Request.MinMax && R.Valid()) ScanMinMax(F, R, Progress);
  } catch (const std::exception& e) {
    RecordError(R, e.what());
  } catch (...) {
    RecordError(R, "unknown error");
  }
  return R;
}
