#include "cli/CheckCommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <cstdio>
#include <map>
#include <utility>

#include "check/FileCheck.h"
#include "cli/FileList.h"
#include "cli/Progress.h"
#include "cli/ReportJson.h"
#include "cli/ReportText.h"
#include "cli/Summary.h"
#include "report/JsonLines.h"
#include "report/PageFile.h"
#include "report/ReportPage.h"
#include "support/CommandStreams.h"
#include "support/OrderedWork.h"

#ifndef VELLICOR_VERSION
#define VELLICOR_VERSION "unknown"
#endif

namespace {

constexpr const char* kProgram = "vellicor-check";

// A worker checks at most this many files per worker ahead of the printer:
// one slow file at the head of the list holds the rest back instead of
// piling up their reports.
constexpr size_t CheckAheadPerWorker = 4;

// What one entry of the file list prints, and what it adds to the summary.
struct TOutput {
  std::string Out;  // standard output
  std::string Err;  // standard error
  std::string Line;  // the JSON line, for the archive page
  int Status = ExitAllValid;
  TFileStatus Verdict = TFileStatus::Unread;
  std::map<std::string, int64_t> Rules;
};

std::string CannotRead(const std::string& Path, const std::string& Error) {
  return std::string(kProgram) + ": cannot read '" + DisplayName(Path) + "': " + Error + "\n";
}

int ExitStatusOf(TFileOutcome Outcome) {
  switch (Outcome) {
    case TFileOutcome::Valid: return ExitAllValid;
    case TFileOutcome::Invalid: return ExitSomeInvalid;
    case TFileOutcome::CannotRead: break;
  }
  return ExitCannotRead;
}

TOutput CheckEntry(const TFileListEntry& E, const TCheckOptions& O, TProgress& Progress) {
  TOutput Out;
  if (!E.Error.empty()) {
    Out.Err = CannotRead(E.Path, E.Error);
    if (O.Json || !O.Html.empty()) Out.Line = FormatUnreadJson(E.Path, E.Error);
    if (O.Json) Out.Out = O.Html.empty() ? std::move(Out.Line) : Out.Line;
    Out.Status = ExitCannotRead;
    return Out;
  }
  TCheckRequest Request;
  Request.MinMax = O.MinMax;
  Request.Conformance = O.Conformance || O.ConformanceOnly;
  Request.ConformanceOnly = O.ConformanceOnly;
  Request.FailOnSamples = O.FailOnSamples;
  Request.Quality = O.Quality;
  Request.QualityOptions = O.QualityOptions;
  Request.FailOnQuality = O.FailOnQuality;
  Request.Privacy = O.Privacy;
  Request.RequireDeidentified = O.RequireDeidentified;
  Request.PhiWords = O.PhiWords;
  // The text form names the signals by their labels alone; the JSON line,
  // which the page is built from, lists their fields.
  Request.SignalViews = O.Json || !O.Html.empty();
  const TFileReport R = CheckFile(E.Path, Request, [&](int Percent) { Progress.Update(E.Path, Percent); });
  if (R.NotRead) return CheckEntry(TFileListEntry{E.Path, R.ReadError}, O, Progress);
  if (O.Json || !O.Html.empty()) Out.Line = FormatReportJson(R);
  Out.Out = !O.Json ? FormatReportText(R) : O.Html.empty() ? std::move(Out.Line) : Out.Line;
  Out.Verdict = R.Valid() ? TFileStatus::Valid : TFileStatus::Invalid;
  for (const TFinding& F : R.Findings) ++Out.Rules[F.Rule];
  for (const TRuleTotal& T : R.Conformance.Totals) Out.Rules[T.Rule] += T.Total - T.Listed;
  for (const TRuleTotal& T : R.Quality.Totals) Out.Rules[T.Rule] += T.Total - T.Listed;
  for (const TRuleTotal& T : R.Privacy.Totals) Out.Rules[T.Rule] += T.Total - T.Listed;
  Out.Status = ExitStatusOf(R.Outcome);
  return Out;
}

int UsageError(const std::string& Message) { return ::UsageError(kProgram, Message, ExitCannotRead); }

// Text as the whole report: Status, or the status of a report that was lost.
int WriteReport(const std::string& Text, int Status) {
  TStdoutReport Report(kProgram, ExitCannotRead);
  return Report.Print(Text) ? Status : Report.Fail();
}

// The archive page, or why it could not be written (then the run fails).
int WritePage(const TReportPage& Page, const std::string& Path, int Status) {
  const std::string Error = WritePageFile(Path, Page.Html(PageTimeNow(), std::string(kProgram) + " " + VELLICOR_VERSION));
  if (Error.empty()) return Status;
  std::fprintf(stderr, "%s: cannot write the page '%s': %s\n", kProgram, DisplayName(Path).c_str(), Error.c_str());
  return ExitCannotRead;
}

// Refuses a page path that cannot be written before any work is done.
bool PageTargetOk(const std::string& Path, const std::vector<std::string>& Inputs) {
  if (Path.empty()) return true;
  const std::string Problem = PageTargetProblem(Path, Inputs);
  if (Problem.empty()) return true;
  std::fprintf(stderr, "%s: cannot write the page '%s': %s\n", kProgram, DisplayName(Path).c_str(), Problem.c_str());
  return false;
}

// --quality and its thresholds: added to the parser, then read into the
// options, each threshold a positive number and only with --quality.
class TQualityArguments {
public:
  void AddTo(QCommandLineParser& Parser) const {
    Parser.addOptions({FQuality, FFlatSeconds, FClipSamples, FTailSeconds, FDeadSeconds, FEpoch, FFailOnQuality});
  }
  // The usage error, or "".
  std::string ReadInto(const QCommandLineParser& Parser, TCheckOptions& O) const {
    O.Quality = Parser.isSet(FQuality);
    O.FailOnQuality = Parser.isSet(FFailOnQuality);
    const std::pair<const QCommandLineOption*, double*> Seconds[] = {{&FFlatSeconds, &O.QualityOptions.FlatSeconds},
                                                                     {&FTailSeconds, &O.QualityOptions.TailSeconds},
                                                                     {&FDeadSeconds, &O.QualityOptions.DeadSeconds},
                                                                     {&FEpoch, &O.QualityOptions.EpochSeconds}};
    for (const auto& [Option, Value] : Seconds) {
      if (!Parser.isSet(*Option)) continue;
      const std::string Name = "--" + Option->names().first().toStdString();
      if (!O.Quality) return Name + " needs --quality";
      const std::optional<double> V = NumberOf(Parser.value(*Option));
      if (!V || *V <= 0)
        return "invalid number of seconds for " + Name + ": '" + Parser.value(*Option).toStdString() + "'";
      *Value = *V;
    }
    if (Parser.isSet(FClipSamples)) {
      if (!O.Quality) return "--clip-samples needs --quality";
      const std::optional<double> V = NumberOf(Parser.value(FClipSamples));
      if (!V || *V < 1 || *V != std::floor(*V) || *V > 1e15)
        return "invalid number of samples for --clip-samples: '" + Parser.value(FClipSamples).toStdString() + "'";
      O.QualityOptions.ClipSamples = static_cast<int64_t>(*V);
    }
    if (O.FailOnQuality && !O.Quality) return "--fail-on-quality needs --quality";
    return "";
  }

private:
  // The whole text as a number: "10", "0.5"; not "", "1s", "nan".
  static std::optional<double> NumberOf(const QString& Text) {
    const std::string T = Text.toStdString();
    double V = 0;
    const auto [End, Error] = std::from_chars(T.data(), T.data() + T.size(), V);
    if (T.empty() || Error != std::errc() || End != T.data() + T.size() || !std::isfinite(V)) return std::nullopt;
    return V;
  }
  static QString Default(double V) { return " (default " + QString::number(V) + ")."; }

  const TQualityOptions FDefaults;
  const QCommandLineOption FQuality{
      "quality",
      "Also judge the recording itself: flat lines, clipped runs and constant signals, padded tails and dead "
      "stretches (warnings, each with its place in time and bytes), and per signal the usable share of epochs and an "
      "epoch map."};
  const QCommandLineOption FFlatSeconds{
      "flat-seconds", "With --quality, a flat line lasts at least S seconds" + Default(FDefaults.FlatSeconds), "S"};
  const QCommandLineOption FClipSamples{"clip-samples",
                                        "With --quality, a clipped run holds at least N samples at a digital limit" +
                                            Default(static_cast<double>(FDefaults.ClipSamples)),
                                        "N"};
  const QCommandLineOption FTailSeconds{
      "tail-seconds", "With --quality, a padded tail lasts at least S seconds" + Default(FDefaults.TailSeconds), "S"};
  const QCommandLineOption FDeadSeconds{
      "dead-seconds", "With --quality, a dead stretch lasts at least S seconds" + Default(FDefaults.DeadSeconds), "S"};
  const QCommandLineOption FEpoch{
      "epoch",
      "With --quality, the epoch of the usable share and the map, in seconds" + Default(FDefaults.EpochSeconds), "S"};
  const QCommandLineOption FFailOnQuality{"fail-on-quality",
                                          "With --quality, quality warnings also make the exit status 1."};
};

}  // namespace

int RunChecks(const TCheckOptions& O) {
  const std::vector<TFileListEntry> Entries = ExpandPaths(O.Paths, O.Recursive);
  std::vector<std::string> Inputs;
  for (const TFileListEntry& E : Entries) Inputs.push_back(E.Path);
  if (!PageTargetOk(O.Html, Inputs)) return ExitCannotRead;
  TReportPage Page;
  // Only the data record scans take long enough to need a bar.
  TProgress Progress((O.MinMax || O.Conformance || O.ConformanceOnly || O.Quality || O.Privacy) &&
                     TProgress::StderrIsTerminal());
  TStdoutReport Report(kProgram, ExitCannotRead);
  int Status = ExitAllValid;
  TSummary Summary;
  // Results are printed in list order as soon as all earlier ones are out,
  // so the output of N workers equals that of one. The first output that
  // could not be written ends the run: nothing more is checked, and the run
  // fails instead of reporting success with its report lost.
  const size_t Workers = static_cast<size_t>(std::max(O.Jobs, 1));
  RunInOrder<TOutput>(
      Entries.size(), Workers, CheckAheadPerWorker * Workers,
      [&](size_t i) { return CheckEntry(Entries[i], O, Progress); },
      [&](size_t, TOutput& Done) {
        errno = 0;
        if (!Done.Err.empty() && !Report.Wrote(Progress.Print(stderr, Done.Err))) return false;
        errno = 0;
        if (!Done.Out.empty() && !Report.Wrote(Progress.Print(stdout, Done.Out))) return false;
        Status = std::max(Status, Done.Status);
        Summary.Add(Done.Verdict, Done.Rules);
        if (!O.Html.empty()) Page.AddLine(Done.Line);
        return true;
      },
      O.StartThread);
  Progress.Clear();
  if (O.Summary && !Report.Lost()) {
    errno = 0;
    Report.Wrote(Progress.Print(stdout, O.Json ? FormatSummaryJson(Summary) : FormatSummaryText(Summary)));
  }
  if (Report.Lost()) return Report.Fail();
  return O.Html.empty() ? Status : WritePage(Page, O.Html, Status);
}

int RunSummarize(const std::vector<std::string>& Files, bool Json, const std::string& Html) {
  if (!PageTargetOk(Html, Files)) return ExitCannotRead;
  TSummary Summary;
  TReportPage Page;
  int Status = ExitAllValid;
  const auto Fault = [&](const std::string& Message) {
    WriteText(stderr, Message);
    Status = ExitCannotRead;
  };
  // The files read so far: the page counts its rows, the summary its files.
  const auto Results = [&] { return Html.empty() ? Summary.Files() : static_cast<int64_t>(Page.Files()); };
  for (const std::string& Name : Files) {
    const int64_t Before = Results();
    const std::string Error = ForEachLine(Name, [&](std::string_view Line, int64_t Number, bool TooLong) {
      if (Line.empty() && !TooLong) return;
      // The page reads each line for its own summary, the same reading.
      if (!TooLong && (Html.empty() ? AddJsonLineToSummary(Line, Summary) : Page.AddLine(Line))) return;
      Fault(std::string(kProgram) + ": " + DisplayName(Name) + ":" + std::to_string(Number) + ": " +
            (TooLong ? "a line longer than " + std::to_string(MaxJsonLineBytes >> 20) + " MiB is " : "") +
            "not a line of vellicor-check --json\n");
    });
    // Nothing read is no success: an empty or lost part of a run must not
    // pass for a part without faults.
    if (!Error.empty())
      Fault(CannotRead(Name, Error));
    else if (Results() == Before)
      Fault(CannotRead(Name, "no line of vellicor-check --json in it"));
  }
  if (!Html.empty()) Summary = Page.Summary();
  if (Summary.Unread() > 0) Status = ExitCannotRead;
  if (Status == ExitAllValid && Summary.Invalid() > 0) Status = ExitSomeInvalid;
  Status = WriteReport(Json ? FormatSummaryJson(Summary) : FormatSummaryText(Summary), Status);
  return Html.empty() ? Status : WritePage(Page, Html, Status);
}

int RunCheckCommand(int argc, char** argv) {
  QCoreApplication::setApplicationName(kProgram);
  QCoreApplication::setApplicationVersion(VELLICOR_VERSION);
  QCommandLineParser Parser;
  Parser.setApplicationDescription(
      "Checks EDF and BDF files as the Vellicor window does: prints each file's verdict and one\n"
      "line per finding (severity, rule, place, byte offset and what was expected).\n"
      "Exit status: 0 all files valid, 1 some file invalid, 2 a path or the data records its\n"
      "header and size promise could not be read, nothing was found to check, or the usage is wrong.");
  Parser.addPositionalArgument("PATH", "An EDF or BDF file, or with -r a folder.", "PATH...");
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
  // The privacy audit: its options, and their reading below.
  const QCommandLineOption Privacy(
      "privacy",
      "Also look for identifying data (patient and recording identification, the day of the recording, EDF+ "
      "annotation texts, the file name): warnings that give place, byte and length, never the text. No output then "
      "holds the Patient, Recording or StartDate texts or annotation excerpts.");
  const QCommandLineOption RequireDeidentified(
      "require-deidentified", "Make the findings of --privacy (implied) errors: they make the exit status 1.");
  const QCommandLineOption PhiWords(
      "phi-words",
      "With --privacy (implied), also look for the words and phrases of FILE in annotation texts and file names "
      "(UTF-8, one a line).",
      "FILE");
  const QCommandLineOption Json("json", "Print one JSON object per file per line (JSON Lines).");
  const QCommandLineOption Summary("summary", "End with the number of files per verdict and of findings per rule.");
  const QCommandLineOption Summarize(
      "summarize", "Read the JSON Lines of earlier --json runs (the PATHs) and print their summary.");
  const QCommandLineOption Html(
      "html",
      "Also write one self-contained web page of the whole run to FILE: tiles, rules, every file with its findings, "
      "header fields and quality map (with --summarize: of all the JSON Lines read).",
      "FILE");
  const QCommandLineOption ListRules("list-rules", "Print every rule with its severity and what it expects.");
  const QCommandLineOption Jobs({"j", "jobs"}, "Check N files at once (default 1).", "N", "1");
  Parser.addOptions({Help, Version, Recursive, MinMax, FailOnSamples, Conformance, ConformanceOnly});
  const TQualityArguments QualityArguments;
  QualityArguments.AddTo(Parser);
  Parser.addOptions({Privacy, RequireDeidentified, PhiWords, Json, Summary, Summarize, Html, ListRules, Jobs});

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
  O.RequireDeidentified = Parser.isSet(RequireDeidentified);
  O.Privacy = Parser.isSet(Privacy) || O.RequireDeidentified || Parser.isSet(PhiWords);
  if (Parser.isSet(PhiWords)) {
    const std::string File = Parser.value(PhiWords).toLatin1().toStdString();
    std::vector<std::string> Words;
    std::string Error;
    if (File.empty()) return UsageError("--phi-words needs a file of words");
    // The error names the line, never its text: the words are what must not leak.
    if (!ReadPhiWords(File, Words, Error)) return UsageError("the word list '" + DisplayName(File) + "': " + Error);
    for (const std::string& W : Words) O.PhiWords.Add(W, TTokenKind::UserWord);
  }
  O.Json = Parser.isSet(Json);
  O.Summary = Parser.isSet(Summary);
  O.Html = Parser.value(Html).toLatin1().toStdString();
  if (Parser.isSet(Html) && O.Html.empty()) return UsageError("--html needs a file name");
  bool JobsOk = false;
  O.Jobs = Parser.value(Jobs).toInt(&JobsOk);
  if (!JobsOk || O.Jobs < 1) return UsageError("invalid number of jobs: '" + Parser.value(Jobs).toStdString() + "'");
  for (const QString& P : Parser.positionalArguments()) O.Paths.push_back(P.toLatin1().toStdString());
  if (O.Paths.empty()) return UsageError("no PATH given");
  if (O.FailOnSamples && !O.MinMax) return UsageError("--fail-on-samples needs --minmax");
  if (const std::string Error = QualityArguments.ReadInto(Parser, O); !Error.empty()) return UsageError(Error);
  if (Parser.isSet(Summarize)) return RunSummarize(O.Paths, O.Json, O.Html);
  return RunChecks(O);
}
