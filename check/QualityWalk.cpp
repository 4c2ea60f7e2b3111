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

namespace {

// The run [Start, End) of T's signal ends: kept when it may count (long
// enough for a stretch or a flat line, or a clipped run at a limit). Its
// value is read from the block when it starts there, or is the one carried
// over from the block before. Out of line and given everything by value, so
// that the walk's own state stays in registers.
[[gnu::noinline]] void EndRun(TTrack& T, const TSignalFacts& S, const TBlockView& B, int64_t First, int64_t Start,
                              int64_t End, bool AtLimit, int64_t ClipSamples) {
  const auto Value = [&] {
    return Start >= First ? B.Sample((Start - First) / S.N, (Start - First) % S.N) : T.RunValue;
  };
  const int64_t Length = End - Start;
  if (Length >= S.KMin) {
    T.Runs.push_back({Start, End, Value(), false, false});
  } else if (AtLimit && Length >= ClipSamples) {
    const int32_t V = Value();
    if (S.IsLimit(V)) T.Runs.push_back({Start, End, V, false, false});
  }
}

}  // namespace

void WalkRuns(TTrack& T, const TSignalFacts& S, const TBlockView& B, const TTimeline& Time, int64_t ClipSamples) {
  const int64_t N = S.N;
  const int64_t First = B.First * N;  // the block's first sample
  const int64_t KMin = S.KMin;
  // Ones between two changes that make a run long enough to count; none can
  // lie between the first and the last change of a word when that is 63 or more.
  const int64_t Inner = KMin - 1;
  const bool MayBeLong = Inner < 63;
  // The run going on: where it started, and whether that sample hit a limit.
  int64_t RunStart = T.RunStart;
  bool RunLimit = T.RunLimit;
  const uint64_t* Same = B.Same;
  const uint64_t* Limit = B.Limit;
  const int64_t Words = B.Words;
  // A calm record (see TRunMasks) holds no run of 64 samples or more and no
  // sample at a limit: when only such runs can count, what matters is the
  // run that comes in and the one that goes out.
  const bool Quick = KMin >= 64;
  for (int64_t R = 0; R < B.Count; ++R, Same += Words, Limit += Words) {
    const int64_t Record = First + R * N;
    // A record that does not continue the one before starts new runs.
    const uint64_t Break = Record > 0 && Time.Breaks(R) ? 1 : 0;
    if (Quick && B.Calm[R] != 0) {
      const int64_t At = Record + std::countr_zero(~Same[0] | Break);
      if (At - RunStart >= KMin || RunLimit) EndRun(T, S, B, First, RunStart, At, RunLimit, ClipSamples);
      int64_t W = Words - 1;
      while (Same[W] == ~uint64_t{0}) --W;  // a last word of a few samples may hold no change
      RunStart = Record + W * 64 + 63 - std::countl_zero(~Same[W]);
      RunLimit = false;
      continue;
    }
    for (int64_t W = 0; W < Words; ++W) {
      const uint64_t X = Same[W] & ~(W == 0 ? Break : 0);
      if (X == ~uint64_t{0}) continue;
      uint64_t Changes = ~X;
      const uint64_t Limits = Limit[W];
      const int64_t Base = Record + W * 64;
      const int FirstChange = std::countr_zero(Changes);
      const int LastChange = 63 - std::countl_zero(Changes);
      if (MayBeLong && FirstChange != LastChange &&
          (Inner == 0 ||
           // the ones strictly between the first and the last change
           HasOnesRun(X & ((uint64_t{1} << LastChange) - 1) & ~((uint64_t{2} << FirstChange) - 1),
                      static_cast<int>(Inner)))) {
        for (; Changes != 0; Changes &= Changes - 1) {
          const int Bit = std::countr_zero(Changes);
          EndRun(T, S, B, First, RunStart, Base + Bit, RunLimit, ClipSamples);
          RunStart = Base + Bit;
          RunLimit = ((Limits >> Bit) & 1) != 0;
        }
        continue;
      }
      // The run that ends at the first change may count; of the ones in
      // between, only those that start on a limit sample (clipped); the
      // last one goes on.
      if (Base + FirstChange - RunStart >= KMin || RunLimit)
        EndRun(T, S, B, First, RunStart, Base + FirstChange, RunLimit, ClipSamples);
      RunLimit = false;
      if (Limits != 0) {
        for (uint64_t Starts = Changes & Limits & ~(uint64_t{1} << LastChange); Starts != 0; Starts &= Starts - 1) {
          const int Bit = std::countr_zero(Starts);
          EndRun(T, S, B, First, Base + Bit, Base + std::countr_zero(Changes & (~uint64_t{1} << Bit)), true,
                 ClipSamples);
        }
        RunLimit = ((Limits >> LastChange) & 1) != 0;
      }
      RunStart = Base + LastChange;
    }
  }
  // The run goes on into the next block, whose bytes will not hold its start.
  if (RunStart >= First) T.RunValue = B.Sample((RunStart - First) / N, (RunStart - First) % N);
  T.RunStart = RunStart;
  T.RunLimit = RunLimit;
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
