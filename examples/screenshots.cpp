// Takes the screenshots of the documentation: the main window on a valid
// file, on a file with faults, and the results window of the min/max check.
// The files are written with the library's own writer; the faults are then
// typed into the header as another program might have left them.
//
//   vellicor-screenshots OUTPUT_FOLDER     writes valid.png, faulty.png, results.png
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
  explicit TCamera(QString ResultsPng) : FResultsPng(std::move(ResultsPng)) {}
  void ShowMessage(const QString& Text, const QString&, TMsgIcon) override {
    Failure = Text.toStdString();
  }
  std::optional<QString> GetOpenFileName(QWidget*) override { return std::nullopt; }
  int ExecModal(QDialog& Dialog) override {
    Dialog.show();
    QCoreApplication::processEvents();
    Saved = Dialog.grab().save(FResultsPng, "PNG");
    Dialog.hide();
    return QDialog::Accepted;
  }
  bool OpenUrl(const QUrl&) override { return false; }

  std::string Failure;
  bool Saved = false;

private:
  QString FResultsPng;
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
  if (argc != 2) {
    std::fprintf(stderr, "usage: vellicor-screenshots OUTPUT_FOLDER\n");
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

    TCamera Camera(Out.filePath(QStringLiteral("results.png")));
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
    }
    SetDialogsForTesting(Previous);
    if (!Camera.Failure.empty()) throw std::runtime_error("the window said: " + Camera.Failure);
    if (!Camera.Saved) throw std::runtime_error("the results window did not show");
  } catch (const std::exception& Error) {
    std::fprintf(stderr, "vellicor-screenshots: %s\n", Error.what());
    ExitCode = 1;
  }
  StopUnits();
  return ExitCode;
}
