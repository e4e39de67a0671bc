// One form's SDL window (IFormWindow) and its tooltip windows. The form's image is copied into
// SDL's window surface with blending off and only the damaged rectangle is sent to the screen; an
// expose sends the surface again without asking the form to paint. A fixed-size window (bsSingle)
// is made not resizable, which tells the window manager to offer no maximise either, and is put
// back to its size if something resizes it all the same.
#pragma once

#include <SDL.h>

#include <memory>
#include <string>

#include "platform/ui/form_host.h"
#include "platform/ui/sdl_input.h"

namespace sib {

class SdlHost;

class SdlFormWindow final : public IFormWindow {
 public:
  SdlFormWindow(SdlHost& host, const TFormWindowParams& params, IFormWindowEvents& events);
  ~SdlFormWindow() override;
  SdlFormWindow(const SdlFormWindow&) = delete;
  SdlFormWindow& operator=(const SdlFormWindow&) = delete;

  double ScaleFactor() const override { return unitsPerClient_ * pixelsPerUnit_; }
  void SetCaption(const std::string& Caption) override;
  void SetClientSize(int Width, int Height) override;
  void SetIcon(const TImageView& Image) override;
  void Show() override;
  void Hide() override;
  void Present(const TImageView& Image, const TRect& Damaged) override;
  void SetCursor(TCursor Cursor) override;
  void SetCapture(bool On) override;
  void Activate() override;
  TPoint ClientOriginOnScreen() const override;
  std::unique_ptr<ITooltipWindow> CreateTooltip() override;

  SDL_Window* Native() const { return window_; }
  double UnitsPerClient() const { return unitsPerClient_; }
  double PixelsPerUnit() const { return pixelsPerUnit_; }
  std::uint32_t Id() const { return SDL_GetWindowID(window_); }
  IFormWindowEvents& Events() const { return events_; }
  bool Captured() const { return captured_; }
  bool ButtonsHeld() const { return input_.ButtonsHeld(); }

  // The host hands this window its SDL events.
  void Handle(const SDL_Event& event);
  // Ends the capture and tells the form it lost it (a modal box is about to open).
  void LoseCapture();

 private:
  void handleWindowEvent(const SDL_WindowEvent& window);
  void applySize();
  void measureDrawable();

  SdlHost& host_;
  IFormWindowEvents& events_;
  SdlInputTranslator input_;
  SDL_Window* window_ = nullptr;
  int clientWidth_;
  int clientHeight_;
  const bool resizable_;
  double unitsPerClient_ = 1.0;  // SDL window units per client pixel (the desktop scale on X11)
  double pixelsPerUnit_ = 1.0;   // SDL's high-DPI drawable pixels per window unit
  bool captured_ = false;
  bool presented_ = false;  // the window surface holds the form's whole image at the current size
  TCursor cursor_ = crDefault;
};

class SdlTooltip final : public ITooltipWindow {
 public:
  explicit SdlTooltip(SdlFormWindow& owner);
  ~SdlTooltip() override;
  SdlTooltip(const SdlTooltip&) = delete;
  SdlTooltip& operator=(const SdlTooltip&) = delete;

  // `Image` is at the owner's scale factor; `At` in the owner's client pixels.
  void Show(const TImageView& Image, TPoint At) override;
  void Hide() override;

 private:
  SdlFormWindow& owner_;
  SDL_Window* window_ = nullptr;
};

// Copies `area` (device pixels of `image`) into `target` at the same place, with blending off.
void BlitImage(const TImageView& image, const SDL_Rect& area, SDL_Surface* target);

}  // namespace sib
