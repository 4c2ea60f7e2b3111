#include "cli/Progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kBarCells = 30;

int TerminalWidth() {
  winsize ws {};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 80;
}

}  // namespace

TProgress::TProgress(bool Enabled) : FEnabled(Enabled) {}

TProgress::~TProgress() { Clear(); }

bool TProgress::StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

std::string TProgress::BarText(const std::string& FileName, int Percent, int Width) {
  Percent = std::clamp(Percent, 0, 100);
  const int filled = Percent * kBarCells / 100;
  std::string text = "[" + std::string(static_cast<size_t>(filled), '#') +
                     std::string(static_cast<size_t>(kBarCells - filled), '.') + "] ";
  char pct[8];
  std::snprintf(pct, sizeof pct, "%3d%% ", Percent);
  text += pct;
  // The name is cut from the left: the end of a path tells files apart.
  const int room = Width - 1 - static_cast<int>(text.size());
  if (room > 3) {
    if (static_cast<int>(FileName.size()) <= room) {
      text += FileName;
    } else {
      text += "..." + FileName.substr(FileName.size() - static_cast<size_t>(room - 3));
    }
  }
  return text;
}

void TProgress::Update(const std::string& FileName, int Percent) {
  if (!FEnabled) return;
  std::lock_guard<std::mutex> lock(FMutex);
  const std::string text = BarText(FileName, Percent, TerminalWidth());
  if (FShown && text == FLast) return;
  // \r and the erase-line sequence leave no tail of a longer previous text.
  std::fprintf(stderr, "\r\033[K%s", text.c_str());
  std::fflush(stderr);
  FLast = text;
  FShown = true;
}

void TProgress::Clear() {
  if (!FEnabled) return;
  std::lock_guard<std::mutex> lock(FMutex);
  ClearLocked();
}

void TProgress::Print(std::FILE* Out, const std::string& Text) {
  std::lock_guard<std::mutex> lock(FMutex);
  if (FEnabled) ClearLocked();
  std::fwrite(Text.data(), 1, Text.size(), Out);
  std::fflush(Out);
}

void TProgress::ClearLocked() {
  if (!FShown) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  FShown = false;
  FLast.clear();
}
