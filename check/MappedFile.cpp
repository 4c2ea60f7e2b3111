#include "check/MappedFile.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>

namespace {

// The mapping the calling thread reads, while it holds a TReading. A plain
// pointer in static thread storage: the signal handler reads it without any
// call that is not safe there.
thread_local TMappedFile* tReading = nullptr;

struct sigaction gPrevious {};
int64_t gPageBytes = 4096;

void OnBusError(int Signal, siginfo_t* Info, void* Context);

void InstallHandler() {
  static std::once_flag Once;
  std::call_once(Once, [] {
    gPageBytes = std::max<int64_t>(::sysconf(_SC_PAGESIZE), 1);
    struct sigaction Action {};
    Action.sa_sigaction = OnBusError;
    Action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigemptyset(&Action.sa_mask);
    ::sigaction(SIGBUS, &Action, &gPrevious);
  });
}

}  // namespace

// Called in the signal handler: replaces the page of Address with zeros so
// the faulting read completes, and notes where the file ended. False when
// Address is not in M's window.
bool RecoverMappedFault(TMappedFile& M, const uint8_t* Address) {
  if (M.FBase == nullptr || Address < M.FBase || Address >= M.FBase + M.FLength) return false;
  auto* Page = const_cast<uint8_t*>(M.FBase + ((Address - M.FBase) / gPageBytes) * gPageBytes);
  if (::mmap(Page, static_cast<size_t>(gPageBytes), PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) ==
      MAP_FAILED)
    return false;
  const int64_t Offset = M.FBegin + (Page - M.FBase);
  if (M.FFault.load(std::memory_order_relaxed) < 0 || Offset < M.FFault.load(std::memory_order_relaxed))
    M.FFault.store(Offset, std::memory_order_relaxed);
  return true;
}

namespace {

void OnBusError(int Signal, siginfo_t* Info, void* Context) {
  // si_code > 0: raised by the processor for an access, not sent by a program.
  if (TMappedFile* M = tReading; M != nullptr && Info->si_code > 0 &&
                                  RecoverMappedFault(*M, static_cast<const uint8_t*>(Info->si_addr)))
    return;
  // Not ours: whatever the process had before.
  if ((gPrevious.sa_flags & SA_SIGINFO) != 0 && gPrevious.sa_sigaction != nullptr) {
    gPrevious.sa_sigaction(Signal, Info, Context);
    return;
  }
  if ((gPrevious.sa_flags & SA_SIGINFO) == 0 && gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN) {
    gPrevious.sa_handler(Signal);
    return;
  }
  struct sigaction Default {};
  Default.sa_handler = SIG_DFL;
  sigemptyset(&Default.sa_mask);
  ::sigaction(Signal, &Default, nullptr);
  // A fault repeats its access on return and now ends the process as it
  // would have; a sent signal is sent again.
  if (Info->si_code <= 0) ::raise(Signal);
}

}  // namespace

TMappedFile::TMappedFile(int Handle) : FHandle(Handle) { InstallHandler(); }

TMappedFile::~TMappedFile() { Unmap(); }

void TMappedFile::Unmap() {
  if (FBase != nullptr) ::munmap(const_cast<uint8_t*>(FBase), static_cast<size_t>(FLength));
  FBase = nullptr;
  FLength = 0;
  FFault.store(-1, std::memory_order_relaxed);
}

bool TMappedFile::Cover(int64_t Begin, int64_t End) {
  if (FBase != nullptr && Begin >= FBegin && End <= FBegin + FLength) return true;
  Unmap();
  // Windows start on a 2 MiB boundary of the file and of memory: the page
  // cache keeps large parts of a file in 2 MiB pieces, which are then mapped
  // with one page-table entry each instead of 512.
  const int64_t From = Begin / HugeBytes * HugeBytes;
  const int64_t Length = (std::max(End - From, WindowBytes) + HugeBytes - 1) / HugeBytes * HugeBytes;
  void* Room = ::mmap(nullptr, static_cast<size_t>(Length + HugeBytes), PROT_NONE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (Room == MAP_FAILED) return false;
  const auto RoomAt = reinterpret_cast<uintptr_t>(Room);
  auto* Aligned = reinterpret_cast<uint8_t*>((RoomAt + HugeBytes - 1) / HugeBytes * HugeBytes);
  // Populated at once: one call fills the page tables, where the pass would
  // otherwise fault on every few pages.
  void* P = ::mmap(Aligned, static_cast<size_t>(Length), PROT_READ, MAP_SHARED | MAP_POPULATE | MAP_FIXED, FHandle,
                   static_cast<off_t>(From));
  // What is left of the room on either side goes back.
  if (Aligned > static_cast<uint8_t*>(Room))
    ::munmap(Room, static_cast<size_t>(Aligned - static_cast<uint8_t*>(Room)));
  const uint8_t* RoomEnd = static_cast<uint8_t*>(Room) + Length + HugeBytes;
  if (Aligned + Length < RoomEnd) ::munmap(Aligned + Length, static_cast<size_t>(RoomEnd - (Aligned + Length)));
  if (P == MAP_FAILED) {
    ::munmap(Aligned, static_cast<size_t>(Length));
    return false;
  }
  FBase = static_cast<const uint8_t*>(P);
  FBegin = From;
  FLength = Length;
  return true;
}

int64_t TMappedFile::Touch(int64_t Begin, int64_t End) {
  // Pages the mapping holds already (it is populated when mapped) cannot
  // fault on a read unless the file is cut meanwhile: one call tells, where
  // touching each page would wait for its first bytes one page at a time.
  const int64_t From = Begin / gPageBytes * gPageBytes;
  bool Present = true;
  unsigned char Pages[256];
  for (int64_t At = From; At < End && Present; At += 256 * gPageBytes) {
    const int64_t N = std::min<int64_t>(256, (End - At + gPageBytes - 1) / gPageBytes);
    Present = ::mincore(const_cast<uint8_t*>(this->At(At)), static_cast<size_t>(N * gPageBytes), Pages) == 0 &&
              std::all_of(Pages, Pages + N, [](unsigned char P) { return (P & 1) != 0; });
  }
  if (Present) return End;
  for (int64_t Offset = Begin; Offset < End; Offset = (Offset / gPageBytes + 1) * gPageBytes) {
    (void)*static_cast<const volatile uint8_t*>(At(Offset));
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (const int64_t Fault = FaultAt(); Fault >= 0) return std::max(Begin, Fault);
  }
  return End;
}

TMappedFile::TReading::TReading(TMappedFile& M) {
  tReading = &M;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

TMappedFile::TReading::~TReading() {
  std::atomic_signal_fence(std::memory_order_seq_cst);
  tReading = nullptr;
}
