#include "tests/support/sound_server.h"

#include <signal.h>
#include <stdlib.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace sib::test {

// --- SoundServer ----------------------------------------------------------------------------------

SoundServer::SoundServer(int Sinks) : FSinks(Sinks) {
  std::string pattern = (std::filesystem::temp_directory_path() / "sib-sound-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  FFolder = pattern;  // 0700, as the server wants its runtime folder
  Start();
}

SoundServer::~SoundServer() {
  if (FServer) {
    FServer->Kill(SIGTERM);
    if (!FServer->WaitForExit(std::chrono::seconds(10))) FServer->Kill(SIGKILL);
    FServer.reset();
  }
  std::error_code ignored;
  std::filesystem::remove_all(FFolder, ignored);
}

std::vector<std::string> SoundServer::ClientEnvironment() const {
  return {"XDG_RUNTIME_DIR=" + FFolder.string(), "PULSE_RUNTIME_PATH=" + (FFolder / "pulse").string(),
          "HOME=" + FFolder.string()};
}

std::vector<std::string> SoundServer::Environment() const {
  std::vector<std::string> environment = ClientEnvironment();
  environment.push_back("SDL_AUDIODRIVER=pulseaudio");
  environment.push_back(LeakSuppressions(FFolder / "lsan.supp"));
  return environment;
}

void SoundServer::Kill() {
  if (!FServer) return;
  FServer->Kill(SIGKILL);
  FServer->Wait();
  FServer.reset();
}

void SoundServer::Start() {
  std::vector<std::string> argv{"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                "--use-pid-file=false", "--disallow-exit"};
  for (int i = FSinks - 1; i >= 0; --i) {  // the last one loaded becomes the default: out0
    const std::string name = "out" + std::to_string(i);
    argv.push_back("--load=module-null-sink sink_name=" + name + " rate=44100 sink_properties=device.description=" + name);
  }
  argv.push_back("--load=module-native-protocol-unix");
  const std::filesystem::path log = FFolder / "server.log";
  FServer = std::make_unique<ChildProcess>(ChildProcess::Options{argv, ClientEnvironment(), FFolder, {}, log});
  // The server takes a few hundred milliseconds to come up; pactl answers once it accepts clients.
  for (int attempt = 0; attempt < 200; ++attempt) {
    if (RunQuietly({"pactl", "info"}, ClientEnvironment()) == 0) {
      RunQuietly({"pactl", "set-default-sink", "out0"}, ClientEnvironment());
      return;
    }
    if (FServer->WaitForExit(std::chrono::milliseconds(50))) break;
  }
  std::ifstream in(log);
  throw std::runtime_error("the sound server did not start (pulseaudio): " +
                           std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

// --- MonitorRecorder ------------------------------------------------------------------------------

MonitorRecorder::MonitorRecorder(const SoundServer& AServer, const std::string& ASink) {
  FParec.emplace(ChildProcess::Options{{"parec", "-d", ASink + ".monitor", "--format=s16le", "--rate=44100",
                                        "--channels=2", "--raw", "--latency-msec=10"},
                                       AServer.ClientEnvironment(),
                                       {},
                                       [this](std::span<const char> bytes) { Append(bytes); },
                                       {}});
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

std::vector<std::int16_t> MonitorRecorder::Samples() const {
  std::lock_guard lock(FMutex);
  return {FSamples.begin(), FSamples.begin() + static_cast<std::ptrdiff_t>(FSamples.size() / kChannels * kChannels)};
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

bool Silent(std::span<const std::int16_t> Samples, int Channels, std::size_t Frame) {
  const auto width = static_cast<std::size_t>(Channels);
  for (std::size_t c = 0; c < width; ++c)
    if (Samples[Frame * width + c] != 0) return false;
  return true;
}

std::size_t FirstSound(std::span<const std::int16_t> Samples, int Channels, std::size_t From) {
  const std::size_t frames = Samples.size() / static_cast<std::size_t>(Channels);
  for (std::size_t i = From; i < frames; ++i)
    if (!Silent(Samples, Channels, i)) return i;
  return frames;
}

std::size_t LastSound(std::span<const std::int16_t> Samples, int Channels) {
  for (std::size_t i = Samples.size() / static_cast<std::size_t>(Channels); i > 0; --i)
    if (!Silent(Samples, Channels, i - 1)) return i - 1;
  return 0;
}

}  // namespace sib::test
