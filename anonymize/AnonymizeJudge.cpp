#include "anonymize/AnonymizeJudge.h"

#include <exception>
#include <map>
#include <set>
#include <tuple>

#include "check/HeaderJudgement.h"
#include "check/PrivacyFields.h"
#include "check/RecordScan.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"

namespace {

// A finding's rule and place; the record counts only for findings inside
// the data records.
using TKey = std::tuple<std::string, TWhereKind, int, int, int64_t>;

TKey KeyOf(const TFinding& F) {
  const bool InRecords = F.Where.Kind == TWhereKind::DataRecord || F.Where.Kind == TWhereKind::Annotation;
  return {F.Rule, F.Where.Kind, F.Where.Signal, F.Where.Field, InRecords ? F.Where.Record : -1};
}

std::string Place(const TFinding& F) {
  std::string Out = WhereKindName(F.Where.Kind);
  if (F.Where.Record >= 0) Out += ", data record " + std::to_string(F.Where.Record + 1);
  if (F.Where.Signal >= 0) Out += ", signal " + std::to_string(F.Where.Signal + 1);
  if (F.Offset >= 0) Out += ", byte " + std::to_string(F.Offset);
  return Out;
}

int64_t TotalOf(const std::vector<TRuleTotal>& Totals, const std::string& Rule) {
  for (const TRuleTotal& T : Totals)
    if (T.Rule == Rule) return T.Total;
  return 0;
}

}  // namespace

TAnonymizeJudgement JudgeForAnonymize(const std::string& Path, TPrivacyRequest Request,
                                      const TScanProgress& Progress) {
  TAnonymizeJudgement J;
  try {
    TEDFFile F;
    THeaderJudgement H;
    F.SetFileName(Path);
    JudgeOpenFile(F, H, false);
    J.Raw = F.FileInfo()->OriginalHeader();
    J.Plus = PlusFile(F);
    J.HasAnnotations = !AnnotationSignals(F).empty();
    TConformanceCheck Check(F);
    TPrivacyAudit Audit(F, std::move(Request));
    J.Tokens = Audit.Tokens();
    std::vector<TRecordVisitor*> Visitors;
    if (Check.WantsRecords()) Visitors.push_back(&Check);
    if (Audit.WantsRecords()) Visitors.push_back(&Audit);
    TScanOutcome Outcome;
    // Both lay the records out from the same header, alike.
    if (!Visitors.empty())
      Outcome = ScanRecords(*F.Stream(), Audit.WantsRecords() ? Audit.Layout() : Check.Layout(), Visitors, Progress);
    const TConformanceReport C = Check.Finish(Outcome);
    J.Privacy = Audit.Finish(Outcome);
    J.Findings = H.Findings;
    std::map<std::string, int64_t> Classic;
    for (const TFinding& Found : H.Findings) ++Classic[Found.Rule];
    for (const auto& [Rule, N] : Classic) J.Totals.push_back({Rule, N, N});
    J.Findings.insert(J.Findings.end(), C.Findings.begin(), C.Findings.end());
    J.Totals.insert(J.Totals.end(), C.Totals.begin(), C.Totals.end());
  } catch (const std::exception& e) {
    J = {};
    J.Failed = true;
    J.Error = e.what();
  }
  return J;
}

std::string NewFindings(const TAnonymizeJudgement& Original, const TAnonymizeJudgement& Copy) {
  std::set<TKey> Known;
  for (const TFinding& F : Original.Findings) Known.insert(KeyOf(F));
  for (const TFinding& F : Copy.Findings)
    if (!Known.count(KeyOf(F))) return "[" + F.Rule + "] at " + Place(F) + ", which the original does not have";
  for (const TRuleTotal& T : Copy.Totals)
    if (T.Total > TotalOf(Original.Totals, T.Rule))
      return "[" + T.Rule + "] " + std::to_string(T.Total) + " times, the original " +
             std::to_string(TotalOf(Original.Totals, T.Rule));
  return "";
}
