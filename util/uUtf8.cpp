#include "util/uUtf8.h"

std::size_t Utf8SequenceLength(const unsigned char* P, std::size_t Left) {
  if (Left == 0) return 0;
  const auto Continues = [&](std::size_t I, unsigned char Low, unsigned char High) {
    return I < Left && P[I] >= Low && P[I] <= High;
  };
  const unsigned char B = P[0];
  if (B < 0x80) return 1;
  if (B >= 0xC2 && B <= 0xDF) return Continues(1, 0x80, 0xBF) ? 2 : 0;
  if (B >= 0xE0 && B <= 0xEF) {
    const unsigned char Low = B == 0xE0 ? 0xA0 : 0x80;
    const unsigned char High = B == 0xED ? 0x9F : 0xBF;
    return Continues(1, Low, High) && Continues(2, 0x80, 0xBF) ? 3 : 0;
  }
  if (B >= 0xF0 && B <= 0xF4) {
    const unsigned char Low = B == 0xF0 ? 0x90 : 0x80;
    const unsigned char High = B == 0xF4 ? 0x8F : 0xBF;
    return Continues(1, Low, High) && Continues(2, 0x80, 0xBF) && Continues(3, 0x80, 0xBF) ? 4 : 0;
  }
  return 0;
}
