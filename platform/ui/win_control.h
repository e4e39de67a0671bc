// Windowed controls: TWinControl holds child controls, can take the keyboard focus and receives
// keys; TCustomControl is the base of windowed controls that paint themselves.
//
// Children lie in creation order: the later above the earlier. Their tab order is a separate order
// among the windowed children of one parent (TabOrder 0, 1, ...); Tab visits the windowed controls
// of a form depth first in that order, a parent before its children, stopping at those that have
// TabStop and can take the focus (showing and enabled up to the form).
//
// Keys go to the focused control: KeyDown and KeyUp for keys (with repeats while a key is held),
// KeyPress for characters. Before a key reaches the control, the form uses Tab, Shift+Tab and the
// arrow keys to move the focus, unless the control's GetDialogCode asks for them.
#pragma once

#include <vector>

#include "platform/ui/control.h"

namespace sib {

using TKeyEvent = TEvent<TObject*, TKey&, TShiftState>;
using TKeyPressEvent = TEvent<TObject*, char32_t&>;

class TWinControl : public TControl {
  SIB_CLASS(TWinControl, TControl)
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  static TPropertyList PublishedProperties();

  void BeforeDestruction() override;
  void Loaded() override;

  // Children in creation order (painting order: the last lies on top).
  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int Index) const { return FControls.at(static_cast<std::size_t>(Index)); }
  // The visible, enabled-or-not child at `P` (client coordinates), topmost first; nullptr: none.
  TControl* ControlAtPos(TPoint P) const;

  // --- Focus ------------------------------------------------------------------------------------
  int TabOrder() const { return FTabOrder; }
  // Moves the control to place `Value` among its parent's windowed children (clamped), renumbering
  // the others. While loading the number is kept as given and sorted out when loading ends.
  void SetTabOrder(int Value);
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool Value) { FTabStop = Value; }
  // Showing and enabled up to the form (and on one).
  virtual bool CanFocus() const;
  bool Focused() const;
  // Makes this control the form's focused control. Raises EInvalidOperation "Cannot focus a disabled
  // or invisible window" when CanFocus is false.
  virtual void SetFocus();
  // The windowed children in tab order.
  std::vector<TWinControl*> TabList() const;
  // Every windowed control inside this one, depth first in tab order (a parent before its children).
  void GetTabOrderList(std::vector<TWinControl*>& List) const;
  // The next (or previous) control after `CurControl` among this control's tab order list that has
  // TabStop (when `CheckTabStop`) and can take the focus, wrapping around; nullptr: none.
  TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent) const;
  // Focuses the control FindNextControl names.
  void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);

  // The keys the control keeps when focused (DLGC_* of input.h); the base keeps none.
  virtual unsigned GetDialogCode() { return 0; }

  bool DoubleBuffered() const { return FDoubleBuffered; }
  void SetDoubleBuffered(bool Value) { FDoubleBuffered = Value; }
  bool ParentBackground() const { return FParentBackground; }
  void SetParentBackground(bool Value);

  // Keys and characters, as the form delivers them to the focused control; each raises its event.
  // Setting Key to 0 ends the key's handling.
  virtual void KeyDown(TKey& Key, TShiftState Shift);
  virtual void KeyUp(TKey& Key, TShiftState Shift);
  virtual void KeyPress(char32_t& Key);
  // The focus arrived or left.
  virtual void DoEnter();
  virtual void DoExit();

  // Re-aligns the children whose Align is not alNone.
  void Realign();
  // Broadcasts an accelerator to the showing, enabled controls inside, depth first: true when one
  // took it.
  bool BroadcastDialogChar(char32_t Char, TShiftState Shift);

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

 protected:
  friend class TControl;
  friend class TForm;

  virtual void AlignControls(TRect& Rect);
  void PaintTree(TCanvas& Canvas, const TRect& Dirty) override;
  // Adds focusable (a tab stop) and focused.
  void DescribeAccessible(TAccessibleDescription& Description) const override;
  void EnabledChanged() override;
  void VisibleChanged() override;
  void FontChanged() override;
  void ColorChanged() override;
  void ParentShowHintChangedInChildren() override;
  void Resize() override;

 private:
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  void NormaliseTabOrder();

  std::vector<TControl*> FControls;
  int FTabOrder = -1;
  bool FTabStop = false;
  bool FDoubleBuffered = false;
  bool FParentBackground = true;
  int FAligning = 0;
};

// A windowed control that paints itself (Paint).
class TCustomControl : public TWinControl {
  SIB_CLASS(TCustomControl, TWinControl)
 public:
  explicit TCustomControl(TComponent* AOwner);
};

}  // namespace sib
