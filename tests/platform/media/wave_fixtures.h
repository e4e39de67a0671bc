// Helpers for the media tests: wave files assembled chunk by chunk in memory (to make hostile files
// exactly as bad as a row needs), a temporary folder, sox as the reference encoder and decoder, and
// whole-file reading and decoding through the reader and decoders under test.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "platform/media/wave_decoder.h"
#include "platform/media/wave_file.h"

namespace sib::test {

using Bytes = std::vector<std::uint8_t>;

inline void appendLe16(Bytes& bytes, std::uint32_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void appendLe32(Bytes& bytes, std::uint32_t value) {
  appendLe16(bytes, value & 0xFFFF);
  appendLe16(bytes, value >> 16);
}

inline void appendId(Bytes& bytes, const std::string& id) { bytes.insert(bytes.end(), id.begin(), id.begin() + 4); }

struct Chunk {
  Chunk(std::string chunkId, Bytes chunkBody, std::optional<std::uint32_t> declared = std::nullopt,
        bool padded = true)
      : id(std::move(chunkId)), body(std::move(chunkBody)), declaredSize(declared), pad(padded) {}

  std::string id;                             // four characters
  Bytes body;
  std::optional<std::uint32_t> declaredSize;  // the size field, when it should lie about the body
  bool pad;                                   // add the pad byte after an odd body
};

// "RIFF", the size of what follows, "WAVE", then the chunks as given.
inline Bytes riffWave(const std::vector<Chunk>& chunks) {
  Bytes body;
  appendId(body, "WAVE");
  for (const Chunk& chunk : chunks) {
    appendId(body, chunk.id);
    appendLe32(body, chunk.declaredSize.value_or(static_cast<std::uint32_t>(chunk.body.size())));
    body.insert(body.end(), chunk.body.begin(), chunk.body.end());
    if (chunk.pad && chunk.body.size() % 2 == 1) body.push_back(0);
  }
  Bytes file;
  appendId(file, "RIFF");
  appendLe32(file, static_cast<std::uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

// A stored format record: the 16 base bytes, then `cbSize` and `extra` unless `withCbSize` is false.
inline Bytes formatRecord(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint32_t avgBytes,
                          std::uint16_t blockAlign, std::uint16_t bits, const Bytes& extra = {},
                          bool withCbSize = true) {
  Bytes record;
  appendLe16(record, tag);
  appendLe16(record, channels);
  appendLe32(record, rate);
  appendLe32(record, avgBytes);
  appendLe16(record, blockAlign);
  appendLe16(record, bits);
  if (!withCbSize) return record;
  appendLe16(record, static_cast<std::uint32_t>(extra.size()));
  record.insert(record.end(), extra.begin(), extra.end());
  return record;
}

// Integer PCM with consistent fields, 16 bytes as most writers store it.
inline Bytes pcmFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  const auto blockAlign = static_cast<std::uint16_t>(channels * ((bits + 7) / 8));
  return formatRecord(kWaveFormatPcm, channels, rate, rate * blockAlign, blockAlign, bits, {}, false);
}

// The 40-byte extensible record with the given sub-format tag; `cbSize` may be set to lie.
inline Bytes extensibleFormat(std::uint16_t subFormatTag, std::uint16_t channels, std::uint32_t rate,
                              std::uint16_t bits, std::uint16_t validBits, std::uint16_t cbSize = 22) {
  const auto blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
  Bytes extra;
  appendLe16(extra, validBits);
  appendLe32(extra, (1u << channels) - 1);
  appendLe32(extra, subFormatTag);  // then the rest of the base GUID ...-0000-0010-8000-00AA00389B71
  for (std::uint8_t b : {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}) extra.push_back(b);
  Bytes record = formatRecord(kWaveFormatExtensible, channels, rate, rate * blockAlign, blockAlign, bits, extra);
  record[16] = static_cast<std::uint8_t>(cbSize);
  record[17] = static_cast<std::uint8_t>(cbSize >> 8);
  return record;
}

// The extra bytes of Microsoft ADPCM: samples per block, then the standard seven coefficient pairs.
inline Bytes msAdpcmExtra(std::uint16_t samplesPerBlock, std::uint16_t pairs = 7) {
  static constexpr int kPairs[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
  Bytes extra;
  appendLe16(extra, samplesPerBlock);
  appendLe16(extra, pairs);
  for (int i = 0; i < pairs && i < 7; ++i) {
    appendLe16(extra, static_cast<std::uint16_t>(kPairs[i][0]));
    appendLe16(extra, static_cast<std::uint16_t>(kPairs[i][1]));
  }
  return extra;
}

// The 16-bit PCM destination the player decodes to (extensible, as it builds it).
inline Bytes pcm16Destination(std::uint16_t channels, std::uint32_t rate) {
  return extensibleFormat(kWaveFormatPcm, channels, rate, 16, 16);
}

// A folder under the system's temporary folder, removed with everything in it on destruction.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sibilon-media-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs sox with the arguments (a shell command line after "sox"); true when it succeeded. No dither,
// and its noise generators start from a fixed seed (-R), so that a failing row fails again.
inline bool sox(const std::string& arguments) {
  const std::string command = "sox -D -R " + arguments + " 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

// The audio stream of a file on disk or in memory, or null with the failing result in `result`.
// The file object is gone by then: the stream keeps what it needs.
inline std::unique_ptr<WaveStream> openStream(MediaResult opened, const std::unique_ptr<WaveFile>& file,
                                              MediaResult* result) {
  std::unique_ptr<WaveStream> stream;
  if (opened == kMediaOk) opened = file->getAudioStream(stream);
  if (result) *result = opened;
  return stream;
}
inline std::unique_ptr<WaveStream> openFileStream(const std::string& path, MediaResult* result = nullptr) {
  std::unique_ptr<WaveFile> file;
  const MediaResult opened = WaveFile::open(path, file);
  return openStream(opened, file, result);
}
inline std::unique_ptr<WaveStream> openMemoryStream(const Bytes& bytes, MediaResult* result = nullptr) {
  std::unique_ptr<WaveFile> file;
  const MediaResult opened = WaveFile::openMemory(bytes, file);
  return openStream(opened, file, result);
}

// Every sample of a 16-bit PCM wave file, read through WaveFile.
inline std::vector<std::int16_t> readPcm16(const std::string& path) {
  const std::unique_ptr<WaveStream> stream = openFileStream(path);
  if (!stream) return {};
  const WaveStreamInfo& info = stream->info();
  std::vector<std::int16_t> samples(std::size_t{info.dwLength} * info.dwSampleSize / 2);
  std::int32_t bytes = 0;
  stream->read(0, static_cast<std::int32_t>(info.dwLength), samples.data(),
               static_cast<std::int32_t>(samples.size() * 2), &bytes, nullptr);
  samples.resize(static_cast<std::size_t>(bytes) / 2);
  return samples;
}

// Pink noise made by sox in 16 bits, coded in a format of sox's (`encode`: its output options), with
// sox's own decode of the coded file as the reference a player's output is held to.
struct CodedRow {
  const char* name;
  const char* encode;
  int channels;
  double seconds;
};

inline std::ostream& operator<<(std::ostream& os, const CodedRow& row) {
  return os << row.name << ", " << row.channels << " channel(s), " << row.seconds << " s";
}

struct CodedFile {
  std::string path;
  std::vector<std::int16_t> decoded;  // sox's decode, interleaved; empty when sox failed
};

// The coded file is `stem`.wav; its source and decode lie beside it.
inline CodedFile makeSoxCoded(const std::string& stem, const CodedRow& row) {
  CodedFile file{stem + ".wav", {}};
  if (sox("-n -r 44100 -b 16 -c " + std::to_string(row.channels) + " " + stem + "-source.wav synth " +
          std::to_string(row.seconds) + " pinknoise vol 0.5") &&
      sox(stem + "-source.wav " + row.encode + " " + file.path) &&
      sox(file.path + " -e signed-integer -b 16 " + stem + "-decoded.wav")) {
    file.decoded = readPcm16(stem + "-decoded.wav");
  }
  return file;
}

inline WaveConvertHeader convertHeader(const std::uint8_t* source, std::size_t sourceBytes, std::uint8_t* destination,
                                       std::size_t destinationBytes) {
  WaveConvertHeader header;
  header.pbSrc = source;
  header.cbSrcLength = static_cast<std::uint32_t>(sourceBytes);
  header.pbDst = destination;
  header.cbDstLength = static_cast<std::uint32_t>(destinationBytes);
  return header;
}

struct DecodeRun {
  MediaResult openResult = kMediaOk;
  MediaResult lastResult = kMediaOk;
  std::vector<std::int16_t> samples;
};

// Reads a coded stream in reads of `blocksPerRead` blocks, as a player does, and decodes each read
// with WaveDecoder into 16-bit PCM. Stops at the first failing call, noting its result.
inline DecodeRun decodeStream(const WaveStream& stream, std::int32_t blocksPerRead = 8) {
  DecodeRun run;
  const WaveFormatFields& source = stream.formatFields();
  std::unique_ptr<WaveDecoder> decoder;
  run.openResult = WaveDecoder::open(stream.format(), pcm16Destination(source.nChannels, source.nSamplesPerSec), decoder);
  if (run.openResult != kMediaOk) return run;

  const std::uint32_t blockAlign = stream.info().dwSampleSize;
  std::vector<std::uint8_t> coded(std::size_t{blockAlign} * static_cast<std::size_t>(blocksPerRead));
  std::uint32_t flags = kWaveConvertStart | kWaveConvertBlockAlign;
  for (std::int32_t position = 0;;) {
    std::int32_t bytes = 0;
    std::int32_t blocks = 0;
    run.lastResult = stream.read(position, blocksPerRead, coded.data(), static_cast<std::int32_t>(coded.size()),
                                 &bytes, &blocks);
    if (run.lastResult != kMediaOk || blocks == 0) return run;
    position += blocks;

    std::uint32_t decodedBytes = 0;
    run.lastResult = decoder->size(static_cast<std::uint32_t>(bytes), decodedBytes);
    if (run.lastResult != kMediaOk) return run;
    std::vector<std::uint8_t> pcm(decodedBytes);
    WaveConvertHeader header = convertHeader(coded.data(), static_cast<std::size_t>(bytes), pcm.data(), pcm.size());
    run.lastResult = decoder->prepareHeader(header);
    if (run.lastResult != kMediaOk) return run;
    run.lastResult = decoder->convert(header, flags);
    flags = kWaveConvertBlockAlign;
    decoder->unprepareHeader(header);
    for (std::uint32_t i = 0; i + 1 < header.cbDstLengthUsed; i += 2)
      run.samples.push_back(static_cast<std::int16_t>(pcm[i] | (pcm[i + 1] << 8)));
    if (run.lastResult != kMediaOk) return run;
  }
}

inline DecodeRun decodeFile(const std::string& path, std::int32_t blocksPerRead = 8) {
  DecodeRun run;
  const std::unique_ptr<WaveStream> stream = openFileStream(path, &run.openResult);
  return stream ? decodeStream(*stream, blocksPerRead) : run;
}

}  // namespace sib::test
