#include "cli/ReportJson.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "check/FindingText.h"
#include "check/PrivacyMask.h"
#include "check/Rules.h"
#include "cli/ReportText.h"
#include "report/JsonString.h"
#include "report/ReportLine.h"

// Lines are streamed with RapidJSON's writer, one per file, without building
// a document. Keys are written in byte order, as the Qt documents of earlier
// releases sorted them, so the lines of both compare equal byte for byte.

namespace {

class TJsonOut {
public:
  void Begin() { FWriter.StartObject(); }
  void End() { FWriter.EndObject(); }
  void BeginArray() { FWriter.StartArray(); }
  void EndArray() { FWriter.EndArray(); }
  // Our own names, plain ASCII that needs no escape.
  void Key(std::string_view K) {
    Place();
    char* P = FBuffer.Push(K.size() + 2);
    P[0] = '"';
    std::memcpy(P + 1, K.data(), K.size());
    P[K.size() + 1] = '"';
  }
  // A name taken from data (a rule id read back from earlier lines).
  void DataKey(std::string_view K) { Text(K); }
  // Our own texts: ASCII or UTF-8.
  void Text(std::string_view T) {
    AppendJsonUtf8(Raw(), T);
    PlaceRaw(rapidjson::kStringType);
  }
  // Header bytes and texts quoting them.
  void Bytes(std::string_view T) {
    AppendJsonLatin1(Raw(), T);
    PlaceRaw(rapidjson::kStringType);
  }
  // A value written as JSON text: Raw() gives the empty text to append to,
  // PlaceRaw() writes it as the next value.
  std::string& Raw() {
    FScratch.clear();
    return FScratch;
  }
  void PlaceRaw(rapidjson::Type Type) {
    FWriter.RawValue("", 0, Type);
    std::memcpy(FBuffer.Push(FScratch.size()), FScratch.data(), FScratch.size());
  }
  void Int(int64_t V) { FWriter.Int64(V); }
  void Double(double V) { FWriter.Double(V); }
  void Bool(bool V) { FWriter.Bool(V); }
  void Null() { FWriter.Null(); }
  std::string Line() {
    std::string Out;
    Out.reserve(FBuffer.GetSize() + 1);
    Out.append(FBuffer.GetString(), FBuffer.GetSize());
    Out += '\n';
    FBuffer.Clear();
    FWriter.Reset(FBuffer);
    return Out;
  }

private:
  // The writer places the separator before a value (a key is a string in a
  // name's place); the value's text, with strings escaped as the earlier
  // lines escaped them, follows in one copy (the writer's own copy goes byte
  // by byte).
  void Place() { FWriter.RawValue("", 0, rapidjson::kStringType); }

  rapidjson::StringBuffer FBuffer;
  rapidjson::Writer<rapidjson::StringBuffer> FWriter{FBuffer};
  std::string FScratch;
};

// A file name that is valid UTF-8 is written as it is; any other is written
// as the text form escapes it, with "fileEscaped": true, so that every name
// maps back to its exact bytes.
void PutFileName(TJsonOut& J, const std::string& Path) {
  const bool Plain = IsUtf8(Path);
  J.Key("file");
  J.Text(Plain ? Path : DisplayName(Path));
  if (!Plain) {
    J.Key("fileEscaped");
    J.Bool(true);
  }
}

const char* MarkName(TFieldMark Mark) {
  switch (Mark) {
    case TFieldMark::Error: return "error";
    case TFieldMark::Warning: return "warning";
    case TFieldMark::None: break;
  }
  return "none";
}

// Every field is listed, faulty or not, so a reader finds field k at index k.
// With Withhold (a --privacy report), Patient, Recording and StartDate give
// the lengths of their texts in their place: "rawLength" and "shownLength".
void Fields(TJsonOut& J, const std::array<TFieldView, EDFFieldCount>& Views, bool Withhold = false) {
  J.BeginArray();
  for (size_t k = 0; k < Views.size(); ++k) {
    const TFieldView& V = Views[k];
    const bool Lengths = Withhold && IdentifyingGeneralField(static_cast<int>(k));
    // One value of fixed keys, written whole: fields are most of a line.
    std::string& T = J.Raw();
    T += "{\"mark\":";
    AppendJsonUtf8(T, MarkName(V.Mark));
    T += ",\"name\":";
    AppendJsonUtf8(T, V.Caption);
    if (Lengths) {
      T += ",\"rawLength\":";
      T += std::to_string(V.Raw.size());
    } else {
      T += ",\"raw\":";
      AppendJsonLatin1(T, V.Raw);
    }
    T += ",\"reason\":";
    AppendJsonUtf8(T, V.Reason);
    T += ",\"severity\":";
    AppendJsonUtf8(T, V.Severity ? SeverityName(*V.Severity) : "none");
    if (Lengths) {
      T += ",\"shownLength\":";
      T += std::to_string(V.Shown.size());
    } else {
      T += ",\"shown\":";
      AppendJsonLatin1(T, V.Shown);
    }
    T += '}';
    J.PlaceRaw(rapidjson::kObjectType);
  }
  J.EndArray();
}

void Signals(TJsonOut& J, const std::vector<TSignalView>& Views) {
  J.BeginArray();
  for (const TSignalView& S : Views) {
    J.Begin();
    J.Key("calibrationRemark");
    J.Text(S.CalibrationRemark);
    J.Key("fields");
    Fields(J, S.Fields);
    J.Key("index");
    J.Int(S.Index + 1);
    J.Key("label");
    J.Bytes(S.Fields[0].Shown);
    J.End();
  }
  J.EndArray();
}

void Where(TJsonOut& J, const TWhere& W) {
  J.Begin();
  if (W.Field >= 0) {
    J.Key("field");
    J.Text((W.Kind == TWhereKind::SignalHeader ? EDFSignalFields : EDFGeneralFields)[static_cast<size_t>(W.Field)]
               .Caption);
  }
  J.Key("kind");
  J.Text(WhereKindName(W.Kind));
  if (W.Record >= 0) {
    J.Key("record");
    J.Int(W.Record + 1);
  }
  if (W.Signal >= 0) {
    J.Key("signal");
    J.Int(W.Signal + 1);
  }
  J.End();
}

void Findings(TJsonOut& J, const TFindings& Findings) {
  J.BeginArray();
  for (const TFinding& F : Findings) {
    J.Begin();
    J.Key("length");
    J.Int(F.Length);
    J.Key("message");
    J.Bytes(F.Message);
    J.Key("offset");
    if (F.Offset >= 0)
      J.Int(F.Offset);
    else
      J.Null();
    J.Key("raw");
    J.Bytes(F.Raw);
    J.Key("rule");
    J.Text(F.Rule);
    J.Key("severity");
    J.Text(SeverityName(F.Severity));
    J.Key("where");
    Where(J, F.Where);
    J.End();
  }
  J.EndArray();
}

// Per rule {"listed", "total"}: the findings counted beyond those listed.
void Totals(TJsonOut& J, const std::vector<TRuleTotal>& Totals) {
  // Registry order in the report, key order in the line.
  std::map<std::string_view, const TRuleTotal*> Sorted;
  for (const TRuleTotal& T : Totals) Sorted[T.Rule] = &T;
  J.Begin();
  for (const auto& [Rule, T] : Sorted) {
    J.DataKey(Rule);
    J.Begin();
    J.Key("listed");
    J.Int(T->Listed);
    J.Key("total");
    J.Int(T->Total);
    J.End();
  }
  J.End();
}

void Privacy(TJsonOut& J, const TPrivacyReport& P) {
  J.Begin();
  J.Key("annotationsAudited");
  J.Bool(P.AnnotationsAudited);
  J.Key("recordsScanned");
  J.Int(P.RecordsScanned);
  J.Key("scope");
  J.Text(PrivacyScope(P));
  J.Key("totals");
  Totals(J, P.Totals);
  J.End();
}

void Conformance(TJsonOut& J, const TConformanceReport& C) {
  J.Begin();
  J.Key("cancelled");
  J.Bool(C.Cancelled);
  J.Key("plus");
  if (C.Plus == TPlusKind::Continuous)
    J.Text("C");
  else if (C.Plus == TPlusKind::Discontinuous)
    J.Text("D");
  else
    J.Null();
  J.Key("recordsChecked");
  J.Bool(C.RecordsChecked);
  J.Key("recordsScanned");
  J.Int(C.RecordsScanned);
  J.Key("scope");
  J.Text(ConformanceScope(C));
  J.Key("totals");
  Totals(J, C.Totals);
  J.End();
}

// One object per signal of the file, annotation signals included, so that
// signal k is at index k - 1 as in "signals".
void Quality(TJsonOut& J, const TQualityReport& Q) {
  J.Begin();
  J.Key("epochSeconds");
  J.Double(Q.EpochSeconds);
  J.Key("signals");
  J.BeginArray();
  for (const TQualitySignal& S : Q.Signals) {
    J.Begin();
    J.Key("clippedSamples");
    J.Int(S.ClippedSamples);
    J.Key("flatSeconds");
    J.Double(S.FlatSeconds);
    J.Key("index");
    J.Int(S.Index + 1);
    J.Key("judged");
    J.Bool(S.Judged());
    J.Key("label");
    J.Bytes(S.Label);
    J.Key("map");
    J.Text(S.Map);
    J.Key("samples");
    J.Int(S.Samples);
    J.Key("usableShare");
    J.Double(S.UsableShare);
    J.End();
  }
  J.EndArray();
  J.Key("totals");
  Totals(J, Q.Totals);
  J.End();
}

}  // namespace

std::string FormatReportJson(const TFileReport& R) {
  const THeaderJudgement& Jd = R.Judgement;
  TJsonOut J;
  J.Begin();
  if (R.ConformanceRun) {
    J.Key("conformance");
    Conformance(J, R.Conformance);
  }
  J.Key("dataBlockBytes");
  if (Jd.DataBlockBytes)
    J.Int(*Jd.DataBlockBytes);
  else
    J.Null();
  J.Key("dataBlockTooLarge");
  J.Bool(Jd.DataBlockTooLarge);
  if (R.OpenFailed) {
    J.Key("error");
    J.Bytes(std::string(ReadErrorText) + ": " + R.OpenError);
  }
  PutFileName(J, R.Path);
  J.Key("findings");
  Findings(J, R.Findings);
  // "EDF", "EDF+", "BDF" or "BDF+"; null when the header could not be read.
  J.Key("format");
  if (Jd.FormatName.empty())
    J.Null();
  else
    J.Text(Jd.FormatName);
  J.Key("general");
  Fields(J, Jd.General, R.WithholdIdentifying);
  if (R.MinMaxRun) {
    J.Key("minmax");
    J.BeginArray();
    for (const std::string& L : R.MinMaxLines) J.Bytes(L);
    J.EndArray();
  }
  if (R.MinMaxFailed) {
    J.Key("minmaxError");
    J.Text(std::string(MinMaxErrorText) + " " + R.MinMaxError);
  }
  if (R.PrivacyRun) {
    J.Key("privacy");
    Privacy(J, R.Privacy);
  }
  if (R.QualityRun) {
    J.Key("quality");
    Quality(J, R.Quality);
  }
  J.Key("remarks");
  J.Begin();
  J.Key("dataBlock");
  J.Text(Jd.DataBlockLine);
  J.Key("nrDataRecords");
  J.Text(Jd.SizeRemark);
  J.Key("sampleRecDuration");
  J.Text(Jd.DurationRemark);
  J.End();
  J.Key("signals");
  Signals(J, R.Signals);
  J.Key("valid");
  J.Bool(R.Valid());
  J.Key("verdict");
  J.Text(VerdictLine(R));
  J.End();
  return J.Line();
}

std::string FormatUnreadJson(const std::string& Path, const std::string& Error) {
  TJsonOut J;
  J.Begin();
  J.Key("error");
  J.Text(Error);
  PutFileName(J, Path);
  J.End();
  return J.Line();
}

std::string FormatSummaryJson(const TSummary& S) {
  TJsonOut J;
  J.Begin();
  J.Key("summary");
  J.Begin();
  J.Key("files");
  J.Int(S.Files());
  J.Key("invalid");
  J.Int(S.Invalid());
  J.Key("rules");
  J.Begin();
  for (const auto& [Id, Count] : S.RuleCounts()) {
    J.DataKey(Id);
    J.Begin();
    J.Key("files");
    J.Int(Count.Files);
    J.Key("findings");
    J.Int(Count.Findings);
    J.End();
  }
  J.End();
  J.Key("unread");
  J.Int(S.Unread());
  J.Key("valid");
  J.Int(S.Valid());
  J.End();
  J.End();
  return J.Line();
}

std::string FormatRulesJson() {
  std::string Out;
  TJsonOut J;
  for (const TRule& R : ::Rules()) {
    J.Begin();
    J.Key("description");
    J.Text(R.Description);
    J.Key("rule");
    J.Text(R.Id);
    J.Key("severity");
    J.Text(SeverityName(R.Severity));
    J.End();
    Out += J.Line();
  }
  return Out;
}

bool AddJsonLineToSummary(std::string_view LineText, TSummary& S) {
  TReportLine L;
  if (!ReadReportLine(LineText, L)) return false;
  if (L.Kind == TReportLineKind::File) S.Add(L.Status, L.Rules);
  return true;
}
