// The smooth panel on a headless form: its cached fill and caption, read back from the window's pixels.
#include <fstream>
#include <sstream>

#include "controls/gdip_picture_container.h"
#include "platform/components/ini_file.h"
#include "tests/controls/smooth_fixture.h"

namespace sib::test {
namespace {

class SmoothPanelTest : public SmoothFormTest {
 protected:
  TAdvSmoothPanel& addPanel(int width, int height) {
    panel = NewComponent<TAdvSmoothPanel>(*form);
    panel->SetParent(form.get());
    panel->SetBounds(0, 0, width, height);
    return *panel;
  }
  TAdvSmoothPanel* panel = nullptr;
};

TEST_F(SmoothPanelTest, NewPanelDefaults) {
  makeForm(300, 200, clSilver);
  TAdvSmoothPanel& p = addPanel(256, 128);
  auto fresh = MakeComponent<TAdvSmoothPanel>();
  EXPECT_EQ(fresh->Width(), 256);
  EXPECT_EQ(fresh->Height(), 128);
  EXPECT_TRUE(p.Transparent());
  EXPECT_EQ(p.Version(), "1.0.9.3");
  p.SetVersion("9");
  EXPECT_EQ(p.Version(), "1.0.9.3");
  EXPECT_EQ(p.Caption()->Location(), plTopLeft);
  EXPECT_EQ(p.Caption()->Font()->Name(), "Tahoma");
  EXPECT_EQ(p.Caption()->Font()->Size(), 12);
  EXPECT_EQ(p.Caption()->HTMLLocation(), plCenterCenter);
  EXPECT_EQ(p.Caption()->TextRendering(), tAntiAliasGridFit);
  EXPECT_TRUE(p.ControlStyle().Contains(csAcceptsControls));
}

TEST_F(SmoothPanelTest, WindowPanelShowsRoundedGradientWithYellowOutlineOverSilver) {
  makeForm(471, 413, clSilver);
  TAdvSmoothPanel& p = addPanel(471, 413);
  p.SetAlign(alClient);
  MakeWindowPanel(p);
  show();

  const Rgb silver = rgbOf(clSilver), yellow = rgbOf(clYellow);
  // Outside the radius-10 corners the form shows.
  for (auto [x, y] : {std::pair{0, 0}, {2, 2}, {470, 0}, {468, 2}, {0, 412}, {2, 410}, {470, 412}, {468, 410}})
    EXPECT_EQ(at(x, y), silver) << x << "," << y;
  // The outline: one yellow pixel along each straight edge, the last column and row included.
  for (auto [x, y] : {std::pair{235, 0}, {0, 206}, {470, 206}, {235, 412}, {100, 0}, {470, 300}})
    EXPECT_TRUE(near(at(x, y), yellow, 8)) << x << "," << y;
  // Inside: black at the top to 6049827 at the bottom, with no caption in the caption's corner.
  EXPECT_TRUE(near(at(235, 1), rgbOf(clBlack), 10)) << ::testing::PrintToString(at(235, 1));
  EXPECT_TRUE(near(at(235, 411), rgbOf(TColor{6049827}), 10)) << ::testing::PrintToString(at(235, 411));
  for (int y = 20; y < 400; y += 20) EXPECT_GE(at(235, y).B, at(235, y - 20).B) << "darker towards the top, at " << y;
  EXPECT_TRUE(near(at(20, 206), at(450, 206), 1)) << "a vertical gradient";
  EXPECT_TRUE(inkIn(TRect{11, 1, 460, 2}, at(11, 1)).Empty()) << "no caption line or text at the top";
}

TEST_F(SmoothPanelTest, WindowPanelWithItsLabelsRendersToPng) {
  makeForm(471, 413, clSilver);
  TAdvSmoothPanel& p = addPanel(471, 413);
  p.SetAlign(alClient);
  MakeWindowPanel(p);
  auto* l1 = NewComponent<TAdvSmoothLabel>(*form);
  l1->SetParent(&p);
  l1->SetBounds(160, 167, 151, 25);
  MakeWindowLabel(*l1, "Select Noise Type");
  auto* l2 = NewComponent<TAdvSmoothLabel>(*form);
  l2->SetParent(&p);
  l2->SetBounds(160, 273, 151, 25);
  MakeWindowLabel(*l2, "Set Level");
  show();
  const std::filesystem::path png = saveScreen("smooth_window_panel.png");
  EXPECT_GT(std::filesystem::file_size(png), 1000u);
  EXPECT_FALSE(inkIn(TRect{160, 167, 311, 192}, at(160, 167)).Empty());
  EXPECT_FALSE(inkIn(TRect{160, 273, 311, 298}, at(160, 273)).Empty());
}

TEST_F(SmoothPanelTest, CacheIsRedrawnOnlyAfterChanged) {
  makeForm(200, 100, clSilver);
  TAdvSmoothPanel& p = addPanel(200, 100);
  p.Fill()->SetGradientType(gtSolid);
  p.Fill()->SetColor(clBlue);
  show();
  ASSERT_EQ(p.CacheRedraws(), 1u);
  EXPECT_EQ(at(100, 50), rgbOf(clBlue));

  p.Invalidate();
  form->Update();
  EXPECT_EQ(p.CacheRedraws(), 1u) << "a plain repaint blends the cache";
  EXPECT_EQ(at(100, 50), rgbOf(clBlue));

  p.Fill()->SetColor(clRed);  // the fill's change calls Changed
  form->Update();
  EXPECT_EQ(p.CacheRedraws(), 2u);
  EXPECT_EQ(at(100, 50), rgbOf(clRed));

  p.Caption()->SetText("A");
  form->Update();
  EXPECT_EQ(p.CacheRedraws(), 3u);

  p.SetBounds(0, 0, 150, 80);  // a resize
  form->Update();
  EXPECT_EQ(p.CacheRedraws(), 4u);
  EXPECT_EQ(p.Cache().Width(), 150);
  EXPECT_EQ(at(175, 50), rgbOf(clSilver));
}

// With a border the fill stays inside (0, 0, W - 1, H - 1); without one it paints one pixel beyond
// every edge, so its edge pixels are fully covered.
TEST_F(SmoothPanelTest, FillRectangleFollowsTheBorder) {
  struct Case {
    TColor border;
    int borderWidth;
    Rgb lastColumn;
  };
  for (const Case& c : {Case{clLime, 1, rgbOf(clLime)}, Case{clNone, 1, rgbOf(clRed)}, Case{clLime, 0, rgbOf(clRed)}}) {
    makeForm(120, 60, clSilver);
    TAdvSmoothPanel& p = addPanel(100, 50);
    p.Fill()->SetGradientType(gtSolid);
    p.Fill()->SetColor(clRed);
    p.Fill()->SetBorderColor(c.border);
    p.Fill()->SetBorderWidth(c.borderWidth);
    show();
    EXPECT_EQ(at(99, 25), c.lastColumn) << c.border << " " << c.borderWidth;
    EXPECT_EQ(at(50, 49), c.lastColumn) << c.border << " " << c.borderWidth;
    EXPECT_EQ(at(50, 0), c.lastColumn) << c.border << " " << c.borderWidth;
    EXPECT_EQ(at(100, 25), rgbOf(clSilver)) << "nothing beyond the panel";
    form.reset();
  }
}

TEST_F(SmoothPanelTest, OpaquePanelErasesWithItsColourInsteadOfTheParent) {
  makeForm(200, 100, clSilver);
  TAdvSmoothPanel& p = addPanel(200, 100);
  MakeWindowPanel(p);
  show();
  EXPECT_EQ(at(0, 0), rgbOf(clSilver));
  p.SetColor(clBlue);
  p.SetTransparent(false);
  form->Update();
  EXPECT_EQ(at(0, 0), rgbOf(clBlue));
  EXPECT_EQ(at(199, 99), rgbOf(clBlue));
}

// The caption's place for each location, by the ink of a solid caption with its line switched off.
TEST_F(SmoothPanelTest, CaptionStandsWhereItsLocationSays) {
  struct Case {
    TAdvSmoothPanelLocation location;
    int column, row;
  };
  const int W = 300, H = 150;
  for (const Case& c : {Case{plTopLeft, 0, 0}, Case{plTopRight, 2, 0}, Case{plCenterCenter, 1, 1},
                        Case{plBottomLeft, 0, 2}, Case{plBottomRight, 2, 2}}) {
    makeForm(W, H, clBlack);
    TAdvSmoothPanel& p = addPanel(W, H);
    p.Fill()->SetGradientType(gtSolid);
    p.Fill()->SetColor(clBlack);
    p.Caption()->SetText("Mg");
    p.Caption()->SetGradientType(gtSolid);
    p.Caption()->SetColorStart(clWhite);
    p.Caption()->SetLine(false);
    p.Caption()->SetLocation(c.location);
    show();
    const Ink ink = inkIn(TRect{0, 0, W, H}, rgbOf(clBlack));
    ASSERT_FALSE(ink.Empty()) << int(c.location);
    EXPECT_EQ(ThirdOf(ink, W, H), (std::pair{c.column, c.row})) << int(c.location);
    form.reset();
  }
}

TEST_F(SmoothPanelTest, CustomCaptionStandsAtLeftTopAndLineRunsUnderIt) {
  makeForm(300, 150, clBlack);
  TAdvSmoothPanel& p = addPanel(300, 150);
  p.Fill()->SetGradientType(gtSolid);
  p.Fill()->SetColor(clBlack);
  p.Caption()->SetText("Mg");
  p.Caption()->SetGradientType(gtSolid);
  p.Caption()->SetColorStart(clWhite);
  p.Caption()->SetLineColor(clLime);
  p.Caption()->SetLocation(plCustom);
  p.Caption()->SetLeft(100);
  p.Caption()->SetTop(60);
  show();
  const Ink text = inkWhere(TRect{0, 0, 300, 150}, [](Rgb c) { return c.R > 60; });  // the white text, not the line
  ASSERT_FALSE(text.Empty());
  EXPECT_GE(text.Left, 100);
  EXPECT_LE(text.Left, 106);
  EXPECT_GE(text.Top, 60);
  // The line: one lime row from x = 2 to x = W - 3 just below the text's box.
  int limeRow = -1;
  for (int y = 60; y < 150 && limeRow < 0; ++y)
    if (at(20, y) == rgbOf(clLime)) limeRow = y;
  ASSERT_GT(limeRow, text.Top);
  EXPECT_LE(limeRow, text.Bottom + 8);
  EXPECT_EQ(at(2, limeRow), rgbOf(clLime));
  EXPECT_EQ(at(296, limeRow), rgbOf(clLime));
  EXPECT_NE(at(20, limeRow + 1), rgbOf(clLime)) << "one pixel thick";
  EXPECT_NE(at(20, limeRow - 1), rgbOf(clLime));

  p.Caption()->SetLine(false);
  form->Update();
  EXPECT_NE(at(20, limeRow), rgbOf(clLime));
}

TEST_F(SmoothPanelTest, OnDrawFollowsEveryPaintWithTheClientRectangle) {
  makeForm(200, 100, clSilver);
  TAdvSmoothPanel& p = addPanel(120, 60);
  std::vector<TRect> rects;
  p.SetOnDraw(TAdvSmoothPanelDrawEvent([&](TObject*, TCanvas&, TRect R) { rects.push_back(R); }));
  show();
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0], TRect::FromSize(0, 0, 120, 60));
  p.SetBounds(0, 0, 1, 60);  // too small to paint, but OnDraw still comes
  form->Update();
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(rects[1], TRect::FromSize(0, 0, 1, 60));
}

TEST_F(SmoothPanelTest, SaveToImageWritesTheStretchedPanel) {
  makeForm(200, 100, clSilver);
  TAdvSmoothPanel& p = addPanel(100, 50);
  p.Fill()->SetGradientType(gtSolid);
  p.Fill()->SetColor(clRed);
  const std::filesystem::path file = std::filesystem::path(SIB_TEST_OUTPUT_DIR) / "smooth_panel_saved.png";
  p.SaveToImage(file, 40, 30, itPNG, 100);
  std::ifstream in(file, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  const gfx::Image image = gfx::Image::FromBytes(bytes);
  EXPECT_EQ(image.Width(), 40);
  EXPECT_EQ(image.Height(), 30);
  EXPECT_EQ(image.Pixels().GetPixel(20, 15).ToArgb(), 0xFFFF0000u);
}

TEST_F(SmoothPanelTest, ThemeKeepsTheFillUnderTheClassSection) {
  makeForm(200, 100, clSilver);
  TAdvSmoothPanel& p = addPanel(100, 50);
  MakeWindowPanel(p);
  const std::filesystem::path file = std::filesystem::path(SIB_TEST_OUTPUT_DIR) / "smooth_panel_theme.ini";
  std::filesystem::remove(file);
  p.SaveToTheme(file);
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("[TAdvSmoothPanel.Fill]"), std::string::npos) << text.str();

  auto other = MakeComponent<TAdvSmoothPanel>();
  other->LoadFromTheme(file);
  EXPECT_EQ(other->Fill()->ColorTo(), 6049827);
  EXPECT_EQ(other->Fill()->BorderColor(), clYellow);
  EXPECT_EQ(other->Fill()->Rounding(), 10);
}

TEST_F(SmoothPanelTest, AssignCopiesCaptionFillAndTransparency) {
  auto a = MakeComponent<TAdvSmoothPanel>();
  auto b = MakeComponent<TAdvSmoothPanel>();
  MakeWindowPanel(*a);
  a->Caption()->SetText("Hello");
  a->Caption()->SetHTMLText("<b>x</b>");
  a->SetTransparent(false);
  b->Assign(a.get());
  EXPECT_EQ(b->Caption()->Text(), "Hello");
  EXPECT_EQ(b->Caption()->HTMLText(), "<b>x</b>");
  EXPECT_EQ(b->Caption()->Font()->Height(), -16);
  EXPECT_EQ(b->Fill()->ColorTo(), 6049827);
  EXPECT_FALSE(b->Transparent());
}

TEST_F(SmoothPanelTest, PictureContainerFindsByNameAndIsForgottenWhenDestroyed) {
  auto container = MakeComponent<TGDIPPictureContainer>();
  container->Add("Logo");
  TPictureItem& second = container->Add("logo");
  EXPECT_EQ(container->FindPicture("LOGO"), container->Items(0).Picture()) << "the first match, without case";
  EXPECT_NE(container->FindPicture("logo"), second.Picture());
  EXPECT_EQ(container->FindPicture("other"), nullptr);

  auto p = MakeComponent<TAdvSmoothPanel>();
  p->SetPictureContainer(container.get());
  EXPECT_EQ(p->PictureContainer(), container.get());
  container.reset();
  EXPECT_EQ(p->PictureContainer(), nullptr);
}

}  // namespace
}  // namespace sib::test
