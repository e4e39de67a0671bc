// The main window's start button (182 x 41, silver, "Start Noise" in Tahoma 16 px, a black bevel):
// a full redraw of its cached face, as after a hover, press or colour change, against the ordinary
// repaint that blends the cached face over the background. The ratio is what the cache saves.
#include <benchmark/benchmark.h>

#include "controls/smooth_button.h"
#include "platform/graphics/graphics.h"

namespace sib {
namespace {

TComponentPtr<TAdvSmoothButton> WindowButton() {
  auto b = MakeComponent<TAdvSmoothButton>();
  b->SetBounds(0, 0, 182, 41);
  b->SetCaption("Start Noise");
  b->SetColor(clSilver);
  b->SetBevelColor(clBlack);
  b->SetParentFont(false);
  b->Appearance()->Font()->SetName("Tahoma");
  b->Appearance()->Font()->SetHeight(-16);
  b->Appearance()->Font()->SetColor(clBlack);
  b->SetShowFocus(false);
  return b;
}

void BM_BlitCachedFace(benchmark::State& state) {
  auto b = WindowButton();
  b->UpdateCache();
  gfx::Bitmap screen(182, 41);
  gfx::Graphics g(screen);
  for (auto _ : state) {
    g.DrawImage(b->Cache(), gfx::PointF{0, 0});
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BlitCachedFace);

void BM_RedrawFace(benchmark::State& state) {
  auto b = WindowButton();
  for (auto _ : state) {
    b->Changed();
    b->UpdateCache();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RedrawFace);

}  // namespace
}  // namespace sib
