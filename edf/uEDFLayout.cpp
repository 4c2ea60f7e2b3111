#include "edf/uEDFLayout.h"

#include <algorithm>
#include <limits>

#include "support/uSysUtils.h"
#include "util/udStr.h"

namespace {
bool IsFieldIndex(int Field) { return Field >= 0 && Field < EDFFieldCount; }

}  // namespace

int64_t EDFGeneralFieldOffset(int Field) {
  VASSERT(IsFieldIndex(Field), "Field index out of range");
  return EDFGeneralFields[static_cast<size_t>(Field)].Offset;
}

int64_t EDFSignalFieldOffset(int Field, int64_t Signal, int64_t Ns) {
  VASSERT(IsFieldIndex(Field), "Field index out of range");
  VASSERT(Signal >= 0 && Signal < Ns, "Signal index out of range");
  const TEDFFieldDesc& Desc = EDFSignalFields[static_cast<size_t>(Field)];
  const int64_t Block = SaturatingMul(Ns, Desc.Offset);
  const int64_t Within = SaturatingMul(Signal, Desc.Width);
  return SaturatingAdd(EDFGeneralHeaderBytes, SaturatingAdd(Block, Within));
}

int64_t EDFHeaderBytes(int64_t Ns) {
  return SaturatingMul(EDFSignalHeaderBytes, SaturatingAdd(Ns, 1));
}

int64_t EDFRecordSamples(std::span<const int32_t> NrSamples) {
  int64_t Sum = 0;
  for (const int32_t N : NrSamples) Sum = SaturatingAdd(Sum, N);
  return Sum;
}

int64_t EDFRecordBytes(int64_t RecordSamples, int SampleBytes) {
  return SaturatingMul(RecordSamples, SampleBytes);
}

int64_t EDFSampleOffset(std::span<const int32_t> NrSamples, int64_t Signal) {
  VASSERT(Signal >= 0 && Signal < static_cast<int64_t>(NrSamples.size()),
          "Signal index out of range");
  return EDFRecordSamples(NrSamples.first(static_cast<size_t>(Signal)));
}

int64_t EDFRecordPosition(int64_t HeaderBytes, int64_t Index, int64_t RecordSamples, int SampleBytes) {
  return SaturatingAdd(HeaderBytes, SaturatingMul(Index, EDFRecordBytes(RecordSamples, SampleBytes)));
}

int64_t EDFExpectedFileSize(int64_t HeaderBytes, int64_t NrRecords, int64_t RecordSamples,
                            int SampleBytes) {
  return EDFRecordPosition(HeaderBytes, NrRecords, RecordSamples, SampleBytes);
}

int64_t EDFCompleteRecords(int64_t FileSize, int64_t HeaderBytes, int64_t RecordSamples,
                           int SampleBytes) {
  if (RecordSamples <= 0 || SampleBytes <= 0) return 0;
  const int64_t DataBytes = SaturatingSub(FileSize, HeaderBytes);
  // A file shorter than its header holds no records, not a negative count.
  if (DataBytes <= 0) return 0;
  return (DataBytes / RecordSamples) / SampleBytes;
}

std::string ReadFieldFrom(const std::string& Bytes, int64_t Offset, int Width) {
  const auto Size = static_cast<int64_t>(Bytes.size());
  if (Width <= 0 || Offset < 0 || Offset >= Size) return {};
  const int64_t Count = std::min<int64_t>(Width, Size - Offset);
  return Bytes.substr(static_cast<size_t>(Offset), static_cast<size_t>(Count));
}

std::string FormatField(bool Valid, const std::string& Text, int Width) {
  return Valid ? PadRight(Text, Width) : Spaces(Width);
}

std::string EDFFieldKey(const TEDFFieldDesc& Field) {
  std::string Key = Field.Name;
  for (char& C : Key)
    if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
  return Key;
}
