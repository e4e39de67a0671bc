// The command lines of the two programs, parsed by one parser so that an option means the same, is
// checked the same and is refused with the same words in both: the headless player, `sibilon-play`,
// and the window, `sibilon`, which takes the few options that make sense for a window (--play,
// --noise, --level, --sleep, --help, --version).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sib {

// Who sets the pace: the sound device (the output drives the pipeline and the recording reaches the
// device sample for sample), or the player's own clock, as in the window (the output steers the
// device's rate to follow it).
enum class PlayPace { Device, Player };

struct PlayOptions {
  std::string Noise = "pink";  // brown, pink or white
  std::string File;            // a wave file to play instead of the noise; empty for the noise
  double Level = 50;           // 0..100, as the window's track bar
  std::optional<double> Seconds;  // none: until interrupted
  std::optional<double> SleepMinutes;  // the sleep timer: fade out over the last 30 s, then stop
  std::string Device = "Default";
  PlayPace Pace = PlayPace::Device;
  bool Status = false;  // print the device's rate and the queued audio once a second
  bool ListDevices = false;
  bool Help = false;
  bool Version = false;
};

struct PlayArguments {
  PlayOptions Options;
  std::string Error;  // empty when the arguments were understood
};

// Takes the arguments after the program name; "--name value" and "--name=value" both work.
PlayArguments ParsePlayArguments(const std::vector<std::string>& AArguments);
std::string PlayUsage();

// The window's options. Each is there only when given: without options the window starts as it
// always does, and a window that is handed the options of a second start changes only what they name.
struct WindowOptions {
  bool Play = false;                   // start the noise at once
  std::optional<std::string> Noise;    // brown, pink or white
  std::optional<double> Level;         // 0..100
  std::optional<double> SleepMinutes;  // the sleep timer, started with the noise
  bool Help = false;
  bool Version = false;
};

struct WindowArguments {
  WindowOptions Options;
  std::string Error;  // empty when the arguments were understood
};

WindowArguments ParseWindowArguments(const std::vector<std::string>& AArguments);
std::string WindowUsage();
// "<program> <version>", the line both programs print for --version.
std::string VersionLine(const std::string& AProgram);
// "Brown.wav", "Pink.wav" or "White.wav" for a noise name the parser accepted.
std::string NoiseFileName(const std::string& ANoise);
// The noise names in the window's order (brown, pink, white), and each one's title as the window's
// spinner shows it ("Pink Noise").
std::vector<std::string> NoiseNames();
std::string NoiseTitle(const std::string& ANoise);

}  // namespace sib
