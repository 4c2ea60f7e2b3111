// Test helper: composes EDF and BDF files byte by byte from raw field texts,
// without going through the library, so reader tests do not trust the writer
// they test.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testkit {

// The raw texts of one header; each is padded with blanks (or cut) to its width.
using RawFields = std::array<std::string, 10>;

struct EdfBytes {
  RawFields General;
  std::vector<RawFields> Signals;
  // BDF: samples of 3 bytes (little-endian two's complement) instead of 2.
  bool Bdf = false;
  // Data records appended after the header, and the sample of (record, signal, i);
  // an EDF sample keeps the low 16 bits of the value, a BDF sample the low 24.
  int Records = 0;
  std::function<int32_t(int record, int signal, int index)> Sample;
  // When set and not empty for (record, signal): that signal's bytes in that
  // record instead of samples (an annotation list), padded with 0x00.
  std::function<std::string(int record, int signal)> Text;
  // Extra raw bytes after the records (for example half a record).
  std::string Tail;

  // A valid plain EDF header: ns signals of `samples` samples per 1 s record,
  // digital -2048..2047, physical -500..500; `records` records of zeros.
  static EdfBytes Valid(int ns = 2, int samples = 200, int records = 3);
  // The same as a plain BDF file: version byte 0xFF and "BIOSEMI", Reserved
  // "24BIT", digital -8388608..8388607 (the whole 24-bit range).
  static EdfBytes ValidBdf(int ns = 2, int samples = 200, int records = 3);

  int SampleBytes() const { return Bdf ? 3 : 2; }
  // Samples per record of signal s as the header text says (0 when not a number).
  int SamplesOf(int s) const;

  std::string HeaderBytes() const;
  std::string Bytes() const;
};

// A copy of Edf changed by Change: one table row per variant of a valid file.
inline EdfBytes With(EdfBytes Edf, const std::function<void(EdfBytes&)>& Change) {
  Change(Edf);
  return Edf;
}

// A fresh folder under the system temporary folder, removed with its content.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return FPath; }
  std::string File(const std::string& name) const { return FPath + "/" + name; }

private:
  std::string FPath;
};

void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
// Modification time in nanoseconds since the epoch.
int64_t FileMTimeNs(const std::string& path);

// The folder of real EDF files from other projects, or "" when absent.
std::string RealTestDataDir();

}  // namespace testkit
