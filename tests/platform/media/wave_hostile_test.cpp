// Hostile files: every row is a small file that is wrong in one way. Each must end in a clear code
// or a short read; the sanitizers see to it that none reads or writes out of bounds. Setting
// SIB_WAVE_CORPUS_DIR writes the rows as files there: they seed the reader's fuzz target.
#include <cstdlib>
#include <limits>

#include <gtest/gtest.h>

#include "tests/platform/media/wave_fixtures.h"

namespace sib::test {
namespace {

struct HostileCase {
  const char* name;
  Bytes file;
  MediaResult stream;        // from opening the file and getting its audio stream
  std::uint32_t length = 0;  // dwLength, when there is a stream
  MediaResult decoder = kMediaFormatNotSupported;  // opening a decoder for the stored format
  MediaResult decodeEnd = kMediaOk;                // the last result of reading and decoding all of it
  std::size_t decodedFrames = 0;                   // frames decoded before that
};

std::ostream& operator<<(std::ostream& out, const HostileCase& row) { return out << row.name; }

Bytes repeat(std::initializer_list<std::uint8_t> pattern, std::size_t times) {
  Bytes bytes;
  for (std::size_t i = 0; i < times; ++i) bytes.insert(bytes.end(), pattern);
  return bytes;
}

Bytes joined(Bytes first, const Bytes& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

Bytes prefix(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

Bytes withBytes(Bytes bytes, std::size_t at, std::initializer_list<std::uint8_t> values) {
  for (std::uint8_t v : values) bytes.at(at++) = v;
  return bytes;
}

const Bytes kPcm = pcmFormat(2, 8000, 16);
const Bytes kFrames = Bytes(400, 0x11);  // 100 stereo 16-bit frames
const Bytes kImaStereo = formatRecord(kWaveFormatImaAdpcm, 2, 8000, 8111, 512, 4, {0xF9, 0x01});
const Bytes kMsStereo = formatRecord(kWaveFormatMsAdpcm, 2, 8000, 8192, 512, 4, msAdpcmExtra(500));
// Two IMA blocks of 505 frames: headers with step index 0, then silence.
const Bytes kImaBlocks = Bytes(1024, 0);

std::vector<HostileCase> hostileCases() {
  // Two stereo MS ADPCM blocks: predictors 0, deltas 16, samples 0, then nibbles.
  Bytes msBlock = {0, 0, 16, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  msBlock.resize(512, 0x12);
  const Bytes msBlocks = joined(msBlock, msBlock);
  // Full-scale samples and delta, and nibbles that push the prediction hardest.
  const Bytes extremeMsBlock =
      withBytes(Bytes(512, 0x88), 0, {0, 0, 0xFF, 0x7F, 0xFF, 0x7F, 0, 0x80, 0, 0x80, 0, 0x80, 0, 0x80});
  std::vector<Chunk> chunks(500, Chunk{"junk", {}});
  chunks.push_back({"fmt ", kPcm});
  chunks.push_back({"data", kFrames});

  return {
      {"Empty", {}, kMediaCannotOpen},
      {"ShorterThanRiffHeader", Bytes{'R', 'I', 'F', 'F', 4, 0, 0}, kMediaCannotOpen},
      {"RiffOfAnotherForm", withBytes(riffWave({{"fmt ", kPcm}, {"data", kFrames}}), 8, {'A', 'V', 'I', ' '}),
       kMediaCannotOpen},
      {"BigEndianRifx", withBytes(riffWave({{"fmt ", kPcm}, {"data", kFrames}}), 0, {'R', 'I', 'F', 'X'}),
       kMediaCannotOpen},
      {"NoChunks", riffWave({}), kMediaNoAudioStream},
      {"NoFormat", riffWave({{"data", kFrames}}), kMediaNoAudioStream},
      {"NoData", riffWave({{"fmt ", kPcm}, {"LIST", Bytes(10)}}), kMediaNoAudioStream},
      {"FormatOf14Bytes", riffWave({{"fmt ", prefix(kPcm, 14)}, {"data", kFrames}}),
       kMediaNoAudioStream},
      {"FormatPastTheEndAfterData", riffWave({{"data", kFrames}, {"fmt ", kPcm, 0x7FFFFFF0}}), kMediaOk, 100},
      {"FormatCutShortAtTheEnd", riffWave({{"data", kFrames}, {"fmt ", prefix(kPcm, 12), 16}}),
       kMediaNoAudioStream},
      {"HugeFormatChunk", riffWave({{"fmt ", joined(kPcm, Bytes(70000))}, {"data", kFrames}}), kMediaNoAudioStream},
      {"DataPastTheEnd", riffWave({{"fmt ", kPcm}, {"data", kFrames, 40000}}), kMediaOk, 100},
      {"DataOfUnknownLength", riffWave({{"fmt ", kPcm}, {"data", kFrames, 0xFFFFFFFF}}), kMediaOk, 100},
      {"ChunkSizePastTheEndBeforeData", riffWave({{"fmt ", kPcm}, {"LIST", Bytes(4), 0xFFFFFFF0}, {"data", kFrames}}),
       kMediaNoAudioStream},
      {"OddChunkWithPad", riffWave({{"LIST", Bytes(7)}, {"fmt ", kPcm}, {"data", kFrames}}), kMediaOk, 100},
      {"OddChunkWithoutPad", riffWave({{"LIST", Bytes(7), std::nullopt, false}, {"fmt ", kPcm}, {"data", kFrames}}),
       kMediaNoAudioStream},
      {"OddData", riffWave({{"fmt ", kPcm}, {"data", Bytes(403)}}), kMediaOk, 100},
      {"RepeatedChunks", riffWave({{"fmt ", kPcm}, {"fmt ", Bytes(3)}, {"data", kFrames}, {"data", Bytes(8)}}), kMediaOk,
       100},
      {"HundredsOfEmptyChunks", riffWave(chunks), kMediaOk, 100},
      {"ZeroChannels", riffWave({{"fmt ", formatRecord(1, 0, 8000, 32000, 4, 16)}, {"data", kFrames}}),
       kMediaNoAudioStream},
      {"AbsurdChannels", riffWave({{"fmt ", formatRecord(1, 65535, 8000, 32000, 4, 16)}, {"data", kFrames}}),
       kMediaNoAudioStream},
      {"ZeroRate", riffWave({{"fmt ", formatRecord(1, 2, 0, 32000, 4, 16)}, {"data", kFrames}}), kMediaNoAudioStream},
      {"AbsurdRate", riffWave({{"fmt ", formatRecord(1, 2, 0xFFFFFFFF, 32000, 4, 16)}, {"data", kFrames}}),
       kMediaNoAudioStream},
      {"ZeroBits", riffWave({{"fmt ", formatRecord(1, 2, 8000, 32000, 4, 0)}, {"data", kFrames}}), kMediaNoAudioStream},
      {"AbsurdBits", riffWave({{"fmt ", formatRecord(1, 2, 8000, 32000, 4, 4000)}, {"data", kFrames}}),
       kMediaNoAudioStream},
      {"ZeroBlockAlign", riffWave({{"fmt ", formatRecord(1, 2, 8000, 32000, 0, 16)}, {"data", kFrames}}),
       kMediaNoAudioStream},
      {"PcmBlockAlignNotAFrame", riffWave({{"fmt ", formatRecord(1, 2, 8000, 32000, 3, 16)}, {"data", kFrames}}),
       kMediaNoAudioStream},
      {"PcmBlockAlignLargerThanAFrame", riffWave({{"fmt ", formatRecord(1, 2, 8000, 32000, 400, 16)}, {"data", kFrames}}),
       kMediaNoAudioStream},
      {"ZeroByteRate", riffWave({{"fmt ", formatRecord(1, 2, 8000, 0, 4, 16)}, {"data", kFrames}}), kMediaNoAudioStream},
      {"BlockLargerThanData", riffWave({{"fmt ", formatRecord(kWaveFormatALaw, 2, 8000, 16000, 2, 8)}, {"data", Bytes(1)}}),
       kMediaOk, 0, kMediaOk},
      {"ExtensibleWithSmallCbSize",
       riffWave({{"fmt ", extensibleFormat(kWaveFormatPcm, 2, 8000, 16, 16, 10)}, {"data", kFrames}}),
       kMediaNoAudioStream},
      {"ExtensibleCutTo24Bytes",
       riffWave({{"fmt ", prefix(extensibleFormat(kWaveFormatPcm, 2, 8000, 16, 16), 24)}, {"data", kFrames}}),
       kMediaNoAudioStream},
      {"ExtensibleValidBitsAboveContainer",
       riffWave({{"fmt ", extensibleFormat(kWaveFormatPcm, 2, 8000, 16, 24)}, {"data", kFrames}}), kMediaNoAudioStream},
      {"ExtensibleUnknownSubFormat",
       riffWave({{"fmt ", withBytes(extensibleFormat(kWaveFormatPcm, 2, 8000, 16, 16), 30, {0x99})}, {"data", kFrames}}),
       kMediaOk, 100},
      {"ImaBlockShorterThanHeaders",
       riffWave({{"fmt ", formatRecord(kWaveFormatImaAdpcm, 2, 8000, 8000, 6, 4, {1, 0})}, {"data", Bytes(60)}}),
       kMediaOk, 10},
      {"ImaThreeBitSamples",
       riffWave({{"fmt ", formatRecord(kWaveFormatImaAdpcm, 2, 8000, 8111, 512, 3, {0xF9, 0x01})}, {"data", kImaBlocks}}),
       kMediaOk, 2},
      {"ImaBadStepIndexInFirstBlock", riffWave({{"fmt ", kImaStereo}, {"data", withBytes(kImaBlocks, 6, {89})}}),
       kMediaOk, 2, kMediaOk, kMediaCorruptBlock, 0},
      {"ImaBadStepIndexInSecondBlock", riffWave({{"fmt ", kImaStereo}, {"data", withBytes(kImaBlocks, 514, {200})}}),
       kMediaOk, 2, kMediaOk, kMediaOk, 505},  // the conversion of both blocks ends before the second
      {"ImaTruncatedMidBlock", riffWave({{"fmt ", kImaStereo}, {"data", prefix(kImaBlocks, kImaBlocks.size() - 100)}}),
       kMediaOk, 1, kMediaOk, kMediaOk, 505},
      {"MsBlockShorterThanHeaders",
       riffWave({{"fmt ", formatRecord(kWaveFormatMsAdpcm, 2, 8000, 8000, 13, 4, msAdpcmExtra(2))}, {"data", Bytes(26)}}),
       kMediaOk, 2},
      {"MsWithoutCoefficients",
       riffWave({{"fmt ", formatRecord(kWaveFormatMsAdpcm, 2, 8000, 8192, 512, 4, {0xF4, 0x01})}, {"data", msBlocks}}),
       kMediaOk, 2},
      {"MsCoefficientCountBeyondTheRecord",
       riffWave({{"fmt ", withBytes(kMsStereo, 20, {200})}, {"data", msBlocks}}), kMediaOk, 2},
      {"MsZeroCoefficients", riffWave({{"fmt ", withBytes(kMsStereo, 20, {0})}, {"data", msBlocks}}), kMediaOk, 2},
      {"MsBadPredictorIndex", riffWave({{"fmt ", kMsStereo}, {"data", withBytes(msBlocks, 1, {7})}}), kMediaOk, 2,
       kMediaOk, kMediaCorruptBlock, 0},
      {"MsBadPredictorInSecondBlock", riffWave({{"fmt ", kMsStereo}, {"data", withBytes(msBlocks, 512, {255})}}),
       kMediaOk, 2, kMediaOk, kMediaOk, 500},
      {"MsRunawayDelta",
       riffWave({{"fmt ", formatRecord(kWaveFormatMsAdpcm, 1, 8000, 8192, 1024, 4, msAdpcmExtra(2036))},
                 {"data", withBytes(Bytes(1024, 0x77), 0, {0, 0xFF, 0x7F, 0xFF, 0x7F, 0, 0x80})}}),
       kMediaOk, 1, kMediaOk, kMediaOk, 2036},
      {"MsHostileCoefficients",
       riffWave({{"fmt ", withBytes(kMsStereo, 22, {0x00, 0x80, 0x00, 0x80})},
                 {"data", joined(extremeMsBlock, extremeMsBlock)}}),
       kMediaOk, 2, kMediaOk, kMediaOk, 1000},
      {"ALawTwoBytesPerMonoSample",
       riffWave({{"fmt ", formatRecord(kWaveFormatALaw, 1, 8000, 16000, 2, 8)}, {"data", Bytes(100)}}), kMediaOk, 50},
      {"FloatOf16Bits", riffWave({{"fmt ", formatRecord(kWaveFormatIeeeFloat, 2, 8000, 32000, 4, 16)}, {"data", kFrames}}),
       kMediaOk, 100},
      {"FloatNaNsAndInfinities",
       riffWave({{"fmt ", formatRecord(kWaveFormatIeeeFloat, 1, 8000, 32000, 4, 32)},
                 {"data", repeat({0x00, 0x00, 0xC0, 0x7F, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0x7F, 0x7F}, 10)}}),
       kMediaOk, 30, kMediaOk, kMediaOk, 30},
      {"UnknownFormatTag", riffWave({{"fmt ", formatRecord(0x55, 2, 8000, 16000, 1, 0)}, {"data", kFrames}}), kMediaOk,
       400},
  };
}

class WaveHostileTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(WaveHostileTest, EndsInAClearCodeOrAShortRead) {
  const HostileCase& row = GetParam();
  MediaResult result = kMediaOk;
  const auto stream = openMemoryStream(row.file, &result);
  ASSERT_EQ(result, row.stream);
  if (!stream) return;
  EXPECT_EQ(stream->info().dwLength, row.length);

  // Every block can be read, and nothing beyond them.
  Bytes all(std::size_t{row.length} * stream->info().dwSampleSize + 1);
  std::int32_t samples = -1;
  ASSERT_EQ(stream->read(0, std::numeric_limits<std::int32_t>::max(), all.data(),
                         static_cast<std::int32_t>(all.size()), nullptr, &samples),
            kMediaOk);
  EXPECT_EQ(static_cast<std::uint32_t>(samples), row.length);

  const DecodeRun run = decodeStream(*stream, 2);
  EXPECT_EQ(run.openResult, row.decoder);
  if (run.openResult != kMediaOk) return;
  EXPECT_EQ(run.lastResult, row.decodeEnd);
  EXPECT_EQ(run.samples.size(), row.decodedFrames * stream->formatFields().nChannels);
}

// The same files from disk end the same way.
TEST_P(WaveHostileTest, FileOnDiskEndsLikeTheBytesInMemory) {
  const HostileCase& row = GetParam();
  TempDir dir;
  writeFile(dir.file("hostile.wav"), row.file);
  MediaResult result = kMediaOk;
  openFileStream(dir.file("hostile.wav"), &result);
  EXPECT_EQ(result, row.stream);

  // Seeds are kept small: the fuzzer's inputs are no longer than its largest seed.
  const char* corpus = std::getenv("SIB_WAVE_CORPUS_DIR");
  if (corpus && row.file.size() <= 16384) writeFile(std::string(corpus) + "/" + row.name + ".wav", row.file);
}

INSTANTIATE_TEST_SUITE_P(Files, WaveHostileTest, ::testing::ValuesIn(hostileCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sib::test
