#include "edf/uEDFFileInfo.h"

#include <cfloat>
#include <cmath>

#include "edf/uDataFileErrors.h"
#include "support/uScopedValue.h"
#include "support/uSysUtils.h"
#include "util/udStr.h"

TCustomEDFFileInfo::TCustomEDFFileInfo(TCustomEDFFile* Owner)
    : FOwner(Owner), FFieldValid(EDFFieldCount, false) {}

bool TCustomEDFFileInfo::IsValid() const {
  for (bool f : FFieldValid)
    if (!f) return false;
  return true;
}

void TCustomEDFFileInfo::SetStrict(bool Value) {
  FStrict = Value;
  Reparse();
}

void TCustomEDFFileInfo::Reparse() {
  // A re-parse of what was read never trips the data-exists guards.
  TScopedValue<bool> NoData(FDataExists, false);
  LoadFromRaw(FRawHeader);
}

void TCustomEDFFileInfo::CheckWritable() const { VASSERT(!FReadOnly, "Field is ReadOnly!"); }

std::string TCustomEDFFileInfo::GetPatient() const { return FPatient; }
std::string TCustomEDFFileInfo::GetRecording() const { return FRecording; }

void TCustomEDFFileInfo::StoreText(std::string& Field, int Index, const std::string& Text) {
  Field = TrimRight(Text);
  FFieldValid[static_cast<size_t>(Index)] =
      !FStrict || (IsAsciiPrintable(Field) && IsLeftJustified(Field));
}

void TCustomEDFFileInfo::SetVersion(const std::string& Text) {
  CheckWritable();
  if (Text != FVersion) FModified = true;
  FVersion = TrimRight(Text);
  FFieldValid[gfVersion] = FVersion == "0";
}

void TCustomEDFFileInfo::SetPatient(const std::string& Text) {
  CheckWritable();
  // Compared without trailing blanks: re-reading a padded field is no change.
  if (TrimRight(Text) != FPatient) FModified = true;
  StoreText(FPatient, gfPatient, Text);
  FPatientInfo.Parse(FPatient);
}

void TCustomEDFFileInfo::SetRecording(const std::string& Text) {
  CheckWritable();
  if (Text != FRecording) FModified = true;
  StoreText(FRecording, gfRecording, Text);
  // Parsed like the patient text, so RecordingInfo never contradicts Recording.
  FRecordingInfo.Parse(FRecording);
}

void TCustomEDFFileInfo::SetReserved(const std::string& Text) {
  CheckWritable();
  if (Text != FReserved) FModified = true;
  StoreText(FReserved, gfReserved, Text);
}

bool TCustomEDFFileInfo::SetSampleRecDuration(long double Value) {
  CheckWritable();
  if (Value != FSampleRecDuration) FModified = true;
  FSampleRecDuration = Value;
  FFieldValid[gfSampleRecDuration] = Value > 0;
  return FFieldValid[gfSampleRecDuration];
}

void TCustomEDFFileInfo::SetNrDataRecords(int32_t Value) {
  CheckWritable();
  // A header composed through the setters gets a raw text to re-parse.
  if (Trim(FRawHeader[gfNrDataRecords]).empty())
    FRawHeader[gfNrDataRecords] = std::to_string(Value).substr(0, 8);
  if (Value != FNrDataRecords) FModified = true;
  FNrDataRecords = Value;
  FFieldValid[gfNrDataRecords] = Value >= -1;
}

bool TCustomEDFFileInfo::SetHeaderBytes(int32_t Value) {
  CheckWritable();
  if (FDataExists) throw ErrDataFileDataExists();
  if (Value != FHeaderBytes) FModified = true;
  FHeaderBytes = Value;
  FFieldValid[gfHeaderBytes] = Value >= 0;
  return FFieldValid[gfHeaderBytes];
}

bool TCustomEDFFileInfo::SetNrSignals(int32_t Value) {
  CheckWritable();
  if (FDataExists) throw ErrDataFileDataExists();
  if (Value != FNrSignals) FModified = true;
  FNrSignals = Value;
  FFieldValid[gfNrSignals] = Value >= 0;
  const int64_t headerBytes = Value < 0 ? 0 : EDFHeaderBytes(Value);
  // A count whose header size does not fit the 32-bit size field is no count.
  if (headerBytes > INT32_MAX) {
    FFieldValid[gfNrSignals] = false;
    FFieldValid[gfHeaderBytes] = false;
    return false;
  }
  return SetHeaderBytes(static_cast<int32_t>(headerBytes));
}

void TCustomEDFFileInfo::UpdateStartDateTime() {
  if (FFieldValid[gfStartDate] && FFieldValid[gfStartTime])
    FStartDateTime = FStartDate + FStartTime;
}

void TCustomEDFFileInfo::SetStartDate(TDateTime Value) {
  CheckWritable();
  const TDateTime date = std::trunc(Value);
  if (date != FStartDate) FModified = true;
  FStartDate = date;
  FFieldValid[gfStartDate] = Value >= 0;
  UpdateStartDateTime();
}

void TCustomEDFFileInfo::SetStartTime(TDateTime Value) {
  CheckWritable();
  const TDateTime time = Value - std::trunc(Value);
  if (time != FStartTime) FModified = true;
  FStartTime = time;
  FFieldValid[gfStartTime] = Value >= 0;
  UpdateStartDateTime();
}

void TCustomEDFFileInfo::SetStartDateTime(TDateTime Value) {
  CheckWritable();
  const TDateTime date = std::trunc(Value);
  SetStartDate(date);
  SetStartTime(Value - date);
  if (Value != FStartDateTime) FModified = true;
  FStartDateTime = Value;
}

TDateTime TCustomEDFFileInfo::GetEndDateTime() const {
  if (!IsValid()) throw ErrInvalidFieldValues();
  const long double end = static_cast<long double>(FStartDateTime) +
                          static_cast<long double>(FNrDataRecords) * FSampleRecDuration / 86400.0L;
  // A valid duration text such as 1e999 gives no date-time at all.
  if (!(std::fabs(end) <= static_cast<long double>(DBL_MAX))) throw ErrInvalidFieldValues();
  return static_cast<TDateTime>(end);
}

IHPDateTimePtr TCustomEDFFileInfo::GetStartHPDateTime() const {
  return NewHPDateTime(FStartDateTime);
}

IHPDateTimePtr TCustomEDFFileInfo::GetEndHPDateTime() const {
  return NewHPDateTime(GetEndDateTime());
}

void TCustomEDFFileInfo::SetStartHPDateTime(const IHPDateTimePtr& Value) {
  VASSERT(Value != nullptr, "Parameter is NIL");
  SetStartDateTime(Value->GetDateTime());
}
