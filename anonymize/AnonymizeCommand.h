// vellicor-anonymize IN OUT: the de-identified copy of one file (see
// AnonymizeFile) with the command line's options, help and exit statuses.
#pragma once

// The whole command: parses argv, runs it, prints to standard output (the
// plan and the outcome) and standard error (what went wrong).
int RunAnonymizeCommand(int argc, char** argv);
