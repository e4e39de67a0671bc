// The program's pipeline under a storm of the window's actions while it plays: the player's clock
// thread producing blocks and the output's device thread (SDL's dummy driver, in real time) releasing
// them, while the main thread starts, stops, enables and disables, pauses, changes the level and
// switches files. The pipeline must keep delivering audio whenever it is started again, must not
// pile blocks up, and must hand every block back once it is gone.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "platform/audio/rate_interpolator.h"
#include "platform/audio/sdl_wave_out.h"
#include "platform/ui/application.h"
#include "signal/buffer_pool.h"
#include "signal/pool_timer.h"
#include "signal/smart_buffer.h"
#include "tests/play/run_loop.h"
#include "tools/noise_chain.h"

namespace sib {
namespace {

using namespace std::chrono_literals;

constexpr int kRounds = 1000;
// How often a round waits for the player's clock to deliver a block, and how often the chain is
// started and must be heard, so that the actions interleave with real production and playback.
constexpr int kBlockEvery = 8;
constexpr int kHearEvery = 100;
// Generous bounds for the conditions waited on: exceeding one means the pipeline is wedged.
constexpr auto kBlockLimit = 3s;
constexpr auto kHearLimit = 10s;
// Far above what a chain that keeps pace holds (the prefill and two device buffers): more means
// blocks pile up somewhere.
constexpr std::int64_t kMaxLiveBlocks = 256;

const std::array<std::string, 3> kRecordings = {"Brown.wav", "Pink.wav", "White.wav"};

std::string Recording(const std::string& AName) { return std::string(SIB_DATA_DIR) + "/" + AName; }

enum class Action { Start, Stop, ToggleOutput, TogglePlayer, TogglePause, Level, File, Count };

const char* ActionName(Action AAction) {
  static constexpr std::array<const char*, static_cast<int>(Action::Count)> names = {
      "start", "stop", "toggle output", "toggle player", "toggle pause", "level", "file"};
  return names[static_cast<int>(AAction)];
}

class NoiseChainStress : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(selectSdlAudioDriver("dummy"), kMMNoError);
    // Free pooled memory is not a live block, but compare held bytes only with the pool emptied.
    TSLSmartBufferManager::Instance().ReleaseMemory();
    FBaseBlocks = TSLSmartBuffer::LiveBlocks();
    FBaseBytes = TSLSmartBufferManager::Instance().BytesHeld();
    FChain = std::make_unique<NoiseChain>();
  }

  // Runs the main loop until ADone holds or ALimit has passed; returns whether it held.
  bool RunUntil(const std::function<bool()>& ADone, std::chrono::milliseconds ALimit) {
    return test::RunUntilSeen(FApp, ADone, ALimit);
  }

  std::uint64_t PlayedFrames() {
    WaveOutStatus status;
    return FChain->Output()->GetDeviceStatus(status) ? status.playedFrames : 0;
  }

  // A steered device keeps the interpolator's half window of frames until more follow.
  bool DeviceHoldsNothing() {
    WaveOutStatus status;
    return !FChain->Output()->GetDeviceStatus(status) || status.queuedFrames <= RateInterpolator::kHalfTaps;
  }

  void NotePeakBlocks() { FPeakBlocks = std::max(FPeakBlocks, TSLSmartBuffer::LiveBlocks() - FBaseBlocks); }

  // Starts the chain as the window does after a noise choice and waits until the device has played
  // more of it.
  bool StartAndHear(const std::string& AFile) {
    FChain->SetFile(AFile);
    FChain->Start();
    const std::uint64_t before = PlayedFrames();
    return RunUntil(
        [&] {
          NotePeakBlocks();
          return PlayedFrames() > before;
        },
        kHearLimit);
  }

  bool Producing() {
    TALWavePlayer* player = FChain->Player();
    return player->Enabled() && !player->Paused() && player->Opened();
  }

  // Waits for the player's clock to deliver the next block (its position moves on).
  bool NextBlock() {
    const std::int64_t before = FChain->Player()->CurrentSample();
    return RunUntil([&] { return FChain->Player()->CurrentSample() != before; }, kBlockLimit);
  }

  void Perform(Action AAction, std::mt19937& ARandom, std::string& AFile) {
    TALWavePlayer* player = FChain->Player();
    TALAudioOut* output = FChain->Output();
    switch (AAction) {
      case Action::Start:
        FChain->Start();
        break;
      case Action::Stop:
        FChain->Stop();
        break;
      case Action::ToggleOutput:
        output->SetEnabled(!output->Enabled());
        break;
      case Action::TogglePlayer:
        player->SetEnabled(!player->Enabled());
        break;
      case Action::TogglePause:
        player->SetPaused(!player->Paused());
        break;
      case Action::Level:
        FChain->SetLevel(static_cast<double>(ARandom() % 101));
        break;
      case Action::File:
        AFile = Recording(kRecordings[ARandom() % kRecordings.size()]);
        FChain->SetFile(AFile);
        break;
      case Action::Count:
        break;
    }
  }

  // Made first and gone last: the chain's main-thread notifications and the pool's timer belong to it.
  Application FApp;
  TSLPoolTrimming FTrimming;
  std::int64_t FBaseBlocks = 0;
  std::size_t FBaseBytes = 0;
  std::int64_t FPeakBlocks = 0;
  std::unique_ptr<NoiseChain> FChain;
};

TEST_F(NoiseChainStress, ActionsWhilePlayingNeitherWedgeThePipelineNorLeaveBlocksBehind) {
  std::string file = Recording("Pink.wav");
  FChain->SetLevel(50);
  ASSERT_TRUE(StartAndHear(file)) << "the chain never played before the storm";

  std::mt19937 random(20240611);
  std::array<int, static_cast<int>(Action::Count)> performed{};
  int blocksSeen = 0;
  for (int round = 1; round <= kRounds; ++round) {
    const auto action = static_cast<Action>(random() % static_cast<unsigned>(Action::Count));
    SCOPED_TRACE(testing::Message() << "round " << round << ": " << ActionName(action));
    Perform(action, random, file);
    ++performed[static_cast<int>(action)];
    FApp.ProcessMessages();
    NotePeakBlocks();
    if (round % kBlockEvery == 0 && Producing()) {
      ASSERT_TRUE(NextBlock()) << "the player's clock delivers no more blocks";
      ++blocksSeen;
    }
    if (round % kHearEvery == 0) {
      ASSERT_TRUE(StartAndHear(file)) << "started again, the chain stays silent";
    }
    ASSERT_LE(TSLSmartBuffer::LiveBlocks() - FBaseBlocks, kMaxLiveBlocks) << "blocks pile up";
  }
  for (int kind = 0; kind < static_cast<int>(Action::Count); ++kind)
    EXPECT_GT(performed[kind], 0) << ActionName(static_cast<Action>(kind)) << " never came up";
  EXPECT_GT(blocksSeen, 0);

  FChain->Stop();
  EXPECT_TRUE(RunUntil([&] { return DeviceHoldsNothing(); }, kHearLimit)) << "the device never played out";
  EXPECT_EQ(FChain->TakeErrors(), std::vector<std::string>{});
  EXPECT_EQ(FChain->TakeWarnings(), std::vector<std::string>{});
  FChain.reset();
  FApp.ProcessMessages();

  EXPECT_EQ(TSLSmartBuffer::LiveBlocks(), FBaseBlocks) << "at most " << FPeakBlocks << " blocks were alive at once";
  TSLSmartBufferManager::Instance().ReleaseMemory();
  EXPECT_EQ(TSLSmartBufferManager::Instance().BytesHeld(), FBaseBytes);
  RecordProperty("LiveBlocksBefore", static_cast<int>(FBaseBlocks));
  RecordProperty("LiveBlocksAfter", static_cast<int>(TSLSmartBuffer::LiveBlocks()));
  RecordProperty("PeakLiveBlocksAboveBefore", static_cast<int>(FPeakBlocks));
}

}  // namespace
}  // namespace sib
