#include "platform/graphics/graphics.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/graphics/internal.h"

namespace sib::gfx {

namespace detail {

// A clip that Cairo cannot express as a chain of intersections, rasterised once as an alpha mask
// of the surface's size.
struct ClipMask {
  cairo_surface_t* mask = nullptr;
  RectF bounds;  // in device pixels, a whole-pixel rectangle holding every covered pixel
  ~ClipMask() {
    if (mask) cairo_surface_destroy(mask);
  }
};

}  // namespace detail

namespace {

cairo_antialias_t AntialiasOf(bool on) { return on ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE; }

// Adds each step of an intersection-only region to the clip of `cr` (identity matrix); false
// when the region is empty.
bool ClipToIntersection(cairo_t* cr, const Region& region, bool antialias) {
  for (const Region::Step& s : region.Steps()) {
    switch (s.ShapeKind) {
      case Region::Step::Kind::Infinite: continue;
      case Region::Step::Kind::Empty: return false;
      case Region::Step::Kind::Shape:
        detail::SetCairoPath(cr, s.Shape);
        cairo_set_antialias(cr, AntialiasOf(antialias && !s.PixelAligned));
        cairo_clip(cr);
        break;
    }
  }
  return true;
}

cairo_operator_t OperatorOf(CombineMode op) {
  switch (op) {
    case CombineMode::Replace: return CAIRO_OPERATOR_SOURCE;
    case CombineMode::Intersect: return CAIRO_OPERATOR_IN;
    case CombineMode::Union: return CAIRO_OPERATOR_OVER;
    case CombineMode::Xor: return CAIRO_OPERATOR_XOR;
    case CombineMode::Exclude: return CAIRO_OPERATOR_DEST_OUT;
    case CombineMode::Complement: return CAIRO_OPERATOR_OUT;
  }
  return CAIRO_OPERATOR_OVER;
}

cairo_surface_t* RasteriseRegion(const Region& region, int width, int height, bool antialias) {
  cairo_surface_t* acc = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
  for (const Region::Step& s : region.Steps()) {
    cairo_surface_t* shape = nullptr;
    if (s.Nested) {
      shape = RasteriseRegion(*s.Nested, width, height, antialias);
    } else {
      shape = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
      cairo_t* cr = cairo_create(shape);
      if (s.ShapeKind == Region::Step::Kind::Infinite) {
        cairo_paint(cr);
      } else if (s.ShapeKind == Region::Step::Kind::Shape) {
        detail::SetCairoPath(cr, s.Shape);
        cairo_set_antialias(cr, AntialiasOf(antialias && !s.PixelAligned));
        cairo_fill(cr);
      }
      cairo_destroy(cr);
    }
    cairo_t* cr = cairo_create(acc);
    cairo_set_operator(cr, OperatorOf(s.Op));
    cairo_set_source_surface(cr, shape, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(shape);
  }
  return acc;
}

}  // namespace

Graphics::Graphics(Bitmap& bitmap) {
  if (bitmap.Ok()) Init(cairo_surface_reference(bitmap.NativeSurface()));
}

Graphics::Graphics(std::uint32_t* pixels, int width, int height, int strideBytes) {
  if (!pixels || width <= 0 || height <= 0 || strideBytes < width * 4 || strideBytes % 4 != 0) return;
  Init(cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels), CAIRO_FORMAT_ARGB32, width,
                                           height, strideBytes));
}

void Graphics::Init(cairo_surface_t* surface) {
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return;
  }
  cairo_t* cr = cairo_create(surface);
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return;
  }
  surface_ = surface;
  cr_ = cr;
  width_ = cairo_image_surface_get_width(surface);
  height_ = cairo_image_surface_get_height(surface);
}

Graphics::~Graphics() {
  if (cr_) cairo_destroy(cr_);
  if (surface_) {
    cairo_surface_flush(surface_);
    cairo_surface_destroy(surface_);
  }
}

Status Graphics::GetStatus() const { return cr_ ? Status::Ok : Status::InvalidParameter; }

bool Graphics::Antialiased() const {
  return state_.smoothing == SmoothingMode::AntiAlias || state_.smoothing == SmoothingMode::HighQuality;
}

void Graphics::SetLayerMatrix() const {
  const double* w = state_.matrix;
  // Integer coordinates are pixel centres: the layer's (0, 0) is the middle of pixel (0, 0).
  cairo_matrix_t m{w[0], w[1], w[2], w[3], w[4] + 0.5, w[5] + 0.5};
  cairo_set_matrix(cr_, &m);
}

void Graphics::Paint(const std::function<void()>& draw) {
  if (!cr_) return;
  cairo_save(cr_);
  cairo_identity_matrix(cr_);
  const detail::ClipMask* mask = state_.clipMask.get();
  if (state_.clip && !mask && !ClipToIntersection(cr_, *state_.clip, state_.clipAntialias)) {
    cairo_restore(cr_);
    return;
  }
  if (mask) {
    cairo_rectangle(cr_, mask->bounds.X, mask->bounds.Y, mask->bounds.Width, mask->bounds.Height);
    cairo_clip(cr_);
    cairo_push_group(cr_);
  }
  SetLayerMatrix();
  cairo_set_antialias(cr_, AntialiasOf(Antialiased()));
  draw();
  if (mask) {
    cairo_pop_group_to_source(cr_);
    cairo_identity_matrix(cr_);
    cairo_mask_surface(cr_, mask->mask, 0, 0);
  }
  cairo_restore(cr_);
}

void Graphics::Clear(Color color) {
  if (!cr_) return;
  cairo_save(cr_);
  cairo_identity_matrix(cr_);
  cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
  detail::SetSourceColor(cr_, color);
  if (state_.clipMask) {
    cairo_mask_surface(cr_, state_.clipMask->mask, 0, 0);
  } else if (!state_.clip || ClipToIntersection(cr_, *state_.clip, state_.clipAntialias)) {
    cairo_paint(cr_);
  }
  cairo_restore(cr_);
}

// ---- Transform ------------------------------------------------------------------------------

void Graphics::TranslateTransform(float dx, float dy) {
  cairo_matrix_t m;
  std::memcpy(&m, state_.matrix, sizeof m);
  cairo_matrix_translate(&m, dx, dy);
  std::memcpy(state_.matrix, &m, sizeof m);
}

void Graphics::ScaleTransform(float sx, float sy) {
  cairo_matrix_t m;
  std::memcpy(&m, state_.matrix, sizeof m);
  cairo_matrix_scale(&m, sx, sy);
  std::memcpy(state_.matrix, &m, sizeof m);
}

void Graphics::ResetTransform() {
  const double identity[6] = {1, 0, 0, 1, 0, 0};
  std::memcpy(state_.matrix, identity, sizeof identity);
}

// ---- Clip -----------------------------------------------------------------------------------

void Graphics::SetClip(RectF rect, CombineMode mode) { SetClip(Region(rect), mode); }
void Graphics::SetClip(const Path& path, CombineMode mode) { SetClip(Region(path), mode); }

void Graphics::SetClip(const Region& region, CombineMode mode) {
  Region device = region;
  const double* w = state_.matrix;
  device.Transform(float(w[0]), float(w[1]), float(w[2]), float(w[3]), float(w[4] + 0.5), float(w[5] + 0.5));
  SetClipInDevice(std::move(device), mode);
}

void Graphics::SetClipInDevice(Region region, CombineMode mode) {
  Region clip = state_.clip.value_or(Region());
  clip.Combine(region, mode);
  state_.clipAntialias = Antialiased();
  state_.clipMask.reset();
  if (!clip.IsIntersectionOnly() && cr_) {
    auto mask = std::make_shared<detail::ClipMask>();
    mask->mask = RasteriseRegion(clip, width_, height_, state_.clipAntialias);
    RectF b = clip.GetBounds();
    float x0 = std::clamp(std::floor(b.X), 0.0f, float(width_)), y0 = std::clamp(std::floor(b.Y), 0.0f, float(height_));
    float x1 = std::clamp(std::ceil(b.Right()), x0, float(width_)), y1 = std::clamp(std::ceil(b.Bottom()), y0, float(height_));
    mask->bounds = {x0, y0, x1 - x0, y1 - y0};
    state_.clipMask = std::move(mask);
  }
  state_.clip = std::move(clip);
}

void Graphics::ResetClip() {
  state_.clip.reset();
  state_.clipMask.reset();
}

RectF Graphics::GetClipBounds() const {
  RectF b{0, 0, float(width_), float(height_)};
  if (state_.clip) {
    RectF c = state_.clip->GetBounds();
    float x0 = std::max(b.X, c.X), y0 = std::max(b.Y, c.Y);
    float x1 = std::min(b.Right(), c.Right()), y1 = std::min(b.Bottom(), c.Bottom());
    b = x1 > x0 && y1 > y0 ? RectF{x0, y0, x1 - x0, y1 - y0} : RectF{};
  }
  // Back to world coordinates through the inverse of the layer matrix.
  const double* w = state_.matrix;
  cairo_matrix_t m{w[0], w[1], w[2], w[3], w[4] + 0.5, w[5] + 0.5};
  if (cairo_matrix_invert(&m) != CAIRO_STATUS_SUCCESS) return {};
  double xs[2] = {b.X, b.Right()}, ys[2] = {b.Y, b.Bottom()};
  double lx = 1e30, ly = 1e30, hx = -1e30, hy = -1e30;
  for (double x : xs)
    for (double y : ys) {
      double px = x, py = y;
      cairo_matrix_transform_point(&m, &px, &py);
      lx = std::min(lx, px);
      ly = std::min(ly, py);
      hx = std::max(hx, px);
      hy = std::max(hy, py);
    }
  return {float(lx), float(ly), float(hx - lx), float(hy - ly)};
}

// ---- State ----------------------------------------------------------------------------------

GraphicsState Graphics::Save() {
  saved_.push_back(state_);
  return GraphicsState(saved_.size());
}

void Graphics::Restore(GraphicsState state) {
  if (state == 0 || state > saved_.size()) return;
  state_ = saved_[state - 1];
  saved_.resize(state - 1);
}

// ---- Filling --------------------------------------------------------------------------------

void Graphics::FillOps(const Brush& brush, const Path& path) {
  if (!brush.Ok() || path.Empty()) return;
  Paint([&] {
    detail::SetCairoPath(cr_, path);
    cairo_pattern_t* p = brush.CreatePattern(cr_);
    if (!p) return;
    cairo_set_source(cr_, p);
    cairo_fill(cr_);
    cairo_pattern_destroy(p);
  });
}

void Graphics::FillPath(const Brush& brush, const Path& path) { FillOps(brush, path); }

void Graphics::FillRectangle(const Brush& brush, RectF rect) {
  if (!brush.Ok() || rect.IsEmpty()) return;
  Paint([&] {
    cairo_rectangle(cr_, rect.X, rect.Y, rect.Width, rect.Height);
    cairo_pattern_t* p = brush.CreatePattern(cr_);
    if (!p) return;
    cairo_set_source(cr_, p);
    cairo_fill(cr_);
    cairo_pattern_destroy(p);
  });
}

void Graphics::FillPolygon(const Brush& brush, std::span<const PointF> points, FillMode mode) {
  Path path(mode);
  path.AddPolygon(points);
  FillOps(brush, path);
}

void Graphics::FillEllipse(const Brush& brush, RectF box) {
  Path path;
  path.AddEllipse(box);
  FillOps(brush, path);
}

void Graphics::FillRegion(const Brush& brush, const Region& region) {
  if (!brush.Ok() || !cr_) return;
  Region device = region;
  const double* w = state_.matrix;
  device.Transform(float(w[0]), float(w[1]), float(w[2]), float(w[3]), float(w[4] + 0.5), float(w[5] + 0.5));
  bool aa = Antialiased();
  Paint([&] {
    cairo_pattern_t* p = brush.CreatePattern(cr_);
    if (!p) return;
    cairo_set_source(cr_, p);
    cairo_identity_matrix(cr_);
    if (device.IsIntersectionOnly()) {
      if (ClipToIntersection(cr_, device, aa)) cairo_paint(cr_);
    } else {
      cairo_surface_t* mask = RasteriseRegion(device, width_, height_, aa);
      cairo_mask_surface(cr_, mask, 0, 0);
      cairo_surface_destroy(mask);
    }
    cairo_pattern_destroy(p);
  });
}

// ---- Stroking -------------------------------------------------------------------------------

void Graphics::StrokeOps(const Pen& pen, const Path& path) {
  if (!pen.Ok() || path.Empty()) return;
  Paint([&] {
    detail::SetCairoPath(cr_, path);
    double w = pen.GetWidth();
    cairo_set_line_width(cr_, w);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
    cairo_set_miter_limit(cr_, 10.0);
    switch (pen.GetLineJoin()) {
      case LineJoin::Miter: cairo_set_line_join(cr_, CAIRO_LINE_JOIN_MITER); break;
      case LineJoin::Bevel: cairo_set_line_join(cr_, CAIRO_LINE_JOIN_BEVEL); break;
      case LineJoin::Round: cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND); break;
    }
    std::vector<double> dashes;
    switch (pen.GetDashStyle()) {
      case DashStyle::Solid: break;
      case DashStyle::Dash: dashes = {3 * w, w}; break;
      case DashStyle::Dot: dashes = {w, w}; break;
      case DashStyle::DashDot: dashes = {3 * w, w, w, w}; break;
      case DashStyle::DashDotDot: dashes = {3 * w, w, w, w, w, w}; break;
    }
    cairo_set_dash(cr_, dashes.data(), int(dashes.size()), 0);
    detail::SetSourceColor(cr_, pen.GetColor());
    cairo_stroke(cr_);
  });
}

void Graphics::DrawPath(const Pen& pen, const Path& path) { StrokeOps(pen, path); }

void Graphics::DrawLine(const Pen& pen, PointF from, PointF to) {
  Path path;
  path.AddLine(from, to);
  StrokeOps(pen, path);
}

void Graphics::DrawLines(const Pen& pen, std::span<const PointF> points) {
  Path path;
  path.AddLines(points);
  StrokeOps(pen, path);
}

void Graphics::DrawRectangle(const Pen& pen, RectF rect) {
  if (!(rect.Width >= 0) || !(rect.Height >= 0)) return;
  PointF corners[4] = {{rect.X, rect.Y}, {rect.Right(), rect.Y}, {rect.Right(), rect.Bottom()}, {rect.X, rect.Bottom()}};
  Path path;
  path.AddLines(corners);
  path.CloseFigure();
  StrokeOps(pen, path);
}

void Graphics::DrawPolygon(const Pen& pen, std::span<const PointF> points) {
  Path path;
  path.AddPolygon(points);
  StrokeOps(pen, path);
}

void Graphics::DrawEllipse(const Pen& pen, RectF box) {
  Path path;
  path.AddEllipse(box);
  StrokeOps(pen, path);
}

void Graphics::DrawArc(const Pen& pen, RectF box, float startAngle, float sweepAngle) {
  Path path;
  path.AddArc(box, startAngle, sweepAngle);
  StrokeOps(pen, path);
}

// ---- Images ---------------------------------------------------------------------------------

void Graphics::DrawImage(const Bitmap& image, PointF point) {
  if (!image.Ok()) return;
  DrawImage(image, RectF{point.X, point.Y, float(image.Width()), float(image.Height())},
            RectF{0, 0, float(image.Width()), float(image.Height())});
}

void Graphics::DrawImage(const Bitmap& image, RectF dest) {
  if (!image.Ok()) return;
  DrawImage(image, dest, RectF{0, 0, float(image.Width()), float(image.Height())});
}

void Graphics::DrawImage(const Bitmap& image, RectF dest, RectF source) {
  if (!image.Ok() || dest.IsEmpty() || source.IsEmpty()) return;
  Paint([&] {
    // Whole-pixel parts of the image are cut out, so that sampling at their edges does not reach
    // the pixels beside them.
    cairo_surface_t* src = image.NativeSurface();
    cairo_surface_t* part = nullptr;
    double sx = source.X, sy = source.Y;
    if (source.X == std::floor(source.X) && source.Y == std::floor(source.Y) && source.Width == std::floor(source.Width) &&
        source.Height == std::floor(source.Height)) {
      part = cairo_surface_create_for_rectangle(src, source.X, source.Y, source.Width, source.Height);
      src = part;
      sx = sy = 0;
    }
    cairo_pattern_t* p = cairo_pattern_create_for_surface(src);
    double ox = dest.X - 0.5, oy = dest.Y - 0.5;
    cairo_matrix_t m;
    cairo_matrix_init_translate(&m, sx, sy);
    cairo_matrix_scale(&m, source.Width / dest.Width, source.Height / dest.Height);
    cairo_matrix_translate(&m, -ox, -oy);
    cairo_pattern_set_matrix(p, &m);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
    switch (state_.interpolation) {
      case InterpolationMode::NearestNeighbor: cairo_pattern_set_filter(p, CAIRO_FILTER_NEAREST); break;
      case InterpolationMode::Bilinear: cairo_pattern_set_filter(p, CAIRO_FILTER_BILINEAR); break;
      case InterpolationMode::HighQuality: cairo_pattern_set_filter(p, CAIRO_FILTER_BEST); break;
    }
    cairo_set_source(cr_, p);
    cairo_rectangle(cr_, ox, oy, dest.Width, dest.Height);
    cairo_fill(cr_);
    cairo_pattern_destroy(p);
    if (part) cairo_surface_destroy(part);
  });
}

}  // namespace sib::gfx
