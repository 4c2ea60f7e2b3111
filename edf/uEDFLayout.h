// The byte layout of an EDF file: the two field tables of the headers, where
// each field stands, and the arithmetic of data records.
//
// Every byte position and size is int64_t so that files beyond 2 GiB are
// addressed correctly. The arithmetic saturates instead of overflowing and
// answers 0 for a zero or negative divisor, so a crafted header cannot drive
// it into undefined behaviour.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "support/uMath.h"

inline constexpr int EDFFieldCount = 10;
inline constexpr int64_t EDFGeneralHeaderBytes = 256;
inline constexpr int64_t EDFSignalHeaderBytes = 256;  // per signal
inline constexpr int EDFSampleBytes = 2;              // 16-bit little-endian (EDF)

// The two members of the family: EDF (16-bit samples) and BDF (24-bit,
// version byte 0xFF followed by "BIOSEMI"). EDF+ and BDF+ are the same
// layouts with structured header texts and annotation signals.
enum class TEDFFormat : uint8_t { EDF, BDF };

// Which format a file is, from the first byte of its version field: never
// from its name.
inline TEDFFormat EDFFormatOf(const std::string& VersionRaw) {
  return !VersionRaw.empty() && static_cast<unsigned char>(VersionRaw[0]) == 0xFF ? TEDFFormat::BDF
                                                                                  : TEDFFormat::EDF;
}

// What the format fixes: the version text, the bytes of one sample and the
// range a sample (and so a digital limit) can take.
struct TEDFFormatRules {
  const char* Name;         // "EDF", "BDF"
  const char* VersionText;  // the whole version field without its padding
  int SampleBytes;
  int32_t DigitalMin;
  int32_t DigitalMax;
};

inline constexpr TEDFFormatRules EDFRules{"EDF", "0", EDFSampleBytes, -32768, 32767};
inline constexpr TEDFFormatRules BDFRules{"BDF", "\xFF" "BIOSEMI", 3, -8388608, 8388607};

constexpr const TEDFFormatRules& EDFFormatRules(TEDFFormat Format) {
  return Format == TEDFFormat::BDF ? BDFRules : EDFRules;
}
constexpr int EDFSampleBytesOf(TEDFFormat Format) { return EDFFormatRules(Format).SampleBytes; }

// The most bytes one EDF data record may hold, EDF's recommendation, which
// BDF does not follow (its records are often far larger).
inline constexpr int64_t EDFMaxRecordBytes = 61440;

// StartDate's two-digit year in EDF's fixed window, whatever a locale's
// window says: 85..99 are 1985..1999, 00..84 are 2000..2084.
inline constexpr int EDFFirstYear = 1985;
constexpr int EDFYear(int TwoDigits) {
  return TwoDigits >= EDFFirstYear % 100 ? 1900 + TwoDigits : 2000 + TwoDigits;
}

// Field indices: the order in the file and the index of the validity flag.
enum TEDFGeneralField : int {
  gfVersion, gfPatient, gfRecording, gfStartDate, gfStartTime,
  gfHeaderBytes, gfReserved, gfNrDataRecords, gfSampleRecDuration, gfNrSignals
};
enum TEDFSignalField : int {
  sfSignalLabel, sfTransducertype, sfPhysidim, sfPhysimin, sfPhysimax,
  sfDigimin, sfDigimax, sfPrefilter, sfNrSamples, sfReserved
};

// What a field holds, which decides how it is read and judged.
enum class TEDFFieldKind : uint8_t {
  Text,     // free text: printable ASCII, left-justified
  Date,     // dd.mm.yy
  Time,     // hh.nn.ss
  Integer,  // decimal integer
  Number,   // decimal number, "." as decimal separator
  Digital   // a sample value: an integer in the format's sample range
};

// One field of a header: the library's name, the caption the window shows
// beside it, its width, and its offset. A general field's offset is its byte
// offset in the file; a signal field's offset is the width of the fields
// before it, because the signal block is stored field by field (see
// EDFSignalFieldOffset).
struct TEDFFieldDesc {
  const char* Name;
  const char* Caption;
  int Width;
  int Offset;
  TEDFFieldKind Kind;
};

inline constexpr std::array<TEDFFieldDesc, EDFFieldCount> EDFGeneralFields = {{
    {"Version", "Version", 8, 0, TEDFFieldKind::Text},
    {"Patient", "Patient", 80, 8, TEDFFieldKind::Text},
    {"Recording", "Recording", 80, 88, TEDFFieldKind::Text},
    {"StartDate", "StartDate", 8, 168, TEDFFieldKind::Date},
    {"StartTime", "StartTime", 8, 176, TEDFFieldKind::Time},
    {"HeaderBytes", "HeaderBytes", 8, 184, TEDFFieldKind::Integer},
    {"Reserved", "Reserved", 44, 192, TEDFFieldKind::Text},
    {"NrDataRecords", "NrDataRecords", 8, 236, TEDFFieldKind::Integer},
    {"SampleRecDuration", "SampleRecDuration", 8, 244, TEDFFieldKind::Number},
    {"NrSignals", "NrSignals", 4, 252, TEDFFieldKind::Integer},
}};

inline constexpr std::array<TEDFFieldDesc, EDFFieldCount> EDFSignalFields = {{
    {"SignalLabel", "SignalLabel", 16, 0, TEDFFieldKind::Text},
    {"Transducertype", "TransducerType", 80, 16, TEDFFieldKind::Text},
    {"Physidim", "PhysiDim", 8, 96, TEDFFieldKind::Text},
    {"Physimin", "PhysiMin", 8, 104, TEDFFieldKind::Number},
    {"Physimax", "PhysiMax", 8, 112, TEDFFieldKind::Number},
    {"Digimin", "DigiMin", 8, 120, TEDFFieldKind::Digital},
    {"Digimax", "DigiMax", 8, 128, TEDFFieldKind::Digital},
    {"Prefilter", "PreFilter", 80, 136, TEDFFieldKind::Text},
    {"NrSamples", "NrSamples", 8, 216, TEDFFieldKind::Integer},
    {"Reserved", "Reserved", 32, 224, TEDFFieldKind::Text},
}};

namespace EDFLayoutDetail {
// Each offset is the sum of the widths before it, and the widths fill the
// 256 bytes of a header: checked while compiling.
constexpr bool OffsetsAreContiguous(const std::array<TEDFFieldDesc, EDFFieldCount>& Fields) {
  int Next = 0;
  for (const TEDFFieldDesc& F : Fields) {
    if (F.Offset != Next) return false;
    Next += F.Width;
  }
  return Next == 256;
}
template <class T>
constexpr std::array<T, EDFFieldCount> Column(const std::array<TEDFFieldDesc, EDFFieldCount>& Fields,
                                              T TEDFFieldDesc::*Member) {
  std::array<T, EDFFieldCount> Out{};
  for (size_t i = 0; i < Fields.size(); ++i) Out[i] = Fields[i].*Member;
  return Out;
}
}  // namespace EDFLayoutDetail

static_assert(EDFLayoutDetail::OffsetsAreContiguous(EDFGeneralFields));
static_assert(EDFLayoutDetail::OffsetsAreContiguous(EDFSignalFields));

// Columns of the two tables, for code that walks one header field by field.
inline constexpr std::array<const char*, EDFFieldCount> EDFGeneralFieldNames =
    EDFLayoutDetail::Column(EDFGeneralFields, &TEDFFieldDesc::Name);
inline constexpr std::array<const char*, EDFFieldCount> EDFSignalFieldNames =
    EDFLayoutDetail::Column(EDFSignalFields, &TEDFFieldDesc::Name);
inline constexpr std::array<int, EDFFieldCount> EDFGeneralFieldWidths =
    EDFLayoutDetail::Column(EDFGeneralFields, &TEDFFieldDesc::Width);
inline constexpr std::array<int, EDFFieldCount> EDFSignalFieldWidths =
    EDFLayoutDetail::Column(EDFSignalFields, &TEDFFieldDesc::Width);

// The field's name in lower case, as rule ids spell it ("startdate").
std::string EDFFieldKey(const TEDFFieldDesc& Field);

// The raw texts of one header as read, blanks included; "" for a field not read.
using TEDFRawFileHeader = std::array<std::string, EDFFieldCount>;
using TEDFRawSignalHeader = std::array<std::string, EDFFieldCount>;

// Byte offset of a general-header field in the file.
int64_t EDFGeneralFieldOffset(int Field);
// Byte offset of field Field of signal Signal (0-based) when the file has Ns
// signals: the block is stored field by field, all labels first.
int64_t EDFSignalFieldOffset(int Field, int64_t Signal, int64_t Ns);
// The whole header: 256 * (Ns + 1).
int64_t EDFHeaderBytes(int64_t Ns);

// Samples in one data record: the sum of NrSamples over the signals.
int64_t EDFRecordSamples(std::span<const int32_t> NrSamples);
// Sample offset of signal Signal inside a record (the samples of the signals before it).
int64_t EDFSampleOffset(std::span<const int32_t> NrSamples, int64_t Signal);
// SampleBytes is the format's (EDFSampleBytesOf); the default is EDF's.
// Bytes in one data record.
int64_t EDFRecordBytes(int64_t RecordSamples, int SampleBytes = EDFSampleBytes);
// File position of data record Index.
int64_t EDFRecordPosition(int64_t HeaderBytes, int64_t Index, int64_t RecordSamples,
                          int SampleBytes = EDFSampleBytes);
// Size of a complete file of NrRecords records.
int64_t EDFExpectedFileSize(int64_t HeaderBytes, int64_t NrRecords, int64_t RecordSamples,
                            int SampleBytes = EDFSampleBytes);
// Complete records present: ((FileSize - HeaderBytes) div RecordSamples) div
// SampleBytes, never negative; 0 when RecordSamples is not positive.
int64_t EDFCompleteRecords(int64_t FileSize, int64_t HeaderBytes, int64_t RecordSamples,
                           int SampleBytes = EDFSampleBytes);


// Width characters of Bytes from Offset (fewer when the bytes end earlier).
std::string ReadFieldFrom(const std::string& Bytes, int64_t Offset, int Width);
// The width bytes written for a field: the text left-justified, padded with
// blanks and cut to Width when Valid; Width blanks otherwise.
std::string FormatField(bool Valid, const std::string& Text, int Width);
