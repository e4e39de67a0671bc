// One block of 1024 frames read from a wave file and decoded to 16-bit PCM, for 16-bit PCM (read
// only) and for each coded format, against the baseline of copying the same 4096 bytes of 16-bit
// stereo with memcpy. All files are 44.1 kHz stereo, on disk (the page cache serves them), read
// through WaveFile and decoded through WaveDecoder exactly as a player does. Compare the
// frames per second (items_per_second): ADPCM blocks hold more than 1024 frames, so one iteration
// decodes a whole block of them.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/media/wave_decoder.h"
#include "platform/media/wave_file.h"

namespace {

using namespace sib;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kRate = 44100;
constexpr std::uint16_t kChannels = 2;
constexpr std::size_t kFramesPerRead = 1024;
constexpr std::size_t kSourceBytes = 4 << 20;  // about 24 s of 16-bit stereo

void put(Bytes& bytes, std::uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

Bytes formatRecord(std::uint16_t tag, std::uint32_t avgBytes, std::uint16_t blockAlign, std::uint16_t bits,
                   const Bytes& extra) {
  Bytes record;
  put(record, tag, 2);
  put(record, kChannels, 2);
  put(record, kRate, 4);
  put(record, avgBytes, 4);
  put(record, blockAlign, 2);
  put(record, bits, 2);
  put(record, static_cast<std::uint32_t>(extra.size()), 2);
  record.insert(record.end(), extra.begin(), extra.end());
  return record;
}

Bytes pcm16Destination() {
  Bytes record = formatRecord(0xFFFE, kRate * 4, 4, 16, {});
  record.resize(16);
  put(record, 22, 2);
  put(record, 16, 2);
  put(record, 3, 4);
  for (std::uint8_t b : {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71}) record.push_back(b);
  return record;
}

struct Codec {
  const char* name;
  Bytes format;
  std::uint16_t blockAlign;
  std::uint32_t framesPerBlock;
};

Bytes msAdpcmExtra(std::uint16_t samplesPerBlock) {
  Bytes extra;
  put(extra, samplesPerBlock, 2);
  put(extra, 7, 2);
  for (int pair : {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232})
    put(extra, static_cast<std::uint32_t>(pair), 2);
  return extra;
}

// Random data that every decoder takes: ADPCM headers are made valid block by block.
Bytes codedData(const Codec& codec, std::mt19937& random) {
  Bytes data(kSourceBytes / codec.blockAlign * codec.blockAlign);
  for (auto& b : data) b = static_cast<std::uint8_t>(random());
  const std::uint16_t tag = static_cast<std::uint16_t>(codec.format[0] | (codec.format[1] << 8));
  for (std::size_t block = 0; block < data.size(); block += codec.blockAlign) {
    std::uint8_t* h = data.data() + block;
    if (tag == 0x11) {
      h[2] = h[2] % 89;
      h[6] = h[6] % 89;
    } else if (tag == 0x02) {
      h[0] %= 7;
      h[1] %= 7;
    }
  }
  if (tag == 0x03) {  // values in [-1, 1)
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    const std::size_t width = codec.blockAlign / kChannels;
    for (std::size_t i = 0; i + width <= data.size(); i += width) {
      const double d = value(random);
      const float f = static_cast<float>(d);
      std::memcpy(data.data() + i, width == 8 ? static_cast<const void*>(&d) : static_cast<const void*>(&f), width);
    }
  }
  return data;
}

std::string writeWave(const std::string& name, const Bytes& format, const Bytes& data) {
  Bytes file = {'R', 'I', 'F', 'F'};
  put(file, static_cast<std::uint32_t>(4 + 8 + format.size() + 8 + data.size()), 4);
  file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put(file, static_cast<std::uint32_t>(format.size()), 4);
  file.insert(file.end(), format.begin(), format.end());
  file.insert(file.end(), {'d', 'a', 't', 'a'});
  put(file, static_cast<std::uint32_t>(data.size()), 4);
  file.insert(file.end(), data.begin(), data.end());
  const std::string path = "/tmp/sibilon-bench-" + std::to_string(::getpid()) + "-" + name + ".wav";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                               static_cast<std::streamsize>(file.size()));
  return path;
}

std::unique_ptr<WaveStream> openStream(const std::string& path) {
  std::unique_ptr<WaveFile> file;
  std::unique_ptr<WaveStream> stream;
  if (WaveFile::open(path, file) != kMediaOk || file->getAudioStream(stream) != kMediaOk) std::abort();
  std::remove(path.c_str());  // the open stream keeps the bytes
  return stream;
}

// Frames per second as items per second; and the frames that one iteration delivers.
void reportFrames(benchmark::State& state, double framesPerIteration) {
  state.SetItemsProcessed(static_cast<std::int64_t>(static_cast<double>(state.iterations()) * framesPerIteration));
  state.counters["frames"] = framesPerIteration;
}

void BM_MemcpyBaseline(benchmark::State& state) {
  Bytes source(kSourceBytes);
  Bytes target(kFramesPerRead * 4);
  std::size_t offset = 0;
  for (auto _ : state) {
    std::memcpy(target.data(), source.data() + offset, target.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
    offset = (offset + target.size()) % source.size();
  }
  reportFrames(state, kFramesPerRead);
}
BENCHMARK(BM_MemcpyBaseline);

void BM_ReadPcm16(benchmark::State& state) {
  std::mt19937 random(1);
  const Codec pcm{"pcm16", formatRecord(1, kRate * 4, 4, 16, {}), 4, 1};
  const auto stream = openStream(writeWave(pcm.name, Bytes(pcm.format.begin(), pcm.format.begin() + 16),
                                           codedData(pcm, random)));
  Bytes target(kFramesPerRead * 4);
  const auto length = static_cast<std::int32_t>(stream->info().dwLength);
  std::int32_t position = 0;
  for (auto _ : state) {
    std::int32_t samples = 0;
    stream->read(position, kFramesPerRead, target.data(), static_cast<std::int32_t>(target.size()), nullptr, &samples);
    benchmark::DoNotOptimize(target.data());
    position = (position + samples) % (length - static_cast<std::int32_t>(kFramesPerRead));
  }
  reportFrames(state, kFramesPerRead);
}
BENCHMARK(BM_ReadPcm16);

void BM_ReadAndDecode(benchmark::State& state, Codec codec) {
  std::mt19937 random(2);
  const auto stream = openStream(writeWave(codec.name, codec.format, codedData(codec, random)));
  std::unique_ptr<WaveDecoder> decoder;
  if (WaveDecoder::open(stream->format(), pcm16Destination(), decoder) != kMediaOk) std::abort();

  // Enough whole blocks for 1024 frames.
  const std::uint32_t blocks = static_cast<std::uint32_t>((kFramesPerRead + codec.framesPerBlock - 1) / codec.framesPerBlock);
  const double frames = static_cast<double>(blocks) * codec.framesPerBlock;
  Bytes coded(std::size_t{blocks} * codec.blockAlign);
  std::uint32_t bound = 0;
  decoder->size(static_cast<std::uint32_t>(coded.size()), bound);
  Bytes pcm(bound);
  const auto length = static_cast<std::int32_t>(stream->info().dwLength);
  std::int32_t position = 0;
  for (auto _ : state) {
    std::int32_t bytes = 0;
    std::int32_t samples = 0;
    stream->read(position, static_cast<std::int32_t>(blocks), coded.data(), static_cast<std::int32_t>(coded.size()),
                 &bytes, &samples);
    WaveConvertHeader header;
    header.pbSrc = coded.data();
    header.cbSrcLength = static_cast<std::uint32_t>(bytes);
    header.pbDst = pcm.data();
    header.cbDstLength = bound;
    decoder->prepareHeader(header);
    decoder->convert(header, kWaveConvertBlockAlign);
    decoder->unprepareHeader(header);
    benchmark::DoNotOptimize(pcm.data());
    position = (position + samples) % (length - static_cast<std::int32_t>(blocks));
  }
  reportFrames(state, frames);
}

BENCHMARK_CAPTURE(BM_ReadAndDecode, ImaAdpcm, Codec{"ima", formatRecord(0x11, 44359, 2048, 4, {0xF9, 0x07}), 2048, 2041});
BENCHMARK_CAPTURE(BM_ReadAndDecode, MsAdpcm, Codec{"ms", formatRecord(0x02, 44359, 2048, 4, msAdpcmExtra(2036)), 2048, 2036});
BENCHMARK_CAPTURE(BM_ReadAndDecode, ALaw, Codec{"alaw", formatRecord(0x06, kRate * 2, 2, 8, {}), 2, 1});
BENCHMARK_CAPTURE(BM_ReadAndDecode, MuLaw, Codec{"ulaw", formatRecord(0x07, kRate * 2, 2, 8, {}), 2, 1});
BENCHMARK_CAPTURE(BM_ReadAndDecode, Float32, Codec{"f32", formatRecord(0x03, kRate * 8, 8, 32, {}), 8, 1});
BENCHMARK_CAPTURE(BM_ReadAndDecode, Float64, Codec{"f64", formatRecord(0x03, kRate * 16, 16, 64, {}), 16, 1});

}  // namespace
