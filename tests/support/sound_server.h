// A real sound server for tests that play as a user does: a private PulseAudio with null sinks in a
// private runtime folder, started by the test, killed and started again on request, stopped when its
// object dies; recorders of what a sink plays (its monitor, through parec) into memory; and the
// measures the tests take of recorded 16-bit frames.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace sib::test {

// `Sinks` null sinks at 44.1 kHz named out0, out1, ..., each also described by its name (and so
// listed as an output device by it); out0 is the default.
class SoundServer {
 public:
  explicit SoundServer(int Sinks = 1);
  ~SoundServer();
  SoundServer(const SoundServer&) = delete;
  SoundServer& operator=(const SoundServer&) = delete;

  // What a client needs in its environment to reach this server.
  std::vector<std::string> ClientEnvironment() const;
  // What a program that plays through SDL needs: the client's environment, SDL's pulseaudio driver,
  // and the leak suppressions for the sound libraries.
  std::vector<std::string> Environment() const;
  // The private runtime folder, where a test may keep its files; removed with the server.
  const std::filesystem::path& Folder() const { return FFolder; }
  // SIGKILL, as a crashed server; returns once it is gone. Its recorders end with it.
  void Kill();
  // Starts the server in the same folder; returns once it answers (throws after 10 s without).
  void Start();

 private:
  std::filesystem::path FFolder;
  int FSinks;
  std::unique_ptr<ChildProcess> FServer;
};

// What a sink of the server plays, as 16-bit stereo frames at 44.1 kHz, from the moment the object is
// made until it dies or the server goes. It asks for small fragments, so that a frame arrives within
// a few milliseconds of being played.
class MonitorRecorder {
 public:
  static constexpr int kRate = 44100;
  static constexpr int kChannels = 2;

  explicit MonitorRecorder(const SoundServer& AServer, const std::string& ASink = "out0");

  // Frames recorded so far.
  std::size_t Frames() const;
  // Waits until `Count` frames have been recorded.
  bool WaitForFrames(std::size_t Count, std::chrono::milliseconds Limit);
  // Every frame recorded so far, interleaved left, right.
  std::vector<std::int16_t> Samples() const;
  // Frames [From, From + Count), interleaved; fewer when not recorded yet.
  std::vector<std::int16_t> Samples(std::size_t From, std::size_t Count) const;
  // Waits for the first frame at or after `From` that starts a 1024-frame stretch whose RMS level
  // passes `Level` (0: any sound at all); its index.
  std::optional<std::size_t> WaitForSound(std::size_t From, double Level, std::chrono::milliseconds Limit);

  static std::size_t FramesOf(std::chrono::milliseconds Time) {
    return static_cast<std::size_t>(Time.count()) * kRate / 1000;
  }

 private:
  void Append(std::span<const char> Bytes);

  mutable std::mutex FMutex;
  std::condition_variable FGrown;
  std::vector<std::int16_t> FSamples;
  std::vector<char> FPartial;
  std::optional<ChildProcess> FParec;  // last: its reader stops before the rest goes
};

// Measures of interleaved 16-bit frames.
double Rms(std::span<const std::int16_t> Samples);
// The energy of the change from one frame to the next against the energy of the signal, per
// channel: 2 for white noise, far less for pink and less again for brown. Neither the level nor a
// slight change of rate moves it.
double Brightness(std::span<const std::int16_t> Samples);
// The RMS level of each stretch of `Frames` stereo frames.
std::vector<double> RmsLevels(std::span<const std::int16_t> Samples, std::size_t Frames);
// Whether every channel of the frame is 0.
bool Silent(std::span<const std::int16_t> Samples, int Channels, std::size_t Frame);
// The index of the first frame that is not silent at or after `From`, or the count of frames.
std::size_t FirstSound(std::span<const std::int16_t> Samples, int Channels, std::size_t From = 0);
// The index of the last frame that is not silent; 0 when there is none.
std::size_t LastSound(std::span<const std::int16_t> Samples, int Channels);

}  // namespace sib::test
