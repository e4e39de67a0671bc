// A stand-in for a form in the host's tests: it records what the host delivers, as short lines a
// failure message shows, and paints a fixed picture (borders, a gradient, text) into a Cairo image
// at the window's scale factor, which it presents when the host asks.
#pragma once

#include <cairo.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/form_host.h"

namespace sib::test {

class TestForm : public IFormWindowEvents {
 public:
  TestForm(int width, int height) : width_(width), height_(height) {}
  ~TestForm() override;

  // Renders the picture at `scale` device pixels per client pixel.
  void Render(double scale);
  TImageView Image() const;
  void PresentAll(IFormWindow& window) { window.Present(Image(), TRect::FromSize(0, 0, width_, height_)); }

  void HostMouseDown(TMouseButton Button, TShiftState Shift, TPoint At) override;
  void HostDoubleClick(TMouseButton Button, TShiftState Shift, TPoint At) override;
  void HostMouseUp(TMouseButton Button, TShiftState Shift, TPoint At) override;
  void HostMouseMove(TShiftState Shift, TPoint At) override;
  void HostMouseWheel(TShiftState Shift, int WheelDelta, TPoint At) override;
  void HostMouseLeave() override { log("leave"); }
  void HostKeyDown(TKey Key, TShiftState Shift, bool Repeat) override;
  void HostKeyUp(TKey Key, TShiftState Shift) override;
  void HostChar(char32_t Char, TShiftState Shift) override;
  void HostFocusIn() override { log("focus in"); }
  void HostFocusOut() override { log("focus out"); }
  void HostCaptureLost() override { log("capture lost"); }
  void HostCloseRequest() override { log("close"); }
  void HostExposed() override;
  void HostScaleChanged() override { log("scale changed"); }

  // Everything delivered, in order; moves are logged as "move x,y [held buttons]".
  std::vector<std::string> Log;
  // Lines without the moves, for tests about presses and keys.
  std::vector<std::string> WithoutMoves() const;
  bool Saw(const std::string& line) const;
  std::function<void()> OnMouseDown;  // runs after a press is logged
  IFormWindow* Window = nullptr;      // presented to on HostExposed when set

 private:
  void log(std::string line) { Log.push_back(std::move(line)); }

  int width_;
  int height_;
  cairo_surface_t* surface_ = nullptr;
};

std::string ShiftText(TShiftState shift);

// A fixed-size window centred on the desktop, as the main form asks for one.
TFormWindowParams FixedCentred(const std::string& caption, int width, int height);

}  // namespace sib::test
