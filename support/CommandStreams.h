// The standard streams of a command-line program: closed ones made safe
// before any file is opened, a report on standard output that notices a
// lost write instead of ending in success, and the lines on standard error.
#pragma once

#include <cstdio>
#include <string>
#include <utility>

// Writes Text to To and flushes it; a lost message has nowhere else to go.
void WriteText(std::FILE* To, const std::string& Text);

// A closed standard input or error would hand its number to the next file
// opened (an original, a copy) and a message could land in it: they are
// parked on /dev/null. False, said on standard error, when standard output
// is closed: the run must end before it starts.
bool GuardStandardStreams(const std::string& Program);

// "PROGRAM: MESSAGE" and the hint to --help on standard error; returns Status.
int UsageError(const std::string& Program, const std::string& Message, int Status);

// True when standard output is the regular file at Path: a report appended
// to a file the program promises only to read (">> IN").
bool StandardOutputIs(const std::string& Path);

// The report on standard output. After the first failed write nothing more
// is tried, and the run ends with LostStatus instead of success over a lost
// report.
class TStdoutReport {
public:
  TStdoutReport(std::string Program, int LostStatus) : FProgram(std::move(Program)), FLostStatus(LostStatus) {}
  bool Print(const std::string& Text);
  // The same for a write made elsewhere (a progress bar wiped first): its
  // result, with errno as the write left it.
  bool Wrote(bool Written);
  bool Lost() const { return FError != 0; }
  // Says that the report was lost, with what was done nonetheless (Done is
  // appended to the sentence), and returns LostStatus.
  int Fail(const std::string& Done = "") const;

private:
  std::string FProgram;
  int FLostStatus;
  int FError = 0;
};
