// The body of a smooth control's face through the drawing layer: a 471 x 413 surface filled with a
// vertical two-colour gradient (linear light) inside a radius-10 rounded rectangle and stroked with
// a 1-pixel border, anti-aliased. Beside it, in the same run, the baselines straight on Cairo: the
// same size filled as a plain rectangle, with one solid colour and with a plain two-stop vertical
// gradient. The ratios to them are what the layer and the shape cost.
//
// Also: a font made from its family name, as the controls make theirs on every paint, beside one
// fontconfig match for the same name (what each font would cost without the layer's cache).
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include "platform/graphics/graphics.h"
#include "tests/platform/graphics/shapes.h"

namespace sib::gfx {
namespace {

constexpr int kWidth = 471, kHeight = 413;
constexpr Color kFrom = Color::Rgb(192, 192, 192), kTo = Color::Rgb(128, 128, 128);

void BM_CairoPlainRectangleSolid(benchmark::State& state) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
  cairo_t* cr = cairo_create(s);
  for (auto _ : state) {
    cairo_set_source_rgb(cr, 0.75, 0.75, 0.75);
    cairo_rectangle(cr, 0, 0, kWidth, kHeight);
    cairo_fill(cr);
    cairo_surface_flush(s);
    benchmark::ClobberMemory();
  }
  cairo_destroy(cr);
  cairo_surface_destroy(s);
}
BENCHMARK(BM_CairoPlainRectangleSolid);

void BM_CairoPlainRectangleGradient(benchmark::State& state) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
  cairo_t* cr = cairo_create(s);
  for (auto _ : state) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, kHeight);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.75, 0.75, 0.75);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.5, 0.5, 0.5);
    cairo_set_source(cr, p);
    cairo_rectangle(cr, 0, 0, kWidth, kHeight);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_surface_flush(s);
    benchmark::ClobberMemory();
  }
  cairo_destroy(cr);
  cairo_surface_destroy(s);
}
BENCHMARK(BM_CairoPlainRectangleGradient);

void BM_LayerRoundedGradientWithBorder(benchmark::State& state) {
  Bitmap bitmap(kWidth, kHeight);
  Graphics g(bitmap);
  g.SetSmoothingMode(SmoothingMode::AntiAlias);
  const RectF r{0, 0, kWidth - 1, kHeight - 1};
  for (auto _ : state) {
    Path outline = test::RoundRect(r, 10);
    LinearGradientBrush brush(r.Inflated(1, 1), kFrom, kTo, LinearGradientMode::Vertical);
    brush.SetGammaCorrection(true);
    g.FillPath(brush, outline);
    g.DrawPath(Pen(Color::Rgb(96, 96, 96)), outline);
    bitmap.Data();  // flushes Cairo's pending work
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_LayerRoundedGradientWithBorder);

// A radial layer: a path gradient on an ellipse rising from the top edge, filling the whole
// surface (its cost beside the plain gradient rectangle above).
void BM_LayerRadialPathGradient(benchmark::State& state) {
  Bitmap bitmap(kWidth, kHeight);
  Graphics g(bitmap);
  g.SetSmoothingMode(SmoothingMode::AntiAlias);
  const RectF r{0, 0, kWidth - 1, kHeight - 1};
  const Color surround[] = {kTo};
  for (auto _ : state) {
    Path ellipse;
    ellipse.AddEllipse(RectF{r.X, r.Y - r.Height / 2, r.Width, r.Height + r.Height / 2});
    PathGradientBrush brush(ellipse);
    brush.SetCenterPoint({r.X + r.Width / 2, r.Y});
    brush.SetCenterColor(kFrom);
    brush.SetSurroundColors(surround);
    g.FillRectangle(brush, r);
    bitmap.Data();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_LayerRadialPathGradient);

void BM_FontconfigMatchArial(benchmark::State& state) {
  for (auto _ : state) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Arial"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    benchmark::DoNotOptimize(match);
    FcPatternDestroy(match);
    FcPatternDestroy(pattern);
  }
}
BENCHMARK(BM_FontconfigMatchArial);

void BM_LayerBoldArialFromName(benchmark::State& state) {
  for (auto _ : state) {
    Font font("Arial", 10, FontStyleBold);
    benchmark::DoNotOptimize(font.Ok());
  }
}
BENCHMARK(BM_LayerBoldArialFromName);

}  // namespace
}  // namespace sib::gfx
