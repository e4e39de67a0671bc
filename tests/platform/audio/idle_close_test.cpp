// A stream with nothing to play lets its device go, so that no thread of the driver runs for a silent
// output, and takes it again when it has something to play; the caller sees an open stream throughout.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cctype>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "platform/audio/sdl_wave_out.h"
#include "platform/audio/simulated_wave_out.h"
#include "platform/audio/wave_out.h"
#include "tests/platform/audio/wave_out_test_support.h"

namespace sib {
namespace {

using namespace std::chrono_literals;
using test::HeaderSet;
using test::MessageLog;
using test::pcmFormat;

constexpr std::uint32_t kIdleMs = 100;

SimulatedWaveOut::Options idleClosing() { return {.periodFrames = 480, .idleMsBeforeClosing = kIdleMs}; }

std::vector<std::byte> numberedFrames(std::size_t frames, std::int16_t first) {
  std::vector<std::int32_t> values(frames);
  for (std::size_t i = 0; i < frames; ++i) values[i] = first + static_cast<std::int32_t>(i);
  return test::encodeSamples(values, 16);
}

// The non-silent samples of a 16-bit mono record, in the order played.
std::vector<std::int32_t> soundOf(const std::vector<std::byte>& played) {
  std::vector<std::int32_t> sound;
  for (std::int32_t v : test::decodeDeviceSamples(played, 16)) {
    if (v != 0) sound.push_back(v);
  }
  return sound;
}

struct IdleCase {
  const char* what;
  bool paused;
  bool bufferHeld;  // a buffer written while paused, still queued
  bool letsGo;
};

class IdleDevice : public ::testing::TestWithParam<IdleCase> {};

TEST_P(IdleDevice, IsLetGoOnlyWhenNothingIsQueued) {
  const IdleCase& row = GetParam();
  SimulatedWaveOut simulated(idleClosing());
  ScopedWaveOutDriver use(simulated);
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, 0, pcmFormat(16, 1, 48000), log.callback(),
                        row.paused ? WaveOutStart::Paused : WaveOutStart::Running),
            kMMNoError);
  HeaderSet headers(numberedFrames(480, 1), 2, {480});
  if (row.bufferHeld) {
    ASSERT_EQ(headers.prepareAndWriteAll(out), kMMNoError);
  }

  simulated.advance(std::chrono::milliseconds(kIdleMs + 20));

  // The decision is taken as the device renders: a device kept stays open from here on.
  if (row.letsGo) {
    EXPECT_TRUE(simulated.waitUntilOpen(0, false, 20s)) << row.what;
  } else {
    EXPECT_TRUE(simulated.isOpen(0)) << row.what;
  }
  WaveOutStatus status;
  EXPECT_EQ(waveOutGetStatus(out, status), kMMNoError) << row.what << ": the stream stays open for its caller";
  EXPECT_EQ(status.periodFrames, 480u) << row.what;
  ASSERT_EQ(waveOutReset(out), kMMNoError);
  EXPECT_EQ(headers.unprepareAll(out), kMMNoError);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
  EXPECT_FALSE(simulated.isOpen(0));
  EXPECT_EQ(log.count(kWomClose), 1u);
}

INSTANTIATE_TEST_SUITE_P(Table, IdleDevice,
                         ::testing::Values(IdleCase{"running, empty", false, false, true},
                                           IdleCase{"paused, empty", true, false, true},
                                           IdleCase{"paused, holding a buffer", true, true, false}),
                         [](const auto& info) {
                           std::string name = info.param.what;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(IdleDevice, IsTakenAgainForAWriteWhileRunningAndPlaysEveryFrameOnceInOrder) {
  SimulatedWaveOut simulated(idleClosing());
  ScopedWaveOutDriver use(simulated);
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, 0, pcmFormat(16, 1, 48000), log.callback()), kMMNoError);
  HeaderSet first(numberedFrames(960, 1), 2, {480});
  ASSERT_EQ(first.prepareAndWriteAll(out), kMMNoError);
  simulated.advance(std::chrono::milliseconds(20 + kIdleMs + 20));
  ASSERT_TRUE(simulated.waitUntilOpen(0, false, 20s));
  ASSERT_TRUE(log.waitFor(kWomDone, 2));

  HeaderSet second(numberedFrames(960, 961), 2, {480});
  ASSERT_EQ(second.prepareAndWriteAll(out), kMMNoError);
  ASSERT_TRUE(simulated.waitUntilOpen(0, true, 20s));
  simulated.advance(20ms);
  ASSERT_TRUE(log.waitFor(kWomDone, 4));
  EXPECT_EQ(simulated.opens(0), 2u);

  const std::vector<std::int32_t> sound = soundOf(simulated.played(0));
  ASSERT_EQ(sound.size(), 1920u);
  for (std::size_t i = 0; i < sound.size(); ++i) ASSERT_EQ(sound[i], static_cast<std::int32_t>(i + 1)) << "frame " << i;
  WaveOutStatus status;
  ASSERT_EQ(waveOutGetStatus(out, status), kMMNoError);
  EXPECT_EQ(status.playedFrames, 1920u);
  ASSERT_EQ(first.unprepareAll(out), kMMNoError);
  ASSERT_EQ(second.unprepareAll(out), kMMNoError);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
}

TEST(IdleDevice, WaitsForTheRestartOfAPausedStreamBeforeItIsTakenAgain) {
  SimulatedWaveOut simulated(idleClosing());
  ScopedWaveOutDriver use(simulated);
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, 0, pcmFormat(16, 1, 48000), log.callback(), WaveOutStart::Paused), kMMNoError);
  simulated.advance(std::chrono::milliseconds(kIdleMs + 20));
  ASSERT_TRUE(simulated.waitUntilOpen(0, false, 20s));

  HeaderSet headers(numberedFrames(480, 1), 2, {480});
  ASSERT_EQ(headers.prepareAndWriteAll(out), kMMNoError);
  EXPECT_FALSE(simulated.isOpen(0)) << "nothing plays while paused";
  EXPECT_EQ(simulated.opens(0), 1u);

  ASSERT_EQ(waveOutRestart(out), kMMNoError);
  ASSERT_TRUE(simulated.waitUntilOpen(0, true, 20s));
  simulated.advance(10ms);
  ASSERT_TRUE(log.waitFor(kWomDone, 1));
  ASSERT_EQ(headers.unprepareAll(out), kMMNoError);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
}

// A device that is gone when the stream wants it back is reported as lost, once.
TEST(IdleDevice, ThatCannotBeTakenAgainIsReportedLost) {
  SimulatedWaveOut::Options options = idleClosing();
  SimulatedWaveOut simulated(options);
  ScopedWaveOutDriver use(simulated);
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, 0, pcmFormat(16, 1, 48000), log.callback()), kMMNoError);
  simulated.advance(std::chrono::milliseconds(kIdleMs + 20));
  ASSERT_TRUE(simulated.waitUntilOpen(0, false, 20s));
  // Another client takes the only device meanwhile.
  MessageLog otherLog;
  WaveOutHandle other = 0;
  ASSERT_EQ(waveOutOpen(&other, 0, pcmFormat(16, 1, 48000), otherLog.callback(), WaveOutStart::Paused), kMMNoError);

  HeaderSet headers(numberedFrames(480, 1), 2, {480});
  ASSERT_EQ(headers.prepareAndWriteAll(out), kMMNoError);
  ASSERT_TRUE(log.waitFor(kWomDeviceLost, 1));
  WaveOutStatus status;
  ASSERT_EQ(waveOutGetStatus(out, status), kMMNoError);
  EXPECT_TRUE(status.deviceLost);
  ASSERT_EQ(waveOutReset(out), kMMNoError);
  ASSERT_EQ(headers.unprepareAll(out), kMMNoError);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
  EXPECT_EQ(waveOutClose(other), kMMNoError);
  EXPECT_EQ(log.count(kWomDeviceLost), 1u);
}

// SDL's audio threads of this process ("SDLAudioP<n>" for playback devices).
int sdlAudioThreads() {
  int count = 0;
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return -1;
  while (const dirent* entry = readdir(tasks)) {
    std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
    std::string name;
    if (std::getline(comm, name) && name.rfind("SDLAudioP", 0) == 0) ++count;
  }
  closedir(tasks);
  return count;
}

// SDL names its thread once it runs, and ends it when the device closes: the wait is for either,
// bounded for a stuck machine.
bool waitForSdlAudioThreads(int count, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (sdlAudioThreads() != count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(SdlIdleDevice, DrainedStreamEndsSdlsAudioThreadAndPlaysAgainOnTheNextWrite) {
  ASSERT_EQ(selectSdlAudioDriver("dummy"), kMMNoError);
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, kWaveMapper, pcmFormat(16, 2, 44100), log.callback()), kMMNoError);
  ASSERT_TRUE(waitForSdlAudioThreads(1, 20s)) << "SDL runs a thread for an open device";
  HeaderSet first(std::vector<std::byte>(441 * 4 * 2, std::byte{1}), 4, {441});
  ASSERT_EQ(first.prepareAndWriteAll(out), kMMNoError);
  ASSERT_TRUE(log.waitFor(kWomDone, 2));
  ASSERT_TRUE(waitForSdlAudioThreads(0, 20s)) << "SDL's thread still runs for a drained stream";
  EXPECT_TRUE(openSdlAudioDeviceIds().empty());

  HeaderSet second(std::vector<std::byte>(441 * 4 * 2, std::byte{2}), 4, {441});
  ASSERT_EQ(second.prepareAndWriteAll(out), kMMNoError);
  ASSERT_TRUE(log.waitFor(kWomDone, 4));
  EXPECT_EQ(log.count(kWomDeviceLost), 0u);
  ASSERT_EQ(first.unprepareAll(out), kMMNoError);
  ASSERT_EQ(second.unprepareAll(out), kMMNoError);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
  EXPECT_TRUE(waitForSdlAudioThreads(0, 20s));
}

}  // namespace
}  // namespace sib
