// The smooth label on a headless form: where its texts stand and how their brushes paint, read back
// from the window's pixels.
#include <fstream>

#include "tests/controls/smooth_fixture.h"

namespace sib::test {
namespace {

class SmoothLabelTest : public SmoothFormTest {
 protected:
  TAdvSmoothLabel& addLabel(int left, int top, int width, int height) {
    label = NewComponent<TAdvSmoothLabel>(*form);
    label->SetParent(form.get());
    label->SetBounds(left, top, width, height);
    return *label;
  }
  // A solid caption in one colour, for finding its ink.
  static void solid(TAdvSmoothLabelCaption& c, const std::string& text, TColor color) {
    c.SetText(text);
    c.SetGradientType(gtSolid);
    c.SetColorStart(color);
    c.Font()->SetName("Arial");
    c.Font()->SetSize(12);
  }
  // The brightest pixel of each row of the ink.
  std::vector<int> brightestPerRow(const Ink& ink) {
    std::vector<int> rows;
    for (int y = ink.Top; y <= ink.Bottom; ++y) {
      int best = 0;
      for (int x = ink.Left; x <= ink.Right; ++x) best = std::max(best, at(x, y).G);
      rows.push_back(best);
    }
    return rows;
  }
  TAdvSmoothLabel* label = nullptr;
};

TEST_F(SmoothLabelTest, NewLabelDefaults) {
  auto l = MakeComponent<TAdvSmoothLabel>();
  EXPECT_EQ(l->Width(), 280);
  EXPECT_EQ(l->Height(), 50);
  EXPECT_TRUE(l->Transparent());
  EXPECT_FALSE(l->WordWrap());
  EXPECT_FALSE(l->CaptionShadowVisible());
  EXPECT_EQ(l->CaptionShadowOffsetLeft(), 1);
  EXPECT_EQ(l->CaptionShadowOffsetTop(), 1);
  EXPECT_EQ(l->Version(), "1.5.0.0");
  EXPECT_EQ(l->TextRendering(), TTextRenderingHint::tAntiAlias);
  EXPECT_EQ(l->Caption()->Location(), plCenterCenter);
  EXPECT_EQ(l->Caption()->Font()->Size(), 20);
  EXPECT_EQ(l->Caption()->ColorStart(), 16769183);
  EXPECT_EQ(l->Caption()->ColorEnd(), 7687936);
}

TEST_F(SmoothLabelTest, WindowLabelIsCentredSilverToWhiteFromTopToBottom) {
  makeForm(300, 100, clBlack);
  TAdvSmoothLabel& l = addLabel(50, 30, 151, 25);
  MakeWindowLabel(l, "Select Noise Type");
  show();
  EXPECT_EQ(l.Caption()->Font()->Size(), 11);
  const Ink ink = inkIn(TRect::FromSize(50, 30, 151, 25), rgbOf(clBlack));
  ASSERT_FALSE(ink.Empty());
  // Centred in R = (0, 0, 150, 24): the ink's margins agree within the text box's padding.
  const int leftMargin = ink.Left - 50, rightMargin = 50 + 150 - ink.Right;
  EXPECT_LE(std::abs(leftMargin - rightMargin), 3) << leftMargin << " " << rightMargin;
  const int topMargin = ink.Top - 30, bottomMargin = 30 + 24 - ink.Bottom;
  EXPECT_LE(std::abs(topMargin - bottomMargin), 5) << topMargin << " " << bottomMargin;
  EXPECT_GT(leftMargin, 5) << "one line, not wrapped";
  // Silver (192) at the top of the text box, white (255) at its bottom.
  const std::vector<int> rows = brightestPerRow(ink);
  EXPECT_LT(rows.front(), 215) << "top row";
  EXPECT_GT(rows[rows.size() * 3 / 4], 225) << "lower rows";
  EXPECT_LT(rows.front(), rows[rows.size() * 3 / 4]);
  for (int y = ink.Top; y <= ink.Bottom; ++y)
    for (int x = ink.Left; x <= ink.Right; ++x) {
      const Rgb c = at(x, y);
      ASSERT_TRUE(c.R == c.G && c.G == c.B) << "grey only, at " << x << "," << y;
    }
  EXPECT_TRUE(inkIn(TRect{0, 0, 300, 30}, rgbOf(clBlack)).Empty()) << "the invisible shadow draws nothing";
}

TEST_F(SmoothLabelTest, CustomLocationPutsBothTextsAtTheMainCaptionsPlace) {
  makeForm(300, 100, clBlack);
  TAdvSmoothLabel& l = addLabel(0, 0, 300, 100);
  solid(*l.Caption(), "I", clRed);
  solid(*l.CaptionShadow(), "I", clBlue);
  l.Caption()->SetLocation(plCustom);
  l.Caption()->SetLeft(40);
  l.Caption()->SetTop(20);
  l.CaptionShadow()->SetLocation(plBottomRight);  // ignored: the main caption's place counts
  l.SetCaptionShadowVisible(true);
  l.SetCaptionShadowOffsetLeft(30);
  l.SetCaptionShadowOffsetTop(10);
  show();
  const TRect all{0, 0, 300, 100};
  const Ink main = inkWhere(all, [](Rgb c) { return c.R > 100 && c.B < 30; });
  const Ink shadow = inkWhere(all, [](Rgb c) { return c.B > 100 && c.R < 30; });
  ASSERT_FALSE(main.Empty());
  ASSERT_FALSE(shadow.Empty());
  EXPECT_GE(main.Left, 40);
  EXPECT_LE(main.Left, 46);
  EXPECT_GE(main.Top, 20);
  EXPECT_LE(main.Top, 28);
  EXPECT_EQ(shadow.Left, main.Left + 30);
  EXPECT_EQ(shadow.Top, main.Top + 10);
}

TEST_F(SmoothLabelTest, ShadowTextFollowsItsOwnLocationOtherwise) {
  makeForm(300, 100, clBlack);
  TAdvSmoothLabel& l = addLabel(0, 0, 300, 100);
  solid(*l.Caption(), "I", clRed);
  solid(*l.CaptionShadow(), "I", clBlue);
  l.Caption()->SetLocation(plTopLeft);
  l.CaptionShadow()->SetLocation(plBottomRight);
  l.SetCaptionShadowVisible(true);
  show();
  EXPECT_FALSE(inkIn(TRect{0, 0, 40, 40}, rgbOf(clBlack)).Empty());
  const Ink bottomRight = inkIn(TRect{200, 50, 300, 100}, rgbOf(clBlack));
  ASSERT_FALSE(bottomRight.Empty());
  const Rgb centre = at((bottomRight.Left + bottomRight.Right) / 2, (bottomRight.Top + bottomRight.Bottom) / 2);
  EXPECT_GT(centre.B, 100) << "the blue shadow text stands there";
  EXPECT_EQ(centre.R, 0);
}

TEST_F(SmoothLabelTest, ColorEndNoneDrawsInTheStartColourOnly) {
  makeForm(200, 60, clBlack);
  TAdvSmoothLabel& l = addLabel(0, 0, 200, 60);
  l.Caption()->SetText("WWW");
  l.Caption()->SetColorStart(clRed);
  l.Caption()->SetColorEnd(clNone);
  l.Caption()->SetGradientType(gtVertical);
  show();
  const Ink ink = inkIn(TRect{0, 0, 200, 60}, rgbOf(clBlack));
  ASSERT_FALSE(ink.Empty());
  int fullRed = 0;
  for (int y = ink.Top; y <= ink.Bottom; ++y)
    for (int x = ink.Left; x <= ink.Right; ++x) {
      const Rgb c = at(x, y);
      ASSERT_EQ(c.G, 0) << x << "," << y;
      ASSERT_EQ(c.B, 0) << x << "," << y;
      fullRed += c.R == 255;
    }
  EXPECT_GT(fullRed, 20);
  // ... from its top to its bottom.
  EXPECT_EQ(brightestPerRow(ink).front(), 0) << "green channel stays zero";
}

TEST_F(SmoothLabelTest, LabelOfOnePixelDrawsNothing) {
  struct Case {
    int width, height;
    bool draws;
  };
  for (const Case& c : {Case{1, 25, false}, Case{151, 1, false}, Case{1, 1, false}, Case{2, 2, true}}) {
    makeForm(200, 60, clBlack);
    TAdvSmoothLabel& l = addLabel(10, 10, c.width, c.height);
    l.SetTransparent(false);
    l.Fill()->SetGradientType(gtSolid);
    l.Fill()->SetColor(clRed);
    l.Caption()->SetText("X");
    show();
    EXPECT_EQ(!inkIn(TRect{0, 0, 200, 60}, rgbOf(clBlack)).Empty(), c.draws) << c.width << " x " << c.height;
    form.reset();
  }
}

TEST_F(SmoothLabelTest, BrushesThatDrawNothing) {
  for (TAdvGradientType type : {gtRadial, gtAngle, gtPath, gtNone, gtTexture}) {
    makeForm(200, 60, clBlack);
    TAdvSmoothLabel& l = addLabel(0, 0, 200, 60);
    l.Caption()->SetText("WWW");
    l.Caption()->SetGradientType(type);
    show();
    EXPECT_TRUE(inkIn(TRect{0, 0, 200, 60}, rgbOf(clBlack)).Empty()) << int(type);
    form.reset();
  }
  for (TAdvGradientType type : {gtSolid, gtHorizontal, gtForwardDiagonal, gtBackwardDiagonal, gtHatch}) {
    makeForm(200, 60, clBlack);
    TAdvSmoothLabel& l = addLabel(0, 0, 200, 60);
    l.Caption()->SetText("WWW");
    l.Caption()->SetGradientType(type);
    show();
    EXPECT_FALSE(inkIn(TRect{0, 0, 200, 60}, rgbOf(clBlack)).Empty()) << int(type);
    form.reset();
  }
}

TEST_F(SmoothLabelTest, OpaqueLabelPaintsItsFillUnderTheText) {
  makeForm(200, 60, clBlack);
  TAdvSmoothLabel& l = addLabel(10, 10, 100, 40);
  l.Fill()->SetGradientType(gtSolid);
  l.Fill()->SetColor(clBlue);
  show();
  EXPECT_EQ(at(20, 20), rgbOf(clBlack)) << "transparent by default";
  l.SetTransparent(false);
  form->Update();
  EXPECT_EQ(at(20, 20), rgbOf(clBlue));
}

TEST_F(SmoothLabelTest, WordWrapBreaksALongTextIntoLines) {
  makeForm(120, 120, clBlack);
  TAdvSmoothLabel& l = addLabel(0, 0, 120, 120);
  solid(*l.Caption(), "one two three four five", clWhite);
  l.Caption()->SetLocation(plTopLeft);
  show();
  const Ink single = inkIn(TRect{0, 0, 120, 120}, rgbOf(clBlack));
  l.SetWordWrap(true);
  form->Update();
  const Ink wrapped = inkIn(TRect{0, 0, 120, 120}, rgbOf(clBlack));
  EXPECT_GE(single.Right, 117) << "cut at the edge";
  EXPECT_LT(single.Height(), 20);
  EXPECT_GT(wrapped.Height(), 2 * single.Height());
}

TEST_F(SmoothLabelTest, EverySetterThatChangesRaisesOnChangeOnce) {
  auto l = MakeComponent<TAdvSmoothLabel>();
  int changes = 0;
  l->SetOnChange(TNotifyEvent([&](TObject*) { ++changes; }));
  l->SetWordWrap(true);
  l->SetWordWrap(true);
  l->SetTextRendering(TTextRenderingHint::tClearType);
  l->Caption()->SetText("x");
  l->CaptionShadow()->SetColorStart(clRed);
  l->Fill()->SetColor(clBlue);
  l->Caption()->Font()->SetSize(30);
  EXPECT_EQ(changes, 6);
  l->SetVersion("2");
  EXPECT_EQ(changes, 6);
  EXPECT_EQ(l->Version(), "1.5.0.0");
}

TEST_F(SmoothLabelTest, AssignCopiesTheWholeLook) {
  auto a = MakeComponent<TAdvSmoothLabel>();
  auto b = MakeComponent<TAdvSmoothLabel>();
  MakeWindowLabel(*a, "Set Level");
  a->SetCaptionShadowVisible(true);
  a->SetCaptionShadowOffsetLeft(4);
  a->SetWordWrap(true);
  a->SetTransparent(false);
  b->Assign(a.get());
  EXPECT_EQ(b->Caption()->Text(), "Set Level");
  EXPECT_EQ(b->Caption()->Font()->Name(), "Arial");
  EXPECT_EQ(b->CaptionShadow()->Text(), "AdvSmoothLabel");
  EXPECT_TRUE(b->CaptionShadowVisible());
  EXPECT_EQ(b->CaptionShadowOffsetLeft(), 4);
  EXPECT_TRUE(b->WordWrap());
  EXPECT_FALSE(b->Transparent());
}

TEST_F(SmoothLabelTest, SaveToImageWritesTheStretchedLabel) {
  auto l = MakeComponent<TAdvSmoothLabel>();
  l->SetBounds(0, 0, 40, 20);
  l->SetTransparent(false);
  l->Fill()->SetGradientType(gtSolid);
  l->Fill()->SetColor(clRed);
  const std::filesystem::path file = std::filesystem::path(SIB_TEST_OUTPUT_DIR) / "smooth_label_saved.bmp";
  l->SaveToImage(file, 80, 40, itBMP, 100);
  std::ifstream in(file, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  const gfx::Image image = gfx::Image::FromBytes(bytes);
  EXPECT_EQ(image.Width(), 80);
  EXPECT_EQ(image.Height(), 40);
  EXPECT_EQ(image.Pixels().GetPixel(40, 20).ToArgb(), 0xFFFF0000u);
}

}  // namespace
}  // namespace sib::test
