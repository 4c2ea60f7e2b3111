// The errors the EDF file model raises for misuse and file problems a caller
// can meet at run time. Each class marks one case so callers can tell them
// apart; the messages are fixed English texts.
#pragma once

#include "support/uSysUtils.h"

class EDataFile : public Exception {
public:
  using Exception::Exception;
};

// The cases, each adding nothing but its class.
class EDataFileIsCreating : public EDataFile {
public:
  using EDataFile::EDataFile;
};
class EDataFileIsOpen : public EDataFile {
public:
  using EDataFile::EDataFile;
};
class EDataFileReadOnly : public EDataFile {
public:
  using EDataFile::EDataFile;
};
class EDataFileReadData : public EDataFile {
public:
  using EDataFile::EDataFile;
};
class EDataFileExists : public EDataFile {
public:
  using EDataFile::EDataFile;
};
class EDataFileDataExists : public EDataFile {
public:
  using EDataFile::EDataFile;
};
class EDataFileFieldValue : public EDataFile {
public:
  using EDataFile::EDataFile;
};
class EDataFileHeaderInvalid : public EDataFile {
public:
  using EDataFile::EDataFile;
};

// The message each raise site uses, so none retypes it.
inline constexpr const char* SNoFileName = "No filename";
inline constexpr const char* SBusyCreating = "Busy creating new file";
inline constexpr const char* SDataFileIsOpen = "Data file is already open";
inline constexpr const char* SFileReadOnly = "File is opened read-only";
inline constexpr const char* SErrorReadingData = "Error reading file data";
inline constexpr const char* SDataFileExists = "Data file already exists";
inline constexpr const char* SDataFileDataExists = "Data file already contains data";
inline constexpr const char* SInvalidFieldValues = "Invalid field value(s)";
inline constexpr const char* SInvalidHeader = "Invalid or incomplete file header";

// Ready-made errors carrying their fixed message: `throw ErrDataFileIsOpen();`
EDataFile ErrNoFileName();
EDataFileIsCreating ErrBusyCreating();
EDataFileIsOpen ErrDataFileIsOpen();
EDataFileReadOnly ErrFileReadOnly();
EDataFileReadData ErrReadingData();
EDataFileExists ErrDataFileExists();
EDataFileDataExists ErrDataFileDataExists();
EDataFileFieldValue ErrInvalidFieldValues();
EDataFileHeaderInvalid ErrInvalidHeader();
