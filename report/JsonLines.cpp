#include "report/JsonLines.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "report/JsonString.h"

std::string ForEachLine(const std::string& Path,
                        const std::function<void(std::string_view Line, int64_t Number)>& OnLine) {
  const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (Fd < 0) return std::strerror(errno);
  ::posix_fadvise(Fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  constexpr size_t kBlock = 1 << 20;
  std::vector<char> Block(kBlock);
  std::string Carry;  // the start of a line that continues in the next block
  int64_t Number = 0;
  std::string Error;
  for (;;) {
    const ssize_t N = ::read(Fd, Block.data(), kBlock);
    if (N < 0 && errno == EINTR) continue;
    if (N < 0) {
      Error = std::strerror(errno);
      break;
    }
    if (N == 0) break;
    const char* P = Block.data();
    const char* End = P + N;
    while (P < End) {
      const char* Eol = static_cast<const char*>(std::memchr(P, '\n', static_cast<size_t>(End - P)));
      if (!Eol) {
        Carry.append(P, End);
        break;
      }
      if (Carry.empty()) {
        OnLine(std::string_view(P, static_cast<size_t>(Eol - P)), ++Number);
      } else {
        Carry.append(P, Eol);
        OnLine(Carry, ++Number);
        Carry.clear();
      }
      P = Eol + 1;
    }
  }
  ::close(Fd);
  if (Error.empty() && !Carry.empty()) OnLine(Carry, ++Number);
  return Error;
}

char* InsituCopy(std::string& Buffer, std::string_view Line) {
  if (std::memchr(Line.data(), '\0', Line.size()) || !IsUtf8(Line)) return nullptr;
  Buffer.assign(Line);
  Buffer.append(16, '\0');
  return Buffer.data();
}
