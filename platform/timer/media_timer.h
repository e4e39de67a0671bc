// The 1 ms media timer: periodic callbacks, all served by one thread per process that wakes on
// absolute deadlines 1 ms apart (next += 1 ms), so ticks never drift. A thread that wakes late
// delivers the milliseconds it missed in one call, telling the callback how many periods passed.
// A callback that knows it has nothing to do for a while defers its next call, and the thread
// sleeps through the ticks nobody needs.
//
// timeSetEvent/timeKillEvent go to the current tick source: the process's MediaTimer, or a source a
// test installed with ScopedMediaTickSource (ManualTickSource ticks only when the test says so).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/core/mm_result.h"
#include "platform/core/thread.h"

namespace sib {

using MediaTimerId = std::uint32_t;  // 0 is never a valid id

// periods: how many whole periods have passed since the previous call (1 unless the timer was late).
// Runs on the tick source's thread; must be short and must not throw.
using MediaTimerCallback = std::function<void(MediaTimerId id, std::uint32_t periods)>;

enum class MediaTimerKill { WaitForRunningCall, DontWait };

class MediaTickSource {
 public:
  virtual ~MediaTickSource() = default;
  // Calls back every periodMs milliseconds (at least 1); returns 0 when periodMs is 0 or no callback.
  virtual MediaTimerId setEvent(std::uint32_t periodMs, MediaTimerCallback callback) = 0;
  // No call of this event starts after it returns. With WaitForRunningCall a call running on another
  // thread has also finished (so do not wait while holding a lock that the callback takes); with
  // DontWait it may still be finishing, and the callback object lives until it has. From inside the
  // callback itself it only stops later calls. kMMInvalidParam for an unknown id.
  virtual MMResult killEvent(MediaTimerId id, MediaTimerKill kill = MediaTimerKill::WaitForRunningCall) = 0;
  // The event's callback has nothing to do before `periods` periods have passed since its last call:
  // the periods in between are withheld and handed over together with that call (so a counting
  // callback sees the same totals at the same period), and the timer may sleep until then. 1 (or 0)
  // asks for every period again. Any thread, the callback's own included.
  virtual void deferEvent(MediaTimerId id, std::uint32_t periods) = 0;
  // The periods that have passed for the event since it was set: those handed to its callback (a
  // call in progress included) and those withheld. 0 for an unknown id.
  virtual std::uint64_t periodsPassed(MediaTimerId id) = 0;
};

// The events of a tick source and their delivery; shared by the sources below.
class MediaTimerEvents {
 public:
  // sleeperMustWake: set when a sleeping thread planned to sleep through ticks the new event needs.
  MediaTimerId add(std::uint32_t periodMs, MediaTimerCallback callback, bool* sleeperMustWake = nullptr);
  MMResult remove(MediaTimerId id, MediaTimerKill kill);
  // Advances every event by `milliseconds` and calls those whose period has come round, in the
  // order they were set, without holding the events' lock during a callback.
  void deliver(std::uint32_t milliseconds);
  // Returns whether the event's next call now comes before the end of a sleep planned past it.
  bool defer(MediaTimerId id, std::uint32_t periods);
  std::uint64_t periodsPassed(MediaTimerId id);
  // The delivering thread, before it sleeps: milliseconds until the next call of any event is due
  // (at least 1, as ticks come whole). sleepEnded when it wakes.
  std::uint64_t planSleep();
  void sleepEnded();
  bool empty();
  // Waits until there is an event or `stop` is set (checked on each notifyAll).
  void waitForEvents(const std::atomic<bool>& stop);
  void notifyAll();

 private:
  struct Event {
    MediaTimerId id;
    std::uint32_t periodMs;
    std::uint32_t elapsedMs = 0;
    std::shared_ptr<MediaTimerCallback> callback;
    bool killed = false;
    std::uint32_t deferredTo = 0;   // periods the next call waits for (0: the next period)
    std::uint64_t withheld = 0;     // periods passed since the last call
    std::uint64_t handedOver = 0;   // periods given to the callback so far
  };

  std::vector<Event>::iterator liveEvent(MediaTimerId id);  // mutex_ held; end() when killed or unknown

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Event> events_;  // in id order
  MediaTimerId nextId_ = 1;
  MediaTimerId running_ = 0;  // the event whose callback runs now
  bool sleepingPastNextTick_ = false;
  std::thread::id deliveringThread_;
};

// The monotonic clock the timer thread sleeps on; replaceable so a test can wake the thread late.
class MonotonicClock {
 public:
  virtual ~MonotonicClock() = default;
  virtual std::int64_t nowNs() = 0;
  virtual void sleepUntil(std::int64_t deadlineNs) = 0;
  // Ends a sleepUntil in progress early (may be a no-op where sleeps are short anyway).
  virtual void wake() = 0;
};

// CLOCK_MONOTONIC, with sleeps to an absolute deadline that wake() ends early. Each sleeper needs
// its own: a wake is kept for the next sleep of this clock.
std::unique_ptr<MonotonicClock> makeSystemMonotonicClock();

// The real source: one thread, started with the first event and ended with the object. Between
// events it sleeps on a condition variable; with the first new event its deadlines restart from now.
class MediaTimer final : public MediaTickSource {
 public:
  MediaTimer();  // on the system's monotonic clock
  explicit MediaTimer(MonotonicClock& clock);
  ~MediaTimer() override;
  MediaTimer(const MediaTimer&) = delete;
  MediaTimer& operator=(const MediaTimer&) = delete;

  MediaTimerId setEvent(std::uint32_t periodMs, MediaTimerCallback callback) override;
  MMResult killEvent(MediaTimerId id, MediaTimerKill kill = MediaTimerKill::WaitForRunningCall) override;
  void deferEvent(MediaTimerId id, std::uint32_t periods) override;
  std::uint64_t periodsPassed(MediaTimerId id) override { return events_.periodsPassed(id); }

 private:
  void run();

  std::unique_ptr<MonotonicClock> ownClock_;
  MonotonicClock& clock_;
  MediaTimerEvents events_;
  std::atomic<bool> stop_{false};
  std::once_flag started_;
  std::unique_ptr<Thread> thread_;
};

// A source for tests of the timer's users: nothing ticks until tick() is called, on the caller's thread.
class ManualTickSource final : public MediaTickSource {
 public:
  MediaTimerId setEvent(std::uint32_t periodMs, MediaTimerCallback callback) override;
  MMResult killEvent(MediaTimerId id, MediaTimerKill kill = MediaTimerKill::WaitForRunningCall) override;
  void deferEvent(MediaTimerId id, std::uint32_t periods) override;
  std::uint64_t periodsPassed(MediaTimerId id) override { return events_.periodsPassed(id); }
  void tick(std::uint32_t milliseconds = 1);

 private:
  MediaTimerEvents events_;
};

// The process's timer, created on first use.
MediaTimer& processMediaTimer();
// The source timeSetEvent and timeKillEvent use.
MediaTickSource& currentMediaTickSource();

class ScopedMediaTickSource {
 public:
  explicit ScopedMediaTickSource(MediaTickSource& source);
  ~ScopedMediaTickSource();
  ScopedMediaTickSource(const ScopedMediaTickSource&) = delete;
  ScopedMediaTickSource& operator=(const ScopedMediaTickSource&) = delete;

 private:
  MediaTickSource* previous_;
};

// A periodic event every delayMs milliseconds on the current source; 0 on failure.
MediaTimerId timeSetEvent(std::uint32_t delayMs, MediaTimerCallback callback);
MMResult timeKillEvent(MediaTimerId id, MediaTimerKill kill = MediaTimerKill::WaitForRunningCall);

}  // namespace sib
