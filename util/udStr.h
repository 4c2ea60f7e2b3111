// Small stateless text routines behind the header checks: field-format
// tests, conversions under explicit separators, fixed-width padding, float
// formatting that fits a field, and the scanners the date/time parser uses.
//
// Strings are 8-bit. Positions passed in and out (Pos) are 1-based, as the
// date/time parser counts them. A separator argument of '\0' means "none".
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "util/uFormatSettings.h"

using TCharSet = std::bitset<256>;

// The set of the characters in Chars (bytes, not code points).
TCharSet CharSetOf(const std::string& Chars);

// Blank class: codes 0 to 32. Trim removes it at both ends, TrimRight at the end,
// TrimLeft at the start.
std::string Trim(const std::string& S);
std::string TrimLeft(const std::string& S);
std::string TrimRight(const std::string& S);
// Upper case of the ASCII letters a to z only.
std::string UpperCaseAscii(const std::string& S);

// Character and field tests.
bool IsAsciiPrintable(const std::string& S);
bool IsLeftJustified(const std::string& S);
bool IsDigit(char C);
// A decimal number with '.' as its separator, or the process's decimal
// separator L in its place: under ',' both "1.5" and "1,5" pass.
bool IsNumber(const std::string& S);
// IsNumber with L given: the header judgement passes '.', so its verdict
// does not depend on the separator a caller set.
bool IsNumberSep(const std::string& S, char L);
// A decimal number with the user's decimal separator (the process settings).
// Not for file fields: their checks use IsValidFloatFormat.
bool IsFloat(const std::string& S);
bool IsSmallInt(const std::string& S);
bool IsInteger(const std::string& S);
bool IsWord(const std::string& S);

// The integer parser behind the integer tests: trimmed text, optional sign,
// decimal digits or hex after "$", "x", "X", "0x", "0X"; 64-bit signed.
bool TryStrToInt64(const std::string& S, int64_t& Value);

// Float format and conversion under explicit separators D (decimal) and T
// (thousands); with D none, a '.' reads as the decimal separator. Neither
// reads the user's locale, so a header field gets the same verdict on every
// machine.
bool IsValidFloatFormat(const std::string& S, char D, char T);
long double StrToFloatSep(const std::string& S, char D, char T);  // EConvertError
// StrToFloatSep without the error: false, and Value untouched, where it
// would raise. For texts that are often no number (a raising call costs as
// much as parsing a whole header).
bool TryStrToFloatSep(const std::string& S, char D, char T, long double& Value);
bool DetectSeparators(const std::string& S, char& D, char& T, bool PreferLast);  // EConvertError

// Padding.
std::string RepeatChar(char C, int Count);
std::string Spaces(int Count);
std::string PadRight(const std::string& S, int Width);

// Float formatting.
enum class TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
std::string FloatToStrFSep(long double Value, TFloatFormat Format, int Precision, int Digits,
                           char D, char T);
std::string FloatToStrFit(long double Value, int MaxLen, char D, char T);  // EConvertError

// Extracting and scanning.
std::string ExtractToken(std::string& S, const std::string& Delimiters, bool ExcludeDelimiter);
std::string ExtractQuoted(std::string& S, bool Requote);
std::string ExtractDelimited(const std::string& S, char Open, char Close, int& Pos,
                             bool IncludeDelimiters);
std::string DoubleQuote(const std::string& S);
bool ScanCharSet(const std::string& S, int& Pos, const TCharSet& CharSet, int MinLen, int MaxLen,
                 std::string& Token);
bool ScanWord(const std::string& S, int& Pos, uint16_t& Value, int MinLen, int MaxLen);
bool ScanFloat(const std::string& S, int& Pos, long double& Value, const TFormatSettings& Settings,
               int MinLen, int MaxLen);
bool MatchAt(const std::string& S, int& Pos, const std::string& Word, bool IgnoreCase);
bool MatchAnyAt(const std::vector<std::string>& Words, const std::string& S, int& Index, int& Pos);
