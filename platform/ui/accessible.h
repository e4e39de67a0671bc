// What a control tells assistive technology (a screen reader, a magnifier, a test) about itself: its
// role, name, states, value and range, actions, items and text, as a plain description. Every control
// fills in its own (TControl::DescribeAccessible), beside its painting and input, and says when
// something it describes changed (TControl::AccessibleChanged); the form passes the news on to its
// listener, the desktop's accessibility bridge, which maps descriptions to the desktop's protocol and
// knows no control by name.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/components/type_info.h"

namespace sib {

class TControl;

// What kind of thing a control is, in the terms screen readers announce.
enum class TAccessibleRole : std::uint8_t {
  None,          // nothing to announce of its own: a container that only groups (a filler)
  Frame,         // a top-level window with a title
  Panel,         // a container that groups what it holds
  PushButton,    // does something when pressed
  ToggleButton,  // a button that stands for an on/off state (checked while on)
  Slider,        // chooses a number within a range
  ListBox,       // chooses one of its items
  ListItem,      // an item of a list box (not a control: see TAccessibleItem)
  Label,         // text that describes something or shows a reading
  Menu,          // a popup list of commands (a context menu)
  MenuItem,      // an item of a menu (not a control: see TAccessibleItem)
  CheckMenuItem, // an item of a menu that is on or off
};

enum TAccessibleState : std::uint8_t {
  asEnabled,     // takes input (it and every parent enabled)
  asVisible,     // visible itself
  asShowing,     // visible up to the form, and the form shown
  asFocusable,   // can take the keyboard focus
  asFocused,     // has the keyboard focus
  asCheckable,   // has an on/off state
  asChecked,     // is on
  asPressed,     // held down
  asSelectable,  // an item that can be chosen
  asSelected,    // the chosen item
  asActive,      // the window that has the keyboard
  asHorizontal,  // laid out from left to right (a slider)
};
using TAccessibleStates = TSet<TAccessibleState>;

// A number within a range, with the step a key press moves it by.
struct TAccessibleRange {
  double Value = 0;
  double Minimum = 0;
  double Maximum = 0;
  double Step = 0;

  bool operator==(const TAccessibleRange&) const = default;
};

// An item a control shows and lets choose, without a control of its own (a spinner's rows).
struct TAccessibleItem {
  std::string Name;
  bool Selected = false;
  bool Checkable = false;  // has an on/off state (a menu's check mark)
  bool Checked = false;

  bool operator==(const TAccessibleItem&) const = default;
};

// An action a control offers, as a screen reader lists it ("click", "press").
struct TAccessibleAction {
  std::string Name;
  std::string Description;

  bool operator==(const TAccessibleAction&) const = default;
};

struct TAccessibleDescription {
  TAccessibleRole Role = TAccessibleRole::None;
  std::string Name;  // what it is called, as read aloud: a caption without accelerator marks
  std::string Description;
  TAccessibleStates States;
  std::optional<TAccessibleRange> Range;  // a control that has a value
  std::vector<TAccessibleAction> Actions;
  std::vector<TAccessibleItem> Items;  // a control that chooses among items
  std::optional<std::string> Text;     // a control whose content is text (a readout)
  const TControl* LabelledBy = nullptr;

  bool operator==(const TAccessibleDescription&) const = default;
};

// The form's listener: told on the main thread that something a control describes has changed, or
// that the form gained or lost a control. It reads the descriptions again when it likes (soon after,
// not from inside the call: the control may be in the middle of its change).
class IAccessibleListener {
 public:
  virtual ~IAccessibleListener() = default;
  virtual void AccessibleChanged(TControl& Control) = 0;
};

// A caption as read aloud: '&' accelerator marks removed ("&&" stays a plain '&').
std::string AccessibleCaption(const std::string& Caption);

}  // namespace sib
