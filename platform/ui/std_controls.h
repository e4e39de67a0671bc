// The platform's plain controls: TButton, a neutral push button with a focus rectangle that clicks
// on a release inside, on Space (pressed while held, clicking at its release), on Enter and on its
// accelerator; and TLabel, a text on a transparent background that sizes itself to its text.
// Their painting follows from their state alone (button.Pressed(), button.Hot(), Focused()).
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/alignment.h"
#include "platform/ui/win_control.h"

namespace sib {

class TButton : public TCustomControl {
  SIB_CLASS(TButton, TCustomControl)
 public:
  explicit TButton(TComponent* AOwner);

  static TPropertyList PublishedProperties();

  const std::string& Caption() const { return Text(); }
  void SetCaption(const std::string& Value) { SetText(Value); }
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int Value) { FModalResult = Value; }

  // The face shows pressed: the left button went down on it and the pointer is inside, or Space is
  // held.
  bool Pressed() const { return (FMouseDown && MouseInClient()) || FSpaceDown; }
  // The pointer is over the button.
  bool Hot() const { return MouseInClient(); }

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void MouseCaptureLost() override;
  void KeyDown(TKey& Key, TShiftState Shift) override;
  void KeyUp(TKey& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void DoEnter() override;
  void DoExit() override;
  bool DialogChar(char32_t Char, TShiftState Shift) override;
  // Action 0, "click": clicks as Space does, when the button takes input.
  bool DoAccessibleAction(int Index) override;

 protected:
  void Paint(TCanvas& Canvas) override;
  // A push button named by its caption, pressed while held.
  void DescribeAccessible(TAccessibleDescription& Description) const override;

 private:
  int FModalResult = 0;
  bool FMouseDown = false;
  bool FSpaceDown = false;
};

class TLabel : public TGraphicControl {
  SIB_CLASS(TLabel, TGraphicControl)
 public:
  explicit TLabel(TComponent* AOwner);

  static TPropertyList PublishedProperties();
  void Loaded() override;

  const std::string& Caption() const { return Text(); }
  void SetCaption(const std::string& Value) { SetText(Value); }
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool Value);

  // The size of the text in the label's font (what AutoSize makes the label).
  TPoint TextSize() const;

 protected:
  void Paint(TCanvas& Canvas) override;
  // A label whose name and text are its caption.
  void DescribeAccessible(TAccessibleDescription& Description) const override;
  void FontChanged() override;
  void TextChanged() override;

 private:
  void AdjustBounds();

  bool FAutoSize = true;
  bool FTransparent = true;
  TAlignment FAlignment = taLeftJustify;
  TTextLayout FLayout = tlTop;
  bool FWordWrap = false;
  bool FShowAccelChar = true;
};

}  // namespace sib
