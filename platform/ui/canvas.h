// TCanvas: what a control paints on. A canvas is set up by the form for one control at a time: its
// origin is the control's top left corner and its clip the dirty part of the control, so that a
// control paints in its own coordinates and cannot paint outside itself.
//
// TFormBuffer is the form's image: premultiplied ARGB pixels of the client size.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/core/colors.h"
#include "platform/ui/font.h"
#include "platform/ui/form_host.h"
#include "platform/ui/geometry.h"

namespace sib {

class TFormBuffer {
 public:
  TFormBuffer(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  TImageView View() const { return TImageView{pixels_.data(), width_, height_, width_ * 4}; }
  std::uint32_t* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_); }

 private:
  int width_;
  int height_;
  std::vector<std::uint32_t> pixels_;
};

class TCanvas {
 public:
  // A canvas on `buffer` whose origin lies at `origin` of the buffer, clipped to `clip` (buffer
  // coordinates).
  TCanvas(TFormBuffer& buffer, TPoint origin, TRect clip);
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // The clip in the canvas's own coordinates.
  TRect ClipRect() const { return clip_.Offset(-origin_.X, -origin_.Y); }
  TPoint Origin() const { return origin_; }

  // Fills `R` (own coordinates) with an opaque colour (system colours resolved).
  void FillRect(const TRect& R, TColor Color);
  // The one-pixel outline of `R`.
  void FrameRect(const TRect& R, TColor Color);
  // A dotted outline one pixel wide, every other pixel, as focus rectangles are drawn.
  void DrawFocusRect(const TRect& R, TColor Color);

  // Narrows the clip to `R` (own coordinates) until the returned guard goes.
  class ClipGuard {
   public:
    ClipGuard(TCanvas& canvas, const TRect& r);
    ~ClipGuard();
    ClipGuard(const ClipGuard&) = delete;
    ClipGuard& operator=(const ClipGuard&) = delete;

   private:
    TCanvas& canvas_;
    TRect saved_;
  };

  TFormBuffer& Buffer() { return buffer_; }

 private:
  void plot(int x, int y, std::uint32_t argb);

  TFormBuffer& buffer_;
  TPoint origin_;
  TRect clip_;
};

// Opaque premultiplied ARGB of a colour (system colours resolved; clNone gives transparent).
std::uint32_t ColorToArgb(TColor Color);

}  // namespace sib
