#include "edf/uEDFSignalInfo.h"

#include <cfloat>
#include <cmath>

#include "edf/uDataFileErrors.h"
#include "support/uScopedValue.h"
#include "support/uSysUtils.h"
#include "util/udStr.h"

namespace {

// A decimal number text under the given separators, or false. Values beyond
// the double range (an 8-character field can hold 1e400) count as no number:
// narrowing them would be undefined.
bool ParseFloatField(const std::string& Text, char D, char T, long double& Value) {
  const std::string t = Trim(Text);
  if (!IsValidFloatFormat(t, D, T)) return false;
  long double v = 0;
  try {
    v = StrToFloatSep(t, D, T);
  } catch (const EConvertError&) {
    return false;
  }
  if (!std::isfinite(v) || std::fabs(v) > static_cast<long double>(DBL_MAX)) return false;
  Value = v;
  return true;
}

bool IntegerValue(const std::string& Text, int64_t& Value) { return TryStrToInt64(Text, Value); }

}  // namespace

TCustomEDFSignalInfo::TCustomEDFSignalInfo() : FFieldValid(EDFFieldCount, false) {
  // The text fields are valid while empty; the number fields need a value.
  for (int i : {sfSignalLabel, sfTransducertype, sfPhysidim, sfPrefilter, sfReserved})
    FFieldValid[static_cast<size_t>(i)] = true;
}

bool TCustomEDFSignalInfo::IsValid() const {
  for (int i = 0; i < EDFFieldCount; ++i) {
    if (i == sfPhysimin || i == sfPhysimax) continue;
    if (!FFieldValid[static_cast<size_t>(i)]) return false;
  }
  return true;
}

bool TCustomEDFSignalInfo::GetFieldValid(int Index) const {
  return FFieldValid.at(static_cast<size_t>(Index));
}

void TCustomEDFSignalInfo::CheckWritable() const { VASSERT(!FReadOnly, "Field is ReadOnly!"); }

void TCustomEDFSignalInfo::StoreText(std::string& Field, int Index, const std::string& Text) {
  CheckWritable();
  if (Text != Field) FModified = true;
  Field = TrimRight(Text);
  FFieldValid[static_cast<size_t>(Index)] =
      !FStrict || (IsAsciiPrintable(Field) && IsLeftJustified(Field));
}

void TCustomEDFSignalInfo::SetSignalLabel(const std::string& Text) {
  StoreText(FSignalLabel, sfSignalLabel, Text);
}
void TCustomEDFSignalInfo::SetTransducertype(const std::string& Text) {
  StoreText(FTransducertype, sfTransducertype, Text);
}
void TCustomEDFSignalInfo::SetPhysidim(const std::string& Text) {
  StoreText(FPhysidim, sfPhysidim, Text);
}
void TCustomEDFSignalInfo::SetPrefilter(const std::string& Text) {
  StoreText(FPrefilter, sfPrefilter, Text);
}
void TCustomEDFSignalInfo::SetReserved(const std::string& Text) {
  StoreText(FReserved, sfReserved, Text);
}

void TCustomEDFSignalInfo::SetPhysimin(double Value) {
  CheckWritable();
  if (Value != FPhysimin) FModified = true;
  FPhysimin = Value;
  FFieldValid[sfPhysimin] = true;
  Calibrate();
}

void TCustomEDFSignalInfo::SetPhysimax(double Value) {
  CheckWritable();
  if (Value != FPhysimax) FModified = true;
  FPhysimax = Value;
  FFieldValid[sfPhysimax] = true;
  Calibrate();
}

void TCustomEDFSignalInfo::SetDigimin(int16_t Value) {
  CheckWritable();
  if (Value != FDigimin) FModified = true;
  FDigimin = Value;
  FFieldValid[sfDigimin] = true;
  Calibrate();
}

void TCustomEDFSignalInfo::SetDigimax(int16_t Value) {
  CheckWritable();
  if (Value != FDigimax) FModified = true;
  FDigimax = Value;
  FFieldValid[sfDigimax] = true;
  Calibrate();
}

bool TCustomEDFSignalInfo::SetNrSamples(int32_t Value) {
  CheckWritable();
  // The record layout is fixed once samples are on disk.
  if (FDataExists) throw ErrDataFileDataExists();
  if (Value != FNrSamples) FModified = true;
  FNrSamples = Value;
  FFieldValid[sfNrSamples] = Value > 0;
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
    const int32_t digital = static_cast<int32_t>(FDigimax) - static_cast<int32_t>(FDigimin);
    FGain = (static_cast<long double>(FPhysimax) - static_cast<long double>(FPhysimin)) /
            static_cast<long double>(digital);
  }
}

bool TCustomEDFSignalInfo::ParseDigital(const std::string& Text, int16_t& Value) const {
  int64_t n = 0;
  if (IsSmallInt(Text) && IntegerValue(Text, n) && n >= INT16_MIN && n <= INT16_MAX) {
    Value = static_cast<int16_t>(n);
    return true;
  }
  // Lenient mode also takes a whole number written as a decimal (-2048.0).
  if (FStrict) return false;
  long double v = 0;
  if (!ParseFloatField(Text, FDecimalSeparator, FThousandSeparator, v)) return false;
  if (v != std::trunc(v) || v < INT16_MIN || v > INT16_MAX) return false;
  Value = static_cast<int16_t>(v);
  return true;
}

void TCustomEDFSignalInfo::StrictLeftJustified(int Index, const std::string& Raw) {
  if (!IsLeftJustified(Raw)) FFieldValid[static_cast<size_t>(Index)] = false;
}

void TCustomEDFSignalInfo::LoadFromRaw(const TEDFRawSignalHeader& Raw) {
  FRawHeader = Raw;
  FFieldValid.assign(EDFFieldCount, false);

  SetSignalLabel(Raw[sfSignalLabel]);
  SetTransducertype(Raw[sfTransducertype]);
  SetPhysidim(Raw[sfPhysidim]);

  long double v = 0;
  if (ParseFloatField(Raw[sfPhysimin], FDecimalSeparator, FThousandSeparator, v))
    SetPhysimin(static_cast<double>(v));
  if (ParseFloatField(Raw[sfPhysimax], FDecimalSeparator, FThousandSeparator, v))
    SetPhysimax(static_cast<double>(v));

  int16_t d = 0;
  if (ParseDigital(Raw[sfDigimin], d)) SetDigimin(d);
  if (ParseDigital(Raw[sfDigimax], d)) SetDigimax(d);
  // An empty or inverted digital range cannot be mapped to physical values.
  if (FFieldValid[sfDigimin] && FFieldValid[sfDigimax] && FDigimin >= FDigimax) {
    FFieldValid[sfDigimin] = false;
    FFieldValid[sfDigimax] = false;
  }

  SetPrefilter(Raw[sfPrefilter]);

  int64_t n = 0;
  if (IsInteger(Raw[sfNrSamples]) && IntegerValue(Raw[sfNrSamples], n) && n >= INT32_MIN &&
      n <= INT32_MAX)
    SetNrSamples(static_cast<int32_t>(n));

  SetReserved(Raw[sfReserved]);
  FModified = false;

  if (FStrict) {
    // EDF itself only knows the point as decimal separator and no grouping.
    const bool plainSeparators = FDecimalSeparator == '.' && FThousandSeparator == '\0';
    for (int i : {sfPhysimin, sfPhysimax}) {
      if (!plainSeparators) FFieldValid[static_cast<size_t>(i)] = false;
      StrictLeftJustified(i, Raw[static_cast<size_t>(i)]);
    }
    for (int i : {sfDigimin, sfDigimax, sfNrSamples}) StrictLeftJustified(i, Raw[static_cast<size_t>(i)]);
  }
  Calibrate();
}

void TCustomEDFSignalInfo::Reparse() {
  // A re-parse of what was read never trips the data-exists guards.
  TScopedValue<bool> NoData(FDataExists, false);
  LoadFromRaw(FRawHeader);
}

void TCustomEDFSignalInfo::SetStrict(bool Value) {
  FStrict = Value;
  Reparse();
}
