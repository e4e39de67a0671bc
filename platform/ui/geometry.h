// Integer points and rectangles of the control tree: a rectangle holds the pixels from Left to
// Right - 1 and from Top to Bottom - 1, as the window system counts them; an empty rectangle holds
// none. Coordinates are relative to the control or window named by the caller.
#pragma once

#include <algorithm>
#include <vector>

namespace sib {

struct TPoint {
  int X = 0;
  int Y = 0;
  friend constexpr bool operator==(TPoint, TPoint) = default;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  static constexpr TRect FromSize(int left, int top, int width, int height) {
    return {left, top, left + width, top + height};
  }
  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  constexpr bool Contains(const TRect& r) const {
    return r.IsEmpty() || (r.Left >= Left && r.Top >= Top && r.Right <= Right && r.Bottom <= Bottom);
  }
  constexpr TRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
  // The common part; empty rectangles come back as {0, 0, 0, 0}.
  constexpr TRect Intersect(const TRect& r) const {
    const TRect i{std::max(Left, r.Left), std::max(Top, r.Top), std::min(Right, r.Right), std::min(Bottom, r.Bottom)};
    return i.IsEmpty() ? TRect{} : i;
  }
  constexpr bool Intersects(const TRect& r) const { return !Intersect(r).IsEmpty(); }
  // The smallest rectangle holding both; an empty operand adds nothing.
  constexpr TRect Union(const TRect& r) const {
    if (IsEmpty()) return r.IsEmpty() ? TRect{} : r;
    if (r.IsEmpty()) return *this;
    return {std::min(Left, r.Left), std::min(Top, r.Top), std::max(Right, r.Right), std::max(Bottom, r.Bottom)};
  }
  friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

// The part of a window that needs painting: a short list of disjoint-enough rectangles. Adding a
// rectangle that touches one already held merges the two into their bounds, so that a burst of
// small invalidations of one control stays one rectangle while two controls far apart stay two.
class TDamage {
 public:
  void Add(const TRect& r);
  bool IsEmpty() const { return rects_.empty(); }
  const std::vector<TRect>& Rects() const { return rects_; }
  TRect Bounds() const;
  void Clear() { rects_.clear(); }

 private:
  std::vector<TRect> rects_;
};

}  // namespace sib
