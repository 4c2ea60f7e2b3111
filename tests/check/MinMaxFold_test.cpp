// The sample fold: both implementations find the planted extremes at every
// length around their vector widths, at unaligned starts, in one record and
// across a block of records, for 16- and 24-bit samples.
#include "check/MinMaxFold.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr TFoldPath Paths[] = {TFoldPath::Portable, TFoldPath::Avx2};

const char* NameOf(TFoldPath P) { return P == TFoldPath::Portable ? "portable" : "AVX2"; }

struct TPlant {
  int64_t Record, Index;
  int32_t Value;
};

// Records records of Stride bytes; in each, Count samples of Width bytes
// after Offset bytes, all between -3 and 3 except the planted ones. Every
// other byte is 0x7F, the high byte of a large sample: a fold that strays
// outside the samples finds it.
std::vector<uint8_t> Block(int Width, int64_t Count, int Offset, int64_t Records, int64_t Stride,
                           const std::vector<TPlant>& Planted) {
  std::vector<uint8_t> Bytes(static_cast<size_t>(Records * Stride), 0x7F);
  const auto Put = [&](int64_t Record, int64_t Index, int32_t Value) {
    for (int b = 0; b < Width; ++b)
      Bytes[static_cast<size_t>(Record * Stride + Offset + Index * Width + b)] =
          static_cast<uint8_t>(static_cast<uint32_t>(Value) >> (8 * b));
  };
  for (int64_t r = 0; r < Records; ++r)
    for (int64_t i = 0; i < Count; ++i) Put(r, i, static_cast<int32_t>((r + i * 5) % 7) - 3);
  for (const TPlant& P : Planted) Put(P.Record, P.Index, P.Value);
  return Bytes;
}

struct TFoldCase {
  const char* Name;
  int Width;
  int64_t Count;
  int Offset;  // where the samples start in a record: odd offsets are unaligned
  int64_t Records;
  std::vector<TPlant> Planted;
  int32_t Min, Max;
};

TEST(MinMaxFold, BothPathsFindThePlantedExtremes) {
  const TFoldCase Cases[] = {
      {"one 16-bit sample", 2, 1, 0, 1, {{0, 0, -5}}, -5, -5},
      {"one 24-bit sample", 3, 1, 0, 1, {{0, 0, 70000}}, 70000, 70000},
      {"odd count", 2, 7, 0, 1, {{0, 6, 9}}, -3, 9},
      {"one below a 16-bit vector", 2, 15, 1, 1, {{0, 14, -32768}, {0, 0, 32767}}, -32768, 32767},
      {"one 16-bit vector", 2, 16, 0, 1, {{0, 15, -32768}, {0, 8, 32767}}, -32768, 32767},
      {"one above a 16-bit vector", 2, 17, 3, 1, {{0, 16, 32767}, {0, 1, -9}}, -9, 32767},
      {"one below the 16-bit unrolled turn", 2, 63, 1, 1, {{0, 62, -32768}}, -32768, 3},
      {"one above the 16-bit unrolled turn", 2, 65, 0, 1, {{0, 64, 32767}, {0, 63, -32768}}, -32768, 32767},
      {"16-bit extremes in the middle", 2, 1001, 1, 1, {{0, 500, -32768}, {0, 501, 32767}}, -32768, 32767},
      {"one below a 24-bit vector", 3, 7, 1, 1, {{0, 6, -8388608}, {0, 0, 8388607}}, -8388608, 8388607},
      {"one 24-bit vector", 3, 8, 0, 1, {{0, 7, -8388608}, {0, 3, 8388607}}, -8388608, 8388607},
      {"one above a 24-bit vector", 3, 9, 2, 1, {{0, 8, 8388607}, {0, 4, -65536}}, -65536, 8388607},
      {"one below the 24-bit unrolled turn", 3, 31, 1, 1, {{0, 30, -8388608}}, -8388608, 3},
      {"one above the 24-bit unrolled turn", 3, 33, 0, 1, {{0, 32, 8388607}, {0, 31, -8388608}}, -8388608, 8388607},
      {"24-bit extremes in the middle", 3, 1001, 1, 1, {{0, 500, -8388608}, {0, 501, 8388607}}, -8388608, 8388607},
      {"16-bit block, extremes in the last record", 2, 256, 5, 9, {{8, 255, -2049}, {8, 0, 2048}}, -2049, 2048},
      {"24-bit block, extremes in the first record", 3, 17, 3, 6, {{0, 16, -40000}, {0, 0, 40000}}, -40000, 40000},
      {"block of one-sample records", 2, 1, 1, 50, {{49, 0, -32768}, {25, 0, 32767}}, -32768, 32767},
  };
  for (const TFoldCase& C : Cases) {
    const int64_t Stride = C.Offset + C.Count * C.Width + 7;
    const std::vector<uint8_t> Bytes = Block(C.Width, C.Count, C.Offset, C.Records, Stride, C.Planted);
    for (const TFoldPath P : Paths) {
      if (!FoldPathAvailable(P)) continue;
      SCOPED_TRACE(std::string(C.Name) + ", " + NameOf(P));
      int32_t Min = INT32_MAX;
      int32_t Max = INT32_MIN;
      FoldSignalBlockWith(P, Bytes.data() + C.Offset, C.Count, C.Width, C.Records, Stride, Min, Max);
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
    FoldSignalBlockWith(P, Bytes, 1, 3, 1, 0, Min, Max);
    EXPECT_EQ(Min, -1);
    FoldSignalBlockWith(P, Bytes + 3, 3, 3, 1, 0, Min, Max);
    EXPECT_EQ(Min, -8388608);
    EXPECT_EQ(Max, 8388607);
  }
}

// The running extremes of earlier records survive a record that does not
// beat them, and no samples at all change nothing.
TEST(MinMaxFold, KeepsTheRunningExtremes) {
  for (const int Width : {2, 3}) {
    const std::vector<uint8_t> Bytes = Block(Width, 40, 0, 1, 40 * Width, {});
    for (const TFoldPath P : Paths) {
      if (!FoldPathAvailable(P)) continue;
      SCOPED_TRACE(std::string(NameOf(P)) + (Width == 2 ? " 16-bit" : " 24-bit"));
      int32_t Min = -100;
      int32_t Max = 100;
      FoldSignalBlockWith(P, Bytes.data(), 40, Width, 1, 0, Min, Max);
      FoldSignalBlockWith(P, Bytes.data(), 0, Width, 1, 0, Min, Max);
      FoldSignalBlockWith(P, Bytes.data(), 40, Width, 0, 0, Min, Max);
      EXPECT_EQ(Min, -100);
      EXPECT_EQ(Max, 100);
    }
  }
}

// Random samples of every length up to a few vectors, at every start
// alignment: the vector path gives exactly what the portable path gives,
// and FoldSamples what the path it chose gives.
TEST(MinMaxFold, VectorPathAgreesWithThePortablePathOnRandomSamples) {
  std::mt19937 Rng(17);
  std::vector<uint8_t> Bytes(3 * 200 + 4);
  for (uint8_t& B : Bytes) B = static_cast<uint8_t>(Rng());
  for (const int Width : {2, 3})
    for (int Offset = 0; Offset < 4; ++Offset)
      for (int64_t Count = 0; Count <= 200; ++Count) {
        int32_t Min[3] = {INT32_MAX, INT32_MAX, INT32_MAX};
        int32_t Max[3] = {INT32_MIN, INT32_MIN, INT32_MIN};
        const uint8_t* Start = Bytes.data() + Offset;
        FoldSignalBlockWith(TFoldPath::Portable, Start, Count, Width, 1, 0, Min[0], Max[0]);
        FoldSamples(Start, Count, Width, Min[1], Max[1]);
        const TFoldPath Vector = FoldPathAvailable(TFoldPath::Avx2) ? TFoldPath::Avx2 : TFoldPath::Portable;
        FoldSignalBlockWith(Vector, Start, Count, Width, 1, 0, Min[2], Max[2]);
        ASSERT_EQ(Min[0], Min[1]) << Width << " bytes, offset " << Offset << ", count " << Count;
        ASSERT_EQ(Max[0], Max[1]) << Width << " bytes, offset " << Offset << ", count " << Count;
        ASSERT_EQ(Min[0], Min[2]) << Width << " bytes, offset " << Offset << ", count " << Count;
        ASSERT_EQ(Max[0], Max[2]) << Width << " bytes, offset " << Offset << ", count " << Count;
      }
}

}  // namespace
