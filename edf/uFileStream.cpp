#include "edf/uFileStream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "support/uSysUtils.h"

namespace {

std::string Reason(int Error) { return std::strerror(Error); }

const char* const NotRegularReason = "not a regular file";
const char* const LockedReason = "locked by another program";

// Why an open was refused: the system's error, or one of our own refusals.
enum class TRefusal { System, NotRegular, Locked };

[[noreturn]] void RaiseOpenError(TFileStreamMode Mode, const std::string& FileName,
                                 TRefusal Refusal, int Error) {
  const std::string Why = Refusal == TRefusal::NotRegular ? NotRegularReason
                          : Refusal == TRefusal::Locked   ? LockedReason
                                                          : Reason(Error);
  // System errors keep the sentence form "... . No such file or directory".
  const std::string Joint = Refusal == TRefusal::System ? "\". " : "\": ";
  if (Mode == TFileStreamMode::fmCreate)
    throw EFCreateError("Cannot create file \"" + FileName + Joint + Why);
  const std::string Message = "Cannot open file \"" + FileName + Joint + Why;
  switch (Refusal) {
    case TRefusal::NotRegular: throw EFNotRegularFile(Message, Why);
    case TRefusal::Locked: throw EFLockedFile(Message, Why);
    case TRefusal::System: break;
  }
  throw EFOpenError(Message, Why);
}

}  // namespace

TFileStream::TFileStream(const std::string& FileName, TFileStreamMode Mode) : FFileName(FileName) {
  // O_NONBLOCK: opening a named pipe for reading would otherwise wait for a
  // writer for ever. O_NOCTTY: a terminal named by mistake must not become
  // ours. Both are only for the open; reads block as usual afterwards.
  int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  switch (Mode) {
    case TFileStreamMode::fmOpenRead: flags |= O_RDONLY; break;
    case TFileStreamMode::fmOpenReadWrite: flags |= O_RDWR; break;
    case TFileStreamMode::fmCreate: flags |= O_RDWR | O_CREAT; break;
  }
  FHandle = ::open(FileName.c_str(), flags, 0666);
  if (FHandle < 0) {
    const int error = errno;
    // With O_NONBLOCK a file leased to another program refuses at once.
    RaiseOpenError(Mode, FileName, error == EWOULDBLOCK ? TRefusal::Locked : TRefusal::System,
                   error);
  }

  // Linux has no share modes on open. "Others may read but not write" is
  // approximated with advisory locks: readers share LOCK_SH, writers need
  // LOCK_EX, so a reader and a writer of this program exclude each other.
  // Never blocks: a conflicting lock is an open error at once.
  const int lock = Mode == TFileStreamMode::fmOpenRead ? LOCK_SH : LOCK_EX;
  TRefusal refusal = TRefusal::System;
  int error = 0;
  struct stat st {};
  if (::fstat(FHandle, &st) != 0) {
    error = errno;
  } else if (S_ISDIR(st.st_mode)) {
    error = EISDIR;
  } else if (!S_ISREG(st.st_mode)) {
    // A pipe, a device or a socket has no size and no fixed content: read
    // as a file it would pass for an empty one (or never end).
    refusal = TRefusal::NotRegular;
  } else if (::flock(FHandle, lock | LOCK_NB) != 0) {
    error = errno;
    if (error == EWOULDBLOCK) refusal = TRefusal::Locked;
  } else if (::fcntl(FHandle, F_SETFL, 0) != 0) {
    // F_SETFL sets only the status flags (append, async, direct, noatime,
    // non-blocking), none of which we want: 0 clears O_NONBLOCK alone.
    error = errno;
  } else if (Mode == TFileStreamMode::fmCreate && ::ftruncate(FHandle, 0) != 0) {
    // Emptied only once the lock is held, so another holder's file is never cut.
    error = errno;
  }
  if (refusal != TRefusal::System || error != 0) {
    ::close(FHandle);
    FHandle = -1;
    RaiseOpenError(Mode, FileName, refusal, error);
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

namespace {

// A run starts small, so that reading a header field by field costs no
// megabyte, and doubles with every fill up to ReadAheadBytes.
constexpr int64_t FirstFillBytes = int64_t{64} << 10;
// The reads of a run before read-ahead starts: a header read in one or two
// calls never fills a block.
constexpr int RunBeforeReadAhead = 2;

}  // namespace

int64_t TFileStream::ReadAt(int64_t Offset, void* Buffer, int64_t Count) const {
  if (Count <= 0) return 0;
  const bool Continues = FLastEnd >= 0 && Offset >= FLastEnd && Offset - FLastEnd < ReadAheadBytes;
  if (Continues) {
    ++FRun;
  } else {
    // A jump: whatever the block holds was read for another run.
    DropReadAhead();
  }
  const int64_t Got = FRun >= RunBeforeReadAhead && Count < ReadAheadBelowBytes
                          ? ReadAhead(Offset, Buffer, Count)
                          : ReadDirect(Offset, Buffer, Count);
  FLastEnd = Offset + Got;
  return Got;
}

void TFileStream::DropReadAhead() const {
  FRun = 0;
  FBlockLength = 0;
  FFillBytes = FirstFillBytes;
  FLastEnd = -1;
}

int64_t TFileStream::ReadAhead(int64_t Offset, void* Buffer, int64_t Count) const {
  const int64_t End = Offset + Count;
  bool Fresh = false;
  if (!(FBlockLength > 0 && Offset >= FBlockStart && End <= FBlockStart + FBlockLength)) {
    const int64_t Fill = std::max(Count, FFillBytes);
    if (Fill > FBlockCapacity) {
      FBlock.reset(new char[static_cast<size_t>(Fill)]);
      FBlockCapacity = Fill;
    }
    // One call: a short fill is the end of the file, or this read asks again below.
    ssize_t N = 0;
    do {
      N = ::pread(FHandle, FBlock.get(), static_cast<size_t>(Fill), static_cast<off_t>(Offset));
    } while (N < 0 && errno == EINTR);
    FBlockStart = Offset;
    FBlockLength = std::max<int64_t>(N, 0);
    FFillBytes = std::min(2 * FFillBytes, ReadAheadBytes);
    Fresh = true;
  }
  // Bytes read earlier are handed out only while the file still reaches past
  // them: a file cut meanwhile must give its short read, not what it held.
  if (End <= FBlockStart + FBlockLength &&
      (Fresh || ::lseek(FHandle, 0, SEEK_END) >= static_cast<off_t>(End))) {
    std::memcpy(Buffer, FBlock.get() + (Offset - FBlockStart), static_cast<size_t>(Count));
    return Count;
  }
  // The file ends inside the block (or did when it was read): ask the file.
  FBlockLength = 0;
  return ReadDirect(Offset, Buffer, Count);
}

int64_t TFileStream::ReadDirect(int64_t Offset, void* Buffer, int64_t Count) const {
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
  // The block may hold the old bytes of what is written now.
  DropReadAhead();
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

std::string ReadableFileError(const std::string& Path) {
  try {
    const TFileStream Stream(Path, TFileStreamMode::fmOpenRead);
    return {};
  } catch (const EFOpenError& Error) {
    return Error.Reason();
  }
}
