#include "repair/RepairReport.h"

#include <cstdio>

#include "check/FindingText.h"
#include "util/uUtf8.h"

namespace {

std::string Hex(const char* Format, unsigned C) {
  char Buffer[8];
  std::snprintf(Buffer, sizeof Buffer, Format, C);
  return Buffer;
}

// A JSON string. Text passes UTF-8 through; as Bytes every byte is one
// character (Latin-1), as the command-line checker gives raw field bytes.
std::string Json(const std::string& S, bool Bytes = false) {
  std::string Out = "\"";
  const auto* P = reinterpret_cast<const unsigned char*>(S.data());
  for (size_t I = 0; I < S.size();) {
    const unsigned char C = P[I];
    const size_t Len = Bytes ? (C < 0x80 ? 1 : 0) : Utf8SequenceLength(P + I, S.size() - I);
    if (C == '"' || C == '\\') {
      Out += '\\';
      Out += static_cast<char>(C);
    } else if (C < 32 || C == 127 || Len == 0) {
      Out += Hex("\\u%04X", C);
    } else if ((Len == 2 && C == 0xC2 && P[I + 1] == 0x85) ||
               (Len == 3 && C == 0xE2 && P[I + 1] == 0x80 && (P[I + 2] == 0xA8 || P[I + 2] == 0xA9))) {
      // NEL, LINE and PARAGRAPH SEPARATOR break lines for some readers.
      Out += Hex("\\u%04X", Len == 2 ? 0x85u : 0x2000u | (P[I + 2] & 0x3Fu));
      I += Len;
      continue;
    } else {
      Out.append(S, I, Len);
      I += Len;
      continue;
    }
    ++I;
  }
  return Out + "\"";
}

// A file name under Key: as it is when it is UTF-8, else as the text form
// escapes it with "<Key>Escaped": true, so that every name maps back to its
// bytes (the convention of vellicor-check --json).
std::string Name(const char* Key, const std::string& Path) {
  const auto* P = reinterpret_cast<const unsigned char*>(Path.data());
  bool Utf8 = true;
  for (size_t I = 0, Len = 0; Utf8 && I < Path.size(); I += Len)
    Utf8 = (Len = Utf8SequenceLength(P + I, Path.size() - I)) > 0;
  std::string Quoted(1, '"');
  Quoted += Key;
  Quoted += "\":";
  if (Utf8) return Quoted + Json(Path);
  return Quoted + Json(DisplayName(Path)) + ",\"" + Key + "Escaped\":true";
}

std::string Count(size_t N, const char* Noun) { return std::to_string(N) + " " + Noun + (N == 1 ? "" : "s"); }

// A field's text as a sentence shows it: without its padding blanks.
std::string Shown(const std::string& Raw) {
  const size_t End = Raw.find_last_not_of(' ');
  return QuoteIfNeeded(End == std::string::npos ? std::string() : Raw.substr(0, End + 1));
}

std::string Joined(const std::vector<std::string>& Items, const char* Separator) {
  std::string Out;
  for (const std::string& I : Items) Out += (Out.empty() ? "" : Separator) + I;
  return Out;
}

std::string ChangeLine(const TRepairPlan& Plan, const TRepairChange& C) {
  const std::string Rules = '[' + Joined(C.Rules, ", ") + "] ";
  if (C.Kind == TRepairChangeKind::DropTail)
    return "  drop " + Rules + "file, bytes " + std::to_string(C.Offset) + ".." +
           std::to_string(C.Offset + C.Length - 1) + ": " + C.Why;
  return std::string("  ") + (C.Cleanup ? "tidy " : "change ") + Rules + WhereText(C.Where, Plan.SignalLabels) + ", byte " +
         std::to_string(C.Offset) + ": " + C.Field + " " + Shown(C.Old) + " -> " + Shown(C.New) + ": " + C.Why;
}

std::string RefusalLine(const TRepairPlan& Plan, const TRepairRefusal& R) {
  std::string Line = "  refuse [" + R.Rule + "] " + WhereText(R.Where, Plan.SignalLabels);
  if (R.Offset >= 0) Line += ", byte " + std::to_string(R.Offset);
  return Line + ": " + R.Message + ": " + R.Reason;
}

const char* OutcomeName(TRepairOutcome Outcome) {
  switch (Outcome) {
    case TRepairOutcome::NothingToRepair: return "nothing to repair";
    case TRepairOutcome::Written: return "written";
    case TRepairOutcome::Refused: return "refused";
    case TRepairOutcome::DryRun: return "dry run";
    case TRepairOutcome::Failed: return "error";
  }
  return "error";
}

void PutPlace(std::string& O, const TRepairPlan& Plan, const TWhere& W) {
  O += ",\"place\":" + Json(WhereKindName(W.Kind));
  if (W.Signal >= 0) {
    O += ",\"signal\":" + std::to_string(W.Signal + 1);
    if (static_cast<size_t>(W.Signal) < Plan.SignalLabels.size())
      O += ",\"label\":" + Json(Plan.SignalLabels[static_cast<size_t>(W.Signal)], true);
  }
}

}  // namespace

std::vector<std::string> FormatPlanLines(const TRepairPlan& Plan) {
  std::vector<std::string> Lines;
  Lines.push_back(DisplayName(Plan.Path) + ": " +
                  (Plan.NothingToRepair() ? std::string("no fault found")
                                          : Count(Plan.Changes.size(), "change") + ", " +
                                                Count(Plan.Refusals.size(), "fault") + " left as found"));
  for (const TRepairChange& C : Plan.Changes) Lines.push_back(ChangeLine(Plan, C));
  for (const TRepairRefusal& R : Plan.Refusals) Lines.push_back(RefusalLine(Plan, R));
  if (!Plan.LayoutJudged && !Plan.NothingToRepair())
    Lines.push_back("  unjudged: while these faults stay, NrDataRecords is not compared with the file size");
  return Lines;
}

std::string FormatPlanJson(const TRepairPlan& Plan, TRepairOutcome Outcome, const std::string& Out,
                           const std::string& Error) {
  std::string O(1, '{');
  O += Name("file", Plan.Path);
  O += ",\"outcome\":";
  O += Json(OutcomeName(Outcome));
  if (Outcome == TRepairOutcome::Written) O += ',' + Name("output", Out);
  if (!Error.empty()) O += ",\"error\":" + Json(Error);
  return O + FormatPlanJsonKeys(Plan) + "}\n";
}

std::string FormatPlanJsonKeys(const TRepairPlan& Plan) {
  std::string O = std::string(",\"layoutJudged\":") + (Plan.LayoutJudged ? "true" : "false");
  O += ",\"inputBytes\":" + std::to_string(Plan.InputSize) + ",\"outputBytes\":" + std::to_string(Plan.OutputSize);
  O += ",\"changes\":[";
  for (size_t i = 0; i < Plan.Changes.size(); ++i) {
    const TRepairChange& C = Plan.Changes[i];
    O += i ? ",{" : "{";
    O += std::string("\"kind\":") + (C.Kind == TRepairChangeKind::DropTail ? "\"drop\"" : C.Cleanup ? "\"tidy\"" : "\"change\"");
    O += ",\"rules\":[";
    for (size_t r = 0; r < C.Rules.size(); ++r) {
      if (r) O += ',';
      O += Json(C.Rules[r]);
    }
    O += "]";
    PutPlace(O, Plan, C.Where);
    if (C.Kind == TRepairChangeKind::Field) O += ",\"field\":" + Json(C.Field);
    O += ",\"offset\":" + std::to_string(C.Offset) + ",\"length\":" + std::to_string(C.Length);
    if (C.Kind == TRepairChangeKind::Field) O += ",\"old\":" + Json(C.Old, true) + ",\"new\":" + Json(C.New, true);
    O += ",\"why\":" + Json(C.Why) + "}";
  }
  O += "],\"refusals\":[";
  for (size_t i = 0; i < Plan.Refusals.size(); ++i) {
    const TRepairRefusal& R = Plan.Refusals[i];
    O += (i ? ",{" : "{") + std::string("\"rule\":") + Json(R.Rule);
    PutPlace(O, Plan, R.Where);
    O += ",\"offset\":" + std::to_string(R.Offset) + ",\"message\":" + Json(R.Message) +
         ",\"reason\":" + Json(R.Reason) + "}";
  }
  return O + "]";
}

std::string JsonString(const std::string& Text) { return Json(Text); }

std::string JsonFileName(const char* Key, const std::string& Path) { return Name(Key, Path); }
