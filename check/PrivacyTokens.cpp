#include "check/PrivacyTokens.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "util/uUtf8.h"

namespace {

const auto* U(std::string_view Text) { return reinterpret_cast<const unsigned char*>(Text.data()); }

bool Continuation(unsigned char B) { return (B & 0xC0) == 0x80; }

uint32_t Decode(const unsigned char* P, size_t Length) {
  if (Length == 1) return P[0];
  uint32_t C = P[0] & (0xFFu >> (Length + 1));
  for (size_t i = 1; i < Length; ++i) C = (C << 6) | (P[i] & 0x3Fu);
  return C;
}

// Outside ASCII, everything but the blocks of punctuation, spaces and
// symbols counts as a letter: a name in any script is a word.
bool WordCodePoint(uint32_t C) {
  if (C < 0x80) return (C >= '0' && C <= '9') || (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z');
  if (C <= 0xBF || C == 0xD7 || C == 0xF7) return false;
  if (C >= 0x2000 && C <= 0x2BFF) return false;
  if (C >= 0x3000 && C <= 0x303F) return false;
  if (C >= 0xFE30 && C <= 0xFE4F) return false;
  if ((C >= 0xFF01 && C <= 0xFF0F) || (C >= 0xFF1A && C <= 0xFF20)) return false;
  return true;
}

// Bytes of the character at At: its UTF-8 length, or 1 for a byte that is
// not UTF-8.
size_t CharLength(std::string_view Text, size_t At) {
  const size_t L = Utf8SequenceLength(U(Text) + At, Text.size() - At);
  return L == 0 ? 1 : L;
}

// One letter case: ASCII, and Latin-1's letters U+00C0..U+00DE (not the
// multiplication sign), which UTF-8 writes C3 80..C3 9E against C3 A0..C3 BE.
std::string Folded(std::string_view Text) {
  std::string Out(Text);
  for (size_t i = 0; i < Out.size(); ++i) {
    const auto B = static_cast<unsigned char>(Out[i]);
    if (B >= 'A' && B <= 'Z') {
      Out[i] = static_cast<char>(B + 32);
    } else if (B == 0xC3 && i + 1 < Out.size()) {
      const auto Next = static_cast<unsigned char>(Out[i + 1]);
      if (Next >= 0x80 && Next <= 0x9E && Next != 0x97) Out[i + 1] = static_cast<char>(Next + 0x20);
      ++i;
    }
  }
  return Out;
}

// Calls Each(begin, length) for every character of Text.
template <typename F>
void ForEachChar(std::string_view Text, F Each) {
  for (size_t i = 0; i < Text.size();) {
    const size_t L = CharLength(Text, i);
    Each(i, L);
    i += L;
  }
}

bool IsBlank(char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\v' || C == '\f'; }

}  // namespace

const char* TokenKindText(TTokenKind Kind) {
  switch (Kind) {
    case TTokenKind::NamePart: return "a part of the patient's name";
    case TTokenKind::PatientCode: return "the patient code";
    case TTokenKind::AdminCode: return "the administration code";
    case TTokenKind::UserWord: return "a word of the user's list";
  }
  return "an identifying word";
}

bool WordCharAt(std::string_view Text, size_t At) {
  if (At >= Text.size()) return false;
  const size_t L = Utf8SequenceLength(U(Text) + At, Text.size() - At);
  if (L == 0) return true;
  return WordCodePoint(Decode(U(Text) + At, L));
}

bool WordCharBefore(std::string_view Text, size_t At) {
  if (At == 0 || At > Text.size()) return false;
  size_t Begin = At - 1;
  while (Begin > 0 && At - Begin < 4 && Continuation(U(Text)[Begin])) --Begin;
  const size_t L = Utf8SequenceLength(U(Text) + Begin, Text.size() - Begin);
  if (L == At - Begin) return WordCodePoint(Decode(U(Text) + Begin, L));
  return U(Text)[At - 1] < 0x80 ? WordCodePoint(U(Text)[At - 1]) : true;
}

size_t LetterCount(std::string_view Text) {
  size_t N = 0;
  ForEachChar(Text, [&](size_t At, size_t) {
    if (WordCharAt(Text, At) && !(Text[At] >= '0' && Text[At] <= '9')) ++N;
  });
  return N;
}

void TPrivacyTokens::Add(std::string_view Text, TTokenKind Kind) {
  if (Text.empty()) return;
  std::string F = Folded(Text);
  if (std::any_of(FTokens.begin(), FTokens.end(), [&](const TToken& T) { return T.Folded == F; })) return;
  // Longest first, so that at one place the longest token is tried first.
  const auto At = std::find_if(FTokens.begin(), FTokens.end(),
                               [&](const TToken& T) { return T.Folded.size() < F.size(); });
  FTokens.insert(At, TToken{std::move(F), Kind});
}

void TPrivacyTokens::AddNameParts(std::string_view Name) {
  size_t Begin = 0;
  const auto Part = [&](size_t End) {
    const std::string_view P = Name.substr(Begin, End - Begin);
    if (LetterCount(P) >= 3) Add(P, TTokenKind::NamePart);
  };
  ForEachChar(Name, [&](size_t At, size_t L) {
    if (WordCharAt(Name, At)) return;
    Part(At);
    Begin = At + L;
  });
  Part(Name.size());
}

void TPrivacyTokens::AddCode(std::string_view Code, TTokenKind Kind) {
  size_t Significant = 0;
  ForEachChar(Code, [&](size_t At, size_t) { Significant += WordCharAt(Code, At) ? 1 : 0; });
  if (Significant < 3) return;
  Add(Code, Kind);
  if (Code.find('_') == std::string_view::npos) return;
  std::string Blanks(Code);
  std::replace(Blanks.begin(), Blanks.end(), '_', ' ');
  Add(Blanks, Kind);
}

void TPrivacyTokens::AddAll(const TPrivacyTokens& Other) {
  for (const TToken& T : Other.FTokens) Add(T.Folded, T.Kind);
}

void TPrivacyTokens::Find(std::string_view Text, std::vector<TTokenMatch>& Out) const {
  if (FTokens.empty() || Text.empty()) return;
  const std::string F = Folded(Text);
  bool AfterWord = false;  // the character before Pos is a letter or digit
  for (size_t Pos = 0; Pos < Text.size();) {
    if (!AfterWord && !Continuation(U(Text)[Pos])) {
      const TToken* Hit = nullptr;
      for (const TToken& T : FTokens) {
        const size_t End = Pos + T.Folded.size();
        if (End > F.size() || F.compare(Pos, T.Folded.size(), T.Folded) != 0) continue;
        // The match ends where a character ends and no word goes on.
        if (End < Text.size() && (Continuation(U(Text)[End]) || WordCharAt(Text, End))) continue;
        Hit = &T;
        break;
      }
      if (Hit != nullptr) {
        Out.push_back({Pos, Hit->Folded.size(), Hit->Kind});
        Pos += Hit->Folded.size();
        AfterWord = WordCharBefore(Text, Pos);
        continue;
      }
    }
    AfterWord = WordCharAt(Text, Pos);
    Pos += CharLength(Text, Pos);
  }
}

bool ParsePhiWords(std::string_view Content, std::vector<std::string>& Words, std::string& Error) {
  if (Content.substr(0, 3) == "\xEF\xBB\xBF") Content.remove_prefix(3);  // a byte order mark
  size_t Line = 0;
  while (!Content.empty()) {
    ++Line;
    const size_t Eol = Content.find('\n');
    std::string_view W = Content.substr(0, Eol);
    Content.remove_prefix(Eol == std::string_view::npos ? Content.size() : Eol + 1);
    while (!W.empty() && IsBlank(W.front())) W.remove_prefix(1);
    while (!W.empty() && IsBlank(W.back())) W.remove_suffix(1);
    if (W.empty()) continue;
    for (size_t i = 0; i < W.size();) {
      const size_t L = Utf8SequenceLength(U(W) + i, W.size() - i);
      if (L == 0) {
        Error = "line " + std::to_string(Line) + " is not UTF-8";
        return false;
      }
      i += L;
    }
    Words.emplace_back(W);
  }
  return true;
}

bool ReadPhiWords(const std::string& Path, std::vector<std::string>& Words, std::string& Error) {
  std::ifstream In(Path, std::ios::binary);
  if (!In) {
    Error = std::string("cannot be read: ") + std::strerror(errno);
    return false;
  }
  const std::string Content((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
  if (In.bad()) {
    Error = "cannot be read to its end";
    return false;
  }
  return ParsePhiWords(Content, Words, Error);
}
