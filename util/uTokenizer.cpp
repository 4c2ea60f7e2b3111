#include "util/uTokenizer.h"

#include <cstddef>
#include <unordered_map>

namespace {

char UpAscii(char C) { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C; }

bool SameChar(char A, char B, bool IgnoreCase) {
  return IgnoreCase ? UpAscii(A) == UpAscii(B) : A == B;
}

}  // namespace

// ---- TStringTokenizer ----

bool TStringTokenizer::First() {
  Position = 1;
  return ReadToken();
}

bool TStringTokenizer::Next() { return ReadToken(); }

bool TStringTokenizer::Refresh() {
  const int32_t End = Position;
  if (End < 2) return false;
  Position = 1;
  bool Result = false;
  do {
    Result = ReadToken();
  } while (Result && Position != End);
  return Result;
}

void TStringTokenizer::SetText(const std::string& S) {
  Text = S;
  Position = 1;
}

char TStringTokenizer::PeekChar(int K) const {
  const int64_t Index = static_cast<int64_t>(Position) + K;  // 1-based
  if (Index < 1 || Index > static_cast<int64_t>(Text.size())) return '\0';
  return Text[static_cast<size_t>(Index - 1)];
}

int TStringTokenizer::RunLength(bool IgnoreCase) const {
  if (Position < 1 || Position > static_cast<int32_t>(Text.size())) return 0;
  const size_t Start = static_cast<size_t>(Position - 1);
  size_t I = Start + 1;
  while (I < Text.size() && SameChar(Text[I], Text[Start], IgnoreCase)) ++I;
  return static_cast<int>(I - Start);
}

int TStringTokenizer::MatchList(const std::vector<std::string>& List, bool IgnoreCase) const {
  if (Position < 1) return -1;
  const size_t Start = static_cast<size_t>(Position - 1);
  for (size_t E = 0; E < List.size(); ++E) {
    const std::string& Entry = List[E];
    if (Start > Text.size() || Text.size() - Start < Entry.size()) continue;
    bool Same = true;
    for (size_t K = 0; K < Entry.size() && Same; ++K)
      Same = SameChar(Text[Start + K], Entry[K], IgnoreCase);
    if (Same) return static_cast<int>(E);
  }
  return -1;
}

// ---- TDateTimeFormatTokenizer ----

void TDateTimeFormatTokenizer::SetToken(TDateTimeTokenKind Kind, const std::string& S,
                                        bool Advance) {
  TokenKind = Kind;
  TokenText = S;
  if (Advance) Position += static_cast<int32_t>(S.size());
}

void TDateTimeFormatTokenizer::TokenFromRun(bool IgnoreCase,
                                            std::initializer_list<TDateTimeTokenKind> Kinds) {
  const int N = RunLength(IgnoreCase);
  if (N < 1 || N > static_cast<int>(Kinds.size())) {
    SetToken(tkNone, std::string(), true);
    return;
  }
  char C = Text[static_cast<size_t>(Position - 1)];
  if (IgnoreCase) C = UpAscii(C);
  // A tkNone entry still moves past the run: "y" is skipped, then the stream ends.
  SetToken(Kinds.begin()[N - 1], std::string(static_cast<size_t>(N), C), true);
}

void TDateTimeFormatTokenizer::TokenFromList(const std::vector<std::string>& List,
                                             std::initializer_list<TDateTimeTokenKind> Kinds,
                                             bool IgnoreCase) {
  const int I = MatchList(List, IgnoreCase);
  if (I < 0 || I >= static_cast<int>(Kinds.size())) {
    SetToken(tkNone, std::string(), true);
    return;
  }
  SetToken(Kinds.begin()[I], Text.substr(static_cast<size_t>(Position - 1), List[I].size()),
           true);
}

void TDateTimeFormatTokenizer::ReadQuoted() {
  const size_t Start = static_cast<size_t>(Position - 1);
  const char Quote = Text[Start];
  const size_t Close = Text.find(Quote, Start + 1);
  if (Close == std::string::npos) {
    // An unclosed literal runs to the end; the closing quote is added so
    // the token text always carries both quotes.
    TokenKind = tkLiteral;
    TokenText = Text.substr(Start) + Quote;
    Position = static_cast<int32_t>(Text.size()) + 1;
    return;
  }
  SetToken(tkLiteral, Text.substr(Start, Close - Start + 1), true);
}

bool TDateTimeFormatTokenizer::ReadToken() {
  TokenKind = tkNone;
  TokenText.clear();
  if (Position < 1 || Position > static_cast<int32_t>(Text.size())) return false;

  const char Raw = Text[static_cast<size_t>(Position - 1)];
  switch (UpAscii(Raw)) {
    case '"':
    case '\'':
      ReadQuoted();
      break;
    case '/':
      SetToken(tkDateSep, "/", true);
      break;
    case ':':
      SetToken(tkTimeSep, ":", true);
      break;
    case '?':
      SetToken(tkAnyChar, "?", true);
      break;
    case 'A':
      TokenFromList({"AM/PM", "A/P", "AMPM"}, {tkAmPm, tkAP, tkAmPmLocale}, true);
      break;
    case 'C':
      SetToken(tkC, "C", true);
      break;
    case 'D':
      TokenFromRun(true, {tkD, tkDD, tkDDD, tkDDDD, tkDDDDD, tkDDDDDD, tkDDDDDDD});
      break;
    case 'H':
      TokenFromRun(true, {tkH, tkHH});
      break;
    case 'M':
      TokenFromRun(true, {tkM, tkMM, tkMMM, tkMMMM});
      break;
    case 'N':
      TokenFromRun(true, {tkN, tkNN});
      break;
    case 'S':
      TokenFromRun(true, {tkS, tkSS, tkSSS, tkSSSS, tkSSSSS});
      break;
    case 'T':
      TokenFromRun(true, {tkT, tkTT});
      break;
    case 'Y':
      TokenFromRun(true, {tkNone, tkYY, tkNone, tkYYYY});
      break;
    case 'Z':
      TokenFromRun(true, {tkZ, tkNone, tkZZZ});
      break;
    default:
      SetToken(tkLiteral, std::string(1, Raw), true);
      break;
  }
  return TokenKind != tkNone;
}

// ---- the token lists ----

namespace {

// More distinct formats than this on one thread come from outside (a fuzzer,
// a user's own formats): they are tokenized per call and not kept.
constexpr size_t MaxCachedFormats = 256;

TDateTimeTokens Tokenize(std::string_view Format) {
  TDateTimeFormatTokenizer T;
  T.SetText(std::string(Format));
  TDateTimeTokens List;
  if (T.First()) {
    do {
      List.push_back({T.TokenKind, T.TokenText});
    } while (T.Next());
  }
  return List;
}

}  // namespace

TFormatTokens DateTimeFormatTokens(std::string_view Format) {
  // Per thread, so that no lookup waits for a lock. The lists never move:
  // a rehash moves no element of an unordered map.
  thread_local std::unordered_map<std::string, TDateTimeTokens, TFormatHash, std::equal_to<>> Cache;
  auto It = Cache.find(Format);
  if (It == Cache.end()) {
    if (Cache.size() >= MaxCachedFormats) return TFormatTokens(std::make_unique<TDateTimeTokens>(Tokenize(Format)));
    It = Cache.emplace(std::string(Format), Tokenize(Format)).first;
  }
  return TFormatTokens(&It->second);
}
