#include "platform/graphics/bitmap.h"

#include <cairo.h>

#include <cstring>
#include <utility>

namespace sib::gfx {
namespace {

std::uint32_t Premultiply(Color c) {
  auto mul = [a = c.A](std::uint8_t v) { return std::uint32_t((v * a + 127) / 255); };
  return std::uint32_t(c.A) << 24 | mul(c.R) << 16 | mul(c.G) << 8 | mul(c.B);
}

Color Unpremultiply(std::uint32_t p) {
  std::uint32_t a = p >> 24;
  if (a == 0) return Color::Argb(0, 0, 0, 0);
  auto div = [a](std::uint32_t v) { return std::uint8_t(std::min<std::uint32_t>(255, (v * 255 + a / 2) / a)); };
  return Color::Argb(std::uint8_t(a), div(p >> 16 & 0xff), div(p >> 8 & 0xff), div(p & 0xff));
}

cairo_surface_t* NewSurface(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  return s;
}

}  // namespace

Bitmap::Bitmap() = default;

Bitmap::Bitmap(int width, int height) : surface_(NewSurface(width, height)) {}

Bitmap Bitmap::FromArgb(int width, int height, std::span<const std::uint32_t> pixels) {
  Bitmap b(width, height);
  if (!b.Ok() || pixels.size() < std::size_t(width) * std::size_t(height)) return Bitmap();
  cairo_surface_flush(b.surface_);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(b.Data() + std::size_t(y) * b.Stride());
    for (int x = 0; x < width; ++x) row[x] = Premultiply(Color::FromArgb(pixels[std::size_t(y) * width + x]));
  }
  b.MarkDirty();
  return b;
}

Bitmap::~Bitmap() {
  if (surface_) cairo_surface_destroy(surface_);
}

Bitmap::Bitmap(const Bitmap& other) {
  if (!other.surface_) return;
  surface_ = NewSurface(other.Width(), other.Height());
  if (!surface_) return;
  cairo_surface_flush(other.surface_);
  cairo_surface_flush(surface_);
  std::memcpy(cairo_image_surface_get_data(surface_), cairo_image_surface_get_data(other.surface_),
              std::size_t(other.Stride()) * other.Height());
  cairo_surface_mark_dirty(surface_);
}

Bitmap& Bitmap::operator=(const Bitmap& other) {
  if (this != &other) *this = Bitmap(other);
  return *this;
}

Bitmap::Bitmap(Bitmap&& other) noexcept : surface_(std::exchange(other.surface_, nullptr)) {}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
  std::swap(surface_, other.surface_);
  return *this;
}

Status Bitmap::GetStatus() const { return surface_ ? Status::Ok : Status::InvalidParameter; }
int Bitmap::Width() const { return surface_ ? cairo_image_surface_get_width(surface_) : 0; }
int Bitmap::Height() const { return surface_ ? cairo_image_surface_get_height(surface_) : 0; }
int Bitmap::Stride() const { return surface_ ? cairo_image_surface_get_stride(surface_) : 0; }

std::uint8_t* Bitmap::Data() {
  if (!surface_) return nullptr;
  cairo_surface_flush(surface_);
  return cairo_image_surface_get_data(surface_);
}

const std::uint8_t* Bitmap::Data() const {
  if (!surface_) return nullptr;
  cairo_surface_flush(surface_);
  return cairo_image_surface_get_data(surface_);
}

void Bitmap::MarkDirty() {
  if (surface_) cairo_surface_mark_dirty(surface_);
}

Color Bitmap::GetPixel(int x, int y) const {
  if (!surface_ || x < 0 || y < 0 || x >= Width() || y >= Height()) return Color::Argb(0, 0, 0, 0);
  auto* row = reinterpret_cast<const std::uint32_t*>(Data() + std::size_t(y) * Stride());
  return Unpremultiply(row[x]);
}

void Bitmap::SetPixel(int x, int y, Color color) {
  if (!surface_ || x < 0 || y < 0 || x >= Width() || y >= Height()) return;
  auto* row = reinterpret_cast<std::uint32_t*>(Data() + std::size_t(y) * Stride());
  row[x] = Premultiply(color);
  MarkDirty();
}

void Bitmap::Fill(Color color) {
  if (!surface_) return;
  std::uint32_t p = Premultiply(color);
  std::uint8_t* data = Data();
  for (int y = 0; y < Height(); ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + std::size_t(y) * Stride());
    std::fill(row, row + Width(), p);
  }
  MarkDirty();
}

}  // namespace sib::gfx
