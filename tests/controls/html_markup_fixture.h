// Helpers for the markup renderer's tests: a text measure of simple arithmetic (no fonts needed),
// a picture source of plain coloured squares, and a surface that renders markup and is read back.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "controls/html_markup.h"
#include "platform/graphics/image.h"

namespace sib::test {

// Every character is half its font's size in points wide (bold ones 0.6), lines are 1.25 sizes
// high: laying out can be checked by hand.
class ArithmeticMeasure : public html::TextMeasure {
 public:
  gfx::FontMetrics Metrics(const html::FontKey& font) override {
    ++metricsCalls;
    const auto s = float(font.Size);
    return {s, s / 4, s / 8, 1, s / 3, 1};
  }
  void Widths(const html::FontKey& font, std::u32string_view characters, std::span<float> widths) override {
    ++widthCalls;
    for (std::size_t i = 0; i < characters.size() && i < widths.size(); ++i)
      widths[i] = float(font.Size) * (font.Bold ? 0.6f : 0.5f);
  }
  int metricsCalls = 0;
  int widthCalls = 0;
};

// Pictures by name: "red10" is a 10 x 10 red square, "green20x10" a 20 x 10 green one.
class SquareImages : public html::ImageSource {
 public:
  std::shared_ptr<const gfx::Bitmap> Find(const std::string& source) override {
    ++lookups;
    if (source == "red10") return Square(10, 10, gfx::Color::Rgb(255, 0, 0));
    if (source == "green20x10") return Square(20, 10, gfx::Color::Rgb(0, 160, 0));
    return nullptr;
  }
  static std::shared_ptr<const gfx::Bitmap> Square(int w, int h, gfx::Color c) {
    auto b = std::make_shared<gfx::Bitmap>(w, h);
    b->Fill(c);
    return b;
  }
  int lookups = 0;
};

inline std::shared_ptr<const html::Document> ParseShared(std::string_view markup, int size = 10) {
  html::BaseStyle base;
  base.Face = "Arial";
  base.Size = size;
  return std::make_shared<const html::Document>(html::Parse(markup, base));
}

// Markup rendered with real fonts on a white surface, kept for reading back.
struct Rendered {
  gfx::Bitmap bitmap;
  html::Layout layout;

  static constexpr int kMargin = 4;

  Rendered(std::string_view markup, int width, int height, html::ImageSource* images = nullptr,
           html::PaintOptions options = {})
      : bitmap(width, height) {
    gfx::Graphics g(bitmap);
    g.Clear(gfx::Color::Rgb(255, 255, 255));
    g.SetTextRenderingHint(gfx::TextRenderingHint::AntiAliasGridFit);
    html::GraphicsMeasure measure(g);
    html::BaseStyle base;
    base.Face = "Arial";
    base.Size = 12;
    layout = html::LayOut(std::make_shared<const html::Document>(html::Parse(markup, base)), measure, images,
                          float(width - 2 * kMargin), 10000);
    html::Paint(g, layout, {float(kMargin), float(kMargin)}, options);
  }

  gfx::Color At(int x, int y) const { return bitmap.GetPixel(x, y); }

  template <class Pred>
  int Count(Pred is, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) const {
    if (x1 < 0) x1 = bitmap.Width();
    if (y1 < 0) y1 = bitmap.Height();
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += is(At(x, y)) ? 1 : 0;
    return n;
  }

  // The columns [first, last] holding pixels that are not white; {0, -1} when none do.
  std::pair<int, int> InkColumns() const {
    int first = bitmap.Width(), last = -1;
    for (int y = 0; y < bitmap.Height(); ++y)
      for (int x = 0; x < bitmap.Width(); ++x)
        if (At(x, y) != gfx::Color::Rgb(255, 255, 255)) {
          first = std::min(first, x);
          last = std::max(last, x);
        }
    return last < 0 ? std::pair{0, -1} : std::pair{first, last};
  }

  // Writes the surface to a PNG in the test's output folder, for a person to look at.
  std::filesystem::path Save(const std::string& name) const {
    const std::filesystem::path path = std::filesystem::path(SIB_TEST_OUTPUT_DIR) / name;
    std::ofstream out(path, std::ios::binary);
    gfx::Image::FromBitmap(bitmap).Save(out, gfx::ImageFormat::Png);
    return path;
  }
};

inline bool Reddish(gfx::Color c) { return c.R > 180 && c.G < 90 && c.B < 90; }
inline bool Bluish(gfx::Color c) { return c.B > 180 && c.R < 90 && c.G < 90; }
inline bool Dark(gfx::Color c) { return c.R < 100 && c.G < 100 && c.B < 100; }

}  // namespace sib::test
