// Character and integer tests, padding, extractors and scanners.
#include <gtest/gtest.h>

#include <algorithm>

#include "util/udStr.h"

namespace {

TEST(UdstrFieldTests, PrintableAndLeftJustifiedFollowTheAsciiAndBlankRanges) {
  struct Case {
    std::string S;
    bool Printable, LeftJustified;
  };
  const Case Cases[] = {
      {"", 1, 1}, {"   ", 1, 1}, {"  abc", 1, 0}, {"abc  ", 1, 1}, {"~ !", 1, 1}, {"\tabc", 0, 0},
      {"a\x7f", 0, 1}, {"a\xe9", 0, 1}, {"\x80", 0, 1}, {"\x1f\x01", 0, 1},
      {std::string("\0a", 2), 0, 0}};
  for (const Case& C : Cases) {
    EXPECT_EQ(IsAsciiPrintable(C.S), C.Printable) << '"' << C.S << '"';
    EXPECT_EQ(IsLeftJustified(C.S), C.LeftJustified) << '"' << C.S << '"';
  }
  EXPECT_EQ(Trim(std::string("\0\t a !\r\n ", 9)), "a !");
}

TEST(UdstrFieldTests, WordAtATimeScansAgreeWithByteByByteAtEveryPosition) {
  // One odd byte at every position of blank or printable runs of every
  // length around the eight-byte steps, and each byte value at the edges of
  // the blank and printable ranges.
  const unsigned char Odd[] = {0, 31, 32, 33, 126, 127, 128, 160, 255};
  for (const char Fill : {' ', 'a'})
    for (size_t Len = 1; Len <= 25; ++Len)
      for (size_t At = 0; At < Len; ++At)
        for (unsigned char O : Odd) {
          std::string S(Len, Fill);
          S[At] = static_cast<char>(O);
          const bool Printable = std::all_of(S.begin(), S.end(), [](char C) {
            return static_cast<unsigned char>(C) >= 32 && static_cast<unsigned char>(C) <= 126;
          });
          const auto Blank = [](char C) { return static_cast<unsigned char>(C) <= 32; };
          size_t B = 0, E = Len;
          while (B < Len && Blank(S[B])) ++B;
          while (E > 0 && Blank(S[E - 1])) --E;
          EXPECT_EQ(IsAsciiPrintable(S), Printable) << Len << ' ' << At << ' ' << int(O);
          EXPECT_EQ(Trim(S), B < E ? S.substr(B, E - B) : "") << Len << ' ' << At << ' ' << int(O);
          EXPECT_EQ(TrimRight(S), S.substr(0, E)) << Len << ' ' << At << ' ' << int(O);
          EXPECT_EQ(TrimLeft(S), S.substr(B)) << Len << ' ' << At << ' ' << int(O);
        }
}

TEST(UdstrIntegerTests, RangesAndSyntaxAreTheSameUnderEitherDecimalSeparator) {
  struct Case {
    std::string S;
    bool SmallInt, Integer, Word;
  };
  const Case Cases[] = {
      {"32767", 1, 1, 1}, {"32768", 0, 1, 1}, {"-32768", 1, 1, 0}, {"-32769", 0, 1, 0},
      {"65535", 0, 1, 1}, {"65536", 0, 1, 0}, {"-1", 1, 1, 0}, {"+7", 1, 1, 1},
      {"\t12\r\n", 1, 1, 1}, {"$10", 1, 1, 1}, {"x1f", 1, 1, 1}, {"0XFF", 1, 1, 1},
      {"-$10", 1, 1, 0}, {"2147483647", 0, 1, 0}, {"2147483648", 0, 0, 0}, {"-2147483648", 0, 1, 0},
      {"$FFFFFFFF", 0, 0, 0},  // hex does not wrap to -1
      {"", 0, 0, 0}, {"-", 0, 0, 0}, {"$", 0, 0, 0}, {"0x", 0, 0, 0}, {"1 2", 0, 0, 0},
      {"1.0", 0, 0, 0}, {"1,0", 0, 0, 0}, {"1e3", 0, 0, 0}, {"+-1", 0, 0, 0},
      {"99999999999999999999", 0, 0, 0}};
  for (char L : {'.', ','}) {
    TFormatSettingsGuard Guard;
    ProcessFormatSettings().DecimalSeparator = L;
    for (const Case& C : Cases) {
      EXPECT_EQ(IsSmallInt(C.S), C.SmallInt) << '"' << C.S << "\" L=" << L;
      EXPECT_EQ(IsInteger(C.S), C.Integer) << '"' << C.S << "\" L=" << L;
      EXPECT_EQ(IsWord(C.S), C.Word) << '"' << C.S << "\" L=" << L;
    }
  }
  int64_t Value = 0;
  EXPECT_TRUE(TryStrToInt64("-0x8000000000000000", Value));
  EXPECT_EQ(Value, INT64_MIN);
  EXPECT_FALSE(TryStrToInt64("$8000000000000000", Value));
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", Value));
}

TEST(UdstrPadding, PadRightGivesExactlyWidthCharacters) {
  EXPECT_EQ(PadRight("abc", 5), "abc  ");
  EXPECT_EQ(PadRight("abcdef", 4), "abcd");
  EXPECT_EQ(PadRight("abc", -1), "");
  EXPECT_EQ(RepeatChar('x', -2), "");
}

TEST(UdstrExtract, ExtractTokenAlwaysDropsTheDelimiterAndTrimsTheToken) {
  struct Case {
    std::string S, Delimiters;
    bool Exclude;
    std::string Token, Rest;
  };
  const Case Cases[] = {
      {"P001 F X", " ", true, "P001", "F X"}, {"P001 F X", " ", false, "P001", "F X"},
      {"a,b;c", ";,", false, "a,", "b;c"}, {"  abc  ", "x", true, "abc", ""},
      {" X", " ", true, "", "X"}};
  for (const Case& C : Cases) {
    std::string S = C.S;
    EXPECT_EQ(ExtractToken(S, C.Delimiters, C.Exclude), C.Token) << C.S;
    EXPECT_EQ(S, C.Rest) << C.S;
  }
}

TEST(UdstrExtract, ExtractQuotedTakesUpToTheNextQuoteAndOneCharacterMore) {
  struct Case {
    std::string S;
    bool Requote;
    std::string Result, Rest;
  };
  const Case Cases[] = {
      {"no quotes", false, "", "no quotes"}, {"say \"hi\" there", false, "hi", "there"},
      {"say \"hi\" there", true, "\"hi\"", "there"}, {"\"open", false, "open", ""},
      {"\"a\"\"b\"", false, "a", "b\""}};  // doubled quotes are no escape
  for (const Case& C : Cases) {
    std::string S = C.S;
    EXPECT_EQ(ExtractQuoted(S, C.Requote), C.Result) << C.S;
    EXPECT_EQ(S, C.Rest) << C.S;
  }
}

TEST(UdstrExtract, ExtractDelimitedMovesPosOnlyWhenItFindsTheOpening) {
  struct Case {
    std::string S;
    int Pos;
    bool Include;
    std::string Result;
    int PosAfter;
  };
  const Case Cases[] = {
      {"a(bc)d", 1, false, "bc", 6}, {"a(bc)d(e)", 6, true, "(e)", 10},
      {"a(bc", 1, true, "(bc)", 5}, {"abc", 1, false, "", 1}, {"a(b)", 0, false, "", 0},
      {"a(b)", 5, false, "", 5}};
  for (const Case& C : Cases) {
    int Pos = C.Pos;
    EXPECT_EQ(ExtractDelimited(C.S, '(', ')', Pos, C.Include), C.Result) << C.S << C.Pos;
    EXPECT_EQ(Pos, C.PosAfter) << C.S << C.Pos;
  }
}

TEST(UdstrScan, ScanCharSetTakesTheWholeRunOrNothing) {
  const TCharSet Digits = CharSetOf("0123456789");
  struct Case {
    std::string S;
    int Pos, MinLen, MaxLen;
    bool Ok;
    int PosAfter;
  };
  const Case Cases[] = {
      {"12ab", 1, -1, -1, 1, 3}, {"12ab", 3, -1, -1, 0, 3},
      {"12345", 1, -1, 4, 0, 1},  // a long run is not cut
      {"x12", 2, 2, 2, 1, 4}, {"12", 1, 3, -1, 0, 1}, {"12", 1, -1, 0, 0, 1},
      {"ab", 0, -1, -1, 0, 0}};
  for (const Case& C : Cases) {
    int Pos = C.Pos;
    std::string Token = "unchanged";
    EXPECT_EQ(ScanCharSet(C.S, Pos, Digits, C.MinLen, C.MaxLen, Token), C.Ok) << C.S << C.Pos;
    EXPECT_EQ(Token, C.Ok ? C.S.substr(C.Pos - 1, C.PosAfter - C.Pos) : "unchanged") << C.S;
    EXPECT_EQ(Pos, C.PosAfter) << C.S << C.Pos;
  }
  int Pos = 1;
  std::string Token;
  EXPECT_TRUE(ScanCharSet("a b", Pos, TCharSet(), -1, -1, Token));  // empty set: any character
  EXPECT_EQ(Token, "a b");
}

TEST(UdstrScan, ScanWordLeavesPosAfterARunThatIsNoWord) {
  struct Case {
    std::string S;
    int Pos, MinLen, MaxLen;
    bool Ok;
    uint16_t Value;
    int PosAfter;
  };
  const Case Cases[] = {
      {"2003x", 1, -1, -1, 1, 2003, 5}, {"65536", 1, -1, -1, 0, 0, 6}, {"+12", 1, -1, -1, 1, 12, 4},
      {"1+2", 1, -1, -1, 0, 0, 4}, {"123", 1, 1, 2, 0, 0, 1}, {"07:30", 4, 2, 2, 1, 30, 6},
      {"-5", 1, -1, -1, 0, 0, 1}};
  for (const Case& C : Cases) {
    int Pos = C.Pos;
    uint16_t Value = 777;
    EXPECT_EQ(ScanWord(C.S, Pos, Value, C.MinLen, C.MaxLen), C.Ok) << C.S;
    EXPECT_EQ(Value, C.Ok ? C.Value : 777) << C.S;
    EXPECT_EQ(Pos, C.PosAfter) << C.S;
  }
}

TEST(UdstrScan, ScanFloatUsesTheSeparatorsOfTheGivenSettings) {
  TFormatSettings Dot, Comma;
  Comma.DecimalSeparator = ',';
  Comma.ThousandSeparator = '.';
  struct Case {
    std::string S;
    const TFormatSettings* Settings;
    bool Ok;
    long double Value;
    int PosAfter;
  };
  const Case Cases[] = {
      {"12.5s", &Dot, 1, 12.5L, 5}, {"1,5", &Dot, 1, 1.0L, 2}, {"-1.5e3x", &Dot, 1, -1500, 7},
      {"1.2.3", &Dot, 0, 0, 6}, {"12,5", &Comma, 1, 12.5L, 5}, {"1.5", &Comma, 1, 1.0L, 2}};
  for (const Case& C : Cases) {
    int Pos = 1;
    long double Value = -7.0L;
    EXPECT_EQ(ScanFloat(C.S, Pos, Value, *C.Settings, -1, -1), C.Ok) << C.S;
    EXPECT_EQ(Value, C.Ok ? C.Value : -7.0L) << C.S;
    EXPECT_EQ(Pos, C.PosAfter) << C.S;
  }
}

TEST(UdstrMatch, MatchAtAndMatchAnyAtMoveOnlyOnAMatchWithinTheText) {
  struct Case {
    std::string S;
    int Pos;
    std::string Word;
    bool IgnoreCase, Ok;
    int PosAfter;
  };
  const Case Cases[] = {
      {"may", 1, "MAY", true, 1, 4}, {"may", 1, "MAY", false, 0, 1}, {"xMay", 2, "Ma", false, 1, 4},
      {"Ma", 1, "May", true, 0, 1}, {"abc", 4, "", true, 1, 4}, {"abc", 0, "a", true, 0, 0},
      {"abc", 4, "c", false, 0, 4}};
  for (const Case& C : Cases) {
    int Pos = C.Pos;
    EXPECT_EQ(MatchAt(C.S, Pos, C.Word, C.IgnoreCase), C.Ok) << C.S << C.Pos << C.Word;
    EXPECT_EQ(Pos, C.PosAfter) << C.S << C.Pos << C.Word;
  }
  int Index = -7, Pos = 1;
  EXPECT_TRUE(MatchAnyAt({"Ma", "May"}, "May", Index, Pos));  // earlier words win
  EXPECT_EQ(Index, 0);
  EXPECT_EQ(Pos, 3);
  Index = -7, Pos = 2;
  EXPECT_TRUE(MatchAnyAt({"Jan", "Feb"}, "xfeb", Index, Pos));
  EXPECT_EQ(Index, 1);
  EXPECT_EQ(Pos, 5);
  Index = -7, Pos = 1;
  EXPECT_FALSE(MatchAnyAt({"Jan", "Feb"}, "Mar", Index, Pos));
  EXPECT_EQ(Index, -7);
  EXPECT_EQ(Pos, 1);
}

}  // namespace
