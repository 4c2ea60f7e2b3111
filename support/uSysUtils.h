// The error classes every unit of the library raises, and the one assertion
// macro used everywhere (active in every build type).
#pragma once

#include <exception>
#include <string>

// Root of every error the program raises on purpose: one message text.
class Exception : public std::exception {
public:
  explicit Exception(std::string message);
  const std::string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

private:
  std::string FMessage;
};

// A text that does not convert ("Invalid Float Format", ...).
class EConvertError : public Exception {
public:
  using Exception::Exception;
};

// A failed assertion: "%s (%s, line %d)" with the assertion text, the unit and
// the line. Programming mistakes only; ordinary input never reaches one.
class EAssertionFailed : public Exception {
public:
  using Exception::Exception;
};

// An operation that the object does not support ("Operation not supported").
class EInvalidOperation : public Exception {
public:
  using Exception::Exception;
};

// An index outside a list.
class EListError : public Exception {
public:
  using Exception::Exception;
};

// File stream errors: a file that cannot be opened or created.
class EStreamError : public Exception {
public:
  using Exception::Exception;
};
// A file that cannot be opened. Reason is the cause alone, without the file
// name ("No such file or directory", "not a regular file"), for callers that
// name the file themselves.
class EFOpenError : public EStreamError {
public:
  EFOpenError(std::string Message, std::string Reason = {});
  const std::string& Reason() const noexcept { return FReason; }

private:
  std::string FReason;
};
// A path that names no regular file: a folder keeps the plain EFOpenError,
// anything else (a named pipe, a device, a socket) is this one, so that a
// caller can say "cannot read" instead of judging it as an empty file.
class EFNotRegularFile : public EFOpenError {
public:
  using EFOpenError::EFOpenError;
};
// A file that another program of ours holds for writing (or, for a writer,
// holds at all): the file exists but could not be read as it stands.
class EFLockedFile : public EFOpenError {
public:
  using EFOpenError::EFOpenError;
};
class EFCreateError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// The unit name of a source path: its base name up to the first '.' or '_',
// so "edf/uEDF_write.cpp" belongs to unit "uEDF".
std::string UnitNameOfPath(const char* path);

[[noreturn]] void AssertionFailed(const char* text, const char* path, int line);

// Raises EAssertionFailed("text (unit, line n)") when cond is false.
#define VASSERT(cond, text)                                  \
  do {                                                       \
    if (!(cond)) ::AssertionFailed((text), __FILE__, __LINE__); \
  } while (0)
