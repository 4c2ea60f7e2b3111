// The judgement a de-identified copy is planned on and held to: the classic
// header rules, the EDF+ / BDF+ conformance check and the privacy audit of
// one file, in one pass over its records, and the comparison that says what
// a copy has that its original had not.
#pragma once

#include <string>
#include <vector>

#include "check/Conformance.h"
#include "check/PrivacyAudit.h"
#include "edf/uEDFLayout.h"

struct TAnonymizeJudgement {
  // The file could not be opened or its headers not read: nothing else is set.
  bool Failed = false;
  std::string Error;
  // The classic and conformance findings (those listed), and per rule how
  // many there were in all.
  TFindings Findings;
  std::vector<TRuleTotal> Totals;
  TPrivacyReport Privacy;
  TPrivacyTokens Tokens;  // the header's identifying tokens and the request's words
  TEDFRawFileHeader Raw;
  bool Plus = false;
  bool HasAnnotations = false;  // some signal is an annotation signal
};

// Judges the file at Path (opened read-only). Never raises.
TAnonymizeJudgement JudgeForAnonymize(const std::string& Path, TPrivacyRequest Request,
                                      const TScanProgress& Progress = {});

// What Copy was found to have that Original had not: a classic or
// conformance finding of a rule at a place (field, signal, record) where the
// original had none of that rule, or more of a rule than the original had in
// all; "" when nothing. Names rules and places, never a text.
std::string NewFindings(const TAnonymizeJudgement& Original, const TAnonymizeJudgement& Copy);
