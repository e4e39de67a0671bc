#include "platform/audio/simulated_wave_out.h"

#include <algorithm>
#include <cmath>

namespace sib {

class SimulatedWaveOut::Port final : public WaveOutPort {
 public:
  Port(SimulatedWaveOut& owner, std::uint32_t deviceId, const WaveOutFormat& deviceFormat, WaveOutRenderer& renderer)
      : owner_(owner),
        deviceId_(deviceId),
        deviceFormat_(deviceFormat),
        renderer_(renderer),
        period_(static_cast<std::size_t>(owner.options_.periodFrames) * deviceFormat.blockAlign) {}
  ~Port() override { owner_.removePort(this); }

  void start() override {
    std::lock_guard lock(owner_.mutex_);
    started_ = true;
    startedAt_ = owner_.now_;
    owner_.portsChanged_.notify_all();
  }
  std::uint32_t periodFrames() const override { return owner_.options_.periodFrames; }

 private:
  friend class SimulatedWaveOut;

  SimulatedWaveOut& owner_;
  const std::uint32_t deviceId_;
  const WaveOutFormat deviceFormat_;
  WaveOutRenderer& renderer_;
  std::vector<std::byte> period_;
  // Guarded by the owner's mutex.
  bool started_ = false;
  bool lost_ = false;
  std::chrono::nanoseconds startedAt_{0};
  std::uint64_t renderedFrames_ = 0;
};

SimulatedWaveOut::SimulatedWaveOut() : SimulatedWaveOut(Options{}) {}

SimulatedWaveOut::SimulatedWaveOut(Options options)
    : options_(std::move(options)), rateErrorPpb_(std::llround(options_.rateErrorPpm * 1000.0)) {}

SimulatedWaveOut::~SimulatedWaveOut() = default;

std::uint32_t SimulatedWaveOut::deviceCount() { return static_cast<std::uint32_t>(options_.deviceNames.size()); }

MMResult SimulatedWaveOut::deviceName(std::uint32_t deviceId, std::string& name) {
  if (deviceId >= deviceCount()) return kMMBadDeviceId;
  name = options_.deviceNames[deviceId];
  return kMMNoError;
}

MMResult SimulatedWaveOut::openPort(int deviceId, const WaveOutFormat& deviceFormat, std::uint32_t,
                                   WaveOutRenderer& renderer,
                                    std::unique_ptr<WaveOutPort>& port) {
  if (deviceCount() == 0) return kMMNoDriver;
  const std::uint32_t device = deviceId == kWaveMapper ? 0 : static_cast<std::uint32_t>(deviceId);
  if (device >= deviceCount()) return kMMBadDeviceId;
  std::lock_guard lock(mutex_);
  if (std::any_of(ports_.begin(), ports_.end(), [&](const Port* p) { return p->deviceId_ == device; })) {
    return kMMAllocated;
  }
  auto opened = std::make_unique<Port>(*this, device, deviceFormat, renderer);
  ports_.push_back(opened.get());
  ++opens_[device];
  portsChanged_.notify_all();
  port = std::move(opened);
  return kMMNoError;
}

void SimulatedWaveOut::removePort(Port* port) {
  std::lock_guard lock(mutex_);
  ports_.erase(std::remove(ports_.begin(), ports_.end(), port), ports_.end());
  portsChanged_.notify_all();
}

std::uint64_t SimulatedWaveOut::framesDue(const Port& port) const {
  __extension__ using Wide = unsigned __int128;
  const auto elapsed = static_cast<Wide>((now_ - port.startedAt_).count());
  const Wide perSecond = static_cast<Wide>(port.deviceFormat_.samplesPerSec) *
                         static_cast<Wide>(1'000'000'000 + rateErrorPpb_);
  return static_cast<std::uint64_t>(elapsed * perSecond / (static_cast<Wide>(1'000'000'000) * 1'000'000'000));
}

void SimulatedWaveOut::playPeriod(Port& port) {
  port.renderer_.render(port.period_.data(), options_.periodFrames);
  port.renderedFrames_ += options_.periodFrames;
  Played& played = played_[port.deviceId_];
  played.frames += options_.periodFrames;
  if (options_.keepRecord) played.bytes.insert(played.bytes.end(), port.period_.begin(), port.period_.end());
  if (observer_) observer_(port.deviceId_, port.period_);
}

void SimulatedWaveOut::advance(std::chrono::nanoseconds elapsed) {
  std::lock_guard lock(mutex_);
  now_ += elapsed;
  for (Port* port : ports_) {
    if (!port->started_ || port->lost_) continue;
    const std::uint64_t due = framesDue(*port);
    while (port->renderedFrames_ < due) playPeriod(*port);
  }
}

std::chrono::nanoseconds SimulatedWaveOut::now() const {
  std::lock_guard lock(mutex_);
  return now_;
}

std::vector<std::byte> SimulatedWaveOut::played(std::uint32_t deviceId) const {
  std::lock_guard lock(mutex_);
  auto it = played_.find(deviceId);
  return it == played_.end() ? std::vector<std::byte>{} : it->second.bytes;
}

std::uint64_t SimulatedWaveOut::playedFrames(std::uint32_t deviceId) const {
  std::lock_guard lock(mutex_);
  auto it = played_.find(deviceId);
  return it == played_.end() ? 0 : it->second.frames;
}

void SimulatedWaveOut::clearPlayed() {
  std::lock_guard lock(mutex_);
  played_.clear();
}

void SimulatedWaveOut::setPlayedObserver(PlayedObserver observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

bool SimulatedWaveOut::isOpen(std::uint32_t deviceId) const {
  std::lock_guard lock(mutex_);
  return std::any_of(ports_.begin(), ports_.end(), [&](const Port* p) { return p->deviceId_ == deviceId; });
}

bool SimulatedWaveOut::waitUntilOpen(std::uint32_t deviceId, bool open, std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return portsChanged_.wait_for(lock, limit, [&] {
    return std::any_of(ports_.begin(), ports_.end(), [&](const Port* p) {
             return p->deviceId_ == deviceId && (p->started_ || !open);
           }) == open;
  });
}

std::uint32_t SimulatedWaveOut::opens(std::uint32_t deviceId) const {
  std::lock_guard lock(mutex_);
  auto it = opens_.find(deviceId);
  return it == opens_.end() ? 0 : it->second;
}

void SimulatedWaveOut::loseDevice(std::uint32_t deviceId) {
  std::lock_guard lock(mutex_);
  for (Port* port : ports_) {
    if (port->deviceId_ == deviceId) {
      port->lost_ = true;
      port->renderer_.deviceLost();
    }
  }
}

}  // namespace sib
