// Surroundings for running the whole program as a person would: a child process with its own
// environment and folder whose output is kept, a private PulseAudio server with a null sink, a
// recorder of what that sink plays (its monitor, through parec), and the measures the tests take of
// recorded noise. Each object starts what it stands for and stops it when it dies.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace sib::test {

// A program started without a shell. Its standard output goes to `OnOutput` (on a thread of the
// object's), its standard error is kept.
class ChildProcess {
 public:
  struct Options {
    std::vector<std::string> Argv;
    std::vector<std::string> Environment;  // "NAME=value", added to this process's own
    std::filesystem::path Folder;          // the working folder; empty: this process's
    std::function<void(std::span<const char>)> OnOutput;
  };
  explicit ChildProcess(Options AOptions);
  ~ChildProcess();  // kills the program when it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return FPid; }
  // The exit code once the program has ended within `Limit`; -1 when it ended by a signal; nothing
  // when it still runs.
  std::optional<int> WaitForExit(std::chrono::milliseconds Limit);
  // What the program wrote to its standard error so far.
  std::string ErrorOutput() const;
  // Waits until its standard error holds `Text`.
  bool WaitForErrorOutput(const std::string& Text, std::chrono::milliseconds Limit);

 private:
  void Drain(int Fd, const std::function<void(std::span<const char>)>& Sink);

  pid_t FPid = 0;
  int FPidFd = -1;
  std::optional<int> FExitCode;
  mutable std::mutex FMutex;
  std::condition_variable FChanged;
  std::string FErrors;
  std::thread FOutputReader;
  std::thread FErrorReader;
};

// Runs a program found on PATH with extra environment and waits for it; its exit code.
int RunWithEnvironment(const std::vector<std::string>& Argv, const std::vector<std::string>& Environment);

// A PulseAudio server of its own in a private runtime folder, with one null sink "out" at 44.1 kHz.
class PulseServer {
 public:
  PulseServer();
  ~PulseServer();
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  // What a client needs to reach this server.
  std::vector<std::string> ClientEnvironment() const;

 private:
  std::filesystem::path FRuntime;
  std::optional<ChildProcess> FServer;
};

// What the server's null sink plays, as 16-bit stereo frames at 44.1 kHz, from the moment the object
// is made. The recorder asks for small fragments, so that a frame arrives within a few milliseconds
// of being played.
class MonitorRecorder {
 public:
  static constexpr int kRate = 44100;
  static constexpr int kChannels = 2;

  explicit MonitorRecorder(const PulseServer& AServer);

  // Frames recorded so far.
  std::size_t Frames() const;
  // Waits until `Count` frames have been recorded.
  bool WaitForFrames(std::size_t Count, std::chrono::milliseconds Limit);
  // Frames [From, From + Count), interleaved; fewer when not recorded yet.
  std::vector<std::int16_t> Samples(std::size_t From, std::size_t Count) const;
  // Waits for the first frame at or after `From` that starts a 1024-frame stretch whose RMS level
  // passes `Level`; its index.
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
  std::optional<ChildProcess> FParec;
};

// Measures of interleaved 16-bit stereo noise.
double Rms(std::span<const std::int16_t> Samples);
// The energy of the change from one frame to the next against the energy of the signal, per
// channel: 2 for white noise, far less for pink and less again for brown. Neither the level nor a
// slight change of rate moves it.
double Brightness(std::span<const std::int16_t> Samples);
// The RMS level of each stretch of `Frames` frames.
std::vector<double> RmsLevels(std::span<const std::int16_t> Samples, std::size_t Frames);

// The 16-bit stereo samples of a PCM wave file.
std::vector<std::int16_t> WaveSamples(const std::filesystem::path& File);

}  // namespace sib::test
