// Reading the general header's raw texts into values and flags.
#include <cmath>
#include <cstdint>

#include "edf/uEDFFileInfo.h"
#include "support/uSysUtils.h"
#include "util/uDateTime.h"
#include "util/udStr.h"

namespace {

// The 32-bit value of an integer text, or false.
bool Int32Text(const std::string& Text, int32_t& Value) {
  int64_t n = 0;
  if (!IsInteger(Text) || !TryStrToInt64(Text, n) || n < INT32_MIN || n > INT32_MAX) return false;
  Value = static_cast<int32_t>(n);
  return true;
}

// Widens the sloppy forms seen in the wild to two-digit groups: blanks become
// zeros and a one-digit day or month gets its leading zero (1.2.85 -> 01.02.85).
std::string WidenDateTimeText(std::string S) {
  for (char& c : S)
    if (c == ' ') c = '0';
  if (S.size() >= 2 && !IsDigit(S[1])) S.insert(0, "0");
  if (S.size() >= 5 && !IsDigit(S[4])) S.insert(3, "0");
  return S;
}

}  // namespace

void TCustomEDFFileInfo::LoadFromRaw(const TEDFRawFileHeader& Raw) {
  FRawHeader = Raw;
  FFieldValid.assign(EDFFieldCount, false);

  SetVersion(Raw[gfVersion]);
  if (!Trim(Raw[gfPatient]).empty()) {
    SetPatient(Raw[gfPatient]);
  } else {
    FPatient.clear();
    FPatientInfo.Parse("");
    FFieldValid[gfPatient] = true;
  }
  if (!Trim(Raw[gfRecording]).empty()) {
    SetRecording(Raw[gfRecording]);
  } else {
    FRecording.clear();
    FRecordingInfo.Parse("");
    FFieldValid[gfRecording] = true;
  }
  SetStartDateText(Trim(Raw[gfStartDate]));
  SetStartTimeText(Trim(Raw[gfStartTime]));

  int32_t n = 0;
  if (Int32Text(Raw[gfHeaderBytes], n)) SetHeaderBytes(n);
  SetReserved(Raw[gfReserved]);
  if (Int32Text(Raw[gfNrDataRecords], n)) SetNrDataRecords(n);
  try {
    SetSampleRecDuration(
        StrToFloatSep(Trim(Raw[gfSampleRecDuration]), FDecimalSeparator, FThousandSeparator));
  } catch (const EConvertError&) {
    FFieldValid[gfSampleRecDuration] = false;
  }

  // The header size stays the one read from the file, with its own flag:
  // SetNrSignals would otherwise overwrite both with the size it implies.
  const int32_t headerBytes = FHeaderBytes;
  const bool headerBytesValid = FFieldValid[gfHeaderBytes];
  if (Int32Text(Raw[gfNrSignals], n)) SetNrSignals(n);
  FHeaderBytes = headerBytes;
  FFieldValid[gfHeaderBytes] = headerBytesValid;

  FFieldValid[gfHeaderBytes] = FFieldValid[gfHeaderBytes] && FFieldValid[gfNrSignals] &&
                               static_cast<int64_t>(FHeaderBytes) == EDFHeaderBytes(FNrSignals);
  FModified = false;
  if (FStrict) StrictChecks(Raw);
}

void TCustomEDFFileInfo::StrictChecks(const TEDFRawFileHeader& Raw) {
  if (!IsValidDateTimeStr(Raw[gfStartDate], "dd.mm.yy")) FFieldValid[gfStartDate] = false;
  if (!IsValidDateTimeStr(Raw[gfStartTime], "hh.nn.ss")) FFieldValid[gfStartTime] = false;
  for (int i : {gfNrDataRecords, gfSampleRecDuration, gfNrSignals})
    if (!IsLeftJustified(Raw[static_cast<size_t>(i)])) FFieldValid[static_cast<size_t>(i)] = false;
}

void TEDFFileInfo::LoadFromRaw(const TEDFRawFileHeader& Raw) {
  TCustomEDFFileInfo::LoadFromRaw(Raw);
  // The EDF checks once more, in case an intermediate class relaxed them;
  // they only ever clear flags, so repeating them changes nothing here.
  if (FStrict) StrictChecks(Raw);
}

void TEDFFileInfo::SetStartDateText(const std::string& Text) {
  std::string s = WidenDateTimeText(Text);
  if (!IsValidDateTimeStr(s, "dd?mm?yy") || s.size() < 8) return;
  // Fixed two-digit-year window of EDF, whatever the locale's window says.
  int64_t yy = 0;
  if (!TryStrToInt64(s.substr(6, 2), yy)) return;
  s.insert(6, yy > 84 ? "19" : "20");
  TDateTime date = 0;
  // A text like 31.02.04 matches the pattern but is no calendar date; the
  // convertor then yields a bare time of day (no whole days), not a date.
  if (!TryStrToDateTimeFmt(s, "dd?mm?yyyy", date) || date < 1) return;
  SetStartDate(date);
}

void TEDFFileInfo::SetStartTimeText(const std::string& Text) {
  const std::string s = WidenDateTimeText(Text);
  TDateTime time = 0;
  if (!TryStrToDateTimeFmt(s, "hh?nn?ss", time)) return;
  SetStartTime(time - std::trunc(time));
}
