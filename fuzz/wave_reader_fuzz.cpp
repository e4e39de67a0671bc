// Feeds arbitrary bytes to the wave reader as a file in memory, reads every block of its stream the
// way the player does and decodes what it read, checking the contracts on the way: reads stay within
// the caller's buffer and the stream's length, conversions within the size bound.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/media/wave_decoder.h"
#include "platform/media/wave_file.h"

namespace {

using namespace sib;

void check(bool condition) {
  if (!condition) std::abort();
}

// The 16-bit PCM format a player decodes to, as the 40-byte extensible record.
std::vector<std::uint8_t> pcm16For(const WaveFormatFields& source) {
  const std::uint16_t blockAlign = static_cast<std::uint16_t>(2 * source.nChannels);
  const std::uint32_t byteRate = blockAlign * source.nSamplesPerSec;
  const std::uint8_t subFormat[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  std::vector<std::uint8_t> record;
  auto put = [&record](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) record.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  put(kWaveFormatExtensible, 2);
  put(source.nChannels, 2);
  put(source.nSamplesPerSec, 4);
  put(byteRate, 4);
  put(blockAlign, 2);
  put(16, 2);
  put(22, 2);
  put(16, 2);
  put((1u << (source.nChannels % 32)) - 1, 4);
  record.insert(record.end(), subFormat, subFormat + 16);
  return record;
}

void decodeRead(const WaveDecoder& decoder, const std::uint8_t* coded, std::int32_t bytes, std::uint32_t flags) {
  std::uint32_t bound = 0;
  if (decoder.size(static_cast<std::uint32_t>(bytes), bound) != kMediaOk) return;
  std::vector<std::uint8_t> pcm(bound);
  WaveConvertHeader header;
  header.pbSrc = coded;
  header.cbSrcLength = static_cast<std::uint32_t>(bytes);
  header.pbDst = pcm.data();
  header.cbDstLength = bound;
  if (decoder.prepareHeader(header) != kMediaOk) return;
  const MediaResult result = decoder.convert(header, flags);
  check(header.cbSrcLengthUsed <= header.cbSrcLength);
  check(header.cbDstLengthUsed <= bound);
  check(result != kMediaOk || header.cbDstLengthUsed > 0);
  check(decoder.unprepareHeader(header) == kMediaOk);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<WaveFile> file;
  if (WaveFile::openMemory(std::vector<std::uint8_t>(data, data + size), file) != kMediaOk) return 0;
  std::unique_ptr<WaveStream> stream;
  if (file->getAudioStream(stream) != kMediaOk) return 0;

  const WaveStreamInfo& info = stream->info();
  check(info.dwSampleSize > 0 && info.dwScale == info.dwSampleSize);
  check(std::uint64_t{info.dwLength} * info.dwSampleSize <= size);

  std::unique_ptr<WaveDecoder> decoder;
  WaveDecoder::open(stream->format(), pcm16For(stream->formatFields()), decoder);

  // A player's buffer holds 1024 frames of the delivered format; here a few blocks at most.
  const std::int32_t bufferBytes = static_cast<std::int32_t>(info.dwSampleSize * 3 + 1);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(bufferBytes));
  std::uint32_t flags = kWaveConvertStart | kWaveConvertBlockAlign;
  std::int32_t position = 0;
  for (;;) {
    std::int32_t bytes = -1;
    std::int32_t samples = -1;
    check(stream->read(position, 1024, buffer.data(), bufferBytes, &bytes, &samples) == kMediaOk);
    check(samples >= 0 && samples <= bufferBytes / static_cast<std::int32_t>(info.dwSampleSize) && bytes == samples * static_cast<std::int32_t>(info.dwSampleSize));
    if (samples == 0) break;
    position += samples;
    if (decoder) decodeRead(*decoder, buffer.data(), bytes, flags);
    flags = kWaveConvertBlockAlign;
  }
  check(static_cast<std::uint32_t>(position) == info.dwLength);
  return 0;
}
