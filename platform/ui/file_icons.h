// The desktop's icons for files, as a file manager shows them: the type of a file is guessed from
// its name with the shared MIME database's name patterns (mime/globs2), the type's icon names
// (mime/icons, the type itself, mime/generic-icons, "<media>-x-generic") are looked up in the icon
// themes (Adwaita, then hicolor) at the pixel size nearest the one asked for, and the PNG found is
// scaled to that size. Folders (a name ending in '/', or an existing directory) get "folder".
//
// Both the database and the themes are read from data folders: $XDG_DATA_HOME (~/.local/share)
// and $XDG_DATA_DIRS (/usr/local/share:/usr/share) for the desktop's own, or given folders.
// Main thread only.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/bitmap.h"

namespace sib {

class FileIcons {
 public:
  // Reads the data folders, in their order of precedence, as it needs them.
  explicit FileIcons(std::vector<std::filesystem::path> dataDirs);
  ~FileIcons();
  FileIcons(const FileIcons&) = delete;
  FileIcons& operator=(const FileIcons&) = delete;

  // The icon of a file named `fileName` (the file need not exist), `size` x `size` pixels (size
  // 1 .. 256); nullptr when no theme has an icon for its type. Answers are kept.
  std::shared_ptr<const gfx::Bitmap> Find(std::string_view fileName, int size);

  // The MIME type guessed from the name alone ("text/plain"); "" when no pattern matches.
  std::string TypeOf(std::string_view fileName);

 private:
  struct Glob {
    int Weight;
    std::string Type;
    std::string Pattern;
    bool CaseSensitive;
  };
  struct Theme;

  void LoadDatabase();
  std::vector<std::string> IconNames(const std::string& type, bool folder);
  std::filesystem::path FindIconFile(const std::vector<std::string>& names, int size);

  std::vector<std::filesystem::path> dataDirs_;
  bool loaded_ = false;
  std::vector<Glob> globs_;
  std::map<std::string, std::string> typeIcons_, genericIcons_;
  std::vector<std::unique_ptr<Theme>> themes_;
  std::map<std::pair<std::string, int>, std::shared_ptr<const gfx::Bitmap>> found_;
};

// The data folders of the desktop, from the environment as the XDG base directories say.
std::vector<std::filesystem::path> DesktopDataDirs();
// The desktop's icons, read from DesktopDataDirs() once per process.
FileIcons& DesktopFileIcons();

}  // namespace sib
