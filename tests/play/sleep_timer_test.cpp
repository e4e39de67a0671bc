// The sleep timer on the simulated device, with the output driving the chain as in sibilon-play (a
// second of prefill, blocks of 4096 frames, device periods of 16384 frames) and the timer's time the
// device's own clock. The recording holds one level throughout, so every frame played shows the gain
// it went out with, and the played record is what a listener hears, frame k at k / rate.
#include "player/sleep_timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <optional>

#include "platform/audio/simulated_wave_out.h"
#include "platform/ui/application.h"
#include "tests/audio/wave_fixtures.h"
#include "tools/noise_chain.h"

namespace sib {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kPrefillMs = 1000;
constexpr std::int32_t kBlockFrames = 4096;
constexpr std::uint32_t kPeriodFrames = 16384;
constexpr int kLevel = 6000;  // 30000 at level 100 (× 0.2)

struct SleepRow {
  const char* Name;
  double Minutes;
  double FadeStart;  // seconds after the start
};

std::ostream& operator<<(std::ostream& os, const SleepRow& row) { return os << row.Name; }

class SleepTimerTest : public ::testing::TestWithParam<SleepRow> {};

double Seconds(std::uint64_t AFrames) { return static_cast<double>(AFrames) / kRate; }

TEST_P(SleepTimerTest, TheFadeIsHeardAtItsTimeItsSilenceByTheEndAndNothingButSilenceIsLeft) {
  const SleepRow& row = GetParam();
  Application app;
  SimulatedWaveOut sim({.periodFrames = kPeriodFrames});
  ScopedWaveOutDriver driver{sim};
  test::TempFolder folder;
  std::vector<std::uint8_t> data;
  for (std::uint32_t i = 0; i < 2 * kRate; ++i) test::putLe(data, 30000, 2), test::putLe(data, 30000, 2);
  const std::string recording = folder.write("Level.wav", test::waveBytes(test::WaveSpec{}, data));

  NoiseChain::Options options;
  options.OutputPumps = true;
  options.PrefillMs = kPrefillMs;
  options.BlockFrames = kBlockFrames;
  NoiseChain chain(options);
  chain.SetLevel(100);
  SleepTimer timer(row.Minutes, {*chain.Player(), *chain.Fader(), *chain.Output()}, kPrefillMs, kBlockFrames);
  const auto now = [&] { return SleepTimer::TimePoint(sim.now()); };
  const SleepTimer::TimePoint started = now();
  chain.SetFile(recording);
  chain.Start();
  timer.Start(started);
  const double time = row.Minutes * 60;
  ASSERT_EQ(timer.Deadline() - started, std::chrono::duration_cast<SleepTimer::Duration>(std::chrono::duration<double>(time)));

  // The main loop, looking every 10 ms.
  std::optional<double> over;
  while (!over) {
    sim.advance(10ms);
    chain.Output()->WaitUntilDeviceIdle();
    app.ProcessMessages();
    timer.Update(now());
    if (timer.Over(now(), true)) over = std::chrono::duration<double>(now() - started).count();
    ASSERT_LT(now(), timer.Deadline() + SleepTimer::kGrace) << "no silence heard within the grace";
  }
  const std::uint64_t playedAtEnd = sim.playedFrames(0);
  // Stopped, the device plays out what it held.
  chain.Stop();
  sim.advance(3s);
  chain.Output()->WaitUntilDeviceIdle();
  EXPECT_EQ(chain.TakeErrors(), std::vector<std::string>{});

  const std::vector<std::byte> bytes = sim.played(0);
  std::vector<std::int16_t> left(bytes.size() / 4);
  for (std::size_t i = 0; i < left.size(); ++i) std::memcpy(&left[i], bytes.data() + 4 * i, 2);
  std::size_t sound = 0;
  while (sound < left.size() && left[sound] == 0) ++sound;
  ASSERT_LT(sound, left.size()) << "nothing was heard";
  std::size_t fall = sound;  // the first frame below the level
  while (fall < left.size() && left[fall] == kLevel) ++fall;
  std::size_t silence = fall;  // the first frame of the fade's silence
  while (silence < left.size() && left[silence] != 0) ++silence;
  ASSERT_LT(silence, left.size()) << "the fade never reached 0";
  for (std::size_t i = silence; i < left.size(); ++i) ASSERT_EQ(left[i], 0) << "sound after the fade's end, frame " << i;

  // The fade's first block goes out at the full level: it is heard from the block before the first fall.
  const double heardFadeStart = Seconds(fall - std::min<std::size_t>(fall - sound, kBlockFrames));
  const double heardEnd = Seconds(silence);
  const double period = Seconds(kPeriodFrames);
  const double block = Seconds(kBlockFrames);
  // Begun a lead ahead: what the output holds, within a period either way, and a block.
  EXPECT_GE(heardFadeStart, row.FadeStart - 2 * period - block);
  EXPECT_LE(heardFadeStart, std::max(row.FadeStart, Seconds(sound)) + block);
  // Over by the time; a fade that begins with the sound is heard from the device's first period.
  EXPECT_LE(heardEnd, time + (row.FadeStart == 0 ? period : 0.0));
  EXPECT_GE(heardEnd - heardFadeStart, 0.95 * (time - row.FadeStart)) << "the fade was cut short";
  // The timer runs out at its time, or once the device has taken the silence.
  EXPECT_GE(*over, time);
  EXPECT_LE(*over, std::max(time, heardEnd) + period + 0.01);
  EXPECT_GE(playedAtEnd, silence) << "over before the silence was heard";

  // Block by block, by one block's share of the fade as heard (and a unit of rounding), never up.
  const double step = kLevel * block / (heardEnd - heardFadeStart) + 1;
  int largest = 0;
  for (std::size_t i = fall; i < silence; ++i) {
    const int change = left[i - 1] - left[i];
    ASSERT_GE(change, 0) << "the level rose at frame " << i;
    ASSERT_LE(change, step) << "a step from " << left[i - 1] << " to " << left[i] << " at frame " << i;
    largest = std::max(largest, change);
  }
  std::printf("%s: fade heard from %.2f s to %.2f s, the timer over at %.2f s; largest step %d (share %.1f)\n",
              row.Name, heardFadeStart, heardEnd, *over, largest, step - 1);
}

INSTANTIATE_TEST_SUITE_P(Table, SleepTimerTest,
                         ::testing::Values(SleepRow{"SixSecondsAllFade", 0.1, 0.0},
                                           SleepRow{"FortySecondsTheLastThirtyFade", 40.0 / 60, 10.0}),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace sib
