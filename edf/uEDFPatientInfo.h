// The EDF+ subfields of the patient and recording identification texts:
// subfields separated by single blanks, '_' standing for a blank inside a
// subfield and a lone "X" for a value not given.
#pragma once

#include <string>

#include "util/uCalendar.h"

// The date of a subfield that is missing or does not convert: the quiet NaN.
// Test it with std::isnan, never by comparing with a date.
TDateTime EDFNoDate();

class TEDFPatientInfo {
public:
  TEDFPatientInfo();
  // Replaces every subfield with what Text yields; never raises.
  void Parse(const std::string& Text);

  std::string Text;
  char Sex = '\0';  // 'F', 'M' or '\0'
  std::string Code;
  std::string PatientName;
  TDateTime BirthDate;
  std::string Additional;  // the rest after the fourth subfield, unchanged
  char SpaceSubstitute = '_';
};

class TEDFRecordingInfo {
public:
  TEDFRecordingInfo();
  // Replaces every subfield with what Text yields; never raises. A text that
  // does not start with the keyword "Startdate" goes whole into Additional.
  void Parse(const std::string& Text);

  char SpaceSubstitute = '_';
  std::string Additional;
  std::string Equipment;
  std::string AdminCode;
  TDateTime RecordingDate;
  std::string Technician;
};
