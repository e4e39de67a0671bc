// The block pool: exact-size lists, alignment, trimming driven by a hand-cranked tick source, the
// memory-limit hook, and the pool under concurrent use.
#include "signal/buffer_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "signal/real_buffer.h"

namespace sib {
namespace {

// A tick source the test cranks by hand.
class ManualTicks : public ISLTickSource {
 public:
  void Start(std::uint32_t AIntervalMs, std::function<void()> AOnTick) override {
    interval = AIntervalMs;
    onTick = std::move(AOnTick);
  }
  void Stop() override { onTick = nullptr; }
  void Tick() {
    if (onTick) onTick();
  }

  std::uint32_t interval = 0;
  std::function<void()> onTick;
};

class BufferPoolTest : public ::testing::Test {
 protected:
  ManualTicks& InstallTicks() {
    auto source = std::make_unique<ManualTicks>();
    ManualTicks& ticks = *source;
    pool.SetTickSource(std::move(source));
    return ticks;
  }

  TSLSmartBufferManager pool;
};

TEST_F(BufferPoolTest, BlocksAreAlignedTo32BytesAndZeroGivesNothing) {
  EXPECT_EQ(pool.Allocate(0), nullptr);
  for (std::uint32_t size : {1u, 24u, 100u, 4096u}) {
    void* block = pool.Allocate(size);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 32, 0u) << size;
    pool.Deallocate(block, size);
  }
}

TEST_F(BufferPoolTest, ReturnedBlocksComeBackMostRecentFirstFromOneListPerSize) {
  void* first = pool.Allocate(512);
  void* second = pool.Allocate(512);
  pool.Deallocate(first, 512);
  pool.Deallocate(second, 512);
  EXPECT_EQ(pool.Allocate(512), second);
  EXPECT_EQ(pool.Allocate(512), first);
  void* other = pool.Allocate(256);
  ASSERT_EQ(pool.ListStates().size(), 2u) << "sizes are kept apart, each in one list";
  EXPECT_EQ(pool.ListState(512)->FreeBlocks, 0u);
  pool.Deallocate(first, 512);
  pool.Deallocate(second, 512);
  pool.Deallocate(other, 256);
  EXPECT_EQ(pool.BytesHeld(), 2 * 512u + 256u) << "free blocks stay in the pool";
}

TEST_F(BufferPoolTest, TrimmingKeepsEightIdleTicksThenReleasesOneBlockPerTickThenForgetsTheSize) {
  ManualTicks& ticks = InstallTicks();
  EXPECT_EQ(ticks.interval, 200u);
  std::vector<void*> blocks;
  for (int i = 0; i < 3; ++i) blocks.push_back(pool.Allocate(512));
  for (void* block : blocks) pool.Deallocate(block, 512);

  for (int tick = 1; tick <= 8; ++tick) {
    ticks.Tick();
    ASSERT_TRUE(pool.ListState(512)) << "tick " << tick;
    EXPECT_EQ(pool.ListState(512)->FreeBlocks, 3u) << "tick " << tick;
  }
  for (std::size_t left : {2u, 1u}) {
    ticks.Tick();
    ASSERT_TRUE(pool.ListState(512));
    EXPECT_EQ(pool.ListState(512)->FreeBlocks, left);
    EXPECT_EQ(pool.BytesHeld(), left * 512);
  }
  ticks.Tick();
  EXPECT_FALSE(pool.ListState(512)) << "the last block goes with its list";
  EXPECT_EQ(pool.BytesHeld(), 0u);
}

TEST_F(BufferPoolTest, ASizeInSteadyUseKeepsItsFreeBlocks) {
  ManualTicks& ticks = InstallTicks();
  void* spare = pool.Allocate(512);
  pool.Deallocate(spare, 512);
  for (int tick = 0; tick < 50; ++tick) {
    pool.Deallocate(pool.Allocate(512), 512);
    ticks.Tick();
  }
  ASSERT_TRUE(pool.ListState(512));
  EXPECT_EQ(pool.ListState(512)->FreeBlocks, 1u);
}

TEST_F(BufferPoolTest, ReplacingTheTickSourceStopsTheOldOne) {
  struct StopRecorder : ISLTickSource {
    explicit StopRecorder(bool& stopped) : stopped(stopped) {}
    void Start(std::uint32_t, std::function<void()>) override {}
    void Stop() override { stopped = true; }
    bool& stopped;
  };
  bool stopped = false;
  pool.SetTickSource(std::make_unique<StopRecorder>(stopped));
  EXPECT_FALSE(stopped);
  EXPECT_TRUE(InstallTicks().onTick);
  EXPECT_TRUE(stopped);
}

TEST_F(BufferPoolTest, MemoryLimitRefusesFreshMemoryButStillServesFreeBlocks) {
  void* block = pool.Allocate(1024);
  pool.Deallocate(block, 1024);
  pool.SetMemoryLimit(1024);
  try {
    pool.Allocate(2048);
    FAIL() << "expected EOutOfMemory";
  } catch (const EOutOfMemory& e) {
    EXPECT_EQ(e.Message(), "Out of memory");
  }
  EXPECT_EQ(pool.BytesHeld(), 1024u) << "a refused request takes nothing";
  EXPECT_EQ(pool.Allocate(1024), block) << "a free block needs no fresh memory";
  pool.SetMemoryLimit(std::nullopt);
  void* fresh = pool.Allocate(2048);
  EXPECT_NE(fresh, nullptr);
  pool.Deallocate(fresh, 2048);
  pool.Deallocate(block, 1024);
}

TEST(BufferPoolProcessTest, OutOfMemoryLeavesNoBlockOrBufferBehindAndTheNextAllocationWorks) {
  TSLSmartBufferManager& pool = TSLSmartBufferManager::Instance();
  pool.ReleaseMemory();
  const std::int64_t blocks = TSLSmartBuffer::LiveBlocks();
  const std::int64_t buffers = TSLGenericBuffer::LiveBuffers();
  const std::size_t held = pool.BytesHeld();
  pool.SetMemoryLimit(held + 4096);
  EXPECT_THROW(TSLRealBuffer::CreateSize(100000), EOutOfMemory);
  EXPECT_EQ(TSLSmartBuffer::LiveBlocks(), blocks);
  EXPECT_EQ(TSLGenericBuffer::LiveBuffers(), buffers);
  {
    RefPtr<TSLRealBuffer> small = TSLRealBuffer::CreateValue(2.5, 10);
    EXPECT_EQ(small->GetItem(9), 2.5) << "a request within the limit is served";
  }
  pool.SetMemoryLimit(std::nullopt);
  RefPtr<TSLRealBuffer> large = TSLRealBuffer::CreateSize(100000);
  EXPECT_EQ(large->GetSize(), 100000u);
  large.reset();
  pool.ReleaseMemory();
  EXPECT_EQ(pool.BytesHeld(), held) << "every block came back to the pool";
}

TEST(BufferPoolProcessTest, RequestsBeyondTheLargestBlockAreRefused) {
  EXPECT_EQ(TSLPooledMemory::RoundedSize(std::uint64_t{1} << 31), 1u << 30);
  EXPECT_THROW(TSLSmartMemoryBuffer::Create((1u << 30) + 1), EOutOfMemory)
      << "a block smaller than asked for would be written past its end";
  EXPECT_THROW(TSLRealBuffer::CreateSize((1u << 27) + 1), EOutOfMemory);
}

TEST(BufferPoolProcessTest, BlockObjectsThemselvesComeFromThePool) {
  TSLSmartBufferManager& pool = TSLSmartBufferManager::Instance();
  pool.ReleaseMemory();
  TSLRealBuffer::CreateSize(4).reset();
  const auto objects = pool.ListState(sizeof(TSLSmartMemoryBuffer));
  ASSERT_TRUE(objects);
  EXPECT_EQ(objects->FreeBlocks, 1u);
}

TEST(BufferPoolConcurrencyTest, ThreadsSharingThePoolGetDistinctBlocksWhileItTrims) {
  TSLSmartBufferManager pool;
  constexpr int kRounds = 2000;
  auto worker = [&pool](std::uint32_t size) {
    std::vector<void*> mine;
    for (int round = 0; round < kRounds; ++round) {
      void* block = pool.Allocate(size);
      static_cast<std::uint8_t*>(block)[0] = static_cast<std::uint8_t>(round);
      mine.push_back(block);
      if (mine.size() > 4) {
        pool.Deallocate(mine.front(), size);
        mine.erase(mine.begin());
      }
    }
    for (void* block : mine) pool.Deallocate(block, size);
  };
  std::thread a(worker, 512), b(worker, 512), c(worker, 64);
  for (int tick = 0; tick < 200; ++tick) pool.TrimTick();
  a.join();
  b.join();
  c.join();
  for (int tick = 0; tick < 40; ++tick) pool.TrimTick();
  EXPECT_TRUE(pool.ListStates().empty());
  EXPECT_EQ(pool.BytesHeld(), 0u);
}

}  // namespace
}  // namespace sib
