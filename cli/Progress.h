// A one-line progress bar on standard error for the data record scans. It
// draws only when standard error is a terminal, so logs and pipes stay
// clean, and it is wiped when the program is interrupted.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

class TProgress {
public:
  // Draws only when Enabled; use StderrIsTerminal() for the usual choice.
  // While enabled, an interrupt (Ctrl-C) or termination first wipes the bar.
  explicit TProgress(bool Enabled);
  ~TProgress();
  TProgress(const TProgress&) = delete;
  TProgress& operator=(const TProgress&) = delete;

  static bool StderrIsTerminal();

  bool Enabled() const { return FEnabled; }
  // Shows Percent (0..100) for the named file. Cheap when nothing changed:
  // the text is rebuilt and drawn only when the percentage, the file or the
  // terminal's width did. Thread-safe.
  void Update(const std::string& FileName, int Percent);
  // Removes the bar, so the next output starts on a clean line. Thread-safe.
  void Clear();
  // Writes Text to Out with the bar removed first, so a bar is never drawn
  // into the middle of a report. False when the text could not be written
  // (a full disk, a closed output, a reader gone). Thread-safe.
  bool Print(std::FILE* Out, const std::string& Text);

  // The bar's text, without the leading carriage return; the name escaped as
  // the report escapes it (DisplayName) and cut from the left; public for
  // tests.
  static std::string BarText(const std::string& FileName, int Percent, int Width);

private:
  void ClearLocked();

  bool FEnabled;
  bool FShown = false;
  int FWidth = 0;  // the terminal's, measured once and again after a resize
  int FLastPercent = -1;
  std::string FLastFile;
  std::mutex FMutex;
};
