// A list worked on by several threads whose results are handed on in list
// order, as one thread would hand them on, with the workers never more than
// a bounded number of results ahead: one slow item at the head of the list
// makes the others wait instead of piling up their results.
#pragma once

#include <cstddef>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

// Starts one more worker; false when the system refuses a thread (process
// or memory limits). The run then goes on with the workers it has, the
// calling thread at least.
using TStartThread = std::function<bool(std::vector<std::thread>&, std::function<void()>)>;
bool StartStdThread(std::vector<std::thread>& Threads, std::function<void()> Work);

struct TOrderedRun {
  size_t Count = 0;
  size_t Workers = 1;  // the calling thread among them
  size_t Ahead = 1;    // results made but not yet handed on, at most
  // Makes result Index into Slot (Index % Ahead); called in any thread, for
  // several indices at once, never for a slot whose result waits.
  std::function<void(size_t Index, size_t Slot)> Make;
  // Hands result Index on from its slot: in list order, one at a time, under
  // one lock. False stops the run: no index is taken after it.
  std::function<bool(size_t Index, size_t Slot)> HandOn;
  TStartThread StartThread;  // empty: std::thread
};

// The whole run; returns when every worker has ended.
void RunOrdered(const TOrderedRun& Run);

// RunOrdered with results of type T: Make(Index) returns the result of Index,
// HandOn(Index, Result) hands it on; a result is freed once handed on, so
// memory stays flat over any number of items.
template <class T, class TMake, class THandOn>
void RunInOrder(size_t Count, size_t Workers, size_t Ahead, TMake&& Make, THandOn&& HandOn,
                const TStartThread& StartThread = {}) {
  Ahead = Ahead < 1 ? 1 : Ahead;
  std::vector<T> Slots(Ahead < Count ? Ahead : Count);
  TOrderedRun Run;
  Run.Count = Count;
  Run.Workers = Workers;
  Run.Ahead = Ahead;
  Run.Make = [&](size_t Index, size_t Slot) { Slots[Slot] = Make(Index); };
  Run.HandOn = [&](size_t Index, size_t Slot) {
    const bool More = HandOn(Index, Slots[Slot]);
    // Exchanged, not assigned: an assigned empty string keeps the old one's
    // capacity.
    (void)std::exchange(Slots[Slot], T{});
    return More;
  };
  Run.StartThread = StartThread;
  RunOrdered(Run);
}
