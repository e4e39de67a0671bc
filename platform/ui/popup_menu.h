// TPopupMenu: a context menu drawn inside its form, over the other controls: a column of items, each a
// caption with an optional check mark, that a person chooses with the mouse or the keyboard.
//
//   menu->SetItems({{"First", true}, {"Second"}});
//   menu->OnChoose = [](int Index) { ... };
//   menu->Popup(*form, pointer, false);
//
// While it is open the menu is the form's popup (TForm::SetPopup): it holds the keyboard focus, a
// press anywhere in the form comes to it, and it closes on a press outside it, on Escape, and when the
// window loses the focus; the control that had the focus has it back. Keys: Up and Down move the
// highlight (wrapping round), Home and End go to the first and the last item, Enter and Space choose
// the highlighted one (as the key comes up, so that its release reaches no other control). With the mouse the item under the pointer is highlighted, and a release over
// an item chooses it. Choosing closes the menu first, then raises OnChoose with the item's index.
//
// Main thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/win_control.h"

namespace sib {

class TForm;

struct TPopupMenuItem {
  std::string Caption;
  bool Checked = false;
};

class TPopupMenu : public TCustomControl {
  SIB_CLASS(TPopupMenu, TCustomControl)
 public:
  explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;

  const std::vector<TPopupMenuItem>& Items() const { return FItems; }
  // Replaces the items; an open menu takes its new size at once.
  void SetItems(std::vector<TPopupMenuItem> Value);

  // Opens the menu on `Form` with its top left corner at `At` (form coordinates), moved left and up
  // as far as it must to lie inside the form. From the keyboard the first item is highlighted; from
  // the mouse none is until the pointer is over one. An open menu moves.
  void Popup(TForm& Form, TPoint At, bool FromKeyboard);
  // Closes the menu without choosing; nothing when it is closed.
  void CloseUp();
  bool IsOpen() const { return FOpen; }

  // The highlighted item; -1: none.
  int ItemIndex() const { return FItemIndex; }
  // An item's rectangle in the menu's own coordinates.
  TRect ItemRect(int Index) const;

  unsigned GetDialogCode() override;
  void KeyDown(TKey& Key, TShiftState Shift) override;
  void KeyUp(TKey& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseLeave() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // A screen reader's choice of an item chooses it, as Enter on it does.
  bool SelectAccessibleItem(int Index) override;

  // The colours of the highlighted item and of the frame; the menu's face is Color, its text Font.
  TColor HighlightColor = clHighlight;
  TColor HighlightTextColor = clHighlightText;
  TColor FrameColor = clBtnShadow;

  // Raised after the menu has closed, with the index of the chosen item.
  std::function<void(int)> OnChoose;

 protected:
  void Paint(TCanvas& Canvas) override;
  void VisibleChanged() override;
  // A menu of its items, each with its check mark; the highlighted one is the selected one.
  void DescribeAccessible(TAccessibleDescription& Description) const override;

 private:
  int ItemHeight() const;
  int ItemAt(int X, int Y) const;
  void Highlight(int Index);
  void Choose(int Index);
  TPoint MenuSize() const;
  void Close(bool RestoreFocus);

  std::vector<TPopupMenuItem> FItems;
  int FItemIndex = -1;
  bool FOpen = false;
  bool FClosing = false;
  TKey FChooseKey = 0;  // Enter or Space went down: the choice is made as it comes up
  TForm* FForm = nullptr;
  TWinControl* FFocusBefore = nullptr;  // the control to give the focus back to, while it lives
};

}  // namespace sib
