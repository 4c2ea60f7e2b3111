#include "check/Finding.h"

#include <algorithm>
#include <cstdio>

#include "util/uUtf8.h"

const char* SeverityName(TSeverity Severity) {
  switch (Severity) {
    case TSeverity::Error: return "error";
    case TSeverity::Warning: return "warning";
    case TSeverity::Note: return "note";
  }
  return "error";
}

const char* WhereKindName(TWhereKind Kind) {
  switch (Kind) {
    case TWhereKind::File: return "file";
    case TWhereKind::GeneralHeader: return "general header";
    case TWhereKind::SignalHeader: return "signal header";
    case TWhereKind::DataRecord: return "data record";
    case TWhereKind::Annotation: return "annotation";
  }
  return "file";
}

std::string EscapeBytes(const std::string& Bytes) {
  std::string Out;
  Out.reserve(Bytes.size());
  for (const char Ch : Bytes) {
    const auto C = static_cast<unsigned char>(Ch);
    if (C == '\\' || C == '"') {
      Out += '\\';
      Out += Ch;
    } else if (C >= 32 && C <= 126) {
      Out += Ch;
    } else {
      char Hex[5];
      std::snprintf(Hex, sizeof Hex, "\\x%02X", C);
      Out += Hex;
    }
  }
  return Out;
}

std::string QuoteIfNeeded(const std::string& Text) {
  const bool Plain = !Text.empty() && std::all_of(Text.begin(), Text.end(), [](char Ch) {
    const auto C = static_cast<unsigned char>(Ch);
    return C > 32 && C <= 126 && C != '"' && C != '\\';
  });
  return Plain ? Text : '"' + EscapeBytes(Text) + '"';
}

namespace {

void AppendHex(std::string& Out, unsigned char C) {
  char Hex[5];
  std::snprintf(Hex, sizeof Hex, "\\x%02X", C);
  Out += Hex;
}

// The C1 controls (U+0080..U+009F: NEL, U+0085, is a line break to some
// readers, CSI, U+009B, starts a terminal sequence to some terminals) and
// LINE and PARAGRAPH SEPARATOR (U+2028, U+2029): readers that split on
// Unicode line breaks would start a new line there.
bool UnicodeControl(const unsigned char* P, size_t Len) {
  return (Len == 2 && P[0] == 0xC2 && P[1] < 0xA0) ||
         (Len == 3 && P[0] == 0xE2 && P[1] == 0x80 && (P[2] == 0xA8 || P[2] == 0xA9));
}

}  // namespace

std::string DisplayName(const std::string& Path) {
  std::string Out;
  const auto* P = reinterpret_cast<const unsigned char*>(Path.data());
  const size_t N = Path.size();
  for (size_t I = 0; I < N;) {
    const unsigned char C = P[I];
    if (C == '\\') {
      Out += "\\\\";
      ++I;
    } else if (C < 32 || C == 127) {
      AppendHex(Out, C);
      ++I;
    } else if (const size_t Len = Utf8SequenceLength(P + I, N - I); Len > 0) {
      if (UnicodeControl(P + I, Len))
        for (size_t K = 0; K < Len; ++K) AppendHex(Out, P[I + K]);
      else
        Out.append(Path, I, Len);
      I += Len;
    } else {
      AppendHex(Out, C);
      ++I;
    }
  }
  return Out;
}

bool HasErrors(const TFindings& Findings) {
  return std::any_of(Findings.begin(), Findings.end(),
                     [](const TFinding& F) { return F.Severity == TSeverity::Error; });
}
