// The spinner's painting, sampled on an image surface: the columns' fills and hover fill, the item
// texts, the selected band over "Pink Noise" and the fade layers. The window's spinner is also
// written as a PNG to the build folder for a person to look at.
#include <fstream>

#include "platform/graphics/image.h"
#include "tests/controls/fill_fixtures.h"
#include "tests/controls/spinner_fixture.h"

namespace sib::test {
namespace {

// The spinner painted alone on a transparent image of its size.
gfx::Image Render(TAdvSmoothSpinner& sp) {
  gfx::Image image(sp.Width(), sp.Height());
  gfx::Graphics g(image.Pixels());
  sp.PaintTo(g);
  return image;
}

bool Dark(gfx::Color c) { return c.A > 200 && c.R < 90 && c.G < 90 && c.B < 90; }

struct Box {
  int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1, count = 0;
};

// The bounds of the dark (text) pixels within x0..x1, y0..y1.
Box DarkPixels(const gfx::Image& image, int x0, int y0, int x1, int y1) {
  Box b;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (Dark(image.GetPixel(x, y))) {
        b.left = std::min(b.left, x);
        b.right = std::max(b.right, x);
        b.top = std::min(b.top, y);
        b.bottom = std::max(b.bottom, y);
        ++b.count;
      }
  return b;
}

int Brightness(gfx::Color c) { return (c.R + c.G + c.B) / 3; }

TEST_F(SpinnerTest, PinkNoiseSitsCentredOnTheSelectedBand) {
  const gfx::Image image = Render(*sp);
  // Between the band's borders (rows 41 and 71) and clear of the column's border.
  const Box text = DarkPixels(image, 18, 43, 189, 69);
  ASSERT_GT(text.count, 100) << "the item's text is drawn on the band";
  EXPECT_NEAR((text.left + text.right) / 2.0, 103.5, 3) << "centred in the column";
  EXPECT_NEAR((text.top + text.bottom) / 2.0, 56, 4) << "centred on the band";

  // The band is a translucent white wash (alpha 40 to 60) with a silver border: seen over a black
  // column, its red channel is its alpha.
  TGDIPFill& columnFill = *sp->ColumnAppearance()->Fill();
  columnFill.SetColor(clBlack);
  columnFill.SetColorTo(clBlack);
  columnFill.SetColorMirror(clNone);
  const gfx::Image band = Render(*sp);
  for (int y : {44, 56, 68}) EXPECT_NEAR(band.GetPixel(20, y).R, 50, 15) << "row " << y;
  EXPECT_LT(band.GetPixel(20, 44).R, band.GetPixel(20, 68).R + 1) << "from 40 at the top to 60 at the bottom";
  EXPECT_LT(band.GetPixel(20, 38).R, 3) << "nothing of the band above it";
  sp->SelectedFill()->SetColor(clNone);
  sp->SelectedFill()->SetBorderColor(clNone);
  const gfx::Image bare = Render(*sp);
  EXPECT_LT(bare.GetPixel(20, 56).R, 3) << "without the band the column is black there";
  EXPECT_TRUE(Near(image.GetPixel(20, 41), Opaque(clSilver), 40)) << "the band's top border";
}

TEST_F(SpinnerTest, TheFadeLayersDarkenTheTopAndBottomEdgesOnly) {
  const gfx::Image image = Render(*sp);
  sp->TopLayerFill()->SetColor(clNone);
  sp->BottomLayerFill()->SetColor(clNone);
  const gfx::Image bare = Render(*sp);
  // The top layer runs from opaque black at y 0 to transparent at y 36; the bottom one from
  // transparent at y 79 to opaque black at the last row.
  EXPECT_LT(Brightness(image.GetPixel(20, 2)), Brightness(bare.GetPixel(20, 2)) - 60);
  EXPECT_LT(Brightness(image.GetPixel(20, 112)), Brightness(bare.GetPixel(20, 112)) - 40);
  EXPECT_LT(Brightness(image.GetPixel(20, 18)), Brightness(bare.GetPixel(20, 18)) - 5) << "half way: fading";
  EXPECT_GT(Brightness(image.GetPixel(20, 18)), Brightness(image.GetPixel(20, 2)) + 40) << "lighter towards the band";
  for (int y : {38, 56, 76}) EXPECT_TRUE(Near(image.GetPixel(20, y), bare.GetPixel(20, y), 1)) << "row " << y;
  // The neighbouring items are drawn under the layers.
  EXPECT_GT(DarkPixels(bare, 18, 4, 189, 30).count, 50) << "Brown Noise above the band";
  EXPECT_GT(DarkPixels(bare, 18, 82, 189, 110).count, 50) << "White Noise below the band";
}

TEST_F(SpinnerTest, TheHoveredColumnIsPaintedWithTheHoverFill) {
  const gfx::Color plain = Render(*sp).GetPixel(20, 38);
  EXPECT_LT(std::abs(plain.R - plain.B), 8) << "silver to white: grey";
  sp->MouseMove({}, 100, 56);
  ASSERT_EQ(sp->HoveredColumn(), 0);
  const gfx::Color hovered = Render(*sp).GetPixel(20, 38);
  EXPECT_GT(hovered.R - hovered.B, 40) << "pale to golden yellow";
  sp->ColumnAppearance()->SetAllowHovering(false);
  EXPECT_TRUE(Near(Render(*sp).GetPixel(20, 38), plain, 0));
  sp->ColumnAppearance()->SetAllowHovering(true);
  column().SetEnabled(false);
  const gfx::Color disabled = Render(*sp).GetPixel(20, 38);
  EXPECT_LT(std::abs(disabled.R - disabled.B), 8) << "the disabled fill is grey";
}

TEST_F(SpinnerTest, TheDrumScrollsTheTextsAndACustomColumnWithoutItemsShowsItsBackgroundOnly) {
  column().SetSelectedValue(2);
  EXPECT_GT(DarkPixels(Render(*sp), 18, 43, 189, 69).count, 100) << "White Noise on the band";
  for (const bool cyclic : {false, true}) {
    column().SetCyclic(cyclic);
    column().CustomItems()->Clear();
    const gfx::Image empty = Render(*sp);
    EXPECT_EQ(DarkPixels(empty, 18, 37, 189, 77).count, 0) << (cyclic ? "cyclic" : "not cyclic");
  }
}

TEST_F(SpinnerTest, PaintingChangesNoState) {
  sp->SetFocus();
  sp->MouseMove({}, 100, 56);
  const bool fillFocus = sp->ColumnAppearance()->HoverFill()->Focus();
  const int pos = column().CurrentScPos();
  int changes = 0;
  sp->ColumnAppearance()->OnChange = TNotifyEvent([&](TObject*) { ++changes; });
  Render(*sp);
  EXPECT_EQ(sp->ColumnAppearance()->HoverFill()->Focus(), fillFocus);
  EXPECT_EQ(column().CurrentScPos(), pos);
  EXPECT_EQ(changes, 0);
}

TEST_F(SpinnerTest, TheWindowSpinnerIsWrittenAsAPng) {
  const gfx::Image image = Render(*sp);
  const std::vector<std::uint8_t> png = image.Save(gfx::ImageFormat::Png);
  std::ofstream(std::string(SIB_TEST_OUTPUT_DIR) + "/spinner_window.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  sp->MouseMove({}, 100, 56);
  sp->DoMouseWheel({}, -120, {100, 56});
  for (int i = 0; i < 4; ++i) sp->Animate();
  const std::vector<std::uint8_t> moving = Render(*sp).Save(gfx::ImageFormat::Png);
  std::ofstream(std::string(SIB_TEST_OUTPUT_DIR) + "/spinner_window_gliding.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(moving.data()), static_cast<std::streamsize>(moving.size()));
  EXPECT_GT(png.size(), 1000u);
}

}  // namespace
}  // namespace sib::test
