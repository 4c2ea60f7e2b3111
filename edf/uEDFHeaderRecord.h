// What the general header record and the signal header record share: the
// ten raw texts as read, a validity flag per field with the faults that
// cleared it, the format whose rules apply, strictness, the read-only guard,
// the modified mark, the separators of the number fields, and re-parsing.
#pragma once

#include <cstdint>
#include <string>

#include "edf/uEDFLayout.h"
#include "support/udroot.h"

// Why a field's flag is false; one field can have several. A flag is false
// exactly when its field has at least one fault.
enum TEDFFieldFault : uint16_t {
  ffNone = 0,
  ffNotLeftJustified = 1u << 0,  // a blank or control byte before the text
  ffNotPrintable = 1u << 1,      // a byte outside 32..126 that is not trailing padding
  ffNotVersion = 1u << 2,        // Version other than the format's version text
  ffBadLayout = 1u << 3,         // a date or time not laid out as dd.mm.yy / hh.nn.ss
  ffNoCalendarDate = 1u << 4,    // 31.02.03
  ffNoClockTime = 1u << 5,       // 25.00.00
  ffNotInteger = 1u << 6,
  ffNotNumber = 1u << 7,
  ffOutOfRange = 1u << 8,        // beyond the field's type (the format's sample range, 32-bit sizes)
  ffTooSmall = 1u << 9,          // below the field's minimum
  ffHeaderSize = 1u << 10,       // HeaderBytes differs from 256 x (NrSignals + 1)
  ffNoSignalCount = 1u << 11,    // HeaderBytes cannot be checked: NrSignals is invalid
  ffDigitalOrder = 1u << 12,     // DigiMin not below DigiMax
  ffSeparators = 1u << 13,       // read with other separators than "." and none
  ffUnexplained = 1u << 15       // flag false for a reason not named above (never expected)
};
using TEDFFieldFaults = uint16_t;

using TEDFRawHeader = std::array<std::string, EDFFieldCount>;

class TEDFHeaderRecord {
public:
  virtual ~TEDFHeaderRecord() = default;
  TEDFHeaderRecord(const TEDFHeaderRecord&) = delete;
  TEDFHeaderRecord& operator=(const TEDFHeaderRecord&) = delete;

  // Interprets the ten raw texts; never raises for any text.
  virtual void LoadFromRaw(const TEDFRawHeader& Raw) = 0;
  // LoadFromRaw(RawHeader) with the data-exists guard lifted for the call.
  void Reparse();
  // Stores the strictness and re-parses under it.
  void SetStrict(bool Value);

  const TDynBooleanArray& FieldValid() const { return FFieldValid; }
  bool GetFieldValid(int Index) const { return FFieldValid.at(static_cast<size_t>(Index)); }
  // The faults behind a false flag; ffNone while the flag is true.
  TEDFFieldFaults FieldFaults(int Index) const { return FFieldFaults.at(static_cast<size_t>(Index)); }

  // The format whose rules the fields follow (the version text, the range of
  // the digital limits); set by the file object, takes effect at the next
  // Reparse.
  TEDFFormat Format() const { return FFormat; }
  void SetFormat(TEDFFormat Value) { FFormat = Value; }

  bool Strict() const { return FStrict; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  bool Modified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }
  // The file holds data: header size, signal count and samples per record are fixed.
  bool DataExists() const { return FDataExists; }
  void SetDataExists(bool Value) { FDataExists = Value; }

  // The texts last given to LoadFromRaw (the file object fills a signal's
  // texts field by field, then calls Reparse).
  const TEDFRawHeader& RawHeader() const { return FRawHeader; }
  TEDFRawHeader& RawHeader() { return FRawHeader; }

  // Separators of the number fields; take effect at the next Reparse.
  char DecimalSeparator() const { return FDecimalSeparator; }
  void SetDecimalSeparator(char Value) { FDecimalSeparator = Value; }
  char ThousandSeparator() const { return FThousandSeparator; }
  void SetThousandSeparator(char Value) { FThousandSeparator = Value; }

protected:
  TEDFHeaderRecord();

  // "Field is ReadOnly!" unless the record may be changed.
  void CheckWritable() const;
  // Every flag false and no fault: the start of a parse.
  void ResetFields();
  // The flag of Index; Fault is recorded when Valid is false, and the
  // faults are forgotten when it is true.
  void SetField(int Index, bool Valid, TEDFFieldFaults Fault);
  // Clears the flag of Index and adds Fault.
  void Fail(int Index, TEDFFieldFaults Fault);
  // A false flag without a recorded fault gets ffUnexplained, so that a
  // reader of the faults never meets a silent false flag.
  void ExplainFields();
  // Stores Text without trailing blanks into Field and judges it as free
  // text: always valid when not strict, else printable and left-justified.
  void StoreText(std::string& Field, int Index, const std::string& Text);
  // Under Strict, keeps flag Index only while Raw is left-justified.
  void StrictLeftJustified(int Index, const std::string& Raw);

  TDynBooleanArray FFieldValid;
  std::array<TEDFFieldFaults, EDFFieldCount> FFieldFaults{};
  TEDFFormat FFormat = TEDFFormat::EDF;
  bool FStrict = true;
  bool FReadOnly = false;
  bool FModified = false;
  bool FDataExists = false;
  TEDFRawHeader FRawHeader;
  char FDecimalSeparator = '.';
  char FThousandSeparator = '\0';
};

// The 32-bit value of an integer header text, or the fault that stops it:
// ffNotInteger, or ffOutOfRange for an integer beyond 32 bits.
TEDFFieldFaults Int32Field(const std::string& Text, int32_t& Value);
// Laid out exactly as dd<Sep>mm<Sep>yy (also hh<Sep>nn<Sep>ss): eight
// characters, digits in pairs. Says nothing about the calendar.
bool HasDateLayout(const std::string& Text, char Sep);
