#include "check/QualityRuns.h"

#include <algorithm>
#include <vector>

#include "support/uByteOrder.h"
#include "support/uSysUtils.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VELLICOR_RUNS_AVX2 1
#endif

namespace {

using TMaskFunction = unsigned (*)(const uint8_t* Bytes, int64_t Count, int64_t Records, int64_t Stride,
                                   int32_t Prev, int32_t Lo, int32_t Hi, const TRunMasks& Out, int64_t Ahead);

int32_t LoadLE24(const uint8_t* Bytes) {
  const uint32_t U = Bytes[0] | (uint32_t{Bytes[1]} << 8) | (uint32_t{Bytes[2]} << 16);
  return static_cast<int32_t>(U << 8) >> 8;
}

template <int SampleBytes>
int32_t LoadSample(const uint8_t* P) {
  if constexpr (SampleBytes == 2)
    return LoadLE16(P);
  else
    return LoadLE24(P);
}

// The bits past Count in a record's last word: part of no run.
void Pad(int64_t Count, uint64_t* Same, uint64_t* Limit, uint64_t* Outside) {
  const int Used = static_cast<int>(Count % 64);
  if (Used == 0) return;
  const int64_t Last = Count / 64;
  const uint64_t Beyond = ~uint64_t{0} << Used;
  Same[Last] |= Beyond;
  Limit[Last] &= ~Beyond;
  Outside[Last] &= ~Beyond;
}

// The 32 Same bits of the samples from Index of a record.
uint32_t Bits32At(const uint64_t* Words, int64_t Index) {
  const uint64_t Low = Words[Index / 64] >> (Index % 64);
  const uint64_t High = Index % 64 > 32 ? Words[Index / 64 + 1] << (64 - Index % 64) : 0;
  return static_cast<uint32_t>(Low | High);
}

// See TRunMasks::Calm: the chunks are those of 32 samples from 0, 32, ...
// and the last 32 samples of the record.
uint8_t CalmRecord(int64_t Count, const uint64_t* Same, const uint64_t* Limit, const uint64_t* Outside) {
  if (Count < 32) return 0;
  for (int64_t w = 0; w < RunMaskWords(Count); ++w)
    if (Limit[w] != 0 || Outside[w] != 0) return 0;
  for (int64_t i = 0; i + 32 <= Count; i += 32)
    if (Bits32At(Same, i) == 0xFFFFFFFFu) return 0;
  return Bits32At(Same, Count - 32) != 0xFFFFFFFFu ? 1 : 0;
}

template <int SampleBytes>
unsigned MasksPortable(const uint8_t* Bytes, int64_t Count, int64_t Records, int64_t Stride, int32_t Prev,
                       int32_t Lo, int32_t Hi, const TRunMasks& Out, int64_t /*Ahead*/) {
  const int64_t Words = RunMaskWords(Count);
  uint64_t AnyLimit = 0;
  uint64_t AnyOutside = 0;
  int32_t Before = Prev;
  for (int64_t r = 0; r < Records; ++r) {
    const uint8_t* P = Bytes + r * Stride;
    uint64_t* Same = Out.Same + r * Words;
    uint64_t* Limit = Out.Limit + r * Words;
    uint64_t* Outside = Out.Outside + r * Words;
    int32_t Min = INT32_MAX, Max = INT32_MIN;
    for (int64_t w = 0; w < Words; ++w) {
      uint64_t S = 0, L = 0, O = 0;
      const int64_t End = std::min<int64_t>(64, Count - w * 64);
      for (int64_t b = 0; b < End; ++b) {
        const int32_t V = LoadSample<SampleBytes>(P + SampleBytes * (w * 64 + b));
        S |= uint64_t{V == Before} << b;
        L |= uint64_t{V == Lo || V == Hi} << b;
        O |= uint64_t{V < Lo || V > Hi} << b;
        Min = std::min(Min, V);
        Max = std::max(Max, V);
        Before = V;
      }
      Same[w] = S;
      Limit[w] = L;
      Outside[w] = O;
      AnyLimit |= L;
      AnyOutside |= O;
    }
    Pad(Count, Same, Limit, Outside);
    Out.Calm[r] = CalmRecord(Count, Same, Limit, Outside);
    Out.Min[r] = Min;
    Out.Max[r] = Max;
  }
  return (AnyLimit != 0 ? rhLimit : 0u) | (AnyOutside != 0 ? rhOutside : 0u);
}

#ifdef VELLICOR_RUNS_AVX2

#define AVX2_FUNCTION __attribute__((target("avx2")))
// The chunk functions are the loop body: a call per chunk costs more than the chunk.
#define AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

// 32 bits of a mask at sample Index of a record: the first half of a word is
// written, the second half added to it.
inline void Put32(uint64_t* Words, int64_t Index, uint32_t Bits) {
  if (Index % 64 == 0)
    Words[Index / 64] = Bits;
  else
    Words[Index / 64] |= uint64_t{Bits} << 32;
}

AVX2_INLINE __m256i Load256(const uint8_t* P) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(P)); }

// One bit per 16-bit lane of two comparison results, in sample order.
AVX2_INLINE uint32_t Bits16(__m256i A, __m256i B) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_permute4x64_epi64(_mm256_packs_epi16(A, B), 0xD8)));
}

// One bit per 32-bit lane.
AVX2_INLINE uint32_t Bits32(__m256i A) { return static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(A))); }

// Eight 24-bit samples as eight 32-bit lanes holding each sample shifted up
// by 8 bits (as the fold loads them): order and equality are the samples'.
AVX2_INLINE __m256i Load24x8(const uint8_t* P) {
  const auto Z = static_cast<char>(0x80);
  const __m256i Spread = _mm256_setr_epi8(Z, 0, 1, 2, Z, 3, 4, 5, Z, 6, 7, 8, Z, 9, 10, 11,  //
                                          Z, 4, 5, 6, Z, 7, 8, 9, Z, 10, 11, 12, Z, 13, 14, 15);
  const __m128i Low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
  const __m128i High = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P + 8));
  return _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(Low), High, 1), Spread);
}

// A limit as the lanes hold it.
template <int SampleBytes>
AVX2_INLINE __m256i Lanes(int32_t V) {
  if constexpr (SampleBytes == 2)
    return _mm256_set1_epi16(static_cast<int16_t>(V));
  else
    return _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(V) << 8));
}

// The Same bits of the 32 samples from Index, Prev standing before them at
// the start of the record (otherwise the sample before is read from it); the
// samples are folded into the record's running Min and Max.
template <int SampleBytes, bool AtStart>
AVX2_INLINE uint32_t SameBits(const uint8_t* P, int64_t Index, int32_t Prev, __m256i& Min, __m256i& Max) {
  if constexpr (SampleBytes == 2) {
    const uint8_t* Q = P + 2 * Index;
    const __m256i V0 = Load256(Q);
    const __m256i V1 = Load256(Q + 32);
    __m256i P0;
    if constexpr (AtStart) {
      // Prev, then the first 15 samples: each 128-bit half shifted by one
      // lane, the lane that crosses the halves taken from its neighbour.
      const __m256i Across = _mm256_permute2x128_si256(_mm256_set1_epi16(static_cast<int16_t>(Prev)), V0, 0x21);
      P0 = _mm256_alignr_epi8(V0, Across, 14);
    } else {
      P0 = Load256(Q - 2);
    }
    Min = _mm256_min_epi16(Min, _mm256_min_epi16(V0, V1));
    Max = _mm256_max_epi16(Max, _mm256_max_epi16(V0, V1));
    return Bits16(_mm256_cmpeq_epi16(V0, P0), _mm256_cmpeq_epi16(V1, Load256(Q + 30)));
  } else {
    uint32_t Same = 0;
    for (int j = 0; j < 4; ++j) {
      const uint8_t* Q = P + 3 * (Index + 8 * j);
      const __m256i V = Load24x8(Q);
      __m256i Before;
      if (AtStart && j == 0) {
        const __m256i Shifted = _mm256_permutevar8x32_epi32(V, _mm256_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6));
        Before = _mm256_blend_epi32(Shifted, Lanes<3>(Prev), 0x01);
      } else {
        Before = Load24x8(Q - 3);
      }
      Min = _mm256_min_epi32(Min, V);
      Max = _mm256_max_epi32(Max, V);
      Same |= Bits32(_mm256_cmpeq_epi32(V, Before)) << (8 * j);
    }
    return Same;
  }
}

// The Limit and Outside bits of the 32 samples from Index.
template <int SampleBytes>
AVX2_INLINE void EdgeBits(const uint8_t* P, int64_t Index, __m256i Lo, __m256i Hi, uint32_t& Limit,
                          uint32_t& Outside) {
  if constexpr (SampleBytes == 2) {
    const __m256i V0 = Load256(P + 2 * Index);
    const __m256i V1 = Load256(P + 2 * Index + 32);
    Limit = Bits16(_mm256_or_si256(_mm256_cmpeq_epi16(V0, Lo), _mm256_cmpeq_epi16(V0, Hi)),
                   _mm256_or_si256(_mm256_cmpeq_epi16(V1, Lo), _mm256_cmpeq_epi16(V1, Hi)));
    Outside = Bits16(_mm256_or_si256(_mm256_cmpgt_epi16(Lo, V0), _mm256_cmpgt_epi16(V0, Hi)),
                     _mm256_or_si256(_mm256_cmpgt_epi16(Lo, V1), _mm256_cmpgt_epi16(V1, Hi)));
  } else {
    Limit = Outside = 0;
    for (int j = 0; j < 4; ++j) {
      const __m256i V = Load24x8(P + 3 * (Index + 8 * j));
      Limit |= Bits32(_mm256_or_si256(_mm256_cmpeq_epi32(V, Lo), _mm256_cmpeq_epi32(V, Hi))) << (8 * j);
      Outside |= Bits32(_mm256_or_si256(_mm256_cmpgt_epi32(Lo, V), _mm256_cmpgt_epi32(V, Hi))) << (8 * j);
    }
  }
}

// The smallest and largest lane of a record's running extremes, as samples.
template <int SampleBytes>
AVX2_INLINE int32_t LowestOf(__m256i V) {
  if constexpr (SampleBytes == 2) {
    // PHMINPOSUW finds the smallest unsigned lane: flipping the sign bit maps
    // signed order onto unsigned order.
    const __m128i Half = _mm_min_epi16(_mm256_castsi256_si128(V), _mm256_extracti128_si256(V, 1));
    const __m128i Flip = _mm_set1_epi16(static_cast<int16_t>(0x8000));
    return static_cast<int16_t>((_mm_cvtsi128_si32(_mm_minpos_epu16(_mm_xor_si128(Half, Flip))) & 0xFFFF) ^ 0x8000);
  } else {
    __m128i M = _mm_min_epi32(_mm256_castsi256_si128(V), _mm256_extracti128_si256(V, 1));
    M = _mm_min_epi32(M, _mm_shuffle_epi32(M, 0x4E));
    M = _mm_min_epi32(M, _mm_shuffle_epi32(M, 0xB1));
    return _mm_cvtsi128_si32(M) >> 8;
  }
}

template <int SampleBytes>
AVX2_INLINE int32_t HighestOf(__m256i V) {
  if constexpr (SampleBytes == 2) {
    // Flipping every bit but the sign reverses the order as well.
    const __m128i Half = _mm_max_epi16(_mm256_castsi256_si128(V), _mm256_extracti128_si256(V, 1));
    const __m128i Flip = _mm_set1_epi16(0x7FFF);
    return static_cast<int16_t>((_mm_cvtsi128_si32(_mm_minpos_epu16(_mm_xor_si128(Half, Flip))) & 0xFFFF) ^ 0x7FFF);
  } else {
    __m128i M = _mm_max_epi32(_mm256_castsi256_si128(V), _mm256_extracti128_si256(V, 1));
    M = _mm_max_epi32(M, _mm_shuffle_epi32(M, 0x4E));
    M = _mm_max_epi32(M, _mm_shuffle_epi32(M, 0xB1));
    return _mm_cvtsi128_si32(M) >> 8;
  }
}

template <int SampleBytes>
AVX2_FUNCTION unsigned MasksAvx2(const uint8_t* Bytes, int64_t Count, int64_t Records, int64_t Stride, int32_t Prev,
                                 int32_t Lo, int32_t Hi, const TRunMasks& Out, int64_t Ahead) {
  // A record of fewer samples than one chunk is not worth the vectors.
  if (Count < 32) return MasksPortable<SampleBytes>(Bytes, Count, Records, Stride, Prev, Lo, Hi, Out, Ahead);
  const __m256i VLo = Lanes<SampleBytes>(Lo);
  const __m256i VHi = Lanes<SampleBytes>(Hi);
  const __m256i Lowest = SampleBytes == 2 ? _mm256_set1_epi16(INT16_MAX) : _mm256_set1_epi32(INT32_MAX);
  const __m256i Highest = SampleBytes == 2 ? _mm256_set1_epi16(INT16_MIN) : _mm256_set1_epi32(INT32_MIN);
  const int64_t Words = RunMaskWords(Count);
  // The chunks of a record: whole ones, then the last 32 samples once more,
  // of which the bits of those not yet done are kept.
  const int64_t Whole = Count / 32 * 32;
  const int64_t Overlap = Whole - (Count - 32);
  uint64_t AnyLimit = 0;
  uint64_t AnyOutside = 0;
  for (int64_t r = 0; r < Records; ++r) {
    const uint8_t* P = Bytes + r * Stride;
    const int32_t Before = r == 0 ? Prev : LoadSample<SampleBytes>(P - Stride + SampleBytes * (Count - 1));
    uint64_t* Same = Out.Same + r * Words;
    uint64_t* Limit = Out.Limit + r * Words;
    uint64_t* Outside = Out.Outside + r * Words;
    __m256i Min = Lowest, Max = Highest;
    // The first chunk takes Before from the record before; the others read
    // theirs from the record. Quiet gathers the chunks without a change.
    uint32_t Low = SameBits<SampleBytes, true>(P, 0, Before, Min, Max);
    uint32_t Quiet = 0;
    int64_t i = 0;
    for (; i + 64 <= Count; i += 64) {
      if (Ahead != 0) {
        // The same samples one block on: 64 of them span SampleBytes lines.
        const auto* Next = reinterpret_cast<const char*>(P + Ahead + SampleBytes * i);
        for (int Line = 0; Line < SampleBytes; ++Line) _mm_prefetch(Next + 64 * Line, _MM_HINT_T0);
      }
      const uint32_t High = SameBits<SampleBytes, false>(P, i + 32, Before, Min, Max);
      Quiet |= (Low == 0xFFFFFFFFu) | (High == 0xFFFFFFFFu);
      Same[i / 64] = Low | uint64_t{High} << 32;
      Limit[i / 64] = 0;
      Outside[i / 64] = 0;
      if (i + 96 <= Count) Low = SameBits<SampleBytes, false>(P, i + 64, Before, Min, Max);
    }
    if (i < Whole) {
      Quiet |= Low == 0xFFFFFFFFu;
      Same[i / 64] = Low;
      Limit[i / 64] = 0;
      Outside[i / 64] = 0;
    }
    if (Whole < Count) {
      if (Whole % 64 == 0) Limit[Whole / 64] = Outside[Whole / 64] = 0;
      const uint32_t Last = SameBits<SampleBytes, false>(P, Count - 32, Before, Min, Max);
      Quiet |= Last == 0xFFFFFFFFu;
      Put32(Same, Whole, Last >> Overlap);
    }
    Out.Min[r] = LowestOf<SampleBytes>(Min);
    Out.Max[r] = HighestOf<SampleBytes>(Max);
    // Only a record whose extremes reach a limit has limit or outside bits.
    const bool Reaches = Out.Min[r] <= Lo || Out.Max[r] >= Hi;
    Out.Calm[r] = Quiet == 0 && !Reaches ? 1 : 0;
    if (Reaches) {
      uint32_t L = 0, O = 0;
      for (int64_t j = 0; j < Whole; j += 32) {
        EdgeBits<SampleBytes>(P, j, VLo, VHi, L, O);
        Put32(Limit, j, L);
        Put32(Outside, j, O);
      }
      if (Whole < Count) {
        EdgeBits<SampleBytes>(P, Count - 32, VLo, VHi, L, O);
        Put32(Limit, Whole, L >> Overlap);
        Put32(Outside, Whole, O >> Overlap);
      }
      for (int64_t w = 0; w < Words; ++w) {
        AnyLimit |= Limit[w];
        AnyOutside |= Outside[w];
      }
    }
    Pad(Count, Same, Limit, Outside);
  }
  return (AnyLimit != 0 ? rhLimit : 0u) | (AnyOutside != 0 ? rhOutside : 0u);
}

bool HasAvx2() {
  static const bool Has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return Has;
}

#endif  // VELLICOR_RUNS_AVX2

TMaskFunction MaskFunction(TFoldPath Path, int SampleBytes) {
  VASSERT(SampleBytes == 2 || SampleBytes == 3, "Samples of 2 or 3 bytes only");
  VASSERT(FoldPathAvailable(Path), "Run detection path not available on this processor");
#ifdef VELLICOR_RUNS_AVX2
  if (Path == TFoldPath::Avx2 && HasAvx2()) return SampleBytes == 2 ? MasksAvx2<2> : MasksAvx2<3>;
#endif
  return SampleBytes == 2 ? MasksPortable<2> : MasksPortable<3>;
}

struct TActiveMasks {
  TMaskFunction Masks16;
  TMaskFunction Masks24;
};

const TActiveMasks& ActiveMasks() {
  static const TActiveMasks Masks{MaskFunction(ActiveFoldPath(), 2), MaskFunction(ActiveFoldPath(), 3)};
  return Masks;
}

// The limits inside the samples' range: a limit beyond it is one no sample
// can equal, and the range's own end then marks samples that the caller
// checks against the real limit.
void Clamp(int SampleBytes, int32_t& Lo, int32_t& Hi) {
  const int32_t Lowest = SampleBytes == 2 ? INT16_MIN : -8388608;
  const int32_t Highest = SampleBytes == 2 ? INT16_MAX : 8388607;
  Lo = std::clamp(Lo, Lowest, Highest);
  Hi = std::clamp(Hi, Lowest, Highest);
}

}  // namespace

unsigned RunMasks(const uint8_t* Bytes, int64_t Count, int SampleBytes, int64_t Records, int64_t Stride,
                  int32_t Prev, int32_t Lo, int32_t Hi, const TRunMasks& Out, int64_t Ahead) {
  if (Count <= 0 || Records <= 0) return 0;
  Clamp(SampleBytes, Lo, Hi);
  const TActiveMasks& M = ActiveMasks();
  return (SampleBytes == 2 ? M.Masks16 : M.Masks24)(Bytes, Count, Records, Stride, Prev, Lo, Hi, Out, Ahead);
}

unsigned RunMasksWith(TFoldPath Path, const uint8_t* Bytes, int64_t Count, int SampleBytes, int64_t Records,
                      int64_t Stride, int32_t Prev, int32_t Lo, int32_t Hi, const TRunMasks& Out) {
  if (Count <= 0 || Records <= 0) return 0;
  Clamp(SampleBytes, Lo, Hi);
  return MaskFunction(Path, SampleBytes)(Bytes, Count, Records, Stride, Prev, Lo, Hi, Out, 0);
}

bool RunMaskPathsAgree(const uint8_t* Bytes, int64_t Count, int SampleBytes, int64_t Records, int64_t Stride,
                       int32_t Prev, int32_t Lo, int32_t Hi) {
  if (Count <= 0 || Records <= 0) return true;
  const auto Size = static_cast<size_t>(RunMaskWords(Count) * Records);
  const auto NrRecords = static_cast<size_t>(Records);
  std::vector<uint64_t> Want(3 * Size), Got(3 * Size);
  std::vector<uint8_t> WantCalm(NrRecords), GotCalm(NrRecords);
  std::vector<int32_t> WantExtremes(2 * NrRecords), GotExtremes(2 * NrRecords);
  const TRunMasks WantMasks{Want.data(),     Want.data() + Size,  Want.data() + 2 * Size,
                            WantCalm.data(), WantExtremes.data(), WantExtremes.data() + NrRecords};
  const TRunMasks GotMasks{Got.data(),     Got.data() + Size,  Got.data() + 2 * Size,
                           GotCalm.data(), GotExtremes.data(), GotExtremes.data() + NrRecords};
  const unsigned WantHits =
      RunMasksWith(TFoldPath::Portable, Bytes, Count, SampleBytes, Records, Stride, Prev, Lo, Hi, WantMasks);
  for (const TFoldPath Path : {TFoldPath::Avx2}) {
    if (!FoldPathAvailable(Path)) continue;
    std::fill(Got.begin(), Got.end(), 0x5A5A5A5A5A5A5A5Au);  // no bit may be left as it was
    std::fill(GotCalm.begin(), GotCalm.end(), uint8_t{0x5A});
    std::fill(GotExtremes.begin(), GotExtremes.end(), 0x5A5A5A5A);
    if (RunMasksWith(Path, Bytes, Count, SampleBytes, Records, Stride, Prev, Lo, Hi, GotMasks) != WantHits ||
        Got != Want || GotCalm != WantCalm || GotExtremes != WantExtremes)
      return false;
  }
  return true;
}
