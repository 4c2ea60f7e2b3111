// Character tests, trimming, the integer tests and fixed-width padding.
#include "util/udStr.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

bool IsBlank(char C) { return static_cast<unsigned char>(C) <= 32; }

// Header fields are mostly padding, so the scans below look at eight bytes
// at a time (the byte tests of "Bit Twiddling Hacks": exact for any bytes).
constexpr uint64_t Lows = 0x0101010101010101ull;
constexpr uint64_t Highs = 0x8080808080808080ull;

uint64_t Load8(const char* P) {
  uint64_t W;
  std::memcpy(&W, P, 8);
  return W;
}

// Whether one of the eight bytes is above N (N below 128).
bool AnyAbove(uint64_t W, unsigned N) { return (((W & ~Highs) + Lows * (127 - N)) | W) & Highs; }

// Whether one of the eight bytes is below N (N up to 128).
bool AnyBelow(uint64_t W, unsigned N) { return (W - Lows * N) & ~W & Highs; }

// The bounds of S without its blanks at both ends, as a view into S.
size_t FirstNonBlank(const std::string& S) {
  size_t B = 0;
  while (B + 8 <= S.size() && !AnyAbove(Load8(S.data() + B), 32)) B += 8;
  while (B < S.size() && IsBlank(S[B])) ++B;
  return B;
}

size_t EndOfNonBlank(const std::string& S, size_t From) {
  size_t E = S.size();
  while (E - From >= 8 && !AnyAbove(Load8(S.data() + E - 8), 32)) E -= 8;
  while (E > From && IsBlank(S[E - 1])) --E;
  return E;
}

std::string_view TrimmedView(const std::string& S) {
  const size_t B = FirstNonBlank(S);
  return std::string_view(S).substr(B, EndOfNonBlank(S, B) - B);
}

// Value of a hex digit, or -1.
int HexValue(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

}  // namespace

TCharSet CharSetOf(const std::string& Chars) {
  TCharSet Result;
  for (char C : Chars) Result.set(static_cast<unsigned char>(C));
  return Result;
}

std::string Trim(const std::string& S) { return std::string(TrimmedView(S)); }

std::string TrimLeft(const std::string& S) { return S.substr(FirstNonBlank(S)); }

std::string TrimRight(const std::string& S) { return S.substr(0, EndOfNonBlank(S, 0)); }

std::string UpperCaseAscii(const std::string& S) {
  std::string Result = S;
  for (char& C : Result)
    if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 'a' + 'A');
  return Result;
}

bool IsAsciiPrintable(const std::string& S) {
  size_t I = 0;
  for (; I + 8 <= S.size(); I += 8) {
    const uint64_t W = Load8(S.data() + I);
    if (AnyBelow(W, 32) || AnyAbove(W, 126)) return false;
  }
  return std::all_of(S.begin() + static_cast<std::ptrdiff_t>(I), S.end(), [](char C) {
    auto U = static_cast<unsigned char>(C);
    return U >= 32 && U <= 126;
  });
}

// Trimmed and right-trimmed are the same text: a text of blanks only is
// left-justified too (both are empty).
bool IsLeftJustified(const std::string& S) { return S.empty() || !IsBlank(S[0]) || FirstNonBlank(S) == S.size(); }

bool IsDigit(char C) { return C >= '0' && C <= '9'; }

bool TryStrToInt64(const std::string& S, int64_t& Value) {
  const std::string_view T = TrimmedView(S);
  size_t I = 0;
  bool Negative = false;
  if (I < T.size() && (T[I] == '+' || T[I] == '-')) {
    Negative = T[I] == '-';
    ++I;
  }
  unsigned Base = 10;
  if (I < T.size() && (T[I] == '$' || T[I] == 'x' || T[I] == 'X')) {
    Base = 16;
    ++I;
  } else if (I + 1 < T.size() && T[I] == '0' && (T[I + 1] == 'x' || T[I + 1] == 'X')) {
    Base = 16;
    I += 2;
  }
  if (I == T.size()) return false;

  // The magnitude must fit the signed width; hex does not wrap to negative
  // values, so "$FFFFFFFFFFFFFFFF" is out of range rather than -1.
  const uint64_t Limit =
      Negative ? uint64_t{1} << 63 : uint64_t{std::numeric_limits<int64_t>::max()};
  uint64_t Magnitude = 0;
  for (; I < T.size(); ++I) {
    const int Digit = Base == 16 ? HexValue(T[I]) : (IsDigit(T[I]) ? T[I] - '0' : -1);
    if (Digit < 0) return false;
    if (Magnitude > (Limit - static_cast<uint64_t>(Digit)) / Base) return false;
    Magnitude = Magnitude * Base + static_cast<uint64_t>(Digit);
  }
  Value = Negative ? static_cast<int64_t>(0 - Magnitude) : static_cast<int64_t>(Magnitude);
  return true;
}

namespace {

bool IsIntegerInRange(const std::string& S, int64_t Low, int64_t High) {
  int64_t Value = 0;
  return TryStrToInt64(S, Value) && Value >= Low && Value <= High;
}

}  // namespace

bool IsSmallInt(const std::string& S) { return IsIntegerInRange(S, -32768, 32767); }

bool IsInteger(const std::string& S) {
  return IsIntegerInRange(S, std::numeric_limits<int32_t>::min(),
                          std::numeric_limits<int32_t>::max());
}

bool IsWord(const std::string& S) { return IsIntegerInRange(S, 0, 65535); }

std::string RepeatChar(char C, int Count) {
  return Count > 0 ? std::string(static_cast<size_t>(Count), C) : std::string();
}

std::string Spaces(int Count) { return RepeatChar(' ', Count); }

// Header fields have a fixed width: pad short texts, cut long ones.
std::string PadRight(const std::string& S, int Width) {
  if (Width <= 0) return std::string();
  const auto W = static_cast<size_t>(Width);
  if (S.size() >= W) return S.substr(0, W);
  return S + std::string(W - S.size(), ' ');
}

std::string DoubleQuote(const std::string& S) { return '"' + S + '"'; }
