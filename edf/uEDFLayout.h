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

inline constexpr int EDFFieldCount = 10;
inline constexpr int64_t EDFGeneralHeaderBytes = 256;
inline constexpr int64_t EDFSignalHeaderBytes = 256;  // per signal
inline constexpr int EDFSampleBytes = 2;              // 16-bit little-endian

// Field indices: the order in the file and the index of the validity flag.
enum TEDFGeneralField : int {
  gfVersion, gfPatient, gfRecording, gfStartDate, gfStartTime,
  gfHeaderBytes, gfReserved, gfNrDataRecords, gfSampleRecDuration, gfNrSignals
};
enum TEDFSignalField : int {
  sfSignalLabel, sfTransducertype, sfPhysidim, sfPhysimin, sfPhysimax,
  sfDigimin, sfDigimax, sfPrefilter, sfNrSamples, sfReserved
};

inline constexpr std::array<const char*, EDFFieldCount> EDFGeneralFieldNames = {
    "Version",   "Patient",  "Recording",     "StartDate",         "StartTime",
    "HeaderBytes", "Reserved", "NrDataRecords", "SampleRecDuration", "NrSignals"};
inline constexpr std::array<const char*, EDFFieldCount> EDFSignalFieldNames = {
    "SignalLabel", "Transducertype", "Physidim",  "Physimin",  "Physimax",
    "Digimin",     "Digimax",        "Prefilter", "NrSamples", "Reserved"};

inline constexpr std::array<int, EDFFieldCount> EDFGeneralFieldWidths = {8, 80, 80, 8, 8,
                                                                         8, 44, 8,  8, 4};
inline constexpr std::array<int, EDFFieldCount> EDFSignalFieldWidths = {16, 80, 8, 8,  8,
                                                                        8,  8,  80, 8, 32};

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
// Bytes in one data record.
int64_t EDFRecordBytes(int64_t RecordSamples);
// Sample offset of signal Signal inside a record (the samples of the signals before it).
int64_t EDFSampleOffset(std::span<const int32_t> NrSamples, int64_t Signal);
// File position of data record Index.
int64_t EDFRecordPosition(int64_t HeaderBytes, int64_t Index, int64_t RecordSamples);
// Size of a complete file of NrRecords records.
int64_t EDFExpectedFileSize(int64_t HeaderBytes, int64_t NrRecords, int64_t RecordSamples);
// Complete records present: ((FileSize - HeaderBytes) div RecordSamples) div 2,
// never negative; 0 when RecordSamples is not positive.
int64_t EDFCompleteRecords(int64_t FileSize, int64_t HeaderBytes, int64_t RecordSamples);

// Overflow-safe helpers for running sums and products of positions.
int64_t SaturatingAdd(int64_t A, int64_t B);
int64_t SaturatingSub(int64_t A, int64_t B);
int64_t SaturatingMul(int64_t A, int64_t B);

// Width characters of Bytes from Offset (fewer when the bytes end earlier).
std::string ReadFieldFrom(const std::string& Bytes, int64_t Offset, int Width);
// The width bytes written for a field: the text left-justified, padded with
// blanks and cut to Width when Valid; Width blanks otherwise.
std::string FormatField(bool Valid, const std::string& Text, int Width);
