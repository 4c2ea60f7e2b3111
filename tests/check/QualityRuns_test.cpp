// The run detection of the quality pass: both implementations mark exactly
// the planted equal neighbours, limit hits and out-of-range samples, at every
// length around their vector widths, across record boundaries and for 16-
// and 24-bit samples, and they agree bit for bit.
#include "check/QualityRuns.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr TFoldPath Paths[] = {TFoldPath::Portable, TFoldPath::Avx2};

struct TPlant {
  int64_t Sample;  // counted over the whole block: record * Count + index
  int32_t Value;
};

// Records of Stride bytes, the samples after Offset bytes; the background
// climbs by one from sample to sample (no two neighbours equal, all well
// inside the limits), every other byte is 0x7F.
std::vector<uint8_t> Block(int Width, int64_t Count, int Offset, int64_t Records, int64_t Stride,
                           const std::vector<TPlant>& Planted) {
  std::vector<uint8_t> Bytes(static_cast<size_t>(Records * Stride), 0x7F);
  const auto Put = [&](int64_t Sample, int32_t Value) {
    const int64_t At = Sample / Count * Stride + Offset + Sample % Count * Width;
    for (int b = 0; b < Width; ++b)
      Bytes[static_cast<size_t>(At + b)] = static_cast<uint8_t>(static_cast<uint32_t>(Value) >> (8 * b));
  };
  for (int64_t i = 0; i < Records * Count; ++i) Put(i, static_cast<int32_t>(i % 1000) - 500);
  for (const TPlant& P : Planted) Put(P.Sample, P.Value);
  return Bytes;
}

// The samples whose bit is set, counted over the block.
std::vector<int64_t> SetBits(const std::vector<uint64_t>& Words, int64_t Count, int64_t Records) {
  std::vector<int64_t> Out;
  const int64_t PerRecord = RunMaskWords(Count);
  for (int64_t r = 0; r < Records; ++r)
    for (int64_t i = 0; i < Count; ++i)
      if ((Words[static_cast<size_t>(r * PerRecord + i / 64)] >> (i % 64)) & 1) Out.push_back(r * Count + i);
  return Out;
}

struct TRunCase {
  const char* Name;
  int Width;
  int64_t Count, Records;
  int32_t Prev, Lo, Hi;
  std::vector<TPlant> Planted;
  std::vector<int64_t> Same, Limit, Outside;
  std::vector<uint8_t> Calm;  // per record
};

// Samples [From, To) all at Value.
std::vector<TPlant> Hold(int64_t From, int64_t To, int32_t Value) {
  std::vector<TPlant> Out;
  for (int64_t i = From; i < To; ++i) Out.push_back({i, Value});
  return Out;
}

std::vector<int64_t> Range(int64_t From, int64_t To) {
  std::vector<int64_t> Out;
  for (int64_t i = From; i < To; ++i) Out.push_back(i);
  return Out;
}

TEST(QualityRuns, BothPathsMarkThePlantedSamples) {
  const int32_t L16 = -2048, H16 = 2047, L24 = -8000000, H24 = 8000000;
  const TRunCase Cases[] = {
      {"the first sample equals the one before the block", 2, 40, 1, -500, L16, H16, {}, {0}, {}, {}, {1}},
      {"a run of four in one 16-bit chunk", 2, 32, 1, 7, L16, H16, {{3, 9}, {4, 9}, {5, 9}, {6, 9}}, {4, 5, 6}, {}, {}, {1}},
      {"a run across the two halves of a word", 2, 64, 1, 7, L16, H16, {{31, 0}, {32, 0}, {33, 0}}, {32, 33}, {}, {}, {1}},
      {"a run across a record boundary", 2, 33, 2, 7, L16, H16, {{32, 5}, {33, 5}}, {33}, {}, {}, {1, 1}},
      {"the last, overlapped chunk of a record", 2, 250, 2, 7, L16, H16,
       {{247, H16}, {248, H16}, {249, H16}, {250, L16}, {499, L16 - 1}},
       {248, 249}, {247, 248, 249, 250}, {499}, {0, 0}},
      {"limits and beyond at the 16-bit ends", 2, 65, 1, 7, -32768, 32767, {{0, -32768}, {64, 32767}}, {},
       {0, 64}, {}, {0}},
      {"below a chunk: the portable loop", 2, 31, 3, 7, L16, H16, {{30, 4000}, {31, 4000}, {62, L16}}, {31}, {62},
       {30, 31}, {0, 0, 0}},
      {"a 24-bit run across the vectors of a chunk", 3, 40, 1, 7, L24, H24, {{7, 1}, {8, 1}, {9, 1}}, {8, 9}, {}, {}, {1}},
      {"24-bit limits, beyond and the first sample", 3, 100, 2, -500, L24, H24,
       {{0, -500}, {50, H24}, {51, H24 + 1}, {150, L24}, {199, -8388608}},
       {0}, {50, 150}, {51, 199}, {0, 0}},
      {"24-bit records of one sample", 3, 1, 5, 3, L24, H24, {{2, -499}, {4, H24}}, {2}, {4}, {}, {0, 0, 0, 0, 0}},
      {"32 samples without a change: not calm", 2, 96, 2, 7, L16, H16, Hold(126, 167, 9), Range(127, 167), {}, {},
       {1, 0}},
      {"limits beyond the sample range clamp to it", 2, 48, 1, 7, -40000, 40000, {{10, 32767}, {11, 32767}}, {11},
       {10, 11}, {}, {0}},
  };
  for (const TRunCase& C : Cases) {
    const int Offset = 3;
    const int64_t Stride = Offset + C.Count * C.Width + 5;
    const std::vector<uint8_t> Bytes = Block(C.Width, C.Count, Offset, C.Records, Stride, C.Planted);
    for (const TFoldPath P : Paths) {
      if (!FoldPathAvailable(P)) continue;
      SCOPED_TRACE(std::string(C.Name) + (P == TFoldPath::Avx2 ? ", AVX2" : ", portable"));
      const auto Size = static_cast<size_t>(RunMaskWords(C.Count) * C.Records);
      std::vector<uint64_t> Same(Size, 0x5A), Limit(Size, 0x5A), Outside(Size, 0x5A);
      std::vector<uint8_t> Calm(static_cast<size_t>(C.Records), 0x5A);
      std::vector<int32_t> Min(static_cast<size_t>(C.Records)), Max(static_cast<size_t>(C.Records));
      const unsigned Hits =
          RunMasksWith(P, Bytes.data() + Offset, C.Count, C.Width, C.Records, Stride, C.Prev, C.Lo, C.Hi,
                       {Same.data(), Limit.data(), Outside.data(), Calm.data(), Min.data(), Max.data()});
      EXPECT_EQ(SetBits(Same, C.Count, C.Records), C.Same);
      EXPECT_EQ(SetBits(Limit, C.Count, C.Records), C.Limit);
      EXPECT_EQ(SetBits(Outside, C.Count, C.Records), C.Outside);
      EXPECT_EQ(Calm, C.Calm);
      EXPECT_EQ(Hits, (C.Limit.empty() ? 0u : unsigned{rhLimit}) | (C.Outside.empty() ? 0u : unsigned{rhOutside}));
      // The bits past the samples belong to no run.
      if (C.Count % 64 != 0) {
        EXPECT_EQ(Same.back() >> (C.Count % 64), ~uint64_t{0} >> (C.Count % 64));
      }
    }
  }
}

TEST(QualityRuns, PathsAgreeOnNoisyBlocksOfEveryShortLength) {
  // Few distinct values, so equal neighbours and limit hits are everywhere.
  std::mt19937 Random(25);
  for (const int Width : {2, 3}) {
    for (int64_t Count = 1; Count <= 130; ++Count) {
      const int64_t Records = 1 + Count % 4;
      const int64_t Stride = Count * Width + 1;
      std::vector<uint8_t> Bytes(static_cast<size_t>(Records * Stride));
      for (size_t i = 0; i < Bytes.size(); i += static_cast<size_t>(Width)) {
        const auto V = static_cast<uint32_t>(static_cast<int32_t>(Random() % 5) - 2);
        for (int b = 0; b < Width && i + static_cast<size_t>(b) < Bytes.size(); ++b)
          Bytes[i + static_cast<size_t>(b)] = static_cast<uint8_t>(V >> (8 * b));
      }
      EXPECT_TRUE(RunMaskPathsAgree(Bytes.data(), Count, Width, Records, Stride, -2, -1, 1))
          << Width << "-byte samples, " << Count << " per record";
    }
  }
}

}  // namespace
