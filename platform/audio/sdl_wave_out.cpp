#include "platform/audio/sdl_wave_out.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/audio/wave_out_driver.h"

namespace sib {
namespace {

// Frames per SDL callback when the caller has no wish: about 20 ms, as a power of two (1024 at 44.1
// and 48 kHz). Each callback wakes SDL's thread and the sound server's; a steered queue ahead of the
// device is deeper than this anyway.
Uint16 periodFramesFor(std::uint32_t samplesPerSec) {
  std::uint32_t frames = 64;
  while (frames < samplesPerSec / 50 && frames < 4096) frames *= 2;
  return static_cast<Uint16>(frames);
}

SDL_AudioFormat sdlFormatOf(const WaveOutFormat& deviceFormat) {
  if (deviceFormat.sampleType == WaveSampleType::Float) return AUDIO_F32SYS;
  switch (deviceFormat.bitsPerSample) {
    case 8: return AUDIO_U8;
    case 16: return AUDIO_S16SYS;
    default: return AUDIO_S32SYS;
  }
}

MMResult resultOfFailedOpen() {
  const std::string_view error = SDL_GetError();
  if (error.find("already open") != std::string_view::npos) return kMMAllocated;
  if (error.find("No such device") != std::string_view::npos) return kMMBadDeviceId;
  if (error.find("Unsupported") != std::string_view::npos) return kWaveBadFormat;
  return kMMError;
}

class SdlDriver;

class SdlPort final : public WaveOutPort {
 public:
  SdlPort(SdlDriver& driver, WaveOutRenderer& renderer, std::size_t frameBytes)
      : driver_(driver), renderer_(renderer), frameBytes_(frameBytes) {}
  ~SdlPort() override;

  void attach(SDL_AudioDeviceID id, std::uint32_t periodFrames) {
    id_ = id;
    periodFrames_ = periodFrames;
  }
  SDL_AudioDeviceID id() const { return id_; }
  WaveOutRenderer& renderer() { return renderer_; }

  void start() override { SDL_PauseAudioDevice(id_, 0); }
  std::uint32_t periodFrames() const override { return periodFrames_; }

  // SDL's audio thread, with the device lock held. SDL goes on calling back at the device's pace after
  // it has lost the device (its status then reads stopped), so the loss is seen here, within a period,
  // without a thread that looks for it. The status is two atomic reads, no lock and no system call.
  static void SDLCALL fill(void* port, Uint8* stream, int length) {
    auto* self = static_cast<SdlPort*>(port);
    if (SDL_GetAudioDeviceStatus(self->id_) == SDL_AUDIO_STOPPED) self->renderer_.deviceLost();
    self->renderer_.render(reinterpret_cast<std::byte*>(stream),
                           static_cast<std::uint32_t>(static_cast<std::size_t>(length) / self->frameBytes_));
  }

 private:
  SdlDriver& driver_;
  WaveOutRenderer& renderer_;
  std::size_t frameBytes_;
  SDL_AudioDeviceID id_ = 0;
  std::uint32_t periodFrames_ = 0;  // what SDL granted
};

// A stream with nothing to play closes its device after this long: SDL's thread runs for an open
// device, paused or not, waking the process (and the sound server) every period.
constexpr std::uint32_t kIdleMsBeforeClosing = 500;

// SDL's open, close and enumeration calls are not made from two threads at once: one mutex
// guards them together with the list of open ports.
class SdlDriver final : public WaveOutDriver {
 public:
  ~SdlDriver() override {
    if (initialised_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  std::uint32_t deviceCount() override {
    std::lock_guard lock(mutex_);
    return countLocked();
  }

  // SDL's disk driver writes a file, which a new open would start anew, at a pace of its own.
  std::uint32_t idleMillisecondsBeforeClosing() const override {
    const char* current = SDL_GetCurrentAudioDriver();
    return current != nullptr && std::string_view(current) == "disk" ? 0 : kIdleMsBeforeClosing;
  }

  MMResult deviceName(std::uint32_t deviceId, std::string& name) override {
    std::lock_guard lock(mutex_);
    if (deviceId >= countLocked()) return kMMBadDeviceId;
    const char* sdlName = SDL_GetAudioDeviceName(static_cast<int>(deviceId), 0);
    if (sdlName == nullptr) return kMMError;
    name = sdlName;
    return kMMNoError;
  }

  MMResult openPort(int deviceId, const WaveOutFormat& deviceFormat, std::uint32_t periodFrames,
                    WaveOutRenderer& renderer, std::unique_ptr<WaveOutPort>& port) override {
    std::lock_guard lock(mutex_);
    if (!initialiseLocked()) return kMMNoDriver;
    std::string name;
    if (deviceId != kWaveMapper) {
      const char* sdlName = SDL_GetAudioDeviceName(deviceId, 0);
      if (sdlName == nullptr) return kMMBadDeviceId;
      name = sdlName;
    }
    auto opened = std::make_unique<SdlPort>(*this, renderer, deviceFormat.blockAlign);
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(deviceFormat.samplesPerSec);
    wanted.format = sdlFormatOf(deviceFormat);
    wanted.channels = static_cast<Uint8>(deviceFormat.channels);
    wanted.samples = periodFrames != 0 ? static_cast<Uint16>(std::min<std::uint32_t>(periodFrames, 32768))
                                       : periodFramesFor(deviceFormat.samplesPerSec);
    wanted.callback = &SdlPort::fill;
    wanted.userdata = opened.get();
    SDL_AudioSpec obtained{};
    const SDL_AudioDeviceID id =
        SDL_OpenAudioDevice(deviceId == kWaveMapper ? nullptr : name.c_str(), 0, &wanted, &obtained, 0);
    if (id == 0) return resultOfFailedOpen();
    opened->attach(id, obtained.samples);
    ports_.push_back(opened.get());
    port = std::move(opened);
    return kMMNoError;
  }

  void closePort(SdlPort& port) {
    std::lock_guard lock(mutex_);
    ports_.erase(std::remove(ports_.begin(), ports_.end(), &port), ports_.end());
    SDL_CloseAudioDevice(port.id());  // waits for a running callback
  }

  void reportRemoved(SDL_AudioDeviceID id) {
    std::lock_guard lock(mutex_);
    for (SdlPort* port : ports_) {
      if (port->id() == id) port->renderer().deviceLost();
    }
  }

  MMResult selectDriver(const char* name) {
    std::lock_guard lock(mutex_);
    if (!ports_.empty()) return kMMAllocated;
    if (!initialiseLocked() && name == nullptr) return kMMNoDriver;
    return SDL_AudioInit(name) == 0 ? kMMNoError : kMMNoDriver;
  }

  std::vector<std::uint32_t> openIds() {
    std::lock_guard lock(mutex_);
    std::vector<std::uint32_t> ids;
    for (SdlPort* port : ports_) ids.push_back(port->id());
    return ids;
  }

 private:
  bool initialiseLocked() {
    if (!initialised_) {
      // Starting audio starts SDL's events too, which by default take over SIGINT and SIGTERM; the
      // program decides about its signals (a hint set by the program wins over this default).
      SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_DEFAULT);
      // SDL's audio thread asks for real-time scheduling (from RealtimeKit for a desktop user), as
      // the threads that feed it do: without it a busy desktop delays the thread past its period.
      SDL_SetHintWithPriority(SDL_HINT_THREAD_FORCE_REALTIME_TIME_CRITICAL, "1", SDL_HINT_DEFAULT);
      initialised_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    }
    return initialised_;
  }

  std::uint32_t countLocked() {
    if (!initialiseLocked()) return 0;
    return static_cast<std::uint32_t>(std::max(0, SDL_GetNumAudioDevices(0)));
  }

  std::mutex mutex_;
  bool initialised_ = false;
  std::vector<SdlPort*> ports_;
};

SdlDriver& driver() {
  static SdlDriver instance;
  return instance;
}

SdlPort::~SdlPort() {
  if (id_ != 0) driver_.closePort(*this);
}

}  // namespace

WaveOutDriver& sdlWaveOutDriver() { return driver(); }

void waveOutHandleSdlEvent(const SDL_Event& event) {
  if (event.type == SDL_AUDIODEVICEREMOVED && event.adevice.iscapture == 0) driver().reportRemoved(event.adevice.which);
}

MMResult selectSdlAudioDriver(const char* name) { return driver().selectDriver(name); }

std::vector<std::uint32_t> openSdlAudioDeviceIds() { return driver().openIds(); }

}  // namespace sib
