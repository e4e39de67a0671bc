#include "platform/ui/win_control.h"

#include <algorithm>

#include "platform/core/errors.h"
#include "platform/ui/canvas.h"
#include "platform/ui/form.h"

namespace sib {

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  for (TControl* c : FControls) c->FParent = nullptr;
}

TPropertyList TWinControl::PublishedProperties() {
  return {
      prop("DoubleBuffered", &TWinControl::DoubleBuffered, &TWinControl::SetDoubleBuffered).defaultValue(false),
      prop("ParentBackground", &TWinControl::ParentBackground, &TWinControl::SetParentBackground).defaultValue(true),
      prop("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder).defaultValue(-1),
      prop("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop).defaultValue(false),
      prop("OnEnter", &TWinControl::OnEnter),
      prop("OnExit", &TWinControl::OnExit),
      prop("OnKeyDown", &TWinControl::OnKeyDown),
      prop("OnKeyPress", &TWinControl::OnKeyPress),
      prop("OnKeyUp", &TWinControl::OnKeyUp),
  };
}

void TWinControl::BeforeDestruction() {
  // What lies on a windowed control goes with it, whoever owns it.
  while (!FControls.empty()) FreeComponent(FControls.back());
  TControl::BeforeDestruction();
}

void TWinControl::Loaded() {
  TControl::Loaded();
  NormaliseTabOrder();
  Realign();
}

TControl* TWinControl::ControlAtPos(TPoint P) const {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it)
    if ((*it)->Visible() && (*it)->BoundsRect().Contains(P)) return *it;
  return nullptr;
}

void TWinControl::InsertControl(TControl* AControl) {
  FControls.push_back(AControl);
  if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
    const auto windowed = std::count_if(FControls.begin(), FControls.end(),
                                        [](TControl* c) { return dynamic_cast<TWinControl*>(c) != nullptr; });
    w->FTabOrder = static_cast<int>(windowed) - 1;
  }
}

void TWinControl::RemoveControl(TControl* AControl) {
  FControls.erase(std::remove(FControls.begin(), FControls.end(), AControl), FControls.end());
  if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
    w->FTabOrder = -1;
    if (!Loading()) NormaliseTabOrder();
  }
}

// --- Focus ----------------------------------------------------------------------------------------

std::vector<TWinControl*> TWinControl::TabList() const {
  std::vector<TWinControl*> list;
  for (TControl* c : FControls)
    if (auto* w = dynamic_cast<TWinControl*>(c)) list.push_back(w);
  std::stable_sort(list.begin(), list.end(), [](TWinControl* a, TWinControl* b) { return a->FTabOrder < b->FTabOrder; });
  return list;
}

void TWinControl::NormaliseTabOrder() {
  int order = 0;
  for (TWinControl* w : TabList()) w->FTabOrder = order++;
}

void TWinControl::SetTabOrder(int Value) {
  if (Loading() || !FParent) {
    FTabOrder = Value;
    return;
  }
  std::vector<TWinControl*> list = FParent->TabList();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  const auto place = static_cast<std::size_t>(std::clamp(Value, 0, static_cast<int>(list.size())));
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(place), this);
  int order = 0;
  for (TWinControl* w : list) w->FTabOrder = order++;
}

bool TWinControl::CanFocus() const {
  const TForm* form = GetParentForm();
  if (!form) return false;
  for (const TControl* c = this; c && c != form; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return form->Enabled();
}

bool TWinControl::Focused() const {
  const TForm* form = GetParentForm();
  return form && form->ActiveControl() == this;
}

void TWinControl::DescribeAccessible(TAccessibleDescription& Description) const {
  TControl::DescribeAccessible(Description);
  if (FTabStop) Description.States.Include(asFocusable);
  if (Focused()) Description.States.Include(asFocused);
}

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  GetParentForm()->SetActiveControl(this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) const {
  for (TWinControl* w : TabList()) {
    List.push_back(w);
    w->GetTabOrderList(List);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop,
                                          bool CheckParent) const {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  const int n = static_cast<int>(list.size());
  if (n == 0) return nullptr;
  const auto found = std::find(list.begin(), list.end(), CurControl);
  // Without a current control the walk starts just before the first (or after the last).
  int start = found == list.end() ? (GoForward ? n - 1 : 0) : static_cast<int>(found - list.begin());
  if (found == list.end() && !GoForward) start = 0;
  for (int step = 1; step <= n; ++step) {
    const int index = ((start + (GoForward ? step : -step)) % n + n) % n;
    TWinControl* c = list[static_cast<std::size_t>(index)];
    if (c == CurControl) continue;
    if (CheckTabStop && !c->TabStop()) continue;
    if (CheckParent && c->Parent() != this) continue;
    if (c->CanFocus()) return c;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
  if (TWinControl* next = FindNextControl(CurControl, GoForward, CheckTabStop, false)) next->SetFocus();
}

void TWinControl::SetParentBackground(bool Value) {
  if (Value == FParentBackground) return;
  FParentBackground = Value;
  Invalidate();
}

// --- Keys -----------------------------------------------------------------------------------------

void TWinControl::KeyDown(TKey& Key, TShiftState Shift) { OnKeyDown(this, Key, Shift); }

void TWinControl::KeyUp(TKey& Key, TShiftState Shift) { OnKeyUp(this, Key, Shift); }

void TWinControl::KeyPress(char32_t& Key) { OnKeyPress(this, Key); }

void TWinControl::DoEnter() { OnEnter(this); }

void TWinControl::DoExit() { OnExit(this); }

bool TWinControl::BroadcastDialogChar(char32_t Char, TShiftState Shift) {
  const std::vector<TControl*> controls = FControls;
  for (TControl* c : controls) {
    if (!c->Visible() || !c->Enabled()) continue;
    if (c->DialogChar(Char, Shift)) return true;
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->BroadcastDialogChar(Char, Shift)) return true;
  }
  return false;
}

// --- Alignment ------------------------------------------------------------------------------------

void TWinControl::Realign() {
  if (FAligning > 0 || Loading()) return;
  ++FAligning;
  try {
    TRect rect = ClientRect();
    AlignControls(rect);
  } catch (...) {
    --FAligning;
    throw;
  }
  --FAligning;
}

void TWinControl::AlignControls(TRect& Rect) {
  for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* c : FControls) {
      if (c->Align() != align || !c->Visible()) continue;
      switch (align) {
        case alTop:
          c->SetBounds(Rect.Left, Rect.Top, Rect.Width(), c->Height());
          Rect.Top += c->Height();
          break;
        case alBottom:
          c->SetBounds(Rect.Left, Rect.Bottom - c->Height(), Rect.Width(), c->Height());
          Rect.Bottom -= c->Height();
          break;
        case alLeft:
          c->SetBounds(Rect.Left, Rect.Top, c->Width(), Rect.Height());
          Rect.Left += c->Width();
          break;
        case alRight:
          c->SetBounds(Rect.Right - c->Width(), Rect.Top, c->Width(), Rect.Height());
          Rect.Right -= c->Width();
          break;
        default:
          c->SetBounds(Rect.Left, Rect.Top, Rect.Width(), Rect.Height());
          break;
      }
    }
  }
}

// --- Painting and notifications -------------------------------------------------------------------

void TWinControl::PaintTree(TCanvas& Canvas, const TRect& Dirty) {
  TControl::PaintTree(Canvas, Dirty);
  const std::vector<TControl*> controls = FControls;
  for (TControl* c : controls) {
    if (!c->Visible()) continue;
    const TRect part = c->BoundsRect().Intersect(Dirty);
    if (part.IsEmpty()) continue;
    TCanvas inner(Canvas, {c->Left(), c->Top()}, part);
    c->PaintTree(inner, part.Offset(-c->Left(), -c->Top()));
  }
}

void TWinControl::EnabledChanged() { TControl::EnabledChanged(); }

void TWinControl::VisibleChanged() { TControl::VisibleChanged(); }

void TWinControl::FontChanged() {
  TControl::FontChanged();
  const std::vector<TControl*> controls = FControls;
  for (TControl* c : controls) c->ParentFontChanged();
}

void TWinControl::ColorChanged() {
  TControl::ColorChanged();
  const std::vector<TControl*> controls = FControls;
  for (TControl* c : controls) c->ParentColorChanged();
}

void TWinControl::ParentShowHintChangedInChildren() {
  const std::vector<TControl*> controls = FControls;
  for (TControl* c : controls) c->ParentShowHintChanged();
}

void TWinControl::Resize() {
  TControl::Resize();
  Realign();
}

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {}

}  // namespace sib
