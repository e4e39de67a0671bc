// The waveform audio output: numbered output devices, opened in a PCM format, playing caller-owned
// buffers described by headers, in the order written, and reporting each finished buffer through a
// callback that runs on the device's own callback thread, the moment the buffer has been taken.
//
// Life of a buffer: the caller fills a WaveHeader over its own samples, prepares it, writes it; the
// device plays the samples in place (nothing is copied); when the last frame has been taken, the
// callback gets kWomDone with the header, after which the caller may unprepare and reuse or free it.
// waveOutReset hands every written buffer back as done at once; waveOutClose needs none queued.
//
// The devices come from the current driver: SDL2's audio devices (sdl_wave_out.h) unless a test or a
// tool installs another one, such as the simulated device (simulated_wave_out.h), with
// ScopedWaveOutDriver. All functions are thread-safe. Results are MMResult codes (mm_result.h).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/core/mm_result.h"

namespace sib {

class WaveOutDriver;

using WaveOutHandle = std::uint32_t;  // 0 is never a valid handle

// The device number that stands for the default output device.
inline constexpr int kWaveMapper = -1;
// Product names are cut to this many characters.
inline constexpr std::size_t kMaxProductNameLength = 31;
// Buffers written and not yet reported done, per device; a write beyond this fails with kMMNoMemory.
inline constexpr std::size_t kMaxOutstandingBuffers = 4096;
// The playback rate can be steered this far either way from the nominal rate.
inline constexpr double kMaxRateAdjustPpm = 1000.0;

enum WaveOutMessage : std::uint32_t {
  kWomOpen = 955,   // the device is open; first message of every device
  kWomClose = 956,  // the device is closed; last message, delivered before waveOutClose returns
  kWomDone = 957,   // the header's buffer has been played (or returned by a reset); one per write
  kWomDeviceLost = 0x3D0,  // the device went away (unplugged, sound server gone); sent once
};

enum class WaveSampleType { Pcm, Float };

// The stream's format. Integer PCM of 8 (unsigned), 16, 24 or 32 bits, or 32-bit float; interleaved
// frames of blockAlign = channels * bitsPerSample / 8 bytes; 1 to 8 channels.
struct WaveOutFormat {
  WaveSampleType sampleType = WaveSampleType::Pcm;
  std::uint16_t channels = 2;
  std::uint32_t samplesPerSec = 44100;
  std::uint16_t bitsPerSample = 16;
  std::uint16_t blockAlign = 4;
};

inline constexpr std::uint32_t kWaveHeaderDone = 0x01;      // set when the device hands the buffer back
inline constexpr std::uint32_t kWaveHeaderPrepared = 0x02;  // set by prepare, cleared by unprepare
inline constexpr std::uint32_t kWaveHeaderInQueue = 0x10;   // set from write until the buffer is done

// Describes one caller-owned buffer. The caller keeps the header and the samples alive and unchanged
// from write until the kWomDone message for it (or until waveOutReset returns).
struct WaveHeader {
  const std::byte* data = nullptr;
  std::uint32_t bufferLength = 0;  // bytes; a trailing partial frame is skipped
  void* user = nullptr;            // the caller's own
  std::atomic<std::uint32_t> flags{0};

  // Belongs to the device from write until done.
  WaveHeader* next = nullptr;

  bool isDone() const { return (flags.load(std::memory_order_acquire) & kWaveHeaderDone) != 0; }
};

// Called on the device's callback thread (the sound card's pace) for the buffers it finished, on the
// thread of waveOutReset for the buffers a reset hands back, on the opener's thread for kWomOpen, on
// the closer's for kWomClose, and on whichever thread notices a lost device. Calls may therefore come
// from two threads at once; kWomDone messages come in the order the buffers were written. header is
// set for kWomDone only. The callback runs where the device cannot wait: it must return at once, never
// wait for anything of its own, never allocate and never throw. It may write a finished buffer again
// (waveOutWrite holds the device's locks only briefly), but never resets or closes the device.
using WaveOutCallback = std::function<void(WaveOutHandle handle, WaveOutMessage message, WaveHeader* header)>;

enum class WaveOutStart { Running, Paused };

struct WaveOutCaps {
  std::string productName;  // at most kMaxProductNameLength characters
};

// What the device has done with the stream, for steering and tests. Frames are the stream's frames.
struct WaveOutStatus {
  std::uint64_t playedFrames = 0;    // taken by the device since open or the last reset
  std::uint64_t queuedFrames = 0;    // written and not yet taken
  std::uint64_t underrunFrames = 0;  // device frames filled with silence because nothing was queued
                                     // while running, counted once something had been played
  // The frames the device takes at a time (its period): a frame written now is taken up to this much
  // after queuedFrames suggest. 0 when the driver does not say.
  std::uint32_t periodFrames = 0;
  double rateAdjustPpm = 0.0;
  bool deviceLost = false;
};

std::uint32_t waveOutGetNumDevs();
MMResult waveOutGetDevCaps(std::uint32_t deviceId, WaveOutCaps& caps);

// Opens device deviceId (0 .. count-1) or kWaveMapper. kWomOpen comes before it returns.
// periodFrames asks for the frames the device takes at a time (its callback's period), so that a
// caller that writes blocks of a known size can have a period finish whole blocks; 0 leaves it to the
// driver (about 23 ms). A driver may round it or ignore it.
MMResult waveOutOpen(WaveOutHandle* handle, int deviceId, const WaveOutFormat& format, WaveOutCallback callback,
                     WaveOutStart start = WaveOutStart::Running, std::uint32_t periodFrames = 0);
MMResult waveOutPrepareHeader(WaveOutHandle handle, WaveHeader* header);
// Fails with kWaveStillPlaying while the header is queued.
MMResult waveOutUnprepareHeader(WaveOutHandle handle, WaveHeader* header);
// Queues a prepared header behind the ones already written. Fails with kMMNoDriver once the device is lost.
MMResult waveOutWrite(WaveOutHandle handle, WaveHeader* header);
// While paused the device plays silence and keeps its queue and position.
MMResult waveOutPause(WaveOutHandle handle);
MMResult waveOutRestart(WaveOutHandle handle);
// Takes every queued buffer off the device as done and sets the position back to zero; the pause
// state stays. Returns after the callback has received their kWomDone messages.
MMResult waveOutReset(WaveOutHandle handle);
// Fails with kWaveStillPlaying while buffers are queued. Returns after kWomClose has been delivered;
// no callback runs after that. Never from the callback.
MMResult waveOutClose(WaveOutHandle handle);
MMResult waveOutGetStatus(WaveOutHandle handle, WaveOutStatus& status);

// Steers the playback rate: the device takes (1 + ppm / 1e6) stream frames per device frame,
// interpolating between samples so nothing is dropped or repeated. Clamped to +-kMaxRateAdjustPpm.
// At 0 ppm (and before any adjustment) samples reach the device unchanged.
MMResult waveOutSetRateAdjust(WaveOutHandle handle, double ppm);

// kWaveBadFormat unless the device layer can play the format.
MMResult validateWaveOutFormat(const WaveOutFormat& format);

// A short sentence describing the code; unknown codes get a generic text that shows the number.
std::string waveOutErrorText(MMResult code);

// The driver the functions above use: the one installed last by a live ScopedWaveOutDriver, or SDL2.
WaveOutDriver& currentWaveOutDriver();

// Makes the given driver current for its lifetime. Install before any device is opened, and close
// the devices of that driver before the scope ends.
class ScopedWaveOutDriver {
 public:
  explicit ScopedWaveOutDriver(WaveOutDriver& driver);
  ~ScopedWaveOutDriver();
  ScopedWaveOutDriver(const ScopedWaveOutDriver&) = delete;
  ScopedWaveOutDriver& operator=(const ScopedWaveOutDriver&) = delete;

 private:
  WaveOutDriver* previous_;
};

}  // namespace sib
