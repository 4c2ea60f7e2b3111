#include "repair/CopyArguments.h"

#include <charconv>

#include "check/Finding.h"
#include "support/CommandLine.h"
#include "support/CommandStreams.h"

namespace {

constexpr const char* kBatchHelp =
    "Whole folders:\n"
    "  -r, --recursive   IN_DIR OUT_DIR: every file below IN_DIR whose name ends in .edf or\n"
    "                    .bdf (any letter case) goes to the same path below OUT_DIR, whose\n"
    "                    folders are made as needed; one line per file, a summary at the\n"
    "                    end. OUT_DIR may not be IN_DIR or lie inside it, nor the reverse.\n"
    "                    Nothing under IN_DIR is written.\n"
    "  -j, --jobs N      N files at once (default 1); the output is the same as with one.\n"
    "  --overwrite       Replace outputs that exist; by default each is reported and left\n"
    "                    as it is, so an interrupted run can simply be run again.\n"
    "  --copy-unchanged  Copy the files that need nothing as they are; by default they are\n"
    "                    only listed.\n"
    "  --share I/N       Only the files of share I of N (0 <= I < N), chosen by their path:\n"
    "                    N runs (on as many machines) into one OUT_DIR do what one run does.\n";

bool ParseCount(const std::string& Text, int& Value) {
  const char* End = Text.data() + Text.size();
  const auto R = std::from_chars(Text.data(), End, Value);
  return R.ec == std::errc() && R.ptr == End;
}

// When Argv[I] is an option of -r, takes it (and its value, advancing I)
// and returns true; Error is then set when its value is wrong.
bool TakeBatchOption(int Argc, char** Argv, int& I, TBatchOptions& O, std::string& Error) {
  const std::string A = Argv[I];
  std::string Value;
  if (A == "-r" || A == "--recursive") {
    O.Recursive = true;
  } else if (A == "--overwrite") {
    O.Overwrite = true;
  } else if (A == "--copy-unchanged") {
    O.CopyUnchanged = true;
  } else if (TakeOptionValue(Argc, Argv, I, "--jobs", "-j", Value, Error)) {
    if (Error.empty() && (!ParseCount(Value, O.Jobs) || O.Jobs < 1))
      Error = "invalid number of jobs: '" + DisplayName(Value) + "'";
  } else if (TakeOptionValue(Argc, Argv, I, "--share", "", Value, Error)) {
    const size_t Slash = Value.find('/');
    if (Error.empty() &&
        (Slash == std::string::npos || !ParseCount(Value.substr(0, Slash), O.ShareIndex) ||
         !ParseCount(Value.substr(Slash + 1), O.ShareCount) || O.ShareCount < 1 || O.ShareIndex < 0 ||
         O.ShareIndex >= O.ShareCount))
      Error = "invalid share '" + DisplayName(Value) + "': expected I/N with 0 <= I < N";
  } else {
    return false;
  }
  return true;
}

// The options of a whole archive's run make no sense for one file.
std::string BatchUsageError(const TBatchOptions& O) {
  if (!O.Recursive && (O.Overwrite || O.CopyUnchanged || O.Jobs != 1 || O.ShareCount != 1))
    return "-j, --overwrite, --copy-unchanged and --share are for -r only";
  return "";
}

}  // namespace

int ReadCopyArguments(int Argc, char** Argv, const TCopyProgram& Program, TCopyArguments& A) {
  const auto Usage = [&Program](const std::string& Message) {
    return UsageError(Program.Name, Message, Program.ErrorStatus);
  };
  std::string Error;
  bool OptionsEnd = false;
  for (int i = 1; i < Argc; ++i) {
    const std::string Arg = Argv[i];
    if (OptionsEnd || Arg.empty() || Arg[0] != '-' || Arg == "-") {
      A.Paths.push_back(Arg);
    } else if (Arg == "--") {
      OptionsEnd = true;
    } else if (Arg == "-h" || Arg == "--help" || Arg == "-v" || Arg == "--version") {
      TStdoutReport Report(Program.Name, Program.ErrorStatus);
      const bool Help = Arg == "-h" || Arg == "--help";
      if (!Report.Print(Help ? std::string(Program.Help) + kBatchHelp + Program.HelpExit
                             : std::string(Program.Name) + " " + Program.Version + "\n"))
        return Report.Fail();
      return 0;
    } else if (Arg == "--dry-run") {
      A.DryRun = true;
    } else if (Arg == "--json") {
      A.Json = true;
    } else if (!TakeBatchOption(Argc, Argv, i, A.Batch, Error) && !Program.TakeOwn(Argc, Argv, i, Error)) {
      return Usage("unknown option '" + DisplayName(Arg) + "'");
    }
    if (!Error.empty()) return Usage(Error);
  }
  if (const std::string Wrong = BatchUsageError(A.Batch); !Wrong.empty()) return Usage(Wrong);
  if (A.Batch.Recursive) {
    if (A.Paths.size() != 2) return Usage("-r needs IN_DIR and OUT_DIR");
    A.Batch.Program = Program.Name;
    A.Batch.InDir = A.Paths[0];
    A.Batch.OutDir = A.Paths[1];
    A.Batch.Json = A.Json;
    A.Batch.DryRun = A.DryRun;
    return -1;
  }
  if (A.Paths.empty()) return Usage("no IN given");
  if (A.Paths.size() > 2) return Usage("more than IN and OUT given");
  if (A.Paths.size() < 2 && !A.DryRun) return Usage("no OUT given");
  return -1;
}
