// Painting a markup layout on a drawing surface, and measuring its text there.
#include <algorithm>
#include <cmath>
#include <optional>

#include "controls/html_markup.h"
#include "platform/graphics/brush.h"
#include "platform/graphics/pen.h"

namespace sib::html {

gfx::Font MakeFont(const FontKey& font) {
  const int style = (font.Bold ? gfx::FontStyleBold : 0) | (font.Italic ? gfx::FontStyleItalic : 0);
  const auto size = static_cast<float>(std::clamp(font.Size, kMinFontSize, kMaxFontSize));
  const gfx::FontFamily family(font.Face);
  if (!family.Ok() || !family.IsStyleAvailable(style)) return gfx::Font("Arial", size, style);
  return gfx::Font(family, size, style);
}

const gfx::Font& GraphicsMeasure::FontOf(const FontKey& font) {
  for (const auto& [key, made] : fonts_)
    if (key == font) return made;
  return fonts_.emplace_back(font, MakeFont(font)).second;
}

gfx::FontMetrics GraphicsMeasure::Metrics(const FontKey& font) { return g_.GetFontMetrics(FontOf(font)); }

void GraphicsMeasure::Widths(const FontKey& font, std::u32string_view characters, std::span<float> widths) {
  g_.MeasureCharacterWidths(characters, FontOf(font), widths);
}

namespace {

class Painter {
 public:
  Painter(gfx::Graphics& g, const Layout& layout, gfx::PointF origin, const PaintOptions& options)
      : g_(g), layout_(layout), doc_(*layout.Source), origin_(origin), options_(options), fonts_(doc_.Fonts.size()) {
    // Shadows reach beyond their boxes; a box is drawn when it, so widened, meets the clip.
    const float reach = float(std::min(std::abs(options.ShadowOffset), 1000)) + 2;
    clip_ = g.GetClipBounds().Inflated(reach, reach);
  }

  void Run() {
    const gfx::GraphicsState saved = g_.Save();
    g_.SetSmoothingMode(gfx::SmoothingMode::None);  // rectangles on whole pixels
    Background();
    for (const Fill& f : layout_.Fills) FillRect(f.Rect, f.Color);
    for (const Box& b : layout_.Boxes)
      if ((b.Kind == BoxKind::Word || b.Kind == BoxKind::Space) && Visible(b) && StyleOf(b).Background != clNone)
        FillRect({b.X, b.LineTop, b.Width, b.LineHeight}, StyleOf(b).Background);
    if (options_.ShadowColor != clNone)
      for (const Box& b : layout_.Boxes)
        if (b.Kind == BoxKind::Word && Visible(b) && StyleOf(b).Shadow)
          Text(b, options_.ShadowColor, float(options_.ShadowOffset));
    for (const Box& b : layout_.Boxes) {
      if (!Visible(b)) continue;
      switch (b.Kind) {
        case BoxKind::Word:
          Text(b, TextColor(b), 0);
          Lines(b);
          break;
        case BoxKind::Space:
          Lines(b);
          break;
        case BoxKind::Image:
          Picture(b);
          break;
        case BoxKind::Bullet:
          BulletShape(b);
          break;
      }
    }
    g_.Restore(saved);
  }

 private:
  const Style& StyleOf(const Box& b) const { return doc_.Styles[b.StyleIndex]; }
  TColor TextColor(const Box& b) const { return StyleOf(b).Anchor != 0 ? options_.UrlColor : StyleOf(b).Color; }
  static gfx::Color Argb(TColor c) {
    const TColor rgb = ColorToRGB(c);
    return gfx::Color::Rgb(RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
  }

  gfx::RectF At(gfx::RectF r) const { return {origin_.X + r.X, origin_.Y + r.Y, r.Width, r.Height}; }

  bool Visible(const Box& b) const {
    const float top = std::min(b.LineTop, b.Top), bottom = std::max(b.LineTop + b.LineHeight, b.Top + b.Height);
    const gfx::RectF r = At({b.X, top, b.Width, bottom - top});
    return r.Right() >= clip_.X && r.X <= clip_.Right() && r.Bottom() >= clip_.Y && r.Y <= clip_.Bottom();
  }

  const gfx::Font& FontOf(std::uint16_t font) {
    if (!fonts_[font]) fonts_[font].emplace(MakeFont(doc_.Fonts[font]));
    return *fonts_[font];
  }

  void FillRect(gfx::RectF r, TColor color) {
    if (color == clNone) return;
    g_.FillRectangle(gfx::SolidBrush(Argb(color)), At(r));
  }

  void Background() {
    const Body& body = doc_.Background;
    if (body.Color == clNone || layout_.Width <= 0 || layout_.Height <= 0) return;
    const gfx::RectF whole{0, 0, layout_.Width, layout_.Height};
    if (body.ColorTo == clNone) return FillRect(whole, body.Color);
    const gfx::RectF r = At(whole);
    const gfx::LinearGradientBrush brush(
        r, Argb(body.Color), Argb(body.ColorTo),
        body.Horizontal ? gfx::LinearGradientMode::Horizontal : gfx::LinearGradientMode::Vertical);
    g_.FillRectangle(brush, r);
  }

  void Text(const Box& b, TColor color, float offset) {
    const std::string_view text = std::string_view(doc_.Text).substr(b.Begin, b.Length);
    const gfx::PointF at{origin_.X + b.X + offset, origin_.Y + b.Top + offset};
    g_.DrawString(text, FontOf(StyleOf(b).Font), at, gfx::StringFormat::GenericTypographic(),
                  gfx::SolidBrush(Argb(color)));
  }

  // The underline and strike-out lines of a word or space; anchors are underlined.
  void Lines(const Box& b) {
    const Style& s = StyleOf(b);
    const gfx::FontMetrics& m = layout_.Metrics[s.Font];
    if (s.Underline || s.Anchor != 0)
      FillRect({b.X, b.Baseline + m.UnderlinePosition, b.Width, m.UnderlineThickness}, TextColor(b));
    if (s.Strikeout) FillRect({b.X, b.Baseline - m.StrikeoutPosition, b.Width, m.StrikeoutThickness}, TextColor(b));
  }

  void Picture(const Box& b) { g_.DrawImage(*layout_.Pictures[b.Begin], At({b.X, b.Top, b.Width, b.Height})); }

  void BulletShape(const Box& b) {
    if (b.Length == 1) return Picture(b);
    const Bullet& bullet = doc_.Bullets[b.Begin];
    const gfx::RectF r = At({b.X, b.Top, b.Width, b.Height});
    if (bullet.Kind == BulletKind::Square) return g_.FillRectangle(gfx::SolidBrush(Argb(bullet.Color)), r);
    const gfx::GraphicsState s = g_.Save();
    g_.SetSmoothingMode(gfx::SmoothingMode::AntiAlias);
    if (bullet.Kind == BulletKind::Circle)
      g_.DrawEllipse(gfx::Pen(Argb(bullet.Color), 1), {r.X, r.Y, r.Width - 1, r.Height - 1});
    else  // a disc, as is a picture bullet whose picture is missing
      g_.FillEllipse(gfx::SolidBrush(Argb(bullet.Color)), {r.X - 0.5f, r.Y - 0.5f, r.Width, r.Height});
    g_.Restore(s);
  }

  gfx::Graphics& g_;
  const Layout& layout_;
  const Document& doc_;
  gfx::PointF origin_;
  const PaintOptions& options_;
  std::vector<std::optional<gfx::Font>> fonts_;
  gfx::RectF clip_;
};

}  // namespace

void Paint(gfx::Graphics& g, const Layout& layout, gfx::PointF origin, const PaintOptions& options) {
  if (!layout.Source || layout.Source->Fonts.empty()) return;
  Painter(g, layout, origin, options).Run();
}

}  // namespace sib::html
