// Painting a fill: the shadow, the body in one or two layers, the background picture, the border,
// the glow, the focus outline and the picture, in that order.
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "controls/gdip_fill.h"
#include "platform/core/numeric.h"

namespace sib {

namespace {

using gfx::PointF;

std::uint8_t Effective(std::uint8_t argument, std::uint8_t property) { return argument == 255 ? property : argument; }

bool IsLinear(TAdvGradientType type) {
  return type == gtVertical || type == gtHorizontal || type == gtForwardDiagonal || type == gtBackwardDiagonal;
}

gfx::LinearGradientMode LinearMode(TAdvGradientType type) {
  switch (type) {
    case gtHorizontal: return gfx::LinearGradientMode::Horizontal;
    case gtForwardDiagonal: return gfx::LinearGradientMode::ForwardDiagonal;
    case gtBackwardDiagonal: return gfx::LinearGradientMode::BackwardDiagonal;
    default: return gfx::LinearGradientMode::Vertical;
  }
}

// Restores the surface's smoothing mode when it goes.
class SmoothingScope {
 public:
  SmoothingScope(gfx::Graphics& g, gfx::SmoothingMode mode) : g_(g), saved_(g.GetSmoothingMode()) {
    g.SetSmoothingMode(mode);
  }
  ~SmoothingScope() { g_.SetSmoothingMode(saved_); }
  SmoothingScope(const SmoothingScope&) = delete;
  SmoothingScope& operator=(const SmoothingScope&) = delete;

 private:
  gfx::Graphics& g_;
  gfx::SmoothingMode saved_;
};

void FillPolygon(gfx::Graphics& g, const gfx::Brush& brush, std::array<PointF, 3> points) {
  g.FillPolygon(brush, points);
}

}  // namespace

// ---- the outline --------------------------------------------------------------------------------

gfx::Path CreateRoundRectangle(TGPRectF R, int Radius, TFillRoundingType RoundingType, bool /*Shadow*/) {
  gfx::Path path;
  const bool tl = RoundingType == rtTop || RoundingType == rtBoth || RoundingType == rtLeft;
  const bool tr = RoundingType == rtTop || RoundingType == rtBoth || RoundingType == rtRight;
  const bool br = RoundingType == rtBottom || RoundingType == rtBoth || RoundingType == rtRight;
  const bool bl = RoundingType == rtBottom || RoundingType == rtBoth || RoundingType == rtLeft;
  if (Radius <= 0 || !(tl || tr || br || bl)) {
    path.AddRectangle(R);
    return path;
  }
  const float r = static_cast<float>(Radius);
  const float d = 2 * r;
  const float x = R.X, y = R.Y, w = R.Width, h = R.Height;

  struct Corner {
    bool Rounded;
    gfx::RectF Box;   // the d x d box of the arc
    float Start;      // the arc's start angle; it sweeps 90 degrees clockwise
    PointF ArcStart;  // where the arc begins and ends
    PointF ArcEnd;
    PointF Square;    // the corner when it is not rounded
  };
  const Corner corners[] = {
      {tl, {x, y, d, d}, 180, {x, y + r}, {x + r, y}, {x, y}},
      {tr, {x + w - d, y, d, d}, 270, {x + w - r, y}, {x + w, y + r}, {x + w, y}},
      {br, {x + w - d, y + h - d, d, d}, 0, {x + w, y + h - r}, {x + w - r, y + h}, {x + w, y + h}},
      {bl, {x, y + h - d, d, d}, 90, {x + r, y + h}, {x, y + h - r}, {x, y + h}},
  };
  // Square corners wait until the next arc (or the end), then go in as one run of lines from
  // where the figure stands.
  std::vector<PointF> run;
  for (const Corner& c : corners) {
    if (!c.Rounded) {
      run.push_back(c.Square);
      continue;
    }
    if (!run.empty()) {
      run.push_back(c.ArcStart);
      path.AddLines(run);
      run.clear();
    }
    path.AddArc(c.Box, c.Start, 90);
    run = {c.ArcEnd};
  }
  if (run.size() > 1) path.AddLines(run);
  path.CloseFigure();
  return path;
}

// ---- Fill -------------------------------------------------------------------------------------

TGPRectF TGDIPFill::Fill(gfx::Graphics* g, TGPRectF R, std::uint8_t ABorderOpacity, std::uint8_t AOpacity,
                         std::uint8_t AOpacityTo, std::uint8_t AOpacityMirror, std::uint8_t AOpacityMirrorTo) {
  const Opacities o{Effective(ABorderOpacity, FBorderOpacity), Effective(AOpacity, FOpacity),
                    Effective(AOpacityTo, FOpacityTo), Effective(AOpacityMirror, FOpacityMirror),
                    Effective(AOpacityMirrorTo, FOpacityMirrorTo)};
  const bool hasBorder = FBorderWidth > 0 && FBorderColor != clNone;
  const bool line = R.Height == 1 || R.Width == 1;

  if (line) {
    if (g && hasBorder)
      g->DrawLine(gfx::Pen(MakeColor(o.Border, FBorderColor), static_cast<float>(FBorderWidth)), R.X, R.Y,
                  R.X + R.Width, R.Y + R.Height);
  } else {
    if (g && FShadowOffset > 0 && FShadowColor != clNone) {
      const gfx::Path outline = CreateRoundRectangle(R, FRounding, FRoundingType);
      gfx::PathGradientBrush shadow(outline);
      shadow.SetWrapMode(gfx::WrapMode::Clamp);
      const gfx::Color c = MakeColor(180, FShadowColor);
      const gfx::ColorStop stops[] = {{0, gfx::Color::FromArgb(0)}, {0.1f, c}, {1, c}};
      shadow.SetInterpolationColors(stops);
      g->FillPath(shadow, outline);
    }
    if (FShadowOffset > 0 && FShadowColor != clNone) {
      R.Width -= static_cast<float>(FShadowOffset);
      R.Height -= static_cast<float>(FShadowOffset);
    }
    if (g) {
      FillBody(*g, R, o);
      if (FBackGroundPictureMode == pmInsideFill && FGradientType == gtTexture) {
        g->SetClip(CreateRoundRectangle(R, FRounding, FRoundingType));
        FBackGroundPicture->GetImageSizes();
        DrawPicture(*g, *FBackGroundPicture, R, FBackGroundPicturePosition, FBackGroundPictureLeft,
                    FBackGroundPictureTop, FBackGroundPicture->Width(), FBackGroundPicture->Height());
        g->ResetClip();
      }
      if (hasBorder)
        g->DrawPath(gfx::Pen(MakeColor(o.Border, FBorderColor), static_cast<float>(FBorderWidth)),
                    CreateRoundRectangle(R, FRounding, FRoundingType));
    }
  }

  const float bw = static_cast<float>(FBorderWidth);
  FFocusRect = {R.X + bw, R.Y + bw, R.Width - 2 * bw, R.Height - 2 * bw};
  if (!g) return R;
  DrawGlow(*g, R);
  if (FFocus) DrawFocus(*g, o.Start);
  if (FBackGroundPictureMode == pmOutsideFill && FGradientType == gtTexture) {
    FBackGroundPicture->GetImageSizes();
    DrawPicture(*g, *FBackGroundPicture, R, FBackGroundPicturePosition, FBackGroundPictureLeft, FBackGroundPictureTop,
                FBackGroundPicture->Width(), FBackGroundPicture->Height());
  }
  if (!FPicture->Empty()) {
    FPicture->GetImageSizes();
    const bool custom = FPictureSize == psCustom;
    DrawPicture(*g, *FPicture, R, FPicturePosition, FPictureLeft, FPictureTop,
                custom ? FPictureWidth : FPicture->Width(), custom ? FPictureHeight : FPicture->Height());
  }
  return R;
}

void TGDIPFill::FillBody(gfx::Graphics& g, TGPRectF R, const Opacities& o) {
  const bool single = FGradientType == gtHatch || FGradientType == gtTexture || FColorMirror == clNone;
  const TColor colorTo = FColorTo == clNone ? FColor : FColorTo;
  if (single) {
    if (FGradientType == gtRadial) {
      if (FColor != clNone) DrawRadialGradient(g, R, FColor, colorTo, o.Start, o.End, true, FRounding, FRoundingType);
    } else {
      DrawGradientBackGround(g, R, false, o.Start, o.End, o.Mirror, o.MirrorTo);
    }
    return;
  }
  const float half = R.Height / 2;
  const TGPRectF upper{R.X, R.Y, R.Width, R.Height - half + 1};
  const TGPRectF lower{R.X, R.Y + half - 1, R.Width, R.Height - half + 1};
  if (FGradientType == gtRadial) {
    if (FColor != clNone) DrawRadialGradient(g, upper, FColor, colorTo, o.Start, o.End, true, FRounding, rtTop);
  } else {
    DrawGradientBackGround(g, upper, false, o.Start, o.End, o.Mirror, o.MirrorTo);
  }
  if (FGradientMirrorType == gtRadial) {
    const TColor mirrorTo = FColorMirrorTo == clNone ? FColorMirror : FColorMirrorTo;
    DrawRadialGradient(g, lower, FColorMirror, mirrorTo, o.Mirror, o.MirrorTo, false, FRounding, rtBottom);
  } else {
    DrawGradientBackGround(g, lower, true, o.Start, o.End, o.Mirror, o.MirrorTo);
  }
}

// ---- one layer ----------------------------------------------------------------------------------

void TGDIPFill::DrawGradientBackGround(gfx::Graphics& g, TGPRectF R, bool Mirror, std::uint8_t Opacity,
                                       std::uint8_t OpacityTo, std::uint8_t OpacityMirror,
                                       std::uint8_t OpacityMirrorTo) {
  TAdvGradientType type = Mirror ? FGradientMirrorType : FGradientType;
  const TColor c1 = Mirror ? FColorMirror : FColor;
  const TColor c2 = Mirror ? FColorMirrorTo : FColorTo;
  const gfx::HatchStyle hatch = Mirror ? FHatchStyleMirror : FHatchStyle;
  if (c1 == clNone) return;
  if (c2 == clNone) type = gtSolid;
  const gfx::Color s = MakeColor(Mirror ? OpacityMirror : Opacity, c1);
  const gfx::Color e = MakeColor(Mirror ? OpacityMirrorTo : OpacityTo, c2);

  const bool rounded = FRounding != 0;
  const TFillRoundingType rounding = FColorMirror == clNone ? FRoundingType : LayerRounding(FRoundingType, Mirror);
  const gfx::Path outline = rounded ? CreateRoundRectangle(R, FRounding, rounding) : gfx::Path();
  std::optional<SmoothingScope> smoothing;
  if (rounded) smoothing.emplace(g, gfx::SmoothingMode::AntiAlias);
  const auto paint = [&](const gfx::Brush& brush) {
    if (rounded) g.FillPath(brush, outline);
    else g.FillRectangle(brush, R);
  };

  if (type == gtSolid) {
    paint(gfx::SolidBrush(s));
  } else if (IsLinear(type) || type == gtAngle) {
    const TGPRectF grown = R.Inflated(1, 1);
    gfx::LinearGradientBrush brush = type == gtAngle
                                         ? gfx::LinearGradientBrush(grown, s, e, static_cast<float>(FAngle),
                                                                    gfx::AngleScaling::Scalable)
                                         : gfx::LinearGradientBrush(grown, s, e, LinearMode(type));
    brush.SetGammaCorrection(true);
    paint(brush);
    if (Mirror && type != gtAngle) g.FillRectangle(gfx::SolidBrush(s), TGPRectF{R.X, R.Y, R.Width, 1});
  } else if (type == gtHatch) {
    paint(gfx::HatchBrush(hatch, s, e));
  } else if (type == gtTexture && FBackGroundPicturePosition == ppTiled) {
    if (rounded) FBackGroundPicture->FillPath(g, outline);
    else FBackGroundPicture->FillRect(g, R);
  }
}

void TGDIPFill::DrawRadialGradient(gfx::Graphics& g, TGPRectF R, TColor CA, TColor CB, std::uint8_t OA,
                                   std::uint8_t OB, bool Upper, int Radius, TFillRoundingType RoundingType) {
  const gfx::Path outline = CreateRoundRectangle(R, Radius, RoundingType);
  const gfx::Color a = MakeColor(OA, CA);
  const gfx::Color b = MakeColor(OB, CB);
  g.FillPath(gfx::SolidBrush(Upper ? a : b), outline);
  g.SetClip(outline);
  gfx::Path ellipse;
  if (Upper) ellipse.AddEllipse(R.X, R.Y - R.Height / 2, R.Width, R.Height + R.Height / 2);
  else ellipse.AddEllipse(R.X, R.Y, R.Width, R.Height + R.Height / 2);
  gfx::PathGradientBrush glow(ellipse);
  glow.SetCenterPoint({R.X + R.Width / 2, Upper ? R.Y : R.Y + R.Height});
  glow.SetCenterColor(Upper ? b : a);
  const gfx::Color surround[] = {Upper ? a : b};
  glow.SetSurroundColors(surround);
  g.FillRectangle(glow, R);
  g.ResetClip();
}

// ---- glow, focus, pictures ----------------------------------------------------------------------

void TGDIPFill::DrawGlow(gfx::Graphics& g, TGPRectF R) {
  if (FGlow == gmNone) return;
  g.SetClip(R);
  const TGPRectF G{R.X + 1, R.Y + 1, R.Width - 2, R.Height - 2};
  if (FGlow == gmGradient || FGlow == gmRadialGradient) {
    g.DrawPath(gfx::Pen(MakeColor(200, FGlowGradientColor), 1), CreateRoundRectangle(G, FRounding, FRoundingType));
    const float right = G.X + G.Width;
    const TGPRectF band{G.X + 5, G.Y, G.Width - 10, 4};
    const gfx::LinearGradientBrush highlight(band.Inflated(1, 1), MakeColor(175, FGlowGradientColor),
                                             MakeColor(0, FGlowGradientColor), gfx::LinearGradientMode::Vertical);
    g.FillRectangle(highlight, band);
    FillPolygon(g, highlight, {PointF{G.X, G.Y}, PointF{G.X + 5, G.Y}, PointF{G.X + 5, G.Y + 4}});
    FillPolygon(g, highlight, {PointF{right, G.Y}, PointF{right - 5, G.Y}, PointF{right - 5, G.Y + 4}});

    const float bottom = G.Y + G.Height;
    const TGPRectF shade{G.X + 5, bottom - 7, G.Width - 10, 7};
    const gfx::LinearGradientBrush shadeBrush(shade.Inflated(1, 1), MakeColor(0, FGlowGradientColor),
                                              MakeColor(220, FGlowGradientColor), gfx::LinearGradientMode::Vertical);
    g.FillRectangle(shadeBrush, shade);
    FillPolygon(g, shadeBrush, {PointF{G.X, bottom}, PointF{G.X + 5, bottom}, PointF{G.X + 5, bottom - 7}});
    FillPolygon(g, shadeBrush, {PointF{right, bottom}, PointF{right - 5, bottom}, PointF{right - 5, bottom - 7}});
  }
  if (FGlow == gmRadial || FGlow == gmRadialGradient) {
    gfx::Path ellipse;
    ellipse.AddEllipse(G.X + 10, G.Y - G.Height / 2, G.Width - 20, 3 * G.Height);
    gfx::PathGradientBrush radial(ellipse);
    radial.SetCenterColor(MakeColor(150, FGlowRadialColor));
    const gfx::Color surround[] = {MakeColor(0, FColor)};
    radial.SetSurroundColors(surround);
    g.FillPath(radial, ellipse);
  }
  g.ResetClip();
}

void TGDIPFill::DrawFocus(gfx::Graphics& g, std::uint8_t Opacity) {
  // A border wider than the rounding would make the inner radius negative: the outline is then square.
  const int radius = std::max(0, FRounding - FBorderWidth);
  gfx::Pen pen(MakeColor(Opacity, FFocusColor), 1);
  pen.SetDashStyle(gfx::DashStyle::Dot);
  SmoothingScope smoothing(g, gfx::SmoothingMode::Default);
  g.DrawPath(pen, CreateRoundRectangle(FFocusRect, radius, FRoundingType));
}

void TGDIPFill::DrawPicture(gfx::Graphics& g, TAdvGDIPPicture& Pic, TGPRectF R, TFillPicturePosition Position,
                            int Left, int Top, int Width, int Height) {
  if (Pic.Empty()) return;
  const int l = static_cast<int>(roundHalfEven(R.X));
  const int t = static_cast<int>(roundHalfEven(R.Y));
  const int r = l + static_cast<int>(roundHalfEven(R.Width));
  const int b = t + static_cast<int>(roundHalfEven(R.Height));
  const int w = Width, h = Height;
  const int cx = l + (r - l - w) / 2;
  const int cy = t + (b - t - h) / 2;
  int x0, y0, x1, y1;
  switch (Position) {
    case ppTopLeft: x0 = l, y0 = t, x1 = l + w, y1 = t + h; break;
    case ppTopCenter: x0 = cx, y0 = t, x1 = cx + w, y1 = t + h; break;
    case ppTopRight: x0 = r - w, y0 = t, x1 = r, y1 = t + h; break;
    case ppBottomLeft: x0 = l, y0 = b - h, x1 = l + w, y1 = b; break;
    case ppBottomCenter: x0 = cx, y0 = b - h, x1 = cx + w, y1 = b; break;
    case ppBottomRight: x0 = r - w, y0 = b - h, x1 = r, y1 = b; break;
    case ppStretched: x0 = l, y0 = t, x1 = r, y1 = b; break;
    case ppCenterLeft: x0 = l, y0 = cy, x1 = l + w, y1 = cy + h; break;
    case ppCenterCenter: x0 = cx, y0 = cy, x1 = cx + w, y1 = cy + h; break;
    case ppCenterRight: x0 = r - w, y0 = cy, x1 = r, y1 = cy + h; break;
    case ppCustom: x0 = Left, y0 = Top, x1 = Left + w, y1 = Top + h; break;
    case ppTiled:
    default: return;
  }
  Pic.GDIPDraw(g, gfx::Rect{x0, y0, x1 - x0, y1 - y0});
}

}  // namespace sib
