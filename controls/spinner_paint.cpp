// Painting of the spinner and its columns: what the state says, at the control's size, and nothing
// else. The fills' focus flags are set for a column's paint and put back before the paint returns.
#include <cmath>

#include "controls/spinner.h"

namespace sib {

namespace {

// Half a millisecond in days: values closer than this are the same moment.
constexpr double kSameMoment = 0.5 / 86400000.0;

bool NotAfter(double a, double b) { return a <= b || std::abs(a - b) < kSameMoment; }

// Paints `fill` over R with its focus outline on or off, leaving the fill as it was.
void FillWithFocus(gfx::Graphics& g, TGDIPFill& fill, TGPRectF R, bool Focus) {
  const bool saved = fill.Focus();
  fill.BeginUpdate();
  fill.SetFocus(Focus);
  fill.EndUpdate();
  fill.Fill(&g, R);
  fill.BeginUpdate();
  fill.SetFocus(saved);
  fill.EndUpdate();
}

int StyleBits(const TFont& font) {
  int style = gfx::FontStyleRegular;
  if (font.Style().Contains(fsBold)) style |= gfx::FontStyleBold;
  if (font.Style().Contains(fsItalic)) style |= gfx::FontStyleItalic;
  if (font.Style().Contains(fsUnderline)) style |= gfx::FontStyleUnderline;
  return style;
}

// The item font: the family by name, Arial when that family or its style is missing.
gfx::Font ItemFont(const TFont& font) {
  const int style = StyleBits(font);
  gfx::FontFamily family(font.Name());
  if (!family.Ok() || !family.IsStyleAvailable(style)) family = gfx::FontFamily("Arial");
  return gfx::Font(family, static_cast<float>(font.Size()), style, gfx::FontUnit::Point);
}

}  // namespace

void TAdvSmoothSpinner::PaintTo(gfx::Graphics& g) {
  const gfx::GraphicsState state = g.Save();
  DrawBackGround(g);
  const TRect I = InsideRect();
  const int rounding = FFill->RoundingType() == rtNone ? 0 : FFill->Rounding();
  g.SetClip(gfx::Region::RoundRect(I.Left, I.Top, I.Right + 2, I.Bottom + 2, rounding, rounding),
            gfx::CombineMode::Intersect);
  DrawColumns(g);
  DrawTopLayer(g);
  DrawSelectedLayer(g);
  g.Restore(state);
}

void TAdvSmoothSpinner::DrawBackGround(gfx::Graphics& g) {
  g.SetSmoothingMode(gfx::SmoothingMode::AntiAlias);
  FFill->Fill(&g, {0, 0, float(ClientWidth() - 1), float(ClientHeight() - 1)});
}

void TAdvSmoothSpinner::DrawColumns(gfx::Graphics& g) {
  g.SetSmoothingMode(gfx::SmoothingMode::AntiAlias);
  g.SetTextRenderingHint(gfx::TextRenderingHint::ClearTypeGridFit);
  for (int i = 0; i < FColumns->Count(); ++i) {
    TAdvSmoothSpinnerColumn& c = *Column(i);
    if (c.Visible()) c.Draw(g, c.GetColumnRect());
  }
}

void TAdvSmoothSpinner::DrawTopLayer(gfx::Graphics& g) {
  FTopLayerFill->Fill(&g, GetTopLayerRect());
  FBottomLayerFill->Fill(&g, GetBottomLayerRect());
}

void TAdvSmoothSpinner::DrawSelectedLayer(gfx::Graphics& g) { FSelectedFill->Fill(&g, GetSelectedRect()); }

void TAdvSmoothSpinnerColumn::Draw(gfx::Graphics& g, TGPRectF R) {
  TAdvSmoothSpinner* s = Spinner();
  if (!s) return;
  TAdvSmoothSpinnerColumnAppearance& a = *s->ColumnAppearance();
  if (FEnabled && s->Enabled()) {
    const bool hovered = s->HoveredColumn() == Index() && a.AllowHovering();
    const bool focused = s->TabStop() && s->IsFocused() && s->FocusedColumn() == Index();
    FillWithFocus(g, hovered ? *a.HoverFill() : *a.Fill(), R, focused);
  } else {
    FillWithFocus(g, *a.DisabledFill(), R, false);
  }
  if (!(FRangeType == rtCustom || GetRangeCount() > 0) || !HasItems()) return;

  const gfx::Font font = ItemFont(*FFont);
  const gfx::SolidBrush brush(MakeColor(255, FFont->Color()));
  const gfx::StringFormat format;
  const float t = g.MeasureString("gh", font, R, format).Box.Height;
  const int spacing = TextSpacing();
  const TRect I = s->InsideRect();
  const int v = static_cast<int>(roundHalfEven((I.Bottom - I.Top) / (spacing / 2.0 + t))) + 5;
  const std::int64_t first = FCurrentScPos / spacing - v / 2;
  const std::int64_t n = GetRangeCount();
  const double from = GetRangeFrom();
  const double to = GetRangeTo();
  for (std::int64_t i = first; i <= first + v; ++i) {
    std::int64_t k = i;
    if (FCyclic && i < 0) k = ((i % (n + 1)) + n + 1) % (n + 1);
    else if (FCyclic && i > n) k = i % (n + 1);
    const double value = IncSteps(from, k);
    if (!FCyclic && !(NotAfter(from, value) && NotAfter(value, to))) continue;
    const std::string text = ItemText(k);
    if (text.empty()) continue;
    const float d = static_cast<float>(spacing * i - FCurrentScPos);
    const float top = (I.Bottom - t) / 2 + d;
    const float tw = g.MeasureString(text, font, R, format).Box.Width;
    float left = R.X;
    if (FTextAlign == taRightJustify) left = R.X + (R.Width - tw);
    else if (FTextAlign == taCenter) left = R.X + (R.Width - tw) / 2;
    g.DrawString(text, font, gfx::PointF{left, top}, format, brush);
  }
}

}  // namespace sib
