// Laying out a Document: words are measured from the widths of their characters (fetched from the
// text measure for many items at once), gathered into lines that break at spaces and images, and
// split between characters only when one word is wider than a line. Lines take the height of what
// stands on them; paragraphs are aligned once the width of the widest line is known.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "controls/html_markup.h"
#include "platform/core/utf8.h"

namespace sib::html {

std::string Layout::AnchorAt(gfx::PointF point) const {
  if (!Source) return {};
  for (const Box& b : Boxes) {
    if (b.Kind == BoxKind::Bullet) continue;
    const std::uint32_t anchor = Source->Styles[b.StyleIndex].Anchor;
    if (anchor == 0) continue;
    if (gfx::RectF{b.X, b.LineTop, b.Width, b.LineHeight}.Contains(point)) return Source->Anchors[anchor - 1];
  }
  return {};
}

namespace {

// Character widths and font measures for one layout, each asked of the text measure once.
class Widths {
 public:
  Widths(const Document& doc, TextMeasure& measure) : doc_(doc), measure_(measure), fonts_(doc.Fonts.size()) {
    for (PerFont& f : fonts_) f.ascii.fill(kUnknown);
  }

  const gfx::FontMetrics& Metrics(std::uint16_t font) {
    PerFont& f = fonts_[font];
    if (!f.hasMetrics) {
      f.metrics = Sane(measure_.Metrics(doc_.Fonts[font]));
      f.hasMetrics = true;
    }
    return f.metrics;
  }

  // Queues a character for the next Fetch, unless its width is known or queued.
  void Want(std::uint16_t font, char32_t c) {
    PerFont& f = fonts_[font];
    float& slot = c < 128 ? f.ascii[c] : f.other.try_emplace(c, kUnknown).first->second;
    if (slot != kUnknown) return;
    slot = kQueued;
    f.wanted.push_back(c);
  }

  // Measures every queued character, one call per font.
  void Fetch() {
    std::vector<float> out;
    for (std::size_t k = 0; k < fonts_.size(); ++k) {
      PerFont& f = fonts_[k];
      if (f.wanted.empty()) continue;
      out.assign(f.wanted.size(), 0.0f);
      measure_.Widths(doc_.Fonts[k], f.wanted, out);
      for (std::size_t i = 0; i < f.wanted.size(); ++i) Slot(f, f.wanted[i]) = Sane(out[i]);
      f.wanted.clear();
    }
  }

  float Width(std::uint16_t font, char32_t c) {
    PerFont& f = fonts_[font];
    float& slot = Slot(f, c);
    if (slot >= 0) return slot;
    float w = 0;
    measure_.Widths(doc_.Fonts[font], std::u32string_view(&c, 1), std::span<float>(&w, 1));
    return slot = Sane(w);
  }

  float Width(std::uint16_t font, std::string_view utf8) {
    float sum = 0;
    for (std::size_t i = 0; i < utf8.size();) sum += Width(font, DecodeUtf8(utf8, i));
    return sum;
  }

 private:
  static constexpr float kUnknown = -2.0f;
  static constexpr float kQueued = -1.0f;
  // Whatever a measure reports, a width or height is finite and not negative.
  static float Sane(float v) { return std::isfinite(v) ? std::clamp(v, 0.0f, 1e5f) : 0.0f; }
  static float SaneOffset(float v) { return std::isfinite(v) ? std::clamp(v, -1e5f, 1e5f) : 0.0f; }
  static gfx::FontMetrics Sane(gfx::FontMetrics m) {
    m.Ascent = Sane(m.Ascent);
    m.Descent = Sane(m.Descent);
    m.UnderlinePosition = SaneOffset(m.UnderlinePosition);
    m.StrikeoutPosition = SaneOffset(m.StrikeoutPosition);
    m.UnderlineThickness = Sane(m.UnderlineThickness);
    m.StrikeoutThickness = Sane(m.StrikeoutThickness);
    return m;
  }

  struct PerFont {
    bool hasMetrics = false;
    gfx::FontMetrics metrics;
    std::array<float, 128> ascii{};
    std::unordered_map<char32_t, float> other;
    std::u32string wanted;
  };
  static float& Slot(PerFont& f, char32_t c) { return c < 128 ? f.ascii[c] : f.other[c]; }

  const Document& doc_;
  TextMeasure& measure_;
  std::vector<PerFont> fonts_;
};

constexpr std::size_t kFetchAhead = 2048;  // items whose characters are measured together
constexpr float kFloatGap = 4;             // between a wrapped image and the text beside it
constexpr float kBulletGap = 4;            // between a picture bullet and its item's text
constexpr float kEpsilon = 0.01f;

class LineBuilder {
 public:
  LineBuilder(std::shared_ptr<const Document> doc, TextMeasure& measure, ImageSource* images, float width,
              float maxHeight)
      : doc_(*doc), widths_(doc_, measure), images_(images), width_(width), maxHeight_(maxHeight) {
    out_.Source = std::move(doc);
    if (!(width_ >= 1)) width_ = 1;  // NaN and nonsense included
    if (std::isnan(maxHeight_)) maxHeight_ = 0;
    const float em = float(doc_.Fonts[0].Size) * 96.0f / 72.0f;
    step_ = std::max(8.0f, std::round(em * 1.5f));
  }

  Layout Run() {
    StartLine();
    for (std::size_t i = 0; i < doc_.Items.size() && !stopped_; ++i) {
      if (i >= fetchedUpTo_) FetchFrom(i);
      Take(doc_.Items[i]);
    }
    if (!stopped_) EndLine();
    Finish();
    return std::move(out_);
  }

 private:
  // What FinishLine needs of a box on the current line: how far it reaches above and below the
  // line's baseline, where its own baseline and top lie relative to the line's.
  struct Vertical {
    float Ascent = 0, Descent = 0;
    float Shift = 0;      // its baseline below the line's
    float TopOffset = 0;  // its top below its baseline
  };
  struct Piece {
    std::uint32_t Style;
    std::uint32_t Begin, Length;
    float Width;
  };
  struct Line {
    std::size_t First, Last;  // boxes [First, Last)
    Align Alignment;
    float Left, Right, Top, Height;
    TColor Background;
  };

  const Style& StyleOf(std::uint32_t s) const { return doc_.Styles[s]; }
  std::string_view TextOf(std::uint32_t begin, std::uint32_t length) const {
    return std::string_view(doc_.Text).substr(begin, length);
  }

  void FetchFrom(std::size_t first) {
    const std::size_t end = std::min(doc_.Items.size(), first + kFetchAhead);
    for (std::size_t i = first; i < end; ++i) {
      const Item& item = doc_.Items[i];
      const std::uint16_t font = StyleOf(item.StyleIndex).Font;
      std::string_view text;
      if (item.Kind == ItemKind::Word)
        text = TextOf(item.Begin, item.Length);
      else if (item.Kind == ItemKind::Image)
        text = TextOf(doc_.Images[item.Begin].AltBegin, doc_.Images[item.Begin].AltLength);
      else if (item.Kind == ItemKind::Space)
        widths_.Want(font, U' ');
      for (std::size_t k = 0; k < text.size();) widths_.Want(font, DecodeUtf8(text, k));
    }
    widths_.Fetch();
    fetchedUpTo_ = end;
  }

  void Take(const Item& item) {
    lastStyle_ = item.StyleIndex;
    switch (item.Kind) {
      case ItemKind::Word: {
        const float w = widths_.Width(StyleOf(item.StyleIndex).Font, TextOf(item.Begin, item.Length));
        group_.push_back({item.StyleIndex, item.Begin, item.Length, w});
        groupWidth_ += w;
        break;
      }
      case ItemKind::Space:
        PlaceGroup();
        if (lineHasContent_) {
          pendingSpace_ = true;
          spaceStyle_ = item.StyleIndex;
          spaceWidth_ = widths_.Width(StyleOf(item.StyleIndex).Font, U' ');
        }
        break;
      case ItemKind::LineBreak:
        PlaceGroup();
        FinishLine(item.StyleIndex);
        break;
      case ItemKind::ParagraphBegin:
      case ItemKind::ParagraphEnd:
      case ItemKind::ListBegin:
      case ItemKind::ListEnd:
      case ItemKind::ListItem:
      case ItemKind::ListItemEnd:
        Block(item);
        break;
      case ItemKind::Image:
        Image(item);
        break;
    }
  }

  // A tag that changes the margins: the line being filled ends (if anything stands on it), the
  // paragraph or list changes, and a new line starts, with its bullet for a list item.
  void Block(const Item& item) {
    EndLine();
    switch (item.Kind) {
      case ItemKind::ParagraphBegin:
        paragraph_ = doc_.Paragraphs[item.Begin];
        break;
      case ItemKind::ParagraphEnd:
        paragraph_ = Paragraph{};
        break;
      case ItemKind::ListBegin:
        ++listLevel_;
        itemOpen_ = false;
        break;
      case ItemKind::ListEnd:
        listLevel_ = std::max(0, listLevel_ - 1);
        itemOpen_ = false;
        break;
      case ItemKind::ListItem:
        itemOpen_ = true;
        break;
      default:  // ListItemEnd
        itemOpen_ = false;
        break;
    }
    StartLine();
    if (item.Kind == ItemKind::ListItem && !stopped_) AddBullet(item);
  }

  // Places the word gathered so far and ends the line being filled, if anything stands on it.
  void EndLine() {
    PlaceGroup();
    if (LineHasBoxes()) FinishLine(lastStyle_);
  }

  float Margin() const {
    const int level = std::max(listLevel_, itemOpen_ ? 1 : 0);
    return float(paragraph_.Indent) + float(level) * step_;
  }

  bool LineHasBoxes() const { return out_.Boxes.size() > lineFirst_; }

  void StartLine() {
    lineFirst_ = out_.Boxes.size();
    vertical_.clear();
    lineLeft_ = Margin();
    if (y_ < floatBottom_) lineLeft_ = std::max(lineLeft_, floatRight_);
    lineX_ = lineLeft_;
    lineHasContent_ = false;
    pendingSpace_ = false;
  }

  void AddBox(Box b, Vertical v) {
    out_.Boxes.push_back(b);
    vertical_.push_back(v);
  }

  Vertical TextVertical(std::uint32_t style) {
    const Style& s = StyleOf(style);
    const gfx::FontMetrics& m = widths_.Metrics(s.Font);
    Vertical v{m.Ascent, m.Descent, 0, -m.Ascent};
    if (s.Position == Script::Sup)
      v.Shift = -std::round(m.Ascent * 0.4f);
    else if (s.Position == Script::Sub)
      v.Shift = std::round(m.Ascent * 0.25f);
    v.Ascent -= v.Shift;
    v.Descent += v.Shift;
    return v;
  }

  void AddText(BoxKind kind, std::uint32_t style, std::uint32_t begin, std::uint32_t length, float width) {
    Box b;
    b.Kind = kind;
    b.StyleIndex = style;
    b.X = lineX_;
    b.Width = width;
    b.Begin = begin;
    b.Length = length;
    AddBox(b, TextVertical(style));
    lineX_ += width;
  }

  void EmitPendingSpace() {
    if (pendingSpace_ && lineHasContent_) AddText(BoxKind::Space, spaceStyle_, 0, 0, spaceWidth_);
    pendingSpace_ = false;
  }

  // Places the word gathered so far: on this line when it fits, else on the next; a word wider
  // than a whole line is split between characters.
  void PlaceGroup() {
    if (group_.empty() || stopped_) return ClearGroup();
    if (lineHasContent_) {
      const float space = pendingSpace_ ? spaceWidth_ : 0;
      if (lineX_ + space + groupWidth_ <= width_ + kEpsilon) {
        EmitPendingSpace();
        EmitGroup();
        return;
      }
      FinishLine(group_.front().Style);
      if (stopped_) return ClearGroup();
    }
    pendingSpace_ = false;
    if (lineX_ + groupWidth_ > width_ + kEpsilon && y_ < floatBottom_ && !LineHasBoxes()) {
      // Too wide beside a wrapped image: go below it instead.
      y_ = floatBottom_;
      StartLine();
    }
    if (lineX_ + groupWidth_ <= width_ + kEpsilon)
      EmitGroup();
    else
      SplitGroup();
  }

  void ClearGroup() {
    group_.clear();
    groupWidth_ = 0;
  }

  void EmitGroup() {
    for (const Piece& p : group_) AddText(BoxKind::Word, p.Style, p.Begin, p.Length, p.Width);
    lineHasContent_ = true;
    ClearGroup();
  }

  void SplitGroup() {
    for (const Piece& p : group_) {
      const std::string_view text = TextOf(p.Begin, p.Length);
      const std::uint16_t font = StyleOf(p.Style).Font;
      std::size_t start = 0;  // of the part not yet placed
      float partWidth = 0;
      for (std::size_t i = 0; i < text.size();) {
        const std::size_t at = i;
        const float w = widths_.Width(font, DecodeUtf8(text, i));
        const bool lineEmpty = !lineHasContent_ && at == start;
        if (!lineEmpty && lineX_ + partWidth + w > width_ + kEpsilon) {
          if (at > start)
            AddText(BoxKind::Word, p.Style, p.Begin + std::uint32_t(start), std::uint32_t(at - start), partWidth);
          FinishLine(p.Style);
          if (stopped_) return ClearGroup();
          start = at;
          partWidth = 0;
        }
        partWidth += w;
      }
      if (text.size() > start) {
        AddText(BoxKind::Word, p.Style, p.Begin + std::uint32_t(start), std::uint32_t(text.size() - start), partWidth);
        lineHasContent_ = true;
      }
    }
    ClearGroup();
  }

  // Picture `source` from the image source, once per layout; -1 when there is none.
  int Picture(const std::string& source) {
    if (images_ == nullptr || source.empty()) return -1;
    if (const auto it = pictureIndex_.find(source); it != pictureIndex_.end()) return it->second;
    if (pictureIndex_.size() >= kMaxImageSources) return -1;
    int index = -1;
    std::shared_ptr<const gfx::Bitmap> bitmap = images_->Find(source);
    if (bitmap && bitmap->Ok()) {
      out_.Pictures.push_back(std::move(bitmap));
      index = int(out_.Pictures.size() - 1);
    }
    pictureIndex_.emplace(source, index);
    return index;
  }

  // The size an image is drawn at: WIDTH and HEIGHT, the one missing in the picture's proportion.
  gfx::SizeF ImageSize(const ImageRef& r, const gfx::Bitmap& b) const {
    const auto clampSide = [](double v) { return float(std::clamp(std::round(v), 1.0, double(kMaxImageSide))); };
    const double w = b.Width(), h = b.Height();
    if (r.Width > 0 && r.Height > 0) return {float(r.Width), float(r.Height)};
    if (r.Width > 0) return {float(r.Width), clampSide(h * r.Width / w)};
    if (r.Height > 0) return {clampSide(w * r.Height / h), float(r.Height)};
    return {clampSide(w), clampSide(h)};
  }

  void Image(const Item& item) {
    PlaceGroup();
    if (stopped_) return;
    const ImageRef& r = doc_.Images[item.Begin];
    const int picture = Picture(r.Source);
    if (picture < 0) {
      if (r.AltLength == 0) return;
      const float w = widths_.Width(StyleOf(item.StyleIndex).Font, TextOf(r.AltBegin, r.AltLength));
      group_.push_back({item.StyleIndex, r.AltBegin, r.AltLength, w});
      groupWidth_ = w;
      PlaceGroup();
      return;
    }
    const gfx::SizeF size = ImageSize(r, *out_.Pictures[std::size_t(picture)]);
    Box b;
    b.Kind = BoxKind::Image;
    b.StyleIndex = item.StyleIndex;
    b.Width = size.Width;
    b.Height = size.Height;
    b.Begin = std::uint32_t(picture);
    if (r.Wrap) return Float(b);

    if (lineHasContent_ && lineX_ + (pendingSpace_ ? spaceWidth_ : 0) + size.Width > width_ + kEpsilon) {
      FinishLine(item.StyleIndex);
      if (stopped_) return;
    }
    EmitPendingSpace();
    const gfx::FontMetrics& m = widths_.Metrics(StyleOf(item.StyleIndex).Font);
    Vertical v;
    switch (r.Alignment) {
      case ImageAlign::Baseline:
        v = {size.Height, 0, 0, -size.Height};
        break;
      case ImageAlign::Top:
        v = {m.Ascent, size.Height - m.Ascent, 0, -m.Ascent};
        break;
      case ImageAlign::Middle: {  // its middle on the middle of the text, on whole pixels
        const float top = -std::round((m.Ascent - m.Descent) / 2 + size.Height / 2);
        v = {-top, size.Height + top, 0, top};
        break;
      }
    }
    b.X = lineX_;
    AddBox(b, v);
    lineX_ += size.Width;
    lineHasContent_ = true;
  }

  // A wrapped image: at the left margin below what came before, with the lines beside it shortened.
  void Float(Box b) {
    if (LineHasBoxes()) FinishLine(lastStyle_);
    if (stopped_) return;
    y_ = std::max(y_, floatBottom_);
    b.X = Margin();
    b.Top = b.LineTop = y_;
    b.LineHeight = b.Height;
    b.Baseline = y_ + b.Height;
    out_.Boxes.push_back(b);
    floatRight_ = b.X + b.Width + kFloatGap;
    floatBottom_ = y_ + b.Height;
    right_ = std::max(right_, b.X + b.Width);
    StartLine();
  }

  void AddBullet(const Item& item) {
    const Bullet& bullet = doc_.Bullets[item.Begin];
    const gfx::FontMetrics& m = widths_.Metrics(StyleOf(item.StyleIndex).Font);
    const float middle = (m.Ascent - m.Descent) / 2;
    Box b;
    b.Kind = BoxKind::Bullet;
    b.StyleIndex = item.StyleIndex;
    b.Begin = item.Begin;
    const int picture = bullet.Kind == BulletKind::Image ? Picture(bullet.Image) : -1;
    if (picture >= 0) {
      const gfx::Bitmap& bitmap = *out_.Pictures[std::size_t(picture)];
      b.Width = float(std::min(bitmap.Width(), kMaxImageSide));
      b.Height = float(std::min(bitmap.Height(), kMaxImageSide));
      b.X = std::max(0.0f, lineLeft_ - kBulletGap - b.Width);
      b.Begin = std::uint32_t(picture);
      b.Length = 1;
    } else {
      const float d = std::max(3.0f, std::round(m.Ascent * 0.4f));
      b.Width = b.Height = d;
      b.X = std::max(0.0f, std::round(lineLeft_ - step_ / 2 - d / 2));
    }
    const float top = -std::round(middle + b.Height / 2);
    AddBox(b, Vertical{std::max(m.Ascent, -top), std::max(m.Descent, b.Height + top), 0, top});
  }

  // Closes the current line: its height from what stands on it (from the font of `style` when
  // nothing does), its boxes put on its baseline, and the next line started below it.
  void FinishLine(std::uint32_t style) {
    float ascent = 0, descent = 0;
    if (vertical_.empty()) {
      const gfx::FontMetrics& m = widths_.Metrics(StyleOf(style).Font);
      ascent = m.Ascent;
      descent = m.Descent;
    }
    for (const Vertical& v : vertical_) {
      ascent = std::max(ascent, v.Ascent);
      descent = std::max(descent, v.Descent);
    }
    const float top = y_, height = ascent + descent, baseline = top + ascent;
    for (std::size_t k = 0; k < vertical_.size(); ++k) {
      Box& b = out_.Boxes[lineFirst_ + k];
      const Vertical& v = vertical_[k];
      b.Baseline = baseline + v.Shift;
      b.Top = b.Baseline + v.TopOffset;
      if (b.Kind == BoxKind::Word || b.Kind == BoxKind::Space) b.Height = v.Ascent + v.Descent;
      b.LineTop = top;
      b.LineHeight = height;
    }
    lines_.push_back(
        {lineFirst_, out_.Boxes.size(), paragraph_.Alignment, lineLeft_, lineX_, top, height, paragraph_.Background});
    right_ = std::max(right_, lineX_);
    y_ = top + height;
    if (y_ > maxHeight_) {
      stopped_ = true;
      out_.Truncated = true;
    }
    StartLine();
  }

  void Finish() {
    out_.Boxes.resize(lineFirst_);  // what stands on a line never finished (laying out stopped) is not shown
    float width = right_;
    const bool aligned =
        std::any_of(lines_.begin(), lines_.end(), [](const Line& l) { return l.Alignment != Align::Left; });
    if (aligned && std::isfinite(width_)) width = std::max(width, width_);
    for (const Line& l : lines_) {
      if (l.Alignment != Align::Left) {
        const float room = width - l.Right;
        const float dx = std::floor(l.Alignment == Align::Center ? room / 2 : room);
        if (dx > 0)
          for (std::size_t k = l.First; k < l.Last; ++k) out_.Boxes[k].X += dx;
      }
      if (l.Background != clNone) out_.Fills.push_back({{0, l.Top, width, l.Height}, l.Background});
    }
    out_.Width = width;
    out_.Height = std::max(y_, floatBottom_);
    out_.Metrics.resize(doc_.Fonts.size());
    for (const Box& b : out_.Boxes)
      if (b.Kind != BoxKind::Image) {
        const std::uint16_t font = StyleOf(b.StyleIndex).Font;
        out_.Metrics[font] = widths_.Metrics(font);
      }
  }

  const Document& doc_;
  Widths widths_;
  ImageSource* images_;
  float width_, maxHeight_;
  float step_ = 8;
  Layout out_;
  std::vector<Line> lines_;
  std::unordered_map<std::string, int> pictureIndex_;
  std::size_t fetchedUpTo_ = 0;
  bool stopped_ = false;

  float y_ = 0;
  float right_ = 0;
  Paragraph paragraph_;
  int listLevel_ = 0;
  bool itemOpen_ = false;
  float floatRight_ = 0, floatBottom_ = 0;

  std::size_t lineFirst_ = 0;
  std::vector<Vertical> vertical_;
  float lineLeft_ = 0, lineX_ = 0;
  bool lineHasContent_ = false;
  bool pendingSpace_ = false;
  std::uint32_t spaceStyle_ = 0;
  float spaceWidth_ = 0;
  std::uint32_t lastStyle_ = 0;

  std::vector<Piece> group_;
  float groupWidth_ = 0;
};

}  // namespace

Layout LayOut(std::shared_ptr<const Document> document, TextMeasure& measure, ImageSource* images, float width,
              float maxHeight) {
  if (!document || document->Fonts.empty() || document->Styles.empty()) {
    Layout empty;
    empty.Source = std::move(document);
    return empty;
  }
  return LineBuilder(std::move(document), measure, images, width, maxHeight).Run();
}

}  // namespace sib::html
