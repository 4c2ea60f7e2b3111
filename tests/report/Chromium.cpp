#include "Chromium.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <QByteArray>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace reporttest {

namespace {

constexpr int kTimeoutMs = 60000;

std::string JsonString(const std::string& Text) {
  rapidjson::StringBuffer B;
  rapidjson::Writer<rapidjson::StringBuffer> W(B);
  W.String(Text.c_str(), static_cast<rapidjson::SizeType>(Text.size()));
  return B.GetString();
}

std::string ToJson(const rapidjson::Value& V) {
  rapidjson::StringBuffer B;
  rapidjson::Writer<rapidjson::StringBuffer> W(B);
  V.Accept(W);
  return B.GetString();
}

}  // namespace

std::string FileUrl(const std::string& Path) {
  std::string Out = "file://";
  for (const unsigned char C : Path) {
    if (std::isalnum(C) || std::strchr("/-._~", C)) {
      Out += static_cast<char>(C);
    } else {
      char Buf[4];
      std::snprintf(Buf, sizeof Buf, "%%%02X", C);
      Out += Buf;
    }
  }
  return Out;
}

TChromium::TChromium() {
  const char* Env = std::getenv("VELLICOR_CHROMIUM");
  const std::string Exe = Env && *Env ? Env : "/usr/bin/chromium";
  if (access(Exe.c_str(), X_OK) != 0) {
    FCannotRun = Exe + " is not installed (scripts/install-deps.sh installs Debian's chromium)";
    return;
  }
  int In[2], Out[2];
  if (pipe2(In, O_CLOEXEC) != 0 || pipe2(Out, O_CLOEXEC) != 0) {
    FCannotRun = "no pipe";
    return;
  }
  const std::string Log = FProfile.File("chromium.log");
  const std::vector<std::string> Args = {
      Exe, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      // Without these the browser tries the network, which this machine refuses.
      "--disable-background-networking", "--disable-component-update", "--disable-sync",
      "--user-data-dir=" + FProfile.File("profile"), "--remote-debugging-pipe", "--hide-scrollbars",
      "--force-device-scale-factor=1", "about:blank"};
  FPid = fork();
  if (FPid == 0) {
    // The browser reads commands from fd 3 and writes answers to fd 4; both
    // are moved out of the way first, so neither is closed by the other's dup2.
    const int Read = fcntl(In[0], F_DUPFD, 10), Write = fcntl(Out[1], F_DUPFD, 10);
    dup2(Read, 3);
    dup2(Write, 4);
    const int LogFd = open(Log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(LogFd, 1);
    dup2(LogFd, 2);
    std::vector<char*> Argv;
    for (const std::string& A : Args) Argv.push_back(const_cast<char*>(A.c_str()));
    Argv.push_back(nullptr);
    execv(Exe.c_str(), Argv.data());
    _exit(127);
  }
  close(In[0]);
  close(Out[1]);
  FToBrowser = In[1];
  FFromBrowser = Out[0];
  if (FPid < 0) {
    FCannotRun = "cannot start " + Exe;
    return;
  }
  // The first answer tells whether the browser runs here at all; one that
  // starts but does not answer is a fault, not a reason to skip.
  if (!Call("Browser.getVersion", "{}", true).empty()) return;
  const std::string Why = testkit::ReadFileBytes(Log).substr(0, 2000);
  if (std::system((Exe + " --headless --no-sandbox --version >/dev/null 2>&1").c_str()) != 0)
    FCannotRun = Exe + " does not start: " + Why;
  else
    ADD_FAILURE() << Exe << " starts but does not answer on its pipe: " << Why;
}

TChromium::~TChromium() {
  if (FPid > 0) {
    if (FCannotRun.empty()) {
      const std::string Msg = "{\"id\":999999,\"method\":\"Browser.close\"}";
      (void)!write(FToBrowser, Msg.c_str(), Msg.size() + 1);
    }
    // A browser that does not close within ten seconds is stopped.
    int Status = 0;
    for (int i = 0; i < 100 && waitpid(FPid, &Status, WNOHANG) == 0; ++i) usleep(100000);
    if (waitpid(FPid, &Status, WNOHANG) == 0) {
      kill(FPid, SIGKILL);
      waitpid(FPid, &Status, 0);
    }
  }
  if (FToBrowser >= 0) close(FToBrowser);
  if (FFromBrowser >= 0) close(FFromBrowser);
}

std::string TChromium::Receive() {
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
  for (;;) {
    const size_t End = FPending.find('\0');
    if (End != std::string::npos) {
      std::string Msg = FPending.substr(0, End);
      FPending.erase(0, End + 1);
      return Msg;
    }
    const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now());
    pollfd P{FFromBrowser, POLLIN, 0};
    if (Left.count() <= 0 || poll(&P, 1, static_cast<int>(Left.count())) <= 0) return "";
    char Buf[65536];
    const ssize_t N = read(FFromBrowser, Buf, sizeof Buf);
    if (N <= 0) return "";
    FPending.append(Buf, static_cast<size_t>(N));
  }
}

std::string TChromium::Call(const std::string& Method, const std::string& Params, bool Browser) {
  const int Id = ++FNextId;
  std::string Msg = "{\"id\":" + std::to_string(Id) + ",\"method\":" + JsonString(Method) + ",\"params\":" + Params;
  if (!Browser) Msg += ",\"sessionId\":" + JsonString(FSession);
  Msg += "}";
  Msg += '\0';
  if (write(FToBrowser, Msg.data(), Msg.size()) != static_cast<ssize_t>(Msg.size())) {
    ADD_FAILURE() << "cannot send " << Method;
    return "";
  }
  for (;;) {
    const std::string Answer = Receive();
    if (Answer.empty()) {
      if (FCannotRun.empty() && FSession.size() + FTarget.size() > 0) ADD_FAILURE() << Method << ": no answer";
      return "";
    }
    rapidjson::Document D;
    D.Parse(Answer.c_str(), Answer.size());
    if (D.HasParseError() || !D.IsObject() || !D.HasMember("id") || D["id"].GetInt() != Id) continue;
    if (D.HasMember("error")) {
      ADD_FAILURE() << Method << ": " << ToJson(D["error"]);
      return "";
    }
    return ToJson(D["result"]);
  }
}

bool TChromium::WaitForEvent(const std::string& Method) {
  for (;;) {
    const std::string Msg = Receive();
    if (Msg.empty()) return false;
    rapidjson::Document D;
    D.Parse(Msg.c_str(), Msg.size());
    if (!D.HasParseError() && D.IsObject() && D.HasMember("method") && D["method"].IsString() &&
        Method == D["method"].GetString())
      return true;
  }
}

void TChromium::Open(const std::string& Url, bool Scripts, int Width, int Height) {
  rapidjson::Document D;
  D.Parse(Call("Target.createTarget", "{\"url\":\"about:blank\"}", true).c_str());
  ASSERT_TRUE(D.IsObject() && D.HasMember("targetId"));
  FTarget = D["targetId"].GetString();
  D.Parse(Call("Target.attachToTarget", "{\"targetId\":" + JsonString(FTarget) + ",\"flatten\":true}", true).c_str());
  ASSERT_TRUE(D.IsObject() && D.HasMember("sessionId"));
  FSession = D["sessionId"].GetString();
  Call("Page.enable", "{}");
  Call("Emulation.setDeviceMetricsOverride", "{\"width\":" + std::to_string(Width) + ",\"height\":" +
                                                 std::to_string(Height) + ",\"deviceScaleFactor\":1,\"mobile\":false}");
  if (!Scripts) Call("Emulation.setScriptExecutionDisabled", "{\"value\":true}");
  Call("Page.navigate", "{\"url\":" + JsonString(Url) + "}");
  ASSERT_TRUE(WaitForEvent("Page.loadEventFired")) << "no load event for " << Url;
}

std::string TChromium::Eval(const std::string& Expression) {
  rapidjson::Document D;
  const std::string R =
      Call("Runtime.evaluate", "{\"expression\":" + JsonString(Expression) + ",\"returnByValue\":true,\"awaitPromise\":true}");
  D.Parse(R.c_str());
  if (!D.IsObject() || D.HasMember("exceptionDetails")) {
    ADD_FAILURE() << "script failed: " << Expression << "\n" << R;
    return "";
  }
  const rapidjson::Value& V = D["result"];
  return V.HasMember("value") && V["value"].IsString() ? V["value"].GetString() : "";
}

std::string TChromium::Screenshot() {
  rapidjson::Document D;
  D.Parse(Call("Page.captureScreenshot", "{\"format\":\"png\"}").c_str());
  if (!D.IsObject() || !D.HasMember("data")) return "";
  const QByteArray Png = QByteArray::fromBase64(QByteArray(D["data"].GetString()));
  return Png.toStdString();
}

}  // namespace reporttest
