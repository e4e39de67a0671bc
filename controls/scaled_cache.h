// The face a control keeps in a bitmap between paints (the smooth button, the smooth panel), made at
// the display's scale: on a display of 2 device pixels per client pixel the bitmap holds twice the
// control's size and reaches the screen pixel for pixel, as sharp as if drawn directly.
#pragma once

#include <cmath>

#include "platform/graphics/graphics.h"

namespace sib {

class TScaledCache {
 public:
  // Whether the bitmap was made for a control of this size at this scale.
  bool Fits(int Width, int Height, double Scale) const {
    return FBitmap.Ok() && FWidth == Width && FHeight == Height && FScale == Scale;
  }
  // A new transparent bitmap for the control, and the scale to draw into it with Prepare.
  void Resize(int Width, int Height, double Scale) {
    FWidth = Width;
    FHeight = Height;
    FScale = Scale;
    FBitmap = gfx::Bitmap(static_cast<int>(std::ceil(Width * Scale)), static_cast<int>(std::ceil(Height * Scale)));
  }
  // Sets `g`, a Graphics on Bitmap(), to draw in the control's own coordinates.
  void Prepare(gfx::Graphics& g) const {
    if (FScale != 1.0) g.ScaleTransform(static_cast<float>(FScale), static_cast<float>(FScale));
  }
  // Draws the face on a canvas's graphics at the control's origin, covering the control.
  void DrawTo(gfx::Graphics& g) const {
    if (FScale == 1.0) g.DrawImage(FBitmap, gfx::PointF{0, 0});
    else g.DrawImage(FBitmap, gfx::RectF{0, 0, static_cast<float>(FWidth), static_cast<float>(FHeight)});
  }
  double Scale() const { return FScale; }
  gfx::Bitmap& Bitmap() { return FBitmap; }
  const gfx::Bitmap& Bitmap() const { return FBitmap; }

 private:
  gfx::Bitmap FBitmap;
  int FWidth = 0;
  int FHeight = 0;
  double FScale = 1.0;
};

}  // namespace sib
