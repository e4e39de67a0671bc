// A full repaint of the window's level bar and of its LED readout, each beside a plain fill of the
// same rectangle on the same kind of surface (the baseline): the ratio says what the gradients,
// ticks, groove, thumb and segments cost over the cheapest possible paint.
#include <benchmark/benchmark.h>

#include "controls/led_label.h"
#include "controls/track_bar.h"
#include "tests/controls/window_controls.h"

namespace sib {
namespace {

void PlainFill(benchmark::State& state, int width, int height) {
  gfx::Bitmap bitmap(width, height);
  gfx::Graphics g(bitmap);
  g.SetSmoothingMode(gfx::SmoothingMode::AntiAlias);
  const gfx::SolidBrush brush(gfx::Color::Rgb(0, 0, 0));
  for (auto _ : state) {
    g.FillRectangle(brush, gfx::RectF{0, 0, float(width - 1), float(height - 1)});
    benchmark::DoNotOptimize(bitmap.Data());
  }
}

void BM_TrackBarPlainFill(benchmark::State& state) { PlainFill(state, 358, 29); }
BENCHMARK(BM_TrackBarPlainFill);

void BM_TrackBarRepaint(benchmark::State& state) {
  auto tb = MakeComponent<TAdvSmoothTrackBar>();
  test::SetUpWindowTrackBar(*tb);
  tb->SetGlowAnimation(false);
  gfx::Bitmap bitmap(tb->Width(), tb->Height());
  gfx::Graphics g(bitmap);
  for (auto _ : state) {
    tb->PaintTo(g);
    benchmark::DoNotOptimize(bitmap.Data());
  }
}
BENCHMARK(BM_TrackBarRepaint);

void BM_ReadoutPlainFill(benchmark::State& state) { PlainFill(state, 107, 36); }
BENCHMARK(BM_ReadoutPlainFill);

void BM_ReadoutRepaint(benchmark::State& state) {
  auto led = MakeComponent<TAdvSmoothLedLabel>();
  test::SetUpWindowReadout(*led);
  gfx::Bitmap bitmap(led->Width(), led->Height());
  gfx::Graphics g(bitmap);
  for (auto _ : state) {
    led->DrawLedLabel(g, led->Width(), led->Height());
    benchmark::DoNotOptimize(bitmap.Data());
  }
}
BENCHMARK(BM_ReadoutRepaint);

}  // namespace
}  // namespace sib
