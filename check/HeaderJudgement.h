// Opening a file as the window does, and what the window shows of it: per
// field the text, the tool tip and the mark, the data record layout remarks
// and the verdict. All of it is drawn from the header findings
// (HeaderFindings), so the window and the command line cannot disagree.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "check/Finding.h"
#include "edf/uEDFLayout.h"

class TCustomEDFFile;
class TEDFFile;

// The system's texts.
inline constexpr const char* VerdictValidText =
    "File has a valid EDF fileheader.\nUse Tools menu for further checking.";
inline constexpr const char* VerdictInvalidText = "File is not a valid EDF file";
inline constexpr const char* BdfVerdictValidText =
    "File has a valid BDF fileheader.\nUse Tools menu for further checking.";
inline constexpr const char* BdfVerdictInvalidText = "File is not a valid BDF file";
inline constexpr const char* DurationRemarkText = "should be > 1s";
inline constexpr const char* SizeRemarkText = "does not fit filesize";
inline constexpr const char* CalibrationRemarkText = "Signal is not calibrated";
inline constexpr const char* ReadErrorText = "Error while reading file data";
inline constexpr const char* MinMaxErrorText =
    "There was an error during the digital min/max+ values check.\r\n\r\n"
    "Possible cause is a file read error. Please check for file-locking.";
// The largest BDF data record the checker reads into memory (the file
// object's buffer cap at 3 bytes a sample); BDF itself has no limit.
inline constexpr int64_t MaxBdfDataBlockBytes = int64_t{64} * 1024 * 1024 * 3;

// The verdict label's text for a file of this format.
const char* VerdictText(TEDFFormat Format, bool Valid);

// "EDF", "EDF+", "BDF" or "BDF+": the format of F's first byte, with "+"
// when its Reserved field starts with "EDF+" (EDF) or "BDF+" (BDF). F's
// general header has been read.
std::string FormatName(const TCustomEDFFile& F);

// The reasons why a raw header field breaks the text rules, "" when none:
// "Not left justified", "Not ASCII printable", "Separators should be '.'",
// "Not a number" (IsNumber, under the process's decimal separator), each
// later one in its ", n..." / ", s..." form.
std::string DescribeFieldFaults(const std::string& Raw, bool SeparatorTest, bool NumberTest);

// Error: the field breaks its rules (red). Warning: a physical range field
// that is unusable together with its partner (orange).
enum class TFieldMark { None, Error, Warning };

struct TFieldView {
  std::string Caption;  // the label beside the box, e.g. "NrDataRecords"
  std::string Raw;      // as read, blanks included
  std::string Shown;    // right-trimmed; leading blanks stay visible
  std::string Reason;   // the tool tip; "" for none
  TFieldMark Mark = TFieldMark::None;
  // The worst finding about the field (of the judgement, or of the whole
  // report in a TFileReport); none without one.
  std::optional<TSeverity> Severity;

  bool operator==(const TFieldView&) const = default;
};

// One signal pane. Out of range (InRange false): the boxes are empty, both
// buttons disabled, and PaneCaption is "" because the pane keeps its caption.
struct TSignalView {
  int Index = -1;
  std::string PaneCaption;  // "Signal Header for signal %d" with Index + 1
  std::array<TFieldView, EDFFieldCount> Fields;
  std::string CalibrationRemark;  // CalibrationRemarkText or ""
  bool PreviousEnabled = false;
  bool NextEnabled = false;
  bool InRange = false;

  bool operator==(const TSignalView&) const = default;
};

struct THeaderJudgement {
  // The general header and every signal header under strict rules, then the
  // data record layout; the verdict is valid when none is an error.
  TFindings Findings;
  std::array<TFieldView, EDFFieldCount> General;
  std::optional<int64_t> DataBlockBytes;  // bytes of one data record, once the headers tell
  // "Datablock size = %d bytes"[", exceeds 61440"] (EDF), with BDF's cap remark
  // instead when a BDF record is beyond it, or ""
  std::string DataBlockLine;
  bool DataBlockTooLarge = false;
  std::string DurationRemark;  // beside SampleRecDuration: DurationRemarkText or ""
  std::string SizeRemark;      // beside NrDataRecords: SizeRemarkText or ""
  bool Verdict = false;
  std::string VerdictText;  // "" until the judgement completed
  // The file's format, once its general header was read (FormatName() "" before).
  TEDFFormat Format = TEDFFormat::EDF;
  std::string FormatName;
  int ShownSignal = -1;     // the signal shown after the open; -1 when none was chosen
  TSignalView Signal;       // the signal pane after the open

  bool operator==(const THeaderJudgement&) const = default;
};

// Opens F and judges it as the window does on File / Open. F is freshly
// created and the caller has set its file name; this sets read-only and
// strict mode and opens it. Out is filled as the steps go, so after an
// error (which propagates) the caller can still show what was filled.
// Strict checking is on again on every way out once the file was opened.
// Without PaneViews the signal pane (Signal, ShownSignal) is left empty: a
// batch that only reads the findings need not draw it.
// Reread takes the long way also for headers valid under strict rules
// (read again leniently, then re-parsed strictly): the reference the
// shortcut is held to.
enum class TJudgeRoute { Shortest, Reread };
void JudgeOpenFile(TEDFFile& F, THeaderJudgement& Out, bool PaneViews = true,
                   TJudgeRoute Route = TJudgeRoute::Shortest);

// The signal pane for signal Index (0-based) under F's current strictness.
TSignalView DescribeSignal(TCustomEDFFile& F, int Index);
// Every signal, in order, under F's current strictness.
std::vector<TSignalView> DescribeAllSignals(TCustomEDFFile& F);
// The pane of signal Index drawn from findings already made (those of that
// signal, or more), and every signal's pane from the judgement's findings:
// what DescribeSignal gives under strict rules, without judging again.
TSignalView SignalViewOf(const TCustomEDFFile& F, int Index, const TFindings& Findings);
std::vector<TSignalView> SignalViewsOf(const TCustomEDFFile& F, const TFindings& Findings);
