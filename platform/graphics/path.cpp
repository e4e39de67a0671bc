#include "platform/graphics/path.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "platform/graphics/font.h"
#include "platform/graphics/internal.h"

namespace sib::gfx {
namespace {

constexpr double kPi = std::numbers::pi;

double ToRadians(double degrees) { return degrees * kPi / 180.0; }

// The parameter of the ellipse point that lies in the direction `angle` (radians) from the
// centre: arcs are given by true angles, Béziers are built on parameters.
double EllipseParameter(double angle, double rx, double ry) {
  return std::atan2(std::sin(angle) * rx, std::cos(angle) * ry);
}

void FlattenCurve(PointF p0, PointF p1, PointF p2, PointF p3, float tolerance, int depth, std::vector<PointF>& out) {
  auto dist = [](PointF a, PointF b, PointF p) {
    double dx = b.X - a.X, dy = b.Y - a.Y;
    double len = std::hypot(dx, dy);
    if (len < 1e-9) return double(std::hypot(p.X - a.X, p.Y - a.Y));
    return std::abs((p.X - a.X) * dy - (p.Y - a.Y) * dx) / len;
  };
  if (depth >= 16 || std::max(dist(p0, p3, p1), dist(p0, p3, p2)) <= tolerance) {
    out.push_back(p3);
    return;
  }
  auto mid = [](PointF a, PointF b) { return PointF{(a.X + b.X) / 2, (a.Y + b.Y) / 2}; };
  PointF p01 = mid(p0, p1), p12 = mid(p1, p2), p23 = mid(p2, p3);
  PointF p012 = mid(p01, p12), p123 = mid(p12, p23), m = mid(p012, p123);
  FlattenCurve(p0, p01, p012, m, tolerance, depth + 1, out);
  FlattenCurve(m, p123, p23, p3, tolerance, depth + 1, out);
}

}  // namespace

void Path::Reset() {
  ops_.clear();
  figureOpen_ = false;
  fillMode_ = FillMode::Alternate;
}

void Path::StartFigure() { figureOpen_ = false; }

void Path::CloseFigure() {
  if (!figureOpen_) return;
  ops_.push_back({OpKind::Close, {}});
  figureOpen_ = false;
}

void Path::LineOrMoveTo(PointF p) {
  if (!figureOpen_) {
    ops_.push_back({OpKind::MoveTo, {p}});
    figureOpen_ = true;
    figureStart_ = p;
    return;
  }
  const Op& last = ops_.back();
  PointF lp = last.Kind == OpKind::CurveTo ? last.P[2] : last.P[0];
  if (lp != p) ops_.push_back({OpKind::LineTo, {p}});
}

void Path::CurveTo(PointF c1, PointF c2, PointF p) { ops_.push_back({OpKind::CurveTo, {c1, c2, p}}); }

void Path::AddLine(PointF from, PointF to) {
  LineOrMoveTo(from);
  if (ops_.back().Kind == OpKind::MoveTo || from != to) ops_.push_back({OpKind::LineTo, {to}});
}

void Path::AddLines(std::span<const PointF> points) {
  if (points.size() < 2) return;
  LineOrMoveTo(points[0]);
  for (std::size_t i = 1; i < points.size(); ++i) ops_.push_back({OpKind::LineTo, {points[i]}});
}

void Path::AddArc(RectF box, float startAngle, float sweepAngle) {
  if (box.IsEmpty() || !std::isfinite(startAngle) || !std::isfinite(sweepAngle)) return;
  double rx = box.Width / 2.0, ry = box.Height / 2.0;
  double cx = box.X + rx, cy = box.Y + ry;
  double sweep = std::clamp<double>(sweepAngle, -360.0, 360.0);
  int segments = std::max(1, int(std::ceil(std::abs(sweep) / 90.0 - 1e-9)));
  auto at = [&](double t) { return PointF{float(cx + rx * std::cos(t)), float(cy + ry * std::sin(t))}; };
  double a0 = ToRadians(startAngle);
  double t0 = EllipseParameter(a0, rx, ry);
  LineOrMoveTo(at(t0));
  for (int i = 1; i <= segments; ++i) {
    double a1 = ToRadians(startAngle + sweep * i / segments);
    double t1 = EllipseParameter(a1, rx, ry);
    double dt = t1 - t0;
    // Each piece is at most a quarter turn, so its parameter step has the sweep's sign and is
    // less than half a turn.
    if (sweep > 0)
      while (dt <= 0) dt += 2 * kPi;
    else
      while (dt >= 0) dt -= 2 * kPi;
    if (std::abs(dt) > kPi) dt += dt > 0 ? -2 * kPi : 2 * kPi;
    double k = 4.0 / 3.0 * std::tan(dt / 4.0);
    PointF p0 = at(t0), p3 = at(t0 + dt);
    PointF c1{float(p0.X - k * rx * std::sin(t0)), float(p0.Y + k * ry * std::cos(t0))};
    PointF c2{float(p3.X + k * rx * std::sin(t0 + dt)), float(p3.Y - k * ry * std::cos(t0 + dt))};
    CurveTo(c1, c2, p3);
    t0 += dt;
  }
}

void Path::AddBezier(PointF start, PointF control1, PointF control2, PointF end) {
  LineOrMoveTo(start);
  CurveTo(control1, control2, end);
}

void Path::AddRectangle(RectF rect) {
  if (rect.IsEmpty()) return;
  StartFigure();
  LineOrMoveTo({rect.X, rect.Y});
  ops_.push_back({OpKind::LineTo, {{rect.Right(), rect.Y}}});
  ops_.push_back({OpKind::LineTo, {{rect.Right(), rect.Bottom()}}});
  ops_.push_back({OpKind::LineTo, {{rect.X, rect.Bottom()}}});
  CloseFigure();
}

void Path::AddEllipse(RectF box) {
  if (box.IsEmpty()) return;
  StartFigure();
  AddArc(box, 0, 360);
  CloseFigure();
}

void Path::AddPolygon(std::span<const PointF> points) {
  if (points.size() < 3) return;
  StartFigure();
  LineOrMoveTo(points[0]);
  for (std::size_t i = 1; i < points.size(); ++i) ops_.push_back({OpKind::LineTo, {points[i]}});
  CloseFigure();
}

void Path::AddPath(const Path& other, Connect connect) {
  bool first = true;
  for (const Op& op : other.ops_) {
    switch (op.Kind) {
      case OpKind::MoveTo:
        if (!(first && connect == Connect::Yes)) StartFigure();
        LineOrMoveTo(op.P[0]);
        first = false;
        break;
      case OpKind::LineTo: ops_.push_back(op); break;
      case OpKind::CurveTo: ops_.push_back(op); break;
      case OpKind::Close: CloseFigure(); break;
    }
  }
  if (!other.figureOpen_) StartFigure();
}

Status Path::AddString(std::string_view text, const FontFamily& family, int style, float emSize, RectF layout,
                       const StringFormat& format) {
  Font font(family, emSize, style, FontUnit::Pixel);
  if (!font.Ok()) return font.GetStatus();
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  Status st = detail::AddTextOutline(cr, text, font, layout, false, format);
  StartFigure();
  detail::AppendCairoPath(cr, *this);
  StartFigure();
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  return st;
}

Status Path::AddString(std::string_view text, const FontFamily& family, int style, float emSize, PointF origin,
                       const StringFormat& format) {
  Font font(family, emSize, style, FontUnit::Pixel);
  if (!font.Ok()) return font.GetStatus();
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  Status st = detail::AddTextOutline(cr, text, font, {origin.X, origin.Y, 0, 0}, true, format);
  StartFigure();
  detail::AppendCairoPath(cr, *this);
  StartFigure();
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  return st;
}

RectF Path::GetBounds() const {
  if (ops_.empty()) return {};
  float x0 = std::numeric_limits<float>::max(), y0 = x0, x1 = -x0, y1 = -x0;
  for (const Op& op : ops_) {
    int n = op.Kind == OpKind::CurveTo ? 3 : op.Kind == OpKind::Close ? 0 : 1;
    for (int i = 0; i < n; ++i) {
      x0 = std::min(x0, op.P[i].X);
      y0 = std::min(y0, op.P[i].Y);
      x1 = std::max(x1, op.P[i].X);
      y1 = std::max(y1, op.P[i].Y);
    }
  }
  return {x0, y0, x1 - x0, y1 - y0};
}

std::vector<Path::Polyline> Path::Flatten(float tolerance) const {
  std::vector<Polyline> figures;
  tolerance = std::max(tolerance, 0.001f);
  for (const Op& op : ops_) {
    switch (op.Kind) {
      case OpKind::MoveTo: figures.push_back({{op.P[0]}, false}); break;
      case OpKind::LineTo: figures.back().Points.push_back(op.P[0]); break;
      case OpKind::CurveTo: {
        PointF p0 = figures.back().Points.back();
        FlattenCurve(p0, op.P[0], op.P[1], op.P[2], tolerance, 0, figures.back().Points);
        break;
      }
      case OpKind::Close: {
        Polyline& f = figures.back();
        f.Closed = true;
        if (f.Points.size() > 1 && f.Points.back() == f.Points.front()) f.Points.pop_back();
        break;
      }
    }
  }
  return figures;
}

bool Path::IsVisible(PointF point) const {
  int winding = 0, crossings = 0;
  for (const Polyline& f : Flatten(0.05f)) {
    std::size_t n = f.Points.size();
    for (std::size_t i = 0; i < n; ++i) {
      PointF a = f.Points[i], b = f.Points[(i + 1) % n];
      if ((a.Y <= point.Y) != (b.Y <= point.Y)) {
        float x = a.X + (point.Y - a.Y) / (b.Y - a.Y) * (b.X - a.X);
        if (x > point.X) {
          ++crossings;
          winding += b.Y > a.Y ? 1 : -1;
        }
      }
    }
  }
  return fillMode_ == FillMode::Alternate ? (crossings & 1) != 0 : winding != 0;
}

void Path::Translate(float dx, float dy) {
  for (Op& op : ops_)
    for (PointF& p : op.P) p = {p.X + dx, p.Y + dy};
  figureStart_ = {figureStart_.X + dx, figureStart_.Y + dy};
}

void Path::Transform(float xx, float yx, float xy, float yy, float x0, float y0) {
  auto map = [&](PointF p) { return PointF{xx * p.X + xy * p.Y + x0, yx * p.X + yy * p.Y + y0}; };
  for (Op& op : ops_)
    for (PointF& p : op.P) p = map(p);
  figureStart_ = map(figureStart_);
}

namespace detail {

void AppendCairoPath(cairo_t* cr, Path& path) {
  cairo_path_t* cp = cairo_copy_path(cr);
  PointF start{}, current{};
  for (int i = 0; i < cp->num_data; i += cp->data[i].header.length) {
    const cairo_path_data_t* d = &cp->data[i];
    auto pt = [d](int k) { return PointF{float(d[k].point.x), float(d[k].point.y)}; };
    switch (d->header.type) {
      case CAIRO_PATH_MOVE_TO:
        path.StartFigure();
        start = current = pt(1);
        break;
      case CAIRO_PATH_LINE_TO:
        path.AddLine(current, pt(1));
        current = pt(1);
        break;
      case CAIRO_PATH_CURVE_TO:
        path.AddBezier(current, pt(1), pt(2), pt(3));
        current = pt(3);
        break;
      case CAIRO_PATH_CLOSE_PATH:
        path.CloseFigure();
        current = start;
        break;
    }
  }
  cairo_path_destroy(cp);
}

void SetCairoPath(cairo_t* cr, const Path& path) {
  cairo_new_path(cr);
  cairo_set_fill_rule(cr, path.GetFillMode() == FillMode::Alternate ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
  for (const Path::Op& op : path.Ops()) {
    switch (op.Kind) {
      case Path::OpKind::MoveTo: cairo_move_to(cr, op.P[0].X, op.P[0].Y); break;
      case Path::OpKind::LineTo: cairo_line_to(cr, op.P[0].X, op.P[0].Y); break;
      case Path::OpKind::CurveTo:
        cairo_curve_to(cr, op.P[0].X, op.P[0].Y, op.P[1].X, op.P[1].Y, op.P[2].X, op.P[2].Y);
        break;
      case Path::OpKind::Close: cairo_close_path(cr); break;
    }
  }
}

}  // namespace detail
}  // namespace sib::gfx
