#include "repair/RepairCommand.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "repair/RepairCopy.h"
#include "repair/RepairPlan.h"
#include "repair/RepairReport.h"

#ifndef VELLICOR_VERSION
#define VELLICOR_VERSION "unknown"
#endif

namespace {

constexpr const char* kProgram = "vellicor-repair";

constexpr const char* kHelp =
    "Usage: vellicor-repair [options] IN OUT\n"
    "Writes a repaired copy of the EDF file IN to OUT. Only faults with exactly one right\n"
    "answer are repaired (a record count that disagrees with the file size, a cut last\n"
    "record, other date separators than '.', leading blanks, a decimal comma, a wrong\n"
    "HeaderBytes, junk after the version or in a plain EDF file's reserved field); every\n"
    "other fault is left as found, with the reason. IN is only ever read. OUT is written\n"
    "under a temporary name beside it and renamed when complete; it must not be IN.\n"
    "\n"
    "Options:\n"
    "  --dry-run   Print the plan only; OUT may be left out.\n"
    "  --partial   Write the certain repairs even when other faults are left as found.\n"
    "  --json      Print the plan and the outcome as one JSON object.\n"
    "  -h, --help  Show this help and exit.\n"
    "  -v, --version  Show the program's version and exit.\n"
    "\n"
    "Exit status: 0 the copy was written, or there was nothing to repair (then nothing is\n"
    "written); 1 some fault has no single right repair, nothing written; 2 wrong usage, or\n"
    "a file could not be read or written.\n";

struct TOptions {
  bool DryRun = false;
  bool Partial = false;
  bool Json = false;
  std::vector<std::string> Paths;
};

void Write(std::FILE* To, const std::string& Text) {
  std::fwrite(Text.data(), 1, Text.size(), To);
  std::fflush(To);
}

int UsageError(const std::string& Message) {
  Write(stderr, std::string(kProgram) + ": " + Message + "\nTry '" + kProgram + " --help' for more information.\n");
  return ExitRepairError;
}

std::string Count(size_t N, const char* Noun) { return std::to_string(N) + " " + Noun + (N == 1 ? "" : "s"); }

// The last line of the text output.
std::string OutcomeLine(const TRepairPlan& Plan, TRepairOutcome Outcome, const std::string& Out,
                        const TOptions& O) {
  const std::string Changes = Count(Plan.Changes.size(), "change");
  const std::string Left = Count(Plan.Refusals.size(), "fault");
  switch (Outcome) {
    case TRepairOutcome::NothingToRepair: return "nothing to repair: nothing written\n";
    case TRepairOutcome::Written:
      return "wrote " + DisplayName(Out) + " (" + std::to_string(Plan.OutputSize) + " bytes): " + Changes +
             (Plan.Complete() ? "" : ", " + Left + " left as found") + "\n";
    case TRepairOutcome::Refused:
      return "refused: " + Left + " without a single right repair; nothing written" +
             (Plan.Changes.empty() ? std::string() : " (--partial writes the " + Changes + " alone)") + "\n";
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

  TRepairPlan Plan;
  try {
    Plan = PlanRepair(In);
  } catch (const std::exception& e) {
    Plan.Path = In;
    if (O.Json) Write(stdout, FormatPlanJson(Plan, TRepairOutcome::Failed, Out, e.what()));
    Write(stderr, std::string(kProgram) + ": cannot repair '" + DisplayName(In) + "': " + e.what() + "\n");
    return ExitRepairError;
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

  if (O.Json) {
    Write(stdout, FormatPlanJson(Plan, Outcome, Out, Error));
  } else {
    std::string Text;
    for (const std::string& Line : FormatPlanLines(Plan)) Text += Line + "\n";
    Write(stdout, Text + OutcomeLine(Plan, Outcome, Out, O));
  }
  switch (Outcome) {
    case TRepairOutcome::Failed:
      Write(stderr, std::string(kProgram) + ": " + Error + "\n");
      return ExitRepairError;
    case TRepairOutcome::Refused: return ExitRepairRefused;
    case TRepairOutcome::DryRun:
      return Plan.Changes.empty() || (!Plan.Complete() && !O.Partial) ? ExitRepairRefused : ExitRepairWritten;
    case TRepairOutcome::NothingToRepair:
    case TRepairOutcome::Written: break;
  }
  return ExitRepairWritten;
}

}  // namespace

int RunRepairCommand(int argc, char** argv) {
  TOptions O;
  bool OptionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    const std::string A = argv[i];
    if (OptionsEnd || A.empty() || A[0] != '-' || A == "-") {
      O.Paths.push_back(A);
    } else if (A == "--") {
      OptionsEnd = true;
    } else if (A == "-h" || A == "--help") {
      Write(stdout, kHelp);
      return ExitRepairWritten;
    } else if (A == "-v" || A == "--version") {
      Write(stdout, std::string(kProgram) + " " + VELLICOR_VERSION + "\n");
      return ExitRepairWritten;
    } else if (A == "--dry-run") {
      O.DryRun = true;
    } else if (A == "--partial") {
      O.Partial = true;
    } else if (A == "--json") {
      O.Json = true;
    } else {
      return UsageError("unknown option '" + DisplayName(A) + "'");
    }
  }
  if (O.Paths.empty()) return UsageError("no IN given");
  if (O.Paths.size() > 2) return UsageError("more than IN and OUT given");
  if (O.Paths.size() < 2 && !O.DryRun) return UsageError("no OUT given");
  return Run(O);
}
