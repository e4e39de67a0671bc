// The markup renderer without the panel: what the parser makes of markup (good and bad), how the
// layout breaks, indents and places things (with an arithmetic text measure), and what a table of
// samples looks like when painted with real fonts (written as PNGs).
#include <cmath>
#include <functional>
#include <limits>

#include "tests/controls/html_markup_fixture.h"

namespace sib::test {
namespace {

using html::ItemKind;

// The text of every word item, spaces as " ", other items as "|".
std::string Flatten(const html::Document& d) {
  std::string out;
  for (const html::Item& i : d.Items) {
    if (i.Kind == ItemKind::Word)
      out += d.Text.substr(i.Begin, i.Length);
    else if (i.Kind == ItemKind::Space)
      out += ' ';
    else
      out += '|';
  }
  return out;
}

const html::Item* FirstWord(const html::Document& d) {
  for (const html::Item& i : d.Items)
    if (i.Kind == ItemKind::Word) return &i;
  return nullptr;
}

struct StyleCase {
  const char* markup;
  std::function<bool(const html::Document&, const html::Style&, const html::FontKey&)> holds;
};

TEST(HtmlParse, TagsSetTheStyleOfTheTextTheyHold) {
  const StyleCase cases[] = {
      {"<B>x</B>", [](auto&, auto& s, auto& f) { return f.Bold && !f.Italic && !s.Underline; }},
      {"<i>x</i>", [](auto&, auto&, auto& f) { return f.Italic && !f.Bold; }},
      {"<U>x</U>", [](auto&, auto& s, auto&) { return s.Underline && !s.Strikeout; }},
      {"<S>x</S>", [](auto&, auto& s, auto&) { return s.Strikeout; }},
      {"<STRIKE>x</STRIKE>", [](auto&, auto& s, auto&) { return s.Strikeout; }},
      {"<SHAD>x</SHAD>", [](auto&, auto& s, auto&) { return s.Shadow; }},
      {"<FONT COLOR=\"#FF0000\">x</FONT>", [](auto&, auto& s, auto&) { return s.Color == clRed; }},
      {"<FONT color=clBlue bgcolor='clYellow'>x</FONT>",
       [](auto&, auto& s, auto&) { return s.Color == clBlue && s.Background == clYellow; }},
      {"<FONT FACE=\"Liberation Serif\">x</FONT>", [](auto&, auto&, auto& f) { return f.Face == "Liberation Serif"; }},
      {"<FONT SIZE=\"14\">x</FONT>", [](auto&, auto&, auto& f) { return f.Size == 14; }},
      {"<FONT SIZE=\"+4\">x</FONT>", [](auto&, auto&, auto& f) { return f.Size == 14; }},
      {"<FONT SIZE=-3>x</FONT>", [](auto&, auto&, auto& f) { return f.Size == 7; }},
      {"<SUP>x</SUP>", [](auto&, auto& s, auto& f) { return s.Position == html::Script::Sup && f.Size == 7; }},
      {"<SUB>x</SUB>", [](auto&, auto& s, auto& f) { return s.Position == html::Script::Sub && f.Size == 7; }},
      {"<A HREF=\"https://example.org/?a=1&amp;b=2\">x</A>",
       [](auto& d, auto& s, auto&) { return s.Anchor == 1 && d.Anchors[0] == "https://example.org/?a=1&b=2"; }},
      {"<A NAME=x>x</A>", [](auto& d, auto& s, auto&) { return s.Anchor == 0 && d.Anchors.empty(); }},
      {"<B><B>y</B> x</B>", [](auto&, auto&, auto& f) { return f.Bold; }},  // nested: still bold after the inner end
      {"<FONT COLOR=red><FONT SIZE=20>y</FONT>x</FONT>",
       [](auto&, auto& s, auto& f) { return s.Color == clRed && f.Size == 10; }},
      {"<B>bold</B> x", [](auto&, auto&, auto& f) { return !f.Bold; }},
  };
  for (const StyleCase& k : cases) {
    const auto d = ParseShared(k.markup);
    // The last word is "x".
    const html::Item* x = nullptr;
    for (const html::Item& i : d->Items)
      if (i.Kind == ItemKind::Word) x = &i;
    ASSERT_NE(x, nullptr) << k.markup;
    EXPECT_EQ(d->Text.substr(x->Begin, x->Length), "x") << k.markup;
    const html::Style& s = d->Styles[x->StyleIndex];
    EXPECT_TRUE(k.holds(*d, s, d->Fonts[s.Font])) << k.markup;
  }
}

TEST(HtmlParse, EntitiesWhiteSpaceAndLiteralCharacters) {
  struct Case {
    const char* markup;
    const char* flat;
  };
  const Case cases[] = {
      {"&lt;&gt;&amp;&quot;", "<>&\""},
      {"&sect;&reg;&copy;&para;&euro;", "\u00A7\u00AE\u00A9\u00B6\u20AC"},
      {"a&nbsp;b", "a\u00A0b"},
      {"&#65;&#x42;&#X43;", "ABC"},
      {"&#0;&#xD800;&#x110000;", "\uFFFD\uFFFD\uFFFD"},
      {"&LT;", "<"},
      {"&bogus; & &; &#; &#xZZ; &amp", "&bogus; & &; &#; &#xZZ; &amp"},
      {"  a \t\n b  ", " a b "},
      {"a<BR>b", "a|b"},
      {"a < b > c", "a < b > c"},
      {"x<y", "x<y"},
      {"1 <3 2", "1 <3 2"},
      {"a<!-- gone <B> -->b", "ab"},
      {"a<!-- never closed <B>b", "a"},
      {"a<!DOCTYPE html>b", "ab"},
      {"a</>b", "a</>b"},
      {"a<BLINK>b</BLINK>c", "abc"},
      {"a\x01\x7F\xC2\x85"
       "b",
       "ab"},
      {"\xFF\xC3(\xE2\x82", "\uFFFD\uFFFD(\uFFFD\uFFFD"},
      {"\xED\xA0\x80\xC0\xAF", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
  };
  for (const Case& k : cases) EXPECT_EQ(Flatten(*ParseShared(k.markup)), k.flat) << k.markup;
}

TEST(HtmlParse, LineTagsBecomeItemsWithTheirAttributes) {
  const auto d = ParseShared(
      "<BODY BGCOLOR=clWhite BGCOLORTO=#000080 DIR=H>"
      "<P ALIGN=center INDENT=12 BGCOLOR=#00FF00>p</P>"
      "<UL><LI TYPE=square COLOR=clRed>a<LI TYPE=IMAGE NAME=red10>b</LI></UL>"
      "<IMG SRC=\"green20x10\" ALT=\"no picture\" WIDTH=40 ALIGN=middle WRAP>");
  std::vector<ItemKind> kinds;
  for (const html::Item& i : d->Items) kinds.push_back(i.Kind);
  const std::vector<ItemKind> expected = {ItemKind::ParagraphBegin, ItemKind::Word,     ItemKind::ParagraphEnd,
                                          ItemKind::ListBegin,      ItemKind::ListItem, ItemKind::Word,
                                          ItemKind::ListItem,       ItemKind::Word,     ItemKind::ListItemEnd,
                                          ItemKind::ListEnd,        ItemKind::Image};
  EXPECT_EQ(kinds, expected);
  EXPECT_EQ(d->Background.Color, clWhite);
  EXPECT_EQ(d->Background.ColorTo, clNavy);
  EXPECT_TRUE(d->Background.Horizontal);
  ASSERT_EQ(d->Paragraphs.size(), 1u);
  EXPECT_EQ(d->Paragraphs[0].Alignment, html::Align::Center);
  EXPECT_EQ(d->Paragraphs[0].Indent, 12);
  EXPECT_EQ(d->Paragraphs[0].Background, clLime);
  ASSERT_EQ(d->Bullets.size(), 2u);
  EXPECT_EQ(d->Bullets[0].Kind, html::BulletKind::Square);
  EXPECT_EQ(d->Bullets[0].Color, clRed);
  EXPECT_EQ(d->Bullets[1].Kind, html::BulletKind::Image);
  EXPECT_EQ(d->Bullets[1].Image, "red10");
  EXPECT_EQ(d->Bullets[1].Color, clBlack) << "the text colour when no COLOR is given";
  ASSERT_EQ(d->Images.size(), 1u);
  const html::ImageRef& img = d->Images[0];
  EXPECT_EQ(img.Source, "green20x10");
  EXPECT_EQ(d->Text.substr(img.AltBegin, img.AltLength), "no\u00A0picture");
  EXPECT_EQ(img.Width, 40);
  EXPECT_EQ(img.Height, 0);
  EXPECT_EQ(img.Alignment, html::ImageAlign::Middle);
  EXPECT_TRUE(img.Wrap);
}

TEST(HtmlParse, ColoursAreHexTriplesOrNamesWithoutCase) {
  struct Case {
    const char* value;
    TColor expected;
  };
  const Case cases[] = {
      {"#FF0000", clRed},
      {"#00ff00", clLime},
      {" #0000FF ", clBlue},
      {"clRed", clRed},
      {"CLSILVER", clSilver},
      {"clblue", clBlue},
      {"red", clRed},
      {"Navy", clNavy},
      {"clBtnFace", ColorToRGB(clBtnFace)},
      {"btnface", ColorToRGB(clBtnFace)},
      {"#FFF", clNone},
      {"#GG0000", clNone},
      {"#FF00000", clNone},
      {"", clNone},
      {"no such colour", clNone},
      {"clNone", clNone},
  };
  for (const Case& k : cases) EXPECT_EQ(html::ParseColor(k.value), k.expected) << k.value;
}

TEST(HtmlParse, SizesIndentsAndNestingAreBounded) {
  const auto huge = ParseShared("<FONT SIZE=99999999999>x</FONT><FONT SIZE=-500>y</FONT><FONT SIZE=+300>z</FONT>");
  std::vector<int> sizes;
  for (const html::Item& i : huge->Items) sizes.push_back(huge->Fonts[huge->Styles[i.StyleIndex].Font].Size);
  EXPECT_EQ(sizes, (std::vector<int>{html::kMaxFontSize, html::kMinFontSize, html::kMaxFontSize}));

  const auto img = ParseShared("<IMG SRC=a WIDTH=100000 HEIGHT=-5><P INDENT=99999999>");
  EXPECT_EQ(img->Images[0].Width, html::kMaxImageSide);
  EXPECT_EQ(img->Images[0].Height, 0);
  EXPECT_EQ(img->Paragraphs[0].Indent, html::kMaxIndent);

  // Beyond the deepest <FONT> that counts, further ones and their ends change nothing.
  std::string deep;
  for (int i = 0; i < 1000; ++i) deep += "<FONT SIZE=+1 COLOR=#0000" + std::string(i % 2 ? "FF" : "00") + ">";
  deep += "x";
  for (int i = 0; i < 1000; ++i) deep += "</FONT>";
  deep += "y";
  const auto d = ParseShared(deep);
  const html::Item& x = *FirstWord(*d);
  EXPECT_EQ(d->Fonts[d->Styles[x.StyleIndex].Font].Size, 10 + html::kMaxFontNesting - 1);
  EXPECT_EQ(d->Fonts[d->Styles[d->Items.back().StyleIndex].Font].Size, 10) << "every end matched";

  // Distinct fonts are limited; the base font stands in for the ones past the limit.
  std::string many;
  for (int i = 1; i <= 150; ++i) many += "<FONT SIZE=" + std::to_string(i) + ">w</FONT>";
  EXPECT_EQ(ParseShared(many)->Fonts.size(), html::kMaxFonts);
  EXPECT_EQ(ParseShared("<FONT FACE=\"" + std::string(200, 'F') + "\">x")->Fonts.size(), 1u) << "a face too long";

  std::string lists;
  for (int i = 0; i < 100; ++i) lists += "<UL>";
  int begins = 0;
  const auto listed = ParseShared(lists + "</UL></UL>");
  for (const html::Item& i : listed->Items) begins += i.Kind == ItemKind::ListBegin;
  EXPECT_EQ(begins, html::kMaxListDepth);
}

TEST(HtmlParse, UnclosedTagsLastToTheEnd) {
  const auto d = ParseShared("<B><U>bold <A HREF=x>link");
  for (const html::Item& i : d->Items) {
    const html::Style& s = d->Styles[i.StyleIndex];
    EXPECT_TRUE(d->Fonts[s.Font].Bold);
    EXPECT_TRUE(s.Underline);
  }
  EXPECT_EQ(d->Styles[d->Items.back().StyleIndex].Anchor, 1u);
  // Stray ends do nothing.
  const auto stray = ParseShared("</B></FONT></UL></A></P>x");
  EXPECT_FALSE(stray->Fonts[stray->Styles[FirstWord(*stray)->StyleIndex].Font].Bold);
}

// --- Laying out, with the arithmetic measure (10-point text: characters 5 wide, lines 12.5 high) ---

struct Placed {
  std::string text;
  float x, top;
};

std::vector<Placed> Words(const html::Layout& l) {
  std::vector<Placed> out;
  for (const html::Box& b : l.Boxes)
    if (b.Kind == html::BoxKind::Word) out.push_back({l.Source->Text.substr(b.Begin, b.Length), b.X, b.LineTop});
  return out;
}

html::Layout Lay(std::string_view markup, float width, html::ImageSource* images = nullptr, float maxHeight = 10000) {
  ArithmeticMeasure m;
  return html::LayOut(ParseShared(markup), m, images, width, maxHeight);
}

TEST(HtmlLayout, LinesBreakAtSpacesAndSplitOnlyWordsWiderThanALine) {
  struct Case {
    const char* markup;
    float width;
    std::vector<std::pair<std::string, float>> words;  // text and line top
  };
  const Case cases[] = {
      {"aa bb cc", 100, {{"aa", 0}, {"bb", 0}, {"cc", 0}}},
      {"aa bb cc", 40, {{"aa", 0}, {"bb", 0}, {"cc", 0}}},  // 40 wide: fits exactly
      {"aa bb cc", 39, {{"aa", 0}, {"bb", 0}, {"cc", 12.5f}}},
      {"aa bb cc", 20, {{"aa", 0}, {"bb", 12.5f}, {"cc", 25}}},
      {"abcdefgh", 20, {{"abcd", 0}, {"efgh", 12.5f}}},  // too wide for any line: split
      {"x abcdef", 20, {{"x", 0}, {"abcd", 12.5f}, {"ef", 25}}},
      {"ab<B>cd</B>ef gh", 40, {{"ab", 0}, {"cd", 0}, {"ef", 0}, {"gh", 12.5f}}},  // one word in two styles
      {"abc", 2, {{"a", 0}, {"b", 12.5f}, {"c", 25}}},  // narrower than a character: one per line
      {"a<BR><BR>b", 100, {{"a", 0}, {"b", 25}}},
      {"  a  ", 100, {{"a", 0}}},
  };
  for (const Case& k : cases) {
    const html::Layout l = Lay(k.markup, k.width);
    const std::vector<Placed> got = Words(l);
    ASSERT_EQ(got.size(), k.words.size()) << k.markup << " in " << k.width;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].text, k.words[i].first) << k.markup << " in " << k.width;
      EXPECT_FLOAT_EQ(got[i].top, k.words[i].second) << k.markup << " in " << k.width << ", word " << i;
    }
  }
  const html::Layout l = Lay("aa bb cc", 100);
  EXPECT_FLOAT_EQ(l.Width, 40);
  EXPECT_FLOAT_EQ(l.Height, 12.5f);
  EXPECT_FALSE(l.Truncated);
}

TEST(HtmlLayout, ParagraphsAlignInTheWholeWidthAndIndent) {
  const html::Layout l = Lay("<P ALIGN=CENTER>ab</P><P ALIGN=right>cd</P><P INDENT=7>ef</P>gh", 100);
  const std::vector<Placed> w = Words(l);
  ASSERT_EQ(w.size(), 4u);
  EXPECT_FLOAT_EQ(w[0].x, 45);  // (100 - 10) / 2
  EXPECT_FLOAT_EQ(w[1].x, 90);
  EXPECT_FLOAT_EQ(w[2].x, 7);
  EXPECT_FLOAT_EQ(w[3].x, 0) << "after </P> the margins are back";
  EXPECT_FLOAT_EQ(w[3].top, 37.5f);
  EXPECT_FLOAT_EQ(l.Width, 100) << "an aligned paragraph takes the whole width";

  const html::Layout filled = Lay("<P BGCOLOR=#FF0000>a<BR>b</P>c", 50);
  ASSERT_EQ(filled.Fills.size(), 2u);
  EXPECT_EQ(filled.Fills[0].Color, clRed);
  EXPECT_EQ(filled.Fills[0].Rect, (gfx::RectF{0, 0, 5, 12.5f}));
  EXPECT_EQ(filled.Fills[1].Rect, (gfx::RectF{0, 12.5f, 5, 12.5f}));
}

TEST(HtmlLayout, ListItemsHangTheirBulletsInTheIndent) {
  // One level of indent is 1.5 em of the base font: 10 points are 13.3 pixels, so 20 pixels.
  const html::Layout l = Lay("<UL><LI>aa bbbbbb<UL><LI TYPE=square>cc</UL></UL>dd", 50);
  std::vector<const html::Box*> bullets;
  for (const html::Box& b : l.Boxes)
    if (b.Kind == html::BoxKind::Bullet) bullets.push_back(&b);
  const std::vector<Placed> w = Words(l);
  ASSERT_EQ(w.size(), 4u);
  EXPECT_FLOAT_EQ(w[0].x, 20);
  EXPECT_FLOAT_EQ(w[1].x, 20) << "a wrapped line of the item starts where its text does";
  EXPECT_FLOAT_EQ(w[1].top, 12.5f);
  EXPECT_FLOAT_EQ(w[2].x, 40);
  EXPECT_FLOAT_EQ(w[3].x, 0);
  ASSERT_EQ(bullets.size(), 2u);
  EXPECT_LT(bullets[0]->X + bullets[0]->Width, 20);
  EXPECT_GT(bullets[0]->X, 0);
  EXPECT_FLOAT_EQ(bullets[0]->LineTop, 0);
  EXPECT_LT(bullets[1]->X + bullets[1]->Width, 40);
  EXPECT_GT(bullets[1]->X, 20);
  EXPECT_FLOAT_EQ(bullets[1]->LineTop, 25);
  // The bullet stands in the middle of the text's height.
  EXPECT_GT(bullets[0]->Top, 0);
  EXPECT_LT(bullets[0]->Top + bullets[0]->Height, bullets[0]->Baseline);
}

TEST(HtmlLayout, ImagesTakeTheirSizeOrAltTextAndWrappedOnesPushTheText) {
  SquareImages images;
  const html::Layout l = Lay("a<IMG SRC=red10>b<IMG SRC=green20x10 HEIGHT=20><IMG SRC=none ALT=\"x y\">", 200, &images);
  ASSERT_EQ(l.Boxes.size(), 5u);
  EXPECT_EQ(l.Boxes[1].Kind, html::BoxKind::Image);
  EXPECT_EQ(l.Boxes[1].X, 5);
  EXPECT_EQ(l.Boxes[1].Width, 10);
  EXPECT_EQ(l.Boxes[1].Height, 10);
  EXPECT_FLOAT_EQ(l.Boxes[1].Top + l.Boxes[1].Height, l.Boxes[1].Baseline) << "on the baseline";
  EXPECT_EQ(l.Boxes[3].Width, 40) << "in proportion to the HEIGHT given";
  EXPECT_EQ(l.Boxes[3].Height, 20);
  EXPECT_EQ(l.Boxes[4].Kind, html::BoxKind::Word);
  EXPECT_EQ(l.Source->Text.substr(l.Boxes[4].Begin, l.Boxes[4].Length), "x\u00A0y");
  EXPECT_FLOAT_EQ(l.Boxes[0].Baseline, 20) << "the line is as high as its tallest image";
  EXPECT_EQ(images.lookups, 3);

  const html::Layout wrapped = Lay("<IMG SRC=red10 HEIGHT=30 WRAP>aaaa bbbb cccc dddd", 60, &images);
  const std::vector<Placed> w = Words(wrapped);
  ASSERT_EQ(w.size(), 4u);
  EXPECT_FLOAT_EQ(w[0].x, 34) << "beside the image, after its gap";
  EXPECT_FLOAT_EQ(w[1].x, 34);
  EXPECT_FLOAT_EQ(w[1].top, 12.5f);
  EXPECT_FLOAT_EQ(w[2].x, 34);
  EXPECT_FLOAT_EQ(w[3].x, 0) << "below the image the line is whole again";
  EXPECT_FLOAT_EQ(w[3].top, 37.5f);
}

TEST(HtmlLayout, AnchorsAreFoundWhereTheirTextAndImagesAre) {
  SquareImages images;
  const html::Layout l = Lay(
      "go <A HREF=\"first\">here now</A> or <A HREF=second><IMG SRC=red10></A><BR><A HREF=\"\">no</A>", 400, &images);
  struct Case {
    gfx::PointF at;
    std::string anchor;
  };
  // "go " is 15 wide; "here now" 40 (a space included); " or " 20; the image 10 x 10.
  const Case cases[] = {
      {{1, 5}, ""},   {{16, 5}, "first"},  {{36, 5}, "first"},  {{54, 5}, "first"},
      {{56, 5}, ""},  {{76, 5}, "second"}, {{84, 9}, "second"}, {{86, 5}, ""},
      {{20, 13}, ""}, {{20, -1}, ""},      {{5, 14}, ""},
  };
  for (const Case& k : cases) EXPECT_EQ(l.AnchorAt(k.at), k.anchor) << k.at.X << "," << k.at.Y;
}

TEST(HtmlLayout, StopsBelowTheHeightAskedFor) {
  std::string lines;
  for (int i = 0; i < 1000; ++i) lines += "line<BR>";
  const html::Layout l = Lay(lines, 100, nullptr, 100);
  EXPECT_TRUE(l.Truncated);
  EXPECT_GT(l.Height, 100);
  EXPECT_LE(Words(l).size(), 9u);
  for (const html::Box& b : l.Boxes) EXPECT_LE(b.LineTop, 100);
}

TEST(HtmlLayout, CharactersAreMeasuredInFewCalls) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "<B>w" + std::to_string(i) + "</B> x" + std::to_string(i) + " ";
  ArithmeticMeasure m;
  const html::Layout l = html::LayOut(ParseShared(text), m, nullptr, 300, 1e9f);
  EXPECT_EQ(Words(l).size(), 6000u);
  EXPECT_LT(m.widthCalls, 20) << "per font and per batch of items, not per word";
  EXPECT_LE(m.metricsCalls, 2);
}

TEST(HtmlLayout, NoDocumentOrNonsenseSizesLayOutNothingOrSomething) {
  ArithmeticMeasure m;
  EXPECT_TRUE(html::LayOut(nullptr, m, nullptr, 100, 100).Boxes.empty());
  EXPECT_TRUE(html::LayOut(std::make_shared<const html::Document>(), m, nullptr, 100, 100).Boxes.empty());
  for (float width : {0.0f, -5.0f, std::nanf(""), std::numeric_limits<float>::infinity()}) {
    const html::Layout l = html::LayOut(ParseShared("ab cd"), m, nullptr, width, std::nanf(""));
    EXPECT_FALSE(l.Boxes.empty()) << width;
    EXPECT_TRUE(std::isfinite(l.Width)) << width;
  }
  EXPECT_EQ(html::LayOut(ParseShared(""), m, nullptr, 100, 100).Height, 0);
}

// --- Painted with real fonts -----------------------------------------------------------------

struct Sample {
  const char* name;
  const char* markup;
  std::function<void(const Rendered&)> check;
};

int Ink(const Rendered& r) {
  const auto [first, last] = r.InkColumns();
  return last - first + 1;
}

TEST(HtmlPaint, SamplesRenderAsMarkedUp) {
  SquareImages images;
  const int plainWidth = Ink(Rendered("Markup", 200, 40));
  const Sample samples[] = {
      {"plain", "Markup", [](const Rendered& r) { EXPECT_GT(r.Count(Dark), 20); }},
      {"bold", "<B>Markup</B>", [&](const Rendered& r) { EXPECT_GT(Ink(r), plainWidth + 2); }},
      {"italic_underline_strike", "<I>it</I> <U>under line</U> <S>struck</S>",
       [](const Rendered& r) {
         // The underline runs under the space between "under" and "line" too.
         bool continuous = false;
         for (int y = 0; y < r.bitmap.Height() && !continuous; ++y) {
           int run = 0;
           for (int x = 0; x < r.bitmap.Width(); ++x) {
             run = Dark(r.At(x, y)) ? run + 1 : 0;
             if (run > 50) continuous = true;
           }
         }
         EXPECT_TRUE(continuous);
       }},
      {"colour", "plain <FONT COLOR=\"#FF0000\">red</FONT> plain",
       [](const Rendered& r) {
         EXPECT_GT(r.Count(Reddish), 15);
         const html::Box& red = r.layout.Boxes[2];
         EXPECT_GT(r.Count(Reddish, 4 + int(red.X), 0, 4 + int(red.X + red.Width), 40), 15) << "in its own place";
         EXPECT_EQ(r.Count(Reddish, 0, 0, 4 + int(red.X) - 1, 40), 0);
       }},
      {"background", "<FONT BGCOLOR=clYellow>marked</FONT>",
       [](const Rendered& r) {
         EXPECT_GT(r.Count([](gfx::Color c) { return c == gfx::Color::Rgb(255, 255, 0); }), 300);
       }},
      {"anchor", "see <A HREF=\"https://example.org\">the site</A>",
       [](const Rendered& r) {
         EXPECT_GT(r.Count(Bluish), 40) << "in the URL colour, underlined";
         EXPECT_EQ(r.Count(Bluish, 0, 0, 4 + int(r.layout.Boxes[1].X), 40), 0) << "only the anchor";
       }},
      {"list", "<UL><LI>first<LI TYPE=square COLOR=clRed>second<LI TYPE=circle>third</UL>",
       [](const Rendered& r) {
         for (const html::Box& b : r.layout.Boxes) {
           if (b.Kind != html::BoxKind::Bullet) continue;
           const int x = 4 + int(b.X + b.Width / 2), y = 4 + int(b.Top + 0.5f);
           EXPECT_GT(r.Count([](gfx::Color c) { return c != gfx::Color::Rgb(255, 255, 255); }, x - 3, y - 1, x + 3,
                             y + int(b.Height) + 1),
                     3)
               << "a bullet at " << x << "," << y;
         }
         const html::Box& square = r.layout.Boxes[2];
         ASSERT_EQ(square.Kind, html::BoxKind::Bullet);
         EXPECT_TRUE(Reddish(r.At(4 + int(square.X + 1), 4 + int(square.Top + 1))));
         EXPECT_LT(square.X + square.Width, r.layout.Boxes[3].X) << "before its item's text";
       }},
      {"image", "a<IMG SRC=\"red10\">b <IMG SRC=green20x10 WIDTH=40 ALIGN=middle> c",
       [](const Rendered& r) {
         const html::Box& img = r.layout.Boxes[1];
         ASSERT_EQ(img.Kind, html::BoxKind::Image);
         const int x = 4 + int(img.X), y = 4 + int(img.Top);
         EXPECT_EQ(r.At(x, y), gfx::Color::Rgb(255, 0, 0));
         EXPECT_EQ(r.At(x + 9, y + 9), gfx::Color::Rgb(255, 0, 0));
         EXPECT_NE(r.At(x + 10, y + 4), gfx::Color::Rgb(255, 0, 0));
         EXPECT_NE(r.At(x - 1, y + 4), gfx::Color::Rgb(255, 0, 0));
         EXPECT_EQ(r.Count([](gfx::Color c) { return c == gfx::Color::Rgb(0, 160, 0); }), 800)
             << "40 x 20: in proportion";
       }},
      {"missing_image", "<IMG SRC=\"nowhere\" ALT=\"[picture]\">",
       [](const Rendered& r) { EXPECT_GT(r.Count(Dark), 20); }},
      {"scripts_and_shadow", "H<SUB>2</SUB>O x<SUP>2</SUP> <SHAD>shadow</SHAD>",
       [](const Rendered& r) {
         const auto& b = r.layout.Boxes;
         EXPECT_GT(b[1].Baseline, b[0].Baseline) << "below";
         EXPECT_LT(b[5].Baseline, b[4].Baseline) << "above";
         EXPECT_GT(r.Count([](gfx::Color c) { return c.R > 110 && c.R < 150 && c.G > 110 && c.G < 150; }), 10)
             << "a grey shadow";
       }},
      {"paragraphs", "<P ALIGN=center>centred</P><P ALIGN=right>right</P><P INDENT=30 BGCOLOR=#E0E0FF>indented</P>",
       [](const Rendered& r) {
         EXPECT_GT(r.layout.Boxes[0].X, 40);
         EXPECT_GT(r.layout.Boxes[1].X, r.layout.Boxes[0].X);
         EXPECT_EQ(r.At(8, 4 + int(r.layout.Boxes[2].LineTop + 2)), gfx::Color::Rgb(224, 224, 255));
       }},
      {"body", "<BODY BGCOLOR=clWhite BGCOLORTO=#0000FF>gradient<BR>body</BODY>",
       [](const Rendered& r) {
         const int bottom = 4 + int(r.layout.Height) - 1, right = 4 + int(r.layout.Width) - 2;
         EXPECT_GT(r.At(right, bottom).B, 200);
         EXPECT_LT(r.At(right, bottom).R, 60);
         EXPECT_GT(r.At(right, 4).R, 230);
         EXPECT_EQ(r.At(right + 4, bottom), gfx::Color::Rgb(255, 255, 255)) << "the body ends with the text";
       }},
      {"entities", "&lt;tag&gt; &amp; &copy; &reg; &euro; &sect; &para; &quot;q&quot;",
       [](const Rendered& r) { EXPECT_GT(r.Count(Dark), 100); }},
  };
  for (const Sample& s : samples) {
    SCOPED_TRACE(s.name);
    const Rendered r(s.markup, 200, 60, &images);
    const std::filesystem::path png = r.Save(std::string("markup_") + s.name + ".png");
    EXPECT_GT(std::filesystem::file_size(png), 100u);
    s.check(r);
  }
}

// Bad markup draws what it can and comes back; a megabyte lays out.
TEST(HtmlPaint, BadMarkupDrawsWhatItCan) {
  std::string deep;
  for (int i = 0; i < 20000; ++i) deep += "<FONT SIZE=+1><B><UL><LI>";
  std::string megabyte;
  while (megabyte.size() < (1u << 20)) megabyte += "Some <B>bold</B> and <I>italic</I> words, <A HREF=x>a link</A>. ";
  std::string tags;
  while (tags.size() < (1u << 20)) tags += "<B>x</B><FONT COLOR=#123456 SIZE=+1>&amp;</FONT>";
  struct Case {
    const char* name;
    std::string markup;
  };
  const Case cases[] = {
      {"unclosed", "<B>bold <I>and italic <FONT COLOR=red>red <A HREF=x>link"},
      {"unknown", "<BLINK>blink</BLINK> <MARQUEE>m</MARQUEE> &bogus; &#xFFFFFFF; <"},
      {"huge_sizes", "<IMG SRC=red10 WIDTH=1000000 HEIGHT=1000000><FONT SIZE=100000>W</FONT>"},
      {"deep", deep},
      {"megabyte", megabyte},
      {"tag_soup", tags},
      {"binary", std::string("\xFF\xFE<\0>\x80\x81<B\0>x\0", 13)},
  };
  SquareImages images;
  for (const Case& k : cases) {
    const Rendered r(k.markup, 200, 60, &images);
    EXPECT_FALSE(r.layout.Boxes.empty()) << k.name;
    EXPECT_GT(r.Count([](gfx::Color c) { return c != gfx::Color::Rgb(255, 255, 255); }), 10) << k.name;
    if (k.markup.size() < 1000) r.Save(std::string("markup_bad_") + k.name + ".png");
  }
}

}  // namespace
}  // namespace sib::test
