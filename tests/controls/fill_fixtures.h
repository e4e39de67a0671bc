// Shared by the fill tests: the drawing tests' canvas and pixel checks, colours of TColors, small
// pictures made in memory and a counter of OnChange calls.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "controls/gdip_fill.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/image.h"
#include "tests/platform/graphics/pixels.h"

namespace sib::test {

using gfx::test::Canvas;
using gfx::test::Near;

// The opaque colour of a TColor.
inline gfx::Color Opaque(TColor c) { return gfx::Color::Rgb(RedOf(c), GreenOf(c), BlueOf(c)); }

// The straight colour a vertical gradient from `top` to `bottom` over R (grown by 1 pixel, in linear
// light at gamma 2.2) has at the centre of pixel row y.
inline gfx::Color VerticalAt(TColor top, TColor bottom, TGPRectF R, int y, std::uint8_t a1 = 255, std::uint8_t a2 = 255) {
  const double t = (y - (R.Y - 1)) / (R.Height + 2);
  const auto mix = [t](std::uint8_t c1, std::uint8_t c2) {
    const double l = std::pow(c1 / 255.0, 2.2) + (std::pow(c2 / 255.0, 2.2) - std::pow(c1 / 255.0, 2.2)) * t;
    return static_cast<std::uint8_t>(std::lround(std::pow(l, 1 / 2.2) * 255));
  };
  return gfx::Color::Argb(static_cast<std::uint8_t>(std::lround(a1 + (a2 - a1) * t)), mix(RedOf(top), RedOf(bottom)),
                          mix(GreenOf(top), GreenOf(bottom)), mix(BlueOf(top), BlueOf(bottom)));
}

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
