// An off-screen 32-bit ARGB bitmap: the surface a Graphics draws into off screen, the source of a
// texture brush and of Graphics::DrawImage. Pixels are stored premultiplied, native-endian
// (0xAARRGGBB per 32-bit word, Cairo's ARGB32), rows `Stride()` bytes apart; GetPixel and SetPixel
// speak straight colours. An image decoder wraps or fills a Bitmap through Data() and MarkDirty().
#pragma once

#include <cstdint>
#include <span>

#include "platform/graphics/types.h"

typedef struct _cairo_surface cairo_surface_t;

namespace sib::gfx {

class Bitmap {
 public:
  // An empty bitmap: 0 x 0, not Ok, draws nothing and is drawn as nothing.
  Bitmap();
  // A width x height bitmap, fully transparent. A size of 0 or less, or one too large to allocate,
  // gives a bitmap that is not Ok.
  Bitmap(int width, int height);
  // From `width` x `height` straight ARGB pixels (0xAARRGGBB), row after row without padding.
  static Bitmap FromArgb(int width, int height, std::span<const std::uint32_t> pixels);
  ~Bitmap();
  Bitmap(const Bitmap& other);  // a deep copy
  Bitmap& operator=(const Bitmap& other);
  Bitmap(Bitmap&& other) noexcept;
  Bitmap& operator=(Bitmap&& other) noexcept;

  Status GetStatus() const;
  bool Ok() const { return GetStatus() == Status::Ok; }
  int Width() const;
  int Height() const;

  // Out of range reads give a transparent black, out of range writes do nothing.
  Color GetPixel(int x, int y) const;
  void SetPixel(int x, int y, Color color);
  // Sets every pixel to `color`.
  void Fill(Color color);

  // Premultiplied pixels for bulk access; nullptr for a bitmap that is not Ok. After writing
  // through Data(), call MarkDirty() before the bitmap is drawn again.
  std::uint8_t* Data();
  const std::uint8_t* Data() const;
  int Stride() const;
  void MarkDirty();

  // The Cairo image surface (owned by the bitmap), for the window host's blit; nullptr when not Ok.
  cairo_surface_t* NativeSurface() const { return surface_; }

 private:
  cairo_surface_t* surface_ = nullptr;
};

}  // namespace sib::gfx
