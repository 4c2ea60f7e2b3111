#include "check/FindingText.h"

namespace {

std::string SignalName(int Signal, const std::vector<std::string>& Labels) {
  const std::string Label =
      Signal >= 0 && static_cast<size_t>(Signal) < Labels.size() ? Labels[static_cast<size_t>(Signal)] : "";
  return "signal " + std::to_string(Signal + 1) + " (" + EscapeBytes(Label) + ")";
}

}  // namespace

std::string WhereText(const TWhere& W, const std::vector<std::string>& Labels) {
  switch (W.Kind) {
    case TWhereKind::GeneralHeader: return "general header";
    case TWhereKind::SignalHeader: return SignalName(W.Signal, Labels);
    case TWhereKind::DataRecord:
    case TWhereKind::Annotation: {
      std::string T = W.Kind == TWhereKind::Annotation ? "annotation, data record" : "data record";
      if (W.Record >= 0) T += ' ' + std::to_string(W.Record + 1);
      if (W.Signal >= 0) T += ", " + SignalName(W.Signal, Labels);
      return T;
    }
    case TWhereKind::File: break;
  }
  return "file";
}

std::string FindingText(const TFinding& F, const std::vector<std::string>& Labels) {
  std::string Line = std::string(SeverityName(F.Severity)) + " [" + F.Rule + "] " + WhereText(F.Where, Labels);
  if (F.Offset >= 0) Line += ", byte " + std::to_string(F.Offset);
  return Line + ": " + F.Message;
}

std::vector<std::string> ConformanceTotalLines(const TConformanceReport& C) { return RuleTotalLines(C.Totals); }

std::vector<std::string> RuleTotalLines(const std::vector<TRuleTotal>& Totals) {
  std::vector<std::string> Lines;
  for (const TRuleTotal& T : Totals)
    if (T.Total > T.Listed)
      Lines.push_back("[" + T.Rule + "] " + std::to_string(T.Total) + " findings in all, " + std::to_string(T.Listed) +
                      " listed");
  return Lines;
}

std::string ConformanceScope(const TConformanceReport& C) {
  const char* Family = C.Format == TEDFFormat::BDF ? "BDF" : "EDF";
  std::string Scope = C.Plus == TPlusKind::Continuous      ? std::string(Family) + "+C"
                      : C.Plus == TPlusKind::Discontinuous ? std::string(Family) + "+D"
                                                           : std::string("plain ") + Family;
  if (C.Cancelled) return Scope + ", cancelled after " + std::to_string(C.RecordsScanned) + " data records";
  if (C.RecordsChecked)
    return Scope + ", " + std::to_string(C.RecordsScanned) + (C.RecordsScanned == 1 ? " data record" : " data records") + " checked";
  return Scope + ", header only";
}
