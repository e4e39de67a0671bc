// The amplifier in a chain producer -> TALAmplifier -> consumer: the scaled samples for a table of
// coefficients, the time stamps it gives, the notifications it passes on in order, the disabled and
// unconnected cases, the threaded path with its bounded queue, and a stress of property writes
// against a producing thread.
#include "audio/amplifier.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <set>
#include <thread>

#include "tests/audio/audio_chain.h"

namespace sib {
namespace {

using test::Received;
using test::stereo16;
using test::stereo16Format;
using Consumer = test::TTestAudioConsumer<>;

struct Chain {
  TComponentPtr<test::TTestAudioProducer> producer = MakeComponent<test::TTestAudioProducer>();
  TComponentPtr<TALAmplifier> amp = MakeComponent<TALAmplifier>();
  TComponentPtr<Consumer> consumer = MakeComponent<Consumer>();

  explicit Chain(bool connectOutput = true) {
    EXPECT_TRUE(amp->InputPin()->Connect(producer->OutputPin()));
    if (connectOutput) {
      EXPECT_TRUE(consumer->InputPin()->Connect(amp->OutputPin()));
    }
  }
  TALOWAudioSourcePin* out() { return producer->OutputPin(); }
  void Start(std::uint32_t rate = 44100) {
    const TALWaveFormatExtensible format = stereo16Format(rate);
    out()->Notify(newOperation<TOWStartWaveOperation>(&format, false));
  }
  void Submit(const RefPtr<TALAudioBuffer>& buffer) { out()->SubmitBuffer(buffer->AsDataIntf()); }
  std::vector<Received> Buffers() {
    std::vector<Received> buffers;
    for (const Received& r : consumer->Log())
      if (r.Kind == "buffer") buffers.push_back(r);
    return buffers;
  }
};

struct CoefficientRow {
  double coefficient;
  std::vector<std::int16_t> in;
  std::vector<std::int16_t> expected;
};

std::ostream& operator<<(std::ostream& os, const CoefficientRow& row) { return os << "coefficient " << row.coefficient; }

class AmplifierCoefficient : public ::testing::TestWithParam<CoefficientRow> {};

TEST_P(AmplifierCoefficient, SinkReceivesRoundHalfEvenProductsWrappedTo16Bits) {
  const CoefficientRow& row = GetParam();
  Chain chain;
  chain.amp->SetCoefficient(row.coefficient);
  chain.Start();
  RefPtr<TALAudioBuffer> source = stereo16(row.in);
  chain.Submit(source);
  const std::vector<Received> buffers = chain.Buffers();
  ASSERT_EQ(buffers.size(), 1u);
  EXPECT_EQ(buffers[0].Samples, row.expected);
  // The producer's own samples are untouched.
  const auto* original = reinterpret_cast<const std::int16_t*>(source->Read());
  EXPECT_EQ(std::vector<std::int16_t>(original, original + row.in.size()), row.in);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AmplifierCoefficient,
    ::testing::Values(CoefficientRow{1.0, {10000, -3, 32767, -32768}, {10000, -3, 32767, -32768}},
                      CoefficientRow{0.2, {10000, 2, -10000, -2}, {2000, 0, -2000, 0}},
                      CoefficientRow{0.5, {3, 5, -3, -5, 7, 1}, {2, 2, -2, -2, 4, 0}},
                      CoefficientRow{-1.0, {1000, -1000, 32767, -32768}, {-1000, 1000, -32767, -32768}},
                      CoefficientRow{2.0, {20000, -20000, 100, -1}, {-25536, 25536, 200, -2}},
                      CoefficientRow{0.0, {32767, -32768, 5, -5}, {0, 0, 0, 0}},
                      CoefficientRow{0.1, {32767, -32768}, {3277, -3277}}));

TEST(Amplifier, StampsBuffersWithoutTimeFromARunningClockThatAStopResets) {
  Chain chain;
  chain.Start();
  const std::vector<std::int16_t> block(1024 * 2, 1);
  chain.Submit(stereo16(block));
  chain.Submit(stereo16(block));
  chain.out()->Stop();
  chain.Start();
  chain.Submit(stereo16(block));
  const std::vector<Received> buffers = chain.Buffers();
  ASSERT_EQ(buffers.size(), 3u);
  EXPECT_EQ(buffers[0].BeginTime, 0);
  EXPECT_EQ(buffers[0].EndTime, 232199);
  EXPECT_EQ(buffers[1].BeginTime, 232199);
  EXPECT_EQ(buffers[1].EndTime, 464398);
  EXPECT_EQ(buffers[2].BeginTime, 0);
}

TEST(Amplifier, KeepsTheTimeOfAStampedBufferAndContinuesFromItsEnd) {
  Chain chain;
  chain.Start();
  RefPtr<TALAudioBuffer> stamped = stereo16(std::vector<std::int16_t>(2048, 1));
  stamped->GetTimeStamp()->SetAvailable(true);
  stamped->GetTimeStamp()->SetBeginTime(5000);
  stamped->GetTimeStamp()->SetEndTime(7000);
  chain.Submit(stamped);
  chain.Submit(stereo16(std::vector<std::int16_t>(2048, 1)));
  const std::vector<Received> buffers = chain.Buffers();
  ASSERT_EQ(buffers.size(), 2u);
  EXPECT_EQ(buffers[0].BeginTime, 5000);
  EXPECT_EQ(buffers[1].BeginTime, 7000);
  EXPECT_EQ(buffers[1].EndTime, 7000 + 232199);
}

TEST(Amplifier, PassesStartPauseResumeAndStopOnInOrder) {
  Chain chain;
  chain.Start();
  chain.Submit(stereo16({1, 2}));
  chain.out()->Notify(newOperation<TOWSLPauseOperation>());
  chain.out()->Notify(newOperation<TOWSLResumeOperation>());
  chain.Submit(stereo16({3, 4}));
  chain.out()->Stop();
  EXPECT_EQ(chain.consumer->Kinds(),
            (std::vector<std::string>{"start-wave", "buffer", "pause", "resume", "buffer", "stop"}));
  EXPECT_EQ(chain.consumer->Log()[0].SampleRate, 44100);
  EXPECT_EQ(chain.amp->GetWaveFormat()->Format.nSamplesPerSec, 44100u);
}

TEST(Amplifier, DisabledPassesBuffersUnchanged) {
  Chain chain;
  chain.amp->SetCoefficient(0.5);
  chain.amp->SetEnabled(false);
  chain.Start();
  chain.Submit(stereo16({1001, -7}));
  ASSERT_EQ(chain.Buffers().size(), 1u);
  EXPECT_EQ(chain.Buffers()[0].Samples, (std::vector<std::int16_t>{1001, -7}));
}

TEST(Amplifier, EnablePinSwitchesProcessing) {
  Chain chain;
  chain.amp->EnablePin()->DispatchData(&IOWBoolStream::IID, newOperation<TOWSuppliedBoolOperation>(false).get(), {});
  EXPECT_FALSE(chain.amp->Enabled());
}

TEST(Amplifier, UnconnectedOutputProcessesNothingAndStillOffersTheCopy) {
  Chain chain(/*connectOutput=*/false);
  chain.amp->SetCoefficient(0.0);
  chain.Start();
  RefPtr<TALAudioBuffer> source = stereo16({100, 200});
  EXPECT_NO_THROW(chain.Submit(source));
  // Nothing was written: the source's block is still shared, not copied.
  EXPECT_EQ(source->GetSample(0, 0), 100);
}

TEST(Amplifier, RequestsFromDownstreamReachTheProducer) {
  Chain chain;
  std::vector<std::string> upstream;
  auto producerEvent = [&](TOWBasicPin*, const TGUID*, IOWNotifyOperation* op, TOWNotifyState) {
    upstream.push_back(operationIs<TOWMasterPumpOperation>(op) ? "master-pump" : "other");
    return TOWNotifyResult{};
  };
  // A second producer pin with an operation event stands in for the player.
  TOWPinRef<TALOWAudioSourcePin> player = makePin<TALOWAudioSourcePin>(nullptr, nullptr, producerEvent);
  ASSERT_TRUE(chain.amp->InputPin()->Connect(player.get()));
  chain.consumer->InputPin()->MasterPump(chain.consumer.get());
  chain.consumer->InputPin()->Notify(newOperation<TOWPumpRequestOperation>());
  EXPECT_EQ(upstream, (std::vector<std::string>{"master-pump", "other"}));
  chain.amp->InputPin()->Disconnect();
}

TEST(Amplifier, ThreadedKeepsBufferOrderAndPassesControlOnAfterTheQueueDrains) {
  Chain chain;
  chain.amp->Threading()->SetEnabled(true);
  chain.Start();
  std::shared_ptr<TSLFilterThread> worker = chain.amp->FilterThread();
  ASSERT_TRUE(worker);
  for (std::int16_t i = 0; i < 40; ++i) chain.Submit(stereo16({i, static_cast<std::int16_t>(-i)}));
  chain.consumer->WaitForBuffers(40);
  chain.out()->Notify(newOperation<TOWSLPauseOperation>());
  chain.out()->Notify(newOperation<TOWSLResumeOperation>());
  chain.out()->Stop();
  EXPECT_FALSE(chain.amp->FilterThread());
  const std::vector<std::string> kinds = chain.consumer->Kinds();
  ASSERT_EQ(kinds.size(), 44u);
  EXPECT_EQ(kinds.front(), "start-wave");
  EXPECT_EQ(std::vector<std::string>(kinds.end() - 3, kinds.end()), (std::vector<std::string>{"pause", "resume", "stop"}));
  const std::vector<Received> buffers = chain.Buffers();
  for (std::size_t i = 0; i < buffers.size(); ++i) EXPECT_EQ(buffers[i].Samples[0], static_cast<std::int16_t>(i));
}

TEST(Amplifier, ThreadedProducerWaitsOnceQueueSizeOperationsAreQueued) {
  constexpr int kQueueSize = 3;
  constexpr int kBlocks = 10;
  Chain chain;
  chain.amp->Threading()->SetEnabled(true);
  chain.amp->Threading()->SetQueueSize(kQueueSize);
  chain.Start();
  std::shared_ptr<TSLFilterThread> worker = chain.amp->FilterThread();
  ASSERT_TRUE(worker);

  std::atomic<int> returned{0};
  std::atomic<int> maxQueued{0};
  std::atomic<bool> first{true};
  TOWEvent release(true, false);
  TOWEvent queueFilled(true, false);
  chain.consumer->OnBuffer = [&](const Received&) {
    maxQueued = std::max(maxQueued.load(), static_cast<int>(worker->QueuedCount()));
    if (!first.exchange(false)) return;
    // The worker is held here with the first block: the producer fills the queue, then waits.
    EXPECT_TRUE(queueFilled.WaitFor(kInfinite));
    EXPECT_EQ(returned.load(), kQueueSize + 1);
    EXPECT_EQ(worker->QueuedCount(), kQueueSize);
    release.Signal();
  };
  std::thread producer([&] {
    for (int i = 0; i < kBlocks; ++i) {
      chain.Submit(stereo16({static_cast<std::int16_t>(i), 0}));
      // The block the worker holds and a full queue behind it: the next submission has to wait.
      if (++returned == kQueueSize + 1) queueFilled.Signal();
    }
  });
  producer.join();
  release.WaitFor(kInfinite);
  // The queue runs empty when the worker takes the last block, before the block reaches the consumer.
  chain.consumer->WaitForBuffers(kBlocks);
  EXPECT_LE(maxQueued.load(), kQueueSize);
  EXPECT_EQ(chain.Buffers().size(), static_cast<std::size_t>(kBlocks));
  chain.out()->Stop();
}

TEST(Amplifier, ThreadingSwitchedOnWhileRunningWaitsForTheNextStart) {
  Chain chain;
  chain.Start();
  chain.amp->Threading()->SetEnabled(true);
  EXPECT_FALSE(chain.amp->FilterThread());
  chain.out()->Stop();
  chain.Start();
  EXPECT_TRUE(chain.amp->FilterThread());
  chain.out()->Stop();
}

// A producer thread submits while the main thread writes Coefficient and toggles Enabled: every block
// arrives exactly once, in order (its begin time names it).
void StressPropertyWrites(bool threaded) {
  constexpr int kBlocks = 2000;
  constexpr int kWrites = 10000;
  constexpr std::uint32_t kRate = 10000;  // 100 frames = 100 000 time units exactly
  Chain chain;
  chain.amp->Threading()->SetEnabled(threaded);
  chain.Start(kRate);
  std::shared_ptr<TSLFilterThread> worker = chain.amp->FilterThread();
  std::thread producer([&] {
    const std::vector<std::int16_t> samples(200, 1000);
    for (int i = 0; i < kBlocks; ++i) chain.Submit(stereo16(samples, kRate));
  });
  for (int i = 0; i < kWrites; ++i) {
    chain.amp->SetCoefficient(0.001 * (i % 200));
    chain.amp->SetEnabled(i % 2 == 0);
  }
  producer.join();
  chain.consumer->WaitForBuffers(kBlocks);
  const std::vector<Received> buffers = chain.Buffers();
  ASSERT_EQ(buffers.size(), static_cast<std::size_t>(kBlocks));
  for (int i = 0; i < kBlocks; ++i) EXPECT_EQ(buffers[static_cast<std::size_t>(i)].BeginTime, 100000LL * i) << i;
  chain.out()->Stop();
}

TEST(AmplifierStress, PropertyWritesDuringDeliveryLoseNoBlock) { StressPropertyWrites(false); }
TEST(AmplifierStress, PropertyWritesDuringThreadedDeliveryLoseNoBlock) { StressPropertyWrites(true); }

}  // namespace
}  // namespace sib
