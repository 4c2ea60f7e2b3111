#include "edf/uEDFHeaderRecord.h"

#include "support/uScopedValue.h"
#include "support/uSysUtils.h"
#include "util/udStr.h"

TEDFHeaderRecord::TEDFHeaderRecord() : FFieldValid(EDFFieldCount, false) {}

void TEDFHeaderRecord::Reparse() {
  // A re-parse of what was read never trips the data-exists guards.
  TScopedValue<bool> NoData(FDataExists, false);
  LoadFromRaw(FRawHeader);
}

void TEDFHeaderRecord::SetStrict(bool Value) {
  FStrict = Value;
  Reparse();
}

void TEDFHeaderRecord::CheckWritable() const { VASSERT(!FReadOnly, "Field is ReadOnly!"); }

void TEDFHeaderRecord::ResetFields() {
  FFieldValid.assign(EDFFieldCount, false);
  FFieldFaults.fill(ffNone);
}

void TEDFHeaderRecord::SetField(int Index, bool Valid, TEDFFieldFaults Fault) {
  const auto I = static_cast<size_t>(Index);
  FFieldValid[I] = Valid;
  FFieldFaults[I] = Valid ? TEDFFieldFaults{ffNone} : Fault;
}

void TEDFHeaderRecord::Fail(int Index, TEDFFieldFaults Fault) {
  const auto I = static_cast<size_t>(Index);
  FFieldValid[I] = false;
  FFieldFaults[I] = static_cast<TEDFFieldFaults>(FFieldFaults[I] | Fault);
}

void TEDFHeaderRecord::ExplainFields() {
  for (size_t I = 0; I < FFieldFaults.size(); ++I) {
    if (FFieldValid[I])
      FFieldFaults[I] = ffNone;
    else if (FFieldFaults[I] == ffNone)
      FFieldFaults[I] = ffUnexplained;
  }
}

void TEDFHeaderRecord::StoreText(std::string& Field, int Index, const std::string& Text) {
  Field = TrimRight(Text);
  TEDFFieldFaults Faults = ffNone;
  if (FStrict) {
    if (!IsAsciiPrintable(Field)) Faults |= ffNotPrintable;
    if (!IsLeftJustified(Field)) Faults |= ffNotLeftJustified;
  }
  SetField(Index, Faults == ffNone, Faults);
}

void TEDFHeaderRecord::StrictLeftJustified(int Index, const std::string& Raw) {
  if (FStrict && !IsLeftJustified(Raw)) Fail(Index, ffNotLeftJustified);
}

TEDFFieldFaults Int32Field(const std::string& Text, int32_t& Value) {
  int64_t N = 0;
  if (!TryStrToInt64(Text, N)) return ffNotInteger;
  if (N < INT32_MIN || N > INT32_MAX) return ffOutOfRange;
  Value = static_cast<int32_t>(N);
  return ffNone;
}

bool HasDateLayout(const std::string& Text, char Sep) {
  if (Text.size() != 8 || Text[2] != Sep || Text[5] != Sep) return false;
  for (size_t I : {0u, 1u, 3u, 4u, 6u, 7u})
    if (!IsDigit(Text[I])) return false;
  return true;
}
