// The plain-text report of one file, and the small pieces of presentation the
// JSON form shares with it, so the two forms say the same thing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "check/HeaderJudgement.h"
#include "cli/CheckCommand.h"

// The window's verdict on one line: its first line ("File has a valid EDF
// fileheader."), the invalid text after a failed open.
std::string VerdictLine(const TFileReport& R);

// The window's own message of a failed open followed by the error's message.
std::string OpenErrorLine(const TFileReport& R);
// The failure of the min/max scan, likewise.
std::string MinMaxErrorLine(const TFileReport& R);

// What a mark means for the file. The window shows one unusable physical
// limit red, but the physical range never takes part in the verdict, so for
// a batch check every physical range fault is a warning.
TFieldMark FaultSeverity(bool SignalField, int Field, TFieldMark Mark);
const char* MarkName(TFieldMark Mark);  // "none", "error", "warning"

// The field's layout remark ("should be > 1s", "does not fit filesize"), or "".
std::string GeneralFieldRemark(const THeaderJudgement& J, int Field);

// Bytes of one data record as the "Datablock size" line states it; none while
// the headers were not valid enough to compute it.
std::optional<int64_t> DataBlockBytes(const THeaderJudgement& J);

// Text between double quotes: bytes outside printable ASCII as \xNN,
// backslash and quote escaped.
std::string QuoteRaw(const std::string& Raw);
// The same escaping without the quotes, for labels inside a line.
std::string EscapeRaw(const std::string& Raw);

// The report: "PATH: verdict" and, indented, one line per faulty field, the
// calibration remarks, the data block line, a failed open and the min/max
// report lines. Ends with a line feed.
std::string FormatReportText(const TFileReport& R);
