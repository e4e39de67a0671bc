#include "platform/graphics/region.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sib::gfx {
namespace {

constexpr float kHuge = 1.0e7f;

Path RectPath(RectF r) {
  Path p;
  p.AddRectangle(r);
  return p;
}

bool StepContains(const Region::Step& s, PointF p) {
  switch (s.ShapeKind) {
    case Region::Step::Kind::Infinite: return true;
    case Region::Step::Kind::Empty: return false;
    case Region::Step::Kind::Shape: return s.Shape.IsVisible(p);
  }
  return false;
}

}  // namespace

Region::Region() { steps_.push_back({}); }

Region::Region(RectF rect) {
  Step s;
  if (rect.IsEmpty()) {
    s.ShapeKind = Step::Kind::Empty;
  } else {
    s.ShapeKind = Step::Kind::Shape;
    s.Shape = RectPath(rect);
  }
  steps_.push_back(std::move(s));
}

Region::Region(const Path& path) {
  Step s;
  s.ShapeKind = path.Empty() ? Step::Kind::Empty : Step::Kind::Shape;
  s.Shape = path;
  steps_.push_back(std::move(s));
}

Region Region::Empty() {
  Region r;
  r.MakeEmpty();
  return r;
}

Region Region::Pixels(int left, int top, int right, int bottom) { return RoundRect(left, top, right, bottom, 0, 0); }

Region Region::RoundRect(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
  if (right <= left || bottom <= top) return Empty();
  int w = right - left, h = bottom - top;
  double ew = std::clamp(ellipseWidth, 0, w), eh = std::clamp(ellipseHeight, 0, h);
  // Pixel (x, y) covers [x - 0.5, x + 0.5]; a row of the region is one run of whole pixels whose
  // centres lie inside the rounded rectangle with edges at left - 0.5 .. right - 0.5.
  Path p(FillMode::Winding);
  double rx = ew / 2, ry = eh / 2;
  for (int y = top; y < bottom; ++y) {
    int inset = 0;
    if (rx > 0 && ry > 0) {
      double cy = y + 0.5 - top;  // distance of the pixel centre's row into the shape
      double dy = 0;
      if (cy < ry) dy = ry - cy;
      else if (cy > h - ry) dy = cy - (h - ry);
      if (dy > 0) {
        double dx = rx * std::sqrt(std::max(0.0, 1.0 - (dy / ry) * (dy / ry)));
        inset = int(std::ceil(rx - dx - 0.5 - 1e-9));
        inset = std::max(inset, 0);
      }
    }
    int x0 = left + inset, x1 = right - inset;
    if (x1 > x0) p.AddRectangle({x0 - 0.5f, y - 0.5f, float(x1 - x0), 1.0f});
  }
  Region r(p);
  r.steps_[0].PixelAligned = true;
  return r;
}

void Region::MakeInfinite() { *this = Region(); }

void Region::MakeEmpty() {
  steps_.clear();
  Step s;
  s.ShapeKind = Step::Kind::Empty;
  steps_.push_back(std::move(s));
}

void Region::Combine(const Path& other, CombineMode op) { Combine(Region(other), op); }
void Region::Combine(RectF other, CombineMode op) { Combine(Region(other), op); }

void Region::Combine(const Region& other, CombineMode op) {
  if (op == CombineMode::Replace) {
    *this = other;
    return;
  }
  if (other.steps_.size() == 1) {
    Step s = other.steps_[0];
    s.Op = op;
    steps_.push_back(std::move(s));
    return;
  }
  // A compound operand: combine step by step where the algebra allows it, else flatten through
  // the rule (A op B) with B built from its own steps. Intersect and Union distribute over the
  // operand's steps only for the same operation, so compound operands keep their own list.
  Region copy = other;
  if (op == CombineMode::Intersect && copy.IsIntersectionOnly()) {
    for (Step& s : copy.steps_) {
      s.Op = CombineMode::Intersect;
      steps_.push_back(std::move(s));
    }
    return;
  }
  // General case: evaluate point-wise through a nested region step.
  Step s;
  s.Op = op;
  s.ShapeKind = Step::Kind::Shape;
  s.Nested = std::make_shared<Region>(std::move(copy));
  steps_.push_back(std::move(s));
}

void Region::Translate(float dx, float dy) {
  for (Step& s : steps_) {
    s.Shape.Translate(dx, dy);
    if (s.Nested) {
      auto n = std::make_shared<Region>(*s.Nested);
      n->Translate(dx, dy);
      s.Nested = std::move(n);
    }
  }
}

void Region::Transform(float xx, float yx, float xy, float yy, float x0, float y0) {
  for (Step& s : steps_) {
    s.Shape.Transform(xx, yx, xy, yy, x0, y0);
    if (s.Nested) {
      auto n = std::make_shared<Region>(*s.Nested);
      n->Transform(xx, yx, xy, yy, x0, y0);
      s.Nested = std::move(n);
    }
  }
}

bool Region::IsInfinite() const {
  return steps_.size() == 1 && steps_[0].ShapeKind == Step::Kind::Infinite;
}

bool Region::IsVisible(PointF point) const {
  bool in = false;
  for (const Step& s : steps_) {
    bool here = s.Nested ? s.Nested->IsVisible(point) : StepContains(s, point);
    switch (s.Op) {
      case CombineMode::Replace: in = here; break;
      case CombineMode::Intersect: in = in && here; break;
      case CombineMode::Union: in = in || here; break;
      case CombineMode::Xor: in = in != here; break;
      case CombineMode::Exclude: in = in && !here; break;
      case CombineMode::Complement: in = here && !in; break;
    }
  }
  return in;
}

RectF Region::GetBounds() const {
  RectF huge{-kHuge, -kHuge, 2 * kHuge, 2 * kHuge};
  auto boundsOf = [&](const Step& s) -> std::optional<RectF> {
    if (s.Nested) return s.Nested->GetBounds();
    switch (s.ShapeKind) {
      case Step::Kind::Infinite: return huge;
      case Step::Kind::Empty: return std::nullopt;
      case Step::Kind::Shape: return s.Shape.GetBounds();
    }
    return std::nullopt;
  };
  auto unite = [](std::optional<RectF> a, std::optional<RectF> b) -> std::optional<RectF> {
    if (!a) return b;
    if (!b) return a;
    float x0 = std::min(a->X, b->X), y0 = std::min(a->Y, b->Y);
    float x1 = std::max(a->Right(), b->Right()), y1 = std::max(a->Bottom(), b->Bottom());
    return RectF{x0, y0, x1 - x0, y1 - y0};
  };
  auto meet = [](std::optional<RectF> a, std::optional<RectF> b) -> std::optional<RectF> {
    if (!a || !b) return std::nullopt;
    float x0 = std::max(a->X, b->X), y0 = std::max(a->Y, b->Y);
    float x1 = std::min(a->Right(), b->Right()), y1 = std::min(a->Bottom(), b->Bottom());
    if (x1 <= x0 || y1 <= y0) return std::nullopt;
    return RectF{x0, y0, x1 - x0, y1 - y0};
  };
  std::optional<RectF> b;
  for (const Step& s : steps_) {
    auto here = boundsOf(s);
    switch (s.Op) {
      case CombineMode::Replace: b = here; break;
      case CombineMode::Intersect: b = meet(b, here); break;
      case CombineMode::Union:
      case CombineMode::Xor: b = unite(b, here); break;
      case CombineMode::Exclude: break;
      case CombineMode::Complement: b = here; break;
    }
  }
  return b.value_or(RectF{});
}

bool Region::IsIntersectionOnly() const {
  for (std::size_t i = 1; i < steps_.size(); ++i)
    if (steps_[i].Op != CombineMode::Intersect || steps_[i].Nested) return false;
  return true;
}

}  // namespace sib::gfx
