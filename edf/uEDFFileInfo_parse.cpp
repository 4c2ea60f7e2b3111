// Reading the general header's raw texts into values, flags and faults.
#include <cmath>
#include <cstdint>

#include "edf/uEDFFileInfo.h"
#include "support/uSysUtils.h"
#include "util/uDateTime.h"
#include "util/udStr.h"

namespace {

// Widens the sloppy forms seen in the wild to two-digit groups: blanks become
// zeros and a one-digit day or month gets its leading zero (1.2.85 -> 01.02.85).
std::string WidenDateTimeText(std::string S) {
  for (char& c : S)
    if (c == ' ') c = '0';
  if (S.size() >= 2 && !IsDigit(S[1])) S.insert(0, 1, '0');
  if (S.size() >= 5 && !IsDigit(S[4])) S.insert(3, 1, '0');
  return S;
}

// Eight characters with digit pairs at the three places of a date or time:
// a text that fails to convert then fails on its values, not its layout.
bool HasDigitPairs(const std::string& S) {
  if (S.size() != 8) return false;
  for (size_t I : {0u, 1u, 3u, 4u, 6u, 7u})
    if (!IsDigit(S[I])) return false;
  return true;
}

// Why a date or time text fails the exact EDF layout: a leading blank, the
// layout itself, or (laid out well) a value that is no date or time.
TEDFFieldFaults StrictLayoutFaults(const std::string& Raw, TEDFFieldFaults ValueFault) {
  TEDFFieldFaults Faults = ffNone;
  if (!IsLeftJustified(Raw)) Faults |= ffNotLeftJustified;
  if (!HasDateLayout(Raw, '.')) Faults |= ffBadLayout;
  return Faults != ffNone ? Faults : ValueFault;
}

}  // namespace

void TCustomEDFFileInfo::LoadFromRaw(const TEDFRawFileHeader& Raw) {
  FRawHeader = Raw;
  ResetFields();

  SetVersion(Raw[gfVersion]);
  if (!Trim(Raw[gfPatient]).empty()) {
    SetPatient(Raw[gfPatient]);
  } else {
    FPatient.clear();
    FPatientInfo.Parse("");
    SetField(gfPatient, true, ffNone);
  }
  if (!Trim(Raw[gfRecording]).empty()) {
    SetRecording(Raw[gfRecording]);
  } else {
    FRecording.clear();
    FRecordingInfo.Parse("");
    SetField(gfRecording, true, ffNone);
  }

  TDateTime when = 0;
  if (const TEDFFieldFaults f = DecodeStartDate(Trim(Raw[gfStartDate]), when); f == ffNone)
    SetStartDate(when);
  else
    Fail(gfStartDate, f);
  if (const TEDFFieldFaults f = DecodeStartTime(Trim(Raw[gfStartTime]), when); f == ffNone)
    SetStartTime(when);
  else
    Fail(gfStartTime, f);

  int32_t n = 0;
  if (const TEDFFieldFaults f = Int32Field(Raw[gfHeaderBytes], n); f == ffNone)
    SetHeaderBytes(n);
  else
    Fail(gfHeaderBytes, f);
  SetReserved(Raw[gfReserved]);
  if (const TEDFFieldFaults f = Int32Field(Raw[gfNrDataRecords], n); f == ffNone)
    SetNrDataRecords(n);
  else
    Fail(gfNrDataRecords, f);
  // Converted without raising: a text that is no number is common in bad
  // headers, and checking thousands of files must not pay for an exception each.
  long double Duration = 0;
  if (TryStrToFloatSep(Trim(Raw[gfSampleRecDuration]), FDecimalSeparator, FThousandSeparator, Duration))
    SetSampleRecDuration(Duration);
  else
    Fail(gfSampleRecDuration, ffNotNumber);

  // The header size stays the one read from the file, with its own flag:
  // SetNrSignals would otherwise overwrite both with the size it implies.
  const int32_t headerBytes = FHeaderBytes;
  const bool headerBytesValid = FFieldValid[gfHeaderBytes];
  const TEDFFieldFaults headerBytesFaults = FFieldFaults[gfHeaderBytes];
  if (const TEDFFieldFaults f = Int32Field(Raw[gfNrSignals], n); f == ffNone)
    SetNrSignals(n);
  else
    Fail(gfNrSignals, f);
  FHeaderBytes = headerBytes;
  SetField(gfHeaderBytes, headerBytesValid, headerBytesFaults);

  if (FFieldValid[gfHeaderBytes]) {
    if (!FFieldValid[gfNrSignals])
      Fail(gfHeaderBytes, ffNoSignalCount);
    else if (static_cast<int64_t>(FHeaderBytes) != EDFHeaderBytes(FNrSignals))
      Fail(gfHeaderBytes, ffHeaderSize);
  }
  FModified = false;
  FParsedNrDataRecords = FNrDataRecords;
  if (FStrict) StrictChecks(Raw);
  ExplainFields();
}

void TCustomEDFFileInfo::StrictChecks(const TEDFRawFileHeader& Raw) {
  if (!IsValidDateTimeStr(Raw[gfStartDate], "dd.mm.yy"))
    Fail(gfStartDate, StrictLayoutFaults(Raw[gfStartDate], ffNoCalendarDate));
  if (!IsValidDateTimeStr(Raw[gfStartTime], "hh.nn.ss"))
    Fail(gfStartTime, StrictLayoutFaults(Raw[gfStartTime], ffNoClockTime));
  for (int i : {gfNrDataRecords, gfSampleRecDuration, gfNrSignals})
    StrictLeftJustified(i, Raw[static_cast<size_t>(i)]);
}

void TEDFFileInfo::LoadFromRaw(const TEDFRawFileHeader& Raw) {
  // The base steps include the strict checks; nothing between relaxes them,
  // so they are not run a second time.
  TCustomEDFFileInfo::LoadFromRaw(Raw);
}

TEDFFieldFaults TEDFFileInfo::DecodeStartDate(const std::string& Text, TDateTime& Date) const {
  std::string s = WidenDateTimeText(Text);
  if (!IsValidDateTimeStr(s, "dd?mm?yy") || s.size() < 8)
    return HasDigitPairs(s) ? ffNoCalendarDate : ffBadLayout;
  int64_t yy = 0;
  if (!TryStrToInt64(s.substr(6, 2), yy)) return ffBadLayout;
  // The century goes before the digits as written, so that a text such as
  // "+1" still fails the conversion below.
  s.insert(6, EDFYear(static_cast<int>(yy)) < 2000 ? "19" : "20");
  // A text like 31.02.04 matches the pattern but is no calendar date; the
  // convertor then yields a bare time of day (no whole days), not a date.
  if (!TryStrToDateTimeFmt(s, "dd?mm?yyyy", Date) || Date < 1) return ffNoCalendarDate;
  return ffNone;
}

TEDFFieldFaults TEDFFileInfo::DecodeStartTime(const std::string& Text, TDateTime& Time) const {
  const std::string s = WidenDateTimeText(Text);
  TDateTime value = 0;
  if (!TryStrToDateTimeFmt(s, "hh?nn?ss", value))
    return HasDigitPairs(s) ? ffNoClockTime : ffBadLayout;
  Time = value - std::trunc(value);
  return ffNone;
}

void TEDFFileInfo::SetStartDateText(const std::string& Text) {
  TDateTime date = 0;
  if (DecodeStartDate(Text, date) == ffNone) SetStartDate(date);
}

void TEDFFileInfo::SetStartTimeText(const std::string& Text) {
  TDateTime time = 0;
  if (DecodeStartTime(Text, time) == ffNone) SetStartTime(time);
}
