#include "platform/ui/sdl_host.h"

#include <X11/Xlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/core/errors.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/open_url.h"
#include "platform/ui/sdl_form_window.h"

namespace sib {
namespace {

class SdlClipboard : public ClipboardBackend {
 public:
  bool SetText(const std::string& utf8) override { return SDL_SetClipboardText(utf8.c_str()) == 0; }
  std::string Text() override {
    char* text = SDL_GetClipboardText();
    std::string result = text ? text : "";
    SDL_free(text);
    return result;
  }
  bool HasText() override { return SDL_HasClipboardText() == SDL_TRUE; }
};

// The window an SDL event is for; 0 for events that belong to no window.
std::uint32_t windowIdOf(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT: return event.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP: return event.key.windowID;
    case SDL_TEXTINPUT: return event.text.windowID;
    case SDL_TEXTEDITING: return event.edit.windowID;
    case SDL_MOUSEMOTION: return event.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return event.button.windowID;
    case SDL_MOUSEWHEEL: return event.wheel.windowID;
    default: return 0;
  }
}

std::string x11Resources() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return {};
  const char* resources = XResourceManagerString(display);
  std::string copy = resources ? resources : "";
  XCloseDisplay(display);
  return copy;
}

double measureDesktopScale() {
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* gdkScale = std::getenv("GDK_SCALE");
  if (!driver || std::strcmp(driver, "x11") != 0) return 1.0;
  return DesktopScaleFrom(x11Resources().c_str(), gdkScale);
}

SDL_SystemCursor systemCursorOf(TCursor cursor) {
  switch (cursor) {
    case crHandPoint: return SDL_SYSTEM_CURSOR_HAND;
    case crIBeam: return SDL_SYSTEM_CURSOR_IBEAM;
    case crCross: return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case crSizeNS: return SDL_SYSTEM_CURSOR_SIZENS;
    case crSizeWE: return SDL_SYSTEM_CURSOR_SIZEWE;
    case crHourGlass: return SDL_SYSTEM_CURSOR_WAIT;
    case crNo: return SDL_SYSTEM_CURSOR_NO;
    default: return SDL_SYSTEM_CURSOR_ARROW;
  }
}

}  // namespace

double DesktopScaleFrom(const char* resources, const char* gdkScale) {
  if (gdkScale && *gdkScale) {
    const int factor = std::atoi(gdkScale);
    if (factor >= 1) return factor;
  }
  if (!resources) return 1.0;
  const char* dpi = std::strstr(resources, "Xft.dpi:");
  // The key must start a line, not end a longer one.
  while (dpi && dpi != resources && dpi[-1] != '\n') dpi = std::strstr(dpi + 1, "Xft.dpi:");
  if (!dpi) return 1.0;
  const double value = std::strtod(dpi + std::strlen("Xft.dpi:"), nullptr);
  if (!(value > 0)) return 1.0;
  return std::max(1.0, std::round(value / 96.0 * 4.0) / 4.0);
}

SdlHost::SdlHost(Application& application) : application_(application) {
  // The program ends when its main form says so, not when SDL sees the last window close.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // Two presses a few pixels apart make a double click, as on the desktop, not 32 pixels apart.
  SDL_SetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_RADIUS, "4");
  // A click that activates the window is a click too, as on the desktop; without this SDL drops a
  // press that comes within 10 ms of the window getting the focus.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  // The window's pixels go to the X server as they are (shared memory), without SDL first starting
  // an OpenGL renderer to stretch a texture: that costs most of a second at start and copies twice.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // A small window must not turn the desktop's compositor off.
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    throw EOutOfResources(std::string("Cannot open the display: ") + SDL_GetError());
  desktopScale_ = measureDesktopScale();
  wait_ = std::make_shared<SdlMessageWait>(
      application_, [this](const SDL_Event& event) { dispatch(event); }, [this] { return !windows_.empty(); });
  application_.SetWait(wait_);
  SetClipboardBackend(std::make_shared<SdlClipboard>());
}

SdlHost::~SdlHost() {
  SetClipboardBackend(nullptr);
  application_.SetWait(nullptr);
  for (auto& [kind, cursor] : cursors_) SDL_FreeCursor(cursor);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

std::unique_ptr<IFormWindow> SdlHost::CreateFormWindow(const TFormWindowParams& Params, IFormWindowEvents& Events) {
  return std::make_unique<SdlFormWindow>(*this, Params, Events);
}

void SdlHost::dispatch(const SDL_Event& event) {
  if (const std::uint32_t id = windowIdOf(event)) {
    // Events of tooltips and of windows gone meanwhile find no form.
    auto found = windows_.find(id);
    if (found != windows_.end()) found->second->Handle(event);
    return;
  }
  if (event.type == SDL_QUIT) {
    // Only an interrupt or a termination signal sends it here: end the loop as the program's exit does.
    application_.Terminate();
    return;
  }
  if (observer_) observer_(event);
}

void SdlHost::MessageBox(const std::string& Caption, const std::string& Text, TMessageBoxKind Kind) {
  SDL_Window* parent = nullptr;
  for (auto& [id, window] : windows_) {
    window->LoseCapture();
    if (!parent || SDL_GetKeyboardFocus() == window->Native()) parent = window->Native();
  }
  const Uint32 flags = Kind == TMessageBoxKind::Error     ? SDL_MESSAGEBOX_ERROR
                       : Kind == TMessageBoxKind::Warning ? SDL_MESSAGEBOX_WARNING
                                                          : SDL_MESSAGEBOX_INFORMATION;
  const SDL_MessageBoxButtonData ok{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 1,
                                    "OK"};
  const SDL_MessageBoxData box{flags, parent, Caption.c_str(), Text.c_str(), 1, &ok, nullptr};
  // Errors and warnings also go to standard error, where a terminal or the session's log keeps them
  // after the box is gone; every text does when no box can be shown.
  const bool logged = Kind != TMessageBoxKind::Information;
  const auto log = [&] { std::fprintf(stderr, "%s: %s\n", Caption.c_str(), Text.c_str()); };
  if (logged) log();
  int pressed = 0;
  if (SDL_ShowMessageBox(&box, &pressed) != 0 && !logged) log();
  dropInput();
}

void SdlHost::dropInput() {
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_KEYDOWN, SDL_MULTIGESTURE);
}

void SdlHost::ShowLoopErrorsInMessageBoxes(std::string caption) {
  application_.SetExceptionHandler(
      [this, caption = std::move(caption)](const std::exception& error) { MessageBox(caption, error.what(), TMessageBoxKind::Error); });
}

void SdlHost::applyCursor(TCursor cursor) {
  if (cursor == crNone) {
    SDL_ShowCursor(SDL_DISABLE);
    return;
  }
  SDL_ShowCursor(SDL_ENABLE);
  const SDL_SystemCursor kind = systemCursorOf(cursor);
  auto found = cursors_.find(kind);
  if (found == cursors_.end()) found = cursors_.emplace(kind, SDL_CreateSystemCursor(kind)).first;
  if (found->second) SDL_SetCursor(found->second);
}

void SdlHost::OpenUrl(const std::string& Address) { sib::OpenUrl(Address); }

}  // namespace sib
