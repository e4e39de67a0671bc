// Shared by the smooth button tests: the window's start button as its description sets it up, and
// small helpers over the button's cached face.
#pragma once

#include <gtest/gtest.h>

#include "controls/smooth_button.h"
#include "tests/platform/graphics/pixels.h"

namespace sib::test {

using gfx::test::Near;

// The start button of the main window: 182 x 41, silver, a black bevel, "Start Noise" in Tahoma
// 16 px, a badge "0" that stays hidden, no focus outline.
inline void SetUpWindowButton(TAdvSmoothButton& b) {
  b.SetBounds(144, 304, 182, 41);
  b.SetCaption("Start Noise");
  b.SetColor(clSilver);
  b.SetBevelColor(clBlack);
  b.SetParentFont(false);
  b.Appearance()->Font()->SetName("Tahoma");
  b.Appearance()->Font()->SetHeight(-16);
  b.Appearance()->Font()->SetColor(clBlack);
  b.Appearance()->SetSpacing(1);
  b.Status()->SetCaption("0");
  TGDIPFill& badge = *b.Status()->Appearance()->Fill();
  badge.SetColor(clRed);
  badge.SetColorMirror(clNone);
  badge.SetColorMirrorTo(clNone);
  badge.SetGradientType(gtSolid);
  badge.SetBorderColor(clGray);
  badge.SetRounding(0);
  badge.SetShadowOffset(0);
  b.Status()->Appearance()->Font()->SetName("Tahoma");
  b.Status()->Appearance()->Font()->SetHeight(-11);
  b.Status()->Appearance()->Font()->SetColor(clWhite);
  b.SetShowFocus(false);
}

// The face as it is painted now.
inline const gfx::Bitmap& Face(TAdvSmoothButton& b) {
  b.UpdateCache();
  return b.Cache();
}

inline gfx::Color Rgb(TColor c) { return gfx::Color::Rgb(RedOf(c), GreenOf(c), BlueOf(c)); }

// Pixels darker than this in red are the caption's ink on a light face.
inline bool Ink(gfx::Color c) { return c.A > 128 && c.R < 110; }

struct InkBox {
  int Left = 1 << 20, Top = 1 << 20, Right = -1, Bottom = -1;
  int Count = 0;
};

// The bounds of the dark pixels inside (x0, y0) .. (x1, y1), both included.
inline InkBox FindInk(const gfx::Bitmap& face, int x0, int y0, int x1, int y1) {
  InkBox box;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (Ink(face.GetPixel(x, y))) {
        box.Left = std::min(box.Left, x);
        box.Top = std::min(box.Top, y);
        box.Right = std::max(box.Right, x);
        box.Bottom = std::max(box.Bottom, y);
        ++box.Count;
      }
  return box;
}

}  // namespace sib::test
