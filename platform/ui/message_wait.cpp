#include "platform/ui/message_wait.h"

namespace sib {

void WakeableWait::Wake() {
  {
    std::lock_guard lock(mutex_);
    wakePending_ = true;
  }
  woken_.notify_one();
}

void WakeableWait::waitLocked(std::unique_lock<std::mutex>& lock, std::optional<TimePoint> deadline) {
  if (deadline) {
    woken_.wait_until(lock, *deadline, [this] { return wakePending_; });
  } else {
    woken_.wait(lock, [this] { return wakePending_; });
  }
  wakePending_ = false;
}

void SystemMessageWait::WaitUntil(std::optional<TimePoint> deadline) {
  std::unique_lock lock(mutex_);
  waitLocked(lock, deadline);
}

MessageWait::TimePoint SimulatedTime::Now() {
  std::lock_guard lock(mutex_);
  return now_;
}

void SimulatedTime::WaitUntil(std::optional<TimePoint> deadline) {
  std::unique_lock lock(mutex_);
  if (!wakePendingLocked() && deadline) {
    if (*deadline > now_) now_ = *deadline;
    return;
  }
  waitLocked(lock, std::nullopt);
}

void SimulatedTime::Advance(Clock::duration by) {
  std::lock_guard lock(mutex_);
  now_ += by;
}

MessageWait::Clock::duration SimulatedTime::Elapsed() {
  std::lock_guard lock(mutex_);
  return now_ - start_;
}

}  // namespace sib
