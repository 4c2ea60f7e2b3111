#include "cli/CheckCommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

#include "check/MinMaxScan.h"
#include "cli/FileList.h"
#include "cli/Progress.h"
#include "cli/ReportJson.h"
#include "cli/ReportText.h"
#include "edf/uEDF.h"

#ifndef VELLICOR_VERSION
#define VELLICOR_VERSION "unknown"
#endif

namespace {

constexpr const char* kProgram = "vellicor-check";

// What one entry of the file list prints, and where.
struct TOutput {
  bool Done = false;
  bool ToStderr = false;
  std::string Text;
  int Status = ExitAllValid;
};

TOutput CheckEntry(const TFileListEntry& E, const TCheckOptions& O, TProgress& Progress) {
  TOutput out;
  if (!E.Error.empty()) {
    out.ToStderr = true;
    out.Text = std::string(kProgram) + ": cannot read '" + E.Path + "': " + E.Error + "\n";
    out.Status = ExitCannotRead;
    return out;
  }
  const TFileReport R = CheckFile(E.Path, O.MinMax, &Progress);
  out.Text = O.Json ? FormatReportJson(R) : FormatReportText(R);
  if (R.MinMaxFailed) {
    out.Status = ExitCannotRead;
  } else if (!R.Valid()) {
    out.Status = ExitSomeInvalid;
  }
  return out;
}

void RecordError(TFileReport& R, const char* Message) {
  R.OpenFailed = true;
  R.OpenError = Message;
  // Whatever the judgement had shown before the error stays visible, as in
  // the window.
  if (R.Judgement.Signal.InRange) R.Signals = {R.Judgement.Signal};
}

void ScanMinMax(TEDFFile& F, TFileReport& R, TProgress* Progress) {
  try {
    const TMinMaxResult Result =
        ScanDigitalMinMax(F, [&](int /*Record*/, int /*NrRecords*/, int Percent) {
          if (Progress) Progress->Update(R.Path, Percent);
          return true;
        });
    R.MinMaxLines = BuildMinMaxReport(F, Result);
    R.MinMaxRun = true;
  } catch (const std::exception& e) {
    R.MinMaxFailed = true;
    R.MinMaxError = e.what();
  } catch (...) {
    R.MinMaxFailed = true;
    R.MinMaxError = "unknown error";
  }
}

}  // namespace

TFileReport CheckFile(const std::string& Path, bool MinMax, TProgress* Progress) {
  TFileReport R;
  R.Path = Path;
  try {
    // Each file gets its own file object, so workers share nothing but the
    // process-wide format settings, which checking only reads.
    TEDFFile F;
    try {
      F.SetFileName(Path);
      JudgeOpenFile(F, R.Judgement);
      R.Signals = DescribeAllSignals(F);
    } catch (const std::exception& e) {
      RecordError(R, e.what());
      return R;
    }
    if (MinMax && R.Valid()) ScanMinMax(F, R, Progress);
  } catch (const std::exception& e) {
    RecordError(R, e.what());
  } catch (...) {
    RecordError(R, "unknown error");
  }
  return R;
}

int RunChecks(const TCheckOptions& O) {
  const std::vector<TFileListEntry> Entries = ExpandPaths(O.Paths, O.Recursive);
  if (Entries.empty()) {
    std::fprintf(stderr, "%s: no .edf files found\n", kProgram);
    return ExitAllValid;
  }
  // Only the min/max scan takes long enough to need a bar.
  TProgress Progress(O.MinMax && TProgress::StderrIsTerminal());

  // Results are printed in list order as soon as all earlier ones are out,
  // so the output of N workers equals that of one.
  std::vector<TOutput> Outputs(Entries.size());
  std::mutex Lock;
  size_t NextToPrint = 0;
  std::atomic<size_t> NextToCheck{0};
  int Status = ExitAllValid;

  auto Work = [&] {
    for (size_t i = NextToCheck++; i < Entries.size(); i = NextToCheck++) {
      TOutput out = CheckEntry(Entries[i], O, Progress);
      std::lock_guard<std::mutex> guard(Lock);
      Outputs[i] = std::move(out);
      Outputs[i].Done = true;
      for (; NextToPrint < Outputs.size() && Outputs[NextToPrint].Done; ++NextToPrint) {
        TOutput& o = Outputs[NextToPrint];
        Progress.Print(o.ToStderr ? stderr : stdout, o.Text);
        Status = std::max(Status, o.Status);
        o.Text = std::string();
      }
    }
  };

  const size_t Workers = std::min(Entries.size(), static_cast<size_t>(std::max(O.Jobs, 1)));
  if (Workers <= 1) {
    Work();
  } else {
    std::vector<std::thread> Threads;
    for (size_t w = 0; w < Workers; ++w) Threads.emplace_back(Work);
    for (std::thread& t : Threads) t.join();
  }
  Progress.Clear();
  return Status;
}

int RunCheckCommand(int argc, char** argv) {
  QCoreApplication::setApplicationName(kProgram);
  QCoreApplication::setApplicationVersion(VELLICOR_VERSION);
  QCommandLineParser Parser;
  Parser.setApplicationDescription(
      "Checks EDF files as the Vellicor window does: prints each file's verdict, its faulty\n"
      "header fields with the reasons, and the data record layout remarks.\n"
      "Exit status: 0 all files valid, 1 some file invalid, 2 a path could not be read\n"
      "or the usage is wrong.");
  Parser.addPositionalArgument("PATH", "An EDF file, or with -r a folder.", "PATH...");
  const QCommandLineOption HelpOption = Parser.addHelpOption();
  const QCommandLineOption VersionOption = Parser.addVersionOption();
  const QCommandLineOption Recursive(
      {"r", "recursive"}, "Check the files ending in .edf (any letter case) in each folder PATH and its subfolders.");
  const QCommandLineOption MinMax(
      "minmax", "For files with a valid header, also check every sample against the digital minimum and maximum.");
  const QCommandLineOption Json("json", "Print one JSON object per file per line (JSON Lines).");
  const QCommandLineOption Jobs({"j", "jobs"}, "Check N files at once (default 1).", "N", "1");
  Parser.addOptions({Recursive, MinMax, Json, Jobs});

  // Latin-1 keeps every byte of a path as one character, so a file name that
  // is not valid UTF-8 is still opened by its exact bytes.
  QStringList Args;
  for (int i = 0; i < argc; ++i) Args << QString::fromLatin1(argv[i]);

  auto UsageError = [](const QString& Message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram,
                 Message.toLocal8Bit().constData(), kProgram);
    return ExitCannotRead;
  };

  if (!Parser.parse(Args)) return UsageError(Parser.errorText());
  if (Parser.isSet(HelpOption)) {
    const QByteArray Help = Parser.helpText().toLocal8Bit();
    std::fwrite(Help.constData(), 1, static_cast<size_t>(Help.size()), stdout);
    return ExitAllValid;
  }
  if (Parser.isSet(VersionOption)) {
    std::printf("%s %s\n", kProgram, VELLICOR_VERSION);
    return ExitAllValid;
  }

  TCheckOptions O;
  O.Recursive = Parser.isSet(Recursive);
  O.MinMax = Parser.isSet(MinMax);
  O.Json = Parser.isSet(Json);
  bool JobsOk = false;
  O.Jobs = Parser.value(Jobs).toInt(&JobsOk);
  if (!JobsOk || O.Jobs < 1) return UsageError("invalid number of jobs: '" + Parser.value(Jobs) + "'");
  for (const QString& P : Parser.positionalArguments()) O.Paths.push_back(P.toLatin1().toStdString());
  if (O.Paths.empty()) return UsageError("no PATH given");
  return RunChecks(O);
}
