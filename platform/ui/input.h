// The vocabulary of input shared by the window host and the control tree: mouse buttons, the shift
// state, virtual key codes, cursors and the answers of the dialog-code query.
//
// Key codes are the window system's virtual keys (Enter 13, Space 32, arrows 37 to 40, letters and
// digits by their upper-case character), so that a key handler reads like the system's own; the host
// translates its native key symbols into them. Characters are delivered apart from keys, as the
// code of the character typed (Space 32, Enter 13, Backspace 8, Tab 9, Escape 27).
#pragma once

#include <cstdint>

#include "platform/components/type_info.h"

namespace sib {

enum TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };
SIB_ENUM_NAMES(TMouseButton, mbLeft, mbRight, mbMiddle)

// ssDouble marks the second press of a double click.
enum TShiftStateFlag : std::uint8_t { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
SIB_ENUM_NAMES(TShiftStateFlag, ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble)
using TShiftState = TSet<TShiftStateFlag>;

// The shift flag that stands for a held mouse button.
constexpr TShiftStateFlag ButtonShift(TMouseButton button) {
  return button == mbLeft ? ssLeft : button == mbRight ? ssRight : ssMiddle;
}

using TKey = std::uint16_t;

inline constexpr TKey VK_BACK = 8;
inline constexpr TKey VK_TAB = 9;
inline constexpr TKey VK_RETURN = 13;
inline constexpr TKey VK_SHIFT = 16;
inline constexpr TKey VK_CONTROL = 17;
inline constexpr TKey VK_MENU = 18;  // Alt
inline constexpr TKey VK_ESCAPE = 27;
inline constexpr TKey VK_SPACE = 32;
inline constexpr TKey VK_PRIOR = 33;  // Page Up
inline constexpr TKey VK_NEXT = 34;   // Page Down
inline constexpr TKey VK_END = 35;
inline constexpr TKey VK_HOME = 36;
inline constexpr TKey VK_LEFT = 37;
inline constexpr TKey VK_UP = 38;
inline constexpr TKey VK_RIGHT = 39;
inline constexpr TKey VK_DOWN = 40;
inline constexpr TKey VK_DELETE = 46;
inline constexpr TKey VK_APPS = 93;  // the Menu key, for a context menu
inline constexpr TKey VK_F1 = 112;
inline constexpr TKey VK_F10 = 121;

// Answers of the dialog-code query (TWinControl::GetDialogCode): which keys a focused control keeps
// for itself instead of letting the form use them for navigation.
inline constexpr unsigned DLGC_WANTARROWS = 0x0001;   // arrow keys
inline constexpr unsigned DLGC_WANTTAB = 0x0002;      // Tab
inline constexpr unsigned DLGC_WANTALLKEYS = 0x0004;  // Enter, Escape and the rest
inline constexpr unsigned DLGC_WANTCHARS = 0x0080;    // characters (no accelerators without Alt)

// Cursors, by the window system's numbers. A host shows at least the arrow and the hand; others it
// cannot show fall back to the arrow. crDefault on a control means "the parent's cursor".
using TCursor = std::int16_t;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crHandPoint = -21;

}  // namespace sib
