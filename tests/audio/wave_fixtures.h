// Small wave files for the player tests, written to a temporary folder that goes with the fixture.
// Frames are numbered so that a block shows where it came from: in the 16-bit PCM files the left
// sample is the frame's index (modulo 32768) and the right one a tag that tells files apart.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/core/guid.h"
#include "platform/media/wave_format.h"

namespace sib::test {

struct WaveSpec {
  std::uint16_t tag = kWaveFormatPcm;
  std::uint16_t channels = 2;
  std::uint32_t rate = 44100;
  std::uint16_t bits = 16;
  std::uint16_t blockAlign = 0;  // 0: channels × bits / 8
  bool extensible = false;
  TGUID subFormat = kWaveSubFormatPcm;
};

inline void putLe(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline std::vector<std::uint8_t> waveBytes(const WaveSpec& spec, const std::vector<std::uint8_t>& data,
                                           bool withData = true) {
  const std::uint16_t blockAlign =
      spec.blockAlign ? spec.blockAlign : static_cast<std::uint16_t>(spec.channels * spec.bits / 8);
  std::vector<std::uint8_t> fmt;
  putLe(fmt, spec.extensible ? kWaveFormatExtensible : spec.tag, 2);
  putLe(fmt, spec.channels, 2);
  putLe(fmt, spec.rate, 4);
  putLe(fmt, std::uint64_t{spec.rate} * blockAlign, 4);
  putLe(fmt, blockAlign, 2);
  putLe(fmt, spec.bits, 2);
  if (spec.extensible) {
    putLe(fmt, 22, 2);
    putLe(fmt, spec.bits, 2);
    putLe(fmt, (1u << spec.channels) - 1, 4);
    std::uint8_t guid[16];
    std::memcpy(guid, &spec.subFormat.D1, 4);
    std::memcpy(guid + 4, &spec.subFormat.D2, 2);
    std::memcpy(guid + 6, &spec.subFormat.D3, 2);
    std::memcpy(guid + 8, spec.subFormat.D4.data(), 8);
    fmt.insert(fmt.end(), guid, guid + 16);
  } else if (spec.tag != kWaveFormatPcm) {
    putLe(fmt, 0, 2);
  }
  std::vector<std::uint8_t> out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  putLe(out, fmt.size(), 4);
  out.insert(out.end(), fmt.begin(), fmt.end());
  if (withData) {
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    putLe(out, data.size(), 4);
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() % 2) out.push_back(0);
  }
  const std::uint32_t riffSize = static_cast<std::uint32_t>(out.size() - 8);
  std::memcpy(out.data() + 4, &riffSize, 4);
  return out;
}

// Stereo 16-bit PCM: left = frame index, right = tag.
inline std::vector<std::uint8_t> numberedPcm(std::uint32_t frames, std::int16_t tag) {
  std::vector<std::uint8_t> data;
  for (std::uint32_t i = 0; i < frames; ++i) {
    putLe(data, static_cast<std::uint16_t>(i % 32768), 2);
    putLe(data, static_cast<std::uint16_t>(tag), 2);
  }
  return waveBytes(WaveSpec{}, data);
}

// A temporary folder removed with the object.
class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("sib-player-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    const std::filesystem::path file = path_ / name;
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return file.string();
  }
  std::string path(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace sib::test
