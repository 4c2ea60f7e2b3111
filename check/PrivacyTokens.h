// The identifying tokens the privacy audit looks for in annotation texts and
// file names, and how it finds them: whole words only (a match is neither
// preceded nor followed by a letter or digit, so a name "Lee" is not found
// in "sleep"), letter case ignored (ASCII and the Latin-1 letters, whose
// upper and lower case take the same bytes in UTF-8), and whole UTF-8
// characters only. A match is reported by its bytes, never copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What a token stands for; the faces name it, never its text.
enum class TTokenKind : uint8_t { NamePart, PatientCode, AdminCode, UserWord };

// "a part of the patient's name", "the patient code", ...
const char* TokenKindText(TTokenKind Kind);

struct TTokenMatch {
  size_t At = 0;      // first byte inside the searched text
  size_t Length = 0;  // bytes
  TTokenKind Kind = TTokenKind::UserWord;
};

class TPrivacyTokens {
public:
  // Adds Text as one token (a phrase may hold blanks); an empty text, or one
  // already held in another letter case, adds nothing.
  void Add(std::string_view Text, TTokenKind Kind);
  // The name subfield's parts: split at '_' and at every other byte that is
  // no letter or digit, each part of 3 or more letters a token. One-letter
  // parts ("X", initials) and short ones would hit ordinary words.
  void AddNameParts(std::string_view Name);
  // A patient or administration code as written, and with '_' read as the
  // blank it stands for. A code of fewer than 3 letters and digits ("X",
  // "1") identifies nobody and would hit ordinary numbers: no token.
  void AddCode(std::string_view Code, TTokenKind Kind);
  // Every token of Other not held yet.
  void AddAll(const TPrivacyTokens& Other);

  bool Empty() const { return FTokens.empty(); }
  size_t Count() const { return FTokens.size(); }

  // Every whole-word match in Text, left to right and never overlapping; at
  // one place the longest token wins.
  void Find(std::string_view Text, std::vector<TTokenMatch>& Out) const;

private:
  struct TToken {
    std::string Folded;  // in one letter case
    TTokenKind Kind;
  };
  std::vector<TToken> FTokens;
};

// True when the character that ends just before byte At (or starts at At)
// is a letter or a digit; bytes that are not UTF-8 count as letters (they
// are most likely a letter of a legacy code page).
bool WordCharBefore(std::string_view Text, size_t At);
bool WordCharAt(std::string_view Text, size_t At);

// The letters in Text (digits and punctuation not counted).
size_t LetterCount(std::string_view Text);

// The user's words and phrases (--phi-words FILE): UTF-8, one a line, blanks
// trimmed, empty lines skipped. False with the reason in Error (the line
// number, never the line's text) when the file cannot be read or a line is
// not UTF-8.
bool ReadPhiWords(const std::string& Path, std::vector<std::string>& Words, std::string& Error);
bool ParsePhiWords(std::string_view Content, std::vector<std::string>& Words, std::string& Error);
