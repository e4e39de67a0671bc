// A waveform output driver for tests: devices that play on a simulated clock that the test moves on,
// whose crystal runs off by a chosen number of ppm, and that record what they played. Hours of
// playing take as long as the rendering itself, with no wall-clock waits.
//
// Install it with ScopedWaveOutDriver; the waveOut functions then open these devices. Each device
// takes `periodFrames` frames at a time, as soon as its own clock has reached that period (so it
// pulls up to one period ahead, like a sound card's buffer). Its clock starts when it is opened.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/audio/wave_out_driver.h"

namespace sib {

class SimulatedWaveOut final : public WaveOutDriver {
 public:
  struct Options {
    std::vector<std::string> deviceNames{"Simulated output device"};
    double rateErrorPpm = 0.0;          // > 0: the device plays faster than its nominal rate
    std::uint32_t periodFrames = 512;   // frames taken at a time
    bool keepRecord = true;             // keep every played byte (memory grows with the run)
    // A stream that has had nothing to play for this long closes its device (0: never).
    std::uint32_t idleMsBeforeClosing = 0;
  };
  // Called on the advancing thread with each period a device played, in its device format.
  using PlayedObserver = std::function<void(std::uint32_t deviceId, std::span<const std::byte> played)>;

  SimulatedWaveOut();
  explicit SimulatedWaveOut(Options options);
  ~SimulatedWaveOut() override;

  // Moves the simulated clock on. Each open, started device takes the periods its clock has reached,
  // on the calling thread; returns once the devices' callbacks have received the completions this
  // raised. The callbacks must not open or close devices of this driver.
  void advance(std::chrono::nanoseconds elapsed);
  std::chrono::nanoseconds now() const;

  // Everything the device has played so far in its device format (24-bit widened to 32), silence
  // included, across opens; and the number of frames that makes.
  std::vector<std::byte> played(std::uint32_t deviceId) const;
  std::uint64_t playedFrames(std::uint32_t deviceId) const;
  void clearPlayed();
  void setPlayedObserver(PlayedObserver observer);

  bool isOpen(std::uint32_t deviceId) const;
  // Waits until the device is open and started (or closed) as asked, or the limit has passed;
  // whether it is.
  bool waitUntilOpen(std::uint32_t deviceId, bool open, std::chrono::milliseconds limit) const;
  // How many times the device has been opened.
  std::uint32_t opens(std::uint32_t deviceId) const;
  // The open device goes away, as if unplugged: it stops playing and reports kWomDeviceLost.
  void loseDevice(std::uint32_t deviceId);

  std::uint32_t deviceCount() override;
  std::uint32_t idleMillisecondsBeforeClosing() const override { return options_.idleMsBeforeClosing; }
  MMResult deviceName(std::uint32_t deviceId, std::string& name) override;
  MMResult openPort(int deviceId, const WaveOutFormat& deviceFormat, std::uint32_t periodFrames,
                  WaveOutRenderer& renderer,
                    std::unique_ptr<WaveOutPort>& port) override;

 private:
  class Port;
  struct Played {
    std::vector<std::byte> bytes;
    std::uint64_t frames = 0;
  };

  void removePort(Port* port);
  std::uint64_t framesDue(const Port& port) const;  // mutex_ held
  void playPeriod(Port& port);                       // mutex_ held

  const Options options_;
  const std::int64_t rateErrorPpb_;
  mutable std::mutex mutex_;
  mutable std::condition_variable portsChanged_;
  std::map<std::uint32_t, std::uint32_t> opens_;
  std::chrono::nanoseconds now_{0};
  std::vector<Port*> ports_;
  std::map<std::uint32_t, Played> played_;
  PlayedObserver observer_;
};

}  // namespace sib
