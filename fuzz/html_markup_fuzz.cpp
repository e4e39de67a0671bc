// Fuzzes the markup renderer: any bytes parse into a document whose items and styles point inside
// it, with valid UTF-8 text and no more fonts than allowed; the document lays out in the width
// the first byte gives into boxes of finite places that point inside the document, and hit tests
// anywhere. Inputs whose first byte is a multiple of 8 are also painted with the real fonts on a
// small surface.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "controls/html_markup.h"

namespace {

using namespace sib;

class ArithmeticMeasure : public html::TextMeasure {
 public:
  gfx::FontMetrics Metrics(const html::FontKey& font) override {
    const auto s = float(font.Size);
    return {s, s / 4, s / 8, 1, s / 3, 1};
  }
  void Widths(const html::FontKey& font, std::u32string_view characters, std::span<float> widths) override {
    if (widths.size() < characters.size()) std::abort();
    for (std::size_t i = 0; i < characters.size(); ++i)
      widths[i] = characters[i] % 3 == 0 ? 0.0f : float(font.Size) / 2;
  }
};

class Pictures : public html::ImageSource {
 public:
  std::shared_ptr<const gfx::Bitmap> Find(const std::string& source) override {
    if (source.empty() || source[0] != 'p') return nullptr;
    auto b = std::make_shared<gfx::Bitmap>(1 + int(source.size() % 40), 1 + int(source.size() % 17));
    b->Fill(gfx::Color::Rgb(200, 0, 0));
    return b;
  }
};

bool ValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckDocument(const html::Document& d) {
  Check(ValidUtf8(d.Text));
  Check(!d.Fonts.empty() && d.Fonts.size() <= html::kMaxFonts && !d.Styles.empty());
  for (const html::FontKey& f : d.Fonts) Check(f.Size >= html::kMinFontSize && f.Size <= html::kMaxFontSize);
  for (const html::Style& s : d.Styles) Check(s.Font < d.Fonts.size() && s.Anchor <= d.Anchors.size());
  for (const html::Item& i : d.Items) {
    Check(i.StyleIndex < d.Styles.size());
    switch (i.Kind) {
      case html::ItemKind::Word:
        Check(i.Length > 0 && std::size_t(i.Begin) + i.Length <= d.Text.size());
        break;
      case html::ItemKind::ParagraphBegin:
        Check(i.Begin < d.Paragraphs.size());
        break;
      case html::ItemKind::ListItem:
        Check(i.Begin < d.Bullets.size());
        break;
      case html::ItemKind::Image:
        Check(i.Begin < d.Images.size());
        break;
      default:
        break;
    }
  }
  for (const html::ImageRef& r : d.Images) {
    Check(std::size_t(r.AltBegin) + r.AltLength <= d.Text.size());
    Check(r.Width >= 0 && r.Width <= html::kMaxImageSide && r.Height >= 0 && r.Height <= html::kMaxImageSide);
  }
  for (const html::Paragraph& p : d.Paragraphs) Check(p.Indent >= 0 && p.Indent <= html::kMaxIndent);
}

void CheckLayout(const html::Layout& l) {
  const html::Document& d = *l.Source;
  Check(std::isfinite(l.Width) && std::isfinite(l.Height) && l.Width >= 0 && l.Height >= 0);
  for (const html::Box& b : l.Boxes) {
    Check(std::isfinite(b.X) && std::isfinite(b.Width) && std::isfinite(b.Top) && std::isfinite(b.Height) &&
          std::isfinite(b.Baseline) && std::isfinite(b.LineTop) && std::isfinite(b.LineHeight));
    Check(b.StyleIndex < d.Styles.size());
    if (b.Kind == html::BoxKind::Word) Check(std::size_t(b.Begin) + b.Length <= d.Text.size());
    if (b.Kind == html::BoxKind::Image) Check(b.Begin < l.Pictures.size());
    if (b.Kind == html::BoxKind::Bullet)
      Check(b.Length == 1 ? b.Begin < l.Pictures.size() : b.Begin < d.Bullets.size());
  }
  Check(l.Metrics.size() == d.Fonts.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view markup(reinterpret_cast<const char*>(data) + 1, size - 1);
  html::BaseStyle base;
  base.Size = 1 + data[0] % 24;
  auto doc = std::make_shared<const html::Document>(html::Parse(markup, base));
  CheckDocument(*doc);

  ArithmeticMeasure measure;
  Pictures pictures;
  const float width = float(data[0]) * 2;
  const html::Layout l = html::LayOut(doc, measure, &pictures, width, 2000);
  CheckLayout(l);
  for (float y = -5; y < l.Height + 5; y += 7)
    for (float x = -5; x < l.Width + 5; x += 11) (void)l.AnchorAt({x, y});

  if (data[0] % 8 == 0) {
    gfx::Bitmap surface(64, 32);
    gfx::Graphics g(surface);
    html::GraphicsMeasure real(g);
    const html::Layout painted = html::LayOut(doc, real, &pictures, 60, 30);
    CheckLayout(painted);
    html::Paint(g, painted, {2, 1}, {});
  }
  return 0;
}
