#include "player/start_options.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <span>
#include <string_view>

namespace sib {
namespace {

struct Noise {
  const char* Name;
  const char* FileName;
  const char* Title;
};
constexpr double kMaxSeconds = 365.0 * 24 * 3600;

constexpr Noise kNoises[] = {
    {"brown", "Brown.wav", "Brown Noise"}, {"pink", "Pink.wav", "Pink Noise"}, {"white", "White.wav", "White Noise"}};

// A finite number written in full ("12", "0.5"), with nothing after it.
std::optional<double> ParseNumber(const std::string& AText) {
  if (AText.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(AText.c_str(), &end);
  if (end != AText.c_str() + AText.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

// The noise named AName; null for a name that is none.
const Noise* FindNoise(const std::string& AName) {
  for (const Noise& noise : kNoises)
    if (AName == noise.Name) return &noise;
  return nullptr;
}

// Applies one option with its value; returns the complaint, or "" when it was fine.
std::string Apply(PlayOptions& AOptions, const std::string& AName, const std::string& AValue) {
  if (AName == "--noise") {
    if (!FindNoise(AValue)) return "--noise must be brown, pink or white, not \"" + AValue + "\"";
    AOptions.Noise = AValue;
  } else if (AName == "--level") {
    const auto level = ParseNumber(AValue);
    if (!level || *level < 0 || *level > 100) return "--level must be a number from 0 to 100, not \"" + AValue + "\"";
    AOptions.Level = *level;
  } else if (AName == "--seconds") {
    const auto seconds = ParseNumber(AValue);
    if (!seconds || *seconds <= 0 || *seconds > kMaxSeconds)
      return "--seconds must be a number above 0 and at most a year (31536000), not \"" + AValue + "\"";
    AOptions.Seconds = *seconds;
  } else if (AName == "--sleep") {
    const auto minutes = ParseNumber(AValue);
    if (!minutes || *minutes <= 0 || *minutes * 60 > kMaxSeconds)
      return "--sleep must be a number of minutes above 0 and at most a year (525600), not \"" + AValue + "\"";
    AOptions.SleepMinutes = *minutes;
  } else if (AName == "--device") {
    if (AValue.empty()) return "--device needs a device name";
    AOptions.Device = AValue;
  } else if (AName == "--file") {
    if (AValue.empty()) return "--file needs a file name";
    AOptions.File = AValue;
  } else if (AName == "--paced-by") {
    if (AValue == "device") AOptions.Pace = PlayPace::Device;
    else if (AValue == "player") AOptions.Pace = PlayPace::Player;
    else return "--paced-by must be device or player, not \"" + AValue + "\"";
  }
  return {};
}

bool TakesValue(const std::string& AName) {
  return AName == "--noise" || AName == "--level" || AName == "--seconds" || AName == "--sleep" ||
         AName == "--device" || AName == "--file" || AName == "--paced-by";
}

// The options one program takes (the long names, and -h for --help).
using OptionNames = std::span<const std::string_view>;
constexpr std::string_view kPlayNames[] = {"--help", "-h", "--version", "--list-devices", "--status", "--noise", "--level",
                                    "--seconds", "--sleep", "--device", "--file", "--paced-by"};
constexpr std::string_view kWindowNames[] = {"--help", "-h", "--version", "--play", "--noise", "--level", "--sleep"};

bool Takes(OptionNames ANames, const std::string& AName) {
  return std::find(ANames.begin(), ANames.end(), AName) != ANames.end();
}

// What the parser found: the options, which of them were given, and the complaint.
struct Parsed {
  PlayOptions Options;
  bool Play = false;
  std::vector<std::string> Given;
  std::string Error;
  bool WasGiven(const std::string& AName) const { return std::find(Given.begin(), Given.end(), AName) != Given.end(); }
};

Parsed Parse(const std::vector<std::string>& AArguments, OptionNames ANames) {
  Parsed result;
  for (std::size_t i = 0; i < AArguments.size(); ++i) {
    std::string name = AArguments[i];
    std::optional<std::string> value;
    if (const auto equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    if (!Takes(ANames, name)) {
      result.Error = "unknown argument \"" + AArguments[i] + "\"";
      return result;
    }
    result.Given.push_back(name);
    if (name == "--help" || name == "-h") {
      result.Options.Help = true;
    } else if (name == "--version") {
      result.Options.Version = true;
    } else if (name == "--play") {
      result.Play = true;
    } else if (name == "--list-devices") {
      result.Options.ListDevices = true;
    } else if (name == "--status") {
      result.Options.Status = true;
    } else if (TakesValue(name)) {
      if (!value) {
        if (i + 1 == AArguments.size()) {
          result.Error = name + " needs a value";
          return result;
        }
        value = AArguments[++i];
      }
      result.Error = Apply(result.Options, name, *value);
      if (!result.Error.empty()) return result;
      continue;
    }
    if (value) {
      result.Error = name + " takes no value";
      return result;
    }
  }
  // Two ends for one run: which one is meant is not for the player to guess.
  if (result.Options.Seconds && result.Options.SleepMinutes) result.Error = "--seconds and --sleep can't be used together";
  return result;
}

}  // namespace

PlayArguments ParsePlayArguments(const std::vector<std::string>& AArguments) {
  Parsed parsed = Parse(AArguments, kPlayNames);
  return {std::move(parsed.Options), std::move(parsed.Error)};
}

WindowArguments ParseWindowArguments(const std::vector<std::string>& AArguments) {
  const Parsed parsed = Parse(AArguments, kWindowNames);
  WindowArguments result;
  result.Error = parsed.Error;
  if (!result.Error.empty()) return result;
  WindowOptions& options = result.Options;
  options.Play = parsed.Play;
  options.Help = parsed.Options.Help;
  options.Version = parsed.Options.Version;
  if (parsed.WasGiven("--noise")) options.Noise = parsed.Options.Noise;
  if (parsed.WasGiven("--level")) options.Level = parsed.Options.Level;
  options.SleepMinutes = parsed.Options.SleepMinutes;
  return result;
}

std::string WindowUsage() {
  return "Usage: sibilon [--play] [--noise brown|pink|white] [--level 0..100] [--sleep MINUTES]\n"
         "Opens the window that plays a steady background noise. When one is open already, brings it to\n"
         "the front and hands it the options instead.\n"
         "  --play           start the noise at once\n"
         "  --noise NAME     the noise to choose (default pink)\n"
         "  --level N        the level, 0 to 100 (default 50; 100 plays at a fifth of the recording)\n"
         "  --sleep MINUTES  start the noise with a sleep timer: fade out smoothly over the last\n"
         "                   30 seconds, then stop\n"
         "  --help           print this text and exit\n"
         "  --version        print the version and exit\n";
}

std::string VersionLine(const std::string& AProgram) { return AProgram + " " + SIB_VERSION; }

std::string PlayUsage() {
  return "Usage: sibilon-play [--noise brown|pink|white | --file FILE] [--level 0..100]\n"
         "                    [--seconds N | --sleep MINUTES] [--device NAME] [--paced-by device|player]\n"
         "                    [--status]\n"
         "       sibilon-play --list-devices\n"
         "Plays a steady background noise until the time is up or Ctrl-C is pressed. When the sound\n"
         "device goes away (or the sound server restarts), it plays on as soon as there is one again.\n"
         "  --noise NAME     the noise to play (default pink)\n"
         "  --file FILE      play this wave file, looped, instead of a noise\n"
         "  --level N        the level, 0 to 100 (default 50; 100 plays at a fifth of the recording)\n"
         "  --seconds N      stop after N seconds (default: play until interrupted)\n"
         "  --sleep MINUTES  a sleep timer: fade out smoothly over the last 30 seconds, then stop\n"
         "  --device NAME    the output device (default \"Default\", the system's default device)\n"
         "  --paced-by WHAT  device (default): the device's clock asks for each block, and the file\n"
         "                   reaches it sample for sample; player: the player keeps its own time and\n"
         "                   the device's rate follows it, as in the window\n"
         "  --status         print the device's rate adjustment and the queued audio once a second\n"
         "  --list-devices   print the output devices' names and exit\n"
         "  --help           print this text and exit\n"
         "  --version        print the version and exit\n";
}

std::string NoiseFileName(const std::string& ANoise) {
  const Noise* noise = FindNoise(ANoise);
  return noise ? noise->FileName : "";
}

std::vector<std::string> NoiseNames() {
  std::vector<std::string> names;
  for (const Noise& noise : kNoises) names.emplace_back(noise.Name);
  return names;
}

std::string NoiseTitle(const std::string& ANoise) {
  const Noise* noise = FindNoise(ANoise);
  return noise ? noise->Title : "";
}

}  // namespace sib
