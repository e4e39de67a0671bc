#include "platform/graphics/brush.h"

#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "platform/graphics/internal.h"

namespace sib::gfx {
namespace {

cairo_extend_t ExtendOf(WrapMode wrap) {
  switch (wrap) {
    case WrapMode::Tile: return CAIRO_EXTEND_REPEAT;
    case WrapMode::TileFlipX:
    case WrapMode::TileFlipY:
    case WrapMode::TileFlipXY: return CAIRO_EXTEND_REFLECT;
    case WrapMode::Clamp: return CAIRO_EXTEND_PAD;
  }
  return CAIRO_EXTEND_REPEAT;
}

std::uint32_t Premultiplied(Color c) {
  auto mul = [a = c.A](std::uint8_t v) { return std::uint32_t((v * a + 127) / 255); };
  return std::uint32_t(c.A) << 24 | mul(c.R) << 16 | mul(c.G) << 8 | mul(c.B);
}

bool ValidStops(std::span<const float> positions) {
  if (positions.size() < 2 || positions.front() != 0.0f || positions.back() != 1.0f) return false;
  for (std::size_t i = 1; i < positions.size(); ++i)
    if (!(positions[i] >= positions[i - 1])) return false;
  return true;
}

bool ValidStops(std::span<const ColorStop> stops) {
  std::vector<float> positions;
  for (const ColorStop& s : stops) positions.push_back(s.Position);
  return ValidStops(positions);
}

Color Lerp(Color a, Color b, double t) {
  auto mix = [t](std::uint8_t x, std::uint8_t y) { return std::uint8_t(std::lround(x + (y - x) * t)); };
  return {mix(a.A, b.A), mix(a.R, b.R), mix(a.G, b.G), mix(a.B, b.B)};
}

// Colours in linear light at gamma 2.2; a stop list expanded with enough extra stops that
// Cairo's interpolation in stored values stays within half a level of it.
struct Rgba {
  double a, r, g, b;  // straight, 0..1
};

constexpr double kGamma = 2.2;

Rgba ToLinear(Color c) {
  auto lin = [](std::uint8_t v) { return std::pow(v / 255.0, kGamma); };
  return {c.A / 255.0, lin(c.R), lin(c.G), lin(c.B)};
}

// The stored (gamma-encoded) straight colour at t between two stops, mixed in linear light.
Rgba GammaMix(const Rgba& a, const Rgba& b, double t) {
  auto enc = [](double v) { return std::pow(std::max(0.0, v), 1.0 / kGamma); };
  return {a.a + (b.a - a.a) * t, enc(a.r + (b.r - a.r) * t), enc(a.g + (b.g - a.g) * t), enc(a.b + (b.b - a.b) * t)};
}

void AddStopRgba(cairo_pattern_t* p, double offset, const Rgba& c) {
  cairo_pattern_add_color_stop_rgba(p, offset, c.r, c.g, c.b, c.a);
}

// Adds stops inside (t0, t1] so that the premultiplied colour between neighbours is near linear.
void AddGammaStops(cairo_pattern_t* p, double p0, double p1, const Rgba& la, const Rgba& lb, double t0, double t1,
                   const Rgba& c0, const Rgba& c1, int depth) {
  auto pre = [](const Rgba& c) { return std::array<double, 4>{c.a, c.r * c.a, c.g * c.a, c.b * c.a}; };
  double worst = 0;
  if (depth < 12) {
    auto q0 = pre(c0), q1 = pre(c1);
    for (double f : {0.25, 0.5, 0.75}) {
      auto q = pre(GammaMix(la, lb, t0 + (t1 - t0) * f));
      for (int k = 0; k < 4; ++k) worst = std::max(worst, std::abs(q[k] - (q0[k] + (q1[k] - q0[k]) * f)));
    }
  }
  if (worst * 255.0 <= 0.4) {
    AddStopRgba(p, p0 + (p1 - p0) * t1, c1);
    return;
  }
  double tm = (t0 + t1) / 2;
  Rgba cm = GammaMix(la, lb, tm);
  AddGammaStops(p, p0, p1, la, lb, t0, tm, c0, cm, depth + 1);
  AddGammaStops(p, p0, p1, la, lb, tm, t1, cm, c1, depth + 1);
}

constexpr double kPi = std::numbers::pi;

}  // namespace

// ---- Solid ----------------------------------------------------------------------------------

cairo_pattern_t* SolidBrush::CreatePattern(cairo_t*) const {
  return cairo_pattern_create_rgba(color_.R / 255.0, color_.G / 255.0, color_.B / 255.0, color_.A / 255.0);
}

// ---- Hatch ----------------------------------------------------------------------------------

HatchBrush::HatchBrush(HatchStyle style, Color foreground, Color background)
    : style_(style), fore_(foreground), back_(background) {
  if (int(style) < 0 || int(style) >= kHatchStyleCount) status_ = Status::InvalidParameter;
}

cairo_pattern_t* HatchBrush::CreatePattern(cairo_t* cr) const {
  if (!Ok()) return nullptr;
  cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
  if (cairo_surface_status(tile) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(tile);
    return nullptr;
  }
  cairo_surface_flush(tile);
  unsigned char* data = cairo_image_surface_get_data(tile);
  int stride = cairo_image_surface_get_stride(tile);
  auto rows = HatchPattern(style_);
  std::uint32_t fore = Premultiplied(fore_), back = Premultiplied(back_);
  for (int y = 0; y < 8; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
    for (int x = 0; x < 8; ++x) row[x] = (rows[y] & (0x80u >> x)) ? fore : back;
  }
  cairo_surface_mark_dirty(tile);
  cairo_pattern_t* p = cairo_pattern_create_for_surface(tile);
  cairo_surface_destroy(tile);
  cairo_pattern_set_extend(p, CAIRO_EXTEND_REPEAT);
  cairo_pattern_set_filter(p, CAIRO_FILTER_NEAREST);
  // Pattern space is device space: the tiles stay on the pixel grid whatever the transform.
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  cairo_pattern_set_matrix(p, &m);
  return p;
}

// ---- Texture --------------------------------------------------------------------------------

TextureBrush::TextureBrush(const Bitmap& image, WrapMode wrap) : image_(image), wrap_(wrap) {
  if (!image_.Ok()) status_ = Status::InvalidParameter;
}

void TextureBrush::TranslateTransform(float dx, float dy) { offset_ = {offset_.X + dx, offset_.Y + dy}; }

cairo_pattern_t* TextureBrush::CreatePattern(cairo_t*) const {
  if (!Ok()) return nullptr;
  cairo_pattern_t* p = cairo_pattern_create_for_surface(image_.NativeSurface());
  cairo_pattern_set_extend(p, wrap_ == WrapMode::Clamp ? CAIRO_EXTEND_NONE : ExtendOf(wrap_));
  cairo_pattern_set_filter(p, CAIRO_FILTER_GOOD);
  // Image pixel (0, 0) covers [-0.5, 0.5] around the origin.
  cairo_matrix_t m;
  cairo_matrix_init_translate(&m, 0.5 - offset_.X, 0.5 - offset_.Y);
  cairo_pattern_set_matrix(p, &m);
  return p;
}

// ---- Linear gradient ------------------------------------------------------------------------

LinearGradientBrush::LinearGradientBrush(PointF point1, PointF point2, Color color1, Color color2)
    : start_(point1), end_(point2), color1_(color1), color2_(color2) {
  if (point1 == point2 || !std::isfinite(point1.X + point1.Y + point2.X + point2.Y)) status_ = Status::InvalidParameter;
}

LinearGradientBrush::LinearGradientBrush(RectF rect, Color color1, Color color2, LinearGradientMode mode)
    : color1_(color1), color2_(color2) {
  switch (mode) {
    case LinearGradientMode::Horizontal: SetAxis(rect, 0, AngleScaling::Fixed); break;
    case LinearGradientMode::Vertical: SetAxis(rect, 90, AngleScaling::Fixed); break;
    case LinearGradientMode::ForwardDiagonal: SetAxis(rect, 45, AngleScaling::Scalable); break;
    case LinearGradientMode::BackwardDiagonal: SetAxis(rect, 135, AngleScaling::Scalable); break;
  }
}

LinearGradientBrush::LinearGradientBrush(RectF rect, Color color1, Color color2, float angle, AngleScaling scaling)
    : color1_(color1), color2_(color2) {
  SetAxis(rect, angle, scaling);
}

void LinearGradientBrush::SetAxis(RectF rect, float angle, AngleScaling scaling) {
  if (rect.IsEmpty() || !std::isfinite(angle) || !std::isfinite(rect.X + rect.Y)) {
    status_ = Status::InvalidParameter;
    return;
  }
  // The gradient parameter t is linear on the surface: t = a x + b y + c. Along the direction in
  // the rectangle's space (its unit square when the angle scales), the corners' projections give
  // t = 0 and t = 1.
  double th = angle * kPi / 180.0;
  double dx = std::cos(th), dy = std::sin(th);
  double sx = scaling == AngleScaling::Scalable ? rect.Width : 1.0;
  double sy = scaling == AngleScaling::Scalable ? rect.Height : 1.0;
  double w = rect.Width / sx, h = rect.Height / sy;
  double lo = 1e300, hi = -1e300;
  PointF loCorner{};
  for (auto [cx, cy] : {std::pair{0.0, 0.0}, {w, 0.0}, {0.0, h}, {w, h}}) {
    double proj = cx * dx + cy * dy;
    if (proj < lo) {
      lo = proj;
      loCorner = {float(rect.X + cx * sx), float(rect.Y + cy * sy)};
    }
    hi = std::max(hi, proj);
  }
  double a = dx / sx / (hi - lo), b = dy / sy / (hi - lo);
  double g2 = a * a + b * b;
  start_ = loCorner;
  end_ = {float(loCorner.X + a / g2), float(loCorner.Y + b / g2)};
}

Status LinearGradientBrush::SetInterpolationColors(std::span<const ColorStop> stops) {
  if (!ValidStops(stops)) return Status::InvalidParameter;
  preset_.assign(stops.begin(), stops.end());
  return Status::Ok;
}

Status LinearGradientBrush::SetBlend(std::span<const float> factors, std::span<const float> positions) {
  if (factors.size() != positions.size() || !ValidStops(positions)) return Status::InvalidParameter;
  blendFactors_.assign(factors.begin(), factors.end());
  blendPositions_.assign(positions.begin(), positions.end());
  preset_.clear();
  return Status::Ok;
}

std::vector<ColorStop> LinearGradientBrush::Stops() const {
  if (!preset_.empty()) return preset_;
  if (blendFactors_.empty()) return {{0, color1_}, {1, color2_}};
  std::vector<ColorStop> stops;
  for (std::size_t i = 0; i < blendFactors_.size(); ++i)
    stops.push_back({blendPositions_[i], Lerp(color1_, color2_, std::clamp(blendFactors_[i], 0.0f, 1.0f))});
  return stops;
}

cairo_pattern_t* LinearGradientBrush::CreatePattern(cairo_t*) const {
  if (!Ok()) return nullptr;
  cairo_pattern_t* p = cairo_pattern_create_linear(start_.X, start_.Y, end_.X, end_.Y);
  std::vector<ColorStop> stops = Stops();
  for (std::size_t i = 0; i < stops.size(); ++i) {
    if (!gamma_ || i == 0) {
      detail::AddStop(p, stops[i].Position, stops[i].Value);
      continue;
    }
    const ColorStop& s0 = stops[i - 1];
    const ColorStop& s1 = stops[i];
    Rgba l0 = ToLinear(s0.Value), l1 = ToLinear(s1.Value);
    if (s1.Position <= s0.Position) {
      detail::AddStop(p, s1.Position, s1.Value);
      continue;
    }
    AddGammaStops(p, s0.Position, s1.Position, l0, l1, 0, 1, GammaMix(l0, l1, 0), GammaMix(l0, l1, 1), 0);
  }
  cairo_pattern_set_extend(p, ExtendOf(wrap_));
  return p;
}

// ---- Path gradient --------------------------------------------------------------------------

PathGradientBrush::PathGradientBrush(const Path& path) { SetOutline(path.Flatten(0.25f)); }

PathGradientBrush::PathGradientBrush(std::span<const PointF> polygon) {
  SetOutline({Path::Polyline{{polygon.begin(), polygon.end()}, true}});
}

void PathGradientBrush::SetOutline(std::vector<Path::Polyline> figures) {
  for (Path::Polyline& f : figures)
    if (f.Points.size() >= 3) outline_.push_back(std::move(f));
  if (outline_.empty()) {
    status_ = Status::InvalidParameter;
    return;
  }
  float x0 = 1e30f, y0 = 1e30f, x1 = -1e30f, y1 = -1e30f;
  for (const auto& f : outline_)
    for (PointF p : f.Points) {
      x0 = std::min(x0, p.X);
      y0 = std::min(y0, p.Y);
      x1 = std::max(x1, p.X);
      y1 = std::max(y1, p.Y);
    }
  centrePoint_ = {(x0 + x1) / 2, (y0 + y1) / 2};
}

Status PathGradientBrush::SetSurroundColors(std::span<const Color> colors) {
  if (colors.empty()) return Status::InvalidParameter;
  surround_.assign(colors.begin(), colors.end());
  return Status::Ok;
}

Status PathGradientBrush::SetInterpolationColors(std::span<const ColorStop> stops) {
  if (!ValidStops(stops)) return Status::InvalidParameter;
  preset_.assign(stops.begin(), stops.end());
  return Status::Ok;
}

Status PathGradientBrush::SetBlend(std::span<const float> factors, std::span<const float> positions) {
  if (factors.size() != positions.size() || !ValidStops(positions)) return Status::InvalidParameter;
  blendFactors_.assign(factors.begin(), factors.end());
  blendPositions_.assign(positions.begin(), positions.end());
  preset_.clear();
  return Status::Ok;
}

cairo_pattern_t* PathGradientBrush::CreatePattern(cairo_t*) const {
  if (!Ok()) return nullptr;
  // Rings from the outline (position 0) to the centre (position 1); each ring position has a
  // colour per outline point.
  std::vector<float> positions;
  if (!preset_.empty())
    for (const ColorStop& s : preset_) positions.push_back(s.Position);
  else if (!blendPositions_.empty())
    positions = blendPositions_;
  else
    positions = {0.0f, 1.0f};
  auto colourAt = [&](std::size_t ring, std::size_t point) -> Color {
    if (!preset_.empty()) return preset_[ring].Value;
    Color surround = surround_[std::min(point, surround_.size() - 1)];
    if (!blendFactors_.empty()) return Lerp(surround, centre_, std::clamp(blendFactors_[ring], 0.0f, 1.0f));
    return ring == 0 ? surround : centre_;
  };
  PointF c = centrePoint_;
  auto scaled = [c](PointF p, double s) { return PointF{float(c.X + (p.X - c.X) * s), float(c.Y + (p.Y - c.Y) * s)}; };
  // Pushes the outline out by a pixel so that the filled shape's anti-aliased edge, not the
  // mesh's hard one, decides the coverage there.
  auto outward = [c](PointF p) {
    double dx = p.X - c.X, dy = p.Y - c.Y, len = std::hypot(dx, dy);
    return len < 1e-6 ? p : PointF{float(p.X + dx / len), float(p.Y + dy / len)};
  };
  auto setCorner = [](cairo_pattern_t* mesh, int corner, Color col) {
    cairo_mesh_pattern_set_corner_color_rgba(mesh, corner, col.R / 255.0, col.G / 255.0, col.B / 255.0, col.A / 255.0);
  };
  cairo_pattern_t* mesh = cairo_pattern_create_mesh();
  std::size_t base = 0;
  for (const Path::Polyline& f : outline_) {
    std::size_t n = f.Points.size();
    for (std::size_t i = 0; i < n; ++i) {
      std::size_t j = (i + 1) % n;
      PointF a = f.Points[i], b = f.Points[j];
      std::size_t ia = base + i, ib = base + j;
      // The rim beyond the outline, in the outline's colours.
      cairo_mesh_pattern_begin_patch(mesh);
      PointF ao = outward(a), bo = outward(b);
      cairo_mesh_pattern_move_to(mesh, ao.X, ao.Y);
      cairo_mesh_pattern_line_to(mesh, bo.X, bo.Y);
      cairo_mesh_pattern_line_to(mesh, b.X, b.Y);
      cairo_mesh_pattern_line_to(mesh, a.X, a.Y);
      setCorner(mesh, 0, colourAt(0, ia));
      setCorner(mesh, 1, colourAt(0, ib));
      setCorner(mesh, 2, colourAt(0, ib));
      setCorner(mesh, 3, colourAt(0, ia));
      cairo_mesh_pattern_end_patch(mesh);
      for (std::size_t r = 0; r + 1 < positions.size(); ++r) {
        double s0 = 1.0 - positions[r], s1 = 1.0 - positions[r + 1];
        PointF a0 = scaled(a, s0), b0 = scaled(b, s0), b1 = scaled(b, s1), a1 = scaled(a, s1);
        cairo_mesh_pattern_begin_patch(mesh);
        cairo_mesh_pattern_move_to(mesh, a0.X, a0.Y);
        cairo_mesh_pattern_line_to(mesh, b0.X, b0.Y);
        cairo_mesh_pattern_line_to(mesh, b1.X, b1.Y);
        cairo_mesh_pattern_line_to(mesh, a1.X, a1.Y);
        setCorner(mesh, 0, colourAt(r, ia));
        setCorner(mesh, 1, colourAt(r, ib));
        setCorner(mesh, 2, colourAt(r + 1, ib));
        setCorner(mesh, 3, colourAt(r + 1, ia));
        cairo_mesh_pattern_end_patch(mesh);
      }
    }
    base += n;
  }
  return mesh;
}

}  // namespace sib::gfx
