#include "app/window_values.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "platform/core/data_folders.h"

namespace sib {

namespace {

constexpr std::array<const char*, 3> kNoiseFiles = {"Brown.wav", "Pink.wav", "White.wav"};

// The user guide installed beside the program (<prefix>/bin/sibilon, <prefix>/share/doc/sibilon), or
// else the one in the source tree the program was built from.
std::filesystem::path UserGuide() {
  const std::filesystem::path program = ProgramFile();
  std::error_code error;
  if (!program.empty()) {
    const std::filesystem::path installed = program.parent_path().parent_path() / SIB_INSTALLED_DOC_DIR / "README.md";
    if (std::filesystem::is_regular_file(installed, error)) return installed;
  }
  return SIB_SOURCE_USER_GUIDE;
}

std::string HomePageFromBuild() { return SIB_HOME_PAGE; }

}  // namespace

std::string FileAddress(const std::filesystem::path& AbsolutePath) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string address = "file://";
  for (const unsigned char c : AbsolutePath.generic_string()) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      address += static_cast<char>(c);
    } else {
      address += '%';
      address += kHex[c >> 4];
      address += kHex[c & 15];
    }
  }
  return address;
}

std::optional<std::string> NoiseFileName(int SelectedCustomIndex) {
  if (SelectedCustomIndex < 0 || SelectedCustomIndex >= static_cast<int>(kNoiseFiles.size())) return std::nullopt;
  return kNoiseFiles[static_cast<std::size_t>(SelectedCustomIndex)];
}

std::optional<std::filesystem::path> RecordingsFolder() {
  std::error_code error;
  for (const char* name : kNoiseFiles)
    if (std::filesystem::is_regular_file(name, error)) return std::nullopt;
  return FolderHolding(kNoiseFiles[1]);
}

const std::string& HomePage() {
  static const std::string address = HomePageFromBuild().empty() ? FileAddress(UserGuide()) : HomePageFromBuild();
  return address;
}

}  // namespace sib
