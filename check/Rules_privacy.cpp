// The rules of the privacy audit: where a recording names or dates the
// person. Warnings by default (a file may be meant for the clinic that made
// it); a face that requires de-identified files turns them into errors.
#include <algorithm>
#include <array>
#include <vector>

#include "check/PrivacyRules.h"
#include "check/Rules.h"

namespace {

constexpr TSeverity W = TSeverity::Warning;
constexpr TSeverity N = TSeverity::Note;

using R = TPrivacyRule;

constexpr std::array<TRuleRow<TPrivacyRule>, PrivacyRuleCount> Entries = {{
    {R::PatientCode, "privacy.patient.code", W,
     "the patient code subfield is X: a hospital or study number identifies the person as surely as a name"},
    {R::PatientSex, "privacy.patient.sex", N,
     "the sex subfield is X (a note: sex is a quasi-identifier that many sharing policies keep)"},
    {R::PatientBirthdate, "privacy.patient.birthdate", W,
     "the birthdate subfield is X: with the day of the recording a birthdate singles the person out"},
    {R::PatientName, "privacy.patient.name", W, "the patient name subfield is X: a name identifies the person"},
    {R::PatientExtra, "privacy.patient.extra", W,
     "the patient field ends after the name: further subfields are free text that often identifies the person"},
    {R::PatientText, "privacy.patient.text", W,
     "a patient field that does not follow the EDF+ subfields (plain EDF and BDF) is blank or only X words: "
     "free text there usually names the person"},
    {R::RecordingAdminCode, "privacy.recording.admincode", W,
     "the recording's administration code is X: a hospital code links the file to the person's records"},
    {R::RecordingTechnician, "privacy.recording.technician", W,
     "the technician subfield is X: a staff name tells where and by whom the person was recorded"},
    {R::RecordingExtra, "privacy.recording.extra", W,
     "the recording field holds nothing beyond Startdate, the date, the administration code, the technician and "
     "the equipment: further text (in plain files, any text but a Startdate date and the equipment) may identify "
     "the person"},
    {R::StartDate, "privacy.startdate", W,
     "the day of the recording is the anonymous one, StartDate 01.01.85 and the recording's date subfield X or "
     "01-JAN-1985: a real day, with little else, singles the person out"},
    {R::Annotation, "privacy.annotation", W,
     "EDF+ annotation texts hold no part of the patient's name, no patient or administration code and no word of "
     "the user's list: staff write names into them"},
    {R::FileName, "privacy.filename", W,
     "the file's name holds no part of the patient's name, no patient or administration code and no word of the "
     "user's list: names travel with the file"},
}};

static_assert(RowsInEnumOrder(Entries), "the privacy rules are listed in the order of TPrivacyRule");

// What identifies a person is not a fault of the format: the de-identified
// copy removes it, a repair does not.
const std::vector<TRule>& All() {
  return FamilyRules(Entries, "identifying data is removed by the de-identified copy (vellicor-anonymize), not by a repair");
}

}  // namespace

const TRule& RuleOf(TPrivacyRule Rule) { return All()[static_cast<size_t>(Rule)]; }

bool IsPrivacyRule(std::string_view Id) {
  return std::any_of(All().begin(), All().end(), [&](const TRule& R) { return R.Id == Id; });
}

void AddPrivacyRules(std::vector<TRule>& Out) { Out.insert(Out.end(), All().begin(), All().end()); }
