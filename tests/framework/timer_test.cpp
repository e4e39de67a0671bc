// TLPTimer on a message loop that runs on simulated time: every tick comes at its exact time and
// the tests never sleep.
#include "framework/timer.h"

#include <gtest/gtest.h>

#include <vector>

namespace sib {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

class LPTimerTest : public ::testing::Test {
 protected:
  milliseconds elapsed() { return std::chrono::duration_cast<milliseconds>(time->Elapsed()); }
  TNotifyEvent recorder() {
    return TNotifyEvent([this](TObject* sender) {
      ticks.push_back(elapsed());
      senders.push_back(sender);
    });
  }
  bool runUntilTicks(std::size_t count) {
    return app.RunUntil([&] { return ticks.size() >= count; }, 1h);
  }

  std::shared_ptr<SimulatedTime> time = std::make_shared<SimulatedTime>();
  Application app{Application::Options{.wait = time, .timerLimit = kDefaultTimerLimit}};
  TComponentPtr<TLPTimer> timer = MakeComponent<TLPTimer>();
  std::vector<milliseconds> ticks;
  std::vector<TObject*> senders;
};

TEST_F(LPTimerTest, StartsEnabledWithASecondButStoppedUntilOnTimerIsAssigned) {
  EXPECT_TRUE(timer->Enabled());
  EXPECT_EQ(timer->Interval(), 1000u);
  EXPECT_EQ(app.TimerCount(), 0u);
  timer->SetOnTimer(recorder());
  EXPECT_EQ(app.TimerCount(), 1u);
  ASSERT_TRUE(runUntilTicks(1));
  EXPECT_EQ(ticks[0], 1000ms);
}

TEST_F(LPTimerTest, IntervalZeroNeverTicks) {
  timer->SetInterval(0);
  timer->SetOnTimer(recorder());
  EXPECT_EQ(app.TimerCount(), 0u);
  EXPECT_FALSE(app.RunUntil([&] { return !ticks.empty(); }, 10s));
}

TEST_F(LPTimerTest, TwoHundredMillisecondsWithOnTimerAndEnabledTicksEveryTwoHundredMilliseconds) {
  timer->SetInterval(0);
  timer->SetOnTimer(recorder());
  timer->SetInterval(200);
  ASSERT_TRUE(runUntilTicks(4));
  EXPECT_EQ(ticks, (std::vector<milliseconds>{200ms, 400ms, 600ms, 800ms}));
  EXPECT_EQ(senders[0], timer.get());
}

TEST_F(LPTimerTest, DisablingStopsTheTicksAndEnablingStartsThemAgainFromNow) {
  timer->SetInterval(200);
  timer->SetOnTimer(TNotifyEvent([&](TObject*) {
    ticks.push_back(elapsed());
    if (ticks.size() == 2) timer->SetEnabled(false);
  }));
  EXPECT_FALSE(app.RunUntil([] { return false; }, 2s));
  EXPECT_EQ(ticks, (std::vector<milliseconds>{200ms, 400ms}));
  EXPECT_EQ(app.TimerCount(), 0u);
  const milliseconds enabledAt = elapsed();
  timer->SetEnabled(true);
  ASSERT_TRUE(runUntilTicks(3));
  EXPECT_EQ(ticks[2] - enabledAt, 200ms) << "first tick one interval after re-enabling";
}

TEST_F(LPTimerTest, SameIntervalLeavesTheTimerButAssigningOnTimerReArmsIt) {
  timer->SetInterval(200);
  timer->SetOnTimer(recorder());
  time->Advance(150ms);
  timer->SetInterval(200);
  ASSERT_TRUE(runUntilTicks(1));
  EXPECT_EQ(ticks[0], 200ms) << "an unchanged interval does not re-arm";
  time->Advance(150ms);
  timer->SetOnTimer(recorder());
  ASSERT_TRUE(runUntilTicks(2));
  EXPECT_EQ(ticks[1], 550ms) << "assigning OnTimer re-arms from now";
}

TEST_F(LPTimerTest, RefusedTimerRaisesNotEnoughTimersAvailable) {
  app.SetTimerLimit(0);
  try {
    timer->SetOnTimer(recorder());
    FAIL() << "no exception";
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), "Not enough timers available");
  }
}

TEST_F(LPTimerTest, ExceptionFromOnTimerGoesToTheApplicationAndTicksGoOn) {
  std::vector<std::string> reported;
  app.SetExceptionHandler([&](const std::exception& e) { reported.push_back(e.what()); });
  timer->SetInterval(100);
  timer->SetOnTimer(TNotifyEvent([&](TObject*) {
    ticks.push_back(elapsed());
    throw ESLException("device lost");
  }));
  ASSERT_TRUE(runUntilTicks(2));
  EXPECT_EQ(reported, (std::vector<std::string>{"device lost", "device lost"}));
}

TEST_F(LPTimerTest, DestroyingTheTimerStopsIt) {
  timer->SetInterval(100);
  timer->SetOnTimer(recorder());
  timer.reset();
  EXPECT_EQ(app.TimerCount(), 0u);
  EXPECT_FALSE(app.RunUntil([&] { return !ticks.empty(); }, 1s));
}

TEST_F(LPTimerTest, OnTimerMayFreeItsOwnTimer) {
  timer->SetInterval(100);
  timer->SetOnTimer(TNotifyEvent([&](TObject*) {
    ticks.push_back(elapsed());
    timer.reset();
  }));
  EXPECT_FALSE(app.RunUntil([] { return false; }, 1s));
  EXPECT_EQ(ticks.size(), 1u);
}

TEST_F(LPTimerTest, OwnerDestroysItsTimer) {
  auto owner = MakeComponent<TComponent>();
  auto* owned = NewComponent<TLPTimer>(*owner);
  owned->SetOnTimer(recorder());
  EXPECT_EQ(app.TimerCount(), 1u);
  owner.reset();
  EXPECT_EQ(app.TimerCount(), 0u);
}

}  // namespace
}  // namespace sib
