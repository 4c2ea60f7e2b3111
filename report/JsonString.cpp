#include "report/JsonString.h"

#include "util/uUtf8.h"

namespace {

void AppendAscii(std::string& Out, unsigned char C, TJsonEscape Escape) {
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
  if (C < 0x20 || (C == '<' && Escape == TJsonEscape::ForScript)) {
    Out += "\\u00";
    Out += Hex[C >> 4];
    Out += Hex[C & 15];
    return;
  }
  Out += static_cast<char>(C);
}

}  // namespace

void AppendJsonLatin1(std::string& Out, std::string_view Bytes, TJsonEscape Escape) {
  Out += '"';
  for (const char Ch : Bytes) {
    const auto C = static_cast<unsigned char>(Ch);
    if (C < 0x80) {
      AppendAscii(Out, C, Escape);
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
  size_t Left = Text.size();
  while (Left > 0) {
    if (*P < 0x80) {
      AppendAscii(Out, *P, Escape);
      ++P;
      --Left;
      continue;
    }
    const size_t N = Utf8SequenceLength(P, Left);
    if (N == 0) {
      Out += "\xEF\xBF\xBD";
      ++P;
      --Left;
      continue;
    }
    Out.append(reinterpret_cast<const char*>(P), N);
    P += N;
    Left -= N;
  }
  Out += '"';
}

bool IsUtf8(std::string_view Text) {
  const auto* P = reinterpret_cast<const unsigned char*>(Text.data());
  size_t Left = Text.size();
  while (Left > 0) {
    const size_t N = *P < 0x80 ? 1 : Utf8SequenceLength(P, Left);
    if (N == 0) return false;
    P += N;
    Left -= N;
  }
  return true;
}
