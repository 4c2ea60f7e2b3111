// The bad-input corpus: a few small valid EDF files written by our own writer,
// and from each of them every single-field fault the header rules know, one
// fault per file, made by patching the bytes of a copy. Each case carries what
// the rules let us predict: the verdict, the marks of all fields, the reason of
// the patched field and the layout remarks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "check/HeaderJudgement.h"

namespace corpus {

// A valid file as our writer wrote it.
struct TBaseFile {
  std::string Name;
  std::string Bytes;
  std::vector<int> Samples;  // NrSamples per signal
  int Records = 0;

  int NrSignals() const { return static_cast<int>(Samples.size()); }
  int64_t RecordBytes() const;
};

enum class TExpect { Unpredicted, Valid, Invalid };

struct TCorpusCase {
  std::string Name;   // unique; also the file name
  std::string Bytes;  // the whole file
  TExpect Verdict = TExpect::Unpredicted;

  // When PredictMarks: every general field has GeneralMarks, signal
  // MarkedSignal has SignalMarks (and the calibration remark when
  // Uncalibrated), every other signal is unmarked and calibrated, and the two
  // layout remarks and the size of a data record are as given.
  bool PredictMarks = false;
  std::array<TFieldMark, 10> GeneralMarks{};
  int MarkedSignal = -1;
  std::array<TFieldMark, 10> SignalMarks{};
  bool Uncalibrated = false;
  int SignalCount = -1;  // -1: not predicted
  std::string SizeRemark;
  std::string DurationRemark;
  bool DataBlockTooLarge = false;

  // The tool tip of the patched field, when ReasonField >= 0: a general field
  // when ReasonSignal is -1, else that field of signal ReasonSignal (strict).
  int ReasonField = -1;
  int ReasonSignal = -1;
  std::string Reason;

  // Bytes of one data record, for the data block line of a valid verdict.
  int64_t DataBlockBytes = 0;
};

// Writes the valid files with TEDFFile into Folder (which must exist) and
// gives their bytes.
std::vector<TBaseFile> WriteBaseFiles(const std::string& Folder);

// The bases themselves (expected valid), then every fault of each.
std::vector<TCorpusCase> BuildCases(const std::vector<TBaseFile>& Bases);

// Bytes with one field replaced by Text, padded with blanks or cut to the width.
std::string PatchGeneralField(std::string Bytes, int Field, const std::string& Text);
std::string PatchSignalField(std::string Bytes, int NrSignals, int Signal, int Field,
                             const std::string& Text);

}  // namespace corpus
