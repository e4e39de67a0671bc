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

using test::CodedRow;

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

class WavePlayerLoop : public ::testing::TestWithParam<CodedRow> {
 protected:
  test::CodedFile Make(const CodedRow& row) { return test::makeSoxCoded(dir.file("coded"), row); }
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
  const CodedRow& row = GetParam();
  const test::CodedFile files = Make(row);
  ASSERT_FALSE(files.decoded.empty()) << "sox is needed (scripts/setup installs it)";
  TComponentPtr<TTestNestedPump> pump = MakeComponent<TTestNestedPump>();
  pump->Target = (kWraps + 1) * files.decoded.size();
  ASSERT_TRUE(pump->InputPin()->Connect(player->OutputPin()));
  player->SetLoop(true);
  player->SetFileName(files.path);  // the start-pump sets the whole run off
  ASSERT_FALSE(player->IsPump());
  ASSERT_GE(pump->Samples.size(), pump->Target) << "the player stopped producing";
  ExpectLooped(pump->Samples, files.decoded, row.channels);
  player.reset();
}

TEST_P(WavePlayerLoop, EveryWrapHandsOnSoxsDecodeOfTheWholeFileWithNothingLostOrAdded) {
  const CodedRow& row = GetParam();
  const test::CodedFile files = Make(row);
  const std::string& coded = files.path;
  const std::vector<std::int16_t>& expected = files.decoded;
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
    ::testing::Values(CodedRow{"pcm", "-e signed-integer -b 16", 2, 0.6}, CodedRow{"ima", "-e ima-adpcm", 2, 0.6},
                      CodedRow{"ima", "-e ima-adpcm", 1, 0.6}, CodedRow{"ima", "-e ima-adpcm", 2, 0.31},
                      CodedRow{"msadpcm", "-e ms-adpcm", 2, 0.6}, CodedRow{"msadpcm", "-e ms-adpcm", 1, 0.6},
                      CodedRow{"msadpcm", "-e ms-adpcm", 1, 0.27}, CodedRow{"alaw", "-e a-law", 2, 0.6},
                      CodedRow{"alaw", "-e a-law", 1, 0.6}, CodedRow{"ulaw", "-e u-law", 2, 0.6},
                      CodedRow{"ulaw", "-e u-law", 1, 0.6}, CodedRow{"float", "-e floating-point -b 32", 2, 0.6},
                      CodedRow{"float", "-e floating-point -b 32", 1, 0.6}),
    [](const ::testing::TestParamInfo<CodedRow>& info) {
      return std::string(info.param.name) + "_" + std::to_string(info.param.channels) + "ch_" +
             std::to_string(static_cast<int>(info.param.seconds * 100));
    });

}  // namespace
}  // namespace sib
