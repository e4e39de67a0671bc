#include "controls/spinner.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/core/numeric.h"
#include "platform/ui/canvas.h"
#include "platform/ui/form.h"
#include "platform/ui/tick_count.h"

namespace sib {

namespace {

// Moves `Pos` one pixel at a time (down or up) until it is a multiple of `Spacing`.
int SnapPixelwise(int Pos, int Spacing, bool Down) {
  while (Pos % Spacing != 0) Pos += Down ? -1 : 1;
  return Pos;
}

}  // namespace

// --- Appearance ------------------------------------------------------------------------------------

TAdvSmoothSpinnerColumnAppearance::TAdvSmoothSpinnerColumnAppearance(TAdvSmoothSpinner* AOwner)
    : FOwner(AOwner),
      FFill(std::make_unique<TGDIPFill>()),
      FHoverFill(std::make_unique<TGDIPFill>()),
      FDisabledFill(std::make_unique<TGDIPFill>()) {
  for (TGDIPFill* fill : {FFill.get(), FHoverFill.get(), FDisabledFill.get()})
    fill->SetOnChange(TNotifyEvent(this, &TAdvSmoothSpinnerColumnAppearance::FillChanged));
}

TAdvSmoothSpinnerColumnAppearance::~TAdvSmoothSpinnerColumnAppearance() = default;

TPersistent* TAdvSmoothSpinnerColumnAppearance::GetOwner() { return FOwner; }

TPropertyList TAdvSmoothSpinnerColumnAppearance::PublishedProperties() {
  using T = TAdvSmoothSpinnerColumnAppearance;
  return {
      prop("AutoSize", &T::AutoSize, &T::SetAutoSize).defaultValue(true),
      prop("AllowHovering", &T::AllowHovering, &T::SetAllowHovering).defaultValue(true),
      prop("Spacing", &T::Spacing, &T::SetSpacing).defaultValue(5),
      prop("Fill", &T::Fill, &T::SetFill),
      prop("HoverFill", &T::HoverFill, &T::SetHoverFill),
      prop("DisabledFill", &T::DisabledFill, &T::SetDisabledFill),
      prop("TextSpacing", &T::TextSpacing, &T::SetTextSpacing).defaultValue(25),
      prop("ImageWidth", &T::ImageWidth, &T::SetImageWidth).defaultValue(30),
      prop("ImageHeight", &T::ImageHeight, &T::SetImageHeight).defaultValue(30),
  };
}

void TAdvSmoothSpinnerColumnAppearance::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TAdvSmoothSpinnerColumnAppearance*>(Source);
  if (!other) {
    TPersistent::Assign(Source);
    return;
  }
  FAutoSize = other->FAutoSize;
  FAllowHovering = other->FAllowHovering;
  FSpacing = other->FSpacing;
  FFill->Assign(other->FFill.get());
  FHoverFill->Assign(other->FHoverFill.get());
  FDisabledFill->Assign(other->FDisabledFill.get());
  FImageWidth = other->FImageWidth;
  FImageHeight = other->FImageHeight;
  SetTextSpacing(other->FTextSpacing);
  Changed();
}

void TAdvSmoothSpinnerColumnAppearance::SetTextSpacing(int Value) {
  Value = std::max(1, Value);
  if (Value == FTextSpacing) return;
  FTextSpacing = Value;
  if (FOwner) FOwner->ResetScrollPositions();
  Changed();
}

void TAdvSmoothSpinnerColumnAppearance::Changed() { OnChange(this); }

// --- The spinner -----------------------------------------------------------------------------------

TAdvSmoothSpinner::TAdvSmoothSpinner(TComponent* AOwner)
    : TCustomControl(AOwner),
      FColumns(std::make_unique<TAdvSmoothSpinnerColumns>(this)),
      FColumnAppearance(std::make_unique<TAdvSmoothSpinnerColumnAppearance>(this)),
      FSelectedFill(std::make_unique<TGDIPFill>()),
      FTopLayerFill(std::make_unique<TGDIPFill>()),
      FBottomLayerFill(std::make_unique<TGDIPFill>()),
      FFill(std::make_unique<TGDIPFill>()) {
  for (TGDIPFill* fill : {FSelectedFill.get(), FTopLayerFill.get(), FBottomLayerFill.get(), FFill.get()})
    fill->SetOnChange(TNotifyEvent(this, &TAdvSmoothSpinner::FillChanged));
  FColumnAppearance->OnChange = TNotifyEvent(this, &TAdvSmoothSpinner::AppearanceChanged);
  SetTabStop(true);
  SetDoubleBuffered(true);
  SetBounds(0, 0, 200, 128);
}

TAdvSmoothSpinner::~TAdvSmoothSpinner() = default;

TPropertyList TAdvSmoothSpinner::PublishedProperties() {
  using T = TAdvSmoothSpinner;
  return {
      prop("AnimationFactor", &T::AnimationFactor, &T::SetAnimationFactor).defaultValue(4),
      prop("Columns", &T::Columns, &T::SetColumns),
      prop("ColumnAppearance", &T::ColumnAppearance, &T::SetColumnAppearance),
      prop("SelectedFill", &T::SelectedFill, &T::SetSelectedFill),
      prop("SelectedHeight", &T::SelectedHeight, &T::SetSelectedHeight).defaultValue(30),
      prop("TopLayerFill", &T::TopLayerFill, &T::SetTopLayerFill),
      prop("BottomLayerFill", &T::BottomLayerFill, &T::SetBottomLayerFill),
      prop("Fill", &T::Fill, &T::SetFill),
      prop("Version", &T::Version, &T::SetVersion),
      prop("ReadOnly", &T::ReadOnly, &T::SetReadOnly).defaultValue(false),
      prop("SmoothScrolling", &T::SmoothScrolling, &T::SetSmoothScrolling).defaultValue(false),
      prop("OnSelectedValueChanged", &T::OnSelectedValueChanged),
      prop("OnColumnHint", &T::OnColumnHint),
  };
}

void TAdvSmoothSpinner::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TAdvSmoothSpinner*>(Source);
  if (!other) {
    TCustomControl::Assign(Source);
    return;
  }
  FColumnAppearance->Assign(other->FColumnAppearance.get());
  FFill->Assign(other->FFill.get());
  FSelectedFill->Assign(other->FSelectedFill.get());
  FSelectedHeight = other->FSelectedHeight;
  FColumns->Assign(other->FColumns.get());
  FAnimationFactor = other->FAnimationFactor;
  FReadOnly = other->FReadOnly;
  FTopLayerFill->Assign(other->FTopLayerFill.get());
  FBottomLayerFill->Assign(other->FBottomLayerFill.get());
  FSmoothScrolling = other->FSmoothScrolling;
  Changed();
}

void TAdvSmoothSpinner::Loaded() {
  TCustomControl::Loaded();
  ResetScrollPositions();
  Changed();
}

void TAdvSmoothSpinner::ResetScrollPositions() {
  for (int i = 0; i < FColumns->Count(); ++i) Column(i)->ResetScrollPosition();
}

void TAdvSmoothSpinner::Changed() {
  int drawIndex = 0;
  for (int i = 0; i < FColumns->Count(); ++i) {
    TAdvSmoothSpinnerColumn* c = Column(i);
    if (c->Visible()) c->FDrawIndex = drawIndex++;
  }
  // Columns may have gone: a hovered index that names none is no hover.
  if (FHoveredColumn >= FColumns->Count()) FHoveredColumn = -1;
  UpdateAnimateTimer();
  Invalidate();
  AccessibleChanged();
}

void TAdvSmoothSpinner::EnabledChanged() {
  TCustomControl::EnabledChanged();
  Changed();
}

// --- Geometry --------------------------------------------------------------------------------------

TRect TAdvSmoothSpinner::InsideRect() const {
  const int shadow = FFill->ShadowColor() != clNone ? FFill->ShadowOffset() : 0;
  TRect r{0, 0, Width() - 1 - shadow, Height() - 1 - shadow};
  if (FFill->BorderColor() != clNone) {
    const int b = FFill->BorderWidth() == 1 ? 1 : (FFill->BorderWidth() + 1) / 2;
    r = {r.Left + b, r.Top + b, r.Right - b, r.Bottom - b};
  }
  return r;
}

TGPRectF TAdvSmoothSpinner::GetSelectedRect() const {
  const TRect I = InsideRect();
  const int m = (I.Bottom - I.Top) / 2;
  const int h = FSelectedHeight / 2;
  return {float(I.Left), float(m - h), float(I.Right - I.Left), float(2 * h)};
}

TGPRectF TAdvSmoothSpinner::GetTopLayerRect() const { return {0, 0, float(ClientWidth()), 36}; }

TGPRectF TAdvSmoothSpinner::GetBottomLayerRect() const {
  return {0, float(ClientHeight() - 37), float(ClientWidth()), 37};
}

int TAdvSmoothSpinner::VisibleColumnCount() const {
  int n = 0;
  for (int i = 0; i < FColumns->Count(); ++i) n += Column(i)->Visible() ? 1 : 0;
  return n;
}

int TAdvSmoothSpinner::XYToColumn(int X, int Y) const {
  for (int i = 0; i < FColumns->Count(); ++i) {
    const TAdvSmoothSpinnerColumn* c = Column(i);
    if (!c->Visible() || !c->Enabled()) continue;
    const TGPRectF r = c->GetColumnRect();
    const int left = static_cast<int>(roundHalfEven(r.X));
    const int top = static_cast<int>(roundHalfEven(r.Y));
    const TRect cell = TRect::FromSize(left, top, static_cast<int>(roundHalfEven(r.Width)),
                                       static_cast<int>(roundHalfEven(r.Height)));
    if (cell.Contains(TPoint{X, Y})) return i;
  }
  return -1;
}

// --- Selection reports and the glide ---------------------------------------------------------------

void TAdvSmoothSpinner::ReportSelection(TObject* Sender, TAdvSmoothSpinnerColumn& Col) {
  const double value = Col.FSelectedValue;
  AccessibleChanged();
  OnSelectedValueChanged(Sender, Col.Index(), static_cast<int>(roundHalfEven(value - Col.GetRangeFrom())), value,
                         Col.RangeType());
}

// --- Accessibility ---------------------------------------------------------------------------------

void TAdvSmoothSpinner::DescribeAccessible(TAccessibleDescription& Description) const {
  TCustomControl::DescribeAccessible(Description);
  Description.Role = TAccessibleRole::ListBox;
  if (FColumns->Count() == 0) return;
  const TAdvSmoothSpinnerColumn* col = Column(std::clamp(FFocusedColumn, 0, FColumns->Count() - 1));
  if (!col->HasItems()) return;
  const std::int64_t selected = col->SelectedCustomIndex();
  for (std::int64_t k = 0; k <= col->GetRangeCount(); ++k) Description.Items.push_back({col->ItemText(k), k == selected});
}

bool TAdvSmoothSpinner::SelectAccessibleItem(int Index) {
  if (FColumns->Count() == 0 || !EnabledInTree() || FReadOnly) return false;
  TAdvSmoothSpinnerColumn* col = Column(std::clamp(FFocusedColumn, 0, FColumns->Count() - 1));
  if (!col->HasItems() || !col->Visible() || !col->Enabled() || Index < 0 || Index > col->GetRangeCount()) return false;
  col->ScrollToValue(col->IncSteps(col->GetRangeFrom(), Index), false, 4);
  return true;
}

void TAdvSmoothSpinner::UpdateAnimateTimer() {
  // A hidden or disabled column does not glide, so it keeps no timer running.
  bool gliding = false;
  for (int i = 0; i < FColumns->Count(); ++i) {
    const TAdvSmoothSpinnerColumn& c = *Column(i);
    gliding = gliding || (c.FAnimate && c.Visible() && c.Enabled());
  }
  if (gliding == FAnimateTimerRunning) return;
  if (gliding) {
    SetTimer(kAnimateTimerId, kAnimateIntervalMs);
  } else {
    KillTimer(kAnimateTimerId);
  }
  FAnimateTimerRunning = gliding;
}

void TAdvSmoothSpinner::Timer(std::uint32_t Id) {
  if (Id == kAnimateTimerId) Animate();
}

void TAdvSmoothSpinner::Animate() {
  if (ComponentState().Contains(csDesigning)) return;
  for (int i = 0; i < FColumns->Count(); ++i) {
    TAdvSmoothSpinnerColumn& c = *Column(i);
    if (!c.FAnimate || !c.Visible() || !c.Enabled()) continue;
    if (!c.HasItems()) {
      c.FAnimate = c.FAnimating = false;
      continue;
    }
    const int spacing = FColumnAppearance->TextSpacing();
    const double divisor = std::max(std::abs(c.FSp) * FAnimationFactor, 1.0);
    const double delta = std::abs(c.FScPosTo - c.FCurrentScPos) / divisor;
    const bool over = std::abs(c.FScPosTo - c.FCurrentScPos) < 1;
    c.FAnimating = !over;
    if (over) {
      c.FCurrentScPos = c.FScPosTo;
      c.FAnimate = false;
      c.FSelectedValue = c.ValueAtPos(c.FScPosTo);
      ReportSelection(this, c);
      continue;
    }
    const int step = static_cast<int>(roundHalfEven(std::max(delta, 1.0)));
    c.FCurrentScPos += c.FScPosTo > c.FCurrentScPos ? step : -step;
    if (c.Cyclic()) {
      const int wrap = (static_cast<int>(c.GetRangeCount()) + 1) * spacing;
      bool wrapped = false;
      if (c.FScPosTo >= wrap) {
        c.FScPosTo -= wrap;
        c.FCurrentScPos -= wrap;
        wrapped = true;
      } else if (c.FScPosTo <= -spacing) {
        c.FScPosTo += wrap;
        c.FCurrentScPos += wrap;
        wrapped = true;
      }
      if (wrapped) c.FSelectedValue = c.ValueAtPos(c.FScPosTo);
    }
    Invalidate();
  }
  UpdateAnimateTimer();
}

// --- Keys ------------------------------------------------------------------------------------------

unsigned TAdvSmoothSpinner::GetDialogCode() { return TabStop() ? DLGC_WANTARROWS | DLGC_WANTALLKEYS : 0; }

void TAdvSmoothSpinner::KeyDown(TKey& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Key == 0 || FReadOnly || FColumns->Count() == 0) return;
  int index = FFocusedColumn + (Key == VK_LEFT ? -1 : Key == VK_RIGHT ? 1 : 0);
  index = std::clamp(index, 0, FColumns->Count() - 1);
  TAdvSmoothSpinnerColumn& c = *Column(index);
  if (!c.Enabled() || !c.Visible()) return;
  FFocusedColumn = index;
  // A custom column without items has nothing to select.
  if (!c.HasItems()) {
    Changed();
    return;
  }
  double e = c.FSelectedValue;
  switch (Key) {
    case VK_PRIOR: e = c.IncSteps(e, -10); break;
    case VK_NEXT: e = c.IncSteps(e, 10); break;
    case VK_END: e = c.GetRangeTo(); break;
    case VK_HOME: e = c.GetRangeFrom(); break;
    case VK_UP: e = c.IncSteps(e, -1); break;
    case VK_DOWN: e = c.IncSteps(e, 1); break;
    default: break;
  }
  if (c.Cyclic()) {
    if (e == c.IncSteps(c.GetRangeTo(), 1)) e = c.GetRangeFrom();
    else if (e == c.IncSteps(c.GetRangeFrom(), -1)) e = c.GetRangeTo();
  }
  e = c.ClampToRange(e);
  if (e != c.FSelectedValue) c.ScrollToValue(e, false, 4);
  Changed();
}

void TAdvSmoothSpinner::DoEnter() {
  TCustomControl::DoEnter();
  if (FReadOnly) return;
  FFocused = true;
  Changed();
}

void TAdvSmoothSpinner::DoExit() {
  TCustomControl::DoExit();
  if (FReadOnly) return;
  FFocused = false;
  Changed();
}

// --- The mouse -------------------------------------------------------------------------------------

bool TAdvSmoothSpinner::IgnoresMouse() const {
  return ComponentState().Contains(csDesigning) || FColumns->Count() == 0 || FReadOnly;
}

void TAdvSmoothSpinner::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (CanFocus() && !Focused()) SetFocus();
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (IgnoresMouse() || Button != mbLeft) return;
  const int index = XYToColumn(X, Y);
  if (index < 0) return;
  TAdvSmoothSpinnerColumn& c = *Column(index);
  c.FMouseDown = true;
  c.FDragY = c.FScrollY = c.FClickY = Y;
  c.FClickX = X;
  c.FTimeStart = TickCount();
}

void TAdvSmoothSpinner::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (IgnoresMouse()) return;
  const int index = XYToColumn(X, Y);
  if (index >= 0) {
    TAdvSmoothSpinnerColumn& c = *Column(index);
    if (c.FMouseDown) DragColumn(c, Y);
    // The flick is worked out when the button goes up; the first move after it has nothing left to do.
    c.FMouseUp = false;
  }
  UpdateHover(index);
}

void TAdvSmoothSpinner::DragColumn(TAdvSmoothSpinnerColumn& c, int Y) {
  const int spacing = FColumnAppearance->TextSpacing();
  if (!FSmoothScrolling && !(std::abs(c.FDragY - Y) > spacing / 2.0)) return;
  if (!c.HasItems()) return;
  c.FSp = 2;
  c.FAnimate = false;
  const bool down = Y > c.FDragY;
  const int distance = std::abs(Y - c.FDragY);
  int p = down ? c.FCurrentScPos - distance : c.FCurrentScPos + distance;
  if (!FSmoothScrolling) p = SnapPixelwise(p, spacing, down);
  const int last = c.LastPos();
  if (c.Cyclic() && p == last + spacing) p = 0;
  if (c.Cyclic() && p == -spacing) p = last;
  if (!(c.Cyclic() && FSmoothScrolling)) p = c.ClampPos(p);
  if (!FSmoothScrolling) {
    c.FSelectedValue = c.ValueAtPos(p);
    ReportSelection(this, c);
  }
  c.FCurrentScPos = c.FScPosTo = p;
  if (FSmoothScrolling) c.FScPosTo = SnapPixelwise(c.FScPosTo, spacing, down);
  c.FDragY = Y;
  Invalidate();
  UpdateAnimateTimer();
}

void TAdvSmoothSpinner::UpdateHover(int Index) {
  if (Index == FHoveredColumn) return;
  FHoveredColumn = Index;
  CancelHint();
  Changed();
}

void TAdvSmoothSpinner::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (IgnoresMouse() || Button != mbLeft) return;
  const int index = XYToColumn(X, Y);
  if (index >= 0 && Column(index)->FMouseDown) ReleaseColumn(*Column(index), X, Y);
  // A press that ends elsewhere (another column, outside every column) leaves nothing pressed.
  for (int i = 0; i < FColumns->Count(); ++i) Column(i)->FMouseDown = false;
  UpdateAnimateTimer();
}

void TAdvSmoothSpinner::ReleaseColumn(TAdvSmoothSpinnerColumn& c, int X, int Y) {
  FFocusedColumn = c.Index();
  c.FMouseDown = false;
  c.FMouseUp = true;
  if (c.FAnimating && c.FAnimate) {
    StopGlide(c);
    Changed();
    return;
  }
  c.FTimeStop = TickCount();
  c.FAnimate = c.FTimeStop - c.FTimeStart > 0;
  if (!FFocused) {
    FFocused = true;
    if (CanFocus() && !Focused()) SetFocus();
  } else if (std::abs(c.FScrollY - Y) <= kClickSlop) {
    const TGPRectF r = c.GetColumnRect();
    const int left = static_cast<int>(roundHalfEven(r.X));
    const int top = static_cast<int>(roundHalfEven(r.Y));
    const int width = static_cast<int>(roundHalfEven(r.Width));
    const int bottom = top + static_cast<int>(roundHalfEven(r.Height));
    if (TRect::FromSize(left, top, width, kClickZone).Contains(TPoint{X, Y})) c.Previous(false);
    else if (TRect::FromSize(left, bottom - kClickZone, width, kClickZone).Contains(TPoint{X, Y})) c.Next(false);
  }
  if (c.FAnimate) FlickColumn(c, Y);
  Changed();
}

// A release on a gliding column ends the glide: the drum settles on the item nearest to where it
// is, and that is all the release does.
void TAdvSmoothSpinner::StopGlide(TAdvSmoothSpinnerColumn& c) {
  const int spacing = FColumnAppearance->TextSpacing();
  const int nearest = static_cast<int>(roundHalfEven(double(c.FCurrentScPos) / spacing)) * spacing;
  c.FScPosTo = c.Cyclic() ? nearest : c.ClampPos(nearest);
  if (c.Cyclic()) {
    // A cyclic drum past either end is the same drum one turn over.
    const int wrap = c.LastPos() + spacing;
    const int turns = c.FScPosTo >= wrap ? -1 : c.FScPosTo < 0 ? 1 : 0;
    c.FScPosTo += turns * wrap;
    c.FCurrentScPos += turns * wrap;
  }
  c.FScrollY = c.FCurrentScPos;
  c.FTimeStart = c.FTimeStop = 0;
  c.FAnimate = true;
}

void TAdvSmoothSpinner::FlickColumn(TAdvSmoothSpinnerColumn& c, int Y) {
  const std::uint32_t t = c.FTimeStop - c.FTimeStart;
  if (t == 0 || t > kFlickMaxMs || !c.HasItems()) return;
  const int distance = std::abs(Y - c.FScrollY);
  c.FSp = double(distance) / t;
  if (!(c.FSp > 0)) return;
  const bool down = Y > c.FScrollY;
  const int move = static_cast<int>(roundHalfEven(distance * c.FSp));
  int to = down ? c.FScPosTo - move : c.FScPosTo + move;
  to = SnapPixelwise(to, FColumnAppearance->TextSpacing(), down);
  c.FScPosTo = c.Cyclic() ? to : c.ClampPos(to);
}

void TAdvSmoothSpinner::MouseLeave() {
  TCustomControl::MouseLeave();
  FHoveredColumn = -1;
  for (int i = 0; i < FColumns->Count(); ++i) {
    Column(i)->FMouseUp = true;
    Column(i)->FMouseDown = false;
  }
  CancelHint();
  Changed();
}

void TAdvSmoothSpinner::MouseCaptureLost() {
  for (int i = 0; i < FColumns->Count(); ++i) Column(i)->FMouseDown = false;
}

bool TAdvSmoothSpinner::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  if (TCustomControl::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
  if (FReadOnly || FHoveredColumn < 0 || FHoveredColumn >= FColumns->Count()) return false;
  TAdvSmoothSpinnerColumn& c = *Column(FHoveredColumn);
  if (!c.HasItems()) return true;
  const int spacing = FColumnAppearance->TextSpacing();
  c.FSp = FAnimationFactor;
  c.FScPosTo += WheelDelta < 0 ? spacing : -spacing;
  if (!c.Cyclic()) c.FScPosTo = c.ClampPos(c.FScPosTo);
  c.FAnimate = true;
  UpdateAnimateTimer();
  return true;
}

// --- Hints -----------------------------------------------------------------------------------------

bool TAdvSmoothSpinner::GetHintText(TPoint P, std::string& HintText) {
  HintText = Hint();
  const int index = XYToColumn(P.X, P.Y);
  if (index >= 0 && !Column(index)->Hint().empty()) HintText = Column(index)->Hint();
  OnColumnHint(this, index, HintText);
  return !HintText.empty();
}

// --- Painting --------------------------------------------------------------------------------------

void TAdvSmoothSpinner::Paint(TCanvas& Canvas) { PaintTo(Canvas.Graphics()); }

}  // namespace sib
