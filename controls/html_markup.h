// The markup caption's renderer: a small HTML-like rich text, as the smooth panel draws its
// Caption.HTMLText. Three steps, each usable without the panel:
//
//   html::Document doc = html::Parse(markup, base);           // markup -> flat items and styles
//   html::Layout lay = html::LayOut(doc, measure, images, width, maxHeight);  // items -> lines
//   html::Paint(g, lay, origin, options);                      // html_markup_paint.cpp
//   lay.AnchorAt(point);                                       // the anchor under a point
//
// The markup. Tag and attribute names and named values are compared without case; a value may be
// quoted with " or ' or stand bare. A tag ends at the first '>'. Tags that change the text nest:
//   <B> <I> <U> <S> (also <STRIKE>)  bold, italic, underline, strike-out
//   <FONT FACE="Arial" COLOR="clRed" BGCOLOR="#FFFF00" SIZE="14">   SIZE in points, or "+n"/"-n"
//                                   points from the size around it
//   <SUB> <SUP>                      smaller text below or above the baseline
//   <SHAD>                           text with a shadow (the panel's HTMLShadowColor and -Offset)
//   <A HREF="reference">             an anchor, drawn in the URL colour and underlined
// Tags that shape lines:
//   <BR>                             a line break
//   <P ALIGN="LEFT|CENTER|RIGHT" INDENT="pixels" BGCOLOR="...">  a paragraph; </P> ends it
//   <UL> ... </UL>                   a list one level deeper
//   <LI TYPE="SQUARE|CIRCLE|IMAGE" COLOR="..." NAME="image">  a list item with its bullet (a disc
//                                   without TYPE); NAME is the bullet picture for TYPE="IMAGE"
//   <IMG SRC="..." ALT="..." WIDTH="px" HEIGHT="px" ALIGN="TOP|MIDDLE" WRAP>  an image, standing
//                                   on the baseline unless ALIGN says otherwise; with WRAP it stands
//                                   at the left margin and the text flows beside it
//   <BODY BGCOLOR="..." BGCOLORTO="..." DIR="H|V">  the background of the whole text, a gradient
//                                   when BGCOLORTO is given (DIR "H" across, otherwise down)
//   <!-- comment -->
// Entities: &nbsp; &lt; &gt; &amp; &quot; &sect; &reg; &copy; &para; &euro; and &#n; &#xh;.
// Colours: "#RRGGBB", or a colour name with or without its "cl" ("clRed", "red", "clBtnFace").
// Runs of white space are one space. Anything else (unknown tags, unknown entities, a '<' that
// starts no tag, broken UTF-8) is drawn as far as it can be or left out; nothing is an error.
//
// Bounds. Nothing recurses on the input, and every size the input controls is limited: the markup
// read (kMaxMarkupBytes), font sizes, image sizes, indents, nesting depths and the number of
// distinct fonts and images; past a limit the markup goes on with what it had. Parsing is linear
// in the markup, laying out linear in the items up to the height asked for.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/colors.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/types.h"

namespace sib::html {

inline constexpr std::size_t kMaxMarkupBytes = std::size_t{4} << 20;  // the rest is not read
inline constexpr int kMinFontSize = 1;                                // points
inline constexpr int kMaxFontSize = 200;                              // points
inline constexpr int kMaxImageSide = 4096;                            // pixels, WIDTH and HEIGHT
inline constexpr int kMaxIndent = 2000;                               // pixels
inline constexpr int kMaxFontNesting = 64;                            // open <FONT>s that count
inline constexpr int kMaxListDepth = 8;                               // open <UL>s that count
inline constexpr std::size_t kMaxFonts = 64;                          // distinct faces x sizes x styles
inline constexpr std::size_t kMaxFaceName = 64;                       // bytes; longer FACEs are ignored
inline constexpr std::size_t kMaxImageSources = 64;                   // distinct pictures per layout

// --- The parsed markup ------------------------------------------------------------------------

struct FontKey {
  std::string Face;
  int Size = 8;  // points
  bool Bold = false;
  bool Italic = false;
  friend bool operator==(const FontKey&, const FontKey&) = default;
};

enum class Script : std::uint8_t { Normal, Sub, Sup };

// How a piece of text is drawn. Colours are plain RGB (system colours resolved); clNone: none.
struct Style {
  std::uint16_t Font = 0;  // in Document::Fonts
  TColor Color = clBlack;
  TColor Background = clNone;
  bool Underline = false;
  bool Strikeout = false;
  bool Shadow = false;
  Script Position = Script::Normal;
  std::uint32_t Anchor = 0;  // 1 + the index in Document::Anchors; 0: not in an anchor
  friend bool operator==(const Style&, const Style&) = default;
};

enum class Align : std::uint8_t { Left, Center, Right };

struct Paragraph {
  Align Alignment = Align::Left;
  int Indent = 0;  // pixels
  TColor Background = clNone;
};

enum class BulletKind : std::uint8_t { Disc, Square, Circle, Image };

struct Bullet {
  BulletKind Kind = BulletKind::Disc;
  TColor Color = clBlack;
  std::string Image;  // the picture of an Image bullet
};

enum class ImageAlign : std::uint8_t { Baseline, Top, Middle };

struct ImageRef {
  std::string Source;
  std::uint32_t AltBegin = 0, AltLength = 0;  // the ALT text, in Document::Text
  int Width = 0, Height = 0;                  // 0: the picture's own
  ImageAlign Alignment = ImageAlign::Baseline;
  bool Wrap = false;
};

struct Body {
  TColor Color = clNone;
  TColor ColorTo = clNone;
  bool Horizontal = false;
};

enum class ItemKind : std::uint8_t {
  Word,            // Text[Begin, Begin + Length): characters drawn together, never split but to fit a line
  Space,           // a place to break the line, as wide as a space of its style
  LineBreak,       // <BR>
  ParagraphBegin,  // Begin: index in Paragraphs
  ParagraphEnd,
  ListBegin,
  ListEnd,
  ListItem,  // Begin: index in Bullets
  ListItemEnd,
  Image,  // Begin: index in Images
};

struct Item {
  ItemKind Kind = ItemKind::Word;
  std::uint32_t StyleIndex = 0;  // the style in effect
  std::uint32_t Begin = 0;
  std::uint32_t Length = 0;
};

// Words that follow each other without a Space item form one word: "<B>W</B>ord" breaks as "Word".
struct Document {
  std::string Text;  // valid UTF-8 of every word and ALT text
  std::vector<Item> Items;
  std::vector<Style> Styles;  // Styles[0] is the base style
  std::vector<FontKey> Fonts;
  std::vector<std::string> Anchors;
  std::vector<Paragraph> Paragraphs;
  std::vector<Bullet> Bullets;
  std::vector<ImageRef> Images;
  Body Background;
};

// The style the markup starts from (the panel's HTMLFont).
struct BaseStyle {
  std::string Face = "Tahoma";
  int Size = 8;  // points
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool Strikeout = false;
  TColor Color = clBlack;
};

Document Parse(std::string_view markup, const BaseStyle& base);

// A colour value of the markup ("#RRGGBB" or a name); clNone when it is neither.
TColor ParseColor(std::string_view value);

// --- Laying out -------------------------------------------------------------------------------

// What laying out needs to know of text. Implemented over a drawing surface (GraphicsMeasure in
// html_markup_paint.cpp) and, for tests and fuzzing, by simple arithmetic.
class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  virtual gfx::FontMetrics Metrics(const FontKey& font) = 0;
  // The width of each character drawn on its own, as Graphics::MeasureCharacterWidths gives it.
  virtual void Widths(const FontKey& font, std::u32string_view characters, std::span<float> widths) = 0;
};

// Where the pictures that images and bullets name come from.
class ImageSource {
 public:
  virtual ~ImageSource() = default;
  // The picture named `source`, or nullptr when there is none.
  virtual std::shared_ptr<const gfx::Bitmap> Find(const std::string& source) = 0;
};

enum class BoxKind : std::uint8_t { Word, Space, Image, Bullet };

// One placed thing, in the layout's coordinates (0, 0: its top left). Words, spaces and bullets
// stand on Baseline; X .. X + Width is the thing's extent along the line, and LineTop ..
// LineTop + LineHeight the line it is on. An image (or an image bullet) fills (X, Top, Width,
// Height); a shape bullet is drawn in that rectangle too.
struct Box {
  BoxKind Kind = BoxKind::Word;
  std::uint32_t StyleIndex = 0;
  float X = 0, Width = 0;
  float Top = 0, Height = 0;
  float Baseline = 0;
  float LineTop = 0, LineHeight = 0;
  std::uint32_t Begin = 0;   // Word: bytes in Document::Text; Image: index in Layout::Pictures;
  std::uint32_t Length = 0;  // Bullet: index in Document::Bullets (Begin), with Length 1 when it is a picture
};

// A coloured rectangle under the text (a paragraph's background).
struct Fill {
  gfx::RectF Rect;
  TColor Color = clNone;
};

struct Layout {
  std::shared_ptr<const Document> Source;
  std::vector<Box> Boxes;
  std::vector<Fill> Fills;
  std::vector<std::shared_ptr<const gfx::Bitmap>> Pictures;
  std::vector<gfx::FontMetrics> Metrics;  // per font of the document (zero where unused)
  float Width = 0;         // of the widest line, or the whole width when a paragraph is centred or right-aligned
  float Height = 0;        // of all lines and images
  bool Truncated = false;  // laying out stopped once the lines passed the height asked for

  // The reference of the anchor whose text or image covers `point` (layout coordinates), or "".
  std::string AnchorAt(gfx::PointF point) const;
};

// Breaks the document into lines no wider than `width` (a word wider than that is split between
// characters), and stops after the first line that ends below `maxHeight`. `images` may be null.
Layout LayOut(std::shared_ptr<const Document> document, TextMeasure& measure, ImageSource* images, float width,
              float maxHeight);

// --- Painting (html_markup_paint.cpp) -----------------------------------------------------------

// The drawing-layer font of a font of the markup: its face, or Arial when the face or its style
// is not there.
gfx::Font MakeFont(const FontKey& font);

// Measures text on a drawing surface, with its text rendering hint. The surface must outlive it.
class GraphicsMeasure : public TextMeasure {
 public:
  explicit GraphicsMeasure(const gfx::Graphics& g) : g_(g) {}
  gfx::FontMetrics Metrics(const FontKey& font) override;
  void Widths(const FontKey& font, std::u32string_view characters, std::span<float> widths) override;

 private:
  const gfx::Font& FontOf(const FontKey& font);

  const gfx::Graphics& g_;
  std::vector<std::pair<FontKey, gfx::Font>> fonts_;
};

struct PaintOptions {
  TColor UrlColor = clBlue;
  TColor ShadowColor = clGray;
  int ShadowOffset = 5;
};

// Draws the layout with its top left corner at `origin`. Only what lies in the clip is drawn.
void Paint(gfx::Graphics& g, const Layout& layout, gfx::PointF origin, const PaintOptions& options);

}  // namespace sib::html
