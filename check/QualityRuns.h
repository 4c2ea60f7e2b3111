// The innermost loop of the signal-quality pass: for one signal's samples in
// a block of records, one bit per sample saying whether it equals the sample
// before it (runs of identical values: flat lines, padding, dead stretches),
// whether it sits on a digital limit (clipping) and whether it lies outside
// the limits (out of range). The pass then walks these bits a word at a
// time and looks at single samples only where something happens.
//
// As the min/max fold, it comes as a portable implementation and, on x86-64
// processors that have it, an AVX2 one chosen at run time; both give the
// same bits (TFoldPath names them).
#pragma once

#include <cstdint>

#include "check/MinMaxFold.h"

// The masks of Records records: each record's bits start at a fresh word,
// RunMaskWords(Count) words per record. Bit b of word w of record r stands
// for sample w * 64 + b of that record; the bits past Count in its last word
// are 1 in Same and 0 in the others, so they neither end a run nor add one.
struct TRunMasks {
  uint64_t* Same;     // the sample equals the one before it
  uint64_t* Limit;    // the sample equals Lo or Hi
  uint64_t* Outside;  // the sample is below Lo or above Hi
  // One byte per record: 1 when the record holds 32 samples or more, every
  // 32 consecutive samples of it change value somewhere (so no run inside
  // it is 64 samples long) and none is on or beyond a limit: the walk over
  // the masks then needs only the record's first and last change.
  uint8_t* Calm;
  // Each record's smallest and largest sample.
  int32_t* Min;
  int32_t* Max;
};

inline constexpr int64_t RunMaskWords(int64_t Count) { return (Count + 63) / 64; }

// What RunMasks saw anywhere in the block.
enum TRunHits : unsigned { rhLimit = 1, rhOutside = 2 };

// Count samples of SampleBytes bytes (2 or 3) at Bytes, then Count more
// every Stride bytes, Records times; the sample before the first is Prev
// (the last one of the block before, or the first sample itself at the start
// of the file). Lo and Hi are the signal's digital limits, taken within the
// format's sample range. Returns the TRunHits of the block. When Ahead is
// not 0, the samples Ahead bytes further on are readable (the next block of
// a mapped file) and are fetched into the cache on the way.
unsigned RunMasks(const uint8_t* Bytes, int64_t Count, int SampleBytes, int64_t Records, int64_t Stride,
                  int32_t Prev, int32_t Lo, int32_t Hi, const TRunMasks& Out, int64_t Ahead = 0);

// RunMasks through the given implementation; Path must be available.
unsigned RunMasksWith(TFoldPath Path, const uint8_t* Bytes, int64_t Count, int SampleBytes, int64_t Records,
                      int64_t Stride, int32_t Prev, int32_t Lo, int32_t Hi, const TRunMasks& Out);

// Whether every implementation this processor has gives the same masks and
// hits as the portable one for these samples: what the tests and the
// structure-aware fuzzer compare on any bytes.
bool RunMaskPathsAgree(const uint8_t* Bytes, int64_t Count, int SampleBytes, int64_t Records, int64_t Stride,
                       int32_t Prev, int32_t Lo, int32_t Hi);
