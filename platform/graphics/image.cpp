#include "platform/graphics/image.h"

#include "platform/graphics/graphics.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstring>
#include <istream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace sib::gfx {

namespace {

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
using PixbufPtr = std::unique_ptr<GdkPixbuf, GObjectUnref>;
using LoaderPtr = std::unique_ptr<GdkPixbufLoader, GObjectUnref>;

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

struct FormatName {
  std::string_view Name;
  ImageFormat Format;
};
constexpr FormatName kFormats[] = {
    {"png", ImageFormat::Png}, {"jpeg", ImageFormat::Jpeg}, {"bmp", ImageFormat::Bmp},
    {"gif", ImageFormat::Gif}, {"tiff", ImageFormat::Tiff}, {"ico", ImageFormat::Icon},
};

ImageFormat FormatOf(GdkPixbufLoader* loader) {
  GdkPixbufFormat* format = gdk_pixbuf_loader_get_format(loader);
  if (!format) return ImageFormat::Unknown;
  gchar* name = gdk_pixbuf_format_get_name(format);
  const std::string_view view = name ? name : "";
  ImageFormat result = ImageFormat::Unknown;
  for (const auto& f : kFormats)
    if (f.Name == view) result = f.Format;
  g_free(name);
  return result;
}

bool SizeFits(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= Image::kMaxImageSide && height <= Image::kMaxImageSide &&
         width * height <= Image::kMaxImagePixels;
}

// The JPEG decoder fills a file that ends early with grey and reports nothing. The end-of-image
// marker must follow the last scan's start marker (entropy-coded data never holds either: a 0xFF
// there is always followed by 0x00).
bool JpegHasItsEnd(std::span<const std::uint8_t> bytes) {
  std::size_t lastScan = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) lastScan = i;
  for (std::size_t i = lastScan; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xD9) return lastScan > 0;
  return false;
}

// Runs a loader over the bytes. The header's size is seen before the pixels are allocated: a probe,
// an image too large and one of a format we do not read all stop the loader there (a size of 0 is
// the loader's way to stop).
class Decoding {
 public:
  enum class Mode { Probe, Decode };

  Decoding(std::span<const std::uint8_t> bytes, Mode mode) : mode_(mode) {
    if (bytes.empty()) throw EImageError("The image is empty");
    LoaderPtr loader(gdk_pixbuf_loader_new());
    g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(&Decoding::SizePrepared), this);
    g_signal_connect(loader.get(), "area-updated", G_CALLBACK(&Decoding::AreaUpdated), this);
    GError* error = nullptr;
    bool ok = gdk_pixbuf_loader_write(loader.get(), bytes.data(), bytes.size(), &error);
    // Closing must happen in every case: it is where a short file is noticed.
    GError* closeError = nullptr;
    const bool closed = gdk_pixbuf_loader_close(loader.get(), ok ? &closeError : nullptr);
    std::unique_ptr<GError, ErrorFree> held(error ? error : closeError);
    if (error && closeError) g_error_free(closeError);
    ok = ok && closed;

    if (!seenSize_) {
      const bool sniffed = FormatOf(loader.get()) != ImageFormat::Unknown;
      ThrowDecodeError(held.get(), sniffed ? "The image is corrupt or truncated" : "The data is not an image of a known format");
    }
    if (info_.Width <= 0 || info_.Height <= 0) throw EImageError("The image is corrupt or truncated: it has no pixels");
    if (tooLarge_) throw EImageError(kImageAllocationError);
    info_.Format = format_;
    if (info_.Format == ImageFormat::Unknown) throw EImageError("The data is an image of a format that is not supported");
    if (mode_ == Mode::Probe) return;
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());
    if (!ok || !pixbuf) ThrowDecodeError(held.get(), "The image is corrupt or truncated");
    // Some decoders hand back what they had when the file ends early; every row must have arrived.
    // (A GIF's frame may cover less than its screen, and its decoder reports a short file itself.)
    if ((format_ != ImageFormat::Gif && std::find(rows_.begin(), rows_.end(), false) != rows_.end()) ||
        (format_ == ImageFormat::Jpeg && !JpegHasItsEnd(bytes)))
      throw EImageError("The image is corrupt or truncated: it ends before its last row");
    pixbuf_.reset(GDK_PIXBUF(g_object_ref(pixbuf)));
  }

  const ImageInfo& Info() const { return info_; }
  GdkPixbuf* Pixbuf() const { return pixbuf_.get(); }

 private:
  static void SizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer self) {
    auto* d = static_cast<Decoding*>(self);
    if (d->seenSize_) return;
    d->seenSize_ = true;
    d->info_.Width = width;
    d->info_.Height = height;
    d->format_ = FormatOf(loader);
    d->tooLarge_ = !SizeFits(width, height);
    if (d->mode_ == Mode::Probe || d->tooLarge_ || d->format_ == ImageFormat::Unknown)
      gdk_pixbuf_loader_set_size(loader, 0, 0);
    else
      d->rows_.assign(static_cast<std::size_t>(height), false);
  }

  static void AreaUpdated(GdkPixbufLoader*, int, int y, int, int height, gpointer self) {
    auto& rows = static_cast<Decoding*>(self)->rows_;
    const int first = std::clamp(y, 0, static_cast<int>(rows.size()));
    const int last = std::clamp(y + height, first, static_cast<int>(rows.size()));
    std::fill(rows.begin() + first, rows.begin() + last, true);
  }

  [[noreturn]] static void ThrowDecodeError(const GError* error, const std::string& what) {
    if (error && error->domain == GDK_PIXBUF_ERROR && error->code == GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY)
      throw EImageError(kImageAllocationError);
    throw EImageError(error && error->message ? what + ": " + error->message : what);
  }

  Mode mode_;
  bool seenSize_ = false;
  bool tooLarge_ = false;
  ImageFormat format_ = ImageFormat::Unknown;
  ImageInfo info_;
  std::vector<bool> rows_;  // the rows the decoder has delivered
  PixbufPtr pixbuf_;
};

std::uint8_t Premultiply(std::uint8_t c, std::uint8_t a) { return static_cast<std::uint8_t>((c * a + 127) / 255); }
std::uint8_t Unpremultiply(std::uint8_t c, std::uint8_t a) {
  return a == 0 ? 0 : static_cast<std::uint8_t>(std::min(255, (c * 255 + a / 2) / a));
}

Bitmap BitmapFromPixbuf(GdkPixbuf* pixbuf) {
  const int width = gdk_pixbuf_get_width(pixbuf);
  const int height = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
  Bitmap bitmap(width, height);
  std::uint8_t* out = bitmap.Data();
  const int outStride = bitmap.Stride();
  for (int y = 0; y < height; ++y) {
    const guchar* src = pixels + static_cast<std::ptrdiff_t>(y) * stride;
    auto* dst = reinterpret_cast<std::uint32_t*>(out + static_cast<std::ptrdiff_t>(y) * outStride);
    for (int x = 0; x < width; ++x, src += channels) {
      const std::uint8_t a = alpha ? src[3] : 255;
      dst[x] = std::uint32_t{a} << 24 | std::uint32_t{Premultiply(src[0], a)} << 16 |
               std::uint32_t{Premultiply(src[1], a)} << 8 | Premultiply(src[2], a);
    }
  }
  bitmap.MarkDirty();
  return bitmap;
}

PixbufPtr PixbufFromBitmap(const Bitmap& bitmap) {
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  PixbufPtr pixbuf(gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height));
  if (!pixbuf) throw EImageError(kImageAllocationError);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf.get());
  guchar* pixels = gdk_pixbuf_get_pixels(pixbuf.get());
  const std::uint8_t* in = bitmap.Data();
  for (int y = 0; y < height; ++y) {
    const auto* src = reinterpret_cast<const std::uint32_t*>(in + static_cast<std::ptrdiff_t>(y) * bitmap.Stride());
    guchar* dst = pixels + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < width; ++x, dst += 4) {
      const std::uint32_t p = src[x];
      const auto a = static_cast<std::uint8_t>(p >> 24);
      dst[0] = Unpremultiply(static_cast<std::uint8_t>(p >> 16), a);
      dst[1] = Unpremultiply(static_cast<std::uint8_t>(p >> 8), a);
      dst[2] = Unpremultiply(static_cast<std::uint8_t>(p), a);
      dst[3] = a;
    }
  }
  return pixbuf;
}

// A pixbuf without alpha of the bitmap's colours over white, for encoders that keep no alpha.
PixbufPtr OpaquePixbuf(const Bitmap& bitmap) {
  PixbufPtr rgba = PixbufFromBitmap(bitmap);
  PixbufPtr rgb(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, bitmap.Width(), bitmap.Height()));
  if (!rgb) throw EImageError(kImageAllocationError);
  gdk_pixbuf_fill(rgb.get(), 0xFFFFFFFFu);
  gdk_pixbuf_composite(rgba.get(), rgb.get(), 0, 0, bitmap.Width(), bitmap.Height(), 0, 0, 1, 1, GDK_INTERP_NEAREST,
                       255);
  return rgb;
}

const char* EncoderName(ImageFormat format) {
  switch (format) {
    case ImageFormat::Png: return "png";
    case ImageFormat::Jpeg: return "jpeg";
    case ImageFormat::Bmp: return "bmp";
    case ImageFormat::Tiff: return "tiff";
    case ImageFormat::Icon: return "ico";
    case ImageFormat::Gif: return "GIF";
    case ImageFormat::Unknown: break;
  }
  return "an unknown format";
}

}  // namespace

Image::Image(int width, int height) {
  if (width <= 0 || height <= 0) throw EImageError("An image needs a width and a height of at least 1");
  if (!SizeFits(width, height)) throw EImageError(kImageAllocationError);
  bitmap_ = Bitmap(width, height);
  if (!bitmap_.Ok()) throw EImageError(kImageAllocationError);
}

ImageInfo Image::Probe(std::span<const std::uint8_t> bytes) {
  return Decoding(bytes, Decoding::Mode::Probe).Info();
}

Image Image::FromBytes(std::span<const std::uint8_t> bytes) {
  Decoding decoding(bytes, Decoding::Mode::Decode);
  return Image(BitmapFromPixbuf(decoding.Pixbuf()), decoding.Info().Format);
}

Image Image::FromBitmap(Bitmap bitmap) {
  if (!bitmap.Ok()) throw EImageError("An image needs a bitmap of at least one pixel");
  return Image(std::move(bitmap), ImageFormat::Unknown);
}

Image Image::FromStream(std::istream& stream) { return FromBytes(ReadStreamBytes(stream)); }

std::vector<std::uint8_t> ReadStreamBytes(std::istream& stream) {
  std::vector<std::uint8_t> bytes;
  char chunk[65536];
  while (stream.read(chunk, sizeof chunk) || stream.gcount() > 0)
    bytes.insert(bytes.end(), chunk, chunk + stream.gcount());
  if (stream.bad()) throw EImageError("The image could not be read from its stream");
  return bytes;
}

void Image::RotateFlip(RotateFlipType type) {
  const int turns = static_cast<int>(type) & 3;
  const bool flipX = static_cast<int>(type) >= 4;
  if (turns == 0 && !flipX) return;
  const int w = Width();
  const int h = Height();
  const bool swap = turns % 2 == 1;
  Bitmap turned(swap ? h : w, swap ? w : h);
  const int tw = turned.Width();
  for (int y = 0; y < h; ++y) {
    const auto* src = reinterpret_cast<const std::uint32_t*>(bitmap_.Data() + static_cast<std::ptrdiff_t>(y) * bitmap_.Stride());
    for (int x = 0; x < w; ++x) {
      // Rotation clockwise, then the mirror image across the vertical axis.
      int nx = x, ny = y;
      switch (turns) {
        case 1: nx = h - 1 - y; ny = x; break;
        case 2: nx = w - 1 - x; ny = h - 1 - y; break;
        case 3: nx = y; ny = w - 1 - x; break;
        default: break;
      }
      if (flipX) nx = tw - 1 - nx;
      auto* dst = reinterpret_cast<std::uint32_t*>(turned.Data() + static_cast<std::ptrdiff_t>(ny) * turned.Stride());
      dst[nx] = src[x];
    }
  }
  turned.MarkDirty();
  bitmap_ = std::move(turned);
}

Color Image::GetPixel(int x, int y) const { return bitmap_.GetPixel(x, y); }

void Image::SetPixel(int x, int y, Color color) { bitmap_.SetPixel(x, y, color); }

std::vector<std::uint8_t> Image::Save(ImageFormat format, int quality) const {
  if (format == ImageFormat::Gif || format == ImageFormat::Unknown)
    throw EImageError(std::string("Saving images as ") + EncoderName(format) + " is not supported");
  const bool opaque = format == ImageFormat::Jpeg || format == ImageFormat::Bmp;
  PixbufPtr pixbuf = opaque ? OpaquePixbuf(bitmap_) : PixbufFromBitmap(bitmap_);
  gchar* buffer = nullptr;
  gsize size = 0;
  GError* error = nullptr;
  gboolean ok;
  if (format == ImageFormat::Jpeg) {
    const std::string q = std::to_string(std::clamp(quality, 0, 100));
    ok = gdk_pixbuf_save_to_buffer(pixbuf.get(), &buffer, &size, "jpeg", &error, "quality", q.c_str(), nullptr);
  } else {
    ok = gdk_pixbuf_save_to_buffer(pixbuf.get(), &buffer, &size, EncoderName(format), &error, nullptr);
  }
  std::unique_ptr<GError, ErrorFree> held(error);
  if (!ok) {
    g_free(buffer);
    throw EImageError(std::string("The image could not be saved as ") + EncoderName(format) +
                      (error && error->message ? std::string(": ") + error->message : std::string()));
  }
  std::vector<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(buffer), reinterpret_cast<std::uint8_t*>(buffer) + size);
  g_free(buffer);
  return bytes;
}

void Image::Save(std::ostream& stream, ImageFormat format, int quality) const {
  const std::vector<std::uint8_t> bytes = Save(format, quality);
  stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!stream) throw EImageError("The image could not be written to its stream");
}

void DrawImage(Graphics& g, const Image& image, float x, float y) { g.DrawImage(image.Pixels(), PointF{x, y}); }

void DrawImage(Graphics& g, const Image& image, RectF dest) { g.DrawImage(image.Pixels(), dest); }

void DrawImageKeyed(Graphics& g, const Image& image, RectF dest, RectF source, Color key) {
  Bitmap keyed = image.Pixels();
  std::uint8_t* data = keyed.Data();
  if (!data) return;
  const std::uint32_t rgb = key.ToArgb() & 0xFFFFFFu;
  for (int y = 0; y < keyed.Height(); ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * keyed.Stride());
    for (int x = 0; x < keyed.Width(); ++x) {
      const std::uint32_t p = row[x];
      const auto a = static_cast<std::uint8_t>(p >> 24);
      const std::uint32_t straight = std::uint32_t{Unpremultiply(static_cast<std::uint8_t>(p >> 16), a)} << 16 |
                                     std::uint32_t{Unpremultiply(static_cast<std::uint8_t>(p >> 8), a)} << 8 |
                                     Unpremultiply(static_cast<std::uint8_t>(p), a);
      if (a != 0 && straight == rgb) row[x] = 0;
    }
  }
  keyed.MarkDirty();
  g.DrawImage(keyed, dest, source);
}

Color AutomaticColorKey(const Image& image) { return image.GetPixel(0, image.Height() - 1).WithAlpha(255); }

}  // namespace sib::gfx
