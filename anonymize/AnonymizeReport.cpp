#include "anonymize/AnonymizeReport.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "check/FindingText.h"
#include "check/PrivacyRules.h"
#include "edf/uEDFHeaderRecord.h"
#include "edf/uEDFLayout.h"
#include "repair/RepairReport.h"
#include "util/udStr.h"
#include "util/uUtf8.h"

namespace {

using TJson = rapidjson::Writer<rapidjson::StringBuffer>;

std::string Count(size_t N, const char* Noun) { return std::to_string(N) + " " + Noun + (N == 1 ? "" : "s"); }

// What each kept rule leaves in the copy, and by which option.
std::string LeftWhy(const std::string& Rule) {
  struct TLeft {
    TPrivacyRule Rule;
    const char* Why;
  };
  static constexpr TLeft Table[] = {
      {TPrivacyRule::PatientSex, "the sex subfield, kept by --keep-sex"},
      {TPrivacyRule::PatientBirthdate, "a birthdate that keeps the age in whole years, by --keep-age"},
      {TPrivacyRule::StartDate, "the day of the recording, moved by --shift-days rather than made anonymous"},
      {TPrivacyRule::Annotation, "the annotation texts, copied unsearched by --header-only"},
  };
  for (const TLeft& L : Table)
    if (Rule == RuleOf(L.Rule).Id) return L.Why;
  return "kept by the options";
}

// The signal labels, for the places of annotation changes.
std::vector<std::string> Labels(const TAnonymizePlan& Plan) {
  int32_t Ns = 0;
  if (Int32Field(Plan.Original.Raw[gfNrSignals], Ns) != ffNone || Ns <= 0) return {};
  std::vector<std::string> Out;
  for (int32_t s = 0; s < Ns; ++s) {
    const int64_t At = EDFSignalFieldOffset(0, s, Ns);
    if (At + EDFSignalFields[0].Width > static_cast<int64_t>(Plan.InputHead.size())) break;
    Out.push_back(TrimRight(ReadFieldFrom(Plan.InputHead, At, EDFSignalFields[0].Width)));
  }
  return Out;
}

bool IsUtf8(const std::string& S) {
  const auto* P = reinterpret_cast<const unsigned char*>(S.data());
  for (size_t I = 0, Len = 0; I < S.size(); I += Len)
    if ((Len = Utf8SequenceLength(P + I, S.size() - I)) == 0) return false;
  return true;
}

// Our own sentences are UTF-8; anything else is shown escaped rather than
// handed to the JSON writer as broken text.
void Text(TJson& W, const std::string& S) {
  const std::string T = IsUtf8(S) ? S : EscapeBytes(S);
  W.String(T.data(), static_cast<rapidjson::SizeType>(T.size()));
}

// A field's bytes, one character per byte (Latin-1), so they map back exactly.
void FieldBytes(TJson& W, const std::string& S) {
  std::string T;
  for (const char C : S) {
    const auto B = static_cast<unsigned char>(C);
    if (B < 0x80) {
      T += C;
    } else {
      T += static_cast<char>(0xC0 | (B >> 6));
      T += static_cast<char>(0x80 | (B & 0x3F));
    }
  }
  W.String(T.data(), static_cast<rapidjson::SizeType>(T.size()));
}

void Strings(TJson& W, const char* Key, const std::vector<std::string>& Items) {
  W.Key(Key);
  W.StartArray();
  for (const std::string& S : Items) Text(W, S);
  W.EndArray();
}

void Options(TJson& W, const TAnonymizeOptions& O) {
  W.Key("options");
  W.StartObject();
  W.Key("keepSex");
  W.Bool(O.KeepSex);
  W.Key("keepAge");
  W.Bool(O.KeepAge);
  W.Key("keepEquipment");
  W.Bool(O.KeepEquipment);
  W.Key("shiftDays");
  if (O.ShiftDays)
    W.Int64(*O.ShiftDays);
  else
    W.Null();
  W.Key("clearTime");
  W.Bool(O.ClearTime);
  // How many, never which: the words are what must not leak.
  W.Key("phiWords");
  W.Uint64(O.PhiWords.size());
  W.Key("headerOnly");
  W.Bool(O.HeaderOnly);
  W.EndObject();
}

void Change(TJson& W, const TAnonymizeChange& C, const std::vector<std::string>& Labels) {
  const bool Field = C.Kind == TAnonymizeChangeKind::Field;
  W.StartObject();
  W.Key("kind");
  W.String(Field ? "field" : "annotation");
  W.Key("place");
  W.String(WhereKindName(C.Where.Kind));
  if (C.Where.Record >= 0) {
    W.Key("record");
    W.Int64(C.Where.Record + 1);
  }
  if (C.Where.Signal >= 0) {
    W.Key("signal");
    W.Int(C.Where.Signal + 1);
    if (static_cast<size_t>(C.Where.Signal) < Labels.size()) {
      W.Key("label");
      FieldBytes(W, Labels[static_cast<size_t>(C.Where.Signal)]);
    }
  }
  W.Key("field");
  Text(W, C.Field);
  W.Key("offset");
  W.Int64(C.Offset);
  W.Key("length");
  W.Int64(C.Length);
  if (Field) {
    W.Key("new");
    FieldBytes(W, C.New);
  }
  W.Key("reason");
  Text(W, C.Reason);
  W.EndObject();
}

}  // namespace

const char* AnonymizeOutcomeName(TAnonymizeOutcome Outcome) {
  switch (Outcome) {
    case TAnonymizeOutcome::NothingToChange: return "nothing to change";
    case TAnonymizeOutcome::Written: return "written";
    case TAnonymizeOutcome::Refused: return "refused";
    case TAnonymizeOutcome::DryRun: return "dry run";
    case TAnonymizeOutcome::Rejected: return "rejected";
    case TAnonymizeOutcome::Failed: break;
  }
  return "error";
}

std::vector<std::string> FormatAnonymizeLines(const TAnonymizePlan& Plan) {
  std::string Heading = DisplayName(Plan.Path) + ": ";
  if (Plan.NothingToChange() && !Plan.Refused()) {
    Heading += "nothing identifying to change";
  } else {
    Heading += Count(Plan.Changes.size(), "change");
    if (!Plan.Warnings.empty()) Heading += ", " + Count(Plan.Warnings.size(), "warning");
    if (Plan.Refused()) Heading += ", refused";
  }
  std::vector<std::string> Lines{Heading};
  const std::vector<std::string> SignalLabels = Labels(Plan);
  for (const TAnonymizeChange& C : Plan.Changes) {
    std::string Line = "  change " + WhereText(C.Where, SignalLabels) + ", byte " + std::to_string(C.Offset) + ": ";
    if (C.Kind == TAnonymizeChangeKind::Field) Line += C.Field + " -> " + QuoteIfNeeded(C.New) + ": ";
    Lines.push_back(Line + C.Reason);
  }
  for (const std::string& W : Plan.Warnings) Lines.push_back("  warning: " + W);
  for (const std::string& R : Plan.Refusals) Lines.push_back("  refuse: " + R);
  for (const std::string& Rule : Plan.KeptRules) Lines.push_back("  left [" + Rule + "]: " + LeftWhy(Rule));
  return Lines;
}

std::string AnonymizeOutcomeLine(const TAnonymizePlan& Plan, TAnonymizeOutcome Outcome, const std::string& Out,
                                 const std::string& Error) {
  const std::string Changes = Count(Plan.Changes.size(), "change");
  switch (Outcome) {
    case TAnonymizeOutcome::NothingToChange: return "nothing to change: nothing written";
    case TAnonymizeOutcome::Written:
      return "wrote " + DisplayName(Out) + " (" + std::to_string(Plan.OutputSize) + " bytes): " + Changes +
             "; judged again: no new finding, nothing identifying found but what the options keep";
    case TAnonymizeOutcome::Refused: return "refused: nothing written";
    case TAnonymizeOutcome::DryRun:
      return "dry run: nothing written; " +
             (Plan.Refused() ? std::string("the copy would be refused") : "the copy would hold " + Changes);
    case TAnonymizeOutcome::Rejected: return "rejected: the copy was judged again and removed: " + Error;
    case TAnonymizeOutcome::Failed: break;
  }
  return "";
}

std::string FormatAnonymizeJson(const TAnonymizePlan& Plan, TAnonymizeOutcome Outcome, const std::string& Out,
                                const std::string& Error) {
  std::string O(1, '{');
  O += JsonFileName("file", Plan.Path);
  O += ",\"outcome\":";
  O += JsonString(AnonymizeOutcomeName(Outcome));
  if (Outcome == TAnonymizeOutcome::Written) O += ',' + JsonFileName("output", Out);
  if (!Error.empty()) O += ",\"error\":" + JsonString(Error);
  return O + FormatAnonymizeJsonKeys(Plan) + "}\n";
}

std::string FormatAnonymizeJsonKeys(const TAnonymizePlan& Plan) {
  rapidjson::StringBuffer Buffer;
  TJson W(Buffer);
  W.StartObject();
  W.Key("inputBytes");
  W.Int64(Plan.InputSize);
  W.Key("outputBytes");
  W.Int64(Plan.OutputSize);
  Options(W, Plan.Options);
  // The original's audit, rule by rule: what was found, without a place
  // (the changes give those) and without a text.
  W.Key("found");
  W.StartArray();
  for (const TRuleTotal& T : Plan.Audit.Totals) {
    W.StartObject();
    W.Key("rule");
    Text(W, T.Rule);
    W.Key("count");
    W.Int64(T.Total);
    W.EndObject();
  }
  W.EndArray();
  W.Key("changes");
  W.StartArray();
  const std::vector<std::string> SignalLabels = Labels(Plan);
  for (const TAnonymizeChange& C : Plan.Changes) Change(W, C, SignalLabels);
  W.EndArray();
  Strings(W, "warnings", Plan.Warnings);
  Strings(W, "refusals", Plan.Refusals);
  W.Key("left");
  W.StartArray();
  for (const std::string& Rule : Plan.KeptRules) {
    W.StartObject();
    W.Key("rule");
    Text(W, Rule);
    W.Key("why");
    Text(W, LeftWhy(Rule));
    W.EndObject();
  }
  W.EndArray();
  W.EndObject();
  // The object's keys without its braces, each led by a comma.
  std::string Keys(1, ',');
  Keys.append(Buffer.GetString() + 1, Buffer.GetSize() - 2);
  return Keys;
}
