// The audio buffer: construction and its header, masks, copy on write through the block, time
// stamps, single samples, the whole-buffer, channel and two-buffer arithmetic, MultiplyReal,
// resizing, channel-mapped copies and channel buffers.
#include "audio/audio_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "signal/block_buffer.h"

namespace sib {
namespace {

constexpr TALSpeakers kStereo = speakers({spFrontLeft, spFrontRight});

RefPtr<TALAudioBuffer> buffer16(std::vector<std::int16_t> samples, std::int32_t channels = 1) {
  return TALAudioBuffer::CreateData(samples.data(), 44100, 16, channels,
                                    static_cast<std::uint32_t>(samples.size()) / channels);
}

RefPtr<TALAudioBuffer> buffer8(std::vector<std::uint8_t> samples) {
  return TALAudioBuffer::CreateData(samples.data(), 8000, 8, 1, static_cast<std::uint32_t>(samples.size()));
}

RefPtr<TALAudioBuffer> buffer32(std::vector<std::int32_t> samples) {
  return TALAudioBuffer::CreateData(samples.data(), 8000, 32, 1, static_cast<std::uint32_t>(samples.size()));
}

// 24-bit samples given as 32-bit values, stored by their low three bytes.
RefPtr<TALAudioBuffer> buffer24(std::vector<std::int32_t> samples) {
  std::vector<std::uint8_t> bytes;
  for (std::int32_t s : samples) {
    const auto bits = static_cast<std::uint32_t>(s);
    bytes.insert(bytes.end(), {std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16)});
  }
  return TALAudioBuffer::CreateData(bytes.data(), 8000, 24, 1, static_cast<std::uint32_t>(samples.size()));
}

template <class T>
std::vector<T> samplesOf(TALAudioBuffer& buffer) {
  std::vector<T> values(buffer.GetByteSize() / sizeof(T));
  if (!values.empty()) std::memcpy(values.data(), buffer.Read(), buffer.GetByteSize());
  return values;
}

// Sign-extended 24-bit samples.
std::vector<std::int32_t> samples24(TALAudioBuffer& buffer) {
  std::vector<std::int32_t> values;
  for (std::uint32_t i = 0; i < buffer.GetSize(); ++i) values.push_back(samples::load24(buffer.Read() + 3 * i));
  return values;
}

TEST(AudioBufferTest, CreateGivesAnEmptyMono8BitBufferAt11025) {
  RefPtr<TALAudioBuffer> buffer = TALAudioBuffer::Create();
  EXPECT_EQ(buffer->GetSize(), 0u);
  EXPECT_EQ(buffer->GetByteSize(), 0u);
  EXPECT_EQ(buffer->GetChannels(), 1u);
  EXPECT_EQ(buffer->GetSampleBitWidth(), 8u);
  EXPECT_EQ(buffer->GetBitsPerSample(), 8u);
  EXPECT_EQ(buffer->GetSampleRate(), 11025u);
  EXPECT_EQ(buffer->GetDataStep(), 1u);
  EXPECT_EQ(buffer->GetChannelMask(), speakers({spFrontLeft}));
  TALWaveFormatExtensible format;
  buffer->GetWaveFormat(format);
  EXPECT_EQ(format.Format.nAvgBytesPerSec, 11025u);
}

TEST(AudioBufferTest, CreateSizeBuildsTheHeaderFromValidBitsRateAndChannels) {
  RefPtr<TALAudioBuffer> buffer = TALAudioBuffer::CreateSize(44100, 12, 2, 100);
  TALWaveFormatExtensible format;
  buffer->GetWaveFormat(format);
  EXPECT_EQ(format.Format.wFormatTag, 0xFFFE);
  EXPECT_EQ(format.Format.wBitsPerSample, 16);
  EXPECT_EQ(format.wValidBitsPerSample, 12);
  EXPECT_EQ(format.Format.nBlockAlign, 4);
  EXPECT_EQ(format.Format.nAvgBytesPerSec, 176400u);
  EXPECT_EQ(format.Format.cbSize, 22);
  EXPECT_EQ(format.dwChannelMask, kStereo);
  EXPECT_EQ(format.SubFormat, kALSubFormatPcm);
  EXPECT_EQ(buffer->GetByteSize(), 400u);
  EXPECT_EQ(buffer->GetSize(), 100u);
  EXPECT_EQ(buffer->GetHeaderSize(), 40u);
  EXPECT_EQ(buffer->GetPayloadSize(), 400u);
  EXPECT_EQ(buffer->DataContainer()->GetAllocatedSize(), 512u) << "440 bytes in use within 512";
  EXPECT_EQ(buffer->Read() - buffer->DataContainer()->GetRawData(), 40);
  EXPECT_EQ(TALAudioBuffer::CreateSize(8000, 20, 1, 1)->GetSampleBitWidth(), 24u);
}

TEST(AudioBufferTest, TheHeaderIsStoredAsPackedLittleEndianBytes) {
  RefPtr<TALAudioBuffer> buffer = TALAudioBuffer::CreateSize(44100, 16, 2, 1);
  const std::uint8_t* header = buffer->DataContainer()->GetRawData();
  const std::vector<std::uint8_t> expected{
      0xFE, 0xFF, 2,    0,    0x44, 0xAC, 0,    0,    0x10, 0xB1, 2,    0,    4,    0,
      16,   0,    22,   0,    16,   0,    3,    0,    0,    0,    0x01, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  EXPECT_EQ(std::vector<std::uint8_t>(header, header + 40), expected);
}

TEST(AudioBufferTest, SpeakerMasksAreTrimmedToTheChannelCount) {
  struct Row {
    TALSpeakers given;
    std::int32_t channels;
    TALSpeakers stored;
  };
  const Row rows[] = {
      {speakers({spFrontLeft, spFrontRight, spFrontCenter, spSubwoofer}), 2, kStereo},
      {speakers({spFrontLeft, spFrontCenter, spBackLeft}), 2, speakers({spFrontLeft, spFrontCenter})},
      {0, 3, speakers({spFrontLeft, spFrontRight, spFrontCenter})},
      {speakers({spFrontLeft, spTopBackCenter, spTopBackRight}), 2,
       speakers({spFrontLeft, spTopBackCenter, spTopBackRight})},  // the last kept position is 16
      {speakers({spFrontLeft, spTopBackRight}), 2, speakers({spFrontLeft, spTopBackRight})},  // too few in 0..16
      {kStereo, 0, 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(TALAudioBuffer::CreateSizeEx(8000, 16, row.channels, 4, row.given)->GetChannelMask(), row.stored)
        << "mask " << row.given << " with " << row.channels << " channels";
  }
  const TALSpeakers odd = speakers({spFrontLeft, spFrontRight, spBackLeft});
  EXPECT_EQ(TALAudioBuffer::CreateDataEx(nullptr, 8000, 16, 2, 4, odd)->GetChannelMask(), odd) << "stored as given";
}

TEST(AudioBufferTest, CreateWaveFormatTakesRateValidBitsChannelsAndMaskFromTheRecord) {
  TALWaveFormatExtensible format;
  TALAudioBuffer::CreateSizeEx(22050, 24, 3, 1, speakers({spFrontLeft, spFrontRight, spSubwoofer}))
      ->GetWaveFormat(format);
  RefPtr<TALAudioBuffer> buffer = TALAudioBuffer::CreateWaveFormat(&format, 10);
  EXPECT_EQ(buffer->GetSampleRate(), 22050u);
  EXPECT_EQ(buffer->GetChannels(), 3u);
  EXPECT_EQ(buffer->GetDataStep(), 9u);
  EXPECT_EQ(buffer->GetChannelMask(), speakers({spFrontLeft, spFrontRight, spSubwoofer}));
  EXPECT_EQ(buffer->GetSize(), 10u);
}

TEST(AudioBufferTest, FormatsTheRecordCannotDescribeAreRefused) {
  EXPECT_THROW(TALAudioBuffer::CreateSize(8000, 16, -1, 4), ERangeError);
  EXPECT_THROW(TALAudioBuffer::CreateSize(8000, 32, 20000, 4), ERangeError) << "nBlockAlign would overflow";
  EXPECT_THROW(TALAudioBuffer::CreateSize(44100, 16, 2, 1u << 30), EOutOfMemory);
}

TEST(AudioBufferTest, WrappingAndCopyingShareTheBlockAndTheFirstWriteCopiesIt) {
  RefPtr<TALAudioBuffer> original = buffer16({1, 2, 3, 4}, 2);
  RefPtr<IALAudioBuffer> received = original;
  RefPtr<TALAudioBuffer> wrapped = TALAudioBuffer::CreateUniversal(received.get());
  EXPECT_EQ(wrapped->DataContainer(), original->DataContainer());
  EXPECT_EQ(wrapped->Read(), original->Read());
  EXPECT_EQ(wrapped->GetSize(), 2u);
  RefPtr<IALAudioBuffer> copy = queryInterface<IALAudioBuffer>(original->MakeCopy());
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->Read(), original->Read());

  wrapped->Write()[0] = 0x7F;
  EXPECT_NE(wrapped->DataContainer(), original->DataContainer());
  EXPECT_EQ(wrapped->GetChannels(), 2u) << "a copy made by Write keeps the format";
  EXPECT_EQ(wrapped->GetSampleRate(), 44100u);
  EXPECT_EQ(samplesOf<std::int16_t>(*original), (std::vector<std::int16_t>{1, 2, 3, 4}));
}

TEST(AudioBufferTest, OnlyAudioBlocksCanBeWrappedOrAssigned) {
  RefPtr<TSLBlockBuffer> bytes = TSLBlockBuffer::CreateValue(0, 64);
  EXPECT_THROW(TALAudioBuffer::CreateUniversal(bytes->AsDataIntf()), EInvalidOperation);
  RefPtr<TALAudioBuffer> audio = buffer16({1, 2});
  EXPECT_THROW(audio->Assign(bytes->AsDataBufferIntf()), EInvalidOperation);
  RefPtr<TSLBlockBuffer> view = TSLBlockBuffer::CreateUniversal(audio->AsDataIntf());
  EXPECT_EQ(view->GetSize(), 4u) << "a byte view of audio sees the sample bytes only";
  EXPECT_EQ(view->Read(), audio->Read());
  RefPtr<TALAudioBuffer> back = TALAudioBuffer::CreateUniversal(view->AsDataIntf());
  EXPECT_EQ(back->GetSize(), 2u);
  EXPECT_EQ(back->GetSampleRate(), 44100u);
}

TEST(AudioBufferTest, AssignMovesToTheOtherBlockWithItsFormat) {
  RefPtr<TALAudioBuffer> target = TALAudioBuffer::Create();
  RefPtr<IALAudioBuffer> source = buffer16({5, 6, 7, 8}, 2);
  target->Assign(source.get());
  EXPECT_EQ(target->GetChannels(), 2u);
  EXPECT_EQ(target->GetSize(), 2u);
  EXPECT_EQ(target->Read(), source->Read());
}

TEST(AudioBufferTest, TimeStampsAreSharedThroughTheBlockAndCarriedIntoItsCopy) {
  RefPtr<TALAudioBuffer> first = buffer16({1, 2});
  RefPtr<TALAudioBuffer> second = TALAudioBuffer::CreateEx(*first);
  first->GetTimeStamp()->SetBeginTime(100);
  first->GetTimeStamp()->SetEndTime(200);
  first->GetTimeStamp()->SetAvailable(true);
  EXPECT_TRUE(second->GetTimeStamp()->Available());
  EXPECT_EQ(second->GetTimeStamp()->EndTime(), 200);
  second->MultiplyReal(0.5);
  ASSERT_NE(second->DataContainer(), first->DataContainer());
  EXPECT_EQ(second->GetTimeStamp()->BeginTime(), 100) << "the clone carries the time stamp";
  second->GetTimeStamp()->SetBeginTime(150);
  EXPECT_EQ(first->GetTimeStamp()->BeginTime(), 100);
  second->Resize(1000, true);
  EXPECT_FALSE(second->GetTimeStamp()->Available()) << "a new block starts without a time stamp";
}

TEST(AudioBufferTest, SampleAccessChecksTheChannelFirstThenTheIndex) {
  RefPtr<TALAudioBuffer> buffer = TALAudioBuffer::CreateSize(44100, 16, 2, 10);
  try {
    buffer->GetSample(0, 2);
    FAIL() << "expected ERangeError";
  } catch (const ERangeError& e) {
    EXPECT_EQ(e.Message(), "Channel out of range = 2");
  }
  try {
    buffer->GetSample(10, 0);
    FAIL() << "expected ERangeError";
  } catch (const ERangeError& e) {
    EXPECT_EQ(e.Message(), "Index out of range = 10");
  }
  EXPECT_THROW(buffer->GetSample(10, 5), ERangeError);
  RefPtr<TALAudioBuffer> sharer = TALAudioBuffer::CreateEx(*buffer);
  EXPECT_THROW(buffer->SetSample(0, 2, 1), ERangeError);
  EXPECT_NE(buffer->DataContainer(), sharer->DataContainer()) << "SetSample made the block unique first";
}

TEST(AudioBufferTest, SamplesAreReadByValidBitsWithoutSignExtensionFor24Bits) {
  RefPtr<TALAudioBuffer> sixteen = buffer16({-2, 300});
  EXPECT_EQ(sixteen->GetSample(0, 0), -2);
  sixteen->SetSample(1, 0, 0x12345);
  EXPECT_EQ(sixteen->GetSample(1, 0), 0x2345) << "the low 16 bits are stored";
  RefPtr<TALAudioBuffer> eight = buffer8({200});
  EXPECT_EQ(eight->GetSample(0, 0), 200);
  RefPtr<TALAudioBuffer> wide = buffer24({-1, 5});
  EXPECT_EQ(wide->GetSample(0, 0), 0xFFFFFF);
  wide->SetSample(1, 0, -2);
  EXPECT_EQ(wide->GetSample(1, 0), 0xFFFFFE);
  EXPECT_EQ(buffer32({-7})->GetSample(0, 0), -7);
}

TEST(AudioBufferTest, ZeroAndSetValueFillWithTheContainersZeroLevel) {
  RefPtr<TALAudioBuffer> eight = buffer8({1, 2, 3});
  eight->Zero();
  EXPECT_EQ(samplesOf<std::uint8_t>(*eight), (std::vector<std::uint8_t>{127, 127, 127}));
  eight = buffer8({1, 2, 3});
  eight->SetValue(0);
  EXPECT_EQ(samplesOf<std::uint8_t>(*eight), (std::vector<std::uint8_t>{127, 127, 127}));
  eight->SetValue(200);
  EXPECT_EQ(samplesOf<std::uint8_t>(*eight)[0], 71) << "(200 + 127) mod 256";
  RefPtr<TALAudioBuffer> wide = buffer24({1, 2});
  wide->SetValue(0x00876543);
  EXPECT_EQ(samples24(*wide), (std::vector<std::int32_t>{-0x789ABD, -0x789ABD})) << "the plain low three bytes";
  wide->Zero();
  EXPECT_EQ(samples24(*wide), (std::vector<std::int32_t>{0, 0}));
}

TEST(AudioBufferTest, MultiplyRealRoundsHalvesToEvenAndWrapsWithoutClamping) {
  RefPtr<TALAudioBuffer> sixteen = buffer16({3, 5, -5, 20000});
  sixteen->MultiplyReal(0.5);
  EXPECT_EQ(samplesOf<std::int16_t>(*sixteen), (std::vector<std::int16_t>{2, 2, -2, 10000}));
  RefPtr<TALAudioBuffer> wraps = buffer16({20000});
  wraps->MultiplyReal(2.0);
  EXPECT_EQ(samplesOf<std::int16_t>(*wraps)[0], -25536);
  RefPtr<TALAudioBuffer> eight = buffer8({255, 127});
  eight->MultiplyReal(0.5);
  EXPECT_EQ(samplesOf<std::uint8_t>(*eight), (std::vector<std::uint8_t>{128, 64}));
  RefPtr<TALAudioBuffer> wide = buffer24({8388607});
  wide->MultiplyReal(0.5);
  EXPECT_EQ(std::vector<std::uint8_t>(wide->Read(), wide->Read() + 3), (std::vector<std::uint8_t>{0x00, 0x00, 0x40}));
  RefPtr<TALAudioBuffer> thirtyTwo = buffer32({1 << 30, -3});
  thirtyTwo->MultiplyReal(4.5);
  EXPECT_EQ(samplesOf<std::int32_t>(*thirtyTwo), (std::vector<std::int32_t>{1 << 29, -14})) << "the low 32 bits";
}

TEST(AudioBufferTest, MultiplyRealByOneCopiesASharedBlockButChangesNoSample) {
  RefPtr<TALAudioBuffer> buffer = buffer16({1, -1, 32767});
  RefPtr<TALAudioBuffer> sharer = TALAudioBuffer::CreateEx(*buffer);
  buffer->MultiplyReal(1.0);
  EXPECT_NE(buffer->DataContainer(), sharer->DataContainer());
  EXPECT_EQ(samplesOf<std::int16_t>(*buffer), (std::vector<std::int16_t>{1, -1, 32767}));
}

TEST(AudioBufferTest, ValueFormsSaturateOrWrapByContainer) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  RefPtr<TALAudioBuffer> eight = buffer8({250, 10});
  eight->AddValue(0x10A);  // the low byte, 10
  EXPECT_EQ(samplesOf<std::uint8_t>(*eight), (std::vector<std::uint8_t>{255, 20}));
  eight->SubtractValue(15);
  EXPECT_EQ(samplesOf<std::uint8_t>(*eight), (std::vector<std::uint8_t>{240, 5}));
  eight->DivideValue(2);
  EXPECT_EQ(samplesOf<std::uint8_t>(*eight), (std::vector<std::uint8_t>{120, 2})) << "2.5 rounds to 2";

  RefPtr<TALAudioBuffer> sixteen = buffer16({30000, -30000, 5, 7, -5});
  sixteen->MultiplyValue(2);
  EXPECT_EQ(samplesOf<std::int16_t>(*sixteen), (std::vector<std::int16_t>{32767, -32768, 10, 14, -10}));
  sixteen->DivideValue(4);
  EXPECT_EQ(samplesOf<std::int16_t>(*sixteen), (std::vector<std::int16_t>{8192, -8192, 2, 4, -2}));
  sixteen->DivideValue(0);
  EXPECT_EQ(samplesOf<std::int16_t>(*sixteen)[0], 8192) << "a zero divisor leaves the samples";

  RefPtr<TALAudioBuffer> thirtyTwo = buffer32({kMax - 1, 7});
  thirtyTwo->AddValue(5);
  EXPECT_EQ(samplesOf<std::int32_t>(*thirtyTwo), (std::vector<std::int32_t>{kMax, 12}));
  thirtyTwo->DivideValue(-5);
  EXPECT_EQ(samplesOf<std::int32_t>(*thirtyTwo)[1], -2);
  EXPECT_THROW(thirtyTwo->DivideValue(0), EDivByZero);

  RefPtr<TALAudioBuffer> wide = buffer24({8388607, -4});
  wide->AddValue(1);
  EXPECT_EQ(samples24(*wide), (std::vector<std::int32_t>{-8388608, -3})) << "24-bit sums wrap";
  EXPECT_THROW(wide->DivideValue(0), EDivByZero);
}

TEST(AudioBufferTest, ChannelValueFormsChangeOneChannelAnd32BitResultsWrap) {
  RefPtr<TALAudioBuffer> stereo = buffer16({1, 2, 3, 4}, 2);
  stereo->SetChannelValue(1, 0x10009);
  EXPECT_EQ(samplesOf<std::int16_t>(*stereo), (std::vector<std::int16_t>{1, 9, 3, 9}));
  stereo->MultiplyChannelValue(0, 20000);
  EXPECT_EQ(samplesOf<std::int16_t>(*stereo), (std::vector<std::int16_t>{20000, 9, 32767, 9}));
  EXPECT_THROW(stereo->AddChannelValue(2, 1), ERangeError);

  RefPtr<TALAudioBuffer> eight = buffer8({1});
  eight->SetChannelValue(0, 5);
  EXPECT_EQ(samplesOf<std::uint8_t>(*eight)[0], 5) << "no zero-level offset for a channel";

  RefPtr<TALAudioBuffer> thirtyTwo = buffer32({std::numeric_limits<std::int32_t>::max()});
  thirtyTwo->AddChannelValue(0, 1);
  EXPECT_EQ(samplesOf<std::int32_t>(*thirtyTwo)[0], std::numeric_limits<std::int32_t>::min());

  RefPtr<TALAudioBuffer> wide = buffer24({0});
  wide->SetChannelValue(0, -8388609);
  EXPECT_EQ(samples24(*wide)[0], -1) << "the 24-bit store rule sets the sign bit of a negative value";
  EXPECT_THROW(wide->DivideChannelValue(0, 0), EDivByZero);
}

TEST(AudioBufferTest, TwoBufferArithmeticByContainer) {
  RefPtr<TALAudioBuffer> sixteen = buffer16({30000, 7, 7, -7, 5});
  sixteen->Add(buffer16({10000, 0, 0, 0, 0}).get());
  EXPECT_EQ(samplesOf<std::int16_t>(*sixteen)[0], 32767);
  sixteen->Divide(buffer16({1, 2, 0, 0, 2}).get());
  EXPECT_EQ(samplesOf<std::int16_t>(*sixteen), (std::vector<std::int16_t>{32767, 4, 32767, -32768, 2}));

  RefPtr<TALAudioBuffer> eight = buffer8({200, 100, 27});
  eight->Multiply(buffer8({129, 127, 137}).get());
  EXPECT_EQ(samplesOf<std::uint8_t>(*eight), (std::vector<std::uint8_t>{17, 127, 0x97}));
  RefPtr<TALAudioBuffer> quotient = buffer8({227, 5});
  quotient->Divide(buffer8({137, 127}).get());
  EXPECT_EQ(samplesOf<std::uint8_t>(*quotient), (std::vector<std::uint8_t>{137, 127}));

  RefPtr<TALAudioBuffer> thirtyTwo = buffer32({std::numeric_limits<std::int32_t>::max(), 9});
  thirtyTwo->Add(buffer32({1, 1}).get());
  EXPECT_EQ(samplesOf<std::int32_t>(*thirtyTwo)[0], std::numeric_limits<std::int32_t>::min());
  EXPECT_THROW(thirtyTwo->Divide(buffer32({1, 0}).get()), EDivByZero);
  EXPECT_EQ(samplesOf<std::int32_t>(*thirtyTwo)[0], std::numeric_limits<std::int32_t>::min())
      << "samples before the zero divisor keep their new values";
}

TEST(AudioBufferTest, TwoBufferArithmeticPairsChannelsBySpeakerOrAppliesAMonoOperandToAll) {
  RefPtr<TALAudioBuffer> stereo = buffer16({1, 2, 3, 4}, 2);
  stereo->Add(buffer16({10, 20}).get());
  EXPECT_EQ(samplesOf<std::int16_t>(*stereo), (std::vector<std::int16_t>{11, 12, 23, 24}));

  std::vector<std::int16_t> frontRightAndCenter{100, 1000};
  RefPtr<TALAudioBuffer> operand = TALAudioBuffer::CreateDataEx(frontRightAndCenter.data(), 44100, 16, 2, 1,
                                                                 speakers({spFrontRight, spFrontCenter}));
  RefPtr<TALAudioBuffer> target = buffer16({1, 2}, 2);
  target->Add(operand.get());
  EXPECT_EQ(samplesOf<std::int16_t>(*target), (std::vector<std::int16_t>{1, 102})) << "only front right pairs";
}

TEST(AudioBufferTest, ResizeKeepsTheFormatAndMovesOnlyWhenItMust) {
  RefPtr<TALAudioBuffer> buffer = buffer16({1, 2, 3, 4, 5, 6}, 2);
  TSLSmartBuffer* block = buffer->DataContainer();
  const std::uint8_t* samples = buffer->Read();
  buffer->Resize(0, true);
  EXPECT_EQ(buffer->GetSize(), 3u) << "Resize(0) changes nothing";
  RefPtr<TALAudioBuffer> sharer = TALAudioBuffer::CreateEx(*buffer);
  buffer->Resize(2, true);
  EXPECT_EQ(buffer->GetSize(), 2u);
  EXPECT_EQ(buffer->DataContainer(), block);
  EXPECT_EQ(buffer->Read(), samples);
  buffer->Resize(100, true);
  EXPECT_NE(buffer->DataContainer(), block) << "a shared block is left to its other owner";
  EXPECT_EQ(buffer->GetSize(), 100u);
  EXPECT_EQ(buffer->GetChannels(), 2u);
  const std::vector<std::int16_t> kept = samplesOf<std::int16_t>(*buffer);
  EXPECT_EQ(std::vector<std::int16_t>(kept.begin(), kept.begin() + 6), (std::vector<std::int16_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(sharer->GetSize(), 3u);
  TSLSmartBuffer* own = buffer->DataContainer();
  buffer->Resize(110, false);
  EXPECT_EQ(buffer->DataContainer(), own) << "a sole owner grows in place while the block has room";
}

TEST(AudioBufferTest, CopyDataMapsChannelsBySpeakerPosition) {
  RefPtr<TALAudioBuffer> source = buffer16({1, 2, 3, 4}, 2);
  RefPtr<TALAudioBuffer> stereo = TALAudioBuffer::CreateSize(44100, 16, 2, 3);
  stereo->Zero();
  source->CopyData(0, stereo->AsDataBufferIntf(), 1, 2);
  EXPECT_EQ(samplesOf<std::int16_t>(*stereo), (std::vector<std::int16_t>{0, 0, 1, 2, 3, 4}));

  RefPtr<TALAudioBuffer> centre = TALAudioBuffer::CreateSizeEx(44100, 16, 1, 2, speakers({spFrontCenter}));
  centre->SetValue(99);
  source->CopyData(0, centre->AsDataBufferIntf(), 0, 2);
  EXPECT_EQ(samplesOf<std::int16_t>(*centre), (std::vector<std::int16_t>{0, 0})) << "no common speaker: zeros";

  EXPECT_THROW(source->CopyData(1, stereo->AsDataBufferIntf(), 0, 2), ERangeError);
  EXPECT_THROW(source->CopyData(0, stereo->AsDataBufferIntf(), 2, 2), ERangeError);
}

TEST(AudioBufferTest, CopyDataConvertsBetweenContainers) {
  struct Row {
    std::int32_t fromBits, toBits, value, expected;
  };
  const Row rows[] = {
      {8, 16, 255, 32767},           {8, 16, 0, -32768},         {8, 32, 255, 2147483647},
      {8, 24, 0, -8388607},          {8, 24, 255, 8388607},      {16, 8, 32767, 255},
      {16, 8, -32768, 0},            {16, 8, 0, 128},            {32, 8, -2147483647 - 1, 0},
      {24, 8, 8388607, 254},         {16, 24, 16384, 4194431},   {16, 32, -32767, -2147483647},
      {16, 32, -32768, -2147483647 - 1}, {32, 16, 2147483647, 32767}, {24, 16, -8388608, -32767},
  };
  for (const Row& row : rows) {
    RefPtr<TALAudioBuffer> source = TALAudioBuffer::CreateSize(8000, row.fromBits, 1, 1);
    source->SetChannelValue(0, row.value);
    RefPtr<TALAudioBuffer> target = TALAudioBuffer::CreateSize(8000, row.toBits, 1, 1);
    source->CopyData(0, target->AsDataBufferIntf(), 0, 1);
    const std::int32_t got = row.toBits == 24 ? samples::load24(target->Read())
                                              : samples::loadSample(target->Read(), row.toBits);
    EXPECT_EQ(got, row.expected) << row.fromBits << " -> " << row.toBits << " of " << row.value;
  }
}

TEST(AudioBufferTest, ChannelBuffersHoldOneChannelAsNumbers) {
  RefPtr<ISLIntegerBuffer> integers;
  buffer8({0, 127, 255})->GetChannelIntegerBuffer(0, integers);
  ASSERT_TRUE(integers);
  EXPECT_EQ(std::vector<std::int32_t>(integers->Read(), integers->Read() + 3), (std::vector<std::int32_t>{-127, 0, 128}));
  RefPtr<ISLRealBuffer> reals;
  buffer16({1, -2, 3, -4}, 2)->GetChannelRealBuffer(1, reals);
  ASSERT_TRUE(reals);
  EXPECT_EQ(std::vector<double>(reals->Read(), reals->Read() + reals->GetSize()), (std::vector<double>{-2, -4}));
  RefPtr<ISLRealBuffer> untouched;
  TALAudioBuffer::CreateSize(8000, 40, 1, 2)->GetChannelRealBuffer(0, untouched);
  EXPECT_FALSE(untouched) << "a container the arithmetic does not know leaves the result unset";
}

TEST(AudioBufferTest, ComponentsFindTheAudioInterfaceOnWhatArrives) {
  RefPtr<ISLData> arrived = buffer16({1})->MakeCopy();
  RefPtr<IALAudioBuffer> audio = queryInterface<IALAudioBuffer>(arrived);
  ASSERT_TRUE(audio);
  EXPECT_TRUE(supports<IMLMediaBuffer>(audio.get()));
  EXPECT_TRUE(supports<ISLGenericBuffer>(audio.get()));
  EXPECT_EQ(audio->GetSampleRate(), 44100u);
  EXPECT_TRUE(audio->IsEqual(buffer16({1})->AsDataBufferIntf())) << "equality sees the sample bytes";
}

}  // namespace
}  // namespace sib
