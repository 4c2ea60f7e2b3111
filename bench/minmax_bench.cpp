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
//   minmax_bench --peak-child block|records|conformance|quality F
//                                one pass over F (what the peak memory and a
//                                profile of one pass are taken from)
//
// Writes an EDF+C file of 20 signals, 1 s records of 256 samples per signal,
// and an annotation signal holding each record's time-keeping stamp, with the
// library's own writer, and a BDF file of the same layout with 3-byte
// samples, into a temporary folder. Each file is evicted from the page cache
// and read once before it is measured (as a file read back from disk would
// be), then every measure is the best of three:
//   (a) reading the whole file with plain read() calls, the fastest of three
//       block sizes: the I/O limit every ratio is taken against;
//   (b) the command line's min/max scan (CheckFile: one block scan through a
//       read-only mapping of the file, each signal of a whole block folded in
//       one call), and (b0) the same block scan through read() copies;
//   (c) the scan as the window drives it (Tools, with its progress window and
//       one event pass per record), (c0) those event passes alone, which
//       bound (c), and (c2) the same record-by-record scan without the
//       window (ScanDigitalMinMax);
//   (d) the conformance pass alone, and (d2) conformance and min/max in their
//       one shared pass, also as a ratio to (b);
//   (e) the 24-bit min/max scan of the BDF file (CheckFile);
//   (f) the signal-quality pass alone, and (f2) min/max, conformance and
//       quality in their one pass (CheckFile), also on the BDF file (f3);
// then files per second for CheckFile over a batch of small files against a
// bare open / read of both headers / close of the same files and, when the
// build found it, against EDFlib opening and closing them; and the peak
// memory of (b), (c2), (d) and (f2), each in a fresh child process, for a
// 64 MiB file and for the file of the given size.
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

#if VELLICOR_BENCH_EDFLIB
#include <edflib.h>
#endif

// The window is there only in builds with the GUI, which bring Qt along.
#if __has_include(<QApplication>)
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>

#include "app/uDialogs.h"
#include "app/uFormProgress.h"
#include "app/uMain.h"
#define VELLICOR_BENCH_WINDOW 1
#endif

namespace {

constexpr int NrSignals = 20;
constexpr int SamplesPerRecord = 256;   // 256 Hz in 1 s records
constexpr int AnnotationSamples = 30;   // 60 bytes for each record's time-keeping TAL
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

// The EDF+ file's records carry the annotation signal too.
int64_t RecordBytesOf(int SampleBytes) {
  return int64_t{SampleBytes} * (NrSignals * SamplesPerRecord + (SampleBytes == 2 ? AnnotationSamples : 0));
}

int64_t RecordsFor(int64_t MiB, int SampleBytes) {
  return std::max<int64_t>(1, MiB * 1024 * 1024 / RecordBytesOf(SampleBytes));
}

// ---------------------------------------------------------------- the files

// Writes Records records through the library's writer: a sawtooth per
// signal, so the scan has something to find.
void WriteEdf(const std::string& Path, int64_t Records) {
  TEDFFile F;
  F.SetFileName(Path);
  F.CreateNew(NrSignals + 1, true);
  TCustomEDFFileInfo& Info = *F.FileInfo();
  Info.SetReserved("EDF+C");
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
  TCustomEDFSignalInfo& A = *F.GetSignal(NrSignals);
  A.SetSignalLabel("EDF Annotations");
  A.SetPhysimin(-1);
  A.SetPhysimax(1);
  A.SetDigimin(-32768);
  A.SetDigimax(32767);
  A.SetNrSamples(AnnotationSamples);
  F.WriteHeaders();
  if (!F.Active()) throw std::runtime_error("the bench header was not accepted");
  const auto Annotations = static_cast<size_t>(F.GetSignal(NrSignals)->BufferOffset());
  for (int64_t r = 0; r < Records; ++r) {
    TDynSmallIntArray& Buffer = *F.GetBuffer();
    for (size_t i = 0; i < Annotations; ++i)
      Buffer[i] = static_cast<int16_t>((static_cast<int64_t>(i) * 7 + r * 13) % 4096 - 2048);
    // The time-keeping TAL "+r" 0x14 0x14 0x00, two bytes a sample, low first.
    std::string Tal = '+' + std::to_string(r) + "\x14\x14";
    Tal.resize(2 * AnnotationSamples, '\0');
    for (size_t k = 0; k < static_cast<size_t>(AnnotationSamples); ++k)
      Buffer[Annotations + k] = static_cast<int16_t>(static_cast<uint8_t>(Tal[2 * k]) |
                                                     static_cast<uint8_t>(Tal[2 * k + 1]) << 8);
    F.WriteDataRecord(F.FileInfo()->NrDataRecords());
  }
  F.SetActive(false);
}

std::string Field(const std::string& Text, size_t Width) {
  std::string S = Text.substr(0, Width);
  S.resize(Width, ' ');
  return S;
}

// A plain BDF file: the same signals (without annotations) with 3-byte samples
// spanning the whole 24-bit range, composed byte by byte.
void WriteBdf(const std::string& Path, int64_t Records) {
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

// (b), (d), (d2), (e), (f), (f2): what `vellicor-check` does with one file,
// with --minmax, --conformance and/or --quality.
int64_t CheckWith(const std::string& Path, bool MinMax, bool Conformance, bool Quality = false) {
  TCheckRequest Request;
  Request.MinMax = MinMax;
  Request.Conformance = Conformance;
  Request.Quality = Quality;
  const TFileReport R = CheckFile(Path, Request);
  if (MinMax && !R.MinMaxRun) throw std::runtime_error("the min/max scan did not run on " + Path);
  if (Conformance && !R.Conformance.RecordsChecked) throw std::runtime_error("no conformance pass on " + Path);
  if (Quality && !(R.QualityRun && R.Quality.Complete)) throw std::runtime_error("no quality pass on " + Path);
  if (!R.Valid() || HasErrors(R.Findings)) throw std::runtime_error("the bench file has faults: " + Path);
  return static_cast<int64_t>(R.Findings.size());
}

// (b0) The block scan of (b) through read() copies instead of the mapping.
int64_t BlockScanRead(const std::string& Path) {
  TEDFFile F;
  F.SetFileName(Path);
  F.SetReadOnly(true);
  F.SetActive(true);
  const TRecordLayout Layout = RecordLayoutOf(F);
  TMinMaxFold Fold(Layout);
  TRecordVisitor* V[] = {&Fold};
  return ScanRecords(*F.Stream(), Layout, V, {}, TScanSource::Read).RecordsScanned;
}

// (c2) The window's record-by-record scan without the window.
int64_t RecordScan(const std::string& Path) {
  TEDFFile F;
  F.SetFileName(Path);
  F.SetReadOnly(true);
  F.SetActive(true);
  return ScanDigitalMinMax(F).RecordsScanned;
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
// The window's event passes alone: a shown progress window, its bar set and
// one pass per record, as the scan does, but nothing read. No read and fold
// can make (c) faster than (a) plus this, which bounds its ratio.
double EventPassesAlone(int64_t Records) {
  TFormProgress Progress;
  Progress.show();
  return SecondsOf([&] {
    for (int64_t r = 0; r < Records; ++r) {
      Progress.ProgressBar->setValue(static_cast<int>(r * 100 / Records));
      QCoreApplication::processEvents();
    }
  });
}

std::optional<double> MeasureWindowDrivenScan(const std::string& Path, int64_t Records, double* EventsAlone) {
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
  if (EventsAlone) *EventsAlone = EventPassesAlone(Records);
  SetDialogsForTesting(Previous);
  if (Unattended.Messages != 0 || Unattended.Reports != Repeats)
    throw std::runtime_error("the window did not complete the check");
  return Seconds;
}

#else
std::optional<double> MeasureWindowDrivenScan(const std::string& /*Path*/, int64_t /*Records*/, double* /*EventsAlone*/) {
  return std::nullopt;
}
#endif

// ---------------------------------------------------------------- the batch

// Each file judged as `vellicor-check` judges it for its text report
// (headers only).
int CheckEach(const std::vector<std::string>& Paths) {
  TCheckRequest Request;
  Request.SignalViews = false;
  int Valid = 0;
  for (const std::string& P : Paths) Valid += CheckFile(P, Request).Valid() ? 1 : 0;
  return Valid;
}

// The least any reader must do per file: open it, read the general header
// and the signal headers it announces, close it.
int OpenReadClose(const std::vector<std::string>& Paths) {
  std::vector<char> Header(256 * 64);
  int Read = 0;
  for (const std::string& P : Paths) {
    const int Fd = ::open(P.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0) continue;
    if (::pread(Fd, Header.data(), 256, 0) == 256) {
      const int Ns = std::clamp(std::atoi(std::string(Header.data() + 252, 4).c_str()), 0, 63);
      Read += ::pread(Fd, Header.data() + 256, static_cast<size_t>(256 * Ns), 256) == 256 * Ns ? 1 : 0;
    }
    ::close(Fd);
  }
  return Read;
}

#if VELLICOR_BENCH_EDFLIB
// The yardstick the batch goal was set against: a general EDF library (EDFlib)
// opening each file, which reads and parses both headers, and closing it.
// Annotations are not read, as the header check reads no data record either.
int EdflibOpenClose(const std::vector<std::string>& Paths) {
  int Opened = 0;
  for (const std::string& P : Paths) {
    edf_hdr_struct Header{};
    if (edfopen_file_readonly(P.c_str(), &Header, EDFLIB_DO_NOT_READ_ANNOTATIONS) != 0) continue;
    edfclose_file(Header.handle);
    ++Opened;
  }
  return Opened;
}
#endif

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
int PeakChild(const std::string& Kind, const std::string& Path) {
  const int64_t Before = PeakKiB();
  if (Kind == "block")
    CheckWith(Path, true, false);
  else if (Kind == "records")
    RecordScan(Path);
  else if (Kind == "quality")
    CheckWith(Path, true, true, true);
  else
    CheckWith(Path, true, true);
  std::printf("%lld %lld\n", static_cast<long long>(Before), static_cast<long long>(PeakKiB()));
  return 0;
}

struct TPeak {
  long long BeforeKiB = -1, AfterKiB = -1;
};

// Runs this program again in child mode, so that the child's peak holds
// nothing of the parent's memory.
TPeak MeasurePeak(const std::string& Kind, const std::string& Path) {
  const std::string Self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string Command = "'" + Self + "' --peak-child " + Kind + " '" + Path + "'";
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
    if (argc == 4 && std::strcmp(argv[1], "--peak-child") == 0) return PeakChild(argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "--parse") == 0) return ParseLoop(std::atoi(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--window") == 0) {
      const std::optional<double> C = MeasureWindowDrivenScan(argv[2], 0, nullptr);
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
    WriteBdf(BdfPath, BdfRecords);
    const auto Bytes = static_cast<int64_t>(std::filesystem::file_size(Path));
    const auto BdfBytes = static_cast<int64_t>(std::filesystem::file_size(BdfPath));
    std::printf("EDF+C file: %lld bytes, %lld records of %d signals x %d samples x 2 bytes and %d annotation bytes\n",
                static_cast<long long>(Bytes), static_cast<long long>(EdfRecords), NrSignals, SamplesPerRecord,
                2 * AnnotationSamples);
    std::printf("BDF file: %lld bytes, %lld records of %d signals x %d samples x 3 bytes\n\n",
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
    const double B = SecondsOf([&] { CheckWith(Path, true, false); });
    Line("(b) command-line min/max scan (CheckFile, mapped)", Bytes, B, A);
    Line("(b0) the same block scan through read() copies", Bytes, SecondsOf([&] { BlockScanRead(Path); }), A);
    double Events = 0;
    if (const std::optional<double> C = MeasureWindowDrivenScan(Path, EdfRecords, &Events)) {
      Line("(c) scan as the window drives it", Bytes, *C, A);
      std::printf("    (c0) its event passes alone, one per record: %.3f s (%.2f us each); (c) stays below about "
                  "%.2f x (a)\n",
                  Events, Events * 1e6 / static_cast<double>(EdfRecords), A / (A + Events));
    } else
      std::printf("(c) scan as the window drives it: not measured (a build without the window)\n");
    Line("(c2) record-by-record scan, no window", Bytes, SecondsOf([&] { RecordScan(Path); }), A);
    const double D = SecondsOf([&] { CheckWith(Path, false, true); });
    Line("(d) conformance pass alone", Bytes, D, A);
    const double D2 = SecondsOf([&] { CheckWith(Path, true, true); });
    Line("(d2) conformance and min/max in one pass", Bytes, D2, A);
    std::printf("    conformance pass: %.2f x the min/max scan alone; shared pass: %.2f x\n", D / B, D2 / B);
    const double F = SecondsOf([&] { CheckWith(Path, false, false, true); });
    Line("(f) quality pass alone", Bytes, F, A);
    const double F2 = SecondsOf([&] { CheckWith(Path, true, true, true); });
    Line("(f2) min/max, conformance and quality in one pass", Bytes, F2, A);
    std::printf("    quality pass: %.2f x the min/max scan alone; all three: %.2f x (d2)\n", F / B, F2 / D2);

    EvictAndReadOnce(BdfPath);
    const double A3 = SecondsOf([&] { ReadSequentially(BdfPath, ABlock); });
    Line("(a3) sequential read of the BDF file", BdfBytes, A3, A3);
    Line("(e) 24-bit min/max scan (CheckFile)", BdfBytes, SecondsOf([&] { CheckWith(BdfPath, true, false); }), A3);
    Line("(f3) 24-bit min/max and quality in one pass", BdfBytes,
         SecondsOf([&] { CheckWith(BdfPath, true, false, true); }), A3);

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
    std::printf("\nbatch of %d files (%d valid): CheckFile %.0f files/s, open/read headers/close %.0f files/s: "
                "%.1f x the bare loop's time\n",
                NrFiles, Valid, NrFiles / Checked, NrFiles / Bare, Checked / Bare);
#if VELLICOR_BENCH_EDFLIB
    const double Edflib = SecondsOf([&] {
      if (EdflibOpenClose(Paths) != NrFiles) throw std::runtime_error("EDFlib did not open every file");
    });
    std::printf("    EDFlib open/close %.0f files/s: CheckFile takes %.1f x its time\n", NrFiles / Edflib,
                Checked / Edflib);
#else
    std::printf("    EDFlib open/close: not measured (libedf-dev was not found at build time)\n");
#endif

    // Peak memory must not grow with the file.
    const std::string Small = Dir + "/bench64.edf";
    WriteEdf(Small, RecordsFor(64, 2));
    std::printf("\npeak memory (VmHWM after open -> after scan, KiB):\n");
    for (const char* Kind : {"block", "records", "conformance", "quality"}) {
      const TPeak P64 = MeasurePeak(Kind, Small);
      const TPeak PBig = MeasurePeak(Kind, Path);
      std::printf("    %-12s 64 MiB: %lld -> %lld   %lld MiB: %lld -> %lld\n", Kind, P64.BeforeKiB, P64.AfterKiB,
                  static_cast<long long>(MiB), PBig.BeforeKiB, PBig.AfterKiB);
    }
    std::printf("load average at the end: %.2f\n", LoadAverage());
    return 0;
  } catch (const std::exception& E) {
    std::fprintf(stderr, "minmax_bench: %s\n", E.what());
    return 1;
  }
}
