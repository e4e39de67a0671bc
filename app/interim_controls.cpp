#include "app/interim_controls.h"

namespace sib {

void TInterimLedLabel::SetCaption(TInterimLedCaption* Value) {
  if (!Value) return;
  FCaption->SetValue(Value->Value());
  FCaption->SetFormat(Value->Format());
}

void TInterimSpinner::Select(int CustomIndex) {
  OnSelectedValueChanged(this, 0, CustomIndex, CustomIndex, TInterimRangeType::Custom);
}

void TInterimTrackBar::SetPosition(double Value) {
  if (Value == FPosition || !InRange(Value)) return;
  FPosition = Value;
  OnPositionChanged(this, FPosition);
}

void TInterimTrackBar::DragTo(double Value) {
  if (Value == FPosition || !InRange(Value)) return;
  FPosition = Value;
  OnPositionChanging(this, Value);
}

void TInterimTrackBar::EndDrag() { OnPositionChanged(this, FPosition); }

void TInterimTrackBar::ClickBeside(int Direction) {
  const double target = FPosition + (Direction < 0 ? -1 : 1);
  if (!InRange(target)) return;
  FPosition = target;
  OnPositionChanged(this, FPosition);
}

void RegisterInterimControls() {
  RegisterClasses<TInterimCaptionControl, TInterimPanel, TInterimLedLabel, TInterimSpinner, TInterimTrackBar>();
}

}  // namespace sib
