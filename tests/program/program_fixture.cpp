#include "tests/program/program_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>

#include "platform/media/wave_file.h"

extern char** environ;

namespace sib::test {
namespace {

// This process's environment with `Extra` added; a name given there replaces the inherited value.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& Extra) {
  std::map<std::string, std::string> merged;
  auto add = [&](const std::string& entry) {
    const std::size_t equals = entry.find('=');
    if (equals != std::string::npos) merged[entry.substr(0, equals)] = entry;
  };
  for (char** e = environ; *e; ++e) add(*e);
  for (const std::string& entry : Extra) add(entry);
  std::vector<std::string> out;
  for (auto& [name, entry] : merged) out.push_back(entry);
  return out;
}

std::vector<char*> Pointers(std::vector<std::string>& Strings) {
  std::vector<char*> out;
  for (std::string& s : Strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

// --- ChildProcess ---------------------------------------------------------------------------------

ChildProcess::ChildProcess(Options AOptions) {
  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  if (!AOptions.Folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, AOptions.Folder.c_str());
  // A process group of its own: a signal meant for the test does not reach the program.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  std::vector<std::string> environment = MergedEnvironment(AOptions.Environment);
  auto argv = Pointers(AOptions.Argv);
  auto envp = Pointers(environment);
  const int failed = posix_spawnp(&FPid, AOptions.Argv[0].c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  if (failed != 0) {
    ::close(out[0]);
    ::close(err[0]);
    throw std::runtime_error("cannot start " + AOptions.Argv[0] + ": " + std::strerror(failed));
  }
  FPidFd = static_cast<int>(::syscall(SYS_pidfd_open, FPid, 0));
  auto onOutput = std::move(AOptions.OnOutput);
  FOutputReader = std::thread([this, fd = out[0], onOutput] { Drain(fd, onOutput); });
  FErrorReader = std::thread([this, fd = err[0]] {
    Drain(fd, [this](std::span<const char> bytes) {
      std::lock_guard lock(FMutex);
      FErrors.append(bytes.data(), bytes.size());
      FChanged.notify_all();
    });
  });
}

ChildProcess::~ChildProcess() {
  if (!WaitForExit(std::chrono::milliseconds(0))) {
    ::kill(FPid, SIGKILL);
    WaitForExit(std::chrono::seconds(30));
  }
  FOutputReader.join();
  FErrorReader.join();
  if (FPidFd >= 0) ::close(FPidFd);
}

void ChildProcess::Drain(int Fd, const std::function<void(std::span<const char>)>& Sink) {
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(Fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (Sink) Sink(std::span<const char>(buffer, static_cast<std::size_t>(n)));
  }
  ::close(Fd);
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds Limit) {
  if (FExitCode) return FExitCode;
  pollfd exited{FPidFd, POLLIN, 0};
  if (::poll(&exited, 1, static_cast<int>(Limit.count())) <= 0) return std::nullopt;
  int status = 0;
  if (::waitpid(FPid, &status, 0) != FPid) return std::nullopt;
  FExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return FExitCode;
}

std::string ChildProcess::ErrorOutput() const {
  std::lock_guard lock(FMutex);
  return FErrors;
}

bool ChildProcess::WaitForErrorOutput(const std::string& Text, std::chrono::milliseconds Limit) {
  std::unique_lock lock(FMutex);
  return FChanged.wait_for(lock, Limit, [&] { return FErrors.find(Text) != std::string::npos; });
}

int RunWithEnvironment(const std::vector<std::string>& Argv, const std::vector<std::string>& Environment) {
  ChildProcess child({Argv, Environment, {}, {}});
  return child.WaitForExit(std::chrono::seconds(30)).value_or(-1);
}

// --- PulseServer ----------------------------------------------------------------------------------

PulseServer::PulseServer() {
  std::string folder = (std::filesystem::temp_directory_path() / "sib-pulse-XXXXXX").string();
  if (!::mkdtemp(folder.data())) throw std::runtime_error("mkdtemp");
  FRuntime = folder;  // mkdtemp makes it 0700, as the server wants its runtime folder
  FServer.emplace(ChildProcess::Options{
      {"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=false", "--disallow-exit",
       "--load=module-null-sink sink_name=out rate=44100", "--load=module-native-protocol-unix"},
      ClientEnvironment(),
      FRuntime,
      {}});
  // The server takes a few hundred milliseconds to come up; pactl answers once it accepts clients.
  for (int attempt = 0; attempt < 200; ++attempt) {
    if (RunWithEnvironment({"pactl", "info"}, ClientEnvironment()) == 0) return;
    if (FServer->WaitForExit(std::chrono::milliseconds(50))) break;
  }
  throw std::runtime_error("PulseAudio did not start: " + FServer->ErrorOutput());
}

PulseServer::~PulseServer() {
  if (FServer) {
    ::kill(FServer->Pid(), SIGTERM);
    FServer->WaitForExit(std::chrono::seconds(10));
    FServer.reset();
  }
  std::error_code ignored;
  std::filesystem::remove_all(FRuntime, ignored);
}

std::vector<std::string> PulseServer::ClientEnvironment() const {
  return {"XDG_RUNTIME_DIR=" + FRuntime.string(), "PULSE_RUNTIME_PATH=" + (FRuntime / "pulse").string(),
          "HOME=" + FRuntime.string()};
}

// --- MonitorRecorder ------------------------------------------------------------------------------

MonitorRecorder::MonitorRecorder(const PulseServer& AServer) {
  FParec.emplace(ChildProcess::Options{{"parec", "-d", "out.monitor", "--format=s16le", "--rate=44100", "--channels=2",
                                        "--raw", "--latency-msec=10"},
                                       AServer.ClientEnvironment(),
                                       {},
                                       [this](std::span<const char> bytes) { Append(bytes); }});
}

void MonitorRecorder::Append(std::span<const char> Bytes) {
  std::lock_guard lock(FMutex);
  FPartial.insert(FPartial.end(), Bytes.begin(), Bytes.end());
  const std::size_t whole = FPartial.size() / 2;
  const std::size_t old = FSamples.size();
  FSamples.resize(old + whole);
  std::memcpy(FSamples.data() + old, FPartial.data(), whole * 2);
  FPartial.erase(FPartial.begin(), FPartial.begin() + static_cast<std::ptrdiff_t>(whole * 2));
  FGrown.notify_all();
}

std::size_t MonitorRecorder::Frames() const {
  std::lock_guard lock(FMutex);
  return FSamples.size() / kChannels;
}

bool MonitorRecorder::WaitForFrames(std::size_t Count, std::chrono::milliseconds Limit) {
  std::unique_lock lock(FMutex);
  return FGrown.wait_for(lock, Limit, [&] { return FSamples.size() / kChannels >= Count; });
}

std::vector<std::int16_t> MonitorRecorder::Samples(std::size_t From, std::size_t Count) const {
  std::lock_guard lock(FMutex);
  const std::size_t begin = std::min(From * kChannels, FSamples.size());
  const std::size_t end = std::min((From + Count) * kChannels, FSamples.size());
  return {FSamples.begin() + static_cast<std::ptrdiff_t>(begin), FSamples.begin() + static_cast<std::ptrdiff_t>(end)};
}

std::optional<std::size_t> MonitorRecorder::WaitForSound(std::size_t From, double Level,
                                                         std::chrono::milliseconds Limit) {
  constexpr std::size_t kStretch = 1024;
  const auto deadline = std::chrono::steady_clock::now() + Limit;
  std::size_t at = From;
  while (WaitForFrames(at + kStretch, std::chrono::duration_cast<std::chrono::milliseconds>(
                                          deadline - std::chrono::steady_clock::now()))) {
    const std::vector<std::int16_t> stretch = Samples(at, kStretch);
    if (Rms(stretch) > Level) {
      // The first frame of the stretch that is not silent.
      for (std::size_t i = 0; i < stretch.size(); ++i)
        if (stretch[i] != 0) return at + i / kChannels;
    }
    at += kStretch / 4;
  }
  return std::nullopt;
}

// --- Measures -------------------------------------------------------------------------------------

double Rms(std::span<const std::int16_t> Samples) {
  if (Samples.empty()) return 0;
  double sum = 0;
  for (const std::int16_t s : Samples) sum += static_cast<double>(s) * s;
  return std::sqrt(sum / static_cast<double>(Samples.size()));
}

double Brightness(std::span<const std::int16_t> Samples) {
  double change = 0;
  double energy = 0;
  for (std::size_t i = 2; i < Samples.size(); ++i) {
    const double d = static_cast<double>(Samples[i]) - Samples[i - 2];
    change += d * d;
    energy += static_cast<double>(Samples[i]) * Samples[i];
  }
  return energy == 0 ? 0 : change / energy;
}

std::vector<double> RmsLevels(std::span<const std::int16_t> Samples, std::size_t Frames) {
  std::vector<double> levels;
  const std::size_t step = Frames * MonitorRecorder::kChannels;
  for (std::size_t at = 0; at + step <= Samples.size(); at += step) levels.push_back(Rms(Samples.subspan(at, step)));
  return levels;
}

std::vector<std::int16_t> WaveSamples(const std::filesystem::path& File) {
  std::unique_ptr<WaveFile> file;
  std::unique_ptr<WaveStream> stream;
  if (WaveFile::open(File.string(), file) != kMediaOk || file->getAudioStream(stream) != kMediaOk)
    throw std::runtime_error("cannot read " + File.string());
  const WaveStreamInfo& info = stream->info();
  std::vector<std::int16_t> samples(static_cast<std::size_t>(info.dwLength) * info.dwSampleSize / 2);
  std::int32_t read = 0;
  stream->read(0, static_cast<std::int32_t>(info.dwLength), samples.data(),
               static_cast<std::int32_t>(samples.size() * 2), &read, nullptr);
  samples.resize(static_cast<std::size_t>(read) / 2);
  return samples;
}

}  // namespace sib::test
