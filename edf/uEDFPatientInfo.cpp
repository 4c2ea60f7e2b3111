#include "edf/uEDFPatientInfo.h"

#include <bit>
#include <cstdint>

#include "util/uDateTime.h"
#include "util/uLocale.h"
#include "util/udStr.h"

TDateTime EDFNoDate() { return std::bit_cast<double>(0xFFF8000000000000ull); }

namespace {

// Next blank-separated subfield of W, consumed from the left and trimmed;
// two blanks in a row give an empty subfield.
std::string NextSubfield(std::string& W) { return ExtractToken(W, " ", true); }

std::string ReplaceSubstitutes(std::string S, char Substitute) {
  for (char& c : S)
    if (c == Substitute) c = ' ';
  return S;
}

// A subfield value with the "not given" marker X mapped to empty.
std::string ValueOrEmpty(const std::string& Subfield, char Substitute) {
  std::string s = ReplaceSubstitutes(Subfield, Substitute);
  if (UpperCaseAscii(s) == "X") s.clear();
  return s;
}

// An EDF+ date "dd-MMM-yyyy" with English month names, or no date. The
// convertor falls back to a bare time of day when the fields form no calendar
// date (31-FEB-2000 would read as midnight of 30 Dec 1899), so the fields are
// checked here as a date.
TDateTime EDFPlusDate(const std::string& Subfield) {
  TDateTimeStringConvertor c;
  c.SetLocale(LangIDFromLCID(LocaleEnglishUS));
  // The format alone: SetFormat would also build a text from the value,
  // which SetDateTimeText replaces at once.
  c.Format = c.NormalizeFormat("dd-mmm-yyyy");
  c.SetDateTimeText(Subfield);
  if (!c.Valid || !IsValidDate(c.Year, c.Month, c.Day)) return EDFNoDate();
  return c.Value;
}

}  // namespace

TEDFPatientInfo::TEDFPatientInfo() : BirthDate(EDFNoDate()) {}

void TEDFPatientInfo::Parse(const std::string& T) {
  Text = T;
  Code.clear();
  PatientName.clear();
  Additional.clear();
  Sex = '\0';
  BirthDate = EDFNoDate();
  std::string w = T;

  Code = ValueOrEmpty(NextSubfield(w), SpaceSubstitute);
  const std::string sex = UpperCaseAscii(NextSubfield(w));
  if (sex == "F" || sex == "M") Sex = sex[0];
  BirthDate = EDFPlusDate(ReplaceSubstitutes(UpperCaseAscii(NextSubfield(w)), SpaceSubstitute));
  PatientName = ValueOrEmpty(NextSubfield(w), SpaceSubstitute);
  Additional = w;
}

TEDFRecordingInfo::TEDFRecordingInfo() : RecordingDate(EDFNoDate()) {}

void TEDFRecordingInfo::Parse(const std::string& T) {
  RecordingDate = EDFNoDate();
  AdminCode.clear();
  Technician.clear();
  Equipment.clear();
  Additional.clear();
  std::string w = T;

  // Plain EDF files carry free text here.
  if (UpperCaseAscii(NextSubfield(w)) != "STARTDATE") {
    Additional = T;
    return;
  }
  RecordingDate =
      EDFPlusDate(ReplaceSubstitutes(UpperCaseAscii(NextSubfield(w)), SpaceSubstitute));
  AdminCode = ValueOrEmpty(NextSubfield(w), SpaceSubstitute);
  Technician = ValueOrEmpty(NextSubfield(w), SpaceSubstitute);
  Equipment = ValueOrEmpty(NextSubfield(w), SpaceSubstitute);
  Additional = w;
}
