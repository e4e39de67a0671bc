#include "tools/icon/icon_art.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/graphics/graphics.h"

namespace sib::icon {
namespace {

using gfx::Color;
using gfx::PointF;
using gfx::RectF;

// The window's colours: its panel runs from black to this teal, inside a yellow border; the level
// bar's filled part starts in this amber.
constexpr Color kPanelTop = Color::Rgb(0, 0, 0);
constexpr Color kPanelBottom = Color::Rgb(35, 80, 92);
constexpr Color kBorder = Color::Rgb(255, 255, 0);
constexpr Color kWave = Color::Rgb(250, 208, 65);

// Where everything goes at one size, in edge coordinates: (0, 0) is the top-left corner of the top-left
// pixel and (size, size) the bottom-right corner of the last one.
struct Layout {
  float Inset;     // the transparent margin around the square
  float Border;    // the border's width
  float Rounding;  // the square's outer corner radius
  PointF Source;   // where the waves spread from
  float Dot;       // the radius of the dot at the source
  std::vector<float> Radii;  // the waves' middle lines, innermost first
  float Width;     // the waves' width
  float HalfSweep; // each wave spans this many degrees either side of the horizontal
};

Layout LayoutFor(int size) {
  const auto n = static_cast<float>(size);
  Layout l;
  // Below 48 pixels a margin or a border wider than one pixel would only blur the square's edge.
  l.Inset = size >= 48 ? std::round(n / 64) : 0;
  l.Border = size >= 48 ? std::round(n / 40) : 1;
  l.Rounding = std::round(n * 0.19f);
  l.Source = {std::round(n * 0.28f), n / 2};
  l.HalfSweep = 45;
  l.Dot = n * 0.075f;
  l.Radii = {n * 0.19f, n * 0.32f, n * 0.45f};
  l.Width = n * 0.065f;
  if (size <= 24) {
    // Two waves: three would run together at these sizes.
    l.Radii = {n * 0.25f, n * 0.45f};
  }
  if (size <= 16) {
    // A pixel-wide wave and a dot of four pixels read better here than anything rounder.
    l.Dot = 1.25f;
    l.Width = 1;
  }
  if (size < 64) {
    // Whole-pixel widths, and middle lines placed so that each wave's edges fall on pixel edges where
    // it crosses the horizontal through the source, its most visible part.
    l.Width = std::max(1.0f, std::round(l.Width));
    const float offset = std::fmod(l.Width, 2.0f) / 2;
    for (float& r : l.Radii) r = std::round(r) + offset;
  }
  return l;
}

gfx::Path RoundSquare(RectF r, float radius) {
  const float d = 2 * radius;
  gfx::Path path;
  path.AddArc({r.X, r.Y, d, d}, 180, 90);
  path.AddArc({r.Right() - d, r.Y, d, d}, 270, 90);
  path.AddArc({r.Right() - d, r.Bottom() - d, d, d}, 0, 90);
  path.AddArc({r.X, r.Bottom() - d, d, d}, 90, 90);
  path.CloseFigure();
  return path;
}

RectF Around(PointF centre, float radius) { return {centre.X - radius, centre.Y - radius, 2 * radius, 2 * radius}; }

PointF OnCircle(PointF centre, float radius, float degrees) {
  const double a = degrees * 3.14159265358979323846 / 180.0;
  return {centre.X + radius * static_cast<float>(std::cos(a)), centre.Y + radius * static_cast<float>(std::sin(a))};
}

// One wave as a filled band with round ends: the outer arc clockwise, the end's half circle, the inner
// arc back and the start's half circle.
gfx::Path Wave(PointF source, float radius, float width, float halfSweep) {
  const float half = width / 2;
  gfx::Path path;
  path.AddArc(Around(source, radius + half), -halfSweep, 2 * halfSweep);
  path.AddArc(Around(OnCircle(source, radius, halfSweep), half), halfSweep, 180);
  path.AddArc(Around(source, radius - half), halfSweep, -2 * halfSweep);
  path.AddArc(Around(OnCircle(source, radius, -halfSweep), half), 180 - halfSweep, 180);
  path.CloseFigure();
  return path;
}

}  // namespace

gfx::Bitmap DrawIcon(int size) {
  gfx::Bitmap bitmap(size, size);
  gfx::Graphics g(bitmap);
  g.SetSmoothingMode(gfx::SmoothingMode::AntiAlias);
  // The layer's integer coordinates are pixel centres; the layout speaks of pixel edges.
  g.TranslateTransform(-0.5f, -0.5f);
  const Layout l = LayoutFor(size);
  const auto n = static_cast<float>(size);

  // The border is the outer square in yellow with the panel's gradient filled inside it, so that both
  // edges of the border fall where the layout puts them.
  const RectF outer{l.Inset, l.Inset, n - 2 * l.Inset, n - 2 * l.Inset};
  g.FillPath(gfx::SolidBrush(kBorder), RoundSquare(outer, l.Rounding));
  const RectF inner = outer.Inflated(-l.Border, -l.Border);
  g.FillPath(gfx::LinearGradientBrush(inner, kPanelTop, kPanelBottom, gfx::LinearGradientMode::Vertical),
             RoundSquare(inner, std::max(0.0f, l.Rounding - l.Border)));

  // The waves fade a little as they spread.
  g.FillEllipse(gfx::SolidBrush(kWave), Around(l.Source, l.Dot));
  for (std::size_t i = 0; i < l.Radii.size(); ++i) {
    const auto alpha = static_cast<std::uint8_t>(255 - 30 * i);
    g.FillPath(gfx::SolidBrush(kWave.WithAlpha(alpha)), Wave(l.Source, l.Radii[i], l.Width, l.HalfSweep));
  }
  return bitmap;
}

}  // namespace sib::icon
