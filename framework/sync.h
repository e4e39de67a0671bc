// Thin owners of the synchronisation objects that the framework, the signal and the audio units use
// for their locks, threads and queues. Each class owns its primitive and frees it with itself.
// Names given to the Create*Named constructors are kept for diagnostics only; objects are private to
// the process.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace sib {

class TOWCriticalSection {
 public:
  void Enter() { FSection.lock(); }
  void Leave() { FSection.unlock(); }

  // For std::lock_guard / std::unique_lock.
  void lock() { Enter(); }
  void unlock() { Leave(); }

 private:
  std::mutex FSection;
};

// Timeouts are in milliseconds; kInfinite waits without limit.
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

class TOWEvent {
 public:
  TOWEvent(bool AManualReset, bool AInitialState) : FManualReset(AManualReset), FSignalled(AInitialState) {}
  TOWEvent(std::string AName, bool AManualReset, bool AInitialState)
      : FName(std::move(AName)), FManualReset(AManualReset), FSignalled(AInitialState) {}

  void Signal();
  void Reset();
  // True when the event was signalled within `Timeout` ms; an auto-reset event is reset by the wait.
  bool WaitFor(std::uint32_t Timeout);
  const std::string& Name() const { return FName; }

 private:
  std::string FName;
  const bool FManualReset;
  bool FSignalled;
  std::mutex FMutex;
  std::condition_variable FChanged;
};

// A recursive mutex with timed waits. It is always created unowned. Built on a plain mutex and a
// condition variable rather than a timed mutex, whose timed waits the thread sanitizer cannot follow.
class TOWMutex {
 public:
  TOWMutex() = default;
  explicit TOWMutex(std::string AName) : FName(std::move(AName)) {}

  // False only when the wait timed out.
  bool Acquire(std::uint32_t Milliseconds);
  // Acquire(0) without touching the condition variable: the uncontended path of the component lock.
  bool TryAcquire();
  // Releases one hold; false when the calling thread holds none.
  bool Release();

 private:
  std::string FName;
  std::mutex FState;
  std::condition_variable FReleased;
  std::thread::id FOwner;
  std::uint32_t FHolds = 0;
  std::uint32_t FWaiters = 0;
};

class TOWSemaphore {
 public:
  TOWSemaphore(std::int32_t AInitialCount, std::int32_t AMaximumCount)
      : FCount(AInitialCount), FMaximum(AMaximumCount) {}

  // Releases ACount units; false when that would pass the maximum (nothing is released then).
  bool Increment(std::int32_t ACount = 1);
  // True when a unit was taken within AMilliseconds.
  bool Decrement(std::uint32_t AMilliseconds);

 private:
  std::int32_t FCount;
  const std::int32_t FMaximum;
  std::mutex FMutex;
  std::condition_variable FChanged;
};

}  // namespace sib
