// The command line of the headless player.
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
};

struct PlayArguments {
  PlayOptions Options;
  std::string Error;  // empty when the arguments were understood
};

// Takes the arguments after the program name; "--name value" and "--name=value" both work.
PlayArguments ParsePlayArguments(const std::vector<std::string>& AArguments);
std::string PlayUsage();
// "Brown.wav", "Pink.wav" or "White.wav" for a noise name the parser accepted.
std::string NoiseFileName(const std::string& ANoise);
// The noise names in the window's order (brown, pink, white), and each one's title as the window's
// spinner shows it ("Pink Noise").
std::vector<std::string> NoiseNames();
std::string NoiseTitle(const std::string& ANoise);

// The sleep timer's fade: it begins `Start` seconds after the start and lasts `Length` seconds, to
// the end of the time. The last 30 seconds, or all of a shorter time.
struct SleepFade {
  double Start = 0;
  double Length = 0;
};
SleepFade SleepFadeOf(double AMinutes);

}  // namespace sib
