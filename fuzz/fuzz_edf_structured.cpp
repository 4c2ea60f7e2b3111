// Fuzz bytes turned into an EDF file whose layout holds together: a signal
// count, samples per record, a record count that matches the data, mostly
// valid field texts with now and then a mutated field, and data records of
// fuzz bytes. Random bytes alone almost never get past the signal headers, so
// the record checks behind a valid verdict would never run.
//
// Each file is opened and judged as the window and the command line do, and
// when the verdict is valid every record-level check runs over it. Only the
// EDataFile family may come out. A file built without any fault must be
// judged valid, and its scan must find exactly the extremes that were written.
// The signal-quality pass runs on every file it can lay out: its extremes
// must be the fold's, and the vector and portable run detection must give the
// same masks on the records' bytes.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "check/FileCheck.h"
#include "check/HeaderJudgement.h"
#include "check/MinMaxScan.h"
#include "check/QualityCheck.h"
#include "check/QualityRuns.h"
#include "check/RecordScan.h"
#include "check/Rules.h"
#include "edf/uDataFileErrors.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFLayout.h"

namespace {

constexpr int MaxSignals = 24;
// Bounds the data written per input, so that a run stays fast.
constexpr int64_t MaxDataBytes = 256 * 1024;

struct TPlan {
  TEDFRawFileHeader General;
  std::vector<TEDFRawSignalHeader> Signals;
  std::vector<int> Samples;  // per signal, as the data is laid out
  std::vector<std::pair<int32_t, int32_t>> Limits;  // per signal, DigiMin and DigiMax as written
  int Records = 0;
  std::string Data;          // the records, then any tail
  // Nothing was bent: the file obeys every header rule.
  bool Clean = true;
};

// A choice that is usually the plain one: Odd in 16 gives the other. An
// input that has run out gives the plain one.
bool Rarely(FuzzedDataProvider& In, int Odd = 2) {
  return In.ConsumeIntegralInRange<int>(0, 15) >= 16 - Odd;
}

std::string Pick(FuzzedDataProvider& In, std::initializer_list<const char*> Texts) {
  const auto* Begin = Texts.begin();
  return Begin[In.ConsumeIntegralInRange<size_t>(0, Texts.size() - 1)];
}

std::string TwoDigits(int V) {
  char Text[3] = {static_cast<char>('0' + V / 10 % 10), static_cast<char>('0' + V % 10), 0};
  return Text;
}

void BuildHeader(FuzzedDataProvider& In, TPlan& P) {
  const int Ns = In.ConsumeIntegralInRange<int>(1, Rarely(In, 4) ? MaxSignals : 4);
  const bool Plus = Rarely(In, 4);
  const bool Annotations = Plus && Rarely(In, 6);
  P.Samples.resize(static_cast<size_t>(Ns));
  P.Limits.resize(static_cast<size_t>(Ns));
  P.Signals.resize(static_cast<size_t>(Ns));
  for (int s = 0; s < Ns; ++s) {
    const int n = Rarely(In) ? In.ConsumeIntegralInRange<int>(1, 4096)
                             : In.ConsumeIntegralInRange<int>(1, 64);
    P.Samples[static_cast<size_t>(s)] = n;
    int DigiMin = In.ConsumeIntegral<int16_t>();
    int DigiMax = In.ConsumeIntegral<int16_t>();
    if (DigiMin > DigiMax) std::swap(DigiMin, DigiMax);
    if (DigiMin == DigiMax) {
      if (DigiMax < 32767)
        ++DigiMax;
      else
        --DigiMin;
    }
    P.Limits[static_cast<size_t>(s)] = {DigiMin, DigiMax};
    std::string PhysMin = Pick(In, {"-500", "-3276.8", "0", "-1", "-1E3", "-0.5", "-100000"});
    std::string PhysMax = Pick(In, {"500", "3276.7", "1", "100", "1E3", "0.5", "100000"});
    const bool Annotation = Annotations && s == Ns - 1;
    auto& S = P.Signals[static_cast<size_t>(s)];
    S = {Annotation ? "EDF Annotations" : "EEG " + std::to_string(s + 1),
         Annotation ? "" : Pick(In, {"AgAgCl electrode", "", "thermistor"}),
         Annotation ? "" : Pick(In, {"uV", "mV", "degC", ""}),
         Annotation ? "-1" : PhysMin,
         Annotation ? "1" : PhysMax,
         Annotation ? "-32768" : std::to_string(DigiMin),
         Annotation ? "32767" : std::to_string(DigiMax),
         Annotation ? "" : Pick(In, {"HP:0.1Hz LP:75Hz", "", "N:50Hz"}),
         std::to_string(n),
         ""};
  }

  int64_t RecordBytes = 0;
  for (int n : P.Samples) RecordBytes += 2 * n;
  const int Records = Rarely(In, 1) ? 0 : In.ConsumeIntegralInRange<int>(1, 12);
  P.Records = static_cast<int>(std::min<int64_t>(Records, MaxDataBytes / RecordBytes));
  // Short records of few samples are a fault of their own; a fault-free file
  // takes a duration of at least a second.
  const bool ShortDuration = Rarely(In, 4);
  const std::string Duration = ShortDuration ? Pick(In, {"0.5", "0.25", "0.001", "0.1"})
                                             : Pick(In, {"1", "2", "10", "30", "1.5", "1E0"});
  if (ShortDuration) P.Clean = false;

  const int Day = In.ConsumeIntegralInRange<int>(1, 28);
  const int Month = In.ConsumeIntegralInRange<int>(1, 12);
  const std::string StartDate =
      TwoDigits(Day) + "." + TwoDigits(Month) + "." + TwoDigits(In.ConsumeIntegralInRange(0, 99));
  const std::string StartTime = TwoDigits(In.ConsumeIntegralInRange(0, 23)) + "." +
                                TwoDigits(In.ConsumeIntegralInRange(0, 59)) + "." +
                                TwoDigits(In.ConsumeIntegralInRange(0, 59));

  std::string NrRecords = std::to_string(P.Records);
  if (Rarely(In)) {
    NrRecords = Pick(In, {"-1", "0", "1", "99999999"});
    P.Clean = false;
  }
  std::string HeaderBytes = std::to_string(256 * (Ns + 1));
  if (Rarely(In, 1)) {
    HeaderBytes = std::to_string(256 * Ns);
    P.Clean = false;
  }
  static const char* const Months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                       "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  P.General = {"0",
               Plus ? "X F 02-AUG-1951 X" : "patient",
               Plus ? "Startdate " + TwoDigits(Day) + "-" + Months[Month - 1] + "-2003 X X X"
                    : "recording",
               StartDate,
               StartTime,
               HeaderBytes,
               Plus ? Pick(In, {"EDF+C", "EDF+D"}) : "",
               NrRecords,
               Duration,
               std::to_string(Ns)};
  if (RecordBytes > EDFMaxRecordBytes) P.Clean = false;
  if (Plus) P.Clean = false;  // the EDF+ rules are judged elsewhere; no verdict is promised
}

// A few fields replaced by raw fuzz bytes of at most the field's width.
void Mutate(FuzzedDataProvider& In, TPlan& P) {
  if (!Rarely(In, 6)) return;
  const int Count = In.ConsumeIntegralInRange<int>(1, 3);
  for (int k = 0; k < Count; ++k) {
    const bool InGeneral = In.ConsumeBool();
    const auto Field = In.ConsumeIntegralInRange<size_t>(0, EDFFieldCount - 1);
    if (InGeneral) {
      const auto Width = static_cast<size_t>(EDFGeneralFieldWidths[Field]);
      P.General[Field] = In.ConsumeBytesAsString(In.ConsumeIntegralInRange<size_t>(0, Width));
    } else {
      const auto Width = static_cast<size_t>(EDFSignalFieldWidths[Field]);
      auto& S = P.Signals[In.ConsumeIntegralInRange<size_t>(0, P.Signals.size() - 1)];
      S[Field] = In.ConsumeBytesAsString(In.ConsumeIntegralInRange<size_t>(0, Width));
    }
    P.Clean = false;
  }
}

// The records from the rest of the input, repeated as needed; then, now and
// then, a cut or a tail so that the size no longer fits.
void BuildData(FuzzedDataProvider& In, TPlan& P) {
  int64_t RecordBytes = 0;
  for (int n : P.Samples) RecordBytes += 2 * n;
  const int Tail = Rarely(In) ? In.ConsumeIntegralInRange<int>(-64, 64) : 0;
  if (Tail != 0) P.Clean = false;
  const std::vector<uint8_t> Rest = In.ConsumeRemainingBytes<uint8_t>();
  const auto Size = static_cast<size_t>(RecordBytes * P.Records);
  P.Data.resize(Size);
  for (size_t i = 0; i < Size && !Rest.empty(); ++i)
    P.Data[i] = static_cast<char>(Rest[i % Rest.size()]);
  if (Tail > 0) P.Data.append(static_cast<size_t>(Tail), '\x7F');
  if (Tail < 0) P.Data.resize(P.Data.size() - std::min(P.Data.size(), static_cast<size_t>(-Tail)));
}

std::string Bytes(const TPlan& P) {
  std::string Out;
  auto Put = [&](const std::string& Text, int Width) {
    std::string Field = Text.substr(0, static_cast<size_t>(Width));
    Field.resize(static_cast<size_t>(Width), ' ');
    Out += Field;
  };
  for (size_t f = 0; f < EDFFieldCount; ++f) Put(P.General[f], EDFGeneralFieldWidths[f]);
  for (size_t f = 0; f < EDFFieldCount; ++f)
    for (const auto& S : P.Signals) Put(S[f], EDFSignalFieldWidths[f]);
  return Out + P.Data;
}

// The extremes of each signal over the written records.
void ExpectedExtremes(const TPlan& P, std::vector<int32_t>& Min, std::vector<int32_t>& Max) {
  Min.assign(P.Samples.size(), FoundMinStart);
  Max.assign(P.Samples.size(), FoundMaxStart);
  size_t At = 0;
  for (int r = 0; r < P.Records; ++r) {
    for (size_t s = 0; s < P.Samples.size(); ++s) {
      for (int i = 0; i < P.Samples[s]; ++i, At += 2) {
        const auto Low = static_cast<uint8_t>(P.Data[At]);
        const auto High = static_cast<uint8_t>(P.Data[At + 1]);
        const auto V = static_cast<int16_t>(static_cast<uint16_t>(Low | High << 8));
        Min[s] = std::min<int32_t>(Min[s], V);
        Max[s] = std::max<int32_t>(Max[s], V);
      }
    }
  }
}

[[noreturn]] void Finding(const char* What) {
  std::fprintf(stderr, "finding: %s\n", What);
  std::abort();
}

// Every check that reads the data records, in the order the faces offer
// them. A new record-level check is added here, once, and is fuzzed from then on.
TMinMaxResult RunRecordChecks(TEDFFile& F, const std::string& Path) {
  // The window's record-by-record scan.
  const TMinMaxResult Result = ScanDigitalMinMax(F);
  const std::vector<std::string> Window = BuildMinMaxReport(F, Result);
  // The command line's one block pass: min/max and conformance together.
  TCheckRequest Request;
  Request.MinMax = true;
  Request.Conformance = true;
  Request.Quality = true;
  const TFileReport Cli = CheckFile(Path, Request);
  if (Cli.MinMaxRun && Cli.MinMaxLines != Window) Finding("the block scan and the window's scan disagree");
  for (const TFinding& Fi : Cli.Findings)
    if (Fi.Rule == RuleOf(TClassicRule::FieldInvalid).Id) Finding("a header fault without a rule of its own");
  return Result;
}

// The quality pass alone, beside the min/max fold over the same records: the
// extremes it gives on the way must be the fold's.
void RunQualityPass(const TEDFFile& F) {
  TQualityCheck Quality(F);
  if (!Quality.WantsRecords()) return;
  TMinMaxFold Fold(Quality.Layout());
  TRecordVisitor* const Visitors[] = {&Quality, &Fold};
  const TScanOutcome Outcome = ScanRecords(*F.Stream(), Quality.Layout(), Visitors);
  const TMinMaxResult Runs = Quality.MinMax();
  const TMinMaxResult& Folded = Fold.Result();
  if (Runs.FoundMin != Folded.FoundMin || Runs.FoundMax != Folded.FoundMax || Runs.MinRecord != Folded.MinRecord ||
      Runs.MaxRecord != Folded.MaxRecord)
    Finding("the quality pass's extremes differ from the fold's");
  (void)Quality.Finish(Outcome);
}

// Every run detection this processor has against the portable one, on each
// signal's samples in the written records: with its own limits, with limits
// the samples meet (so that limit and outside bits are set), and on the same
// bytes read as 3-byte samples.
void CompareRunMasks(const TPlan& P) {
  int64_t RecordBytes = 0;
  for (int n : P.Samples) RecordBytes += 2 * n;
  const auto Records = static_cast<int64_t>(P.Data.size()) / RecordBytes;
  if (Records == 0) return;
  const auto* Data = reinterpret_cast<const uint8_t*>(P.Data.data());
  const auto Sample = [](const uint8_t* B) { return static_cast<int16_t>(static_cast<uint16_t>(B[0] | B[1] << 8)); };
  int64_t At = 0;
  for (size_t s = 0; s < P.Samples.size(); ++s) {
    const uint8_t* First = Data + At;
    const int32_t A = Sample(First), B = P.Samples[s] > 1 ? Sample(First + 2) : A;
    const auto [Lo, Hi] = P.Limits[s];
    if (!RunMaskPathsAgree(First, P.Samples[s], 2, Records, RecordBytes, A, Lo, Hi) ||
        !RunMaskPathsAgree(First, P.Samples[s], 2, Records, RecordBytes, B, std::min(A, B), std::max(A, B)))
      Finding("the vector and portable run detection disagree on 2-byte samples");
    At += 2 * P.Samples[s];
  }
  if (RecordBytes >= 3) {
    const int32_t A = static_cast<int32_t>(static_cast<uint32_t>(Data[0] | Data[1] << 8 | Data[2] << 16) << 8) >> 8;
    if (!RunMaskPathsAgree(Data, RecordBytes / 3, 3, Records, RecordBytes, A, std::min(A, 0), std::max(A, 0)) ||
        !RunMaskPathsAgree(Data, RecordBytes / 3, 3, Records, RecordBytes, 0, -8388608, 8388607))
      Finding("the vector and portable run detection disagree on 3-byte samples");
  }
}

// The scratch file: in memory, reached by a name as the library wants one.
class TScratch {
public:
  TScratch() : FHandle(::memfd_create("fuzz_edf_structured", MFD_CLOEXEC)) {
    if (FHandle < 0) Finding("memfd_create failed");
    FPath = "/proc/self/fd/" + std::to_string(FHandle);
  }
  ~TScratch() { ::close(FHandle); }
  const std::string& Path() const { return FPath; }
  void Write(const std::string& Bytes) const {
    if (::ftruncate(FHandle, 0) != 0 ||
        ::pwrite(FHandle, Bytes.data(), Bytes.size(), 0) != static_cast<ssize_t>(Bytes.size()))
      Finding("scratch write failed");
  }

private:
  int FHandle;
  std::string FPath;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const TScratch Scratch;
  FuzzedDataProvider In(Data, Size);
  TPlan P;
  BuildHeader(In, P);
  Mutate(In, P);
  BuildData(In, P);
  Scratch.Write(Bytes(P));
  CompareRunMasks(P);

  try {
    TEDFFile F;
    F.SetFileName(Scratch.Path());
    THeaderJudgement J;
    JudgeOpenFile(F, J);
    // The window's panes (each signal judged on its own) and the reports'
    // (drawn from the judgement's findings) must show the same.
    if (DescribeAllSignals(F) != SignalViewsOf(F, J.Findings)) Finding("the signal panes and the report disagree");
    {
      // The shortcut for fault-free headers must end where the lenient re-read ends.
      TEDFFile Long;
      Long.SetFileName(Scratch.Path());
      THeaderJudgement JLong;
      JudgeOpenFile(Long, JLong, true, TJudgeRoute::Reread);
      if (!(JLong == J) || Long.FileInfo()->NrDataRecords() != F.FileInfo()->NrDataRecords() ||
          !(Long.HeaderErrors() == F.HeaderErrors()) || DescribeAllSignals(Long) != DescribeAllSignals(F))
        Finding("the shortcut and the lenient re-read judge differently");
    }
    if (P.Clean && !J.Verdict) Finding("a fault-free file was judged invalid");
    RunQualityPass(F);
    if (!J.Verdict) {
      // Conformance and quality are checked whatever the verdict.
      TCheckRequest Request;
      Request.Conformance = true;
      Request.Quality = true;
      (void)CheckFile(Scratch.Path(), Request);
      return 0;
    }
    const TMinMaxResult R = RunRecordChecks(F, Scratch.Path());
    if (P.Clean) {
      std::vector<int32_t> Min, Max;
      ExpectedExtremes(P, Min, Max);
      if (R.RecordsScanned != P.Records) Finding("records scanned differ from records written");
      if (R.FoundMin != Min || R.FoundMax != Max) Finding("scan extremes differ from the data");
    }
  } catch (const EDataFile&) {
    if (P.Clean) Finding("a fault-free file was refused");
  }
  return 0;
}
