#include "repair/RepairCommand.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "repair/CopyArguments.h"
#include "repair/CopyBatch.h"
#include "repair/RepairCopy.h"
#include "repair/RepairPlan.h"
#include "repair/RepairReport.h"
#include "support/CommandStreams.h"

#ifndef VELLICOR_VERSION
#define VELLICOR_VERSION "unknown"
#endif

namespace {

constexpr const char* kProgram = "vellicor-repair";

constexpr const char* kHelp =
    "Usage: vellicor-repair [options] IN OUT\n"
    "       vellicor-repair -r [options] IN_DIR OUT_DIR\n"
    "Writes a repaired copy of the EDF or BDF file IN to OUT. Only faults with exactly one\n"
    "right answer are repaired (a record count that disagrees with the file size, a cut\n"
    "last record, other date separators than '.', leading blanks, a decimal comma, a wrong\n"
    "HeaderBytes, junk after the version or in a plain EDF file's reserved field; in EDF+\n"
    "and BDF+, an annotation signal's transducer, dimension and prefilter and a signal's\n"
    "reserved field made blank, Startdate and the month of a date in their letter case, a\n"
    "plain BDF's blank reserved field made 24BIT); every other fault, of the header or of\n"
    "the EDF+ layer, is left as found, with the reason. IN is only ever read. OUT is made in\n"
    "its folder and takes its name only when complete and judged again; it must not be\n"
    "IN, and an existing OUT must be a regular file (it is replaced). The copy gets IN's\n"
    "permission bits, less those the umask takes away.\n"
    "\n"
    "Options:\n"
    "  --dry-run   Print the plan only; OUT may be left out.\n"
    "  --partial   Write the certain repairs even when other faults are left as found.\n"
    "  --json      Print the plan and the outcome as one JSON object (-r: one line per file).\n"
    "  -h, --help  Show this help and exit.\n"
    "  -v, --version  Show the program's version and exit.\n"
    "\n";

constexpr const char* kHelpExit =
    "\n"
    "Exit status: 0 the copy was written, or there was nothing to repair (then nothing is\n"
    "written); 1 some fault has no single right repair, nothing written; 2 wrong usage, a\n"
    "file could not be read or written, IN changed during the copy (nothing written), or\n"
    "the report could not be written. With -r: 0 every file was written, copied, listed or\n"
    "left as it was; 1 some file was refused; 2 some path could not be read or written\n"
    "(2 wins over 1).\n";

struct TOptions : TCopyArguments {
  bool Partial = false;
};

int UsageError(const std::string& Message) { return ::UsageError(kProgram, Message, ExitRepairError); }

std::string Count(size_t N, const char* Noun) { return std::to_string(N) + " " + Noun + (N == 1 ? "" : "s"); }

// "2 changes, 1 fault left as found": what a written copy holds.
std::string ChangesPhrase(const TRepairPlan& Plan) {
  return Count(Plan.Changes.size(), "change") +
         (Plan.Complete() ? "" : ", " + Count(Plan.Refusals.size(), "fault") + " left as found");
}

// Why a plan gives no copy, and what --partial would write.
std::string RefusalPhrase(const TRepairPlan& Plan) {
  return Count(Plan.Refusals.size(), "fault") + " without a single right repair";
}
std::string PartialHint(const TRepairPlan& Plan) {
  return Plan.Changes.empty() ? "" : " (--partial writes the " + Count(Plan.Changes.size(), "change") + " alone)";
}

// One file of a -r run: the plan's lines and JSON keys, and its copy.
TBatchPlan PlanForBatch(const std::string& In, bool Partial) {
  const auto Plan = std::make_shared<const TRepairPlan>(PlanRepair(In));
  TBatchPlan B;
  B.Job.Source = {Plan->Path, Plan->InputSize, -1, Plan->InputHead};
  const std::vector<std::string> Lines = FormatPlanLines(*Plan);
  B.Details.assign(Lines.begin() + 1, Lines.end());
  B.JsonKeys = FormatPlanJsonKeys(*Plan);
  if (Plan->NothingToRepair()) return B;
  if (Plan->Changes.empty() || (!Plan->Complete() && !Partial)) {
    B.Decision = TBatchDecision::Refused;
    B.Summary = RefusalPhrase(*Plan) + PartialHint(*Plan);
    return B;
  }
  B.Decision = TBatchDecision::Copy;
  B.Summary = ChangesPhrase(*Plan);
  B.Job = RepairCopyJob(*Plan);
  // The job's check of the copy reads the plan: it lives as long as the job.
  B.Job.Verify = [Plan, Verify = std::move(B.Job.Verify)](const std::string& Copy) { return Verify(Copy); };
  return B;
}

// The last line of the text output.
std::string OutcomeLine(const TRepairPlan& Plan, TRepairOutcome Outcome, const std::string& Out,
                        const TOptions& O) {
  const std::string Changes = Count(Plan.Changes.size(), "change");
  switch (Outcome) {
    case TRepairOutcome::NothingToRepair: return "nothing to repair: nothing written\n";
    case TRepairOutcome::Written:
      return "wrote " + DisplayName(Out) + " (" + std::to_string(Plan.OutputSize) + " bytes): " + ChangesPhrase(Plan) +
             "\n";
    case TRepairOutcome::Refused:
      return "refused: " + RefusalPhrase(Plan) + "; nothing written" + PartialHint(Plan) + "\n";
    case TRepairOutcome::DryRun:
      return std::string("dry run: nothing written; ") +
             (Plan.Changes.empty() || (!Plan.Complete() && !O.Partial) ? "the copy would be refused"
                                                                       : "the copy would hold " + Changes) +
             "\n";
    case TRepairOutcome::Failed: break;
  }
  return "";
}

int Run(const TOptions& O) {
  const std::string& In = O.Paths[0];
  const std::string Out = O.Paths.size() > 1 ? O.Paths[1] : "";
  // Checked before anything is read: the original is never a copy's target.
  if (!Out.empty() && SameFile(In, Out))
    return UsageError("OUT '" + DisplayName(Out) + "' is IN itself: the repaired copy must be a new file");
  // A report appended to IN (">> IN") would change the file this program
  // promises only to read.
  if (StandardOutputIs(In))
    return UsageError("standard output is IN '" + DisplayName(In) + "' itself: the report would change it");
  // A dry run writes nothing, so any OUT (even /dev/null) will do.
  if (!O.DryRun) {
    try {
      CheckCopyTarget(In, Out);
    } catch (const ECopyWrite& e) {
      WriteText(stderr, std::string(kProgram) + ": " + e.what() + "\n");
      return ExitRepairError;
    }
  }

  TStdoutReport Report(kProgram, ExitRepairError);
  TRepairPlan Plan;
  try {
    Plan = PlanRepair(In);
  } catch (const std::exception& e) {
    Plan.Path = In;
    if (O.Json) Report.Print(FormatPlanJson(Plan, TRepairOutcome::Failed, Out, e.what()));
    WriteText(stderr, std::string(kProgram) + ": cannot repair '" + DisplayName(In) + "': " + e.what() + "\n");
    return Report.Lost() ? Report.Fail() : ExitRepairError;
  }

  // The plan is out before the copy is written: a report that cannot be
  // written stops the run with nothing written.
  if (!O.Json) {
    std::string Text;
    for (const std::string& Line : FormatPlanLines(Plan)) Text += Line + "\n";
    if (!Report.Print(Text)) return Report.Fail("; nothing written");
  }

  TRepairOutcome Outcome = TRepairOutcome::Written;
  std::string Error;
  if (Plan.NothingToRepair())
    Outcome = TRepairOutcome::NothingToRepair;
  else if (O.DryRun)
    Outcome = TRepairOutcome::DryRun;
  else if (Plan.Changes.empty() || (!Plan.Complete() && !O.Partial))
    Outcome = TRepairOutcome::Refused;
  else {
    try {
      WriteRepairedCopy(Plan, Out);
    } catch (const std::exception& e) {
      Outcome = TRepairOutcome::Failed;
      Error = e.what();
    }
  }

  Report.Print(O.Json ? FormatPlanJson(Plan, Outcome, Out, Error) : OutcomeLine(Plan, Outcome, Out, O));
  int Status = ExitRepairWritten;
  switch (Outcome) {
    case TRepairOutcome::Failed:
      WriteText(stderr, std::string(kProgram) + ": " + Error + "\n");
      Status = ExitRepairError;
      break;
    case TRepairOutcome::Refused: Status = ExitRepairRefused; break;
    case TRepairOutcome::DryRun:
      Status = Plan.Changes.empty() || (!Plan.Complete() && !O.Partial) ? ExitRepairRefused : ExitRepairWritten;
      break;
    case TRepairOutcome::NothingToRepair:
    case TRepairOutcome::Written: break;
  }
  if (Report.Lost())
    return Report.Fail(Outcome == TRepairOutcome::Written ? "; the copy '" + DisplayName(Out) + "' was written"
                                                          : "");
  return Status;
}

}  // namespace

int RunRepairCommand(int argc, char** argv) {
  if (!GuardStandardStreams(kProgram)) return ExitRepairError;
  TOptions O;
  const TCopyProgram Program{kProgram, kHelp, kHelpExit, VELLICOR_VERSION, ExitRepairError,
                             [&O](int, char** Argv, int& I, std::string&) {
                               if (std::string(Argv[I]) != "--partial") return false;
                               O.Partial = true;
                               return true;
                             }};
  if (const int Status = ReadCopyArguments(argc, argv, Program, O); Status >= 0) return Status;
  if (O.Batch.Recursive)
    return RunCopyBatch(O.Batch, [Partial = O.Partial](const std::string& In, const std::string&) {
      return PlanForBatch(In, Partial);
    });
  return Run(O);
}
