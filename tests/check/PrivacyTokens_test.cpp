// Finding identifying tokens in free text: whole words only, letter case
// ignored, whole UTF-8 characters only; which header texts make tokens at
// all; and the user's word list.
#include "check/PrivacyTokens.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using TSpans = std::vector<std::pair<size_t, size_t>>;  // (first byte, length)

struct TRow {
  const char* Name;
  std::function<void(TPrivacyTokens&)> Tokens;
  std::string Text;
  TSpans Expected;
};
void PrintTo(const TRow& R, std::ostream* Os) { *Os << R.Name; }

void Name(TPrivacyTokens& T, const char* N) { T.AddNameParts(N); }

const std::vector<TRow>& Rows() {
  static const std::vector<TRow> Rows = {
      {"NotInsideAWord", [](auto& T) { Name(T, "X_Lee"); }, "sleep Lee asleep Lee2 Lee", {{6, 3}, {22, 3}}},
      {"AsciiLetterCaseIgnored", [](auto& T) { Name(T, "Muller"); }, "MULLER, muller.", {{0, 6}, {8, 6}}},
      {"Latin1LetterCaseIgnored", [](auto& T) { Name(T, "J\xC3\xB6rg_M\xC3\xBCller"); },
       "J\xC3\x96RG M\xC3\x9CLLER", {{0, 5}, {6, 7}}},
      // A letter of another script goes on with the word; punctuation does not.
      {"AccentedLetterContinuesTheWord", [](auto& T) { Name(T, "Jose"); }, "Jos\xC3\xA9 Jose\xE2\x80\x99s", {{6, 4}}},
      {"GuillemetsAndPunctuationBound", [](auto& T) { Name(T, "Hans"); }, "\xC2\xABHans\xC2\xBB (hans)",
       {{2, 4}, {10, 4}}},
      // A byte that is not UTF-8 is most likely a letter of a legacy code page.
      {"ByteNotUtf8CountsAsLetter", [](auto& T) { Name(T, "Hans"); }, "Hans\xE9 \xE9Hans", {}},
      {"DigitsAreWordCharacters", [](auto& T) { T.AddCode("12345", TTokenKind::PatientCode); }, "A12345 #12345",
       {{8, 5}}},
      {"LongestTokenWins",
       [](auto& T) {
         Name(T, "Anne");
         T.Add("anne marie", TTokenKind::UserWord);
       },
       "Anne Marie, Anne", {{0, 10}, {12, 4}}},
      {"CodeUnderscoreReadAsBlank", [](auto& T) { T.AddCode("Dr._Kay", TTokenKind::AdminCode); },
       "seen by Dr. Kay and Dr._Kay", {{8, 7}, {20, 7}}},
      {"OneAndTwoLetterPartsAndCodesAreNoTokens",
       [](auto& T) {
         Name(T, "Li_X_Jo");
         T.AddCode("X", TTokenKind::PatientCode);
         T.AddCode("7B", TTokenKind::AdminCode);
       },
       "Li X Jo 7B", {}},
      {"NamePartsSplitAtEveryPunctuation", [](auto& T) { Name(T, "O'Neil-Smith,_Ann"); }, "Neil Smith Ann O'Neil",
       {{0, 4}, {5, 5}, {11, 3}, {17, 4}}},
  };
  return Rows;
}

class PrivacyTokensRow : public testing::TestWithParam<TRow> {};

TEST_P(PrivacyTokensRow, FindsExactlyTheWholeWordMatches) {
  const TRow& R = GetParam();
  TPrivacyTokens T;
  R.Tokens(T);
  std::vector<TTokenMatch> Found;
  T.Find(R.Text, Found);
  TSpans Spans;
  for (const TTokenMatch& M : Found) Spans.emplace_back(M.At, M.Length);
  EXPECT_EQ(Spans, R.Expected);
}

INSTANTIATE_TEST_SUITE_P(Table, PrivacyTokensRow, testing::ValuesIn(Rows()),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(PrivacyTokens, PhiWordsAreTrimmedLinesAndALineNotUtf8IsRefusedByNumber) {
  std::vector<std::string> Words;
  std::string Error;
  ASSERT_TRUE(ParsePhiWords("\xEF\xBB\xBF  Room 7 \r\n\n\t\nJ\xC3\xB6rg\n", Words, Error)) << Error;
  EXPECT_EQ(Words, (std::vector<std::string>{"Room 7", "J\xC3\xB6rg"}));
  Words.clear();
  EXPECT_FALSE(ParsePhiWords("Room 7\nSecret\xE9Name\n", Words, Error));
  EXPECT_EQ(Error, "line 2 is not UTF-8");
  EXPECT_FALSE(ReadPhiWords("/nonexistent/phi.txt", Words, Error));
}

}  // namespace
