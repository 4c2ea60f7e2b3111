// Judging a file: the header verdict, the whole-file checks of plain EDF, and
// the guess of the separators of a file written under another locale.
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

// The EDF limit on the size of one data record.
constexpr int64_t MaxRecordBytes = 61440;

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
    // The checks call back into the object (GetBuffer); a subclass that judges
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
  GetBuffer();
  // The planned length, not the buffer: a plan refused as too large has no buffer.
  const int64_t b = FPlannedBufferLength;
  if (2 * b > MaxRecordBytes) fail(heRecordTooLarge);

  // A record shorter than 1 s is only acceptable when 1 s of data would not fit.
  const long double duration = FFileInfo->SampleRecDuration();
  if (duration < 1 && duration > 0 && b * (1 / duration) * 2 < MaxRecordBytes)
    fail(heRecordTooShort);

  int64_t n = 0;
  if (TryStrToInt64(Trim(FFileInfo->OriginalHeader()[gfNrDataRecords]), n)) {
    if (n >= 0) {
      // Checked 64-bit arithmetic: a crafted count times a crafted record
      // size overflows any fixed width, and then it certainly mismatches.
      int64_t expected = 0;
      const bool overflow = __builtin_mul_overflow(n, FRecordSamples, &expected) ||
                            __builtin_mul_overflow(expected, int64_t{2}, &expected) ||
                            __builtin_add_overflow(expected, int64_t{FFileInfo->HeaderBytes()},
                                                   &expected);
      if (overflow || FileSize() != expected) fail(heFileSizeMismatch);
    } else if (!FCreating) {
      AddHeaderError(heRecordCountUnknown);  // reported, but no reason to reject the file
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
