// Test helper: Debian's headless Chromium, started by the test itself and
// driven over the DevTools protocol on a pipe (no port, no server), so a
// test can load a page from the disk, run script in it and take a picture.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "testkit/EdfBytes.h"

namespace reporttest {

class TChromium {
public:
  TChromium();
  ~TChromium();
  TChromium(const TChromium&) = delete;
  TChromium& operator=(const TChromium&) = delete;

  // Empty when the browser answers; otherwise why it cannot run here (the
  // tests then skip with this message).
  const std::string& CannotRun() const { return FCannotRun; }

  // Loads Url in a fresh page of Width x Height and waits for its load
  // event; with Scripts false the page's own scripts do not run.
  void Open(const std::string& Url, bool Scripts = true, int Width = 1280, int Height = 900);
  // The value of a script expression evaluated in the page; the expression
  // should give a string (JSON.stringify for anything else); a promise is
  // awaited.
  std::string Eval(const std::string& Expression);
  // The visible part of the page as PNG bytes.
  std::string Screenshot();

private:
  // Sends a command (to the page's session unless Browser) and returns the
  // JSON text of its "result"; fails the test on an error or a timeout.
  std::string Call(const std::string& Method, const std::string& Params, bool Browser = false);
  std::string Receive();
  bool WaitForEvent(const std::string& Method);

  testkit::TempDir FProfile;
  pid_t FPid = -1;
  int FToBrowser = -1;
  int FFromBrowser = -1;
  int FNextId = 0;
  std::string FSession;
  std::string FTarget;
  std::string FPending;  // bytes read past the last message
  std::string FCannotRun;
};

// file:// address of a local path.
std::string FileUrl(const std::string& Path);

}  // namespace reporttest
