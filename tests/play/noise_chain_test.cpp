// The whole pipeline, player -> amplifier -> output, playing the recordings: on SDL's disk driver
// with the device pumping, where what reaches the "sound card" must be the recording times the gain,
// frame for frame across the loop; and on the simulated device with the player on its own clock, as
// in the window, where a level change and a file switch must be heard within two blocks plus what the
// device already holds.
#include "tools/noise_chain.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/timer/media_timer.h"
#include "platform/audio/simulated_wave_out.h"
#include "platform/core/numeric.h"
#include "platform/media/wave_file.h"
#include "platform/ui/application.h"
#include "tests/audio/wave_fixtures.h"
#include "tests/platform/audio/wave_out_test_support.h"
#include "tests/play/run_loop.h"

namespace sib {
namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kBlockFrames = 1024;

std::string Recording(const std::string& name) { return std::string(SIB_DATA_DIR) + "/" + name; }

// Interleaved 16-bit stereo frames.
struct Frames {
  std::vector<std::int16_t> Samples;
  std::size_t Count() const { return Samples.size() / 2; }
  bool Silent(std::size_t frame) const { return Samples[2 * frame] == 0 && Samples[2 * frame + 1] == 0; }
};

Frames ReadRecording(const std::string& name) {
  std::unique_ptr<WaveFile> file;
  std::unique_ptr<WaveStream> stream;
  Frames frames;
  if (WaveFile::open(Recording(name), file) != kMediaOk || file->getAudioStream(stream) != kMediaOk) return frames;
  frames.Samples.resize(std::size_t{stream->info().dwLength} * 2);
  std::int32_t bytes = 0;
  stream->read(0, static_cast<std::int32_t>(stream->info().dwLength), frames.Samples.data(),
               static_cast<std::int32_t>(frames.Samples.size() * 2), &bytes, nullptr);
  frames.Samples.resize(static_cast<std::size_t>(bytes) / 2);
  return frames;
}

Frames FromBytes(const std::vector<std::byte>& bytes) {
  Frames frames;
  frames.Samples.resize(bytes.size() / 2);
  std::memcpy(frames.Samples.data(), bytes.data(), frames.Samples.size() * 2);
  return frames;
}

std::int16_t Scaled(std::int16_t sample, double gain) {
  return static_cast<std::int16_t>(roundHalfEven(sample * gain));
}

// ---- On SDL's disk driver, the output pumping ---------------------------------------------------------

class NoiseChainOnDisk : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(disk_.selected(), kMMNoError); }
  Frames Written() const { return FromBytes(disk_.bytes()); }

  // Runs the main loop until the device has played `frames`.
  static bool PlayUntil(Application& app, NoiseChain& chain, std::uint64_t frames) {
    return test::RunUntilSeen(
        app,
        [&] {
          WaveOutStatus status;
          return chain.Output()->GetDeviceStatus(status) && status.playedFrames >= frames;
        },
        std::chrono::seconds(120));
  }

  // 24 ms per device period of 92.9 ms (an output that pumps with a 300 ms prefill asks for periods
  // of 4096 frames): about four times faster than real time, slow enough for a sanitised chain to keep
  // ahead, with little silence written while the device waits paused.
  test::DiskAudioCapture disk_{"24"};
};

TEST_F(NoiseChainOnDisk, WhiteAtLevel100ReachesTheDeviceAsTheRecordingTimesAFifthLoopingWithNoGap) {
  const Frames white = ReadRecording("White.wav");
  ASSERT_GT(white.Count(), kRate * 10u);
  // Past the end of the recording and round again.
  const std::size_t frames = white.Count() + 2 * kRate;
  {
    Application app;
    NoiseChain::Options options;
    options.OutputPumps = true;
    options.PrefillMs = 300;  // pumping keeps this much queued: the slack for a slow, sanitised chain
    NoiseChain chain(options);
    chain.SetLevel(100);
    chain.SetFile(Recording("White.wav"));
    chain.Start();
    ASSERT_TRUE(PlayUntil(app, chain, frames));
    WaveOutStatus status;
    ASSERT_TRUE(chain.Output()->GetDeviceStatus(status));
    EXPECT_EQ(status.underrunFrames, 0u) << "the chain fell behind the device";
    chain.Stop();
    EXPECT_EQ(chain.TakeErrors(), std::vector<std::string>{});
  }
  const Frames written = Written();
  // The device writes silence while it waits for the prefill and after the stop; the stream is what
  // lies between.
  std::size_t first = 0;
  while (first < written.Count() && written.Silent(first)) ++first;
  std::size_t end = written.Count();
  while (end > first && written.Silent(end - 1)) --end;
  ASSERT_GE(end - first, frames);
  std::size_t source = 0;
  while (Scaled(white.Samples[2 * source], 0.2) == 0 && Scaled(white.Samples[2 * source + 1], 0.2) == 0) ++source;
  for (std::size_t i = first; i < end; ++i, source = (source + 1) % white.Count()) {
    for (std::size_t channel = 0; channel < 2; ++channel) {
      ASSERT_EQ(written.Samples[2 * i + channel], Scaled(white.Samples[2 * source + channel], 0.2))
          << "frame " << i - first << " of the stream, frame " << source << " of the recording, channel " << channel;
    }
  }
}

// ---- On the simulated device, the output pumping ------------------------------------------------------

// The desktop's control stops and starts the headless player as the window's button does: the output
// is disabled and enabled again, which reopens its device. An output that pumps must then ask for the
// prefill again, or the new device would wait for it, paused and silent, for good.
TEST(NoiseChainPumping, AStopAndAStartPlayTheNoiseAgain) {
  Application app;
  SimulatedWaveOut sim;
  ScopedWaveOutDriver driver{sim};
  NoiseChain::Options options;
  options.OutputPumps = true;
  options.PrefillMs = 300;
  options.BlockFrames = 4096;
  NoiseChain chain(options);
  chain.SetLevel(100);
  chain.SetFile(Recording("White.wav"));
  chain.Start();
  // Plays for `time`, 10 ms at a time as a sound card would take it; how many of the last `frames`
  // the device played were not silent.
  const auto playFor = [&](std::chrono::milliseconds time, std::uint64_t frames) {
    for (auto played = std::chrono::milliseconds(0); played < time; played += std::chrono::milliseconds(10)) {
      sim.advance(std::chrono::milliseconds(10));
      chain.Output()->WaitUntilDeviceIdle();
      app.ProcessMessages();
    }
    const Frames played = FromBytes(sim.played(0));
    std::size_t sounding = 0;
    for (std::size_t i = played.Count() - frames; i < played.Count(); ++i) sounding += played.Silent(i) ? 0 : 1;
    return sounding;
  };
  constexpr std::uint64_t kHalfSecond = kRate / 2;
  EXPECT_EQ(playFor(std::chrono::seconds(1), kHalfSecond), kHalfSecond) << "playing";
  chain.Stop();
  EXPECT_EQ(playFor(std::chrono::seconds(1), kHalfSecond), 0u) << "stopped";
  for (int round = 1; round <= 2; ++round) {
    chain.Start();
    EXPECT_EQ(playFor(std::chrono::seconds(1), kHalfSecond), kHalfSecond) << "started again, round " << round;
    chain.Stop();
    EXPECT_EQ(playFor(std::chrono::seconds(1), kHalfSecond), 0u) << "stopped again, round " << round;
  }
  EXPECT_EQ(chain.TakeErrors(), std::vector<std::string>{});
}

// ---- On the simulated device, the player on its own clock ---------------------------------------------

// The player's clock stands still; each step the test makes one block and moves the device's clock on
// by a block's duration, as the clock generator and the sound card would in real time.
class NoiseChainLatency : public ::testing::Test {
 protected:
  static SimulatedWaveOut::Options SimOptions() {
    SimulatedWaveOut::Options options;
    options.rateErrorPpm = 0;
    return options;
  }
  void SetUp() override {
    chain_ = std::make_unique<NoiseChain>();
    chain_->SetLevel(100);
    chain_->SetFile(Recording("White.wav"));
    chain_->Start();
  }
  void TearDown() override { chain_.reset(); }

  void Step() {
    chain_->Player()->ProcessBuffer();
    ++blocks_;
    const auto due = std::chrono::nanoseconds(blocks_ * kBlockFrames * 1'000'000'000 / kRate);
    sim_.advance(due - sim_.now() + start_);
    chain_->Output()->WaitUntilDeviceIdle();
    app_.ProcessMessages();
  }
  void Steps(std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i) Step();
  }
  // How far, in frames, the first frame of the silence that lasts to the end lies after `from`.
  std::uint64_t SilenceAfter(std::uint64_t from) const {
    const Frames played = FromBytes(sim_.played(0));
    std::size_t silentFrom = played.Count();
    while (silentFrom > from && played.Silent(silentFrom - 1)) --silentFrom;
    return silentFrom - from;
  }
  struct Moment {
    std::uint64_t Played;
    std::uint64_t Held;  // handed to the output and not yet played
  };
  Moment Now() const { return {sim_.playedFrames(0), chain_->Output()->QueuedFrames()}; }

  Application app_;
  ManualTickSource ticks_;
  ScopedMediaTickSource scopedTicks_{ticks_};
  SimulatedWaveOut sim_{SimOptions()};
  ScopedWaveOutDriver driver_{sim_};
  test::TempFolder folder_;
  std::unique_ptr<NoiseChain> chain_;
  std::int64_t blocks_ = 0;
  const std::chrono::nanoseconds start_ = sim_.now();
};

// Two blocks: the one the change may just miss and the next; the interpolator's half window of taps
// smears the edge by a few frames.
constexpr std::uint64_t kAllowance = 2 * kBlockFrames + 16;

TEST_F(NoiseChainLatency, ALevelChangeIsHeardWithinTwoBlocksPlusTheDevicesBuffer) {
  Steps(5 * 60 * kRate / kBlockFrames);  // five minutes: the queue has settled near its target
  const Moment change = Now();
  EXPECT_LE(change.Held * 1000 / kRate, 150u) << "queued audio in steady state, ms";
  chain_->SetLevel(0);
  Steps(20);
  const std::uint64_t latency = SilenceAfter(change.Played);
  EXPECT_LE(latency, change.Held + kAllowance);
  RecordProperty("LevelChangeLatencyFrames", static_cast<int>(latency));
  RecordProperty("HeldFramesAtChange", static_cast<int>(change.Held));
}

TEST_F(NoiseChainLatency, AFileSwitchWhilePlayingIsHeardWithinTwoBlocksPlusTheDevicesBuffer) {
  const std::string silence = folder_.write("Silence.wav", test::waveBytes(test::WaveSpec{}, std::vector<std::uint8_t>(4 * kRate)));
  Steps(2 * kRate / kBlockFrames);
  const Moment change = Now();
  chain_->SetFile(silence);
  Steps(40);
  EXPECT_LE(SilenceAfter(change.Played), change.Held + kAllowance);
  EXPECT_EQ(chain_->TakeErrors(), std::vector<std::string>{});
}

}  // namespace
}  // namespace sib
