#include "signal/clock_gen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/components/component.h"
#include "platform/core/errors.h"

namespace sib {
namespace {

using namespace std::chrono_literals;

constexpr std::int64_t kMs = 10000;  // one millisecond in 100-nanosecond units

// A tick source that ticks only when the test says so and remembers which timers are set.
class RecordingTickSource final : public MediaTickSource {
 public:
  MediaTimerId setEvent(std::uint32_t periodMs, MediaTimerCallback callback) override {
    const MediaTimerId id = FTicks.setEvent(periodMs, std::move(callback));
    std::lock_guard guard(FMutex);
    FActive.push_back({id, periodMs});
    return id;
  }
  MMResult killEvent(MediaTimerId id, MediaTimerKill kill = MediaTimerKill::WaitForRunningCall) override {
    const MMResult result = FTicks.killEvent(id, kill);
    std::lock_guard guard(FMutex);
    std::erase_if(FActive, [id](const Timer& timer) { return timer.id == id; });
    return result;
  }
  void deferEvent(MediaTimerId id, std::uint32_t periods) override { FTicks.deferEvent(id, periods); }
  std::uint64_t periodsPassed(MediaTimerId id) override { return FTicks.periodsPassed(id); }
  void tick(std::uint32_t milliseconds = 1) { FTicks.tick(milliseconds); }

  struct Timer {
    MediaTimerId id;
    std::uint32_t periodMs;
  };
  std::vector<Timer> Active() {
    std::lock_guard guard(FMutex);
    return FActive;
  }

 private:
  ManualTickSource FTicks;
  std::mutex FMutex;
  std::vector<Timer> FActive;
};

// Counts callbacks; the test waits for a number of them (a generous limit keeps a fault from hanging).
class CallbackCounter {
 public:
  TSLClockGenEvent Callback() {
    return [this] { Add(); };
  }
  void Add() {
    {
      std::lock_guard guard(FMutex);
      ++FCount;
    }
    FChanged.notify_all();
  }
  bool WaitFor(int count) {
    std::unique_lock guard(FMutex);
    return FChanged.wait_for(guard, 10s, [&] { return FCount >= count; });
  }
  int Count() {
    std::lock_guard guard(FMutex);
    return FCount;
  }

 private:
  std::mutex FMutex;
  std::condition_variable FChanged;
  int FCount = 0;
};

class ClockGenTest : public ::testing::Test {
 protected:
  void TickSingly(int count) {
    for (int i = 0; i < count; ++i) source.tick();
  }

  RecordingTickSource source;
  ScopedMediaTickSource scoped{source};
};

TEST_F(ClockGenTest, A23MsIntervalCallsBackAfter24TicksThenEvery23) {
  CallbackCounter counter;
  TSLClockGenPtr clock = TSLClockGen::Create(nullptr, 23 * kMs, counter.Callback());
  for (int tick = 1; tick <= 24 + 3 * 23; ++tick) {
    source.tick();
    const std::uint64_t expected = tick < 24 ? 0 : 1 + (tick - 24) / 23;
    ASSERT_EQ(clock->TicksReleased(), expected) << "after tick " << tick;
  }
  EXPECT_TRUE(counter.WaitFor(4));
  clock.reset();
  EXPECT_EQ(counter.Count(), 4);
}

struct CadenceRow {
  const char* name;
  std::int64_t interval;
  std::vector<std::uint32_t> ticks;  // milliseconds delivered by each tick, in order
  std::uint64_t released;
};

std::vector<std::uint32_t> singles(std::size_t count, std::vector<std::uint32_t> before = {}) {
  before.insert(before.end(), count, 1);
  return before;
}

TEST_F(ClockGenTest, ReleasesOneCallbackPerIntervalExceeded) {
  const CadenceRow rows[] = {
      {"23 ms: 23 ticks are not enough", 23 * kMs, singles(23), 0},
      {"23 ms: a late wake-up delivering 47 ms at once", 23 * kMs, {47}, 2},
      {"23 ms: 24 ms at once, then 23 single ticks", 23 * kMs, singles(23, {24}), 2},
      {"1 ms: first after 2 ticks, then every tick", kMs, singles(5), 4},
      {"1 ms: 5 ms at once", kMs, {5}, 4},
      {"half a millisecond: the first tick releases one, later ones two", kMs / 2, singles(3), 5},
      {"100 ms: 101 ms at once", 100 * kMs, {101}, 1},
  };
  for (const CadenceRow& row : rows) {
    SCOPED_TRACE(row.name);
    CallbackCounter counter;
    TSLClockGenPtr clock = TSLClockGen::Create(nullptr, row.interval, counter.Callback());
    for (std::uint32_t milliseconds : row.ticks) source.tick(milliseconds);
    EXPECT_EQ(clock->TicksReleased(), row.released);
    EXPECT_TRUE(counter.WaitFor(static_cast<int>(row.released)));
  }
}

TEST_F(ClockGenTest, TwoGeneratorsTickIndependentlyOffOneTimer) {
  CallbackCounter every2, every5;
  TSLClockGenPtr two = TSLClockGen::Create(nullptr, 2 * kMs, every2.Callback());
  TSLClockGenPtr five = TSLClockGen::Create(nullptr, 5 * kMs, every5.Callback());
  ASSERT_EQ(source.Active().size(), 1u);
  EXPECT_EQ(source.Active()[0].periodMs, 1u);

  TickSingly(30);
  EXPECT_EQ(two->TicksReleased(), 14u);  // after 3, 5, ..., 29 ticks
  EXPECT_EQ(five->TicksReleased(), 5u);  // after 6, 11, 16, 21, 26 ticks
  EXPECT_TRUE(every2.WaitFor(14));
  EXPECT_TRUE(every5.WaitFor(5));

  two.reset();
  TickSingly(5);
  EXPECT_EQ(five->TicksReleased(), 6u);
  EXPECT_TRUE(every5.WaitFor(6));
}

TEST_F(ClockGenTest, AGeneratorJoiningWhileTheTimerSleepsTowardsAnotherCountsFromItsOwnStart) {
  CallbackCounter slow, fast;
  TSLClockGenPtr hundred = TSLClockGen::Create(nullptr, 100 * kMs, slow.Callback());
  TickSingly(50);  // withheld: nothing is due before the 101st
  TSLClockGenPtr five = TSLClockGen::Create(nullptr, 5 * kMs, fast.Callback());
  TickSingly(5);
  EXPECT_EQ(five->TicksReleased(), 0u) << "the 50 ms before it joined are not its own";
  TickSingly(1);
  EXPECT_EQ(five->TicksReleased(), 1u);
  TickSingly(45);
  EXPECT_EQ(hundred->TicksReleased(), 1u) << "the first one keeps its own count";
  EXPECT_TRUE(fast.WaitFor(9));
  EXPECT_TRUE(slow.WaitFor(1));
}

TEST_F(ClockGenTest, FreeingTheLastGeneratorStopsTheTimer) {
  TSLClockGenPtr first = TSLClockGen::Create(nullptr, kMs, nullptr);
  TSLClockGenPtr second = TSLClockGen::Create(nullptr, kMs, nullptr);
  EXPECT_TRUE(TSMediaMasterClock::Running());

  first.reset();
  EXPECT_TRUE(TSMediaMasterClock::Running());
  EXPECT_EQ(source.Active().size(), 1u);

  second.reset();
  EXPECT_FALSE(TSMediaMasterClock::Running());
  EXPECT_TRUE(source.Active().empty());

  TSLClockGenPtr again = TSLClockGen::Create(nullptr, kMs, nullptr);
  EXPECT_TRUE(TSMediaMasterClock::Running());
  EXPECT_EQ(source.Active().size(), 1u);
}

TEST_F(ClockGenTest, CallbacksPiledUpBehindASlowOneFollowAtOnce) {
  CallbackCounter counter;
  TOWEvent entered(true, false), release(true, false);
  bool first = true;  // the generator's thread only
  TSLClockGenPtr clock = TSLClockGen::Create(nullptr, kMs, [&] {
    if (first) {
      first = false;
      entered.Signal();
      release.WaitFor(kInfinite);
    }
    counter.Add();
  });
  source.tick(2);
  ASSERT_TRUE(entered.WaitFor(10000));
  TickSingly(3);
  EXPECT_EQ(clock->TicksReleased(), 4u);

  release.Signal();
  EXPECT_TRUE(counter.WaitFor(4));
}

TEST_F(ClockGenTest, AGeneratorFreedFromItsOwnCallbackFreesItselfWithoutDeadlock) {
  const std::int32_t before = TSLClockGen::LiveCount();
  TOWEvent freed(true, false);
  TSLClockGenPtr clock;
  clock = TSLClockGen::Create(nullptr, kMs, [&] {
    clock.reset();
    freed.Signal();
  });
  source.tick(2);
  ASSERT_TRUE(freed.WaitFor(10000));
  EXPECT_FALSE(TSMediaMasterClock::Running());
  EXPECT_TRUE(source.Active().empty());

  TSLClockGen::WaitForEnded();
  EXPECT_EQ(TSLClockGen::LiveCount(), before);
}

TEST_F(ClockGenTest, TerminateFromItsOwnCallbackEndsTheCallbacks) {
  std::atomic<int> calls{0};
  TOWEvent called(true, false);
  TSLClockGenPtr clock;
  clock = TSLClockGen::Create(nullptr, kMs, [&] {
    ++calls;
    clock->Terminate();
    called.Signal();
  });
  source.tick(2);
  ASSERT_TRUE(called.WaitFor(10000));
  TickSingly(5);
  clock.reset();
  EXPECT_EQ(calls, 1);
}

TEST_F(ClockGenTest, ANonPositiveIntervalIsRefused) {
  EXPECT_THROW(TSLClockGen::Create(nullptr, 0, nullptr), ERangeError);
  EXPECT_THROW(TSLClockGen::Create(nullptr, -23 * kMs, nullptr), ERangeError);
  EXPECT_FALSE(TSMediaMasterClock::Running());
}

TEST_F(ClockGenTest, TheThreadIsNamedAfterItsOwner) {
  TComponent owner(nullptr);
  owner.SetName("wp1");
  TSLClockGenPtr clock = TSLClockGen::Create(&owner, 23 * kMs, nullptr);
  EXPECT_EQ(clock->ThreadName(), "wp1.TSLClockGen");
}

// On the process's real 1 ms timer: 10 000 ticks take 10 s, give or take 20 ms.
TEST(MasterClockRealTimeTest, TenSecondsOfTicksCountTenThousand) {
  using Clock = std::chrono::steady_clock;
  constexpr int kTicks = 10000;
  Clock::time_point first, last;  // written on the generator's thread before `done`
  int calls = 0;
  TOWEvent done(true, false);
  // With a 1 ms interval every tick after the first releases one callback.
  TSLClockGenPtr clock = TSLClockGen::Create(nullptr, kMs, [&] {
    ++calls;
    if (calls == 1) first = Clock::now();
    if (calls == 1 + kTicks) {
      last = Clock::now();
      done.Signal();
    }
  });
  ASSERT_TRUE(done.WaitFor(30000));
  clock.reset();
  const double elapsedMs = std::chrono::duration<double, std::milli>(last - first).count();
  RecordProperty("ElapsedMs", std::to_string(elapsedMs));
  EXPECT_NEAR(elapsedMs, 10000.0, 20.0);
}

}  // namespace
}  // namespace sib
