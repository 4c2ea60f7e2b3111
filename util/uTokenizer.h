// Tokenizers: a text split into tokens one at a time, and the one concrete
// tokenizer of the library, which splits a date/time format string into typed
// format tokens. Positions are 1-based.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Navigation over a text: First starts over, Next reads on, Refresh re-reads
// the token that ends at the current position.
class TCustomTokenizer {
public:
  virtual ~TCustomTokenizer() = default;

  virtual bool First() = 0;
  virtual bool Refresh() = 0;
  virtual bool Next() = 0;

  int32_t Position = 0;
};

// A tokenizer over an 8-bit string, with the character-level helpers the
// concrete tokenizers read their tokens with.
class TStringTokenizer : public TCustomTokenizer {
public:
  bool First() override;
  bool Refresh() override;
  bool Next() override;
  // Reads the token at Position, makes it current and moves past it; false
  // when no token could be read.
  virtual bool ReadToken() = 0;

  void SetText(const std::string& S);
  // The character K places after Position, or '\0' beyond the end of Text.
  char PeekChar(int K) const;
  // Length of the run of equal characters at Position; 0 beyond the end.
  int RunLength(bool IgnoreCase) const;
  // 0-based index of the first entry that the text at Position starts with,
  // or -1. Position does not move.
  int MatchList(const std::vector<std::string>& List, bool IgnoreCase) const;

  std::string Text;
  std::string TokenText;
};

// Ordinals are fixed: the convertors test ranges of them.
enum TDateTimeTokenKind : uint8_t {
  tkNone = 0,
  tkC = 1,
  tkD = 2,
  tkDD = 3,
  tkDDD = 4,
  tkDDDD = 5,
  tkDDDDD = 6,
  tkDDDDDD = 7,
  tkDDDDDDD = 8,
  tkM = 9,
  tkMM = 10,
  tkMMM = 11,
  tkMMMM = 12,
  tkYY = 13,
  tkYYYY = 14,
  tkH = 15,
  tkHH = 16,
  tkN = 17,
  tkNN = 18,
  tkS = 19,
  tkSS = 20,
  tkSSS = 21,
  tkSSSS = 22,
  tkSSSSS = 23,
  tkZ = 24,
  tkZZZ = 25,
  tkT = 26,
  tkTT = 27,
  tkAmPm = 28,
  tkAP = 29,
  tkAmPmLocale = 30,
  tkDateSep = 31,
  tkTimeSep = 32,
  tkAnyChar = 33,
  tkLiteral = 34,
};

// Splits a date/time format such as "dd.mmm.yyyy hh:nn:ss" into format tokens.
// Letters are matched without regard to (ASCII) case; the stream ends at the
// first run that forms no token.
class TDateTimeFormatTokenizer : public TStringTokenizer {
public:
  bool ReadToken() override;

  void SetToken(TDateTimeTokenKind Kind, const std::string& S, bool Advance);
  // Kinds[i - 1] is the token of a run of i equal letters.
  void TokenFromRun(bool IgnoreCase, std::initializer_list<TDateTimeTokenKind> Kinds);
  void TokenFromList(const std::vector<std::string>& List,
                     std::initializer_list<TDateTimeTokenKind> Kinds, bool IgnoreCase);

  TDateTimeTokenKind TokenKind = tkNone;

private:
  void ReadQuoted();
};

// One token of a date/time format as the tokenizer reads it.
struct TDateTimeToken {
  TDateTimeTokenKind Kind = tkNone;
  std::string Text;
};
using TDateTimeTokens = std::vector<TDateTimeToken>;

// The tokens of a format, held for the caller: kept by the cache or, past
// its limit, owned by the handle.
class TFormatTokens {
public:
  explicit TFormatTokens(const TDateTimeTokens* Cached) : FList(Cached) {}
  explicit TFormatTokens(std::unique_ptr<TDateTimeTokens> Owned)
      : FList(Owned.get()), FOwned(std::move(Owned)) {}
  // A loop over the handle itself keeps it alive: for (T : DateTimeFormatTokens(F)).
  TDateTimeTokens::const_iterator begin() const { return FList->begin(); }
  TDateTimeTokens::const_iterator end() const { return FList->end(); }
  bool empty() const { return FList->empty(); }
  const TDateTimeTokens& operator*() const& { return *FList; }
  // The list of a handle about to go may go with it.
  const TDateTimeTokens& operator*() const&& = delete;

private:
  const TDateTimeTokens* FList;
  std::unique_ptr<TDateTimeTokens> FOwned;
};

// A hash for the per-thread format tables, so that a lookup by string_view
// needs no string.
struct TFormatHash {
  using is_transparent = void;
  size_t operator()(std::string_view S) const { return std::hash<std::string_view>{}(S); }
};

// The tokens of Format in order, as First and then Next read them until one
// fails. A format is tokenized once per thread and kept (a checker meets the
// same few formats in every file); cached lists stay valid as long as the
// thread that asked. Safe to call from several threads at once.
TFormatTokens DateTimeFormatTokens(std::string_view Format);
