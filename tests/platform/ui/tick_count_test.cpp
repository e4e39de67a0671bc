// The tick count follows the message loop's clock, so simulated time drives it exactly.
#include "platform/ui/tick_count.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "platform/ui/application.h"
#include "platform/ui/message_window.h"

namespace sib {
namespace {

using namespace std::chrono_literals;

TEST(TickCount, CountsTheMillisecondsOfTheLoopsClock) {
  auto time = std::make_shared<SimulatedTime>();
  Application app{Application::Options{.wait = time, .timerLimit = kDefaultTimerLimit}};
  const std::uint32_t start = TickCount(app);
  EXPECT_EQ(TickCount(), start);  // the newest application is the instance
  time->Advance(1500us);
  EXPECT_EQ(TickCount(app) - start, 1u);  // whole milliseconds
  time->Advance(23ms);
  EXPECT_EQ(TickCount(app) - start, 24u);
}

TEST(TickCount, TimersSeeTheCountMoveByTheirInterval) {
  auto time = std::make_shared<SimulatedTime>();
  Application app{Application::Options{.wait = time, .timerLimit = kDefaultTimerLimit}};
  std::vector<std::uint32_t> seen;
  MessageWindow window{app, [&](Message& m) {
                         if (m.Msg == kTimerMessage) seen.push_back(TickCount());
                       }};
  const std::uint32_t start = TickCount();
  ASSERT_TRUE(window.SetTimer(1, 40));
  ASSERT_TRUE(app.RunUntil([&] { return seen.size() == 3; }, 1h));
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{start + 40, start + 80, start + 120}));
}

TEST(TickCount, DifferencesStayRightAcrossTheWrap) {
  auto time = std::make_shared<SimulatedTime>();
  Application app{Application::Options{.wait = time, .timerLimit = kDefaultTimerLimit}};
  const std::uint32_t start = TickCount(app);
  time->Advance(std::chrono::milliseconds(std::uint64_t{1} << 32) - std::chrono::milliseconds(start) - 5ms);
  const std::uint32_t beforeWrap = TickCount(app);
  EXPECT_EQ(beforeWrap, 0xFFFFFFFBu);
  time->Advance(10ms);
  EXPECT_LT(TickCount(app), beforeWrap);
  EXPECT_EQ(TickCount(app) - beforeWrap, 10u);
}

}  // namespace
}  // namespace sib
