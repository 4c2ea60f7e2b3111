// The sample fold: both implementations find the planted extremes at every
// length around their vector widths, at unaligned starts, for 16- and 24-bit
// samples.
#include "check/MinMaxFold.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace {

constexpr TFoldPath Paths[] = {TFoldPath::Portable, TFoldPath::Avx2};

const char* NameOf(TFoldPath P) { return P == TFoldPath::Portable ? "portable" : "AVX2"; }

// Count samples of Width bytes after Offset bytes of padding, all between -3
// and 3 except the planted (index, value) pairs.
std::vector<uint8_t> Samples(int Width, int64_t Count, int Offset,
                             const std::vector<std::pair<int64_t, int32_t>>& Planted) {
  std::vector<int32_t> Values(static_cast<size_t>(Count));
  for (int64_t i = 0; i < Count; ++i) Values[static_cast<size_t>(i)] = static_cast<int32_t>(i * 5 % 7) - 3;
  for (const auto& [At, Value] : Planted) Values[static_cast<size_t>(At)] = Value;
  std::vector<uint8_t> Bytes(static_cast<size_t>(Offset), 0x7F);
  for (const int32_t V : Values)
    for (int b = 0; b < Width; ++b) Bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(V) >> (8 * b)));
  return Bytes;
}

struct TFoldCase {
  const char* Name;
  int Width;
  int64_t Count;
  int Offset;
  std::vector<std::pair<int64_t, int32_t>> Planted;
  int32_t Min, Max;
};

TEST(MinMaxFold, BothPathsFindThePlantedExtremes) {
  const TFoldCase Cases[] = {
      {"one 16-bit sample", 2, 1, 0, {{0, -5}}, -5, -5},
      {"one 24-bit sample", 3, 1, 0, {{0, 70000}}, 70000, 70000},
      {"odd count", 2, 7, 0, {{6, 9}}, -3, 9},
      {"one below a 16-bit vector", 2, 15, 1, {{14, -32768}, {0, 32767}}, -32768, 32767},
      {"one 16-bit vector", 2, 16, 0, {{15, -32768}, {8, 32767}}, -32768, 32767},
      {"one above a 16-bit vector", 2, 17, 3, {{16, 32767}, {1, -9}}, -9, 32767},
      {"one below the 16-bit unrolled turn", 2, 63, 1, {{62, -32768}}, -32768, 3},
      {"one above the 16-bit unrolled turn", 2, 65, 0, {{64, 32767}, {63, -32768}}, -32768, 32767},
      {"a 16-bit record of 256", 2, 256, 2, {{0, -2049}, {255, 2048}}, -2049, 2048},
      {"16-bit extremes in the middle", 2, 1001, 1, {{500, -32768}, {501, 32767}}, -32768, 32767},
      {"one below a 24-bit vector", 3, 7, 1, {{6, -8388608}, {0, 8388607}}, -8388608, 8388607},
      {"one 24-bit vector", 3, 8, 0, {{7, -8388608}, {3, 8388607}}, -8388608, 8388607},
      {"one above a 24-bit vector", 3, 9, 2, {{8, 8388607}, {4, -65536}}, -65536, 8388607},
      {"one below the 24-bit unrolled turn", 3, 31, 1, {{30, -8388608}}, -8388608, 3},
      {"one above the 24-bit unrolled turn", 3, 33, 0, {{32, 8388607}, {31, -8388608}}, -8388608, 8388607},
      {"24-bit values beyond 16 bits", 3, 100, 3, {{0, -40000}, {99, 40000}}, -40000, 40000},
      {"24-bit extremes in the middle", 3, 1001, 1, {{500, -8388608}, {501, 8388607}}, -8388608, 8388607},
  };
  for (const TFoldCase& C : Cases) {
    const std::vector<uint8_t> Bytes = Samples(C.Width, C.Count, C.Offset, C.Planted);
    for (const TFoldPath P : Paths) {
      if (!FoldPathAvailable(P)) continue;
      SCOPED_TRACE(std::string(C.Name) + ", " + NameOf(P));
      int32_t Min = INT32_MAX;
      int32_t Max = INT32_MIN;
      FoldSamplesWith(P, Bytes.data() + C.Offset, C.Count, C.Width, Min, Max);
      EXPECT_EQ(Min, C.Min);
      EXPECT_EQ(Max, C.Max);
    }
  }
}

TEST(MinMaxFold, TwentyFourBitSamplesAreTwosComplementLowByteFirst) {
  const uint8_t Bytes[] = {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x00};
  for (const TFoldPath P : Paths) {
    if (!FoldPathAvailable(P)) continue;
    SCOPED_TRACE(NameOf(P));
    int32_t Min = INT32_MAX;
    int32_t Max = INT32_MIN;
    FoldSamplesWith(P, Bytes, 1, 3, Min, Max);
    EXPECT_EQ(Min, -1);
    FoldSamplesWith(P, Bytes + 3, 1, 3, Min, Max);
    FoldSamplesWith(P, Bytes + 6, 2, 3, Min, Max);
    EXPECT_EQ(Min, -8388608);
    EXPECT_EQ(Max, 8388607);
  }
}

// The running extremes of earlier records survive a record that does not
// beat them, and no samples at all change nothing.
TEST(MinMaxFold, KeepsTheRunningExtremes) {
  for (const int Width : {2, 3}) {
    const std::vector<uint8_t> Bytes = Samples(Width, 40, 0, {});
    for (const TFoldPath P : Paths) {
      if (!FoldPathAvailable(P)) continue;
      SCOPED_TRACE(std::string(NameOf(P)) + (Width == 2 ? " 16-bit" : " 24-bit"));
      int32_t Min = -100;
      int32_t Max = 100;
      FoldSamplesWith(P, Bytes.data(), 40, Width, Min, Max);
      FoldSamplesWith(P, Bytes.data(), 0, Width, Min, Max);
      EXPECT_EQ(Min, -100);
      EXPECT_EQ(Max, 100);
    }
  }
}

// Random samples of every length up to a few vectors, at every start
// alignment: the vector path gives exactly what the portable path gives.
TEST(MinMaxFold, VectorPathAgreesWithThePortablePathOnRandomSamples) {
  if (!FoldPathAvailable(TFoldPath::Avx2)) GTEST_SKIP() << "no AVX2 on this processor";
  std::mt19937 Rng(17);
  std::vector<uint8_t> Bytes(3 * 200 + 4);
  for (uint8_t& B : Bytes) B = static_cast<uint8_t>(Rng());
  for (const int Width : {2, 3})
    for (int Offset = 0; Offset < 4; ++Offset)
      for (int64_t Count = 0; Count <= 200; ++Count) {
        int32_t Min[2] = {INT32_MAX, INT32_MAX};
        int32_t Max[2] = {INT32_MIN, INT32_MIN};
        FoldSamplesWith(TFoldPath::Portable, Bytes.data() + Offset, Count, Width, Min[0], Max[0]);
        FoldSamplesWith(TFoldPath::Avx2, Bytes.data() + Offset, Count, Width, Min[1], Max[1]);
        ASSERT_EQ(Min[0], Min[1]) << Width << " bytes, offset " << Offset << ", count " << Count;
        ASSERT_EQ(Max[0], Max[1]) << Width << " bytes, offset " << Offset << ", count " << Count;
      }
}

}  // namespace
