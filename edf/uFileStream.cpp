#include "edf/uFileStream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/uSysUtils.h"

namespace {

std::string Reason(int Error) { return std::strerror(Error); }

[[noreturn]] void RaiseOpenError(TFileStreamMode Mode, const std::string& FileName, int Error) {
  if (Mode == TFileStreamMode::fmCreate)
    throw EFCreateError("Cannot create file \"" + FileName + "\". " + Reason(Error));
  throw EFOpenError("Cannot open file \"" + FileName + "\". " + Reason(Error));
}

}  // namespace

TFileStream::TFileStream(const std::string& FileName, TFileStreamMode Mode) : FFileName(FileName) {
  int flags = O_CLOEXEC;
  switch (Mode) {
    case TFileStreamMode::fmOpenRead: flags |= O_RDONLY; break;
    case TFileStreamMode::fmOpenReadWrite: flags |= O_RDWR; break;
    case TFileStreamMode::fmCreate: flags |= O_RDWR | O_CREAT; break;
  }
  FHandle = ::open(FileName.c_str(), flags, 0666);
  if (FHandle < 0) RaiseOpenError(Mode, FileName, errno);

  // Linux has no share modes on open. "Others may read but not write" is
  // approximated with advisory locks: readers share LOCK_SH, writers need
  // LOCK_EX, so a reader and a writer of this program exclude each other.
  // Never blocks: a conflicting lock is an open error at once.
  const int lock = Mode == TFileStreamMode::fmOpenRead ? LOCK_SH : LOCK_EX;
  int error = 0;
  struct stat st {};
  if (::flock(FHandle, lock | LOCK_NB) != 0)
    error = errno;
  else if (::fstat(FHandle, &st) != 0)
    error = errno;
  else if (S_ISDIR(st.st_mode))
    error = EISDIR;
  // Emptied only once the lock is held, so another holder's file is never cut.
  else if (Mode == TFileStreamMode::fmCreate && ::ftruncate(FHandle, 0) != 0)
    error = errno;
  if (error != 0) {
    ::close(FHandle);
    FHandle = -1;
    RaiseOpenError(Mode, FileName, error);
  }
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);  // also releases the lock
}

int64_t TFileStream::Size() const {
  struct stat st {};
  if (::fstat(FHandle, &st) != 0) return 0;
  return static_cast<int64_t>(st.st_size);
}

int64_t TFileStream::ReadAt(int64_t Offset, void* Buffer, int64_t Count) const {
  auto* p = static_cast<char*>(Buffer);
  int64_t done = 0;
  while (done < Count) {
    const ssize_t n = ::pread(FHandle, p + done, static_cast<size_t>(Count - done),
                              static_cast<off_t>(Offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // end of file or a read error: the caller sees a short count
    done += n;
  }
  return done;
}

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  const int64_t n = ReadAt(FPosition, Buffer, Count);
  FPosition += n;
  return n;
}

void TFileStream::WriteAt(int64_t Offset, const void* Buffer, int64_t Count) {
  const auto* p = static_cast<const char*>(Buffer);
  int64_t done = 0;
  while (done < Count) {
    const ssize_t n = ::pwrite(FHandle, p + done, static_cast<size_t>(Count - done),
                               static_cast<off_t>(Offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      throw EStreamError("Stream write error: \"" + FFileName + "\". " +
                         Reason(n < 0 ? errno : ENOSPC));
    done += n;
  }
}

void TFileStream::Write(const void* Buffer, int64_t Count) {
  WriteAt(FPosition, Buffer, Count);
  FPosition += Count;
}
