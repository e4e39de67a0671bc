// Audio pins: the start-wave and resume a joining sink is sent, what a stop makes the source forget,
// the sample rate a real or integer receiver is told, the start-wave's construction, and the audio
// converters.
#include "audio/audio_pins.h"

#include <gtest/gtest.h>

#include "tests/audio/audio_chain.h"

namespace sib {
namespace {

using test::stereo16;
using test::stereo16Format;

// An audio sink that also consumes real, respectively integer, data.
class TRealAudioSinkPin : public TSLOWTypedPin<TALOWAudioSinkPin, IOWSLRealStream> {
 public:
  using TSLOWTypedPin::TSLOWTypedPin;
};
class TIntegerAudioSinkPin : public TSLOWTypedPin<TALOWAudioSinkPin, IOWSLIntegerStream> {
 public:
  using TSLOWTypedPin::TSLOWTypedPin;
};

struct Pair {
  TComponentPtr<test::TTestAudioProducer> producer = MakeComponent<test::TTestAudioProducer>();
  TComponentPtr<test::TTestAudioConsumer<>> consumer = MakeComponent<test::TTestAudioConsumer<>>();
  void StartWave() {
    const TALWaveFormatExtensible format = stereo16Format();
    producer->OutputPin()->Notify(newOperation<TOWStartWaveOperation>(&format, false));
  }
};

TEST(AudioPins, SinkJoiningARunningStreamGetsStartWaveThenResumeBeforeBuffers) {
  Pair pair;
  pair.StartWave();
  pair.producer->OutputPin()->Notify(newOperation<TOWSLResumeOperation>());
  ASSERT_TRUE(pair.consumer->InputPin()->Connect(pair.producer->OutputPin()));
  pair.producer->OutputPin()->SubmitBuffer(stereo16({1, 2})->AsDataIntf());
  EXPECT_EQ(pair.consumer->Kinds(), (std::vector<std::string>{"start-wave", "resume", "buffer"}));
}

TEST(AudioPins, AfterAStopAJoiningSinkGetsNeitherStartNorResume) {
  Pair pair;
  pair.StartWave();
  pair.producer->OutputPin()->Notify(newOperation<TOWSLResumeOperation>());
  pair.producer->OutputPin()->Stop();
  ASSERT_TRUE(pair.consumer->InputPin()->Connect(pair.producer->OutputPin()));
  EXPECT_TRUE(pair.consumer->Kinds().empty());
}

TEST(AudioPins, DisconnectingASinkSendsItOneStop) {
  Pair pair;
  ASSERT_TRUE(pair.consumer->InputPin()->Connect(pair.producer->OutputPin()));
  pair.consumer->InputPin()->Disconnect();
  EXPECT_EQ(pair.consumer->Kinds(), (std::vector<std::string>{"stop"}));
}

TEST(AudioPins, StartWaveReachesRealAndIntegerReceiversAsAFractionOfTheRate) {
  struct Row {
    const char* receiver;
    double expected;
  };
  auto producer = MakeComponent<test::TTestAudioProducer>();
  auto real = MakeComponent<test::TTestAudioConsumer<TRealAudioSinkPin>>();
  auto integer = MakeComponent<test::TTestAudioConsumer<TIntegerAudioSinkPin>>();
  auto audio = MakeComponent<test::TTestAudioConsumer<>>();
  ASSERT_TRUE(real->InputPin()->Connect(producer->OutputPin()));
  ASSERT_TRUE(integer->InputPin()->Connect(producer->OutputPin()));
  ASSERT_TRUE(audio->InputPin()->Connect(producer->OutputPin()));
  const TALWaveFormatExtensible format = stereo16Format(44100);
  producer->OutputPin()->Notify(newOperation<TOWStartWaveOperation>(&format, false));
  const std::vector<test::Received> logs[] = {real->Log(), integer->Log(), audio->Log()};
  const Row rows[] = {{"real", 5512.5}, {"integer", 11025}, {"audio", 44100}};
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(rows[i].receiver);
    ASSERT_EQ(logs[i].size(), 1u);
    EXPECT_EQ(logs[i][0].Kind, i < 2 ? "start-rate" : "start-wave");
    EXPECT_DOUBLE_EQ(logs[i][0].SampleRate, rows[i].expected);
  }
}

TEST(StartWave, CreateWaveBuildsTheExtensibleRecordFromAPlainFormat) {
  TALWaveFormat plain;
  plain.wFormatTag = 1;
  plain.nChannels = 2;
  plain.nSamplesPerSec = 44100;
  plain.nAvgBytesPerSec = 176400;
  plain.nBlockAlign = 4;
  plain.wBitsPerSample = 16;
  const TOWStartWaveOperation op(43.07f, &plain, true);
  EXPECT_DOUBLE_EQ(op.SampleRate, static_cast<double>(43.07f));
  EXPECT_FLOAT_EQ(op.Rate, 43.07f);
  EXPECT_TRUE(op.Paused);
  EXPECT_EQ(op.WaveFormat.Format.wFormatTag, 0xFFFE);
  EXPECT_EQ(op.WaveFormat.Format.cbSize, 22);
  EXPECT_EQ(op.WaveFormat.wValidBitsPerSample, 16);
  EXPECT_EQ(op.WaveFormat.dwChannelMask, 3u);
  EXPECT_EQ(op.WaveFormat.Format.nAvgBytesPerSec, 176400u);
  EXPECT_EQ(op.WaveFormat.SubFormat, kALSubFormatPcm);
}

TEST(StartWave, WithoutARecordUsesTheDefaultFormat) {
  const TOWStartWaveOperation op(static_cast<const TALWaveFormatExtensible*>(nullptr), false);
  EXPECT_EQ(op.SampleRate, 11024);
  EXPECT_EQ(op.WaveFormat.Format.nChannels, 2);
  EXPECT_EQ(op.WaveFormat.Format.nAvgBytesPerSec, 44096u);
  EXPECT_EQ(op.WaveFormat.Format.nBlockAlign, 4);
  EXPECT_EQ(op.WaveFormat.dwChannelMask, 3u);
}

TEST(AudioConverters, AudioToRealSendsTheFirstChannelAsReals) {
  auto converter = MakeComponent<TOWAudioToRealFormatConverter>();
  std::vector<double> received;
  TOWPinRef<TSLOWRealSinkPin> sink = makePin<TSLOWRealSinkPin>(
      nullptr, nullptr, [&](TOWBasicPin*, const TGUID*, IOWNotifyOperation* op, TOWNotifyState) {
        if (auto* supplied = operationAs<TOWSuppliedBufferOperation>(op)) {
          RefPtr<ISLRealBuffer> real = queryInterface<ISLRealBuffer>(supplied->Buffer.get());
          for (std::uint32_t i = 0; real && i < real->GetSize(); ++i) received.push_back(real->GetItem(i));
        }
        return TOWNotifyResult{};
      });
  ASSERT_TRUE(sink->Connect(converter->OutputPin()));
  auto* input = dynamic_cast<TSLOWSinkPin*>(converter->InputPin());
  ASSERT_TRUE(input);
  OperationRef op = newOperation<TOWSuppliedBufferOperation>(stereo16({100, -1, -200, -2, 300, -3})->AsDataIntf());
  input->DispatchData(&IOWALAudioStream::IID, op.get(), {});
  EXPECT_EQ(received, (std::vector<double>{100, -200, 300}));
  sink->Disconnect();
}

}  // namespace
}  // namespace sib
