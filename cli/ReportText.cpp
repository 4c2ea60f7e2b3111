#include "cli/ReportText.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "check/FindingText.h"
#include "check/QualityText.h"
#include "check/Rules.h"
#include "cli/Summary.h"
#include "util/udStr.h"

namespace {

// The min/max report's heading without its line break: "Found 2 errors:" or
// "No errors found".
std::string MinMaxHeading(const std::vector<std::string>& Lines) {
  if (Lines.empty()) return "";
  std::string H = Lines.front();
  const size_t Brk = H.find("\r\n");
  return Brk == std::string::npos ? H : H.substr(0, Brk);
}

// The rules with more findings than listed, then one line on the check.
std::string ConformanceLines(const TConformanceReport& C) {
  std::string Out;
  for (const std::string& Line : ConformanceTotalLines(C)) Out += "  " + Line + "\n";
  const int64_t Errors = C.CountOf(TSeverity::Error);
  const int64_t Warnings = C.CountOf(TSeverity::Warning);
  Out += "  conformance: " + ConformanceScope(C) + ": " + std::to_string(Errors) +
         (Errors == 1 ? " error, " : " errors, ") + std::to_string(Warnings) +
         (Warnings == 1 ? " warning\n" : " warnings\n");
  return Out;
}

// The rules with more findings than listed, each signal's summary that has
// something to say, then one line on the pass.
std::string QualityLines(const TQualityReport& Q) {
  std::string Out;
  for (const std::string& Line : RuleTotalLines(Q.Totals)) Out += "  " + Line + "\n";
  for (const TQualitySignal& S : Q.Signals)
    if (QualitySummaryWanted(S)) Out += "  " + QualitySummaryLine(S) + "\n";
  if (!Q.Ran)
    return Out + "  quality: not checked: " + (Q.WhyNot.empty() ? "no data record was read" : Q.WhyNot) + "\n";
  int64_t Warnings = 0;
  for (const TRuleTotal& T : Q.Totals) Warnings += T.Total;
  const auto Judged =
      std::count_if(Q.Signals.begin(), Q.Signals.end(), [](const TQualitySignal& S) { return S.Judged(); });
  return Out + "  quality: " + std::to_string(Q.RecordsScanned) + " data records checked" +
         (Q.Complete ? "" : " (stopped early)") + ", " + std::to_string(Judged) + " of " + std::to_string(Q.Signals.size()) +
         " signals judged: " + std::to_string(Warnings) + (Warnings == 1 ? " warning\n" : " warnings\n");
}

// The rules with more findings than listed, then what the audit covered
// and what it found.
std::string PrivacyLines(const TPrivacyReport& P) {
  std::string Out;
  for (const std::string& Line : RuleTotalLines(P.Totals)) Out += "  " + Line + "\n";
  int64_t Found = 0;
  for (const TRuleTotal& T : P.Totals) Found += T.Total;
  Out += "  privacy: " + PrivacyScope(P) + ": " + std::to_string(Found) + (Found == 1 ? " finding\n" : " findings\n");
  return Out;
}

}  // namespace

std::string PrivacyScope(const TPrivacyReport& P) {
  if (P.Plus && !P.AnnotationsAudited) return "header and file name; annotation texts not searched";
  // A plain file's annotation bytes are samples; an EDF+ file without
  // annotations, or with nothing to look for in them, needs no pass.
  if (P.RecordsScanned == 0) return "header and file name";
  const std::string Records =
      std::to_string(P.RecordsScanned) + (P.RecordsScanned == 1 ? " data record" : " data records");
  return "header, file name and the annotation texts of " + Records;
}

std::string VerdictLine(const TFileReport& R) {
  const std::string& Text = R.OpenFailed || R.Judgement.VerdictText.empty()
                                ? std::string(VerdictText(R.Judgement.Format, false))
                                : R.Judgement.VerdictText;
  return Text.substr(0, Text.find('\n'));
}

std::string FindingLine(const TFileReport& R, const TFinding& F) {
  return "  " + FindingText(F, R.Labels) + "\n";
}

std::string FormatReportText(const TFileReport& R) {
  std::string Out = DisplayName(R.Path) + ": " + VerdictLine(R) + "\n";
  if (!R.Judgement.FormatName.empty()) Out += "  format: " + R.Judgement.FormatName + "\n";
  for (const TFinding& F : R.Findings) Out += FindingLine(R, F);
  if (!R.Judgement.DataBlockLine.empty()) Out += "  " + R.Judgement.DataBlockLine + "\n";
  if (R.MinMaxRun) Out += "  digital min/max: " + MinMaxHeading(R.MinMaxLines) + "\n";
  if (R.ConformanceRun) Out += ConformanceLines(R.Conformance);
  if (R.PrivacyRun) Out += PrivacyLines(R.Privacy);
  if (R.QualityRun) Out += QualityLines(R.Quality);
  return Out;
}

std::string FormatSummaryText(const TSummary& S) {
  std::string Out = "summary: " + std::to_string(S.Files()) + " files: " + std::to_string(S.Valid()) +
                    " valid, " + std::to_string(S.Invalid()) + " invalid, " +
                    std::to_string(S.Unread()) + " not read\n";
  std::vector<std::pair<std::string, TSummary::TRuleCount>> Rules(S.RuleCounts().begin(),
                                                                   S.RuleCounts().end());
  std::stable_sort(Rules.begin(), Rules.end(), [](const auto& A, const auto& B) {
    return A.second.Findings > B.second.Findings;
  });
  for (const auto& [Id, Count] : Rules) {
    const TRule* Rule = FindRule(Id);
    Out += "  " + std::string(Rule ? SeverityName(Rule->Severity) : "unknown") + " [" + DisplayName(Id) + "] " +
           std::to_string(Count.Findings) + (Count.Findings == 1 ? " finding" : " findings") + " in " +
           std::to_string(Count.Files) + (Count.Files == 1 ? " file" : " files") + "\n";
  }
  return Out;
}

std::string FormatRulesText() {
  std::string Out = "| rule | severity | what it expects |\n|---|---|---|\n";
  for (const TRule& R : Rules())
    Out += "| `" + R.Id + "` | " + SeverityName(R.Severity) + " | " + R.Description + " |\n";
  return Out;
}
