// The reduce step of a distributed run on generated result lines: lines as
// vellicor-check --json writes them (files checked or not read, findings,
// totals, summaries), now and then broken, mixed with raw bytes, written to a
// file and read as --summarize reads it, into the summary and the archive
// page. No crash, no hang; every line is handed on once; the page accepts
// exactly the lines the summary accepts and counts the same; and a line
// read, written back, is read again to the same file, verdict and counts.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "check/Rules.h"
#include "fuzz/ScratchFile.h"
#include "report/JsonLines.h"
#include "report/JsonString.h"
#include "report/ReportLine.h"
#include "report/ReportPage.h"
#include "report/Summary.h"

namespace {

// A finding that breaks a rule of this target: the input is kept as a crash.
void Require(bool Holds) {
  if (!Holds) std::abort();
}

// Text with the characters that break lines or JSON now and then among it.
std::string Text(FuzzedDataProvider& P, size_t Max) {
  static const char* const Pieces[] = {"\n",   "\r",   "\"", "\\", "\xE2\x80\xA8",     "\xE2\x80\xA9", "\xC2\x85",
                                       "\x85", "\xFF", "<",  " ",  "summary: 1 files", "x.edf"};
  std::string Out;
  while (Out.size() < Max && P.remaining_bytes() > 0 && P.ConsumeBool()) {
    if (P.ConsumeBool())
      Out += Pieces[P.ConsumeIntegralInRange<size_t>(0, std::size(Pieces) - 1)];
    else
      Out += P.ConsumeRandomLengthString(8);
  }
  return Out;
}

std::string Json(const std::string& Text) {
  std::string Out;
  AppendJsonUtf8(Out, Text);
  return Out;
}

// Builds one line and tells whether it is a line of ours: every rule id the
// registry's, every count whole and within 64 bits, nothing broken after.
class TLineMaker {
public:
  explicit TLineMaker(FuzzedDataProvider& P) : FP(P) {}
  bool Ours() const { return FOurs; }

  std::string Line() {
    switch (FP.ConsumeIntegralInRange(0, 3)) {
      case 0:
        return "{\"error\":" + Json(Text(FP, 40)) + ",\"file\":" + Json(Text(FP, 40)) + "}";
      case 1: {
        int64_t Files = 0;
        const std::string Text = Count(&Files);
        FOurs = Files >= 0;
        return "{\"summary\":{\"files\":" + Text + ",\"rules\":{}}}";
      }
      case 2:
        FOurs = false;
        return FP.ConsumeRandomLengthString(200);
      default:
        break;
    }
    std::string Out = "{";
    if (FP.ConsumeBool()) Out += "\"conformance\":{\"totals\":" + Totals() + "},";
    Out += "\"file\":" + Json(Text(FP, 40)) + ",\"findings\":[";
    for (int n = FP.ConsumeIntegralInRange(0, 4); n > 0; --n) {
      static const char* const Severities[] = {"error", "warning", "note", "fatal"};
      const size_t Severity = FP.ConsumeIntegralInRange<size_t>(0, std::size(Severities) - 1);
      FOurs = FOurs && Severity < 3;
      if (Out.back() != '[') Out += ',';
      Out += "{\"rule\":" + Json(RuleId()) + ",\"severity\":\"" + Severities[Severity] + "\"}";
    }
    Out += "],";
    if (FP.ConsumeBool()) Out += "\"quality\":{\"totals\":" + Totals() + "},";
    Out += std::string("\"valid\":") + (FP.ConsumeBool() ? "true" : "false") + "}";
    if (FP.ConsumeIntegralInRange(0, 7) == 0) {
      Out[FP.ConsumeIntegralInRange<size_t>(0, Out.size() - 1)] = static_cast<char>(FP.ConsumeIntegral<uint8_t>());
      FOurs = false;
    }
    return Out;
  }

private:
  std::string RuleId() {
    // A few rules often, so that lines add up on the same ones.
    const std::vector<TRule>& All = Rules();
    const int Pick = FP.ConsumeIntegralInRange(0, 3);
    if (Pick > 0) return All[FP.ConsumeIntegralInRange<size_t>(0, Pick == 1 ? All.size() - 1 : 2)].Id;
    FOurs = false;
    return Text(FP, 24);
  }

  // A count as a line may write it: mostly whole and small, sometimes at the
  // edges of 64 bits or no whole number at all; Value is -1 for one that is
  // not ours.
  std::string Count(int64_t* Value) {
    static const std::pair<const char*, int64_t> Edges[] = {{"9223372036854775807", INT64_MAX},
                                                            {"9223372036854775808", -1},
                                                            {"18446744073709551615", -1},
                                                            {"-1", -1},
                                                            {"1.5", -1},
                                                            {"1e400", -1},
                                                            {"0", 0}};
    int64_t V = FP.ConsumeIntegralInRange<int64_t>(0, 1000);
    std::string Text = std::to_string(V);
    if (FP.ConsumeBool()) {
      // The largest count half the time: sums of them must saturate.
      const auto& [EdgeText, EdgeValue] =
          Edges[FP.ConsumeBool() ? 0 : FP.ConsumeIntegralInRange<size_t>(1, std::size(Edges) - 1)];
      Text = EdgeText;
      V = EdgeValue;
    }
    if (Value) *Value = V;
    return Text;
  }

  std::string Totals() {
    std::string Out = "{";
    for (int n = FP.ConsumeIntegralInRange(0, 3); n > 0; --n) {
      if (Out.size() > 1) Out += ',';
      int64_t Listed = 0, Total = 0;
      Out += Json(RuleId()) + ":{\"listed\":" + Count(&Listed) + ",\"total\":" + Count(&Total) + "}";
      FOurs = FOurs && Listed >= 0 && Total >= Listed;
    }
    return Out + "}";
  }

  FuzzedDataProvider& FP;
  bool FOurs = true;
};

// The line of a file as read, written back the way the command line writes
// it: what it counts stands in its totals.
std::string WrittenBack(const TReportLine& L) {
  std::string Out = "{\"c\":{\"totals\":{";
  for (const auto& [Rule, N] : L.Rules) {
    if (Out.back() != '{') Out += ',';
    Out += Json(Rule) + ":{\"listed\":0,\"total\":" + std::to_string(N) + "}";
  }
  Out += "}},\"file\":" + Json(L.File);
  if (L.Status == TFileStatus::Unread) return Out + ",\"error\":\"e\"}";
  return Out + ",\"findings\":[],\"valid\":" + (L.Status == TFileStatus::Valid ? "true" : "false") + "}";
}

bool Same(const TSummary& A, const TSummary& B) {
  if (A.Valid() != B.Valid() || A.Invalid() != B.Invalid() || A.Unread() != B.Unread()) return false;
  if (A.RuleCounts().size() != B.RuleCounts().size()) return false;
  for (const auto& [Rule, C] : A.RuleCounts()) {
    const auto It = B.RuleCounts().find(Rule);
    if (It == B.RuleCounts().end() || It->second.Findings != C.Findings || It->second.Files != C.Files) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const TScratchFile Scratch("fuzz_summarize");
  FuzzedDataProvider P(Data, Size);
  std::vector<bool> Ours;  // per line read
  std::string File;
  for (int n = P.ConsumeIntegralInRange(1, 8); n > 0 && P.remaining_bytes() > 0; --n) {
    TLineMaker Maker(P);
    const std::string Line = Maker.Line();
    File += Line + (P.ConsumeIntegralInRange(0, 7) == 0 ? "\r\n" : "\n");
    // A raw line may hold line feeds of its own: each part is a line.
    const auto Parts = std::count(Line.begin(), Line.end(), '\n');
    Ours.insert(Ours.end(), static_cast<size_t>(Parts), false);
    Ours.push_back(Maker.Ours() && Parts == 0);
  }
  Scratch.Write(reinterpret_cast<const uint8_t*>(File.data()), File.size());

  TSummary Summary, Again;
  TReportPage Page;
  int64_t Seen = 0;
  const std::string Error = ForEachLine(Scratch.Path(), [&](std::string_view Line, int64_t Number, bool TooLong) {
    Require(!TooLong && Number == ++Seen);
    TReportLine L;
    const bool Read = ReadReportLine(Line, L);
    // Every line of ours is read, and the page takes exactly the lines the
    // summary takes.
    Require(Read || !Ours[static_cast<size_t>(Number - 1)]);
    Require(Page.AddLine(Line) == Read);
    if (!Read || L.Kind != TReportLineKind::File) return;
    Summary.Add(L.Status, L.Rules);
    TReportLine Back;
    Require(ReadReportLine(WrittenBack(L), Back) && Back.Kind == TReportLineKind::File);
    Require(Back.File == L.File && Back.Status == L.Status && Back.Rules == L.Rules);
    Again.Add(Back.Status, Back.Rules);
  });
  Require(Error.empty());
  Require(Seen == static_cast<int64_t>(Ours.size()));
  Require(Same(Summary, Page.Summary()) && Same(Summary, Again));
  if (Seen > 0 && P.ConsumeIntegralInRange(0, 3) == 0) (void)Page.Html("now", "fuzz");
  return 0;
}
