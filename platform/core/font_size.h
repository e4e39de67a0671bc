// Font heights and sizes. A stored font gives its height in pixels, negative for the height of the
// characters themselves (-11 is 11 pixels); the drawing layer wants points. At 96 pixels per inch
// a height of -N pixels is round(N × 72 / 96) points, halves away from zero: -11 is 8, -13 is 10,
// -16 is 12, -27 is 20. A positive height is read the same way.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace sib {

inline constexpr int kScreenPixelsPerInch = 96;

// a × b / c, rounded halves away from zero, without overflow for 32-bit operands; c must not be 0.
constexpr std::int32_t MulDivRounded(std::int32_t a, std::int32_t b, std::int32_t c) {
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  const std::int64_t magnitude = (product < 0 ? -product : product) * 2 + (c < 0 ? -c : c);
  const std::int64_t rounded = magnitude / (2 * static_cast<std::int64_t>(c < 0 ? -c : c));
  return static_cast<std::int32_t>((product < 0) != (c < 0) ? -rounded : rounded);
}

constexpr std::int32_t FontSizeFromHeight(std::int32_t height, std::int32_t pixelsPerInch = kScreenPixelsPerInch) {
  return MulDivRounded(height < 0 ? -height : height, 72, pixelsPerInch);
}

// The height a font of `size` points is stored with: negative, the characters' own height.
constexpr std::int32_t FontHeightFromSize(std::int32_t size, std::int32_t pixelsPerInch = kScreenPixelsPerInch) {
  return -MulDivRounded(size, pixelsPerInch, 72);
}

}  // namespace sib
