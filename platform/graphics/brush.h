// Brushes: what fills a shape or paints text. Solid; hatch (53 styles, each an 8 x 8 pattern of
// fore- and background colour aligned to the surface's pixels); texture (a bitmap, tiled); linear
// gradient (two points, or a rectangle with a mode or an angle, optionally in linear light and
// with preset colours); path gradient (from a centre colour at the centre point to surround
// colours at a path's outline, nothing outside the outline). A brush is a value, independent of
// any surface; a brush that is not Ok fills nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/path.h"
#include "platform/graphics/types.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_pattern cairo_pattern_t;

namespace sib::gfx {

// How a gradient or texture continues beyond its rectangle.
enum class WrapMode { Tile, TileFlipX, TileFlipY, TileFlipXY, Clamp };

class Brush {
 public:
  virtual ~Brush() = default;
  virtual std::unique_ptr<Brush> Clone() const = 0;
  Status GetStatus() const { return status_; }
  bool Ok() const { return status_ == Status::Ok; }

  // A new Cairo pattern for filling in the user space of `cr` (whose matrix already maps this
  // layer's coordinates to device pixels); nullptr when the brush is not Ok. The caller owns it.
  virtual cairo_pattern_t* CreatePattern(cairo_t* cr) const = 0;

 protected:
  Brush() = default;
  Brush(const Brush&) = default;
  Brush& operator=(const Brush&) = default;
  Status status_ = Status::Ok;
};

class SolidBrush : public Brush {
 public:
  explicit SolidBrush(Color color) : color_(color) {}
  std::unique_ptr<Brush> Clone() const override { return std::make_unique<SolidBrush>(*this); }
  Color GetColor() const { return color_; }
  void SetColor(Color color) { color_ = color; }
  cairo_pattern_t* CreatePattern(cairo_t* cr) const override;

 private:
  Color color_;
};

// The hatch styles, in their stored order (the ordinal is what fills keep).
enum class HatchStyle : int {
  Horizontal, Vertical, ForwardDiagonal, BackwardDiagonal, Cross, DiagonalCross,
  Percent05, Percent10, Percent20, Percent25, Percent30, Percent40, Percent50, Percent60, Percent70,
  Percent75, Percent80, Percent90,
  LightDownwardDiagonal, LightUpwardDiagonal, DarkDownwardDiagonal, DarkUpwardDiagonal,
  WideDownwardDiagonal, WideUpwardDiagonal, LightVertical, LightHorizontal, NarrowVertical,
  NarrowHorizontal, DarkVertical, DarkHorizontal, DashedDownwardDiagonal, DashedUpwardDiagonal,
  DashedHorizontal, DashedVertical, SmallConfetti, LargeConfetti, ZigZag, Wave, DiagonalBrick,
  HorizontalBrick, Weave, Plaid, Divot, DottedGrid, DottedDiamond, Shingle, Trellis, Sphere,
  SmallGrid, SmallCheckerBoard, LargeCheckerBoard, OutlinedDiamond, SolidDiamond,
};
inline constexpr int kHatchStyleCount = 53;

// The 8 x 8 pattern of a style: bit (7 - x) of row y is set where the foreground shows.
// Styles out of range give an empty pattern.
std::span<const std::uint8_t, 8> HatchPattern(HatchStyle style);
// The style's name as written in the enumeration, e.g. "DiagonalBrick"; "" out of range.
const char* HatchStyleName(HatchStyle style);

class HatchBrush : public Brush {
 public:
  // A style out of range gives a brush that is not Ok.
  HatchBrush(HatchStyle style, Color foreground, Color background = Color::Argb(255, 0, 0, 0));
  std::unique_ptr<Brush> Clone() const override { return std::make_unique<HatchBrush>(*this); }
  HatchStyle GetHatchStyle() const { return style_; }
  Color GetForegroundColor() const { return fore_; }
  Color GetBackgroundColor() const { return back_; }
  // The pattern is aligned to the surface's pixel grid, as the window system's hatches are.
  cairo_pattern_t* CreatePattern(cairo_t* cr) const override;

 private:
  HatchStyle style_;
  Color fore_, back_;
};

class TextureBrush : public Brush {
 public:
  // Tiles `image` (copied) with its top-left pixel on the pixel whose centre is (0, 0). An image
  // that is not Ok gives a brush that is not Ok.
  explicit TextureBrush(const Bitmap& image, WrapMode wrap = WrapMode::Tile);
  std::unique_ptr<Brush> Clone() const override { return std::make_unique<TextureBrush>(*this); }
  void SetWrapMode(WrapMode wrap) { wrap_ = wrap; }
  WrapMode GetWrapMode() const { return wrap_; }
  // Moves the tiling origin by (dx, dy) pixels (e.g. to the shape's top-left corner).
  void TranslateTransform(float dx, float dy);
  void ResetTransform() { offset_ = {}; }
  const Bitmap& GetImage() const { return image_; }
  cairo_pattern_t* CreatePattern(cairo_t* cr) const override;

 private:
  Bitmap image_;
  WrapMode wrap_;
  PointF offset_{};
};

enum class LinearGradientMode { Horizontal, Vertical, ForwardDiagonal, BackwardDiagonal };
// Whether an angle is taken in the rectangle's own proportions (Scalable: 45 degrees runs from
// corner to corner) or as a true angle on the surface (Fixed).
enum class AngleScaling { Fixed, Scalable };

// A colour at a position 0..1 along the gradient (0: start, 1: end).
struct ColorStop {
  float Position = 0;
  Color Value;
};

class LinearGradientBrush : public Brush {
 public:
  // From `color1` at `point1` to `color2` at `point2`; equal points give a brush that is not Ok.
  LinearGradientBrush(PointF point1, PointF point2, Color color1, Color color2);
  // Over `rect` in the direction of `mode`: Horizontal left to right, Vertical top to bottom,
  // ForwardDiagonal top-left to bottom-right, BackwardDiagonal top-right to bottom-left; the end
  // colours lie on the lines through the start and end corners. An empty rect is not Ok.
  LinearGradientBrush(RectF rect, Color color1, Color color2, LinearGradientMode mode);
  // Over `rect` along `angle` degrees clockwise from the positive x axis: the start colour on the
  // line through the first corner the direction meets, the end colour through the opposite one.
  LinearGradientBrush(RectF rect, Color color1, Color color2, float angle, AngleScaling scaling = AngleScaling::Fixed);
  std::unique_ptr<Brush> Clone() const override { return std::make_unique<LinearGradientBrush>(*this); }

  // With gamma correction the colours are interpolated in linear light (gamma 2.2) rather than
  // in the stored values; off by default.
  void SetGammaCorrection(bool on) { gamma_ = on; }
  bool GetGammaCorrection() const { return gamma_; }
  // Preset colours replacing the two end colours: positions rise from 0 to 1, the first is 0 and
  // the last 1, at least two stops; otherwise InvalidParameter and nothing changes.
  Status SetInterpolationColors(std::span<const ColorStop> stops);
  // Blend factors (0: start colour, 1: end colour) at positions as above.
  Status SetBlend(std::span<const float> factors, std::span<const float> positions);
  // Tile by default.
  void SetWrapMode(WrapMode wrap) { wrap_ = wrap; }
  WrapMode GetWrapMode() const { return wrap_; }
  Color GetStartColor() const { return color1_; }
  Color GetEndColor() const { return color2_; }
  // The start and end points of the gradient's axis, on the surface.
  PointF GetStartPoint() const { return start_; }
  PointF GetEndPoint() const { return end_; }
  // The colour stops the brush paints with, before any gamma correction.
  std::vector<ColorStop> Stops() const;
  cairo_pattern_t* CreatePattern(cairo_t* cr) const override;

 private:
  void SetAxis(RectF rect, float angle, AngleScaling scaling);

  PointF start_{}, end_{};
  Color color1_, color2_;
  bool gamma_ = false;
  WrapMode wrap_ = WrapMode::Tile;
  std::vector<ColorStop> preset_;  // empty: the two end colours (with blend_ applied)
  std::vector<float> blendFactors_, blendPositions_;
};

// A gradient from the centre colour at the centre point to the surround colours at the outline
// of a path (its curves flattened), drawn as one patch per outline edge from the centre; with
// preset colours or blend factors, in rings from the outline (position 0) to the centre
// (position 1). Outside the outline it paints nothing (clamped).
class PathGradientBrush : public Brush {
 public:
  // A path with no figure of at least three points gives a brush that is not Ok. The centre point
  // starts at the centre of the path's bounds, the centre colour black, the surround white.
  explicit PathGradientBrush(const Path& path);
  explicit PathGradientBrush(std::span<const PointF> polygon);
  std::unique_ptr<Brush> Clone() const override { return std::make_unique<PathGradientBrush>(*this); }

  void SetCenterColor(Color color) { centre_ = color; }
  Color GetCenterColor() const { return centre_; }
  void SetCenterPoint(PointF point) { centrePoint_ = point; }
  PointF GetCenterPoint() const { return centrePoint_; }
  // One colour per outline point in order; fewer colours than points repeat the last one. An
  // empty list is InvalidParameter.
  Status SetSurroundColors(std::span<const Color> colors);
  // Preset colours from the outline (position 0) to the centre (position 1), replacing the centre
  // and surround colours; rules as for LinearGradientBrush.
  Status SetInterpolationColors(std::span<const ColorStop> stops);
  // Blend factors (0: surround colour, 1: centre colour) at positions from the outline to the centre.
  Status SetBlend(std::span<const float> factors, std::span<const float> positions);
  // Only Clamp is honoured; the other modes paint like Clamp.
  void SetWrapMode(WrapMode wrap) { wrap_ = wrap; }
  WrapMode GetWrapMode() const { return wrap_; }
  // The flattened outline the patches are built on.
  const std::vector<Path::Polyline>& Outline() const { return outline_; }
  cairo_pattern_t* CreatePattern(cairo_t* cr) const override;

 private:
  void SetOutline(std::vector<Path::Polyline> figures);

  std::vector<Path::Polyline> outline_;
  PointF centrePoint_{};
  Color centre_ = Color::Argb(255, 0, 0, 0);
  std::vector<Color> surround_{Color::Argb(255, 255, 255, 255)};
  std::vector<ColorStop> preset_;
  std::vector<float> blendFactors_, blendPositions_;
  WrapMode wrap_ = WrapMode::Clamp;
};

}  // namespace sib::gfx
