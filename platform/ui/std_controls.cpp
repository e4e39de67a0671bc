#include "platform/ui/std_controls.h"

#include <cctype>

#include "platform/ui/canvas.h"
#include "platform/ui/form.h"

namespace sib {
namespace {

constexpr TColor kBorder = RGB(173, 173, 173);
constexpr TColor kHotBorder = RGB(0, 120, 215);
constexpr TColor kPressedBorder = RGB(0, 84, 153);
constexpr TColor kHotFace = RGB(229, 241, 251);
constexpr TColor kPressedFace = RGB(204, 228, 247);

}  // namespace

// --- TButton --------------------------------------------------------------------------------------

TButton::TButton(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(TControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csOpaque});
  SetBounds(0, 0, 75, 25);
  SetTabStop(true);
}

TPropertyList TButton::PublishedProperties() {
  return {
      prop("Caption", &TControl::Text, &TControl::SetText),
      prop("ModalResult", &TButton::ModalResult, &TButton::SetModalResult).defaultValue(0),
      prop("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop).defaultValue(true),
  };
}

void TButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) {
    if (CanFocus()) SetFocus();
    FMouseDown = true;
    Invalidate();
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft && FMouseDown) {
    FMouseDown = false;
    Invalidate();
  }
  TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TButton::DescribeAccessible(TAccessibleDescription& Description) const {
  TCustomControl::DescribeAccessible(Description);
  Description.Role = TAccessibleRole::PushButton;
  if (Pressed()) Description.States.Include(asPressed);
  Description.Actions = {{"click", "Clicks the button"}};
}

bool TButton::DoAccessibleAction(int Index) {
  if (Index != 0 || !EnabledInTree()) return false;
  Click();
  return true;
}

void TButton::MouseEnter() {
  Invalidate();
  TCustomControl::MouseEnter();
}

void TButton::MouseLeave() {
  Invalidate();
  TCustomControl::MouseLeave();
}

void TButton::MouseCaptureLost() {
  FMouseDown = false;
  Invalidate();
}

void TButton::KeyDown(TKey& Key, TShiftState Shift) {
  if (Key == VK_SPACE && !FSpaceDown) {
    FSpaceDown = true;
    Invalidate();
  }
  TCustomControl::KeyDown(Key, Shift);
}

void TButton::KeyUp(TKey& Key, TShiftState Shift) {
  const bool click = Key == VK_SPACE && FSpaceDown;
  if (click) {
    FSpaceDown = false;
    Invalidate();
  }
  TCustomControl::KeyUp(Key, Shift);
  if (click) Click();
}

void TButton::KeyPress(char32_t& Key) {
  TCustomControl::KeyPress(Key);
  if (Key == U'\r') {
    Key = 0;
    Click();
  }
}

void TButton::DoEnter() {
  Invalidate();
  TCustomControl::DoEnter();
}

void TButton::DoExit() {
  FSpaceDown = false;
  Invalidate();
  TCustomControl::DoExit();
}

bool TButton::DialogChar(char32_t Char, TShiftState /*Shift*/) {
  const char32_t lower = Char < 0x80 ? static_cast<char32_t>(std::tolower(static_cast<int>(Char))) : Char;
  if (lower == 0 || lower != Accelerator() || !CanFocus()) return false;
  SetFocus();
  Click();
  return true;
}

void TButton::Paint(TCanvas& Canvas) {
  const TRect r = ClientRect();
  const bool enabled = EnabledInTree();
  const bool pressed = enabled && Pressed();
  const bool hot = enabled && Hot();
  Canvas.FillRect(r, pressed ? kPressedFace : hot ? kHotFace : Color());
  Canvas.FrameRect(r, pressed ? kPressedBorder : (hot || Focused()) ? kHotBorder : kBorder);
  TFont font;
  font.Assign(Font());
  if (!enabled) font.SetColor(clGrayText);
  const TRect textArea{r.Left + 4, r.Top + 2 + (pressed ? 1 : 0), r.Right - 4, r.Bottom - 2 + (pressed ? 1 : 0)};
  Canvas.DrawText(textArea, Text(), font, TextHAlign::Center, TextVAlign::Center, TextPrefix::Show);
  if (Focused()) Canvas.DrawFocusRect({r.Left + 3, r.Top + 3, r.Right - 3, r.Bottom - 3}, clWindowText);
}

// --- TLabel ---------------------------------------------------------------------------------------

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetParentColor(true);
  SetBounds(0, 0, 65, 17);
}

TPropertyList TLabel::PublishedProperties() {
  return {
      prop("Alignment", &TLabel::Alignment, &TLabel::SetAlignment).defaultValue(taLeftJustify),
      prop("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize).defaultValue(true),
      prop("Caption", &TControl::Text, &TControl::SetText),
      prop("Layout", &TLabel::Layout, &TLabel::SetLayout).defaultValue(tlTop),
      prop("ParentColor", &TControl::ParentColor, &TControl::SetParentColor).defaultValue(true),
      prop("ShowAccelChar", &TLabel::ShowAccelChar, &TLabel::SetShowAccelChar).defaultValue(true),
      prop("Transparent", &TLabel::Transparent, &TLabel::SetTransparent).defaultValue(true),
      prop("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap).defaultValue(false),
  };
}

void TLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TLabel::SetAutoSize(bool Value) {
  if (Value == FAutoSize) return;
  FAutoSize = Value;
  AdjustBounds();
}

void TLabel::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  Invalidate();
}

void TLabel::SetAlignment(TAlignment Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  Invalidate();
}

void TLabel::SetLayout(TTextLayout Value) {
  if (Value == FLayout) return;
  FLayout = Value;
  Invalidate();
}

void TLabel::SetWordWrap(bool Value) {
  if (Value == FWordWrap) return;
  FWordWrap = Value;
  AdjustBounds();
  Invalidate();
}

void TLabel::SetShowAccelChar(bool Value) {
  if (Value == FShowAccelChar) return;
  FShowAccelChar = Value;
  AdjustBounds();
  Invalidate();
}

TPoint TLabel::TextSize() const {
  return MeasureText(Text(), *Font(), FShowAccelChar ? TextPrefix::Show : TextPrefix::None);
}

void TLabel::AdjustBounds() {
  if (!FAutoSize || FWordWrap || Loading()) return;
  const TPoint size = TextSize();
  // A right-aligned label keeps its right edge, a centred one its middle.
  int left = Left();
  if (FAlignment == taRightJustify) left += Width() - size.X;
  else if (FAlignment == taCenter) left += (Width() - size.X) / 2;
  SetBounds(left, Top(), size.X, size.Y);
}

void TLabel::FontChanged() {
  TGraphicControl::FontChanged();
  AdjustBounds();
}

void TLabel::DescribeAccessible(TAccessibleDescription& Description) const {
  TGraphicControl::DescribeAccessible(Description);
  Description.Role = TAccessibleRole::Label;
  Description.Text = Description.Name;
}

void TLabel::TextChanged() {
  TGraphicControl::TextChanged();
  AdjustBounds();
}

void TLabel::Paint(TCanvas& Canvas) {
  if (!FTransparent) Canvas.FillRect(ClientRect(), Color());
  TFont font;
  font.Assign(Font());
  if (!EnabledInTree()) font.SetColor(clGrayText);
  const TextHAlign align = FAlignment == taLeftJustify ? TextHAlign::Left
                           : FAlignment == taCenter    ? TextHAlign::Center
                                                       : TextHAlign::Right;
  const TextVAlign layout = FLayout == tlTop ? TextVAlign::Top : FLayout == tlCenter ? TextVAlign::Center : TextVAlign::Bottom;
  Canvas.DrawText(ClientRect(), Text(), font, align, layout, FShowAccelChar ? TextPrefix::Show : TextPrefix::None,
                  FWordWrap);
}

}  // namespace sib
