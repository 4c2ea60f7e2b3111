// EDF header texts and reports are 8-bit; shown in Qt, every byte is one
// character (Latin-1), so no byte is dropped or merged with its neighbour.
// Qt Core only, so a program without widgets can use it too.
#pragma once

#include <string>

#include <QString>

inline QString Latin1Text(const std::string& Text) {
  return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}
