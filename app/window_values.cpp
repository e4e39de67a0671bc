#include "app/window_values.h"

#include <array>

namespace sib {

namespace {

constexpr std::array<const char*, 3> kNoiseFiles = {"Brown.wav", "Pink.wav", "White.wav"};

}  // namespace

std::optional<std::string> NoiseFileName(int SelectedCustomIndex) {
  if (SelectedCustomIndex < 0 || SelectedCustomIndex >= static_cast<int>(kNoiseFiles.size())) return std::nullopt;
  return kNoiseFiles[static_cast<std::size_t>(SelectedCustomIndex)];
}

const std::string& HomePage() {
  static const std::string address = SIB_HOME_PAGE;
  return address;
}

}  // namespace sib
