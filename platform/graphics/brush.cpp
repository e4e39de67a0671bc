#include "platform/graphics/brush.h"

#include <cairo.h>

namespace sib::gfx {

cairo_pattern_t* SolidBrush::CreatePattern(cairo_t*) const { return nullptr; }

HatchBrush::HatchBrush(HatchStyle style, Color foreground, Color background)
    : style_(style), fore_(foreground), back_(background) {}
cairo_pattern_t* HatchBrush::CreatePattern(cairo_t*) const { return nullptr; }

TextureBrush::TextureBrush(const Bitmap& image, WrapMode wrap) : image_(image), wrap_(wrap) {}
void TextureBrush::TranslateTransform(float dx, float dy) { offset_ = {offset_.X + dx, offset_.Y + dy}; }
cairo_pattern_t* TextureBrush::CreatePattern(cairo_t*) const { return nullptr; }

LinearGradientBrush::LinearGradientBrush(PointF point1, PointF point2, Color color1, Color color2)
    : start_(point1), end_(point2), color1_(color1), color2_(color2) {}
LinearGradientBrush::LinearGradientBrush(RectF, Color color1, Color color2, LinearGradientMode)
    : color1_(color1), color2_(color2) {}
LinearGradientBrush::LinearGradientBrush(RectF, Color color1, Color color2, float, AngleScaling)
    : color1_(color1), color2_(color2) {}
Status LinearGradientBrush::SetInterpolationColors(std::span<const ColorStop>) { return Status::Ok; }
Status LinearGradientBrush::SetBlend(std::span<const float>, std::span<const float>) { return Status::Ok; }
std::vector<ColorStop> LinearGradientBrush::Stops() const { return {}; }
cairo_pattern_t* LinearGradientBrush::CreatePattern(cairo_t*) const { return nullptr; }

PathGradientBrush::PathGradientBrush(const Path&) {}
PathGradientBrush::PathGradientBrush(std::span<const PointF>) {}
Status PathGradientBrush::SetSurroundColors(std::span<const Color>) { return Status::Ok; }
Status PathGradientBrush::SetInterpolationColors(std::span<const ColorStop>) { return Status::Ok; }
Status PathGradientBrush::SetBlend(std::span<const float>, std::span<const float>) { return Status::Ok; }
cairo_pattern_t* PathGradientBrush::CreatePattern(cairo_t*) const { return nullptr; }

}  // namespace sib::gfx
