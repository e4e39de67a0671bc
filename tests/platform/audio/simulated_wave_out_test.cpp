#include "platform/audio/simulated_wave_out.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/platform/audio/wave_out_test_support.h"

namespace sib {
namespace {

using namespace std::chrono_literals;
using test::HeaderSet;
using test::MessageLog;
using test::pcmFormat;

struct RateErrorCase {
  double ppm;
};

class SimulatedClock : public ::testing::TestWithParam<RateErrorCase> {};

TEST_P(SimulatedClock, DeviceTakesFramesAtItsOwnRateInWholePeriods) {
  const double ppm = GetParam().ppm;
  SimulatedWaveOut simulated({.rateErrorPpm = ppm, .periodFrames = 480, .keepRecord = false});
  ScopedWaveOutDriver use(simulated);
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, kWaveMapper, pcmFormat(16, 1, 48000), log.callback()), kMMNoError);
  for (int second = 0; second < 600; ++second) simulated.advance(1s);

  const auto due = static_cast<std::uint64_t>(600 * 48000 * (1'000'000'000 + std::llround(ppm * 1000)) / 1'000'000'000);
  const std::uint64_t wholePeriods = (due + 479) / 480 * 480;
  EXPECT_EQ(simulated.playedFrames(0), wholePeriods) << ppm << " ppm";
  EXPECT_EQ(simulated.now(), 600s);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
}

INSTANTIATE_TEST_SUITE_P(Table, SimulatedClock,
                         ::testing::Values(RateErrorCase{0}, RateErrorCase{200}, RateErrorCase{-200},
                                           RateErrorCase{1000}),
                         [](const auto& info) {
                           const auto ppm = static_cast<int>(info.param.ppm);
                           return (ppm < 0 ? "minus" : "plus") + std::to_string(std::abs(ppm)) + "ppm";
                         });

TEST(SimulatedWaveOut, RecordsThePausedSilenceThenTheWrittenSamplesInOrder) {
  SimulatedWaveOut simulated({.periodFrames = 441});
  ScopedWaveOutDriver use(simulated);
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, 0, pcmFormat(16, 2, 44100), log.callback(), WaveOutStart::Paused), kMMNoError);
  const auto values = test::nonZeroSamples(3000 * 2, 16);
  HeaderSet headers(test::encodeSamples(values, 16), 4, {1000});
  ASSERT_EQ(headers.prepareAndWriteAll(out), kMMNoError);

  simulated.advance(50ms);
  EXPECT_EQ(log.count(kWomDone), 0u);
  const std::uint64_t pausedFrames = simulated.playedFrames(0);
  EXPECT_EQ(pausedFrames, 2205u);  // 50 ms: five periods of 441 frames
  ASSERT_EQ(waveOutRestart(out), kMMNoError);
  simulated.advance(100ms);
  EXPECT_EQ(log.count(kWomDone), 3u);  // delivered by the time advance returns

  const auto played = test::decodeDeviceSamples(simulated.played(0), 16);
  ASSERT_EQ(played.size(), simulated.playedFrames(0) * 2);
  const auto streamStart = played.begin() + static_cast<std::ptrdiff_t>(pausedFrames * 2);
  EXPECT_TRUE(std::all_of(played.begin(), streamStart, [](std::int32_t v) { return v == 0; }));
  EXPECT_TRUE(std::equal(values.begin(), values.end(), streamStart));
  EXPECT_TRUE(std::all_of(streamStart + static_cast<std::ptrdiff_t>(values.size()), played.end(),
                          [](std::int32_t v) { return v == 0; }));
  ASSERT_EQ(headers.unprepareAll(out), kMMNoError);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
}

TEST(SimulatedWaveOut, BufferIsDoneWhenTheDeviceTakesItsLastFrame) {
  SimulatedWaveOut simulated({.periodFrames = 480});
  ScopedWaveOutDriver use(simulated);
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, 0, pcmFormat(16, 1, 48000), log.callback()), kMMNoError);
  HeaderSet headers(std::vector<std::byte>(2 * 1000 * 2, std::byte{9}), 2, {1000});
  ASSERT_EQ(headers.prepareAndWriteAll(out), kMMNoError);

  // Each advance of 10 ms lets the device take one more period of 480 frames.
  const std::size_t doneAfterPeriod[] = {0, 0, 1, 1, 2};
  for (std::size_t period = 0; period < std::size(doneAfterPeriod); ++period) {
    simulated.advance(period == 0 ? 1ms : 10ms);
    EXPECT_EQ(simulated.playedFrames(0), (period + 1) * 480) << "period " << period;
    EXPECT_EQ(log.count(kWomDone), doneAfterPeriod[period]) << "period " << period;
  }
  EXPECT_EQ(waveOutClose(out), kMMNoError);
}

TEST(SimulatedWaveOut, UnderrunsCountOnlyOnceSomethingHasPlayed) {
  SimulatedWaveOut simulated({.periodFrames = 480, .keepRecord = false});
  ScopedWaveOutDriver use(simulated);
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, 0, pcmFormat(16, 1, 48000), log.callback()), kMMNoError);
  simulated.advance(100ms);
  WaveOutStatus status;
  ASSERT_EQ(waveOutGetStatus(out, status), kMMNoError);
  EXPECT_EQ(status.underrunFrames, 0u);

  HeaderSet headers(std::vector<std::byte>(2 * 700, std::byte{9}), 2, {700});
  ASSERT_EQ(headers.prepareAndWriteAll(out), kMMNoError);
  simulated.advance(20ms);  // two periods: 700 frames of sound, 260 of silence
  ASSERT_EQ(waveOutGetStatus(out, status), kMMNoError);
  EXPECT_EQ(status.playedFrames, 700u);
  EXPECT_EQ(status.underrunFrames, 260u);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
}

TEST(SimulatedWaveOut, EachDeviceOpensOnceAtATime) {
  SimulatedWaveOut simulated({.deviceNames = {"Speakers", "Headphones"}});
  ScopedWaveOutDriver use(simulated);
  MessageLog log;
  WaveOutHandle speakers = 0;
  WaveOutHandle again = 0;
  WaveOutHandle headphones = 0;
  ASSERT_EQ(waveOutOpen(&speakers, kWaveMapper, pcmFormat(16, 2, 44100), log.callback()), kMMNoError);
  EXPECT_EQ(waveOutOpen(&again, 0, pcmFormat(16, 2, 44100), log.callback()), kMMAllocated);
  ASSERT_EQ(waveOutOpen(&headphones, 1, pcmFormat(16, 2, 44100), log.callback()), kMMNoError);
  EXPECT_TRUE(simulated.isOpen(0));
  EXPECT_EQ(waveOutClose(speakers), kMMNoError);
  EXPECT_FALSE(simulated.isOpen(0));
  EXPECT_EQ(waveOutClose(headphones), kMMNoError);
}

TEST(SimulatedWaveOut, LostDeviceStopsPlayingAndSaysSoOnce) {
  SimulatedWaveOut simulated({.periodFrames = 480});
  ScopedWaveOutDriver use(simulated);
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, 0, pcmFormat(16, 1, 48000), log.callback()), kMMNoError);
  HeaderSet headers(std::vector<std::byte>(2 * 4800, std::byte{9}), 2, {4800});
  ASSERT_EQ(headers.prepareAndWriteAll(out), kMMNoError);
  simulated.advance(10ms);
  const std::uint64_t before = simulated.playedFrames(0);

  simulated.loseDevice(0);
  ASSERT_TRUE(log.waitFor(kWomDeviceLost, 1));
  simulated.advance(1s);
  EXPECT_EQ(simulated.playedFrames(0), before);
  EXPECT_EQ(log.count(kWomDone), 0u);
  ASSERT_EQ(waveOutReset(out), kMMNoError);
  EXPECT_EQ(log.count(kWomDone), 1u);
  ASSERT_EQ(headers.unprepareAll(out), kMMNoError);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
  EXPECT_EQ(log.count(kWomDeviceLost), 1u);
}

}  // namespace
}  // namespace sib
