// What the faces print under --privacy: findings at identifying places lose
// the text they quote, others stay as they are; --require-deidentified makes
// the privacy warnings errors.
#include "check/PrivacyMask.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/Rules.h"
#include "edf/uEDFLayout.h"

namespace {

TWhere General(int Field) { return TWhere{TWhereKind::GeneralHeader, -1, -1, Field}; }

// A finding of a rule named by its printed id, as the faces see it.
TFinding Made(const char* Id, const TWhere& Where, int64_t Offset, int64_t Length, std::string Raw,
              std::string Message) {
  const TRule* Rule = FindRule(Id);
  EXPECT_NE(Rule, nullptr) << Id;
  return MakeFinding(*Rule, Where, Offset, Length, std::move(Raw), std::move(Message));
}

TEST(PrivacyMask, FindingsAtIdentifyingPlacesQuoteNothing) {
  struct TRow {
    TFinding Finding;
    bool Masked;
  };
  const std::vector<TRow> Rows = {
      {Made("edfplus.patient.sex", General(gfPatient), 20, 6, "Harald", "sex \"Harald\" is not M, F or X"), true},
      {Made("header.startdate.calendar", General(gfStartDate), 168, 8, "31.02.03", "StartDate 31.02.03 ..."),
       true},
      {Made("edfplus.tal.utf8", TWhere{TWhereKind::Annotation, 2, 4, -1}, 900, 1, "Harald\xE9",
                   "text \"Harald\\xE9\" is not UTF-8"),
       true},
      {Made("header.nrsignals.integer", General(gfNrSignals), 252, 4, "x", "NrSignals x ..."), false},
      {Made("privacy.patient.name", General(gfPatient), 34, 6, "", "patient name, 6 bytes, is not X"), false},
  };
  for (const TRow& R : Rows) {
    const TFinding Shown = WithoutIdentifyingText(R.Finding);
    if (!R.Masked) {
      EXPECT_EQ(Shown, R.Finding) << R.Finding.Rule;
      continue;
    }
    EXPECT_TRUE(Shown.Raw.empty()) << R.Finding.Rule;
    EXPECT_EQ(Shown.Message.find(R.Finding.Raw.substr(0, 6)), std::string::npos) << Shown.Message;
    EXPECT_EQ(Shown.Message.rfind(RuleOf(R.Finding).Description, 0), 0u) << Shown.Message;
    EXPECT_EQ(Shown.Offset, R.Finding.Offset);
    EXPECT_EQ(Shown.Length, R.Finding.Length);
  }
}

TEST(PrivacyMask, RequireDeidentifiedTurnsPrivacyWarningsIntoErrorsAndLeavesTheSexNote) {
  TFindings F = {Made("privacy.patient.name", General(gfPatient), 34, 6, "", "name"),
                 Made("privacy.patient.sex", General(gfPatient), 20, 1, "", "sex"),
                 Made("edfplus.time.outside", TWhere{}, -1, 0, "", "outside")};
  RequireDeidentified(F);
  EXPECT_EQ(F[0].Severity, TSeverity::Error);
  EXPECT_EQ(F[1].Severity, TSeverity::Note);
  EXPECT_EQ(F[2].Severity, TSeverity::Warning);
}

}  // namespace
