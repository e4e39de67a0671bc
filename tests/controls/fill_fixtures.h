// Shared by the fill tests: an image surface to paint a fill on, pixel checks with a tolerance, and
// small pictures made in memory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "controls/gdip_fill.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/image.h"

namespace sib::test {

// A transparent bitmap with an anti-aliasing surface on it, as the controls paint.
struct Canvas {
  gfx::Bitmap bitmap;
  gfx::Graphics g;

  Canvas(int width, int height) : bitmap(width, height), g(bitmap) { g.SetSmoothingMode(gfx::SmoothingMode::AntiAlias); }
  gfx::Color At(int x, int y) const { return bitmap.GetPixel(x, y); }
};

inline std::string Describe(gfx::Color c) {
  return "ARGB(" + std::to_string(c.A) + ", " + std::to_string(c.R) + ", " + std::to_string(c.G) + ", " +
         std::to_string(c.B) + ")";
}

inline ::testing::AssertionResult Near(gfx::Color actual, gfx::Color expected, int tolerance = 2) {
  const auto off = [&](int a, int b) { return a - b > tolerance || b - a > tolerance; };
  if (off(actual.A, expected.A) || off(actual.R, expected.R) || off(actual.G, expected.G) || off(actual.B, expected.B))
    return ::testing::AssertionFailure() << Describe(actual) << " is not within " << tolerance << " of "
                                         << Describe(expected);
  return ::testing::AssertionSuccess();
}

// The opaque colour of a TColor.
inline gfx::Color Opaque(TColor c) { return gfx::Color::Rgb(RedOf(c), GreenOf(c), BlueOf(c)); }

// The bytes of a PNG of one colour.
inline std::vector<std::uint8_t> PngOf(int width, int height, gfx::Color color) {
  gfx::Image image(width, height);
  image.Pixels().Fill(color);
  return image.Save(gfx::ImageFormat::Png);
}

// Counts OnChange calls of a fill.
struct ChangeCounter {
  int count = 0;
  void Watch(TGDIPFill& fill) {
    fill.SetOnChange(TNotifyEvent([this](TObject*) { ++count; }));
  }
};

}  // namespace sib::test
