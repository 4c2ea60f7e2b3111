#include "anonymize/AnonymizeCommand.h"

#include <unistd.h>

#include <charconv>
#include <string>
#include <vector>

#include "anonymize/AnonymizeBatch.h"
#include "anonymize/AnonymizeFile.h"
#include "check/Finding.h"
#include "check/PrivacyTokens.h"
#include "repair/CopyArguments.h"
#include "repair/CopyBatch.h"
#include "support/CommandLine.h"
#include "support/CommandStreams.h"

#ifndef VELLICOR_VERSION
#define VELLICOR_VERSION "unknown"
#endif

namespace {

constexpr const char* kProgram = "vellicor-anonymize";

constexpr const char* kHelp =
    "Usage: vellicor-anonymize [options] IN OUT\n"
    "       vellicor-anonymize -r [options] IN_DIR OUT_DIR\n"
    "Writes a de-identified copy of the EDF or BDF file IN to OUT. The patient field becomes\n"
    "X X X X, the recording field Startdate X X X X, StartDate the anonymous day 01.01.85;\n"
    "in EDF+ and BDF+ files every part of the patient's name, the patient code, the\n"
    "administration code and every word of the --phi-words list is overwritten with X in\n"
    "the annotation texts, byte for byte, so onsets and the record layout stay as they are.\n"
    "Samples, signal headers, the start time and everything else are copied unchanged.\n"
    "The plan names each change by place, byte and length, never the identifying text.\n"
    "Before the copy takes OUT's name it is judged again: it must have no finding the\n"
    "original had not, and nothing identifying but what the options keep; else it is\n"
    "removed. IN is only ever read; OUT must not be IN, and an existing OUT must be a\n"
    "regular file (it is replaced).\n"
    "\n"
    "Options:\n"
    "  --keep-sex          Keep the sex subfield (M or F).\n"
    "  --keep-age          Keep the age in whole years: the birthdate becomes 01-JAN of the\n"
    "                      copy's start year minus the age at the recording.\n"
    "  --keep-equipment    Keep the recording's equipment subfield.\n"
    "  --shift-days N      Move StartDate and the recording's date N days back (forward when\n"
    "                      negative) instead of making them 01.01.85; refused when the day\n"
    "                      leaves 1985..2084. The same N keeps one person's files in step.\n"
    "  --clear-time        Set StartTime to 00.00.00.\n"
    "  --phi-words FILE    Also overwrite these words and phrases in annotation texts (UTF-8,\n"
    "                      one a line): names that the header does not hold.\n"
    "  --header-only       Copy a file whose annotation texts cannot be searched (its records\n"
    "                      cannot be read), with a warning, the texts as they are.\n"
    "  --dry-run           Print the plan only; OUT may be left out.\n"
    "  --json              Print the plan and the outcome as one JSON object (-r: one line\n"
    "                      per file).\n"
    "  -h, --help          Show this help and exit.\n"
    "  -v, --version       Show the program's version and exit.\n"
    "\n";

constexpr const char* kHelpExit =
    "\n"
    "Exit status: 0 the copy was written, or there was nothing to change (then nothing is\n"
    "written); 1 refused (a shift out of range, records that cannot be read, a name for OUT\n"
    "that identifies the person) or the copy failed its second judgement, nothing written;\n"
    "2 wrong usage, IN unreadable, OUT not writable, IN changed during the copy, or the\n"
    "report could not be written. With -r: 0 every file was written, copied, listed or\n"
    "left as it was; 1 some file was refused; 2 some path could not be read or written\n"
    "(2 wins over 1).\n";

struct TOptions : TCopyArguments {
  TAnonymizeOptions Anonymize;
};

// A one-line progress note on standard error while the records are read,
// drawn only on a terminal so that logs stay clean. It names the stage,
// never the file: a file's name may be the person's.
class TProgressLine {
public:
  TProgressLine() : FEnabled(::isatty(STDERR_FILENO) == 1) {}
  ~TProgressLine() { Clear(); }
  TProgressLine(const TProgressLine&) = delete;
  TProgressLine& operator=(const TProgressLine&) = delete;

  void Show(TAnonymizeStage Stage, int64_t Done, int64_t Total) {
    if (!FEnabled || Total <= 0) return;
    const int Percent = static_cast<int>(Done * 100 / Total);
    if (Percent == FPercent && Stage == FStage) return;
    FPercent = Percent;
    FStage = Stage;
    const std::string Text = std::string(kProgram) + ": " +
                             (Stage == TAnonymizeStage::Planning ? "reading the records" : "judging the copy") +
                             " " + std::to_string(Percent) + "%";
    WriteText(stderr, "\r" + Text + std::string(FWidth > Text.size() ? FWidth - Text.size() : 0, ' '));
    FWidth = Text.size();
  }
  void Clear() {
    if (FWidth == 0) return;
    std::string Wipe(FWidth + 2, ' ');
    Wipe.front() = Wipe.back() = '\r';
    WriteText(stderr, Wipe);
    FWidth = 0;
    FPercent = -1;
  }

private:
  bool FEnabled;
  int FPercent = -1;
  TAnonymizeStage FStage = TAnonymizeStage::Planning;
  size_t FWidth = 0;
};

int UsageError(const std::string& Message) { return ::UsageError(kProgram, Message, ExitAnonymizeError); }

// A whole number of days, "+" allowed; 0 is no shift at all but the real day kept.
bool ParseDays(const std::string& Text, int64_t& Days) {
  const char* Begin = Text.data() + (Text.size() > 1 && Text[0] == '+' ? 1 : 0);
  const char* End = Text.data() + Text.size();
  const auto [Ptr, Ec] = std::from_chars(Begin, End, Days);
  return Ec == std::errc() && Ptr == End && Days != 0;
}

int Run(const TOptions& O) {
  TAnonymizeFileJob Job;
  Job.In = O.Paths[0];
  Job.Out = O.Paths.size() > 1 ? O.Paths[1] : "";
  Job.Options = O.Anonymize;
  Job.DryRun = O.DryRun;
  // A report appended to IN (">> IN") would change the file this program
  // promises only to read.
  if (StandardOutputIs(Job.In))
    return UsageError("standard output is IN '" + DisplayName(Job.In) + "' itself: the report would change it");

  TStdoutReport Report(kProgram, ExitAnonymizeError);
  TProgressLine Progress;
  Job.Progress = [&Progress](TAnonymizeStage Stage, int64_t Done, int64_t Total) {
    Progress.Show(Stage, Done, Total);
  };
  // The plan is out before the copy is written: a report that cannot be
  // written stops the run with nothing written.
  if (!O.Json)
    Job.OnPlan = [&](const std::vector<std::string>& Lines) {
      Progress.Clear();
      std::string Text;
      for (const std::string& Line : Lines) Text += Line + "\n";
      return Report.Print(Text);
    };
  const TAnonymizeFileResult R = AnonymizeFile(Job);
  Progress.Clear();
  if (R.Stopped) return Report.Fail("; nothing written");
  if (O.Json)
    Report.Print(R.Json);
  else if (!R.OutcomeLine.empty())
    Report.Print(R.OutcomeLine + "\n");
  if (!R.Error.empty()) WriteText(stderr, std::string(kProgram) + ": " + R.Error + "\n");
  if (Report.Lost())
    return Report.Fail(R.Outcome == TAnonymizeOutcome::Written ? "; the copy '" + DisplayName(Job.Out) + "' was written"
                                                               : "");
  return R.Status;
}

// Takes the de-identifying options of Argv[I]; see TCopyProgram.
bool TakeOption(int Argc, char** Argv, int& I, std::string& Error, TAnonymizeOptions& O) {
  const std::string A = Argv[I];
  std::string Value;
  if (A == "--keep-sex") {
    O.KeepSex = true;
  } else if (A == "--keep-age") {
    O.KeepAge = true;
  } else if (A == "--keep-equipment") {
    O.KeepEquipment = true;
  } else if (A == "--clear-time") {
    O.ClearTime = true;
  } else if (A == "--header-only") {
    O.HeaderOnly = true;
  } else if (TakeOptionValue(Argc, Argv, I, "--shift-days", "", Value, Error)) {
    int64_t Days = 0;
    if (!Error.empty() || !ParseDays(Value, Days))
      Error = "--shift-days needs a whole number of days other than 0" +
              (Error.empty() ? ", not '" + DisplayName(Value) + "'" : std::string());
    else
      O.ShiftDays = Days;
  } else if (TakeOptionValue(Argc, Argv, I, "--phi-words", "", Value, Error)) {
    // The error names the line, never its text: the words are what must not leak.
    if (!Error.empty())
      Error = "--phi-words needs a file of words";
    else if (!ReadPhiWords(Value, O.PhiWords, Error))
      Error = "the word list '" + DisplayName(Value) + "': " + Error;
  } else {
    return false;
  }
  return true;
}

}  // namespace

int RunAnonymizeCommand(int argc, char** argv) {
  if (!GuardStandardStreams(kProgram)) return ExitAnonymizeError;
  TOptions O;
  const TCopyProgram Program{kProgram, kHelp, kHelpExit, VELLICOR_VERSION, ExitAnonymizeError,
                             [&O](int Argc, char** Argv, int& I, std::string& Error) {
                               return TakeOption(Argc, Argv, I, Error, O.Anonymize);
                             }};
  if (const int Status = ReadCopyArguments(argc, argv, Program, O); Status >= 0) return Status;
  if (O.Batch.Recursive)
    return RunCopyBatch(O.Batch, [&O](const std::string& In, const std::string& Out) {
      return PlanAnonymizeBatchFile(In, Out, O.Anonymize);
    });
  return Run(O);
}
