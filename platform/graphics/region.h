// A region: an area built from rectangles and paths by combining them in order (replace,
// intersect, union, xor, exclude, complement), used as a clip and filled with a brush. The track
// bar's groove, for instance, is a rectangle with a rounded outline excluded. Pixel regions
// (Region::Pixels, Region::RoundRect) cover whole pixels, addressed by integers as the window
// system's regions are: pixel columns left .. right - 1, rows top .. bottom - 1.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/graphics/path.h"
#include "platform/graphics/types.h"

namespace sib::gfx {

enum class CombineMode { Replace, Intersect, Union, Xor, Exclude, Complement };

class Region {
 public:
  // The infinite region (every point).
  Region();
  explicit Region(RectF rect);
  explicit Region(const Path& path);
  static Region Empty();
  // Whole pixels left .. right - 1 by top .. bottom - 1.
  static Region Pixels(int left, int top, int right, int bottom);
  // Whole pixels of the rectangle left .. right - 1 by top .. bottom - 1 with its corners rounded
  // to quarters of an ellipseWidth x ellipseHeight ellipse; an ellipse size of 0 gives square corners.
  static Region RoundRect(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);

  void MakeInfinite();
  void MakeEmpty();

  // this := this op other, for op Intersect, Union, Xor, Exclude (this less other) and Complement
  // (other less this); Replace makes this equal to other.
  void Combine(const Path& other, CombineMode op);
  void Combine(RectF other, CombineMode op);
  void Combine(const Region& other, CombineMode op);
  void Intersect(const Path& other) { Combine(other, CombineMode::Intersect); }
  void Intersect(RectF other) { Combine(other, CombineMode::Intersect); }
  void Union(const Path& other) { Combine(other, CombineMode::Union); }
  void Union(RectF other) { Combine(other, CombineMode::Union); }
  void Xor(const Path& other) { Combine(other, CombineMode::Xor); }
  void Exclude(const Path& other) { Combine(other, CombineMode::Exclude); }
  void Exclude(RectF other) { Combine(other, CombineMode::Exclude); }
  void Complement(const Path& other) { Combine(other, CombineMode::Complement); }

  // Moves the region by (dx, dy).
  void Translate(float dx, float dy);
  // Maps the region's shapes as Path::Transform does.
  void Transform(float xx, float yx, float xy, float yy, float x0, float y0);
  bool IsInfinite() const;
  // Whether `point` lies in the region.
  bool IsVisible(PointF point) const;
  // A rectangle that holds the region; for the infinite region a very large one.
  RectF GetBounds() const;

  // One shape and how it combines with what came before; the first step of a region is a Replace.
  struct Step {
    CombineMode Op = CombineMode::Replace;
    enum class Kind { Infinite, Empty, Shape } ShapeKind = Kind::Infinite;
    Path Shape;
    // Pixel regions are rasterised without anti-aliasing whatever the smoothing mode.
    bool PixelAligned = false;
    // A compound operand combined as a whole (its own steps), instead of Shape.
    std::shared_ptr<const Region> Nested;
  };
  const std::vector<Step>& Steps() const { return steps_; }
  // True when every step after the first is an Intersect of a shape (the clip can then be set in
  // Cairo directly, without a mask).
  bool IsIntersectionOnly() const;

 private:
  std::vector<Step> steps_;
};

}  // namespace sib::gfx
