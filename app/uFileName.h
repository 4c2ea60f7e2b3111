// File names as the file system holds them: bytes, which need not be UTF-8.
// Qt's own conversion (QFile::decodeName / encodeName) turns every byte that
// is no UTF-8 into U+FFFD, so a name such as "\xE9.edf" from a Latin-1 disk
// could never be opened again. These keep every name exact: valid UTF-8
// reads as text, and each other byte b as the lone surrogate U+DC00 + b,
// which valid UTF-8 can never produce, so the way back is unambiguous.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The text of a file name given as bytes (an argument, a name the library holds).
QString DecodeFileName(const QByteArray& Bytes);
// The bytes of a file name made by DecodeFileName (or typed as text).
QByteArray EncodeFileName(const QString& Name);

// True when Name names a regular file, or a link to one.
bool IsExistingFile(const QString& Name);

// The command line without the program path, each argument decoded as a file
// name. Taken before the application object sees argv: it removes its own
// options (-style, -reverse, ...), and those count as arguments too.
QStringList CommandLineArguments(int Argc, const char* const* Argv);
