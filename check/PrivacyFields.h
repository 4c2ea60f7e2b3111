// The places of a header where the person is, as the privacy audit and the
// de-identified copy read them: the patient and recording identification
// split into their EDF+ subfields (the same split the conformance check
// judges: at each blank, trailing blanks dropped), whether the file is
// EDF+ / BDF+, and its annotation signals.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

class TCustomEDFFile;

struct TIdSubfield {
  size_t Begin = 0;  // its first byte inside the field
  std::string_view Text;
};

inline constexpr size_t PatientSubfields = 4;    // code, sex, birthdate, name
inline constexpr size_t RecordingSubfields = 5;  // Startdate, date, admin code, technician, equipment

struct TIdFields {
  std::string_view Text;          // the field without its trailing blanks
  std::vector<TIdSubfield> Sub;   // split at each blank; an empty one stands for two blanks in a row
  // The field follows the EDF+ subfields: all of them present, none empty,
  // and (Recording) the word Startdate first. Otherwise it is free text.
  bool Structured = false;
};

// Raw is the field as read (80 bytes); the views point into it.
TIdFields PatientFields(std::string_view Raw);
TIdFields RecordingFields(std::string_view Raw);

// A subfield that says "not given": X.
bool Unknown(std::string_view Subfield);
// A name that gives none: X, or only X parts ("X_X", "X,X").
bool UnknownName(std::string_view Name);
// Blank, or nothing but X words.
bool OnlyXWords(std::string_view Text);

// Reserved starts with EDF+ or BDF+ (any letter case, as the conformance
// check reads it): the annotation signals hold text.
bool PlusFile(const TCustomEDFFile& F);
// The signals labelled exactly "EDF Annotations" ("BDF Annotations" in BDF).
std::vector<int> AnnotationSignals(const TCustomEDFFile& F);
