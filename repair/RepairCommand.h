// vellicor-repair IN OUT: plans the repair of IN, prints the plan, and
// writes the repaired copy to OUT when every fault found has one right
// repair (or, with --partial, when some has). IN is only ever read.
#pragma once

// Exit statuses.
inline constexpr int ExitRepairWritten = 0;  // the copy was written, or there was nothing to repair
inline constexpr int ExitRepairRefused = 1;  // some fault needs a guess: nothing written
inline constexpr int ExitRepairError = 2;    // wrong usage, or a file could not be read or written

// The whole command: parses argv, runs it, prints to standard output (the
// plan and the outcome) and standard error (what went wrong).
int RunRepairCommand(int argc, char** argv);
