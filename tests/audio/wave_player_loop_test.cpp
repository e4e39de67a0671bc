// A looped player on short files that sox codes in every format the reader decodes, mono and stereo:
// block after block, across several wraps, what the player hands on must be sox's own decode of the
// file, frame for frame, with nothing lost and nothing added at the wrap.
#include "audio/wave_player.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/timer/media_timer.h"
#include "platform/ui/application.h"
#include "tests/audio/audio_chain.h"
#include "tests/platform/media/wave_fixtures.h"

namespace sib {
namespace {

struct LoopRow {
  const char* name;
  const char* encode;  // sox output options that code the 16-bit source
  int channels;
  double seconds;
};

std::ostream& operator<<(std::ostream& os, const LoopRow& row) {
  return os << row.name << ", " << row.channels << " channel(s), " << row.seconds << " s";
}

class WavePlayerLoop : public ::testing::TestWithParam<LoopRow> {
 protected:
  Application app;
  ManualTickSource ticks;
  ScopedMediaTickSource scopedTicks{ticks};
  test::TempDir dir;
  TComponentPtr<test::TTestAudioConsumer<>> consumer = MakeComponent<test::TTestAudioConsumer<>>();
  TComponentPtr<TALWavePlayer> player = MakeComponent<TALWavePlayer>();
};

TEST_P(WavePlayerLoop, EveryWrapHandsOnSoxsDecodeOfTheWholeFileWithNothingLostOrAdded) {
  const LoopRow& row = GetParam();
  const std::string source = dir.file("source.wav");
  const std::string coded = dir.file("coded.wav");
  const std::string reference = dir.file("reference.wav");
  ASSERT_TRUE(test::sox("-n -r 44100 -b 16 -c " + std::to_string(row.channels) + " " + source + " synth " +
                        std::to_string(row.seconds) + " pinknoise vol 0.5"))
      << "sox is needed (scripts/setup installs it)";
  ASSERT_TRUE(test::sox(source + " " + row.encode + " " + coded));
  ASSERT_TRUE(test::sox(coded + " -e signed-integer -b 16 " + reference));
  const std::vector<std::int16_t> expected = test::readPcm16(reference);
  const std::size_t frames = expected.size() / static_cast<std::size_t>(row.channels);
  ASSERT_GT(frames, 1000u);

  ASSERT_TRUE(consumer->InputPin()->Connect(player->OutputPin()));
  player->SetLoop(true);
  player->SetFileName(coded);
  ASSERT_TRUE(player->Opened());
  EXPECT_EQ(player->SamplesCount(), static_cast<std::int64_t>(frames));
  constexpr std::size_t kWraps = 5;
  std::vector<std::int16_t> played;
  while (played.size() < (kWraps + 1) * expected.size()) {
    const std::size_t before = played.size();
    player->ProcessBuffer();
    const std::vector<test::Received> log = consumer->Log();
    played.clear();
    for (const test::Received& r : log)
      if (r.Kind == "buffer") played.insert(played.end(), r.Samples.begin(), r.Samples.end());
    ASSERT_GT(played.size(), before) << "the player stopped producing";
  }
  for (std::size_t i = 0; i < played.size(); ++i) {
    ASSERT_EQ(played[i], expected[i % expected.size()])
        << "wrap " << i / expected.size() << ", frame " << (i % expected.size()) / row.channels << " of " << frames;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WavePlayerLoop,
    ::testing::Values(LoopRow{"pcm", "-e signed-integer -b 16", 2, 0.6}, LoopRow{"ima", "-e ima-adpcm", 2, 0.6},
                      LoopRow{"ima", "-e ima-adpcm", 1, 0.6}, LoopRow{"ima", "-e ima-adpcm", 2, 0.31},
                      LoopRow{"msadpcm", "-e ms-adpcm", 2, 0.6}, LoopRow{"msadpcm", "-e ms-adpcm", 1, 0.6},
                      LoopRow{"msadpcm", "-e ms-adpcm", 1, 0.27}, LoopRow{"alaw", "-e a-law", 2, 0.6},
                      LoopRow{"alaw", "-e a-law", 1, 0.6}, LoopRow{"ulaw", "-e u-law", 2, 0.6},
                      LoopRow{"ulaw", "-e u-law", 1, 0.6}, LoopRow{"float", "-e floating-point -b 32", 2, 0.6},
                      LoopRow{"float", "-e floating-point -b 32", 1, 0.6}),
    [](const ::testing::TestParamInfo<LoopRow>& info) {
      return std::string(info.param.name) + "_" + std::to_string(info.param.channels) + "ch_" +
             std::to_string(static_cast<int>(info.param.seconds * 100));
    });

}  // namespace
}  // namespace sib
