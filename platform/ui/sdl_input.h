// SDL's input vocabulary translated into the window system's (input.h): key symbols into virtual
// keys, modifier and button state into TShiftState, wheel motion into 120ths of a notch, and a
// window's SDL input events into calls on the form's IFormWindowEvents. No window is touched here,
// so a test drives the translation with hand-made SDL events.
#pragma once

#include <SDL.h>

#include <optional>
#include <string_view>
#include <vector>

#include "platform/ui/form_host.h"

namespace sib {

// The virtual key of an SDL key symbol; nullopt for keys the window system has no code for here.
std::optional<TKey> VirtualKeyOf(SDL_Keycode key);
// The character that a key sends beside the text input (Enter 13, Backspace 8, Tab 9, Escape 27).
std::optional<char32_t> ControlCharOf(SDL_Keycode key);
TShiftState ShiftStateOf(std::uint16_t modifiers, std::uint32_t buttons);
std::optional<TMouseButton> MouseButtonOf(std::uint8_t sdlButton);
// 120 per notch, negative when turned towards the user, whatever the device's direction setting.
int WheelDeltaOf(const SDL_MouseWheelEvent& wheel);
// The code points of UTF-8 text (invalid bytes are skipped).
std::vector<char32_t> DecodeUtf8(std::string_view text);

// Turns one window's SDL input events into form events. It follows the held mouse buttons itself,
// so that a press reports the buttons held after it and a release those still held, in event order.
// `scale` is window units per client pixel (2 when the host draws a 2x window on a display whose
// window units are pixels).
class SdlInputTranslator {
 public:
  explicit SdlInputTranslator(IFormWindowEvents& events) : events_(events) {}

  void SetScale(double windowUnitsPerClientPixel) { scale_ = windowUnitsPerClientPixel; }
  // Handles the input events (mouse, wheel, keys, text) and the window's focus, leave and close
  // events; returns false for everything else.
  bool Deliver(const SDL_Event& event);
  bool ButtonsHeld() const { return buttons_ != 0; }
  // The releases of the buttons held now will not be delivered (input dropped under a modal box).
  void ForgetButtons() { buttons_ = 0; }

 private:
  TPoint clientPoint(int x, int y) const;
  bool deliverWindowEvent(const SDL_WindowEvent& window);

  IFormWindowEvents& events_;
  double scale_ = 1.0;
  std::uint32_t buttons_ = 0;  // SDL_BUTTON masks
};

}  // namespace sib
