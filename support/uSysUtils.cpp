#include "support/uSysUtils.h"

#include <cstdio>
#include <cstring>
#include <utility>

Exception::Exception(std::string message) : FMessage(std::move(message)) {}

EFOpenError::EFOpenError(std::string Message, std::string Reason)
    : EStreamError(std::move(Message)), FReason(std::move(Reason)) {}

std::string UnitNameOfPath(const char* path) {
  std::string p = path ? path : "";
  const auto slash = p.find_last_of("/\\");
  if (slash != std::string::npos) p.erase(0, slash + 1);
  const auto end = p.find_first_of("._");
  if (end != std::string::npos) p.erase(end);
  return p;
}

void AssertionFailed(const char* text, const char* path, int line) {
  const std::string unit = UnitNameOfPath(path);
  const std::string t = text ? text : "";
  // "%s (%s, line %d)"
  std::string msg = t + " (" + unit + ", line " + std::to_string(line) + ")";
  throw EAssertionFailed(std::move(msg));
}
