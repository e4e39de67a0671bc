// Programs that tests start as a person would: without a shell, with the test's environment plus
// entries of their own, in a folder of their own; and the leak checker's suppressions for a sanitised
// child. A child dies with the test's process however that ends (even by abort; strictly, with the
// thread that started it, which is the test's own), and is killed when its object dies while it still
// runs, so that no server, recorder or player outlives its test.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace sib::test {

class ChildProcess {
 public:
  struct Options {
    std::vector<std::string> Argv{};         // Argv[0] is looked for on PATH
    std::vector<std::string> Environment{};  // "NAME=value", over this process's own
    std::filesystem::path Folder{};          // the working folder; empty: this process's
    // Standard output as it comes, on a thread of the object's; none: it is read and dropped.
    // Standard error is kept (ErrorOutput).
    std::function<void(std::span<const char>)> OnOutput{};
    // When set, standard output and standard error both go to this file instead.
    std::filesystem::path Log{};
  };

  // Throws when the program cannot be run (not found, not executable, no such folder).
  explicit ChildProcess(Options AOptions);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The program runs in a process group of its own: a signal meant for the test does not reach it.
  pid_t Pid() const { return FPid; }
  // The exit code once the program has ended within `Limit`, 128 + the signal when a signal ended it;
  // nothing when it still runs. Once it has ended, everything it wrote has been read (OnOutput has had
  // it all, ErrorOutput holds it all), unless a child of its own still holds its output.
  std::optional<int> WaitForExit(std::chrono::milliseconds Limit);
  // Waits for the end however long it takes; the exit code as above.
  int Wait();
  bool Running() { return !WaitForExit(std::chrono::milliseconds(0)); }
  // Sends `Signal`, unless the program has already ended.
  void Kill(int Signal);

  // What the program wrote to its standard error so far (nothing when it goes to the log).
  std::string ErrorOutput() const;
  // Waits until its standard error holds `Text`.
  bool WaitForErrorOutput(const std::string& Text, std::chrono::milliseconds Limit);

 private:
  void Read(int AFd, const std::function<void(std::span<const char>)>& ASink);

  pid_t FPid = 0;
  int FPidFd = -1;
  std::optional<int> FExitCode;
  mutable std::mutex FMutex;
  std::condition_variable FErrorsGrown;
  std::string FErrors;
  std::thread FOutputReader;
  std::thread FErrorReader;
};

// Runs a program with entries of its own in the environment, its output dropped, and waits up to 30 s
// for it: its exit code, or -1 when it could not be run or did not end.
int RunQuietly(const std::vector<std::string>& Argv, const std::vector<std::string>& Environment);

// The libraries of sound (PulseAudio's client, SDL, D-Bus) keep allocations for the life of the
// process, thread-local and connection data that are not ours to free.
inline const std::vector<std::string> kSoundLibraries = {"libpulse.so", "libpulsecommon", "libSDL2", "libdbus"};

// The environment entry that keeps a sanitised child's leak report to our own code: writes a
// suppression for each of `Libraries` into `File`.
std::string LeakSuppressions(const std::filesystem::path& File,
                             const std::vector<std::string>& Libraries = kSoundLibraries);

}  // namespace sib::test
