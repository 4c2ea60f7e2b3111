// How fast the digital min/max scan runs next to what the disk (here: the
// page cache) can deliver, and whether its memory stays flat as files grow.
//
//   minmax_bench [MiB]   file size in MiB, default 1024
//
// Writes an EDF file of 20 signals, 1 s records of 256 samples per signal,
// with the library's own writer into a temporary folder, then measures with
// a warm cache:
//   (a) reading the whole file sequentially in large blocks: the I/O limit;
//   (b) the plain scan, ScanDigitalMinMax;
//   (c) the scan as the window drives it (MeasureWindowDrivenScan below);
// and the peak memory of (b), each in a fresh child process, for a 64 MiB
// file and for the file of the given size.
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

#include "check/MinMaxScan.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFSignalInfo.h"

// The window is there only in builds with the GUI, which bring Qt along.
#if __has_include(<QApplication>)
#include <QApplication>
#include <QDialog>
#include <QFile>

#include "app/uDialogs.h"
#include "app/uMain.h"
#define VELLICOR_BENCH_WINDOW 1
#endif

namespace {

constexpr int NrSignals = 20;
constexpr int SamplesPerRecord = 256;  // 256 Hz in 1 s records
constexpr int64_t RecordBytes = int64_t{2} * NrSignals * SamplesPerRecord;
constexpr int Repeats = 3;  // best of, against noise on a shared machine

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

int64_t RecordsFor(int64_t MiB) { return std::max<int64_t>(1, MiB * 1024 * 1024 / RecordBytes); }

// (a) The whole file in 4 MiB reads, the way nothing could read it faster.
int64_t ReadSequentially(const std::string& Path) {
  const int Fd = ::open(Path.c_str(), O_RDONLY);
  if (Fd < 0) throw std::runtime_error("cannot open " + Path);
  std::vector<char> Block(size_t{4} << 20);
  int64_t Total = 0;
  uint8_t Sum = 0;  // touch the bytes, as the scan does
  for (;;) {
    const ssize_t N = ::read(Fd, Block.data(), Block.size());
    if (N <= 0) break;
    Total += N;
    Sum = static_cast<uint8_t>(Sum + static_cast<uint8_t>(Block[static_cast<size_t>(N - 1)]));
  }
  ::close(Fd);
  return Total + (Sum & 0);
}

// (b) The plain scan through the file object.
TMinMaxResult ScanFile(const std::string& Path) {
  TEDFFile F;
  F.SetFileName(Path);
  F.SetReadOnly(true);
  F.SetActive(true);
  return ScanDigitalMinMax(F);
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
#else
std::optional<double> MeasureWindowDrivenScan(const std::string& /*Path*/) { return std::nullopt; }
#endif

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
int PeakChild(const std::string& Path) {
  TEDFFile F;
  F.SetFileName(Path);
  F.SetReadOnly(true);
  F.SetActive(true);
  const int64_t Before = PeakKiB();
  const TMinMaxResult R = ScanDigitalMinMax(F);
  const int64_t After = PeakKiB();
  std::printf("%lld %lld %d\n", static_cast<long long>(Before), static_cast<long long>(After),
              R.RecordsScanned);
  return 0;
}

struct TPeak {
  int64_t BeforeKiB = -1, AfterKiB = -1;
};

// Runs this program again in child mode, so that the child's peak holds
// nothing of the parent's memory.
TPeak MeasurePeak(const std::string& Path) {
  const std::string Self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string Command = "'" + Self + "' --peak-child '" + Path + "'";
  FILE* Pipe = ::popen(Command.c_str(), "r");
  if (!Pipe) throw std::runtime_error("cannot start the child");
  TPeak P;
  long long B = -1, A = -1;
  int Records = 0;
  if (std::fscanf(Pipe, "%lld %lld %d", &B, &A, &Records) == 3) P = {B, A};
  ::pclose(Pipe);
  return P;
}

double MBps(int64_t Bytes, double Seconds) { return Bytes / 1e6 / Seconds; }

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 3 && std::strcmp(argv[1], "--peak-child") == 0) return PeakChild(argv[2]);
    const int64_t MiB = argc > 1 ? std::atoll(argv[1]) : 1024;
    if (MiB <= 0) {
      std::fprintf(stderr, "usage: minmax_bench [MiB]\n");
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

    const std::string Path = Dir + "/bench.edf";
    auto T0 = Clock::now();
    WriteEdf(Path, RecordsFor(MiB));
    const double WriteSeconds = std::chrono::duration<double>(Clock::now() - T0).count();
    const int64_t Bytes = static_cast<int64_t>(std::filesystem::file_size(Path));
    std::printf("file: %lld bytes, %lld records of %d signals x %d samples (written in %.2f s)\n",
                static_cast<long long>(Bytes), static_cast<long long>(RecordsFor(MiB)),
                NrSignals, SamplesPerRecord, WriteSeconds);

    ReadSequentially(Path);  // warm the cache
    const double A = SecondsOf([&] { ReadSequentially(Path); });
    int32_t Scanned = 0;
    const double B = SecondsOf([&] { Scanned = ScanFile(Path).RecordsScanned; });
    std::printf("(a) sequential read, 4 MiB blocks: %8.1f MB/s (%.3f s)\n", MBps(Bytes, A), A);
    std::printf("(b) plain scan ScanDigitalMinMax:  %8.1f MB/s (%.3f s, %d records)\n",
                MBps(Bytes, B), B, Scanned);
    std::printf("    ratio b/a (speed):             %8.2f\n", A / B);
    if (const std::optional<double> C = MeasureWindowDrivenScan(Path)) {
      std::printf("(c) scan as the window drives it:  %8.1f MB/s (%.3f s)\n", MBps(Bytes, *C), *C);
      std::printf("    ratio c/a (speed):             %8.2f\n", A / *C);
    } else {
      std::printf("(c) scan as the window drives it:  not measured (a build without the window)\n");
    }

    // Peak memory of (b) must not grow with the file.
    std::vector<std::pair<int64_t, std::string>> Peaks;
    if (MiB != 64) {
      const std::string Small = Dir + "/bench64.edf";
      WriteEdf(Small, RecordsFor(64));
      Peaks.emplace_back(64, Small);
    }
    Peaks.emplace_back(MiB, Path);
    std::sort(Peaks.begin(), Peaks.end());
    for (const auto& [Size, File] : Peaks) {
      const TPeak P = MeasurePeak(File);
      std::printf("peak memory of (b), %5lld MiB file: VmHWM %lld KiB after open, %lld KiB after scan\n",
                  static_cast<long long>(Size), static_cast<long long>(P.BeforeKiB),
                  static_cast<long long>(P.AfterKiB));
    }
    return 0;
  } catch (const std::exception& E) {
    std::fprintf(stderr, "minmax_bench: %s\n", E.what());
    return 1;
  }
}
