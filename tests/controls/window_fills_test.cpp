// The main window's own fills, with their stored values, painted at their controls' sizes and
// written as PNG files into the build folder (window_fill_*.png) for a person to look at. The
// spinner and track bar pictures lay their several fills out roughly as the controls do; the
// controls' own geometry is theirs to test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/controls/fill_fixtures.h"

namespace sib::test {
namespace {

constexpr TColor kPanelBottom = 6049827;  // red 35, green 80, blue 92

void Save(const Canvas& c, const char* name) {
  const std::filesystem::path path = std::filesystem::path(SIB_TEST_OUTPUT_DIR) / name;
  std::ofstream file(path, std::ios::binary);
  gfx::Image::FromBitmap(c.bitmap).Save(file, gfx::ImageFormat::Png);
  ASSERT_TRUE(file.good()) << path;
}

void NoMirror(TGDIPFill& f) {
  f.SetColorMirror(clNone);
  f.SetColorMirrorTo(clNone);
  f.SetRounding(0);
  f.SetShadowOffset(0);
}

TEST(WindowFills, Panel) {
  Canvas c(471, 413, gfx::SmoothingMode::AntiAlias);
  TGDIPFill f;
  NoMirror(f);
  f.SetColor(clBlack);
  f.SetColorTo(kPanelBottom);
  f.SetGradientMirrorType(gtVertical);
  f.SetBorderColor(clYellow);
  f.SetRounding(10);
  f.Fill(&c.g, {0, 0, 470, 412});
  Save(c, "window_fill_panel.png");
  EXPECT_EQ(c.At(235, 0), Opaque(clYellow));
  EXPECT_EQ(c.At(0, 206), Opaque(clYellow));
  EXPECT_EQ(c.At(0, 0).A, 0);  // outside the rounded corner
  EXPECT_TRUE(Near(c.At(235, 2), VerticalAt(clBlack, kPanelBottom, {0, 0, 470, 412}, 2), 2));
  EXPECT_TRUE(Near(c.At(235, 410), VerticalAt(clBlack, kPanelBottom, {0, 0, 470, 412}, 410), 2));
}

TEST(WindowFills, Readout) {
  Canvas c(107, 36, gfx::SmoothingMode::AntiAlias);
  TGDIPFill f;
  NoMirror(f);
  f.SetColor(clBlack);
  f.SetColorTo(clBlack);
  f.SetBorderColor(clGray);
  f.SetBorderWidth(2);
  f.Fill(&c.g, {0, 0, 106, 35});
  Save(c, "window_fill_readout.png");
  EXPECT_EQ(c.At(53, 0), Opaque(clGray));
  EXPECT_EQ(c.At(53, 17), gfx::test::kBlack);
  EXPECT_EQ(f.FocusRect(), (TGPRectF{2, 2, 102, 31}));
}

TEST(WindowFills, Spinner) {
  Canvas c(208, 116, gfx::SmoothingMode::AntiAlias);
  TGDIPFill background, column, selected, top, bottom;
  for (TGDIPFill* f : {&background, &column, &selected, &top, &bottom}) NoMirror(*f);
  background.SetColor(clBlack);
  background.SetColorMirror(clGray);
  background.SetColorMirrorTo(clBlack);
  background.SetGradientMirrorType(gtVertical);
  background.SetBorderColor(clGray);
  column.SetColorTo(clWhite);
  column.SetColorMirror(clWhite);
  column.SetColorMirrorTo(clSilver);
  column.SetGradientMirrorType(gtVertical);
  column.SetBorderColor(clBlack);
  selected.SetColor(clWhite);
  selected.SetColorTo(clWhite);
  selected.SetOpacity(40);
  selected.SetOpacityTo(60);
  selected.SetBorderColor(clSilver);
  top.SetColor(clBlack);
  top.SetColorTo(clWhite);
  top.SetOpacityTo(0);
  bottom.SetColor(clWhite);
  bottom.SetColorTo(clBlack);
  bottom.SetOpacity(0);

  background.Fill(&c.g, {0, 0, 207, 115});
  column.Fill(&c.g, {15, 4, 177, 107});
  selected.Fill(&c.g, {15, 40, 177, 36});
  top.Fill(&c.g, {0, 0, 207, 36});
  bottom.Fill(&c.g, {0, 78, 207, 37});
  Save(c, "window_fill_spinner.png");
  EXPECT_EQ(c.At(15, 77), gfx::test::kBlack);  // the column's border
  EXPECT_EQ(c.At(100, 40), Opaque(clSilver));  // the selection band's border
  EXPECT_GT(c.At(100, 58).R, 200);            // the band over the column's light middle
}

TEST(WindowFills, TrackBar) {
  Canvas c(358, 29, gfx::SmoothingMode::AntiAlias);
  TGDIPFill background, progress, thumb;
  for (TGDIPFill* f : {&background, &progress, &thumb}) NoMirror(*f);
  background.SetColor(clBlack);
  background.SetColorTo(clBlack);
  background.SetBorderColor(clBlack);
  progress.SetColor(4313338);
  progress.SetColorTo(13209);
  progress.SetGradientType(gtHorizontal);
  progress.SetGradientMirrorType(gtVertical);
  progress.SetBorderColor(clBlack);
  thumb.SetColor(clGray);
  thumb.SetColorTo(clBlack);
  thumb.SetGradientType(gtForwardDiagonal);
  thumb.SetBorderColor(clGray);
  thumb.SetRounding(10);

  background.Fill(&c.g, {0, 0, 357, 28});
  progress.Fill(&c.g, {1, 1, 178, 26});
  thumb.Fill(&c.g, {157, 0, 44, 28});
  Save(c, "window_fill_track_bar.png");
  EXPECT_GT(c.At(3, 14).R, 240);   // amber at the start of the bar
  EXPECT_GT(c.At(3, 14).G, 190);
  EXPECT_EQ(c.At(157, 14), Opaque(clGray));  // the thumb's border, over the bar
  EXPECT_EQ(c.At(300, 14), gfx::test::kBlack);
}

}  // namespace
}  // namespace sib::test
