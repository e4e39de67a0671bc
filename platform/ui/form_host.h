// The boundary between the control tree and a real window system. A host (the SDL2 one, or the
// headless one of headless_host.h) makes one native window per shown form and a tooltip window on
// request, shows what the form has painted, sets the cursor and the mouse capture, runs modal
// message boxes, and delivers the window's input to the form through IFormWindowEvents.
//
// The form paints into an image of its own (premultiplied 32-bit ARGB, the layout of a Cairo image
// surface) and tells the host which rectangle changed; the host copies that part to the screen.
// On a scaled display the form keeps its client coordinates (96 pixels per inch) and renders its
// image at ScaleFactor times the client size, so that text and lines stay crisp; rectangles passed
// across this boundary are always in client coordinates, and the host scales them.
// Everything here runs on the main thread, the thread of the application's message loop.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/geometry.h"
#include "platform/ui/input.h"

namespace sib {

// A view of pixels owned by someone else: premultiplied ARGB, one std::uint32_t per pixel, rows
// `Stride` bytes apart. Valid only during the call it is passed to.
struct TImageView {
  const std::uint32_t* Pixels = nullptr;
  int Width = 0;
  int Height = 0;
  int Stride = 0;

  std::uint32_t Pixel(int x, int y) const {
    return *reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(Pixels) +
                                                   static_cast<std::ptrdiff_t>(y) * Stride + std::ptrdiff_t{4} * x);
  }
};

// How a form asks for its window.
struct TFormWindowParams {
  std::string Caption;
  int ClientWidth = 0;
  int ClientHeight = 0;
  bool Resizable = true;      // false: the user cannot change the size (bsSingle)
  bool MinimizeBox = true;    // the border icons
  bool MaximizeBox = true;
  bool Centred = false;       // placed in the middle of the desktop (poDesktopCenter)
  int Left = 0;               // otherwise placed here, in desktop pixels, when the host allows it
  int Top = 0;
};

// What a host delivers to the form of a window. Coordinates are the window's client pixels.
class IFormWindowEvents {
 public:
  virtual ~IFormWindowEvents() = default;

  // A press; `Shift` holds the modifiers and the buttons held down after the press.
  virtual void HostMouseDown(TMouseButton Button, TShiftState Shift, TPoint At) = 0;
  // The second press of a double click (the host's own double-click time and distance decide),
  // delivered instead of HostMouseDown.
  virtual void HostDoubleClick(TMouseButton Button, TShiftState Shift, TPoint At) = 0;
  virtual void HostMouseUp(TMouseButton Button, TShiftState Shift, TPoint At) = 0;
  virtual void HostMouseMove(TShiftState Shift, TPoint At) = 0;
  // `WheelDelta` in the window system's units: 120 per notch, negative when turned towards the user.
  virtual void HostMouseWheel(TShiftState Shift, int WheelDelta, TPoint At) = 0;
  // The pointer left the client area. While the form holds the capture the form keeps following
  // the pointer's moves and ignores this; it finds the pointer outside at the release.
  virtual void HostMouseLeave() = 0;
  // A key went down; `Repeat` marks the automatic repeats of a held key.
  virtual void HostKeyDown(TKey Key, TShiftState Shift, bool Repeat) = 0;
  virtual void HostKeyUp(TKey Key, TShiftState Shift) = 0;
  // A character typed, after its key's HostKeyDown: text input, plus 13 for Enter, 8 for
  // Backspace, 9 for Tab and 27 for Escape. `Shift` tells Alt-combinations apart.
  virtual void HostChar(char32_t Char, TShiftState Shift) = 0;
  // The window gained or lost the keyboard focus.
  virtual void HostFocusIn() = 0;
  virtual void HostFocusOut() = 0;
  // The native capture ended without the form asking (another window took the pointer).
  virtual void HostCaptureLost() = 0;
  // The user asked to close the window (the close box, Alt+F4).
  virtual void HostCloseRequest() = 0;
  // The host lost what it showed and wants the whole image presented again.
  virtual void HostExposed() = 0;
  // The window moved to a display of another scale factor (IFormWindow::ScaleFactor).
  virtual void HostScaleChanged() = 0;
};

// A tooltip: a small undecorated topmost window showing an image the form rendered.
class ITooltipWindow {
 public:
  virtual ~ITooltipWindow() = default;
  // Shows the image with its top-left corner at `At` (client pixels of the owning form's window), or
  // replaces image and place when already shown.
  virtual void Show(const TImageView& Image, TPoint At) = 0;
  virtual void Hide() = 0;
};

// One native window of a form.
class IFormWindow {
 public:
  virtual ~IFormWindow() = default;

  // Device pixels per client pixel: 1.0 normally, 2.0 on a display scaled twice.
  virtual double ScaleFactor() const = 0;
  virtual void SetCaption(const std::string& Caption) = 0;
  virtual void SetClientSize(int Width, int Height) = 0;
  // The icon as the largest image the form has for it.
  virtual void SetIcon(const TImageView& Image) = 0;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  // Copies the part `Damaged` (client coordinates) of `Image` (the form's whole client image, at
  // ScaleFactor times the client size) to the screen.
  virtual void Present(const TImageView& Image, const TRect& Damaged) = 0;
  virtual void SetCursor(TCursor Cursor) = 0;
  // While on, the pointer's input goes to this window even outside it.
  virtual void SetCapture(bool On) = 0;
  // Keyboard focus to this window.
  virtual void Activate() = 0;
  // Where the client area's top-left corner lies on the screen, in the screen's pixels; (0, 0) when
  // the window system does not tell.
  virtual TPoint ClientOriginOnScreen() const { return {0, 0}; }
  virtual std::unique_ptr<ITooltipWindow> CreateTooltip() = 0;
};

enum class TMessageBoxKind : std::uint8_t { Information, Warning, Error };

// The window system.
class IFormHost {
 public:
  virtual ~IFormHost() = default;
  // The window of a form; `Events` outlives it.
  virtual std::unique_ptr<IFormWindow> CreateFormWindow(const TFormWindowParams& Params, IFormWindowEvents& Events) = 0;
  // A modal message box with one OK button; returns when the user has closed it. The message loop
  // does not run meanwhile. Before it opens, the host sends HostCaptureLost to a form that holds the
  // capture; input that arrives while it is open is dropped.
  virtual void MessageBox(const std::string& Caption, const std::string& Text, TMessageBoxKind Kind) = 0;
  // Opens an address (a web page) in the desktop's default application for it, without waiting;
  // what happens then is the desktop's affair.
  virtual void OpenUrl(const std::string& Address) = 0;
  // The pixels per inch of the screen (96 when the host cannot tell).
  virtual int ScreenPixelsPerInch() { return 96; }
};

}  // namespace sib
