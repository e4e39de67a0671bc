// Shapes the drawing tests and the benchmark share.
#pragma once

#include "platform/graphics/path.h"

namespace sib::gfx::test {

// `r` with all four corners rounded to quarter circles of `radius`, clockwise from the top-left.
inline Path RoundRect(RectF r, float radius) {
  Path p;
  float d = 2 * radius;
  p.AddArc(r.X, r.Y, d, d, 180, 90);
  p.AddArc(r.Right() - d, r.Y, d, d, 270, 90);
  p.AddArc(r.Right() - d, r.Bottom() - d, d, d, 0, 90);
  p.AddArc(r.X, r.Bottom() - d, d, d, 90, 90);
  p.CloseFigure();
  return p;
}

}  // namespace sib::gfx::test
