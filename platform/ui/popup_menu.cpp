#include "platform/ui/popup_menu.h"

#include <algorithm>
#include <array>

#include "platform/graphics/brush.h"
#include "platform/graphics/path.h"
#include "platform/graphics/pen.h"
#include "platform/ui/canvas.h"
#include "platform/ui/form.h"

namespace sib {
namespace {

constexpr int kBorder = 4;         // between the frame and the items
constexpr int kCheckColumn = 24;   // the check mark's column, left of the captions
constexpr int kTextRight = 20;     // after the longest caption
constexpr int kItemPadding = 10;   // above and below a caption, together
constexpr int kMinWidth = 140;
constexpr float kRadius = 6;       // the corners of the menu and of the highlight

// A rounded rectangle's outline, for anti-aliased filling and stroking.
gfx::Path RoundedRect(gfx::RectF R, float Radius) {
  gfx::Path path;
  const float d = 2 * Radius;
  path.AddArc(R.X, R.Y, d, d, 180, 90);
  path.AddArc(R.X + R.Width - d, R.Y, d, d, 270, 90);
  path.AddArc(R.X + R.Width - d, R.Y + R.Height - d, d, d, 0, 90);
  path.AddArc(R.X, R.Y + R.Height - d, d, d, 90, 90);
  path.CloseFigure();
  return path;
}

gfx::Color Lighter(gfx::Color C) {
  const auto up = [](std::uint8_t v) { return static_cast<std::uint8_t>(v + (255 - v) * 3 / 5); };
  return gfx::Color::Rgb(up(C.R), up(C.G), up(C.B));
}

}  // namespace

TPopupMenu::TPopupMenu(TComponent* AOwner) : TCustomControl(AOwner) {
  SetVisible(false);
  // Not opaque: what lies under its rounded corners is painted first and shows there.
  SetControlStyle({csCaptureMouse});
  SetColor(clMenu);
}

TPopupMenu::~TPopupMenu() = default;

void TPopupMenu::SetItems(std::vector<TPopupMenuItem> Value) {
  FItems = std::move(Value);
  if (FItemIndex >= static_cast<int>(FItems.size())) FItemIndex = -1;
  if (FOpen) {
    const TPoint size = MenuSize();
    SetBounds(Left(), Top(), size.X, size.Y);
  }
  Invalidate();
  AccessibleChanged();
}

int TPopupMenu::ItemHeight() const { return MeasureText("Ag", *Font()).Y + kItemPadding; }

TPoint TPopupMenu::MenuSize() const {
  int widest = 0;
  for (const TPopupMenuItem& item : FItems) widest = std::max(widest, MeasureText(item.Caption, *Font()).X);
  return {std::max(kMinWidth, kBorder * 2 + kCheckColumn + widest + kTextRight),
          kBorder * 2 + ItemHeight() * static_cast<int>(FItems.size())};
}

TRect TPopupMenu::ItemRect(int Index) const {
  const int top = kBorder + Index * ItemHeight();
  return {kBorder, top, Width() - kBorder, top + ItemHeight()};
}

int TPopupMenu::ItemAt(int X, int Y) const {
  for (int i = 0; i < static_cast<int>(FItems.size()); ++i)
    if (ItemRect(i).Contains(TPoint{X, Y})) return i;
  return -1;
}

void TPopupMenu::Popup(TForm& Form, TPoint At, bool FromKeyboard) {
  if (FItems.empty()) return;
  FForm = &Form;
  const TPoint size = MenuSize();
  const int left = std::max(0, std::min(At.X, Form.ClientWidth() - size.X));
  const int top = std::max(0, std::min(At.Y, Form.ClientHeight() - size.Y));
  if (!FOpen) {
    FFocusBefore = Form.ActiveControl();
    if (FFocusBefore) FreeNotification(FFocusBefore);
  }
  SetParent(&Form);  // last among the form's children: above the others
  SetBounds(left, top, size.X, size.Y);
  FItemIndex = FromKeyboard ? 0 : -1;
  FChooseKey = 0;
  FOpen = true;
  Show();
  Form.SetPopup(this);
  SetFocus();
  Invalidate();
}

void TPopupMenu::CloseUp() { Close(true); }

void TPopupMenu::Close(bool RestoreFocus) {
  if (!FOpen || FClosing) return;
  FClosing = true;
  FOpen = false;
  TForm* form = FForm;
  TWinControl* before = FFocusBefore;
  FFocusBefore = nullptr;
  if (before) RemoveFreeNotification(before);
  Hide();
  if (form && form->Popup() == this) form->SetPopup(nullptr);
  if (RestoreFocus && before && before->CanFocus()) before->SetFocus();
  FClosing = false;
}

void TPopupMenu::VisibleChanged() {
  TCustomControl::VisibleChanged();
  // Hidden by someone else (the form, as its window lost the focus): closed, as by Escape.
  if (!Visible() && FOpen) Close(true);
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FFocusBefore) FFocusBefore = nullptr;
}

void TPopupMenu::Highlight(int Index) {
  if (Index == FItemIndex) return;
  FItemIndex = Index;
  Invalidate();
  AccessibleChanged();
}

void TPopupMenu::Choose(int Index) {
  if (Index < 0 || Index >= static_cast<int>(FItems.size())) return;
  Close(true);
  if (OnChoose) OnChoose(Index);
}

bool TPopupMenu::SelectAccessibleItem(int Index) {
  if (!FOpen || Index < 0 || Index >= static_cast<int>(FItems.size())) return false;
  Choose(Index);
  return true;
}

void TPopupMenu::DescribeAccessible(TAccessibleDescription& Description) const {
  TCustomControl::DescribeAccessible(Description);
  Description.Role = TAccessibleRole::Menu;
  Description.Items.clear();
  for (int i = 0; i < static_cast<int>(FItems.size()); ++i)
    Description.Items.push_back({.Name = FItems[static_cast<std::size_t>(i)].Caption,
                                 .Selected = i == FItemIndex,
                                 .Checkable = true,
                                 .Checked = FItems[static_cast<std::size_t>(i)].Checked});
}

unsigned TPopupMenu::GetDialogCode() { return DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTCHARS; }

void TPopupMenu::KeyDown(TKey& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  const int count = static_cast<int>(FItems.size());
  if (count == 0) return;
  switch (Key) {
    case VK_DOWN: Highlight(FItemIndex < 0 ? 0 : (FItemIndex + 1) % count); break;
    case VK_UP: Highlight(FItemIndex <= 0 ? count - 1 : FItemIndex - 1); break;
    case VK_HOME: Highlight(0); break;
    case VK_END: Highlight(count - 1); break;
    // Chosen as the key comes up: the control that has the focus back must not take its release
    // for a press of its own.
    case VK_RETURN:
    case VK_SPACE: FChooseKey = Key; break;
    case VK_ESCAPE: CloseUp(); break;
    default: return;
  }
  Key = 0;
}

void TPopupMenu::KeyUp(TKey& Key, TShiftState Shift) {
  TCustomControl::KeyUp(Key, Shift);
  if (Key == 0 || Key != FChooseKey) return;
  FChooseKey = 0;
  Key = 0;
  Choose(FItemIndex);
}

void TPopupMenu::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  // The form hands every press to the open menu: one outside it closes it.
  if (!ClientRect().Contains(TPoint{X, Y})) CloseUp();
}

void TPopupMenu::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (FOpen) Choose(ItemAt(X, Y));
}

void TPopupMenu::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  const int under = ItemAt(X, Y);
  if (under >= 0) Highlight(under);
}

void TPopupMenu::MouseLeave() {
  TCustomControl::MouseLeave();
  Highlight(-1);
}

void TPopupMenu::Paint(TCanvas& Canvas) {
  gfx::Graphics& g = Canvas.Graphics();
  const gfx::Color face = ToGfxColor(Color());
  g.SetSmoothingMode(gfx::SmoothingMode::AntiAlias);
  const gfx::RectF outline{0.5f, 0.5f, static_cast<float>(Width()) - 1, static_cast<float>(Height()) - 1};
  const gfx::Path shape = RoundedRect(outline, kRadius);
  g.FillPath(gfx::LinearGradientBrush(outline, Lighter(face), face, gfx::LinearGradientMode::Vertical), shape);
  g.DrawPath(gfx::Pen(ToGfxColor(FrameColor)), shape);
  for (int i = 0; i < static_cast<int>(FItems.size()); ++i) {
    const TRect r = ItemRect(i);
    const bool lit = i == FItemIndex;
    if (lit) {
      const gfx::RectF band{static_cast<float>(r.Left), static_cast<float>(r.Top), static_cast<float>(r.Width()),
                            static_cast<float>(r.Height())};
      const gfx::Color light = ToGfxColor(HighlightColor);
      g.FillPath(gfx::LinearGradientBrush(band, Lighter(light), light, gfx::LinearGradientMode::Vertical),
                 RoundedRect(band, kRadius - 2));
    }
    TFont font;
    font.Assign(Font());
    if (lit) font.SetColor(HighlightTextColor);
    if (FItems[static_cast<std::size_t>(i)].Checked) {
      // A tick in the check column, in the caption's colour.
      const float x = static_cast<float>(r.Left) + 7;
      const float y = static_cast<float>(r.Top + r.Height() / 2);
      const std::array<gfx::PointF, 3> tick = {gfx::PointF{x, y}, gfx::PointF{x + 3.5f, y + 3.5f},
                                               gfx::PointF{x + 10, y - 4.5f}};
      gfx::Pen pen(ToGfxColor(font.Color()), 2);
      g.DrawLines(pen, tick);
    }
    Canvas.DrawText({r.Left + kCheckColumn, r.Top, r.Right - 4, r.Bottom}, FItems[static_cast<std::size_t>(i)].Caption,
                    font, TextHAlign::Left, TextVAlign::Center);
  }
}

}  // namespace sib
