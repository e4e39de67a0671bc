#include "platform/graphics/graphics.h"

#include <cairo.h>

namespace sib::gfx {

Graphics::Graphics(Bitmap& bitmap) { Init(bitmap.NativeSurface()); }
Graphics::Graphics(std::uint32_t*, int, int, int) {}
Graphics::~Graphics() {}
void Graphics::Init(cairo_surface_t*) {}
Status Graphics::GetStatus() const { return cr_ ? Status::Ok : Status::InvalidParameter; }
void Graphics::Clear(Color) {}
void Graphics::TranslateTransform(float, float) {}
void Graphics::ScaleTransform(float, float) {}
void Graphics::ResetTransform() {}
void Graphics::SetClip(RectF, CombineMode) {}
void Graphics::SetClip(const Path&, CombineMode) {}
void Graphics::SetClip(const Region&, CombineMode) {}
void Graphics::ResetClip() {}
RectF Graphics::GetClipBounds() const { return {}; }
GraphicsState Graphics::Save() { return 0; }
void Graphics::Restore(GraphicsState) {}
void Graphics::FillPath(const Brush&, const Path&) {}
void Graphics::FillRectangle(const Brush&, RectF) {}
void Graphics::FillPolygon(const Brush&, std::span<const PointF>, FillMode) {}
void Graphics::FillEllipse(const Brush&, RectF) {}
void Graphics::FillRegion(const Brush&, const Region&) {}
void Graphics::DrawPath(const Pen&, const Path&) {}
void Graphics::DrawLine(const Pen&, PointF, PointF) {}
void Graphics::DrawLines(const Pen&, std::span<const PointF>) {}
void Graphics::DrawRectangle(const Pen&, RectF) {}
void Graphics::DrawPolygon(const Pen&, std::span<const PointF>) {}
void Graphics::DrawEllipse(const Pen&, RectF) {}
void Graphics::DrawArc(const Pen&, RectF, float, float) {}
void Graphics::DrawImage(const Bitmap&, PointF) {}
void Graphics::DrawImage(const Bitmap&, RectF) {}
void Graphics::DrawImage(const Bitmap&, RectF, RectF) {}
void Graphics::DrawString(std::string_view, const Font&, RectF, const StringFormat&, const Brush&) {}
void Graphics::DrawString(std::string_view, const Font&, PointF, const StringFormat&, const Brush&) {}
TextMetrics Graphics::MeasureString(std::string_view, const Font&, RectF, const StringFormat&) const { return {}; }
TextMetrics Graphics::MeasureString(std::string_view, const Font&, PointF, const StringFormat&) const { return {}; }

}  // namespace sib::gfx
