// What a device driver gives the waveform output: its devices' names, and ports that pull frames.
// The output (wave_out.cpp, wave_out_stream.h) does the rest: header queue, rate steering,
// completions. Drivers: SDL2 (sdl_wave_out.h) and the simulated device (simulated_wave_out.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/core/mm_result.h"
#include "platform/audio/wave_out.h"

namespace sib {

// The side of an open device stream that a port calls.
class WaveOutRenderer {
 public:
  virtual ~WaveOutRenderer() = default;
  // Fills `frames` frames in the device format, and passes the buffers it finished to the stream's
  // callback before it returns. Called by the port, one call at a time, on the port's thread; waits
  // at most for a waveOut call's brief hold of the stream's queue, and does not allocate.
  virtual void render(std::byte* out, std::uint32_t frames) = 0;
  // The port saw its device go away. Any thread; does not block.
  virtual void deviceLost() = 0;
};

// One open device of a driver.
class WaveOutPort {
 public:
  virtual ~WaveOutPort() = default;  // when it returns, render is not running and will not be called again
  virtual void start() = 0;          // from now on the device may call render
  // The frames the device asks for per render call; 0 when they vary or are not known.
  virtual std::uint32_t periodFrames() const { return 0; }
};

class WaveOutDriver {
 public:
  virtual ~WaveOutDriver() = default;
  virtual std::uint32_t deviceCount() = 0;
  // How long a stream may have nothing to play (an empty queue, paused or not) before it closes its
  // port, so that nothing of the driver's runs for a silent device; it opens a port again once it
  // has something to play. 0: ports stay open until the stream closes.
  virtual std::uint32_t idleMillisecondsBeforeClosing() const { return 0; }
  virtual MMResult deviceName(std::uint32_t deviceId, std::string& name) = 0;
  // deviceId is kWaveMapper or a number below deviceCount(); deviceFormat is what render will fill
  // (deviceFormatFor of the stream's format); periodFrames is the caller's wish for the frames per
  // render call, 0 for none. The port must not call render before start().
  virtual MMResult openPort(int deviceId, const WaveOutFormat& deviceFormat, std::uint32_t periodFrames,
                            WaveOutRenderer& renderer,
                            std::unique_ptr<WaveOutPort>& port) = 0;
};

// The format a device is fed for a stream: the same, except 24-bit samples widened to 32 bits
// (value * 256), since sound devices take no 24-bit samples.
WaveOutFormat deviceFormatFor(const WaveOutFormat& format);

}  // namespace sib
