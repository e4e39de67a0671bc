// The wave player in a chain player -> consumer, with small wave files made by the tests and the
// player's clock held still (a manual tick source) so that blocks come only when a test asks: block
// sizes and wrapping of a looped file, file switches, pausing, the play range, the error texts, coded
// sources (a decoder that cannot be opened, extensible float with short reads) and the clock period.
#include "audio/wave_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <condition_variable>
#include <mutex>
#include <span>
#include <thread>

#include "platform/timer/media_timer.h"
#include "platform/ui/application.h"
#include "tests/audio/audio_chain.h"
#include "tests/audio/wave_fixtures.h"

namespace sib {
namespace {

using test::Received;
using Consumer = test::TTestAudioConsumer<>;

struct Block {
  std::size_t frames;
  std::int16_t first;
  std::int16_t tag;
  friend bool operator==(const Block&, const Block&) = default;
};
std::ostream& operator<<(std::ostream& os, const Block& b) {
  return os << "{" << b.frames << " frames from " << b.first << " tag " << b.tag << "}";
}

// The test's own main thread, a player clock that ticks only when told, and a folder for the files.
// Components made after it go before it.
struct QuietSurroundings {
  Application app;
  ManualTickSource ticks;
  ScopedMediaTickSource scopedTicks{ticks};
  test::TempFolder folder;
};

class WavePlayerTest : public ::testing::Test, protected QuietSurroundings {
 protected:
  // The player goes first, then the consumer.
  TComponentPtr<Consumer> consumer = MakeComponent<Consumer>();
  TComponentPtr<TALWavePlayer> player = MakeComponent<TALWavePlayer>();

  void SetUp() override { ASSERT_TRUE(consumer->InputPin()->Connect(player->OutputPin())); }

  std::string File(const std::string& name, std::uint32_t frames, std::int16_t tag) {
    return folder.write(name, test::numberedPcm(frames, tag));
  }
  std::vector<Block> Blocks() {
    std::vector<Block> blocks;
    for (const Received& r : consumer->Log())
      if (r.Kind == "buffer")
        blocks.push_back({r.Samples.size() / 2, r.Samples.empty() ? std::int16_t{0} : r.Samples[0],
                          r.Samples.size() < 2 ? std::int16_t{0} : r.Samples[1]});
    return blocks;
  }
  // What reached the consumer, without the pump negotiation ("other"), which every start sends.
  std::vector<std::string> StreamKinds() {
    std::vector<std::string> kinds = consumer->Kinds();
    std::erase(kinds, std::string("other"));
    return kinds;
  }
  std::size_t Count(const std::string& kind) {
    const auto kinds = consumer->Kinds();
    return static_cast<std::size_t>(std::count(kinds.begin(), kinds.end(), kind));
  }
  void Produce(int blocks) {
    for (int i = 0; i < blocks; ++i) player->ProcessBuffer();
  }
};

TEST_F(WavePlayerTest, ALooped5000FrameFileGivesFourFullBlocksA904BlockThenStartsAgainAtFrame0) {
  player->SetLoop(true);
  player->SetFileName(File("five.wav", 5000, 7));
  ASSERT_TRUE(player->Opened());
  Produce(6);
  const std::vector<Block> expected = {{1024, 0, 7}, {1024, 1024, 7}, {1024, 2048, 7},
                                       {1024, 3072, 7}, {904, 4096, 7}, {1024, 0, 7}};
  EXPECT_EQ(Blocks(), expected);
  EXPECT_EQ(Count("start-wave"), 1u);
}

TEST_F(WavePlayerTest, ANewFileWithoutRestartSendsNoStopAndNoStartWaveAndPlaysTheNewFileFromItsStart) {
  player->SetRestartOnNewFile(false);
  player->SetFileName(File("a.wav", 5000, 1));
  Produce(2);
  const std::size_t before = StreamKinds().size();
  player->SetFileName(File("b.wav", 3000, 2));
  EXPECT_EQ(StreamKinds().size(), before) << "no stream notification goes downstream on the switch itself";
  Produce(1);
  EXPECT_EQ(Blocks().back(), (Block{1024, 0, 2}));
  EXPECT_EQ(Count("start-wave"), 1u);
  EXPECT_EQ(Count("stop"), 0u);
}

TEST_F(WavePlayerTest, ANewFileOfAnotherFormatWithoutRestartStopsTheStreamAndAnnouncesItsFormat) {
  player->SetRestartOnNewFile(false);
  player->SetFileName(File("a.wav", 5000, 1));
  Produce(1);
  std::vector<std::uint8_t> mono(2 * 3000, 0);
  player->SetFileName(folder.write("mono22k.wav", test::waveBytes({.channels = 1, .rate = 22050}, mono)));
  Produce(1);
  EXPECT_EQ(StreamKinds(), (std::vector<std::string>{"start-wave", "buffer", "stop", "start-wave", "buffer"}));
  const std::vector<Received> log = consumer->Log();
  const auto last = std::find_if(log.rbegin(), log.rend(), [](const Received& r) { return r.Kind == "start-wave"; });
  EXPECT_EQ(last->SampleRate, 22050);
  // Back to the first format, and once more to a file of the same one: only the change of format
  // stops the stream.
  player->SetFileName(File("b.wav", 3000, 2));
  player->SetFileName(File("c.wav", 3000, 3));
  Produce(1);
  EXPECT_EQ(Count("stop"), 2u);
  EXPECT_EQ(Count("start-wave"), 3u);
  EXPECT_EQ(Blocks().back(), (Block{1024, 0, 3}));
}

TEST_F(WavePlayerTest, ANewFileWithRestartSendsAStopAndAFreshStartWave) {
  player->SetFileName(File("a.wav", 5000, 1));
  Produce(1);
  player->SetFileName(File("b.wav", 3000, 2));
  Produce(1);
  const std::vector<std::string> kinds = StreamKinds();
  const std::vector<std::string> expected = {"start-wave", "buffer", "stop", "start-wave", "buffer"};
  EXPECT_EQ(kinds, expected);
  EXPECT_EQ(Blocks().back(), (Block{1024, 0, 2}));
}

TEST_F(WavePlayerTest, WritingTheSameFileNameAgainDoesNothing) {
  const std::string name = File("a.wav", 5000, 1);
  player->SetFileName(name);
  const std::size_t before = consumer->Log().size();
  player->SetFileName(name);
  EXPECT_EQ(consumer->Log().size(), before) << "not even a pump request";
}

TEST_F(WavePlayerTest, PausedSetTwiceSendsOnePauseAndStopsProducing) {
  player->SetFileName(File("a.wav", 5000, 1));
  player->SetPaused(true);
  player->SetPaused(true);
  EXPECT_EQ(Count("pause"), 1u);
  EXPECT_TRUE(player->PausePin()->Value());
  Produce(3);
  EXPECT_TRUE(Blocks().empty());
  EXPECT_EQ(player->ClockInterval(), 0) << "a paused player has no clock";
  player->SetPaused(false);
  EXPECT_EQ(Count("resume"), 1u);
  EXPECT_EQ(Blocks().size(), 1u) << "resuming produces one block at once";
  EXPECT_GT(player->ClockInterval(), 0);
}

// The window's stop button calls Pause itself rather than writing Paused; the clock thread, which reads
// the pause state under the player's lock, must still find it written under that lock.
TEST_F(WavePlayerTest, PauseAndResumeCalledDirectlyWhileTheClockTicksLeaveThePlayerRunning) {
  player->SetLoop(true);
  player->SetFileName(File("a.wav", 5000, 1));
  std::atomic<bool> ticking{true};
  std::thread clock([&] {
    for (int i = 0; i < 300; ++i) player->ClockTick();
    ticking = false;
  });
  int rounds = 0;
  do {
    player->Pause();
    player->Resume();
    ++rounds;
  } while (ticking);
  clock.join();
  EXPECT_FALSE(player->Paused());
  EXPECT_EQ(Count("pause"), static_cast<std::size_t>(rounds));
  EXPECT_EQ(Count("resume"), static_cast<std::size_t>(rounds));
}

TEST_F(WavePlayerTest, ResumeOnADisabledPlayerClearsPausedButSendsNothing) {
  player->SetEnabled(false);
  player->SetPaused(true);
  player->SetPaused(false);
  EXPECT_FALSE(player->Paused());
  EXPECT_FALSE(player->PausePin()->Value());
  EXPECT_TRUE(StreamKinds().empty());
}

struct SegmentRow {
  std::int64_t start, stop;  // written in this order
  std::int64_t expectedStart, expectedStop;
};
std::ostream& operator<<(std::ostream& os, const SegmentRow& r) {
  return os << "start " << r.start << " then stop " << r.stop;
}
class SegmentClamping : public ::testing::TestWithParam<SegmentRow> {};

TEST_P(SegmentClamping, BoundsNeverCrossAndNeverGoNegative) {
  const SegmentRow& row = GetParam();
  TComponentPtr<TALWavePlayer> player = MakeComponent<TALWavePlayer>();
  player->PlaySegment()->SetStartSample(row.start);
  player->PlaySegment()->SetStopSample(row.stop);
  EXPECT_EQ(player->PlaySegment()->StartSample(), row.expectedStart);
  EXPECT_EQ(player->PlaySegment()->StopSample(), row.expectedStop);
}

INSTANTIATE_TEST_SUITE_P(Table, SegmentClamping,
                         ::testing::Values(SegmentRow{200, 100, 100, 100}, SegmentRow{50, 300, 50, 300},
                                           SegmentRow{-5, 100, 0, 100}, SegmentRow{0, -1, 0, 0},
                                           SegmentRow{500, 500, 500, 500}));

TEST_F(WavePlayerTest, AStopSampleBeyondTheFileIsClampedToItsLastFrameAndTheRangeWrapsToItsStart) {
  player->SetLoop(true);
  player->PlaySegment()->SetEnabled(true);
  player->PlaySegment()->SetStopSample(1'000'000);
  player->PlaySegment()->SetStartSample(3000);
  player->SetFileName(File("a.wav", 5000, 1));
  Produce(3);
  const std::vector<Block> expected = {{1024, 3000, 1}, {976, 4024, 1}, {1024, 3000, 1}};
  EXPECT_EQ(Blocks(), expected);
}

TEST_F(WavePlayerTest, TheLastBlockOfARangeMayPassItsStopSampleThenPlayWrapsToTheRangeStart) {
  player->SetLoop(true);
  player->PlaySegment()->SetEnabled(true);
  player->PlaySegment()->SetStopSample(1500);
  player->PlaySegment()->SetStartSample(100);
  player->SetFileName(File("a.wav", 5000, 1));
  Produce(3);
  const std::vector<Block> expected = {{1024, 100, 1}, {1024, 1124, 1}, {1024, 100, 1}};
  EXPECT_EQ(Blocks(), expected);
}

struct ErrorRow {
  std::string name;
  std::vector<std::uint8_t> bytes;  // empty: the file does not exist
  std::string text;                 // with %s for the file name
  std::string codes;
};
std::ostream& operator<<(std::ostream& os, const ErrorRow& r) { return os << r.name; }

std::vector<ErrorRow> ErrorRows() {
  std::vector<std::uint8_t> mp3Data(100, 0);
  test::WaveSpec mp3;
  mp3.tag = 0x0055;
  mp3.bits = 0;
  mp3.blockAlign = 1;
  return {
      {"missing.wav", {}, "Can't open file : %s .", " - 2147749889 - 80041001"},
      {"not-riff.wav", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'}, "Can't open file : %s .",
       " - 2147749889 - 80041001"},
      {"no-data.wav", test::waveBytes(test::WaveSpec{}, {}, false), "Can't open stream : %s .",
       " - 2147749890 - 80041002"},
      {"mp3.wav", test::waveBytes(mp3, mp3Data), "Can't decode file : %s .", " - 2147749893 - 80041005"},
  };
}

class WavePlayerErrors : public WavePlayerTest, public ::testing::WithParamInterface<ErrorRow> {};

TEST_P(WavePlayerErrors, AFileThatCannotBePlayedRaisesItsTextWithTheCodeInDecimalAndHexAndStaysClosed) {
  const ErrorRow& row = GetParam();
  const std::string name = row.bytes.empty() ? folder.path(row.name) : folder.write(row.name, row.bytes);
  std::string message;
  try {
    player->SetFileName(name);
  } catch (const ESLException& e) {
    message = e.Message();
  }
  std::string expected = row.text;
  expected.replace(expected.find("%s"), 2, name);
  EXPECT_EQ(message, expected + row.codes);
  EXPECT_FALSE(player->Opened());
  EXPECT_EQ(player->WaveFormat().Format.nChannels, 0);
  Produce(2);
  EXPECT_TRUE(Blocks().empty()) << "nothing is played";
}

TEST_P(WavePlayerErrors, AHandledErrorIsNotRaisedAndThePlayerStaysClosed) {
  const ErrorRow& row = GetParam();
  const std::string name = row.bytes.empty() ? folder.path(row.name) : folder.write(row.name, row.bytes);
  std::string seenText;
  std::int32_t seenCode = 0;
  player->SetOnError(TSLErrorEvent(std::function<void(TObject*, const std::string&, std::int32_t, bool&)>(
      [&](TObject*, const std::string& text, std::int32_t code, bool& handled) {
        seenText = text;
        seenCode = code;
        handled = true;
      })));
  EXPECT_NO_THROW(player->SetFileName(name));
  std::string expected = row.text;
  expected.replace(expected.find("%s"), 2, name);
  EXPECT_EQ(seenText, expected);
  EXPECT_NE(seenCode, 0);
  EXPECT_FALSE(player->Opened());
}

INSTANTIATE_TEST_SUITE_P(Table, WavePlayerErrors, ::testing::ValuesIn(ErrorRows()),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           std::replace_if(n.begin(), n.end(), [](char c) { return !std::isalnum(c); }, '_');
                           return n;
                         });

TEST_F(WavePlayerTest, EnablingAgainRetriesAnOpenThatFailed) {
  const std::string name = folder.path("later.wav");
  EXPECT_THROW(player->SetFileName(name), ESLException);
  ASSERT_FALSE(player->Opened());
  folder.write("later.wav", test::numberedPcm(2000, 3));
  player->SetEnabled(true);
  EXPECT_TRUE(player->Opened());
}

struct FloatRow {
  std::int32_t bufferSize;
  std::vector<std::size_t> blockSizes;
};
std::ostream& operator<<(std::ostream& os, const FloatRow& r) { return os << "BufferSize " << r.bufferSize; }

class WavePlayerFloat : public WavePlayerTest, public ::testing::WithParamInterface<FloatRow> {};

TEST_P(WavePlayerFloat, ExtensibleFloatIsDecodedTo16BitAndShortReadsAreToppedUpToWholeBlocks) {
  // 3000 stereo frames of 32-bit float: a read of n frames' worth of 16-bit bytes holds only n / 2
  // float frames, so every block is topped up from the spare block, which keeps any surplus.
  std::vector<std::uint8_t> data;
  for (int i = 0; i < 3000; ++i) {
    const float left = static_cast<float>(i % 64) / 128.0f;  // i % 64 × 256 in 16 bits
    const float right = -0.25f;
    std::uint32_t bits;
    std::memcpy(&bits, &left, 4);
    test::putLe(data, bits, 4);
    std::memcpy(&bits, &right, 4);
    test::putLe(data, bits, 4);
  }
  test::WaveSpec spec;
  spec.bits = 32;
  spec.extensible = true;
  spec.subFormat = kWaveSubFormatIeeeFloat;
  player->SetBufferSize(GetParam().bufferSize);
  player->SetFileName(folder.write("float.wav", test::waveBytes(spec, data)));
  ASSERT_TRUE(player->Opened());
  EXPECT_EQ(player->WaveFormat().Format.wBitsPerSample, 16);
  EXPECT_EQ(player->WaveFormat().Format.nBlockAlign, 4);
  EXPECT_EQ(player->SamplesCount(), 3000);
  Produce(static_cast<int>(GetParam().blockSizes.size()));
  std::vector<std::size_t> sizes;
  std::vector<std::int16_t> samples;
  for (const Received& r : consumer->Log()) {
    if (r.Kind != "buffer") continue;
    sizes.push_back(r.Samples.size() / 2);
    samples.insert(samples.end(), r.Samples.begin(), r.Samples.end());
  }
  EXPECT_EQ(sizes, GetParam().blockSizes);
  ASSERT_EQ(samples.size(), 6000u);
  for (std::size_t frame = 0; frame < 3000; ++frame) {
    ASSERT_NEAR(samples[2 * frame], static_cast<int>(frame % 64) * 256, 1) << "frame " << frame;
    ASSERT_NEAR(samples[2 * frame + 1], -8192, 1) << "frame " << frame;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, WavePlayerFloat,
                         ::testing::Values(FloatRow{1024, {1024, 1024, 952}}, FloatRow{1001, {1001, 1001, 998}}));

// The whole file decoded in one conversion, for comparison.
std::vector<std::int16_t> decodeAll(const std::vector<std::uint8_t>& file, std::span<const std::uint8_t> format) {
  TALWaveFormatExtensible pcm{};
  pcm.Format = {kALWaveFormatExtensible, 1, 8000, 16000, 2, 16, kALExtensibleSize};
  pcm.wValidBitsPerSample = 16;
  pcm.dwChannelMask = 1;
  pcm.SubFormat = kALSubFormatPcm;
  std::unique_ptr<WaveDecoder> decoder;
  EXPECT_EQ(WaveDecoder::open(format, {reinterpret_cast<const std::uint8_t*>(&pcm), sizeof(pcm)}, decoder), kMediaOk);
  const std::vector<std::uint8_t> coded(file.end() - 2500, file.end());
  std::uint32_t bound = 0;
  decoder->size(static_cast<std::uint32_t>(coded.size()), bound);
  std::vector<std::int16_t> out(bound / 2);
  WaveConvertHeader header;
  header.pbSrc = coded.data();
  header.cbSrcLength = static_cast<std::uint32_t>(coded.size());
  header.pbDst = reinterpret_cast<std::uint8_t*>(out.data());
  header.cbDstLength = bound;
  decoder->prepareHeader(header);
  decoder->convert(header, kWaveConvertStart | kWaveConvertBlockAlign);
  decoder->unprepareHeader(header);
  out.resize(header.cbDstLengthUsed / 2);
  return out;
}

TEST_F(WavePlayerTest, MuLawDecodesToMoreFramesThanAskedAndTheSurplusComesFirstInTheNextBlock) {
  // One µ-law byte decodes to two PCM bytes: a read sized for n PCM frames takes 2n coded frames.
  std::vector<std::uint8_t> data(2500);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  test::WaveSpec spec;
  spec.tag = kWaveFormatMuLaw;
  spec.channels = 1;
  spec.rate = 8000;
  spec.bits = 8;
  const std::vector<std::uint8_t> file = test::waveBytes(spec, data);
  player->SetBufferSize(1000);
  player->SetFileName(folder.write("mulaw.wav", file));
  ASSERT_TRUE(player->Opened());
  Produce(3);
  std::vector<std::int16_t> played;
  std::vector<std::size_t> sizes;
  for (const Received& r : consumer->Log()) {
    if (r.Kind != "buffer") continue;
    sizes.push_back(r.Samples.size());
    played.insert(played.end(), r.Samples.begin(), r.Samples.end());
  }
  EXPECT_EQ(sizes, (std::vector<std::size_t>{1000, 1000, 500}));
  // The fmt chunk starts at byte 20 of the file and is 18 bytes long.
  EXPECT_EQ(played, decodeAll(file, std::span<const std::uint8_t>(file.data() + 20, 18)));
}

// A downstream component that claims the pump, as an output that drives the device does.
class TTestPumpMaster : public TLPComponent {
 public:
  explicit TTestPumpMaster(TComponent* AOwner)
      : TLPComponent(AOwner),
        FInputPin(makePin<TALOWAudioSinkPin>(this, FLock.get(),
                                             [this](TOWBasicPin*, const TGUID*, IOWNotifyOperation* Op, TOWNotifyState) {
                                               if (auto* request = operationAs<TOWPumpRequestOperation>(Op))
                                                 request->Pump = this;
                                               if (operationIs<TOWSuppliedBufferOperation>(Op)) ++Buffers;
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
  int Buffers = 0;

 private:
  TOWPinRef<TALOWAudioSinkPin> FInputPin;
};

TEST(WavePlayerPump, APlayerDrivenByAnotherComponentHasNoClockAndServesARepeatedRequestOnce) {
  QuietSurroundings surroundings;
  TComponentPtr<TTestPumpMaster> master = MakeComponent<TTestPumpMaster>();
  TComponentPtr<TALWavePlayer> player = MakeComponent<TALWavePlayer>();
  ASSERT_TRUE(master->InputPin()->Connect(player->OutputPin()));
  player->SetFileName(surroundings.folder.write("a.wav", test::numberedPcm(5000, 1)));
  EXPECT_FALSE(player->IsPump());
  EXPECT_EQ(player->ClockInterval(), 0);
  OperationRef request = newOperation<TOWMasterPumpOperation>(master.get());
  master->InputPin()->Notify(request);
  master->InputPin()->Notify(request);
  EXPECT_EQ(master->Buffers, 1) << "the same request twice";
  master->InputPin()->MasterPump(master.get());
  EXPECT_EQ(master->Buffers, 2);
  master->InputPin()->MasterPump(player.get());
  EXPECT_EQ(master->Buffers, 2) << "a request from a component that does not drive";
}

TEST_F(WavePlayerTest, A12BitFileIsDeliveredIn16BitContainersWithItsOwnBlockAlign) {
  test::WaveSpec spec;
  spec.channels = 1;
  spec.bits = 12;
  spec.blockAlign = 2;
  std::vector<std::uint8_t> data(200, 0);
  player->SetFileName(folder.write("twelve.wav", test::waveBytes(spec, data)));
  const TALWaveFormatExtensible format = player->WaveFormat();
  EXPECT_EQ(format.Format.wBitsPerSample, 16);
  EXPECT_EQ(format.wValidBitsPerSample, 12);
  EXPECT_EQ(format.Format.nBlockAlign, 2);
  EXPECT_EQ(format.dwChannelMask, 1u);
}

TEST_F(WavePlayerTest, TheClockPeriodIsTheExactBlockDurationWhileTheReportedFrameDelayStays23) {
  player->SetFileName(File("a.wav", 5000, 1));
  EXPECT_EQ(player->FrameDelay(), 23);
  // 1024 frames at 44 100 Hz last 232 199.546... units of 100 ns.
  EXPECT_EQ(player->ClockInterval(), 232199);
}

TEST_F(WavePlayerTest, OverManyTicksTheAudioProducedLastsAsLongAsTheTicksWithinOneBlock) {
  // One frame per block at 44 100 Hz: 226.757... units per block, so the clock runs 226 units and
  // leaves out a tick whenever the carried remainder makes up a whole period.
  player->SetLoop(true);
  player->SetBufferSize(1);
  player->SetFileName(File("a.wav", 5000, 1));
  ASSERT_EQ(player->ClockInterval(), 226);
  const std::int64_t tickCount = 100'000;
  for (std::int64_t i = 0; i < tickCount; ++i) player->ClockTick();
  const auto blocks = static_cast<std::int64_t>(Blocks().size());
  EXPECT_LT(blocks, tickCount);
  // In units of 1/44 100 of 100 ns: blocks × 10^7 is the audio produced, ticks × 226 × 44 100 the
  // time the clock took; they differ by less than one block.
  EXPECT_LE(std::abs(blocks * 10'000'000 - tickCount * 226 * 44100), 10'000'000);
}

TEST_F(WavePlayerTest, TheClockGeneratorProducesBlocksOnItsOwnThreadAsItTicks) {
  std::mutex mutex;
  std::condition_variable arrived;
  int count = 0;
  consumer->OnBuffer = [&](const Received&) {
    std::lock_guard guard(mutex);
    ++count;
    arrived.notify_all();
  };
  player->SetLoop(true);
  player->SetFileName(File("a.wav", 5000, 1));
  ticks.tick(24);  // the first period of 23.2 ms has passed
  std::unique_lock lock(mutex);
  arrived.wait(lock, [&] { return count >= 1; });
  lock.unlock();
  player->SetPaused(true);  // frees the clock; no tick may come after this
  std::lock_guard guard(mutex);
  EXPECT_EQ(count, 1);
}

TEST_F(WavePlayerTest, CurrentTimeOfFrame44100At44100HzIsOneSecond) {
  player->SetFileName(File("a.wav", 50000, 1));
  player->SetCurrentSample(44100);
  EXPECT_EQ(player->CurrentTime(), 10'000'000);
  player->SetCurrentTime(5'000'000);
  EXPECT_EQ(player->CurrentSample(), 22050);
  Produce(1);
  EXPECT_EQ(Blocks().back().first, 22050) << "a seek reads from the new position";
}

TEST_F(WavePlayerTest, BufferSizeZeroStoresOne) {
  player->SetBufferSize(0);
  EXPECT_EQ(player->BufferSize(), 1);
}

struct EndRow {
  bool restartOnNewFile;
  std::size_t stops;
};
std::ostream& operator<<(std::ostream& os, const EndRow& r) { return os << "RestartOnNewFile " << r.restartOnNewFile; }

class WavePlayerEnd : public WavePlayerTest, public ::testing::WithParamInterface<EndRow> {};

TEST_P(WavePlayerEnd, WithoutLoopTheEndOfTheFileClosesAndDisablesThePlayerAndEndStopsOnlyWithRestart) {
  player->SetRestartOnNewFile(GetParam().restartOnNewFile);
  player->SetFileName(File("a.wav", 1500, 1));
  Produce(3);
  EXPECT_EQ(Blocks(), (std::vector<Block>{{1024, 0, 1}, {476, 1024, 1}}));
  EXPECT_FALSE(player->Enabled());
  EXPECT_FALSE(player->Opened());
  EXPECT_EQ(Count("stop"), GetParam().stops);
}

INSTANTIATE_TEST_SUITE_P(Table, WavePlayerEnd, ::testing::Values(EndRow{true, 1}, EndRow{false, 0}));

TEST_F(WavePlayerTest, ProgressReportsTheRangeAndThePositionAfterEachBlock) {
  std::vector<std::array<std::int64_t, 3>> reports;
  player->SetOnProgress(TALAudioProgressEvent(std::function<void(TObject*, std::int64_t, std::int64_t, std::int64_t)>(
      [&](TObject*, std::int64_t start, std::int64_t stop, std::int64_t sample) {
        reports.push_back({start, stop, sample});
      })));
  player->SetFileName(File("a.wav", 3000, 1));
  Produce(2);
  const std::vector<std::array<std::int64_t, 3>> expected = {{0, 2999, 1024}, {0, 2999, 2048}};
  EXPECT_EQ(reports, expected);
}

}  // namespace
}  // namespace sib
