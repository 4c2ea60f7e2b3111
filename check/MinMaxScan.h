// The digital min/max check without its windows: reads every data record of
// an open EDF or BDF file, finds the smallest and largest stored sample of
// each signal, and reports the values outside the range the signal header
// declares.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "check/Finding.h"
#include "check/RecordScan.h"

class TCustomEDFFile;

struct TMinMaxResult {
  // Per signal (0-based); they start beyond every 16-bit and 24-bit sample so
  // that a signal without samples never reports.
  std::vector<int32_t> FoundMin;
  std::vector<int32_t> FoundMax;
  // The data record where each extreme was first met, -1 while none.
  std::vector<int32_t> MinRecord;
  std::vector<int32_t> MaxRecord;
  int32_t RecordsScanned = 0;
  bool Cancelled = false;
};

inline constexpr int32_t FoundMinStart = 2147483647;
inline constexpr int32_t FoundMaxStart = -2147483647 - 1;

// Called after record Record (0-based) of NrRecords is loaded and before it is
// scanned, with the progress Percent; returns false to cancel the scan.
using TMinMaxProgress = std::function<bool(int Record, int NrRecords, int Percent)>;

// Scans every data record of F (open, headers valid, every signal selected).
// Only F's own record buffer is used. Errors of loading a record propagate.
TMinMaxResult ScanDigitalMinMax(TCustomEDFFile& F, const TMinMaxProgress& AfterLoad = {});

// The same fold over raw records, as a visitor of the block scan
// (ScanRecords): gives the same extremes as ScanDigitalMinMax.
class TMinMaxFold : public TRecordVisitor {
public:
  explicit TMinMaxFold(const TRecordLayout& Layout);
  void OnRecord(int64_t Index, int64_t Position, const uint8_t* Bytes) override;
  // A whole block: each signal folded across its records in one call.
  void OnRecords(int64_t First, int64_t Count, int64_t RecordBytes, int64_t Position,
                 const uint8_t* Bytes) override;
  const TMinMaxResult& Result() const { return FResult; }

private:
  void Fold(int64_t First, int64_t Count, const uint8_t* Bytes);

  const TRecordLayout& FLayout;
  TMinMaxResult FResult;
};

// The report lines: "Found %d errors:\r\n" then one line per value outside the
// declared range, or the single line "No errors found".
std::vector<std::string> BuildMinMaxReport(const TCustomEDFFile& F, const TMinMaxResult& R);

// One finding per value outside the declared range (rules samples.digimin
// and samples.digimax), at the byte of the first sample that holds the
// extreme: its record is read again to find it.
TFindings MinMaxFindings(TCustomEDFFile& F, const TMinMaxResult& R);

// r / N * 100 rounded to the nearest integer, a half to the even neighbour;
// 0 when N is not positive.
int ProgressPercent(int64_t r, int64_t N);

// The per-signal work of one record: folds the samples into the running
// extremes (unchanged when Count is 0 or less). EDF samples from the file
// object's buffer; FoldMinMax32 for BDF samples from its 32-bit buffer.
void FoldMinMax(const int16_t* Samples, int32_t Count, int32_t& Min, int32_t& Max);
void FoldMinMax32(const int32_t* Samples, int32_t Count, int32_t& Min, int32_t& Max);
