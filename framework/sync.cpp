#include "framework/sync.h"

#include <chrono>

namespace sib {
namespace {

// Waits on `cv` until `ready()` or the timeout; returns ready().
template <class Ready>
bool waitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, std::uint32_t timeout, Ready ready) {
  if (timeout == kInfinite) {
    cv.wait(lock, ready);
    return true;
  }
  return cv.wait_for(lock, std::chrono::milliseconds(timeout), ready);
}

}  // namespace

void TOWEvent::Signal() {
  {
    std::lock_guard lock(FMutex);
    FSignalled = true;
  }
  if (FManualReset) FChanged.notify_all();
  else FChanged.notify_one();
}

void TOWEvent::Reset() {
  std::lock_guard lock(FMutex);
  FSignalled = false;
}

bool TOWEvent::WaitFor(std::uint32_t Timeout) {
  std::unique_lock lock(FMutex);
  if (!waitUntil(FChanged, lock, Timeout, [this] { return FSignalled; })) return false;
  if (!FManualReset) FSignalled = false;
  return true;
}

bool TOWMutex::TryAcquire() {
  const auto self = std::this_thread::get_id();
  std::lock_guard lock(FState);
  if (FHolds != 0 && FOwner != self) return false;
  FOwner = self;
  ++FHolds;
  return true;
}

bool TOWMutex::Acquire(std::uint32_t Milliseconds) {
  const auto self = std::this_thread::get_id();
  std::unique_lock lock(FState);
  if (FHolds != 0 && FOwner != self) {
    ++FWaiters;
    const bool freed = waitUntil(FReleased, lock, Milliseconds, [this] { return FHolds == 0; });
    --FWaiters;
    if (!freed) return false;
  }
  FOwner = self;
  ++FHolds;
  return true;
}

bool TOWMutex::Release() {
  bool wake = false;
  {
    std::lock_guard lock(FState);
    if (FOwner != std::this_thread::get_id() || FHolds == 0) return false;
    if (--FHolds > 0) return true;
    FOwner = {};
    wake = FWaiters > 0;
  }
  if (wake) FReleased.notify_one();
  return true;
}

bool TOWSemaphore::Increment(std::int32_t ACount) {
  {
    std::lock_guard lock(FMutex);
    if (ACount <= 0 || FCount > FMaximum - ACount) return false;
    FCount += ACount;
  }
  FChanged.notify_all();
  return true;
}

bool TOWSemaphore::Decrement(std::uint32_t AMilliseconds) {
  std::unique_lock lock(FMutex);
  if (!waitUntil(FChanged, lock, AMilliseconds, [this] { return FCount > 0; })) return false;
  --FCount;
  return true;
}

}  // namespace sib
