// The rules of the privacy audit, by number, so that the audit counts its
// findings without looking rule ids up as text. The registry
// (Rules_privacy.cpp) lists them with their severities and reasons, in this
// order.
#pragma once

#include <cstddef>
#include <string_view>

#include "check/Rules.h"

enum class TPrivacyRule : unsigned char {
  PatientCode,
  PatientSex,
  PatientBirthdate,
  PatientName,
  PatientExtra,
  PatientText,
  RecordingAdminCode,
  RecordingTechnician,
  RecordingExtra,
  StartDate,
  Annotation,
  FileName,
  Count_
};

inline constexpr size_t PrivacyRuleCount = static_cast<size_t>(TPrivacyRule::Count_);

// The registry's rule: "privacy.patient.name", its severity and reason.
const TRule& RuleOf(TPrivacyRule Rule);
// True when Id names a rule of this family: a line's findings tell that the
// audit ran.
bool IsPrivacyRule(std::string_view Id);
