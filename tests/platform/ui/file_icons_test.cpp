// The desktop's file icons: types guessed from names through the MIME database's patterns, icons
// found by name in the themes at the nearest size and scaled, folders, and names with no icon; on a
// data folder made here, and once on the desktop's own.
#include "platform/ui/file_icons.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/graphics/image.h"

namespace sib {
namespace {

namespace fs = std::filesystem;

class FileIconsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "sibilon-icons-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    Put("mime/globs2",
        "# comment\n"
        "50:text/plain:*.txt\n"
        "50:image/png:*.png\n"
        "60:text/x-makefile:Makefile:cs\n"
        "50:text/x-csrc:*.c\n"
        "55:text/x-c++src:*.C:cs\n"
        "80:application/x-compressed-tar:*.tar.gz\n"
        "50:application/gzip:*.gz\n");
    Put("mime/generic-icons", "image/png:image-x-generic\napplication/x-compressed-tar:package-x-generic\n");
    Put("mime/icons", "text/x-csrc:my-c-icon\n");
    Square("icons/hicolor/16x16/mimetypes/text-plain.png", 16, gfx::Color::Rgb(255, 0, 0));
    Square("icons/hicolor/48x48/mimetypes/image-x-generic.png", 48, gfx::Color::Rgb(0, 0, 255));
    Square("icons/hicolor/16x16/places/folder.png", 16, gfx::Color::Rgb(0, 128, 0));
    Square("icons/hicolor/22x22/mimetypes/package-x-generic.png", 22, gfx::Color::Rgb(128, 0, 128));
    Square("icons/hicolor/32x32/mimetypes/my-c-icon.png", 32, gfx::Color::Rgb(0, 200, 200));
    Square("icons/Adwaita/16x16/legacy/text-plain.png", 16, gfx::Color::Rgb(255, 255, 0));  // the first theme wins
    Put("icons/hicolor/16x16/mimetypes/text-x-c++src.png", "not a picture");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  void Put(const std::string& name, const std::string& text) {
    fs::create_directories((dir_ / name).parent_path());
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  void Square(const std::string& name, int side, gfx::Color c) {
    gfx::Image image(side, side);
    image.Pixels().Fill(c);
    fs::create_directories((dir_ / name).parent_path());
    std::ofstream out(dir_ / name, std::ios::binary);
    image.Save(out, gfx::ImageFormat::Png);
  }
  fs::path dir_;
};

TEST_F(FileIconsTest, TypesComeFromTheNamePatterns) {
  FileIcons icons({dir_});
  struct Case {
    const char* name;
    const char* type;
  };
  const Case cases[] = {
      {"notes.txt", "text/plain"},
      {"NOTES.TXT", "text/plain"},
      {"/some/where/picture.png", "image/png"},
      {"Makefile", "text/x-makefile"},
      {"makefile", ""},  // a case-sensitive pattern
      {"main.c", "text/x-csrc"},
      {"main.C", "text/x-c++src"},  // the heavier of two patterns
      {"backup.tar.gz", "application/x-compressed-tar"},
      {"backup.gz", "application/gzip"},
      {"README", ""},
      {"", ""},
  };
  for (const Case& k : cases) EXPECT_EQ(icons.TypeOf(k.name), k.type) << k.name;
}

TEST_F(FileIconsTest, IconsAreFoundByTypeAndScaledToTheSizeAskedFor) {
  FileIcons icons({dir_});
  struct Case {
    const char* name;
    int size;
    bool found;
    gfx::Color colour;
  };
  const Case cases[] = {
      {"notes.txt", 16, true, gfx::Color::Rgb(255, 255, 0)},  // Adwaita before hicolor
      {"notes.txt", 32, true, gfx::Color::Rgb(255, 255, 0)},  // 16 scaled up
      {"picture.png", 32, true, gfx::Color::Rgb(0, 0, 255)},  // the generic icon, 48 scaled down
      {"backup.tar.gz", 16, true, gfx::Color::Rgb(128, 0, 128)},
      {"main.c", 16, true, gfx::Color::Rgb(0, 200, 200)},  // the database's own icon name first
      {"some/folder/", 16, true, gfx::Color::Rgb(0, 128, 0)},
      {"main.C", 16, false, {}},  // its file does not decode
      {"README", 16, false, {}},
      {"Makefile", 32, false, {}},
  };
  for (const Case& k : cases) {
    const auto icon = icons.Find(k.name, k.size);
    ASSERT_EQ(icon != nullptr, k.found) << k.name;
    if (!icon) continue;
    EXPECT_EQ(icon->Width(), k.size) << k.name;
    EXPECT_EQ(icon->Height(), k.size) << k.name;
    EXPECT_EQ(icon->GetPixel(k.size / 2, k.size / 2), k.colour) << k.name;
  }
  EXPECT_EQ(icons.Find("notes.txt", 16), icons.Find("notes.txt", 16)) << "answers are kept";
  EXPECT_EQ(icons.Find(dir_.string(), 16)->GetPixel(8, 8), gfx::Color::Rgb(0, 128, 0)) << "an existing folder";
}

TEST(FileIconsDesktop, NoDataFoldersNoIcons) {
  FileIcons icons({"/nonexistent/sibilon"});
  EXPECT_EQ(icons.Find("notes.txt", 16), nullptr);
  EXPECT_EQ(icons.TypeOf("notes.txt"), "");
}

// The desktop's own database and themes (shared-mime-info and adwaita-icon-theme).
TEST(FileIconsDesktop, TheDesktopHasIconsForTextFilesAndFolders) {
  FileIcons icons({"/usr/share"});
  EXPECT_EQ(icons.TypeOf("readme.txt"), "text/plain");
  for (const char* name : {"readme.txt", "photo.png", "/tmp"}) {
    for (int size : {16, 32}) {
      const auto icon = icons.Find(name, size);
      ASSERT_NE(icon, nullptr) << name << " at " << size;
      EXPECT_EQ(icon->Width(), size);
      int opaque = 0;
      for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) opaque += icon->GetPixel(x, y).A > 128;
      EXPECT_GT(opaque, size * size / 8) << name << " at " << size;
    }
  }
}

}  // namespace
}  // namespace sib
