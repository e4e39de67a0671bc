// The pool's trimming on the main loop: a TLPTimer every 200 ms, here on simulated time.
#include "signal/pool_timer.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/ui/application.h"

namespace sib {
namespace {

using namespace std::chrono_literals;

TEST(PoolTimerTest, TheMainLoopTrimsAnIdleSizeAfterEightTicksOneBlockEvery200Milliseconds) {
  auto time = std::make_shared<SimulatedTime>();
  Application app{Application::Options{.wait = time, .timerLimit = kDefaultTimerLimit}};
  TSLSmartBufferManager pool;
  TSLPoolTrimming trimming(pool);
  void* blocks[2] = {pool.Allocate(512), pool.Allocate(512)};
  for (void* block : blocks) pool.Deallocate(block, 512);
  const auto freeBlocks = [&] { return pool.ListState(512) ? pool.ListState(512)->FreeBlocks : 0; };

  EXPECT_FALSE(app.RunUntil([&] { return freeBlocks() < 2; }, 1799ms)) << "eight ticks of grace";
  EXPECT_TRUE(app.RunUntil([&] { return freeBlocks() == 1; }, 1ms)) << "the ninth tick at 1800 ms";
  EXPECT_TRUE(app.RunUntil([&] { return !pool.ListState(512); }, 200ms));
  EXPECT_EQ(app.TimerCount(), 1u);
}

TEST(PoolTimerTest, EndingTheTrimmingRemovesTheTimer) {
  auto time = std::make_shared<SimulatedTime>();
  Application app{Application::Options{.wait = time, .timerLimit = kDefaultTimerLimit}};
  TSLSmartBufferManager pool;
  { TSLPoolTrimming trimming(pool); }
  EXPECT_EQ(app.TimerCount(), 0u);
}

}  // namespace
}  // namespace sib
