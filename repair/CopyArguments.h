// The arguments of a program that writes copies (vellicor-repair,
// vellicor-anonymize): IN and OUT, or with -r IN_DIR and OUT_DIR and the
// options of a whole archive's run; --dry-run, --json, the help and the
// version; and the program's own options, which it takes itself.
//
//   TCopyArguments A;
//   const TCopyProgram Program{kProgram, kHelp, kHelpExit, VELLICOR_VERSION, 2,
//                              [&](int Argc, char** Argv, int& I, std::string& Error) { ... }};
//   if (const int Status = ReadCopyArguments(argc, argv, Program, A); Status >= 0) return Status;
//   if (A.Batch.Recursive) return RunCopyBatch(A.Batch, Planner);
//   ... the single copy of A.Paths[0] to A.Paths[1]
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "repair/CopyBatch.h"

struct TCopyProgram {
  const char* Name;      // "vellicor-repair"
  const char* Help;      // the help's usage and options, before those of -r
  const char* HelpExit;  // the help's last part, after those of -r
  const char* Version;
  int ErrorStatus;  // of wrong usage
  // Takes Argv[I] when it is one of the program's own options (and its
  // value, advancing I) and returns true, setting Error when it is wrong;
  // false for any other argument.
  std::function<bool(int Argc, char** Argv, int& I, std::string& Error)> TakeOwn;
};

struct TCopyArguments {
  bool DryRun = false;
  bool Json = false;
  // IN and OUT; OUT may be missing for a dry run. With -r, IN_DIR and
  // OUT_DIR, which Batch holds too.
  std::vector<std::string> Paths;
  // Recursive when -r was given; then ready for RunCopyBatch.
  TBatchOptions Batch;
};

// Reads the arguments into A. Returns -1 when the run goes on, else the
// exit status: 0 after the help or the version was printed, ErrorStatus
// after a usage error (said on standard error) or a help that could not be
// printed. Options: -r, --recursive; -j N, -jN, --jobs N, --jobs=N;
// --overwrite; --copy-unchanged; --share I/N, --share=I/N; --dry-run; --json;
// -h, --help; -v, --version; "--" ends the options. The options of -r are
// refused without it.
int ReadCopyArguments(int Argc, char** Argv, const TCopyProgram& Program, TCopyArguments& A);
