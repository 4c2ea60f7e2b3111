#include "cli/ReportJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include "check/Rules.h"
#include "app/uQtText.h"
#include "check/FindingText.h"
#include "cli/ReportText.h"

#include <map>

namespace {

// Our own texts: ASCII or UTF-8.
QString Text(const std::string& Text) {
  return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}

// A file name that is valid UTF-8 is written as it is; any other is written
// as the text form escapes it, with "fileEscaped": true, so that every name
// maps back to its exact bytes.
void PutFileName(QJsonObject& O, const std::string& Path) {
  const std::string Shown = DisplayName(Path);
  const bool Plain = Text(Path).toUtf8().toStdString() == Path;
  O["file"] = Plain ? Text(Path) : Text(Shown);
  if (!Plain) O["fileEscaped"] = true;
}

std::string Line(const QJsonObject& O) {
  return QJsonDocument(O).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

const char* MarkName(TFieldMark Mark) {
  switch (Mark) {
    case TFieldMark::Error: return "error";
    case TFieldMark::Warning: return "warning";
    case TFieldMark::None: break;
  }
  return "none";
}

// The severity of the worst finding about one field, "none" without one.
QString FieldSeverity(const TFindings& Findings, TWhereKind Kind, int Signal, int Field) {
  const TFinding* Worst = nullptr;
  for (const TFinding& F : Findings) {
    if (F.Where.Kind != Kind || F.Where.Signal != Signal || F.Where.Field != Field) continue;
    if (!Worst || F.Severity < Worst->Severity) Worst = &F;
  }
  return Worst ? SeverityName(Worst->Severity) : "none";
}

// Every field is listed, faulty or not, so a reader finds field k at index k.
QJsonArray Fields(const std::array<TFieldView, EDFFieldCount>& Views, const TFindings& Findings,
                  TWhereKind Kind, int Signal) {
  QJsonArray Out;
  for (size_t k = 0; k < Views.size(); ++k) {
    const TFieldView& V = Views[k];
    QJsonObject O;
    O["name"] = Text(V.Caption);
    O["raw"] = Latin1Text(V.Raw);
    O["shown"] = Latin1Text(V.Shown);
    O["reason"] = Text(V.Reason);
    O["mark"] = MarkName(V.Mark);
    O["severity"] = FieldSeverity(Findings, Kind, Signal, static_cast<int>(k));
    Out.append(O);
  }
  return Out;
}

QJsonArray Signals(const std::vector<TSignalView>& Views, const TFindings& Findings) {
  // Each signal's findings gathered in one walk: a header of thousands of
  // signals stays linear.
  std::map<int, TFindings> BySignal;
  for (const TFinding& F : Findings)
    if (F.Where.Kind == TWhereKind::SignalHeader) BySignal[F.Where.Signal].push_back(F);
  const TFindings None;
  QJsonArray Out;
  for (const TSignalView& S : Views) {
    const auto It = BySignal.find(S.Index);
    QJsonObject O;
    O["index"] = S.Index + 1;
    O["label"] = Latin1Text(S.Fields[0].Shown);
    O["fields"] = Fields(S.Fields, It == BySignal.end() ? None : It->second, TWhereKind::SignalHeader, S.Index);
    O["calibrationRemark"] = Text(S.CalibrationRemark);
    Out.append(O);
  }
  return Out;
}

QJsonObject Where(const TWhere& W) {
  QJsonObject O;
  O["kind"] = WhereKindName(W.Kind);
  if (W.Signal >= 0) O["signal"] = W.Signal + 1;
  if (W.Record >= 0) O["record"] = static_cast<qint64>(W.Record + 1);
  if (W.Field >= 0)
    O["field"] = (W.Kind == TWhereKind::SignalHeader ? EDFSignalFields : EDFGeneralFields)[static_cast<size_t>(W.Field)].Caption;
  return O;
}

QJsonArray Findings(const TFindings& Findings) {
  QJsonArray Out;
  for (const TFinding& F : Findings) {
    QJsonObject O;
    O["rule"] = Text(F.Rule);
    O["severity"] = SeverityName(F.Severity);
    O["where"] = Where(F.Where);
    O["offset"] = F.Offset >= 0 ? QJsonValue(static_cast<qint64>(F.Offset)) : QJsonValue(QJsonValue::Null);
    O["length"] = static_cast<qint64>(F.Length);
    O["raw"] = Latin1Text(F.Raw);
    O["message"] = Latin1Text(F.Message);
    Out.append(O);
  }
  return Out;
}

QJsonObject Conformance(const TConformanceReport& C) {
  QJsonObject O;
  O["scope"] = Text(ConformanceScope(C));
  O["plus"] = C.Plus == TPlusKind::Continuous ? QJsonValue("C")
              : C.Plus == TPlusKind::Discontinuous ? QJsonValue("D")
                                                   : QJsonValue(QJsonValue::Null);
  O["recordsChecked"] = C.RecordsChecked;
  O["recordsScanned"] = static_cast<qint64>(C.RecordsScanned);
  O["cancelled"] = C.Cancelled;
  QJsonObject Totals;
  for (const TRuleTotal& T : C.Totals) {
    QJsonObject Count;
    Count["total"] = static_cast<qint64>(T.Total);
    Count["listed"] = static_cast<qint64>(T.Listed);
    Totals[Text(T.Rule)] = Count;
  }
  O["totals"] = Totals;
  return O;
}

QJsonArray Lines(const std::vector<std::string>& Lines) {
  QJsonArray Out;
  for (const std::string& L : Lines) Out.append(Latin1Text(L));
  return Out;
}

}  // namespace

std::string FormatReportJson(const TFileReport& R) {
  const THeaderJudgement& J = R.Judgement;
  QJsonObject O;
  PutFileName(O, R.Path);
  O["valid"] = R.Valid();
  O["verdict"] = Text(VerdictLine(R));
  // "EDF", "EDF+", "BDF" or "BDF+"; null when the header could not be read.
  O["format"] = R.Judgement.FormatName.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(Text(R.Judgement.FormatName));
  O["general"] = Fields(J.General, R.Findings, TWhereKind::GeneralHeader, -1);
  O["signals"] = Signals(R.Signals, R.Findings);
  QJsonObject Remarks;
  Remarks["dataBlock"] = Text(J.DataBlockLine);
  Remarks["sampleRecDuration"] = Text(J.DurationRemark);
  Remarks["nrDataRecords"] = Text(J.SizeRemark);
  O["remarks"] = Remarks;
  O["dataBlockBytes"] = J.DataBlockBytes ? QJsonValue(static_cast<qint64>(*J.DataBlockBytes))
                                         : QJsonValue(QJsonValue::Null);
  O["dataBlockTooLarge"] = J.DataBlockTooLarge;
  O["findings"] = Findings(R.Findings);
  if (R.ConformanceRun) O["conformance"] = Conformance(R.Conformance);
  if (R.MinMaxRun) O["minmax"] = Lines(R.MinMaxLines);
  if (R.MinMaxFailed) O["minmaxError"] = Text(std::string(MinMaxErrorText) + " " + R.MinMaxError);
  if (R.OpenFailed) O["error"] = Latin1Text(std::string(ReadErrorText) + ": " + R.OpenError);
  return Line(O);
}

std::string FormatUnreadJson(const std::string& Path, const std::string& Error) {
  QJsonObject O;
  PutFileName(O, Path);
  O["error"] = Text(Error);
  return Line(O);
}

std::string FormatSummaryJson(const TSummary& S) {
  QJsonObject Rules;
  for (const auto& [Id, Count] : S.RuleCounts()) {
    QJsonObject C;
    C["findings"] = static_cast<qint64>(Count.Findings);
    C["files"] = static_cast<qint64>(Count.Files);
    Rules[Text(Id)] = C;
  }
  QJsonObject Sum;
  Sum["files"] = static_cast<qint64>(S.Files());
  Sum["valid"] = static_cast<qint64>(S.Valid());
  Sum["invalid"] = static_cast<qint64>(S.Invalid());
  Sum["unread"] = static_cast<qint64>(S.Unread());
  Sum["rules"] = Rules;
  QJsonObject O;
  O["summary"] = Sum;
  return Line(O);
}

std::string FormatRulesJson() {
  std::string Out;
  for (const TRule& R : ::Rules()) {
    QJsonObject O;
    O["rule"] = Text(R.Id);
    O["severity"] = SeverityName(R.Severity);
    O["description"] = Text(R.Description);
    Out += Line(O);
  }
  return Out;
}

bool AddJsonLineToSummary(const std::string& LineText, TSummary& S) {
  QJsonParseError Error{};
  const QJsonDocument Doc = QJsonDocument::fromJson(QByteArray::fromStdString(LineText), &Error);
  if (Error.error != QJsonParseError::NoError || !Doc.isObject()) return false;
  const QJsonObject O = Doc.object();
  if (O.contains("summary")) return true;
  if (!O.contains("file")) return false;
  std::map<std::string, int64_t> RuleIds;
  for (const QJsonValue& F : O["findings"].toArray()) ++RuleIds[F["rule"].toString().toStdString()];
  // Findings beyond those listed are counted in the conformance totals.
  const QJsonObject Totals = O["conformance"]["totals"].toObject();
  for (auto It = Totals.begin(); It != Totals.end(); ++It) {
    const QJsonObject Count = It.value().toObject();
    RuleIds[It.key().toStdString()] += Count["total"].toInteger() - Count["listed"].toInteger();
  }
  const TFileStatus Status = !O.contains("valid")     ? TFileStatus::Unread
                             : O["valid"].toBool()    ? TFileStatus::Valid
                                                      : TFileStatus::Invalid;
  S.Add(Status, RuleIds);
  return true;
}
