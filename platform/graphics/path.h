// A path: figures of straight and curved segments, filled in the alternate (even-odd) mode unless
// told otherwise. A line or arc added to an open figure is joined to its last point by a straight
// segment; a rectangle, ellipse, polygon or string is a closed figure of its own. Paths are plain
// values: they are built without a surface and may be filled, stroked, clipped to or made into a
// region or a path gradient on any Graphics.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "platform/graphics/types.h"

namespace sib::gfx {

class FontFamily;
struct StringFormat;

enum class FillMode { Alternate, Winding };

class Path {
 public:
  enum class OpKind { MoveTo, LineTo, CurveTo, Close };
  // One step of the outline; CurveTo uses all three points (two controls, then the end point),
  // MoveTo and LineTo only the first, Close none.
  struct Op {
    OpKind Kind = OpKind::MoveTo;
    PointF P[3] = {};
  };

  Path() : fillMode_(FillMode::Alternate) {}
  explicit Path(FillMode mode) : fillMode_(mode) {}

  FillMode GetFillMode() const { return fillMode_; }
  void SetFillMode(FillMode mode) { fillMode_ = mode; }

  // Removes every figure; the fill mode becomes Alternate.
  void Reset();
  // Ends the current figure without closing it; the next segment starts a new figure.
  void StartFigure();
  // Closes the current figure with a straight segment back to its first point.
  void CloseFigure();

  void AddLine(PointF from, PointF to);
  void AddLine(float x1, float y1, float x2, float y2) { AddLine({x1, y1}, {x2, y2}); }
  // Joined lines through the points (at least two).
  void AddLines(std::span<const PointF> points);
  // Part of the ellipse inscribed in `box`: from `startAngle` degrees, sweeping `sweepAngle`
  // degrees, both clockwise from the positive x axis (y grows downwards). A sweep of 360 or more
  // is the whole ellipse. An empty box adds nothing.
  void AddArc(RectF box, float startAngle, float sweepAngle);
  void AddArc(float x, float y, float width, float height, float startAngle, float sweepAngle) {
    AddArc({x, y, width, height}, startAngle, sweepAngle);
  }
  void AddBezier(PointF start, PointF control1, PointF control2, PointF end);
  // A closed figure running clockwise from the top-left corner. Empty rectangles add nothing.
  void AddRectangle(RectF rect);
  // The ellipse inscribed in `box` as a closed figure, starting at angle 0.
  void AddEllipse(RectF box);
  void AddEllipse(float x, float y, float width, float height) { AddEllipse({x, y, width, height}); }
  // A closed figure through the points (at least three).
  void AddPolygon(std::span<const PointF> points);
  // Appends the figures of `other`; with `connect`, its first figure continues the open one.
  enum class Connect { No, Yes };
  void AddPath(const Path& other, Connect connect = Connect::No);
  // The outlines of the glyphs of UTF-8 `text` laid out in `layout` (or from `origin`) as
  // DrawString would place them, at `emSize` pixels per em with the FontStyle bits `style`.
  // A family that is not Ok adds nothing and is reported.
  Status AddString(std::string_view text, const FontFamily& family, int style, float emSize, RectF layout,
                   const StringFormat& format);
  Status AddString(std::string_view text, const FontFamily& family, int style, float emSize, PointF origin,
                   const StringFormat& format);

  bool Empty() const { return ops_.empty(); }
  // The bounds of the outline's points, control points of curves included; empty when Empty().
  RectF GetBounds() const;
  // The figures as polylines, curves flattened to within `tolerance` pixels; a closed figure does
  // not repeat its first point.
  struct Polyline {
    std::vector<PointF> Points;
    bool Closed = false;
  };
  std::vector<Polyline> Flatten(float tolerance = 0.1f) const;
  // Whether `point` lies inside the filled path (fill mode respected).
  bool IsVisible(PointF point) const;
  // Moves every point by (dx, dy).
  void Translate(float dx, float dy);
  // Maps every point (x, y) to (xx x + xy y + x0, yx x + yy y + y0).
  void Transform(float xx, float yx, float xy, float yy, float x0, float y0);

  std::span<const Op> Ops() const { return ops_; }

 private:
  void LineOrMoveTo(PointF p);
  void CurveTo(PointF c1, PointF c2, PointF p);

  FillMode fillMode_;
  std::vector<Op> ops_;
  bool figureOpen_ = false;
  PointF figureStart_{};
};

}  // namespace sib::gfx
