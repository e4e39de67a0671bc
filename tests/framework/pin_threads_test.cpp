// Pins used from several threads: upstream notifications during a stop, and components destroyed while
// another thread delivers through their pins.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "framework/sync.h"
#include "pin_test_components.h"

namespace sib::test {
namespace {

constexpr std::uint32_t kGenerousMs = 10'000;

using PinThreadsTest = PinFixture;

// Runs `call` on a helper thread, which the caller joins after letting the other threads go. A call
// that waits on the stopping thread would not return within the limit.
class TimedCall {
 public:
  template <class F>
  explicit TimedCall(F call)
      : thread_([this, call] {
          call();
          returned_.Signal();
        }) {}
  ~TimedCall() { thread_.join(); }
  bool ReturnedInTime() { return returned_.WaitFor(kGenerousMs); }

 private:
  TOWEvent returned_{true, false};
  std::thread thread_;
};

TEST_F(PinThreadsTest, ASinkWhoseOwnerIsStoppedByAnotherThreadAnswersAtOnce) {
  auto* player = Make<TTestPlayer>("wp1");
  auto* out = Make<TTestOutput>("out1");
  ASSERT_TRUE(out->InputPin()->Connect(player->OutputPin()));
  player->OutputPin()->Upstream.OnReceive([](IOWNotifyOperation*, TOWNotifyState) { return TOWNotifyResult{nrDataChanged}; });

  TOWEvent stopping(true, false);
  TOWEvent release(true, false);
  std::thread stopper([&] {
    LockSection stop = out->Lock()->StopLock();
    stopping.Signal();
    release.WaitFor(kInfinite);
  });
  ASSERT_TRUE(stopping.WaitFor(kGenerousMs));
  TOWNotifyResult answer{nrDataChanged};
  bool inTime;
  {
    TimedCall call([&] { answer = out->InputPin()->Notify(newOperation<TOWPumpRequestOperation>()); });
    inTime = call.ReturnedInTime();
    release.Signal();
  }
  stopper.join();
  ASSERT_TRUE(inTime) << "Notify waited for the stopping thread";
  EXPECT_TRUE(answer.Empty());
  EXPECT_EQ(player->OutputPin()->Upstream.Count(), 0u);
  EXPECT_EQ(out->InputPin()->Notify(newOperation<TOWPumpRequestOperation>()), TOWNotifyResult{nrDataChanged})
      << "after the stop the sink talks to its source again";
}

TEST_F(PinThreadsTest, ASinkAnswersAtOnceWhileAStopWaitsForTheLock) {
  auto* player = Make<TTestPlayer>("wp1");
  auto* out = Make<TTestOutput>("out1");
  ASSERT_TRUE(out->InputPin()->Connect(player->OutputPin()));

  TOWEvent holding(true, false);
  TOWEvent release(true, false);
  std::thread holder([&] {
    LockSection held = out->Lock()->WriteLock();
    holding.Signal();
    release.WaitFor(kInfinite);
  });
  ASSERT_TRUE(holding.WaitFor(kGenerousMs));
  std::thread stopper([&] { LockSection stop = out->Lock()->StopLock(); });
  while (!out->Lock()->Instance()->StopPending()) std::this_thread::yield();

  TOWNotifyResult answer{nrDataChanged};
  bool inTime;
  {
    TimedCall call([&] { answer = out->InputPin()->Notify(newOperation<TOWStopOperation>()); });
    inTime = call.ReturnedInTime();
    release.Signal();
  }
  holder.join();
  stopper.join();
  ASSERT_TRUE(inTime) << "Notify waited while the stop was pending";
  EXPECT_TRUE(answer.Empty());
  EXPECT_EQ(player->OutputPin()->Upstream.Count(), 0u);
}

// The player and the output stay; an amplifier between them is created, linked and destroyed again
// and again while another thread sends down from the player and up from the output.
TEST_F(PinThreadsTest, DestroyingAComponentWhileAnotherThreadDeliversThroughItsPinsIsSafe) {
  constexpr int kRounds = 3000;
  auto* player = Make<TTestPlayer>("wp1");
  auto* out = Make<TTestOutput>("out1");
  std::atomic<bool> stop{false};
  std::atomic<std::uint64_t> sends{0};
  std::thread deliverer([&] {
    while (!stop.load()) {
      player->OutputPin()->Notify(newOperation<TOWNotifyOperation>());
      out->InputPin()->Notify(newOperation<TOWPumpRequestOperation>());
      sends.fetch_add(1);
    }
  });

  for (int round = 0; round < kRounds; ++round) {
    auto* amp = Make<TTestAmplifier>("amp1");
    ASSERT_TRUE(amp->InputPin()->Connect(player->OutputPin())) << round;
    ASSERT_TRUE(out->InputPin()->Connect(amp->OutputPin())) << round;
    // Let at least one send pass through the new component now and then.
    if (round % 64 == 0) {
      const std::uint64_t seen = sends.load();
      while (sends.load() < seen + 2) std::this_thread::yield();
    }
    FreeComponent(amp);
    ASSERT_EQ(player->OutputPin()->SinkCount(), 0u) << round;
    ASSERT_EQ(out->InputPin()->SourcePin(), nullptr) << round;
  }
  stop = true;
  deliverer.join();
  EXPECT_GT(out->InputPin()->Received.Count(), 0u) << "deliveries reached the output through the amplifiers";
  EXPECT_TRUE(OWPlaceholders().empty());
}

// Two threads send through one source while the main thread connects and disconnects its sinks.
TEST_F(PinThreadsTest, SendsFromTwoThreadsWhileSinksComeAndGo) {
  constexpr int kRounds = 2000;
  auto* player = Make<TTestPlayer>("wp1");
  auto* steady = Make<TTestOutput>("steady");
  ASSERT_TRUE(steady->InputPin()->Connect(player->OutputPin()));
  std::atomic<bool> stop{false};
  auto send = [&] {
    while (!stop.load()) player->OutputPin()->Notify(newOperation<TOWNotifyOperation>());
  };
  std::thread first(send);
  std::thread second(send);
  for (int round = 0; round < kRounds; ++round) {
    auto* out = Make<TTestOutput>("out" + std::to_string(round % 2));
    ASSERT_TRUE(out->InputPin()->Connect(player->OutputPin()));
    if (round % 2 == 0) out->InputPin()->Disconnect();
    FreeComponent(out);
  }
  stop = true;
  first.join();
  second.join();
  EXPECT_EQ(player->OutputPin()->SinkCount(), 1u);
  EXPECT_EQ(player->OutputPin()->InSending(), 0);
}

}  // namespace
}  // namespace sib::test
