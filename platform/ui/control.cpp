#include "platform/ui/control.h"

#include <cctype>

#include "platform/core/errors.h"
#include "platform/ui/canvas.h"
#include "platform/ui/form.h"
#include "platform/ui/message_window.h"
#include "platform/ui/win_control.h"

namespace sib {
namespace {

const TTypeInfo& cursorTypeInfo() {
  static const TTypeInfo info = TTypeInfo::Integer("TCursor", -32768, 32767,
                                                   {{"crDefault", crDefault},
                                                    {"crNone", crNone},
                                                    {"crArrow", crArrow},
                                                    {"crCross", crCross},
                                                    {"crIBeam", crIBeam},
                                                    {"crSizeNS", crSizeNS},
                                                    {"crSizeWE", crSizeWE},
                                                    {"crHourGlass", crHourGlass},
                                                    {"crNo", crNo},
                                                    {"crHandPoint", crHandPoint}});
  return info;
}

}  // namespace

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), FFont(std::make_unique<TFont>()) {
  FFont->OnChange = TNotifyEvent(this, &TControl::FontOnChange);
}

TControl::~TControl() = default;

TPropertyList TControl::PublishedProperties() {
  return {
      prop("Left", &TControl::Left, &TControl::SetLeft),
      prop("Top", &TControl::Top, &TControl::SetTop),
      prop("Width", &TControl::Width, &TControl::SetWidth),
      prop("Height", &TControl::Height, &TControl::SetHeight),
      prop("Align", &TControl::Align, &TControl::SetAlign).defaultValue(alNone),
      prop("Color", &TControl::Color, &TControl::SetColor).type(ColorTypeInfo()).stored(&TControl::IsColorStored),
      prop("Cursor", &TControl::Cursor, &TControl::SetCursor).type(cursorTypeInfo()).defaultValue(crDefault),
      prop("Enabled", &TControl::Enabled, &TControl::SetEnabled).defaultValue(true),
      prop("Font", &TControl::Font, &TControl::SetFont).stored(&TControl::IsFontStored),
      prop("Hint", &TControl::Hint, &TControl::SetHint),
      prop("ParentColor", &TControl::ParentColor, &TControl::SetParentColor).defaultValue(false),
      prop("ParentFont", &TControl::ParentFont, &TControl::SetParentFont).defaultValue(true),
      prop("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint).defaultValue(true),
      prop("ShowHint", &TControl::ShowHint, &TControl::SetShowHint).stored(&TControl::IsShowHintStored),
      prop("Visible", &TControl::Visible, &TControl::SetVisible).defaultValue(true),
      prop("OnClick", &TControl::OnClick),
      prop("OnDblClick", &TControl::OnDblClick),
      prop("OnMouseDown", &TControl::OnMouseDown),
      prop("OnMouseEnter", &TControl::OnMouseEnter),
      prop("OnMouseLeave", &TControl::OnMouseLeave),
      prop("OnMouseMove", &TControl::OnMouseMove),
      prop("OnMouseUp", &TControl::OnMouseUp),
      prop("OnMouseWheel", &TControl::OnMouseWheel),
      prop("OnResize", &TControl::OnResize),
  };
}

void TControl::BeforeDestruction() {
  if (!ComponentState().Contains(csDestroying)) {
    if (TForm* form = GetParentForm(); form && form != this) form->ControlGone(this, true);
  }
  TComponent::BeforeDestruction();
  if (FParent) SetParent(nullptr);
  FTimerWindow.reset();
}

TComponent* TControl::GetParentComponent() const { return FParent; }

void TControl::SetParentComponent(TComponent* Value) {
  if (auto* parent = dynamic_cast<TWinControl*>(Value)) SetParent(parent);
}

void TControl::SetName(const std::string& NewName) {
  const std::string oldName = Name();
  const bool followCaption = FControlStyle.Contains(csSetCaption) && !Loading() && FText == oldName;
  TComponent::SetName(NewName);
  if (followCaption) SetText(NewName);
}

void TControl::Loaded() { TComponent::Loaded(); }

// --- Tree and geometry ----------------------------------------------------------------------------

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == FParent) return;
  for (TControl* p = AParent; p; p = p->FParent)
    if (p == this) throw EInvalidOperation("A control cannot be its own parent");
  if (FParent) {
    Invalidate();
    if (TForm* form = GetParentForm(); form && !ComponentState().Contains(csDestroying)) form->ControlGone(this, false);
    FParent->RemoveControl(this);
    FParent->AccessibleChanged();
  }
  FParent = AParent;
  if (!FParent) return;
  FParent->InsertControl(this);
  FParent->AccessibleChanged();
  if (FParentFont) ParentFontChanged();
  if (FParentColor) ParentColorChanged();
  if (FParentShowHint) ParentShowHintChanged();
  if (FAlign != alNone) FParent->Realign();
  Invalidate();
}

TForm* TControl::GetParentForm() const {
  const TControl* top = this;
  while (top->FParent) top = top->FParent;
  return dynamic_cast<TForm*>(const_cast<TControl*>(top));
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  AWidth = std::max(0, AWidth);
  AHeight = std::max(0, AHeight);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  const bool resized = AWidth != FWidth || AHeight != FHeight;
  Invalidate();
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  Invalidate();
  if (resized) Resize();
  if (FParent && FAlign != alNone && FParent->FAligning == 0) FParent->Realign();
}

void TControl::SetAlign(TAlign Value) {
  if (Value == FAlign) return;
  FAlign = Value;
  if (FParent) FParent->Realign();
}

TPoint TControl::ClientToForm(TPoint P) const {
  for (const TControl* c = this; c->FParent; c = c->FParent) P = {P.X + c->FLeft, P.Y + c->FTop};
  return P;
}

TPoint TControl::FormToClient(TPoint P) const {
  const TPoint origin = ClientToForm({0, 0});
  return {P.X - origin.X, P.Y - origin.Y};
}

// --- State ----------------------------------------------------------------------------------------

void TControl::SetVisible(bool Value) {
  if (Value == FVisible) return;
  if (!Value) Invalidate();
  FVisible = Value;
  if (Value) Invalidate();
  VisibleChanged();
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->FParent) {
    if (!c->FVisible && !dynamic_cast<const TForm*>(c)) return false;
  }
  return true;
}

void TControl::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  EnabledChanged();
}

bool TControl::EnabledInTree() const {
  for (const TControl* c = this; c; c = c->FParent)
    if (!c->FEnabled) return false;
  return true;
}

void TControl::SetColor(TColor Value) {
  FParentColor = false;
  if (Value == FColor) return;
  FColor = Value;
  ColorChanged();
}

void TControl::SetParentColor(bool Value) {
  if (Value == FParentColor) return;
  FParentColor = Value;
  if (Value) ParentColorChanged();
}

void TControl::SetParentFont(bool Value) {
  if (Value == FParentFont) return;
  FParentFont = Value;
  if (Value) ParentFontChanged();
}

void TControl::SetText(const std::string& Value) {
  if (Value == FText) return;
  FText = Value;
  TextChanged();
}

void TControl::SetShowHint(bool Value) {
  FParentShowHint = false;
  if (Value == FShowHint) return;
  FShowHint = Value;
  ParentShowHintChangedInChildren();
}

void TControl::SetParentShowHint(bool Value) {
  if (Value == FParentShowHint) return;
  FParentShowHint = Value;
  if (Value) ParentShowHintChanged();
}

void TControl::SetCursor(TCursor Value) {
  if (Value == FCursor) return;
  FCursor = Value;
  if (TForm* form = GetParentForm()) form->UpdateCursor();
}

bool TControl::MouseCapture() const {
  const TForm* form = GetParentForm();
  return form && form->CaptureControl() == this;
}

void TControl::SetMouseCapture(bool Value) {
  TForm* form = GetParentForm();
  if (!form) return;
  if (Value) form->SetCaptureControl(this);
  else if (form->CaptureControl() == this) form->SetCaptureControl(nullptr);
}

bool TControl::IsColorStored() const { return !FParentColor; }
bool TControl::IsFontStored() const { return !FParentFont; }
bool TControl::IsShowHintStored() const { return !FParentShowHint; }

// --- Painting -------------------------------------------------------------------------------------

void TControl::Invalidate() { InvalidateRect(TRect::FromSize(0, 0, FWidth, FHeight)); }

void TControl::InvalidateRect(const TRect& R) {
  if (!Showing()) return;
  TForm* form = GetParentForm();
  if (!form || form->ComponentState().Contains(csDestroying)) return;
  // Up to the form, the rectangle is cut to each control's own area.
  TRect r = R.Intersect(TRect::FromSize(0, 0, FWidth, FHeight));
  for (const TControl* c = this; c->FParent && !r.IsEmpty(); c = c->FParent) {
    r = r.Offset(c->FLeft, c->FTop).Intersect(c->FParent->ClientRect());
  }
  if (form == this) r = R.Intersect(ClientRect());
  form->InvalidateFormRect(r);
}

void TControl::Update() {
  if (TForm* form = GetParentForm()) form->PaintDirty();
}

void TControl::Paint(TCanvas& /*Canvas*/) {}

void TControl::PaintTree(TCanvas& Canvas, const TRect& /*Dirty*/) {
  ++FPaintCount;
  Paint(Canvas);
}

// --- Timers ---------------------------------------------------------------------------------------

void TControl::EnsureTimerWindow() {
  if (FTimerWindow) return;
  FTimerWindow = std::make_unique<MessageWindow>([this](Message& msg) {
    if (msg.Msg == kTimerMessage) Timer(static_cast<std::uint32_t>(msg.WParam));
  });
}

void TControl::SetTimer(std::uint32_t Id, std::uint32_t IntervalMs) {
  EnsureTimerWindow();
  if (!FTimerWindow->SetTimer(Id, IntervalMs)) throw EOutOfResources("Not enough timers available");
}

void TControl::KillTimer(std::uint32_t Id) {
  if (FTimerWindow) FTimerWindow->KillTimer(Id);
}

void TControl::CancelHint() {
  if (TForm* form = GetParentForm()) form->CancelHint();
}

// --- Input ----------------------------------------------------------------------------------------

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) { OnMouseDown(this, Button, Shift, X, Y); }

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) { OnMouseUp(this, Button, Shift, X, Y); }

void TControl::MouseMove(TShiftState Shift, int X, int Y) { OnMouseMove(this, Shift, X, Y); }

void TControl::DoubleClick(TMouseButton Button, TShiftState Shift, int X, int Y) {
  DblClick();
  MouseDown(Button, Shift + TShiftState{ssDouble}, X, Y);
}

void TControl::Click() { OnClick(this); }

void TControl::DblClick() { OnDblClick(this); }

void TControl::MouseEnter() { OnMouseEnter(this); }

void TControl::MouseLeave() { OnMouseLeave(this); }

bool TControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  bool handled = false;
  OnMouseWheel(this, Shift, WheelDelta, MousePos, handled);
  return handled;
}

bool TControl::GetHintText(TPoint /*P*/, std::string& HintText) {
  if (FHint.empty()) return false;
  HintText = FHint;
  return true;
}

bool TControl::DialogChar(char32_t /*Char*/, TShiftState /*Shift*/) { return false; }

char32_t TControl::Accelerator() const {
  for (std::size_t i = 0; i + 1 < FText.size(); ++i) {
    if (FText[i] != '&') continue;
    if (FText[i + 1] == '&') {
      ++i;
      continue;
    }
    const auto c = static_cast<unsigned char>(FText[i + 1]);
    return c < 0x80 ? static_cast<char32_t>(std::tolower(c)) : c;
  }
  return 0;
}

// --- Notifications --------------------------------------------------------------------------------

void TControl::Resize() { OnResize(this); }

void TControl::EnabledChanged() {
  Invalidate();
  AccessibleChanged();
  if (!FEnabled)
    if (TForm* form = GetParentForm(); form && form != this) form->ControlGone(this, false);
}

void TControl::VisibleChanged() {
  AccessibleChanged();
  if (FParent && FAlign != alNone) FParent->Realign();
  if (!FVisible)
    if (TForm* form = GetParentForm(); form && form != this) form->ControlGone(this, false);
}

void TControl::FontChanged() { Invalidate(); }

void TControl::ColorChanged() { Invalidate(); }

void TControl::TextChanged() {
  Invalidate();
  AccessibleChanged();
}

void TControl::FontOnChange(TObject* /*Sender*/) {
  if (!FCopyingFont) FParentFont = false;
  FontChanged();
}

void TControl::ParentFontChanged() {
  if (!FParentFont || !FParent) return;
  FCopyingFont = true;
  try {
    FFont->Assign(FParent->Font());
  } catch (...) {
    FCopyingFont = false;
    throw;
  }
  FCopyingFont = false;
}

void TControl::ParentColorChanged() {
  if (!FParentColor || !FParent) return;
  if (FParent->FColor == FColor) return;
  FColor = FParent->FColor;
  ColorChanged();
}

void TControl::ParentShowHintChanged() {
  if (!FParentShowHint || !FParent) return;
  if (FParent->FShowHint == FShowHint) return;
  FShowHint = FParent->FShowHint;
  ParentShowHintChangedInChildren();
}

void TControl::ParentShowHintChangedInChildren() {}

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}

// --- Accessibility --------------------------------------------------------------------------------

TAccessibleDescription TControl::Accessible() const {
  TAccessibleDescription description;
  DescribeAccessible(description);
  if (FAccessibleLabel) {
    description.LabelledBy = FAccessibleLabel;
    if (description.Name.empty()) description.Name = FAccessibleLabel->Accessible().Name;
  }
  return description;
}

void TControl::DescribeAccessible(TAccessibleDescription& Description) const {
  Description.Name = AccessibleCaption(FText);
  if (EnabledInTree()) Description.States.Include(asEnabled);
  if (FVisible) Description.States.Include(asVisible);
  if (Showing()) Description.States.Include(asShowing);
}

void TControl::SetAccessibleLabel(TControl* Value) {
  if (Value == FAccessibleLabel) return;
  if (FAccessibleLabel) FAccessibleLabel->RemoveFreeNotification(this);
  FAccessibleLabel = Value;
  if (FAccessibleLabel) FAccessibleLabel->FreeNotification(this);
  AccessibleChanged();
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FAccessibleLabel) {
    FAccessibleLabel = nullptr;
    AccessibleChanged();
  }
}

bool TControl::DoAccessibleAction(int /*Index*/) { return false; }

bool TControl::SetAccessibleValue(double /*Value*/) { return false; }

bool TControl::SelectAccessibleItem(int /*Index*/) { return false; }

void TControl::AccessibleChanged() {
  if (ComponentState().Contains(csDestroying)) return;
  if (TForm* form = GetParentForm())
    if (IAccessibleListener* listener = form->AccessibleListener()) listener->AccessibleChanged(*this);
}

std::string AccessibleCaption(const std::string& Caption) {
  std::string name;
  name.reserve(Caption.size());
  for (std::size_t i = 0; i < Caption.size(); ++i) {
    if (Caption[i] == '&' && i + 1 < Caption.size()) ++i;
    name += Caption[i];
  }
  return name;
}

}  // namespace sib
