// Time-stamped annotation lists (TALs), the text that EDF+ and BDF+ keep in
// their annotation signals: the exact decimal times they carry, and a scanner
// that walks one annotation signal's bytes of one data record, hands on each
// TAL and reports every fault at its byte without stopping at the first.
//
//   TAL := onset [0x15 duration] 0x14 { text 0x14 } 0x00
//
// The scanner allocates nothing: it reports positions inside the bytes.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

// A time in seconds, kept exactly as the decimal text said it: onsets are
// compared for equality ("+12.000000000" is 12, "+12.000000001" is not), so
// binary floating point is out. Value = Seconds + Atto / 10^18, Atto in
// [0, 10^18); fraction digits beyond the 18th are dropped, far below any
// sample period. Times of 10^18 s or more are not held: they are Beyond,
// kept as +-10^18 exactly, and sums and differences that reach them stay
// there, so a time beyond is never printed as a false number.
struct TExactTime {
  static constexpr int64_t AttoPerSecond = 1000000000000000000;
  static constexpr int64_t MaxSeconds = AttoPerSecond - 1;
  int64_t Seconds = 0;
  int64_t Atto = 0;

  auto operator<=>(const TExactTime&) const = default;
  // Saturate at Beyond; a Beyond operand makes the result Beyond. The
  // difference of two times Beyond is not known: callers look first.
  TExactTime operator+(const TExactTime& Other) const;
  TExactTime operator-(const TExactTime& Other) const;
  TExactTime Abs() const;
  bool IsZero() const { return Seconds == 0 && Atto == 0; }
  // 10^18 s or more either way: too large to hold.
  bool Beyond() const { return Seconds > MaxSeconds || Seconds < -MaxSeconds; }
  long double Approx() const;
  // Shortest exact decimal: "12", "-0.5", "0.000000001"; a time Beyond reads
  // "10^18 or more" ("-10^18 or less").
  std::string Text() const;
};

// Why an onset or duration text breaks its syntax.
enum class TNumberFault : uint8_t {
  None,
  Empty,            // no text at all
  NoSign,           // an onset without + or -
  Sign,             // a duration with a sign
  NoDigits,         // a sign and nothing more
  NoIntegerDigits,  // "+.5"
  Blank,
  Comma,
  TrailingPoint,    // "+1."
  SecondPoint,      // "+1.2.3"
  NotDigit          // any other byte
};

struct TNumberCheck {
  TNumberFault Fault = TNumberFault::None;
  uint32_t At = 0;  // index of the offending byte in the text (its length for Empty)
};

// Reads an onset (Signed: + or - first) or a duration (unsigned: digits
// first) from Size bytes. Value is set when the text is well formed; integer
// parts beyond 18 digits are Beyond.
TNumberCheck ParseTalNumber(const uint8_t* Text, uint32_t Size, bool Signed, TExactTime& Value);

// What a fault of that kind breaks, for a finding's sentence: "holds a
// comma", "has no sign", ...
const char* NumberFaultText(TNumberFault Fault);

// A run of bytes inside the scanned bytes: [Begin, End).
struct TTalSpan {
  uint32_t Begin = 0;
  uint32_t End = 0;
  uint32_t Size() const { return End - Begin; }
};

struct TTal {
  uint32_t Index = 0;   // 0-based within the bytes scanned
  uint32_t Begin = 0;   // its first byte
  TTalSpan Onset;
  bool HasDuration = false;
  uint32_t DurationMark = 0;  // the 0x15 byte, when HasDuration
  TTalSpan Duration;
  bool OnsetValid = false;    // the onset is well formed; then OnsetValue holds it
  TExactTime OnsetValue;
  uint32_t Texts = 0;         // texts closed by 0x14
  TTalSpan FirstText;         // the first text (empty in a time-keeping TAL)
  uint32_t AfterOnset = 0;    // the byte after the 0x14 that closes onset and duration
  bool Complete = false;      // ended by 0x14 0x00
};

enum class TTalFault : uint8_t {
  Onset,         // Detail says what
  Duration,      // Detail says what
  Separator,     // 0x15 anywhere but once between onset and duration
  Utf8,          // a text that is not UTF-8, from this byte on
  Control,       // a control byte other than TAB, LF, CR in a text
  Unclosed,      // 0x00 where a 0x14 must come first: the TAL ends short
  Unterminated,  // the bytes end inside a TAL (At is the last byte)
  Padding        // a byte other than 0x00 after the last TAL
};

class TTalHandler {
public:
  virtual ~TTalHandler() = default;
  // Each TAL once it ended, well framed or not.
  virtual void OnTal(const TTal& Tal) = 0;
  // A fault at byte At; Token is the onset, duration or text that holds it
  // (the bytes a finding quotes). Faults arrive in byte order.
  virtual void OnFault(TTalFault Fault, TNumberFault Detail, uint32_t At, TTalSpan Token) = 0;
};

// Scans Size bytes (one annotation signal of one record); returns the number
// of TALs found.
uint32_t ScanTals(const uint8_t* Bytes, uint32_t Size, TTalHandler& Handler);
