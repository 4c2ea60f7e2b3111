// The rules of the privacy audit, by number, so that the audit counts its
// findings without looking rule ids up as text. The registry
// (Rules_privacy.cpp) lists them with their severities and reasons, in this
// order.
#pragma once

#include <cstddef>

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

// The registry id of a rule: "privacy.patient.name".
const char* PrivacyRuleId(TPrivacyRule Rule);
