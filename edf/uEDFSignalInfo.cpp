#include "edf/uEDFSignalInfo.h"

#include <cfloat>
#include <cmath>

#include "edf/uDataFileErrors.h"
#include "support/uSysUtils.h"
#include "util/udStr.h"

namespace {

// A decimal number text under the given separators, or its fault. Values
// beyond the double range (an 8-character field can hold 1e400) are out of
// range: narrowing them would be undefined.
TEDFFieldFaults ParseFloatField(const std::string& Text, char D, char T, long double& Value) {
  const std::string t = Trim(Text);
  if (!IsValidFloatFormat(t, D, T)) return ffNotNumber;
  long double v = 0;
  try {
    v = StrToFloatSep(t, D, T);
  } catch (const EConvertError&) {
    return ffNotNumber;
  }
  if (!std::isfinite(v) || std::fabs(v) > static_cast<long double>(DBL_MAX)) return ffOutOfRange;
  Value = v;
  return ffNone;
}

}  // namespace

TCustomEDFSignalInfo::TCustomEDFSignalInfo() {
  // The text fields are valid while empty; the number fields need a value.
  for (int i : {sfSignalLabel, sfTransducertype, sfPhysidim, sfPrefilter, sfReserved})
    SetField(i, true, ffNone);
}

bool TCustomEDFSignalInfo::IsValid() const {
  for (int i = 0; i < EDFFieldCount; ++i) {
    if (i == sfPhysimin || i == sfPhysimax) continue;
    if (!FFieldValid[static_cast<size_t>(i)]) return false;
  }
  return true;
}

void TCustomEDFSignalInfo::SetText(std::string& Field, int Index, const std::string& Text) {
  CheckWritable();
  if (Text != Field) FModified = true;
  StoreText(Field, Index, Text);
}

void TCustomEDFSignalInfo::SetSignalLabel(const std::string& Text) {
  SetText(FSignalLabel, sfSignalLabel, Text);
}
void TCustomEDFSignalInfo::SetTransducertype(const std::string& Text) {
  SetText(FTransducertype, sfTransducertype, Text);
}
void TCustomEDFSignalInfo::SetPhysidim(const std::string& Text) {
  SetText(FPhysidim, sfPhysidim, Text);
}
void TCustomEDFSignalInfo::SetPrefilter(const std::string& Text) {
  SetText(FPrefilter, sfPrefilter, Text);
}
void TCustomEDFSignalInfo::SetReserved(const std::string& Text) {
  SetText(FReserved, sfReserved, Text);
}

void TCustomEDFSignalInfo::SetPhysimin(double Value) {
  CheckWritable();
  if (Value != FPhysimin) FModified = true;
  FPhysimin = Value;
  SetField(sfPhysimin, true, ffNone);
  Calibrate();
}

void TCustomEDFSignalInfo::SetPhysimax(double Value) {
  CheckWritable();
  if (Value != FPhysimax) FModified = true;
  FPhysimax = Value;
  SetField(sfPhysimax, true, ffNone);
  Calibrate();
}

void TCustomEDFSignalInfo::SetDigimin(int32_t Value) {
  CheckWritable();
  if (Value != FDigimin) FModified = true;
  FDigimin = Value;
  SetField(sfDigimin, InDigitalRange(Value), ffOutOfRange);
  Calibrate();
}

void TCustomEDFSignalInfo::SetDigimax(int32_t Value) {
  CheckWritable();
  if (Value != FDigimax) FModified = true;
  FDigimax = Value;
  SetField(sfDigimax, InDigitalRange(Value), ffOutOfRange);
  Calibrate();
}

bool TCustomEDFSignalInfo::InDigitalRange(int64_t Value) const {
  const TEDFFormatRules& Rules = EDFFormatRules(FFormat);
  return Value >= Rules.DigitalMin && Value <= Rules.DigitalMax;
}

bool TCustomEDFSignalInfo::SetNrSamples(int32_t Value) {
  CheckWritable();
  // The record layout is fixed once samples are on disk.
  if (FDataExists) throw ErrDataFileDataExists();
  if (Value != FNrSamples) FModified = true;
  FNrSamples = Value;
  SetField(sfNrSamples, Value > 0, ffTooSmall);
  return FFieldValid[sfNrSamples];
}

void TCustomEDFSignalInfo::SetSelected(bool Value) {
  FSelected = Value;
  if (FOnSelectedChange) FOnSelectedChange(this);
}

void TCustomEDFSignalInfo::Calibrate() {
  FCalibrated = FFieldValid[sfPhysimin] && FFieldValid[sfPhysimax] && FFieldValid[sfDigimin] &&
                FFieldValid[sfDigimax] && FDigimin != FDigimax && FPhysimin != FPhysimax;
  if (FCalibrated) {
    const int64_t digital = int64_t{FDigimax} - int64_t{FDigimin};
    FGain = (static_cast<long double>(FPhysimax) - static_cast<long double>(FPhysimin)) /
            static_cast<long double>(digital);
  }
}

TEDFFieldFaults TCustomEDFSignalInfo::ParseDigital(const std::string& Text, int32_t& Value) const {
  int64_t n = 0;
  const bool integer = TryStrToInt64(Text, n);
  if (integer && InDigitalRange(n)) {
    Value = static_cast<int32_t>(n);
    return ffNone;
  }
  if (integer) return ffOutOfRange;
  // Lenient mode also takes a whole number written as a decimal (-2048.0).
  if (FStrict) return ffNotInteger;
  long double v = 0;
  if (ParseFloatField(Text, FDecimalSeparator, FThousandSeparator, v) != ffNone ||
      v != std::trunc(v))
    return ffNotInteger;
  const TEDFFormatRules& Rules = EDFFormatRules(FFormat);
  if (v < Rules.DigitalMin || v > Rules.DigitalMax) return ffOutOfRange;
  Value = static_cast<int32_t>(v);
  return ffNone;
}

void TCustomEDFSignalInfo::LoadFromRaw(const TEDFRawSignalHeader& Raw) {
  FRawHeader = Raw;
  ResetFields();

  SetSignalLabel(Raw[sfSignalLabel]);
  SetTransducertype(Raw[sfTransducertype]);
  SetPhysidim(Raw[sfPhysidim]);

  long double v = 0;
  if (const TEDFFieldFaults f = ParseFloatField(Raw[sfPhysimin], FDecimalSeparator, FThousandSeparator, v); f == ffNone)
    SetPhysimin(static_cast<double>(v));
  else
    Fail(sfPhysimin, f);
  if (const TEDFFieldFaults f = ParseFloatField(Raw[sfPhysimax], FDecimalSeparator, FThousandSeparator, v); f == ffNone)
    SetPhysimax(static_cast<double>(v));
  else
    Fail(sfPhysimax, f);

  int32_t d = 0;
  if (const TEDFFieldFaults f = ParseDigital(Raw[sfDigimin], d); f == ffNone)
    SetDigimin(d);
  else
    Fail(sfDigimin, f);
  if (const TEDFFieldFaults f = ParseDigital(Raw[sfDigimax], d); f == ffNone)
    SetDigimax(d);
  else
    Fail(sfDigimax, f);
  // An empty or inverted digital range cannot be mapped to physical values.
  if (FFieldValid[sfDigimin] && FFieldValid[sfDigimax] && FDigimin >= FDigimax) {
    Fail(sfDigimin, ffDigitalOrder);
    Fail(sfDigimax, ffDigitalOrder);
  }

  SetPrefilter(Raw[sfPrefilter]);

  int32_t n = 0;
  if (const TEDFFieldFaults f = Int32Field(Raw[sfNrSamples], n); f == ffNone)
    SetNrSamples(n);
  else
    Fail(sfNrSamples, f);

  SetReserved(Raw[sfReserved]);
  FModified = false;

  if (FStrict) {
    // EDF itself only knows the point as decimal separator and no grouping.
    const bool plainSeparators = FDecimalSeparator == '.' && FThousandSeparator == '\0';
    for (int i : {sfPhysimin, sfPhysimax}) {
      if (!plainSeparators) Fail(i, ffSeparators);
      StrictLeftJustified(i, Raw[static_cast<size_t>(i)]);
    }
    for (int i : {sfDigimin, sfDigimax, sfNrSamples}) StrictLeftJustified(i, Raw[static_cast<size_t>(i)]);
  }
  ExplainFields();
  Calibrate();
}
