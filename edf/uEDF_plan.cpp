// The read/write plan: which runs of a data record go to which runs of the
// sample buffer, and the buffer itself.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFLayout.h"
#include "edf/uEDFSignalInfo.h"

namespace {

constexpr int64_t MaxInt32 = std::numeric_limits<int32_t>::max();

int32_t ClampToInt32(int64_t Value) {
  return Value > MaxInt32 ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(Value);
}

}  // namespace

void TCustomEDFFile::DropBuffers() {
  FBuffer = std::make_shared<TDynSmallIntArray>();
  FBuffer32 = std::make_shared<TDynIntegerArray>();
}

bool TCustomEDFFile::BufferEmpty() const {
  return FFormat == TEDFFormat::BDF ? FBuffer32->empty() : FBuffer->empty();
}

void TCustomEDFFile::AllocateBuffer(int64_t Length) {
  if (FFormat == TEDFFormat::BDF)
    FBuffer32->assign(static_cast<size_t>(Length), 0);
  else
    FBuffer->assign(static_cast<size_t>(Length), 0);
}

void TCustomEDFFile::ComputeRecordSamples() {
  DropBuffers();
  FPlannedBufferLength = 0;
  int64_t sum = 0;
  for (const auto& signal : FSignals) sum += signal->NrSamples();
  FRecordSamples = sum;
}

void TCustomEDFFile::UpdateChunks(TCustomEDFSignalInfo* /*Sender*/) {
  FCurrentRecord = -1;
  // A new array rather than a cleared one: callers holding the old buffer
  // keep the samples they were given.
  DropBuffers();
  FPlannedBufferLength = 0;
  FPlanTooLarge = false;
  FChunks.clear();
  if (!FValid) return;

  // Sums in 64 bits: a crafted header may announce 9999 signals of 99999999
  // samples, far beyond what 32-bit offsets hold.
  struct TRun {
    int64_t RecordOffset, BufferOffset, Count;
  };
  std::vector<TRun> runs;
  bool open = false;
  TRun run{};
  int64_t r = 0;
  int64_t t = 0;
  const int64_t count = std::min<int64_t>(FSignals.size(), std::max(0, FFileInfo ? FFileInfo->NrSignals() : 0));
  for (int64_t i = 0; i < count; ++i) {
    TCustomEDFSignalInfo& signal = *FSignals[static_cast<size_t>(i)];
    const int64_t n = std::max<int32_t>(signal.NrSamples(), 0);
    signal.SetRecordOffset(ClampToInt32(r));
    // On a compressed file every signal is loaded, so a record is one
    // contiguous read instead of many small ones.
    if (signal.Selected() || FIsCompressed) {
      signal.SetBufferOffset(ClampToInt32(t));
      if (open) {
        run.Count += n;
      } else {
        run = TRun{r, t, n};
        open = true;
      }
      t += n;
    } else {
      signal.SetBufferOffset(-1);
      if (open) runs.push_back(run);
      open = false;
    }
    r += n;
  }
  if (open) runs.push_back(run);

  FRecordSamples = r;
  FPlannedBufferLength = t;
  if (t > MaxBufferSamples || r > MaxInt32) {
    // Refused: reading or writing a record of this plan raises instead.
    FPlanTooLarge = true;
    return;
  }
  for (const TRun& x : runs)
    FChunks.push_back({static_cast<int32_t>(x.RecordOffset), static_cast<int32_t>(x.BufferOffset),
                       static_cast<int32_t>(x.Count)});
  // A header alone must not reserve memory for a record the file does not
  // hold: without a whole record the buffer waits for its first user
  // (GetBuffer, and through it reading and writing a record).
  if (FStream && FFileInfo &&
      FileSize() >= EDFRecordPosition(FFileInfo->HeaderBytes(), 1, FRecordSamples, SampleBytes()))
    AllocateBuffer(t);
}

std::shared_ptr<TDynSmallIntArray> TCustomEDFFile::GetBuffer() {
  if (FFormat == TEDFFormat::EDF && FBuffer->empty()) {
    UpdateChunks(nullptr);
    if (FBuffer->empty() && !FPlanTooLarge) AllocateBuffer(FPlannedBufferLength);
  }
  return FBuffer;
}

std::shared_ptr<TDynIntegerArray> TCustomEDFFile::GetBuffer32() {
  if (FFormat == TEDFFormat::BDF && FBuffer32->empty()) {
    UpdateChunks(nullptr);
    if (FBuffer32->empty() && !FPlanTooLarge) AllocateBuffer(FPlannedBufferLength);
  }
  return FBuffer32;
}
