// The icon the build drew (the window's icon file and the icon theme's images), read back by the
// window's own icon reader and by the desktop's image library; and the icon file writer on images
// whose every pixel is known.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/graphics/image.h"
#include "platform/ui/form.h"
#include "tools/icon/icon_art.h"
#include "tools/icon/icon_file.h"

namespace sib {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t Le32(const Bytes& b, std::size_t at) {
  return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
         std::uint32_t{b[at + 3]} << 24;
}

// One entry of the file's directory: where its image lies.
struct Stored {
  std::size_t Offset, Size;
};
Stored StoredImage(const Bytes& file, std::size_t index) {
  return {Le32(file, 6 + 16 * index + 12), Le32(file, 6 + 16 * index + 8)};
}

bool IsPng(const Bytes& file, Stored s) { return s.Size >= 8 && file[s.Offset] == 0x89 && file[s.Offset + 1] == 'P'; }

// Whether the AND mask of a stored bitmap leaves pixel (x, y) out (y counted from the top).
bool Masked(const Bytes& file, Stored s, int x, int y) {
  const auto width = static_cast<int>(Le32(file, s.Offset + 4));
  const int bits = file[s.Offset + 14];
  const std::size_t colours = Le32(file, s.Offset + 32);
  const std::size_t colourStride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  const std::size_t maskStride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
  const std::size_t mask = s.Offset + 40 + 4 * colours + colourStride * static_cast<std::size_t>(width);
  return (file[mask + maskStride * static_cast<std::size_t>(width - 1 - y) + x / 8] >> (7 - x % 8)) & 1;
}

std::unique_ptr<TIcon> IconOf(Bytes bytes) {
  auto icon = std::make_unique<TIcon>();
  icon->SetData(std::move(bytes));
  return icon;
}

std::uint32_t AlphaOf(const TIcon::Image& image, int x, int y) {
  return image.Pixels[static_cast<std::size_t>(y * image.Width + x)] >> 24;
}

TEST(WindowIconTest, ListsNineImagesBySizeAndDepth) {
  const std::vector<TIcon::Entry> entries = IconOf(ReadFile(SIB_WINDOW_ICON))->Entries();
  struct Row {
    int Size, BitCount;
  };
  const Row expected[] = {{32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}, {256, 32}, {48, 32}, {32, 32}, {16, 32}};
  ASSERT_EQ(entries.size(), std::size(expected));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].Width, expected[i].Size) << "image " << i;
    EXPECT_EQ(entries[i].Height, expected[i].Size) << "image " << i;
    EXPECT_EQ(entries[i].BitCount, expected[i].BitCount) << "image " << i;
  }
}

TEST(WindowIconTest, LargestBitmapHasOpaqueCentreAndTransparentCorners) {
  // The 256-pixel image is PNG-compressed, which the window's reader passes over: the window shows the
  // 32-bit 48 x 48 one.
  const TIcon::Image image = IconOf(ReadFile(SIB_WINDOW_ICON))->LargestImage();
  ASSERT_EQ(image.Width, 48);
  ASSERT_EQ(image.Height, 48);
  EXPECT_EQ(AlphaOf(image, 24, 24), 255u);
  for (const auto& [x, y] : {std::pair{0, 0}, {47, 0}, {0, 47}, {47, 47}})
    EXPECT_EQ(AlphaOf(image, x, y), 0u) << "corner " << x << ", " << y;
}

TEST(WindowIconTest, EveryStoredImageHidesItsCornersAndShowsItsCentre) {
  const Bytes file = ReadFile(SIB_WINDOW_ICON);
  const std::vector<TIcon::Entry> entries = IconOf(file)->Entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Stored s = StoredImage(file, i);
    const int n = entries[i].Width;
    if (IsPng(file, s)) {
      const gfx::Image png = gfx::Image::FromBytes(std::span(file).subspan(s.Offset, s.Size));
      ASSERT_EQ(png.Width(), n) << "image " << i;
      EXPECT_EQ(png.GetPixel(n / 2, n / 2).A, 255) << "image " << i;
      EXPECT_EQ(png.GetPixel(0, 0).A, 0) << "image " << i;
      continue;
    }
    EXPECT_EQ(Le32(file, s.Offset + 4), static_cast<std::uint32_t>(n)) << "image " << i;
    EXPECT_EQ(file[s.Offset + 14], entries[i].BitCount) << "image " << i;
    if (entries[i].BitCount <= 8) {
      EXPECT_EQ(Le32(file, s.Offset + 32), 1u << entries[i].BitCount) << "palette of image " << i;
    }
    EXPECT_FALSE(Masked(file, s, n / 2, n / 2)) << "image " << i;
    for (const auto& [x, y] : {std::pair{0, 0}, {n - 1, 0}, {0, n - 1}, {n - 1, n - 1}})
      EXPECT_TRUE(Masked(file, s, x, y)) << "image " << i << " corner " << x << ", " << y;
  }
}

// FNV-1a over an image's size and premultiplied pixels.
std::uint64_t Checksum(const TIcon::Image& image) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  auto mix = [&hash](std::uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) hash = (hash ^ ((word >> shift) & 0xFF)) * 0x100000001b3u;
  };
  mix(static_cast<std::uint32_t>(image.Width));
  mix(static_cast<std::uint32_t>(image.Height));
  for (const std::uint32_t pixel : image.Pixels) mix(pixel);
  return hash;
}

// An icon file holding only image `index` of `file`.
Bytes SingleImageIcon(const Bytes& file, std::size_t index) {
  const Stored s = StoredImage(file, index);
  Bytes single{0, 0, 1, 0, 1, 0};
  const auto entry = file.begin() + static_cast<std::ptrdiff_t>(6 + 16 * index);
  single.insert(single.end(), entry, entry + 12);
  single.insert(single.end(), {22, 0, 0, 0});
  single.insert(single.end(), file.begin() + static_cast<std::ptrdiff_t>(s.Offset),
                file.begin() + static_cast<std::ptrdiff_t>(s.Offset + s.Size));
  return single;
}

// The pixels the window has always shown, image by image: the checksums were taken from the window's
// own bitmap reader before the image library took over the decoding. The PNG-compressed image is
// passed over, as it always was.
TEST(WindowIconTest, EveryStoredImageDecodesToThePixelsTheWindowHasAlwaysShown) {
  const Bytes file = ReadFile(SIB_WINDOW_ICON);
  struct Row {
    std::size_t Index;
    int Size;
    std::uint64_t Checksum;
  };
  const Row rows[] = {
      {0, 32, 0x20aedce379fe481fu}, {1, 16, 0x6a17d63862d8e538u}, {2, 48, 0x5125986e14b80ca8u},
      {3, 32, 0xa402846bfab184aeu}, {4, 16, 0x3a88e0b6091966e4u}, {5, 0, 0xa8c7f832281a39c5u},
      {6, 48, 0x0bb1029b52f385e2u}, {7, 32, 0x546c0b111b7e3e44u}, {8, 16, 0x1f99ac856d4b5411u},
  };
  for (const Row& row : rows) {
    const TIcon::Image image = IconOf(SingleImageIcon(file, row.Index))->LargestImage();
    EXPECT_EQ(image.Width, row.Size) << "image " << row.Index;
    EXPECT_EQ(Checksum(image), row.Checksum) << "image " << row.Index << std::hex << " checksum 0x" << Checksum(image);
  }
  const TIcon::Image shown = IconOf(file)->LargestImage();
  EXPECT_EQ(Checksum(shown), rows[6].Checksum) << "the window shows the 32-bit 48 x 48 image";
}

TEST(WindowIconTest, DesktopImageLibraryReadsTheFile) {
  const gfx::Image image = gfx::Image::FromBytes(ReadFile(SIB_WINDOW_ICON));
  EXPECT_EQ(image.RawFormat(), gfx::ImageFormat::Icon);
  EXPECT_GE(image.Width(), 16);
}

TEST(IconThemeTest, EachSizeIsSquareWithAnOpaqueCentreAndAClearCorner) {
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    const std::string path = std::string(SIB_ICON_THEME_DIR) + "/" + std::to_string(size) + "x" + std::to_string(size) +
                             "/apps/sibilon.png";
    const gfx::Image image = gfx::Image::FromBytes(ReadFile(path));
    ASSERT_EQ(image.RawFormat(), gfx::ImageFormat::Png) << path;
    EXPECT_EQ(image.Width(), size) << path;
    EXPECT_EQ(image.Height(), size) << path;
    EXPECT_EQ(image.GetPixel(size / 2, size / 2).A, 255) << path;
    EXPECT_LT(image.GetPixel(0, 0).A, 128) << path;
  }
}

// An 8 x 8 image of four quadrants: red, blue, a half-transparent green and a nearly clear white.
gfx::Bitmap Quadrants() {
  gfx::Bitmap b(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      b.SetPixel(x, y, y < 4 ? (x < 4 ? gfx::Color::Rgb(255, 0, 0) : gfx::Color::Rgb(0, 0, 255))
                             : (x < 4 ? gfx::Color::Argb(128, 0, 255, 0) : gfx::Color::Argb(100, 255, 255, 255)));
  return b;
}

TEST(IconFileTest, PalettisedImageKeepsFewColoursExactlyAndMasksWhatIsMostlyClear) {
  for (const int bits : {4, 8}) {
    const icon::IconImage images[] = {{Quadrants(), bits}};
    const TIcon::Image image = IconOf(icon::EncodeIconFile(images))->LargestImage();
    ASSERT_EQ(image.Width, 8) << bits << " bits";
    auto at = [&](int x, int y) { return image.Pixels[static_cast<std::size_t>(y * 8 + x)]; };
    EXPECT_EQ(at(1, 1), 0xFFFF0000u) << bits << " bits";
    EXPECT_EQ(at(6, 1), 0xFF0000FFu) << bits << " bits";
    EXPECT_EQ(at(1, 6), 0xFF00FF00u) << bits << " bits: at least half opaque is drawn, opaque";
    EXPECT_EQ(at(6, 6), 0u) << bits << " bits: less than half opaque is masked";
  }
}

TEST(IconFileTest, FourBitImageOfAGradientStaysNearEveryColour) {
  // 256 greys into the 15 colours a 4-bit palette has besides black: the palette keeps every grey
  // within about half a step of 256 / 15 (halving alone would leave some steps of 32).
  gfx::Bitmap b(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const auto v = static_cast<std::uint8_t>(16 * y + x);
      b.SetPixel(x, y, gfx::Color::Rgb(v, v, v));
    }
  const icon::IconImage images[] = {{b, 4}};
  const TIcon::Image image = IconOf(icon::EncodeIconFile(images))->LargestImage();
  ASSERT_EQ(image.Width, 16);
  for (int i = 0; i < 256; ++i) {
    const int grey = static_cast<int>(image.Pixels[static_cast<std::size_t>(i)] & 0xFF);
    EXPECT_NEAR(grey, i, 10) << "grey " << i;
  }
}

TEST(IconFileTest, RefusesImagesItCannotStore) {
  struct Row {
    const char* What;
    gfx::Bitmap Pixels;
    int BitCount;
  };
  const Row rows[] = {
      {"24 bits per pixel", gfx::Bitmap(16, 16), 24},
      {"not square", gfx::Bitmap(16, 8), 32},
      {"larger than 256", gfx::Bitmap(512, 512), 32},
      {"not Ok", gfx::Bitmap(), 32},
  };
  for (const Row& row : rows) {
    const icon::IconImage images[] = {{row.Pixels, row.BitCount}};
    EXPECT_THROW(icon::EncodeIconFile(images), std::invalid_argument) << row.What;
  }
}

}  // namespace
}  // namespace sib
