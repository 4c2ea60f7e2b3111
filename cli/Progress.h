// A one-line progress bar on standard error for the min/max scan. It draws
// only when standard error is a terminal, so logs and pipes stay clean.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

class TProgress {
public:
  // Draws only when Enabled; use StderrIsTerminal() for the usual choice.
  explicit TProgress(bool Enabled);
  ~TProgress();
  TProgress(const TProgress&) = delete;
  TProgress& operator=(const TProgress&) = delete;

  static bool StderrIsTerminal();

  bool Enabled() const { return FEnabled; }
  // Shows Percent (0..100) for the named file; redraws only when the text
  // changes, since the scan calls this once per data record. Thread-safe.
  void Update(const std::string& FileName, int Percent);
  // Removes the bar, so the next output starts on a clean line. Thread-safe.
  void Clear();
  // Writes Text to Out (standard output in use) with the bar removed first,
  // so a bar is never drawn into the middle of a report. Thread-safe.
  void Print(std::FILE* Out, const std::string& Text);

  // The bar's text, without the leading carriage return; public for tests.
  static std::string BarText(const std::string& FileName, int Percent, int Width);

private:
  void ClearLocked();

  bool FEnabled;
  bool FShown = false;
  std::string FLast;
  std::mutex FMutex;
};
