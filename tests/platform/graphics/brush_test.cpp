#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <set>
#include <string>

#include "tests/platform/graphics/pixels.h"

namespace sib::gfx {
namespace {

using test::Canvas;
using test::kBlack;
using test::kBlue;
using test::kRed;
using test::kWhite;
using test::Near;

Color Mix(Color a, Color b, double t) {
  auto m = [t](int x, int y) { return std::uint8_t(std::lround(x + (y - x) * t)); };
  return {m(a.A, b.A), m(a.R, b.R), m(a.G, b.G), m(a.B, b.B)};
}

// ---- Linear gradients -----------------------------------------------------------------------

struct EndCase {
  const char* name;
  RectF rect;
  std::function<LinearGradientBrush(RectF)> make;
  PointF start, end;     // pixels that must show the start and the end colour
  PointF middle;         // a pixel that must show the halfway colour
};

TEST(LinearGradients, EndColoursFollowModeAndAngle) {
  auto mode = [](LinearGradientMode m) {
    return [m](RectF r) { return LinearGradientBrush(r, kRed, kBlue, m); };
  };
  auto angle = [](float a, AngleScaling s) {
    return [a, s](RectF r) { return LinearGradientBrush(r, kRed, kBlue, a, s); };
  };
  const RectF sq{0, 0, 100, 100}, wide{0, 0, 200, 50};
  const EndCase cases[] = {
      {"horizontal", sq, mode(LinearGradientMode::Horizontal), {0, 50}, {100, 50}, {50, 10}},
      {"vertical", sq, mode(LinearGradientMode::Vertical), {50, 0}, {50, 100}, {10, 50}},
      {"forward diagonal", wide, mode(LinearGradientMode::ForwardDiagonal), {0, 0}, {200, 50}, {200, 0}},
      {"backward diagonal", wide, mode(LinearGradientMode::BackwardDiagonal), {200, 0}, {0, 50}, {0, 0}},
      {"angle 0", sq, angle(0, AngleScaling::Fixed), {0, 50}, {100, 50}, {50, 90}},
      {"angle 90", sq, angle(90, AngleScaling::Fixed), {50, 0}, {50, 100}, {90, 50}},
      {"angle 180", sq, angle(180, AngleScaling::Fixed), {100, 50}, {0, 50}, {50, 0}},
      {"angle 270", sq, angle(270, AngleScaling::Fixed), {50, 100}, {50, 0}, {0, 50}},
      {"angle 45 scalable", wide, angle(45, AngleScaling::Scalable), {0, 0}, {200, 50}, {0, 50}},
      // A true 45 degrees on a wide rectangle: the top-right corner is at 141 of 177 along the axis.
      {"angle 45 fixed", wide, angle(45, AngleScaling::Fixed), {0, 0}, {200, 50}, {0, 0}},
  };
  for (const EndCase& k : cases) {
    SCOPED_TRACE(k.name);
    LinearGradientBrush b = k.make(k.rect);
    ASSERT_TRUE(b.Ok());
    b.SetWrapMode(WrapMode::Clamp);  // at the end itself a tiled gradient starts over
    Canvas c(int(k.rect.Width) + 1, int(k.rect.Height) + 1);
    c.g.FillRectangle(b, 0, 0, k.rect.Width + 1, k.rect.Height + 1);
    auto at = [&](PointF p) { return c.At(int(p.X), int(p.Y)); };
    EXPECT_TRUE(Near(at(k.start), kRed, 2));
    EXPECT_TRUE(Near(at(k.end), kBlue, 2));
    if (std::string(k.name) == "angle 45 fixed") {
      EXPECT_TRUE(Near(c.At(200, 0), Mix(kRed, kBlue, 141.4 / 176.8), 3));
    } else {
      EXPECT_TRUE(Near(at(k.middle), Mix(kRed, kBlue, 0.5), 3));
    }
  }
}

TEST(LinearGradients, TwoPointsAndWrapModes) {
  LinearGradientBrush b(PointF{0, 0}, PointF{10, 0}, kBlack, kWhite);
  Canvas c(30, 1);
  c.g.FillRectangle(b, 0, 0, 30, 1);
  EXPECT_TRUE(Near(c.At(0, 0), kBlack, 1));
  EXPECT_TRUE(Near(c.At(5, 0), Mix(kBlack, kWhite, 0.5), 2));
  EXPECT_TRUE(Near(c.At(15, 0), Mix(kBlack, kWhite, 0.5), 2));  // tiled by default
  b.SetWrapMode(WrapMode::Clamp);
  Canvas k(30, 1);
  k.g.FillRectangle(b, 0, 0, 30, 1);
  EXPECT_TRUE(Near(k.At(25, 0), kWhite, 1));
}

struct GammaCase {
  Color from, to;
  double t;
};

TEST(LinearGradients, GammaCorrectionInterpolatesInLinearLight) {
  const GammaCase cases[] = {
      {kBlack, kWhite, 0.5}, {kBlack, kWhite, 0.1}, {kBlack, kWhite, 0.25}, {kBlack, kWhite, 0.9},
      {kRed, Color::Rgb(0, 255, 0), 0.5}, {Color::Rgb(192, 192, 192), Color::Rgb(128, 128, 128), 0.5},
      {Color::Rgb(10, 200, 90), Color::Rgb(250, 20, 160), 0.3},
  };
  auto lin = [](int v) { return std::pow(v / 255.0, 2.2); };
  auto enc = [](double v) { return std::uint8_t(std::lround(std::pow(v, 1 / 2.2) * 255)); };
  for (const GammaCase& k : cases) {
    SCOPED_TRACE(::testing::Message() << k.from << " to " << k.to << " at " << k.t);
    LinearGradientBrush b(PointF{0, 0}, PointF{256, 0}, k.from, k.to);
    b.SetGammaCorrection(true);
    Canvas c(257, 1);
    c.g.FillRectangle(b, 0, 0, 257, 1);
    int x = int(std::lround(k.t * 256));
    double t = x / 256.0;
    auto ch = [&](int a, int z) { return enc(lin(a) + (lin(z) - lin(a)) * t); };
    Color expected = Color::Rgb(ch(k.from.R, k.to.R), ch(k.from.G, k.to.G), ch(k.from.B, k.to.B));
    EXPECT_TRUE(Near(c.At(x, 0), expected, 2));
    b.SetGammaCorrection(false);
    Canvas plain(257, 1);
    plain.g.FillRectangle(b, 0, 0, 257, 1);
    EXPECT_TRUE(Near(plain.At(x, 0), Mix(k.from, k.to, t), 2));
  }
}

TEST(LinearGradients, PresetColoursReplaceTheEndColours) {
  LinearGradientBrush b(PointF{0, 0}, PointF{100, 0}, kBlack, kWhite);
  const ColorStop stops[] = {{0, kRed}, {0.5f, Color::Rgb(0, 255, 0)}, {1, kBlue}};
  ASSERT_EQ(b.SetInterpolationColors(stops), Status::Ok);
  const ColorStop bad[] = {{0.2f, kRed}, {1, kBlue}};
  EXPECT_EQ(b.SetInterpolationColors(bad), Status::InvalidParameter);
  b.SetWrapMode(WrapMode::Clamp);
  Canvas c(101, 1);
  c.g.FillRectangle(b, 0, 0, 101, 1);
  EXPECT_TRUE(Near(c.At(0, 0), kRed, 2));
  EXPECT_TRUE(Near(c.At(50, 0), Color::Rgb(0, 255, 0), 2));
  EXPECT_TRUE(Near(c.At(25, 0), Mix(kRed, Color::Rgb(0, 255, 0), 0.5), 3));
  EXPECT_TRUE(Near(c.At(100, 0), kBlue, 2));
}

// ---- Path gradients -------------------------------------------------------------------------

TEST(PathGradients, CentreColourAtTheCentreSurroundAtTheOutlineAndHalfwayBetween) {
  Path square;
  square.AddRectangle({0, 0, 100, 100});
  PathGradientBrush b(square);
  b.SetCenterColor(kWhite);
  const Color surround[] = {kBlue};
  ASSERT_EQ(b.SetSurroundColors(surround), Status::Ok);
  Canvas c(101, 101, SmoothingMode::AntiAlias);
  c.g.FillPath(b, square);
  EXPECT_TRUE(Near(c.At(50, 50), kWhite, 3));
  EXPECT_TRUE(Near(c.At(1, 50), Mix(kBlue, kWhite, 1 / 50.0), 4));
  EXPECT_TRUE(Near(c.At(75, 50), Mix(kBlue, kWhite, 0.5), 4));
  EXPECT_TRUE(Near(c.At(50, 25), Mix(kBlue, kWhite, 0.5), 4));
  EXPECT_TRUE(Near(c.At(25, 25), Mix(kBlue, kWhite, 0.5), 4));  // halfway along the diagonal too
}

TEST(PathGradients, CentrePointMovesTheCentreColour) {
  Path ellipse;
  ellipse.AddEllipse({0, -50, 100, 150});
  PathGradientBrush b(ellipse);
  b.SetCenterPoint({50, 0});
  b.SetCenterColor(kWhite);
  const Color surround[] = {kBlack};
  b.SetSurroundColors(surround);
  Canvas c(101, 101, SmoothingMode::AntiAlias);
  c.g.FillRectangle(b, 0, 0, 101, 101);
  EXPECT_TRUE(Near(c.At(50, 1), kWhite, 6));
  EXPECT_GT(c.At(50, 40).R, c.At(50, 80).R);
  EXPECT_FALSE(c.Painted(2, 99));  // outside the ellipse: clamped, nothing painted
}

TEST(PathGradients, PresetColoursMakeRingsFromTheOutlineToTheCentre) {
  Path square;
  square.AddRectangle({0, 0, 100, 100});
  PathGradientBrush b(square);
  const ColorStop shadow[] = {{0, Color::Argb(0, 0, 0, 0)}, {0.1f, Color::Argb(180, 0, 0, 0)}, {1, Color::Argb(180, 0, 0, 0)}};
  ASSERT_EQ(b.SetInterpolationColors(shadow), Status::Ok);
  Canvas c(101, 101, SmoothingMode::AntiAlias);
  c.g.FillPath(b, square);
  EXPECT_NEAR(c.At(50, 50).A, 180, 3);
  EXPECT_NEAR(c.At(25, 50).A, 180, 3);  // inside the 0.1 ring
  EXPECT_NEAR(c.At(3, 50).A, 180 * 3 / 5.0, 12);
  EXPECT_LT(c.At(1, 50).A, 50);
}

// ---- Hatches --------------------------------------------------------------------------------

TEST(Hatches, EveryStyleFillsItsPatternOnThePixelGrid) {
  std::set<std::string> names;
  std::set<std::uint64_t> masks;
  for (int s = 0; s < kHatchStyleCount; ++s) {
    HatchStyle style = HatchStyle(s);
    SCOPED_TRACE(HatchStyleName(style));
    names.insert(HatchStyleName(style));
    auto rows = HatchPattern(style);
    std::uint64_t mask = 0;
    for (int y = 0; y < 8; ++y) mask = mask << 8 | rows[y];
    masks.insert(mask);
    EXPECT_NE(mask, 0u);
    EXPECT_NE(mask, ~std::uint64_t(0));
    Canvas c(16, 16, SmoothingMode::AntiAlias);
    c.g.TranslateTransform(0.3f, 0.7f);  // the tiles stay on the pixel grid
    c.g.FillRectangle(HatchBrush(style, kBlack, kWhite), -2, -2, 20, 20);
    bool ok = true;
    for (int y = 0; y < 16 && ok; ++y)
      for (int x = 0; x < 16 && ok; ++x) {
        bool fore = rows[y % 8] & (0x80 >> (x % 8));
        ok = Near(c.At(x, y), fore ? kBlack : kWhite, 0);
        EXPECT_TRUE(ok) << x << ", " << y;
      }
  }
  EXPECT_EQ(names.size(), 53u);
  EXPECT_EQ(masks.size(), 53u);
  EXPECT_STREQ(HatchStyleName(HatchStyle::Horizontal), "Horizontal");
  EXPECT_STREQ(HatchStyleName(HatchStyle::SolidDiamond), "SolidDiamond");
}

TEST(Hatches, PatternsFollowTheirNames) {
  auto count = [](HatchStyle s) {
    int n = 0;
    for (std::uint8_t r : HatchPattern(s)) n += std::popcount(r);
    return n;
  };
  const struct {
    HatchStyle style;
    int percent;
  } percents[] = {{HatchStyle::Percent05, 5},  {HatchStyle::Percent10, 10}, {HatchStyle::Percent20, 20},
                  {HatchStyle::Percent25, 25}, {HatchStyle::Percent30, 30}, {HatchStyle::Percent40, 40},
                  {HatchStyle::Percent50, 50}, {HatchStyle::Percent60, 60}, {HatchStyle::Percent70, 70},
                  {HatchStyle::Percent75, 75}, {HatchStyle::Percent80, 80}, {HatchStyle::Percent90, 90}};
  for (auto [style, percent] : percents) EXPECT_NEAR(count(style) * 100.0 / 64, percent, 1.6) << HatchStyleName(style);
  auto rows = HatchPattern(HatchStyle::Horizontal);
  EXPECT_EQ(rows[0], 0xFF);
  EXPECT_EQ(rows[1], 0);
  for (std::uint8_t r : HatchPattern(HatchStyle::Vertical)) EXPECT_EQ(r, 0x80);
  // Forward diagonals run down to the right, backward ones up to the right.
  EXPECT_EQ(HatchPattern(HatchStyle::ForwardDiagonal)[1], 0x40);
  EXPECT_EQ(HatchPattern(HatchStyle::BackwardDiagonal)[1], 0x02);
  EXPECT_GT(count(HatchStyle::DarkDownwardDiagonal), count(HatchStyle::LightDownwardDiagonal));
  EXPECT_GT(count(HatchStyle::WideUpwardDiagonal), count(HatchStyle::BackwardDiagonal));
  EXPECT_EQ(count(HatchStyle::LargeCheckerBoard), 32);
  EXPECT_EQ(count(HatchStyle::SmallCheckerBoard), 32);
}

TEST(Hatches, TranslucentColoursBlendOverWhatIsThere) {
  Canvas c(8, 8);
  c.g.Clear(kWhite);
  c.g.FillRectangle(HatchBrush(HatchStyle::Horizontal, Color::Argb(128, 0, 0, 0), Color::Argb(0, 0, 0, 0)), 0, 0, 8, 8);
  EXPECT_TRUE(Near(c.At(3, 0), Color::Rgb(127, 127, 127), 1));
  EXPECT_TRUE(Near(c.At(3, 1), kWhite, 0));
}

}  // namespace
}  // namespace sib::gfx
