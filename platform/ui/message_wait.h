// How the message loop reads the time, sleeps and is woken. The loop itself (application.h) knows
// only this interface, so that the window system's event pump can later take over the waiting (it
// then dispatches its own events while it waits, and a posted wake-up event ends the wait).
// SystemMessageWait sleeps on a condition variable against the steady clock; SimulatedTime lets
// tests drive time by hand: waiting for a deadline jumps straight to it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace sib {

class MessageWait {
 public:
  using Clock = std::chrono::steady_clock;
  using TimePoint = Clock::time_point;

  virtual ~MessageWait() = default;

  // Any thread.
  virtual TimePoint Now() = 0;
  // Main thread only. Returns when woken, when `deadline` has come (no deadline: no limit), or
  // earlier; the caller looks again at what is due either way. A wake that arrived since the last
  // wait returned makes this wait return at once, so a wake is never lost.
  virtual void WaitUntil(std::optional<TimePoint> deadline) = 0;
  // Any thread.
  virtual void Wake() = 0;
};

// The wake-up half shared by the waits below: a wake is remembered until a wait consumes it.
class WakeableWait : public MessageWait {
 public:
  void Wake() override;

 protected:
  // Called with `lock` held on mutex_. Returns at a wake (which it consumes) or at `deadline`.
  void waitLocked(std::unique_lock<std::mutex>& lock, std::optional<TimePoint> deadline);
  bool wakePendingLocked() const { return wakePending_; }

  std::mutex mutex_;

 private:
  std::condition_variable woken_;
  bool wakePending_ = false;
};

// Real time: sleeps without spinning until the deadline or a wake.
class SystemMessageWait : public WakeableWait {
 public:
  TimePoint Now() override { return Clock::now(); }
  void WaitUntil(std::optional<TimePoint> deadline) override;
};

// Time that moves only when told to. A wait with a deadline moves the time to that deadline and
// returns at once, so a loop run on it goes from timer to timer without sleeping; a wait without a
// deadline sleeps (really) until a wake, since only another thread can then bring work.
class SimulatedTime : public WakeableWait {
 public:
  TimePoint Now() override;
  void WaitUntil(std::optional<TimePoint> deadline) override;

  void Advance(Clock::duration by);
  // The time passed since this object was made.
  Clock::duration Elapsed();

 private:
  // Starts well away from the clock's epoch so that "no time" and "the start" never meet.
  const TimePoint start_ = TimePoint{} + std::chrono::hours(24);
  TimePoint now_ = start_;
};

}  // namespace sib
