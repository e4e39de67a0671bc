#include "tests/sound/sound_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace sib::test {
namespace {

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// The test's environment with `extra` put over it (a NAME=VALUE in extra replaces the same NAME).
std::vector<std::string> mergedEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> merged;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string& x : extra) replaced = replaced || x.rfind(name, 0) == 0;
    if (!replaced) merged.push_back(entry);
  }
  merged.insert(merged.end(), extra.begin(), extra.end());
  return merged;
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv, const std::vector<std::string>& environment,
                           const std::string& log) {
  std::vector<std::string> env = mergedEnvironment(environment);
  const auto args = pointersTo(argv);
  const auto envp = pointersTo(env);
  const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int output = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (input < 0 || output < 0) throw std::runtime_error("cannot open the files of " + argv[0]);
  pid_ = ::fork();
  if (pid_ == 0) {
    // Only what is safe between fork and exec. The child dies with the test, even one that aborts, so
    // that no sound server or recorder outlives it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::dup2(input, 0);
    ::dup2(output, 1);
    ::dup2(output, 2);
    ::execvpe(args[0], args.data(), envp.data());
    ::_exit(127);
  }
  ::close(input);
  ::close(output);
  if (pid_ < 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(errno));
}

ChildProcess::~ChildProcess() {
  if (Running()) Kill(SIGKILL);
  Wait();
}

bool ChildProcess::Running() {
  if (status_ >= 0) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return false;
}

int ChildProcess::Wait() {
  if (status_ >= 0) return status_;
  int status = 0;
  ::waitpid(pid_, &status, 0);
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return status_;
}

void ChildProcess::Kill(int signal) {
  if (status_ < 0) ::kill(pid_, signal);
}

int RunQuietly(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
  try {
    return ChildProcess(argv, environment, "/dev/null").Wait();
  } catch (const std::runtime_error&) {
    return -1;
  }
}

SoundServer::SoundServer(int sinks) : sinks_(sinks) {
  std::string pattern = (std::filesystem::temp_directory_path() / "sib-sound-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
  ::chmod(folder_.c_str(), 0700);
  Start();
}

SoundServer::~SoundServer() {
  if (server_) {
    server_->Kill(SIGTERM);
    server_->Wait();
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::vector<std::string> SoundServer::Environment() const {
  return {"XDG_RUNTIME_DIR=" + folder_, "PULSE_RUNTIME_PATH=" + folder_ + "/pulse", "HOME=" + folder_,
          "SDL_AUDIODRIVER=pulseaudio", LeakSuppressions(folder_)};
}

std::string LeakSuppressions(const std::string& folder) {
  const std::string file = folder + "/lsan.supp";
  std::ofstream(file) << "leak:libpulse.so\nleak:libpulsecommon\nleak:libSDL2\nleak:libdbus\n";
  return "LSAN_OPTIONS=suppressions=" + file;
}

void SoundServer::Kill() {
  if (!server_) return;
  server_->Kill(SIGKILL);
  server_->Wait();
  server_.reset();
}

void SoundServer::Start() {
  std::vector<std::string> argv{"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                "--use-pid-file=false", "--disallow-exit"};
  for (int i = sinks_ - 1; i >= 0; --i) {  // the last one loaded becomes the default: out0
    const std::string name = "out" + std::to_string(i);
    argv.push_back("--load=module-null-sink sink_name=" + name + " rate=44100 sink_properties=device.description=" + name);
  }
  argv.push_back("--load=module-native-protocol-unix");
  server_ = std::make_unique<ChildProcess>(argv, Environment(), folder_ + "/server.log");
  const bool answers = WaitUntil(
      [&] { return !server_->Running() || RunQuietly({"pactl", "info"}, Environment()) == 0; },
      std::chrono::seconds(10));
  if (!answers || !server_->Running()) throw std::runtime_error("the sound server did not start (pulseaudio)");
  RunQuietly({"pactl", "set-default-sink", "out0"}, Environment());
}

MonitorRecording::MonitorRecording(const SoundServer& server, const std::string& sink, const std::string& file)
    : file_(file),
      recorder_(std::make_unique<ChildProcess>(
          std::vector<std::string>{"parec", "-d", sink + ".monitor", "--format=s16le", "--rate=44100",
                                   "--channels=2", "--raw", "--latency-msec=20", file},
          server.Environment(), file + ".log")) {}

MonitorRecording::~MonitorRecording() {
  recorder_->Kill(SIGTERM);
  recorder_->Wait();
}

std::vector<std::int16_t> MonitorRecording::Samples() const {
  std::ifstream in(file_, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::int16_t> samples(bytes.size() / 4 * 2);
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

bool Silent(const std::vector<std::int16_t>& samples, int channels, std::size_t frame) {
  const auto width = static_cast<std::size_t>(channels);
  for (std::size_t c = 0; c < width; ++c)
    if (samples[frame * width + c] != 0) return false;
  return true;
}

std::size_t FirstSound(const std::vector<std::int16_t>& samples, int channels, std::size_t from) {
  const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
  for (std::size_t i = from; i < frames; ++i)
    if (!Silent(samples, channels, i)) return i;
  return frames;
}

std::size_t LastSound(const std::vector<std::int16_t>& samples, int channels) {
  for (std::size_t i = samples.size() / static_cast<std::size_t>(channels); i > 0; --i)
    if (!Silent(samples, channels, i - 1)) return i - 1;
  return 0;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace sib::test
