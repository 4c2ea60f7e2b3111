#include "report/JsonLines.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "edf/uFileStream.h"
#include "report/JsonString.h"
#include "support/uSysUtils.h"

std::string ForEachLine(const std::string& Path,
                        const std::function<void(std::string_view Line, int64_t Number, bool TooLong)>& OnLine) {
  std::unique_ptr<TFileStream> Stream;
  try {
    // Opened as a recording is: a pipe, a device or a folder is refused
    // before anything is read, so /dev/zero cannot fill memory nor a FIFO
    // wait for ever.
    Stream = std::make_unique<TFileStream>(Path, TFileStreamMode::fmOpenRead);
  } catch (const EFOpenError& Error) {
    return Error.Reason();
  }
  ::posix_fadvise(Stream->Handle(), 0, 0, POSIX_FADV_SEQUENTIAL);
  // Large blocks for large files; a small file needs no more than its size.
  const int64_t BlockBytes = std::clamp<int64_t>(Stream->Size() + 1, 4096, int64_t{1} << 20);
  std::vector<char> Block(static_cast<size_t>(BlockBytes));
  std::string Carry;      // the start of a line that continues in the next block
  bool Skipping = false;  // inside a line already found too long
  int64_t Number = 0;
  int64_t Offset = 0;
  // The line [From, To) with Carry in front of it.
  const auto Take = [&](const char* From, const char* To) {
    ++Number;
    if (Skipping || static_cast<int64_t>(Carry.size()) + (To - From) > MaxJsonLineBytes) {
      OnLine({}, Number, true);
    } else if (Carry.empty()) {
      OnLine(std::string_view(From, static_cast<size_t>(To - From)), Number, false);
    } else {
      Carry.append(From, To);
      OnLine(Carry, Number, false);
    }
    // Exchanged, not cleared: a long line's room goes back at once.
    if (Carry.capacity() > size_t{1} << 20) (void)std::exchange(Carry, std::string());
    Carry.clear();
    Skipping = false;
  };
  for (;;) {
    errno = 0;
    const int64_t N = Stream->ReadAt(Offset, Block.data(), BlockBytes);
    if (N <= 0) {
      if (N < 0 || Offset < Stream->Size()) return std::strerror(errno != 0 ? errno : EIO);
      break;
    }
    Offset += N;
    const char* P = Block.data();
    const char* End = P + N;
    while (P < End) {
      const char* Eol = static_cast<const char*>(std::memchr(P, '\n', static_cast<size_t>(End - P)));
      if (!Eol) {
        if (!Skipping && static_cast<int64_t>(Carry.size()) + (End - P) <= MaxJsonLineBytes) {
          Carry.append(P, End);
        } else {
          Skipping = true;
          (void)std::exchange(Carry, std::string());
        }
        break;
      }
      Take(P, Eol);
      P = Eol + 1;
    }
  }
  if (Skipping || !Carry.empty()) Take(nullptr, nullptr);
  return "";
}

char* InsituCopy(std::string& Buffer, std::string_view Line) {
  if (std::memchr(Line.data(), '\0', Line.size()) || !IsUtf8(Line)) return nullptr;
  Buffer.assign(Line);
  Buffer.append(16, '\0');
  return Buffer.data();
}
