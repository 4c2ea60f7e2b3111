// The words of the quality pass: durations ("2 h 13 min"), clock times
// ("02:11:30"), seconds ("7,890 s"), a sample's value ("0 (0.0 uV)"), each
// finding's sentence and the summary line of a signal. The pass writes its
// sentences with these; the faces print them and the summary line as they
// are.
#pragma once

#include <cstdint>
#include <string>

#include "check/QualityCheck.h"

// 9874432 -> "9,874,432".
std::string QualityCount(int64_t N);
// Seconds with at most three decimals and thousands separators: "7,890 s",
// "3,599.5 s", "0.012 s".
std::string QualitySeconds(double Seconds);
// A span of time as a reader says it: "0.5 s", "10 s", "4 min 10 s",
// "2 h 13 min" (rounded down: never more than was found).
std::string QualityDuration(double Seconds);
// Seconds since midnight as a clock time, "02:11:30" (past midnight it
// starts again at 00:00:00).
std::string QualityClock(double SecondsOfDay);
// "from 02:11:30 (7,890 s)": a time from the recording start, with the clock
// time when the start is known (ClockStart >= 0).
std::string QualityFrom(double Offset, double ClockStart);

// A digital value and what it means: "0 (0.0 uV)" for a calibrated signal,
// the digits alone otherwise.
struct TQualityValue {
  int32_t Digital = 0;
  bool Calibrated = false;
  double Physical = 0;
  int Decimals = 1;  // enough to tell two neighbouring values apart
  std::string Unit;
};
std::string QualityValueText(const TQualityValue& V);

// The sentences of the findings, after "data record R, signal S (label),
// byte B: ".
std::string FlatSentence(const TQualityValue& V, double Duration, double Start, double ClockStart);
std::string ClippedSentence(bool AtMax, const TQualityValue& V, int64_t Samples, double Duration, double Start,
                            double ClockStart);
std::string ConstantSentence(const TQualityValue& V, int64_t Samples, double Duration);
std::string TailSentence(const TQualityValue& V, double Duration, double Start, double ClockStart);
std::string DeadSentence(const TQualityValue& V, double Duration, double Start, double ClockStart);

// Whether a signal gets a summary line: an ordinary signal with a finding or
// an epoch that is not usable.
bool QualitySummaryWanted(const TQualitySignal& S);
// "signal 3 (EEG C3-M2): usable 71 % of 960 epochs; flat 2 h 13 min;
// clipped 0" (a signal that is not judged says so instead of its clipping).
std::string QualitySummaryLine(const TQualitySignal& S);
// The name of a state for a legend or a tool tip: "good", "flat", "clipped",
// "out of range", "tail or dead", "gap", "not judged".
const char* EpochStateName(TEpochState State);
