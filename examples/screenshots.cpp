// Takes the screenshots of the documentation: the main window on a valid
// file, on a file with faults, the results window of the min/max check, and
// the results window of the signal-quality check with its map. The files are
// written with the library's own writer; the faults are then typed into the
// header as another program might have left them.
//
//   vellicor-screenshots OUTPUT_FOLDER [QUALITY_EDF]
//       writes valid.png, faulty.png, results.png, quality.png; with
//       QUALITY_EDF also keeps the two-hour recording of quality.png there,
//       for the archive page's screenshot.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>

#include "app/uDialogs.h"
#include "app/uMain.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFSignalInfo.h"
#include "edf/uUnits.h"

namespace {

struct TSignalDesign {
  const char* Label;
  const char* Transducer;
  const char* Dimension;
  double PhysiMin, PhysiMax;
  const char* PreFilter;
  int Samples;
};

constexpr TSignalDesign Signals[] = {
    {"EEG Fpz-Cz", "AgAgCl cup electrode", "uV", -500, 500, "HP:0.5Hz LP:70Hz", 100},
    {"EEG Pz-Oz", "AgAgCl cup electrode", "uV", -500, 500, "HP:0.5Hz LP:70Hz", 100},
    {"EOG horizontal", "AgAgCl cup electrode", "uV", -1000, 1000, "HP:0.5Hz LP:35Hz", 100},
    {"Resp oro-nasal", "Thermistor", "mV", -1, 1, "HP:0.03Hz LP:0.9Hz", 10},
};
constexpr int NrSignals = static_cast<int>(std::size(Signals));
constexpr int Records = 60;
// The header's byte layout, for typing the faults in.
constexpr int VersionAt = 0, StartDateAt = 168, SignalHeadersAt = 256;

double DaysSince1899(std::chrono::sys_days Day, double Hours) {
  using namespace std::chrono;
  return (Day - sys_days(1899y / December / 30)).count() + Hours / 24.0;
}

// A sleep recording of one minute; with Overshoot the respiration channel
// leaves its declared digital range in two places.
void WriteRecording(const QString& Path, bool Overshoot) {
  using namespace std::chrono;
  TEDFFile F;
  F.SetFileName(QFile::encodeName(Path).toStdString());
  F.CreateNew(NrSignals, true);
  TCustomEDFFileInfo& Info = *F.FileInfo();
  Info.SetPatient("MCH-0234567 F 02-MAY-1951 Haagse_Harry");
  Info.SetRecording("Startdate 02-MAR-2002 PSG-1234/2002 NN Telemetry03");
  Info.SetStartDateTime(DaysSince1899(2002y / March / 2, 23.25));
  Info.SetSampleRecDuration(1);
  for (int s = 0; s < NrSignals; ++s) {
    TCustomEDFSignalInfo& S = *F.GetSignal(s);
    S.SetSignalLabel(Signals[s].Label);
    S.SetTransducertype(Signals[s].Transducer);
    S.SetPhysidim(Signals[s].Dimension);
    S.SetPhysimin(Signals[s].PhysiMin);
    S.SetPhysimax(Signals[s].PhysiMax);
    S.SetDigimin(-2048);
    S.SetDigimax(2047);
    S.SetPrefilter(Signals[s].PreFilter);
    S.SetNrSamples(Signals[s].Samples);
  }
  F.WriteHeaders();
  if (!F.Active()) throw std::runtime_error("the recording's header was not accepted");
  for (int r = 0; r < Records; ++r) {
    TDynSmallIntArray& Buffer = *F.GetBuffer();
    for (int s = 0; s < NrSignals; ++s) {
      const TCustomEDFSignalInfo& S = *F.GetSignal(s);
      for (int i = 0; i < S.NrSamples(); ++i) {
        const double T = r + static_cast<double>(i) / S.NrSamples();
        double V = 1500 * std::sin(6.2832 * (s + 1) * 0.7 * T) * std::exp(-0.01 * s * T);
        if (Overshoot && s == 3 && r == 17 && i == 4) V = -2100;
        if (Overshoot && s == 3 && r == 42 && i == 7) V = 2090;
        Buffer[static_cast<size_t>(S.BufferOffset() + i)] = static_cast<int16_t>(std::lround(V));
      }
    }
    F.WriteDataRecord(F.FileInfo()->NrDataRecords());
  }
  F.SetActive(false);
}

// Two hours of a night from 23:15 with what goes wrong in one: bursts driven
// into the EEG amplifier's rail, an electrode that came off for 25 minutes,
// two EOG samples beyond the converter's range, three minutes where every
// channel was filled with zeros after the data were lost, and a last record
// padded with zeros. The SpO2 channel is a percentage: never judged.
void WriteQualityRecording(const QString& Path) {
  using namespace std::chrono;
  struct TDesign {
    const char* Label;
    const char* Dimension;
    double PhysiMin, PhysiMax;
    int Samples;
  };
  static constexpr TDesign Design[] = {{"EEG Fpz-Cz", "uV", -500, 500, 100},
                                       {"EEG Pz-Oz", "uV", -500, 500, 100},
                                       {"EOG horizontal", "uV", -1000, 1000, 100},
                                       {"Resp oro-nasal", "mV", -1, 1, 10},
                                       {"SpO2", "%", 0, 100, 1}};
  constexpr int Seconds = 2 * 3600;
  TEDFFile F;
  F.SetFileName(QFile::encodeName(Path).toStdString());
  F.CreateNew(static_cast<int>(std::size(Design)), true);
  TCustomEDFFileInfo& Info = *F.FileInfo();
  Info.SetPatient("MCH-0234567 F 02-MAY-1951 Haagse_Harry");
  Info.SetRecording("Startdate 02-MAR-2002 PSG-1234/2002 NN Telemetry03");
  Info.SetStartDateTime(DaysSince1899(2002y / March / 2, 23.25));
  Info.SetSampleRecDuration(1);
  for (int s = 0; s < static_cast<int>(std::size(Design)); ++s) {
    TCustomEDFSignalInfo& S = *F.GetSignal(s);
    S.SetSignalLabel(Design[s].Label);
    S.SetTransducertype(s == 4 ? "Finger probe" : "AgAgCl cup electrode");
    S.SetPhysidim(Design[s].Dimension);
    S.SetPhysimin(Design[s].PhysiMin);
    S.SetPhysimax(Design[s].PhysiMax);
    S.SetDigimin(s == 4 ? 0 : -2048);
    S.SetDigimax(s == 4 ? 100 : 2047);
    S.SetNrSamples(Design[s].Samples);
  }
  F.WriteHeaders();
  if (!F.Active()) throw std::runtime_error("the quality recording's header was not accepted");
  uint32_t Noise = 12345;
  for (int r = 0; r < Seconds; ++r) {
    TDynSmallIntArray& Buffer = *F.GetBuffer();
    for (int s = 0; s < static_cast<int>(std::size(Design)); ++s) {
      const TCustomEDFSignalInfo& S = *F.GetSignal(s);
      for (int i = 0; i < S.NrSamples(); ++i) {
        const double T = r + static_cast<double>(i) / S.NrSamples();
        Noise = Noise * 1664525u + 1013904223u;
        double V = 900 * std::sin(6.2832 * (s + 1) * 0.37 * T) + static_cast<double>(Noise >> 24) - 128;
        if (s == 4) V = 97 + ((r / 40) % 4 == 0 ? 3 : (r / 40) % 3);
        const bool Dead = (T >= 6000 && T < 6180) || T >= Seconds - 20;
        if (s == 0 && T >= 2280 && T < 2400 && std::fmod(T, 45) < 0.3) V = 2047;
        if (s == 1 && T >= 3300 && T < 4800) V = 0;
        if (s == 2 && ((r == 2000 && i == 40) || (r == 5200 && i == 71))) V = -2100;
        if (s < 4 && Dead) V = 0;
        Buffer[static_cast<size_t>(S.BufferOffset() + i)] = static_cast<int16_t>(std::lround(V));
      }
    }
    F.WriteDataRecord(F.FileInfo()->NrDataRecords());
  }
  F.SetActive(false);
}

void TypeInto(const QString& Path, qint64 Offset, const QByteArray& Text) {
  QFile File(Path);
  if (!File.open(QIODevice::ReadWrite) || !File.seek(Offset) || File.write(Text) != Text.size())
    throw std::runtime_error("cannot change " + Path.toStdString());
}

// The valid recording with a misplaced version, a date with the wrong
// separators and a first channel whose physical range went missing.
void SpoilRecording(const QString& Path) {
  TypeInto(Path, VersionAt, QByteArrayLiteral(" 0      "));
  TypeInto(Path, StartDateAt, QByteArrayLiteral("02-03-02"));
  const int PhysiMinAt = SignalHeadersAt + NrSignals * (16 + 80 + 8);
  const int PhysiMaxAt = PhysiMinAt + NrSignals * 8;
  TypeInto(Path, PhysiMinAt, QByteArray(8, ' '));
  TypeInto(Path, PhysiMaxAt, QByteArray(8, ' '));
}

// Nothing waits for a person: the results window is photographed while it
// would be on show, and a message box means that something went wrong.
class TCamera final : public IDialogs {
public:
  // The picture of the next window shown.
  QString ResultsPng;
  void ShowMessage(const QString& Text, const QString&, TMsgIcon) override {
    Failure = Text.toStdString();
  }
  std::optional<QString> GetOpenFileName(QWidget*) override { return std::nullopt; }
  int ExecModal(QDialog& Dialog) override {
    Dialog.show();
    QCoreApplication::processEvents();
    Saved = Dialog.grab().save(ResultsPng, "PNG");
    Dialog.hide();
    return QDialog::Accepted;
  }
  bool OpenUrl(const QUrl&) override { return false; }

  std::string Failure;
  bool Saved = false;
};

void Settle() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

bool Photograph(TForm1& Form, const QString& File, const QString& Png) {
  Form.OpenFile(File);
  Settle();
  return Form.grab().save(Png, "PNG");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: vellicor-screenshots OUTPUT_FOLDER [QUALITY_EDF]\n");
    return 2;
  }
  // Screenshots need no screen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  StartUnits();
  int ExitCode = 0;
  try {
    QApplication Application(argc, argv);
    const QDir Out(QString::fromLocal8Bit(argv[1]));
    if (!Out.mkpath(QStringLiteral("."))) throw std::runtime_error("cannot create the output folder");
    QTemporaryDir Work;
    if (!Work.isValid()) throw std::runtime_error("no temporary folder");
    const QString Valid = Work.filePath(QStringLiteral("PSG-1234-2002.edf"));
    const QString Faulty = Work.filePath(QStringLiteral("PSG-1234-2002-damaged.edf"));
    const QString Overshoot = Work.filePath(QStringLiteral("PSG-1234-2002-overshoot.edf"));
    WriteRecording(Valid, false);
    WriteRecording(Faulty, false);
    SpoilRecording(Faulty);
    WriteRecording(Overshoot, true);
    const QString Night =
        argc == 3 ? QString::fromLocal8Bit(argv[2]) : Work.filePath(QStringLiteral("PSG-1234-2002-night.edf"));
    WriteQualityRecording(Night);

    TCamera Camera;
    Camera.ResultsPng = Out.filePath(QStringLiteral("results.png"));
    IDialogs* const Previous = SetDialogsForTesting(&Camera);
    {
      TForm1 Form{QStringList()};
      Form.show();
      Settle();
      if (!Photograph(Form, Valid, Out.filePath(QStringLiteral("valid.png"))) ||
          !Photograph(Form, Faulty, Out.filePath(QStringLiteral("faulty.png"))))
        throw std::runtime_error("cannot save a screenshot");
      Form.OpenFile(Overshoot);
      Settle();
      Form.Checkdigitalminmaxvalues1Click();
      if (!Camera.Saved) throw std::runtime_error("the results window did not show");
      Camera.Saved = false;
      Camera.ResultsPng = Out.filePath(QStringLiteral("quality.png"));
      Form.OpenFile(Night);
      Settle();
      Form.Checksignalquality1Click();
    }
    SetDialogsForTesting(Previous);
    if (!Camera.Failure.empty()) throw std::runtime_error("the window said: " + Camera.Failure);
    if (!Camera.Saved) throw std::runtime_error("the quality window did not show");
  } catch (const std::exception& Error) {
    std::fprintf(stderr, "vellicor-screenshots: %s\n", Error.what());
    ExitCode = 1;
  }
  StopUnits();
  return ExitCode;
}
