#include "platform/ui/sdl_form_window.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "platform/core/errors.h"
#include "platform/ui/sdl_host.h"

namespace sib {
namespace {

int scaled(int length, double scale) { return static_cast<int>(std::lround(length * scale)); }

// The device pixels that a client rectangle covers, clipped to `width` x `height`.
SDL_Rect deviceRect(const TRect& client, double scale, int width, int height) {
  const int left = std::clamp(static_cast<int>(std::floor(client.Left * scale)), 0, width);
  const int top = std::clamp(static_cast<int>(std::floor(client.Top * scale)), 0, height);
  const int right = std::clamp(static_cast<int>(std::ceil(client.Right * scale)), left, width);
  const int bottom = std::clamp(static_cast<int>(std::ceil(client.Bottom * scale)), top, height);
  return {left, top, right - left, bottom - top};
}

// SDL's surface over the form's pixels, without a copy. SDL reads it as ARGB8888, which is the
// premultiplied layout of a Cairo image surface on a little-endian machine.
struct WrappedImage {
  explicit WrappedImage(const TImageView& image)
      : surface(SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(image.Pixels), image.Width, image.Height, 32,
                                                   image.Stride, SDL_PIXELFORMAT_ARGB8888)) {
    if (surface) SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_NONE);
  }
  ~WrappedImage() { SDL_FreeSurface(surface); }
  WrappedImage(const WrappedImage&) = delete;
  WrappedImage& operator=(const WrappedImage&) = delete;
  SDL_Surface* surface;
};

// Window icons take straight alpha; the form's images are premultiplied.
std::vector<std::uint32_t> unpremultiplied(const TImageView& image) {
  std::vector<std::uint32_t> out(static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height));
  for (int y = 0; y < image.Height; ++y) {
    for (int x = 0; x < image.Width; ++x) {
      const std::uint32_t p = image.Pixel(x, y);
      const std::uint32_t a = p >> 24;
      std::uint32_t straight = 0;
      if (a == 255) {
        straight = p;
      } else if (a != 0) {
        auto channel = [&](int shift) { return std::min<std::uint32_t>(255, (((p >> shift) & 0xFF) * 255 + a / 2) / a); };
        straight = (a << 24) | (channel(16) << 16) | (channel(8) << 8) | channel(0);
      }
      out[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.Width) + static_cast<std::size_t>(x)] = straight;
    }
  }
  return out;
}

}  // namespace

void BlitImage(const TImageView& image, const SDL_Rect& area, SDL_Surface* target) {
  if (!target || area.w <= 0 || area.h <= 0) return;
  WrappedImage source(image);
  if (!source.surface) return;
  SDL_Rect from = area;
  SDL_Rect to = area;
  if (target->w == image.Width && target->h == image.Height) {
    SDL_BlitSurface(source.surface, &from, target, &to);
  } else {
    // SDL gave a framebuffer of another size than the drawable (a high-DPI driver without one).
    to = {area.x * target->w / image.Width, area.y * target->h / image.Height, area.w * target->w / image.Width,
          area.h * target->h / image.Height};
    SDL_BlitScaled(source.surface, &from, target, &to);
  }
}

SdlFormWindow::SdlFormWindow(SdlHost& host, const TFormWindowParams& params, IFormWindowEvents& events)
    : host_(host),
      events_(events),
      input_(events),
      clientWidth_(std::max(1, params.ClientWidth)),
      clientHeight_(std::max(1, params.ClientHeight)),
      resizable_(params.Resizable),
      unitsPerClient_(host.DesktopScale()) {
  Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
  if (resizable_) flags |= SDL_WINDOW_RESIZABLE;
  const int x = params.Centred ? SDL_WINDOWPOS_CENTERED : params.Left;
  const int y = params.Centred ? SDL_WINDOWPOS_CENTERED : params.Top;
  window_ = SDL_CreateWindow(params.Caption.c_str(), x, y, scaled(clientWidth_, unitsPerClient_),
                             scaled(clientHeight_, unitsPerClient_), flags);
  if (!window_) throw EOutOfResources(std::string("Cannot create a window: ") + SDL_GetError());
  input_.SetScale(unitsPerClient_);
  measureDrawable();
  host_.windows_[Id()] = this;
}

SdlFormWindow::~SdlFormWindow() {
  host_.windows_.erase(Id());
  if (captured_) SDL_CaptureMouse(SDL_FALSE);
  SDL_DestroyWindow(window_);
}

namespace {

// The name a taskbar shows (_NET_WM_NAME, UTF-8), set as given. SDL sets it only where Xlib can
// convert the title in the program's locale: under the C locale a title beyond ASCII would leave the
// taskbar with the old one.
void SetUtf8Name(SDL_Window* AWindow, const std::string& ATitle) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(AWindow, &info) || info.subsystem != SDL_SYSWM_X11) return;
  ::Display* display = info.info.x11.display;
  const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  XChangeProperty(display, info.info.x11.window, name, utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(ATitle.data()), static_cast<int>(ATitle.size()));
  XFlush(display);
}

}  // namespace

void SdlFormWindow::measureDrawable() {
  int units = 0;
  int pixels = 0;
  int unused = 0;
  SDL_GetWindowSize(window_, &units, &unused);
  SDL_GetWindowSizeInPixels(window_, &pixels, &unused);
  pixelsPerUnit_ = units > 0 && pixels > 0 ? static_cast<double>(pixels) / units : 1.0;
}

void SdlFormWindow::SetCaption(const std::string& Caption) {
  SDL_SetWindowTitle(window_, Caption.c_str());
  SetUtf8Name(window_, Caption);
}

void SdlFormWindow::SetClientSize(int Width, int Height) {
  clientWidth_ = std::max(1, Width);
  clientHeight_ = std::max(1, Height);
  applySize();
}

void SdlFormWindow::applySize() {
  presented_ = false;
  SDL_SetWindowSize(window_, scaled(clientWidth_, unitsPerClient_), scaled(clientHeight_, unitsPerClient_));
}

void SdlFormWindow::SetIcon(const TImageView& Image) {
  if (!Image.Pixels || Image.Width <= 0 || Image.Height <= 0) return;
  std::vector<std::uint32_t> straight = unpremultiplied(Image);
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(straight.data(), Image.Width, Image.Height, 32, Image.Width * 4,
                                                         SDL_PIXELFORMAT_ARGB8888);
  if (!icon) return;
  SDL_SetWindowIcon(window_, icon);  // SDL copies the pixels
  SDL_FreeSurface(icon);
}

void SdlFormWindow::Show() { SDL_ShowWindow(window_); }

void SdlFormWindow::Hide() { SDL_HideWindow(window_); }

void SdlFormWindow::Present(const TImageView& Image, const TRect& Damaged) {
  if (!Image.Pixels) return;
  SDL_Surface* target = SDL_GetWindowSurface(window_);
  if (!target) return;
  const SDL_Rect area = deviceRect(Damaged, ScaleFactor(), Image.Width, Image.Height);
  if (area.w <= 0 || area.h <= 0) return;
  BlitImage(Image, area, target);
  if (target->w == Image.Width && target->h == Image.Height) {
    SDL_UpdateWindowSurfaceRects(window_, &area, 1);
  } else {
    SDL_UpdateWindowSurface(window_);
  }
  if (area.x == 0 && area.y == 0 && area.w == Image.Width && area.h == Image.Height) presented_ = true;
}

void SdlFormWindow::SetCursor(TCursor Cursor) {
  cursor_ = Cursor;
  if (SDL_GetMouseFocus() == window_) host_.applyCursor(Cursor);
}

void SdlFormWindow::SetCapture(bool On) {
  if (On == captured_) return;
  captured_ = On;
  SDL_CaptureMouse(On ? SDL_TRUE : SDL_FALSE);  // refused without the mouse focus; SDL still follows a held button
}

void SdlFormWindow::LoseCapture() {
  const bool dragging = captured_ || input_.ButtonsHeld();
  if (captured_) SDL_CaptureMouse(SDL_FALSE);
  captured_ = false;
  input_.ForgetButtons();
  if (dragging) events_.HostCaptureLost();
}

void SdlFormWindow::Activate() { SDL_RaiseWindow(window_); }

TPoint SdlFormWindow::ClientOriginOnScreen() const {
  TPoint origin;
  SDL_GetWindowPosition(window_, &origin.X, &origin.Y);
  return origin;
}

std::unique_ptr<ITooltipWindow> SdlFormWindow::CreateTooltip() { return std::make_unique<SdlTooltip>(*this); }

void SdlFormWindow::Handle(const SDL_Event& event) {
  if (event.type == SDL_WINDOWEVENT) handleWindowEvent(event.window);
  input_.Deliver(event);
}

void SdlFormWindow::handleWindowEvent(const SDL_WindowEvent& window) {
  switch (window.event) {
    case SDL_WINDOWEVENT_EXPOSED:
      // SDL keeps the window's pixels; only a window that has not been shown at its size asks the form.
      if (presented_)
        SDL_UpdateWindowSurface(window_);
      else
        events_.HostExposed();
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      presented_ = false;
      if (!resizable_ && (window.data1 != scaled(clientWidth_, unitsPerClient_) ||
                          window.data2 != scaled(clientHeight_, unitsPerClient_))) {
        applySize();
      }
      events_.HostExposed();
      break;
    case SDL_WINDOWEVENT_DISPLAY_CHANGED: {
      const double before = ScaleFactor();
      measureDrawable();
      if (ScaleFactor() != before) {
        presented_ = false;
        events_.HostScaleChanged();
      }
      break;
    }
    case SDL_WINDOWEVENT_ENTER: host_.applyCursor(cursor_); break;
    default: break;
  }
}

SdlTooltip::SdlTooltip(SdlFormWindow& owner) : owner_(owner) {
  window_ = SDL_CreateWindow("", 0, 0, 1, 1,
                             SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_TOOLTIP | SDL_WINDOW_ALWAYS_ON_TOP |
                                 SDL_WINDOW_SKIP_TASKBAR | SDL_WINDOW_ALLOW_HIGHDPI);
}

SdlTooltip::~SdlTooltip() {
  if (window_) SDL_DestroyWindow(window_);
}

void SdlTooltip::Show(const TImageView& Image, TPoint At) {
  if (!window_ || !Image.Pixels || Image.Width <= 0 || Image.Height <= 0) return;
  int ownerX = 0;
  int ownerY = 0;
  SDL_GetWindowPosition(owner_.Native(), &ownerX, &ownerY);
  const double unitsPerClient = owner_.UnitsPerClient();
  const double unitsPerPixel = 1.0 / owner_.PixelsPerUnit();
  SDL_SetWindowPosition(window_, ownerX + scaled(At.X, unitsPerClient), ownerY + scaled(At.Y, unitsPerClient));
  SDL_SetWindowSize(window_, scaled(Image.Width, unitsPerPixel), scaled(Image.Height, unitsPerPixel));
  SDL_ShowWindow(window_);
  SDL_Surface* target = SDL_GetWindowSurface(window_);
  if (!target) return;
  BlitImage(Image, SDL_Rect{0, 0, Image.Width, Image.Height}, target);
  SDL_UpdateWindowSurface(window_);
}

void SdlTooltip::Hide() {
  if (window_) SDL_HideWindow(window_);
}

}  // namespace sib
