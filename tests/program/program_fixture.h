// The fixture of the tests that run the whole program as a person uses it: `sibilon` started in a
// folder with the recordings, its window on a private X server driven with xdotool, its sound going
// to a private PulseAudio server and recorded from the null sink's monitor; and the measures the
// tests take of the window's pixels and of the recorded noise.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tests/app/window_fixture.h"
#include "tests/platform/desktop/session_bus.h"
#include "tests/platform/media/wave_fixtures.h"
#include "tests/program/reference_window.h"
#include "tests/support/sound_server.h"
#include "x_server.h"

namespace sib::test {

using namespace std::chrono_literals;

inline constexpr std::size_t kBlockFrames = 1024;

// The pixels that differ between a part of a screenshot and the same part of an image.
inline int DifferentPixelsIn(const Png& Shot, const TImageView& Image, const TControl& Part) {
  const TPoint origin = Part.ClientToForm({0, 0});
  int different = 0;
  for (int y = origin.Y; y < origin.Y + Part.Height(); ++y)
    for (int x = origin.X; x < origin.X + Part.Width(); ++x) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(Image.Pixels) +
                                                               static_cast<std::ptrdiff_t>(y) * Image.Stride);
      if ((Shot.At(x, y) & 0xFFFFFF) != (row[x] & 0xFFFFFF)) ++different;
    }
  return different;
}

class Program : public ::testing::Test {
 protected:
  static constexpr const char* kNoBus = "unix:path=/nonexistent/bus";

  static void SetUpTestSuite() { FX = new XServer(); }
  static void TearDownTestSuite() {
    delete FX;
    FX = nullptr;
  }

  void SetUp() override {
    // What the X libraries, fontconfig, SDL's drivers and the sound client keep for the life of the
    // program is theirs, not ours: the leak checker of a sanitised program is told so.
    FLeaks = LeakSuppressions(FSuppressions, {"libfontconfig.so", "libX11.so", "libSDL2", "libxkbcommon", "libdbus",
                                              "libcairo.so", "libpulse", "libglib", "libsystemd"});
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove(FSuppressions, ignored);
  }

  // Starts the program in `Folder`, playing to `Sound`, on the session bus at `Bus`, with `Arguments`
  // and the entries `Environment` over the others, on the display `Display` (none: the suite's).
  std::unique_ptr<ChildProcess> Start(const std::filesystem::path& Folder, const SoundServer& Sound,
                                      const std::string& Bus = kNoBus, const std::vector<std::string>& Arguments = {},
                                      const std::vector<std::string>& Environment = {}, std::string Display = {}) {
    std::vector<std::string> environment = Sound.ClientEnvironment();
    environment.insert(environment.end(),
                       {"SDL_AUDIODRIVER=pulseaudio", "SDL_VIDEODRIVER=x11",
                        "DISPLAY=" + (Display.empty() ? FX->Display() : Display),
                        // A desktop session has a bus; without one libdbus would first try to start one.
                        "DBUS_SESSION_BUS_ADDRESS=" + Bus, FLeaks});
    environment.insert(environment.end(), Environment.begin(), Environment.end());
    std::vector<std::string> argv{SIB_PROGRAM};
    argv.insert(argv.end(), Arguments.begin(), Arguments.end());
    return std::make_unique<ChildProcess>(
        ChildProcess::Options{.Argv = argv, .Environment = environment, .Folder = Folder});
  }

  // Waits up to a minute for the program's window and keeps its id in FWindow; whether it came.
  bool WaitForWindow() {
    const unsigned long id = WaitForWindowNamed("Sibilon", 60000);
    if (id != 0) FWindow = std::to_string(id);
    return id != 0;
  }

  static void Xdotool(std::vector<std::string> Args) {
    Args.insert(Args.begin(), "xdotool");
    ASSERT_EQ(RunProgram(Args).exitCode, 0) << Args[1];
  }
  void MoveTo(TPoint At) {
    Xdotool({"mousemove", "--sync", "--window", FWindow, std::to_string(At.X), std::to_string(At.Y)});
  }
  void ClickAt(TPoint At) {
    MoveTo(At);
    Xdotool({"click", "1"});
  }
  Png Screenshot(const std::string& Name) {
    const std::string path = OutputFolder() + "/" + Name;
    EXPECT_EQ(RunProgram({"import", "-window", FWindow, "png:" + path}).exitCode, 0);
    return ReadPng(path);
  }

  static inline XServer* FX = nullptr;
  const std::filesystem::path FSuppressions =
      std::filesystem::temp_directory_path() / ("sib-lsan-" + std::to_string(::getpid()) + ".txt");
  std::string FLeaks;  // the environment entry that names FSuppressions
  std::string FWindow;
};

// The level of the noise, as a fraction of the recording's own.
inline double LevelAgainst(std::span<const std::int16_t> Recorded, const std::vector<std::int16_t>& Recording) {
  return Rms(Recorded) / Rms(Recording);
}

// The first frame from which the level stays above 1.5 times the level before `From`.
inline std::optional<std::size_t> LevelRise(const MonitorRecorder& Recorder, std::size_t From) {
  constexpr std::size_t kStretch = 256;
  const std::size_t before = MonitorRecorder::FramesOf(300ms);
  const double level = Rms(Recorder.Samples(From - before, before));
  const std::vector<double> levels = RmsLevels(Recorder.Samples(From, MonitorRecorder::FramesOf(1000ms)), kStretch);
  for (std::size_t k = 0; k < levels.size(); ++k)
    if (levels[k] > 1.5 * level) return From + k * kStretch;
  return std::nullopt;
}

// The frame after the last sound heard within `Within` of `From`.
inline std::size_t SilenceFrom(const MonitorRecorder& Recorder, std::size_t From, std::chrono::milliseconds Within) {
  const std::vector<std::int16_t> samples = Recorder.Samples(From, MonitorRecorder::FramesOf(Within));
  std::size_t last = 0;
  for (std::size_t i = 0; i < samples.size(); ++i)
    if (samples[i] != 0) last = i / MonitorRecorder::kChannels + 1;
  return From + last;
}

}  // namespace sib::test
