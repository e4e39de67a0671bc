// The painting of the smooth button: its face (TGDIPButton::Draw), its badge (TGDIPStatus) and the
// cache that holds both between changes.
#include <algorithm>
#include <cmath>

#include "controls/smooth_button.h"
#include "platform/ui/canvas.h"

namespace sib {
namespace {

using gfx::PointF;
using gfx::RectF;

constexpr int kCornerRadius = 8;
constexpr int kBevelRadius = 7;
constexpr std::uint8_t kBevelAlpha = 160;
constexpr std::uint8_t kShadowAlpha = 180;
constexpr TColor kDisabledFace = RGB(80, 80, 80);

gfx::Color Opaque(TColor c) { return MakeColor(255, c); }

gfx::StringAlignment ToStringAlignment(TAlignment a) {
  switch (a) {
    case taLeftJustify: return gfx::StringAlignment::Near;
    case taRightJustify: return gfx::StringAlignment::Far;
    case taCenter: break;
  }
  return gfx::StringAlignment::Center;
}

// A vertical gradient over R in linear light through three colours.
gfx::LinearGradientBrush VerticalBrush(RectF R, TColor c0, float p1, TColor c1, TColor c2) {
  gfx::LinearGradientBrush brush(R, Opaque(c0), Opaque(c2), gfx::LinearGradientMode::Vertical);
  brush.SetGammaCorrection(true);
  const gfx::ColorStop stops[] = {{0, Opaque(c0)}, {p1, Opaque(c1)}, {1, Opaque(c2)}};
  brush.SetInterpolationColors(stops);
  return brush;
}

// The seam between the glossy upper part and the lower part: an arc through both ends of the gloss
// rectangle's sides, s pixels above its bottom, and through the middle of that bottom.
struct Seam {
  RectF Box;
  float Start = 0;
  float Sweep = 0;
};

Seam SeamArc(float L, float T, float w, float h, int s) {
  const float half = w / 2;
  const float c = (half * half + static_cast<float>(s) * static_cast<float>(s)) / (2.0f * static_cast<float>(s));
  const float g = std::nearbyint(c);
  Seam seam;
  seam.Box = RectF{L + std::floor(w / 2) - g, T + h - 2 * g, 2 * g, 2 * g};
  if (c - static_cast<float>(s) == 0) {
    seam.Start = 0;
    seam.Sweep = 180;
  } else {
    const float theta = std::atan(half / (c - static_cast<float>(s))) * 180.0f / static_cast<float>(M_PI);
    seam.Start = 90 + theta;
    seam.Sweep = -2 * theta;
  }
  return seam;
}

gfx::Font CaptionFont(const TFont& Font) { return ToGfxFont(Font); }

}  // namespace

// ---- the face -------------------------------------------------------------------------------------

void TGDIPButton::Draw(gfx::Graphics& g, const DrawArgs& a) const {
  const int x = a.X, y = a.Y, HS = a.HorizontalSpacing, VS = a.VerticalSpacing;
  int W = a.Width, H = a.Height;
  TColor f = a.Color;
  if (a.Down) f = a.ColorDown == clNone ? PressedColor(f) : a.ColorDown;

  if (a.Shadow) {
    const gfx::Path outline = CreateRoundRectangle(
        RectF{float(x + HS + 2), float(y + VS + 2), float(W - 2 * HS - 4), float(H - 2 * VS - 2)}, kCornerRadius,
        a.RoundingType);
    gfx::PathGradientBrush shadow(outline);
    shadow.SetWrapMode(gfx::WrapMode::Clamp);
    const gfx::ColorStop stops[] = {{0, gfx::Color::Argb(0, 0, 0, 0)},
                                    {0.1f, gfx::Color::Argb(kShadowAlpha, 0, 0, 0)},
                                    {1, gfx::Color::Argb(kShadowAlpha, 0, 0, 0)}};
    shadow.SetInterpolationColors(stops);
    g.FillPath(shadow, outline);
    H -= 4;
    W -= 6;
  }

  const int m = H, s = m / 6, h2 = m / 2;
  g.FillRectangle(gfx::SolidBrush(Opaque(ShiftColor(f, -40))), float(x + HS), float(y + h2 - s), float(W - 2 * HS - 1),
                  float(2 * s));

  // The gloss rectangle and the two parts that meet along the seam.
  const float L = float(x + HS), T = float(y + VS);
  const float w = float(x + W - 1 - HS) - L, h = float(y + h2) - T;
  const float r = kCornerRadius;
  if (s > 0) {
    const Seam seam = SeamArc(L, T, w, h, s);
    const float seamY = T + h - float(s);

    gfx::Path lower;
    lower.AddArc(seam.Box, seam.Start, seam.Sweep);
    lower.AddLine(L + w, seamY, L + w, T + 2 * h - r);
    lower.AddArc(L + w - 2 * r, T + 2 * h - 2 * r, 2 * r, 2 * r, 0, 90);
    lower.AddLine(L + w - r, T + 2 * h, L + r, T + 2 * h);
    lower.AddArc(L, T + 2 * h - 2 * r, 2 * r, 2 * r, 90, 90);
    lower.AddLine(L, T + 2 * h - r, L, seamY);
    lower.CloseFigure();
    g.FillPath(VerticalBrush(RectF{float(x + HS - 1), float(y + h2 - s - 1), float(W - 2 * HS + 1), float(h2 + s + 2)},
                             ShiftColor(f, -40), 0.9f, ShiftColor(f, 100), ShiftColor(f, 220)),
               lower);

    gfx::Path upper;
    upper.AddArc(L, T, 2 * r, 2 * r, 180, 90);
    upper.AddLine(L + r, T, L + w - r, T);
    upper.AddArc(L + w - 2 * r, T, 2 * r, 2 * r, 270, 90);
    upper.AddLine(L + w, T + r, L + w, seamY);
    upper.AddArc(seam.Box, seam.Start, seam.Sweep);
    upper.AddLine(L, seamY, L, T + r);
    upper.CloseFigure();
    g.FillPath(VerticalBrush(RectF{float(x + HS - 1), float(y + VS - 1), float(W - 2 * HS + 1), float(h2 + 3)},
                             ShiftColor(f, 220), 0.2f, ShiftColor(f, 100), f),
               upper);
  }

  if (a.Bevel) {
    const float bl = float(x + HS), bt = float(y + VS + 1);
    const float bw = float(x + W - 1 - HS) - bl, bh = float(y + m - VS - 1) - bt;
    gfx::Path ring = CreateRoundRectangle(RectF{bl, bt, bw, bh}, kBevelRadius, a.RoundingType);
    ring.AddPath(CreateRoundRectangle(RectF{bl + 2, bt + 2, bw - 4, bh - 4}, kBevelRadius, a.RoundingType));
    g.FillPath(gfx::SolidBrush(MakeColor(kBevelAlpha, a.BevelColor)), ring);
  }

  const bool hasPicture = a.Picture != nullptr && !a.Picture->Empty();
  const int shift = a.Down ? FShiftDown : 0;
  int picW = 0, picH = 0;
  if (hasPicture) {
    auto* picture = const_cast<TAdvGDIPPicture*>(a.Picture);
    picture->GetImageSizes();
    picW = picture->Width();
    picH = picture->Height();
  }
  const bool beside = hasPicture && !a.Caption.empty() && FLayout != blNone;
  const int loseW = beside && (FLayout == blPictureLeft || FLayout == blPictureRight) ? picW + FSpacing : 0;
  const int loseH = beside && (FLayout == blPictureTop || FLayout == blPictureBottom) ? picH + FSpacing : 0;

  RectF captionBox{};
  if (!a.Caption.empty()) {
    RectF B{float(x + HS + shift), float(y + VS + shift), float(W - 2 * HS - 4 - loseW), float(m - 2 * VS - loseH)};
    if (hasPicture) B.X += 2;
    const gfx::Font font = CaptionFont(*FFont);
    gfx::StringFormat format;
    format.Alignment = ToStringAlignment(FAlignment);
    format.LineAlignment = ToStringAlignment(FAlignment);
    format.Hotkey = gfx::HotkeyPrefix::Show;
    g.SetTextRenderingHint(gfx::TextRenderingHint::ClearTypeGridFit);
    const gfx::TextMetrics measured = g.MeasureString(a.Caption, font, B, format);
    const float th = measured.Box.Height;
    const float ty = float(y) + (float(m) - th) / 2 + float(shift);
    captionBox = RectF{float(x + 4 + HS), ty, float(W - 8 - 2 * HS - loseW), th};
    if (beside && FLayout == blPictureLeft) captionBox.X += float(loseW);
    if (beside && FLayout == blPictureTop) captionBox.Y += float(loseH) / 2;
    if (beside && FLayout == blPictureBottom) captionBox.Y -= float(loseH) / 2;
    g.DrawString(a.Caption, font, captionBox, format, gfx::SolidBrush(Opaque(FFont->Color())));
    captionBox.Width = measured.Box.Width;
    captionBox.X = measured.Box.X;
  }

  if (hasPicture) {
    int px = 0;
    switch (FPictureAlignment) {
      case taLeftJustify: px = x + HS + 4; break;
      case taRightJustify: px = x + W - HS - 4 - picW; break;
      case taCenter: px = x + (W - picW) / 2; break;
    }
    int py = y + (m - picH) / 2;
    if (beside) {
      const int gap = FSpacing;
      switch (FLayout) {
        case blPictureLeft: px = int(std::lround(captionBox.X)) - gap - picW; break;
        case blPictureRight: px = int(std::lround(captionBox.X + captionBox.Width)) + gap; break;
        case blPictureTop: py = int(std::lround(captionBox.Y)) - gap - picH; break;
        case blPictureBottom: py = int(std::lround(captionBox.Y + captionBox.Height)) + gap; break;
        case blNone: break;
      }
    }
    a.Picture->GDIPDraw(g, gfx::Rect{px + shift, py + shift, picW, picH});
  }
}

// ---- the badge ------------------------------------------------------------------------------------

gfx::SizeF TGDIPStatus::MeasureCaption(const gfx::Graphics& g, const std::string& Caption) const {
  if (Caption.empty()) return {};
  const gfx::TextMetrics m =
      g.MeasureString(Caption, CaptionFont(*FFont), RectF{0, 0, 10000, 10000}, gfx::StringFormat::GenericDefault());
  return {m.Box.Width, m.Box.Height};
}

void TGDIPStatus::CalculateSize(const gfx::Graphics& g, const std::string& Caption) {
  if (!Caption.empty()) {
    const gfx::SizeF size = MeasureCaption(g, Caption);
    FHeight = static_cast<int>(std::nearbyint(size.Height + 4));
    FWidth = std::max(FHeight, static_cast<int>(std::nearbyint(size.Width + 4))) + 2 * FSpacing;
  }
  TAdvGDIPPicture* picture = FFill->Picture();
  if (!picture->Empty()) {
    picture->GetImageSizes();
    const bool custom = FFill->PictureSize() == psCustom;
    FWidth = std::max(FWidth, custom ? FFill->PictureWidth() : picture->Width());
    FHeight = std::max(FHeight, custom ? FFill->PictureHeight() : picture->Height());
  }
}

void TGDIPStatus::Draw(gfx::Graphics& g, int X, int Y, int Width, int Height, bool AutoSize, const std::string& Caption) {
  const int w = AutoSize ? FWidth : Width;
  const int h = AutoSize ? FHeight : Height;
  const gfx::SizeF text = MeasureCaption(g, Caption);
  const float b = FFill->BorderColor() != clNone ? float(FFill->BorderWidth()) / 2 : 0.0f;
  const RectF R{float(X), float(Y), float(w) - 2 * b, float(h) - 2 * b};

  FFill->BeginUpdate();
  FFill->SetRounding(static_cast<int>(std::nearbyint(R.Height / 2)));
  FFill->EndUpdate();
  FFill->Fill(&g, R, 255, 255, 255, 255, 255);

  if (!Caption.empty()) {
    const PointF at{float(X) + float(FSpacing) + (float(w - 2 * FSpacing) - text.Width) / 2,
                    float(Y) + (float(h) - text.Height) / 2};
    g.DrawString(Caption, CaptionFont(*FFont), at, gfx::StringFormat::GenericDefault(),
                 gfx::SolidBrush(Opaque(FFont->Color())));
  }

  if (FGlow) {
    TGDIPFill glow;
    glow.SetColor(clWhite);
    glow.SetColorTo(clWhite);
    glow.SetGradientType(gtVertical);
    glow.SetOpacity(170);
    glow.SetOpacityTo(30);
    glow.SetRoundingType(rtTop);
    glow.SetRounding(FFill->Rounding());
    glow.Fill(&g, RectF{R.X, R.Y, R.Width, R.Height / 2});
  }
}

// ---- the button -----------------------------------------------------------------------------------

void TAdvSmoothButton::UpdateCache(double Scale) {
  if (!FValidCache || !FCache.Fits(Width(), Height(), Scale)) RedrawCache(Scale);
}

void TAdvSmoothButton::RedrawCache(double Scale) {
  if (!FCache.Fits(Width(), Height(), Scale)) FCache.Resize(Width(), Height(), Scale);
  ++FCacheRedraws;
  FValidCache = true;
  if (!FCache.Bitmap().Ok()) return;
  gfx::Graphics g(FCache.Bitmap());
  FCache.Prepare(g);
  g.SetSmoothingMode(gfx::SmoothingMode::AntiAlias);
  g.SetTextRenderingHint(gfx::TextRenderingHint::AntiAlias);
  g.Clear(gfx::Color::Argb(0, 0, 0, 0));

  const bool badge = FStatus->Shows();
  TGDIPButton::DrawArgs args;
  args.Caption = Text();
  args.Width = Width();
  args.Height = Height();
  args.HorizontalSpacing = badge ? FHorizontalSpacing : 0;
  args.VerticalSpacing = badge ? FVerticalSpacing : 0;
  args.Color = Enabled() ? TControl::Color() : kDisabledFace;
  args.BevelColor = FBevelColor;
  args.Shadow = FShadow;
  args.Down = ShowsPressed();
  args.Bevel = FBevel;
  args.Picture = FPicture.get();
  FAppearance->Draw(g, args);

  if (TabStop() && FFocused && FShowFocus) {
    g.SetSmoothingMode(gfx::SmoothingMode::None);
    gfx::Pen pen(Opaque(FAppearance->FocusColor()), 1);
    pen.SetDashStyle(gfx::DashStyle::Dot);
    g.DrawPath(pen, CreateRoundRectangle(RectF{0, 0, float(Width() - 1), float(Height() - 1)}, kCornerRadius, rtBoth));
  }

  if (badge) {
    TGDIPStatus& status = *FStatus->Appearance();
    status.CalculateSize(g, FStatus->Caption());
    status.Draw(g, Width() - status.GetWidth() + FStatus->OffsetLeft(), FStatus->OffsetTop(), 0, 0, true,
                FStatus->Caption());
  }
}

void TAdvSmoothButton::Paint(TCanvas& Canvas) {
  UpdateCache(Canvas.Scale());
  FCache.DrawTo(Canvas.Graphics());
}

}  // namespace sib
