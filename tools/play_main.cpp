// sibilon-play: the noise pipeline without the window. Plays one of the recordings at a level until
// the time is up (after a fade, with the sleep timer), the user presses Ctrl-C or the desktop's
// media-player control asks it to quit, then stops and closes the device. By default the sound device
// sets the pace (the output drives the pipeline); --paced-by player runs the window's chain. A device
// that goes away is warned about once; the output plays on by itself when one is back. Media keys, the
// desktop's sound menu and scripts start and stop it, set its level and choose its noise
// (play_mpris.h).
//
// Exit codes: 0 after a clean stop, 1 when the device fails, 2 for bad arguments or a missing file.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <thread>

#include "platform/audio/wave_out.h"
#include "platform/core/data_folders.h"
#include "platform/ui/application.h"
#include "signal/pool_timer.h"
#include "tools/noise_chain.h"
#include "tools/play_mpris.h"
#include "player/sleep_timer.h"
#include "player/start_options.h"

namespace sib {
namespace {

namespace fs = std::filesystem;

constexpr int kExitDeviceFailed = 1;
constexpr int kExitBadUse = 2;
constexpr std::uint32_t kPumpingPrefillMs = 1000;
// Blocks of 93 ms: every block costs the same handling whatever its size, and nothing here needs
// short ones (the level does not change while playing, and a fade moves by a block at a time).
constexpr std::int32_t kPumpingBlockFrames = 4096;

void ListDevices() {
  std::cout << "Default\n";
  const std::uint32_t count = waveOutGetNumDevs();
  for (std::uint32_t id = 0; id < count; ++id) {
    WaveOutCaps caps;
    if (waveOutGetDevCaps(id, caps) == kMMNoError) std::cout << caps.productName << '\n';
  }
}

// Ctrl-C and SIGTERM are taken by a thread of their own, which asks the main loop to stop. They are
// blocked before any other thread starts, so that every thread inherits the mask.
class StopSignals {
 public:
  explicit StopSignals(Application& AApp) : FApp(AApp) {
    sigemptyset(&FSet);
    sigaddset(&FSet, SIGINT);
    sigaddset(&FSet, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &FSet, nullptr);
    FThread = std::thread([this] { Wait(); });
  }
  ~StopSignals() {
    FLeaving = true;
    pthread_kill(FThread.native_handle(), SIGTERM);
    FThread.join();
  }
  bool Received() const { return FReceived; }

 private:
  // The first signal asks for a clean stop; a second one, while that stop hangs, ends the program.
  void Wait() {
    while (true) {
      int signal = 0;
      sigwait(&FSet, &signal);
      if (FLeaving) return;
      if (FReceived.exchange(true)) std::_Exit(128 + signal);
      FApp.Post([] {});
    }
  }

  Application& FApp;
  sigset_t FSet;
  std::atomic<bool> FLeaving{false};
  std::atomic<bool> FReceived{false};
  std::thread FThread;
};

bool PrintReports(NoiseChain& AChain) {
  bool failed = false;
  for (const std::string& error : AChain.TakeErrors()) {
    std::cerr << "sibilon-play: " << error << '\n';
    failed = true;
  }
  return failed;
}

// One line: the device's rate adjustment and the audio queued between the player and the speaker.
void PrintStatus(NoiseChain& AChain) {
  WaveOutStatus status;
  const std::uint64_t queued = AChain.Output()->QueuedFrames();
  const std::uint32_t rate = AChain.Player()->WaveFormat().Format.nSamplesPerSec;
  if (!AChain.Output()->GetDeviceStatus(status) || rate == 0) {
    std::cout << "status: no device" << std::endl;
    return;
  }
  std::cout << "status: rate " << status.rateAdjustPpm << " ppm, queued " << queued * 1000.0 / rate << " ms, played "
            << status.playedFrames << " frames, underrun " << status.underrunFrames << " frames"
            << (status.deviceLost ? ", device lost" : "") << std::endl;
}

int Play(const PlayOptions& AOptions, const fs::path& AFile) {
  Application& app = Application::Instance();
  StopSignals signals(app);
  TSLPoolTrimming trimming;
  std::atomic<bool> reported{false};
  NoiseChain::Options chainOptions;
  chainOptions.DeviceName = AOptions.Device;
  chainOptions.OutputPumps = AOptions.Pace == PlayPace::Device;
  // Pumping keeps the prefill queued: a second, so that the device can take 371 ms at a time (four
  // blocks per wake-up) with as much again in reserve. Nothing here needs a short latency.
  if (chainOptions.OutputPumps) {
    chainOptions.PrefillMs = kPumpingPrefillMs;
    chainOptions.BlockFrames = kPumpingBlockFrames;
  }
  chainOptions.OnReport = [&] {
    reported = true;
    app.Post([] {});
  };
  NoiseChain chain(chainOptions);
  chain.SetLevel(AOptions.Level);
  std::optional<SleepTimer> sleep;
  if (AOptions.SleepMinutes)
    sleep.emplace(*AOptions.SleepMinutes, SleepTimer::Chain{*chain.Player(), *chain.Fader(), *chain.Output()},
                  chainOptions.PrefillMs, chainOptions.BlockFrames);
  const auto started = app.Now();
  chain.SetFile(AFile.string());
  chain.Start();
  PlayMpris::Options controlOptions;
  controlOptions.Noise = AOptions.Noise;
  controlOptions.Level = AOptions.Level;
  controlOptions.FindRecording = [](const std::string& AFileName) { return FolderHolding(AFileName); };
  controlOptions.OnNotice = [](const std::string& ALine) { std::cerr << "sibilon-play: " + ALine + "\n"; };
  PlayMpris control(app, chain, controlOptions);
  int exitCode = 0;
  using Duration = MessageWait::Clock::duration;
  constexpr auto kNever = MessageWait::TimePoint::max();
  // Without a time, a year: every wait stays a finite one.
  const double seconds = AOptions.Seconds ? *AOptions.Seconds : 365.0 * 24 * 3600;
  const auto deadline = started + std::chrono::duration_cast<Duration>(std::chrono::duration<double>(seconds));
  if (sleep) sleep->Start(started);
  const auto over = [&] {
    const auto now = app.Now();
    return sleep ? sleep->Over(now, control.Playing()) : now >= deadline;
  };
  const auto ending = [&] { return signals.Received() || control.QuitAsked(); };
  const auto statusPeriod = std::chrono::duration_cast<Duration>(std::chrono::seconds(1));
  auto nextStatus = AOptions.Status ? started + statusPeriod : kNever;
  while (!ending() && !over() && exitCode == 0) {
    const auto now = app.Now();
    const auto next =
        sleep ? std::min({nextStatus, sleep->Update(now), sleep->NextLook(now)}) : std::min(nextStatus, deadline);
    app.RunUntil([&] { return ending() || reported || over(); }, std::max(next - app.Now(), Duration::zero()));
    // Cleared once seen: a report made before the loop (a device that failed to open) ends its wait.
    reported = false;
    if (PrintReports(chain)) exitCode = kExitDeviceFailed;
    // The output replaces a lost device by itself; the user only hears of the loss.
    for (const std::string& warning : chain.TakeWarnings()) std::cerr << "sibilon-play: " << warning << '\n';
    if (AOptions.Status && app.Now() >= nextStatus) {
      PrintStatus(chain);
      nextStatus += statusPeriod;
    }
  }
  // What the output still holds at a sleep timer's end is the fade's silence.
  chain.Stop();
  return exitCode;
}

int Main(const std::vector<std::string>& AArguments) {
  const PlayArguments arguments = ParsePlayArguments(AArguments);
  if (!arguments.Error.empty()) {
    std::cerr << "sibilon-play: " << arguments.Error << "\n\n" << PlayUsage();
    return kExitBadUse;
  }
  const PlayOptions& options = arguments.Options;
  if (options.Help) {
    std::cout << PlayUsage();
    return 0;
  }
  if (options.Version) {
    std::cout << VersionLine("sibilon-play") << '\n';
    return 0;
  }
  if (options.ListDevices) {
    ListDevices();
    return 0;
  }
  if (!options.File.empty()) {
    std::error_code error;
    if (!fs::is_regular_file(options.File, error)) {
      std::cerr << "sibilon-play: can't find the file " << options.File << '\n';
      return kExitBadUse;
    }
    return Play(options, options.File);
  }
  const std::string fileName = NoiseFileName(options.Noise);
  // The working folder first, then the data folder of the build or of the install the program is in.
  const std::optional<fs::path> folder = FolderHolding(fileName);
  if (!folder) {
    std::cerr << "sibilon-play: can't find the recording " << fileName
              << " in the working folder or in the program's data folder\n";
    return kExitBadUse;
  }
  return Play(options, *folder / fileName);
}

}  // namespace
}  // namespace sib

int main(int argc, char** argv) {
  try {
    return sib::Main(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& error) {
    std::cerr << "sibilon-play: " << error.what() << '\n';
    return 1;
  }
}
