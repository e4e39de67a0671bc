// The smooth panel's markup caption on a headless form: where it stands, when it is left out, its
// pictures, and its anchors under the pointer (the hand, the remembered cursor, OnAnchorClick).
#include <sstream>

#include "controls/gdip_picture_container.h"
#include "tests/controls/smooth_fixture.h"

namespace sib::test {
namespace {

class SmoothPanelMarkupTest : public SmoothFormTest {
 protected:
  TAdvSmoothPanel& addPanel(int width, int height, TColor fill) {
    panel = NewComponent<TAdvSmoothPanel>(*form);
    panel->SetParent(form.get());
    panel->SetBounds(0, 0, width, height);
    panel->Fill()->SetGradientType(gtSolid);
    panel->Fill()->SetColor(fill);
    panel->Caption()->HTMLFont()->SetName("Arial");
    panel->Caption()->HTMLFont()->SetSize(12);
    return *panel;
  }
  IFormWindowEvents& events() { return window().Events(); }
  TAdvSmoothPanel* panel = nullptr;
};

// The columns of row y (panel coordinates) whose anchor is `anchor`: [first, last], or {-1, -1}.
std::pair<int, int> AnchorColumns(TAdvSmoothPanel& p, int y, const std::string& anchor) {
  int first = -1, last = -1;
  for (int x = 0; x < p.Width(); ++x)
    if (p.GetAnchorAt(x, y) == anchor) {
      if (first < 0) first = x;
      last = x;
    }
  return {first, last};
}

TEST_F(SmoothPanelMarkupTest, MarkupStandsWhereItsLocationSays) {
  struct Case {
    TAdvSmoothPanelLocation location;
    int column, row;
  };
  const int W = 300, H = 150;
  for (const Case& c : {Case{plTopLeft, 0, 0}, Case{plTopCenter, 1, 0}, Case{plCenterCenter, 1, 1},
                        Case{plCenterRight, 2, 1}, Case{plBottomLeft, 0, 2}, Case{plBottomRight, 2, 2}}) {
    makeForm(W, H, clBlack);
    TAdvSmoothPanel& p = addPanel(W, H, clBlack);
    p.Caption()->SetHTMLText("<FONT COLOR=clWhite>Mg <B>Mg</B></FONT>");
    p.Caption()->SetHTMLLocation(c.location);
    show();
    const Ink ink = inkIn(TRect{0, 0, W, H}, rgbOf(clBlack));
    ASSERT_FALSE(ink.Empty()) << int(c.location);
    const TRect r = p.HtmlRect();
    EXPECT_GE(ink.Left, r.Left) << int(c.location);
    EXPECT_LT(ink.Right, r.Right) << int(c.location);
    EXPECT_GE(ink.Top, r.Top) << int(c.location);
    EXPECT_LT(ink.Bottom, r.Bottom) << int(c.location);
    EXPECT_EQ(ThirdOf(ink, W, H), (std::pair{c.column, c.row})) << int(c.location);
    form.reset();
  }
}

TEST_F(SmoothPanelMarkupTest, CustomPlaceAndThePlainCaptionAbove) {
  makeForm(300, 150, clBlack);
  TAdvSmoothPanel& p = addPanel(300, 150, clBlack);
  p.Caption()->SetHTMLText("<FONT COLOR=clWhite>custom</FONT>");
  p.Caption()->SetHTMLLocation(plCustom);
  p.Caption()->SetHTMLLeft(40);
  p.Caption()->SetHTMLTop(30);
  show();
  // Measured from HTMLLeft to the width less twice the border width (1 by default).
  EXPECT_EQ(p.HtmlRect().Left, 40);
  EXPECT_EQ(p.HtmlRect().Top, 30);
  EXPECT_EQ(p.HtmlRect().Width(), 300 - 2 - 40);
  const Ink custom = inkIn(TRect{0, 0, 300, 150}, rgbOf(clBlack));
  EXPECT_GE(custom.Left, 40);
  EXPECT_GE(custom.Top, 30);

  // At the top, the markup stands below the plain caption, by the caption's height.
  p.Caption()->SetHTMLLocation(plTopLeft);
  form->Update();
  const int alone = p.HtmlRect().Top;
  p.Caption()->SetText("Title");
  p.Caption()->SetLine(false);
  form->Update();
  const int below = p.HtmlRect().Top;
  EXPECT_GT(below - alone, 12) << "a 12-point caption's height";
  const Ink title = inkWhere(TRect{0, 0, 300, alone + 6}, [](Rgb c) { return c.B > 60 && c.B > c.R + 30; });
  ASSERT_FALSE(title.Empty()) << "the caption in its blue gradient";
  const Ink markup =
      inkWhere(TRect{0, 0, 300, 150}, [](Rgb c) { return c.R > 100 && c.G > 100 && c.B > 100 && c.R == c.B; });
  ASSERT_FALSE(markup.Empty());
  EXPECT_GT(markup.Top, title.Bottom);
}

TEST_F(SmoothPanelMarkupTest, MarkupTallerThanThePanelIsLeftOut) {
  makeForm(200, 60, clBlack);
  TAdvSmoothPanel& p = addPanel(200, 60, clBlack);
  p.Caption()->SetHTMLText("<FONT COLOR=clWhite>1<BR>2<BR>3<BR>4<BR>5</FONT>");
  show();
  EXPECT_TRUE(p.HtmlRect().IsEmpty());
  EXPECT_TRUE(inkIn(TRect{0, 0, 200, 60}, rgbOf(clBlack)).Empty());
  EXPECT_EQ(p.GetAnchorAt(10, 10), "");

  p.Caption()->SetHTMLText("<FONT COLOR=clWhite>1<BR>2</FONT>");
  form->Update();
  EXPECT_FALSE(p.HtmlRect().IsEmpty());
  EXPECT_FALSE(inkIn(TRect{0, 0, 200, 60}, rgbOf(clBlack)).Empty());
}

TEST_F(SmoothPanelMarkupTest, AnchorsShowTheHandAndPressesReportTheirReference) {
  makeForm(320, 120, clSilver);
  TAdvSmoothPanel& p = addPanel(300, 100, clWhite);
  p.Caption()->SetHTMLLocation(plTopLeft);
  p.Caption()->SetHTMLText("Go to <A HREF=\"https://example.org/one\">the first</A> or <A HREF=\"two\">second</A>.");
  p.SetCursor(crCross);
  std::vector<std::string> clicks;
  p.SetOnAnchorClick(TAdvSmoothPanelAnchorClickEvent([&](TObject* sender, std::string anchor) {
    EXPECT_EQ(sender, &p);
    clicks.push_back(std::move(anchor));
  }));
  show();

  const int y = p.HtmlRect().Top + p.HtmlRect().Height() / 2;
  const auto [firstLeft, firstRight] = AnchorColumns(p, y, "https://example.org/one");
  const auto [secondLeft, secondRight] = AnchorColumns(p, y, "two");
  ASSERT_GT(firstLeft, p.HtmlRect().Left + 10) << "after \"Go to \"";
  ASSERT_GT(firstRight, firstLeft + 20);
  ASSERT_GT(secondLeft, firstRight + 5) << "\" or \" lies between";
  ASSERT_GT(secondRight, secondLeft + 10);
  // What the hit test finds is where the anchors are drawn, in the URL colour.
  const Ink blue = inkWhere(TRect{0, 0, 300, 100}, [](Rgb c) { return c.B > 150 && c.R < 120 && c.G < 120; });
  ASSERT_FALSE(blue.Empty());
  EXPECT_NEAR(blue.Left, firstLeft, 2);
  EXPECT_NEAR(blue.Right, secondRight, 2);

  struct Step {
    int x;
    bool press;
    TCursor cursor;
    std::vector<std::string> clicks;
  };
  const Step steps[] = {
      {p.HtmlRect().Left + 2, false, crCross, {}},
      {(firstLeft + firstRight) / 2, false, crHandPoint, {}},
      {firstRight - 1, true, crHandPoint, {"https://example.org/one"}},
      {(firstRight + secondLeft) / 2, false, crCross, {"https://example.org/one"}},
      {(firstRight + secondLeft) / 2, true, crCross, {"https://example.org/one"}},
      {secondLeft + 1, true, crHandPoint, {"https://example.org/one", "two"}},
      {310, false, crArrow, {"https://example.org/one", "two"}},  // off the panel, on the form's arrow
      {secondLeft + 2, false, crHandPoint, {"https://example.org/one", "two"}},
  };
  for (const Step& s : steps) {
    events().HostMouseMove({}, {s.x, y});
    if (s.press) {
      events().HostMouseDown(mbLeft, {ssLeft}, {s.x, y});
      events().HostMouseUp(mbLeft, {}, {s.x, y});
    }
    EXPECT_EQ(window().Cursor(), s.cursor) << "at " << s.x;
    EXPECT_EQ(clicks, s.clicks) << "at " << s.x;
  }
  EXPECT_EQ(p.Cursor(), crHandPoint);
  events().HostMouseMove({}, {310, y});
  EXPECT_EQ(p.Cursor(), crCross) << "leaving the panel over an anchor restores the cursor";
}

TEST_F(SmoothPanelMarkupTest, AnchorsFollowTheTextBeforeThePanelRepaints) {
  makeForm(300, 100, clSilver);
  TAdvSmoothPanel& p = addPanel(300, 100, clWhite);
  p.Caption()->SetHTMLLocation(plTopLeft);
  p.Caption()->SetHTMLText("<A HREF=old>old old old</A>");
  show();
  const int y = p.HtmlRect().Top + 5;
  EXPECT_EQ(p.GetAnchorAt(10, y), "old");
  p.Caption()->SetHTMLText("plain text here <A HREF=new>new</A>");
  EXPECT_EQ(p.GetAnchorAt(10, y), "");
  EXPECT_EQ(AnchorColumns(p, y, "new").first > 60, true);
}

std::vector<std::uint8_t> PngSquare(int side, gfx::Color c) {
  gfx::Image image(side, side);
  image.Pixels().Fill(c);
  return image.Save(gfx::ImageFormat::Png);
}

TEST_F(SmoothPanelMarkupTest, PicturesComeFromTheImageListTheContainerAndTheDesktop) {
  makeForm(300, 100, clSilver);
  TAdvSmoothPanel& p = addPanel(300, 100, clWhite);
  TComponentPtr<TImageList> list = MakeComponent<TImageList>();
  gfx::Bitmap red(12, 12), green(12, 12);
  red.Fill(gfx::Color::Rgb(255, 0, 0));
  green.Fill(gfx::Color::Rgb(0, 160, 0));
  list->Add(red);
  list->Add(green);
  auto* container = NewComponent<TGDIPPictureContainer>(*form);
  container->Add("Logo").Picture()->LoadFromBytes(PngSquare(8, gfx::Color::Rgb(0, 0, 255)));
  p.SetImages(list.get());
  p.SetPictureContainer(container);
  p.Caption()->SetHTMLLocation(plCustom);
  p.Caption()->SetHTMLLeft(10);
  p.Caption()->SetHTMLTop(10);
  p.Caption()->SetHTMLText(
      "<IMG SRC=\"IDX:1\"><IMG SRC=\"logo\"><IMG SRC=\"SSYS:readme.txt\"><IMG SRC=\"LSYS:readme.txt\">"
      "<IMG SRC=\"IDX:7\"><IMG SRC=\"IDX:x\"><IMG SRC=\"nothing\" ALT=\"(none)\">");
  show();
  saveScreen("smooth_panel_markup_pictures.png");
  // All stand on one baseline, the large icon (32) the tallest: bottoms at 10 + 32.
  const int bottom = 10 + 32 - 1;
  EXPECT_EQ(at(10 + 6, bottom - 6), rgbOf(TColor{RGB(0, 160, 0)})) << "image 1 of the list";
  EXPECT_EQ(at(10 + 12 + 4, bottom - 4), rgbOf(clBlue)) << "the container's picture, by name without case";
  const auto drawn = [](Rgb c) { return !(c == Rgb{255, 255, 255}); };
  EXPECT_FALSE(inkWhere(TRect{10 + 20, bottom - 15, 10 + 36, bottom + 1}, drawn).Empty()) << "the small icon";
  EXPECT_FALSE(inkWhere(TRect{10 + 36, bottom - 31, 10 + 68, bottom + 1}, drawn).Empty()) << "the large icon";
  EXPECT_GT(inkWhere(TRect{10 + 36, 0, 10 + 68, bottom - 16}, drawn).Width(), 4) << "32 high";
  EXPECT_FALSE(inkWhere(TRect{10 + 70, 10, 300, bottom + 1}, [](Rgb c) { return c.R < 100; }).Empty())
      << "the ALT text of a missing picture";

  // A removed list is forgotten, and its pictures with it.
  list.reset();
  EXPECT_EQ(p.Images(), nullptr);
  form->Update();
  EXPECT_TRUE(inkWhere(TRect{0, 0, 300, 100}, [](Rgb c) { return c == rgbOf(TColor{RGB(0, 160, 0)}); }).Empty());
  EXPECT_EQ(at(10 + 4, bottom - 4), rgbOf(clBlue)) << "the next picture in its place";
}

// A panel with rich markup, as a person would look at it.
TEST_F(SmoothPanelMarkupTest, RichMarkupRendersToPng) {
  makeForm(471, 200, clSilver);
  TAdvSmoothPanel& p = addPanel(471, 200, clBlack);
  MakeWindowPanel(p);
  p.Caption()->SetText("Markup");
  p.Caption()->SetHTMLLocation(plTopLeft);
  p.Caption()->SetHTMLText(
      "<FONT COLOR=clWhite FACE=Arial SIZE=11><P ALIGN=center><B>Sibilon</B> plays <I>brown</I>, "
      "<FONT COLOR=#FF80C0>pink</FONT> or <U>white</U> noise.</P>"
      "<UL><LI>Pick a colour<LI TYPE=square COLOR=clYellow>Set the level<LI TYPE=circle>Press "
      "<A HREF=\"start\">start</A></UL>"
      "<P ALIGN=right><SHAD>H<SUB>2</SUB>O &amp; E=mc<SUP>2</SUP></SHAD> &copy; &euro;</P></FONT>");
  p.Caption()->SetHTMLURLColor(clAqua);
  show();
  const std::filesystem::path png = saveScreen("smooth_panel_markup.png");
  EXPECT_GT(std::filesystem::file_size(png), 1000u);
  EXPECT_FALSE(p.HtmlRect().IsEmpty());
  EXPECT_FALSE(inkWhere(TRect{0, 0, 471, 200}, [](Rgb c) { return c.R < 60 && c.G > 200 && c.B > 200; }).Empty())
      << "the anchor in aqua";
}

}  // namespace
}  // namespace sib::test
