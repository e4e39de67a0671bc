#include "platform/audio/wave_out.h"

#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/audio/sdl_wave_out.h"
#include "platform/audio/wave_out_driver.h"
#include "platform/audio/wave_out_stream.h"
#include "platform/core/format.h"

namespace sib {
namespace {

std::atomic<WaveOutDriver*> installedDriver{nullptr};

class StreamRegistry {
 public:
  WaveOutHandle reserve() {
    std::lock_guard lock(mutex_);
    WaveOutHandle handle = next_++;
    if (next_ == 0) next_ = 1;
    return handle;
  }
  void add(WaveOutHandle handle, std::shared_ptr<WaveOutStream> stream) {
    std::lock_guard lock(mutex_);
    streams_.emplace(handle, std::move(stream));
  }
  std::shared_ptr<WaveOutStream> find(WaveOutHandle handle) {
    std::lock_guard lock(mutex_);
    auto it = streams_.find(handle);
    return it == streams_.end() ? nullptr : it->second;
  }
  void remove(WaveOutHandle handle) {
    std::shared_ptr<WaveOutStream> last;  // destroyed outside the lock
    std::lock_guard lock(mutex_);
    auto it = streams_.find(handle);
    if (it == streams_.end()) return;
    last = std::move(it->second);
    streams_.erase(it);
  }

 private:
  std::mutex mutex_;
  std::unordered_map<WaveOutHandle, std::shared_ptr<WaveOutStream>> streams_;
  WaveOutHandle next_ = 1;
};

StreamRegistry& registry() {
  static StreamRegistry instance;
  return instance;
}

template <class Operation>
MMResult onStream(WaveOutHandle handle, Operation operation) {
  std::shared_ptr<WaveOutStream> stream = registry().find(handle);
  if (!stream) return kMMInvalidHandle;
  return operation(*stream);
}

// Cuts UTF-8 text after `limit` characters.
std::string firstCharacters(const std::string& text, std::size_t limit) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (startsCharacter && characters++ == limit) return text.substr(0, i);
  }
  return text;
}

}  // namespace

WaveOutFormat deviceFormatFor(const WaveOutFormat& format) {
  WaveOutFormat device = format;
  if (format.sampleType == WaveSampleType::Pcm && format.bitsPerSample == 24) {
    device.bitsPerSample = 32;
    device.blockAlign = static_cast<std::uint16_t>(format.channels * 4);
  }
  return device;
}

MMResult validateWaveOutFormat(const WaveOutFormat& format) {
  const bool pcmWidth = format.bitsPerSample == 8 || format.bitsPerSample == 16 || format.bitsPerSample == 24 ||
                        format.bitsPerSample == 32;
  const bool widthFits = format.sampleType == WaveSampleType::Pcm ? pcmWidth : format.bitsPerSample == 32;
  if (!widthFits) return kWaveBadFormat;
  if (format.channels < 1 || format.channels > 8) return kWaveBadFormat;
  if (format.samplesPerSec < 1000 || format.samplesPerSec > 384000) return kWaveBadFormat;
  if (format.blockAlign != format.channels * format.bitsPerSample / 8) return kWaveBadFormat;
  return kMMNoError;
}

WaveOutDriver& currentWaveOutDriver() {
  WaveOutDriver* driver = installedDriver.load(std::memory_order_acquire);
  return driver != nullptr ? *driver : sdlWaveOutDriver();
}

ScopedWaveOutDriver::ScopedWaveOutDriver(WaveOutDriver& driver)
    : previous_(installedDriver.exchange(&driver, std::memory_order_acq_rel)) {}

ScopedWaveOutDriver::~ScopedWaveOutDriver() { installedDriver.store(previous_, std::memory_order_release); }

std::uint32_t waveOutGetNumDevs() { return currentWaveOutDriver().deviceCount(); }

MMResult waveOutGetDevCaps(std::uint32_t deviceId, WaveOutCaps& caps) {
  std::string name;
  if (MMResult result = currentWaveOutDriver().deviceName(deviceId, name); result != kMMNoError) return result;
  caps.productName = firstCharacters(name, kMaxProductNameLength);
  return kMMNoError;
}

MMResult waveOutOpen(WaveOutHandle* handle, int deviceId, const WaveOutFormat& format, WaveOutCallback callback,
                     WaveOutStart start, std::uint32_t periodFrames) {
  if (handle == nullptr || !callback) return kMMInvalidParam;
  if (MMResult result = validateWaveOutFormat(format); result != kMMNoError) return result;
  WaveOutDriver& driver = currentWaveOutDriver();
  if (deviceId < kWaveMapper) return kMMBadDeviceId;
  if (deviceId != kWaveMapper && static_cast<std::uint32_t>(deviceId) >= driver.deviceCount()) return kMMBadDeviceId;

  const WaveOutHandle reserved = registry().reserve();
  auto stream = std::make_shared<WaveOutStream>(reserved, format, std::move(callback), start);
  std::unique_ptr<WaveOutPort> port;
  if (MMResult result = driver.openPort(deviceId, deviceFormatFor(format), periodFrames, *stream, port); result != kMMNoError) {
    return result;
  }
  registry().add(reserved, stream);
  *handle = reserved;
  stream->begin(std::move(port), WaveOutStream::DeviceSource{&driver, deviceId, periodFrames});
  return kMMNoError;
}

MMResult waveOutPrepareHeader(WaveOutHandle handle, WaveHeader* header) {
  return onStream(handle, [&](WaveOutStream& s) { return s.prepareHeader(header); });
}

MMResult waveOutUnprepareHeader(WaveOutHandle handle, WaveHeader* header) {
  return onStream(handle, [&](WaveOutStream& s) { return s.unprepareHeader(header); });
}

MMResult waveOutWrite(WaveOutHandle handle, WaveHeader* header) {
  return onStream(handle, [&](WaveOutStream& s) { return s.write(header); });
}

MMResult waveOutPause(WaveOutHandle handle) {
  return onStream(handle, [](WaveOutStream& s) { return s.pause(); });
}

MMResult waveOutRestart(WaveOutHandle handle) {
  return onStream(handle, [](WaveOutStream& s) { return s.restart(); });
}

MMResult waveOutReset(WaveOutHandle handle) {
  return onStream(handle, [](WaveOutStream& s) { return s.reset(); });
}

MMResult waveOutClose(WaveOutHandle handle) {
  const MMResult result = onStream(handle, [](WaveOutStream& s) { return s.close(); });
  if (result == kMMNoError) registry().remove(handle);
  return result;
}

MMResult waveOutGetStatus(WaveOutHandle handle, WaveOutStatus& status) {
  return onStream(handle, [&](WaveOutStream& s) { return s.status(status); });
}

MMResult waveOutSetRateAdjust(WaveOutHandle handle, double ppm) {
  return onStream(handle, [&](WaveOutStream& s) { return s.setRateAdjust(ppm); });
}

std::string waveOutErrorText(MMResult code) {
  switch (code) {
    case kMMNoError: return "The operation completed successfully.";
    case kMMError: return "The audio driver reported an unspecified error.";
    case kMMBadDeviceId: return "There is no audio device with this number.";
    case kMMAllocated: return "The audio device is already in use.";
    case kMMInvalidHandle: return "The audio device handle is not valid.";
    case kMMNoDriver: return "The audio device is not available (no driver, or the device was removed).";
    case kMMNoMemory: return "Too many buffers are outstanding on the audio device.";
    case kMMInvalidParam: return "A parameter of the call is not valid.";
    case kWaveBadFormat: return "The audio device cannot play this wave format.";
    case kWaveStillPlaying: return "Buffers are still queued on the audio device.";
    case kWaveUnprepared: return "The wave header has not been prepared.";
    default: return formatText("Unknown audio device error %u.", {code});
  }
}

}  // namespace sib
