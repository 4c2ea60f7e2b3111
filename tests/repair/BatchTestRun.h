// What the tests of a whole archive's run share, for vellicor-repair -r and
// vellicor-anonymize -r alike: the program run in a folder, the state of a
// tree, the lines of a report, and the README's share recipe run as written.
#pragma once

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "testkit/EdfBytes.h"

namespace batchtest {

namespace fs = std::filesystem;

inline void Put(const std::string& Path, const std::string& Bytes) {
  fs::create_directories(fs::path(Path).parent_path());
  testkit::WriteFileBytes(Path, Bytes);
}

struct TRun {
  int Exit = -1;  // the exit status, or minus the signal that ended it
  std::string Out;
  std::string Err;
};

// Runs the program Exe with Args in the folder Cwd. When Until is given, the
// program is killed once Until says so (polled while it runs).
inline TRun RunProgram(const char* Exe, const std::string& Cwd, const std::vector<std::string>& Args,
                       const std::function<bool(pid_t)>& Until = {}) {
  static const testkit::TempDir Scratch;
  static int Counter = 0;
  const std::string Base = Scratch.File("run" + std::to_string(++Counter));
  const pid_t Child = fork();
  if (Child == 0) {
    if (chdir(Cwd.c_str()) != 0 || !freopen((Base + ".out").c_str(), "w", stdout) ||
        !freopen((Base + ".err").c_str(), "w", stderr))
      _exit(127);
    std::vector<char*> Argv{const_cast<char*>(Exe)};
    for (const std::string& A : Args) Argv.push_back(const_cast<char*>(A.c_str()));
    Argv.push_back(nullptr);
    execv(Exe, Argv.data());
    _exit(127);
  }
  int Status = 0;
  bool Ended = false;
  while (Until && !(Ended = waitpid(Child, &Status, WNOHANG) == Child)) {
    if (Until(Child)) {
      kill(Child, SIGKILL);
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  if (!Ended) waitpid(Child, &Status, 0);
  return {WIFEXITED(Status) ? WEXITSTATUS(Status) : -WTERMSIG(Status), testkit::ReadFileBytes(Base + ".out"),
          testkit::ReadFileBytes(Base + ".err")};
}

// Every name below Root with its kind, permission bits, size, content and
// (with Times) modification time; links are not followed.
inline std::vector<std::string> TreeState(const std::string& Root, bool Times = true) {
  std::vector<std::string> State;
  std::error_code Ec;
  if (!fs::exists(fs::symlink_status(Root, Ec))) return State;
  for (auto It = fs::recursive_directory_iterator(Root, Ec); It != fs::recursive_directory_iterator(); ++It) {
    struct stat S {};
    lstat(It->path().c_str(), &S);
    std::ostringstream Line;
    Line << fs::relative(It->path(), Root).string() << " " << (S.st_mode & 0170777) << " " << S.st_size;
    if (Times) Line << " " << testkit::FileMTimeNs(It->path().string());
    if (S_ISREG(S.st_mode)) Line << " " << std::hash<std::string>{}(testkit::ReadFileBytes(It->path().string()));
    State.push_back(Line.str());
  }
  std::sort(State.begin(), State.end());
  return State;
}

// The regular files below Root and their bytes; none when Root is absent.
inline std::map<std::string, std::string> Files(const std::string& Root) {
  std::map<std::string, std::string> F;
  std::error_code Ec;
  for (auto It = fs::recursive_directory_iterator(Root, Ec); !Ec && It != fs::recursive_directory_iterator(); ++It)
    if (It->is_regular_file()) F[fs::relative(It->path(), Root).string()] = testkit::ReadFileBytes(It->path().string());
  return F;
}

// The report's lines; FilesOnly leaves out the summary of a --json run.
inline std::vector<std::string> Lines(const std::string& Text, bool FilesOnly = false) {
  std::vector<std::string> L;
  std::istringstream In(Text);
  for (std::string Line; std::getline(In, Line);)
    if (!FilesOnly || Line.rfind("{\"summary\"", 0) != 0) L.push_back(Line);
  return L;
}

// The first sh block after Marker in the README with its paths made the
// test's (each pair: from, to); "" when the README has no such marker.
inline std::string ReadmeRecipe(const std::string& Marker,
                                const std::vector<std::pair<std::string, std::string>>& Paths) {
  const std::string Readme = testkit::ReadFileBytes(std::string(VELLICOR_SOURCE_DIR) + "/README.md");
  const size_t At = Readme.find(Marker);
  if (At == std::string::npos) return "";
  const size_t Start = Readme.find("```sh\n", At) + 6;
  std::string Recipe = Readme.substr(Start, Readme.find("```", Start) - Start);
  for (const auto& [From, To] : Paths)
    for (size_t Pos; (Pos = Recipe.find(From)) != std::string::npos;) Recipe.replace(Pos, From.size(), To);
  return Recipe;
}

inline bool HasParallel() { return std::system("command -v parallel >/dev/null") == 0; }

// Runs Recipe in Folder with Exe on PATH as Program (scratch files in Work);
// returns what std::system does.
inline int RunRecipe(const std::string& Recipe, const char* Exe, const std::string& Program, const std::string& Work,
                      const std::string& Folder) {
  fs::create_directories(Work + "/bin");
  fs::create_symlink(Exe, Work + "/bin/" + Program);
  Put(Work + "/home/will-cite", "");
  const std::string Line = "export PATH=" + Work + "/bin:$PATH PARALLEL_HOME=" + Work + "/home\n" + Recipe;
  return std::system(("cd '" + Folder + "' && " + Line).c_str());
}

// A program's share recipe in the README.
struct TShareRecipe {
  const char* Exe;
  std::string Program;  // the name the recipe calls it by
  std::string Marker;   // the README's comment before the recipe
  std::vector<std::pair<std::string, std::string>> Paths;  // the README's folders and the test's
  std::string Report;   // the file the recipe writes the lines to
};

// With a tree below Work/archive: -j 2 prints what -j 1 prints (which ends
// with OneExit), and the shares of the README's recipe, merged, give one
// run's lines and mirror; the tree stays exactly as it was.
inline void ExpectWorkersAndSharesGiveOneRun(const testkit::TempDir& Work, const TShareRecipe& R, int OneExit) {
  const std::vector<std::string> Before = TreeState(Work.File("archive"));
  // Each run in a folder of its own, where "archive" leads to the one tree
  // and "mirror" is its own: the lines of all runs name the same paths.
  const auto RunIn = [&](const std::string& Name, const std::vector<std::string>& Args) {
    fs::create_directory(Work.File(Name));
    fs::create_directory_symlink("../archive", Work.File(Name + "/archive"));
    return RunProgram(R.Exe, Work.File(Name), Args);
  };
  const TRun One = RunIn("one", {"--json", "-r", "archive", "mirror"});
  const TRun Two = RunIn("two", {"--json", "-j", "2", "-r", "archive", "mirror"});
  EXPECT_EQ(One.Exit, OneExit) << One.Err;
  EXPECT_EQ(Two.Out, One.Out);
  EXPECT_EQ(TreeState(Work.File("two/mirror"), false), TreeState(Work.File("one/mirror"), false));

  const std::string Recipe = ReadmeRecipe(R.Marker, R.Paths);
  ASSERT_NE(Recipe, "") << R.Marker;
  if (!HasParallel()) GTEST_SKIP() << "GNU parallel is not installed";
  RunIn("shares", {});
  ASSERT_NE(RunRecipe(Recipe, R.Exe, R.Program, Work.Path(), Work.File("shares")), -1);
  std::vector<std::string> Merged = Lines(testkit::ReadFileBytes(Work.File("shares/" + R.Report)), true);
  std::vector<std::string> Single = Lines(One.Out, true);
  std::sort(Merged.begin(), Merged.end());
  std::sort(Single.begin(), Single.end());
  EXPECT_EQ(Merged, Single) << Recipe;
  EXPECT_EQ(TreeState(Work.File("shares/mirror"), false), TreeState(Work.File("one/mirror"), false));
  EXPECT_EQ(TreeState(Work.File("archive")), Before);
}

}  // namespace batchtest
