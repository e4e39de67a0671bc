// TCanvas: what a control paints on. The form sets one up per control while it paints: its origin
// is the control's top left corner and its clip the dirty part of the control, so that a control
// paints in its own coordinates and cannot paint outside itself. Graphics() gives the drawing layer
// (platform/graphics) for everything else; its state (transform, clip, smoothing) is the canvas's
// and comes back when the canvas goes. Coordinates are the drawing layer's: integers are pixel
// centres, and FillRect of (0, 0, W, H) covers exactly the W x H pixels of a control.
//
// TFormBuffer is the form's image: premultiplied ARGB pixels of the client size times the display's
// scale factor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/colors.h"
#include "platform/graphics/graphics.h"
#include "platform/ui/font.h"
#include "platform/ui/form_host.h"
#include "platform/ui/geometry.h"

namespace sib {

class TFormBuffer {
 public:
  // `width` x `height` client pixels drawn at `scale` device pixels each.
  TFormBuffer(int width, int height, double scale = 1.0);
  int Width() const { return width_; }
  int Height() const { return height_; }
  double Scale() const { return scale_; }
  int DeviceWidth() const { return deviceWidth_; }
  int DeviceHeight() const { return deviceHeight_; }
  TImageView View() const { return TImageView{pixels_.data(), deviceWidth_, deviceHeight_, deviceWidth_ * 4}; }
  std::uint32_t* Pixels() { return pixels_.data(); }

 private:
  int width_;
  int height_;
  double scale_;
  int deviceWidth_;
  int deviceHeight_;
  std::vector<std::uint32_t> pixels_;
};

// Text placement for TCanvas::DrawText.
enum class TextHAlign : std::uint8_t { Left, Center, Right };
enum class TextVAlign : std::uint8_t { Top, Center, Bottom };
enum class TextPrefix : std::uint8_t { None, Show, Hide };  // what '&' does

class TCanvas {
 public:
  // A canvas on `graphics`, whose coordinates are a form's client coordinates times `scale`: the
  // origin lies at `origin` and drawing is clipped to `clip` (both in client coordinates).
  TCanvas(gfx::Graphics& graphics, double scale, TPoint origin, TRect clip);
  // A canvas for a part of `parent`: origin moved by `offset`, clip `clip` (parent coordinates,
  // within the parent's clip).
  TCanvas(TCanvas& parent, TPoint offset, TRect clip);
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  gfx::Graphics& Graphics() { return graphics_; }
  // Device pixels per client pixel: what a control that keeps its face in a bitmap makes it at.
  double Scale() const { return scale_; }
  // The clip in the canvas's own coordinates.
  TRect ClipRect() const { return clip_.Offset(-origin_.X, -origin_.Y); }

  // Fills `R` with a colour (system colours resolved); clNone leaves it alone.
  void FillRect(const TRect& R, TColor Color);
  // The one-pixel outline just inside `R`.
  void FrameRect(const TRect& R, TColor Color);
  // A dotted one-pixel outline just inside `R`, every other pixel, as focus rectangles are drawn.
  void DrawFocusRect(const TRect& R, TColor Color);

  // Text in a control's font.
  TPoint TextExtent(const std::string& Text, const TFont& Font);
  void DrawText(const TRect& R, const std::string& Text, const TFont& Font, TextHAlign Align = TextHAlign::Left,
                TextVAlign Layout = TextVAlign::Top, TextPrefix Prefix = TextPrefix::None, bool WordWrap = false);

  // Narrows the clip to `R` (own coordinates) until the guard goes.
  class ClipGuard {
   public:
    ClipGuard(TCanvas& canvas, const TRect& r);
    ~ClipGuard();
    ClipGuard(const ClipGuard&) = delete;
    ClipGuard& operator=(const ClipGuard&) = delete;

   private:
    TCanvas& canvas_;
    TRect saved_;
    gfx::GraphicsState state_;
  };

 private:
  void applyState();

  gfx::Graphics& graphics_;
  double scale_;
  TPoint origin_;  // client coordinates
  TRect clip_;     // client coordinates
  gfx::GraphicsState saved_;
};

// The size of a one-line text in a font, as DrawText lays it out (with the '&' handling asked).
TPoint MeasureText(const std::string& Text, const TFont& Font, TextPrefix Prefix = TextPrefix::None);

// The drawing layer's colour of a TColor (system colours resolved; clNone is transparent).
gfx::Color ToGfxColor(TColor Color);
// The drawing layer's font for a control's font: the family by name, falling back to the
// desktop's sans-serif face when it is missing; the height in pixels.
gfx::Font ToGfxFont(const TFont& Font);

}  // namespace sib
