// The drawing surface. A Graphics draws on a Bitmap or on a window's pixels (32-bit ARGB), with
// the layer's coordinate convention mapped once here: integer coordinates are pixel centres, so
// a 1-pixel border at (0, 0, W - 1, H - 1) lands on the outermost row and column, and
// FillRectangle(0, 0, W, H) without anti-aliasing covers exactly W x H pixels.
//
// A Graphics keeps its own state (smoothing, text hint, transform, clip) and sets it on Cairo per
// operation. Every drawing operation with an object that is not Ok, or on a surface that is not
// Ok, draws nothing and reports nothing. One Graphics belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/brush.h"
#include "platform/graphics/font.h"
#include "platform/graphics/path.h"
#include "platform/graphics/pen.h"
#include "platform/graphics/region.h"
#include "platform/graphics/types.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace sib::gfx {

namespace detail {
struct ClipMask;
}

// Default, HighSpeed and None draw aliased edges (pixel centres decide); AntiAlias and
// HighQuality anti-alias. A new Graphics starts at Default.
enum class SmoothingMode { Default, HighSpeed, HighQuality, None, AntiAlias };
// How glyphs are rasterised: SingleBitPerPixel* aliased, AntiAlias* greyscale, ClearTypeGridFit
// sub-pixel; the *GridFit hints fit outlines and advances to the pixel grid.
enum class TextRenderingHint { SystemDefault, SingleBitPerPixelGridFit, SingleBitPerPixel, AntiAliasGridFit, AntiAlias, ClearTypeGridFit };
// How a scaled image is sampled.
enum class InterpolationMode { NearestNeighbor, Bilinear, HighQuality };

using GraphicsState = unsigned;

// The vertical measures of a font as text is laid out with it, in pixels. Text drawn from a point
// with the typographic format has its baseline Ascent below the point, and a line of it is
// Ascent + Descent high. The underline lies UnderlinePosition below the baseline, the strike-out
// line StrikeoutPosition above it; both are drawn Thickness pixels thick.
struct FontMetrics {
  float Ascent = 0;
  float Descent = 0;
  float UnderlinePosition = 0;
  float UnderlineThickness = 1;
  float StrikeoutPosition = 0;
  float StrikeoutThickness = 1;
};

// What MeasureString reports besides the box.
struct TextMetrics {
  RectF Box;               // the text's box, placed in the layout rectangle by the format's alignment
  int CodepointsFitted = 0;
  int LinesFilled = 0;
};

class Graphics {
 public:
  // Draws on `bitmap`, which must outlive the Graphics.
  explicit Graphics(Bitmap& bitmap);
  // Draws on caller-owned pixels (e.g. a window surface): width x height words of premultiplied
  // 0xAARRGGBB, rows `strideBytes` apart (a multiple of 4). An opaque window may pass XRGB.
  Graphics(std::uint32_t* pixels, int width, int height, int strideBytes);
  ~Graphics();
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;

  Status GetStatus() const;
  bool Ok() const { return GetStatus() == Status::Ok; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Sets every pixel inside the clip to `color` (replacing, not blending).
  void Clear(Color color);

  void SetSmoothingMode(SmoothingMode mode) { state_.smoothing = mode; }
  SmoothingMode GetSmoothingMode() const { return state_.smoothing; }
  void SetTextRenderingHint(TextRenderingHint hint) { state_.textHint = hint; }
  TextRenderingHint GetTextRenderingHint() const { return state_.textHint; }
  void SetInterpolationMode(InterpolationMode mode) { state_.interpolation = mode; }
  InterpolationMode GetInterpolationMode() const { return state_.interpolation; }

  // The world transform; the later call applies first to the coordinates drawn (as nested
  // offsets read: Translate(10, 0) then Scale(2, 2) draws x = 1 at 12). The pixel-centre mapping
  // comes before it, so that under Scale(2, 2) pixel (i, j) of the drawing covers device pixels
  // 2i .. 2i + 1 and a 1-pixel border still lands on whole device pixels.
  void TranslateTransform(float dx, float dy);
  void ScaleTransform(float sx, float sy);
  void ResetTransform();

  // The clip, kept in surface pixels: later transforms do not move it. A clip set while the
  // smoothing mode anti-aliases has anti-aliased edges; pixel regions are always exact.
  void SetClip(RectF rect, CombineMode mode = CombineMode::Replace);
  void SetClip(const Path& path, CombineMode mode = CombineMode::Replace);
  void SetClip(const Region& region, CombineMode mode = CombineMode::Replace);
  void IntersectClip(RectF rect) { SetClip(rect, CombineMode::Intersect); }
  void ExcludeClip(RectF rect) { SetClip(rect, CombineMode::Exclude); }
  void ResetClip();
  // The clip's bounds in the current world coordinates (the whole surface without a clip).
  RectF GetClipBounds() const;

  // Saves smoothing, text hint, interpolation, transform and clip; Restore brings them back and
  // forgets the states saved after it. An unknown state is ignored.
  GraphicsState Save();
  void Restore(GraphicsState state);

  void FillPath(const Brush& brush, const Path& path);
  void FillRectangle(const Brush& brush, RectF rect);
  void FillRectangle(const Brush& brush, float x, float y, float width, float height) {
    FillRectangle(brush, RectF{x, y, width, height});
  }
  void FillPolygon(const Brush& brush, std::span<const PointF> points, FillMode mode = FillMode::Alternate);
  void FillEllipse(const Brush& brush, RectF box);
  void FillRegion(const Brush& brush, const Region& region);

  void DrawPath(const Pen& pen, const Path& path);
  void DrawLine(const Pen& pen, PointF from, PointF to);
  void DrawLine(const Pen& pen, float x1, float y1, float x2, float y2) { DrawLine(pen, {x1, y1}, {x2, y2}); }
  void DrawLines(const Pen& pen, std::span<const PointF> points);
  void DrawRectangle(const Pen& pen, RectF rect);
  void DrawRectangle(const Pen& pen, float x, float y, float width, float height) {
    DrawRectangle(pen, RectF{x, y, width, height});
  }
  void DrawPolygon(const Pen& pen, std::span<const PointF> points);
  void DrawEllipse(const Pen& pen, RectF box);
  void DrawArc(const Pen& pen, RectF box, float startAngle, float sweepAngle);

  // Images: the bitmap's top-left pixel goes on the pixel whose centre is `point`, 1:1. Scaled into
  // `dest`, the image's edges lie on dest's edges shifted by half a pixel up and left (so dest
  // (x, y, w, h) with integers covers exactly pixels x .. x + w - 1). With `source`, only that part
  // of the bitmap (in its pixels) is drawn into `dest`.
  void DrawImage(const Bitmap& image, PointF point);
  void DrawImage(const Bitmap& image, RectF dest);
  void DrawImage(const Bitmap& image, RectF dest, RectF source);

  // Text (UTF-8). Into `layout`: wrapped to its width unless NoWrap, aligned in it by the format,
  // clipped to it unless NoClip; a layout width or height of 0 means no limit that way. From
  // `origin`: the point is where the format's alignments put the text (Near: its top-left).
  void DrawString(std::string_view text, const Font& font, RectF layout, const StringFormat& format, const Brush& brush);
  void DrawString(std::string_view text, const Font& font, PointF origin, const StringFormat& format, const Brush& brush);
  TextMetrics MeasureString(std::string_view text, const Font& font, RectF layout, const StringFormat& format) const;
  TextMetrics MeasureString(std::string_view text, const Font& font, PointF origin, const StringFormat& format) const;
  // The font's vertical measures under the current text rendering hint; all 0 for a font that is
  // not Ok.
  FontMetrics GetFontMetrics(const Font& font) const;
  // The width of each character drawn on its own with the typographic format, as MeasureString
  // reports it, into `widths` (as long as `characters`): a text laid out from these widths places
  // each character where drawing it alone would, without the pair adjustments of a face. Measures
  // many characters in one pass. Line and paragraph separators, other control characters and values
  // that are not Unicode scalar values measure 0.
  void MeasureCharacterWidths(std::u32string_view characters, const Font& font, std::span<float> widths) const;

  // The Cairo context, for the window host only; its state is set per operation, not kept.
  cairo_t* NativeContext() const { return cr_; }

 private:
  struct State {
    SmoothingMode smoothing = SmoothingMode::Default;
    TextRenderingHint textHint = TextRenderingHint::SystemDefault;
    InterpolationMode interpolation = InterpolationMode::Bilinear;
    double matrix[6] = {1, 0, 0, 1, 0, 0};  // world to layer coordinates (xx, yx, xy, yy, x0, y0)
    std::optional<Region> clip;             // in device pixels; none: the whole surface
    bool clipAntialias = false;
    std::shared_ptr<const detail::ClipMask> clipMask;  // the rasterised clip, when not a plain intersection
  };

  void Init(cairo_surface_t* surface);
  bool Antialiased() const;
  void SetClipInDevice(Region region, CombineMode mode);
  // Runs `draw` with the world transform, smoothing and clip applied; `draw` builds and paints
  // in cr_. Nothing runs on a surface that is not Ok or inside an empty clip.
  void Paint(const std::function<void()>& draw);
  void SetLayerMatrix() const;

  void FillOps(const Brush& brush, const Path& path);
  void StrokeOps(const Pen& pen, const Path& path);

  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  int width_ = 0, height_ = 0;
  State state_;
  std::vector<State> saved_;
};

}  // namespace sib::gfx
