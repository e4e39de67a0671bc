// Painting a fill on image surfaces, checked by sampling the pixels that prove each behaviour: the
// default gradient, the split fill's two layers, what still shows without a body, opacities, the
// shadow band, rounded layers, the line case, the focus outline, pictures and the layer kinds.
#include <gtest/gtest.h>

#include "tests/controls/fill_fixtures.h"

namespace sib::test {
namespace {

bool SameImage(const Canvas& a, const Canvas& b) {
  for (int y = 0; y < a.bitmap.Height(); ++y)
    for (int x = 0; x < a.bitmap.Width(); ++x)
      if (a.At(x, y) != b.At(x, y)) return false;
  return true;
}

constexpr TGPRectF k100x50{0, 0, 100, 50};

TEST(FillPaint, TheDefaultFillIsOneVerticalGradientInLinearLightOverThePlainRectangle) {
  Canvas c(101, 51, gfx::SmoothingMode::AntiAlias);
  TGDIPFill f;
  EXPECT_EQ(f.Fill(&c.g, k100x50), k100x50);
  for (int y : {1, 12, 25, 37, 48})
    EXPECT_TRUE(Near(c.At(50, y), VerticalAt(clSilver, clGray, k100x50, y), 2)) << "row " << y;
  // In linear light the middle is lighter than the plain average of 192 and 128.
  EXPECT_GE(c.At(50, 25).R, 162);
  // Square corners and no border: the corner pixel inside is the body's colour.
  EXPECT_TRUE(Near(c.At(1, 1), VerticalAt(clSilver, clGray, k100x50, 1), 2));
  EXPECT_TRUE(Near(c.At(98, 48), VerticalAt(clSilver, clGray, k100x50, 48), 2));
}

TEST(FillPaint, ColorMirrorNoneMeansNoSplitWhateverTheOtherMirrorSettings) {
  Canvas plain(101, 51, gfx::SmoothingMode::AntiAlias), mirrored(101, 51, gfx::SmoothingMode::AntiAlias);
  TGDIPFill a, b;
  b.SetColorMirrorTo(clRed);
  b.SetGradientMirrorType(gtSolid);
  b.SetOpacityMirror(10);
  a.Fill(&plain.g, k100x50);
  b.Fill(&mirrored.g, k100x50);
  EXPECT_TRUE(SameImage(plain, mirrored));
}

// Red above, a blue-to-lime gradient below: the layers as a height of 100 splits them.
void MakeSplit(TGDIPFill& f, std::uint8_t mirrorOpacity) {
  f.SetGradientType(gtSolid);
  f.SetColor(clRed);
  f.SetColorTo(clRed);
  f.SetColorMirror(clBlue);
  f.SetColorMirrorTo(clLime);
  f.SetGradientMirrorType(gtVertical);
  f.SetOpacityMirror(mirrorOpacity);
  f.SetOpacityMirrorTo(mirrorOpacity);
}

TEST(FillPaint, TheLowerLayersFirstRowIsSolidColorMirror) {
  // Without rounding the layers leave the smoothing alone, so the rows land exactly.
  Canvas c(60, 101);
  TGDIPFill f;
  MakeSplit(f, 255);
  f.Fill(&c.g, {0, 0, 60, 100});
  const TGPRectF lower{0, 49, 60, 51};
  EXPECT_EQ(c.At(30, 48), gfx::test::kRed);
  EXPECT_EQ(c.At(30, 49), gfx::test::kBlue);  // the gradient alone would already have some green here
  EXPECT_GT(VerticalAt(clBlue, clLime, lower, 49).G, 30);
  EXPECT_TRUE(Near(c.At(30, 50), VerticalAt(clBlue, clLime, lower, 50), 2));
  EXPECT_TRUE(Near(c.At(30, 99), VerticalAt(clBlue, clLime, lower, 99), 2));
  EXPECT_EQ(c.At(30, 100).A, 0);
}

TEST(FillPaint, TheSplitLayersOverlapByTwoRows) {
  // A translucent lower layer shows where the opaque upper one lies under it: rows 0 to 50.
  Canvas c(60, 101);
  TGDIPFill f;
  MakeSplit(f, 128);
  f.Fill(&c.g, {0, 0, 60, 100});
  EXPECT_EQ(c.At(30, 48), gfx::test::kRed);
  EXPECT_EQ(c.At(30, 49).A, 255);
  EXPECT_EQ(c.At(30, 50).A, 255);
  EXPECT_GT(c.At(30, 50).R, 60);
  EXPECT_NEAR(c.At(30, 51).A, 128, 1);
  EXPECT_NEAR(c.At(30, 99).A, 128, 1);
  EXPECT_EQ(c.At(30, 51).R, 0);
}

TEST(FillPaint, WithoutABodyTheBorderAndTheGlowStillShow) {
  Canvas c(101, 61, gfx::SmoothingMode::AntiAlias);
  TGDIPFill f;
  f.SetColor(clNone);
  f.SetBorderColor(clRed);
  f.SetGlow(gmGradient);
  f.Fill(&c.g, {0, 0, 100, 60});
  EXPECT_EQ(c.At(50, 30).A, 0);                    // no body
  EXPECT_EQ(c.At(50, 0), gfx::test::kRed);         // the border's row
  EXPECT_EQ(c.At(0, 30), gfx::test::kRed);         // and column
  EXPECT_GE(c.At(50, 1).A, 200);                   // the glow's outline, white at 200 and the band
  EXPECT_TRUE(Near(c.At(50, 1).WithAlpha(255), gfx::test::kWhite, 2));
  EXPECT_GT(c.At(50, 3).A, 60);                    // the highlight band under it
  EXPECT_TRUE(Near(c.At(50, 3).WithAlpha(255), gfx::test::kWhite, 2));
  EXPECT_GT(c.At(50, 57).A, 120);                  // the shade band along the bottom
  EXPECT_LT(c.At(50, 20).A, 1);
}

TEST(FillPaint, WithoutABodyTheFocusOutlineAndThePictureStillShow) {
  Canvas c(41, 41);
  TGDIPFill f;
  f.SetColor(clNone);
  f.SetFocus(true);
  f.Picture()->LoadFromBytes(PngOf(4, 4, gfx::Color::Rgb(0, 255, 0)));
  f.SetPicturePosition(ppCenterCenter);
  f.Fill(&c.g, {0, 0, 40, 40});
  EXPECT_EQ(c.At(1, 1), gfx::test::kBlack);
  EXPECT_EQ(c.At(19, 19), gfx::Color::Rgb(0, 255, 0));  // (40 - 4) div 2 = 18 .. 21
  EXPECT_EQ(c.At(18, 18), gfx::Color::Rgb(0, 255, 0));
  EXPECT_EQ(c.At(17, 19).A, 0);
}

// The spinner's selection band: white at 40 to white at 60.
void MakeWhiteWash(TGDIPFill& f) {
  f.SetColor(clWhite);
  f.SetColorTo(clWhite);
  f.SetOpacity(40);
  f.SetOpacityTo(60);
}

TEST(FillPaint, TranslucentOpacitiesGiveAWashWhoseAlphaRunsFromStartToEnd) {
  Canvas c(101, 51, gfx::SmoothingMode::AntiAlias);
  TGDIPFill f;
  MakeWhiteWash(f);
  f.Fill(&c.g, k100x50);
  int previous = 0;
  for (int y = 1; y < 50; y += 4) {
    const gfx::Color p = c.At(50, y);
    EXPECT_TRUE(Near(p, VerticalAt(clWhite, clWhite, k100x50, y, 40, 60), 1)) << "row " << y;
    EXPECT_GE(p.A, previous);
    previous = p.A;
  }
  EXPECT_NEAR(c.At(50, 1).A, 41, 1);
  EXPECT_NEAR(c.At(50, 48).A, 59, 1);
}

TEST(FillPaint, OpacityArgumentsOverrideTheFillsOwnUnless255) {
  Canvas c(101, 51, gfx::SmoothingMode::AntiAlias);
  TGDIPFill f;
  MakeWhiteWash(f);
  f.Fill(&c.g, k100x50, 255, 100, 100);
  EXPECT_NEAR(c.At(50, 25).A, 100, 1);
}

TEST(FillPaint, TheShadowIsASoftBandAlongTheRightAndBottomAndTheBodyShrinksByItsOffset) {
  Canvas c(101, 51, gfx::SmoothingMode::AntiAlias);
  TGDIPFill f;
  f.SetColor(clRed);
  f.SetColorTo(clRed);
  f.SetShadowOffset(5);
  const TGPRectF body = f.Fill(&c.g, k100x50);
  EXPECT_EQ(body, (TGPRectF{0, 0, 95, 45}));
  EXPECT_EQ(f.FocusRect(), (TGPRectF{1, 1, 93, 43}));
  EXPECT_EQ(c.At(50, 20), gfx::test::kRed);
  EXPECT_EQ(c.At(93, 43), gfx::test::kRed);
  // In the band: from transparent black at the outline to grey at alpha 180 a tenth of the way in,
  // mixed in straight colours, so the grey darkens as it fades.
  const gfx::Color right = c.At(97, 25), bottom = c.At(50, 48), edge = c.At(99, 25);
  EXPECT_NEAR(right.R, 128.0 * right.A / 180, 4) << right;
  EXPECT_EQ(right.R, right.B);
  EXPECT_GT(right.A, 60);
  EXPECT_LT(right.A, 181);
  EXPECT_GT(bottom.A, 100);
  EXPECT_LT(edge.A, right.A);
  EXPECT_GT(c.At(97, 47).A, 0);
}

TEST(FillPaint, RoundedSplitFillRoundsOnlyTheOuterCornersOfEachLayerAndTheBorderFollowsAllFour) {
  Canvas c(101, 101, gfx::SmoothingMode::AntiAlias);
  TGDIPFill f;
  f.SetGradientType(gtSolid);
  f.SetColor(clRed);
  f.SetColorMirror(clBlue);
  f.SetColorMirrorTo(clBlue);
  f.SetRounding(10);
  f.SetBorderColor(clYellow);
  f.Fill(&c.g, {0, 0, 100, 100});
  EXPECT_EQ(c.At(1, 1).A, 0);                       // the upper layer's top corners are round
  EXPECT_EQ(c.At(98, 1).A, 0);
  EXPECT_EQ(c.At(1, 48), gfx::test::kRed);          // its bottom corners square
  EXPECT_EQ(c.At(98, 48), gfx::test::kRed);
  EXPECT_EQ(c.At(1, 51), gfx::test::kBlue);         // the lower layer's top corners square
  EXPECT_EQ(c.At(98, 51), gfx::test::kBlue);
  EXPECT_EQ(c.At(1, 98).A, 0);                      // its bottom corners round
  EXPECT_EQ(c.At(98, 98).A, 0);
  // The border's arc crosses (2.9, 2.9) and its mirror images: yellow there over either layer.
  EXPECT_GT(c.At(3, 3).G, 100);
  EXPECT_GT(c.At(97, 3).G, 100);
  EXPECT_GT(c.At(3, 97).R, 100);
  EXPECT_GT(c.At(97, 97).R, 100);
}

TEST(FillPaint, AFillOneHighIsADiagonalLineInTheBorderColourOrNothing) {
  Canvas c(80, 40, gfx::SmoothingMode::AntiAlias);
  TGDIPFill f;
  f.SetBorderColor(clRed);
  EXPECT_EQ(f.Fill(&c.g, {10, 20, 50, 1}), (TGPRectF{10, 20, 50, 1}));
  EXPECT_GT(c.At(12, 20).A, 100);
  EXPECT_GT(c.At(58, 21).A, 100);
  EXPECT_GT(c.At(35, 20).A + c.At(35, 21).A, 150);
  EXPECT_EQ(c.At(35, 25).A, 0);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 80; ++x) ASSERT_EQ(c.At(x, y).G, 0) << "no body anywhere, at " << x << ", " << y;

  Canvas none(80, 40, gfx::SmoothingMode::AntiAlias);
  TGDIPFill plain;
  plain.Fill(&none.g, {10, 20, 50, 1});
  plain.Fill(&none.g, {10, 5, 1, 30});
  EXPECT_TRUE(none.Untouched());
}

TEST(FillPaint, WithoutASurfaceNothingIsPaintedButTheRectanglesAreStillReported) {
  TGDIPFill f;
  f.SetShadowOffset(4);
  f.SetBorderWidth(2);
  EXPECT_EQ(f.Fill(nullptr, {0, 0, 40, 30}), (TGPRectF{0, 0, 36, 26}));
  EXPECT_EQ(f.FocusRect(), (TGPRectF{2, 2, 32, 22}));
}

TEST(FillPaint, TheFocusOutlineOfASquareFillWithABorderIsADottedRectangle) {
  // The spinner's fills: rounding 0, border 1, so the outline's radius would be -1.
  for (const auto& [rounding, border] : {std::pair{0, 1}, std::pair{3, 8}}) {
    Canvas c(41, 31, gfx::SmoothingMode::AntiAlias);
    TGDIPFill f;
    f.SetColor(clNone);
    f.SetRounding(rounding);
    f.SetBorderWidth(border);
    f.SetFocus(true);
    f.SetFocusColor(clBlue);
    f.Fill(&c.g, {0, 0, 40, 30});
    const int b = border;
    const std::string where = "rounding " + std::to_string(rounding) + ", border " + std::to_string(b);
    EXPECT_EQ(c.At(b, b), gfx::test::kBlue) << where;        // the square corner is drawn, aliased
    EXPECT_EQ(c.At(b + 1, b).A, 0) << where;                  // dotted
    EXPECT_EQ(c.At(b + 2, b), gfx::test::kBlue) << where;
    EXPECT_EQ(c.At(20, 15).A, 0) << where;
    int right = 0;
    for (int y = b; y <= 30 - b; ++y) right += c.At(40 - b, y).A > 0;
    EXPECT_GT(right, 3) << where;
  }
}

TEST(FillPaint, PicturesArePlacedByPositionOnTheRoundedBounds) {
  struct Row {
    TFillPicturePosition position;
    TFillPictureSize size;
    int x0, y0, x1, y1;  // the pixels the picture covers, inclusive
  };
  // The rectangle (0.5, 0, 60, 40.5) rounds (halves to even) to 0 .. 60 by 0 .. 40.
  const Row rows[] = {
      {ppTopLeft, psOriginal, 0, 0, 3, 1},       {ppTopCenter, psOriginal, 28, 0, 31, 1},
      {ppTopRight, psOriginal, 56, 0, 59, 1},    {ppBottomLeft, psOriginal, 0, 38, 3, 39},
      {ppBottomCenter, psOriginal, 28, 38, 31, 39}, {ppBottomRight, psOriginal, 56, 38, 59, 39},
      {ppCenterLeft, psOriginal, 0, 19, 3, 20},  {ppCenterCenter, psOriginal, 28, 19, 31, 20},
      {ppCenterRight, psOriginal, 56, 19, 59, 20}, {ppStretched, psOriginal, 0, 0, 59, 39},
      {ppCustom, psOriginal, 7, 9, 10, 10},      {ppTopRight, psCustom, 50, 0, 59, 5},
  };
  for (const Row& row : rows) {
    Canvas c(64, 44);
    TGDIPFill f;
    f.SetColor(clNone);
    f.Picture()->LoadFromBytes(PngOf(4, 2, gfx::Color::Rgb(0, 255, 0)));
    f.SetPicturePosition(row.position);
    f.SetPictureSize(row.size);
    f.SetPictureWidth(10);
    f.SetPictureHeight(6);
    f.SetPictureLeft(7);
    f.SetPictureTop(9);
    f.Fill(&c.g, {0.5f, 0, 60, 40.5f});
    const std::string where = enumName(row.position) + " " + enumName(row.size);
    EXPECT_EQ(c.At(row.x0, row.y0).G, 255) << where;
    EXPECT_EQ(c.At(row.x1, row.y1).G, 255) << where;
    EXPECT_EQ(c.At(row.x1 + 1, row.y1).A, 0) << where;
    EXPECT_EQ(c.At(row.x0, row.y1 + 1).A, 0) << where;
  }
  Canvas tiled(64, 44);
  TGDIPFill f;
  f.SetColor(clNone);
  f.Picture()->LoadFromBytes(PngOf(4, 2, gfx::Color::Rgb(0, 255, 0)));
  f.SetPicturePosition(ppTiled);
  f.Fill(&tiled.g, {0, 0, 60, 40});
  EXPECT_TRUE(tiled.Untouched());
}

TEST(FillPaint, ATransparentPictureLeavesOutItsColourKey) {
  gfx::Image image(2, 2);
  image.Pixels().Fill(gfx::Color::Rgb(0, 255, 0));
  image.SetPixel(0, 1, gfx::test::kWhite);  // the bottom-left pixel: the automatic key
  image.SetPixel(1, 0, gfx::test::kRed);
  for (TTransparencyMode mode : {tmAuto, tmFixed}) {
    Canvas c(10, 10);
    TGDIPFill f;
    f.SetColor(clNone);
    f.Picture()->LoadFromBytes(image.Save(gfx::ImageFormat::Png));
    f.Picture()->SetTransparent(true);
    f.Picture()->SetTransparentMode(mode);
    f.Picture()->SetTransparentColor(clRed);
    f.Fill(&c.g, {0, 0, 10, 10});
    EXPECT_EQ(c.At(0, 0), gfx::Color::Rgb(0, 255, 0));
    EXPECT_EQ(c.At(0, 1).A, mode == tmAuto ? 0 : 255) << enumName(mode);
    EXPECT_EQ(c.At(1, 0).A, mode == tmFixed ? 0 : 255) << enumName(mode);
  }
}

TEST(FillPaint, TheBackgroundPictureTilesForTextureAndIsPlacedInsideOrOutsideTheOutline) {
  gfx::Image checker(2, 2);
  checker.Pixels().Fill(gfx::test::kRed);
  checker.SetPixel(1, 0, gfx::test::kBlue);
  checker.SetPixel(0, 1, gfx::test::kBlue);
  const auto bytes = checker.Save(gfx::ImageFormat::Png);

  Canvas tiled(20, 20);
  TGDIPFill t;
  t.SetGradientType(gtTexture);
  t.SetBackGroundPicturePosition(ppTiled);
  t.BackGroundPicture()->LoadFromBytes(bytes);
  t.Fill(&tiled.g, {0, 0, 20, 20});
  EXPECT_EQ(tiled.At(6, 6), gfx::test::kRed);
  EXPECT_EQ(tiled.At(7, 6), gfx::test::kBlue);
  EXPECT_EQ(tiled.At(13, 13), gfx::test::kRed);

  // Placed at its natural size at the top left: clipped by the rounded outline inside, not outside.
  const auto corner = [&](TFillPictureMode mode) {
    Canvas c(40, 40, gfx::SmoothingMode::AntiAlias);
    TGDIPFill f;
    f.SetGradientType(gtTexture);
    f.SetBackGroundPictureMode(mode);
    f.SetRounding(10);
    gfx::Image big(12, 12);
    big.Pixels().Fill(gfx::test::kRed);
    f.BackGroundPicture()->LoadFromBytes(big.Save(gfx::ImageFormat::Png));
    f.Fill(&c.g, {0, 0, 39, 39});
    return std::pair{c.At(0, 0), c.At(11, 11)};
  };
  EXPECT_EQ(corner(pmInsideFill).first.A, 0);
  EXPECT_EQ(corner(pmInsideFill).second, gfx::test::kRed);
  EXPECT_EQ(corner(pmOutsideFill).first, gfx::test::kRed);
}

TEST(FillPaint, LayerKinds) {
  // Which colour wins at the left, top middle, right and bottom middle of a 100 x 50 fill of red
  // to blue: 'r' red, 'b' blue, '-' neither clearly.
  struct Row {
    TAdvGradientType type;
    const char* wins;  // left, top, right, bottom
  };
  const Row rows[] = {
      {gtSolid, "rrrr"}, {gtVertical, "-r-b"}, {gtHorizontal, "r-b-"},
      {gtAngle, "r-b-"},  // 0 degrees: left to right
  };
  for (const Row& row : rows) {
    Canvas c(101, 51, gfx::SmoothingMode::AntiAlias);
    TGDIPFill f;
    f.SetGradientType(row.type);
    f.SetColor(clRed);
    f.SetColorTo(clBlue);
    f.Fill(&c.g, k100x50);
    const gfx::Color samples[] = {c.At(1, 25), c.At(50, 1), c.At(98, 25), c.At(50, 48)};
    for (int i = 0; i < 4; ++i) {
      const int lead = samples[i].R - samples[i].B;
      const char won = lead > 150 ? 'r' : lead < -150 ? 'b' : '-';
      if (row.wins[i] != '-') {
        EXPECT_EQ(won, row.wins[i]) << enumName(row.type) << " sample " << i << " " << samples[i];
      }
    }
  }
  // The diagonals run corner to corner: forward from the top left, backward from the top right.
  Canvas forward(101, 51, gfx::SmoothingMode::AntiAlias), backward(101, 51, gfx::SmoothingMode::AntiAlias);
  TGDIPFill ff, bf;
  for (auto* f : {&ff, &bf}) {
    f->SetColor(clRed);
    f->SetColorTo(clBlue);
  }
  ff.SetGradientType(gtForwardDiagonal);
  bf.SetGradientType(gtBackwardDiagonal);
  ff.Fill(&forward.g, k100x50);
  bf.Fill(&backward.g, k100x50);
  EXPECT_GT(forward.At(1, 1).R, 240);
  EXPECT_GT(forward.At(98, 48).B, 240);
  EXPECT_GT(backward.At(98, 1).R, 240);
  EXPECT_GT(backward.At(1, 48).B, 240);
  // No body for these kinds.
  for (TAdvGradientType type : {gtPath, gtNone, gtTexture}) {
    Canvas c(101, 51, gfx::SmoothingMode::AntiAlias);
    TGDIPFill f;
    f.SetGradientType(type);
    f.Fill(&c.g, k100x50);
    EXPECT_TRUE(c.Untouched()) << enumName(type);
  }
}

TEST(FillPaint, ColorToNonePaintsSolidColor) {
  Canvas c(101, 51, gfx::SmoothingMode::AntiAlias);
  TGDIPFill f;
  f.SetColorTo(clNone);
  f.Fill(&c.g, k100x50);
  EXPECT_EQ(c.At(50, 2), Opaque(clSilver));
  EXPECT_EQ(c.At(50, 47), Opaque(clSilver));
}

TEST(FillPaint, AHatchIsOnlyItsTwoColours) {
  Canvas c(40, 40);
  TGDIPFill f;
  f.SetGradientType(gtHatch);
  f.SetHatchStyle(gfx::HatchStyle::Cross);
  f.SetColor(clRed);
  f.SetColorTo(clBlue);
  f.SetColorMirror(clLime);  // a hatch stays one layer
  f.Fill(&c.g, {0, 0, 40, 40});
  int reds = 0, blues = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      const gfx::Color p = c.At(x, y);
      reds += p == gfx::test::kRed;
      blues += p == gfx::test::kBlue;
    }
  EXPECT_EQ(reds + blues, 1600);
  EXPECT_GT(reds, 100);
  EXPECT_GT(blues, 100);
}

TEST(FillPaint, ARadialLayerIsColorWithAColorToGlowRisingFromTheTopEdge) {
  Canvas c(101, 51, gfx::SmoothingMode::AntiAlias);
  TGDIPFill f;
  f.SetGradientType(gtRadial);
  f.SetColor(clRed);
  f.SetColorTo(clBlue);
  f.Fill(&c.g, k100x50);
  const gfx::Color top = c.At(50, 1), corner = c.At(2, 47), middle = c.At(50, 30);
  EXPECT_GT(top.B, 200) << top;
  EXPECT_EQ(corner, gfx::test::kRed);
  EXPECT_GT(middle.R, 40) << middle;
  EXPECT_GT(middle.B, 40) << middle;
}

TEST(FillPaint, ARadialLowerLayerGlowsFromTheBottomEdge) {
  Canvas c(101, 101, gfx::SmoothingMode::AntiAlias);
  TGDIPFill f;
  f.SetGradientType(gtSolid);
  f.SetColor(clBlack);
  f.SetColorMirror(clRed);
  f.SetColorMirrorTo(clBlue);
  f.SetGradientMirrorType(gtRadial);
  f.Fill(&c.g, {0, 0, 100, 100});
  EXPECT_EQ(c.At(50, 20), gfx::test::kBlack);
  EXPECT_GT(c.At(50, 98).R, 200);     // ColorMirror rises from the bottom edge
  EXPECT_EQ(c.At(2, 52), gfx::test::kBlue);  // on ColorMirrorTo
}

TEST(FillPaint, ARadialGlowBrightensTheBodyTowardsItsBottomMiddle) {
  Canvas c(101, 51, gfx::SmoothingMode::AntiAlias);
  TGDIPFill f;
  f.SetColor(clBlack);
  f.SetColorTo(clBlack);
  f.SetGlow(gmRadial);
  f.Fill(&c.g, k100x50);
  EXPECT_GT(c.At(50, 45).R, 80);
  EXPECT_EQ(c.At(3, 25), gfx::test::kBlack);  // outside the glow's ellipse
}

}  // namespace
}  // namespace sib::test
