// The face of the smooth button, sampled in its cached image: the window's button geometry, the
// pressed and disabled colours, the caption and its accelerator, the badge. The window's start
// button is also written to smooth_button_start.png in the build folder for a person to look at.
#include <cmath>
#include <filesystem>
#include <fstream>

#include "platform/graphics/image.h"
#include "platform/ui/canvas.h"
#include "tests/controls/smooth_button_fixture.h"

namespace sib::test {
namespace {

class SmoothButtonPaint : public ::testing::Test {
 protected:
  TComponentPtr<TAdvSmoothButton> b = MakeComponent<TAdvSmoothButton>();
  void SetUp() override { SetUpWindowButton(*b); }
  // The face alone: no bevel, no caption.
  void PlainFace() {
    b->SetBevel(false);
    b->SetCaption("");
  }
  void Press() {
    b->MouseEnter();
    b->MouseDown(mbLeft, {}, 10, 10);
  }
};

TEST(SmoothButtonColors, PressedFaceIsTheColourDarkenedInValue) {
  struct Row {
    TColor color, pressed;
  } rows[] = {
      {clSilver, RGB(154, 154, 154)},
      {11788021, RGB(196, 178, 143)},
      {2258854, RGB(133, 95, 27)},
      {clBlack, clBlack},
      {clWhite, RGB(204, 204, 204)},
  };
  for (const Row& row : rows) EXPECT_EQ(PressedColor(row.color), row.pressed) << "colour " << row.color;
  EXPECT_EQ(ShiftColor(clSilver, -40), RGB(152, 152, 152));
  EXPECT_EQ(ShiftColor(clSilver, 100), clWhite) << "channels clamp";
  EXPECT_THROW(HSVtoRGB(THSV{.H = 10, .HueDefined = true, .S = 0, .V = 100}), EColorError);
}

TEST_F(SmoothButtonPaint, WindowButtonOutlineFollowsTheGlossRectangleAndTheUnderBand) {
  PlainFace();
  const gfx::Bitmap& f = Face(*b);
  ASSERT_EQ(f.Width(), 182);
  ASSERT_EQ(f.Height(), 41);
  EXPECT_EQ(f.GetPixel(0, 0).A, 0) << "rounded corner";
  EXPECT_EQ(f.GetPixel(90, 20).A, 255);
  // The parts' edges lie on pixel centres: top y = 0, bottom y = 40, right x = 181, left x = 0.
  EXPECT_NEAR(f.GetPixel(90, 0).A, 128, 20);
  EXPECT_NEAR(f.GetPixel(90, 40).A, 128, 20);
  EXPECT_NEAR(f.GetPixel(181, 30).A, 128, 20);
  EXPECT_NEAR(f.GetPixel(0, 30).A, 128, 20);
  EXPECT_EQ(f.GetPixel(180, 30).A, 255);
  // In the left column the under-band (0, 14, 181, 12) adds its half pixel to the part's: alpha 3/4
  // in rows 15 to 25, its bottom edge on the centre of row 26, nothing below.
  for (int y = 15; y <= 25; ++y) EXPECT_NEAR(f.GetPixel(0, y).A, 192, 3) << "row " << y;
  EXPECT_NEAR(f.GetPixel(0, 26).A, 160, 3);
  EXPECT_NEAR(f.GetPixel(0, 27).A, 128, 3);
  EXPECT_NEAR(f.GetPixel(0, 12).A, 128, 3) << "above the seam's end at y = 14";
}

TEST_F(SmoothButtonPaint, UnderBandAtSilverIs152) {
  PlainFace();
  const gfx::Bitmap& f = Face(*b);
  // Column 0 is half band under half lower part, (2 part + band) / 3 in straight colour; column 1
  // is the lower part alone.
  for (int y = 16; y <= 24; y += 4) {
    const int band = 3 * f.GetPixel(0, y).R - 2 * f.GetPixel(1, y).R;
    EXPECT_NEAR(band, 152, 10) << "row " << y;
  }
}

TEST_F(SmoothButtonPaint, SeamIsTheArcOfTheCircleThroughTheGlossSides) {
  PlainFace();
  b->SetColor(RGB(100, 100, 100));
  const gfx::Bitmap& f = Face(*b);
  // Circle box (-596, -1352, 1372, 1372): centre (90, -666), radius 686; the seam ends at y = 14.
  for (int x : {3, 15, 30, 150, 165, 178}) {
    const double seamY = -666 + std::sqrt(686.0 * 686.0 - (x - 90.0) * (x - 90.0));
    const int above = static_cast<int>(std::floor(seamY - 0.5)), below = static_cast<int>(std::ceil(seamY + 0.5));
    EXPECT_GE(f.GetPixel(x, above).R - f.GetPixel(x, below).R, 15)
        << "the bright upper part ends on the seam at x " << x << " (y " << seamY << ")";
  }
  EXPECT_GT(f.GetPixel(90, 1).R, 210) << "the upper part starts at f + 220";
  EXPECT_GT(f.GetPixel(90, 39).R, 210) << "the lower part ends at f + 220";
}

TEST_F(SmoothButtonPaint, BevelIsATwoPixelRingInsideTheFace) {
  PlainFace();
  const gfx::Bitmap plain = Face(*b);
  b->SetBevel(true);
  const gfx::Bitmap& ring = Face(*b);
  // Between (0, 1)-(181, 40) and (2, 3)-(179, 38), black at alpha 160.
  for (auto [x, y] : {std::pair{1, 20}, {180, 20}, {90, 2}, {90, 39}}) {
    const double expected = plain.GetPixel(x, y).R * (1 - 160.0 / 255);
    EXPECT_NEAR(ring.GetPixel(x, y).R, expected, 12) << x << "," << y;
  }
  for (auto [x, y] : {std::pair{4, 20}, {177, 20}, {90, 5}, {90, 36}})
    EXPECT_TRUE(Near(ring.GetPixel(x, y), plain.GetPixel(x, y), 2)) << x << "," << y;
}

TEST_F(SmoothButtonPaint, CaptionIsCentredInItsBoxAndMovesDownWhilePressed) {
  b->SetBevel(false);
  const InkBox up = FindInk(Face(*b), 3, 3, 178, 37);
  ASSERT_GT(up.Count, 50);
  // Drawn in (4, ty, 174, th), centred: its middle on x = 91 and y = 20.5.
  EXPECT_NEAR((up.Left + up.Right) / 2.0, 91, 3);
  EXPECT_NEAR((up.Top + up.Bottom) / 2.0, 20.5, 3);
  Press();
  ASSERT_TRUE(b->ShowsPressed());
  const InkBox down = FindInk(Face(*b), 3, 3, 178, 37);
  EXPECT_EQ(down.Top, up.Top + 1);
  EXPECT_EQ(down.Bottom, up.Bottom + 1);
  EXPECT_NEAR(down.Left, up.Left, 1) << "the drawing box does not move sideways";
}

// On a display of two device pixels per client pixel the face is made at that resolution and reaches
// the screen pixel for pixel, never enlarged from the face of one pixel per pixel.
TEST_F(SmoothButtonPaint, AtTwiceTheScaleTheFaceIsMadeAtDeviceResolutionAndDrawnOneToOne) {
  struct TPaintable : TAdvSmoothButton {
    using TAdvSmoothButton::TAdvSmoothButton;
    using TAdvSmoothButton::Paint;
  };
  TComponentPtr<TPaintable> button = MakeComponent<TPaintable>();
  SetUpWindowButton(*button);
  const InkBox single = FindInk(Face(*button), 3, 3, 178, 37);
  gfx::Image screen(364, 82);
  {
    gfx::Graphics g(screen.Pixels());
    TCanvas canvas(g, 2.0, {0, 0}, {0, 0, 182, 41});
    button->Paint(canvas);
  }
  const gfx::Bitmap& face = button->Cache();
  ASSERT_EQ(face.Width(), 364);
  ASSERT_EQ(face.Height(), 82);
  int different = 0;
  for (int y = 0; y < 82; ++y)
    for (int x = 0; x < 364; ++x) different += screen.Pixels().GetPixel(x, y) == face.GetPixel(x, y) ? 0 : 1;
  EXPECT_EQ(different, 0);
  const InkBox twice = FindInk(face, 6, 6, 357, 75);
  EXPECT_NEAR(twice.Right - twice.Left, 2 * (single.Right - single.Left), 4);
  EXPECT_NEAR(twice.Bottom - twice.Top, 2 * (single.Bottom - single.Top), 4);
}

TEST_F(SmoothButtonPaint, PressedFaceUsesTheDarkenedColour) {
  PlainFace();
  b->SetColor(2258854);
  const gfx::Bitmap up = Face(*b);
  Press();
  const gfx::Bitmap& down = Face(*b);
  TComponentPtr<TAdvSmoothButton> same = MakeComponent<TAdvSmoothButton>();
  SetUpWindowButton(*same);
  same->SetBevel(false);
  same->SetCaption("");
  same->SetColor(RGB(133, 95, 27));
  EXPECT_TRUE(Near(down.GetPixel(90, 19), Face(*same).GetPixel(90, 19), 1));
  EXPECT_FALSE(Near(down.GetPixel(90, 19), up.GetPixel(90, 19), 10));
}

TEST_F(SmoothButtonPaint, DisabledFaceIsGrey80WhateverTheColour) {
  PlainFace();
  b->SetColor(clRed);
  b->SetEnabled(false);
  TComponentPtr<TAdvSmoothButton> grey = MakeComponent<TAdvSmoothButton>();
  SetUpWindowButton(*grey);
  grey->SetBevel(false);
  grey->SetCaption("");
  grey->SetColor(RGB(80, 80, 80));
  for (auto [x, y] : {std::pair{90, 5}, {90, 19}, {90, 30}, {5, 20}})
    EXPECT_TRUE(Near(Face(*b).GetPixel(x, y), Face(*grey).GetPixel(x, y), 1)) << x << "," << y;
  b->MouseEnter();
  b->MouseDown(mbLeft, {}, 10, 10);
  EXPECT_FALSE(b->Down()) << "a disabled button does not go down";
}

TEST_F(SmoothButtonPaint, AmpersandMarksTheAcceleratorAndIsNotDrawn) {
  b->SetBevel(false);
  b->SetCaption("Start");
  const InkBox plain = FindInk(Face(*b), 3, 3, 178, 37);
  b->SetCaption("&Start");
  EXPECT_EQ(b->Accelerator(), U's');
  const InkBox marked = FindInk(Face(*b), 3, 3, 178, 37);
  EXPECT_NEAR(marked.Left, plain.Left, 1) << "the '&' takes no room";
  EXPECT_NEAR(marked.Right, plain.Right, 1);
  EXPECT_GT(marked.Count, plain.Count) << "the S is underlined";
  EXPECT_GE(marked.Bottom, plain.Bottom);
  b->SetCaption("Start");
  EXPECT_EQ(b->Accelerator(), 0u);
}

TEST_F(SmoothButtonPaint, BadgeShowsOnlyWithACaptionOrPictureAndInsetsTheFace) {
  const gfx::Bitmap hidden = Face(*b);
  b->Status()->SetVisible(true);
  b->Status()->SetCaption("");
  EXPECT_FALSE(b->Status()->Shows());
  const gfx::Bitmap& empty = Face(*b);
  for (auto [x, y] : {std::pair{1, 20}, {90, 1}, {180, 20}})
    EXPECT_TRUE(Near(empty.GetPixel(x, y), hidden.GetPixel(x, y), 0)) << "no inset at " << x << "," << y;
  b->Status()->SetCaption("0");
  EXPECT_TRUE(b->Status()->Shows());
  const gfx::Bitmap& shown = Face(*b);
  EXPECT_EQ(shown.GetPixel(2, 20).A, 0) << "the face is inset by 5";
  const int w = b->Status()->Appearance()->GetWidth(), h = b->Status()->Appearance()->GetHeight();
  ASSERT_GT(w, 0);
  const gfx::Color badge = shown.GetPixel(182 - w / 2, h - 2);
  EXPECT_GT(badge.R, 150) << "red pill in the top-right corner";
  EXPECT_LT(badge.G, 120);
}

TEST_F(SmoothButtonPaint, WindowStartButtonIsWrittenForALook) {
  Press();
  gfx::Bitmap both(222, 110);
  {
    gfx::Graphics g(both);
    g.Clear(gfx::Color::Rgb(240, 240, 240));
    TComponentPtr<TAdvSmoothButton> up = MakeComponent<TAdvSmoothButton>();
    SetUpWindowButton(*up);
    g.DrawImage(Face(*up), gfx::PointF{20, 10});
    g.DrawImage(Face(*b), gfx::PointF{20, 60});  // pressed
  }
  const auto path = std::filesystem::path(SIB_TEST_OUTPUT_DIR) / "smooth_button_start.png";
  std::ofstream file(path, std::ios::binary);
  gfx::Image::FromBitmap(both).Save(file, gfx::ImageFormat::Png);
  EXPECT_TRUE(file.good());
}

}  // namespace
}  // namespace sib::test
