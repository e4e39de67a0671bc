#include "platform/audio/wave_out.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "platform/audio/sdl_wave_out.h"
#include "platform/audio/simulated_wave_out.h"
#include "tests/platform/audio/wave_out_test_support.h"

namespace sib {
namespace {

using test::HeaderSet;
using test::MessageLog;
using test::pcmFormat;

class SdlDummyWaveOut : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(selectSdlAudioDriver("dummy"), kMMNoError); }
};

TEST_F(SdlDummyWaveOut, ListsItsDeviceByProductName) {
  ASSERT_GE(waveOutGetNumDevs(), 1u);
  WaveOutCaps caps;
  ASSERT_EQ(waveOutGetDevCaps(0, caps), kMMNoError);
  EXPECT_EQ(caps.productName, "System audio output device");
  EXPECT_EQ(waveOutGetDevCaps(waveOutGetNumDevs(), caps), kMMBadDeviceId);
}

TEST_F(SdlDummyWaveOut, CompletesBuffersInWriteOrderOnAnotherThreadBetweenOpenAndClose) {
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, kWaveMapper, pcmFormat(16, 2, 44100), log.callback()), kMMNoError);
  std::vector<std::byte> samples(441 * 4 * 5, std::byte{1});  // five buffers of 10 ms
  HeaderSet headers(samples, 4, {441});
  ASSERT_EQ(headers.prepareAndWriteAll(out), kMMNoError);
  ASSERT_TRUE(log.waitFor(kWomDone, headers.size()));
  ASSERT_EQ(headers.unprepareAll(out), kMMNoError);
  ASSERT_EQ(waveOutClose(out), kMMNoError);

  const auto messages = log.messages();
  ASSERT_EQ(messages.size(), headers.size() + 2);
  EXPECT_EQ(messages.front().message, kWomOpen);
  EXPECT_EQ(messages.back().message, kWomClose);  // delivered before close returned
  for (std::size_t i = 0; i < headers.size(); ++i) {
    EXPECT_EQ(messages[i + 1].header, headers[i]) << "buffer " << i;
    EXPECT_TRUE(headers[i]->isDone());
  }
  // The finished buffers come on the device's own thread; open and close on the caller's.
  for (const auto& m : messages) {
    EXPECT_EQ(m.handle, out);
    if (m.message == kWomDone) {
      EXPECT_NE(m.thread, std::this_thread::get_id());
    }
  }
}

TEST_F(SdlDummyWaveOut, ResetHandsBackEveryWrittenBufferAndRewinds) {
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, 0, pcmFormat(16, 1, 48000), log.callback(), WaveOutStart::Paused), kMMNoError);
  std::vector<std::byte> samples(48000 * 2, std::byte{3});
  HeaderSet headers(samples, 2, {12000});
  ASSERT_EQ(headers.prepareAndWriteAll(out), kMMNoError);
  WaveOutStatus status;
  ASSERT_EQ(waveOutGetStatus(out, status), kMMNoError);
  EXPECT_EQ(status.queuedFrames, 48000u);
  EXPECT_EQ(waveOutClose(out), kWaveStillPlaying);
  EXPECT_EQ(waveOutUnprepareHeader(out, headers[0]), kWaveStillPlaying);

  ASSERT_EQ(waveOutReset(out), kMMNoError);

  const auto done = log.done();  // all there when reset returns
  ASSERT_EQ(done.size(), headers.size());
  for (std::size_t i = 0; i < done.size(); ++i) EXPECT_EQ(done[i], headers[i]) << "buffer " << i;
  ASSERT_EQ(waveOutGetStatus(out, status), kMMNoError);
  EXPECT_EQ(status.playedFrames, 0u);
  EXPECT_EQ(status.queuedFrames, 0u);
  EXPECT_EQ(headers.unprepareAll(out), kMMNoError);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
}

TEST_F(SdlDummyWaveOut, PausedDeviceKeepsItsQueueUntilRestarted) {
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, kWaveMapper, pcmFormat(16, 1, 48000), log.callback()), kMMNoError);
  ASSERT_EQ(waveOutPause(out), kMMNoError);
  std::vector<std::byte> samples(480 * 2 * 3, std::byte{5});
  HeaderSet headers(samples, 2, {480});
  ASSERT_EQ(headers.prepareAndWriteAll(out), kMMNoError);
  WaveOutStatus status;
  ASSERT_EQ(waveOutGetStatus(out, status), kMMNoError);
  EXPECT_EQ(status.playedFrames, 0u);
  EXPECT_EQ(status.queuedFrames, 1440u);

  ASSERT_EQ(waveOutRestart(out), kMMNoError);
  ASSERT_TRUE(log.waitFor(kWomDone, headers.size()));
  ASSERT_EQ(waveOutGetStatus(out, status), kMMNoError);
  EXPECT_EQ(status.playedFrames, 1440u);
  ASSERT_EQ(headers.unprepareAll(out), kMMNoError);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
}

// A caller that times what it writes needs to know how much the device takes at once.
TEST_F(SdlDummyWaveOut, StatusTellsThePeriodTheDeviceTakesAtATime) {
  struct Row {
    std::uint32_t asked;
    std::uint32_t told;
  };
  const Row rows[] = {{0, 1024}, {4096, 4096}, {16384, 16384}};  // 0: the driver's own, about 20 ms
  MessageLog log;
  for (const Row& row : rows) {
    WaveOutHandle out = 0;
    ASSERT_EQ(waveOutOpen(&out, kWaveMapper, pcmFormat(16, 2, 44100), log.callback(), WaveOutStart::Paused, row.asked),
              kMMNoError);
    WaveOutStatus status;
    ASSERT_EQ(waveOutGetStatus(out, status), kMMNoError);
    EXPECT_EQ(status.periodFrames, row.told) << "asked for " << row.asked;
    ASSERT_EQ(waveOutClose(out), kMMNoError);
  }
  SimulatedWaveOut simulated({.periodFrames = 480});
  ScopedWaveOutDriver scoped(simulated);
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, 0, pcmFormat(16, 2, 48000), log.callback(), WaveOutStart::Paused, 4096), kMMNoError);
  WaveOutStatus status;
  ASSERT_EQ(waveOutGetStatus(out, status), kMMNoError);
  EXPECT_EQ(status.periodFrames, 480u) << "the simulated device takes its own period";
  ASSERT_EQ(waveOutClose(out), kMMNoError);
}

TEST_F(SdlDummyWaveOut, SecondOpenOfTheOnlyDeviceIsRefusedAsBusy) {
  MessageLog log;
  WaveOutHandle first = 0;
  WaveOutHandle second = 0;
  ASSERT_EQ(waveOutOpen(&first, 0, pcmFormat(16, 2, 44100), log.callback()), kMMNoError);
  EXPECT_EQ(waveOutOpen(&second, 0, pcmFormat(16, 2, 44100), log.callback()), kMMAllocated);
  EXPECT_EQ(waveOutClose(first), kMMNoError);
}

TEST_F(SdlDummyWaveOut, RemovedDeviceIsReportedOnceAndRefusesFurtherBuffers) {
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, kWaveMapper, pcmFormat(16, 2, 44100), log.callback(), WaveOutStart::Paused),
            kMMNoError);
  std::vector<std::byte> samples(4410 * 4, std::byte{7});
  HeaderSet headers(samples, 4, {4410});
  ASSERT_EQ(headers.prepareAndWriteAll(out), kMMNoError);

  SDL_Event removed{};
  removed.type = SDL_AUDIODEVICEREMOVED;
  removed.adevice.which = openSdlAudioDeviceIds().at(0);
  waveOutHandleSdlEvent(removed);
  waveOutHandleSdlEvent(removed);
  ASSERT_TRUE(log.waitFor(kWomDeviceLost, 1));

  WaveOutStatus status;
  ASSERT_EQ(waveOutGetStatus(out, status), kMMNoError);
  EXPECT_TRUE(status.deviceLost);
  WaveHeader late;
  late.data = samples.data();
  late.bufferLength = 4;
  ASSERT_EQ(waveOutPrepareHeader(out, &late), kMMNoError);
  EXPECT_EQ(waveOutWrite(out, &late), kMMNoDriver);
  // The caller can still take its buffers back and close.
  EXPECT_EQ(waveOutReset(out), kMMNoError);
  EXPECT_EQ(log.count(kWomDone), 1u);
  EXPECT_EQ(headers.unprepareAll(out), kMMNoError);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
  EXPECT_EQ(log.count(kWomDeviceLost), 1u);
}

// ---- failures as result codes ----

TEST_F(SdlDummyWaveOut, RefusesDeviceNumbersThatDoNotExist) {
  MessageLog log;
  const int count = static_cast<int>(waveOutGetNumDevs());
  for (int deviceId : {count, count + 5, -2, -1000}) {
    WaveOutHandle out = 0;
    EXPECT_EQ(waveOutOpen(&out, deviceId, pcmFormat(16, 2, 44100), log.callback()), kMMBadDeviceId)
        << "device " << deviceId;
  }
  EXPECT_EQ(log.messages().size(), 0u);
}

struct FormatCase {
  const char* what;
  WaveOutFormat format;
  MMResult expected;
};

class WaveOutFormats : public SdlDummyWaveOut, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(WaveOutFormats, OpenAcceptsOrRefusesTheFormat) {
  const FormatCase& row = GetParam();
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, kWaveMapper, row.format, log.callback()), row.expected) << row.what;
  if (row.expected == kMMNoError) {
    EXPECT_EQ(waveOutClose(out), kMMNoError);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, WaveOutFormats,
    ::testing::Values(FormatCase{"8-bit mono", pcmFormat(8, 1, 22050), kMMNoError},
                      FormatCase{"16-bit stereo", pcmFormat(16, 2, 44100), kMMNoError},
                      FormatCase{"24-bit 6 channels", pcmFormat(24, 6, 48000), kMMNoError},
                      FormatCase{"32-bit 8 channels", pcmFormat(32, 8, 96000), kMMNoError},
                      FormatCase{"float stereo", WaveOutFormat{WaveSampleType::Float, 2, 48000, 32, 8}, kMMNoError},
                      FormatCase{"12-bit", WaveOutFormat{WaveSampleType::Pcm, 1, 44100, 12, 2}, kWaveBadFormat},
                      FormatCase{"no channels", WaveOutFormat{WaveSampleType::Pcm, 0, 44100, 16, 0}, kWaveBadFormat},
                      FormatCase{"9 channels", pcmFormat(16, 9, 44100), kWaveBadFormat},
                      FormatCase{"block align off", WaveOutFormat{WaveSampleType::Pcm, 2, 44100, 16, 3}, kWaveBadFormat},
                      FormatCase{"16-bit float", WaveOutFormat{WaveSampleType::Float, 1, 44100, 16, 2}, kWaveBadFormat},
                      FormatCase{"rate 0", pcmFormat(16, 2, 0), kWaveBadFormat}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

TEST_F(SdlDummyWaveOut, CallsOnAClosedOrUnknownHandleAreRefused) {
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, kWaveMapper, pcmFormat(16, 2, 44100), log.callback()), kMMNoError);
  ASSERT_EQ(waveOutClose(out), kMMNoError);
  WaveHeader header;
  WaveOutStatus status;
  for (WaveOutHandle handle : {out, WaveOutHandle{0}, WaveOutHandle{987654}}) {
    EXPECT_EQ(waveOutPrepareHeader(handle, &header), kMMInvalidHandle) << handle;
    EXPECT_EQ(waveOutWrite(handle, &header), kMMInvalidHandle) << handle;
    EXPECT_EQ(waveOutPause(handle), kMMInvalidHandle) << handle;
    EXPECT_EQ(waveOutRestart(handle), kMMInvalidHandle) << handle;
    EXPECT_EQ(waveOutReset(handle), kMMInvalidHandle) << handle;
    EXPECT_EQ(waveOutGetStatus(handle, status), kMMInvalidHandle) << handle;
    EXPECT_EQ(waveOutClose(handle), kMMInvalidHandle) << handle;
  }
}

TEST_F(SdlDummyWaveOut, HeadersMustBePreparedAndNotQueuedTwice) {
  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, kWaveMapper, pcmFormat(16, 2, 44100), log.callback(), WaveOutStart::Paused),
            kMMNoError);
  std::vector<std::byte> samples(64);
  WaveHeader header;
  header.data = samples.data();
  header.bufferLength = static_cast<std::uint32_t>(samples.size());
  EXPECT_EQ(waveOutWrite(out, &header), kWaveUnprepared);
  EXPECT_EQ(waveOutWrite(out, nullptr), kMMInvalidParam);
  ASSERT_EQ(waveOutPrepareHeader(out, &header), kMMNoError);
  ASSERT_EQ(waveOutWrite(out, &header), kMMNoError);
  EXPECT_EQ(waveOutWrite(out, &header), kWaveStillPlaying);
  ASSERT_EQ(waveOutReset(out), kMMNoError);
  EXPECT_EQ(waveOutUnprepareHeader(out, &header), kMMNoError);
  EXPECT_EQ(waveOutClose(out), kMMNoError);
}

TEST(WaveOutErrorText, EveryCodeHasItsOwnTextAndUnknownCodesShowTheirNumber) {
  std::set<std::string> texts;
  for (MMResult code : {kMMNoError, kMMError, kMMBadDeviceId, kMMAllocated, kMMInvalidHandle, kMMNoDriver,
                        kMMNoMemory, kMMInvalidParam, kWaveBadFormat, kWaveStillPlaying, kWaveUnprepared}) {
    EXPECT_TRUE(texts.insert(waveOutErrorText(code)).second) << code;
  }
  EXPECT_NE(waveOutErrorText(4242).find("4242"), std::string::npos);
}

TEST(WaveOutCaps, ProductNamesAreCutToThirtyOneCharacters) {
  SimulatedWaveOut simulated(SimulatedWaveOut::Options{
      {"A very long product name of forty-one chars", "Ünïcödé speakers with a long, long name", "Short"}});
  ScopedWaveOutDriver use(simulated);
  ASSERT_EQ(waveOutGetNumDevs(), 3u);
  WaveOutCaps caps;
  ASSERT_EQ(waveOutGetDevCaps(0, caps), kMMNoError);
  EXPECT_EQ(caps.productName, "A very long product name of for");
  ASSERT_EQ(waveOutGetDevCaps(1, caps), kMMNoError);
  EXPECT_EQ(caps.productName, "Ünïcödé speakers with a long, l");
  ASSERT_EQ(waveOutGetDevCaps(2, caps), kMMNoError);
  EXPECT_EQ(caps.productName, "Short");
}

// ---- the disk driver: what reaches the device ----

struct DiskCase {
  const char* what;
  std::uint16_t bits;
  std::uint16_t channels;
  int deviceBits;
};

class SdlDiskWaveOut : public ::testing::TestWithParam<DiskCase> {
 protected:
  void SetUp() override { ASSERT_EQ(disk_.selected(), kMMNoError); }
  std::vector<std::byte> fileBytes() const { return disk_.bytes(); }

  test::DiskAudioCapture disk_{"0"};
};

TEST_P(SdlDiskWaveOut, DeviceReceivesExactlyTheWrittenSamplesInOrder) {
  const DiskCase& row = GetParam();
  const std::size_t frames = 20000;
  const auto values = test::nonZeroSamples(frames * row.channels, row.bits);
  const auto bytes = test::encodeSamples(values, row.bits);
  const std::size_t blockAlign = row.channels * row.bits / 8u;

  MessageLog log;
  WaveOutHandle out = 0;
  ASSERT_EQ(waveOutOpen(&out, 0, pcmFormat(row.bits, row.channels, 44100), log.callback(), WaveOutStart::Paused),
            kMMNoError);
  HeaderSet headers(bytes, blockAlign, {1000, 333, 4097, 1});  // boundaries fall anywhere in a device period
  ASSERT_EQ(headers.prepareAndWriteAll(out), kMMNoError);
  ASSERT_EQ(waveOutRestart(out), kMMNoError);
  ASSERT_TRUE(log.waitFor(kWomDone, headers.size()));
  ASSERT_EQ(headers.unprepareAll(out), kMMNoError);
  ASSERT_EQ(waveOutClose(out), kMMNoError);

  const auto played = test::decodeDeviceSamples(fileBytes(), row.deviceBits);
  const int widen = row.deviceBits == row.bits ? 0 : row.deviceBits - row.bits;
  const auto first = std::find_if(played.begin(), played.end(), [](std::int32_t v) { return v != 0; });
  ASSERT_GE(static_cast<std::size_t>(played.end() - first), values.size()) << row.what;
  for (std::size_t i = 0; i < values.size(); ++i) {
    ASSERT_EQ(first[static_cast<std::ptrdiff_t>(i)], static_cast<std::int32_t>(
                                                         static_cast<std::uint32_t>(values[i]) << widen))
        << row.what << ", sample " << i;
  }
  EXPECT_TRUE(std::all_of(first + static_cast<std::ptrdiff_t>(values.size()), played.end(),
                          [](std::int32_t v) { return v == 0; }))
      << row.what << ": only silence after the stream";
}

INSTANTIATE_TEST_SUITE_P(Table, SdlDiskWaveOut,
                         ::testing::Values(DiskCase{"16-bit stereo", 16, 2, 16}, DiskCase{"24-bit stereo", 24, 2, 32},
                                           DiskCase{"8-bit mono", 8, 1, 8}),
                         [](const auto& info) {
                           return std::to_string(info.param.bits) + "bit" + std::to_string(info.param.channels) + "ch";
                         });

}  // namespace
}  // namespace sib
