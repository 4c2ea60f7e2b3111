// The copy writer on its own: patches anywhere in the file and a cut tail,
// under both kinds of temporary file; a copy refused by its verification or
// of an original not as planned; a signal while the copy has a name.
#include "repair/CopyWriter.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testkit/EdfBytes.h"

using testing::HasSubstr;
using testkit::TempDir;

namespace {

// 200 KiB without repeats at short range, so a misplaced byte shows.
std::string Original() {
  std::string Bytes(200 << 10, '\0');
  for (size_t i = 0; i < Bytes.size(); ++i) Bytes[i] = static_cast<char>((i * 7 + i / 251) % 256);
  return Bytes;
}

// Two patches, one in the first bytes and one far into the data (with more
// than the kernel copy's threshold between them), and 1000 bytes cut.
TCopyJob Job(const std::string& In) {
  const std::string Bytes = Original();
  TCopyJob J;
  J.Source = {In, static_cast<int64_t>(Bytes.size()), testkit::FileMTimeNs(In), Bytes.substr(0, 256)};
  J.OutputSize = J.Source.Size - 1000;
  J.Patches = {{10, "HEAD"}, {150000, "ANNOTATION"}};
  return J;
}

std::string Expected() {
  std::string Bytes = Original();
  Bytes.replace(10, 4, "HEAD");
  Bytes.replace(150000, 10, "ANNOTATION");
  return Bytes.substr(0, Bytes.size() - 1000);
}

std::vector<std::string> Names(const TempDir& Dir) {
  std::vector<std::string> N;
  for (const auto& E : std::filesystem::directory_iterator(Dir.Path())) N.push_back(E.path().filename().string());
  std::sort(N.begin(), N.end());
  return N;
}

struct TCase {
  const char* Name;
  bool Unnamed;
  std::function<void(TCopyJob&, const std::string& Out)> Change;
  const char* Error;  // a part of the error; "" when the copy is written
};
void PrintTo(const TCase& C, std::ostream* Os) { *Os << C.Name; }

class CopyWriter : public testing::TestWithParam<TCase> {};

// Never to replace OUT, which is not there when the copy starts; another
// process makes it ("old") while the copy is written.
void MadeDuringTheCopy(TCopyJob& J, const std::string& Out) {
  J.NeverReplace = true;
  std::filesystem::remove(Out);
  J.Verify = [Out](const std::string&) {
    testkit::WriteFileBytes(Out, "old");
    return std::string();
  };
}

// OUT exists beforehand: a written copy replaces it, a failure leaves it.
TEST_P(CopyWriter, WritesTheCopyOrLeavesEverythingAsItWas) {
  const TCase& C = GetParam();
  TempDir Dir;
  const std::string In = Dir.File("in.edf");
  const std::string Out = Dir.File("out.edf");
  testkit::WriteFileBytes(In, Original());
  testkit::WriteFileBytes(Out, "old");
  TCopyJob J = Job(In);
  J.AllowUnnamed = C.Unnamed;
  std::string Seen;
  J.Verify = [&Seen](const std::string& Copy) {
    Seen = testkit::ReadFileBytes(Copy);
    return std::string();
  };
  if (C.Change) C.Change(J, Out);

  std::string Error;
  try {
    WriteCopy(J, Out);
  } catch (const ECopyWrite& e) {
    Error = e.what();
  }
  EXPECT_EQ(testkit::ReadFileBytes(In), Original());
  EXPECT_EQ(Names(Dir), (std::vector<std::string>{"in.edf", "out.edf"}));
  if (*C.Error) {
    EXPECT_THAT(Error, HasSubstr(C.Error));
    EXPECT_EQ(testkit::ReadFileBytes(Out), "old");
  } else {
    EXPECT_EQ(Error, "");
    EXPECT_EQ(Seen, Expected());
    EXPECT_EQ(testkit::ReadFileBytes(Out), Expected());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CopyWriter,
    testing::Values(
        TCase{"Unnamed", true, {}, ""}, TCase{"Named", false, {}, ""},
        TCase{"RefusedByTheVerification", true,
              [](TCopyJob& J, const std::string&) {
                J.Verify = [](const std::string&) { return std::string("it is not as planned"); };
              },
              "out.edf' not written: it is not as planned"},
        TCase{"OriginalNotAsPlanned", true, [](TCopyJob& J, const std::string&) { J.Source.MTimeNs -= 1; },
              "in.edf' changed since the copy was planned; nothing written"},
        TCase{"OutMadeDuringAnUnnamedCopyIsLeft", true, MadeDuringTheCopy, "out.edf' exists (made while the copy"},
        TCase{"OutMadeDuringANamedCopyIsLeft", false, MadeDuringTheCopy, "out.edf' exists (made while the copy"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// A signal while the copy has a temporary name removes it, and still ends
// the program as the signal would have.
TEST(CopyWriter, SignalWhileNamedRemovesTheTemporaryFile) {
  for (const int Signal : {SIGINT, SIGTERM, SIGHUP}) {
    TempDir Dir;
    const std::string In = Dir.File("in.edf");
    testkit::WriteFileBytes(In, Original());
    const pid_t Child = fork();
    if (Child == 0) {
      signal(Signal, SIG_DFL);
      TCopyJob J = Job(In);
      J.AllowUnnamed = false;
      J.Verify = [Signal](const std::string&) {
        raise(Signal);
        return std::string();
      };
      try {
        WriteCopy(J, Dir.File("out.edf"));
      } catch (const ECopyWrite&) {
      }
      _exit(0);
    }
    int Status = 0;
    waitpid(Child, &Status, 0);
    EXPECT_TRUE(WIFSIGNALED(Status) && WTERMSIG(Status) == Signal) << strsignal(Signal);
    EXPECT_EQ(Names(Dir), std::vector<std::string>{"in.edf"}) << strsignal(Signal);
  }
}

}  // namespace
