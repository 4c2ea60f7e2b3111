// How the JSON Lines cost next to the text form, and how fast --summarize
// reads them back. The program itself is run, as a user runs it, and every
// figure is a ratio to a baseline measured in the same run, so it holds on a
// busy machine where the absolute times do not.
//
//   json_bench [--program PATH] [files] [MiB]
//       PATH   vellicor-check (default: ../cli/vellicor-check beside this program)
//       files  size of the batch (default 10000)
//       MiB    size of the JSON Lines file read back (default 1024)
//
// Copies the small example file `files` times into a temporary folder; then,
// runs interleaved and each measure the best of three:
//   (t) vellicor-check -r FOLDER, printing text: the baseline;
//   (j) the same with --json, as a ratio to (t) (goal: at most 1.5);
//   (h) the same with --html PAGE (the page built from every file's line);
// then writes a JSON Lines file of the given size from the lines of the
// batch checked with --json --minmax --conformance, and measures
//   (r) plain read() of that file in 1 MiB blocks: the I/O limit;
//   (s) vellicor-check --summarize of it, in MB/s (goal: at least 300) and
//       as a ratio to (r);
// and the peak memory of (s) over a 64 MiB file and over the full one (flat:
// the same whatever the size).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct TRun {
  double Seconds = 0;
  double CpuSeconds = 0;  // user and system: less at the mercy of other work on the machine
  long PeakKiB = 0;  // the child's peak resident memory
  int Status = -1;
};

// Runs Args with standard output to OutPath (default: nowhere) and standard
// error to nowhere.
TRun Run(const std::vector<std::string>& Args, const std::string& OutPath = "/dev/null") {
  const auto Start = std::chrono::steady_clock::now();
  const pid_t Pid = fork();
  if (Pid == 0) {
    const int Out = open(OutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int Null = open("/dev/null", O_WRONLY);
    if (Out < 0 || Null < 0) _exit(126);
    dup2(Out, 1);
    dup2(Null, 2);
    std::vector<char*> Argv;
    for (const std::string& A : Args) Argv.push_back(const_cast<char*>(A.c_str()));
    Argv.push_back(nullptr);
    execv(Argv[0], Argv.data());
    _exit(127);
  }
  TRun R;
  int Status = 0;
  rusage Usage{};
  if (Pid < 0 || wait4(Pid, &Status, 0, &Usage) != Pid) return R;
  R.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
  R.CpuSeconds = static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
                 static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
  R.PeakKiB = Usage.ru_maxrss;
  R.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
  return R;
}

// The fastest of three runs of each (elapsed and CPU time apart), taken in turns.
std::vector<TRun> BestOfThree(const std::vector<std::vector<std::string>>& Commands) {
  std::vector<TRun> Best(Commands.size(), TRun{1e30, 1e30, 0, 0});
  for (int Round = 0; Round < 3; ++Round)
    for (size_t i = 0; i < Commands.size(); ++i) {
      const TRun R = Run(Commands[i]);
      if (R.Status < 0 || R.Status > 2) {
        std::fprintf(stderr, "json_bench: %s failed (%d)\n", Commands[i][0].c_str(), R.Status);
        std::exit(1);
      }
      Best[i].Seconds = std::min(Best[i].Seconds, R.Seconds);
      Best[i].CpuSeconds = std::min(Best[i].CpuSeconds, R.CpuSeconds);
    }
  return Best;
}

double ReadWholeFile(const std::string& Path) {
  std::vector<char> Block(1 << 20);
  const auto Start = std::chrono::steady_clock::now();
  const int Fd = open(Path.c_str(), O_RDONLY);
  while (read(Fd, Block.data(), Block.size()) > 0) {
  }
  close(Fd);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

// Repeats the lines of the file From until To holds at least MiB mebibytes.
// Copied in blocks: this program's own memory must stay small, since a
// child's peak memory counts what it had before it started the program.
void WriteLinesFile(const std::string& From, const std::string& To, long MiB) {
  std::vector<char> Block(1 << 20);
  const int Out = open(To.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const auto Target = static_cast<uintmax_t>(MiB) << 20;
  for (uintmax_t Written = 0; Written < Target;) {
    const int In = open(From.c_str(), O_RDONLY);
    for (ssize_t N; Written < Target && (N = read(In, Block.data(), Block.size())) > 0; Written += static_cast<uintmax_t>(N))
      if (write(Out, Block.data(), static_cast<size_t>(N)) != N) std::exit(1);
    close(In);
  }
  close(Out);
}

}  // namespace

int main(int argc, char** argv) {
  std::string Program = fs::canonical("/proc/self/exe").parent_path().parent_path() / "cli" / "vellicor-check";
  std::vector<long> Numbers;
  for (int i = 1; i < argc; ++i) {
    const std::string A = argv[i];
    if (A == "--program" && i + 1 < argc)
      Program = argv[++i];
    else
      Numbers.push_back(std::atol(argv[i]));
  }
  const long Files = Numbers.size() > 0 ? Numbers[0] : 10000;
  const long MiB = Numbers.size() > 1 ? Numbers[1] : 1024;
  if (access(Program.c_str(), X_OK) != 0 || Files < 1 || MiB < 64) {
    std::fprintf(stderr, "usage: json_bench [--program PATH] [files] [MiB >= 64]\n(no program at %s)\n",
                 Program.c_str());
    return 2;
  }

  char Template[] = "/tmp/vellicor-json-bench-XXXXXX";
  if (!mkdtemp(Template)) return 2;
  const fs::path Dir = Template;
  const fs::path Batch = Dir / "batch";
  fs::create_directory(Batch);
  for (long i = 0; i < Files; ++i)
    fs::copy_file(VELLICOR_SAMPLE_EDF, Batch / ('f' + std::to_string(i) + ".edf"));

  const std::string Folder = Batch.string(), Page = (Dir / "page.html").string();
  const std::vector<TRun> T = BestOfThree({{Program, "-r", Folder},
                                             {Program, "--json", "-r", Folder},
                                             {Program, "-r", Folder, "--html", Page}});
  std::printf("%ld files, best of three:\n", Files);
  const auto Line = [&](const char* Name, const TRun& R) {
    std::printf("  %-22s %7.3f s %5.2f x (t)   CPU %6.3f s %5.2f x (t)", Name, R.Seconds, R.Seconds / T[0].Seconds,
                R.CpuSeconds, R.CpuSeconds / T[0].CpuSeconds);
  };
  Line("(t) text", T[0]);
  std::printf("\n");
  Line("(j) --json", T[1]);
  std::printf("   goal <= 1.5 x\n");
  Line("(h) --html", T[2]);
  std::printf("   page %.1f MB\n", static_cast<double>(fs::file_size(Page)) / 1e6);

  const std::string Lines = (Dir / "lines.jsonl").string();
  Run({Program, "--json", "--minmax", "--conformance", "-r", Folder}, Lines);
  fs::remove_all(Batch);
  const std::string Small = (Dir / "small.jsonl").string(), Large = (Dir / "large.jsonl").string();
  WriteLinesFile(Lines, Small, 64);
  WriteLinesFile(Lines, Large, MiB);
  const double Bytes = static_cast<double>(fs::file_size(Large));
  double Read = 1e30, Summarize = 1e30, SummarizeCpu = 1e30;
  TRun LargeRun, SmallRun = Run({Program, "--summarize", Small});
  for (int Round = 0; Round < 3; ++Round) {
    Read = std::min(Read, ReadWholeFile(Large));
    LargeRun = Run({Program, "--summarize", Large});
    Summarize = std::min(Summarize, LargeRun.Seconds);
    SummarizeCpu = std::min(SummarizeCpu, LargeRun.CpuSeconds);
  }
  std::printf("--summarize over %.0f MB of JSON Lines (%zu-byte lines), best of three:\n", Bytes / 1e6,
              static_cast<size_t>(fs::file_size(Lines)) / static_cast<size_t>(Files));
  std::printf("  (r) read()              %7.3f s  %7.0f MB/s\n", Read, Bytes / 1e6 / Read);
  std::printf("  (s) --summarize         %7.3f s  %7.0f MB/s   %5.2f x (r)   goal >= 300 MB/s\n", Summarize,
              Bytes / 1e6 / Summarize, Read / Summarize);
  std::printf("      per CPU second      %7.3f s  %7.0f MB/s\n", SummarizeCpu, Bytes / 1e6 / SummarizeCpu);
  std::printf("  peak memory of (s): %ld KiB over 64 MiB, %ld KiB over %ld MiB\n", SmallRun.PeakKiB, LargeRun.PeakKiB,
              MiB);
  fs::remove_all(Dir);
  return 0;
}
