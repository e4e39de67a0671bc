// Draws one sheet with every brush kind, the 53 hatches, gradients by mode and angle, fonts and
// string alignments, and writes it to graphics_contact_sheet.png in the working folder (the build
// folder under ctest) for a person to look at.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/platform/graphics/pixels.h"
#include "tests/platform/graphics/shapes.h"

namespace sib::gfx {
namespace {

using namespace test;

constexpr Color kInk = Color::Rgb(30, 30, 40);
constexpr Color kGrid = Color::Rgb(200, 200, 210);

class Sheet {
 public:
  Sheet(int w, int h) : bitmap_(w, h), g_(bitmap_), label_("Arial", 7), heading_("Arial", 10, FontStyleBold) {
    g_.Clear(kWhite);
    g_.SetSmoothingMode(SmoothingMode::AntiAlias);
    g_.SetTextRenderingHint(TextRenderingHint::AntiAliasGridFit);
  }
  Graphics& g() { return g_; }
  Bitmap& bitmap() { return bitmap_; }
  void Heading(float x, float y, const std::string& text) {
    g_.DrawString(text, heading_, PointF{x, y}, {}, SolidBrush(kInk));
  }
  void Label(RectF cell, const std::string& text) {
    StringFormat f;
    f.Alignment = StringAlignment::Center;
    f.NoWrap = true;
    f.Trimming = StringTrimming::EllipsisCharacter;
    g_.DrawString(text, label_, RectF{cell.X - 6, cell.Bottom() + 1, cell.Width + 12, 12}, f, SolidBrush(kInk));
  }
  void Frame(RectF cell) { g_.DrawRectangle(Pen(kGrid), cell); }

 private:
  Bitmap bitmap_;
  Graphics g_;
  Font label_, heading_;
};

Bitmap Tile() {
  Bitmap b(12, 12);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x)
      b.SetPixel(x, y, (x / 6 + y / 6) % 2 ? Color::Rgb(250, 200, 60) : Color::Rgb(60, 120, 220));
  return b;
}

void BrushKinds(Sheet& s, float top) {
  s.Heading(10, top, "Brush kinds");
  Graphics& g = s.g();
  float y = top + 20;
  RectF cells[8];
  for (int i = 0; i < 8; ++i) cells[i] = {10.0f + i * 122, y, 110, 70};
  g.FillRectangle(SolidBrush(Color::Rgb(70, 140, 90)), cells[0]);
  s.Label(cells[0], "solid");
  g.FillRectangle(HatchBrush(HatchStyle::DiagonalBrick, Color::Rgb(150, 40, 40), Color::Rgb(240, 220, 200)), cells[1]);
  s.Label(cells[1], "hatch DiagonalBrick");
  g.FillRectangle(TextureBrush(Tile()), cells[2]);
  s.Label(cells[2], "texture, tiled");
  LinearGradientBrush lin(cells[3].Inflated(1, 1), Color::Rgb(192, 192, 192), Color::Rgb(128, 128, 128), LinearGradientMode::Vertical);
  lin.SetGammaCorrection(true);
  g.FillPath(lin, RoundRect(cells[3], 10));
  g.DrawPath(Pen(Color::Rgb(80, 80, 80)), RoundRect(cells[3], 10));
  s.Label(cells[3], "vertical, rounded, border");
  Path ellipse;
  ellipse.AddEllipse(cells[4]);
  PathGradientBrush pg(ellipse);
  pg.SetCenterColor(kWhite);
  const Color surround[] = {Color::Rgb(40, 80, 200)};
  pg.SetSurroundColors(surround);
  g.FillPath(pg, ellipse);
  s.Label(cells[4], "path gradient");
  // A soft shadow: transparent at the outline, alpha 180 from a tenth inwards.
  Path shadowShape = RoundRect(cells[5], 12);
  PathGradientBrush shadow(shadowShape);
  const ColorStop stops[] = {{0, Color::Argb(0, 0, 0, 0)}, {0.1f, Color::Argb(180, 0, 0, 0)}, {1, Color::Argb(180, 0, 0, 0)}};
  shadow.SetInterpolationColors(stops);
  g.FillPath(shadow, shadowShape);
  s.Label(cells[5], "path gradient, preset rings");
  // A glow rising from the top edge, clipped to the outline.
  RectF r = cells[6];
  Path outline = RoundRect(r, 10);
  g.FillPath(SolidBrush(Color::Rgb(0, 90, 160)), outline);
  GraphicsState st = g.Save();
  g.SetClip(outline);
  Path glow;
  glow.AddEllipse(RectF{r.X, r.Y - r.Height / 2, r.Width, r.Height + r.Height / 2});
  PathGradientBrush radial(glow);
  radial.SetCenterPoint({r.X + r.Width / 2, r.Y});
  radial.SetCenterColor(Color::Rgb(120, 220, 255));
  const Color base[] = {Color::Rgb(0, 90, 160)};
  radial.SetSurroundColors(base);
  g.FillRectangle(radial, r);
  g.Restore(st);
  s.Label(cells[6], "radial layer");
  Region groove(cells[7]);
  groove.Exclude(RoundRect(RectF{cells[7].X + 7, cells[7].Y + 7, cells[7].Width - 14, cells[7].Height - 14}, 8));
  g.FillRectangle(SolidBrush(Color::Rgb(90, 60, 140)), cells[7]);
  g.FillRegion(SolidBrush(Color::Argb(75, 255, 255, 255)), groove);
  g.DrawPath(Pen(Color::Argb(225, 255, 255, 255), 2), RoundRect(cells[7], 10));
  s.Label(cells[7], "region: rect less outline");
}

void Hatches(Sheet& s, float top) {
  s.Heading(10, top, "The 53 hatch styles (foreground black, background light)");
  for (int i = 0; i < kHatchStyleCount; ++i) {
    RectF cell{10.0f + (i % 14) * 70, top + 20 + (i / 14) * 66, 56, 40};
    s.g().FillRectangle(HatchBrush(HatchStyle(i), kBlack, Color::Rgb(235, 235, 225)), cell);
    s.Frame(cell);
    s.Label(cell, std::to_string(i) + " " + HatchStyleName(HatchStyle(i)));
  }
}

void Gradients(Sheet& s, float top) {
  s.Heading(10, top, "Linear gradients by mode and angle (red to blue); lower row with gamma correction");
  Graphics& g = s.g();
  struct Kind {
    std::string name;
    bool angle;
    LinearGradientMode mode;
    float degrees;
    AngleScaling scaling;
  };
  const Kind kinds[] = {
      {"horizontal", false, LinearGradientMode::Horizontal, 0, AngleScaling::Fixed},
      {"vertical", false, LinearGradientMode::Vertical, 0, AngleScaling::Fixed},
      {"forward diag.", false, LinearGradientMode::ForwardDiagonal, 0, AngleScaling::Fixed},
      {"backward diag.", false, LinearGradientMode::BackwardDiagonal, 0, AngleScaling::Fixed},
      {"30 fixed", true, {}, 30, AngleScaling::Fixed},
      {"45 fixed", true, {}, 45, AngleScaling::Fixed},
      {"45 scalable", true, {}, 45, AngleScaling::Scalable},
      {"135 fixed", true, {}, 135, AngleScaling::Fixed},
      {"200 fixed", true, {}, 200, AngleScaling::Fixed},
      {"300 scalable", true, {}, 300, AngleScaling::Scalable},
  };
  for (int gamma = 0; gamma < 2; ++gamma)
    for (int i = 0; i < 10; ++i) {
      RectF cell{10.0f + i * 98, top + 20 + gamma * 62, 86, 40};
      const Kind& k = kinds[i];
      LinearGradientBrush b = k.angle ? LinearGradientBrush(cell, Color::Rgb(230, 30, 30), Color::Rgb(30, 30, 230), k.degrees, k.scaling)
                                      : LinearGradientBrush(cell, Color::Rgb(230, 30, 30), Color::Rgb(30, 30, 230), k.mode);
      b.SetGammaCorrection(gamma == 1);
      g.FillRectangle(b, cell);
      s.Label(cell, k.name);
    }
  RectF wide{10, top + 150, 480, 24};
  LinearGradientBrush preset(PointF{wide.X, 0}, PointF{wide.Right(), 0}, kBlack, kWhite);
  const ColorStop rainbow[] = {{0, Color::Rgb(220, 0, 0)},   {0.25f, Color::Rgb(240, 200, 0)}, {0.5f, Color::Rgb(0, 180, 60)},
                               {0.75f, Color::Rgb(0, 90, 220)}, {1, Color::Rgb(140, 0, 180)}};
  preset.SetInterpolationColors(rainbow);
  g.FillRectangle(preset, wide);
  s.Label(wide, "preset interpolation colours");
  for (int gamma = 0; gamma < 2; ++gamma) {
    RectF bw{510, top + 150 + gamma * 14.0f, 480, 12};
    LinearGradientBrush b(PointF{bw.X, 0}, PointF{bw.Right(), 0}, kBlack, kWhite);
    b.SetGammaCorrection(gamma == 1);
    g.FillRectangle(b, bw);
  }
  s.Label(RectF{510, top + 150, 480, 24}, "black to white, plain over gamma-corrected");
}

void Fonts(Sheet& s, float top) {
  s.Heading(10, top, "Fonts (family, resolved face) in regular, bold, italic, underline, bold italic");
  const char* families[] = {"Arial", "Tahoma", "DejaVu Sans", "Liberation Serif", "No Such Family"};
  float y = top + 22;
  for (const char* name : families) {
    FontFamily family(name);
    std::string caption = std::string(name) + " -> " + (family.Ok() ? family.ResolvedName() : std::string("not found"));
    s.g().DrawString(caption, Font("Arial", 8), PointF{10, y + 3}, {}, SolidBrush(Color::Rgb(100, 100, 110)));
    const int styles[] = {0, FontStyleBold, FontStyleItalic, FontStyleUnderline, FontStyleBoldItalic};
    float x = 210;
    for (int style : styles) {
      Font f(family, 11, style);
      if (!f.Ok()) {
        s.g().DrawString("(no font: status " + std::to_string(int(f.GetStatus())) + ")", Font("Arial", 8), PointF{x, y + 3}, {},
                         SolidBrush(Color::Rgb(180, 0, 0)));
        break;
      }
      s.g().DrawString("Pink Noise 0.20", f, PointF{x, y}, {}, SolidBrush(kInk));
      x += 150;
    }
    y += 22;
  }
  const TextRenderingHint hints[] = {TextRenderingHint::SingleBitPerPixelGridFit, TextRenderingHint::AntiAlias,
                                     TextRenderingHint::AntiAliasGridFit, TextRenderingHint::ClearTypeGridFit};
  const char* names[] = {"single bit, grid fit", "anti-alias", "anti-alias, grid fit", "sub-pixel, grid fit"};
  for (int i = 0; i < 4; ++i) {
    s.g().SetTextRenderingHint(hints[i]);
    s.g().DrawString(std::string("Select Noise Type - ") + names[i], Font("Tahoma", 9), PointF{10.0f + i * 245, y + 4}, {},
                     SolidBrush(kInk));
  }
  s.g().SetTextRenderingHint(TextRenderingHint::AntiAliasGridFit);
}

void Alignments(Sheet& s, float top) {
  s.Heading(10, top, "String formats: alignment (horizontal x line), hot-key prefix, wrapping and trimming");
  Graphics& g = s.g();
  const StringAlignment all[] = {StringAlignment::Near, StringAlignment::Center, StringAlignment::Far};
  const char* names[] = {"near", "centre", "far"};
  Font font("Arial", 9);
  for (int v = 0; v < 3; ++v)
    for (int h = 0; h < 3; ++h) {
      RectF cell{10.0f + h * 118, top + 22 + v * 52, 110, 44};
      g.FillRectangle(SolidBrush(Color::Rgb(238, 242, 250)), cell);
      s.Frame(cell);
      StringFormat f;
      f.Alignment = all[h];
      f.LineAlignment = all[v];
      std::string text = std::string(names[h]) + " / " + names[v];
      RectF box = g.MeasureString(text, font, cell, f).Box;
      g.DrawRectangle(Pen(Color::Argb(120, 220, 60, 60)), box);
      g.DrawString(text, font, cell, f, SolidBrush(kInk));
    }
  float x = 380;
  StringFormat hot;
  hot.Hotkey = HotkeyPrefix::Show;
  g.DrawString("&Start    S&top    &Exit    Rock && Roll", Font("Tahoma", 12, FontStyleBold), PointF{x, top + 22}, hot,
               SolidBrush(kInk));
  RectF wrapBox{x, top + 52, 180, 60};
  s.Frame(wrapBox);
  g.DrawString("A steady background noise: brown, pink or white, at the level you set.", font, wrapBox, {},
               SolidBrush(kInk));
  s.Label(wrapBox, "wrapped in the rectangle");
  RectF trimBox{x + 200, top + 52, 180, 20};
  s.Frame(trimBox);
  StringFormat trim;
  trim.NoWrap = true;
  trim.Trimming = StringTrimming::EllipsisCharacter;
  g.DrawString("A steady background noise: brown, pink or white, at the level you set.", font, trimBox, trim,
               SolidBrush(kInk));
  s.Label(trimBox, "no wrap, ellipsis");
  Path outline;
  outline.AddString("Sibilon", FontFamily("Arial"), FontStyleBold, 36, PointF{x + 200, top + 95}, {});
  LinearGradientBrush b(outline.GetBounds(), Color::Rgb(255, 140, 0), Color::Rgb(180, 0, 90), LinearGradientMode::Vertical);
  g.FillPath(b, outline);
  g.DrawPath(Pen(Color::Rgb(60, 0, 30)), outline);
}

void Geometry(Sheet& s, float top) {
  s.Heading(10, top, "Borders on pixel centres, arcs by start and sweep, dotted focus outline without smoothing");
  Graphics& g = s.g();
  for (int i = 0; i < 4; ++i) {
    RectF r{10.0f + i * 70, top + 22, 60, 40};
    g.DrawPath(Pen(Color::Rgb(40, 40, 40)), RoundRect(r, float(i * 5)));
  }
  const float sweeps[][2] = {{0, 90}, {90, 90}, {180, 90}, {270, 90}, {45, 270}, {0, -120}};
  for (int i = 0; i < 6; ++i) {
    RectF box{300.0f + i * 60, top + 22, 44, 44};
    g.DrawEllipse(Pen(kGrid), box);
    g.DrawArc(Pen(Color::Rgb(200, 40, 40), 3), box, sweeps[i][0], sweeps[i][1]);
    s.Label(box, std::to_string(int(sweeps[i][0])) + " / " + std::to_string(int(sweeps[i][1])));
  }
  g.SetSmoothingMode(SmoothingMode::Default);
  Pen dotted(kBlack);
  dotted.SetDashStyle(DashStyle::Dot);
  g.DrawPath(dotted, RoundRect(RectF{680, top + 22, 120, 40}, 8));
  g.SetSmoothingMode(SmoothingMode::AntiAlias);
}

TEST(ContactSheet, DrawsEveryKindOfBrushTheHatchesGradientsFontsAndAlignments) {
  Sheet s(1000, 1120);
  BrushKinds(s, 10);
  Hatches(s, 130);
  Gradients(s, 430);
  Fonts(s, 620);
  Alignments(s, 790);
  Geometry(s, 990);
  std::filesystem::path file = std::filesystem::current_path() / "graphics_contact_sheet.png";
  ASSERT_EQ(cairo_surface_write_to_png(s.bitmap().NativeSurface(), file.c_str()), CAIRO_STATUS_SUCCESS);
  std::printf("contact sheet: %s\n", file.c_str());
  EXPECT_GT(std::filesystem::file_size(file), 10000u);
}

}  // namespace
}  // namespace sib::gfx
