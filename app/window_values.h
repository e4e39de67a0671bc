// The values the main window's behaviour is made of: the noise table that maps the spinner's items to
// the recordings, the start button's captions and colours, the level scale and the address of the
// link button. Kept apart from the handlers so that a reader checks them in one place.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace sib {

// The recording for the spinner's item `SelectedCustomIndex` (0 "Brown Noise", 1 "Pink Noise",
// 2 "White Noise"), or nothing for any other index. The names are relative: the player opens them in
// the working folder.
std::optional<std::string> NoiseFileName(int SelectedCustomIndex);

// Colours as 0x00BBGGRR.
inline constexpr std::int32_t kBeginColorPlaying = 2258854;   // brown-orange
inline constexpr std::int32_t kBeginColorHover = 11788021;    // light tan, under the mouse while stopped
inline constexpr std::int32_t kBeginColorStopped = 12632256;  // silver, the window's colour

inline constexpr const char* kBeginCaptionStopped = "Start Noise";
inline constexpr const char* kBeginCaptionPlaying = "Stop Noise";

// The gain the window starts with (the track bar's initial position 50 gives the same).
inline constexpr double kCreationGain = 0.1;
// The gain per track-bar unit, as an extended-precision constant: the product with the position is
// formed in extended precision and rounded to a double once.
inline constexpr long double kGainPerUnit = 0.002L;

// The folder to move to before the window opens the recordings: nothing when the working folder holds
// any of them, else the data folder of the program's build or install that holds them, if one does.
std::optional<std::filesystem::path> RecordingsFolder();

// The address the link button asks the desktop to open: the project's home page when the build names
// one, else the user guide as a file address.
const std::string& HomePage();

// "file://" and the path, with every byte but letters, digits and "/-._~" percent-encoded.
std::string FileAddress(const std::filesystem::path& AbsolutePath);

}  // namespace sib
