// The main window's panel face through the gradient fill: 471 x 413, black to 6049827 in linear
// light inside a radius-10 rounded outline with a yellow 1-pixel border, anti-aliased, as the
// panel paints it. Beside it, in the same run, the drawing layer's own baseline: the same size
// filled straight on Cairo as a plain rectangle with a two-stop vertical gradient. The ratio is
// what the fill, its shape and its linear-light gradient cost over the plainest gradient fill.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include "controls/gdip_fill.h"
#include "platform/graphics/graphics.h"

namespace sib {
namespace {

constexpr int kWidth = 471, kHeight = 413;

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

void BM_PanelFill(benchmark::State& state) {
  gfx::Bitmap bitmap(kWidth, kHeight);
  gfx::Graphics g(bitmap);
  g.SetSmoothingMode(gfx::SmoothingMode::AntiAlias);
  TGDIPFill fill;
  fill.SetColor(clBlack);
  fill.SetColorTo(6049827);
  fill.SetGradientMirrorType(gtVertical);
  fill.SetBorderColor(clYellow);
  fill.SetRounding(10);
  for (auto _ : state) {
    benchmark::DoNotOptimize(fill.Fill(&g, {0, 0, kWidth - 1, kHeight - 1}));
    bitmap.Data();  // flushes Cairo's pending work
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PanelFill);

}  // namespace
}  // namespace sib
