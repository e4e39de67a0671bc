// Steering the playback rate: frames are taken at exactly the steered rate, a sine stays a sine
// (nothing dropped or repeated), and without steering every sample reaches the device unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/audio/simulated_wave_out.h"
#include "platform/audio/wave_out.h"
#include "tests/platform/audio/wave_out_test_support.h"

namespace sib {
namespace {

using namespace std::chrono_literals;
using test::HeaderSet;
using test::MessageLog;
using test::pcmFormat;

constexpr std::int64_t kBillion = 1'000'000'000;

std::int16_t sampleAt(std::span<const std::byte> bytes, std::size_t i) {
  std::int16_t v;
  std::memcpy(&v, bytes.data() + 2 * i, 2);
  return v;
}

struct ConstantCase {
  double requestedPpm;
  std::int64_t effectivePpb;
};

class RateAdjust : public ::testing::TestWithParam<ConstantCase> {};

TEST_P(RateAdjust, ConstantInputIsTakenAtTheSteeredRateAndStaysConstant) {
  const ConstantCase& row = GetParam();
  SimulatedWaveOut simulated({.periodFrames = 4800, .keepRecord = false});
  ScopedWaveOutDriver use(simulated);
  std::uint64_t checked = 0;
  std::uint64_t wrong = 0;
  simulated.setPlayedObserver([&](std::uint32_t, std::span<const std::byte> played) {
    for (std::size_t i = 0; i < played.size() / 2; ++i, ++checked) {
      if (checked >= 2 * 16 && sampleAt(played, i) != 12345) ++wrong;  // after the silent past has left the taps
    }
  });
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, 0, pcmFormat(16, 1, 48000), log.callback()), kMMNoError);
  ASSERT_EQ(waveOutSetRateAdjust(out, row.requestedPpm), kMMNoError);
  const std::vector<std::int32_t> constant(1'500'000, 12345);
  HeaderSet headers(test::encodeSamples(constant, 16), 2, {100'000});
  ASSERT_EQ(headers.prepareAndWriteAll(out), kMMNoError);

  for (int second = 0; second < 30; ++second) simulated.advance(1s);

  WaveOutStatus status;
  ASSERT_EQ(waveOutGetStatus(out, status), kMMNoError);
  const auto deviceFrames = static_cast<std::int64_t>(simulated.playedFrames(0));
  const std::int64_t expected = deviceFrames * (kBillion + row.effectivePpb) / kBillion;
  EXPECT_NEAR(static_cast<double>(status.playedFrames), static_cast<double>(expected), 1.0) << row.requestedPpm;
  EXPECT_DOUBLE_EQ(status.rateAdjustPpm, static_cast<double>(row.effectivePpb) / 1000.0);
  EXPECT_EQ(status.underrunFrames, 0u);
  EXPECT_EQ(wrong, 0u) << "samples off the constant";
  ASSERT_EQ(waveOutReset(out), kMMNoError);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
}

INSTANTIATE_TEST_SUITE_P(Table, RateAdjust,
                         ::testing::Values(ConstantCase{1000, 1'000'000}, ConstantCase{-1000, -1'000'000},
                                           ConstantCase{1500, 1'000'000}, ConstantCase{37.5, 37'500}),
                         [](const auto& info) {
                           const auto ppb = info.param.requestedPpm * 1000;
                           return (ppb < 0 ? "minus" : "plus") + std::to_string(static_cast<int>(std::abs(ppb))) + "ppb";
                         });

struct SineCase {
  double frequency;
  double tolerance;  // in 16-bit steps: input and output rounding plus the interpolator's own error
};

class SteeredSine : public ::testing::TestWithParam<SineCase> {};

// The device's output is compared with the ideal sine at the exact input position of every output
// frame, while the rate jumps between extremes: a dropped or repeated sample would be off by
// thousands of steps.
TEST_P(SteeredSine, FollowsTheIdealWaveWhileTheRateChanges) {
  const SineCase& row = GetParam();
  const double amplitude = 16000;
  const double rate = 48000;
  const std::vector<double> schedulePpm = {0, 1000, 1000, -1000, -1000, 37.5, 0, -250, 999.999, 0};

  SimulatedWaveOut simulated({.periodFrames = 480, .keepRecord = false});
  ScopedWaveOutDriver use(simulated);
  std::int64_t currentPpb = 0;
  std::int64_t index = 0;
  std::int64_t remainder = 0;
  double worst = 0;
  simulated.setPlayedObserver([&](std::uint32_t, std::span<const std::byte> played) {
    for (std::size_t i = 0; i < played.size() / 2; ++i) {
      const double position = static_cast<double>(index) + static_cast<double>(remainder) / kBillion;
      const double ideal = amplitude * std::sin(2 * std::numbers::pi * row.frequency * position / rate);
      worst = std::max(worst, std::abs(sampleAt(played, i) - ideal));
      remainder += kBillion + currentPpb;
      index += remainder / kBillion;
      remainder %= kBillion;
    }
  });

  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, 0, pcmFormat(16, 1, 48000), log.callback()), kMMNoError);
  std::vector<std::int32_t> sine(static_cast<std::size_t>(rate * 12));
  for (std::size_t n = 0; n < sine.size(); ++n) {
    sine[n] = static_cast<std::int32_t>(std::lround(amplitude * std::sin(2 * std::numbers::pi * row.frequency * n / rate)));
  }
  HeaderSet headers(test::encodeSamples(sine, 16), 2, {4801, 17, 999});
  ASSERT_EQ(headers.prepareAndWriteAll(out), kMMNoError);

  for (double ppm : schedulePpm) {
    ASSERT_EQ(waveOutSetRateAdjust(out, ppm), kMMNoError);
    currentPpb = std::llround(ppm * 1000);
    simulated.advance(1s);
  }
  WaveOutStatus status;
  ASSERT_EQ(waveOutGetStatus(out, status), kMMNoError);
  EXPECT_EQ(status.underrunFrames, 0u);
  EXPECT_EQ(static_cast<std::int64_t>(status.playedFrames), index);
  EXPECT_LE(worst, row.tolerance) << row.frequency << " Hz";
  ASSERT_EQ(waveOutReset(out), kMMNoError);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
}

INSTANTIATE_TEST_SUITE_P(Table, SteeredSine,
                         ::testing::Values(SineCase{440, 1.5}, SineCase{5000, 1.5}, SineCase{15000, 1.5},
                                           SineCase{19000, 2.5}),
                         [](const auto& info) { return std::to_string(static_cast<int>(info.param.frequency)) + "Hz"; });

struct ExactCase {
  const char* what;
  WaveOutFormat format;
  int deviceBits;
};

class UnsteeredFormats : public ::testing::TestWithParam<ExactCase> {};

TEST_P(UnsteeredFormats, EverySampleReachesTheDeviceUnchanged) {
  const ExactCase& row = GetParam();
  SimulatedWaveOut simulated({.periodFrames = 256});
  ScopedWaveOutDriver use(simulated);
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, 0, row.format, log.callback()), kMMNoError);
  const std::size_t frames = 5000;
  std::vector<std::byte> bytes;
  std::vector<std::int32_t> expected;
  if (row.format.sampleType == WaveSampleType::Float) {
    auto bits = test::nonZeroSamples(frames * row.format.channels, 32);
    for (auto& b : bits) b = static_cast<std::int32_t>((static_cast<std::uint32_t>(b) & 0x807FFFFFu) | 0x3E000000u);
    bytes = test::encodeSamples(bits, 32);
    expected = bits;  // compared bit for bit
  } else {
    auto values = test::nonZeroSamples(frames * row.format.channels, row.format.bitsPerSample);
    values.front() = row.format.bitsPerSample == 8 ? -128 : static_cast<std::int32_t>(-(std::int64_t{1} << (row.format.bitsPerSample - 1)));
    values.back() = static_cast<std::int32_t>((std::int64_t{1} << (row.format.bitsPerSample - 1)) - 1);
    bytes = test::encodeSamples(values, row.format.bitsPerSample);
    const int widen = row.deviceBits - row.format.bitsPerSample;
    for (std::int32_t v : values) expected.push_back(static_cast<std::int32_t>(static_cast<std::uint32_t>(v) << widen));
  }
  HeaderSet headers(bytes, row.format.blockAlign, {777, 1});
  ASSERT_EQ(headers.prepareAndWriteAll(out), kMMNoError);
  simulated.advance(1s);
  ASSERT_EQ(log.count(kWomDone), headers.size());

  auto played = test::decodeDeviceSamples(simulated.played(0), row.deviceBits);
  played.resize(expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(played[i], expected[i]) << row.what << ", sample " << i;
  ASSERT_EQ(headers.unprepareAll(out), kMMNoError);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnsteeredFormats,
    ::testing::Values(ExactCase{"8-bit mono", pcmFormat(8, 1, 22050), 8},
                      ExactCase{"16-bit stereo", pcmFormat(16, 2, 44100), 16},
                      ExactCase{"24-bit stereo", pcmFormat(24, 2, 48000), 32},
                      ExactCase{"32-bit 3 channels", pcmFormat(32, 3, 96000), 32},
                      ExactCase{"float stereo", WaveOutFormat{WaveSampleType::Float, 2, 48000, 32, 8}, 32}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

}  // namespace
}  // namespace sib
