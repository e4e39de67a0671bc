// The markup renderer on a megabyte of markup, laid out in the main window's width (471) with no
// height limit, so that every line is made: parsing alone, and parsing with laying out on a real
// drawing surface. The baseline is one pass over the same bytes (counting the tags' '<'), the least
// any reader of the text does; the ratios say how many such passes parsing and laying out cost.
// A second pair lays out 64 KB of plain text through the renderer and through one Pango layout of
// the drawing layer (MeasureString, wrapping in the same width), the cost of leaving the lines to Pango.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>

#include "controls/html_markup.h"
#include "platform/graphics/graphics.h"

namespace sib {
namespace {

constexpr float kWidth = 471;

const std::string& Megabyte() {
  static const std::string text = [] {
    std::string t;
    while (t.size() < (std::size_t{1} << 20))
      t += "Steady <B>brown</B> noise, <I>pink</I> noise and <FONT COLOR=#FF8000 SIZE=+2>white</FONT> noise; "
           "<A HREF=\"https://example.org\">the maker</A> &amp; friends.<BR>";
    return t;
  }();
  return text;
}

const std::string& PlainText() {
  static const std::string text = [] {
    std::string t;
    while (t.size() < (std::size_t{64} << 10))
      t += "Steady brown noise, pink noise and white noise, with the maker and friends. ";
    return t;
  }();
  return text;
}

html::BaseStyle Base() {
  html::BaseStyle base;
  base.Face = "Arial";
  base.Size = 9;
  return base;
}

void BM_ScanBytes(benchmark::State& state) {
  const std::string& text = Megabyte();
  for (auto _ : state) benchmark::DoNotOptimize(std::count(text.begin(), text.end(), '<'));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ScanBytes);

void BM_Parse(benchmark::State& state) {
  const std::string& text = Megabyte();
  for (auto _ : state) benchmark::DoNotOptimize(html::Parse(text, Base()).Items.size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond);

void LayOutAll(benchmark::State& state, const std::string& text) {
  gfx::Bitmap surface(1, 1);
  gfx::Graphics g(surface);
  g.SetTextRenderingHint(gfx::TextRenderingHint::AntiAliasGridFit);
  std::size_t lines = 0;
  for (auto _ : state) {
    html::GraphicsMeasure measure(g);
    const html::Layout l =
        html::LayOut(std::make_shared<const html::Document>(html::Parse(text, Base())), measure, nullptr, kWidth, 1e9f);
    lines = static_cast<std::size_t>(l.Height);
    benchmark::DoNotOptimize(l.Boxes.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["height_px"] = static_cast<double>(lines);
}

void BM_ParseAndLayOut(benchmark::State& state) { LayOutAll(state, Megabyte()); }
BENCHMARK(BM_ParseAndLayOut)->Unit(benchmark::kMillisecond);

void BM_PlainLayOut(benchmark::State& state) { LayOutAll(state, PlainText()); }
BENCHMARK(BM_PlainLayOut)->Unit(benchmark::kMillisecond);

void BM_PlainPangoLayout(benchmark::State& state) {
  gfx::Bitmap surface(1, 1);
  gfx::Graphics g(surface);
  g.SetTextRenderingHint(gfx::TextRenderingHint::AntiAliasGridFit);
  const gfx::Font font("Arial", 9);
  const std::string& text = PlainText();
  gfx::TextMetrics m;
  for (auto _ : state) {
    m = g.MeasureString(text, font, gfx::RectF{0, 0, kWidth, 0}, gfx::StringFormat::GenericTypographic());
    benchmark::DoNotOptimize(m.LinesFilled);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["height_px"] = static_cast<double>(m.Box.Height);
}
BENCHMARK(BM_PlainPangoLayout)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sib
