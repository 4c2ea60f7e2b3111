#include "check/MinMaxFold.h"

#include <algorithm>

#include "support/uByteOrder.h"
#include "support/uSysUtils.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VELLICOR_FOLD_AVX2 1
#endif

namespace {

// One signal's samples: Count at P, then Count more every Stride bytes,
// Records times.
using TFoldFunction = void (*)(const uint8_t* P, int64_t Count, int64_t Records, int64_t Stride,
                               int32_t& Min, int32_t& Max);

void Fold16Portable(const uint8_t* P, int64_t Count, int64_t Records, int64_t Stride, int32_t& Min,
                    int32_t& Max) {
  // 16-bit locals: the extremes of 16-bit samples, widened once per call.
  int16_t Lo = INT16_MAX;
  int16_t Hi = INT16_MIN;
  for (int64_t r = 0; r < Records; ++r, P += Stride) {
    for (int64_t i = 0; i < Count; ++i) {
      const int16_t V = LoadLE16(P + 2 * i);
      Lo = std::min(Lo, V);
      Hi = std::max(Hi, V);
    }
  }
  Min = std::min<int32_t>(Min, Lo);
  Max = std::max<int32_t>(Max, Hi);
}

void Fold24Portable(const uint8_t* P, int64_t Count, int64_t Records, int64_t Stride, int32_t& Min,
                    int32_t& Max) {
  int32_t Lo = Min;
  int32_t Hi = Max;
  for (int64_t r = 0; r < Records; ++r, P += Stride) {
    for (int64_t i = 0; i < Count; ++i) {
      const int32_t V = LoadLE24(P + 3 * i);
      Lo = std::min(Lo, V);
      Hi = std::max(Hi, V);
    }
  }
  Min = Lo;
  Max = Hi;
}

#ifdef VELLICOR_FOLD_AVX2

#define AVX2_FUNCTION __attribute__((target("avx2")))

AVX2_FUNCTION __m256i Load256(const uint8_t* P) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(P));
}

// The smallest and the largest of 16 signed 16-bit lanes. PHMINPOSUW finds the
// smallest unsigned lane: flipping the sign bit maps signed order onto
// unsigned order, and flipping the other bits as well reverses it.
AVX2_FUNCTION int16_t LowestOf(__m256i V) {
  const __m128i Half = _mm_min_epi16(_mm256_castsi256_si128(V), _mm256_extracti128_si256(V, 1));
  const __m128i Flip = _mm_set1_epi16(static_cast<int16_t>(0x8000));
  const int U = _mm_cvtsi128_si32(_mm_minpos_epu16(_mm_xor_si128(Half, Flip))) & 0xFFFF;
  return static_cast<int16_t>(U ^ 0x8000);
}

AVX2_FUNCTION int16_t HighestOf(__m256i V) {
  const __m128i Half = _mm_max_epi16(_mm256_castsi256_si128(V), _mm256_extracti128_si256(V, 1));
  const __m128i Flip = _mm_set1_epi16(0x7FFF);
  const int U = _mm_cvtsi128_si32(_mm_minpos_epu16(_mm_xor_si128(Half, Flip))) & 0xFFFF;
  return static_cast<int16_t>(U ^ 0x7FFF);
}

AVX2_FUNCTION void Fold16Avx2(const uint8_t* P, int64_t Count, int64_t Records, int64_t Stride,
                              int32_t& Min, int32_t& Max) {
  constexpr int64_t Lanes = 16;
  if (Count < Lanes) {
    Fold16Portable(P, Count, Records, Stride, Min, Max);
    return;
  }
  __m256i Lo0 = _mm256_set1_epi16(INT16_MAX);
  __m256i Lo1 = Lo0;
  __m256i Hi0 = _mm256_set1_epi16(INT16_MIN);
  __m256i Hi1 = Hi0;
  for (int64_t r = 0; r < Records; ++r, P += Stride) {
    int64_t i = 0;
    // Four vectors per turn on two pairs of accumulators, so that the loads,
    // not the dependency of one accumulator on the last, set the pace.
    for (; i + 4 * Lanes <= Count; i += 4 * Lanes) {
      const uint8_t* Q = P + 2 * i;
      const __m256i A = Load256(Q);
      const __m256i B = Load256(Q + 32);
      const __m256i C = Load256(Q + 64);
      const __m256i D = Load256(Q + 96);
      Lo0 = _mm256_min_epi16(Lo0, _mm256_min_epi16(A, C));
      Hi0 = _mm256_max_epi16(Hi0, _mm256_max_epi16(A, C));
      Lo1 = _mm256_min_epi16(Lo1, _mm256_min_epi16(B, D));
      Hi1 = _mm256_max_epi16(Hi1, _mm256_max_epi16(B, D));
    }
    for (; i + Lanes <= Count; i += Lanes) {
      const __m256i A = Load256(P + 2 * i);
      Lo0 = _mm256_min_epi16(Lo0, A);
      Hi0 = _mm256_max_epi16(Hi0, A);
    }
    if (i < Count) {
      // The last 16 samples once more: folding a sample twice changes nothing.
      const __m256i A = Load256(P + 2 * (Count - Lanes));
      Lo1 = _mm256_min_epi16(Lo1, A);
      Hi1 = _mm256_max_epi16(Hi1, A);
    }
  }
  Min = std::min<int32_t>(Min, LowestOf(_mm256_min_epi16(Lo0, Lo1)));
  Max = std::max<int32_t>(Max, HighestOf(_mm256_max_epi16(Hi0, Hi1)));
}

// Eight 24-bit samples (24 bytes at P) as eight 32-bit lanes, each holding
// its sample shifted up by 8 bits: the order of the lanes is the order of the
// samples, so the fold compares these and shifts back once at the end. The
// two 16-byte loads (at P and P + 8) never reach past the 24 bytes.
AVX2_FUNCTION __m256i Load24x8(const uint8_t* P, __m256i Spread) {
  const __m128i Low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
  const __m128i High = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P + 8));
  const __m256i Both = _mm256_inserti128_si256(_mm256_castsi128_si256(Low), High, 1);
  return _mm256_shuffle_epi8(Both, Spread);
}

AVX2_FUNCTION int32_t LowestOf32(__m256i V) {
  __m128i M = _mm_min_epi32(_mm256_castsi256_si128(V), _mm256_extracti128_si256(V, 1));
  M = _mm_min_epi32(M, _mm_shuffle_epi32(M, 0x4E));
  M = _mm_min_epi32(M, _mm_shuffle_epi32(M, 0xB1));
  return _mm_cvtsi128_si32(M);
}

AVX2_FUNCTION int32_t HighestOf32(__m256i V) {
  __m128i M = _mm_max_epi32(_mm256_castsi256_si128(V), _mm256_extracti128_si256(V, 1));
  M = _mm_max_epi32(M, _mm_shuffle_epi32(M, 0x4E));
  M = _mm_max_epi32(M, _mm_shuffle_epi32(M, 0xB1));
  return _mm_cvtsi128_si32(M);
}

AVX2_FUNCTION void Fold24Avx2(const uint8_t* P, int64_t Count, int64_t Records, int64_t Stride,
                              int32_t& Min, int32_t& Max) {
  constexpr int64_t Lanes = 8;
  if (Count < Lanes) {
    Fold24Portable(P, Count, Records, Stride, Min, Max);
    return;
  }
  // Byte k of each 32-bit lane: a zero, then the sample's three bytes. The
  // low half reads samples 0-3 from P, the high half samples 4-7 from P + 8.
  const auto Z = static_cast<char>(0x80);  // PSHUFB writes a zero
  const __m256i Spread = _mm256_setr_epi8(Z, 0, 1, 2, Z, 3, 4, 5, Z, 6, 7, 8, Z, 9, 10, 11,  //
                                          Z, 4, 5, 6, Z, 7, 8, 9, Z, 10, 11, 12, Z, 13, 14, 15);
  __m256i Lo0 = _mm256_set1_epi32(INT32_MAX);
  __m256i Lo1 = Lo0;
  __m256i Hi0 = _mm256_set1_epi32(INT32_MIN);
  __m256i Hi1 = Hi0;
  for (int64_t r = 0; r < Records; ++r, P += Stride) {
    int64_t i = 0;
    for (; i + 4 * Lanes <= Count; i += 4 * Lanes) {
      const uint8_t* Q = P + 3 * i;
      const __m256i A = Load24x8(Q, Spread);
      const __m256i B = Load24x8(Q + 24, Spread);
      const __m256i C = Load24x8(Q + 48, Spread);
      const __m256i D = Load24x8(Q + 72, Spread);
      Lo0 = _mm256_min_epi32(Lo0, _mm256_min_epi32(A, C));
      Hi0 = _mm256_max_epi32(Hi0, _mm256_max_epi32(A, C));
      Lo1 = _mm256_min_epi32(Lo1, _mm256_min_epi32(B, D));
      Hi1 = _mm256_max_epi32(Hi1, _mm256_max_epi32(B, D));
    }
    for (; i + Lanes <= Count; i += Lanes) {
      const __m256i A = Load24x8(P + 3 * i, Spread);
      Lo0 = _mm256_min_epi32(Lo0, A);
      Hi0 = _mm256_max_epi32(Hi0, A);
    }
    if (i < Count) {
      const __m256i A = Load24x8(P + 3 * (Count - Lanes), Spread);
      Lo1 = _mm256_min_epi32(Lo1, A);
      Hi1 = _mm256_max_epi32(Hi1, A);
    }
  }
  Min = std::min(Min, LowestOf32(_mm256_min_epi32(Lo0, Lo1)) >> 8);
  Max = std::max(Max, HighestOf32(_mm256_max_epi32(Hi0, Hi1)) >> 8);
}

bool HasAvx2() {
  static const bool Has = [] {
    __builtin_cpu_init();  // in case this runs before the library's own start-up
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return Has;
}

#endif  // VELLICOR_FOLD_AVX2

TFoldFunction FoldFunction(TFoldPath Path, int SampleBytes) {
  VASSERT(SampleBytes == 2 || SampleBytes == 3, "Samples of 2 or 3 bytes only");
  VASSERT(FoldPathAvailable(Path), "Fold path not available on this processor");
#ifdef VELLICOR_FOLD_AVX2
  if (Path == TFoldPath::Avx2) return SampleBytes == 2 ? Fold16Avx2 : Fold24Avx2;
#endif
  return SampleBytes == 2 ? Fold16Portable : Fold24Portable;
}

// Chosen once; a call then costs one indirect jump.
struct TActiveFolds {
  TFoldFunction Fold16;
  TFoldFunction Fold24;
};

const TActiveFolds& ActiveFolds() {
  static const TActiveFolds Folds{FoldFunction(ActiveFoldPath(), 2), FoldFunction(ActiveFoldPath(), 3)};
  return Folds;
}

TFoldFunction ActiveFold(int SampleBytes) {
  const TActiveFolds& Folds = ActiveFolds();
  if (SampleBytes == 2) return Folds.Fold16;
  VASSERT(SampleBytes == 3, "Samples of 2 or 3 bytes only");
  return Folds.Fold24;
}

}  // namespace

TFoldPath ActiveFoldPath() {
  return FoldPathAvailable(TFoldPath::Avx2) ? TFoldPath::Avx2 : TFoldPath::Portable;
}

bool FoldPathAvailable(TFoldPath Path) {
#ifdef VELLICOR_FOLD_AVX2
  if (Path == TFoldPath::Avx2) return HasAvx2();
#endif
  return Path == TFoldPath::Portable;
}

void FoldSamples(const uint8_t* Bytes, int64_t Count, int SampleBytes, int32_t& Min, int32_t& Max) {
  if (Count > 0) ActiveFold(SampleBytes)(Bytes, Count, 1, 0, Min, Max);
}

void FoldSignalBlock(const uint8_t* Bytes, int64_t Count, int SampleBytes, int64_t Records,
                     int64_t RecordBytes, int32_t& Min, int32_t& Max) {
  if (Count > 0 && Records > 0) ActiveFold(SampleBytes)(Bytes, Count, Records, RecordBytes, Min, Max);
}

void FoldSignalBlockWith(TFoldPath Path, const uint8_t* Bytes, int64_t Count, int SampleBytes,
                         int64_t Records, int64_t RecordBytes, int32_t& Min, int32_t& Max) {
  const TFoldFunction Fold = FoldFunction(Path, SampleBytes);
  if (Count > 0 && Records > 0) Fold(Bytes, Count, Records, RecordBytes, Min, Max);
}
