#include "platform/ui/file_icons.h"

#include <fnmatch.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/graphics/graphics.h"
#include "platform/graphics/image.h"

namespace sib {

namespace fs = std::filesystem;

namespace {

constexpr const char* kThemes[] = {"Adwaita", "hicolor"};
constexpr std::size_t kMaxKeptIcons = 256;  // answers kept; beyond, the oldest are forgotten

std::vector<std::string> Lines(const fs::path& file) {
  std::vector<std::string> out;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') out.push_back(line);
  return out;
}

// "a:b" files: the first part to the rest.
void ReadPairs(const fs::path& file, std::map<std::string, std::string>& into) {
  for (const std::string& line : Lines(file)) {
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos) into.emplace(line.substr(0, colon), line.substr(colon + 1));
  }
}

bool IsDirectory(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

}  // namespace

// The folders of one theme in the data folders: per pixel size, the context folders that hold
// icons of that size ("16x16/mimetypes").
struct FileIcons::Theme {
  std::map<int, std::vector<fs::path>> bySize;
};

FileIcons::FileIcons(std::vector<fs::path> dataDirs) : dataDirs_(std::move(dataDirs)) {}
FileIcons::~FileIcons() = default;

void FileIcons::LoadDatabase() {
  if (loaded_) return;
  loaded_ = true;
  // Earlier folders take precedence: read in reverse so that their entries replace later ones.
  for (auto dir = dataDirs_.rbegin(); dir != dataDirs_.rend(); ++dir) {
    for (const std::string& line : Lines(*dir / "mime" / "globs2")) {
      std::istringstream fields(line);
      std::string weight, type, pattern, flags;
      if (!std::getline(fields, weight, ':') || !std::getline(fields, type, ':') || !std::getline(fields, pattern, ':'))
        continue;
      std::getline(fields, flags);
      globs_.push_back({std::atoi(weight.c_str()), type, pattern, flags.find("cs") != std::string::npos});
    }
    std::map<std::string, std::string> icons, generic;
    ReadPairs(*dir / "mime" / "icons", icons);
    ReadPairs(*dir / "mime" / "generic-icons", generic);
    for (auto& [k, v] : icons) typeIcons_[k] = v;
    for (auto& [k, v] : generic) genericIcons_[k] = v;
  }
  for (const char* name : kThemes) {
    auto theme = std::make_unique<Theme>();
    for (const fs::path& dir : dataDirs_) {
      const fs::path root = dir / "icons" / name;
      if (!IsDirectory(root)) continue;
      std::error_code ec;
      for (const fs::directory_entry& sizeDir : fs::directory_iterator(root, ec)) {
        const std::string sizeName = sizeDir.path().filename().string();
        int w = 0, h = 0;
        char tail = 0;
        if (std::sscanf(sizeName.c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w != h || w <= 0) continue;
        std::error_code ec2;
        for (const fs::directory_entry& context : fs::directory_iterator(sizeDir.path(), ec2))
          if (context.is_directory(ec2)) theme->bySize[w].push_back(context.path());
      }
    }
    themes_.push_back(std::move(theme));
  }
}

std::string FileIcons::TypeOf(std::string_view fileName) {
  LoadDatabase();
  const std::string name(fs::path(std::string(fileName)).filename().string());
  if (name.empty()) return {};
  const Glob* best = nullptr;
  for (const Glob& g : globs_) {
    if (fnmatch(g.Pattern.c_str(), name.c_str(), g.CaseSensitive ? 0 : FNM_CASEFOLD) != 0) continue;
    if (!best || g.Weight > best->Weight || (g.Weight == best->Weight && g.Pattern.size() > best->Pattern.size()))
      best = &g;
  }
  return best ? best->Type : std::string();
}

std::vector<std::string> FileIcons::IconNames(const std::string& type, bool folder) {
  if (folder) return {"folder", "inode-directory"};
  std::vector<std::string> names;
  const std::string t = type.empty() ? "application/octet-stream" : type;
  if (const auto it = typeIcons_.find(t); it != typeIcons_.end()) names.push_back(it->second);
  std::string dashed = t;
  std::replace(dashed.begin(), dashed.end(), '/', '-');
  names.push_back(dashed);
  if (const auto it = genericIcons_.find(t); it != genericIcons_.end()) names.push_back(it->second);
  names.push_back(t.substr(0, t.find('/')) + "-x-generic");
  names.push_back("application-x-generic");
  return names;
}

fs::path FileIcons::FindIconFile(const std::vector<std::string>& names, int size) {
  for (const auto& theme : themes_) {
    // Sizes nearest the one asked for first; of two as near, the larger (it scales down better).
    std::vector<int> sizes;
    for (const auto& [s, dirs] : theme->bySize) sizes.push_back(s);
    std::sort(sizes.begin(), sizes.end(), [size](int a, int b) {
      const int da = std::abs(a - size), db = std::abs(b - size);
      return da != db ? da < db : a > b;
    });
    for (const std::string& name : names)
      for (int s : sizes)
        for (const fs::path& dir : theme->bySize[s]) {
          const fs::path file = dir / (name + ".png");
          std::error_code ec;
          if (fs::is_regular_file(file, ec)) return file;
        }
  }
  return {};
}

std::shared_ptr<const gfx::Bitmap> FileIcons::Find(std::string_view fileName, int size) {
  size = std::clamp(size, 1, 256);
  const std::pair<std::string, int> key{std::string(fileName), size};
  if (const auto it = found_.find(key); it != found_.end()) return it->second;
  LoadDatabase();
  const std::string& name = key.first;
  const bool folder = (!name.empty() && name.back() == '/') || IsDirectory(name);
  const fs::path file = FindIconFile(IconNames(folder ? std::string() : TypeOf(name), folder), size);
  std::shared_ptr<const gfx::Bitmap> icon;
  if (!file.empty()) {
    try {
      std::ifstream in(file, std::ios::binary);
      const gfx::Image image = gfx::Image::FromStream(in);
      auto scaled = std::make_shared<gfx::Bitmap>(size, size);
      gfx::Graphics g(*scaled);
      g.SetInterpolationMode(gfx::InterpolationMode::HighQuality);
      g.DrawImage(image.Pixels(), gfx::RectF{0, 0, float(size), float(size)});
      icon = std::move(scaled);
    } catch (const gfx::EImageError&) {
      // A theme file that does not decode is as good as none.
    }
  }
  if (found_.size() >= kMaxKeptIcons) found_.clear();
  found_.emplace(key, icon);
  return icon;
}

std::vector<fs::path> DesktopDataDirs() {
  std::vector<fs::path> dirs;
  const char* home = std::getenv("HOME");
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && *dataHome)
    dirs.emplace_back(dataHome);
  else if (home && *home)
    dirs.push_back(fs::path(home) / ".local" / "share");
  const char* dataDirs = std::getenv("XDG_DATA_DIRS");
  std::string list = dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share";
  std::istringstream parts(list);
  for (std::string part; std::getline(parts, part, ':');)
    if (!part.empty()) dirs.emplace_back(part);
  return dirs;
}

FileIcons& DesktopFileIcons() {
  static FileIcons icons(DesktopDataDirs());
  return icons;
}

}  // namespace sib
