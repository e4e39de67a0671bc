// A pen: the colour, width and dash pattern a path, line or rectangle is stroked with. The stroke
// is centred on the outline; a 1-pixel pen on integer coordinates covers exactly one row or column.
#pragma once

#include "platform/graphics/types.h"

namespace sib::gfx {

// Dot is a dash and a gap of one pen width each; Dash three widths on, one off.
enum class DashStyle { Solid, Dash, Dot, DashDot, DashDotDot };
enum class LineJoin { Miter, Bevel, Round };

class Pen {
 public:
  // A width of 0 or less, or not a number, gives a pen that is not Ok.
  explicit Pen(Color color, float width = 1.0f) : color_(color), width_(width) {}

  Status GetStatus() const { return width_ > 0 ? Status::Ok : Status::InvalidParameter; }
  bool Ok() const { return GetStatus() == Status::Ok; }
  Color GetColor() const { return color_; }
  void SetColor(Color color) { color_ = color; }
  float GetWidth() const { return width_; }
  void SetWidth(float width) { width_ = width; }
  DashStyle GetDashStyle() const { return dash_; }
  void SetDashStyle(DashStyle dash) { dash_ = dash; }
  LineJoin GetLineJoin() const { return join_; }
  void SetLineJoin(LineJoin join) { join_ = join; }

 private:
  Color color_;
  float width_;
  DashStyle dash_ = DashStyle::Solid;
  LineJoin join_ = LineJoin::Miter;
};

}  // namespace sib::gfx
