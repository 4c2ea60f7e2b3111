// The header judgement as findings: every fault of the general header, of
// each signal header and of the data record layout, with its rule, place,
// bytes and sentence. The window's colours, tool tips and remarks are drawn
// from these findings (HeaderJudgement), and the command line prints them.
#pragma once

#include <cstdint>
#include <string>

#include "check/Finding.h"

class TCustomEDFFileInfo;
class TCustomEDFSignalInfo;
class TEDFFile;

// The window's tool-tip reasons of one raw field: a leading blank, bytes
// outside printable ASCII, and with the tests switched on, separators
// other than "." in places 3 and 6 and a text that is no number with
// Decimal as its separator (IsNumberSep).
TTipReasons FieldTips(const std::string& Raw, bool SeparatorTest, bool NumberTest, char Decimal);
// The tool tip text of these reasons: "Not left justified, not a number".
std::string TipText(TTipReasons Tips);

// The findings of the general header record under its current strictness:
// one per fault of each field, notes for the text shapes its rules accept,
// and a header that announces no signal.
TFindings GeneralHeaderFindings(const TCustomEDFFileInfo& Info);
// The findings of signal Index (0-based) of a file with Ns signals, under the
// record's current strictness, including its calibration.
TFindings SignalHeaderFindings(const TCustomEDFSignalInfo& Signal, int Index, int Ns);
// The data record layout faults that F's header errors hold, F's header
// being valid; DataBlockBytes is the size of one data record.
TFindings LayoutFindings(TEDFFile& F, int64_t DataBlockBytes);
// A read that failed while the file was judged.
TFinding ReadFailedFinding(const std::string& Message);
