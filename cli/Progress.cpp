#include "cli/Progress.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "check/Finding.h"

namespace {

constexpr int kBarCells = 30;
constexpr char kWipe[] = "\r\033[K";

// Shared with the signal handlers, which may only touch lock-free atomics.
std::atomic<bool> BarOnScreen{false};
std::atomic<bool> TerminalResized{true};

int TerminalWidth() {
  winsize ws{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 80;
}

// Ctrl-C or a termination while the bar is drawn: wipe it (write is safe in
// a handler), then die of the signal as the caller expects.
void WipeAndDie(int Signal) {
  if (BarOnScreen.load()) {
    const ssize_t Ignored = write(STDERR_FILENO, kWipe, sizeof kWipe - 1);
    (void)Ignored;
  }
  signal(Signal, SIG_DFL);
  raise(Signal);
}

void NoteResize(int) { TerminalResized.store(true); }

// The length of the piece of a DisplayName text at I: an escape (\\ or
// \xNN) or one UTF-8 character, so that a cut never splits either.
size_t PieceLength(const std::string& Shown, size_t I) {
  const auto C = static_cast<unsigned char>(Shown[I]);
  if (C == '\\') return I + 1 < Shown.size() && Shown[I + 1] == 'x' ? 4 : 2;
  if (C >= 0xF0) return 4;
  if (C >= 0xE0) return 3;
  if (C >= 0xC0) return 2;
  return 1;
}

void InstallHandlers() {
  struct sigaction Action {};
  sigemptyset(&Action.sa_mask);
  Action.sa_handler = WipeAndDie;
  for (int Signal : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal the caller ignores stays ignored.
    struct sigaction Old {};
    if (sigaction(Signal, nullptr, &Old) == 0 && Old.sa_handler == SIG_IGN) continue;
    sigaction(Signal, &Action, nullptr);
  }
  Action.sa_handler = NoteResize;
  Action.sa_flags = SA_RESTART;
  sigaction(SIGWINCH, &Action, nullptr);
}

}  // namespace

TProgress::TProgress(bool Enabled) : FEnabled(Enabled) {
  if (FEnabled) InstallHandlers();
}

TProgress::~TProgress() { Clear(); }

bool TProgress::StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

std::string TProgress::BarText(const std::string& FileName, int Percent, int Width) {
  Percent = std::clamp(Percent, 0, 100);
  const int filled = Percent * kBarCells / 100;
  std::string text = '[' + std::string(static_cast<size_t>(filled), '#') +
                     std::string(static_cast<size_t>(kBarCells - filled), '.') + "] ";
  char pct[8];
  std::snprintf(pct, sizeof pct, "%3d%% ", Percent);
  text += pct;
  // The name is shown as the report shows it (escape sequences in a name
  // would drive the terminal), and cut from the left: the end of a path
  // tells files apart.
  const std::string Shown = DisplayName(FileName);
  const int room = Width - 1 - static_cast<int>(text.size());
  if (room > 3) {
    if (static_cast<int>(Shown.size()) <= room) {
      text += Shown;
    } else {
      const size_t Keep = Shown.size() - static_cast<size_t>(room - 3);
      size_t From = 0;
      while (From < Keep) From += PieceLength(Shown, From);
      text += "..." + Shown.substr(std::min(From, Shown.size()));
    }
  }
  return text;
}

void TProgress::Update(const std::string& FileName, int Percent) {
  if (!FEnabled) return;
  std::lock_guard<std::mutex> lock(FMutex);
  const bool Resized = TerminalResized.exchange(false);
  if (Resized) FWidth = TerminalWidth();
  if (FShown && !Resized && Percent == FLastPercent && FileName == FLastFile) return;
  const std::string text = BarText(FileName, Percent, FWidth);
  // \r and the erase-line sequence leave no tail of a longer previous text.
  std::fprintf(stderr, "%s%s", kWipe, text.c_str());
  std::fflush(stderr);
  FLastPercent = Percent;
  FLastFile = FileName;
  FShown = true;
  BarOnScreen.store(true);
}

void TProgress::Clear() {
  if (!FEnabled) return;
  std::lock_guard<std::mutex> lock(FMutex);
  ClearLocked();
}

bool TProgress::Print(std::FILE* Out, const std::string& Text) {
  std::lock_guard<std::mutex> lock(FMutex);
  if (FEnabled) ClearLocked();
  const bool Written = std::fwrite(Text.data(), 1, Text.size(), Out) == Text.size();
  return std::fflush(Out) == 0 && Written;
}

void TProgress::ClearLocked() {
  if (!FShown) return;
  std::fputs(kWipe, stderr);
  std::fflush(stderr);
  FShown = false;
  FLastPercent = -1;
  BarOnScreen.store(false);
}
