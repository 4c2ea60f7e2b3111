// Any 256 bytes read as a general header and as one signal header, strict and
// lenient, must be judged without an error escaping. Two further input bytes,
// when present, become the decimal and thousand separators.
#include <cstddef>
#include <cstdint>
#include <string>

#include "edf/uDataFileErrors.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFSignalInfo.h"

namespace {

template <typename Raw, typename Widths>
Raw Split(const std::string& Bytes, const Widths& W) {
  Raw raw;
  size_t at = 0;
  for (size_t f = 0; f < raw.size(); ++f) {
    const size_t w = static_cast<size_t>(W[f]);
    raw[f] = Bytes.substr(at, w);
    at += w;
  }
  return raw;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::string bytes(reinterpret_cast<const char*>(Data), Size < 256 ? Size : 256);
  bytes.resize(256, ' ');
  const char decimal = Size > 256 ? static_cast<char>(Data[256]) : '.';
  const char thousand = Size > 257 ? static_cast<char>(Data[257]) : '\0';

  const auto general = Split<TEDFRawFileHeader>(bytes, EDFGeneralFieldWidths);
  const auto signal = Split<TEDFRawSignalHeader>(bytes, EDFSignalFieldWidths);

  for (bool strict : {true, false}) {
    TEDFFileInfo info(nullptr);
    info.SetStrict(strict);
    info.SetDecimalSeparator(decimal);
    info.SetThousandSeparator(thousand);
    info.LoadFromRaw(general);
    info.SetDataExists(true);
    info.Reparse();
    if (info.IsValid()) {
      try {
        (void)info.GetEndDateTime();
      } catch (const EDataFileFieldValue&) {
        // a valid duration too long for any date-time
      }
    }

    TEDFSignalInfo sig;
    sig.SetStrict(strict);
    sig.SetDecimalSeparator(decimal);
    sig.SetThousandSeparator(thousand);
    sig.LoadFromRaw(signal);
    sig.SetDataExists(true);
    sig.Reparse();
    (void)sig.IsValid();
  }
  return 0;
}
