// TAdvSmoothButton: the glossy push button. Its face is painted by the Appearance (TGDIPButton,
// gdip_button.h) into an ARGB image of the control's size, the cache, which is redrawn only after
// a change (Changed) or a resize; an ordinary repaint blends the cache over what lies under the
// button. The painting lives in smooth_button_paint.cpp, the input state machine here.
//
// Clicks: a release of any mouse button clicks when it ends a press this button received, wherever
// the pointer is then (the button holds the capture from the press), so a press dragged out still
// clicks and so does a right-button click; a release that follows no press here does not. The
// second press of a double click raises OnDblClick only, and its release clicks again. Space and
// Enter click as characters; the caption's '&' letter clicks as an accelerator.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "controls/gdip_button.h"
#include "controls/scaled_cache.h"
#include "platform/graphics/bitmap.h"
#include "platform/ui/win_control.h"

namespace sib {

class TAdvSmoothButton : public TCustomControl {
  SIB_CLASS(TAdvSmoothButton, TCustomControl)
 public:
  explicit TAdvSmoothButton(TComponent* AOwner);
  ~TAdvSmoothButton() override;

  static TPropertyList PublishedProperties();

  // The cache is stale: redraw it at the next paint, and repaint.
  void Changed();
  // A new cache of the current size, stale.
  void InvalidateCache();
  // Applies ModalResult to the form under the button (when the form keeps one), then Click.
  virtual void DoClick();

  // The integer "Color" in section GetThemeId() of an INI file; a missing key keeps the colour.
  void LoadFromTheme(const std::filesystem::path& FileName);
  void SaveToTheme(const std::filesystem::path& FileName);
  std::string GetThemeId() const { return "TAdvSmoothButton"; }

  // --- properties ---
  TGDIPButton* Appearance() const { return FAppearance.get(); }
  void SetAppearance(TGDIPButton* Value) { FAppearance->Assign(Value); }
  TAdvSmoothButtonStatus* Status() const { return FStatus.get(); }
  void SetStatus(TAdvSmoothButtonStatus* Value) { FStatus->Assign(Value); }
  bool Bevel() const { return FBevel; }
  void SetBevel(bool Value) { Set(FBevel, Value); }
  TColor BevelColor() const { return FBevelColor; }
  void SetBevelColor(TColor Value) { Set(FBevelColor, Value); }
  const std::string& Caption() const { return Text(); }
  void SetCaption(const std::string& Value) { SetText(Value); }
  TAdvGDIPPicture* Picture() const { return FPicture.get(); }
  void SetPicture(TAdvGDIPPicture* Value) { FPicture->Assign(Value); }
  bool Shadow() const { return FShadow; }
  void SetShadow(bool Value) { Set(FShadow, Value); }
  bool ShowFocus() const { return FShowFocus; }
  void SetShowFocus(bool Value) { Set(FShowFocus, Value); }
  int HorizontalSpacing() const { return FHorizontalSpacing; }
  void SetHorizontalSpacing(int Value) { Set(FHorizontalSpacing, Value); }
  int VerticalSpacing() const { return FVerticalSpacing; }
  void SetVerticalSpacing(int Value) { Set(FVerticalSpacing, Value); }
  std::string Version() const { return "1.6.9.2"; }
  void SetVersion(const std::string&) {}
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int Value) { FModalResult = Value; }

  // A button that stands for an on/off state (start and stop) tells assistive technology so: it is
  // then a toggle button, and each click turns Checked over before OnClick runs. Neither changes the
  // face, which its owner paints through Caption and Color. Off by default: a plain push button.
  bool Toggle() const { return FToggle; }
  void SetToggle(bool Value);
  bool Checked() const { return FChecked; }
  void SetChecked(bool Value);

  // --- state, for whoever drives or checks the button ---
  bool MouseInside() const { return FMouseInside; }
  bool Down() const { return FDown; }
  // The face shows pressed: a press is under way and the pointer is over the button.
  bool ShowsPressed() const { return FDown && FMouseInside; }
  bool ValidCache() const { return FValidCache; }
  // How many times the cache has been redrawn.
  std::uint64_t CacheRedrawCount() const { return FCacheRedraws; }
  const gfx::Bitmap& Cache() const { return FCache.Bitmap(); }
  // Redraws the cache now when it is stale or made for another scale (Paint does this itself, at the
  // display's scale).
  void UpdateCache(double Scale = 1.0);

  // --- input ---
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void DoubleClick(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void MouseCaptureLost() override;
  void KeyPress(char32_t& Key) override;
  unsigned GetDialogCode() override;
  bool DialogChar(char32_t Char, TShiftState Shift) override;
  void DoEnter() override;
  void DoExit() override;
  // Action 0, "click": DoClick, when the button takes input.
  bool DoAccessibleAction(int Index) override;
  // Turns Checked over for a toggle, then raises OnClick.
  void Click() override;

  // How long an accelerator holds the button down.
  static constexpr std::uint32_t kAcceleratorHoldMs = 150;

 protected:
  void Paint(TCanvas& Canvas) override;
  // A push button (or a toggle button, see Toggle) named by its caption.
  void DescribeAccessible(TAccessibleDescription& Description) const override;
  void Resize() override;
  void Timer(std::uint32_t Id) override;
  // The control's Color is the face colour.
  void ColorChanged() override;
  void EnabledChanged() override;
  void TextChanged() override;
  void ParentFontChanged() override;

 private:
  template <class T>
  void Set(T& Field, T Value) {
    SetAndNotify(Field, Value, *this);
  }
  void PartChanged(TObject*) { Changed(); }
  void AppearanceFontChanged(TObject* Sender);
  void IsAppearanceFontStored(TObject* Sender, bool& IsStored);
  void ReleaseAccelerator();
  // Paints the face, focus outline and badge into the cache at `Scale` (smooth_button_paint.cpp).
  void RedrawCache(double Scale);

  std::unique_ptr<TGDIPButton> FAppearance;
  std::unique_ptr<TAdvSmoothButtonStatus> FStatus;
  bool FBevel = true;
  TColor FBevelColor = clWhite;
  std::unique_ptr<TAdvGDIPPicture> FPicture;
  bool FShadow = false;
  bool FShowFocus = true;
  int FHorizontalSpacing = 5;
  int FVerticalSpacing = 5;
  int FModalResult = 0;
  bool FToggle = false;
  bool FChecked = false;

  bool FMouseInside = false;
  bool FDown = false;
  // A press of this button is waiting for its release: only that release clicks.
  bool FPressed = false;
  bool FFocused = false;
  bool FAcceleratorDown = false;
  bool FCopyingFont = false;
  TScaledCache FCache;
  bool FValidCache = false;
  bool DisableCache = true;
  std::uint64_t FCacheRedraws = 0;
};

}  // namespace sib
