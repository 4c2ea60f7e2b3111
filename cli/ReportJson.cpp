#include "cli/ReportJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include "cli/ReportText.h"

namespace {

QString Bytes(const std::string& Text) {
  return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

// Our own texts and the path: the path is UTF-8 on every system we run on.
QString Text(const std::string& Text) {
  return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}

// Every field is listed, faulty or not, so a reader finds field k at index k.
QJsonArray Fields(const std::array<TFieldView, 10>& Views, bool SignalFields) {
  QJsonArray out;
  for (size_t k = 0; k < Views.size(); ++k) {
    const TFieldView& V = Views[k];
    QJsonObject o;
    o["name"] = Text(V.Caption);
    o["raw"] = Bytes(V.Raw);
    o["shown"] = Bytes(V.Shown);
    o["reason"] = Text(V.Reason);
    o["mark"] = MarkName(V.Mark);
    o["severity"] = MarkName(FaultSeverity(SignalFields, static_cast<int>(k), V.Mark));
    out.append(o);
  }
  return out;
}

QJsonArray Signals(const std::vector<TSignalView>& Views) {
  QJsonArray out;
  for (const TSignalView& S : Views) {
    QJsonObject o;
    o["index"] = S.Index + 1;
    o["label"] = Bytes(S.Fields[0].Shown);
    o["fields"] = Fields(S.Fields, true);
    o["calibrationRemark"] = Text(S.CalibrationRemark);
    out.append(o);
  }
  return out;
}

QJsonArray Lines(const std::vector<std::string>& Lines) {
  QJsonArray out;
  for (const std::string& line : Lines) out.append(Text(line));
  return out;
}

}  // namespace

std::string FormatReportJson(const TFileReport& R) {
  const THeaderJudgement& J = R.Judgement;
  QJsonObject o;
  o["file"] = Text(R.Path);
  o["valid"] = R.Valid();
  o["verdict"] = Text(VerdictLine(R));
  o["general"] = Fields(J.General, false);
  o["signals"] = Signals(R.Signals);
  QJsonObject remarks;
  remarks["dataBlock"] = Text(J.DataBlockLine);
  remarks["sampleRecDuration"] = Text(J.DurationRemark);
  remarks["nrDataRecords"] = Text(J.SizeRemark);
  o["remarks"] = remarks;
  const std::optional<int64_t> bytes = DataBlockBytes(J);
  o["dataBlockBytes"] = bytes ? QJsonValue(static_cast<qint64>(*bytes)) : QJsonValue(QJsonValue::Null);
  o["dataBlockTooLarge"] = J.DataBlockTooLarge;
  if (R.MinMaxRun) o["minmax"] = Lines(R.MinMaxLines);
  if (R.MinMaxFailed) o["minmaxError"] = Text(MinMaxErrorLine(R));
  if (R.OpenFailed) o["error"] = Text(OpenErrorLine(R));
  return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString() + "\n";
}
