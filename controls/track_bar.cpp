#include "controls/track_bar.h"

#include <algorithm>
#include <cmath>

#include "platform/core/value_format.h"
#include "platform/ui/hint_window.h"

namespace sib {

namespace {

// Halves to even: the default rounding of the floating-point environment.
double RoundEven(double x) { return std::nearbyint(x); }

}  // namespace

TAdvSmoothTrackBar::TAdvSmoothTrackBar(TComponent* AOwner)
    : TCustomControl(AOwner),
      FFill(std::make_unique<TGDIPFill>()),
      FProgressFill(std::make_unique<TGDIPFill>()),
      FThumbFill(std::make_unique<TGDIPFill>()),
      FProgressFont(std::make_unique<TFont>()) {
  for (TGDIPFill* fill : {FFill.get(), FProgressFill.get(), FThumbFill.get()})
    fill->SetOnChange(TNotifyEvent(this, &TAdvSmoothTrackBar::FillChanged));
  FProgressFont->OnChange = TNotifyEvent(this, &TAdvSmoothTrackBar::FontOnChange);
  SetTabStop(true);
  SetDoubleBuffered(true);
  SetBounds(0, 0, 90, 250);
  UpdateOpaque();
}

TAdvSmoothTrackBar::~TAdvSmoothTrackBar() = default;

TPropertyList TAdvSmoothTrackBar::PublishedProperties() {
  using T = TAdvSmoothTrackBar;
  return {
      prop("Direction", &T::Direction, &T::SetDirection).defaultValue(dVertical),
      prop("Fill", &T::Fill, &T::SetFill),
      prop("ProgressFill", &T::ProgressFill, &T::SetProgressFill),
      prop("ThumbFill", &T::ThumbFill, &T::SetThumbFill),
      prop("ThumbSize", &T::ThumbSize, &T::SetThumbSize).defaultValue(40),
      prop("ProgressFont", &T::ProgressFont, &T::SetProgressFont),
      prop("Minimum", &T::Minimum, &T::SetMinimum).defaultValue(0.0),
      prop("Maximum", &T::Maximum, &T::SetMaximum).defaultValue(100.0),
      prop("Step", &T::Step, &T::SetStep).defaultValue(20.0),
      prop("Position", &T::Position, &T::SetPosition).defaultValue(0.0),
      prop("PositionToolTip", &T::PositionToolTip, &T::SetPositionToolTip).defaultValue(false),
      prop("PositionToolTipFormat", &T::PositionToolTipFormat, &T::SetPositionToolTipFormat).defaultValue("%.2f"),
      prop("ValueFormat", &T::ValueFormat, &T::SetValueFormat).defaultValue("%g db"),
      prop("ShowValues", &T::ShowValues, &T::SetShowValues).defaultValue(true),
      prop("ShowTickMarks", &T::ShowTickMarks, &T::SetShowTickMarks).defaultValue(true),
      prop("TickMarkSize", &T::TickMarkSize, &T::SetTickMarkSize).defaultValue(15),
      prop("TickMarkColor", &T::TickMarkColor, &T::SetTickMarkColor).type(ColorTypeInfo()).defaultValue(clBlack),
      prop("SnapToTickMarks", &T::SnapToTickMarks, &T::SetSnapToTickMarks).defaultValue(true),
      prop("SnapMargin", &T::SnapMargin, &T::SetSnapMargin).defaultValue(10.0),
      prop("GlowAnimation", &T::GlowAnimation, &T::SetGlowAnimation).defaultValue(true),
      prop("ShowProgress", &T::ShowProgress, &T::SetShowProgress).defaultValue(true),
      prop("Version", &T::Version, &T::SetVersion),
      prop("OnPositionChanged", &T::OnPositionChanged),
      prop("OnPositionChanging", &T::OnPositionChanging),
      prop("OnDrawNumber", &T::OnDrawNumber),
      prop("OnGetToolTipText", &T::OnGetToolTipText),
  };
}

void TAdvSmoothTrackBar::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TAdvSmoothTrackBar*>(Source);
  if (!other) {
    TCustomControl::Assign(Source);
    return;
  }
  FDirection = other->FDirection;
  FFill->Assign(other->FFill.get());
  FProgressFill->Assign(other->FProgressFill.get());
  FThumbFill->Assign(other->FThumbFill.get());
  FThumbSize = other->FThumbSize;
  Font()->Assign(other->Font());
  FMinimum = other->FMinimum;
  FMaximum = other->FMaximum;
  FStep = other->FStep;
  FPosition = other->FPosition;
  FValueFormat = other->FValueFormat;
  FShowValues = other->FShowValues;
  FShowTickMarks = other->FShowTickMarks;
  FTickMarkSize = other->FTickMarkSize;
  FSnapToTickMarks = other->FSnapToTickMarks;
  FSnapMargin = other->FSnapMargin;
  FGlowAnimation = other->FGlowAnimation;
  FTickMarkColor = other->FTickMarkColor;
  Changed();
}

void TAdvSmoothTrackBar::Loaded() {
  TCustomControl::Loaded();
  // The size was stored before the direction; record it along the loaded direction.
  RecordExtent();
}

void TAdvSmoothTrackBar::Changed() { Invalidate(); }

void TAdvSmoothTrackBar::FillChanged(TObject* /*Sender*/) {
  UpdateOpaque();
  Changed();
}

void TAdvSmoothTrackBar::FontChanged() {
  TCustomControl::FontChanged();
  Changed();
}

void TAdvSmoothTrackBar::UpdateOpaque() {
  const TGDIPFill& f = *FFill;
  const bool solidColours = f.Opacity() == 255 && f.OpacityTo() == 255 && f.OpacityMirror() == 255 &&
                            f.OpacityMirrorTo() == 255 && f.Color() != clNone;
  // Rounded corners, a soft shadow or a body without a brush leave pixels for the parent to show.
  const bool coversAll = f.Rounding() <= 0 && (f.ShadowOffset() <= 0 || f.ShadowColor() == clNone) &&
                         f.GradientType() != gtNone && f.GradientType() != gtPath && f.GradientType() != gtTexture &&
                         f.GradientType() != gtRadial;
  TControlStyle style = ControlStyle();
  if (solidColours && coversAll) style.Include(csOpaque);
  else style.Exclude(csOpaque);
  SetControlStyle(style);
}

// --- Geometry --------------------------------------------------------------------------------------

TRect TAdvSmoothTrackBar::InsideRect() const {
  const int shadow = FFill->ShadowColor() != clNone ? FFill->ShadowOffset() : 0;
  TRect r{0, 0, Width() - 1 - shadow, Height() - 1 - shadow};
  const int border = FFill->BorderColor() != clNone ? 1 : (FFill->BorderWidth() + 1) / 2;
  return {r.Left + border, r.Top + border, r.Right - border, r.Bottom - border};
}

TGPRectF TAdvSmoothTrackBar::GetNumRect() const {
  const TRect I = InsideRect();
  const float half = static_cast<float>(FThumbSize) / 2;
  if (Horizontal())
    return {I.Left + half, float(I.Top), float(I.Right - FThumbSize), float(I.Bottom)};
  return {float(I.Left), I.Top + half, float(I.Right), float(I.Bottom - FThumbSize)};
}

double TAdvSmoothTrackBar::NumLength() const {
  const TGPRectF r = GetNumRect();
  return Horizontal() ? r.Width : r.Height;
}

double TAdvSmoothTrackBar::GetPosition() const {
  const double range = FMaximum - FMinimum;
  if (!(range > 0)) return 0;
  const double L = NumLength();
  return std::min(L, L * (FPosition - FMinimum) / range);
}

double TAdvSmoothTrackBar::GetPosition(double d) const {
  const double range = FMaximum - FMinimum;
  const double L = NumLength();
  if (!(range > 0) || !(L > 0)) return 0;
  double x = FMinimum + d / L * range;
  if (FSnapToTickMarks) {
    // The grid is the multiples of Step counted from 0, not from Minimum.
    const double t = RoundEven(x / FStep) * FStep;
    if (t - FSnapMargin <= x && x <= t + FSnapMargin) x = t;
  }
  return std::clamp(x, FMinimum, FMaximum);
}

TGPRectF TAdvSmoothTrackBar::GetSliderRect() const {
  const TRect I = InsideRect();
  const TGPRectF num = GetNumRect();
  const float o = static_cast<float>(GetPosition());
  const float T = static_cast<float>(FThumbSize);
  if (Horizontal()) return {num.X + o - T / 2, float(I.Top + 7), T, float(I.Bottom - 14)};
  return {float(I.Left + 7), num.Bottom() - o - T / 2, float(I.Right - 14), T};
}

TGPRectF TAdvSmoothTrackBar::GetProgressRect() const {
  const TRect I = InsideRect();
  const float o = static_cast<float>(GetPosition());
  const float reach = o + static_cast<float>(FThumbSize) / 2;
  if (Horizontal()) return {float(I.Left), float(I.Top), reach, float(I.Bottom)};
  return {float(I.Left), I.Bottom - reach, float(I.Right), reach};
}

bool TAdvSmoothTrackBar::OnThumb(int X, int Y) const {
  const TGPRectF s = GetSliderRect();
  const int left = static_cast<int>(RoundEven(s.X));
  const int top = static_cast<int>(RoundEven(s.Y));
  const TRect r = TRect::FromSize(left, top, static_cast<int>(RoundEven(s.Width)), static_cast<int>(RoundEven(s.Height)));
  return r.Contains(TPoint{X, Y});
}

// --- Setters ---------------------------------------------------------------------------------------

void TAdvSmoothTrackBar::SetDirection(TAdvSmoothTrackBarDirection Value) {
  if (FDirection == Value) return;
  FDirection = Value;
  if (Parent() && !Loading()) {
    // The recorded length runs along the new direction.
    const int length = FLength, thickness = FThickness;
    if (Horizontal()) SetBounds(Left(), Top(), length, thickness);
    else SetBounds(Left(), Top(), thickness, length);
  }
  RecordExtent();
  Changed();
}

void TAdvSmoothTrackBar::Resize() {
  TCustomControl::Resize();
  RecordExtent();
}

void TAdvSmoothTrackBar::RecordExtent() {
  FLength = Horizontal() ? Width() : Height();
  FThickness = Horizontal() ? Height() : Width();
}

void TAdvSmoothTrackBar::SetMinimum(double Value) {
  if (FMinimum == Value) return;
  FMinimum = Value;
  if (FMinimum > FPosition) FPosition = FMinimum;
  Changed();
  AccessibleChanged();
}

void TAdvSmoothTrackBar::SetMaximum(double Value) {
  if (FMaximum == Value) return;
  FMaximum = Value;
  if (FMaximum < FPosition) FPosition = FMaximum;
  Changed();
  AccessibleChanged();
}

void TAdvSmoothTrackBar::SetStep(double Value) {
  if (!(Value > 0)) return;
  Set(FStep, Value);
  AccessibleChanged();
}

void TAdvSmoothTrackBar::SetPosition(double Value) {
  if (Value == FPosition || !InRange(Value)) return;
  FPosition = Value;
  StartGlow();
  OnPositionChanged(this, FPosition);
  Changed();
  AccessibleChanged();
}

void TAdvSmoothTrackBar::StorePosition(double Value) {
  FPosition = Value;
  Changed();
  AccessibleChanged();
}

// --- Accessibility ---------------------------------------------------------------------------------

void TAdvSmoothTrackBar::DescribeAccessible(TAccessibleDescription& Description) const {
  TCustomControl::DescribeAccessible(Description);
  Description.Role = TAccessibleRole::Slider;
  Description.Range = TAccessibleRange{FPosition, FMinimum, FMaximum, FStep};
  if (Horizontal()) Description.States.Include(asHorizontal);
}

bool TAdvSmoothTrackBar::SetAccessibleValue(double Value) {
  if (!std::isfinite(Value) || !InRange(Value) || !EnabledInTree()) return false;
  SetPosition(Value);
  return true;
}

void TAdvSmoothTrackBar::SetGlowAnimation(bool Value) {
  if (FGlowAnimation == Value) return;
  FGlowAnimation = Value;
  ArmGlowTimer(FDoGlow && FGlowAnimation);
  Changed();
}

// --- Glint -----------------------------------------------------------------------------------------

void TAdvSmoothTrackBar::StartGlow() {
  if (FGlowPos != kGlowIdle) return;
  FDoGlow = true;
  ArmGlowTimer(FGlowAnimation);
}

void TAdvSmoothTrackBar::ArmGlowTimer(bool On) {
  if (On == FGlowTimerRunning) return;
  if (On && ComponentState().Contains(csDesigning)) return;
  if (On) SetTimer(kGlowTimerId, kGlowIntervalMs);
  else KillTimer(kGlowTimerId);
  FGlowTimerRunning = On;
}

void TAdvSmoothTrackBar::Timer(std::uint32_t Id) {
  if (Id == kGlowTimerId) AnimateGlow();
}

void TAdvSmoothTrackBar::AnimateGlow() {
  if (!FDoGlow || !FGlowAnimation) {
    ArmGlowTimer(false);
    return;
  }
  FGlowPos += kGlowStep;
  if (FGlowPos > GetPosition()) {
    FGlowPos = kGlowIdle;
    FDoGlow = false;
    ArmGlowTimer(false);
  }
  Changed();
}

// --- Mouse -----------------------------------------------------------------------------------------

void TAdvSmoothTrackBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (CanFocus()) SetFocus();
  FMouseDownOnSlider = OnThumb(X, Y);
  if (FMouseDownOnSlider && FPositionToolTip) UpdateToolTip();
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TAdvSmoothTrackBar::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!FMouseDownOnSlider) return;
  const double d = Horizontal() ? X - FThumbSize / 2.0 : Height() - FThumbSize / 2.0 - Y;
  const double v = GetPosition(d);
  if (InRange(v) && v != FPosition) {
    FPosition = v;
    StartGlow();
    OnPositionChanging(this, v);
  }
  if (FPositionToolTip) UpdateToolTip();
  Repaint();
}

void TAdvSmoothTrackBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (FMouseDownOnSlider) {
    OnPositionChanged(this, FPosition);
    if (FPositionToolTip) HideToolTip();
  } else {
    const TGPRectF s = GetSliderRect();
    double target = FPosition;
    if (Horizontal()) {
      if (X < s.X) target = FPosition - FStep;
      else if (X > s.Right()) target = FPosition + FStep;
    } else {
      if (Y < s.Y) target = FPosition + FStep;
      else if (Y > s.Bottom()) target = FPosition - FStep;
    }
    if (target != FPosition && InRange(target)) {
      FPosition = target;
      StartGlow();
      OnPositionChanged(this, FPosition);
    }
  }
  FMouseDownOnSlider = false;
  SetCursor(crDefault);
  Changed();
  TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TAdvSmoothTrackBar::MouseCaptureLost() {
  // The drag is over without a release: what it reached stays, and is reported as finished.
  if (FMouseDownOnSlider) {
    FMouseDownOnSlider = false;
    OnPositionChanged(this, FPosition);
    HideToolTip();
    Changed();
  }
}

// --- Keys ------------------------------------------------------------------------------------------

unsigned TAdvSmoothTrackBar::GetDialogCode() { return TabStop() ? DLGC_WANTARROWS | DLGC_WANTALLKEYS : 0; }

namespace {
bool IsNavigationKey(TKey Key) {
  return Key == VK_END || Key == VK_HOME || Key == VK_LEFT || Key == VK_RIGHT || Key == VK_UP || Key == VK_DOWN;
}
}  // namespace

void TAdvSmoothTrackBar::KeyDown(TKey& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (!TabStop()) return;
  FPrevPos = FPosition;
  switch (Key) {
    case VK_END: FPrevPos = FMaximum; break;
    case VK_HOME: FPrevPos = FMinimum; break;
    case VK_LEFT:
    case VK_DOWN: FPrevPos = FPosition - FStep; break;
    case VK_RIGHT:
    case VK_UP: FPrevPos = FPosition + FStep; break;
    default: return;
  }
  if (FPrevPos != FPosition && InRange(FPrevPos)) {
    OnPositionChanging(this, FPrevPos);
    StorePosition(FPrevPos);
  }
}

void TAdvSmoothTrackBar::KeyUp(TKey& Key, TShiftState Shift) {
  TCustomControl::KeyUp(Key, Shift);
  if (TabStop() && IsNavigationKey(Key)) OnPositionChanged(this, FPosition);
}

void TAdvSmoothTrackBar::DoEnter() {
  FFocused = true;
  Changed();
  TCustomControl::DoEnter();
}

void TAdvSmoothTrackBar::DoExit() {
  FFocused = false;
  Changed();
  TCustomControl::DoExit();
}

// --- Tooltip ---------------------------------------------------------------------------------------

void TAdvSmoothTrackBar::UpdateToolTip() {
  std::string text;
  try {
    text = FormatValue(FPositionToolTipFormat, FPosition);
  } catch (const std::exception&) {
    text.clear();  // a stored format that is not one shows an empty tip
  }
  if (!FHint) FHint = std::make_unique<THintWindow>(*this);
  if (text != FHintText || !FHint->Visible()) {
    FHintText = text;
    OnGetToolTipText(this, FPosition, text);
    // Above the thumb's middle, clear of the pointer.
    const TGPRectF s = GetSliderRect();
    const TRect size = FHint->CalcHintRect(text);
    const TPoint at{static_cast<int>(s.X + s.Width / 2) - size.Width() / 2, -size.Height() - 2};
    FHint->ActivateHint(at, text);
  }
}

void TAdvSmoothTrackBar::HideToolTip() {
  if (FHint) FHint->Hide();
  FHintText.clear();
}

}  // namespace sib
