#include "check/Tal.h"

#include <algorithm>
#include <array>

#include "util/uUtf8.h"

namespace {

constexpr uint8_t Nul = 0x00;
constexpr uint8_t EndMark = 0x14;       // ends onset/duration and each text
constexpr uint8_t DurationMark = 0x15;  // between onset and duration
constexpr int MaxIntegerDigits = 18;    // keeps sums of times inside 64 bits

bool IsDigitByte(uint8_t C) { return C >= '0' && C <= '9'; }

TNumberFault Classify(uint8_t C) {
  if (C == ' ') return TNumberFault::Blank;
  if (C == ',') return TNumberFault::Comma;
  if (C == '.') return TNumberFault::SecondPoint;
  return TNumberFault::NotDigit;
}

constexpr TExactTime BeyondAbove{TExactTime::MaxSeconds + 1, 0};
constexpr TExactTime BeyondBelow{-TExactTime::MaxSeconds - 1, 0};

// Seconds and Atto as summed or subtracted (|Seconds| below 3 x 10^18, so
// no overflow), carried into range and saturated at Beyond.
TExactTime Normal(int64_t Seconds, int64_t Atto) {
  if (Atto >= TExactTime::AttoPerSecond) {
    Atto -= TExactTime::AttoPerSecond;
    ++Seconds;
  } else if (Atto < 0) {
    Atto += TExactTime::AttoPerSecond;
    --Seconds;
  }
  const TExactTime R{Seconds, Atto};
  if (R.Seconds > TExactTime::MaxSeconds) return BeyondAbove;
  if (R.Seconds < -TExactTime::MaxSeconds) return BeyondBelow;
  return R;
}

}  // namespace

TExactTime TExactTime::operator+(const TExactTime& Other) const {
  if (Beyond() || Other.Beyond()) {
    const bool Up = Beyond() ? Seconds > 0 : Other.Seconds > 0;
    return Up ? BeyondAbove : BeyondBelow;
  }
  return Normal(Seconds + Other.Seconds, Atto + Other.Atto);
}

TExactTime TExactTime::operator-(const TExactTime& Other) const {
  if (Other.Beyond()) return Other.Seconds > 0 ? BeyondBelow : BeyondAbove;
  return *this + Normal(-Other.Seconds - (Other.Atto != 0 ? 1 : 0), Other.Atto != 0 ? AttoPerSecond - Other.Atto : 0);
}

TExactTime TExactTime::Abs() const {
  if (Beyond()) return BeyondAbove;
  return Seconds < 0 ? TExactTime{} - *this : *this;
}

long double TExactTime::Approx() const {
  return static_cast<long double>(Seconds) + static_cast<long double>(Atto) / 1e18L;
}

std::string TExactTime::Text() const {
  if (Beyond()) return Seconds > 0 ? "10^18 or more" : "-10^18 or less";
  if (Seconds < 0) return '-' + Abs().Text();
  std::string Out = std::to_string(Seconds);
  if (Atto != 0) {
    std::string Fraction = std::to_string(Atto);
    Fraction.insert(0, 18 - Fraction.size(), '0');
    Fraction.erase(Fraction.find_last_not_of('0') + 1);
    Out += "." + Fraction;
  }
  return Out;
}

TNumberCheck ParseTalNumber(const uint8_t* Text, uint32_t Size, bool Signed, TExactTime& Value) {
  if (Size == 0) return {TNumberFault::Empty, 0};
  uint32_t i = 0;
  bool Negative = false;
  const bool HasSign = Text[0] == '+' || Text[0] == '-';
  if (Signed) {
    if (!HasSign) return {Text[0] == ' ' ? TNumberFault::Blank : TNumberFault::NoSign, 0};
    Negative = Text[0] == '-';
    i = 1;
  } else if (HasSign) {
    return {TNumberFault::Sign, 0};
  }
  int64_t Whole = 0;
  int IntDigits = 0;
  for (; i < Size && IsDigitByte(Text[i]); ++i) {
    // Leading zeros do not count towards the saturation.
    if (IntDigits > 0 || Text[i] != '0') ++IntDigits;
    if (IntDigits <= MaxIntegerDigits) Whole = Whole * 10 + (Text[i] - '0');
  }
  const bool AnyIntDigit = i > (Signed ? 1u : 0u);
  const bool TooLarge = IntDigits > MaxIntegerDigits;
  int64_t Atto = 0;
  if (i < Size && Text[i] == '.') {
    if (!AnyIntDigit) return {TNumberFault::NoIntegerDigits, i};
    const uint32_t Point = i++;
    int64_t Scale = TExactTime::AttoPerSecond / 10;
    for (; i < Size && IsDigitByte(Text[i]); ++i) {
      Atto += (Text[i] - '0') * Scale;
      Scale /= 10;
    }
    if (i == Point + 1 && i == Size) return {TNumberFault::TrailingPoint, Point};
  }
  if (i < Size) return {Classify(Text[i]), i};
  if (!AnyIntDigit) return {TNumberFault::NoDigits, i};
  Value = TooLarge ? BeyondAbove : TExactTime{Whole, Atto};
  if (Negative) Value = TExactTime{} - Value;
  return {};
}

const char* NumberFaultText(TNumberFault Fault) {
  switch (Fault) {
    case TNumberFault::None: return "is well formed";
    case TNumberFault::Empty: return "is empty";
    case TNumberFault::NoSign: return "has no sign";
    case TNumberFault::Sign: return "has a sign";
    case TNumberFault::NoDigits: return "has no digits";
    case TNumberFault::NoIntegerDigits: return "has no digit before \".\"";
    case TNumberFault::Blank: return "holds a blank";
    case TNumberFault::Comma: return "holds a comma";
    case TNumberFault::TrailingPoint: return "ends in \".\" without digits";
    case TNumberFault::SecondPoint: return "holds a second \".\"";
    case TNumberFault::NotDigit: return "holds a byte that is no digit";
  }
  return "is malformed";
}

namespace {


bool IsBadControl(uint8_t C) { return (C < 0x20 && C != '\t' && C != '\n' && C != '\r') || C == 0x7F; }

class TScanner {
public:
  TScanner(const uint8_t* Bytes, uint32_t Size, TTalHandler& Handler) : B(Bytes), N(Size), H(Handler) {}

  uint32_t Run() {
    uint32_t Pos = 0;
    while (Pos < N) {
      if (B[Pos] == Nul) {
        Padding(Pos);
        break;
      }
      if (!Tal(Pos)) break;
    }
    return Count;
  }

private:
  // Only 0x00 may follow the first 0x00 that stands where a TAL would start.
  void Padding(uint32_t Pos) {
    const uint8_t* Stray = std::find_if(B + Pos, B + N, [](uint8_t C) { return C != Nul; });
    if (Stray == B + N) return;
    const auto At = static_cast<uint32_t>(Stray - B);
    const auto Stop = static_cast<uint32_t>(std::find(Stray, B + N, Nul) - B);
    H.OnFault(TTalFault::Padding, TNumberFault::None, At, {At, Stop});
  }

  // Up to the next byte of Stops (or the end).
  uint32_t Until(uint32_t Pos, std::initializer_list<uint8_t> Stops) const {
    while (Pos < N && std::find(Stops.begin(), Stops.end(), B[Pos]) == Stops.end()) ++Pos;
    return Pos;
  }

  void Finish(TTal& T) {
    ++Count;
    H.OnTal(T);
  }

  // One TAL from Pos; false when the bytes ended inside it. Pos moves past
  // the 0x00 that ended it.
  bool Tal(uint32_t& Pos) {
    TTal T;
    T.Index = Count;
    T.Begin = Pos;
    T.Onset = {Pos, Until(Pos, {EndMark, DurationMark, Nul})};
    const TNumberCheck OnsetCheck = ParseTalNumber(B + T.Onset.Begin, T.Onset.Size(), true, T.OnsetValue);
    T.OnsetValid = OnsetCheck.Fault == TNumberFault::None;
    if (!T.OnsetValid) H.OnFault(TTalFault::Onset, OnsetCheck.Fault, T.Onset.Begin + OnsetCheck.At, T.Onset);
    uint32_t P = T.Onset.End;
    if (P < N && B[P] == DurationMark) {
      T.HasDuration = true;
      T.DurationMark = P;
      T.Duration = {P + 1, Until(P + 1, {EndMark, DurationMark, Nul})};
      P = T.Duration.End;
      const bool SecondMark = P < N && B[P] == DurationMark;
      TExactTime Ignored;
      const TNumberCheck Check = ParseTalNumber(B + T.Duration.Begin, T.Duration.Size(), false, Ignored);
      // An empty duration before a second 0x15 is that 0x15's fault alone.
      if (Check.Fault != TNumberFault::None && !(SecondMark && Check.Fault == TNumberFault::Empty))
        H.OnFault(TTalFault::Duration, Check.Fault, T.Duration.Begin + Check.At, T.Duration);
      if (SecondMark) {
        H.OnFault(TTalFault::Separator, TNumberFault::None, P, {T.Begin, P + 1});
        P = Until(P, {EndMark, Nul});
      }
    }
    if (P == N) return Unterminated(T);
    if (B[P] == Nul) return Unclosed(T, P, Pos);
    T.AfterOnset = ++P;  // past the 0x14
    for (;;) {
      if (P == N) return Unterminated(T);
      if (B[P] == Nul) {
        T.Complete = true;
        Finish(T);
        Pos = P + 1;
        return true;
      }
      const uint32_t TextBegin = P;
      std::array<uint32_t, 3> First = {N, N, N};  // Utf8, Control, Separator
      while (P < N && B[P] != EndMark && B[P] != Nul) {
        const uint8_t C = B[P];
        if (C == DurationMark) {
          First[2] = std::min(First[2], P);
          ++P;
        } else if (C < 0x80) {
          if (IsBadControl(C)) First[1] = std::min(First[1], P);
          ++P;
        } else {
          const uint32_t L = static_cast<uint32_t>(Utf8SequenceLength(B + P, static_cast<std::size_t>(N - P)));
          if (L == 0) First[0] = std::min(First[0], P);
          P += L == 0 ? 1 : L;
        }
      }
      const TTalSpan Text{TextBegin, std::min(P, N)};
      if (T.Texts == 0) T.FirstText = Text;
      TextFaults(First, Text);
      if (P >= N) return Unterminated(T);
      if (B[P] == Nul) return Unclosed(T, P, Pos);
      ++T.Texts;
      ++P;  // past the 0x14
    }
  }

  // The first fault of each kind in one text, in byte order.
  void TextFaults(const std::array<uint32_t, 3>& First, TTalSpan Text) {
    constexpr std::array<TTalFault, 3> Kinds = {TTalFault::Utf8, TTalFault::Control, TTalFault::Separator};
    std::array<size_t, 3> Order = {0, 1, 2};
    std::sort(Order.begin(), Order.end(), [&](size_t a, size_t b) { return First[a] < First[b]; });
    for (const size_t k : Order)
      if (First[k] < N) H.OnFault(Kinds[k], TNumberFault::None, First[k], Text);
  }

  bool Unterminated(TTal& T) {
    H.OnFault(TTalFault::Unterminated, TNumberFault::None, N - 1, {T.Begin, N});
    Finish(T);
    return false;
  }

  bool Unclosed(TTal& T, uint32_t At, uint32_t& Pos) {
    H.OnFault(TTalFault::Unclosed, TNumberFault::None, At, {T.Begin, At});
    Finish(T);
    Pos = At + 1;
    return true;
  }

  const uint8_t* B;
  uint32_t N;
  TTalHandler& H;
  uint32_t Count = 0;
};

}  // namespace

uint32_t ScanTals(const uint8_t* Bytes, uint32_t Size, TTalHandler& Handler) {
  return TScanner(Bytes, Size, Handler).Run();
}
