// Text layout over Pango, shared by Graphics::DrawString, Graphics::MeasureString and
// Path::AddString, so that all three place a string alike.
#include <pango/pangocairo.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/utf8.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/internal.h"

namespace sib::gfx {
namespace {

struct LayoutDeleter {
  void operator()(PangoLayout* l) const { g_object_unref(l); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, LayoutDeleter>;

struct Shown {
  std::string text;
  std::vector<std::pair<unsigned, unsigned>> underlined;  // byte ranges of the hot-key characters
};

unsigned Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

Shown ApplyHotkeys(std::string_view text, HotkeyPrefix mode) {
  Shown out;
  if (mode == HotkeyPrefix::None) {
    out.text = text;
    return out;
  }
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] != '&') {
      out.text += text[i++];
      continue;
    }
    if (i + 1 >= text.size()) break;  // a trailing prefix marks nothing
    if (text[i + 1] == '&') {
      out.text += '&';
      i += 2;
      continue;
    }
    unsigned n = std::min<std::size_t>(Utf8Length(static_cast<unsigned char>(text[i + 1])), text.size() - i - 1);
    if (mode == HotkeyPrefix::Show)
      out.underlined.push_back({unsigned(out.text.size()), unsigned(out.text.size() + n)});
    out.text.append(text.substr(i + 1, n));
    i += 1 + n;
  }
  return out;
}

void SetFontOptions(PangoContext* ctx, TextRenderingHint hint) {
  cairo_font_options_t* o = cairo_font_options_create();
  bool grid = true;
  switch (hint) {
    case TextRenderingHint::SystemDefault:
    case TextRenderingHint::AntiAliasGridFit: cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY); break;
    case TextRenderingHint::AntiAlias:
      cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
      grid = false;
      break;
    case TextRenderingHint::SingleBitPerPixelGridFit: cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_NONE); break;
    case TextRenderingHint::SingleBitPerPixel:
      cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_NONE);
      grid = false;
      break;
    case TextRenderingHint::ClearTypeGridFit:
      cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_SUBPIXEL);
      cairo_font_options_set_subpixel_order(o, CAIRO_SUBPIXEL_ORDER_RGB);
      break;
  }
  cairo_font_options_set_hint_style(o, grid ? CAIRO_HINT_STYLE_SLIGHT : CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(o, grid ? CAIRO_HINT_METRICS_ON : CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(ctx, o);
  pango_context_set_round_glyph_positions(ctx, grid);
  cairo_font_options_destroy(o);
}

// A layout of `text` for `layout` on `cr` (whose matrix is already the layer's), where its
// top-left must go (`origin`) and the box it occupies (`box`). A layout width or height of 0 has
// no limit that way; the alignment then places the text around the layout's corner.
struct Placed {
  LayoutPtr layout;
  PointF origin;
  RectF box;
  bool cut = false;  // with LineLimit, lines below the box are not drawn
};

// The height of the whole lines that fit in `room`, from the top of the layout.
float WholeLinesHeight(PangoLayout* l, float room) {
  float height = 0;
  PangoLayoutIter* it = pango_layout_get_iter(l);
  do {
    PangoRectangle line;
    pango_layout_iter_get_line_extents(it, nullptr, &line);
    float bottom = float(line.y + line.height) / PANGO_SCALE;
    if (bottom > room + 0.01f) break;
    height = bottom;
  } while (pango_layout_iter_next_line(it));
  pango_layout_iter_free(it);
  return height;
}

// An empty layout on `cr` for `font`, rasterised as `hint` says.
LayoutPtr NewLayout(cairo_t* cr, const Font& font, TextRenderingHint hint) {
  LayoutPtr layout(pango_cairo_create_layout(cr));
  PangoLayout* l = layout.get();
  PangoContext* ctx = pango_layout_get_context(l);
  pango_cairo_context_set_resolution(ctx, kPixelsPerInch);
  SetFontOptions(ctx, hint);
  pango_layout_context_changed(l);
  pango_layout_set_font_description(l, font.Description());
  return layout;
}

Placed Place(cairo_t* cr, std::string_view text, const Font& font, RectF layout, const StringFormat& format,
             TextRenderingHint hint) {
  Placed placed{NewLayout(cr, font, hint), {}, {}};
  PangoLayout* l = placed.layout.get();

  Shown shown = ApplyHotkeys(text, format.Hotkey);
  PangoAttrList* attrs = pango_attr_list_new();
  if (font.GetStyle() & FontStyleUnderline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  if (font.GetStyle() & FontStyleStrikeout) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
  for (auto [from, to] : shown.underlined) {
    PangoAttribute* a = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
    a->start_index = from;
    a->end_index = to;
    pango_attr_list_insert(attrs, a);
  }
  pango_layout_set_attributes(l, attrs);
  pango_attr_list_unref(attrs);
  pango_layout_set_text(l, shown.text.data(), int(shown.text.size()));

  float pad = format.Typographic ? 0.0f : font.SizeInPixels() / 6.0f;
  bool ellipsis = format.Trimming == StringTrimming::EllipsisCharacter || format.Trimming == StringTrimming::EllipsisWord ||
                  format.Trimming == StringTrimming::EllipsisPath;
  bool widthSet = layout.Width > 0 && (!format.NoWrap || ellipsis);
  if (widthSet) {
    pango_layout_set_width(l, int(std::max(1.0f, layout.Width - 2 * pad) * PANGO_SCALE));
    pango_layout_set_wrap(l, format.Trimming == StringTrimming::Word || format.Trimming == StringTrimming::EllipsisWord
                                 ? PANGO_WRAP_WORD
                                 : PANGO_WRAP_WORD_CHAR);
    if (ellipsis) {
      pango_layout_set_ellipsize(l, format.Trimming == StringTrimming::EllipsisPath ? PANGO_ELLIPSIZE_MIDDLE : PANGO_ELLIPSIZE_END);
      pango_layout_set_height(l, format.NoWrap || !(layout.Height > 0) ? -1 : int(layout.Height * PANGO_SCALE));
    }
  }
  switch (format.Alignment) {
    case StringAlignment::Near: pango_layout_set_alignment(l, PANGO_ALIGN_LEFT); break;
    case StringAlignment::Center: pango_layout_set_alignment(l, PANGO_ALIGN_CENTER); break;
    case StringAlignment::Far: pango_layout_set_alignment(l, PANGO_ALIGN_RIGHT); break;
  }

  PangoRectangle logical;
  pango_layout_get_extents(l, nullptr, &logical);
  float lx = float(logical.x) / PANGO_SCALE, ly = float(logical.y) / PANGO_SCALE;
  float tw = float(logical.width) / PANGO_SCALE, th = float(logical.height) / PANGO_SCALE;
  float boxW = tw + 2 * pad;
  auto along = [](StringAlignment a, float start, float room, float size) {
    switch (a) {
      case StringAlignment::Near: return start;
      case StringAlignment::Center: return start + (room - size) / 2;
      case StringAlignment::Far: return start + room - size;
    }
    return start;
  };
  float left, originX;
  if (widthSet) {
    originX = layout.X + pad;  // Pango aligns the lines within the width itself
    left = originX + lx - pad;
  } else {
    left = along(format.Alignment, layout.X, std::max(0.0f, layout.Width), boxW);
    originX = left + pad - lx;
  }
  float top = along(format.LineAlignment, layout.Y, std::max(0.0f, layout.Height), th);
  if (format.LineLimit && layout.Height > 0 && th > layout.Height) {
    th = WholeLinesHeight(l, layout.Height);
    top = along(format.LineAlignment, layout.Y, layout.Height, th);
    placed.cut = true;
  }
  placed.origin = {originX, top - ly};
  placed.box = {left, top, boxW, th};
  return placed;
}

}  // namespace

void Graphics::DrawString(std::string_view text, const Font& font, RectF layout, const StringFormat& format,
                          const Brush& brush) {
  if (!font.Ok() || !brush.Ok() || text.empty()) return;
  Paint([&] {
    if (!format.NoClip && layout.Width > 0 && layout.Height > 0) {
      cairo_rectangle(cr_, layout.X, layout.Y, layout.Width, layout.Height);
      cairo_clip(cr_);
    }
    Placed placed = Place(cr_, text, font, layout, format, state_.textHint);
    if (placed.cut) {
      if (!(placed.box.Height > 0)) return;
      cairo_rectangle(cr_, placed.box.X - 1e5, placed.box.Y, 2e5, placed.box.Height);
      cairo_clip(cr_);
    }
    cairo_pattern_t* p = brush.CreatePattern(cr_);
    if (!p) return;
    cairo_set_source(cr_, p);
    cairo_move_to(cr_, placed.origin.X, placed.origin.Y);
    pango_cairo_show_layout(cr_, placed.layout.get());
    cairo_pattern_destroy(p);
  });
}

void Graphics::DrawString(std::string_view text, const Font& font, PointF origin, const StringFormat& format,
                          const Brush& brush) {
  DrawString(text, font, RectF{origin.X, origin.Y, 0, 0}, format, brush);
}

TextMetrics Graphics::MeasureString(std::string_view text, const Font& font, RectF layout,
                                    const StringFormat& format) const {
  if (!cr_ || !font.Ok()) return {};
  cairo_save(cr_);
  SetLayerMatrix();
  Placed placed = Place(cr_, text, font, layout, format, state_.textHint);
  cairo_restore(cr_);
  TextMetrics m;
  m.Box = placed.box;
  if (text.empty()) m.Box.Width = 0;
  m.CodepointsFitted = int(g_utf8_strlen(pango_layout_get_text(placed.layout.get()), -1));
  m.LinesFilled = text.empty() ? 0 : pango_layout_get_line_count(placed.layout.get());
  return m;
}

TextMetrics Graphics::MeasureString(std::string_view text, const Font& font, PointF origin,
                                    const StringFormat& format) const {
  return MeasureString(text, font, RectF{origin.X, origin.Y, 0, 0}, format);
}

FontMetrics Graphics::GetFontMetrics(const Font& font) const {
  if (!cr_ || !font.Ok()) return {};
  cairo_save(cr_);
  SetLayerMatrix();
  const LayoutPtr layout = NewLayout(cr_, font, state_.textHint);
  PangoLayout* l = layout.get();
  // A line's height comes from its face's measures, not from the ink of its glyphs, so any
  // character of the face gives the line every text of the face gets.
  pango_layout_set_text(l, "x", 1);
  PangoRectangle logical;
  pango_layout_get_extents(l, nullptr, &logical);
  FontMetrics m;
  m.Ascent = float(pango_layout_get_baseline(l) - logical.y) / PANGO_SCALE;
  m.Descent = float(logical.height) / PANGO_SCALE - m.Ascent;
  PangoFontMetrics* fm = pango_context_get_metrics(pango_layout_get_context(l), font.Description(), nullptr);
  m.UnderlinePosition = -float(pango_font_metrics_get_underline_position(fm)) / PANGO_SCALE;
  m.UnderlineThickness = std::max(1.0f, float(pango_font_metrics_get_underline_thickness(fm)) / PANGO_SCALE);
  m.StrikeoutPosition = float(pango_font_metrics_get_strikethrough_position(fm)) / PANGO_SCALE;
  m.StrikeoutThickness = std::max(1.0f, float(pango_font_metrics_get_strikethrough_thickness(fm)) / PANGO_SCALE);
  pango_font_metrics_unref(fm);
  cairo_restore(cr_);
  return m;
}

namespace {

// Characters that end a line or paragraph in a layout, or that no face draws.
bool MeasuresNothing(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029 || (c >= 0xD800 && c < 0xE000) ||
         c > 0x10FFFF;
}

}  // namespace

void Graphics::MeasureCharacterWidths(std::u32string_view characters, const Font& font, std::span<float> widths) const {
  std::fill(widths.begin(), widths.end(), 0.0f);
  const std::size_t count = std::min(characters.size(), widths.size());
  if (!cr_ || !font.Ok() || count == 0) return;
  // One paragraph per character, so that each is shaped on its own, in a single layout: one
  // itemisation and one font lookup for all of them rather than one layout per character.
  std::string text;
  text.reserve(count * 4);
  for (std::size_t i = 0; i < count; ++i) {
    if (!MeasuresNothing(characters[i])) AppendUtf8(text, characters[i]);
    text += '\n';
  }
  cairo_save(cr_);
  SetLayerMatrix();
  const LayoutPtr layout = NewLayout(cr_, font, state_.textHint);
  pango_layout_set_text(layout.get(), text.data(), int(text.size()));
  PangoLayoutIter* it = pango_layout_get_iter(layout.get());
  std::size_t line = 0;
  do {
    if (line >= count) break;
    PangoRectangle logical;
    pango_layout_iter_get_line_extents(it, nullptr, &logical);
    widths[line++] = float(logical.width) / PANGO_SCALE;
  } while (pango_layout_iter_next_line(it));
  pango_layout_iter_free(it);
  cairo_restore(cr_);
}

namespace detail {

Status AddTextOutline(cairo_t* cr, std::string_view text, const Font& font, RectF layout, const StringFormat& format) {
  if (!font.Ok()) return font.GetStatus();
  Placed placed = Place(cr, text, font, layout, format, TextRenderingHint::AntiAlias);
  cairo_new_path(cr);
  cairo_move_to(cr, placed.origin.X, placed.origin.Y);
  pango_cairo_layout_path(cr, placed.layout.get());
  return Status::Ok;
}

}  // namespace detail
}  // namespace sib::gfx
