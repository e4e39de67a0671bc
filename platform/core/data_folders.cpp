#include "platform/core/data_folders.h"

namespace sib {

namespace fs = std::filesystem;

fs::path ProgramFile() {
  std::error_code error;
  fs::path file = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path() : file;
}

std::vector<fs::path> DataFolders(const fs::path& programFile) {
  if (programFile.empty()) return {};
  const fs::path beside = programFile.parent_path().parent_path();
  return {beside / "data", beside / SIB_INSTALLED_DATA_DIR};
}

std::optional<fs::path> FolderHolding(std::string_view fileName, const std::vector<fs::path>& folders) {
  std::error_code error;
  const fs::path here = fs::current_path(error);
  if (!error && fs::is_regular_file(here / fileName, error)) return here;
  for (const fs::path& folder : folders)
    if (fs::is_regular_file(folder / fileName, error)) return folder;
  return std::nullopt;
}

std::optional<fs::path> FolderHolding(std::string_view fileName) {
  return FolderHolding(fileName, DataFolders(ProgramFile()));
}

}  // namespace sib
