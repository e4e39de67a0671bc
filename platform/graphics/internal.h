// Pieces shared by the drawing layer's sources; not part of its interface.
#pragma once

#include <cairo.h>

#include <string_view>

#include "platform/graphics/font.h"
#include "platform/graphics/path.h"
#include "platform/graphics/types.h"

namespace sib::gfx::detail {

// Appends the current path of `cr` (in its user space) to `path`.
void AppendCairoPath(cairo_t* cr, Path& path);
// Builds `path` as the current path of `cr` (replacing it), with its fill rule.
void SetCairoPath(cairo_t* cr, const Path& path);

// Premultiplied-free source colour for Cairo.
inline void SetSourceColor(cairo_t* cr, Color c) {
  cairo_set_source_rgba(cr, c.R / 255.0, c.G / 255.0, c.B / 255.0, c.A / 255.0);
}
inline void AddStop(cairo_pattern_t* p, double offset, Color c) {
  cairo_pattern_add_color_stop_rgba(p, offset, c.R / 255.0, c.G / 255.0, c.B / 255.0, c.A / 255.0);
}

// Adds the outline of `text` laid out like DrawString to the current path of `cr`.
Status AddTextOutline(cairo_t* cr, std::string_view text, const Font& font, RectF layout, bool fromPoint,
                      const StringFormat& format);

}  // namespace sib::gfx::detail
