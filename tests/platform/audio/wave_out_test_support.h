// Shared by the waveform output tests: a callback that logs messages for the test thread to wait on,
// sample builders, owners for headers over sample vectors, and SDL's disk driver as a recording device.
#pragma once

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/sdl_wave_out.h"
#include "platform/audio/wave_out.h"

namespace sib::test {

struct LoggedMessage {
  WaveOutHandle handle;
  WaveOutMessage message;
  WaveHeader* header;
  std::thread::id thread;
};

class MessageLog {
 public:
  WaveOutCallback callback() {
    return [this](WaveOutHandle handle, WaveOutMessage message, WaveHeader* header) {
      {
        std::lock_guard lock(mutex_);
        messages_.push_back({handle, message, header, std::this_thread::get_id()});
      }
      changed_.notify_all();
    };
  }

  // Waits (with a generous deadline, for a stuck device) until `count` messages of a kind arrived.
  bool waitFor(WaveOutMessage message, std::size_t count, std::chrono::seconds limit = std::chrono::seconds(20)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return countLocked(message) >= count; });
  }

  std::vector<LoggedMessage> messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::size_t count(WaveOutMessage message) {
    std::lock_guard lock(mutex_);
    return countLocked(message);
  }
  std::vector<WaveHeader*> done() {
    std::lock_guard lock(mutex_);
    std::vector<WaveHeader*> headers;
    for (const LoggedMessage& m : messages_) {
      if (m.message == kWomDone) headers.push_back(m.header);
    }
    return headers;
  }

 private:
  std::size_t countLocked(WaveOutMessage message) const {
    std::size_t n = 0;
    for (const LoggedMessage& m : messages_) n += m.message == message ? 1 : 0;
    return n;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<LoggedMessage> messages_;
};

inline WaveOutFormat pcmFormat(std::uint16_t bits, std::uint16_t channels, std::uint32_t rate) {
  return WaveOutFormat{WaveSampleType::Pcm, channels, rate, bits, static_cast<std::uint16_t>(channels * bits / 8)};
}

// Buffers and their headers, kept at stable addresses.
class HeaderSet {
 public:
  // Splits `bytes` into buffers of the given frame counts (cycled) and prepares a header over each.
  HeaderSet(const std::vector<std::byte>& bytes, std::size_t blockAlign, const std::vector<std::size_t>& framesEach) {
    std::size_t offset = 0;
    for (std::size_t i = 0; offset < bytes.size(); ++i) {
      const std::size_t length = std::min(framesEach[i % framesEach.size()] * blockAlign, bytes.size() - offset);
      buffers_.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                            bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
      offset += length;
    }
    for (auto& buffer : buffers_) {
      auto header = std::make_unique<WaveHeader>();
      header->data = buffer.data();
      header->bufferLength = static_cast<std::uint32_t>(buffer.size());
      headers_.push_back(std::move(header));
    }
  }
  std::size_t size() const { return headers_.size(); }
  WaveHeader* operator[](std::size_t i) { return headers_[i].get(); }

  MMResult prepareAndWriteAll(WaveOutHandle handle) {
    for (auto& header : headers_) {
      if (MMResult r = waveOutPrepareHeader(handle, header.get()); r != kMMNoError) return r;
      if (MMResult r = waveOutWrite(handle, header.get()); r != kMMNoError) return r;
    }
    return kMMNoError;
  }
  MMResult unprepareAll(WaveOutHandle handle) {
    for (auto& header : headers_) {
      if (MMResult r = waveOutUnprepareHeader(handle, header.get()); r != kMMNoError) return r;
    }
    return kMMNoError;
  }

 private:
  std::deque<std::vector<std::byte>> buffers_;
  std::vector<std::unique_ptr<WaveHeader>> headers_;
};

// Little-endian samples of `bits` bits (8-bit stored unsigned) from signed values.
inline std::vector<std::byte> encodeSamples(const std::vector<std::int32_t>& values, int bits) {
  std::vector<std::byte> bytes;
  for (std::int32_t v : values) {
    const std::uint32_t u = bits == 8 ? static_cast<std::uint32_t>(v + 128) : static_cast<std::uint32_t>(v);
    for (int b = 0; b < bits / 8; ++b) bytes.push_back(static_cast<std::byte>((u >> (8 * b)) & 0xFF));
  }
  return bytes;
}

// Device samples (8 unsigned, 16, or 32 bits) as signed values.
inline std::vector<std::int32_t> decodeDeviceSamples(const std::vector<std::byte>& bytes, int deviceBits) {
  std::vector<std::int32_t> values;
  const std::size_t width = static_cast<std::size_t>(deviceBits / 8);
  for (std::size_t i = 0; i + width <= bytes.size(); i += width) {
    if (deviceBits == 8) {
      values.push_back(std::to_integer<int>(bytes[i]) - 128);
    } else if (deviceBits == 16) {
      std::int16_t v;
      std::memcpy(&v, &bytes[i], 2);
      values.push_back(v);
    } else {
      std::int32_t v;
      std::memcpy(&v, &bytes[i], 4);
      values.push_back(v);
    }
  }
  return values;
}

// Pseudo-random samples that are never zero, so that played samples stand out from silence.
inline std::vector<std::int32_t> nonZeroSamples(std::size_t count, int bits, std::uint32_t seed = 12345) {
  std::vector<std::int32_t> values(count);
  const std::int64_t half = std::int64_t{1} << (bits - 1);
  for (auto& v : values) {
    seed = seed * 1664525u + 1013904223u;
    std::int64_t x = static_cast<std::int64_t>((static_cast<std::uint64_t>(seed) << 16) ^ (seed >> 7)) % half;
    if (x == 0) x = 1;
    v = static_cast<std::int32_t>((seed & 1) ? x : -x);
  }
  return values;
}

// SDL's disk driver, writing what its device plays to a file of this object's own, for as long as the
// object lives; the dummy driver afterwards. delayMs is the driver's wait per device period ("0":
// as fast as it can).
class DiskAudioCapture {
 public:
  explicit DiskAudioCapture(const char* delayMs)
      : file_(std::filesystem::temp_directory_path() / ("sib-disk-audio-" + std::to_string(getpid()) + ".raw")) {
    setenv("SDL_DISKAUDIOFILE", file_.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", delayMs, 1);
    selected_ = selectSdlAudioDriver("disk");
  }
  ~DiskAudioCapture() {
    selectSdlAudioDriver("dummy");
    std::filesystem::remove(file_);
  }
  DiskAudioCapture(const DiskAudioCapture&) = delete;
  DiskAudioCapture& operator=(const DiskAudioCapture&) = delete;

  MMResult selected() const { return selected_; }
  std::vector<std::byte> bytes() const {
    std::ifstream in(file_, std::ios::binary);
    std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::byte> bytes(chars.size());
    std::memcpy(bytes.data(), chars.data(), chars.size());
    return bytes;
  }

 private:
  std::filesystem::path file_;
  MMResult selected_ = kMMNoError;
};

}  // namespace sib::test
