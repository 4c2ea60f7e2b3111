#include "support/OrderedWork.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>

bool StartStdThread(std::vector<std::thread>& Threads, std::function<void()> Work) {
  try {
    Threads.emplace_back(std::move(Work));
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void RunOrdered(const TOrderedRun& Run) {
  const size_t Ahead = std::max<size_t>(Run.Ahead, 1);
  std::mutex Lock;
  std::condition_variable Room;
  size_t NextToTake = 0;
  size_t NextToHand = 0;
  std::vector<bool> Made(std::min(Ahead, Run.Count), false);  // per slot
  bool Stopped = false;

  const auto Work = [&] {
    for (;;) {
      size_t Index = 0;
      {
        std::unique_lock<std::mutex> Guard(Lock);
        // Index I reuses the slot of I - Ahead, which must be handed on first.
        Room.wait(Guard, [&] { return Stopped || NextToTake >= Run.Count || NextToTake < NextToHand + Ahead; });
        if (Stopped || NextToTake >= Run.Count) return;
        Index = NextToTake++;
      }
      Run.Make(Index, Index % Ahead);
      const std::lock_guard<std::mutex> Guard(Lock);
      Made[Index % Ahead] = true;
      for (; !Stopped && NextToHand < Run.Count && Made[NextToHand % Ahead]; ++NextToHand) {
        Made[NextToHand % Ahead] = false;
        Stopped = !Run.HandOn(NextToHand, NextToHand % Ahead);
      }
      Room.notify_all();
    }
  };

  // The calling thread works too, so a run never depends on starting one.
  const auto& Start = Run.StartThread ? Run.StartThread : StartStdThread;
  std::vector<std::thread> Threads;
  const size_t Workers = std::clamp<size_t>(Run.Workers, 1, std::max<size_t>(Run.Count, 1));
  for (size_t W = 1; W < Workers; ++W)
    if (!Start(Threads, Work)) break;
  Work();
  for (std::thread& T : Threads) T.join();
}
