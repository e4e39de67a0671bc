#include "controls/smooth_button.h"

#include <cctype>

#include "platform/components/ini_file.h"
#include "platform/ui/form.h"

namespace sib {
namespace {

constexpr std::uint32_t kAcceleratorTimer = 1;
constexpr unsigned kWantedKeys = DLGC_WANTARROWS | DLGC_WANTALLKEYS;

}  // namespace

TAdvSmoothButton::TAdvSmoothButton(TComponent* AOwner)
    : TCustomControl(AOwner),
      FAppearance(std::make_unique<TGDIPButton>()),
      FStatus(std::make_unique<TAdvSmoothButtonStatus>()),
      FPicture(std::make_unique<TAdvGDIPPicture>()) {
  // The button raises its clicks itself: see MouseUp.
  SetControlStyle(TControlStyle{csCaptureMouse, csSetCaption, csDoubleClicks});
  SetDoubleBuffered(true);
  SetTabStop(true);
  TControl::SetColor(clGray);
  SetBounds(0, 0, 120, 35);
  FAppearance->SetOnChange(TNotifyEvent(this, &TAdvSmoothButton::PartChanged));
  FAppearance->SetOnFontChange(TNotifyEvent(this, &TAdvSmoothButton::AppearanceFontChanged));
  FAppearance->SetOnIsFontStored(TFontStoredEvent(this, &TAdvSmoothButton::IsAppearanceFontStored));
  FStatus->OnChange = TNotifyEvent(this, &TAdvSmoothButton::PartChanged);
  FPicture->SetOnChange(TNotifyEvent(this, &TAdvSmoothButton::PartChanged));
  DisableCache = false;
  InvalidateCache();
}

TAdvSmoothButton::~TAdvSmoothButton() = default;

TPropertyList TAdvSmoothButton::PublishedProperties() {
  using B = TAdvSmoothButton;
  return {
      prop("Appearance", &B::Appearance, &B::SetAppearance),
      prop("Status", &B::Status, &B::SetStatus),
      prop("Bevel", &B::Bevel, &B::SetBevel).defaultValue(true),
      prop("BevelColor", &B::BevelColor, &B::SetBevelColor).type(ColorTypeInfo()).defaultValue(clWhite),
      prop("Caption", &TControl::Text, &TControl::SetText),
      prop("Color", &TControl::Color, &TControl::SetColor).type(ColorTypeInfo()).defaultValue(clGray),
      prop("Picture", &B::Picture, &B::SetPicture),
      prop("Shadow", &B::Shadow, &B::SetShadow).defaultValue(false),
      prop("ShowFocus", &B::ShowFocus, &B::SetShowFocus).defaultValue(true),
      prop("HorizontalSpacing", &B::HorizontalSpacing, &B::SetHorizontalSpacing).defaultValue(5),
      prop("VerticalSpacing", &B::VerticalSpacing, &B::SetVerticalSpacing).defaultValue(5),
      prop("Version", &B::Version, &B::SetVersion),
      prop("ModalResult", &B::ModalResult, &B::SetModalResult).defaultValue(0),
      prop("Toggle", &B::Toggle, &B::SetToggle).defaultValue(false),
      prop("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop).defaultValue(true),
      prop("DoubleBuffered", &TWinControl::DoubleBuffered, &TWinControl::SetDoubleBuffered).defaultValue(true),
  };
}

void TAdvSmoothButton::Changed() {
  FValidCache = false;
  Invalidate();
}

void TAdvSmoothButton::InvalidateCache() {
  if (DisableCache) return;
  FValidCache = false;
}

void TAdvSmoothButton::DoClick() {
  // The form keeps no modal result of its own yet; the button's value stays readable on the button.
  Click();
}

// ---- accessibility -------------------------------------------------------------------------------

void TAdvSmoothButton::SetToggle(bool Value) {
  if (Value == FToggle) return;
  FToggle = Value;
  AccessibleChanged();
}

void TAdvSmoothButton::SetChecked(bool Value) {
  if (Value == FChecked) return;
  FChecked = Value;
  AccessibleChanged();
}

void TAdvSmoothButton::DescribeAccessible(TAccessibleDescription& Description) const {
  TCustomControl::DescribeAccessible(Description);
  Description.Role = FToggle ? TAccessibleRole::ToggleButton : TAccessibleRole::PushButton;
  if (FToggle) Description.States.Include(asCheckable);
  if (FToggle && FChecked) Description.States.Include(asChecked);
  if (ShowsPressed()) Description.States.Include(asPressed);
  Description.Actions = {{"click", "Clicks the button"}};
}

void TAdvSmoothButton::Click() {
  if (FToggle) SetChecked(!FChecked);
  TCustomControl::Click();
}

bool TAdvSmoothButton::DoAccessibleAction(int Index) {
  if (Index != 0 || !EnabledInTree()) return false;
  DoClick();
  return true;
}

// ---- theme ----------------------------------------------------------------------------------------

void TAdvSmoothButton::LoadFromTheme(const std::filesystem::path& FileName) {
  const IniFile ini(FileName);
  TControl::SetColor(ini.ReadInteger(GetThemeId(), "Color", TControl::Color()));
  Changed();
}

void TAdvSmoothButton::SaveToTheme(const std::filesystem::path& FileName) {
  IniFile ini(FileName);
  ini.WriteInteger(GetThemeId(), "Color", TControl::Color());
  ini.UpdateFile();
  Changed();
}

// ---- mouse ----------------------------------------------------------------------------------------

void TAdvSmoothButton::MouseEnter() {
  TCustomControl::MouseEnter();
  FMouseInside = true;
  Changed();
}

void TAdvSmoothButton::MouseLeave() {
  TCustomControl::MouseLeave();
  FMouseInside = false;
  FDown = false;
  Changed();
}

void TAdvSmoothButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (!Enabled()) return;
  FDown = true;
  FPressed = true;
  if (TabStop() && CanFocus()) SetFocus();
  Changed();
}

void TAdvSmoothButton::DoubleClick(TMouseButton /*Button*/, TShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  DblClick();
  // The release of this press clicks a second time.
  FPressed = Enabled();
}

void TAdvSmoothButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  // A release whose press went to another control, or to a box that has closed since, is no click.
  const bool click = FPressed;
  FPressed = false;
  if (click) DoClick();
  if (!Enabled()) return;
  FDown = false;
  Changed();
}

void TAdvSmoothButton::MouseCaptureLost() {
  FPressed = false;
  FDown = false;
  Changed();
}

// ---- keyboard and focus ---------------------------------------------------------------------------

void TAdvSmoothButton::KeyPress(char32_t& Key) {
  TCustomControl::KeyPress(Key);
  if (Key != U' ' && Key != U'\r') return;
  Key = 0;
  DoClick();
}

unsigned TAdvSmoothButton::GetDialogCode() { return TabStop() ? kWantedKeys : 0; }

bool TAdvSmoothButton::DialogChar(char32_t Char, TShiftState Shift) {
  const char32_t lower = Char < 0x80 ? static_cast<char32_t>(std::tolower(static_cast<int>(Char))) : Char;
  if (lower == 0 || lower != Accelerator() || !CanFocus()) return TCustomControl::DialogChar(Char, Shift);
  // Held down for a moment by a timer rather than by blocking the loop; a second accelerator while
  // held re-arms the hold.
  FDown = true;
  FAcceleratorDown = true;
  Repaint();
  DoClick();
  SetTimer(kAcceleratorTimer, kAcceleratorHoldMs);
  return true;
}

void TAdvSmoothButton::Timer(std::uint32_t Id) {
  if (Id == kAcceleratorTimer) ReleaseAccelerator();
}

void TAdvSmoothButton::ReleaseAccelerator() {
  KillTimer(kAcceleratorTimer);
  if (!FAcceleratorDown) return;
  FAcceleratorDown = false;
  FDown = false;
  Repaint();
}

void TAdvSmoothButton::DoEnter() {
  TCustomControl::DoEnter();
  FFocused = true;
  Changed();
}

void TAdvSmoothButton::DoExit() {
  TCustomControl::DoExit();
  FFocused = false;
  Changed();
}

// ---- changes of the control -----------------------------------------------------------------------

void TAdvSmoothButton::Resize() {
  TCustomControl::Resize();
  InvalidateCache();
}

void TAdvSmoothButton::ColorChanged() {
  TCustomControl::ColorChanged();
  Changed();
}

void TAdvSmoothButton::EnabledChanged() {
  TCustomControl::EnabledChanged();
  if (!Enabled()) FPressed = FDown = false;
  Changed();
}

void TAdvSmoothButton::TextChanged() {
  TCustomControl::TextChanged();
  Changed();
}

void TAdvSmoothButton::ParentFontChanged() {
  TCustomControl::ParentFontChanged();
  if (!ParentFont() || Parent() == nullptr) return;
  FCopyingFont = true;
  try {
    FAppearance->Font()->Assign(Parent()->Font());
  } catch (...) {
    FCopyingFont = false;
    throw;
  }
  FCopyingFont = false;
}

void TAdvSmoothButton::AppearanceFontChanged(TObject* /*Sender*/) {
  if (!FCopyingFont) SetParentFont(false);
}

void TAdvSmoothButton::IsAppearanceFontStored(TObject* /*Sender*/, bool& IsStored) { IsStored = !ParentFont(); }

}  // namespace sib
