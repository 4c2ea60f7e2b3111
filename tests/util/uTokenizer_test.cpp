#include "util/uTokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Tokens = std::vector<std::pair<TDateTimeTokenKind, std::string>>;

Tokens ReadAll(const std::string& Format) {
  TDateTimeFormatTokenizer T;
  T.SetText(Format);
  Tokens Result;
  if (T.First()) {
    do {
      Result.emplace_back(T.TokenKind, T.TokenText);
    } while (T.Next());
  }
  EXPECT_EQ(T.TokenKind, tkNone) << "the stream ends on tkNone: " << Format;
  return Result;
}

struct TokenCase {
  std::string Format;
  Tokens Expected;
};

const std::vector<TokenCase> kTokenCases = {
    {"", {}},
    {"dd.mm.yy", {{tkDD, "DD"}, {tkLiteral, "."}, {tkMM, "MM"}, {tkLiteral, "."}, {tkYY, "YY"}}},
    {"dd?mm?yyyy",
     {{tkDD, "DD"}, {tkAnyChar, "?"}, {tkMM, "MM"}, {tkAnyChar, "?"}, {tkYYYY, "YYYY"}}},
    {"dd-mmm-yyyy",
     {{tkDD, "DD"}, {tkLiteral, "-"}, {tkMMM, "MMM"}, {tkLiteral, "-"}, {tkYYYY, "YYYY"}}},
    {"dd.mmm.yyyy hh:nn:ssss",
     {{tkDD, "DD"},
      {tkLiteral, "."},
      {tkMMM, "MMM"},
      {tkLiteral, "."},
      {tkYYYY, "YYYY"},
      {tkLiteral, " "},
      {tkHH, "HH"},
      {tkTimeSep, ":"},
      {tkNN, "NN"},
      {tkTimeSep, ":"},
      {tkSSSS, "SSSS"}}},
    {"yyyyy", {}},
    {"y", {}},
    {"yyy.dd", {}},
    {"Hh", {{tkHH, "HH"}}},
    {"h:nn am/pm", {{tkH, "H"}, {tkTimeSep, ":"}, {tkNN, "NN"}, {tkLiteral, " "}, {tkAmPm, "am/pm"}}},
    {"a/P", {{tkAP, "a/P"}}},
    {"AMPM", {{tkAmPmLocale, "AMPM"}}},
    {"AMx", {}},
    {"dd'T'hh", {{tkDD, "DD"}, {tkLiteral, "'T'"}, {tkHH, "HH"}}},
    {"dd\"at\"", {{tkDD, "DD"}, {tkLiteral, "\"at\""}}},
    {"dd'abc", {{tkDD, "DD"}, {tkLiteral, "'abc'"}}},
    {"'it''s'", {{tkLiteral, "'it'"}, {tkLiteral, "'s'"}}},
    {"ddddddd", {{tkDDDDDDD, "DDDDDDD"}}},
    {"dddddddd", {}},
    {"ss.zzz", {{tkSS, "SS"}, {tkLiteral, "."}, {tkZZZ, "ZZZ"}}},
    {"ss.zz", {{tkSS, "SS"}, {tkLiteral, "."}}},
    {"z s sss sssss", {{tkZ, "Z"}, {tkLiteral, " "}, {tkS, "S"}, {tkLiteral, " "}, {tkSSS, "SSS"},
                       {tkLiteral, " "}, {tkSSSSS, "SSSSS"}}},
    {"cc/t:tt", {{tkC, "C"}, {tkC, "C"}, {tkDateSep, "/"}, {tkT, "T"}, {tkTimeSep, ":"}, {tkTT, "TT"}}},
    {"mmmm ddddd dddddd", {{tkMMMM, "MMMM"}, {tkLiteral, " "}, {tkDDDDD, "DDDDD"}, {tkLiteral, " "},
                           {tkDDDDDD, "DDDDDD"}}},
    {"mmmmm", {}},
    {"x", {{tkLiteral, "x"}}},
};

TEST(UTokenizer, SplitsFormatsIntoTheDocumentedTokens) {
  for (const TokenCase& C : kTokenCases) EXPECT_EQ(ReadAll(C.Format), C.Expected) << C.Format;
}

Tokens Listed(const std::string& Format) {
  Tokens Result;
  for (const TDateTimeToken& T : DateTimeFormatTokens(Format)) Result.emplace_back(T.Kind, T.Text);
  return Result;
}

// The kept lists are the tokenizer's, asked once or again, and formats past
// the number a thread keeps still get theirs.
TEST(UTokenizer, KeptTokenListsAreTheDocumentedTokens) {
  for (int Round = 0; Round < 2; ++Round)
    for (const TokenCase& C : kTokenCases) EXPECT_EQ(Listed(C.Format), C.Expected) << C.Format;
  for (int I = 0; I < 600; ++I) {
    const std::string Format = "dd'" + std::to_string(I) + "'";
    ASSERT_EQ(Listed(Format), (Tokens{{tkDD, "DD"}, {tkLiteral, '\'' + std::to_string(I) + '\''}})) << Format;
  }
}

TEST(UTokenizer, RunThatFormsNoTokenMovesOnlyWhenItsEntryIsNone) {
  struct Case {
    std::string Text;
    int PositionAfterFirst;
  };
  // Five y are longer than the list: nothing moves. One y is a tkNone entry:
  // the run is skipped. Eight d: too long.
  for (const Case& C : std::vector<Case>{{"yyyyy", 1}, {"y", 2}, {"yyy", 4}, {"dddddddd", 1}, {"zz", 3}}) {
    TDateTimeFormatTokenizer T;
    T.SetText(C.Text);
    EXPECT_FALSE(T.First()) << C.Text;
    EXPECT_EQ(T.TokenKind, tkNone) << C.Text;
    EXPECT_EQ(T.Position, C.PositionAfterFirst) << C.Text;
  }
}

TEST(UTokenizer, NewTokenizerIsEmpty) {
  TDateTimeFormatTokenizer T;
  EXPECT_EQ(T.Position, 0);
  EXPECT_TRUE(T.Text.empty());
  EXPECT_TRUE(T.TokenText.empty());
  EXPECT_EQ(T.TokenKind, tkNone);
  EXPECT_FALSE(T.First());
}

TEST(UTokenizer, UnclosedQuoteRunsPastTheEnd) {
  TDateTimeFormatTokenizer T;
  T.SetText("dd'abc");
  ASSERT_TRUE(T.First());
  ASSERT_TRUE(T.Next());
  EXPECT_EQ(T.TokenText, "'abc'");
  EXPECT_EQ(T.Position, 7);
  EXPECT_FALSE(T.Next());
}

TEST(UTokenizer, CharacterHelpersLookAroundPosition) {
  TDateTimeFormatTokenizer T;
  T.SetText("aAab");
  EXPECT_EQ(T.Position, 1);
  EXPECT_EQ(T.PeekChar(0), 'a');
  EXPECT_EQ(T.PeekChar(1), 'A');
  EXPECT_EQ(T.PeekChar(3), 'b');
  EXPECT_EQ(T.PeekChar(4), '\0');
  EXPECT_EQ(T.RunLength(false), 1);
  EXPECT_EQ(T.RunLength(true), 3);
  T.Position = 5;
  EXPECT_EQ(T.RunLength(true), 0);
}

TEST(UTokenizer, MatchListTakesTheFirstEntryInListOrder) {
  TDateTimeFormatTokenizer T;
  T.SetText("xAM/PMy");
  T.Position = 2;
  EXPECT_EQ(T.MatchList({"AMPM", "AM", "AM/PM"}, false), 1);
  EXPECT_EQ(T.MatchList({"am/pm"}, true), 0);
  EXPECT_EQ(T.MatchList({"am/pm"}, false), -1);
  EXPECT_EQ(T.MatchList({"AM/PMyz"}, false), -1) << "longer than the rest of the text";
  EXPECT_EQ(T.Position, 2);
}

TEST(UTokenizer, RefreshRereadsTheTokenEndingAtPosition) {
  TDateTimeFormatTokenizer T;
  T.SetText("dd.mmm");
  EXPECT_FALSE(T.Refresh()) << "position 1 is below 2";
  ASSERT_TRUE(T.First());
  ASSERT_TRUE(T.Next());
  ASSERT_TRUE(T.Next());
  T.TokenKind = tkNone;
  EXPECT_TRUE(T.Refresh());
  EXPECT_EQ(T.TokenKind, tkMMM);
  EXPECT_EQ(T.Position, 7);
}

}  // namespace
