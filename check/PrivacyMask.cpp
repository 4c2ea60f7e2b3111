#include "check/PrivacyMask.h"

#include <string_view>

#include "check/Rules.h"
#include "edf/uEDFLayout.h"

namespace {

bool PrivacyRule(std::string_view Rule) { return Rule.rfind("privacy.", 0) == 0; }

}  // namespace

bool IdentifyingGeneralField(int Field) {
  return Field == gfPatient || Field == gfRecording || Field == gfStartDate;
}

TFinding WithoutIdentifyingText(const TFinding& F) {
  const bool Identifying = F.Where.Kind == TWhereKind::Annotation ||
                           (F.Where.Kind == TWhereKind::GeneralHeader && IdentifyingGeneralField(F.Where.Field));
  if (!Identifying || PrivacyRule(F.Rule)) return F;
  TFinding Out = F;
  Out.Raw.clear();
  const TRule* Rule = FindRule(F.Rule);
  Out.Message = (Rule != nullptr ? Rule->Description : std::string("a fault")) + " (the text found there, " +
                std::to_string(F.Length) + (F.Length == 1 ? " byte" : " bytes") + " from byte " +
                std::to_string(F.Offset) + ", is withheld)";
  return Out;
}

void RequireDeidentified(TFindings& Findings) {
  for (TFinding& F : Findings)
    if (PrivacyRule(F.Rule) && F.Severity == TSeverity::Warning) F.Severity = TSeverity::Error;
}
