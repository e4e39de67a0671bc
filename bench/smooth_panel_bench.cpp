// The main window's panel (471 x 413, black to 6049827, yellow border, radius 10): a full repaint
// after Changed (the cache redrawn: fill and caption, then blended) against an ordinary repaint,
// which only blends the cached bitmap over what the parent painted. The ratio is what the cache saves.
#include <benchmark/benchmark.h>

#include "controls/smooth_panel.h"
#include "platform/graphics/graphics.h"
#include "platform/ui/canvas.h"

namespace sib {
namespace {

constexpr int kWidth = 471, kHeight = 413;

class TBenchPanel : public TAdvSmoothPanel {
 public:
  using TAdvSmoothPanel::Paint;
  using TAdvSmoothPanel::TAdvSmoothPanel;
};

TComponentPtr<TBenchPanel> WindowPanel() {
  auto p = MakeComponent<TBenchPanel>();
  p->SetBounds(0, 0, kWidth, kHeight);
  TGDIPFill& f = *p->Fill();
  f.SetColor(clBlack);
  f.SetColorTo(6049827);
  f.SetColorMirror(clNone);
  f.SetColorMirrorTo(clNone);
  f.SetGradientMirrorType(gtVertical);
  f.SetBorderColor(clYellow);
  f.SetRounding(10);
  f.SetShadowOffset(0);
  return p;
}

void Repaint(benchmark::State& state, bool redrawCache) {
  auto panel = WindowPanel();
  gfx::Bitmap surface(kWidth, kHeight);
  gfx::Graphics g(surface);
  const gfx::SolidBrush silver(gfx::Color::Argb(255, 192, 192, 192));
  for (auto _ : state) {
    if (redrawCache) panel->Changed();
    g.FillRectangle(silver, gfx::RectF{0, 0, kWidth, kHeight});  // the parent's background
    TCanvas canvas(g, 1.0, TPoint{0, 0}, TRect::FromSize(0, 0, kWidth, kHeight));
    panel->Paint(canvas);
    benchmark::DoNotOptimize(surface.Data());
    benchmark::ClobberMemory();
  }
  state.counters["cache_redraws"] = static_cast<double>(panel->CacheRedraws());
}

void BM_PanelBlendCache(benchmark::State& state) { Repaint(state, false); }
BENCHMARK(BM_PanelBlendCache);

void BM_PanelFullRepaint(benchmark::State& state) { Repaint(state, true); }
BENCHMARK(BM_PanelFullRepaint);

}  // namespace
}  // namespace sib
