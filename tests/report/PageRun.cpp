#include "PageRun.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "cli/RunCli.h"

namespace reporttest {

std::vector<std::string> WriteSmallArchive(const testkit::TempDir& Dir) {
  using testkit::EdfBytes;
  const EdfBytes Valid = EdfBytes::Valid(2, 20, 2);
  const std::vector<std::pair<std::string, EdfBytes>> Files = {
      {"a.edf", Valid},
      {"b.edf", testkit::With(Valid, [](EdfBytes& E) { E.General[3] = "01-02-03"; })},
      {"c.edf", testkit::With(Valid, [](EdfBytes& E) { E.Signals[0][3] = "abc"; })},
      {"gone.edf", {}},
      {"d.bdf", EdfBytes::ValidBdf(1, 10, 1)}};
  std::vector<std::string> Paths;
  for (const auto& [Name, Bytes] : Files) {
    Paths.push_back(Dir.File(Name));
    if (Name != "gone.edf") testkit::WriteFileBytes(Paths.back(), Bytes.Bytes());
  }
  return Paths;
}

std::string WithoutTime(const std::string& Page) {
  const std::string Open = "<time id=\"generated\">";
  const size_t A = Page.find(Open);
  const size_t B = Page.find("</time>", A);
  if (A == std::string::npos || B == std::string::npos) return Page;
  return Page.substr(0, A + Open.size()) + Page.substr(B);
}

std::string ScriptText(const std::string& Page, const std::string& Id) {
  const std::string Open = "id=\"" + Id + "\">";
  const size_t A = Page.find(Open);
  if (A == std::string::npos) return "";
  const size_t B = Page.find("</script>", A);
  return Page.substr(A + Open.size(), B - A - Open.size());
}

std::string WithQuality(const std::string& Line, const std::vector<std::string>& Maps, int EpochSeconds) {
  rapidjson::Document D;
  D.Parse(Line.c_str());
  auto& A = D.GetAllocator();
  rapidjson::Value Signals(rapidjson::kArrayType);
  for (size_t i = 0; i < Maps.size(); ++i) {
    const std::string& M = Maps[i];
    const bool Judged = M.find_first_not_of('-') != std::string::npos;
    rapidjson::Value S(rapidjson::kObjectType);
    S.AddMember("index", static_cast<int>(i + 1), A);
    rapidjson::Value Label;
    Label.SetString(D["signals"][static_cast<rapidjson::SizeType>(i)]["label"].GetString(), A);
    S.AddMember("label", Label, A);
    S.AddMember("judged", Judged, A);
    S.AddMember("samples", 1000, A);
    S.AddMember("flatSeconds", 0, A);
    S.AddMember("clippedSamples", 0, A);
    S.AddMember("usableShare", Judged ? static_cast<double>(std::count(M.begin(), M.end(), '.')) / M.size() : 0.0, A);
    rapidjson::Value Map;
    Map.SetString(M.c_str(), static_cast<rapidjson::SizeType>(M.size()), A);
    S.AddMember("map", Map, A);
    Signals.PushBack(S, A);
  }
  rapidjson::Value Q(rapidjson::kObjectType);
  Q.AddMember("epochSeconds", EpochSeconds, A);
  Q.AddMember("signals", Signals, A);
  D.AddMember("quality", Q, A);
  rapidjson::StringBuffer B;
  rapidjson::Writer<rapidjson::StringBuffer> W(B);
  D.Accept(W);
  return B.GetString();
}

std::vector<std::string> ArchiveLines(int N, const testkit::TempDir& Scratch) {
  std::vector<std::string> Args = {"--json", "--minmax", "--conformance"};
  for (const std::string& P : WriteSmallArchive(Scratch))
    if (P.find("gone") == std::string::npos) Args.push_back(P);
  if (const std::string Real = testkit::RealTestDataDir(); !Real.empty())
    for (const auto& E : std::filesystem::directory_iterator(Real))
      if (E.path().extension() == ".edf" || E.path().extension() == ".bdf") Args.push_back(E.path().string());
  std::vector<std::string> Base;
  for (const std::string& L : clitest::SplitLines(clitest::RunCli(Args, Scratch.Path()).Out))
    if (L.find("\"signals\":[{") != std::string::npos) Base.push_back(L);
  std::mt19937 Random(27);
  std::vector<std::string> Out;
  for (int i = 0; i < N && !Base.empty(); ++i) {
    rapidjson::Document D;
    D.Parse(Base[static_cast<size_t>(i) % Base.size()].c_str());
    auto& A = D.GetAllocator();
    const auto Set = [&](rapidjson::Value& Field, const std::string& Raw) {
      Field["raw"].SetString(Raw.c_str(), static_cast<rapidjson::SizeType>(Raw.size()), A);
      const std::string Shown = Raw.substr(0, Raw.find_last_not_of(' ') + 1);
      Field["shown"].SetString(Shown.c_str(), static_cast<rapidjson::SizeType>(Shown.size()), A);
    };
    const std::string Path = "site" + std::to_string(i % 23) + "/subject" + std::to_string(i) + "/night.edf";
    D["file"].SetString(Path.c_str(), static_cast<rapidjson::SizeType>(Path.size()), A);
    char Buf[96];
    std::snprintf(Buf, sizeof Buf, "%-80s", ("S" + std::to_string(100000 + i) + " M 0" + std::to_string(i % 9 + 1) +
                                             "-MAR-19" + std::to_string(50 + i % 40) + " Subject_" + std::to_string(i))
                                                .c_str());
    Set(D["general"][1], Buf);
    std::snprintf(Buf, sizeof Buf, "%02d.%02d.%02d", i % 28 + 1, i % 12 + 1, i % 20);
    Set(D["general"][3], Buf);
    std::snprintf(Buf, sizeof Buf, "%02d.%02d.%02d", 20 + i % 4, i % 60, (i * 7) % 60);
    Set(D["general"][4], Buf);
    std::snprintf(Buf, sizeof Buf, "%-8d", 25000 + i % 5000);
    Set(D["general"][7], Buf);
    rapidjson::StringBuffer B;
    rapidjson::Writer<rapidjson::StringBuffer> W(B);
    D.Accept(W);
    std::vector<std::string> Maps;
    for (const auto& S : D["signals"].GetArray()) {
      const std::string Dim = S["fields"][2]["shown"].GetString();
      std::string M(960, Dim == "uV" || Dim == "mV" ? '.' : '-');
      if (M[0] == '.') {
        const size_t Flat = Random() % 900, Length = Random() % 60;
        for (size_t k = Flat; k < Flat + Length; ++k) M[k] = 'f';
        for (int k = 0; k < 4; ++k) M[Random() % 960] = 'c';
        M.replace(940, 20, 20, 't');
      }
      Maps.push_back(M);
    }
    Out.push_back(WithQuality(B.GetString(), Maps, 30));
  }
  return Out;
}

}  // namespace reporttest
