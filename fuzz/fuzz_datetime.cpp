// Arbitrary format and string through the format tokenizer, the three
// conversion functions and the high-precision writer. An unusable format may
// fail its assertion and a string that does not convert its conversion
// error; any other error, crash or sanitizer report is a fault.
#include <cstddef>
#include <cstdint>
#include <string>

#include "support/uSysUtils.h"
#include "util/uDateTime.h"
#include "util/uHPDateTime.h"
#include "util/uLocale.h"
#include "util/uTokenizer.h"

namespace {

void Tokenize(const std::string& Format) {
  TDateTimeFormatTokenizer T;
  T.SetText(Format);
  int Guard = 0;
  if (T.First()) {
    while (T.Next()) {
      // Every token moves forward, so the stream cannot outlast the text.
      if (++Guard > static_cast<int>(Format.size()) + 1) __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 2) return 0;
  // Byte 0 picks the locale and the decimals; the rest is "format\0string".
  const uint8_t Control = Data[0];
  const std::string Rest(reinterpret_cast<const char*>(Data + 1), Size - 1);
  const size_t Split = Rest.find('\0');
  const std::string Format = Rest.substr(0, Split);
  const std::string S = Split == std::string::npos ? std::string() : Rest.substr(Split + 1);
  const uint32_t LCID = (Control & 1) ? LocaleEnglishUS : 0;
  const int Decimals = static_cast<int>(Control >> 1) % 40 - 1;

  Tokenize(Format);
  TDateTime V = 0;
  try {
    IsValidDateTimeStr(S, Format, LCID);
    TryStrToDateTimeFmt(S, Format, V, LCID);
    V = StrToDateTimeFmt(S, Format, LCID);
  } catch (const EAssertionFailed&) {
  } catch (const EConvertError&) {
  }
  try {
    HPDateTimeToStr(Format, NewHPDateTime(V), Decimals);
  } catch (const EAssertionFailed&) {
  }
  // The high-precision reader as well: it has tokens the plain one lacks.
  THPDateTimeStringConvertor Conv;
  Conv.SetFormat(Format);
  Conv.SetDateTimeText(S);
  if (Conv.Valid && Conv.HPValue) Conv.HPValue->ToString();
  return 0;
}
