// 8-bit texts (header fields, file names as bytes) as QStrings: each byte
// becomes the character of the same code, so nothing is lost or replaced.
#pragma once

#include <QString>

#include <string>

inline QString Latin1Text(const std::string& Text) {
  return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}
