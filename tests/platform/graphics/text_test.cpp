#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/platform/graphics/pixels.h"

namespace sib::gfx {
namespace {

using namespace test;

bool HaveWineTahoma() { return access("/usr/share/wine/fonts/tahoma.ttf", R_OK) == 0; }

struct FamilyCase {
  std::string name;
  Status status;
  std::string resolved;
};

TEST(Fonts, FamiliesResolveThroughFontconfigAndMissingOnesAreReported) {
  const FamilyCase cases[] = {
      {"Arial", Status::Ok, "Liberation Sans"},
      {"arial", Status::Ok, "Liberation Sans"},
      {"Tahoma", Status::Ok, HaveWineTahoma() ? "Tahoma" : "DejaVu Sans"},
      {"DejaVu Sans", Status::Ok, "DejaVu Sans"},
      {"Liberation Serif", Status::Ok, "Liberation Serif"},
      {"No Such Family Anywhere", Status::FontFamilyNotFound, ""},
      {"", Status::FontFamilyNotFound, ""},
  };
  for (const FamilyCase& k : cases) {
    FontFamily f(k.name);
    EXPECT_EQ(f.GetStatus(), k.status) << k.name;
    EXPECT_EQ(f.ResolvedName(), k.resolved) << k.name;
  }
  EXPECT_EQ(RegisterProgramFonts(), HaveWineTahoma());
}

TEST(Fonts, FontsReportMissingFamilyBadSizeAndKeepTheirStyle) {
  EXPECT_EQ(Font("No Such Family Anywhere", 10).GetStatus(), Status::FontFamilyNotFound);
  EXPECT_EQ(Font("Arial", 0).GetStatus(), Status::InvalidParameter);
  EXPECT_EQ(Font("Arial", -3).GetStatus(), Status::InvalidParameter);
  Font bold("Arial", 12, FontStyleBold | FontStyleUnderline);
  ASSERT_TRUE(bold.Ok());
  EXPECT_EQ(bold.GetStyle(), 5);
  EXPECT_FLOAT_EQ(bold.SizeInPixels(), 16.0f);  // 12 points at 96 pixels per inch
  EXPECT_FLOAT_EQ(Font("Arial", 16, 0, FontUnit::Pixel).SizeInPixels(), 16.0f);
  Font copy = bold;
  EXPECT_TRUE(copy.Ok());
  EXPECT_TRUE(FontFamily("Tahoma").IsStyleAvailable(FontStyleBold));
  // A family with a regular face gives its other styles by synthesis.
  EXPECT_TRUE(FontFamily("DejaVu Math TeX Gyre").IsStyleAvailable(FontStyleItalic) ||
              !FontFamily("DejaVu Math TeX Gyre").Ok());
}

RectF InkBounds(const Bitmap& b) {
  int x0 = b.Width(), y0 = b.Height(), x1 = -1, y1 = -1;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.GetPixel(x, y).A > 40) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
      }
  if (x1 < 0) return {};
  return {float(x0), float(y0), float(x1 - x0 + 1), float(y1 - y0 + 1)};
}

TEST(Text, MeasuredBoxesFollowHorizontalAndLineAlignment) {
  const Font font("Arial", 10);
  const RectF layout{10, 20, 200, 60};
  Canvas probe(1, 1);
  probe.g.SetTextRenderingHint(TextRenderingHint::AntiAlias);
  StringFormat near;
  RectF base = probe.g.MeasureString("Level", font, layout, near).Box;
  ASSERT_GT(base.Width, 20);
  ASSERT_GT(base.Height, 12);
  EXPECT_NEAR(base.X, 10, 0.01);
  EXPECT_NEAR(base.Y, 20, 0.01);
  const StringAlignment all[] = {StringAlignment::Near, StringAlignment::Center, StringAlignment::Far};
  for (StringAlignment h : all)
    for (StringAlignment v : all) {
      SCOPED_TRACE(::testing::Message() << "horizontal " << int(h) << ", line " << int(v));
      StringFormat f;
      f.Alignment = h;
      f.LineAlignment = v;
      Canvas c(230, 100, SmoothingMode::AntiAlias);
      c.g.SetTextRenderingHint(TextRenderingHint::AntiAlias);
      RectF box = c.g.MeasureString("Level", font, layout, f).Box;
      float ex = h == StringAlignment::Near ? 10 : h == StringAlignment::Center ? 10 + (200 - base.Width) / 2 : 210 - base.Width;
      float ey = v == StringAlignment::Near ? 20 : v == StringAlignment::Center ? 20 + (60 - base.Height) / 2 : 80 - base.Height;
      EXPECT_NEAR(box.X, ex, 0.6);
      EXPECT_NEAR(box.Y, ey, 0.6);
      EXPECT_NEAR(box.Width, base.Width, 0.01);
      c.g.DrawString("Level", font, layout, f, SolidBrush(kBlack));
      RectF ink = InkBounds(c.bitmap);
      ASSERT_GT(ink.Width, 0);
      EXPECT_GE(ink.X, box.X - 0.5f) << ink;
      EXPECT_LE(ink.Right(), box.Right() + 0.5f) << ink;
      EXPECT_GE(ink.Y, box.Y - 0.5f) << ink;
      EXPECT_LE(ink.Bottom(), box.Bottom() + 0.5f) << ink;
    }
}

TEST(Text, DefaultFormatPadsASixthOfAnEmOnEachSide) {
  Font font("Arial", 12);
  Canvas c(1, 1);
  float padded = c.g.MeasureString("Start", font, PointF{0, 0}, StringFormat::GenericDefault()).Box.Width;
  float tight = c.g.MeasureString("Start", font, PointF{0, 0}, StringFormat::GenericTypographic()).Box.Width;
  EXPECT_NEAR(padded - tight, font.SizeInPixels() / 3, 0.01);
  // From a point the format's alignment places the text around the point.
  StringFormat centred;
  centred.Alignment = StringAlignment::Center;
  RectF box = c.g.MeasureString("Start", font, PointF{100, 10}, centred).Box;
  EXPECT_NEAR(box.X + box.Width / 2, 100, 0.01);
}

TEST(Text, WrapsToTheLayoutWidthUnlessNoWrapAndTrimsWithAnEllipsis) {
  Font font("Arial", 10);
  Canvas c(1, 1);
  const char* text = "Select the noise type and the level";
  StringFormat wrap;
  TextMetrics wrapped = c.g.MeasureString(text, font, RectF{0, 0, 80, 200}, wrap);
  EXPECT_GT(wrapped.LinesFilled, 1);
  EXPECT_LE(wrapped.Box.Width, 80.5f);
  StringFormat one;
  one.NoWrap = true;
  TextMetrics single = c.g.MeasureString(text, font, RectF{0, 0, 80, 200}, one);
  EXPECT_EQ(single.LinesFilled, 1);
  EXPECT_GT(single.Box.Width, 80);
  one.Trimming = StringTrimming::EllipsisCharacter;
  TextMetrics trimmed = c.g.MeasureString(text, font, RectF{0, 0, 80, 200}, one);
  EXPECT_EQ(trimmed.LinesFilled, 1);
  EXPECT_LE(trimmed.Box.Width, 80.5f);
}

TEST(Text, LineLimitShowsOnlyTheWholeLinesThatFit) {
  Font font("Arial", 10);
  Canvas c(1, 1);
  const char* text = "one two three four five six seven";
  StringFormat f;
  f.LineLimit = true;
  float line = c.g.MeasureString("one", font, RectF{0, 0, 60, 0}, f).Box.Height;
  RectF twoAndAHalf{0, 0, 60, line * 2.5f};
  EXPECT_NEAR(c.g.MeasureString(text, font, twoAndAHalf, f).Box.Height, 2 * line, 0.5);
  Canvas none(80, 40, SmoothingMode::AntiAlias);
  none.g.DrawString(text, font, RectF{0, 0, 60, line * 0.8f}, f, SolidBrush(kBlack));
  EXPECT_TRUE(none.Untouched());
  f.LineLimit = false;
  Canvas part(80, 40, SmoothingMode::AntiAlias);
  part.g.DrawString(text, font, RectF{0, 0, 60, line * 0.8f}, f, SolidBrush(kBlack));
  EXPECT_FALSE(part.Untouched());
}

TEST(Text, DrawingIsClippedToTheLayoutRectangleUnlessNoClip) {
  Font font("Arial", 20);
  for (bool noClip : {false, true}) {
    Canvas c(100, 60, SmoothingMode::AntiAlias);
    StringFormat f;
    f.NoClip = noClip;
    c.g.DrawString("Wg", font, RectF{10, 10, 60, 10}, f, SolidBrush(kBlack));
    RectF ink = InkBounds(c.bitmap);
    ASSERT_GT(ink.Width, 0);
    if (noClip)
      EXPECT_GT(ink.Bottom(), 22) << ink;
    else
      EXPECT_LE(ink.Bottom(), 21) << ink;  // row 20 holds the rectangle's edge
  }
}

TEST(Text, HotkeyPrefixUnderlinesTheNextCharacterOnly) {
  Font font("Arial", 14);
  Canvas probe(1, 1);
  StringFormat show;
  show.Hotkey = HotkeyPrefix::Show;
  StringFormat hide;
  hide.Hotkey = HotkeyPrefix::Hide;
  StringFormat none;
  auto width = [&](const char* s, const StringFormat& f) { return probe.g.MeasureString(s, font, PointF{0, 0}, f).Box.Width; };
  EXPECT_NEAR(width("&Start", show), width("Start", none), 0.01);
  EXPECT_NEAR(width("&Start", hide), width("Start", none), 0.01);
  EXPECT_NEAR(width("Rock && Roll", show), width("Rock & Roll", none), 0.01);
  EXPECT_GT(width("&Start", none), width("Start", none));

  auto draw = [&](const StringFormat& f) {
    auto c = std::make_unique<Canvas>(120, 40, SmoothingMode::AntiAlias);
    c->g.SetTextRenderingHint(TextRenderingHint::AntiAlias);
    c->g.DrawString("&Start", font, PointF{5, 5}, f, SolidBrush(kBlack));
    return c;
  };
  auto shown = draw(show), hidden = draw(hide);
  float sRight = 5 + probe.g.MeasureString("S", font, PointF{0, 0}, StringFormat::GenericDefault()).Box.Width;
  int differing = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x)
      if (std::abs(shown->At(x, y).A - hidden->At(x, y).A) > 40) {
        ++differing;
        EXPECT_LT(x, sRight) << "the underline stays under the S: " << x << ", " << y;
        EXPECT_GT(y, 5 + font.SizeInPixels() * 0.8) << "the underline is below the baseline";
      }
  EXPECT_GE(differing, 5);
}

TEST(Text, UnderlineStyleRunsUnderTheWholeString) {
  Font plain("Arial", 14), underlined("Arial", 14, FontStyleUnderline);
  Canvas a(120, 40, SmoothingMode::AntiAlias), b(120, 40, SmoothingMode::AntiAlias);
  a.g.DrawString("mmmm", plain, PointF{5, 5}, {}, SolidBrush(kBlack));
  b.g.DrawString("mmmm", underlined, PointF{5, 5}, {}, SolidBrush(kBlack));
  RectF ia = InkBounds(a.bitmap), ib = InkBounds(b.bitmap);
  EXPECT_GT(ib.Bottom(), ia.Bottom());
}

TEST(Text, RenderingHintsChooseHowGlyphsAreRasterised) {
  Font font("Arial", 11);
  auto render = [&](TextRenderingHint hint) {
    auto c = std::make_unique<Canvas>(80, 24, SmoothingMode::AntiAlias);
    c->g.Clear(kWhite);
    c->g.SetTextRenderingHint(hint);
    c->g.DrawString("Noise", font, PointF{2, 2}, {}, SolidBrush(kBlack));
    return c;
  };
  auto count = [](const Canvas& c, auto pred) {
    int n = 0;
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 80; ++x) n += pred(c.At(x, y));
    return n;
  };
  auto grey = [](Color c) { return c.R > 30 && c.R < 225 && c.R == c.G && c.G == c.B; };
  auto fringe = [](Color c) { return std::abs(c.R - c.B) > 30; };
  auto mono = render(TextRenderingHint::SingleBitPerPixelGridFit);
  EXPECT_EQ(count(*mono, grey), 0);
  EXPECT_GT(count(*mono, [](Color c) { return c.R == 0; }), 10);
  EXPECT_GT(count(*render(TextRenderingHint::AntiAlias), grey), 10);
  EXPECT_GT(count(*render(TextRenderingHint::AntiAliasGridFit), grey), 10);
  EXPECT_GT(count(*render(TextRenderingHint::ClearTypeGridFit), fringe), 5);
}

TEST(Text, StringOutlinesAreAddedToAPathWhereDrawStringPutsThem) {
  FontFamily arial("Arial");
  Path p;
  ASSERT_EQ(p.AddString("Go", arial, FontStyleBold, 24, PointF{10, 10}, {}), Status::Ok);
  ASSERT_FALSE(p.Empty());
  Canvas c(100, 50, SmoothingMode::AntiAlias);
  RectF box = c.g.MeasureString("Go", Font(arial, 24, FontStyleBold, FontUnit::Pixel), PointF{10, 10}, {}).Box;
  RectF bounds = p.GetBounds();
  EXPECT_GE(bounds.X, box.X);
  EXPECT_LE(bounds.Right(), box.Right());
  EXPECT_GE(bounds.Y, box.Y);
  EXPECT_LE(bounds.Bottom(), box.Bottom());
  c.g.FillPath(SolidBrush(kBlack), p);
  EXPECT_GT(InkBounds(c.bitmap).Width, 20);
  Path none;
  EXPECT_EQ(none.AddString("Go", FontFamily("No Such Family Anywhere"), 0, 24, PointF{0, 0}, {}), Status::FontFamilyNotFound);
  EXPECT_TRUE(none.Empty());
}

// Text laid out from single-character widths: each character where drawing it alone would put it,
// so a word's width is the sum of its characters' (no pair in these words is adjusted by the face).
TEST(Text, CharacterWidthsAddUpToTheMeasuredWord) {
  struct Case {
    const char* family;
    int style;
    TextRenderingHint hint;
  };
  const Case cases[] = {
      {"Arial", FontStyleRegular, TextRenderingHint::AntiAliasGridFit},
      {"Arial", FontStyleBold, TextRenderingHint::AntiAlias},
      {"Tahoma", FontStyleItalic, TextRenderingHint::ClearTypeGridFit},
  };
  const std::u32string word = U"minimum";
  const StringFormat typographic = StringFormat::GenericTypographic();
  for (const Case& k : cases) {
    Canvas probe(1, 1);
    probe.g.SetTextRenderingHint(k.hint);
    const Font font(k.family, 11, k.style);
    std::vector<float> widths(word.size());
    probe.g.MeasureCharacterWidths(word, font, widths);
    float sum = 0;
    for (float w : widths) sum += w;
    const float whole = probe.g.MeasureString("minimum", font, PointF{0, 0}, typographic).Box.Width;
    EXPECT_NEAR(sum, whole, 0.05f) << k.family << " style " << k.style;
    EXPECT_NEAR(widths[0], probe.g.MeasureString("m", font, PointF{0, 0}, typographic).Box.Width, 0.01f) << k.family;
  }
}

TEST(Text, CharacterWidthsOfSeparatorsAndNonCharactersAreZero) {
  Canvas probe(1, 1);
  const Font font("Arial", 11);
  const std::u32string chars = {U'a', U'\n', U'\r', 0x2028, 0x2029, 0xD800, 0x110000, U'\t', U'b', U'\x7F'};
  std::vector<float> widths(chars.size(), -1.0f);
  probe.g.MeasureCharacterWidths(chars, font, widths);
  EXPECT_GT(widths[0], 3);
  for (std::size_t i = 1; i < chars.size(); ++i) {
    if (chars[i] == U'b') continue;
    EXPECT_EQ(widths[i], 0.0f) << "character " << std::hex << unsigned(chars[i]);
  }
  EXPECT_GT(widths[8], 3);
  // A font that is not Ok measures nothing.
  probe.g.MeasureCharacterWidths(U"ab", Font("No Such Family Anywhere", 11), widths);
  EXPECT_EQ(widths[0], 0.0f);
}

// The baseline lies Ascent below the point text is drawn from: a capital stands on it.
TEST(Text, FontMetricsPutTheBaselineWhereDrawStringDoes) {
  for (float size : {8.0f, 11.0f, 24.0f}) {
    Canvas c(200, 100);
    c.g.SetTextRenderingHint(TextRenderingHint::AntiAliasGridFit);
    const Font font("Arial", size);
    const FontMetrics m = c.g.GetFontMetrics(font);
    EXPECT_GT(m.Ascent, size * 0.9f) << size;
    EXPECT_GT(m.Descent, 0) << size;
    const TextMetrics line = c.g.MeasureString("Hx", font, PointF{0, 0}, StringFormat::GenericTypographic());
    EXPECT_NEAR(m.Ascent + m.Descent, line.Box.Height, 0.01f) << size;
    EXPECT_GT(m.UnderlinePosition, 0) << size;
    EXPECT_GT(m.StrikeoutPosition, 0) << size;
    EXPECT_LT(m.StrikeoutPosition, m.Ascent) << size;
    c.g.DrawString("H", font, PointF{10, 10}, StringFormat::GenericTypographic(), SolidBrush(Color::Rgb(0, 0, 0)));
    const RectF ink = InkBounds(c.bitmap);
    EXPECT_NEAR(ink.Bottom(), 10 + m.Ascent, 1.01f) << size;
  }
  Canvas probe(1, 1);
  EXPECT_EQ(probe.g.GetFontMetrics(Font("Arial", 0)).Ascent, 0.0f);
}

}  // namespace
}  // namespace sib::gfx
