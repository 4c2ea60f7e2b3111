// The judgement of an opened EDF file's headers as plain data: per field the
// text to show, the reasons of its faults and its mark, the data record
// layout remarks and the verdict. The window and the command-line checker
// only render this description, so they never compute a rule of their own
// and cannot disagree.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TCustomEDFFile;
class TEDFFile;

// Label captions of the two panes, in header order.
inline constexpr std::array<const char*, 10> GeneralFieldCaptions = {
    "Version",   "Patient",  "Recording",     "StartDate",         "StartTime",
    "HeaderBytes", "Reserved", "NrDataRecords", "SampleRecDuration", "NrSignals"};
inline constexpr std::array<const char*, 10> SignalFieldCaptions = {
    "SignalLabel", "TransducerType", "PhysiDim",  "PhysiMin",  "PhysiMax",
    "DigiMin",     "DigiMax",        "PreFilter", "NrSamples", "Reserved"};

// Which general fields get the extra reason tests: the date and time fields
// the separators, the numeric fields the number test.
inline constexpr std::array<bool, 10> GeneralSeparatorTest = {false, false, false, true,  true,
                                                              false, false, false, false, false};
inline constexpr std::array<bool, 10> GeneralNumberTest = {false, false, false, false, false,
                                                           true,  false, true,  true,  true};

// The system's texts.
inline constexpr const char* VerdictValidText =
    "File has a valid EDF fileheader.\nUse Tools menu for further checking.";
inline constexpr const char* VerdictInvalidText = "File is not a valid EDF file";
inline constexpr const char* DurationRemarkText = "should be > 1s";
inline constexpr const char* SizeRemarkText = "does not fit filesize";
inline constexpr const char* CalibrationRemarkText = "Signal is not calibrated";
inline constexpr int64_t MaxDataBlockBytes = 61440;

// The reasons why a raw header field breaks the text rules, "" when none:
// "Not left justified", "Not ASCII printable", "Separators should be '.'",
// "Not a number", each later one in its ", n..." / ", s..." form.
std::string DescribeFieldFaults(const std::string& Raw, bool SeparatorTest, bool NumberTest);

// Error: the field breaks the record's rules. Warning: a physical range field
// that is unusable together with its partner (a missing calibration, not a fault).
enum class TFieldMark { None, Error, Warning };

struct TFieldView {
  std::string Caption;  // the label beside the box, e.g. "NrDataRecords"
  std::string Raw;      // as read, blanks included
  std::string Shown;    // right-trimmed; leading blanks stay visible
  std::string Reason;   // the tool tip; "" for none
  TFieldMark Mark = TFieldMark::None;
};

// One signal pane. Out of range (InRange false): the boxes are empty, both
// buttons disabled, and PaneCaption is "" because the pane keeps its caption.
struct TSignalView {
  int Index = -1;
  std::string PaneCaption;  // "Signal Header for signal %d" with Index + 1
  std::array<TFieldView, 10> Fields;
  std::string CalibrationRemark;  // CalibrationRemarkText or ""
  bool PreviousEnabled = false;
  bool NextEnabled = false;
  bool InRange = false;
};

struct THeaderJudgement {
  std::array<TFieldView, 10> General;
  std::string DataBlockLine;  // "Datablock size = %d bytes"[", exceeds 61440"], or ""
  bool DataBlockTooLarge = false;
  std::string DurationRemark;  // beside SampleRecDuration: DurationRemarkText or ""
  std::string SizeRemark;      // beside NrDataRecords: SizeRemarkText or ""
  bool Verdict = false;
  std::string VerdictText;  // "" until the judgement completed
  int ShownSignal = -1;     // the signal shown after the open; -1 when none was chosen
  TSignalView Signal;       // the signal pane after the open
};

// Opens F and judges it as the window does on File / Open. F is freshly
// created and the caller has set its file name; this sets read-only and
// strict mode and opens it. Out is filled as the steps go, so after an
// error (which propagates) the caller can still show what was filled.
// Strict checking is on again on every way out once the file was opened.
void JudgeOpenFile(TEDFFile& F, THeaderJudgement& Out);

// The signal pane for signal Index (0-based) under F's current strictness.
TSignalView DescribeSignal(TCustomEDFFile& F, int Index);
// Every signal, in order, under F's current strictness.
std::vector<TSignalView> DescribeAllSignals(TCustomEDFFile& F);
