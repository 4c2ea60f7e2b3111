// Runs the built vellicor-check binary with its output captured in files, so
// the tests see exactly what a user or a batch script sees.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "testkit/EdfBytes.h"

namespace clitest {

struct CliResult {
  int Exit = -1;
  std::string Out;
  std::string Err;
};

inline std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Output files go to Scratch (a folder of its own, not the checked files').
inline CliResult RunCli(const std::vector<std::string>& Args, const std::string& Scratch) {
  static int counter = 0;
  const std::string base = Scratch + "/run" + std::to_string(++counter);
  std::string cmd = ShellQuote(VELLICOR_CHECK_EXE);
  for (const std::string& a : Args) cmd += ' ' + ShellQuote(a);
  cmd += " </dev/null >" + ShellQuote(base + ".out") + " 2>" + ShellQuote(base + ".err");
  const int status = std::system(cmd.c_str());
  CliResult r;
  r.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.Out = testkit::ReadFileBytes(base + ".out");
  r.Err = testkit::ReadFileBytes(base + ".err");
  return r;
}

inline std::vector<std::string> SplitLines(const std::string& Text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < Text.size()) {
    const size_t end = Text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(Text.substr(start));
      break;
    }
    lines.push_back(Text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

inline bool HasLine(const std::string& Text, const std::string& Line) {
  for (const std::string& l : SplitLines(Text))
    if (l == Line) return true;
  return false;
}

}  // namespace clitest
