#include "edf/uEDFFileInfo.h"

#include <cfloat>
#include <cmath>

#include "edf/uDataFileErrors.h"
#include "support/uSysUtils.h"
#include "util/udStr.h"

TCustomEDFFileInfo::TCustomEDFFileInfo(TCustomEDFFile* Owner) : FOwner(Owner) {}

bool TCustomEDFFileInfo::IsValid() const {
  for (bool f : FFieldValid)
    if (!f) return false;
  return true;
}

std::string TCustomEDFFileInfo::GetPatient() const { return FPatient; }
std::string TCustomEDFFileInfo::GetRecording() const { return FRecording; }

void TCustomEDFFileInfo::SetVersion(const std::string& Text) {
  CheckWritable();
  if (Text != FVersion) FModified = true;
  FVersion = TrimRight(Text);
  // " 0" is the right version behind a wrong start; anything else is another version.
  const std::string Expected = EDFFormatRules(FFormat).VersionText;
  SetField(gfVersion, FVersion == Expected, Trim(Text) == Expected ? ffNotLeftJustified : ffNotVersion);
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
  SetField(gfSampleRecDuration, Value > 0, ffTooSmall);
  return FFieldValid[gfSampleRecDuration];
}

void TCustomEDFFileInfo::SetNrDataRecords(int32_t Value) {
  CheckWritable();
  // A header composed through the setters gets a raw text to re-parse.
  if (Trim(FRawHeader[gfNrDataRecords]).empty())
    FRawHeader[gfNrDataRecords] = std::to_string(Value).substr(0, 8);
  if (Value != FNrDataRecords) FModified = true;
  FNrDataRecords = Value;
  SetField(gfNrDataRecords, Value >= -1, ffTooSmall);
}

bool TCustomEDFFileInfo::SetHeaderBytes(int32_t Value) {
  CheckWritable();
  if (FDataExists) throw ErrDataFileDataExists();
  if (Value != FHeaderBytes) FModified = true;
  FHeaderBytes = Value;
  SetField(gfHeaderBytes, Value >= 0, ffTooSmall);
  return FFieldValid[gfHeaderBytes];
}

bool TCustomEDFFileInfo::SetNrSignals(int32_t Value) {
  CheckWritable();
  if (FDataExists) throw ErrDataFileDataExists();
  if (Value != FNrSignals) FModified = true;
  FNrSignals = Value;
  SetField(gfNrSignals, Value >= 0, ffTooSmall);
  const int64_t headerBytes = Value < 0 ? 0 : EDFHeaderBytes(Value);
  // A count whose header size does not fit the 32-bit size field is no count.
  if (headerBytes > INT32_MAX) {
    Fail(gfNrSignals, ffOutOfRange);
    Fail(gfHeaderBytes, ffOutOfRange);
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
  SetField(gfStartDate, Value >= 0, ffNoCalendarDate);
  UpdateStartDateTime();
}

void TCustomEDFFileInfo::SetStartTime(TDateTime Value) {
  CheckWritable();
  const TDateTime time = Value - std::trunc(Value);
  if (time != FStartTime) FModified = true;
  FStartTime = time;
  SetField(gfStartTime, Value >= 0, ffNoClockTime);
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
