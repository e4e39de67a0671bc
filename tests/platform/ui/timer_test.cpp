// Timers of hidden windows, driven on simulated time so that every tick is exact.
#include <gtest/gtest.h>

#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/message_window.h"

namespace sib {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

// Records the deadlines the loop sleeps towards.
class RecordingWait : public SimulatedTime {
 public:
  void WaitUntil(std::optional<TimePoint> deadline) override {
    deadlines.push_back(deadline);
    SimulatedTime::WaitUntil(deadline);
  }
  std::vector<std::optional<TimePoint>> deadlines;
};

class TimerTest : public ::testing::Test {
 protected:
  milliseconds elapsed() { return std::chrono::duration_cast<milliseconds>(time->Elapsed()); }

  std::shared_ptr<RecordingWait> time = std::make_shared<RecordingWait>();
  Application app{Application::Options{.wait = time, .timerLimit = kDefaultTimerLimit}};
  std::vector<std::pair<std::uint32_t, milliseconds>> ticks;  // timer id, when
  MessageWindow window{app, [this](Message& m) {
                         if (m.Msg == kTimerMessage)
                           ticks.emplace_back(static_cast<std::uint32_t>(m.WParam), elapsed());
                       }};
};

TEST_F(TimerTest, TicksEveryIntervalAndTheLoopSleepsUntilEachDeadline) {
  ASSERT_TRUE(window.SetTimer(1, 200));
  ASSERT_TRUE(app.RunUntil([&] { return ticks.size() == 3; }, 1h));
  EXPECT_EQ(ticks, (decltype(ticks){{1, 200ms}, {1, 400ms}, {1, 600ms}}));
  // Every sleep aims at the next tick (the first may end early on the wake that SetTimer gives).
  const auto start = time->Now() - time->Elapsed();
  for (const auto& deadline : time->deadlines) {
    ASSERT_TRUE(deadline) << "a wait without deadline would never tick";
    const auto at = std::chrono::duration_cast<milliseconds>(*deadline - start);
    EXPECT_TRUE(at == 200ms || at == 400ms || at == 600ms) << at.count();
  }
  EXPECT_LE(time->deadlines.size(), 4u) << "no polling between ticks";
}

TEST_F(TimerTest, IntervalsBelowTheMinimumBecomeTenMilliseconds) {
  struct Row {
    std::uint32_t interval;
    milliseconds firstTick;
  };
  for (const Row& row : {Row{0, 10ms}, Row{1, 10ms}, Row{9, 10ms}, Row{10, 10ms}, Row{11, 11ms}}) {
    ticks.clear();
    const milliseconds start = elapsed();
    ASSERT_TRUE(window.SetTimer(1, row.interval));
    ASSERT_TRUE(app.RunUntil([&] { return !ticks.empty(); }, 1h));
    EXPECT_EQ(ticks[0].second - start, row.firstTick) << "interval " << row.interval;
    window.KillTimer(1);
  }
}

TEST_F(TimerTest, SettingAnExistingTimerReArmsItFromNow) {
  ASSERT_TRUE(window.SetTimer(1, 100));
  time->Advance(60ms);
  ASSERT_TRUE(window.SetTimer(1, 100));
  EXPECT_EQ(app.TimerCount(), 1u) << "one timer per window and id";
  ASSERT_TRUE(app.RunUntil([&] { return !ticks.empty(); }, 1h));
  EXPECT_EQ(ticks[0].second, 160ms);
}

TEST_F(TimerTest, KilledTimerNeverTicks) {
  ASSERT_TRUE(window.SetTimer(1, 50));
  ASSERT_TRUE(window.SetTimer(2, 70));
  EXPECT_TRUE(window.KillTimer(1));
  EXPECT_FALSE(window.KillTimer(1)) << "no such timer any more";
  EXPECT_FALSE(app.RunUntil([] { return false; }, 300ms));
  EXPECT_EQ(ticks, (decltype(ticks){{2, 70ms}, {2, 140ms}, {2, 210ms}, {2, 280ms}}));
}

TEST_F(TimerTest, MissedTicksComeAsOneMessage) {
  ASSERT_TRUE(window.SetTimer(1, 100));
  time->Advance(1000ms);
  app.ProcessMessages();
  app.ProcessMessages();
  EXPECT_EQ(ticks.size(), 1u);
  time->Advance(100ms);
  app.ProcessMessages();
  EXPECT_EQ(ticks.size(), 2u) << "the next tick is one interval after the late one";
}

TEST_F(TimerTest, TimerLimitRefusesNewTimersButNotReArming) {
  app.SetTimerLimit(1);
  EXPECT_TRUE(window.SetTimer(1, 100));
  EXPECT_FALSE(window.SetTimer(2, 100));
  EXPECT_TRUE(window.SetTimer(1, 200));
  window.KillTimer(1);
  EXPECT_TRUE(window.SetTimer(2, 100));
}

TEST_F(TimerTest, DestroyingAWindowKillsItsTimers) {
  {
    MessageWindow other(app, [](Message&) {});
    ASSERT_TRUE(other.SetTimer(1, 100));
    EXPECT_EQ(app.TimerCount(), 1u);
  }
  EXPECT_EQ(app.TimerCount(), 0u);
  EXPECT_FALSE(app.SetTimer(12345, 1, 100)) << "no such window";
}

TEST_F(TimerTest, TimersComeAfterPostedMessages) {
  std::vector<std::string> order;
  MessageWindow recorder(app, [&](Message& m) { order.push_back(m.Msg == kTimerMessage ? "timer" : "posted"); });
  ASSERT_TRUE(recorder.SetTimer(1, 10));
  time->Advance(10ms);
  recorder.PostMessage(kUserMessage);
  app.ProcessMessages();
  EXPECT_EQ(order, (std::vector<std::string>{"posted", "timer"}));
}

TEST(RealTimeTimerTest, LoopSleepsUntilTheTimerIsDue) {
  Application app;
  std::vector<MessageWait::TimePoint> ticks;
  MessageWindow window(app, [&](Message&) { ticks.push_back(app.Now()); });
  const auto start = app.Now();
  ASSERT_TRUE(window.SetTimer(1, 20));
  ASSERT_TRUE(app.RunUntil([&] { return ticks.size() == 3; }, 10s));
  EXPECT_GE(ticks[0] - start, 20ms);
  EXPECT_GE(ticks[2] - start, 60ms);
}

}  // namespace
}  // namespace sib
