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
