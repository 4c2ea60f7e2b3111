// A read-only window onto an open file, mapped into memory instead of copied
// out of the page cache: the block scan of the command line reads every byte
// once, and the copy a read() makes is most of what such a pass costs.
//
// A mapped file that another program cuts short faults where its pages are
// gone (SIGBUS) instead of giving a short read. While a thread reads through
// a mapping it holds a recovery point (TMappedFile::TReading): the fault is
// caught, the page is replaced by zeros so the reading instruction completes,
// and the mapping remembers where it faulted. The scan then reports a read
// error at that place, exactly as a short read would, and never dies of it.
#pragma once

#include <atomic>
#include <cstdint>

class TMappedFile {
public:
  // Handle open for reading; nothing is mapped yet.
  explicit TMappedFile(int Handle);
  ~TMappedFile();
  TMappedFile(const TMappedFile&) = delete;
  TMappedFile& operator=(const TMappedFile&) = delete;

  // Makes file bytes [Begin, End) readable through At(), mapping a window of
  // at least WindowBytes from Begin when the current one does not hold them.
  // False when the file cannot be mapped (then nothing is).
  bool Cover(int64_t Begin, int64_t End);
  // The byte at file offset Offset, inside the range last covered.
  const uint8_t* At(int64_t Offset) const { return FBase + (Offset - FBegin); }
  // The file offset where the window ends.
  int64_t CoveredEnd() const { return FBegin + FLength; }

  // Reads one byte of every page of [Begin, End) (covered): the first offset
  // that faulted, or End when every page is there. Called inside a TReading.
  int64_t Touch(int64_t Begin, int64_t End);
  // The file offset of the first fault inside the window since it was mapped,
  // or -1 (the file was cut after Touch, while the bytes were being read).
  int64_t FaultAt() const { return FFault.load(std::memory_order_relaxed); }

  // The recovery point of the calling thread for the lifetime of the object:
  // a fault inside M's window is recovered as described above. Not nested.
  class TReading {
  public:
    explicit TReading(TMappedFile& M);
    ~TReading();
    TReading(const TReading&) = delete;
    TReading& operator=(const TReading&) = delete;
  };

  // Bytes mapped at once: the pages a pass holds mapped, whatever the file's
  // size, so memory stays flat.
  static constexpr int64_t WindowBytes = int64_t{8} << 20;
  static constexpr int64_t HugeBytes = int64_t{2} << 20;

private:
  void Unmap();
  friend bool RecoverMappedFault(TMappedFile& M, const uint8_t* Address);

  int FHandle;
  const uint8_t* FBase = nullptr;  // the mapping, page-aligned
  int64_t FBegin = 0;              // the file offset of FBase
  int64_t FLength = 0;
  std::atomic<int64_t> FFault{-1};
};
