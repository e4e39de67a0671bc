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

}  // namespace sib
