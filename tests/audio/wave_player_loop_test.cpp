// A looped player on short files that sox codes in every format the reader decodes, mono and stereo:
// block after block, across several wraps, what the player hands on must be sox's own decode of the
// file, frame for frame, with nothing lost and nothing added at the wrap; whether a caller asks for
// the blocks one at a time, or a driving receiver asks for the next block while each is delivered
// (as an output does while it prefills), from the start-pump on.
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

// Claims the pump and, from the start-pump on, asks for the next block while each one is delivered,
// until it holds ATarget samples.
class TTestNestedPump : public TLPComponent {
 public:
  explicit TTestNestedPump(TComponent* AOwner)
      : TLPComponent(AOwner),
        FInputPin(makePin<TALOWAudioSinkPin>(this, FLock.get(),
                                             [this](TOWBasicPin*, const TGUID*, IOWNotifyOperation* Op, TOWNotifyState) {
                                               Receive(Op);
                                               return TOWNotifyResult{};
                                             })) {}
  void BeforeDestruction() override {
    {
      LockSection stop = FLock->StopLock();
      FInputPin.reset();
    }
    TLPComponent::BeforeDestruction();
  }
  TALOWAudioSinkPin* InputPin() const { return FInputPin.get(); }
  std::size_t Target = 0;
  std::vector<std::int16_t> Samples;

 private:
  void Receive(IOWNotifyOperation* Op) {
    if (auto* request = operationAs<TOWPumpRequestOperation>(Op)) request->Pump = this;
    if (auto* supplied = operationAs<TOWSuppliedBufferOperation>(Op)) {
      RefPtr<TALAudioBuffer> buffer = TALAudioBuffer::CreateUniversal(supplied->Buffer.get());
      const auto* samples = reinterpret_cast<const std::int16_t*>(buffer->Read());
      Samples.insert(Samples.end(), samples, samples + buffer->GetSize() * buffer->GetChannels());
    }
    const bool next = operationIs<TOWStartPumpOperation>(Op) || operationIs<TOWSuppliedBufferOperation>(Op);
    if (next && Samples.size() < Target) FInputPin->MasterPump(this);
  }
  TOWPinRef<TALOWAudioSinkPin> FInputPin;
};

struct LoopFiles {
  std::string coded;
  std::vector<std::int16_t> expected;  // sox's decode
};

class WavePlayerLoop : public ::testing::TestWithParam<LoopRow> {
 protected:
  LoopFiles Make(const LoopRow& row) {
    const std::string source = dir.file("source.wav");
    LoopFiles files{dir.file("coded.wav"), {}};
    const std::string reference = dir.file("reference.wav");
    if (test::sox("-n -r 44100 -b 16 -c " + std::to_string(row.channels) + " " + source + " synth " +
                  std::to_string(row.seconds) + " pinknoise vol 0.5") &&
        test::sox(source + " " + row.encode + " " + files.coded) &&
        test::sox(files.coded + " -e signed-integer -b 16 " + reference)) {
      files.expected = test::readPcm16(reference);
    }
    return files;
  }
  static void ExpectLooped(const std::vector<std::int16_t>& played, const std::vector<std::int16_t>& expected,
                           int channels) {
    for (std::size_t i = 0; i < played.size(); ++i) {
      ASSERT_EQ(played[i], expected[i % expected.size()])
          << "wrap " << i / expected.size() << ", frame " << (i % expected.size()) / static_cast<std::size_t>(channels)
          << " of " << expected.size() / static_cast<std::size_t>(channels);
    }
  }

  Application app;
  ManualTickSource ticks;
  ScopedMediaTickSource scopedTicks{ticks};
  test::TempDir dir;
  TComponentPtr<test::TTestAudioConsumer<>> consumer = MakeComponent<test::TTestAudioConsumer<>>();
  TComponentPtr<TALWavePlayer> player = MakeComponent<TALWavePlayer>();
};

constexpr std::size_t kWraps = 5;

TEST_P(WavePlayerLoop, ADrivingReceiverThatAsksWithinEachDeliveryGetsEveryWrapWhole) {
  const LoopRow& row = GetParam();
  const LoopFiles files = Make(row);
  ASSERT_FALSE(files.expected.empty()) << "sox is needed (scripts/setup installs it)";
  TComponentPtr<TTestNestedPump> pump = MakeComponent<TTestNestedPump>();
  pump->Target = (kWraps + 1) * files.expected.size();
  ASSERT_TRUE(pump->InputPin()->Connect(player->OutputPin()));
  player->SetLoop(true);
  player->SetFileName(files.coded);  // the start-pump sets the whole run off
  ASSERT_FALSE(player->IsPump());
  ASSERT_GE(pump->Samples.size(), pump->Target) << "the player stopped producing";
  ExpectLooped(pump->Samples, files.expected, row.channels);
  player.reset();
}

TEST_P(WavePlayerLoop, EveryWrapHandsOnSoxsDecodeOfTheWholeFileWithNothingLostOrAdded) {
  const LoopRow& row = GetParam();
  const LoopFiles files = Make(row);
  const std::string& coded = files.coded;
  const std::vector<std::int16_t>& expected = files.expected;
  ASSERT_FALSE(expected.empty()) << "sox is needed (scripts/setup installs it)";
  const std::size_t frames = expected.size() / static_cast<std::size_t>(row.channels);
  ASSERT_GT(frames, 1000u);

  ASSERT_TRUE(consumer->InputPin()->Connect(player->OutputPin()));
  player->SetLoop(true);
  player->SetFileName(coded);
  ASSERT_TRUE(player->Opened());
  EXPECT_EQ(player->SamplesCount(), static_cast<std::int64_t>(frames));
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
  ExpectLooped(played, expected, row.channels);
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
