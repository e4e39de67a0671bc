// Images: pictures decoded from the bytes of an image file (PNG, JPEG, BMP, GIF, TIFF, ICO) into a
// 32-bit ARGB bitmap, rotated or flipped, drawn on a Graphics surface (at a point, scaled into a
// rectangle, or from a source rectangle with a colour key) and encoded again (PNG, BMP, JPEG with a
// quality, TIFF). Decoding and encoding are Debian's gdk-pixbuf; the pixels live in the drawing
// layer's Bitmap.
//
// Image bytes come from stored descriptions and INI files, so they are untrusted: a file that is
// not an image of a known format, or that is corrupt or truncated, raises EImageError with a clear
// message; one whose pixels would not fit in memory raises EImageError "Could not allocate memory
// for image". Neither allocates the pixels first.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <span>
#include <vector>

#include "platform/core/errors.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/types.h"

namespace sib::gfx {

class Graphics;

class EImageError : public Exception {
 public:
  using Exception::Exception;
};

// The message of an image too large to decode.
inline constexpr const char* kImageAllocationError = "Could not allocate memory for image";

enum class ImageFormat : std::uint8_t { Unknown, Bmp, Png, Jpeg, Gif, Tiff, Icon };

// The eight turns and mirror images, in the numbering of the original drawing interface.
enum class RotateFlipType : std::uint8_t {
  RotateNoneFlipNone,
  Rotate90FlipNone,
  Rotate180FlipNone,
  Rotate270FlipNone,
  RotateNoneFlipX,
  Rotate90FlipX,
  Rotate180FlipX,
  Rotate270FlipX
};

struct ImageInfo {
  int Width = 0;
  int Height = 0;
  ImageFormat Format = ImageFormat::Unknown;
};

class Image {
 public:
  // Images of more pixels than this (or wider or higher than kMaxImageSide) are refused as too
  // large to allocate.
  static constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 26;
  static constexpr int kMaxImageSide = 32767;

  // An empty ARGB bitmap of that size, fully transparent. Raises EImageError for a size of 0 or
  // less, or one too large.
  Image(int width, int height);

  // The size and format from the file's header, without decoding the pixels. Raises EImageError as
  // described at the top of this file (a truncated body may go unnoticed here).
  static ImageInfo Probe(std::span<const std::uint8_t> bytes);
  // Decodes the first picture of the file. Raises EImageError.
  static Image FromBytes(std::span<const std::uint8_t> bytes);
  static Image FromStream(std::istream& stream);
  // An image of a bitmap's pixels, e.g. of what a Graphics drew, to save it. Raises EImageError
  // for a bitmap that is not Ok.
  static Image FromBitmap(Bitmap bitmap);

  int Width() const { return bitmap_.Width(); }
  int Height() const { return bitmap_.Height(); }
  // The format the image was decoded from; Unknown for a bitmap made in memory.
  ImageFormat RawFormat() const { return format_; }

  void RotateFlip(RotateFlipType type);

  // The straight colour of one pixel; coordinates outside the image read 0 and write nothing.
  Color GetPixel(int x, int y) const;
  void SetPixel(int x, int y, Color color);

  const Bitmap& Pixels() const { return bitmap_; }
  Bitmap& Pixels() { return bitmap_; }

  // Encodes the image. `quality` (0..100) is used by JPEG only. Raises EImageError "Saving images
  // as <format> is not supported" for GIF and Unknown, and for an encoder failure.
  std::vector<std::uint8_t> Save(ImageFormat format, int quality = 90) const;
  void Save(std::ostream& stream, ImageFormat format, int quality = 90) const;

 private:
  Image(Bitmap bitmap, ImageFormat format) : bitmap_(std::move(bitmap)), format_(format) {}

  Bitmap bitmap_;
  ImageFormat format_ = ImageFormat::Unknown;
};

// Everything left in the stream; raises EImageError when reading fails.
std::vector<std::uint8_t> ReadStreamBytes(std::istream& stream);

// Draws the whole image with its top-left corner at (x, y), at its natural size.
void DrawImage(Graphics& g, const Image& image, float x, float y);
// Draws the whole image scaled into `dest`.
void DrawImage(Graphics& g, const Image& image, RectF dest);
// Draws the part `source` of the image scaled into `dest`; pixels of colour `key` (compared in RGB,
// alpha ignored) are left out.
void DrawImageKeyed(Graphics& g, const Image& image, RectF dest, RectF source, Color key);
// The colour key of an image in automatic mode: the colour of its bottom-left pixel.
Color AutomaticColorKey(const Image& image);

}  // namespace sib::gfx
