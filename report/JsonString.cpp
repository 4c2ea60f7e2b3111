#include "report/JsonString.h"

#include <cstdint>
#include <cstring>

#include "util/uUtf8.h"

namespace {

// Bytes written as they are: printable ASCII that needs no escape. A table,
// since most bytes of a line pass through this test.
struct TPlainBytes {
  bool Plain[2][256] = {};
  constexpr TPlainBytes() {
    for (int C = 0x20; C < 0x80; ++C) Plain[0][C] = Plain[1][C] = C != '"' && C != '\\';
    Plain[1][static_cast<unsigned char>('<')] = false;
  }
};
constexpr TPlainBytes kPlainBytes;

bool IsPlain(unsigned char C, TJsonEscape Escape) { return kPlainBytes.Plain[Escape == TJsonEscape::ForScript][C]; }

void AppendEscaped(std::string& Out, unsigned char C) {
  static constexpr char Hex[] = "0123456789abcdef";
  switch (C) {
    case '"': Out += "\\\""; return;
    case '\\': Out += "\\\\"; return;
    case '\b': Out += "\\b"; return;
    case '\f': Out += "\\f"; return;
    case '\n': Out += "\\n"; return;
    case '\r': Out += "\\r"; return;
    case '\t': Out += "\\t"; return;
    default: break;
  }
  const char Code[] = {'\\', 'u', '0', '0', Hex[C >> 4], Hex[C & 15]};
  Out.append(Code, sizeof Code);
}

// U+0085, U+2028 and U+2029 break lines for some readers (JavaScript before
// ES2019, Python's splitlines, editors): escaped, so that no text of a line
// can start another, and read back as the same characters.
const char* LineBreakEscape(const unsigned char* P, size_t N) {
  if (N == 2 && P[0] == 0xC2 && P[1] == 0x85) return "\\u0085";
  if (N == 3 && P[0] == 0xE2 && P[1] == 0x80 && P[2] == 0xA8) return "\\u2028";
  if (N == 3 && P[0] == 0xE2 && P[1] == 0x80 && P[2] == 0xA9) return "\\u2029";
  return nullptr;
}

// True when none of the eight bytes of W needs a look of its own: each is
// printable ASCII other than the quote, the backslash and (for a script) '<'.
bool AllPlain(uint64_t W, TJsonEscape Escape) {
  constexpr uint64_t Ones = 0x0101010101010101u, High = 0x8080808080808080u;
  const auto HasZeroByte = [](uint64_t X) { return ((X - Ones) & ~X & High) != 0; };
  if ((W & High) != 0 || ((W - 0x20 * Ones) & High) != 0) return false;  // >= 0x80 or < 0x20
  if (HasZeroByte(W ^ ('"' * Ones)) || HasZeroByte(W ^ ('\\' * Ones))) return false;
  return Escape != TJsonEscape::ForScript || !HasZeroByte(W ^ ('<' * Ones));
}

// Appends the plain bytes from P on in one piece; how many there were.
size_t AppendPlain(std::string& Out, const unsigned char* P, size_t Left, TJsonEscape Escape) {
  size_t N = 0;
  for (uint64_t W; N + 8 <= Left && (std::memcpy(&W, P + N, 8), AllPlain(W, Escape));) N += 8;
  while (N < Left && IsPlain(P[N], Escape)) ++N;
  Out.append(reinterpret_cast<const char*>(P), N);
  return N;
}

}  // namespace

void AppendJsonLatin1(std::string& Out, std::string_view Bytes, TJsonEscape Escape) {
  Out += '"';
  const auto* P = reinterpret_cast<const unsigned char*>(Bytes.data());
  for (size_t i = 0; i < Bytes.size();) {
    i += AppendPlain(Out, P + i, Bytes.size() - i, Escape);
    if (i == Bytes.size()) break;
    const unsigned char C = P[i++];
    if (C < 0x80) {
      AppendEscaped(Out, C);
    } else if (C == 0x85) {
      Out += "\\u0085";  // NEL: a line break to some readers
    } else {
      Out += static_cast<char>(0xC0 | (C >> 6));
      Out += static_cast<char>(0x80 | (C & 0x3F));
    }
  }
  Out += '"';
}

void AppendJsonUtf8(std::string& Out, std::string_view Text, TJsonEscape Escape) {
  Out += '"';
  const auto* P = reinterpret_cast<const unsigned char*>(Text.data());
  for (size_t i = 0; i < Text.size();) {
    i += AppendPlain(Out, P + i, Text.size() - i, Escape);
    if (i == Text.size()) break;
    if (P[i] < 0x80) {
      AppendEscaped(Out, P[i++]);
      continue;
    }
    const size_t N = Utf8SequenceLength(P + i, Text.size() - i);
    if (N == 0) {
      Out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    if (const char* Break = LineBreakEscape(P + i, N)) Out += Break;
    else Out.append(reinterpret_cast<const char*>(P + i), N);
    i += N;
  }
  Out += '"';
}

bool IsUtf8(std::string_view Text) {
  const auto* P = reinterpret_cast<const unsigned char*>(Text.data());
  size_t Left = Text.size();
  while (Left > 0) {
    // Eight ASCII bytes at a time: lines are mostly ASCII.
    uint64_t Word;
    if (Left >= sizeof Word && (std::memcpy(&Word, P, sizeof Word), (Word & 0x8080808080808080u) == 0)) {
      P += sizeof Word;
      Left -= sizeof Word;
      continue;
    }
    const size_t N = *P < 0x80 ? 1 : Utf8SequenceLength(P, Left);
    if (N == 0) return false;
    P += N;
    Left -= N;
  }
  return true;
}
