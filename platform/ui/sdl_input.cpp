#include "platform/ui/sdl_input.h"

#include <cmath>

namespace sib {

std::optional<TKey> VirtualKeyOf(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<TKey>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<TKey>('0' + (key - SDLK_0));
  if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<TKey>(VK_F1 + (key - SDLK_F1));
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return static_cast<TKey>(0x61 + (key - SDLK_KP_1));  // VK_NUMPAD1..9
  switch (key) {
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT: return VK_MENU;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_INSERT: return TKey{45};
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_APPLICATION:
    case SDLK_MENU: return VK_APPS;
    case SDLK_KP_0: return TKey{0x60};
    case SDLK_KP_MULTIPLY: return TKey{0x6A};
    case SDLK_KP_PLUS: return TKey{0x6B};
    case SDLK_KP_MINUS: return TKey{0x6D};
    case SDLK_KP_PERIOD: return TKey{0x6E};
    case SDLK_KP_DIVIDE: return TKey{0x6F};
    default: return std::nullopt;
  }
}

std::optional<char32_t> ControlCharOf(SDL_Keycode key) {
  switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return U'\r';
    case SDLK_BACKSPACE: return U'\b';
    case SDLK_TAB: return U'\t';
    case SDLK_ESCAPE: return char32_t{27};
    default: return std::nullopt;
  }
}

TShiftState ShiftStateOf(std::uint16_t modifiers, std::uint32_t buttons) {
  TShiftState shift;
  if (modifiers & KMOD_SHIFT) shift.Include(ssShift);
  if (modifiers & KMOD_ALT) shift.Include(ssAlt);
  if (modifiers & KMOD_CTRL) shift.Include(ssCtrl);
  if (buttons & SDL_BUTTON_LMASK) shift.Include(ssLeft);
  if (buttons & SDL_BUTTON_RMASK) shift.Include(ssRight);
  if (buttons & SDL_BUTTON_MMASK) shift.Include(ssMiddle);
  return shift;
}

std::optional<TMouseButton> MouseButtonOf(std::uint8_t sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return mbLeft;
    case SDL_BUTTON_RIGHT: return mbRight;
    case SDL_BUTTON_MIDDLE: return mbMiddle;
    default: return std::nullopt;
  }
}

int WheelDeltaOf(const SDL_MouseWheelEvent& wheel) {
  const float notches = wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -wheel.preciseY : wheel.preciseY;
  return static_cast<int>(std::lround(notches * 120.0f));
}

std::vector<char32_t> DecodeUtf8(std::string_view text) {
  std::vector<char32_t> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) {
      ++i;
      continue;
    }
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    bool valid = true;
    for (int k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) valid = false;
      code = (code << 6) | (next & 0x3F);
    }
    if (valid) {
      out.push_back(code);
      i += static_cast<std::size_t>(length);
    } else {
      ++i;
    }
  }
  return out;
}

TPoint SdlInputTranslator::clientPoint(int x, int y) const {
  if (scale_ == 1.0) return {x, y};
  return {static_cast<int>(std::floor(x / scale_)), static_cast<int>(std::floor(y / scale_))};
}

bool SdlInputTranslator::Deliver(const SDL_Event& event) {
  switch (event.type) {
    case SDL_MOUSEMOTION:
      if (event.motion.which == SDL_TOUCH_MOUSEID) return true;
      events_.HostMouseMove(ShiftStateOf(SDL_GetModState(), buttons_), clientPoint(event.motion.x, event.motion.y));
      return true;
    case SDL_MOUSEBUTTONDOWN: {
      const auto button = MouseButtonOf(event.button.button);
      if (!button) return true;
      buttons_ |= SDL_BUTTON(event.button.button);
      TShiftState shift = ShiftStateOf(SDL_GetModState(), buttons_);
      const TPoint at = clientPoint(event.button.x, event.button.y);
      // Every second press of a run of quick clicks is a double click, as the window system counts.
      if (event.button.clicks >= 2 && event.button.clicks % 2 == 0)
        events_.HostDoubleClick(*button, shift.Include(ssDouble), at);
      else
        events_.HostMouseDown(*button, shift, at);
      return true;
    }
    case SDL_MOUSEBUTTONUP: {
      const auto button = MouseButtonOf(event.button.button);
      if (!button) return true;
      buttons_ &= ~SDL_BUTTON(event.button.button);
      events_.HostMouseUp(*button, ShiftStateOf(SDL_GetModState(), buttons_), clientPoint(event.button.x, event.button.y));
      return true;
    }
    case SDL_MOUSEWHEEL: {
      const int delta = WheelDeltaOf(event.wheel);
      if (delta != 0)
        events_.HostMouseWheel(ShiftStateOf(SDL_GetModState(), buttons_), delta,
                               clientPoint(event.wheel.mouseX, event.wheel.mouseY));
      return true;
    }
    case SDL_KEYDOWN: {
      const SDL_Keysym& key = event.key.keysym;
      const TShiftState shift = ShiftStateOf(key.mod, buttons_);
      if (const auto vk = VirtualKeyOf(key.sym)) events_.HostKeyDown(*vk, shift, event.key.repeat != 0);
      if (const auto control = ControlCharOf(key.sym)) events_.HostChar(*control, shift);
      return true;
    }
    case SDL_KEYUP: {
      const SDL_Keysym& key = event.key.keysym;
      if (const auto vk = VirtualKeyOf(key.sym)) events_.HostKeyUp(*vk, ShiftStateOf(key.mod, buttons_));
      return true;
    }
    case SDL_TEXTINPUT: {
      const TShiftState shift = ShiftStateOf(SDL_GetModState(), buttons_);
      for (char32_t c : DecodeUtf8(event.text.text)) events_.HostChar(c, shift);
      return true;
    }
    case SDL_WINDOWEVENT: return deliverWindowEvent(event.window);
    default: return false;
  }
}

bool SdlInputTranslator::deliverWindowEvent(const SDL_WindowEvent& window) {
  switch (window.event) {
    case SDL_WINDOWEVENT_LEAVE: events_.HostMouseLeave(); return true;
    case SDL_WINDOWEVENT_FOCUS_GAINED: events_.HostFocusIn(); return true;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      // Keys released elsewhere never come back as releases here; neither do buttons.
      events_.HostFocusOut();
      return true;
    case SDL_WINDOWEVENT_CLOSE: events_.HostCloseRequest(); return true;
    default: return false;
  }
}

}  // namespace sib
