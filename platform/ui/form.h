// TForm: a top-level window of controls, made from a stored description, shown through the window
// host of the application (forms_application.h), and the place where input is routed.
//
//   auto form = CreateForm<TForm1>(descriptionText);  // loads, then runs OnCreate once
//   form->Show();
//
// Creation from a description: the form's class (registered, with its published fields and
// handler methods) is made, the description is loaded into it (the controls and any other
// components in description order, their properties applied, events bound to the form's methods by
// name, references resolved, then Loaded on the form and on every component in creation order),
// and only then does OnCreate run, once. A failure anywhere destroys the half-made form and the
// error propagates. Visible forms are shown once OnCreate has run.
//
// Input routing (from the host, IFormWindowEvents):
//  * A press goes to the control under the pointer: the topmost showing child, descending; a
//    disabled control and what it holds get nothing, the press goes to the disabled control's parent
//    instead. With csCaptureMouse the control holds the capture until every button is up: moves and
//    the release come to it wherever the pointer is. A left press and release on one control with
//    csClickEvents raise Click at the release when it happens inside the control, before MouseUp.
//  * The second press of a double click raises DoubleClick on a control with csDoubleClicks, and is
//    an ordinary press elsewhere.
//  * Enter and leave: the controls under the pointer (the target and its parents) are "hovered";
//    when the pointer moves, the controls it left get MouseLeave, innermost first, then the controls
//    it reached get MouseEnter, outermost first. During a capture only the capturing control (and its
//    parents) follow the pointer; the others catch up at the release.
//  * A capture that ends early (a modal box, the host losing the pointer, the control hidden or
//    disabled) sends MouseLeave to the hovered controls, then MouseCaptureLost to the capturing one;
//    the release that follows is dropped.
//  * The wheel goes to the control under the pointer, and on to its parents until one uses it.
//  * Keys: see win_control.h. Characters the focused control does not take (or with Alt held) are
//    offered as accelerators to the form's controls (DialogChar).
//  * The hint: when the pointer rests over a control whose ShowHint is set for HintPause, its hint
//    text is shown in a tooltip below the pointer, and hidden after HintHidePause, at a press, a key,
//    or when the pointer leaves the control.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/components/filer.h"
#include "platform/ui/form_host.h"
#include "platform/ui/message_window.h"
#include "platform/ui/win_control.h"

namespace sib {

class TFormBuffer;
class THintWindow;
class TApplication;

enum TFormBorderStyle : std::uint8_t { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
SIB_ENUM_NAMES(TFormBorderStyle, bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin)

enum TBorderIcon : std::uint8_t { biSystemMenu, biMinimize, biMaximize, biHelp };
SIB_ENUM_NAMES(TBorderIcon, biSystemMenu, biMinimize, biMaximize, biHelp)
using TBorderIcons = TSet<TBorderIcon>;

enum TPosition : std::uint8_t {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};
SIB_ENUM_NAMES(TPosition, poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter,
               poDesktopCenter, poMainFormCenter, poOwnerFormCenter)

enum TCloseAction : std::uint8_t { caNone, caHide, caFree, caMinimize };
SIB_ENUM_NAMES(TCloseAction, caNone, caHide, caFree, caMinimize)
using TCloseEvent = TEvent<TObject*, TCloseAction&>;
using TCloseQueryEvent = TEvent<TObject*, bool&>;
// Where a context menu is asked for, in form coordinates, and whether from the keyboard.
using TContextPopupEvent = TEvent<TObject*, TPoint, bool>;

// A window icon: the bytes of an icon file (several images of several sizes and depths), stored in a
// description as "Icon.Data = { ... }".
class TIcon : public TPersistent {
  SIB_CLASS(TIcon, TPersistent)
 public:
  void Assign(TPersistent* Source) override;
  void DefineProperties(TFiler& Filer) override;

  const std::vector<std::uint8_t>& Data() const { return FData; }
  // Raises EInvalidOperation "Invalid icon" when the bytes are not an icon file.
  void SetData(std::vector<std::uint8_t> Bytes);
  bool Empty() const { return FData.empty(); }
  struct Entry {
    int Width = 0;
    int Height = 0;
    int BitCount = 0;
  };
  // The images the file holds, in file order.
  std::vector<Entry> Entries() const;
  // The largest image, decoded to premultiplied ARGB (rows packed); Width 0 when there is none that
  // decodes. PNG-compressed images are skipped.
  struct Image {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;
  };
  Image LargestImage() const;

  TNotifyEvent OnChange;

 private:
  std::vector<std::uint8_t> FData;
};

class TForm : public TWinControl, private IFormWindowEvents {
  SIB_CLASS(TForm, TWinControl)
 public:
  explicit TForm(TComponent* AOwner);
  ~TForm() override;

  static TPropertyList PublishedProperties();
  bool IsRootClass() const override { return true; }
  void BeforeDestruction() override;
  void Loaded() override;

  // Loads a description into this form (see the top of this file) and runs OnCreate.
  void LoadFromDescription(std::string_view Text);
  // Runs OnCreate (what LoadFromDescription does last).
  virtual void DoCreate();

  // --- The window -------------------------------------------------------------------------------
  const std::string& Caption() const { return Text(); }
  void SetCaption(const std::string& Value) { SetText(Value); }
  // A form's size is its client size: the host adds the frame around it.
  void SetClientWidth(int Value);
  void SetClientHeight(int Value);
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons Value);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition Value) { FPosition = Value; }
  TIcon* Icon() const { return FIcon.get(); }
  void SetIcon(TIcon* Value) { FIcon->Assign(Value); }
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int Value);

  // Makes the host window (once) and shows it; OnShow runs first.
  void Show();
  // Asks OnCloseQuery, then OnClose (the action starts as caHide, caFree for the main form is treated
  // as caHide); hides the form, and for the application's main form ends the message loop.
  void Close();
  // The host window, once shown; nullptr before.
  IFormWindow* Window() const { return FWindow.get(); }

  // --- Focus and input state --------------------------------------------------------------------
  TWinControl* ActiveControl() const { return FActiveControl; }
  // Focuses `Control` (nullptr: none); the old focused control gets DoExit, the new DoEnter.
  void SetActiveControl(TWinControl* Control);
  // The control holding the capture, or nullptr.
  TControl* CaptureControl() const { return FCapture; }
  void SetCaptureControl(TControl* Control);
  // Ends a capture early: MouseLeave to the hovered controls, MouseCaptureLost to the capturing one.
  void CancelCapture();
  // The innermost control under the pointer, or nullptr.
  TControl* HoverControl() const { return FHover.empty() ? nullptr : FHover.back(); }
  // The control under a point of the form (see the top of this file); the form itself when no child.
  TControl* TargetAt(TPoint P);
  // The cursor the form last asked the host for.
  TCursor CurrentCursor() const { return FCurrentCursor; }

  // Whether the form's window has the keyboard (between the host's focus-in and focus-out).
  bool WindowActive() const { return FWindowActive; }

  // --- Accessibility ----------------------------------------------------------------------------
  // Who is told when something a control of this form describes changes (accessible.h); nullptr:
  // nobody. The listener outlives its registration.
  IAccessibleListener* AccessibleListener() const { return FAccessibleListener; }
  void SetAccessibleListener(IAccessibleListener* Listener) { FAccessibleListener = Listener; }
  // Where the client area's top-left corner lies on the screen, in the screen's pixels; (0, 0)
  // before the form is shown or when the host cannot tell.
  TPoint ClientOriginOnScreen() const;

  // --- Popups -----------------------------------------------------------------------------------
  // The open popup (a context menu, popup_menu.h), or nullptr. While one is open every press in the
  // form goes to it wherever it lands, and the window losing the focus hides it.
  TWinControl* Popup() const { return FPopup; }
  void SetPopup(TWinControl* Control) { FPopup = Control; }

  // --- Painting ---------------------------------------------------------------------------------
  // Marks a rectangle of the form's client area dirty and schedules one paint.
  void InvalidateFormRect(const TRect& R);
  // Paints what is dirty now and presents it.
  void PaintDirty();
  bool PaintPending() const { return !FDamage.IsEmpty(); }
  // The form's client image (valid until the next paint or resize).
  TImageView Image() const;

  // --- Hints ------------------------------------------------------------------------------------
  // The hint window of the pointer's control: shown, or nullptr.
  THintWindow* HintWindow() const { return FHintWindow.get(); }
  void CancelHint();
  // How long the pointer must rest before a hint shows, and how long it stays.
  int HintPause = 500;
  int HintHidePause = 2500;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  // Raised while no popup is open by a right-button release (at the pointer), and by the Menu key or
  // Shift+F10 (at the middle of the focused control, or of the form when none has the focus).
  TContextPopupEvent OnContextPopup;

 protected:
  void Paint(TCanvas& Canvas) override;
  void Resize() override;
  void TextChanged() override;
  void VisibleChanged() override;
  void DescribeAccessible(TAccessibleDescription& Description) const override;

 private:
  friend class TControl;
  friend class TWinControl;
  friend class TApplication;

  // IFormWindowEvents
  void HostMouseDown(TMouseButton Button, TShiftState Shift, TPoint At) override;
  void HostDoubleClick(TMouseButton Button, TShiftState Shift, TPoint At) override;
  void HostMouseUp(TMouseButton Button, TShiftState Shift, TPoint At) override;
  void HostMouseMove(TShiftState Shift, TPoint At) override;
  void HostMouseWheel(TShiftState Shift, int WheelDelta, TPoint At) override;
  void HostMouseLeave() override;
  void HostKeyDown(TKey Key, TShiftState Shift, bool Repeat) override;
  void HostKeyUp(TKey Key, TShiftState Shift) override;
  void HostChar(char32_t Char, TShiftState Shift) override;
  void HostFocusIn() override;
  void HostFocusOut() override;
  void HostCaptureLost() override;
  void HostCloseRequest() override;
  void HostExposed() override;
  void HostScaleChanged() override;

 public:
  // The events a host delivers, for tests that drive the form without one.
  IFormWindowEvents& Events() { return *this; }

 private:
  class Delivery;

  // Runs a host event; an exception goes to the message loop's exception handler.
  template <class Body>
  void Guarded(Body&& body);
  void Press(TMouseButton Button, TShiftState Shift, TPoint At, bool Double);
  void UpdateHover(TPoint At);
  void EndCapture(bool LeaveEverything);
  void SetHoverChain(std::vector<TControl*> Chain);
  void LeaveAll();
  void UpdateCursor();
  bool DialogKey(TKey Key, TShiftState Shift);
  void TrackHint(TControl* Control);
  void ShowHintNow();
  void HandleMessage(Message& Msg);
  TWinControl* FocusTarget() const;
  // A control leaves the form (destroyed, moved away, hidden or disabled): drop every reference.
  void ControlGone(TControl* Control, bool Destroyed);
  void ResizeBuffer();
  // The innermost opaque control that covers all of R (form coordinates) unobstructed: painting R
  // can start there. The form itself when there is none.
  TControl* OpaqueCover(const TRect& R);
  TFormWindowParams WindowParams() const;
  void ApplyIcon();
  void PresentAll();

  TApplication* FApplication = nullptr;
  TFormBorderStyle FBorderStyle = bsSizeable;
  TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
  TPosition FPosition = poDesigned;
  std::unique_ptr<TIcon> FIcon;
  int FPixelsPerInch = 96;
  int FTextHeight = 13;
  bool FOldCreateOrder = false;
  bool FCreated = false;

  std::unique_ptr<IFormWindow> FWindow;
  std::unique_ptr<MessageWindow> FMessages;
  std::unique_ptr<TFormBuffer> FBuffer;
  TDamage FDamage;
  bool FPaintPosted = false;

  TWinControl* FActiveControl = nullptr;
  bool FWindowActive = false;
  IAccessibleListener* FAccessibleListener = nullptr;
  TControl* FCapture = nullptr;
  TControl* FClickControl = nullptr;  // the left press that may become a click
  std::vector<TControl*> FHover;      // outermost first
  TShiftState FButtonsDown;
  TPoint FPointer;
  bool FPointerInside = false;
  TCursor FCurrentCursor = crDefault;
  bool FSuppressChar = false;  // the character of a key the form used for navigation
  std::vector<Delivery*> FDeliveries;

  std::unique_ptr<THintWindow> FHintWindow;
  TControl* FHintControl = nullptr;
  bool FHintShown = false;
  TWinControl* FPopup = nullptr;
};

// Creates a form of class F (without owner), loads `Text` into it and runs OnCreate; shows it when
// Visible. The form is destroyed again if anything fails.
template <class F>
TComponentPtr<F> CreateForm(std::string_view Text) {
  TComponentPtr<F> form = MakeComponent<F>();
  form->LoadFromDescription(Text);
  if (form->Visible()) form->Show();
  return form;
}

}  // namespace sib
