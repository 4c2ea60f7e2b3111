// Extractors and scanners: the small readers the identification splitter,
// the tokenizer and the date/time parsers build on. Positions are 1-based.
#include "util/udStr.h"

namespace {

// 0-based index of the first character at or after the 1-based Pos.
size_t IndexOf(int Pos) { return static_cast<size_t>(Pos - 1); }

bool SameAsciiIgnoringCase(char A, char B) {
  auto Fold = [](char C) { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C; };
  return Fold(A) == Fold(B);
}

}  // namespace

std::string ExtractToken(std::string& S, const std::string& Delimiters, bool ExcludeDelimiter) {
  const size_t P = S.find_first_of(Delimiters);
  std::string Token;
  if (P == std::string::npos) {
    Token = S;
    S.clear();
  } else {
    Token = S.substr(0, ExcludeDelimiter ? P : P + 1);
    S.erase(0, P + 1);
  }
  return Trim(Token);
}

// Doubled quotes are not an escape: the first quote after the opening one
// always closes.
std::string ExtractQuoted(std::string& S, bool Requote) {
  const size_t Open = S.find('"');
  if (Open == std::string::npos) return std::string();
  const size_t Close = S.find('"', Open + 1);
  std::string Result;
  if (Close == std::string::npos) {
    Result = S.substr(Open + 1);
    S.clear();
  } else {
    Result = S.substr(Open + 1, Close - Open - 1);
    // The character after the closing quote goes too (a separator).
    S.erase(0, Close + 2);
  }
  return Requote ? DoubleQuote(Result) : Result;
}

std::string ExtractDelimited(const std::string& S, char Open, char Close, int& Pos,
                             bool IncludeDelimiters) {
  if (Pos < 1 || static_cast<size_t>(Pos) > S.size()) return std::string();
  const size_t OpenAt = S.find(Open, IndexOf(Pos));
  if (OpenAt == std::string::npos) return std::string();
  const size_t CloseAt = S.find(Close, OpenAt + 1);
  std::string Result;
  if (CloseAt == std::string::npos) {
    Result = S.substr(OpenAt + 1);
    Pos = static_cast<int>(S.size()) + 1;
  } else {
    Result = S.substr(OpenAt + 1, CloseAt - OpenAt - 1);
    Pos = static_cast<int>(CloseAt) + 2;
  }
  return IncludeDelimiters ? Open + Result + Close : Result;
}

// The run is taken whole: a run longer than MaxLen fails rather than being cut.
bool ScanCharSet(const std::string& S, int& Pos, const TCharSet& CharSet, int MinLen, int MaxLen,
                 std::string& Token) {
  if (Pos < 1 || static_cast<size_t>(Pos) > S.size()) return false;
  const bool AnyChar = CharSet.none();
  size_t End = IndexOf(Pos);
  while (End < S.size() && (AnyChar || CharSet.test(static_cast<unsigned char>(S[End])))) ++End;
  const size_t Len = End - IndexOf(Pos);
  if (Len == 0) return false;
  if (MaxLen >= 0 && Len > static_cast<size_t>(MaxLen)) return false;
  if (MinLen >= 0 && Len < static_cast<size_t>(MinLen)) return false;
  Token = S.substr(IndexOf(Pos), Len);
  Pos = static_cast<int>(End) + 1;
  return true;
}

// On a run that is no word, Pos stays after the run: callers treat the text
// as consumed and fail as a whole. A word is what TryStrToInt64 reads from
// the run within 0 to 65535: an optional '+' in front, then digits.
bool ScanWord(const std::string& S, int& Pos, uint16_t& Value, int MinLen, int MaxLen) {
  if (Pos < 1 || static_cast<size_t>(Pos) > S.size()) return false;
  const size_t Start = IndexOf(Pos);
  size_t End = Start;
  while (End < S.size() && (S[End] == '+' || (S[End] >= '0' && S[End] <= '9'))) ++End;
  const size_t Len = End - Start;
  if (Len == 0) return false;
  if (MaxLen >= 0 && Len > static_cast<size_t>(MaxLen)) return false;
  if (MinLen >= 0 && Len < static_cast<size_t>(MinLen)) return false;
  Pos = static_cast<int>(End) + 1;
  size_t I = Start + (S[Start] == '+' ? 1 : 0);
  if (I == End) return false;
  uint32_t Number = 0;
  for (; I < End; ++I) {
    if (S[I] == '+') return false;
    Number = Number * 10 + static_cast<uint32_t>(S[I] - '0');
    if (Number > 65535) return false;
  }
  Value = static_cast<uint16_t>(Number);
  return true;
}

// The thousands separator is not scanned, so it ends the run.
bool ScanFloat(const std::string& S, int& Pos, long double& Value, const TFormatSettings& Settings,
               int MinLen, int MaxLen) {
  TCharSet FloatChars = CharSetOf("+-0123456789Ee");
  FloatChars.set(static_cast<unsigned char>(Settings.DecimalSeparator));
  std::string Token;
  if (!ScanCharSet(S, Pos, FloatChars, MinLen, MaxLen, Token)) return false;
  if (!IsValidFloatFormat(Token, Settings.DecimalSeparator, Settings.ThousandSeparator))
    return false;
  Value = StrToFloatSep(Token, Settings.DecimalSeparator, Settings.ThousandSeparator);
  return true;
}

// An empty Word matches anywhere; a Word reaching past the end of S never does.
bool MatchAt(const std::string& S, int& Pos, const std::string& Word, bool IgnoreCase) {
  if (Word.empty()) return true;
  if (Pos < 1 || IndexOf(Pos) + Word.size() > S.size()) return false;
  const size_t Start = IndexOf(Pos);
  for (size_t I = 0; I < Word.size(); ++I) {
    const char C = S[Start + I];
    if (IgnoreCase ? !SameAsciiIgnoringCase(C, Word[I]) : C != Word[I]) return false;
  }
  Pos += static_cast<int>(Word.size());
  return true;
}

// Earlier words win: a word that begins a longer one must come after it.
bool MatchAnyAt(const std::vector<std::string>& Words, const std::string& S, int& Index, int& Pos) {
  for (size_t I = 0; I < Words.size(); ++I) {
    if (MatchAt(S, Pos, Words[I], true)) {
      Index = static_cast<int>(I);
      return true;
    }
  }
  return false;
}
