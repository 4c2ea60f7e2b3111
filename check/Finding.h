// One finding of a check: which rule, how bad, where in the file, the bytes
// found there, and one sentence that says what was expected. Every check
// (header, data records, conformance) speaks in findings; the window, the
// command line and the repair planner only format or act on them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Error: the file breaks a rule and readers may misread it. Warning: legal or
// harmless for readers but likely a mistake. Note: a remark on a text's shape
// that the field's own rule accepts.
enum class TSeverity : uint8_t { Error, Warning, Note };

enum class TWhereKind : uint8_t {
  File,           // the file as a whole (size, reading)
  GeneralHeader,  // the 256-byte general header
  SignalHeader,   // one signal's header
  DataRecord,     // one signal's samples in one data record
  Annotation      // one annotation list inside a data record
};

struct TWhere {
  TWhereKind Kind = TWhereKind::File;
  int Signal = -1;      // 0-based
  int64_t Record = -1;  // 0-based data record
  int Field = -1;       // header field index when the finding is about one field

  bool operator==(const TWhere&) const = default;
};

// Tool-tip reasons of the window: the shape of a header field's raw text.
enum TTipReason : uint8_t {
  trNone = 0,
  trNotLeftJustified = 1u << 0,
  trNotPrintable = 1u << 1,
  trSeparators = 1u << 2,
  trNotANumber = 1u << 3
};
using TTipReasons = uint8_t;

struct TFinding {
  std::string Rule;  // a rule id of the registry, e.g. "header.startdate.calendar"
  TSeverity Severity = TSeverity::Error;
  TWhere Where;
  int64_t Offset = -1;  // absolute byte offset in the file; -1 when it has no place
  int64_t Length = 0;   // bytes from Offset
  std::string Raw;      // the bytes found there (a field's raw text), unescaped
  std::string Message;  // one sentence, e.g. "StartDate 31.02.03 is not a calendar date"
  // The window's tool-tip reasons this finding stands for.
  TTipReasons Tips = trNone;

  bool operator==(const TFinding&) const = default;
};

using TFindings = std::vector<TFinding>;

const char* SeverityName(TSeverity Severity);  // "error", "warning", "note"
const char* WhereKindName(TWhereKind Kind);    // "file", "general header", ...

// Bytes outside printable ASCII as \xNN, backslash and double quote escaped:
// every finding and file name prints as one line that maps back to its bytes.
std::string EscapeBytes(const std::string& Bytes);
// A text inside a sentence: bare when it is one plain word, else quoted and
// escaped ("" for an empty text, " 0" for a leading blank).
std::string QuoteIfNeeded(const std::string& Text);

// A file name as one line of text: control bytes (C1 controls and the
// Unicode line and paragraph separators among them), and bytes that are not
// UTF-8, as \xNN, a backslash as \\, so a name can never forge a line nor
// drive a terminal, and always maps back to its bytes.
std::string DisplayName(const std::string& Path);

// True when some finding has severity Error.
bool HasErrors(const TFindings& Findings);
