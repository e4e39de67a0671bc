// Test surroundings for sibilon-play as a user runs it: child processes with an environment of their
// own, a private PulseAudio server with null sinks in a private runtime folder (started by the test,
// killed and started again on request, stopped when the object dies), recordings of a sink's monitor,
// and the frames of such recordings read back.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sib::test {

// A program started without a shell, with the test's environment plus `environment` (NAME=VALUE),
// its standard output and error going to `log`. Killed when the object dies while it still runs, and
// by the system when the test's process ends, however it ends. Exit code 127: it could not be run.
class ChildProcess {
 public:
  ChildProcess(std::vector<std::string> argv, const std::vector<std::string>& environment, const std::string& log);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Running();
  // The exit code, or 128 + the signal that ended it.
  int Wait();
  void Kill(int signal);

 private:
  pid_t pid_ = 0;
  int status_ = -1;
};

// Runs a program without a shell and waits for it; its exit code (-1 when it could not start).
int RunQuietly(const std::vector<std::string>& argv, const std::vector<std::string>& environment);

// A private PulseAudio server with `sinks` null sinks named out0, out1, ... at 44.1 kHz, each also
// described (and so listed as an output device) by its name; out0 is the default.
class SoundServer {
 public:
  explicit SoundServer(int sinks = 1);
  ~SoundServer();
  SoundServer(const SoundServer&) = delete;
  SoundServer& operator=(const SoundServer&) = delete;

  // What a client of this server needs in its environment (SDL's pulseaudio driver included).
  std::vector<std::string> Environment() const;
  const std::string& Folder() const { return folder_; }
  // SIGKILL, as a crashed server; returns once it is gone.
  void Kill();
  // Starts the server in the same folder; returns once it answers (throws after 10 s without).
  void Start();

 private:
  std::string folder_;
  int sinks_;
  std::unique_ptr<ChildProcess> server_;
};

// Records a sink's monitor (16-bit stereo at 44.1 kHz) into a file until the object dies or the
// server goes.
class MonitorRecording {
 public:
  MonitorRecording(const SoundServer& server, const std::string& sink, const std::string& file);
  ~MonitorRecording();
  // The frames recorded so far, interleaved left, right.
  std::vector<std::int16_t> Samples() const;

 private:
  std::string file_;
  std::unique_ptr<ChildProcess> recorder_;
};

// The environment entry that keeps a sanitised child's leak report to our own code: the sound
// libraries keep allocations for the life of the process (libpulse's thread-local and connection
// data), which are not ours to free. Writes its suppressions file into `folder`.
std::string LeakSuppressions(const std::string& folder);

// Whether every channel of the frame is 0.
bool Silent(const std::vector<std::int16_t>& samples, int channels, std::size_t frame);
// The index of the first frame that is not silent at or after `from`, or the count of frames.
std::size_t FirstSound(const std::vector<std::int16_t>& samples, int channels, std::size_t from = 0);
// The index of the last frame that is not silent; 0 when there is none.
std::size_t LastSound(const std::vector<std::int16_t>& samples, int channels);
// Polls `done` every 10 ms until it holds or `limit` has passed; whether it held.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

}  // namespace sib::test
