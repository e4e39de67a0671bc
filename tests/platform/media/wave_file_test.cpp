#include "platform/media/wave_file.h"

#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "tests/platform/media/wave_fixtures.h"

namespace sib::test {
namespace {

// Frames whose bytes tell their index: frame i of a 16-bit stereo file holds samples i and -i.
Bytes stereoFrames(int count) {
  Bytes data;
  for (int i = 0; i < count; ++i) {
    appendLe16(data, static_cast<std::uint16_t>(i));
    appendLe16(data, static_cast<std::uint16_t>(-i));
  }
  return data;
}

std::int16_t sampleAt(const Bytes& buffer, std::size_t index) {
  return static_cast<std::int16_t>(buffer[2 * index] | (buffer[2 * index + 1] << 8));
}

TEST(WaveFileTest, StreamInfoCountsBlocksOfTheStoredFormat) {
  const Bytes format = pcmFormat(2, 44100, 16);
  auto stream = openMemoryStream(riffWave({{"fmt ", format}, {"data", stereoFrames(5000)}}));
  ASSERT_TRUE(stream);
  const WaveStreamInfo& info = stream->info();
  EXPECT_EQ(info.dwScale, 4u);
  EXPECT_EQ(info.dwSampleSize, 4u);
  EXPECT_EQ(info.dwRate, 44100u * 4);
  EXPECT_EQ(info.dwStart, 0u);
  EXPECT_EQ(info.dwLength, 5000u);
  EXPECT_EQ(Bytes(stream->format().begin(), stream->format().end()), format);
}

TEST(WaveFileTest, FormatIsTheStoredChunkExactlyWhateverItsSize) {
  const Bytes extensible = extensibleFormat(kWaveFormatPcm, 2, 48000, 24, 20);
  auto stream = openMemoryStream(riffWave({{"fmt ", extensible}, {"data", Bytes(60)}}));
  ASSERT_TRUE(stream);
  EXPECT_EQ(Bytes(stream->format().begin(), stream->format().end()), extensible);
  EXPECT_EQ(stream->formatFields().wValidBitsPerSample, 20);
  EXPECT_EQ(stream->formatFields().dwChannelMask, 3u);
}

TEST(WaveFileTest, PartialLastBlockIsNotCounted) {
  Bytes data = stereoFrames(10);
  data.resize(data.size() + 3);
  auto stream = openMemoryStream(riffWave({{"fmt ", pcmFormat(2, 8000, 16)}, {"data", data}}));
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->info().dwLength, 10u);
}

TEST(WaveFileTest, DataChunkLongerThanTheFileIsMeasuredToTheEnd) {
  auto stream = openMemoryStream(riffWave({{"fmt ", pcmFormat(2, 8000, 16)}, {"data", stereoFrames(7), 4000}}));
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->info().dwLength, 7u);
}

TEST(WaveFileTest, ReadIsLimitedByTheBufferAndTheLength) {
  auto stream = openMemoryStream(riffWave({{"fmt ", pcmFormat(2, 8000, 16)}, {"data", stereoFrames(5000)}}));
  ASSERT_TRUE(stream);
  Bytes buffer(1024 * 4);
  std::int32_t bytes = -1, samples = -1;

  ASSERT_EQ(stream->read(100, 1024, buffer.data(), 10 * 4 + 3, &bytes, &samples), kMediaOk);
  EXPECT_EQ(samples, 10);
  EXPECT_EQ(bytes, 40);
  EXPECT_EQ(sampleAt(buffer, 0), 100);
  EXPECT_EQ(sampleAt(buffer, 1), -100);

  ASSERT_EQ(stream->read(4700, 1024, buffer.data(), 4096, &bytes, &samples), kMediaOk);
  EXPECT_EQ(samples, 300);
  EXPECT_EQ(bytes, 1200);
  EXPECT_EQ(sampleAt(buffer, 2 * 299), 4999);

  ASSERT_EQ(stream->read(5000, 1024, buffer.data(), 4096, &bytes, &samples), kMediaOk);
  EXPECT_EQ(samples, 0);
  EXPECT_EQ(bytes, 0);
  ASSERT_EQ(stream->read(90000, 1, buffer.data(), 4096, &bytes, &samples), kMediaOk);
  EXPECT_EQ(samples, 0);
}

TEST(WaveFileTest, ReadWithoutBufferReportsTheSizeItWouldNeed) {
  auto stream = openMemoryStream(riffWave({{"fmt ", pcmFormat(2, 8000, 16)}, {"data", stereoFrames(50)}}));
  ASSERT_TRUE(stream);
  std::int32_t bytes = 0, samples = 0;
  ASSERT_EQ(stream->read(40, 1000, nullptr, 0, &bytes, &samples), kMediaOk);
  EXPECT_EQ(samples, 10);
  EXPECT_EQ(bytes, 40);
}

TEST(WaveFileTest, NegativeArgumentsAreRejected) {
  auto stream = openMemoryStream(riffWave({{"fmt ", pcmFormat(2, 8000, 16)}, {"data", stereoFrames(50)}}));
  ASSERT_TRUE(stream);
  Bytes buffer(64);
  EXPECT_EQ(stream->read(-1, 4, buffer.data(), 64, nullptr, nullptr), kMediaInvalidParameter);
  EXPECT_EQ(stream->read(0, -4, buffer.data(), 64, nullptr, nullptr), kMediaInvalidParameter);
  EXPECT_EQ(stream->read(0, 4, buffer.data(), -64, nullptr, nullptr), kMediaInvalidParameter);
}

TEST(WaveFileTest, ChunksMayComeInAnyOrderWithPaddedOddSizes) {
  const Bytes frames = stereoFrames(20);
  const Chunk list{"LIST", Bytes{'I', 'N', 'F', 'O', 'x'}};  // odd: padded
  const Chunk junk{"junk", Bytes(3, 0xEE)};
  for (const auto& chunks : std::vector<std::vector<Chunk>>{
           {list, {"fmt ", pcmFormat(2, 8000, 16)}, {"data", frames}},
           {{"data", frames}, junk, {"fmt ", pcmFormat(2, 8000, 16)}},
           {{"fmt ", pcmFormat(2, 8000, 16)}, junk, {"data", frames}, list},
       }) {
    auto stream = openMemoryStream(riffWave(chunks));
    ASSERT_TRUE(stream);
    Bytes buffer(frames.size());
    std::int32_t bytes = 0;
    ASSERT_EQ(stream->read(0, 20, buffer.data(), static_cast<std::int32_t>(buffer.size()), &bytes, nullptr), kMediaOk);
    EXPECT_EQ(buffer, frames);
  }
}

TEST(WaveFileTest, FirstOfRepeatedChunksCounts) {
  const Bytes first = stereoFrames(4);
  auto stream = openMemoryStream(riffWave({{"fmt ", pcmFormat(2, 8000, 16)},
                                     {"data", first},
                                     {"fmt ", pcmFormat(1, 22050, 8)},
                                     {"data", Bytes(100, 0x55)}}));
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->formatFields().nChannels, 2);
  EXPECT_EQ(stream->info().dwLength, 4u);
}

TEST(WaveFileTest, SampleAndTimeConvertThroughMilliseconds) {
  auto stream = openMemoryStream(riffWave({{"fmt ", pcmFormat(2, 44100, 16)}, {"data", stereoFrames(4)}}));
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->sampleToTime(44100), 1000);
  EXPECT_EQ(stream->sampleToTime(44099), 999);
  EXPECT_EQ(stream->timeToSample(1000), 44100);
  EXPECT_EQ(stream->timeToSample(23), 1014);
}

TEST(WaveFileTest, FileThatCannotBeOpenedIsToldApartFromOneWithoutStream) {
  TempDir dir;
  std::unique_ptr<WaveFile> file;
  EXPECT_EQ(WaveFile::open(dir.file("missing.wav"), file), kMediaCannotOpen);
  EXPECT_FALSE(file);
  EXPECT_EQ(WaveFile::open(dir.file(""), file), kMediaCannotOpen);  // the folder itself

  writeFile(dir.file("text.wav"), Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'});
  EXPECT_EQ(WaveFile::open(dir.file("text.wav"), file), kMediaCannotOpen);

  writeFile(dir.file("nodata.wav"), riffWave({{"fmt ", pcmFormat(2, 8000, 16)}}));
  ASSERT_EQ(WaveFile::open(dir.file("nodata.wav"), file), kMediaOk);
  std::unique_ptr<WaveStream> stream;
  EXPECT_EQ(file->getAudioStream(stream), kMediaNoAudioStream);
  EXPECT_FALSE(stream);
  EXPECT_NE(kMediaCannotOpen, kMediaNoAudioStream);
}

TEST(WaveFileTest, FifoIsRefusedWithoutWaitingForAWriter) {
  TempDir dir;
  const std::string fifo = dir.file("pipe.wav");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::unique_ptr<WaveFile> file;
  EXPECT_EQ(WaveFile::open(fifo, file), kMediaCannotOpen);
}

TEST(WaveFileTest, FileReadsMatchMemoryReadsAndOutliveTheFileObject) {
  TempDir dir;
  const Bytes bytes = riffWave({{"fmt ", pcmFormat(2, 8000, 16)}, {"data", stereoFrames(300)}});
  writeFile(dir.file("a.wav"), bytes);
  const auto stream = openFileStream(dir.file("a.wav"));
  ASSERT_TRUE(stream);

  Bytes fromFile(256 * 4), fromMemory(256 * 4);
  std::int32_t samples = 0;
  ASSERT_EQ(stream->read(44, 256, fromFile.data(), 1024, nullptr, &samples), kMediaOk);
  EXPECT_EQ(samples, 256);
  ASSERT_EQ(openMemoryStream(bytes)->read(44, 256, fromMemory.data(), 1024, nullptr, nullptr), kMediaOk);
  EXPECT_EQ(fromFile, fromMemory);
}

TEST(WaveFileTest, FileTruncatedAfterOpenGivesAShortReadOfWholeBlocks) {
  TempDir dir;
  const Bytes bytes = riffWave({{"fmt ", pcmFormat(2, 8000, 16)}, {"data", stereoFrames(300)}});
  writeFile(dir.file("a.wav"), bytes);
  const auto stream = openFileStream(dir.file("a.wav"));
  ASSERT_TRUE(stream);
  ASSERT_EQ(stream->info().dwLength, 300u);

  std::filesystem::resize_file(dir.file("a.wav"), bytes.size() - 4 * 100 - 2);  // 99.5 frames fewer
  Bytes buffer(300 * 4);
  std::int32_t bytesRead = 0, samples = 0;
  ASSERT_EQ(stream->read(0, 300, buffer.data(), 1200, &bytesRead, &samples), kMediaOk);
  EXPECT_EQ(samples, 199);
  EXPECT_EQ(bytesRead, 199 * 4);
}

}  // namespace
}  // namespace sib::test
