// Images: decoding what the encoders wrote, the header probe, turning and mirroring, the colour key,
// and bytes that are not a good image — each refused with its message, none read out of bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "platform/graphics/graphics.h"
#include "platform/graphics/image.h"
#include "tests/platform/graphics/image_fixtures.h"

namespace sib::gfx {
namespace {

using test::Bytes;
using test::PngClaiming;

constexpr Color kRed = Color::Rgb(255, 0, 0);
constexpr Color kGreen = Color::Rgb(0, 255, 0);
constexpr Color kBlue = Color::Rgb(0, 0, 255);
constexpr Color kWhite = Color::Rgb(255, 255, 255);

// A 3 x 2 image whose six pixels all differ: top row red, green, blue; bottom row white, black,
// half-transparent red.
Image SixPixels() {
  Image image(3, 2);
  image.SetPixel(0, 0, kRed);
  image.SetPixel(1, 0, kGreen);
  image.SetPixel(2, 0, kBlue);
  image.SetPixel(0, 1, kWhite);
  image.SetPixel(1, 1, Color::Rgb(0, 0, 0));
  image.SetPixel(2, 1, Color::Argb(128, 255, 0, 0));
  return image;
}

// The smallest GIF: one red pixel.
const Bytes kOneRedGif = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00, 0xff, 0x00,
                          0x00, 0x00, 0x00, 0x00, 0x21, 0xf9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00,
                          0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3b};

void ExpectNear(Color actual, Color expected, int tolerance, const std::string& where) {
  EXPECT_NEAR(actual.A, expected.A, tolerance) << where;
  EXPECT_NEAR(actual.R, expected.R, tolerance) << where;
  EXPECT_NEAR(actual.G, expected.G, tolerance) << where;
  EXPECT_NEAR(actual.B, expected.B, tolerance) << where;
}

struct RoundTripCase {
  const char* name;
  ImageFormat format;
  int tolerance;    // lossy formats come back near, not exact
  bool keepsAlpha;  // BMP and JPEG are written over white
};

std::ostream& operator<<(std::ostream& out, const RoundTripCase& row) { return out << row.name; }

class ImageRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(ImageRoundTrip, DecodesWhatItsEncoderWrote) {
  const RoundTripCase& row = GetParam();
  Image big(16, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) big.SetPixel(x, y, x < 8 ? kRed : kBlue);
  const Bytes bytes = big.Save(row.format, 95);

  const ImageInfo info = Image::Probe(bytes);
  EXPECT_EQ(info.Width, 16);
  EXPECT_EQ(info.Height, 8);
  EXPECT_EQ(info.Format, row.format);

  const Image back = Image::FromBytes(bytes);
  EXPECT_EQ(back.Width(), 16);
  EXPECT_EQ(back.Height(), 8);
  EXPECT_EQ(back.RawFormat(), row.format);
  ExpectNear(back.GetPixel(2, 4), kRed, row.tolerance, "left half");
  ExpectNear(back.GetPixel(13, 4), kBlue, row.tolerance, "right half");
}

INSTANTIATE_TEST_SUITE_P(Formats, ImageRoundTrip,
                         ::testing::Values(RoundTripCase{"png", ImageFormat::Png, 0, true},
                                           RoundTripCase{"bmp", ImageFormat::Bmp, 0, false},
                                           RoundTripCase{"jpeg", ImageFormat::Jpeg, 24, false},
                                           RoundTripCase{"tiff", ImageFormat::Tiff, 0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Image, PngKeepsTranslucentPixelsExactly) {
  const Image back = Image::FromBytes(SixPixels().Save(ImageFormat::Png));
  ExpectNear(back.GetPixel(2, 1), Color::Argb(128, 255, 0, 0), 1, "translucent red");
  ExpectNear(back.GetPixel(1, 0), kGreen, 0, "green");
}

TEST(Image, BmpAndJpegAreWrittenOverWhite) {
  const Image back = Image::FromBytes(SixPixels().Save(ImageFormat::Bmp));
  ExpectNear(back.GetPixel(2, 1), Color::Rgb(255, 127, 127), 2, "half red over white");
}

TEST(Image, JpegQualityChangesTheSize) {
  Image noisy(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      noisy.SetPixel(x, y, Color::Rgb(static_cast<std::uint8_t>(x * 37 ^ y * 11), static_cast<std::uint8_t>(x * y),
                                      static_cast<std::uint8_t>(y * 53)));
  EXPECT_LT(noisy.Save(ImageFormat::Jpeg, 10).size(), noisy.Save(ImageFormat::Jpeg, 95).size());
}

TEST(Image, GifIsReadButNotWritten) {
  const Image gif = Image::FromBytes(kOneRedGif);
  EXPECT_EQ(gif.RawFormat(), ImageFormat::Gif);
  ASSERT_EQ(gif.Width(), 1);
  ExpectNear(gif.GetPixel(0, 0), kRed, 0, "the pixel");
  try {
    (void)gif.Save(ImageFormat::Gif);
    FAIL() << "GIF saving should be refused";
  } catch (const EImageError& e) {
    EXPECT_STREQ(e.what(), "Saving images as GIF is not supported");
  }
}

TEST(Image, StreamsInAndOut) {
  std::stringstream stream;
  SixPixels().Save(stream, ImageFormat::Png);
  const Image back = Image::FromStream(stream);
  EXPECT_EQ(back.Width(), 3);
  ExpectNear(back.GetPixel(2, 0), kBlue, 0, "blue");
}

struct TurnCase {
  RotateFlipType type;
  int width, height;
  // Where the top-left red and the top-right blue pixel of SixPixels end up.
  int redX, redY, blueX, blueY;
};

TEST(Image, RotatesClockwiseAndMirrorsAcrossTheVerticalAxis) {
  const TurnCase cases[] = {
      {RotateFlipType::RotateNoneFlipNone, 3, 2, 0, 0, 2, 0}, {RotateFlipType::Rotate90FlipNone, 2, 3, 1, 0, 1, 2},
      {RotateFlipType::Rotate180FlipNone, 3, 2, 2, 1, 0, 1},  {RotateFlipType::Rotate270FlipNone, 2, 3, 0, 2, 0, 0},
      {RotateFlipType::RotateNoneFlipX, 3, 2, 2, 0, 0, 0},    {RotateFlipType::Rotate90FlipX, 2, 3, 0, 0, 0, 2},
      {RotateFlipType::Rotate180FlipX, 3, 2, 0, 1, 2, 1},     {RotateFlipType::Rotate270FlipX, 2, 3, 1, 2, 1, 0},
  };
  for (const TurnCase& c : cases) {
    Image image = SixPixels();
    image.RotateFlip(c.type);
    const std::string where = "type " + std::to_string(static_cast<int>(c.type));
    EXPECT_EQ(image.Width(), c.width) << where;
    EXPECT_EQ(image.Height(), c.height) << where;
    ExpectNear(image.GetPixel(c.redX, c.redY), kRed, 0, where + " red");
    ExpectNear(image.GetPixel(c.blueX, c.blueY), kBlue, 0, where + " blue");
  }
}

TEST(Image, DrawsAtAPointScaledAndFromASourceRectangleWithAKey) {
  const Image six = SixPixels();
  Bitmap target(12, 8);
  Graphics g(target);
  DrawImage(g, six, 1, 1);
  EXPECT_EQ(target.GetPixel(1, 1), kRed);
  EXPECT_EQ(target.GetPixel(3, 1), kBlue);
  EXPECT_EQ(target.GetPixel(4, 1).A, 0);

  Bitmap scaled(12, 8);
  Graphics gs(scaled);
  gs.SetInterpolationMode(InterpolationMode::NearestNeighbor);
  DrawImage(gs, six, RectF{0, 0, 6, 4});
  EXPECT_EQ(scaled.GetPixel(0, 0), kRed);
  EXPECT_EQ(scaled.GetPixel(5, 1), kBlue);
  EXPECT_EQ(scaled.GetPixel(1, 3), kWhite);

  // The right two columns, with green keyed out of nothing and then white out of the bottom row.
  Bitmap keyed(4, 4);
  Graphics gk(keyed);
  DrawImageKeyed(gk, six, RectF{0, 0, 2, 2}, RectF{1, 0, 2, 2}, kGreen);
  EXPECT_EQ(keyed.GetPixel(0, 0).A, 0);  // green, the key
  EXPECT_EQ(keyed.GetPixel(1, 0), kBlue);
  EXPECT_EQ(keyed.GetPixel(0, 1), Color::Rgb(0, 0, 0));
}

TEST(Image, AutomaticKeyIsTheBottomLeftPixel) {
  EXPECT_EQ(AutomaticColorKey(SixPixels()), kWhite);
}

TEST(Image, PixelsOutsideReadTransparentAndIgnoreWrites) {
  Image image = SixPixels();
  image.SetPixel(3, 0, kGreen);
  image.SetPixel(-1, 0, kGreen);
  EXPECT_EQ(image.GetPixel(3, 0).A, 0);
  EXPECT_EQ(image.GetPixel(0, -1).A, 0);
}

struct HostileImage {
  const char* name;
  Bytes bytes;
  const char* message;  // the start of the error's text
};

std::ostream& operator<<(std::ostream& out, const HostileImage& row) { return out << row.name; }

Bytes Prefix(Bytes bytes, std::size_t size) {
  bytes.resize(std::min(size, bytes.size()));
  return bytes;
}

Bytes Corrupted(Bytes bytes, std::size_t at) {
  bytes[at] ^= 0x5A;
  return bytes;
}

std::vector<HostileImage> HostileImages() {
  Image big(40, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x)
      big.SetPixel(x, y, Color::Rgb(static_cast<std::uint8_t>(x * 61 + y * 7), static_cast<std::uint8_t>(x * y),
                                    static_cast<std::uint8_t>(y * 29 ^ x)));
  const Bytes png = big.Save(ImageFormat::Png);
  const Bytes jpeg = big.Save(ImageFormat::Jpeg);
  const Bytes bmp = big.Save(ImageFormat::Bmp);
  Bytes svg;
  for (char c : std::string("<svg xmlns='http://www.w3.org/2000/svg' width='4' height='4'/>")) svg.push_back(c);
  return {
      {"empty", {}, "The image is empty"},
      {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}, "The data is not an image"},
      {"png signature only", Prefix(png, 8), "The image is corrupt or truncated"},
      {"png cut in its header", Prefix(png, 20), "The image is corrupt or truncated"},
      {"png cut in its pixels", Prefix(png, png.size() / 2), "The image is corrupt or truncated"},
      {"png with a broken checksum", Corrupted(png, 40), "The image is corrupt or truncated"},
      {"jpeg cut short", Prefix(jpeg, jpeg.size() / 3), "The image is corrupt or truncated"},
      {"bmp cut short", Prefix(bmp, 60), "The image is corrupt or truncated"},
      {"png of 60000 x 60000", PngClaiming(60000, 60000), "Could not allocate memory for image"},
      {"png wider than a surface", PngClaiming(40000, 1), "Could not allocate memory for image"},
      {"png of 0 x 0", PngClaiming(0, 0), "The image is corrupt or truncated"},
      {"gif cut short", Prefix(kOneRedGif, 30), "The image is corrupt or truncated"},
      // Refused as a format we do not read where an SVG decoder is installed, as no image elsewhere.
      {"svg", svg, "The data is "},
  };
}

class ImageHostile : public ::testing::TestWithParam<HostileImage> {};

TEST_P(ImageHostile, IsRefusedWithAClearMessage) {
  const HostileImage& row = GetParam();
  try {
    (void)Image::FromBytes(row.bytes);
    FAIL() << "decoded";
  } catch (const EImageError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(row.message, 0), 0u) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Images, ImageHostile, ::testing::ValuesIn(HostileImages()), [](const auto& info) {
  std::string name = info.param.name;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

TEST(Image, ProbeRefusesAHugeImageWithoutDecodingIt) {
  EXPECT_THROW((void)Image::Probe(PngClaiming(60000, 60000)), EImageError);
  const ImageInfo info = Image::Probe(PngClaiming(300, 200));
  EXPECT_EQ(info.Width, 300);
  EXPECT_EQ(info.Height, 200);
}

TEST(Image, ANewImageOfNoSizeIsRefused) {
  EXPECT_THROW(Image(0, 5), EImageError);
  EXPECT_THROW(Image(5, -1), EImageError);
  EXPECT_THROW(Image(100000, 100000), EImageError);
}

}  // namespace
}  // namespace sib::gfx
