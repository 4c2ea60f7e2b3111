#include "testkit/EdfBytes.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testkit {
namespace {

constexpr int kGeneralWidths[10] = {8, 80, 80, 8, 8, 8, 44, 8, 8, 4};
constexpr int kSignalWidths[10] = {16, 80, 8, 8, 8, 8, 8, 80, 8, 32};

std::string Pad(const std::string& text, int width) {
  std::string out = text.substr(0, static_cast<size_t>(width));
  out.resize(static_cast<size_t>(width), ' ');
  return out;
}

}  // namespace

EdfBytes EdfBytes::Valid(int ns, int samples, int records) {
  EdfBytes e;
  e.General = {"0",        "X X X X",  "Startdate X X X X", "01.02.03",
               "04.05.06", std::to_string(256 * (ns + 1)), "",
               std::to_string(records), "1", std::to_string(ns)};
  for (int s = 0; s < ns; ++s) {
    e.Signals.push_back({"Signal " + std::to_string(s + 1), "transducer", "uV", "-500", "500",
                         "-2048", "2047", "prefilter", std::to_string(samples), ""});
  }
  e.Records = records;
  return e;
}

EdfBytes EdfBytes::ValidBdf(int ns, int samples, int records) {
  EdfBytes e = Valid(ns, samples, records);
  e.Bdf = true;
  e.General[0] = "\xFF" "BIOSEMI";
  e.General[6] = "24BIT";
  for (auto& sig : e.Signals) {
    sig[5] = "-8388608";
    sig[6] = "8388607";
  }
  return e;
}

int EdfBytes::SamplesOf(int s) const {
  try {
    return std::stoi(Signals[static_cast<size_t>(s)][8]);
  } catch (const std::exception&) {
    return 0;
  }
}

std::string EdfBytes::HeaderBytes() const {
  std::string out;
  for (int f = 0; f < 10; ++f) out += Pad(General[static_cast<size_t>(f)], kGeneralWidths[f]);
  for (int f = 0; f < 10; ++f)
    for (const auto& sig : Signals) out += Pad(sig[static_cast<size_t>(f)], kSignalWidths[f]);
  return out;
}

std::string EdfBytes::Bytes() const {
  std::string out = HeaderBytes();
  for (int r = 0; r < Records; ++r) {
    for (int s = 0; s < static_cast<int>(Signals.size()); ++s) {
      const int n = SamplesOf(s);
      if (const std::string text = Text ? Text(r, s) : std::string(); !text.empty()) {
        std::string bytes = text.substr(0, static_cast<size_t>(n * SampleBytes()));
        bytes.resize(static_cast<size_t>(n * SampleBytes()), '\0');
        out += bytes;
        continue;
      }
      for (int i = 0; i < n; ++i) {
        const auto u = static_cast<uint32_t>(Sample ? Sample(r, s, i) : 0);
        for (int b = 0; b < SampleBytes(); ++b) out.push_back(static_cast<char>((u >> (8 * b)) & 0xFF));
      }
    }
  }
  return out + Tail;
}

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "vellicor-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  FPath = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(FPath, ec);
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

int64_t FileMTimeNs(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

std::string RealTestDataDir() {
#ifdef VELLICOR_REAL_TESTDATA
  const std::string dir = VELLICOR_REAL_TESTDATA;
#else
  const std::string dir;
#endif
  std::error_code ec;
  if (!dir.empty() && std::filesystem::is_directory(dir, ec)) return dir;
  return "";
}

}  // namespace testkit
