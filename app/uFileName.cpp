#include "app/uFileName.h"

#include <sys/stat.h>

#include "util/uUtf8.h"

namespace {

constexpr char16_t EscapeBase = 0xDC00;

bool IsEscape(char16_t C) { return C >= EscapeBase + 0x80 && C <= EscapeBase + 0xFF; }

}  // namespace

QString DecodeFileName(const QByteArray& Bytes) {
  const auto* Begin = reinterpret_cast<const unsigned char*>(Bytes.constData());
  const auto* End = Begin + Bytes.size();
  QString Name;
  const unsigned char* Run = Begin;  // start of the valid UTF-8 not yet decoded
  for (const unsigned char* P = Begin; P < End;) {
    const int Length = static_cast<int>(Utf8SequenceLength(P, static_cast<std::size_t>(End - P)));
    if (Length > 0) {
      P += Length;
      continue;
    }
    Name += QString::fromUtf8(reinterpret_cast<const char*>(Run), P - Run);
    Name += QChar(static_cast<char16_t>(EscapeBase + *P));
    Run = ++P;
  }
  Name += QString::fromUtf8(reinterpret_cast<const char*>(Run), End - Run);
  return Name;
}

QByteArray EncodeFileName(const QString& Name) {
  QByteArray Bytes;
  qsizetype Run = 0;  // start of the text not yet encoded
  for (qsizetype I = 0; I < Name.size(); ++I) {
    const char16_t C = Name[I].unicode();
    // A high surrogate takes its partner along, which may lie in the escape
    // range (U+10080 is D800 DC80) without being an escape.
    if (QChar::isHighSurrogate(C) && I + 1 < Name.size() && Name[I + 1].isLowSurrogate()) {
      ++I;
      continue;
    }
    if (!IsEscape(C)) continue;
    Bytes += QStringView(Name).mid(Run, I - Run).toUtf8();
    Bytes += static_cast<char>(C - EscapeBase);
    Run = I + 1;
  }
  Bytes += QStringView(Name).mid(Run).toUtf8();
  return Bytes;
}

bool IsExistingFile(const QString& Name) {
  struct stat Status {};
  const QByteArray Bytes = EncodeFileName(Name);
  return !Bytes.isEmpty() && ::stat(Bytes.constData(), &Status) == 0 && S_ISREG(Status.st_mode);
}

QStringList CommandLineArguments(int Argc, const char* const* Argv) {
  QStringList Arguments;
  for (int I = 1; I < Argc; ++I) Arguments << DecodeFileName(QByteArray(Argv[I]));
  return Arguments;
}
