// Why a repair leaves a finding as found: the reasons that several rules of
// the registry give, and the one for anything inside the data records.
#pragma once

namespace RefusalText {

inline constexpr const char* Guess = "no single right value: left as found";
inline constexpr const char* Printable =
    "bytes outside printable ASCII stand inside the text: which of them are junk cannot be told";
inline constexpr const char* Justified =
    "control bytes stand before the text: whether they are junk or part of it cannot be told";
inline constexpr const char* NrSignals =
    "the number of signals decides where every field and sample lies: a new count would be a guess";
inline constexpr const char* Duration = "the record duration is the recorder's: a new one would be a guess";
inline constexpr const char* RecordSize =
    "the record size follows from the signals' NrSamples: changing it would change how every sample is read";
inline constexpr const char* RecordCount = "the record count cannot be told from the file size";
inline constexpr const char* Unreadable = "a file that cannot be read whole cannot be repaired";
inline constexpr const char* DataRecords = "the data records are copied byte for byte: a sample is never changed";

}  // namespace RefusalText
