// A file opened by name as a byte stream with 64-bit positions. Reads and
// writes go to the operating system at explicit offsets. Small reads at
// increasing offsets (one data record after another, a header field by
// field) are served from a block read ahead in one call, so that a pass in
// small steps costs about what a pass in large blocks costs; every other
// read goes straight to the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

enum class TFileStreamMode {
  fmOpenRead,       // existing file, reading only; others may read, not write
  fmOpenReadWrite,  // existing file, reading and writing, not shared
  fmCreate          // new empty file, reading and writing, not shared
};

class TFileStream {
public:
  // EFOpenError (or EFCreateError for fmCreate) naming the file and the
  // reason when the file cannot be opened or locked. Never waits: a path that
  // is no regular file (a named pipe, /dev/zero, /dev/stdin from a pipe) is
  // EFNotRegularFile, a lock held by another program EFLockedFile; a folder
  // is a plain EFOpenError ("Is a directory").
  TFileStream(const std::string& FileName, TFileStreamMode Mode);
  ~TFileStream();
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  const std::string& FileName() const { return FFileName; }
  // The system's handle, for a reader that maps the file instead of reading it.
  int Handle() const { return FHandle; }
  // Current size of the file in bytes.
  int64_t Size() const;
  int64_t Position() const { return FPosition; }
  void Seek(int64_t Position) { FPosition = Position; }

  // Up to Count bytes from Offset into Buffer; returns the bytes read, fewer
  // than Count only at the end of the file or on a read error. Served from
  // the read-ahead block only while the file still holds every byte asked
  // for: a file cut since the block was read gives the short read of the
  // file as it is now. Not for two threads at once on one stream.
  int64_t ReadAt(int64_t Offset, void* Buffer, int64_t Count) const;
  // ReadAt at the position, which then moves past the bytes read.
  int64_t Read(void* Buffer, int64_t Count);
  // Count bytes at Offset; EStreamError when fewer could be written, so a
  // full disk is not taken for a written record.
  void WriteAt(int64_t Offset, const void* Buffer, int64_t Count);
  // WriteAt at the position, which then moves past the bytes written.
  void Write(const void* Buffer, int64_t Count);

  // The largest read-ahead block.
  static constexpr int64_t ReadAheadBytes = int64_t{1} << 20;
  // Only reads smaller than this are served from the block: for larger ones
  // the copy out of the block costs more than the call it saves.
  static constexpr int64_t ReadAheadBelowBytes = int64_t{16} << 10;

private:
  int64_t ReadDirect(int64_t Offset, void* Buffer, int64_t Count) const;
  int64_t ReadAhead(int64_t Offset, void* Buffer, int64_t Count) const;
  void DropReadAhead() const;

  std::string FFileName;
  int FHandle = -1;
  int64_t FPosition = 0;
  // The read-ahead state: a const read still moves it.
  mutable std::unique_ptr<char[]> FBlock;  // grows with the fills, up to ReadAheadBytes
  mutable int64_t FBlockCapacity = 0;
  mutable int64_t FBlockStart = 0;
  mutable int64_t FBlockLength = 0;  // the bytes of the file from FBlockStart it holds
  mutable int64_t FFillBytes = 0;    // what the next fill reads: grows along a run
  mutable int64_t FLastEnd = -1;     // where the previous read ended, -1 after a jump
  mutable int FRun = 0;              // reads in a row, each at or after the last one's end
};

// Whether Path can be opened for reading as TFileStream opens it: "" when it
// can, otherwise the reason alone, without the path: "not a regular file",
// "locked by another program", or the system's text ("No such file or
// directory", "Permission denied", "Is a directory"). Opens and closes the
// file once and never waits, so a list of paths can be sorted into files to
// check and paths to report before any is judged. The state may change
// before the real open; that open raises the same EFOpenError family, whose
// Reason() gives the same texts.
std::string ReadableFileError(const std::string& Path);
