// A headless form to put smooth panels and labels on, with pixel helpers over what the form's
// window shows.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "controls/smooth_label.h"
#include "controls/smooth_panel.h"
#include "platform/graphics/image.h"
#include "platform/ui/application.h"
#include "platform/ui/form.h"
#include "platform/ui/forms_application.h"
#include "platform/ui/headless_host.h"

namespace sib::test {

struct Rgb {
  int R = 0, G = 0, B = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline Rgb rgbOf(std::uint32_t argb) {
  return {static_cast<int>(argb >> 16 & 255), static_cast<int>(argb >> 8 & 255), static_cast<int>(argb & 255)};
}
inline Rgb rgbOf(TColor c) {
  const TColor rgb = ColorToRGB(c);
  return {RedOf(rgb), GreenOf(rgb), BlueOf(rgb)};
}
inline bool near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.R - b.R) <= tolerance && std::abs(a.G - b.G) <= tolerance && std::abs(a.B - b.B) <= tolerance;
}
inline void PrintTo(const Rgb& c, std::ostream* os) { *os << "rgb(" << c.R << "," << c.G << "," << c.B << ")"; }

// The smallest rectangle of pixels inside `area` that differ from `background` (empty: Width 0).
struct Ink {
  int Left = 0, Top = 0, Right = -1, Bottom = -1;  // inclusive
  int Width() const { return Right - Left + 1; }
  int Height() const { return Bottom - Top + 1; }
  bool Empty() const { return Right < Left; }
};

// The third of a width x height area that the ink's centre lies in: {column, row}, each 0, 1 or 2.
inline std::pair<int, int> ThirdOf(const Ink& ink, int width, int height) {
  return {(ink.Left + ink.Right) / 2 * 3 / width, (ink.Top + ink.Bottom) / 2 * 3 / height};
}

class SmoothFormTest : public ::testing::Test {
 protected:
  Application loop;
  HeadlessHost host;
  TApplication app{host, loop};
  TComponentPtr<TForm> form;

  TForm& makeForm(int width, int height, TColor color) {
    form = MakeComponent<TForm>();
    form->SetClientWidth(width);
    form->SetClientHeight(height);
    form->SetColor(color);
    return *form;
  }
  void show() {
    form->Show();
    form->Update();
  }
  HeadlessWindow& window() { return *host.LastWindow(); }
  Rgb at(int x, int y) { return rgbOf(window().ScreenPixel(x, y)); }

  // The ink of the pixels in `area` for which `is` holds.
  template <class Pred>
  Ink inkWhere(TRect area, Pred is) {
    Ink ink{area.Right, area.Bottom, area.Left - 1, area.Top - 1};
    for (int y = area.Top; y < area.Bottom; ++y)
      for (int x = area.Left; x < area.Right; ++x) {
        if (!is(at(x, y))) continue;
        ink.Left = std::min(ink.Left, x);
        ink.Right = std::max(ink.Right, x);
        ink.Top = std::min(ink.Top, y);
        ink.Bottom = std::max(ink.Bottom, y);
      }
    if (ink.Right < ink.Left) return {};
    return ink;
  }
  Ink inkIn(TRect area, Rgb background) {
    return inkWhere(area, [&](Rgb c) { return c != background; });
  }

  // Writes what the window shows to a PNG in the test's output folder, for a person to look at.
  std::filesystem::path saveScreen(const std::string& name) {
    const TImageView view = window().Screen();
    std::vector<std::uint32_t> pixels;
    pixels.reserve(static_cast<std::size_t>(view.Width) * static_cast<std::size_t>(view.Height));
    for (int y = 0; y < view.Height; ++y)
      for (int x = 0; x < view.Width; ++x) pixels.push_back(view.Pixel(x, y) | 0xFF000000u);
    const gfx::Image image = gfx::Image::FromBitmap(gfx::Bitmap::FromArgb(view.Width, view.Height, pixels));
    const std::filesystem::path path = std::filesystem::path(SIB_TEST_OUTPUT_DIR) / name;
    std::ofstream out(path, std::ios::binary);
    image.Save(out, gfx::ImageFormat::Png);
    return path;
  }
};

// The window's background panel: black to 6049827, yellow one-pixel border, corners of radius 10.
inline void MakeWindowPanel(TAdvSmoothPanel& p) {
  TGDIPFill& f = *p.Fill();
  f.SetColor(clBlack);
  f.SetColorTo(6049827);
  f.SetColorMirror(clNone);
  f.SetColorMirrorTo(clNone);
  f.SetGradientMirrorType(gtVertical);
  f.SetBorderColor(clYellow);
  f.SetRounding(10);
  f.SetShadowOffset(0);
  p.Caption()->Font()->SetHeight(-16);
  p.Caption()->HTMLFont()->SetHeight(-11);
}

// One of the window's two captions ("Select Noise Type", "Set Level").
inline void MakeWindowLabel(TAdvSmoothLabel& l, const std::string& text) {
  l.SetBounds(l.Left(), l.Top(), 151, 25);
  TAdvSmoothLabelCaption& c = *l.Caption();
  c.SetText(text);
  c.Font()->SetName("Arial");
  c.Font()->SetHeight(-15);
  c.Font()->SetStyle(TFontStyles{fsBold});
  c.SetColorStart(clSilver);
  c.SetColorEnd(clWhite);
  l.CaptionShadow()->SetText("AdvSmoothLabel");
  l.CaptionShadow()->Font()->SetName("Tahoma");
  l.CaptionShadow()->Font()->SetHeight(-27);
  l.Fill()->SetColorMirror(clNone);
  l.Fill()->SetColorMirrorTo(clNone);
  l.Fill()->SetBorderColor(clNone);
}

}  // namespace sib::test
