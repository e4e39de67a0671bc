// The window host over SDL2: one SDL window per shown form, tooltip windows, the cursor, the mouse
// capture, modal message boxes and the clipboard, with SDL's event queue as the message loop's wait
// (sdl_message_wait.h). Forms keep their 96-dpi client coordinates; on a scaled display the host
// makes the window ScaleFactor times larger, asks the form for an image of that many pixels and
// divides the pointer's coordinates back.
//
// Main thread only, like SDL's video functions. The host must outlive its windows; while it lives
// the application's loop waits in SDL.
#pragma once

#include <SDL.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/ui/application.h"
#include "platform/ui/form_host.h"
#include "platform/ui/sdl_message_wait.h"

namespace sib {

class SdlFormWindow;

class SdlHost final : public IFormHost {
 public:
  // Starts SDL's video; an EOutOfResources carries SDL's reason when there is no display.
  explicit SdlHost(Application& application = Application::Instance());
  ~SdlHost() override;
  SdlHost(const SdlHost&) = delete;
  SdlHost& operator=(const SdlHost&) = delete;

  std::unique_ptr<IFormWindow> CreateFormWindow(const TFormWindowParams& Params, IFormWindowEvents& Events) override;
  void MessageBox(const std::string& Caption, const std::string& Text, TMessageBoxKind Kind) override;
  // Opens the address in the desktop's default browser (open_url.h); the loop does not wait for it.
  void OpenUrl(const std::string& Address) override;

  // From now on every exception that escapes a handler of the loop is shown in an error box with
  // this caption, and the loop goes on.
  void ShowLoopErrorsInMessageBoxes(std::string caption);
  // Gets every SDL event that is not for a window of this host (audio devices coming and going).
  void SetEventObserver(std::function<void(const SDL_Event&)> observer) { observer_ = std::move(observer); }

  // Device pixels per client pixel for new windows: the desktop's scale (Xft.dpi / 96 on X11, in
  // steps of a quarter, GDK_SCALE when set), times what SDL's high-DPI drawable adds.
  double DesktopScale() const { return desktopScale_; }
  SdlMessageWait& Wait() { return *wait_; }
  Application& Owner() { return application_; }

 private:
  friend class SdlFormWindow;
  void dispatch(const SDL_Event& event);
  void dropInput();
  void applyCursor(TCursor cursor);

  Application& application_;
  std::shared_ptr<SdlMessageWait> wait_;
  std::map<std::uint32_t, SdlFormWindow*> windows_;  // by SDL window id
  std::function<void(const SDL_Event&)> observer_;
  double desktopScale_ = 1.0;
  std::map<SDL_SystemCursor, SDL_Cursor*> cursors_;
};

// The desktop's scale factor as X11 desktops publish it: the Xft.dpi resource (the string of the
// RESOURCE_MANAGER property) over 96, or an integer GDK_SCALE, rounded to a quarter and at least 1.
double DesktopScaleFrom(const char* resources, const char* gdkScale);

}  // namespace sib
