// Test helper: composes EDF+ and BDF+ files byte by byte: the header from raw
// texts (EdfBytes), ordinary signals of zeros, and annotation signals whose
// bytes per record the test gives, padded with 0x00. Samples are 2 bytes
// (EDF+) or 3 (BDF+), so the annotation bytes of a record are samples x
// sample bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "testkit/EdfBytes.h"

namespace testkit {

// One TAL: Onset, then each text closed by 0x14, then 0x00. A duration goes
// into Onset as "+1\x15" "2".
std::string Tal(const std::string& Onset, const std::vector<std::string>& Texts);
// The time-keeping TAL of a record that starts at Onset: Onset 0x14 0x14 0x00.
std::string TimeKeeping(const std::string& Onset);

struct PlusBytes {
  EdfBytes Header;  // the raw header texts; its Records and Sample are not used
  int SampleBytes = 2;
  int Records = 3;
  std::vector<int> AnnotationSignals;  // 0-based; their bytes come from Annotations
  // The bytes of annotation signal s in record r before the 0x00 padding
  // (cut to the signal's size).
  std::function<std::string(int r, int s)> Annotations;
  std::string Tail;  // raw bytes after the records

  // EDF+C (BDF+C when Bdf): signals 1 and 2 ordinary with 10 samples, signal 3
  // the annotation signal with 30 samples; records of 1 s, each holding only
  // its time-keeping TAL "+r".
  static PlusBytes Valid(int Records = 3, bool Bdf = false);

  int64_t HeaderSize() const;
  int64_t RecordBytes() const;
  // Bytes of signal s in one record.
  int64_t SignalBytes(int s) const;
  // Absolute offset of byte i of signal s in record r.
  int64_t At(int r, int s, int64_t i = 0) const;
  std::string Bytes() const;
  // Writes the file record by record, never holding it whole.
  void Write(const std::string& Path) const;
};

}  // namespace testkit
