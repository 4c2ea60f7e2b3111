// How fast the passes over the samples run next to what the page cache can
// deliver, how fast a batch of small files is checked next to merely opening
// them, and whether memory stays flat as files grow. Ratios come from the
// same run, so they hold on a busy machine where the absolute figures do not.
//
//   minmax_bench [MiB] [files]   file size in MiB (default 1024), batch size
//                                (default 10000)
//   minmax_bench --parse N       the header-record parsing of one file, N
//                                times, to be counted under callgrind
//   minmax_bench --write F MiB   only write the EDF file F, to profile a pass
//   minmax_bench --window F      only the window-driven scan of F, to profile it
//   minmax_bench --peak-child block|records|bdf F NrRecords
//                                one pass over F (what the peak memory and a
//                                profile of one pass are taken from)
//
// Writes an EDF file of 20 signals, 1 s records of 256 samples per signal,
// with the library's own writer, and a BDF-shaped file of the same layout with
// 3-byte samples, into a temporary folder. Each file is evicted from the page
// cache and read once before it is measured (as a file read back from disk
// would be), then every measure is the best of three:
//   (a) reading the whole file with plain read() calls, the fastest of three
//       block sizes: the I/O limit every ratio is taken against;
//   (b) the command line's scan as it stands (CheckFile with the min/max scan);
//   (b2) the block scan (ScanRecords, about 1 MiB a read) with each signal of
//       each record folded in place by FoldSamples, and (b3) the same reads
//       with each signal of a whole block folded in one call (FoldSignalBlock),
//       as a block hook in ScanRecords would allow;
//   (c) the scan as the window drives it (Tools, with its progress window and
//       one event pass per record), and (c2) the same record-by-record scan
//       without the window (ScanDigitalMinMax); then two variants of that
//       rhythm the window could adopt: (c3) each record read by
//       ReadDataRecord and folded in place by FoldSamples, window events
//       after every record, and (c4) the same with window events at most
//       every 10 ms;
//   (d) the conformance pass;
//   (e) the 24-bit block scan of the BDF-shaped file, folded by FoldSamples,
//       and (e3) folded a block at a time;
// then files per second for CheckFile over a batch of small files against a
// bare open / read(256 bytes) / close of the same files, and the peak memory
// of (b2), (c2) and (e), each in a fresh child process, for a 64 MiB file and
// for the file of the given size.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "check/FileCheck.h"
#include "check/MinMaxFold.h"
#include "check/MinMaxScan.h"
#include "check/RecordScan.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFSignalInfo.h"
#include "edf/uFileStream.h"
#include "util/uDateTime.h"
#include "util/udStr.h"

// The window is there only in builds with the GUI, which bring Qt along.
#if __has_include(<QApplication>)
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>

#include "app/uDialogs.h"
#include "app/uMain.h"
#include "check/uFormProgress.h"
#define VELLICOR_BENCH_WINDOW 1
#endif

namespace {

constexpr int NrSignals = 20;
constexpr int SamplesPerRecord = 256;  // 256 Hz in 1 s records
constexpr int Repeats = 3;             // best of, against noise on a shared machine

using Clock = std::chrono::steady_clock;

double SecondsOf(const std::function<void()>& Work) {
  double Best = 1e300;
  for (int i = 0; i < Repeats; ++i) {
    const auto T0 = Clock::now();
    Work();
    Best = std::min(Best, std::chrono::duration<double>(Clock::now() - T0).count());
  }
  return Best;
}

int64_t RecordBytesOf(int SampleBytes) { return int64_t{SampleBytes} * NrSignals * SamplesPerRecord; }

int64_t RecordsFor(int64_t MiB, int SampleBytes) {
  return std::max<int64_t>(1, MiB * 1024 * 1024 / RecordBytesOf(SampleBytes));
}

// ---------------------------------------------------------------- the files

// Writes Records records through the library's writer: a sawtooth per
// signal, so the scan has something to find.
void WriteEdf(const std::string& Path, int64_t Records) {
  TEDFFile F;
  F.SetFileName(Path);
  F.CreateNew(NrSignals, true);
  TCustomEDFFileInfo& Info = *F.FileInfo();
  Info.SetPatient("X X X X");
  Info.SetRecording("Startdate X X X X");
  Info.SetStartDateTime(45000.5);
  Info.SetSampleRecDuration(1);
  for (int s = 0; s < NrSignals; ++s) {
    TCustomEDFSignalInfo& S = *F.GetSignal(s);
    S.SetSignalLabel("Bench " + std::to_string(s + 1));
    S.SetPhysidim("uV");
    S.SetPhysimin(-500);
    S.SetPhysimax(500);
    S.SetDigimin(-2048);
    S.SetDigimax(2047);
    S.SetNrSamples(SamplesPerRecord);
  }
  F.WriteHeaders();
  if (!F.Active()) throw std::runtime_error("the bench header was not accepted");
  for (int64_t r = 0; r < Records; ++r) {
    TDynSmallIntArray& Buffer = *F.GetBuffer();
    for (size_t i = 0; i < Buffer.size(); ++i)
      Buffer[i] = static_cast<int16_t>((static_cast<int64_t>(i) * 7 + r * 13) % 4096 - 2048);
    F.WriteDataRecord(F.FileInfo()->NrDataRecords());
  }
  F.SetActive(false);
}

std::string Field(const std::string& Text, size_t Width) {
  std::string S = Text.substr(0, Width);
  S.resize(Width, ' ');
  return S;
}

// A file laid out as BDF: the same signals and records with 3-byte samples
// spanning the whole 24-bit range. Composed byte by byte, since only its data
// records are read here.
void WriteBdfShaped(const std::string& Path, int64_t Records) {
  std::string H = "\xFF" "BIOSEMI";
  H += Field("X X X X", 80) + Field("Startdate X X X X", 80) + "01.01.24" + "12.00.00";
  H += Field(std::to_string(256 * (NrSignals + 1)), 8) + Field("24BIT", 44);
  H += Field(std::to_string(Records), 8) + Field("1", 8) + Field(std::to_string(NrSignals), 4);
  const std::array<std::pair<size_t, std::string>, 10> Signal = {{{16, "Bench"}, {80, ""}, {8, "uV"},
                                                                   {8, "-500"}, {8, "500"}, {8, "-8388608"},
                                                                   {8, "8388607"}, {80, ""},
                                                                   {8, std::to_string(SamplesPerRecord)}, {32, ""}}};
  for (const auto& [Width, Text] : Signal)
    for (int s = 0; s < NrSignals; ++s) H += Field(Text, Width);
  std::ofstream Out(Path, std::ios::binary);
  Out.write(H.data(), static_cast<std::streamsize>(H.size()));
  std::vector<uint8_t> Record(static_cast<size_t>(RecordBytesOf(3)));
  for (int64_t r = 0; r < Records; ++r) {
    for (size_t i = 0; i < Record.size() / 3; ++i) {
      const auto V = static_cast<uint32_t>((static_cast<int64_t>(i) * 7919 + r * 104729) % 16777216 - 8388608);
      Record[3 * i] = static_cast<uint8_t>(V);
      Record[3 * i + 1] = static_cast<uint8_t>(V >> 8);
      Record[3 * i + 2] = static_cast<uint8_t>(V >> 16);
    }
    Out.write(reinterpret_cast<const char*>(Record.data()), static_cast<std::streamsize>(Record.size()));
  }
  if (!Out) throw std::runtime_error("cannot write " + Path);
}

TRecordLayout BdfShapedLayout(int64_t Records) {
  TRecordLayout L;
  L.HeaderBytes = 256 * (NrSignals + 1);
  L.SampleBytes = 3;
  L.NrRecords = Records;
  for (int s = 0; s < NrSignals; ++s) L.Signals.push_back({int64_t{3} * SamplesPerRecord * s, SamplesPerRecord});
  L.RecordBytes = RecordBytesOf(3);
  return L;
}

// Drops the file's pages from the page cache (written back first, as a dirty
// page cannot be dropped), then reads it once: the state of a file read back
// from disk, which a file just written is not.
void EvictAndReadOnce(const std::string& Path) {
  const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (Fd < 0) throw std::runtime_error("cannot open " + Path);
  ::fdatasync(Fd);
  ::posix_fadvise(Fd, 0, 0, POSIX_FADV_DONTNEED);
  std::vector<char> Block(size_t{1} << 20);
  while (::read(Fd, Block.data(), Block.size()) > 0) {
  }
  ::close(Fd);
}

// ---------------------------------------------------------------- the passes

// (a) The whole file in plain reads of Block bytes.
int64_t ReadSequentially(const std::string& Path, size_t BlockBytes) {
  const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (Fd < 0) throw std::runtime_error("cannot open " + Path);
  std::vector<char> Block(BlockBytes);
  int64_t Total = 0;
  uint8_t Sum = 0;  // touch the bytes, as a scan does
  for (;;) {
    const ssize_t N = ::read(Fd, Block.data(), Block.size());
    if (N <= 0) break;
    Total += N;
    Sum = static_cast<uint8_t>(Sum + static_cast<uint8_t>(Block[static_cast<size_t>(N - 1)]));
  }
  ::close(Fd);
  return Total + (Sum & 0);
}

// The fold as the block scan will run it: each signal's samples of each
// record folded in place, with the record of each new extreme.
class TFoldVisitor final : public TRecordVisitor {
public:
  explicit TFoldVisitor(const TRecordLayout& Layout)
      : FLayout(Layout), Min(Layout.Signals.size(), INT32_MAX), Max(Layout.Signals.size(), INT32_MIN),
        MinRecord(Layout.Signals.size(), -1), MaxRecord(Layout.Signals.size(), -1) {}
  void OnRecord(int64_t Index, int64_t, const uint8_t* Bytes) override {
    for (size_t j = 0; j < FLayout.Signals.size(); ++j) {
      const int32_t Lo = Min[j];
      const int32_t Hi = Max[j];
      FoldSamples(Bytes + FLayout.Signals[j].Offset, FLayout.Signals[j].Samples, FLayout.SampleBytes, Min[j], Max[j]);
      if (Min[j] < Lo) MinRecord[j] = Index;
      if (Max[j] > Hi) MaxRecord[j] = Index;
    }
  }
  const TRecordLayout& FLayout;
  std::vector<int32_t> Min, Max;
  std::vector<int64_t> MinRecord, MaxRecord;
};

// (b) What `vellicor-check --minmax` does with one file today.
int64_t CheckFileWithMinMax(const std::string& Path) {
  TCheckRequest Request;
  Request.MinMax = true;
  const TFileReport R = CheckFile(Path, Request);
  if (!R.MinMaxRun) throw std::runtime_error("the min/max scan did not run on " + Path);
  return static_cast<int64_t>(R.Findings.size());
}

// (b2) Opened as the command line opens it, then one block scan with the fold.
int64_t BlockScan(const std::string& Path) {
  TEDFFile F;
  F.SetFileName(Path);
  F.SetReadOnly(true);
  F.SetActive(true);
  const TRecordLayout Layout = RecordLayoutOf(F);
  TFoldVisitor Fold(Layout);
  TRecordVisitor* Visitors[] = {&Fold};
  const TScanOutcome Out = ScanRecords(*F.Stream(), Layout, Visitors);
  if (Out.ReadFailed) throw std::runtime_error(Out.Error);
  return Out.RecordsScanned;
}

// The reads of ScanRecords, with each signal of a whole block folded in one
// call; the record of a new extreme is then found within the block.
int64_t BlockFoldPass(const TFileStream& Stream, const TRecordLayout& L) {
  const int64_t PerBlock = std::max<int64_t>(1, ScanBlockBytes / L.RecordBytes);
  std::vector<uint8_t> Block(static_cast<size_t>(PerBlock * L.RecordBytes));
  const size_t Ns = L.Signals.size();
  std::vector<int32_t> Min(Ns, INT32_MAX), Max(Ns, INT32_MIN);
  std::vector<int64_t> MinRecord(Ns, -1), MaxRecord(Ns, -1);
  int64_t Done = 0;
  for (int64_t First = 0; First < L.NrRecords; First += PerBlock) {
    const int64_t Want = std::min(PerBlock, L.NrRecords - First) * L.RecordBytes;
    const int64_t Whole = Stream.ReadAt(L.HeaderBytes + First * L.RecordBytes, Block.data(), Want) / L.RecordBytes;
    for (size_t j = 0; j < Ns; ++j) {
      const uint8_t* P = Block.data() + L.Signals[j].Offset;
      const int64_t Count = L.Signals[j].Samples;
      const int32_t Lo = Min[j];
      const int32_t Hi = Max[j];
      FoldSignalBlock(P, Count, L.SampleBytes, Whole, L.RecordBytes, Min[j], Max[j]);
      for (int64_t r = 0; r < Whole && ((Min[j] < Lo && MinRecord[j] < First) || (Max[j] > Hi && MaxRecord[j] < First)); ++r) {
        int32_t RecordMin = INT32_MAX;
        int32_t RecordMax = INT32_MIN;
        FoldSamples(P + r * L.RecordBytes, Count, L.SampleBytes, RecordMin, RecordMax);
        if (Min[j] < Lo && MinRecord[j] < First && RecordMin == Min[j]) MinRecord[j] = First + r;
        if (Max[j] > Hi && MaxRecord[j] < First && RecordMax == Max[j]) MaxRecord[j] = First + r;
      }
    }
    Done += Whole;
    if (Whole * L.RecordBytes < Want) break;
  }
  return Done;
}

// (b3) Opened as the command line opens it, then the block-fold pass.
int64_t BlockFoldScan(const std::string& Path) {
  TEDFFile F;
  F.SetFileName(Path);
  F.SetReadOnly(true);
  F.SetActive(true);
  return BlockFoldPass(*F.Stream(), RecordLayoutOf(F));
}

// (c2) The window's record-by-record scan without the window.
int64_t RecordScan(const std::string& Path) {
  TEDFFile F;
  F.SetFileName(Path);
  F.SetReadOnly(true);
  F.SetActive(true);
  return ScanDigitalMinMax(F).RecordsScanned;
}

// (e) The 24-bit block scan.
int64_t BdfBlockScan(const std::string& Path, const TRecordLayout& Layout) {
  const TFileStream Stream(Path, TFileStreamMode::fmOpenRead);
  TFoldVisitor Fold(Layout);
  TRecordVisitor* Visitors[] = {&Fold};
  const TScanOutcome Out = ScanRecords(Stream, Layout, Visitors);
  if (Out.ReadFailed) throw std::runtime_error(Out.Error);
  return Out.RecordsScanned;
}

// (d) The conformance pass over the same file, measured like (b2).
std::optional<double> MeasureConformancePass(const std::string& /*Path*/) {
  // The conformance visitor joins the block scan here once it is settled:
  // time CheckConformance on the opened file with SecondsOf, as BlockScan is.
  return std::nullopt;
}

#ifdef VELLICOR_BENCH_WINDOW
// Stands in for the person in front of the window: the results window is
// closed as soon as it would show, and any message box is counted as a fault.
class TUnattended final : public IDialogs {
public:
  void ShowMessage(const QString& Text, const QString&, TMsgIcon) override {
    std::fprintf(stderr, "minmax_bench: message box: %s\n", Text.toLocal8Bit().constData());
    ++Messages;
  }
  std::optional<QString> GetOpenFileName(QWidget*) override { return std::nullopt; }
  int ExecModal(QDialog&) override {
    ++Reports;
    return QDialog::Accepted;
  }
  bool OpenUrl(const QUrl&) override { return false; }

  int Messages = 0;
  int Reports = 0;
};

// (c) The scan as the window drives it: Tools / Check digital min/max values
// on a main window that has the file open, with its progress window and one
// event pump per record, on Qt's offscreen platform.
std::optional<double> MeasureWindowDrivenScan(const std::string& Path) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int Argc = 1;
  static char Name[] = "minmax_bench";
  static char* Argv[] = {Name, nullptr};
  QApplication Application(Argc, Argv);
  TUnattended Unattended;
  IDialogs* const Previous = SetDialogsForTesting(&Unattended);
  double Seconds = 0;
  {
    TForm1 Form{QStringList()};
    Form.show();
    QCoreApplication::processEvents();  // the first idle moment, with nothing to open
    Form.OpenFile(QFile::decodeName(Path.c_str()));
    Seconds = SecondsOf([&] { Form.Checkdigitalminmaxvalues1Click(); });
  }
  SetDialogsForTesting(Previous);
  if (Unattended.Messages != 0 || Unattended.Reports != Repeats)
    throw std::runtime_error("the window did not complete the check");
  return Seconds;
}

// (c3), (c4): one record at a time through the file object, each signal
// folded in place, with a progress window whose events are pumped after
// every record (Every 0) or when Every has passed since the last pump.
std::optional<double> MeasureWindowRhythm(const std::string& Path, int64_t EveryMs) {
  static int Argc = 1;
  static char Name[] = "minmax_bench";
  static char* Argv[] = {Name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication Application(Argc, Argv);
  TFormProgress Progress;
  Progress.show();
  QCoreApplication::processEvents();
  TEDFFile F;
  F.SetFileName(Path);
  F.SetReadOnly(true);
  F.SetActive(true);
  const int Ns = F.SignalCount();
  std::vector<std::pair<int64_t, int64_t>> Spans;  // buffer offset, samples: once per file
  for (int j = 0; j < Ns; ++j) Spans.emplace_back(F.GetSignal(j)->BufferOffset(), F.GetSignal(j)->NrSamples());
  const int32_t N = F.FileInfo()->NrDataRecords();
  return SecondsOf([&] {
    std::vector<int32_t> Min(static_cast<size_t>(Ns), INT32_MAX), Max(static_cast<size_t>(Ns), INT32_MIN);
    QElapsedTimer SincePump;
    SincePump.start();
    for (int32_t r = 0; r < N; ++r) {
      F.ReadDataRecord(r);
      // The buffer holds the samples in host order: little-endian here.
      const auto* Bytes = reinterpret_cast<const uint8_t*>(F.GetBuffer()->data());
      for (int j = 0; j < Ns; ++j)
        FoldSamples(Bytes + 2 * Spans[static_cast<size_t>(j)].first, Spans[static_cast<size_t>(j)].second, 2,
                    Min[static_cast<size_t>(j)], Max[static_cast<size_t>(j)]);
      Progress.ProgressBar->setValue(ProgressPercent(r, N));
      if (EveryMs == 0 || SincePump.elapsed() >= EveryMs) {
        QCoreApplication::processEvents();
        SincePump.restart();
      }
      if (Progress.Cancelled()) break;
    }
  });
}
#else
std::optional<double> MeasureWindowDrivenScan(const std::string& /*Path*/) { return std::nullopt; }
std::optional<double> MeasureWindowRhythm(const std::string& /*Path*/, int64_t /*EveryMs*/) { return std::nullopt; }
#endif

// ---------------------------------------------------------------- the batch

// Each file judged as `vellicor-check` judges it (headers only).
int CheckEach(const std::vector<std::string>& Paths) {
  int Valid = 0;
  for (const std::string& P : Paths) Valid += CheckFile(P, TCheckRequest{}).Valid() ? 1 : 0;
  return Valid;
}

// The least a checker must do per file: open it, read its first header bytes, close it.
int OpenReadClose(const std::vector<std::string>& Paths) {
  char Header[256];
  int Read = 0;
  for (const std::string& P : Paths) {
    const int Fd = ::open(P.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0) continue;
    Read += ::read(Fd, Header, sizeof Header) == static_cast<ssize_t>(sizeof Header) ? 1 : 0;
    ::close(Fd);
  }
  return Read;
}

// ---------------------------------------------------------------- memory

// Peak resident memory of this process so far, in KiB.
int64_t PeakKiB() {
  std::ifstream Status("/proc/self/status");
  std::string Line;
  while (std::getline(Status, Line)) {
    if (Line.rfind("VmHWM:", 0) == 0) return std::strtoll(Line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// Child mode: open, note the peak, scan, note the peak again.
int PeakChild(const std::string& Kind, const std::string& Path, int64_t Records) {
  const int64_t Before = PeakKiB();
  if (Kind == "block")
    BlockScan(Path);
  else if (Kind == "records")
    RecordScan(Path);
  else
    BdfBlockScan(Path, BdfShapedLayout(Records));
  std::printf("%lld %lld\n", static_cast<long long>(Before), static_cast<long long>(PeakKiB()));
  return 0;
}

struct TPeak {
  long long BeforeKiB = -1, AfterKiB = -1;
};

// Runs this program again in child mode, so that the child's peak holds
// nothing of the parent's memory.
TPeak MeasurePeak(const std::string& Kind, const std::string& Path, int64_t Records) {
  const std::string Self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string Command =
      "'" + Self + "' --peak-child " + Kind + " '" + Path + "' " + std::to_string(Records);
  FILE* Pipe = ::popen(Command.c_str(), "r");
  if (!Pipe) throw std::runtime_error("cannot start the child");
  TPeak P;
  if (std::fscanf(Pipe, "%lld %lld", &P.BeforeKiB, &P.AfterKiB) != 2) P = {};
  ::pclose(Pipe);
  return P;
}

// ---------------------------------------------------------------- parsing

// The text parsing that reading one general header and three signal headers
// asks of util/, once per call: the header records' own parse (strict, as
// the judgement runs it) of the texts of examples/sample.edf. Run under
// callgrind, the instructions per call of each function below are the
// per-file cost of that parsing.
[[gnu::noinline]] void ParseGeneralHeader(TEDFFileInfo& Info, const TEDFRawFileHeader& Raw) { Info.LoadFromRaw(Raw); }
[[gnu::noinline]] void ParseSignalHeader(TEDFSignalInfo& S, const TEDFRawSignalHeader& Raw) { S.LoadFromRaw(Raw); }
[[gnu::noinline]] bool ParseDate(const std::string& S) { return IsValidDateTimeStr(S, "dd.mm.yy"); }
[[gnu::noinline]] bool ParseTime(TDateTime& V, const std::string& S) { return TryStrToDateTimeFmt(S, "hh?nn?ss", V); }
[[gnu::noinline]] bool ParseInteger(int64_t& V, const std::string& S) { return TryStrToInt64(S, V); }
[[gnu::noinline]] long double ParseNumber(const std::string& S) { return StrToFloatSep(S, '.', '\0'); }

int ParseLoop(int N) {
  TEDFRawFileHeader General = {"0",        "X M 01-JAN-1970 Sample_Sleeper", "Startdate 07-DEC-2026 X X Vellicor_sample_writer",
                               "07.12.26", "22.30.00", "1024", "EDF+C", "10", "1", "3"};
  for (std::string& F : General) F = Field(F, F.size() < 8 ? 8 : F.size());
  const TEDFRawSignalHeader Signal = {Field("EEG Fpz-Cz", 16), Field("AgAgCl cup electrode", 80), Field("uV", 8),
                                      Field("-500", 8),        Field("500", 8),                   Field("-2048", 8),
                                      Field("2047", 8),        Field("HP:0.5Hz LP:70Hz", 80),     Field("100", 8),
                                      Field("", 32)};
  TEDFFileInfo Info(nullptr);
  Info.SetStrict(true);
  TEDFSignalInfo Signals[3];
  for (TEDFSignalInfo& S : Signals) S.SetStrict(true);
  int Valid = 0;
  TDateTime V = 0;
  int64_t I = 0;
  for (int n = 0; n < N; ++n) {
    ParseGeneralHeader(Info, General);
    Valid += Info.IsValid() ? 1 : 0;
    for (TEDFSignalInfo& S : Signals) ParseSignalHeader(S, Signal);
    Valid += ParseDate("07.12.26") + ParseTime(V, "22.30.00") + ParseInteger(I, "1024    ");
    Valid += ParseNumber("-500    ") < 0 ? 1 : 0;
  }
  std::printf("%d header parses, %d valid\n", N, Valid);
  return 0;
}

// ---------------------------------------------------------------- the report

double MBps(int64_t Bytes, double Seconds) { return Bytes / 1e6 / Seconds; }

void Line(const char* What, int64_t Bytes, double Seconds, double Base) {
  std::printf("%-52s %7.3f s %8.0f MB/s  %5.2f x (a)\n", What, Seconds, MBps(Bytes, Seconds), Base / Seconds);
}

double LoadAverage() {
  double L = -1;
  if (FILE* F = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(F, "%lf", &L) != 1) L = -1;
    std::fclose(F);
  }
  return L;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 5 && std::strcmp(argv[1], "--peak-child") == 0)
      return PeakChild(argv[2], argv[3], std::atoll(argv[4]));
    if (argc == 3 && std::strcmp(argv[1], "--parse") == 0) return ParseLoop(std::atoi(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--window") == 0) {
      const std::optional<double> C = MeasureWindowDrivenScan(argv[2]);
      std::printf("window-driven scan: %s s\n", C ? std::to_string(*C).c_str() : "not built");
      return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--write") == 0) {
      WriteEdf(argv[2], RecordsFor(std::atoll(argv[3]), 2));
      return 0;
    }
    const int64_t MiB = argc > 1 ? std::atoll(argv[1]) : 1024;
    const int NrFiles = argc > 2 ? std::atoi(argv[2]) : 10000;
    if (MiB <= 0 || NrFiles <= 0) {
      std::fprintf(stderr, "usage: minmax_bench [MiB] [files] | --parse N\n");
      return 2;
    }

    std::string Dir = (std::filesystem::temp_directory_path() / "minmax-bench-XXXXXX").string();
    if (!::mkdtemp(Dir.data())) throw std::runtime_error("mkdtemp failed");
    struct TRemove {
      std::string Dir;
      ~TRemove() {
        std::error_code E;
        std::filesystem::remove_all(Dir, E);
      }
    } Remove{Dir};

    std::printf("load average at the start: %.2f on %ld processors; fold path: %s\n", LoadAverage(),
                ::sysconf(_SC_NPROCESSORS_ONLN), ActiveFoldPath() == TFoldPath::Avx2 ? "AVX2" : "portable");
    const std::string Path = Dir + "/bench.edf";
    const std::string BdfPath = Dir + "/bench.bdf";
    const int64_t EdfRecords = RecordsFor(MiB, 2);
    const int64_t BdfRecords = RecordsFor(MiB, 3);
    WriteEdf(Path, EdfRecords);
    WriteBdfShaped(BdfPath, BdfRecords);
    const TRecordLayout BdfLayout = BdfShapedLayout(BdfRecords);
    const auto Bytes = static_cast<int64_t>(std::filesystem::file_size(Path));
    const auto BdfBytes = static_cast<int64_t>(std::filesystem::file_size(BdfPath));
    std::printf("EDF file: %lld bytes, %lld records of %d signals x %d samples x 2 bytes\n",
                static_cast<long long>(Bytes), static_cast<long long>(EdfRecords), NrSignals, SamplesPerRecord);
    std::printf("BDF-shaped file: %lld bytes, %lld records of %d signals x %d samples x 3 bytes\n\n",
                static_cast<long long>(BdfBytes), static_cast<long long>(BdfRecords), NrSignals,
                SamplesPerRecord);

    EvictAndReadOnce(Path);
    double A = 1e300;
    size_t ABlock = 0;
    for (const size_t Block : {size_t{128} << 10, size_t{1} << 20, size_t{4} << 20}) {
      const double S = SecondsOf([&] { ReadSequentially(Path, Block); });
      std::printf("    plain read() of %4zu KiB blocks: %7.3f s %8.0f MB/s\n", Block >> 10, S, MBps(Bytes, S));
      if (S < A) {
        A = S;
        ABlock = Block;
      }
    }
    const std::string AName = "(a) sequential read, " + std::to_string(ABlock >> 10) + " KiB blocks";
    Line(AName.c_str(), Bytes, A, A);
    Line("(b) command-line scan as it stands (CheckFile)", Bytes, SecondsOf([&] { CheckFileWithMinMax(Path); }), A);
    Line("(b2) block scan + FoldSamples", Bytes, SecondsOf([&] { BlockScan(Path); }), A);
    Line("(b3) block reads + FoldSignalBlock", Bytes, SecondsOf([&] { BlockFoldScan(Path); }), A);
    if (const std::optional<double> C = MeasureWindowDrivenScan(Path))
      Line("(c) scan as the window drives it", Bytes, *C, A);
    else
      std::printf("(c) scan as the window drives it: not measured (a build without the window)\n");
    Line("(c2) record-by-record scan, no window", Bytes, SecondsOf([&] { RecordScan(Path); }), A);
    if (const std::optional<double> C3 = MeasureWindowRhythm(Path, 0))
      Line("(c3) records + FoldSamples, events every record", Bytes, *C3, A);
    if (const std::optional<double> C4 = MeasureWindowRhythm(Path, 10))
      Line("(c4) records + FoldSamples, events every 10 ms", Bytes, *C4, A);
    if (const std::optional<double> D = MeasureConformancePass(Path))
      Line("(d) conformance pass", Bytes, *D, A);
    else
      std::printf("(d) conformance pass: not measured yet\n");

    EvictAndReadOnce(BdfPath);
    const double A3 = SecondsOf([&] { ReadSequentially(BdfPath, ABlock); });
    const std::string A3Name = "(a3) sequential read of the BDF-shaped file";
    Line(A3Name.c_str(), BdfBytes, A3, A3);
    Line("(e) 24-bit block scan + FoldSamples", BdfBytes, SecondsOf([&] { BdfBlockScan(BdfPath, BdfLayout); }), A3);
    Line("(e3) 24-bit block reads + FoldSignalBlock", BdfBytes, SecondsOf([&] {
           const TFileStream Stream(BdfPath, TFileStreamMode::fmOpenRead);
           BlockFoldPass(Stream, BdfLayout);
         }), A3);

    // The batch: copies of the small example file, the files the command line
    // meets in a folder of short recordings.
    const std::string Batch = Dir + "/batch";
    std::filesystem::create_directory(Batch);
    std::vector<std::string> Paths;
    for (int i = 0; i < NrFiles; ++i) {
      Paths.push_back(Batch + "/f" + std::to_string(i) + ".edf");
      std::filesystem::copy_file(VELLICOR_SAMPLE_EDF, Paths.back());
    }
    OpenReadClose(Paths);  // the files and their folder entries into the cache
    int Valid = 0;
    const double Checked = SecondsOf([&] { Valid = CheckEach(Paths); });
    const double Bare = SecondsOf([&] { OpenReadClose(Paths); });
    std::printf("\nbatch of %d files (%d valid): CheckFile %.0f files/s, open/read(256)/close %.0f files/s: "
                "%.1f x the bare loop's time\n",
                NrFiles, Valid, NrFiles / Checked, NrFiles / Bare, Checked / Bare);

    // Peak memory must not grow with the file.
    const std::string Small = Dir + "/bench64.edf";
    const std::string SmallBdf = Dir + "/bench64.bdf";
    WriteEdf(Small, RecordsFor(64, 2));
    WriteBdfShaped(SmallBdf, RecordsFor(64, 3));
    std::printf("\npeak memory (VmHWM after open -> after scan, KiB):\n");
    for (const char* Kind : {"block", "records", "bdf"}) {
      const bool Bdf = std::strcmp(Kind, "bdf") == 0;
      const TPeak P64 = MeasurePeak(Kind, Bdf ? SmallBdf : Small, RecordsFor(64, 3));
      const TPeak PBig = MeasurePeak(Kind, Bdf ? BdfPath : Path, BdfRecords);
      std::printf("    %-8s 64 MiB: %lld -> %lld   %lld MiB: %lld -> %lld\n", Kind, P64.BeforeKiB, P64.AfterKiB,
                  static_cast<long long>(MiB), PBig.BeforeKiB, PBig.AfterKiB);
    }
    std::printf("load average at the end: %.2f\n", LoadAverage());
    return 0;
  } catch (const std::exception& E) {
    std::fprintf(stderr, "minmax_bench: %s\n", E.what());
    return 1;
  }
}
