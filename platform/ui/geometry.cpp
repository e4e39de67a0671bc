#include "platform/ui/geometry.h"

namespace sib {
namespace {

// Touching counts: two rectangles that share an edge paint as well as one.
bool touches(const TRect& a, const TRect& b) {
  return a.Left <= b.Right && b.Left <= a.Right && a.Top <= b.Bottom && b.Top <= a.Bottom;
}

}  // namespace

void TDamage::Add(const TRect& r) {
  if (r.IsEmpty()) return;
  TRect merged = r;
  // A merge can make the bounds touch rectangles that did not touch before: repeat until stable.
  for (bool changed = true; changed;) {
    changed = false;
    for (std::size_t i = 0; i < rects_.size(); ++i) {
      if (!touches(rects_[i], merged)) continue;
      merged = merged.Union(rects_[i]);
      rects_.erase(rects_.begin() + static_cast<std::ptrdiff_t>(i));
      changed = true;
      break;
    }
  }
  rects_.push_back(merged);
}

TRect TDamage::Bounds() const {
  TRect bounds;
  for (const TRect& r : rects_) bounds = bounds.Union(r);
  return bounds;
}

}  // namespace sib
