// The audio output on the simulated device: when prefill lets the device run, device choice by name
// with alternatives, pump requests, errors as "%s - %u - %x", a lost device, and the latency bound
// that rate steering keeps while the device's clock drifts.
#include "audio/audio_out.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "framework/sync.h"
#include "platform/audio/simulated_wave_out.h"
#include "platform/core/errors.h"
#include "platform/ui/application.h"
#include "platform/ui/message_window.h"
#include "tests/audio/audio_chain.h"

namespace sib {
namespace {

using namespace std::chrono_literals;

using TTestProducer = test::TTestAudioProducer;

TALWaveFormatExtensible monoFormat(std::uint32_t rate, std::uint16_t channels = 1) {
  TALWaveFormatExtensible format;
  format.Format = {kALWaveFormatExtensible,
                   channels,
                   rate,
                   rate * 2u * channels,
                   static_cast<std::uint16_t>(2 * channels),
                   16,
                   kALExtensibleSize};
  format.wValidBitsPerSample = 16;
  format.dwChannelMask = 1;
  format.SubFormat = kALSubFormatPcm;
  return format;
}

class AudioOutTest : public ::testing::Test {
 protected:
  explicit AudioOutTest(SimulatedWaveOut::Options options = DefaultOptions()) : sim(std::move(options)) {
    EXPECT_TRUE(out->InputPin()->Connect(producer->OutputPin()));
  }
  static SimulatedWaveOut::Options DefaultOptions() {
    SimulatedWaveOut::Options options;
    options.deviceNames = {"First device", "Second device"};
    options.keepRecord = false;
    return options;
  }
  ~AudioOutTest() override {
    out.reset();
    producer.reset();
  }

  void StartWave(std::uint32_t rate = 44100) {
    const TALWaveFormatExtensible format = monoFormat(rate);
    producer->OutputPin()->Notify(newOperation<TOWStartWaveOperation>(&format, false));
  }
  void Submit(std::uint32_t frames, std::uint32_t rate = 44100) {
    std::vector<std::int16_t> samples(frames, 100);
    RefPtr<TALAudioBuffer> buffer = TALAudioBuffer::CreateData(samples.data(), rate, 16, 1, frames);
    producer->OutputPin()->SubmitBuffer(buffer->AsDataIntf());
  }
  // Whether the device is running: it takes frames when its clock moves on.
  bool DeviceRuns() {
    WaveOutStatus before;
    WaveOutStatus after;
    EXPECT_TRUE(out->GetDeviceStatus(before));
    sim.advance(20ms);  // more than a device period
    out->WaitUntilDeviceIdle();
    EXPECT_TRUE(out->GetDeviceStatus(after));
    return after.playedFrames > before.playedFrames;
  }

  Application app;
  SimulatedWaveOut sim;
  ScopedWaveOutDriver driver{sim};
  TComponentPtr<TTestProducer> producer = MakeComponent<TTestProducer>();
  TComponentPtr<TALAudioOut> out = MakeComponent<TALAudioOut>();
};

struct PrefillRow {
  std::uint32_t prefill;
  std::uint32_t frames;
  int buffersBeforeStart;
};

std::ostream& operator<<(std::ostream& os, const PrefillRow& row) {
  return os << "prefill " << row.prefill << " ms, " << row.frames << "-frame buffers";
}

class AudioOutPrefill : public AudioOutTest, public ::testing::WithParamInterface<PrefillRow> {};

TEST_P(AudioOutPrefill, DeviceStartsWithTheFirstBufferThatPassesThePrefillInterval) {
  const PrefillRow& row = GetParam();
  out->SetPrefillInterval(row.prefill);
  StartWave();
  for (int i = 1; i < row.buffersBeforeStart; ++i) {
    Submit(row.frames);
    EXPECT_FALSE(DeviceRuns()) << "after buffer " << i;
  }
  Submit(row.frames);
  EXPECT_TRUE(DeviceRuns());
}

INSTANTIATE_TEST_SUITE_P(Table, AudioOutPrefill,
                         ::testing::Values(PrefillRow{300, 1024, 14}, PrefillRow{2, 1024, 1}, PrefillRow{0, 1024, 1},
                                           PrefillRow{2, 88, 3}));

TEST_F(AudioOutTest, TenFrameBuffersAddNothingToThePrefillCount) {
  out->SetPrefillInterval(2);
  StartWave();
  for (int i = 0; i < 20; ++i) Submit(10);
  EXPECT_FALSE(DeviceRuns());
  Submit(1024);
  EXPECT_TRUE(DeviceRuns());
}

TEST_F(AudioOutTest, EnablingBeforeAnyStartWaveOpensNothing) {
  out->SetEnabled(false);
  out->SetEnabled(true);
  WaveOutStatus status;
  EXPECT_FALSE(out->GetDeviceStatus(status));
  EXPECT_FALSE(sim.isOpen(0));
}

TEST_F(AudioOutTest, DisabledOutputPlaysOutWhatItHoldsAndDropsNewBuffers) {
  out->SetPrefillInterval(2);
  StartWave();
  Submit(1024);
  out->SetEnabled(false);
  Submit(1024);
  Submit(1024);
  WaveOutStatus status;
  ASSERT_TRUE(out->GetDeviceStatus(status));
  EXPECT_EQ(status.queuedFrames, 1024u);
  sim.advance(100ms);
  out->WaitUntilDeviceIdle();
  ASSERT_TRUE(out->GetDeviceStatus(status));
  EXPECT_EQ(status.playedFrames, 1024u);
  EXPECT_TRUE(sim.isOpen(0));
}

TEST_F(AudioOutTest, StartWaveWhilePlayingWaitsUntilAStopArrives) {
  out->SetPrefillInterval(2);
  StartWave(44100);
  Submit(1024);
  Submit(1024);
  Submit(1024);
  StartWave(22050);  // no stop yet: stays at the head of the queue
  Submit(512, 22050);
  WaveOutStatus status;
  ASSERT_TRUE(out->GetDeviceStatus(status));
  EXPECT_EQ(status.queuedFrames + status.playedFrames, 3072u);
  producer->OutputPin()->Stop();  // the stop queues behind; the new format still waits
  StartWave(22050);
  ASSERT_TRUE(out->GetDeviceStatus(status));
  EXPECT_EQ(status.queuedFrames + status.playedFrames, 3072u);
}

TEST_F(AudioOutTest, StopThenStartWaveReopensThePausedDeviceInTheNewFormat) {
  out->SetPrefillInterval(100);
  StartWave(44100);
  Submit(1024);
  producer->OutputPin()->Stop();
  StartWave(22050);
  WaveOutStatus status;
  ASSERT_TRUE(out->GetDeviceStatus(status));
  EXPECT_EQ(status.queuedFrames, 0u);  // a fresh device
  Submit(1024, 22050);
  EXPECT_FALSE(DeviceRuns());  // prefill again: 46 ms of 100
  for (int i = 0; i < 2; ++i) Submit(1024, 22050);
  EXPECT_TRUE(DeviceRuns());
}

// The stream's stop and the output's disabling come in either order; either way a stream started
// after the output is enabled again must reopen the device and play, not wait at the head of the
// queue for a stop that has already come.
struct RestartRow {
  const char* order;
  bool stopWhileDisabled;
};

std::ostream& operator<<(std::ostream& os, const RestartRow& row) { return os << row.order; }

class AudioOutRestart : public AudioOutTest, public ::testing::WithParamInterface<RestartRow> {};

TEST_P(AudioOutRestart, StreamStartedAfterTheOutputIsEnabledAgainPlaysInItsFormat) {
  const RestartRow& row = GetParam();
  out->SetPrefillInterval(2);
  StartWave(44100);
  Submit(1024);
  if (!row.stopWhileDisabled) producer->OutputPin()->Stop();
  out->SetEnabled(false);
  if (row.stopWhileDisabled) producer->OutputPin()->Stop();
  out->SetEnabled(true);
  StartWave(22050);
  Submit(1024, 22050);
  EXPECT_EQ(out->QueuedFrames(), 1024u) << "only the new stream's buffer, on a fresh device";
  EXPECT_TRUE(DeviceRuns());
}

INSTANTIATE_TEST_SUITE_P(Table, AudioOutRestart,
                         ::testing::Values(RestartRow{"stop, then disable", false},
                                           RestartRow{"disable, then stop", true}));

TEST_F(AudioOutTest, PumpRequestFromAnEqualHardwarePumpIsLeftAlone) {
  out->MasterPumping()->SetEnabled(true);
  out->MasterPumping()->SetPriority(3);
  int other = 0;
  auto equal = makeRef<TOWPumpRequestOperation>(&other, ptHardware, 3, 0.0f);
  producer->OutputPin()->Notify(equal.get());
  EXPECT_EQ(equal->Pump, &other);
  auto weaker = makeRef<TOWPumpRequestOperation>(&other, ptHardware, 2, 0.0f);
  producer->OutputPin()->Notify(weaker.get());
  EXPECT_EQ(weaker->Pump, static_cast<const void*>(out.get()));
  EXPECT_EQ(weaker->PumpPriority, 3);
}

TEST_F(AudioOutTest, PumpRequestIsAnsweredOnArrivalEvenBehindQueuedBuffers) {
  out->MasterPumping()->SetEnabled(true);
  StartWave();
  for (int i = 0; i < 20; ++i) Submit(1024);  // past the prefill: the later buffers wait in the queue
  ASSERT_GT(out->QueuedFrames(), 14u * 1024u);
  int player = 0;
  auto request = makeRef<TOWPumpRequestOperation>(&player, ptMaster, 0, 1.0f);
  producer->OutputPin()->Notify(request.get());
  EXPECT_EQ(request->Pump, static_cast<const void*>(out.get())) << "the sender reads the answer at once";
  EXPECT_EQ(request->PumpType, ptHardware);
}

TEST_F(AudioOutTest, UnhandledOpenFailureRaisesTextCodeAndHexCode) {
  const TALWaveFormatExtensible bad = monoFormat(44100, 0);
  out->SetEnabled(false);
  producer->OutputPin()->Notify(newOperation<TOWStartWaveOperation>(&bad, false));
  try {
    out->SetEnabled(true);
    FAIL() << "no error raised";
  } catch (const ESLException& e) {
    EXPECT_EQ(e.Message(), "Can't open audio device. - 32 - 20");
  }
}

TEST_F(AudioOutTest, HandledOpenFailureRaisesNothing) {
  std::string text;
  std::int32_t code = 0;
  out->SetOnError(TSLErrorEvent([&](TObject*, const std::string& t, std::int32_t c, bool& handled) {
    text = t;
    code = c;
    handled = true;
  }));
  const TALWaveFormatExtensible bad = monoFormat(44100, 0);
  out->SetEnabled(false);
  producer->OutputPin()->Notify(newOperation<TOWStartWaveOperation>(&bad, false));
  EXPECT_NO_THROW(out->SetEnabled(true));
  EXPECT_EQ(text, "Can't open audio device.");
  EXPECT_EQ(code, 32);
}

TEST_F(AudioOutTest, LostDeviceIsReportedAndTheNextStartPlaysOnTheDefaultDevice) {
  std::vector<std::string> warnings;
  TOWEvent warned(true, false);
  out->SetOnWarning(TSLWarningEvent([&](TObject*, const std::string& t, std::int32_t) {
    warnings.push_back(t);
    warned.Signal();
  }));
  out->Device()->SetDeviceName("Second device");
  out->SetPrefillInterval(2);
  StartWave();
  Submit(1024);
  ASSERT_TRUE(sim.isOpen(1));
  sim.loseDevice(1);
  sim.advance(30ms);
  // The loss reaches the output through the device layer's delivery thread.
  ASSERT_TRUE(warned.WaitFor(kInfinite));
  out->WaitUntilDeviceIdle();
  Submit(1024);  // refused by the lost device, released at once
  out->WaitUntilDeviceIdle();
  EXPECT_EQ(warnings, std::vector<std::string>{"Audio device lost."});
  out->SetEnabled(false);
  out->SetEnabled(true);
  EXPECT_TRUE(sim.isOpen(0));
  EXPECT_FALSE(sim.isOpen(1));
  Submit(1024);
  EXPECT_TRUE(DeviceRuns());
}

// While the output stays enabled, a lost device is replaced by the default device as soon as that
// opens; the tries are quiet (one warning for the loss, no error), and disabling the output ends them.
TEST_F(AudioOutTest, ALostDeviceIsReplacedByTheDefaultDeviceOnceItOpensAndDisablingEndsTheTries) {
  std::vector<std::string> reports;
  TOWEvent warned(true, false);
  out->SetOnWarning(TSLWarningEvent([&](TObject*, const std::string& t, std::int32_t) {
    reports.push_back(t);
    warned.Signal();
  }));
  out->SetOnError(TSLErrorEvent([&](TObject*, const std::string& t, std::int32_t, bool& handled) {
    reports.push_back("error: " + t);
    handled = true;
  }));
  out->Device()->SetDeviceName("Second device");
  out->SetPrefillInterval(2);
  StartWave();
  Submit(1024);
  ASSERT_TRUE(sim.isOpen(1));
  // The default device is taken by someone else for now.
  WaveOutHandle other = 0;
  ASSERT_EQ(waveOutOpen(&other, 0, WaveOutFormat{}, [](WaveOutHandle, WaveOutMessage, WaveHeader*) {}), kMMNoError);
  sim.loseDevice(1);
  ASSERT_TRUE(warned.WaitFor(kInfinite));
  const auto runFor = [&](std::chrono::milliseconds limit, const std::function<bool()>& done) {
    MessageWindow heartbeat(app, [](Message&) {});
    heartbeat.SetTimer(1, kMinimumTimerInterval);
    return app.RunUntil(done, limit);
  };
  // Several tries fail meanwhile; buffers that arrive are dropped, not queued.
  runFor(std::chrono::milliseconds(3 * TALAudioOut::kRetryIntervalMs), [] { return false; });
  Submit(1024);
  EXPECT_EQ(out->QueuedFrames(), 0u);
  EXPECT_FALSE(sim.isOpen(1));
  ASSERT_EQ(waveOutClose(other), kMMNoError);
  ASSERT_TRUE(runFor(std::chrono::milliseconds(3000), [&] { return sim.isOpen(0); }));
  Submit(1024);
  EXPECT_TRUE(DeviceRuns());
  EXPECT_EQ(reports, std::vector<std::string>{"Audio device lost."});

  // Lost again and disabled at once: the output keeps the lost device (a disabled output leaves its
  // device open) and tries nothing, though the default device could now be opened.
  warned.Reset();
  sim.loseDevice(0);
  ASSERT_TRUE(warned.WaitFor(kInfinite));
  out->SetEnabled(false);
  runFor(std::chrono::milliseconds(3 * TALAudioOut::kRetryIntervalMs), [] { return false; });
  WaveOutStatus status;
  ASSERT_TRUE(out->GetDeviceStatus(status));
  EXPECT_TRUE(status.deviceLost);
  EXPECT_EQ(reports, (std::vector<std::string>{"Audio device lost.", "Audio device lost."}));
}

struct LookupRow {
  std::string deviceName;
  std::vector<std::string> alternatives;
  int expected;
};

std::ostream& operator<<(std::ostream& os, const LookupRow& row) {
  os << "\"" << row.deviceName << "\" then";
  for (const auto& a : row.alternatives) os << " \"" << a << "\"";
  return os;
}

class AudioOutLookup : public AudioOutTest, public ::testing::WithParamInterface<LookupRow> {};

TEST_P(AudioOutLookup, DeviceNameAndAlternativesChooseTheDevice) {
  const LookupRow& row = GetParam();
  out->Device()->SetDeviceName(row.deviceName);
  for (const std::string& name : row.alternatives) out->Device()->AlternativeDevices()->Add()->SetDeviceName(name);
  EXPECT_EQ(out->Device()->GetDeviceID(), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AudioOutLookup,
    ::testing::Values(LookupRow{"Default", {}, kWaveMapper}, LookupRow{"dEfAuLt", {}, kWaveMapper},
                      LookupRow{"Second device", {}, 1}, LookupRow{"second device", {}, kWaveMapper},
                      LookupRow{"Nowhere", {}, kWaveMapper}, LookupRow{"Nowhere", {"Elsewhere", "DEFAULT"}, kWaveMapper},
                      LookupRow{"Nowhere", {"Elsewhere", "Second device", "First device"}, 1},
                      LookupRow{"Nowhere", {"default", "Second device"}, kWaveMapper}));

// A source on its own clock goes on while the device takes nothing (a sound server slow to start a
// stream): what waits for the device stays within kMaxWaitingMs, plus the two blocks the device holds.
TEST_F(AudioOutTest, ASourceOnItsOwnClockRunsNoFurtherAheadOfADeviceThatTakesNothingThan70Ms) {
  out->SetPrefillInterval(2);
  StartWave();
  for (int block = 0; block < 200; ++block) Submit(1024);  // 4.6 s, and the device's clock stands still
  const std::uint64_t limit = (TALAudioOut::kMaxWaitingMs * 44100 / 1000 + 1024) + 2 * 1024;
  EXPECT_LE(out->QueuedFrames(), limit);
  EXPECT_GE(out->QueuedFrames(), limit - 2 * 1024) << "it keeps what it may";
  EXPECT_TRUE(DeviceRuns());
}

// A server that pulls in bursts: once the device has played, it may take nothing for a second or
// more while the source goes on. Every block waits for its next pull and plays once, in order.
TEST_F(AudioOutTest, ASourceOnItsOwnClockKeepsEveryBlockForADeviceThatHasPlayedAndThenPullsNothing) {
  out->SetPrefillInterval(2);
  StartWave();
  Submit(1024);
  ASSERT_TRUE(DeviceRuns());
  constexpr int kBlocks = 100;  // 2.3 s while the device's clock stands still
  for (int block = 0; block < kBlocks; ++block) Submit(1024);
  EXPECT_EQ(out->QueuedFrames(), std::uint64_t{kBlocks} * 1024) << "blocks were dropped";

  for (int step = 0; step < 150; ++step) {
    sim.advance(20ms);
    out->WaitUntilDeviceIdle();
  }
  // Every frame reached the device; the steered rate's interpolator holds back the last few until
  // more come.
  WaveOutStatus status;
  ASSERT_TRUE(out->GetDeviceStatus(status));
  const std::uint64_t total = std::uint64_t{kBlocks + 1} * 1024;
  EXPECT_EQ(status.playedFrames + status.queuedFrames, total);
  EXPECT_GE(status.playedFrames, total - 64);
}

TEST_F(AudioOutTest, NewAlternativeIsNamedAfterTheLeastNamedDevice) {
  TALAudioOutDeviceItems* items = out->Device()->AlternativeDevices();
  EXPECT_EQ(items->Add()->DeviceName(), "First device");
  EXPECT_EQ(items->Add()->DeviceName(), "Second device");
  EXPECT_EQ(items->Add()->DeviceName(), "First device");
}

// ---- Latency under clock drift ---------------------------------------------------------------------

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr auto kDriftRun = std::chrono::minutes(20);  // sanitized builds run far slower
#else
constexpr auto kDriftRun = std::chrono::hours(6);
#endif

class AudioOutDrift : public ::testing::TestWithParam<double> {};

TEST_P(AudioOutDrift, QueuedAudioStaysWithin150MsWithNoUnderrunAndNoFrameLost) {
  // 8000 frames/s in 256-frame blocks (32 ms) keeps hours of simulated playing quick.
  constexpr std::uint32_t kRate = 8000;
  constexpr std::uint32_t kFrames = 256;
  constexpr auto kBlock = std::chrono::nanoseconds(std::chrono::seconds(1)) * kFrames / kRate;
  Application app;
  SimulatedWaveOut::Options options;
  options.rateErrorPpm = GetParam();
  options.keepRecord = false;
  options.periodFrames = 128;
  SimulatedWaveOut sim(options);
  ScopedWaveOutDriver driver(sim);
  auto producer = MakeComponent<TTestProducer>();
  auto out = MakeComponent<TALAudioOut>();
  ASSERT_TRUE(out->InputPin()->Connect(producer->OutputPin()));
  out->SetPrefillInterval(2);
  const TALWaveFormatExtensible format = monoFormat(kRate);
  producer->OutputPin()->Notify(newOperation<TOWStartWaveOperation>(&format, false));
  std::vector<std::int16_t> samples(kFrames, 1000);
  std::uint64_t submitted = 0;
  const auto submit = [&] {
    RefPtr<TALAudioBuffer> buffer = TALAudioBuffer::CreateData(samples.data(), kRate, 16, 1, kFrames);
    producer->OutputPin()->SubmitBuffer(buffer->AsDataIntf());
    submitted += kFrames;
  };
  submit();
  const std::int64_t blocks = std::chrono::nanoseconds(kDriftRun) / kBlock;
  const std::int64_t settled = std::chrono::nanoseconds(1min) / kBlock;
  double worstMs = 0;
  std::uint64_t underrunsWhenSettled = 0;
  WaveOutStatus status;
  for (std::int64_t i = 1; i <= blocks; ++i) {
    sim.advance(kBlock);
    out->WaitUntilDeviceIdle();
    submit();
    if (i == settled && out->GetDeviceStatus(status)) underrunsWhenSettled = status.underrunFrames;
    if (i > settled) worstMs = std::max(worstMs, out->QueuedFrames() * 1000.0 / kRate);
  }
  ASSERT_TRUE(out->GetDeviceStatus(status));
  EXPECT_EQ(status.underrunFrames, underrunsWhenSettled);
  EXPECT_LE(worstMs, 150.0);
  // Drained, the device has taken every frame it was given, once, but for the few its interpolator
  // holds back until more follow.
  for (int i = 0; i < 20; ++i) {
    sim.advance(kBlock);
    out->WaitUntilDeviceIdle();
  }
  ASSERT_TRUE(out->GetDeviceStatus(status));
  EXPECT_EQ(status.playedFrames + out->QueuedFrames(), submitted);
  EXPECT_LE(out->QueuedFrames(), 16u);
  out.reset();
  producer.reset();
}

INSTANTIATE_TEST_SUITE_P(RateErrors, AudioOutDrift, ::testing::Values(200.0, -200.0));

}  // namespace
}  // namespace sib
