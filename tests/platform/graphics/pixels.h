// Helpers of the drawing tests: a bitmap to draw on and colour comparisons with a tolerance.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>

#include "platform/graphics/graphics.h"

namespace sib::gfx {

inline std::ostream& operator<<(std::ostream& os, Color c) {
  return os << "argb(" << int(c.A) << ", " << int(c.R) << ", " << int(c.G) << ", " << int(c.B) << ")";
}
inline std::ostream& operator<<(std::ostream& os, RectF r) {
  return os << "rect(" << r.X << ", " << r.Y << ", " << r.Width << ", " << r.Height << ")";
}

namespace test {

inline constexpr Color kTransparent = Color::Argb(0, 0, 0, 0);
inline constexpr Color kBlack = Color::Rgb(0, 0, 0);
inline constexpr Color kWhite = Color::Rgb(255, 255, 255);
inline constexpr Color kRed = Color::Rgb(255, 0, 0);
inline constexpr Color kBlue = Color::Rgb(0, 0, 255);

inline int Distance(Color a, Color b) {
  return std::max({std::abs(a.A - b.A), std::abs(a.R - b.R), std::abs(a.G - b.G), std::abs(a.B - b.B)});
}

inline ::testing::AssertionResult Near(Color actual, Color expected, int tolerance) {
  if (Distance(actual, expected) <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actual << " is not within " << tolerance << " of " << expected;
}

// A transparent bitmap with a Graphics on it.
struct Canvas {
  Bitmap bitmap;
  Graphics g;
  Canvas(int w, int h, SmoothingMode mode = SmoothingMode::Default) : bitmap(w, h), g(bitmap) { g.SetSmoothingMode(mode); }
  Color At(int x, int y) const { return bitmap.GetPixel(x, y); }
  bool Painted(int x, int y) const { return bitmap.GetPixel(x, y).A > 0; }
  bool Untouched() const {
    for (int y = 0; y < bitmap.Height(); ++y)
      for (int x = 0; x < bitmap.Width(); ++x)
        if (Painted(x, y)) return false;
    return true;
  }
};

}  // namespace test
}  // namespace sib::gfx
