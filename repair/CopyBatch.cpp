#include "repair/CopyBatch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

#include "check/Finding.h"
#include "repair/BatchReport.h"
#include "repair/MirrorTree.h"
#include "support/OrderedWork.h"

namespace {

std::string Quoted(const std::string& Path) { return '\'' + DisplayName(Path) + '\''; }

// A report written to a file under IN_DIR (">> IN_DIR/log") would change
// the tree this run promises only to read.
bool ReportUnder(std::FILE* Report, const std::string& InDir) {
  struct stat S {};
  if (::fstat(::fileno(Report), &S) != 0 || !S_ISREG(S.st_mode)) return false;
  char Target[4096];
  const std::string Link = "/proc/self/fd/" + std::to_string(::fileno(Report));
  const ssize_t N = ::readlink(Link.c_str(), Target, sizeof Target - 1);
  return N > 0 && IsUnder(std::string(Target, static_cast<size_t>(N)), InDir);
}

// "k of n files" on standard error while it is a terminal and the report
// goes elsewhere (on the terminal, the report's own lines show the pace).
class TBatchProgress {
public:
  TBatchProgress(const TBatchOptions& O, size_t Total)
      : FOut(O.Errors), FProgram(O.Program), FTotal(Total),
        FOn(::isatty(::fileno(O.Errors)) && !::isatty(::fileno(O.Report))) {}
  void Show(size_t Done) {
    if (!FOn) return;
    const std::string Line =
        "\r" + FProgram + ": " + std::to_string(Done) + " of " + std::to_string(FTotal) + " files\033[K";
    std::fputs(Line.c_str(), FOut);
    std::fflush(FOut);
    FShown = true;
  }
  void Clear() {
    if (!FShown) return;
    std::fputs("\r\033[K", FOut);
    std::fflush(FOut);
    FShown = false;
  }

private:
  std::FILE* FOut;
  std::string FProgram;
  size_t FTotal;
  bool FOn;
  bool FShown = false;
};

TBatchRecord CopyOne(const TMirrorEntry& E, const TBatchOptions& O, const TBatchPlanner& Planner) {
  TBatchRecord R;
  R.In = E.In;
  R.Out = E.Out;
  const auto Fail = [&R](const std::string& Why) {
    R.Outcome = TBatchOutcome::Error;
    R.Error = Why;
    return R;
  };
  if (!E.Error.empty()) return Fail("cannot read " + Quoted(E.In) + ": " + E.Error);
  // Checked before the plan, so that a resumed run passes over the work
  // already done at the cost of one look each.
  struct stat Existing {};
  if (::lstat(E.Out.c_str(), &Existing) == 0 && !O.Overwrite) {
    R.Outcome = TBatchOutcome::Exists;
    return R;
  }
  TBatchPlan P;
  try {
    P = Planner(E.In, E.Out);
  } catch (const std::exception& e) {
    return Fail("cannot read " + Quoted(E.In) + ": " + e.what());
  }
  R.Summary = std::move(P.Summary);
  R.Details = std::move(P.Details);
  R.JsonKeys = std::move(P.JsonKeys);
  R.Changed = P.Decision == TBatchDecision::Copy;
  if (P.Decision == TBatchDecision::Refused) {
    R.Outcome = TBatchOutcome::Refused;
    return R;
  }
  if (!R.Changed && !O.CopyUnchanged) {
    R.Outcome = TBatchOutcome::Unchanged;
    return R;
  }
  if (O.DryRun) {
    R.Outcome = TBatchOutcome::DryRun;
    return R;
  }
  if (const std::string Why = MakeMirrorFolders(O.InDir, O.OutDir, E); !Why.empty()) return Fail(Why);

  TCopyJob Job = std::move(P.Job);
  // The look above is not the last word: another process may make the
  // output while the copy is written.
  Job.NeverReplace = !O.Overwrite;
  if (!R.Changed) {
    // The original's bytes as planned on, through the same writer: the
    // copy is whole or absent, and a file changed meanwhile is not copied.
    Job.OutputSize = Job.Source.Size;
    Job.Patches.clear();
    Job.Verify = nullptr;
  }
  bool VerifyRefused = false;
  if (Job.Verify)
    Job.Verify = [Inner = std::move(Job.Verify), &VerifyRefused](const std::string& Copy) {
      std::string Why = Inner(Copy);
      VerifyRefused = !Why.empty();
      return Why;
    };
  try {
    WriteCopy(Job, E.Out);
  } catch (const ECopyExists&) {
    // Made by another process meanwhile: the record of one found before.
    TBatchRecord Left;
    Left.In = E.In;
    Left.Out = E.Out;
    Left.Outcome = TBatchOutcome::Exists;
    return Left;
  } catch (const std::exception& e) {
    if (VerifyRefused && P.VerifyRefusalIsRefusal) {
      // The reason goes into the JSON line too: the plan's keys were made
      // before the copy was judged.
      R.Outcome = TBatchOutcome::Refused;
      R.Summary = R.Error = e.what();
      return R;
    }
    return Fail(e.what());
  }
  R.Outcome = R.Changed ? TBatchOutcome::Written : TBatchOutcome::Copied;
  return R;
}

}  // namespace

int RunCopyBatch(const TBatchOptions& O, const TBatchPlanner& Planner) {
  const auto Message = [&O](const std::string& Text) {
    std::fputs((O.Program + ": " + Text + "\n").c_str(), O.Errors);
    std::fflush(O.Errors);
  };
  if (const std::string Refusal = MirrorRefusal(O.InDir, O.OutDir); !Refusal.empty()) {
    Message(Refusal + "; nothing written");
    return ExitBatchError;
  }
  if (ReportUnder(O.Report, O.InDir)) {
    Message("standard output is a file under IN_DIR " + Quoted(O.InDir) + ": the report would change it");
    return ExitBatchError;
  }
  std::vector<TMirrorEntry> Entries = ListMirror(O.InDir, O.OutDir);
  std::erase_if(Entries, [&O](const TMirrorEntry& E) { return !InShare(E.Relative, O.ShareIndex, O.ShareCount); });

  const size_t Workers = static_cast<size_t>(std::max(O.Jobs, 1));
  TBatchProgress Progress(O, Entries.size());
  int Status = ExitBatchDone;
  TBatchSummary Summary;
  // The first report that could not be written ends the run: no success
  // over a lost record.
  bool Lost = false;
  int LostErrno = 0;

  const auto Print = [&](const TBatchRecord& R) {
    if (R.Outcome == TBatchOutcome::Error) {
      Progress.Clear();
      Message(R.Error);
    }
    const std::string Text = O.Json ? FormatBatchJson(R) : FormatBatchText(R);
    errno = 0;
    const bool Written = std::fwrite(Text.data(), 1, Text.size(), O.Report) == Text.size();
    if (std::fflush(O.Report) != 0 || !Written) {
      Lost = true;
      LostErrno = errno != 0 ? errno : EIO;
    }
    Status = std::max(Status, BatchStatus(R.Outcome));
    Summary.Add(R.Outcome);
  };

  // Printed in list order as soon as all earlier ones are out, so the output
  // of N workers equals that of one.
  RunInOrder<TBatchRecord>(
      Entries.size(), Workers, BatchAheadPerWorker * Workers,
      [&](size_t I) { return CopyOne(Entries[I], O, Planner); },
      [&](size_t I, const TBatchRecord& R) {
        Print(R);
        Progress.Show(I + 1);
        return !Lost;
      });
  Progress.Clear();

  if (!Lost) {
    const std::string Text = O.Json ? Summary.Json() : Summary.Text();
    errno = 0;
    const bool Written = std::fwrite(Text.data(), 1, Text.size(), O.Report) == Text.size();
    if (std::fflush(O.Report) != 0 || !Written) {
      Lost = true;
      LostErrno = errno != 0 ? errno : EIO;
    }
  }
  if (Lost) {
    Message(std::string("cannot write the report to standard output: ") + std::strerror(LostErrno) +
            "; the copies written so far are whole");
    return ExitBatchError;
  }
  return Status;
}
