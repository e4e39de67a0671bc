// The audio output's device thread: messages appended from several threads at once (the device's
// callback thread and a thread resetting the device) are all handled, each producer's in its order,
// one at a time on the thread; pending ones can be dropped; nothing is taken once it stops.
#include "audio/wave_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace sib {
namespace {

TEST(WaveThread, MessagesAppendedFromSeveralThreadsAtOnceAreAllHandledEachProducerInItsOrder) {
  constexpr std::uint32_t kProducers = 4;
  constexpr std::uint32_t kEach = 5000;  // more than the ring holds at once, so it wraps many times
  std::vector<std::vector<std::uint32_t>> seen(kProducers);
  std::atomic<int> inside{0};
  bool overlapped = false;
  TALWaveThread thread(nullptr, [&](std::uint32_t uMsg, WaveOutHandle hwo, WaveHeader*) {
    if (inside.fetch_add(1) != 0) overlapped = true;
    seen[hwo].push_back(uMsg);
    inside.fetch_sub(1);
  });
  thread.Start();
  std::vector<std::thread> producers;
  for (std::uint32_t p = 0; p < kProducers; ++p) {
    producers.emplace_back([&thread, p] {
      for (std::uint32_t i = 0; i < kEach; ++i) {
        thread.Append(i, p, nullptr);
        // The ring has room for what a device may hold, not for everything at once: a producer far
        // ahead waits for the thread, as a device that holds its buffers would.
        if (i % 1000 == 999) thread.WaitUntilIdle();
      }
    });
  }
  for (std::thread& producer : producers) producer.join();
  thread.WaitUntilIdle();
  thread.Stop();
  EXPECT_FALSE(overlapped) << "two messages handled at once";
  for (std::uint32_t p = 0; p < kProducers; ++p) {
    ASSERT_EQ(seen[p].size(), kEach) << "producer " << p;
    for (std::uint32_t i = 0; i < kEach; ++i) ASSERT_EQ(seen[p][i], i) << "producer " << p;
  }
}

TEST(WaveThread, NothingIsTakenOnceItStopsAndWaitingForIdleThenReturns) {
  std::atomic<int> handled{0};
  TALWaveThread thread(nullptr, [&](std::uint32_t, WaveOutHandle, WaveHeader*) { ++handled; });
  thread.Start();
  thread.Append(kWomDone, 1, nullptr);
  thread.WaitUntilIdle();
  EXPECT_EQ(handled.load(), 1);
  thread.Stop();
  thread.Append(kWomDone, 1, nullptr);
  thread.WaitUntilIdle();
  EXPECT_EQ(handled.load(), 1);
}

}  // namespace
}  // namespace sib
