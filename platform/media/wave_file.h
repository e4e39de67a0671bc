// The RIFF WAVE reader. It opens a wave file (or the bytes of one held in memory) and shows its one
// audio stream the way the player reads it: stream information counted in blocks, the `fmt ` chunk
// exactly as stored, and reads of whole blocks at a block position. A "sample" of the stream is one
// block of `nBlockAlign` bytes: one frame of PCM, one compressed block of ADPCM.
//
// Results are codes (media_result.h), never exceptions. Hostile files get a code or a short read;
// nothing is read past the data, and nothing is allocated by a size the file claims.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/media/media_result.h"
#include "platform/media/wave_format.h"

namespace sib {

namespace media_detail {
class ByteSource;
}

// What the stream reports about itself. `dwScale` / `dwRate` seconds is one stream sample.
struct WaveStreamInfo {
  std::uint32_t dwScale = 0;       // `nBlockAlign`
  std::uint32_t dwRate = 0;        // `nAvgBytesPerSec`
  std::uint32_t dwStart = 0;       // always 0
  std::uint32_t dwLength = 0;      // whole blocks in the data chunk, measured to the end of the file
  std::uint32_t dwSampleSize = 0;  // `nBlockAlign`
};

class WaveStream;

// An open file. Streams taken from it stay valid after the file object is gone.
class WaveFile {
 public:
  // Opens `fileName` for reading, relative names against the current directory. kMediaCannotOpen
  // when it is missing, unreadable, not a regular file, or does not begin as a RIFF WAVE file.
  static MediaResult open(const std::string& fileName, std::unique_ptr<WaveFile>& file);
  // The same over bytes held in memory (tests and the fuzzer).
  static MediaResult openMemory(std::vector<std::uint8_t> bytes, std::unique_ptr<WaveFile>& file);

  // The file's audio stream. kMediaNoAudioStream, with `stream` left empty, when the file has no
  // usable `fmt ` chunk (see isUsableWaveFormat) or no `data` chunk. The first `fmt ` and the first
  // `data` chunk count; chunks may stand in any order, odd sizes are padded to even.
  MediaResult getAudioStream(std::unique_ptr<WaveStream>& stream) const;

  ~WaveFile();
  WaveFile(const WaveFile&) = delete;
  WaveFile& operator=(const WaveFile&) = delete;

 private:
  explicit WaveFile(std::shared_ptr<const media_detail::ByteSource> source);
  std::shared_ptr<const media_detail::ByteSource> source_;
};

// The audio stream of a wave file. Its reads may come from any one thread at a time per call; the
// object holds no read position of its own.
class WaveStream {
 public:
  const WaveStreamInfo& info() const { return info_; }
  // The `fmt ` chunk exactly as stored: 16 bytes or more, 40 for the extensible record. Callers that
  // read fields beyond its size must read them from a zeroed copy.
  std::span<const std::uint8_t> format() const { return format_; }
  // The stored format decoded (its `extra` points into format()).
  const WaveFormatFields& formatFields() const { return fields_; }

  // Reads up to `count` samples starting at sample `position` into `buffer`, which holds
  // `bufferBytes` bytes. A position at or past the end reads nothing and succeeds; otherwise the
  // count is limited to what the buffer holds (bytes div `nBlockAlign`) and to `dwLength` − position.
  // Stores the bytes and samples read where those pointers are not null. With a null buffer it reads
  // nothing and reports the size the read would need. kMediaInvalidParameter for a negative argument,
  // kMediaReadFailed when the operating system fails the read. A file that became shorter than it was
  // at open gives a short read of the whole blocks still there.
  MediaResult read(std::int32_t position, std::int32_t count, void* buffer, std::int32_t bufferBytes,
                   std::int32_t* bytesRead, std::int32_t* samplesRead) const;

  // Milliseconds from the start of the stream to `sample`, and back; both round down.
  std::int64_t sampleToTime(std::int32_t sample) const;
  std::int64_t timeToSample(std::int32_t milliseconds) const;

  ~WaveStream();
  WaveStream(const WaveStream&) = delete;
  WaveStream& operator=(const WaveStream&) = delete;

 private:
  friend class WaveFile;
  WaveStream(std::shared_ptr<const media_detail::ByteSource> source, std::vector<std::uint8_t> format,
             std::uint64_t dataStart, std::uint32_t dataBytes);

  std::shared_ptr<const media_detail::ByteSource> source_;
  std::vector<std::uint8_t> format_;
  WaveFormatFields fields_;
  WaveStreamInfo info_;
  std::uint64_t dataStart_ = 0;
};

}  // namespace sib
