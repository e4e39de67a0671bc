// Painting of the track bar: a pure function of its state and size.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "controls/track_bar.h"
#include "platform/core/value_format.h"
#include "platform/ui/canvas.h"

namespace sib {

namespace {

constexpr gfx::Color kWhite = gfx::Color::Rgb(255, 255, 255);

// The labels' font from a control font: its family, or Arial when the family or the style is
// missing; bold, italic and underline; the size in points.
gfx::Font LabelFont(const TFont& font) {
  int style = gfx::FontStyleRegular;
  if (font.Style().Contains(fsBold)) style |= gfx::FontStyleBold;
  if (font.Style().Contains(fsItalic)) style |= gfx::FontStyleItalic;
  if (font.Style().Contains(fsUnderline)) style |= gfx::FontStyleUnderline;
  const float size = static_cast<float>(std::max(1, font.Size()));
  gfx::Font wanted(font.Name(), size, style);
  if (wanted.Ok()) return wanted;
  return gfx::Font("Arial", size, style);
}

}  // namespace

void TAdvSmoothTrackBar::Paint(TCanvas& Canvas) { PaintTo(Canvas.Graphics()); }

void TAdvSmoothTrackBar::PaintTo(gfx::Graphics& g) {
  if (Width() <= 0 || Height() <= 0) return;
  const gfx::GraphicsState saved = g.Save();
  g.SetSmoothingMode(gfx::SmoothingMode::AntiAlias);
  const TRect I = InsideRect();
  const double o = GetPosition();

  FFill->Fill(&g, TGPRectF{0, 0, float(Width() - 1), float(Height() - 1)});
  if (FShowProgress) PaintProgress(g, I, o);
  DrawNumbers(g, I, o);
  PaintGroove(g, I);
  PaintThumb(g);
  g.Restore(saved);
}

void TAdvSmoothTrackBar::PaintProgress(gfx::Graphics& g, const TRect& I, double /*o*/) {
  const TGPRectF progress = GetProgressRect();
  FProgressFill->Fill(&g, progress);
  if (FDoGlow) PaintGlint(g, progress, I);
}

// Two 30-pixel bands of white beside the glint position, brightest at it.
void TAdvSmoothTrackBar::PaintGlint(gfx::Graphics& g, const TGPRectF& progress, const TRect& I) {
  const gfx::GraphicsState saved = g.Save();
  g.SetClip(progress);
  const float gp = static_cast<float>(FGlowPos);
  const gfx::Color clear = kWhite.WithAlpha(0), bright = kWhite.WithAlpha(120);
  auto band = [&](TGPRectF r, gfx::Color from, gfx::Color to, gfx::LinearGradientMode mode) {
    const gfx::LinearGradientBrush brush(r.Inflated(1, 1), from, to, mode);
    g.FillRectangle(brush, r);
  };
  if (Horizontal()) {
    band({gp - 30, progress.Y, 30, progress.Height}, clear, bright, gfx::LinearGradientMode::Horizontal);
    band({gp, progress.Y, 30, progress.Height}, bright, clear, gfx::LinearGradientMode::Horizontal);
  } else {
    const float bottom = static_cast<float>(I.Bottom);
    band({progress.X, bottom - gp - 30, progress.Width, 30}, clear, bright, gfx::LinearGradientMode::Vertical);
    band({progress.X, bottom - gp, progress.Width, 30}, bright, clear, gfx::LinearGradientMode::Vertical);
  }
  g.Restore(saved);
}

void TAdvSmoothTrackBar::DrawNumbers(gfx::Graphics& g, const TRect& I, double o) {
  const double range = FMaximum - FMinimum;
  const double n = std::nearbyint(range / FStep);
  const TGPRectF R = GetNumRect();
  const double L = Horizontal() ? R.Width : R.Height;
  // No range, no ticks: the spacing L / n would divide by zero.
  if (!(n >= 1) || !(L > 0)) return;
  // At most one tick per pixel: a tiny Step would otherwise draw millions. Every k-th value is
  // taken, so the values shown stay true.
  const double stride = std::max(1.0, std::ceil(n / std::floor(std::max(1.0, L))));
  const double pixelStep = L / n;
  const float T = static_cast<float>(FThumbSize);

  g.SetTextRenderingHint(gfx::TextRenderingHint::AntiAlias);
  const gfx::SolidBrush tickBrush(MakeColor(125, FTickMarkColor));
  // Finding a font is dear (a fontconfig look-up): only when labels are drawn.
  const std::optional<gfx::Font> font = FShowValues ? std::optional(LabelFont(*Font())) : std::nullopt;
  const bool wantText = FShowValues || static_cast<bool>(OnDrawNumber);
  const gfx::StringFormat format = gfx::StringFormat::GenericDefault();
  const gfx::SolidBrush fontBrush(MakeColor(255, Font()->Color()));
  const gfx::SolidBrush progressBrush(MakeColor(255, FProgressFont->Color()));
  const float far = Horizontal() ? R.Right() : R.Bottom();
  const float tick = static_cast<float>(FTickMarkSize);
  // A tick is a line of a 2-pixel pen with flat ends, i.e. a 2-pixel-wide rectangle along it. The
  // ticks from each edge are filled as one path, in one pass over the pixels; where the two rows
  // meet on a narrow bar they darken twice, as two strokes do. The labels go over them.
  gfx::Path ticks[2] = {gfx::Path{gfx::FillMode::Winding}, gfx::Path{gfx::FillMode::Winding}};
  struct Label {
    std::string text;
    gfx::PointF at;
    const gfx::Brush* brush;
  };
  std::vector<Label> labels;
  constexpr float kTickWidth = 2;
  auto addTick = [&](int edge, gfx::PointF from, gfx::PointF to) {
    gfx::Path& path = ticks[edge];
    if (from.X == to.X) path.AddRectangle({from.X - kTickWidth / 2, from.Y, kTickWidth, to.Y - from.Y});
    else path.AddRectangle({from.X, from.Y - kTickWidth / 2, to.X - from.X, kTickWidth});
  };

  for (double k = 0; k <= n; k += stride) {
    const double value = FMinimum + k * FStep;
    std::string text;
    if (wantText) {
      try {
        text = FormatValue(FValueFormat, value);
      } catch (const std::exception&) {
        text.clear();
      }
    }
    bool allowText = true, allowTick = true;
    OnDrawNumber(this, value, text, allowText, allowTick);
    const float p = far - static_cast<float>(k * pixelStep);

    if (FShowTickMarks && allowTick) {
      if (Horizontal()) {
        addTick(0, {p, R.Y}, {p, R.Y + tick});
        addTick(1, {p, R.Bottom() - tick}, {p, R.Bottom()});
      } else {
        addTick(0, {R.X, p}, {R.X + tick, p});
        addTick(1, {R.Right() - tick, p}, {R.Right(), p});
      }
    }
    if (FShowValues && allowText && !text.empty()) {
      const gfx::RectF box = g.MeasureString(text, *font, gfx::PointF{0, 0}, format).Box;
      const float tw = box.Width, th = box.Height;
      gfx::PointF at;
      bool overProgress;
      if (Horizontal()) {
        at = {R.X + R.Width - p + T / 2 - tw / 2, (R.Height - th) / 2};
        overProgress = at.X <= static_cast<float>(o) + T / 2 - tw / 2;
      } else {
        at = {(R.Width - tw) / 2, p - th / 2};
        overProgress = at.Y >= static_cast<float>(I.Bottom - o) - T / 2 - th / 2;
      }
      labels.push_back({std::move(text), at, overProgress ? &progressBrush : &fontBrush});
    }
  }
  for (const gfx::Path& path : ticks)
    if (!path.Empty()) g.FillPath(tickBrush, path);
  for (const Label& label : labels) g.DrawString(label.text, *font, label.at, format, *label.brush);
}

// A translucent white frame around a rounded groove, and a bright rounded edge.
void TAdvSmoothTrackBar::PaintGroove(gfx::Graphics& g, const TRect& I) {
  const TGPRectF outer{float(I.Left), float(I.Top), float(I.Right), float(I.Bottom)};
  const TGPRectF groove{float(I.Left + 7), float(I.Top + 7), float(I.Right - 14), float(I.Bottom - 14)};
  gfx::Path frame;
  frame.AddRectangle(outer);
  frame.AddPath(CreateRoundRectangle(groove, 8, rtBoth));
  g.FillPath(gfx::SolidBrush(kWhite.WithAlpha(75)), frame);
  g.DrawPath(gfx::Pen(kWhite.WithAlpha(225), 2), CreateRoundRectangle(outer, 10, rtBoth));
}

void TAdvSmoothTrackBar::PaintThumb(gfx::Graphics& g) {
  const TGPRectF s = GetSliderRect();
  FThumbFill->Fill(&g, s);
  const gfx::Pen dark(MakeColor(120, FThumbFill->BorderColor()), 1);
  const gfx::Pen light(kWhite.WithAlpha(150), 1);
  if (Horizontal()) {
    const float x = s.X + s.Width / 2;
    g.DrawLine(dark, x, s.Y, x, s.Bottom());
    g.DrawLine(light, x + 1, s.Y, x + 1, s.Bottom());
  } else {
    const float y = s.Y + s.Height / 2;
    g.DrawLine(dark, s.X, y, s.Right(), y);
    g.DrawLine(light, s.X, y + 1, s.Right(), y + 1);
  }
  if (TabStop() && FFocused) {
    const gfx::GraphicsState saved = g.Save();
    g.SetSmoothingMode(gfx::SmoothingMode::Default);
    gfx::Pen dotted(gfx::Color::Rgb(0, 0, 0), 1);
    dotted.SetDashStyle(gfx::DashStyle::Dot);
    g.DrawPath(dotted, CreateRoundRectangle(s, FThumbFill->Rounding(), FThumbFill->RoundingType()));
    g.Restore(saved);
  }
}

}  // namespace sib
