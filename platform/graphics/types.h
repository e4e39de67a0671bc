// The plain value types of the drawing layer: colours, points, sizes, rectangles, the status every
// drawing object reports, and the units text sizes come in.
//
// Coordinates are floats in the surface's pixels, and integer coordinates are pixel centres: pixel
// (i, j) covers [i - 0.5, i + 0.5] x [j - 0.5, j + 0.5]. So a 1-pixel line at y = 0 covers exactly
// row 0, and a control paints its outline at (0, 0, W - 1, H - 1). Graphics maps this to Cairo once.
#pragma once

#include <algorithm>
#include <cstdint>

namespace sib::gfx {

// A straight (not premultiplied) ARGB colour; alpha 0 is fully transparent, 255 fully opaque.
struct Color {
  std::uint8_t A = 255, R = 0, G = 0, B = 0;

  static constexpr Color Argb(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b) { return {a, r, g, b}; }
  static constexpr Color Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return {255, r, g, b}; }
  // From the packed form a << 24 | r << 16 | g << 8 | b.
  static constexpr Color FromArgb(std::uint32_t argb) {
    return {std::uint8_t(argb >> 24), std::uint8_t(argb >> 16), std::uint8_t(argb >> 8), std::uint8_t(argb)};
  }
  constexpr std::uint32_t ToArgb() const {
    return std::uint32_t(A) << 24 | std::uint32_t(R) << 16 | std::uint32_t(G) << 8 | std::uint32_t(B);
  }
  constexpr Color WithAlpha(std::uint8_t a) const { return {a, R, G, B}; }
  friend constexpr bool operator==(Color, Color) = default;
};

struct PointF {
  float X = 0, Y = 0;
  friend constexpr bool operator==(PointF, PointF) = default;
};

struct SizeF {
  float Width = 0, Height = 0;
  friend constexpr bool operator==(SizeF, SizeF) = default;
};

// A rectangle by its top-left corner and its size; a zero or negative size is an empty shape.
struct RectF {
  float X = 0, Y = 0, Width = 0, Height = 0;

  constexpr float Left() const { return X; }
  constexpr float Top() const { return Y; }
  constexpr float Right() const { return X + Width; }
  constexpr float Bottom() const { return Y + Height; }
  constexpr bool IsEmpty() const { return !(Width > 0) || !(Height > 0); }
  constexpr bool Contains(PointF p) const { return p.X >= X && p.X < Right() && p.Y >= Y && p.Y < Bottom(); }
  constexpr RectF Inflated(float dx, float dy) const { return {X - dx, Y - dy, Width + 2 * dx, Height + 2 * dy}; }
  friend constexpr bool operator==(RectF, RectF) = default;
};

// An integer rectangle by its top-left corner and its size.
struct Rect {
  int X = 0, Y = 0, Width = 0, Height = 0;

  constexpr int Right() const { return X + Width; }
  constexpr int Bottom() const { return Y + Height; }
  constexpr bool IsEmpty() const { return Width <= 0 || Height <= 0; }
  constexpr operator RectF() const { return {float(X), float(Y), float(Width), float(Height)}; }
  friend constexpr bool operator==(Rect, Rect) = default;
};

// What a drawing object reports about itself. An object that is not Ok draws nothing.
enum class Status {
  Ok,
  InvalidParameter,
  OutOfMemory,
  FontFamilyNotFound,
  FontStyleNotFound,
};

// Text is measured and drawn at this many pixels per inch; a point is 1/72 inch.
inline constexpr float kPixelsPerInch = 96.0f;
constexpr float PointsToPixels(float points) { return points * kPixelsPerInch / 72.0f; }

}  // namespace sib::gfx
