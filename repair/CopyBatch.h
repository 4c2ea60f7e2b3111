// Whole archives copied in one run: every *.edf / *.bdf under IN_DIR (any
// letter case) is planned by the program's own planner and written through
// the copy writer under the same relative path below OUT_DIR, N files at
// once, with one line per file (text or JSON) in a stable order, a summary
// at the end and one exit status. vellicor-repair -r and
// vellicor-anonymize -r run on it; a program that writes another kind of
// copy plugs in with one call, A read by ReadCopyArguments (CopyArguments.h):
//
//   return RunCopyBatch(A.Batch, [&](const std::string& In, const std::string& Out) {
//     TBatchPlan P;                        // IN is only read here; Out is only a name
//     P.Job.Source = {In, Size, MTimeNs, Head};  // always: also an unchanged copy checks it
//     P.Decision = TBatchDecision::Copy;   // or Unchanged, Refused
//     P.Job.OutputSize = ...; P.Job.Patches = ...; P.Job.Verify = ...;
//     P.Summary = "3 changes";             // the words after the outcome
//     P.Details = {"  change ...", ...};   // the text report's lines under the file's
//     P.JsonKeys = ",\"changes\":[...]";   // the JSON line's own keys
//     return P;                            // or raise: the file cannot be read (exit 2)
//   });
//
// What the run guarantees:
// - OUT_DIR that is IN_DIR or lies inside it by any path, or the reverse,
//   is refused before anything is read or written (exit 2), and so is a
//   report on standard output that would land under IN_DIR.
// - Nothing under IN_DIR is opened for writing: the planner only reads,
//   and copies are made by WriteCopy, which only reads its original.
// - An output that exists (of any kind) is never replaced: the file is
//   reported ("exists") and not even planned, so an interrupted run is
//   simply run again. One that another process makes while the copy is
//   written is left too, and reported alike (the writer's NeverReplace).
//   With Overwrite, a regular file there is replaced.
// - A file that needs nothing is listed ("unchanged"), or with
//   CopyUnchanged copied byte for byte through the copy writer ("copied").
// - The mirror's folders are made only when a copy goes there, with their
//   originals' permission bits; a symbolic link in the mirror is never
//   followed.
// - The planner runs in up to Jobs threads at once and must be safe so;
//   the copies themselves are written one after the other.
// - Output is in the order of the sorted walk whatever Jobs is, and the
//   workers run at most BatchAheadPerWorker x Jobs results ahead of the
//   printer, so memory stays flat over any number of files.
// - With Share (I of N), only the files whose relative path falls to share I
//   are handled; N runs with I = 0..N-1 into the same OUT_DIR give the lines
//   and the mirror of one run.
// - Exit status: 0 every file written, copied, unchanged or left as it was;
//   1 some file refused; 2 some path could not be read or written, or the
//   report could not be written (2 wins).
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "repair/CopyWriter.h"

inline constexpr int ExitBatchDone = 0;
inline constexpr int ExitBatchRefused = 1;
inline constexpr int ExitBatchError = 2;

// A worker runs at most this many results per worker ahead of the printer.
inline constexpr size_t BatchAheadPerWorker = 4;

struct TBatchOptions {
  std::string Program;  // names the messages on standard error
  bool Recursive = false;  // -r was given
  std::string InDir;
  std::string OutDir;
  int Jobs = 1;
  bool Json = false;
  bool DryRun = false;  // plan and report, write nothing
  bool Overwrite = false;
  bool CopyUnchanged = false;
  int ShareIndex = 0;
  int ShareCount = 1;
  std::FILE* Report = stdout;  // tests give files of their own
  std::FILE* Errors = stderr;
};

enum class TBatchDecision {
  Copy,       // write Job's copy
  Unchanged,  // the file needs nothing
  Refused     // no copy can be made; Summary says why (exit 1)
};

struct TBatchPlan {
  TBatchDecision Decision = TBatchDecision::Unchanged;
  // Source always; the rest for Copy. The run fills in nothing but OUT.
  TCopyJob Job;
  // A copy that Job.Verify turns down counts as refused (exit 1) instead of
  // as a copy that could not be written (exit 2).
  bool VerifyRefusalIsRefusal = false;
  std::string Summary;               // "2 changes", "1 fault without a single right repair"
  std::vector<std::string> Details;  // lines under the file's line, each indented by two blanks
  std::string JsonKeys;              // keys of the file's JSON object, each led by a comma
};

// Plans the copy of the original at In, to be written to Out (for a
// planner that judges the copy's name); raises std::exception when the file
// cannot be read.
using TBatchPlanner = std::function<TBatchPlan(const std::string& In, const std::string& Out)>;

// The whole run; see above. Returns the exit status.
int RunCopyBatch(const TBatchOptions& Options, const TBatchPlanner& Plan);
