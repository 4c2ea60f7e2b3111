// Walking one signal's run masks a 64-bit word at a time. Most words of a
// live signal hold several value changes and no run anywhere near a
// threshold: such a word costs a few bit operations. Single samples are
// looked at only where a run may matter: at a limit, or where a word holds
// a run long enough to count.
#include <algorithm>
#include <bit>

#include "check/QualityDetail.h"
#include "support/uByteOrder.h"

namespace {

// Whether X holds M consecutive one bits (1 <= M <= 63): Y keeps bit i while
// bits i .. i + M - 1 are all set, its reach doubling each turn.
bool HasOnesRun(uint64_t X, int M) {
  uint64_t Y = X;
  int Have = 1;
  while (Have * 2 <= M) {
    Y &= Y >> Have;
    Have *= 2;
  }
  if (Have < M) Y &= Y >> (M - Have);
  return Y != 0;
}

}  // namespace

int32_t TBlockView::Sample(int64_t Record, int64_t K) const {
  const uint8_t* P = Bytes + Record * RecordBytes + K * SampleBytes;
  if (SampleBytes == 2) return LoadLE16(P);
  const uint32_t U = P[0] | (uint32_t{P[1]} << 8) | (uint32_t{P[2]} << 16);
  return static_cast<int32_t>(U << 8) >> 8;
}

void WalkRuns(TTrack& T, const TSignalFacts& S, const TBlockView& B, const TTimeline& Time, int64_t ClipSamples) {
  const int64_t N = S.N;
  // Ones between two changes that make a run long enough to count.
  const int64_t Inner = S.KMin - 1;
  // A change at sample K of record R: the run before it ends there.
  const auto Change = [&](int64_t R, int64_t K) {
    const int64_t At = (B.First + R) * N + K;
    const int64_t Length = At - T.RunStart;
    if (Length >= S.KMin || (Length >= ClipSamples && S.IsLimit(T.RunValue)))
      T.Runs.push_back({T.RunStart, At, T.RunValue, false, false});
    T.RunStart = At;
    T.RunValue = B.Sample(R, K);
  };
  for (int64_t R = 0; R < B.Count; ++R) {
    const uint64_t* Same = B.Same + R * B.Words;
    const uint64_t* Limit = B.Limit + R * B.Words;
    for (int64_t W = 0; W < B.Words; ++W) {
      uint64_t X = Same[W];
      // A record that does not continue the one before starts new runs.
      if (W == 0 && B.First + R > 0 && Time.Breaks(R)) X &= ~uint64_t{1};
      if (X == ~uint64_t{0}) continue;
      uint64_t Changes = ~X;
      const int64_t Base = W * 64;
      const int FirstChange = std::countr_zero(Changes);
      const int LastChange = 63 - std::countl_zero(Changes);
      bool Look = Limit[W] != 0;
      if (!Look && FirstChange != LastChange && Inner < 63) {
        if (Inner == 0) {
          Look = true;
        } else {
          // The ones strictly between the first and the last change.
          const uint64_t Between = X & ((uint64_t{1} << LastChange) - 1) & ~((uint64_t{2} << FirstChange) - 1);
          Look = HasOnesRun(Between, static_cast<int>(Inner));
        }
      }
      if (Look) {
        for (; Changes != 0; Changes &= Changes - 1) Change(R, Base + std::countr_zero(Changes));
        continue;
      }
      // Only the run that ends at the first change can count; the ones in
      // between are short and off the limits, the last goes on.
      Change(R, Base + FirstChange);
      if (LastChange != FirstChange) {
        T.RunStart = (B.First + R) * N + Base + LastChange;
        T.RunValue = B.Sample(R, Base + LastChange);
      }
    }
  }
}

void CountLevels(TTrack& T, const TBlockView& B) {
  for (int64_t R = 0; R < B.Count && T.Distinct < 3; ++R) {
    for (int64_t W = 0; W < B.Words && T.Distinct < 3; ++W) {
      for (uint64_t Changes = ~B.Same[R * B.Words + W]; Changes != 0; Changes &= Changes - 1) {
        const int32_t V = B.Sample(R, W * 64 + std::countr_zero(Changes));
        if (V == T.A || (T.Distinct == 2 && V == T.B)) continue;
        if (T.Distinct == 1) {
          T.B = V;
          T.Distinct = 2;
        } else {
          T.Distinct = 3;
          break;
        }
      }
    }
  }
}

void MarkOutside(TTimeline& Time, const TSignalFacts& S, const TBlockView& B) {
  const int64_t N = S.N;
  for (int64_t R = 0; R < B.Count; ++R) {
    const uint64_t* Outside = B.Outside + R * B.Words;
    const int64_t Record = B.First + R;
    int64_t K = 0;
    while (K < N) {
      // The next sample outside, from K on.
      int64_t W = K / 64;
      uint64_t Bits = W < B.Words ? Outside[W] & (~uint64_t{0} << (K % 64)) : 0;
      while (Bits == 0 && ++W < B.Words) Bits = Outside[W];
      if (Bits == 0) break;
      K = W * 64 + std::countr_zero(Bits);
      const int64_t At = Time.StartNs(Record * N + K, N, Record);
      Time.Mark(static_cast<size_t>(S.Index), At, At + 1, TTimeline::mOutside);
      // Its epoch is marked: go on from the first sample of the next one.
      K = std::max(K + 1, Time.FirstSampleFrom(Time.EpochEndNs(Time.EpochOf(At)), N, Record));
    }
  }
}
