#include "controls/spinner_columns.h"

#include <algorithm>
#include <cmath>

#include "controls/spinner.h"
#include "platform/core/calendar.h"
#include "platform/core/date_time_format.h"
#include "platform/core/errors.h"
#include "platform/core/value_format.h"

namespace sib {

namespace {

// Integer division and remainder as the scroll model counts: truncating towards zero.
int DivTrunc(int a, int b) { return a / b; }

}  // namespace

// --- Custom items ----------------------------------------------------------------------------------

TPropertyList TAdvSmoothSpinnerCustomItem::PublishedProperties() {
  using T = TAdvSmoothSpinnerCustomItem;
  return {
      prop("Text", &T::Text, &T::SetText),
      prop("Value", &T::Value, &T::SetValue),
      prop("ImageIndex", &T::ImageIndex, &T::SetImageIndex).defaultValue(-1),
      prop("PictureName", &T::PictureName, &T::SetPictureName),
  };
}

void TAdvSmoothSpinnerCustomItem::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TAdvSmoothSpinnerCustomItem*>(Source);
  if (!other) {
    TCollectionItem::Assign(Source);
    return;
  }
  FText = other->FText;
  FValue = other->FValue;
  FImageIndex = other->FImageIndex;
  FPictureName = other->FPictureName;
  Changed(false);
}

TAdvSmoothSpinnerCustomItems::TAdvSmoothSpinnerCustomItems(TAdvSmoothSpinnerColumn* AOwner)
    : TCollection(TAdvSmoothSpinnerCustomItem::StaticClass(), AOwner), FOwner(AOwner) {}

void TAdvSmoothSpinnerCustomItems::Update(TCollectionItem* /*Item*/) {
  if (FOwner) FOwner->Changed();
}

// --- Columns ---------------------------------------------------------------------------------------

TAdvSmoothSpinnerColumns::TAdvSmoothSpinnerColumns(TAdvSmoothSpinner* AOwner)
    : TCollection(TAdvSmoothSpinnerColumn::StaticClass(), AOwner), FOwner(AOwner) {}

void TAdvSmoothSpinnerColumns::Update(TCollectionItem* /*Item*/) {
  if (FOwner) FOwner->Changed();
}

TAdvSmoothSpinnerColumn::TAdvSmoothSpinnerColumn(TCollection* Collection)
    : TCollectionItem(Collection),
      FDateRangeFrom(now()),
      FDateRangeTo(FDateRangeFrom + 20),
      FCustomItems(std::make_unique<TAdvSmoothSpinnerCustomItems>(this)),
      FFont(std::make_unique<TFont>()) {
  FFont->OnChange = TNotifyEvent(this, &TAdvSmoothSpinnerColumn::FontOnChange);
}

TAdvSmoothSpinnerColumn::~TAdvSmoothSpinnerColumn() = default;

TPropertyList TAdvSmoothSpinnerColumn::PublishedProperties() {
  using T = TAdvSmoothSpinnerColumn;
  return {
      prop("Visible", &T::Visible, &T::SetVisible).defaultValue(true),
      prop("Enabled", &T::Enabled, &T::SetEnabled).defaultValue(true),
      prop("Hint", &T::Hint, &T::SetHint),
      prop("Width", &T::Width, &T::SetWidth).defaultValue(20),
      prop("RangeFrom", &T::RangeFrom, &T::SetRangeFrom).defaultValue(0.0),
      prop("RangeTo", &T::RangeTo, &T::SetRangeTo).defaultValue(20.0),
      prop("DateRangeFrom", &T::DateRangeFrom, &T::SetDateRangeFrom).type(dateTimeType()),
      prop("DateRangeTo", &T::DateRangeTo, &T::SetDateRangeTo).type(dateTimeType()),
      prop("Step", &T::Step, &T::SetStep).defaultValue(1.0),
      prop("StepType", &T::StepType, &T::SetStepType).defaultValue(stNumber),
      prop("SelectedValue", &T::StoredSelectedValue, &T::SetSelectedValue).defaultValue(0.0),
      prop("ValueFormat", &T::ValueFormat, &T::SetValueFormat).defaultValue("%g"),
      prop("DateTimeValueFormat", &T::DateTimeValueFormat, &T::SetDateTimeValueFormat).defaultValue("dd/mm/yy"),
      prop("RangeType", &T::RangeType, &T::SetRangeType).defaultValue(rtNumber),
      prop("OnlyDate", &T::OnlyDate, &T::SetOnlyDate).defaultValue(false),
      prop("CustomItems", &T::CustomItems, &T::SetCustomItems),
      prop("Cyclic", &T::Cyclic, &T::SetCyclic).defaultValue(false),
      prop("Font", &T::Font, &T::SetFont),
      prop("TextAlign", &T::TextAlign, &T::SetTextAlign).defaultValue(taCenter),
  };
}

void TAdvSmoothSpinnerColumn::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TAdvSmoothSpinnerColumn*>(Source);
  if (!other) {
    TCollectionItem::Assign(Source);
    return;
  }
  FVisible = other->FVisible;
  FEnabled = other->FEnabled;
  FHint = other->FHint;
  FWidth = other->FWidth;
  FRangeFrom = other->FRangeFrom;
  FRangeTo = other->FRangeTo;
  FDateRangeFrom = other->FDateRangeFrom;
  FDateRangeTo = other->FDateRangeTo;
  FStep = other->FStep;
  FStepType = other->FStepType;
  FValueFormat = other->FValueFormat;
  FDateTimeValueFormat = other->FDateTimeValueFormat;
  FRangeType = other->FRangeType;
  FOnlyDate = other->FOnlyDate;
  FCustomItems->Assign(other->FCustomItems.get());
  FCyclic = other->FCyclic;
  FFont->Assign(other->FFont.get());
  FTextAlign = other->FTextAlign;
  FSelectedValue = other->FSelectedValue;
  ResetScrollPosition();
  Changed();
}

TAdvSmoothSpinner* TAdvSmoothSpinnerColumn::Spinner() const {
  auto* columns = dynamic_cast<TAdvSmoothSpinnerColumns*>(Collection());
  return columns ? columns->Spinner() : nullptr;
}

void TAdvSmoothSpinnerColumn::Changed() { TCollectionItem::Changed(false); }

int TAdvSmoothSpinnerColumn::TextSpacing() const {
  const TAdvSmoothSpinner* s = Spinner();
  return s ? s->ColumnAppearance()->TextSpacing() : 25;
}

// --- Ranges and steps ------------------------------------------------------------------------------

double TAdvSmoothSpinnerColumn::DateRangeEnd(double Value) const { return FOnlyDate ? std::trunc(Value) : Value; }

double TAdvSmoothSpinnerColumn::GetRangeFrom() const {
  switch (FRangeType) {
    case rtNumber: return FRangeFrom;
    case rtDateTime: return DateRangeEnd(FDateRangeFrom);
    case rtCustom: return 0;
  }
  return 0;
}

double TAdvSmoothSpinnerColumn::GetRangeTo() const {
  switch (FRangeType) {
    case rtNumber: return FRangeTo;
    case rtDateTime: return DateRangeEnd(FDateRangeTo);
    case rtCustom: return FCustomItems->Count() - 1;
  }
  return 0;
}

double TAdvSmoothSpinnerColumn::GetStep() const {
  switch (FStepType) {
    case stNumber:
    case stDay: return FStep;
    case stSecond: return FStep / 86400;
    case stMinute: return FStep / 1440;
    case stHour: return FStep / 24;
    case stMonth:
    case stYear: break;
  }
  return 1;
}

double TAdvSmoothSpinnerColumn::IncSteps(double StartValue, std::int64_t nr) const {
  if (FStepType == stMonth || FStepType == stYear) {
    const std::int64_t n = nr >= 1 ? std::abs(nr) : -std::abs(nr);
    try {
      return FStepType == stMonth ? IncMonth(StartValue, n) : IncYear(StartValue, n);
    } catch (const Exception&) {
      // Beyond the calendar's years: the value stays where it is, outside any drawable range.
      return StartValue;
    }
  }
  return StartValue + static_cast<double>(nr) * GetStep();
}

std::int64_t TAdvSmoothSpinnerColumn::StepsFromTo(double StartValue, double EndValue) const {
  if (FStepType == stMonth || FStepType == stYear) {
    try {
      return std::abs(MonthStepsToReach(StartValue, EndValue, FStepType == stMonth ? 1 : 12));
    } catch (const Exception&) {
      return 0;
    }
  }
  const double steps = std::abs(EndValue - StartValue) / GetStep();
  // A range too long to count in pixels is treated as ending where the count can still be held.
  return roundHalfEven(std::min(steps, 1e7));
}

std::int64_t TAdvSmoothSpinnerColumn::GetRangeCount() const { return StepsFromTo(GetRangeFrom(), GetRangeTo()); }

bool TAdvSmoothSpinnerColumn::HasItems() const { return FRangeType != rtCustom || FCustomItems->Count() > 0; }

double TAdvSmoothSpinnerColumn::ClampToRange(double Value) const {
  // Sequential, so that a range whose end lies below its start (a custom column without items)
  // gives its end rather than undefined behaviour.
  if (Value < GetRangeFrom()) Value = GetRangeFrom();
  if (Value > GetRangeTo()) Value = GetRangeTo();
  return Value;
}

int TAdvSmoothSpinnerColumn::LastPos() const { return static_cast<int>(GetRangeCount()) * TextSpacing(); }

int TAdvSmoothSpinnerColumn::ClampPos(int Pos) const { return std::clamp(Pos, 0, std::max(0, LastPos())); }

double TAdvSmoothSpinnerColumn::ValueAtPos(int Pos) const {
  return ClampToRange(IncSteps(GetRangeFrom(), DivTrunc(Pos, TextSpacing())));
}

// --- Selection -------------------------------------------------------------------------------------

double TAdvSmoothSpinnerColumn::SelectedValue() const { return ClampToRange(FSelectedValue); }

void TAdvSmoothSpinnerColumn::SetSelectedValue(double Value) {
  if (Value == FSelectedValue || Value < GetRangeFrom() || Value > GetRangeTo()) return;
  FSelectedValue = Value;
  if (GetRangeFrom() == GetRangeTo()) {
    FSelectedValue = -1;
    return;
  }
  ResetScrollPosition();
}

int TAdvSmoothSpinnerColumn::SelectedCustomIndex() const {
  return static_cast<int>(roundHalfEven(SelectedValue() - GetRangeFrom()));
}

void TAdvSmoothSpinnerColumn::ResetScrollPosition() {
  if (FSelectedValue == -1) return;
  FCurrentScPos = FScPosTo = static_cast<int>(StepsFromTo(GetRangeFrom(), FSelectedValue)) * TextSpacing();
}

void TAdvSmoothSpinnerColumn::ScrollToValue(double Value, bool Animation, double AnimationSpeed) {
  if (Value == FSelectedValue || !FEnabled || !FVisible || !HasItems()) return;
  const int spacing = TextSpacing();
  FAnimate = Animation;
  FSp = AnimationSpeed;
  FSelectedValue = ClampToRange(Value);
  FScPosTo = Value < GetRangeFrom() ? -spacing : static_cast<int>(StepsFromTo(GetRangeFrom(), Value)) * spacing;
  if (!FCyclic) FScPosTo = ClampPos(FScPosTo);
  TAdvSmoothSpinner* spinner = Spinner();
  if (Animation) {
    if (spinner) spinner->UpdateAnimateTimer();
    return;
  }
  const int wrap = (static_cast<int>(GetRangeCount()) + 1) * spacing;
  if (FCyclic && FScPosTo == wrap) FScPosTo = 0;
  if (FCyclic && FScPosTo == -spacing) FScPosTo = LastPos();
  FScPosTo = ClampPos(FScPosTo);
  FSelectedValue = IncSteps(GetRangeFrom(), DivTrunc(FScPosTo, spacing));
  FCurrentScPos = FScPosTo;
  if (spinner) {
    spinner->ReportSelection(this, *this);
    spinner->Changed();
  }
}

void TAdvSmoothSpinnerColumn::Next(bool Animation) { ScrollToValue(IncSteps(SelectedValue(), 1), Animation, 4); }

void TAdvSmoothSpinnerColumn::Previous(bool Animation) { ScrollToValue(IncSteps(SelectedValue(), -1), Animation, 4); }

// --- Geometry --------------------------------------------------------------------------------------

TGPRectF TAdvSmoothSpinnerColumn::GetColumnRect() const {
  const TAdvSmoothSpinner* s = Spinner();
  if (!s) return {};
  const TRect I = s->InsideRect();
  const TAdvSmoothSpinnerColumnAppearance& a = *s->ColumnAppearance();
  const int n = s->VisibleColumnCount();
  double w = FWidth;
  double left = I.Left;
  if (a.AutoSize()) {
    w = n > 0 ? double(I.Right - I.Left - (n + 1) * a.Spacing()) / n : 0;
    left = I.Left + FDrawIndex * w + (FDrawIndex + 1) * a.Spacing();
  } else {
    for (int i = 0; i < Collection()->Count(); ++i) {
      const TAdvSmoothSpinnerColumn* c = s->Column(i);
      if (c == this) break;
      if (c->FVisible) left += c->FWidth + a.Spacing();
    }
  }
  return {float(left), float(I.Top), float(w), float(I.Bottom - I.Top)};
}

std::string TAdvSmoothSpinnerColumn::ItemText(std::int64_t k) const {
  const double value = IncSteps(GetRangeFrom(), k);
  try {
    switch (FRangeType) {
      case rtNumber:
        if (FValueFormat.find('d') != std::string::npos) return FormatValue(FValueFormat, roundHalfEven(value));
        return FormatValue(FValueFormat, value);
      case rtDateTime: return FormatDateTime(FDateTimeValueFormat, value);
      case rtCustom:
        if (k >= 0 && k < FCustomItems->Count()) return FCustomItems->Items(static_cast<int>(k))->Text();
        return {};
    }
  } catch (const Exception&) {
  }
  return {};
}

}  // namespace sib
