#include "cli/CheckCommand.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "check/FileCheck.h"
#include "cli/FileList.h"
#include "cli/Progress.h"
#include "cli/ReportJson.h"
#include "cli/ReportText.h"
#include "cli/Summary.h"

#ifndef VELLICOR_VERSION
#define VELLICOR_VERSION "unknown"
#endif

namespace {

constexpr const char* kProgram = "vellicor-check";

// What one entry of the file list prints, and what it adds to the summary.
struct TOutput {
  bool Done = false;
  std::string Out;  // standard output
  std::string Err;  // standard error
  int Status = ExitAllValid;
  TFileStatus Verdict = TFileStatus::Unread;
  std::map<std::string, int64_t> Rules;
};

std::string CannotRead(const std::string& Path, const std::string& Error) {
  return std::string(kProgram) + ": cannot read '" + DisplayName(Path) + "': " + Error + "\n";
}

bool HasSampleFindings(const TFindings& Findings) {
  return std::any_of(Findings.begin(), Findings.end(), [](const TFinding& F) {
    return F.Rule == "samples.digimin" || F.Rule == "samples.digimax";
  });
}

TOutput CheckEntry(const TFileListEntry& E, const TCheckOptions& O, TProgress& Progress) {
  TOutput Out;
  if (!E.Error.empty()) {
    Out.Err = CannotRead(E.Path, E.Error);
    if (O.Json) Out.Out = FormatUnreadJson(E.Path, E.Error);
    Out.Status = ExitCannotRead;
    return Out;
  }
  TCheckRequest Request;
  Request.MinMax = O.MinMax;
  Request.Conformance = O.Conformance || O.ConformanceOnly;
  Request.ConformanceOnly = O.ConformanceOnly;
  Request.SignalViews = O.Json;  // the text form names the signals by their labels alone
  const TFileReport R = CheckFile(E.Path, Request, [&](int Percent) { Progress.Update(E.Path, Percent); });
  if (R.NotRead) return CheckEntry(TFileListEntry{E.Path, R.ReadError}, O, Progress);
  Out.Out = O.Json ? FormatReportJson(R) : FormatReportText(R);
  Out.Verdict = R.Valid() ? TFileStatus::Valid : TFileStatus::Invalid;
  for (const TFinding& F : R.Findings) ++Out.Rules[F.Rule];
  for (const TRuleTotal& T : R.Conformance.Totals) Out.Rules[T.Rule] += T.Total - T.Listed;
  // Judged by conformance alone, the classic verdict does not count.
  const bool ClassicFails = !O.ConformanceOnly && !R.Valid();
  const bool ConformanceFails = R.ConformanceRun && R.Conformance.HasErrors();
  if (R.MinMaxFailed || R.FileChanged)
    Out.Status = ExitCannotRead;
  else if (ClassicFails || ConformanceFails || (O.FailOnSamples && HasSampleFindings(R.Findings)))
    Out.Status = ExitSomeInvalid;
  return Out;
}

int UsageError(const std::string& Message) {
  std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram, Message.c_str(),
               kProgram);
  return ExitCannotRead;
}

// Text to standard output, or the message and status of a report that
// could not be written.
int WriteReport(const std::string& Text, int Status) {
  errno = 0;
  const bool Written = std::fwrite(Text.data(), 1, Text.size(), stdout) == Text.size();
  if (std::fflush(stdout) == 0 && Written) return Status;
  std::fprintf(stderr, "%s: cannot write the report to standard output: %s\n", kProgram,
               std::strerror(errno != 0 ? errno : EIO));
  return ExitCannotRead;
}

bool StartStdThread(std::vector<std::thread>& Threads, std::function<void()> Work) {
  try {
    Threads.emplace_back(std::move(Work));
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace

int RunChecks(const TCheckOptions& O) {
  const std::vector<TFileListEntry> Entries = ExpandPaths(O.Paths, O.Recursive);
  // Only the data record scans take long enough to need a bar.
  TProgress Progress((O.MinMax || O.Conformance || O.ConformanceOnly) && TProgress::StderrIsTerminal());

  // Results are printed in list order as soon as all earlier ones are out,
  // so the output of N workers equals that of one.
  std::vector<TOutput> Outputs(Entries.size());
  std::mutex Lock;
  size_t NextToPrint = 0;
  std::atomic<size_t> NextToCheck{0};
  int Status = ExitAllValid;
  TSummary Summary;
  // The first output that could not be written: nothing more is checked, and
  // the run fails instead of reporting success with its report lost.
  std::atomic<bool> OutputFailed{false};
  int OutputError = 0;

  auto Work = [&] {
    for (size_t i = NextToCheck++; i < Entries.size() && !OutputFailed; i = NextToCheck++) {
      TOutput Result = CheckEntry(Entries[i], O, Progress);
      std::lock_guard<std::mutex> Guard(Lock);
      Outputs[i] = std::move(Result);
      Outputs[i].Done = true;
      for (; NextToPrint < Outputs.size() && Outputs[NextToPrint].Done && !OutputFailed; ++NextToPrint) {
        TOutput& Done = Outputs[NextToPrint];
        errno = 0;
        if ((!Done.Err.empty() && !Progress.Print(stderr, Done.Err)) ||
            (!Done.Out.empty() && !Progress.Print(stdout, Done.Out))) {
          OutputError = errno;
          OutputFailed = true;
        }
        Status = std::max(Status, Done.Status);
        Summary.Add(Done.Verdict, Done.Rules);
        // Printed text is freed at once, so memory stays flat over long runs.
        // Exchanged, not assigned: assigning an empty string keeps the old
        // one's capacity.
        (void)std::exchange(Done, TOutput{});
        Done.Done = true;
      }
    }
  };

  // The calling thread is a worker too, so a run never depends on starting one.
  const size_t Workers = std::min(Entries.size(), static_cast<size_t>(std::max(O.Jobs, 1)));
  std::vector<std::thread> Threads;
  const auto& Start = O.StartThread ? O.StartThread : StartStdThread;
  for (size_t w = 1; w < Workers; ++w)
    if (!Start(Threads, Work)) break;
  Work();
  for (std::thread& t : Threads) t.join();
  Progress.Clear();
  if (O.Summary && !OutputFailed) {
    errno = 0;
    if (!Progress.Print(stdout, O.Json ? FormatSummaryJson(Summary) : FormatSummaryText(Summary))) {
      OutputError = errno;
      OutputFailed = true;
    }
  }
  if (OutputFailed) {
    std::fprintf(stderr, "%s: cannot write the report to standard output: %s\n", kProgram,
                 std::strerror(OutputError != 0 ? OutputError : EIO));
    return ExitCannotRead;
  }
  return Status;
}

int RunSummarize(const std::vector<std::string>& Files, bool Json) {
  TSummary Summary;
  int Status = ExitAllValid;
  for (const std::string& Name : Files) {
    std::ifstream In(Name, std::ios::binary);
    if (!In) {
      std::fputs(CannotRead(Name, "cannot be opened").c_str(), stderr);
      Status = ExitCannotRead;
      continue;
    }
    std::string Line;
    int64_t Number = 0;
    while (std::getline(In, Line)) {
      ++Number;
      if (Line.empty()) continue;
      if (!AddJsonLineToSummary(Line, Summary)) {
        std::fputs((std::string(kProgram) + ": " + DisplayName(Name) + ":" + std::to_string(Number) +
                    ": not a line of vellicor-check --json\n").c_str(), stderr);
        Status = ExitCannotRead;
      }
    }
  }
  if (Summary.Unread() > 0) Status = ExitCannotRead;
  if (Status == ExitAllValid && Summary.Invalid() > 0) Status = ExitSomeInvalid;
  return WriteReport(Json ? FormatSummaryJson(Summary) : FormatSummaryText(Summary), Status);
}

bool GuardStandardStreams() {
  // A closed standard input or error would hand its number to the next file
  // opened, and a report or message could land in it: park them on /dev/null.
  for (int Fd : {STDIN_FILENO, STDERR_FILENO}) {
    if (fcntl(Fd, F_GETFD) != -1) continue;
    const int Null = open("/dev/null", Fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (Null >= 0 && Null != Fd) {
      dup2(Null, Fd);
      close(Null);
    }
  }
  if (fcntl(STDOUT_FILENO, F_GETFD) != -1) return true;
  std::fprintf(stderr, "%s: cannot write the report: standard output is closed\n", kProgram);
  return false;
}

int RunCheckCommand(int argc, char** argv) {
  QCoreApplication::setApplicationName(kProgram);
  QCoreApplication::setApplicationVersion(VELLICOR_VERSION);
  QCommandLineParser Parser;
  Parser.setApplicationDescription(
      "Checks EDF files as the Vellicor window does: prints each file's verdict and one line\n"
      "per finding (severity, rule, place, byte offset and what was expected).\n"
      "Exit status: 0 all files valid, 1 some file invalid, 2 a path could not be read,\n"
      "nothing was found to check, or the usage is wrong.");
  Parser.addPositionalArgument("PATH", "An EDF file, or with -r a folder.", "PATH...");
  const QCommandLineOption Help({"h", "help"}, "Show this help and exit.");
  const QCommandLineOption Version({"v", "version"}, "Show the program's version and exit.");
  const QCommandLineOption Recursive(
      {"r", "recursive"},
      "Check the files ending in .edf or .bdf (any letter case) in each folder PATH and its subfolders.");
  const QCommandLineOption MinMax(
      "minmax", "For files with a valid header, also check every sample against the digital minimum and maximum.");
  const QCommandLineOption FailOnSamples(
      "fail-on-samples", "With --minmax, samples outside the declared range also make the exit status 1.");
  const QCommandLineOption Conformance(
      "conformance",
      "Also check EDF+ / BDF+ conformance (annotations, time-keeping, continuity, identification subfields) of every "
      "file whose records can be read; its errors make the exit status 1.");
  const QCommandLineOption ConformanceOnly(
      "conformance-only",
      "Check conformance and judge the exit status by its findings alone; the classic rules' faults are shown as "
      "warnings.");
  const QCommandLineOption Json("json", "Print one JSON object per file per line (JSON Lines).");
  const QCommandLineOption Summary("summary", "End with the number of files per verdict and of findings per rule.");
  const QCommandLineOption Summarize(
      "summarize", "Read the JSON Lines of earlier --json runs (the PATHs) and print their summary.");
  const QCommandLineOption ListRules("list-rules", "Print every rule with its severity and what it expects.");
  const QCommandLineOption Jobs({"j", "jobs"}, "Check N files at once (default 1).", "N", "1");
  Parser.addOptions({Help, Version, Recursive, MinMax, FailOnSamples, Conformance, ConformanceOnly, Json, Summary,
                     Summarize, ListRules, Jobs});

  // Latin-1 keeps every byte of a path as one character, so a file name that
  // is not valid UTF-8 is still opened by its exact bytes.
  QStringList Args;
  for (int i = 0; i < argc; ++i) Args << QString::fromLatin1(argv[i]);

  if (!Parser.parse(Args)) return UsageError(Parser.errorText().toStdString());
  if (Parser.isSet(Help)) return WriteReport(Parser.helpText().toStdString(), ExitAllValid);
  if (Parser.isSet(Version)) return WriteReport(std::string(kProgram) + " " + VELLICOR_VERSION + "\n", ExitAllValid);
  if (Parser.isSet(ListRules))
    return WriteReport(Parser.isSet(Json) ? FormatRulesJson() : FormatRulesText(), ExitAllValid);

  TCheckOptions O;
  O.Recursive = Parser.isSet(Recursive);
  O.MinMax = Parser.isSet(MinMax);
  O.FailOnSamples = Parser.isSet(FailOnSamples);
  O.Conformance = Parser.isSet(Conformance);
  O.ConformanceOnly = Parser.isSet(ConformanceOnly);
  O.Json = Parser.isSet(Json);
  O.Summary = Parser.isSet(Summary);
  bool JobsOk = false;
  O.Jobs = Parser.value(Jobs).toInt(&JobsOk);
  if (!JobsOk || O.Jobs < 1) return UsageError("invalid number of jobs: '" + Parser.value(Jobs).toStdString() + "'");
  for (const QString& P : Parser.positionalArguments()) O.Paths.push_back(P.toLatin1().toStdString());
  if (O.Paths.empty()) return UsageError("no PATH given");
  if (O.FailOnSamples && !O.MinMax) return UsageError("--fail-on-samples needs --minmax");
  if (Parser.isSet(Summarize)) return RunSummarize(O.Paths, O.Json);
  return RunChecks(O);
}
