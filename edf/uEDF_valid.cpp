// Judging a file: the header verdict, the whole-file checks of EDF and BDF,
// and the guess of the separators of a file written under another locale.
#include <cstdint>
#include <string>
#include <vector>

#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFLayout.h"
#include "edf/uEDFSignalInfo.h"
#include "support/uScopedValue.h"
#include "support/uSysUtils.h"
#include "util/udStr.h"

namespace {

__extension__ typedef __int128 TInt128;

// A plain decimal text ("0.275", "+.5", "1") as Mantissa / 10^Scale; false for
// any other form (an exponent, a thousand separator, a minus sign). Header
// fields are 8 characters, so 18 digits are never reached by a real one.
bool DecimalFraction(const std::string& Text, char Decimal, int64_t& Mantissa, int& Scale) {
  size_t i = !Text.empty() && Text[0] == '+' ? 1 : 0;
  Mantissa = 0;
  Scale = 0;
  int digits = 0;
  bool point = false;
  for (; i < Text.size(); ++i) {
    const char c = Text[i];
    if (c == Decimal && !point) {
      point = true;
      continue;
    }
    if (!IsDigit(c) || ++digits > 18) return false;
    Mantissa = Mantissa * 10 + (c - '0');
    if (point) ++Scale;
  }
  return digits > 0;
}

// A record shorter than 1 s is only acceptable when 1 s of data would not fit:
// too short when 2 x Samples / duration < 61440. Judged on the header's own
// text where it is a plain decimal: 0.275 s of 8448 samples makes exactly
// 61440 bytes a second, and 1 / 0.275 in floating point lands on either side.
bool RecordTooShort(const TCustomEDFFileInfo& Info, int64_t Samples) {
  const long double duration = Info.SampleRecDuration();
  if (!(duration > 0 && duration < 1)) return false;
  const std::string text = Trim(Info.RawHeader()[gfSampleRecDuration]);
  int64_t mantissa = 0;
  int scale = 0;
  bool exact = DecimalFraction(text, Info.DecimalSeparator(), mantissa, scale);
  // The text is only trusted while it is what the value was read from: a
  // duration set through the record afterwards leaves an older text behind.
  try {
    exact = exact &&
            StrToFloatSep(text, Info.DecimalSeparator(), Info.ThousandSeparator()) == duration;
  } catch (const EConvertError&) {
    exact = false;
  }
  if (!exact) return Samples * (1 / duration) * 2 < EDFMaxRecordBytes;
  // duration = mantissa / 10^scale, so the test is 2 x Samples x 10^scale <
  // 61440 x mantissa; 128 bits hold both sides for any sample count and 18 digits.
  TInt128 power = 1;
  for (int k = 0; k < scale; ++k) power *= 10;
  return TInt128{2} * Samples * power < TInt128{EDFMaxRecordBytes} * mantissa;
}

}  // namespace

bool TCustomEDFFile::IsValid() {
  if (FActive) return FValid;
  if (FCreating) return HeaderValid() && SignalHeadersValid();
  bool result = false;
  try {
    Open();
    result = FValid;
  } catch (...) {
    Close();
    throw;
  }
  Close();
  return result;
}

bool TEDFFile::IsValid() {
  bool result = TCustomEDFFile::IsValid();
  if (result && FActive && !FInValidation) {
    // The checks call back into the object (UpdateChunks); a subclass that judges
    // there again must not start the whole-file checks a second time.
    TScopedValue<bool> guard(FInValidation, true);
    CheckWholeFile(result);
  }
  return result;
}

void TEDFFile::CheckWholeFile(bool& Result) {
  auto fail = [&](TEDFHeaderError e) {
    AddHeaderError(e);
    if (FStrict) Result = false;
  };
  // The plan, not the buffer: judging a header must not allocate a record
  // the file may not even hold, and a plan refused as too large has none.
  if (BufferEmpty()) UpdateChunks(nullptr);
  const int64_t b = FPlannedBufferLength;
  if (FFormat == TEDFFormat::EDF) {
    if (2 * b > EDFMaxRecordBytes) fail(heRecordTooLarge);
    if (RecordTooShort(*FFileInfo, b)) fail(heRecordTooShort);
  } else if (FRecordSamples > MaxBufferSamples || FPlanTooLarge) {
    // BDF records are often far beyond 61440 bytes (many channels at high
    // rates); only the memory a record would take limits them.
    fail(heRecordBeyondCap);
  }

  int64_t n = 0;
  if (TryStrToInt64(Trim(FFileInfo->OriginalHeader()[gfNrDataRecords]), n)) {
    if (n >= 0) {
      // Checked 64-bit arithmetic: a crafted count times a crafted record
      // size overflows any fixed width, and then it certainly mismatches.
      int64_t expected = 0;
      const bool overflow = __builtin_mul_overflow(n, FRecordSamples, &expected) ||
                            __builtin_mul_overflow(expected, int64_t{SampleBytes()}, &expected) ||
                            __builtin_add_overflow(expected, int64_t{FFileInfo->HeaderBytes()},
                                                   &expected);
      if (overflow || FileSize() != expected) fail(heFileSizeMismatch);
    } else if (!FCreating) {
      // The records present can still be read; the verdict rejects the file.
      AddHeaderError(heRecordCountUnknown);
    }
  }
}

bool TCustomEDFFile::DetectNumberFormat() {
  if (!FFileInfo) return false;
  // The raw texts of the number fields that failed, in header order.
  std::vector<const std::string*> texts;
  if (!FFileInfo->FieldValid()[gfSampleRecDuration])
    texts.push_back(&FFileInfo->RawHeader()[gfSampleRecDuration]);
  for (const auto& signal : FSignals) {
    if (!signal->GetFieldValid(sfPhysimin)) texts.push_back(&signal->RawHeader()[sfPhysimin]);
    if (!signal->GetFieldValid(sfPhysimax)) texts.push_back(&signal->RawHeader()[sfPhysimax]);
  }
  if (texts.empty()) return false;

  char decimal = '\0';
  char thousand = '\0';
  try {
    bool settled = false;
    for (const bool preferLast : {false, true}) {
      for (const std::string* text : texts) {
        settled = DetectSeparators(*text, decimal, thousand, preferLast);
        if (settled) break;
      }
      if (settled) break;
    }
  } catch (const EConvertError&) {
    return false;
  }
  SetDecimalSeparator(decimal);
  SetThousandSeparator(thousand);
  return true;
}
