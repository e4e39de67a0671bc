// The control tree: TControl, the base of everything a form shows, and TGraphicControl, a control
// without children that paints on its parent's surface and never takes the focus. Windowed controls
// (children, focus, keys) are in win_control.h, forms in form.h.
//
// A control has bounds in its parent's client coordinates and paints in its own (0, 0 is its top
// left corner). Painting happens only for what is dirty: Invalidate marks the control's rectangle in
// its form, and the form later repaints the dirty part, ancestors first and children in creation
// order (later children lie above), each clipped to its bounds. Since every ancestor paints under a
// child, a control that leaves pixels untouched (rounded corners, translucency) shows its parent's
// background there; and since the form paints into an image of its own that the host shows in one
// go, every control is double-buffered.
//
// Input reaches a control through the virtual handlers below (MouseDown, MouseMove, Click, ...),
// which raise the published events; the form decides which control gets what (form.h tells how).
// Painting must not change state: Paint draws what the state says, nothing else.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/components/component.h"
#include "platform/ui/accessible.h"
#include "platform/core/colors.h"
#include "platform/ui/font.h"
#include "platform/ui/geometry.h"
#include "platform/ui/input.h"

namespace sib {

class TCanvas;
class TWinControl;
class TForm;
class MessageWindow;

enum TAlign : std::uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
SIB_ENUM_NAMES(TAlign, alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom)

// What a control does by itself.
enum TControlStyleFlag : std::uint8_t {
  csAcceptsControls,  // may hold child controls
  csCaptureMouse,     // takes the mouse capture while a button is held
  csClickEvents,      // a left press and release inside raise Click
  csDoubleClicks,     // the second press of a double click raises DblClick
  csOpaque,           // paints every pixel of its rectangle: what lies under it is not painted
  csSetCaption,       // takes its Name as caption when named and the caption was the old name
};
SIB_ENUM_NAMES(TControlStyleFlag, csAcceptsControls, csCaptureMouse, csClickEvents, csDoubleClicks, csOpaque,
               csSetCaption)
using TControlStyle = TSet<TControlStyleFlag>;

using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = TEvent<TObject*, TShiftState, int, int>;
using TMouseWheelEvent = TEvent<TObject*, TShiftState, int, TPoint, bool&>;

class TControl : public TComponent {
  SIB_CLASS(TControl, TComponent)
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  static TPropertyList PublishedProperties();

  void BeforeDestruction() override;
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* Value) override;
  void SetName(const std::string& NewName) override;
  void Loaded() override;

  // --- Tree and geometry ------------------------------------------------------------------------
  TWinControl* Parent() const { return FParent; }
  // Moves the control to another parent (nullptr: out of the tree). The control goes last among
  // the new parent's children, so it lies above them.
  virtual void SetParent(TWinControl* AParent);
  // The form the control is on, or nullptr.
  TForm* GetParentForm() const;

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
  void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
  void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
  void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
  // Negative sizes become 0. A change repaints the old and the new place and calls Resize when the
  // size changed; the parent then re-aligns its children.
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  TRect BoundsRect() const { return TRect::FromSize(FLeft, FTop, FWidth, FHeight); }
  // The control's own area in its own coordinates.
  virtual TRect ClientRect() const { return TRect::FromSize(0, 0, FWidth, FHeight); }
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }
  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign Value);

  // Between the control's own coordinates and its form's client coordinates.
  TPoint ClientToForm(TPoint P) const;
  TPoint FormToClient(TPoint P) const;

  // --- State ------------------------------------------------------------------------------------
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and so is every parent up to the form.
  bool Showing() const;
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  // Enabled, and so is every parent: a control that is not gets no input.
  bool EnabledInTree() const;

  TControlStyle ControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle Value) { FControlStyle = Value; }

  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool Value);

  // The control's font. While ParentFont is set the font follows the parent's; a change made to the
  // font itself clears ParentFont.
  TFont* Font() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool Value);

  // The text the control shows: a button's or label's caption, a form's title. An '&' marks the
  // next character as the accelerator ("&&" is a plain '&').
  const std::string& Text() const { return FText; }
  void SetText(const std::string& Value);

  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& Value) { FHint = Value; }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value);
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool Value);

  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value);

  // True while the pointer is over the control (between MouseEnter and MouseLeave).
  bool MouseInClient() const { return FMouseInClient; }
  // The control holds the mouse: moves and releases come to it wherever the pointer is.
  bool MouseCapture() const;
  void SetMouseCapture(bool Value);

  // --- Painting ---------------------------------------------------------------------------------
  // Marks the whole control (or a rectangle of it, in its own coordinates) for repainting. Nothing
  // happens while the control is not showing or not on a form.
  virtual void Invalidate();
  void InvalidateRect(const TRect& R);
  // Paints what is dirty in the control's form now.
  void Update();
  void Repaint() {
    Invalidate();
    Update();
  }
  // How many times Paint has run on this control.
  std::uint64_t PaintCount() const { return FPaintCount; }

  // --- Timers -----------------------------------------------------------------------------------
  // A timer of the control's own: Timer(Id) runs on the main thread every `IntervalMs` (at least
  // 10 ms) until KillTimer. Setting a running timer again re-arms it. Raises EOutOfResources when
  // the message loop refuses the timer. The control's timers die with it.
  void SetTimer(std::uint32_t Id, std::uint32_t IntervalMs);
  void KillTimer(std::uint32_t Id);

  // --- Hints ------------------------------------------------------------------------------------
  // Hides the hint shown for the pointer's control and starts waiting for the pointer to rest again.
  void CancelHint();

  // --- Input, as the form delivers it (public so that tests and hosts can drive a control) ------
  // Each raises the event of the same name; overrides call the inherited version where they want
  // the event.
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  // The second press of a double click, for a control with csDoubleClicks: the base raises DblClick,
  // then MouseDown with ssDouble in Shift.
  virtual void DoubleClick(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void Click();
  virtual void DblClick();
  // The pointer entered or left the control (a child's area counts as the control's).
  virtual void MouseEnter();
  virtual void MouseLeave();
  // The capture ended before the button was released (a modal box opened, another window took the
  // pointer, the control was hidden or disabled): the drag is over and no MouseUp follows.
  // MouseLeave has been sent first.
  virtual void MouseCaptureLost() {}
  // The wheel, `WheelDelta` 120 per notch and negative towards the user; `MousePos` in the
  // control's coordinates. Returns whether the control used it; an unused turn goes to the parent.
  virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
  // The hint text for the pointer at `P`; false: no hint here. The base gives Hint when not empty.
  virtual bool GetHintText(TPoint P, std::string& HintText);
  // A character typed while the focused control left it (an accelerator): true when taken.
  virtual bool DialogChar(char32_t Char, TShiftState Shift);
  // The accelerator character of Text, lower-cased ASCII; 0 when it has none.
  char32_t Accelerator() const;

  // --- Accessibility (accessible.h) -----------------------------------------------------------
  // The control as assistive technology reads it: what DescribeAccessible says, with the labelling
  // control (AccessibleLabel) filled in, and its name when the control has none of its own.
  TAccessibleDescription Accessible() const;
  // The control that labels this one (a caption beside it); nullptr: none. Forgotten when it dies.
  TControl* AccessibleLabel() const { return FAccessibleLabel; }
  void SetAccessibleLabel(TControl* Value);
  // Requests of assistive technology, carried out as the user's input would be. Each returns false,
  // changing nothing, when the request is not possible: no such action or item, a value that is no
  // number or lies outside the range, a control that takes no input now. The base takes none.
  virtual bool DoAccessibleAction(int Index);
  virtual bool SetAccessibleValue(double Value);
  virtual bool SelectAccessibleItem(int Index);
  // Tells the form's accessibility listener, if any, that something the control describes changed.
  // Costs a pointer test when nobody listens.
  void AccessibleChanged();

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TMouseWheelEvent OnMouseWheel;
  TNotifyEvent OnResize;

 protected:
  friend class TWinControl;
  friend class TForm;

  // Paints the control on `Canvas`, whose origin is the control's top left corner and whose clip
  // is the dirty part of the control. The base paints nothing.
  virtual void Paint(TCanvas& Canvas);
  virtual void Resize();
  virtual void Timer(std::uint32_t /*Id*/) {}
  // Notifications of the control's own changes; overrides call the inherited version.
  virtual void EnabledChanged();
  virtual void VisibleChanged();
  virtual void FontChanged();
  virtual void ColorChanged();
  virtual void TextChanged();
  // The parent's font, colour or hint setting changed: follow it where the Parent* flag says so.
  virtual void ParentFontChanged();
  virtual void ParentColorChanged();
  virtual void ParentShowHintChanged();
  // ShowHint changed: children that follow it take it over.
  virtual void ParentShowHintChangedInChildren();

  // Fills in the control's description. The base: no role, the text as name, the states every
  // control has (enabled, visible, showing); overrides call it first and add their own.
  virtual void DescribeAccessible(TAccessibleDescription& Description) const;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // Paints the control and then what it holds; the canvas is set up for the control already.
  virtual void PaintTree(TCanvas& Canvas, const TRect& Dirty);
  bool Loading() const { return ComponentState().Contains(csLoading); }

 private:
  void FontOnChange(TObject* Sender);
  void EnsureTimerWindow();
  bool IsColorStored() const;
  bool IsFontStored() const;
  bool IsShowHintStored() const;

  TWinControl* FParent = nullptr;
  int FLeft = 0;
  int FTop = 0;
  int FWidth = 0;
  int FHeight = 0;
  TAlign FAlign = alNone;
  bool FVisible = true;
  bool FEnabled = true;
  TControlStyle FControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  TColor FColor = clBtnFace;
  bool FParentColor = false;
  std::unique_ptr<TFont> FFont;
  bool FParentFont = true;
  bool FCopyingFont = false;
  std::string FText;
  std::string FHint;
  bool FShowHint = false;
  bool FParentShowHint = true;
  TCursor FCursor = crDefault;
  bool FMouseInClient = false;
  std::uint64_t FPaintCount = 0;
  std::unique_ptr<MessageWindow> FTimerWindow;
  TControl* FAccessibleLabel = nullptr;
};

// A control without a window of its own: no children, no focus, no keys.
class TGraphicControl : public TControl {
  SIB_CLASS(TGraphicControl, TControl)
 public:
  explicit TGraphicControl(TComponent* AOwner);
};

}  // namespace sib
