// Shared by the fill tests: the drawing tests' canvas and pixel checks, colours of TColors, small
// pictures made in memory and a counter of OnChange calls.
#pragma once

#include <gtest/gtest.h>

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
