#include "report/ReportPage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <utility>

#include "check/Rules.h"
#include "report/HtmlText.h"
#include "report/JsonString.h"
#include "report/PageAssets.h"
#include "report/QualityStates.h"

namespace {

const char* StatusKey(TFileStatus S) {
  switch (S) {
    case TFileStatus::Valid: return "valid";
    case TFileStatus::Invalid: return "invalid";
    case TFileStatus::Unread: break;
  }
  return "unread";
}

const char* StatusText(TFileStatus S) { return S == TFileStatus::Unread ? "not read" : StatusKey(S); }

// Whole percent, rounded down: only a fully usable recording shows 100 %.
std::string Percent(double Share) {
  return std::to_string(static_cast<int>(std::floor(std::clamp(Share, 0.0, 1.0) * 100 + 1e-9))) + " %";
}

// The policy's form of a hex digest: base64 of its bytes.
std::string HexToBase64(const std::string& Hex) {
  static constexpr char Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string Bytes;
  for (size_t i = 0; i + 1 < Hex.size(); i += 2) Bytes += static_cast<char>(std::stoi(Hex.substr(i, 2), nullptr, 16));
  std::string Out;
  for (size_t i = 0; i < Bytes.size(); i += 3) {
    uint32_t V = static_cast<uint8_t>(Bytes[i]) << 16;
    if (i + 1 < Bytes.size()) V |= static_cast<uint8_t>(Bytes[i + 1]) << 8;
    if (i + 2 < Bytes.size()) V |= static_cast<uint8_t>(Bytes[i + 2]);
    Out += Digits[(V >> 18) & 63];
    Out += Digits[(V >> 12) & 63];
    Out += i + 1 < Bytes.size() ? Digits[(V >> 6) & 63] : '=';
    Out += i + 2 < Bytes.size() ? Digits[V & 63] : '=';
  }
  return Out;
}

std::string Number(double V) {
  char Buf[32];
  const auto R = std::to_chars(Buf, Buf + sizeof Buf, V);
  return std::string(Buf, R.ptr);
}

// Known formats first, in the family's order.
int FormatRank(const std::string& F) {
  static const char* const Known[] = {"EDF", "EDF+", "BDF", "BDF+"};
  for (int i = 0; i < 4; ++i)
    if (F == Known[i]) return i;
  return F.empty() ? 5 : 4;
}

void Tile(std::string& Out, const std::string& Key, int64_t Count, const std::string& Label) {
  Out += "<div class=\"tile\" data-tile=\"";
  AppendHtml(Out, Key);
  Out += "\"><span class=\"count\">" + std::to_string(Count) + "</span><span class=\"label\">";
  AppendHtml(Out, Label);
  Out += "</span></div>\n";
}

}  // namespace

bool TReportPage::AddLine(std::string_view Line) {
  TReportLine L;
  if (!ReadReportLine(Line, L)) return false;
  if (L.Kind == TReportLineKind::Summary) return true;
  if (!FData.AddLine(Line)) return false;
  FSummary.Add(L.Status, L.Rules);
  FChecks |= L.Checks;
  if (L.Status != TFileStatus::Unread) ++FFormats[L.Format];
  for (const auto& [Rule, Severity] : L.Severities) FSeverities[Rule].insert(Severity);
  TRow Row;
  Row.File = std::move(L.File);
  Row.Format = std::move(L.Format);
  Row.Status = L.Status;
  Row.Errors = L.Errors;
  Row.Warnings = L.Warnings;
  Row.Usable = L.LowestUsable;
  Row.Rules = " ";
  for (const auto& [Rule, Count] : L.Rules)
    if (Count > 0) Row.Rules += Rule + " ";
  FRows.push_back(std::move(Row));
  return true;
}

void TReportPage::AppendHead(std::string& Out, const std::string& Generated, const std::string& Program) const {
  Out +=
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      // No request of any kind leaves the page, and no script runs but its own.
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
      "style-src 'unsafe-inline'; script-src 'sha256-" +
      HexToBase64(kPageScriptSha256) + "'\">\n<meta name=\"generator\" content=\"";
  AppendHtml(Out, Program);
  Out += "\">\n<title>Vellicor check report: " + std::to_string(FRows.size()) +
         (FRows.size() == 1 ? " file" : " files") + "</title>\n<style>\n";
  Out += kPageStyle;
  Out += "</style>\n</head>\n<body>\n<header>\n<h1>Vellicor check report</h1>\n<dl class=\"run\">\n";
  // What ran is told by what the lines hold, so a page built later from the
  // lines says the same as the run's own.
  std::string Checks = "header rules";
  if (FChecks & crMinMax) Checks += ", digital min/max (--minmax)";
  if (FChecks & crConformance) Checks += ", EDF+/BDF+ conformance (--conformance)";
  if (FChecks & crQuality) Checks += ", signal quality (--quality)";
  if (FChecks & crPrivacy) Checks += ", identifying data (--privacy)";
  Out += "<dt>Checks</dt><dd id=\"checks\">" + EscapeHtml(Checks) + "</dd>\n";
  Out += "<dt>Files</dt><dd id=\"file-count\">" + std::to_string(FRows.size()) + "</dd>\n";
  Out += "<dt>Generated</dt><dd><time id=\"generated\">" + EscapeHtml(Generated) + "</time> by " + EscapeHtml(Program) +
         "</dd>\n</dl>\n</header>\n<main>\n";
}

void TReportPage::AppendTiles(std::string& Out) const {
  Out += "<section id=\"tiles\" aria-label=\"Verdicts and formats\">\n";
  Tile(Out, "files", FSummary.Files(), "files");
  Tile(Out, "valid", FSummary.Valid(), "valid");
  Tile(Out, "invalid", FSummary.Invalid(), "invalid");
  Tile(Out, "unread", FSummary.Unread(), "not read");
  std::vector<std::pair<std::string, int64_t>> Formats(FFormats.begin(), FFormats.end());
  std::stable_sort(Formats.begin(), Formats.end(),
                   [](const auto& A, const auto& B) { return FormatRank(A.first) < FormatRank(B.first); });
  for (const auto& [Format, Count] : Formats)
    Tile(Out, "format:" + Format, Count, Format.empty() ? "format unknown" : Format);
  Out += "</section>\n";
}

void TReportPage::AppendRules(std::string& Out) const {
  Out += "<section id=\"rules\">\n<h2>Rules</h2>\n";
  std::vector<std::pair<std::string, TSummary::TRuleCount>> Rules(FSummary.RuleCounts().begin(),
                                                                   FSummary.RuleCounts().end());
  if (Rules.empty()) {
    Out += "<p class=\"none\">No findings.</p>\n</section>\n";
    return;
  }
  // Most findings first, as the text summary lists them.
  std::stable_sort(Rules.begin(), Rules.end(),
                   [](const auto& A, const auto& B) { return A.second.Findings > B.second.Findings; });
  Out +=
      "<table class=\"rules\">\n<thead><tr><th scope=\"col\">rule</th><th scope=\"col\">severity</th>"
      "<th scope=\"col\" class=\"num\">findings</th><th scope=\"col\" class=\"num\">files</th></tr></thead>\n"
      "<tbody>\n";
  for (const auto& [Id, Count] : Rules) {
    std::string Severity;
    if (const auto It = FSeverities.find(Id); It != FSeverities.end()) {
      for (const std::string& S : It->second) Severity += (Severity.empty() ? "" : ", ") + S;
    } else if (const TRule* R = FindRule(Id)) {
      Severity = SeverityName(R->Severity);
    } else {
      Severity = "unknown";
    }
    const std::string Key = EscapeHtml(Id);
    Out += "<tr data-rule=\"" + Key + "\"><td><button type=\"button\" class=\"rule\" aria-pressed=\"false\">" +
           Key + "</button></td><td class=\"sev sev-" + EscapeHtml(Severity.substr(0, Severity.find(','))) + "\">" +
           EscapeHtml(Severity) + "</td><td class=\"num\">" + std::to_string(Count.Findings) +
           "</td><td class=\"num\">" + std::to_string(Count.Files) + "</td></tr>\n";
  }
  Out += "</tbody>\n</table>\n</section>\n";
}

void TReportPage::AppendFiles(std::string& Out) const {
  const bool Quality = FChecks & crQuality;
  Out +=
      "<section id=\"files\">\n<h2>Files</h2>\n<div class=\"controls\">\n"
      "<input type=\"search\" id=\"filter\" placeholder=\"Filter by path\" aria-label=\"Filter by path\">\n"
      "<label title=\"files that are invalid or could not be read\"><input type=\"checkbox\" id=\"invalid-only\"> "
      "invalid only</label>\n"
      "<label><input type=\"checkbox\" id=\"has-warnings\"> has warnings</label>\n"
      "<span id=\"rule-chip\" hidden></span>\n"
      "<output id=\"shown-count\">" +
      std::to_string(FRows.size()) + (FRows.size() == 1 ? " file" : " files") +
      "</output>\n</div>\n<table id=\"file-table\"" + (Quality ? " class=\"with-usable\"" : "") +
      ">\n<thead><tr>"
      "<th scope=\"col\" data-key=\"file\" class=\"path\"><button type=\"button\">path</button></th>"
      "<th scope=\"col\" data-key=\"format\"><button type=\"button\">format</button></th>"
      "<th scope=\"col\" data-key=\"status\"><button type=\"button\">verdict</button></th>"
      "<th scope=\"col\" data-key=\"errors\" class=\"num\"><button type=\"button\">errors</button></th>"
      "<th scope=\"col\" data-key=\"warnings\" class=\"num\"><button type=\"button\">warnings</button></th>";
  if (Quality)
    Out +=
        "<th scope=\"col\" data-key=\"usable\" class=\"num\" title=\"the lowest usable share among the judged "
        "signals\"><button type=\"button\">usable</button></th>";
  Out += "</tr></thead>\n<tbody>\n";
  for (size_t i = 0; i < FRows.size(); ++i) {
    const TRow& R = FRows[i];
    const std::string Path = EscapeHtml(R.File);
    Out += "<tr data-file=\"" + Path + "\" data-n=\"" + std::to_string(i) + "\" data-status=\"" +
           StatusKey(R.Status) + "\" data-format=\"" + EscapeHtml(R.Format) + "\" data-errors=\"" +
           std::to_string(R.Errors) + "\" data-warnings=\"" + std::to_string(R.Warnings) + "\" data-rules=\"" +
           EscapeHtml(R.Rules) + "\"";
    if (Quality) Out += " data-usable=\"" + Number(R.Usable) + "\"";
    Out += "><td class=\"path\"><button type=\"button\" class=\"toggle\" aria-expanded=\"false\">" + Path +
           "</button></td><td>" + (R.Format.empty() ? std::string("\xE2\x80\x93") : EscapeHtml(R.Format)) +
           "</td><td class=\"verdict " + StatusKey(R.Status) + "\">" + StatusText(R.Status) +
           "</td><td class=\"num\">" + std::to_string(R.Errors) + "</td><td class=\"num\">" +
           std::to_string(R.Warnings) + "</td>";
    if (Quality) Out += "<td class=\"num\">" + (R.Usable < 0 ? std::string("\xE2\x80\x93") : Percent(R.Usable)) + "</td>";
    Out += "</tr>\n";
  }
  Out += "</tbody>\n</table>\n</section>\n";
}

std::string TReportPage::Html(const std::string& Generated, const std::string& Program) const {
  std::string Out;
  AppendHead(Out, Generated, Program);
  AppendTiles(Out);
  AppendRules(Out);
  AppendFiles(Out);
  Out += "</main>\n<script type=\"application/json\" id=\"vellicor-states\">[";
  for (size_t i = 0; i < QualityStates.size(); ++i) {
    const TQualityState& S = QualityStates[i];
    Out += i > 0 ? ",{\"letter\":" : "{\"letter\":";
    AppendJsonUtf8(Out, std::string_view(&S.Letter, 1), TJsonEscape::ForScript);
    Out += ",\"colour\":";
    AppendJsonUtf8(Out, S.Colour, TJsonEscape::ForScript);
    Out += ",\"label\":";
    AppendJsonUtf8(Out, S.Label, TJsonEscape::ForScript);
    Out += '}';
  }
  Out += "]</script>\n<script type=\"application/json\" id=\"vellicor-data\">";
  FData.AppendJson(Out);
  Out += "</script>\n<script>\n";
  Out += kPageScript;
  Out += "</script>\n</body>\n</html>\n";
  return Out;
}

std::string PageTimeNow() {
  const std::time_t Now = std::time(nullptr);
  std::tm Utc{};
  gmtime_r(&Now, &Utc);
  char Buf[32];
  std::strftime(Buf, sizeof Buf, "%Y-%m-%d %H:%M:%S UTC", &Utc);
  return Buf;
}
