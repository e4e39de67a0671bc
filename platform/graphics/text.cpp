#include "platform/graphics/internal.h"

namespace sib::gfx::detail {

Status AddTextOutline(cairo_t*, std::string_view, const Font&, RectF, bool, const StringFormat&) { return Status::Ok; }

}  // namespace sib::gfx::detail
