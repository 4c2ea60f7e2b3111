// Feeds arbitrary bytes to every string routine. Only the three converting
// routines may raise, and only EConvertError; anything else escaping, or a
// broken promise about lengths and positions, is a finding.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/uSysUtils.h"
#include "util/udStr.h"

namespace {

// Takes parameter bytes from the front; the rest of the input is the text.
class TInput {
 public:
  TInput(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}
  uint8_t Byte() { return FSize > 0 ? (--FSize, *FData++) : 0; }
  char Char() { return static_cast<char>(Byte()); }
  int SmallInt() { return static_cast<int>(static_cast<int8_t>(Byte())); }
  long double Float() {
    unsigned char Bytes[sizeof(long double)] = {};
    for (size_t I = 0; I < 10 && I < sizeof Bytes; ++I) Bytes[I] = Byte();
    long double Value;
    std::memcpy(&Value, Bytes, sizeof Value);
    return Value;
  }
  std::string Rest() { return std::string(reinterpret_cast<const char*>(FData), FSize); }

 private:
  const uint8_t* FData;
  size_t FSize;
};

void Check(bool Condition) {
  if (!Condition) __builtin_trap();
}

template <typename F>
void MayRaiseConvertError(F Body) {
  try {
    Body();
  } catch (const EConvertError&) {
  }
}

void FuzzTests(const std::string& S, char D, char T, bool Flag) {
  IsAsciiPrintable(S);
  IsLeftJustified(S);
  IsNumber(S);
  IsFloat(S);
  IsSmallInt(S);
  IsInteger(S);
  IsWord(S);
  int64_t Number = 0;
  TryStrToInt64(S, Number);
  Check(Trim(S).size() <= S.size());
  UpperCaseAscii(S);
  const bool Valid = IsValidFloatFormat(S, D, T);
  try {
    StrToFloatSep(S, D, T);
    Check(Valid);
  } catch (const EConvertError&) {
    Check(!Valid);
  }
  char DD = Flag ? D : '\0', TT = Flag ? '\0' : T;
  MayRaiseConvertError([&] { DetectSeparators(S, DD, TT, Flag); });
}

void FuzzFormatting(TInput& In, const std::string& S) {
  const int Width = In.SmallInt();
  const std::string Padded = PadRight(S, Width);
  Check(Padded.size() == static_cast<size_t>(Width < 0 ? 0 : Width));
  Check(RepeatChar(In.Char(), Width).size() == Padded.size());
  const long double Value = In.Float();
  const auto Format = static_cast<TFloatFormat>(In.Byte() % 5);
  const int Precision = In.SmallInt(), Digits = In.SmallInt();
  const char D = In.Char(), T = In.Char();
  FloatToStrFSep(Value, Format, Precision, Digits, D, T);
  const int MaxLen = In.SmallInt();
  MayRaiseConvertError(
      [&] { Check(static_cast<int>(FloatToStrFit(Value, MaxLen, D, T).size()) <= MaxLen); });
}

void FuzzScanning(TInput& In, const std::string& S, char D, char T) {
  const int Size = static_cast<int>(S.size());
  auto CheckPos = [&](int Before, int After) {
    Check(After == Before || (After > Before && After <= Size + 1));
  };
  int Pos = In.SmallInt();
  const int Start = Pos;
  const int MinLen = In.SmallInt(), MaxLen = In.SmallInt();
  const TCharSet Set = CharSetOf(std::string(1, D) + T);
  std::string Token;
  if (ScanCharSet(S, Pos, Set, MinLen, MaxLen, Token))
    Check(Token.size() == static_cast<size_t>(Pos - Start));
  CheckPos(Start, Pos);
  Pos = Start;
  uint16_t Word = 0;
  ScanWord(S, Pos, Word, MinLen, MaxLen);
  CheckPos(Start, Pos);
  Pos = Start;
  long double Value = 0;
  TFormatSettings Settings;
  Settings.DecimalSeparator = D;
  Settings.ThousandSeparator = T;
  ScanFloat(S, Pos, Value, Settings, MinLen, MaxLen);
  CheckPos(Start, Pos);
  Pos = Start;
  ExtractDelimited(S, D, T, Pos, MinLen > 0);
  CheckPos(Start, Pos);
  Pos = Start;
  const std::string Word1 = S.substr(0, static_cast<size_t>(In.Byte() % 4));
  MatchAt(S, Pos, Word1, MaxLen > 0);
  CheckPos(Start, Pos);
  int Index = -1;
  Pos = Start;
  if (MatchAnyAt({S.substr(0, 2), Word1, "May"}, S, Index, Pos)) Check(Index >= 0 && Index < 3);
  CheckPos(Start, Pos);

  std::string Rest = S;
  ExtractToken(Rest, std::string(1, D) + T, MinLen > 0);
  Check(Rest.size() <= S.size());
  Rest = S;
  ExtractQuoted(Rest, MaxLen > 0);
  Check(Rest.size() <= S.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TInput In(Data, Size);
  TFormatSettingsGuard Guard;
  ProcessFormatSettings().DecimalSeparator = In.Byte() & 1 ? ',' : In.Char();
  const char D = In.Char(), T = In.Char();
  const bool Flag = In.Byte() & 1;
  TInput Params = In;  // the same bytes double as parameters and text
  const std::string S = In.Rest();
  FuzzTests(S, D, T, Flag);
  FuzzFormatting(Params, S);
  FuzzScanning(Params, S, D, T);
  return 0;
}
