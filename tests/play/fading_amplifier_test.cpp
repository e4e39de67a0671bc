// The headless player's amplifier between a producer and a consumer: without a fade it is the plain
// amplifier; after FadeOut each block is scaled by the level and by the share of the fade still ahead
// at its first frame, so the level falls by at most one block's share per block and ends at 0.
#include "audio/fading_amplifier.h"

#include <gtest/gtest.h>

#include "tests/audio/audio_chain.h"

namespace sib {
namespace {

using test::Received;

constexpr std::uint32_t kRate = 1000;
constexpr std::int16_t kSample = 10000;

struct Chain {
  TComponentPtr<test::TTestAudioProducer> producer = MakeComponent<test::TTestAudioProducer>();
  TComponentPtr<TFadingAmplifier> amp = MakeComponent<TFadingAmplifier>();
  TComponentPtr<test::TTestAudioConsumer<>> consumer = MakeComponent<test::TTestAudioConsumer<>>();

  Chain() {
    EXPECT_TRUE(amp->InputPin()->Connect(producer->OutputPin()));
    EXPECT_TRUE(consumer->InputPin()->Connect(amp->OutputPin()));
    const TALWaveFormatExtensible format = test::stereo16Format(kRate);
    producer->OutputPin()->Notify(newOperation<TOWStartWaveOperation>(&format, false));
  }
  // A block of `frames` frames of kSample; the value every sample of it reached the consumer with.
  std::int16_t Block(std::size_t frames) {
    producer->OutputPin()->SubmitBuffer(
        test::stereo16(std::vector<std::int16_t>(2 * frames, kSample), kRate)->AsDataIntf());
    const std::vector<Received> log = consumer->Log();
    const std::vector<std::int16_t>& samples = log.back().Samples;
    EXPECT_EQ(samples.size(), 2 * frames);
    for (std::int16_t sample : samples) EXPECT_EQ(sample, samples.front()) << "a block holds one level";
    return samples.front();
  }
};

TEST(FadingAmplifier, WithoutAFadeScalesByTheLevelAlone) {
  Chain chain;
  chain.amp->SetCoefficient(0.16);
  EXPECT_EQ(chain.Block(100), 1600);
  EXPECT_EQ(chain.Block(100), 1600);
  EXPECT_FALSE(chain.amp->FadedOut());
}

TEST(FadingAmplifier, AFadeFallsByEachBlocksShareAndEndsSilentForGood) {
  Chain chain;
  chain.amp->SetCoefficient(0.5);
  EXPECT_EQ(chain.Block(100), 5000);
  int silent = 0;
  chain.amp->FadeOut(1.0, [&] { ++silent; });  // 1000 frames
  struct Row {
    std::size_t Frames;
    std::int16_t Level;  // 5000 × the share of the fade ahead at the block's first frame
  };
  const Row rows[] = {
      {100, 5000}, {100, 4500}, {30, 4000}, {100, 3850},  // a short block (the end of a pass) moves less
      {100, 3350}, {100, 2850}, {100, 2350}, {100, 1850}, {100, 1350}, {100, 850}, {70, 350}, {100, 0}, {100, 0},
  };
  std::uint64_t silentFrames = 0;
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(chain.Block(rows[i].Frames), rows[i].Level) << "block " << i;
    EXPECT_EQ(chain.amp->FadedOut(), rows[i].Level == 0) << "block " << i;
    EXPECT_EQ(silent, rows[i].Level == 0 ? 1 : 0) << "block " << i;
    if (rows[i].Level == 0) silentFrames += rows[i].Frames;
    EXPECT_EQ(chain.amp->SilentFrames(), silentFrames) << "block " << i;
  }
  // Asking again does not start it over.
  chain.amp->FadeOut(1.0);
  EXPECT_EQ(chain.Block(100), 0);
  EXPECT_EQ(chain.amp->SilentFrames(), silentFrames + 100);
}

TEST(FadingAmplifier, ALevelChangedDuringTheFadeFadesFromTheNewLevel) {
  Chain chain;
  chain.amp->SetCoefficient(0.5);
  chain.amp->FadeOut(0.4);  // 400 frames
  EXPECT_EQ(chain.Block(100), 5000);
  EXPECT_EQ(chain.Block(100), 3750);
  chain.amp->SetCoefficient(0.2);
  EXPECT_EQ(chain.Block(100), 1000);
  EXPECT_EQ(chain.Block(100), 500);
  EXPECT_EQ(chain.Block(100), 0);
}

// The window's sleep timer ends a fade when it ends: the next block plays at the full level again,
// whether the fade was under way or over, and a later fade starts afresh.
TEST(FadingAmplifier, ACancelledFadeLeavesTheFullLevelAndALaterFadeStartsAfresh) {
  Chain chain;
  chain.amp->SetCoefficient(0.5);
  chain.amp->FadeOut(0.2);  // 200 frames
  EXPECT_EQ(chain.Block(100), 5000);
  EXPECT_EQ(chain.Block(100), 2500);
  chain.amp->CancelFade();
  EXPECT_EQ(chain.Block(100), 5000);
  chain.amp->FadeOut(0.2);
  EXPECT_EQ(chain.Block(100), 5000);
  EXPECT_EQ(chain.Block(100), 2500);
  EXPECT_EQ(chain.Block(100), 0);
  EXPECT_TRUE(chain.amp->FadedOut());
  chain.amp->CancelFade();
  EXPECT_FALSE(chain.amp->FadedOut());
  EXPECT_EQ(chain.amp->SilentFrames(), 0u);
  EXPECT_EQ(chain.Block(100), 5000);
}

}  // namespace
}  // namespace sib
