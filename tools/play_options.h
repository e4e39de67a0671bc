// The command line of the headless player.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sib {

struct PlayOptions {
  std::string Noise = "pink";  // brown, pink or white
  double Level = 50;           // 0..100, as the window's track bar
  std::optional<double> Seconds;  // none: until interrupted
  std::string Device = "Default";
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
