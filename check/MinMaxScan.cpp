#include "check/MinMaxScan.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

#include "check/MinMaxFold.h"
#include "check/Rules.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFLayout.h"
#include "edf/uEDFSignalInfo.h"
#include "support/uSysUtils.h"

namespace {

// Written as a plain loop over local extremes so that the compiler turns it
// into vector min/max instructions (this file is built with -O3). The locals
// have the samples' width (for EDF, SSE2's direct 16-bit min/max with twice
// the lanes); they are widened once per call.
template <class T>
void FoldRange(const T* Samples, int32_t Count, int32_t& Min, int32_t& Max) {
  if (Count <= 0) return;
  T Lo = std::numeric_limits<T>::max();
  T Hi = std::numeric_limits<T>::min();
  for (int32_t i = 0; i < Count; ++i) {
    Lo = std::min(Lo, Samples[i]);
    Hi = std::max(Hi, Samples[i]);
  }
  Min = std::min<int32_t>(Min, Lo);
  Max = std::max<int32_t>(Max, Hi);
}

// Every signal without an extreme yet.
TMinMaxResult EmptyResult(size_t Ns) {
  TMinMaxResult R;
  R.FoundMin.assign(Ns, FoundMinStart);
  R.FoundMax.assign(Ns, FoundMaxStart);
  R.MinRecord.assign(Ns, -1);
  R.MaxRecord.assign(Ns, -1);
  return R;
}

}  // namespace

void FoldMinMax(const int16_t* Samples, int32_t Count, int32_t& Min, int32_t& Max) {
  FoldRange(Samples, Count, Min, Max);
}

void FoldMinMax32(const int32_t* Samples, int32_t Count, int32_t& Min, int32_t& Max) {
  FoldRange(Samples, Count, Min, Max);
}

int ProgressPercent(int64_t r, int64_t N) {
  if (N <= 0) return 0;
  // Extended precision as the percentage was always computed; the rounding is
  // spelled out so that it does not depend on the floating-point mode.
  const long double X = static_cast<long double>(r) / static_cast<long double>(N) * 100.0L;
  const long double Floor = std::floor(X);
  const long double Frac = X - Floor;
  long double Rounded = Floor;
  if (Frac > 0.5L || (Frac == 0.5L && std::fmod(Floor, 2.0L) != 0.0L)) Rounded = Floor + 1.0L;
  return static_cast<int>(Rounded);
}

TMinMaxFold::TMinMaxFold(const TRecordLayout& Layout) : FLayout(Layout), FResult(EmptyResult(Layout.Signals.size())) {}

void TMinMaxFold::Fold(int64_t First, int64_t Count, const uint8_t* Bytes) {
  for (size_t j = 0; j < FLayout.Signals.size(); ++j) {
    const TSignalSpan& S = FLayout.Signals[j];
    if (S.Samples <= 0) continue;
    const uint8_t* P = Bytes + S.Offset;
    const int32_t Min = FResult.FoundMin[j];
    const int32_t Max = FResult.FoundMax[j];
    FoldSignalBlock(P, S.Samples, FLayout.SampleBytes, Count, FLayout.RecordBytes, FResult.FoundMin[j],
                    FResult.FoundMax[j]);
    if (FResult.FoundMin[j] == Min && FResult.FoundMax[j] == Max) continue;
    // A new extreme in this block: its first record is where the reports
    // point, so that record is looked for (rare after the first blocks).
    bool MinFound = FResult.FoundMin[j] == Min;
    bool MaxFound = FResult.FoundMax[j] == Max;
    for (int64_t r = 0; r < Count && !(MinFound && MaxFound); ++r) {
      int32_t Lo = FoundMinStart;
      int32_t Hi = FoundMaxStart;
      FoldSamples(P + r * FLayout.RecordBytes, S.Samples, FLayout.SampleBytes, Lo, Hi);
      if (!MinFound && Lo == FResult.FoundMin[j]) {
        FResult.MinRecord[j] = static_cast<int32_t>(First + r);
        MinFound = true;
      }
      if (!MaxFound && Hi == FResult.FoundMax[j]) {
        FResult.MaxRecord[j] = static_cast<int32_t>(First + r);
        MaxFound = true;
      }
    }
  }
  FResult.RecordsScanned += static_cast<int32_t>(Count);
}

void TMinMaxFold::OnRecord(int64_t Index, int64_t /*Position*/, const uint8_t* Bytes) { Fold(Index, 1, Bytes); }

void TMinMaxFold::OnRecords(int64_t First, int64_t Count, int64_t /*RecordBytes*/, int64_t /*Position*/,
                            const uint8_t* Bytes) {
  Fold(First, Count, Bytes);
}

namespace {

// Where each signal's samples lie in the record buffer; checked once per
// scan against the buffer, so the loop never reads outside it.
struct TBufferSpan {
  int64_t Offset = 0;
  int32_t Count = 0;
};

template <class TBuffer>
std::vector<TBufferSpan> BufferSpans(TCustomEDFFile& F, const TBuffer& Buffer, size_t Ns) {
  const int64_t Length = static_cast<int64_t>(Buffer.size());
  std::vector<TBufferSpan> Spans(Ns);
  for (size_t j = 0; j < Ns; ++j) {
    const TCustomEDFSignalInfo& S = *F.GetSignal(static_cast<int>(j));
    Spans[j] = {S.BufferOffset(), std::max(S.NrSamples(), 0)};
    VASSERT(Spans[j].Count == 0 || (Spans[j].Offset >= 0 && Spans[j].Offset + Spans[j].Count <= Length),
            "Signal samples outside the record buffer");
  }
  return Spans;
}

// Every signal's samples of the record in Buffer (16-bit EDF or 32-bit BDF)
// folded into R.
template <class TBuffer>
void FoldRecord(const TBuffer& Buffer, const std::vector<TBufferSpan>& Spans, int32_t Record, TMinMaxResult& R) {
  for (size_t j = 0; j < Spans.size(); ++j) {
    const TBufferSpan& S = Spans[j];
    if (S.Count <= 0) continue;
    const int32_t Min = R.FoundMin[j];
    const int32_t Max = R.FoundMax[j];
    if constexpr (std::is_same_v<typename TBuffer::value_type, int16_t>) {
      // The buffer holds the samples in host order; on a little-endian host
      // those are the bytes of the file, which the vector fold takes as they are.
      if constexpr (std::endian::native == std::endian::little)
        FoldSamples(reinterpret_cast<const uint8_t*>(Buffer.data() + S.Offset), S.Count, 2, R.FoundMin[j],
                    R.FoundMax[j]);
      else
        FoldMinMax(Buffer.data() + S.Offset, S.Count, R.FoundMin[j], R.FoundMax[j]);
    } else {
      FoldMinMax32(Buffer.data() + S.Offset, S.Count, R.FoundMin[j], R.FoundMax[j]);
    }
    if (R.FoundMin[j] < Min) R.MinRecord[j] = Record;
    if (R.FoundMax[j] > Max) R.MaxRecord[j] = Record;
  }
}

}  // namespace

TMinMaxResult ScanDigitalMinMax(TCustomEDFFile& F, const TMinMaxProgress& AfterLoad) {
  const TCustomEDFFileInfo& Info = *F.FileInfo();
  const int Ns = Info.NrSignals();
  const int32_t N = Info.NrDataRecords();

  TMinMaxResult R = EmptyResult(static_cast<size_t>(std::max(Ns, 0)));

  std::vector<TBufferSpan> Spans;
  for (int32_t Record = 0; Record < N; ++Record) {
    F.ReadDataRecord(Record);
    if (AfterLoad && !AfterLoad(Record, N, ProgressPercent(Record, N))) {
      R.Cancelled = true;
      break;
    }
    // The buffer exists once a record was read; the plan cannot change during
    // the scan (every other window is off), so its spans are taken once.
    if (F.Format() == TEDFFormat::BDF) {
      if (Spans.empty()) Spans = BufferSpans(F, *F.GetBuffer32(), R.FoundMin.size());
      FoldRecord(*F.GetBuffer32(), Spans, Record, R);
    } else {
      if (Spans.empty()) Spans = BufferSpans(F, *F.GetBuffer(), R.FoundMin.size());
      FoldRecord(*F.GetBuffer(), Spans, Record, R);
    }
    ++R.RecordsScanned;
  }
  return R;
}

std::vector<std::string> BuildMinMaxReport(const TCustomEDFFile& F, const TMinMaxResult& R) {
  std::vector<std::string> Lines;
  const int Ns = static_cast<int>(R.FoundMin.size());
  for (int j = 0; j < Ns; ++j) {
    const TCustomEDFSignalInfo& S = *F.GetSignal(j);
    const std::string Head = "Signal " + std::to_string(j + 1) + " (" + S.SignalLabel() + "): ";
    const int32_t Min = R.FoundMin[static_cast<size_t>(j)];
    const int32_t Max = R.FoundMax[static_cast<size_t>(j)];
    if (Min < S.Digimin()) {
      Lines.push_back(Head + "found DigitalMin value=" + std::to_string(Min) +
                      " (headerinfo DigiMin=" + std::to_string(S.Digimin()) + ")");
    }
    if (Max > S.Digimax()) {
      Lines.push_back(Head + "found DigitalMax value=" + std::to_string(Max) +
                      " (headerinfo DigiMax=" + std::to_string(S.Digimax()) + ")");
    }
  }
  if (Lines.empty()) {
    Lines.push_back("No errors found");
  } else {
    Lines.insert(Lines.begin(), "Found " + std::to_string(Lines.size()) + " errors:\r\n");
  }
  return Lines;
}

TFindings MinMaxFindings(TCustomEDFFile& F, const TMinMaxResult& R) {
  TFindings Out;
  const int Ns = static_cast<int>(R.FoundMin.size());
  const int64_t HeaderBytes = F.FileInfo()->HeaderBytes();
  const int SampleBytes = F.SampleBytes();
  // The first sample of record Record of signal j that equals Value; its
  // absolute byte offset, or -1 when the record can no longer be read.
  auto Locate = [&](int j, int32_t Record, int32_t Value) -> int64_t {
    if (Record < 0) return -1;
    try {
      F.ReadDataRecord(Record);
    } catch (const std::exception&) {
      return -1;
    }
    const TCustomEDFSignalInfo& S = *F.GetSignal(j);
    const auto Find = [&](const auto& B) -> int64_t {
      for (int32_t i = 0; i < S.NrSamples(); ++i) {
        if (B[static_cast<size_t>(S.BufferOffset() + i)] == Value)
          return EDFRecordPosition(HeaderBytes, Record, F.RecordSamples(), SampleBytes) +
                 int64_t{SampleBytes} * (S.RecordOffset() + i);
      }
      return -1;
    };
    return F.Format() == TEDFFormat::BDF ? Find(*F.GetBuffer32()) : Find(*F.GetBuffer());
  };
  for (int j = 0; j < Ns; ++j) {
    const TCustomEDFSignalInfo& S = *F.GetSignal(j);
    const auto J = static_cast<size_t>(j);
    const std::string Head = "Signal " + std::to_string(j + 1) + " (" + S.SignalLabel() + ") holds ";
    const auto Add = [&](TClassicRule Rule, int32_t Record, int32_t Value, const std::string& Text) {
      const int64_t Offset = Locate(j, Record, Value);
      Out.push_back(MakeFinding(RuleOf(Rule), TWhere{TWhereKind::DataRecord, j, Record, -1}, Offset,
                                Offset < 0 ? 0 : SampleBytes, "", Head + Text));
    };
    if (R.FoundMin[J] < S.Digimin())
      Add(TClassicRule::SamplesDigiMin, R.MinRecord[J], R.FoundMin[J],
          std::to_string(R.FoundMin[J]) + ", below DigiMin " + std::to_string(S.Digimin()));
    if (R.FoundMax[J] > S.Digimax())
      Add(TClassicRule::SamplesDigiMax, R.MaxRecord[J], R.FoundMax[J],
          std::to_string(R.FoundMax[J]) + ", above DigiMax " + std::to_string(S.Digimax()));
  }
  return Out;
}
