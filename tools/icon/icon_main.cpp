// sibilon-icon FOLDER: draws Sibilon's icon and writes it into FOLDER as the window's icon file
// (sibilon.ico, nine images) and as the desktop's icon theme keeps it
// (hicolor/<N>x<N>/apps/sibilon.png). The build runs it; the images are build products, not sources.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/graphics/image.h"
#include "tools/icon/icon_art.h"
#include "tools/icon/icon_file.h"

namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  try {
    using namespace sib;
    const fs::path folder = argv[1];
    std::map<int, gfx::Bitmap> drawn;
    auto at = [&](int size) -> const gfx::Bitmap& {
      auto found = drawn.find(size);
      return found != drawn.end() ? found->second : drawn.emplace(size, icon::DrawIcon(size)).first->second;
    };

    // The window's icon: the classic depths first, each largest first, then the full-colour images.
    const std::vector<icon::IconImage> images{
        {at(32), 4}, {at(16), 4}, {at(48), 8}, {at(32), 8}, {at(16), 8},
        {at(256), 32}, {at(48), 32}, {at(32), 32}, {at(16), 32},
    };
    WriteFile(folder / "sibilon.ico", icon::EncodeIconFile(images));

    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
      const std::string name = std::to_string(size) + "x" + std::to_string(size);
      WriteFile(folder / "hicolor" / name / "apps" / "sibilon.png",
                gfx::Image::FromBitmap(at(size)).Save(gfx::ImageFormat::Png));
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "sibilon-icon: %s\n", error.what());
    return 1;
  }
  return 0;
}
