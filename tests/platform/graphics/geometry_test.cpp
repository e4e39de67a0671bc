#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "tests/platform/graphics/pixels.h"

namespace sib::gfx {
namespace {

using test::Canvas;
using test::kBlack;
using test::kBlue;
using test::kRed;
using test::kWhite;
using test::Near;

TEST(PixelCentres, OnePixelBorderLandsOnOneRowAndColumn) {
  for (SmoothingMode mode : {SmoothingMode::Default, SmoothingMode::AntiAlias}) {
    SCOPED_TRACE(int(mode));
    const int w = 20, h = 12;
    Canvas c(w, h, mode);
    c.g.DrawRectangle(Pen(kBlack), 0, 0, w - 1, h - 1);
    for (int x = 0; x < w; ++x) {
      EXPECT_TRUE(Near(c.At(x, 0), kBlack, 0)) << "top, x " << x;
      EXPECT_TRUE(Near(c.At(x, h - 1), kBlack, 0)) << "bottom, x " << x;
      if (x > 0 && x < w - 1) {
        EXPECT_FALSE(c.Painted(x, 1)) << "inside the top row, x " << x;
        EXPECT_FALSE(c.Painted(x, h - 2)) << "inside the bottom row, x " << x;
      }
    }
    for (int y = 0; y < h; ++y) {
      EXPECT_TRUE(Near(c.At(0, y), kBlack, 0)) << "left, y " << y;
      EXPECT_TRUE(Near(c.At(w - 1, y), kBlack, 0)) << "right, y " << y;
      if (y > 0 && y < h - 1) {
        EXPECT_FALSE(c.Painted(1, y));
        EXPECT_FALSE(c.Painted(w - 2, y));
      }
    }
  }
}

TEST(PixelCentres, LinesOnIntegerCoordinatesCoverOnePixelRow) {
  Canvas c(10, 10, SmoothingMode::AntiAlias);
  c.g.DrawLine(Pen(kBlack), 2, 5, 8, 5);
  for (int x = 0; x < 10; ++x)
    for (int y = 0; y < 10; ++y)
      if (y != 5) {
        EXPECT_FALSE(c.Painted(x, y)) << x << ", " << y;
      }
  for (int x = 3; x < 8; ++x) EXPECT_TRUE(Near(c.At(x, 5), kBlack, 0)) << x;
  // The ends stop at the centres of pixels 2 and 8, which are half covered.
  EXPECT_NEAR(c.At(2, 5).A, 128, 2);
  EXPECT_NEAR(c.At(8, 5).A, 128, 2);
}

TEST(PixelCentres, AliasedFillCoversExactlyItsPixelsAndAntiAliasedHalvesTheEdges) {
  Canvas aliased(10, 10);
  aliased.g.FillRectangle(SolidBrush(kBlack), 2, 3, 4, 5);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(aliased.Painted(x, y), x >= 2 && x < 6 && y >= 3 && y < 8) << x << ", " << y;

  // Anti-aliased, the rectangle's edges run through pixel centres: its edge pixels are half covered.
  Canvas smooth(10, 10, SmoothingMode::AntiAlias);
  smooth.g.FillRectangle(SolidBrush(kBlack), 2, 2, 4, 4);
  EXPECT_TRUE(Near(smooth.At(4, 4), kBlack, 0));
  EXPECT_NEAR(smooth.At(2, 4).A, 128, 2);
  EXPECT_NEAR(smooth.At(6, 4).A, 128, 2);
  EXPECT_NEAR(smooth.At(2, 2).A, 64, 2);
  EXPECT_FALSE(smooth.Painted(7, 4));
}

TEST(PixelCentres, WorldTransformMovesDrawingButNotTheClip) {
  Canvas c(20, 20);
  c.g.SetClip(RectF{0, 0, 10, 20});
  c.g.TranslateTransform(5, 0);
  c.g.FillRectangle(SolidBrush(kBlack), 0, 0, 10, 1);
  for (int x = 0; x < 20; ++x) EXPECT_EQ(c.Painted(x, 0), x >= 5 && x < 10) << x;
  c.g.ScaleTransform(2, 2);
  c.g.FillRectangle(SolidBrush(kBlack), 0, 5, 1, 1);  // at (5, 10), 2 x 2
  EXPECT_TRUE(c.Painted(5, 10));
  EXPECT_TRUE(c.Painted(6, 11));
  EXPECT_FALSE(c.Painted(7, 10));
}

TEST(PixelCentres, DottedPenWithoutSmoothingAlternatesPixels) {
  Canvas c(12, 3);
  Pen dotted(kBlack);
  dotted.SetDashStyle(DashStyle::Dot);
  c.g.DrawLine(dotted, 0, 1, 12, 1);
  for (int x = 0; x < 12; ++x) EXPECT_EQ(c.Painted(x, 1), x % 2 == 0) << x;
}

// ---- Arcs --------------------------------------------------------------------------------------

struct ArcCase {
  float start, sweep;
  std::vector<float> drawnAt, emptyAt;  // angles in degrees, clockwise from +x
};

TEST(Arcs, FollowStartAndSweepClockwiseFromPositiveX) {
  const ArcCase cases[] = {
      {0, 90, {10, 45, 80}, {135, 225, 315}},
      {180, 90, {190, 225, 260}, {45, 135, 315}},
      {0, -90, {350, 315, 280}, {45, 135, 225}},
      {270, 180, {280, 0, 80}, {135, 225}},
      {45, 360, {0, 90, 180, 270}, {}},
  };
  const float cx = 50, cy = 50, r = 40;
  for (const ArcCase& k : cases) {
    SCOPED_TRACE(::testing::Message() << "start " << k.start << " sweep " << k.sweep);
    Canvas c(101, 101, SmoothingMode::AntiAlias);
    c.g.DrawArc(Pen(kBlack, 3), RectF{cx - r, cy - r, 2 * r, 2 * r}, k.start, k.sweep);
    auto at = [&](float deg) {
      double a = deg * std::numbers::pi / 180;
      return c.At(int(std::lround(cx + r * std::cos(a))), int(std::lround(cy + r * std::sin(a))));
    };
    for (float a : k.drawnAt) EXPECT_GT(at(a).A, 200) << "angle " << a;
    for (float a : k.emptyAt) EXPECT_EQ(at(a).A, 0) << "angle " << a;
  }
}

TEST(Arcs, AnglesOnAnEllipseAreTrueDirectionsFromTheCentre) {
  Path p;
  p.AddArc(RectF{0, 0, 200, 100}, 45, 45);
  auto ops = p.Ops();
  PointF start = ops.front().P[0];
  PointF end = ops.back().P[2];
  EXPECT_NEAR(start.X - 100, start.Y - 50, 1e-3);  // on the 45-degree ray
  EXPECT_NEAR(end.X, 100, 1e-3);
  EXPECT_NEAR(end.Y, 100, 1e-3);
}

TEST(Paths, LinesJoinIntoOneFigureUntilClosed) {
  Path p;
  p.AddLine(0, 0, 10, 0);
  p.AddLine(10, 10, 0, 10);  // joined to (10, 0) by a straight segment
  p.CloseFigure();
  p.AddLine(20, 20, 30, 20);  // a new figure
  auto figures = p.Flatten();
  ASSERT_EQ(figures.size(), 2u);
  EXPECT_EQ(figures[0].Points.size(), 4u);
  EXPECT_TRUE(figures[0].Closed);
  EXPECT_FALSE(figures[1].Closed);
  EXPECT_TRUE(p.IsVisible({5, 5}));
  EXPECT_FALSE(p.IsVisible({15, 5}));
}

TEST(Paths, AlternateFillLeavesTheInnerFigureOpen) {
  Path p;
  p.AddRectangle({0, 0, 30, 30});
  p.AddRectangle({10, 10, 10, 10});
  Canvas c(31, 31);
  c.g.FillPath(SolidBrush(kBlack), p);
  EXPECT_TRUE(c.Painted(5, 5));
  EXPECT_FALSE(c.Painted(15, 15));
  p.SetFillMode(FillMode::Winding);
  Canvas w(31, 31);
  w.g.FillPath(SolidBrush(kBlack), p);
  EXPECT_TRUE(w.Painted(15, 15));
}

// ---- Regions and clips ---------------------------------------------------------------------

TEST(Regions, RectangleLessARoundedOutlineIsFilledOnlyOutsideTheOutline) {
  Path inner;
  inner.AddEllipse({10, 10, 40, 40});
  Region groove(RectF{0, 0, 60, 60});
  groove.Exclude(inner);
  EXPECT_TRUE(groove.IsVisible({2, 2}));
  EXPECT_FALSE(groove.IsVisible({30, 30}));

  Canvas c(61, 61, SmoothingMode::AntiAlias);
  c.g.FillRegion(SolidBrush(kBlack), groove);
  EXPECT_TRUE(Near(c.At(3, 3), kBlack, 0));
  EXPECT_TRUE(Near(c.At(56, 30), kBlack, 0));
  EXPECT_EQ(c.At(30, 30).A, 0);
  EXPECT_EQ(c.At(30, 15).A, 0);
}

TEST(Regions, ClipToAnExcludedRegionProtectsTheHole) {
  Region r(RectF{0, 0, 40, 40});
  r.Exclude(RectF{10, 10, 20, 20});
  Canvas c(40, 40);
  c.g.SetClip(r);
  c.g.FillRectangle(SolidBrush(kBlack), 0, 0, 40, 40);
  EXPECT_TRUE(c.Painted(5, 5));
  EXPECT_FALSE(c.Painted(20, 20));
  EXPECT_TRUE(c.Painted(35, 20));
  c.g.Clear(kRed);
  EXPECT_TRUE(Near(c.At(5, 5), kRed, 0));
  EXPECT_FALSE(c.Painted(20, 20));
  c.g.ResetClip();
  c.g.FillRectangle(SolidBrush(kBlue), 0, 0, 40, 40);
  EXPECT_TRUE(Near(c.At(20, 20), kBlue, 0));
}

TEST(Regions, RoundRectPixelRegionCoversWholePixelsLessItsCorners) {
  Region r = Region::RoundRect(0, 0, 20, 10, 8, 8);
  Canvas c(22, 12, SmoothingMode::AntiAlias);
  c.g.FillRegion(SolidBrush(kBlack), r);
  EXPECT_FALSE(c.Painted(0, 0));
  EXPECT_FALSE(c.Painted(19, 9));
  EXPECT_TRUE(Near(c.At(10, 0), kBlack, 0));   // whole pixels, no blended edge
  EXPECT_TRUE(Near(c.At(19, 5), kBlack, 0));
  EXPECT_FALSE(c.Painted(20, 5));             // right is exclusive
  EXPECT_FALSE(c.Painted(10, 10));            // bottom is exclusive
  Region plain = Region::Pixels(2, 2, 5, 4);
  Canvas p(8, 8);
  p.g.SetClip(plain);
  p.g.Clear(kBlack);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(p.Painted(x, y), x >= 2 && x < 5 && y >= 2 && y < 4) << x << ", " << y;
}

TEST(Clips, SaveAndRestoreBringBackClipAndSmoothing) {
  Canvas c(20, 20);
  GraphicsState s = c.g.Save();
  c.g.SetClip(RectF{0, 0, 5, 5});
  c.g.SetSmoothingMode(SmoothingMode::AntiAlias);
  c.g.Restore(s);
  EXPECT_EQ(c.g.GetSmoothingMode(), SmoothingMode::Default);
  c.g.FillRectangle(SolidBrush(kBlack), 0, 0, 20, 20);
  EXPECT_TRUE(c.Painted(15, 15));
  c.g.SetClip(RectF{0, 0, 5, 5});
  c.g.SetClip(RectF{3, 3, 10, 10}, CombineMode::Intersect);
  RectF b = c.g.GetClipBounds();
  EXPECT_NEAR(b.X, 3, 0.01);
  EXPECT_NEAR(b.Width, 2, 0.01);
}

TEST(Clips, ClipToAPathLimitsFilling) {
  Path circle;
  circle.AddEllipse({0, 0, 40, 40});
  Canvas c(41, 41, SmoothingMode::AntiAlias);
  c.g.SetClip(circle);
  c.g.FillRectangle(SolidBrush(kBlack), 0, 0, 41, 41);
  EXPECT_FALSE(c.Painted(1, 1));
  EXPECT_TRUE(Near(c.At(20, 20), kBlack, 0));
}

// ---- Images and textures --------------------------------------------------------------------

Bitmap Checker2x2() {
  const std::uint32_t px[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF};
  return Bitmap::FromArgb(2, 2, px);
}

TEST(Images, DrawnAtAPointLandOneToOneAndScaledIntoARect) {
  Bitmap img = Checker2x2();
  ASSERT_TRUE(img.Ok());
  EXPECT_TRUE(Near(img.GetPixel(1, 1), Color::Argb(0x80, 255, 255, 255), 1));
  Canvas c(10, 10, SmoothingMode::AntiAlias);
  c.g.DrawImage(img, PointF{3, 4});
  EXPECT_TRUE(Near(c.At(3, 4), kRed, 0));
  EXPECT_TRUE(Near(c.At(4, 4), Color::Rgb(0, 255, 0), 0));
  EXPECT_TRUE(Near(c.At(3, 5), kBlue, 0));
  EXPECT_FALSE(c.Painted(5, 4));
  EXPECT_FALSE(c.Painted(2, 4));

  Canvas s(10, 10);
  s.g.SetInterpolationMode(InterpolationMode::NearestNeighbor);
  s.g.DrawImage(img, RectF{0, 0, 8, 8});
  EXPECT_TRUE(Near(s.At(0, 0), kRed, 0));
  EXPECT_TRUE(Near(s.At(3, 3), kRed, 0));
  EXPECT_TRUE(Near(s.At(4, 0), Color::Rgb(0, 255, 0), 0));
  EXPECT_TRUE(Near(s.At(0, 7), kBlue, 0));
  EXPECT_FALSE(s.Painted(8, 0));

  Canvas part(4, 4);
  part.g.DrawImage(img, RectF{0, 0, 2, 2}, RectF{1, 0, 1, 1});  // the green pixel, scaled to 2 x 2
  EXPECT_TRUE(Near(part.At(0, 0), Color::Rgb(0, 255, 0), 0));
  EXPECT_TRUE(Near(part.At(1, 1), Color::Rgb(0, 255, 0), 0));
}

TEST(Brushes, TextureTilesFromTheOrigin) {
  Bitmap img = Checker2x2();
  TextureBrush brush(img);
  Canvas c(8, 8);
  c.g.FillRectangle(brush, 0, 0, 8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_TRUE(Near(c.At(x, y), img.GetPixel(x % 2, y % 2), 1)) << x << ", " << y;
  TextureBrush moved(img);
  moved.TranslateTransform(1, 0);
  Canvas m(4, 1);
  m.g.FillRectangle(moved, 0, 0, 4, 1);
  EXPECT_TRUE(Near(m.At(1, 0), kRed, 0));
}

// ---- Failures -------------------------------------------------------------------------------

TEST(Failures, DrawingWithObjectsThatAreNotOkDrawsNothing) {
  Path empty;
  Path square;
  square.AddRectangle({0, 0, 5, 5});
  const struct {
    const char* what;
    std::function<void(Graphics&)> draw;
  } cases[] = {
      {"zero-width pen", [](Graphics& g) { g.DrawLine(Pen(kBlack, 0), 0, 0, 5, 5); }},
      {"gradient between equal points",
       [](Graphics& g) { g.FillRectangle(LinearGradientBrush(PointF{1, 1}, PointF{1, 1}, kBlack, kWhite), 0, 0, 9, 9); }},
      {"gradient over an empty rect",
       [](Graphics& g) {
         g.FillRectangle(LinearGradientBrush(RectF{0, 0, 0, 5}, kBlack, kWhite, LinearGradientMode::Vertical), 0, 0, 9, 9);
       }},
      {"hatch out of range", [](Graphics& g) { g.FillRectangle(HatchBrush(HatchStyle(99), kBlack), 0, 0, 9, 9); }},
      {"texture of an empty bitmap", [](Graphics& g) { g.FillRectangle(TextureBrush(Bitmap()), 0, 0, 9, 9); }},
      {"path gradient on an empty path", [&](Graphics& g) { g.FillPath(PathGradientBrush(empty), square); }},
      {"empty rectangle", [](Graphics& g) { g.FillRectangle(SolidBrush(kBlack), 2, 2, -3, 4); }},
      {"font of a missing family",
       [](Graphics& g) {
         g.DrawString("x", Font("No Such Family Anywhere", 10), RectF{0, 0, 9, 9}, {}, SolidBrush(kBlack));
       }},
      {"empty bitmap drawn", [](Graphics& g) { g.DrawImage(Bitmap(), PointF{0, 0}); }},
      {"empty clip", [](Graphics& g) {
         g.SetClip(Region::Empty());
         g.FillRectangle(SolidBrush(kBlack), 0, 0, 9, 9);
       }},
  };
  for (const auto& k : cases) {
    Canvas c(10, 10);
    k.draw(c.g);
    EXPECT_TRUE(c.Untouched()) << k.what;
  }
  // A surface that is not Ok takes every operation without effect.
  Bitmap none;
  Graphics g(none);
  EXPECT_FALSE(g.Ok());
  g.FillRectangle(SolidBrush(kBlack), 0, 0, 5, 5);
  g.Clear(kBlack);
  g.DrawString("x", Font("Arial", 10), PointF{0, 0}, {}, SolidBrush(kBlack));
  EXPECT_EQ(g.MeasureString("x", Font("Arial", 10), PointF{0, 0}, {}).Box.Width, 0);
}

TEST(Surfaces, WindowPixelsAreDrawnInPlace) {
  std::vector<std::uint32_t> pixels(8 * 4, 0xFF000000);
  {
    Graphics g(pixels.data(), 8, 4, 8 * 4);
    ASSERT_TRUE(g.Ok());
    g.FillRectangle(SolidBrush(kWhite), 1, 1, 2, 2);
  }
  EXPECT_EQ(pixels[1 * 8 + 1], 0xFFFFFFFFu);
  EXPECT_EQ(pixels[0], 0xFF000000u);
  Graphics bad(pixels.data(), 8, 4, 7);
  EXPECT_FALSE(bad.Ok());
}

}  // namespace
}  // namespace sib::gfx
