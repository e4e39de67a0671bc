#include "platform/timer/media_timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace sib {
namespace {

using namespace std::chrono_literals;

// A clock whose time moves only when the test says so; it lets the test see when the timer thread
// has gone to sleep, and until when.
class SteppedClock final : public MonotonicClock {
 public:
  std::int64_t nowNs() override {
    std::lock_guard lock(mutex_);
    return now_;
  }
  void sleepUntil(std::int64_t deadlineNs) override {
    std::unique_lock lock(mutex_);
    ++sleeps_;
    deadline_ = deadlineNs;
    changed_.notify_all();
    changed_.wait(lock, [&] { return now_ >= deadlineNs || woken_; });
  }
  void wake() override {
    {
      std::lock_guard lock(mutex_);
      woken_ = true;
    }
    changed_.notify_all();
  }
  void setNow(std::int64_t ns) {
    {
      std::lock_guard lock(mutex_);
      now_ = ns;
    }
    changed_.notify_all();
  }
  // Waits until the timer thread has begun its n-th sleep; returns that sleep's deadline.
  std::int64_t waitForSleep(int n) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return sleeps_ >= n; });
    return deadline_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t now_ = 5'000'000'000;
  std::int64_t deadline_ = 0;
  int sleeps_ = 0;
  bool woken_ = false;
};

class CallRecorder {
 public:
  MediaTimerCallback callback() {
    return [this](MediaTimerId, std::uint32_t periods) {
      std::lock_guard lock(mutex_);
      calls_.push_back(periods);
    };
  }
  std::vector<std::uint32_t> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::uint32_t> calls_;
};

TEST(MediaTimer, LateWakeUpDeliversTheMissedTicksInOneCall) {
  SteppedClock clock;
  CallRecorder everyMs;
  CallRecorder every3Ms;
  {
    MediaTimer timer(clock);
    ASSERT_NE(timer.setEvent(1, everyMs.callback()), 0u);
    ASSERT_NE(timer.setEvent(3, every3Ms.callback()), 0u);

    const std::int64_t first = clock.waitForSleep(1);
    EXPECT_EQ(first, 5'001'000'000);  // one tick after the thread started
    clock.setNow(first);              // on time
    EXPECT_EQ(clock.waitForSleep(2), first + 1'000'000);
    clock.setNow(first + 5'500'000);  // woke 4.5 ms late
    EXPECT_EQ(clock.waitForSleep(3), first + 6'000'000);  // the deadlines keep their grid
    clock.setNow(first + 6'000'000);
    clock.waitForSleep(4);
  }
  EXPECT_EQ(everyMs.calls(), (std::vector<std::uint32_t>{1, 5, 1}));
  EXPECT_EQ(every3Ms.calls(), (std::vector<std::uint32_t>{2}));  // 6 of 7 ms, 1 ms carried
}

TEST(MediaTimer, ADeferredEventLetsTheThreadSleepThroughItsQuietTicksAndGetsThemSummed) {
  SteppedClock clock;
  std::mutex mutex;
  std::vector<std::uint32_t> calls;
  {
    MediaTimer timer(clock);
    ASSERT_NE(timer.setEvent(1,
                             [&](MediaTimerId self, std::uint32_t periods) {
                               {
                                 std::lock_guard lock(mutex);
                                 calls.push_back(periods);
                               }
                               timer.deferEvent(self, 5);
                             }),
              0u);
    const std::int64_t first = clock.waitForSleep(1);
    clock.setNow(first);
    EXPECT_EQ(clock.waitForSleep(2), first + 5'000'000) << "one sleep through the four quiet ticks";
    clock.setNow(first + 5'000'000);
    clock.waitForSleep(3);
  }
  EXPECT_EQ(calls, (std::vector<std::uint32_t>{1, 5}));
}

TEST(MediaTimer, KeepsTimeWithTheWallClockOverTenSeconds) {
  struct Tally {
    std::mutex mutex;
    std::condition_variable reached;
    std::uint64_t ticks = 0;
    std::chrono::steady_clock::time_point at;
  } tally;
  const auto start = std::chrono::steady_clock::now();
  const MediaTimerId id = timeSetEvent(1, [&](MediaTimerId, std::uint32_t periods) {
    std::lock_guard lock(tally.mutex);
    if (tally.ticks >= 10'000) return;
    tally.ticks += periods;
    if (tally.ticks >= 10'000) {
      tally.at = std::chrono::steady_clock::now();
      tally.reached.notify_all();
    }
  });
  ASSERT_NE(id, 0u);
  std::unique_lock lock(tally.mutex);
  const bool reached = tally.reached.wait_for(lock, 20s, [&] { return tally.ticks >= 10'000; });
  lock.unlock();
  ASSERT_EQ(timeKillEvent(id), kMMNoError);
  ASSERT_TRUE(reached);
  // Ticks counted against the wall-clock time at which they were counted.
  const double elapsedMs = std::chrono::duration<double, std::milli>(tally.at - start).count();
  EXPECT_NEAR(static_cast<double>(tally.ticks), elapsedMs, 20.0);
}

TEST(ManualTickSource, PeriodsAreCountedFromTheMillisecondsThatPassed) {
  ManualTickSource source;
  CallRecorder every23;
  ASSERT_NE(source.setEvent(23, every23.callback()), 0u);
  for (int i = 0; i < 22; ++i) source.tick();
  EXPECT_TRUE(every23.calls().empty());
  source.tick();
  source.tick(50);  // 50 ms: two periods, 4 ms carried
  source.tick(18);
  source.tick(1);
  EXPECT_EQ(every23.calls(), (std::vector<std::uint32_t>{1, 2, 1}));
  EXPECT_EQ(source.setEvent(0, every23.callback()), 0u);
}

TEST(ManualTickSource, TimeFunctionsUseTheInstalledSource) {
  ManualTickSource source;
  ScopedMediaTickSource use(source);
  CallRecorder recorder;
  const MediaTimerId id = timeSetEvent(1, recorder.callback());
  source.tick(3);
  ASSERT_EQ(timeKillEvent(id), kMMNoError);
  source.tick();
  EXPECT_EQ(recorder.calls(), (std::vector<std::uint32_t>{3}));
  EXPECT_EQ(timeKillEvent(id), kMMInvalidParam);
}

TEST(ManualTickSource, EventKilledFromItsOwnCallbackIsNotCalledAgain) {
  ManualTickSource source;
  int calls = 0;
  MediaTimerId id = 0;
  id = source.setEvent(1, [&](MediaTimerId self, std::uint32_t) {
    ++calls;
    EXPECT_EQ(source.killEvent(self), kMMNoError);
  });
  source.tick();
  source.tick();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(source.killEvent(id), kMMInvalidParam);
}

TEST(ManualTickSource, KillWaitsForTheCallbackRunningOnAnotherThread) {
  ManualTickSource source;
  std::mutex mutex;
  std::condition_variable changed;
  bool entered = false;
  bool release = false;
  bool killerStarted = false;
  std::atomic<int> sequence{0};
  int callbackFinished = -1;
  int killReturned = -1;

  const MediaTimerId id = source.setEvent(1, [&](MediaTimerId, std::uint32_t) {
    std::unique_lock lock(mutex);
    entered = true;
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
    callbackFinished = sequence++;
  });
  std::thread ticker([&] { source.tick(); });
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return entered; });
  }
  std::thread killer([&] {
    {
      std::lock_guard lock(mutex);
      killerStarted = true;
    }
    changed.notify_all();
    EXPECT_EQ(source.killEvent(id), kMMNoError);
    killReturned = sequence++;
  });
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return killerStarted; });
    release = true;
  }
  changed.notify_all();
  killer.join();
  ticker.join();
  EXPECT_LT(callbackFinished, killReturned);
  source.tick();
  EXPECT_EQ(sequence.load(), 2);  // not called again
}

// The shape a caller needs when it kills the event under a lock that the callback also takes.
TEST(ManualTickSource, KillWithoutWaitingReturnsWhileTheCallbackStillRuns) {
  ManualTickSource source;
  std::mutex mutex;
  std::condition_variable changed;
  bool entered = false;
  bool release = false;
  int calls = 0;
  const MediaTimerId id = source.setEvent(1, [&](MediaTimerId, std::uint32_t) {
    std::unique_lock lock(mutex);
    ++calls;
    entered = true;
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
  });
  std::thread ticker([&] { source.tick(); });
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return entered; });
  }
  EXPECT_EQ(source.killEvent(id, MediaTimerKill::DontWait), kMMNoError);  // the callback is still blocked
  {
    std::lock_guard lock(mutex);
    release = true;
  }
  changed.notify_all();
  ticker.join();
  source.tick();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(source.killEvent(id), kMMInvalidParam);
}

}  // namespace
}  // namespace sib
