#include "platform/ui/canvas.h"

#include <cmath>

namespace sib {
namespace {

// The clip rectangle of whole pixels Left..Right-1 in the layer's pixel-centre coordinates.
gfx::RectF pixelArea(const TRect& r) {
  return {static_cast<float>(r.Left) - 0.5f, static_cast<float>(r.Top) - 0.5f, static_cast<float>(r.Width()),
          static_cast<float>(r.Height())};
}

int styleBits(TFontStyles style) {
  int bits = gfx::FontStyleRegular;
  if (style.Contains(fsBold)) bits |= gfx::FontStyleBold;
  if (style.Contains(fsItalic)) bits |= gfx::FontStyleItalic;
  if (style.Contains(fsUnderline)) bits |= gfx::FontStyleUnderline;
  if (style.Contains(fsStrikeOut)) bits |= gfx::FontStyleStrikeout;
  return bits;
}

gfx::StringAlignment alignmentOf(TextHAlign a) {
  return a == TextHAlign::Left ? gfx::StringAlignment::Near
         : a == TextHAlign::Center ? gfx::StringAlignment::Center
                                   : gfx::StringAlignment::Far;
}

gfx::StringAlignment alignmentOf(TextVAlign l) {
  return l == TextVAlign::Top ? gfx::StringAlignment::Near
         : l == TextVAlign::Center ? gfx::StringAlignment::Center
                                    : gfx::StringAlignment::Far;
}

}  // namespace

gfx::Color ToGfxColor(TColor Color) {
  if (Color == clNone || Color == clDefault) return gfx::Color::Argb(0, 0, 0, 0);
  const TColor rgb = ColorToRGB(Color);
  return gfx::Color::Rgb(RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
}

gfx::Font ToGfxFont(const TFont& Font) {
  const int style = styleBits(Font.Style());
  const float pixels = Font.PixelHeight() > 0 ? Font.PixelHeight() : 11.0f;
  gfx::Font font(Font.Name(), pixels, style, gfx::FontUnit::Pixel);
  if (font.Ok()) return font;
  gfx::Font fallback("Sans Serif", pixels, style, gfx::FontUnit::Pixel);
  if (fallback.Ok()) return fallback;
  return gfx::Font("Sans Serif", pixels, gfx::FontStyleRegular, gfx::FontUnit::Pixel);
}

TFormBuffer::TFormBuffer(int width, int height, double scale)
    : width_(std::max(0, width)),
      height_(std::max(0, height)),
      scale_(scale > 0 ? scale : 1.0),
      deviceWidth_(static_cast<int>(std::ceil(width_ * scale_))),
      deviceHeight_(static_cast<int>(std::ceil(height_ * scale_))),
      pixels_(static_cast<std::size_t>(deviceWidth_) * static_cast<std::size_t>(deviceHeight_), 0) {}

TCanvas::TCanvas(gfx::Graphics& graphics, double scale, TPoint origin, TRect clip)
    : graphics_(graphics), scale_(scale), origin_(origin), clip_(clip), saved_(graphics.Save()) {
  applyState();
}

TCanvas::TCanvas(TCanvas& parent, TPoint offset, TRect clip)
    : graphics_(parent.graphics_),
      scale_(parent.scale_),
      origin_{parent.origin_.X + offset.X, parent.origin_.Y + offset.Y},
      clip_(clip.Offset(parent.origin_.X, parent.origin_.Y).Intersect(parent.clip_)),
      saved_(parent.graphics_.Save()) {
  applyState();
}

TCanvas::~TCanvas() { graphics_.Restore(saved_); }

void TCanvas::applyState() {
  graphics_.ResetTransform();
  graphics_.ResetClip();
  graphics_.SetSmoothingMode(gfx::SmoothingMode::Default);
  if (scale_ != 1.0) graphics_.ScaleTransform(static_cast<float>(scale_), static_cast<float>(scale_));
  graphics_.SetClip(pixelArea(clip_));
  graphics_.TranslateTransform(static_cast<float>(origin_.X), static_cast<float>(origin_.Y));
}

void TCanvas::FillRect(const TRect& R, TColor Color) {
  if (R.IsEmpty() || Color == clNone) return;
  const gfx::GraphicsState state = graphics_.Save();
  graphics_.SetSmoothingMode(gfx::SmoothingMode::None);
  graphics_.FillRectangle(gfx::SolidBrush(ToGfxColor(Color)), pixelArea(R));
  graphics_.Restore(state);
}

void TCanvas::FrameRect(const TRect& R, TColor Color) {
  if (R.IsEmpty()) return;
  FillRect({R.Left, R.Top, R.Right, R.Top + 1}, Color);
  FillRect({R.Left, R.Bottom - 1, R.Right, R.Bottom}, Color);
  FillRect({R.Left, R.Top, R.Left + 1, R.Bottom}, Color);
  FillRect({R.Right - 1, R.Top, R.Right, R.Bottom}, Color);
}

void TCanvas::DrawFocusRect(const TRect& R, TColor Color) {
  if (R.IsEmpty()) return;
  // Every other pixel of the outline, on a checkerboard so that the corners join.
  auto dot = [&](int x, int y) {
    if (((x + y) & 1) == 0) FillRect(TRect::FromSize(x, y, 1, 1), Color);
  };
  for (int x = R.Left; x < R.Right; ++x) {
    dot(x, R.Top);
    dot(x, R.Bottom - 1);
  }
  for (int y = R.Top + 1; y < R.Bottom - 1; ++y) {
    dot(R.Left, y);
    dot(R.Right - 1, y);
  }
}

TPoint TCanvas::TextExtent(const std::string& Text, const TFont& Font) { return MeasureText(Text, Font); }

TPoint MeasureText(const std::string& Text, const TFont& Font, TextPrefix Prefix) {
  std::uint32_t pixel = 0;
  const gfx::Graphics measure(&pixel, 1, 1, 4);
  gfx::StringFormat format = gfx::StringFormat::GenericTypographic();
  format.NoWrap = true;
  format.Hotkey = Prefix == TextPrefix::None ? gfx::HotkeyPrefix::None : gfx::HotkeyPrefix::Show;
  const gfx::TextMetrics m = measure.MeasureString(Text.empty() ? " " : Text, ToGfxFont(Font), gfx::PointF{0, 0}, format);
  return {Text.empty() ? 0 : static_cast<int>(std::ceil(m.Box.Width)), static_cast<int>(std::ceil(m.Box.Height))};
}

void TCanvas::DrawText(const TRect& R, const std::string& Text, const TFont& Font, TextHAlign Align,
                       TextVAlign Layout, TextPrefix Prefix, bool WordWrap) {
  gfx::StringFormat format = gfx::StringFormat::GenericTypographic();
  format.Alignment = alignmentOf(Align);
  format.LineAlignment = alignmentOf(Layout);
  format.NoWrap = !WordWrap;
  format.NoClip = false;
  format.Hotkey = Prefix == TextPrefix::Show ? gfx::HotkeyPrefix::Show
                  : Prefix == TextPrefix::Hide ? gfx::HotkeyPrefix::Hide
                                                : gfx::HotkeyPrefix::None;
  const gfx::GraphicsState state = graphics_.Save();
  graphics_.SetTextRenderingHint(gfx::TextRenderingHint::AntiAliasGridFit);
  graphics_.DrawString(Text, ToGfxFont(Font), pixelArea(R), format, gfx::SolidBrush(ToGfxColor(Font.Color())));
  graphics_.Restore(state);
}

TCanvas::ClipGuard::ClipGuard(TCanvas& canvas, const TRect& r)
    : canvas_(canvas), saved_(canvas.clip_), state_(canvas.graphics_.Save()) {
  canvas_.clip_ = canvas_.clip_.Intersect(r.Offset(canvas.origin_.X, canvas.origin_.Y));
  canvas_.applyState();
}

TCanvas::ClipGuard::~ClipGuard() {
  canvas_.clip_ = saved_;
  canvas_.graphics_.Restore(state_);
}

}  // namespace sib
