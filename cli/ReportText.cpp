#include "cli/ReportText.h"

#include <charconv>
#include <cstdio>

namespace {

constexpr int kPhysiMinField = 3;
constexpr int kPhysiMaxField = 4;
constexpr int kNrDataRecordsField = 7;
constexpr int kSampleRecDurationField = 8;
constexpr const char* kDataBlockPrefix = "Datablock size = ";

// Raw texts are padded with blanks to their width; the padding says nothing
// and would only push the reason off the screen.
std::string WithoutPadding(const std::string& Raw) {
  const size_t end = Raw.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : Raw.substr(0, end + 1);
}

// A line is never left without a reason: a field can be red by the record's
// own rules (HeaderBytes not matching NrSignals) while its text is clean.
std::string ReasonText(const TFieldView& V, const std::string& Remark) {
  std::string reason = V.Reason;
  if (!Remark.empty()) reason += (reason.empty() ? "" : "; ") + Remark;
  return reason.empty() ? "invalid value" : reason;
}

void AddFieldLine(std::string& Out, const std::string& Place, const TFieldView& V,
                  TFieldMark Severity, const std::string& Remark) {
  Out += "  ";
  // A reason without a mark: the window shows the tool tip on an uncoloured box.
  Out += Severity == TFieldMark::None ? "note" : MarkName(Severity);
  Out += ": " + Place + ": " + V.Caption + " " + QuoteRaw(WithoutPadding(V.Raw)) + ": " +
         ReasonText(V, Remark) + "\n";
}

std::string SignalPlace(const TSignalView& S) {
  return "signal " + std::to_string(S.Index + 1) + " (" + EscapeRaw(S.Fields[0].Shown) + ")";
}

// The min/max heading carries its own line break, which the results window
// shows as an empty line after it; the text form does the same.
void AddMinMaxLines(std::string& Out, const std::vector<std::string>& Lines) {
  for (const std::string& line : Lines) {
    size_t start = 0;
    while (true) {
      const size_t brk = line.find("\r\n", start);
      const std::string part = line.substr(start, brk == std::string::npos ? std::string::npos : brk - start);
      Out += part.empty() ? "\n" : "  " + part + "\n";
      if (brk == std::string::npos) break;
      start = brk + 2;
    }
  }
}

}  // namespace

std::string VerdictLine(const TFileReport& R) {
  const std::string& text =
      R.OpenFailed || R.Judgement.VerdictText.empty() ? std::string(VerdictInvalidText)
                                                      : R.Judgement.VerdictText;
  return text.substr(0, text.find('\n'));
}

std::string OpenErrorLine(const TFileReport& R) {
  return R.OpenFailed ? "Error while reading file data: " + R.OpenError : std::string();
}

std::string MinMaxErrorLine(const TFileReport& R) {
  return R.MinMaxFailed
             ? "There was an error during the digital min/max+ values check: " + R.MinMaxError
             : std::string();
}

TFieldMark FaultSeverity(bool SignalField, int Field, TFieldMark Mark) {
  if (Mark == TFieldMark::None) return Mark;
  if (SignalField && (Field == kPhysiMinField || Field == kPhysiMaxField)) return TFieldMark::Warning;
  return Mark;
}

const char* MarkName(TFieldMark Mark) {
  switch (Mark) {
    case TFieldMark::Error: return "error";
    case TFieldMark::Warning: return "warning";
    case TFieldMark::None: break;
  }
  return "none";
}

std::string GeneralFieldRemark(const THeaderJudgement& J, int Field) {
  if (Field == kSampleRecDurationField) return J.DurationRemark;
  if (Field == kNrDataRecordsField) return J.SizeRemark;
  return "";
}

std::optional<int64_t> DataBlockBytes(const THeaderJudgement& J) {
  const std::string prefix = kDataBlockPrefix;
  if (J.DataBlockLine.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  int64_t bytes = 0;
  const char* first = J.DataBlockLine.data() + prefix.size();
  const char* last = J.DataBlockLine.data() + J.DataBlockLine.size();
  if (std::from_chars(first, last, bytes).ec != std::errc()) return std::nullopt;
  return bytes;
}

std::string EscapeRaw(const std::string& Raw) {
  std::string out;
  out.reserve(Raw.size());
  for (const char ch : Raw) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += ch;
    } else if (c >= 32 && c <= 126) {
      out += ch;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string QuoteRaw(const std::string& Raw) { return "\"" + EscapeRaw(Raw) + "\""; }

std::string FormatReportText(const TFileReport& R) {
  const THeaderJudgement& J = R.Judgement;
  std::string out = R.Path + ": " + VerdictLine(R) + "\n";
  for (size_t k = 0; k < J.General.size(); ++k) {
    const TFieldView& V = J.General[k];
    if (V.Mark == TFieldMark::None && V.Reason.empty()) continue;
    AddFieldLine(out, "general header", V, FaultSeverity(false, static_cast<int>(k), V.Mark),
                 GeneralFieldRemark(J, static_cast<int>(k)));
  }
  for (const TSignalView& S : R.Signals) {
    for (size_t f = 0; f < S.Fields.size(); ++f) {
      const TFieldView& V = S.Fields[f];
      if (V.Mark == TFieldMark::None && V.Reason.empty()) continue;
      AddFieldLine(out, SignalPlace(S), V, FaultSeverity(true, static_cast<int>(f), V.Mark), "");
    }
    if (!S.CalibrationRemark.empty())
      out += "  warning: " + SignalPlace(S) + ": " + S.CalibrationRemark + "\n";
  }
  if (!J.DataBlockLine.empty())
    out += (J.DataBlockTooLarge ? "  error: " : "  ") + J.DataBlockLine + "\n";
  if (R.OpenFailed) out += "  error: " + OpenErrorLine(R) + "\n";
  if (R.MinMaxRun) AddMinMaxLines(out, R.MinMaxLines);
  if (R.MinMaxFailed) out += "  error: " + MinMaxErrorLine(R) + "\n";
  return out;
}
