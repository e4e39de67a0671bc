#include "platform/media/wave_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace sib {
namespace media_detail {

// Where a wave file's bytes come from: a regular file or a block of memory. Reads at an offset are
// independent of each other, so a source is safe to share.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The size seen when the source was opened.
  virtual std::uint64_t size() const = 0;
  // Reads up to `count` bytes at `offset`; `got` receives how many arrived (fewer at the end of the
  // source). False when the read itself failed.
  virtual bool readAt(std::uint64_t offset, std::uint8_t* into, std::size_t count, std::size_t& got) const = 0;
};

}  // namespace media_detail

namespace {

using media_detail::ByteSource;

class FileSource final : public ByteSource {
 public:
  FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  ~FileSource() override { ::close(fd_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  std::uint64_t size() const override { return size_; }

  bool readAt(std::uint64_t offset, std::uint8_t* into, std::size_t count, std::size_t& got) const override {
    got = 0;
    while (got < count) {
      const ssize_t n = ::pread(fd_, into + got, count - got, static_cast<off_t>(offset + got));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return false;
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    return true;
  }

 private:
  int fd_;
  std::uint64_t size_;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::uint64_t size() const override { return bytes_.size(); }

  bool readAt(std::uint64_t offset, std::uint8_t* into, std::size_t count, std::size_t& got) const override {
    got = 0;
    if (offset >= bytes_.size()) return true;
    got = static_cast<std::size_t>(std::min<std::uint64_t>(count, bytes_.size() - offset));
    if (got > 0) std::memcpy(into, bytes_.data() + offset, got);
    return true;
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

constexpr std::uint64_t kRiffHeaderSize = 12;
constexpr std::uint64_t kChunkHeaderSize = 8;
// A file made of nothing but empty chunks would otherwise make the scan read every 8 bytes of it.
constexpr int kMaxChunksScanned = 65536;

bool hasId(const std::uint8_t* at, const char (&id)[5]) { return std::memcmp(at, id, 4) == 0; }

bool readExactly(const ByteSource& source, std::uint64_t offset, std::uint8_t* into, std::size_t count) {
  std::size_t got = 0;
  return source.readAt(offset, into, count, got) && got == count;
}

bool isRiffWave(const ByteSource& source) {
  std::uint8_t header[kRiffHeaderSize];
  return readExactly(source, 0, header, sizeof header) && hasId(header, "RIFF") && hasId(header + 8, "WAVE");
}

// Opens without blocking (a FIFO would otherwise wait for a writer) and accepts regular files only.
int openRegularFile(const std::string& fileName, std::uint64_t& size) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  size = static_cast<std::uint64_t>(st.st_size);
  return fd;
}

// Where the chunks that make a stream stand in the file.
struct ChunkScan {
  bool haveFormat = false;
  bool formatTooLarge = false;
  std::vector<std::uint8_t> format;
  bool haveData = false;
  std::uint64_t dataStart = 0;
  std::uint32_t dataBytes = 0;  // measured to the end of the source
};

bool scanChunks(const ByteSource& source, ChunkScan& scan) {
  const std::uint64_t end = source.size();
  std::uint64_t offset = kRiffHeaderSize;
  for (int chunk = 0; chunk < kMaxChunksScanned && offset + kChunkHeaderSize <= end; ++chunk) {
    std::uint8_t header[kChunkHeaderSize];
    if (!readExactly(source, offset, header, sizeof header)) return false;
    const std::uint32_t declared = loadLe32(header + 4);
    const std::uint64_t body = offset + kChunkHeaderSize;
    const std::uint64_t present = std::min<std::uint64_t>(declared, end - body);

    if (hasId(header, "fmt ") && !scan.haveFormat) {
      scan.haveFormat = true;
      if (present > kWaveFormatMaxSize) {
        scan.formatTooLarge = true;
      } else {
        scan.format.resize(static_cast<std::size_t>(present));
        std::size_t got = 0;
        if (!source.readAt(body, scan.format.data(), scan.format.size(), got)) return false;
        scan.format.resize(got);
      }
    } else if (hasId(header, "data") && !scan.haveData) {
      scan.haveData = true;
      scan.dataStart = body;
      scan.dataBytes = static_cast<std::uint32_t>(present);
    }
    if (scan.haveFormat && scan.haveData) break;
    offset = body + declared + (declared & 1u);
  }
  return true;
}

}  // namespace

MediaResult WaveFile::open(const std::string& fileName, std::unique_ptr<WaveFile>& file) {
  file.reset();
  std::uint64_t size = 0;
  const int fd = openRegularFile(fileName, size);
  if (fd < 0) return kMediaCannotOpen;
  auto source = std::make_shared<const FileSource>(fd, size);
  if (!isRiffWave(*source)) return kMediaCannotOpen;
  file.reset(new WaveFile(std::move(source)));
  return kMediaOk;
}

MediaResult WaveFile::openMemory(std::vector<std::uint8_t> bytes, std::unique_ptr<WaveFile>& file) {
  file.reset();
  auto source = std::make_shared<const MemorySource>(std::move(bytes));
  if (!isRiffWave(*source)) return kMediaCannotOpen;
  file.reset(new WaveFile(std::move(source)));
  return kMediaOk;
}

WaveFile::WaveFile(std::shared_ptr<const media_detail::ByteSource> source) : source_(std::move(source)) {}
WaveFile::~WaveFile() = default;

MediaResult WaveFile::getAudioStream(std::unique_ptr<WaveStream>& stream) const {
  stream.reset();
  ChunkScan scan;
  if (!scanChunks(*source_, scan)) return kMediaReadFailed;
  if (!scan.haveFormat || scan.formatTooLarge || !scan.haveData) return kMediaNoAudioStream;

  WaveFormatFields fields;
  if (!decodeWaveFormat(scan.format, fields) || !isUsableWaveFormat(fields)) return kMediaNoAudioStream;
  stream.reset(new WaveStream(source_, std::move(scan.format), scan.dataStart, scan.dataBytes));
  return kMediaOk;
}

WaveStream::WaveStream(std::shared_ptr<const media_detail::ByteSource> source, std::vector<std::uint8_t> format,
                       std::uint64_t dataStart, std::uint32_t dataBytes)
    : source_(std::move(source)), format_(std::move(format)), dataStart_(dataStart) {
  decodeWaveFormat(format_, fields_);  // checked by the caller; decoded again so `extra` points into format_
  info_.dwScale = fields_.nBlockAlign;
  info_.dwSampleSize = fields_.nBlockAlign;
  info_.dwRate = fields_.nAvgBytesPerSec;
  info_.dwStart = 0;
  info_.dwLength = dataBytes / fields_.nBlockAlign;
}

WaveStream::~WaveStream() = default;

MediaResult WaveStream::read(std::int32_t position, std::int32_t count, void* buffer, std::int32_t bufferBytes,
                             std::int32_t* bytesRead, std::int32_t* samplesRead) const {
  if (bytesRead) *bytesRead = 0;
  if (samplesRead) *samplesRead = 0;
  if (position < 0 || count < 0 || bufferBytes < 0) return kMediaInvalidParameter;
  const std::uint32_t blockAlign = info_.dwSampleSize;
  if (static_cast<std::uint32_t>(position) >= info_.dwLength) return kMediaOk;

  std::uint32_t blocks = std::min<std::uint32_t>(static_cast<std::uint32_t>(count),
                                                 info_.dwLength - static_cast<std::uint32_t>(position));
  if (buffer != nullptr) blocks = std::min<std::uint32_t>(blocks, static_cast<std::uint32_t>(bufferBytes) / blockAlign);
  // Reports stay within the 32-bit counts of the interface.
  blocks = std::min<std::uint32_t>(blocks, std::numeric_limits<std::int32_t>::max() / blockAlign);
  if (buffer == nullptr) {
    if (bytesRead) *bytesRead = static_cast<std::int32_t>(blocks * blockAlign);
    if (samplesRead) *samplesRead = static_cast<std::int32_t>(blocks);
    return kMediaOk;
  }

  std::size_t got = 0;
  const std::uint64_t offset = dataStart_ + std::uint64_t{static_cast<std::uint32_t>(position)} * blockAlign;
  if (!source_->readAt(offset, static_cast<std::uint8_t*>(buffer), std::size_t{blocks} * blockAlign, got))
    return kMediaReadFailed;
  const std::uint32_t whole = static_cast<std::uint32_t>(got / blockAlign);
  if (bytesRead) *bytesRead = static_cast<std::int32_t>(whole * blockAlign);
  if (samplesRead) *samplesRead = static_cast<std::int32_t>(whole);
  return kMediaOk;
}

std::int64_t WaveStream::sampleToTime(std::int32_t sample) const {
  if (info_.dwRate == 0) return 0;
  return std::int64_t{sample} * info_.dwScale * 1000 / info_.dwRate;
}

std::int64_t WaveStream::timeToSample(std::int32_t milliseconds) const {
  if (info_.dwScale == 0) return 0;
  return std::int64_t{milliseconds} * info_.dwRate / (std::int64_t{info_.dwScale} * 1000);
}

}  // namespace sib
