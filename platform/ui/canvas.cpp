#include "platform/ui/canvas.h"

namespace sib {

std::uint32_t ColorToArgb(TColor Color) {
  if (Color == clNone || Color == clDefault) return 0;
  const TColor rgb = ColorToRGB(Color);
  return 0xFF000000u | (std::uint32_t{RedOf(rgb)} << 16) | (std::uint32_t{GreenOf(rgb)} << 8) | BlueOf(rgb);
}

TFormBuffer::TFormBuffer(int width, int height)
    : width_(std::max(0, width)),
      height_(std::max(0, height)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0) {}

TCanvas::TCanvas(TFormBuffer& buffer, TPoint origin, TRect clip)
    : buffer_(buffer), origin_(origin), clip_(clip.Intersect(TRect::FromSize(0, 0, buffer.Width(), buffer.Height()))) {}

void TCanvas::FillRect(const TRect& R, TColor Color) {
  const std::uint32_t argb = ColorToArgb(Color);
  const TRect area = R.Offset(origin_.X, origin_.Y).Intersect(clip_);
  for (int y = area.Top; y < area.Bottom; ++y) {
    std::uint32_t* row = buffer_.Row(y);
    for (int x = area.Left; x < area.Right; ++x) row[x] = argb;
  }
}

void TCanvas::FrameRect(const TRect& R, TColor Color) {
  if (R.IsEmpty()) return;
  FillRect({R.Left, R.Top, R.Right, R.Top + 1}, Color);
  FillRect({R.Left, R.Bottom - 1, R.Right, R.Bottom}, Color);
  FillRect({R.Left, R.Top, R.Left + 1, R.Bottom}, Color);
  FillRect({R.Right - 1, R.Top, R.Right, R.Bottom}, Color);
}

void TCanvas::plot(int x, int y, std::uint32_t argb) {
  const TPoint p{x + origin_.X, y + origin_.Y};
  if (clip_.Contains(p)) buffer_.Row(p.Y)[p.X] = argb;
}

void TCanvas::DrawFocusRect(const TRect& R, TColor Color) {
  if (R.IsEmpty()) return;
  const std::uint32_t argb = ColorToArgb(Color);
  // Every other pixel of the outline, on a checkerboard so that the corners join.
  auto dot = [&](int x, int y) {
    if (((x + y) & 1) == 0) plot(x, y, argb);
  };
  for (int x = R.Left; x < R.Right; ++x) {
    dot(x, R.Top);
    dot(x, R.Bottom - 1);
  }
  for (int y = R.Top + 1; y < R.Bottom - 1; ++y) {
    dot(R.Left, y);
    dot(R.Right - 1, y);
  }
}

TCanvas::ClipGuard::ClipGuard(TCanvas& canvas, const TRect& r) : canvas_(canvas), saved_(canvas.clip_) {
  canvas_.clip_ = canvas_.clip_.Intersect(r.Offset(canvas.origin_.X, canvas.origin_.Y));
}

TCanvas::ClipGuard::~ClipGuard() { canvas_.clip_ = saved_; }

}  // namespace sib
