// The columns of a TAdvSmoothSpinner (spinner.h) and their custom items: what a column shows (a
// range of numbers or date-times with a step, or a list of texts), its selected value and the scroll
// state of its drum.
//
// The scroll model: items are numbered 0, 1, 2 ... from the range start, and item k sits on the
// selection band when the scroll position is k x TextSpacing. A column at rest has its position and
// its target both at (selected item) x TextSpacing; a glide moves the position towards the target.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "controls/gdip_fill.h"
#include "platform/components/collection.h"
#include "platform/core/numeric.h"
#include "platform/graphics/graphics.h"
#include "platform/ui/font.h"
#include "platform/ui/alignment.h"

namespace sib {

class TAdvSmoothSpinner;
class TAdvSmoothSpinnerColumn;

enum TAdvSmoothSpinnerRangeType : std::uint8_t { rtNumber, rtDateTime, rtCustom };
SIB_ENUM_NAMES(TAdvSmoothSpinnerRangeType, rtNumber, rtDateTime, rtCustom)

enum TAdvSmoothSpinnerStepType : std::uint8_t { stNumber, stSecond, stMinute, stHour, stDay, stMonth, stYear };
SIB_ENUM_NAMES(TAdvSmoothSpinnerStepType, stNumber, stSecond, stMinute, stHour, stDay, stMonth, stYear)

class TAdvSmoothSpinnerCustomItem : public TCollectionItem {
  SIB_CLASS(TAdvSmoothSpinnerCustomItem, TCollectionItem)
 public:
  explicit TAdvSmoothSpinnerCustomItem(TCollection* Collection) : TCollectionItem(Collection) {}

  static TPropertyList PublishedProperties();
  void Assign(TPersistent* Source) override;

  const std::string& Text() const { return FText; }
  void SetText(const std::string& Value) { Set(FText, Value); }
  // Stored with the item; neither painting nor the selection uses it.
  double Value() const { return FValue; }
  void SetValue(double Value) { Set(FValue, Value); }
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int Value) { Set(FImageIndex, Value); }
  const std::string& PictureName() const { return FPictureName; }
  void SetPictureName(const std::string& Value) { Set(FPictureName, Value); }

 private:
  template <class T>
  void Set(T& Field, const T& Value) {
    if (Field == Value) return;
    Field = Value;
    Changed(false);
  }

  std::string FText;
  double FValue = 0;
  int FImageIndex = -1;
  std::string FPictureName;
};

// The texts of an rtCustom column; every change repaints the spinner.
class TAdvSmoothSpinnerCustomItems : public TCollection {
  SIB_CLASS(TAdvSmoothSpinnerCustomItems, TCollection)
 public:
  explicit TAdvSmoothSpinnerCustomItems(TAdvSmoothSpinnerColumn* AOwner = nullptr);

  TAdvSmoothSpinnerCustomItem* Add() { return static_cast<TAdvSmoothSpinnerCustomItem*>(TCollection::Add()); }
  TAdvSmoothSpinnerCustomItem* Insert(int Index) {
    return static_cast<TAdvSmoothSpinnerCustomItem*>(TCollection::Insert(Index));
  }
  TAdvSmoothSpinnerCustomItem* Items(int Index) const {
    return static_cast<TAdvSmoothSpinnerCustomItem*>(TCollection::Items(Index));
  }

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TAdvSmoothSpinnerColumn* FOwner;
};

class TAdvSmoothSpinnerColumn : public TCollectionItem {
  SIB_CLASS(TAdvSmoothSpinnerColumn, TCollectionItem)
 public:
  explicit TAdvSmoothSpinnerColumn(TCollection* Collection);
  ~TAdvSmoothSpinnerColumn() override;

  static TPropertyList PublishedProperties();
  void Assign(TPersistent* Source) override;

  // The spinner that shows the column; nullptr for a column of a free-standing collection.
  TAdvSmoothSpinner* Spinner() const;

  // --- Ranges and steps -------------------------------------------------------------------------
  double GetRangeFrom() const;
  double GetRangeTo() const;
  // The distance between neighbouring values, in days for date-time steps (1 for months and years,
  // which IncSteps moves by the calendar instead).
  double GetStep() const;
  // `StartValue` moved by `nr` steps.
  double IncSteps(double StartValue, std::int64_t nr) const;
  // The steps from `StartValue` that reach or pass `EndValue` (months and years), or the rounded
  // distance in steps.
  std::int64_t StepsFromTo(double StartValue, double EndValue) const;
  // The last item's index.
  std::int64_t GetRangeCount() const;
  // False for a custom column without items: it shows its background only and ignores input.
  bool HasItems() const;
  // Clamps to [range start, range end].
  double ClampToRange(double Value) const;

  // --- Selection --------------------------------------------------------------------------------
  // Moves to `Value` with a glide (reported when it ends) or at once (reported now, with the column
  // as Sender). Nothing happens when the value is the selected one or the column is disabled or
  // hidden.
  void ScrollToValue(double Value, bool Animation, double AnimationSpeed);
  void Next(bool Animation);
  void Previous(bool Animation);

  // round(SelectedValue - range start); the setter stores the number without repainting.
  int SelectedCustomIndex() const;
  void SetSelectedCustomIndex(int Value) { FSelectedValue = Value; }
  TDateTime SelectedDateTime() const { return SelectedValue(); }
  void SetSelectedDateTime(TDateTime Value) { FSelectedValue = Value; }

  // --- Geometry and painting --------------------------------------------------------------------
  TGPRectF GetColumnRect() const;
  // Paints the column into R (spinner_paint.cpp).
  void Draw(gfx::Graphics& g, TGPRectF R);
  // The text of item k, empty when its format fails.
  std::string ItemText(std::int64_t k) const;

  // --- Properties -------------------------------------------------------------------------------
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value) { Set(FVisible, Value); }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { Set(FEnabled, Value); }
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& Value) { FHint = Value; }
  int Width() const { return FWidth; }
  void SetWidth(int Value) { Set(FWidth, Value); }
  double RangeFrom() const { return FRangeFrom; }
  void SetRangeFrom(double Value) { Set(FRangeFrom, Value); }
  double RangeTo() const { return FRangeTo; }
  void SetRangeTo(double Value) { Set(FRangeTo, Value); }
  TDateTime DateRangeFrom() const { return FDateRangeFrom; }
  void SetDateRangeFrom(TDateTime Value) { Set(FDateRangeFrom, Value); }
  TDateTime DateRangeTo() const { return FDateRangeTo; }
  void SetDateRangeTo(TDateTime Value) { Set(FDateRangeTo, Value); }
  double Step() const { return FStep; }
  // Values of 0 or less are ignored.
  void SetStep(double Value) {
    if (Value > 0) Set(FStep, Value);
  }
  TAdvSmoothSpinnerStepType StepType() const { return FStepType; }
  void SetStepType(TAdvSmoothSpinnerStepType Value) { Set(FStepType, Value); }
  // The stored value clamped to the range.
  double SelectedValue() const;
  // Ignored when equal to the stored value or outside the range; raises no event.
  void SetSelectedValue(double Value);
  // The value as stored, unclamped (-1 for a range of one value).
  double StoredSelectedValue() const { return FSelectedValue; }
  const std::string& ValueFormat() const { return FValueFormat; }
  void SetValueFormat(const std::string& Value) { Set(FValueFormat, Value); }
  const std::string& DateTimeValueFormat() const { return FDateTimeValueFormat; }
  void SetDateTimeValueFormat(const std::string& Value) { Set(FDateTimeValueFormat, Value); }
  TAdvSmoothSpinnerRangeType RangeType() const { return FRangeType; }
  void SetRangeType(TAdvSmoothSpinnerRangeType Value) { Set(FRangeType, Value); }
  bool OnlyDate() const { return FOnlyDate; }
  void SetOnlyDate(bool Value) { Set(FOnlyDate, Value); }
  TAdvSmoothSpinnerCustomItems* CustomItems() const { return FCustomItems.get(); }
  void SetCustomItems(TAdvSmoothSpinnerCustomItems* Value) { FCustomItems->Assign(Value); }
  bool Cyclic() const { return FCyclic; }
  void SetCyclic(bool Value) { Set(FCyclic, Value); }
  TFont* Font() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  TAlignment TextAlign() const { return FTextAlign; }
  void SetTextAlign(TAlignment Value) { Set(FTextAlign, Value); }

  // --- Scroll state, in pixels --------------------------------------------------------------------
  int CurrentScPos() const { return FCurrentScPos; }
  int ScPosTo() const { return FScPosTo; }
  double GlideSpeed() const { return FSp; }
  // The timer is to glide this column.
  bool Gliding() const { return FAnimate; }
  // A glide step was made on the last tick.
  bool Animating() const { return FAnimating; }
  bool Pressed() const { return FMouseDown; }
  int DrawIndex() const { return FDrawIndex; }

  // Repaints the spinner.
  void Changed();

 private:
  friend class TAdvSmoothSpinner;
  friend class TAdvSmoothSpinnerColumns;

  template <class T>
  void Set(T& Field, const T& Value) {
    if (Field == Value) return;
    Field = Value;
    Changed();
  }
  void FontOnChange(TObject* /*Sender*/) { Changed(); }
  int TextSpacing() const;
  int LastPos() const;
  // Clamps a scroll position to [0, last item x TextSpacing].
  int ClampPos(int Pos) const;
  // Both positions at the stored selected value.
  void ResetScrollPosition();
  // The value of the item at scroll position `Pos`, clamped to the range.
  double ValueAtPos(int Pos) const;
  // The range start and end of a rtDateTime column, whole days with OnlyDate.
  double DateRangeEnd(double Value) const;

  bool FVisible = true;
  bool FEnabled = true;
  std::string FHint;
  int FWidth = 20;
  double FRangeFrom = 0;
  double FRangeTo = 20;
  TDateTime FDateRangeFrom;
  TDateTime FDateRangeTo;
  double FStep = 1;
  TAdvSmoothSpinnerStepType FStepType = stNumber;
  double FSelectedValue = 0;
  std::string FValueFormat = "%g";
  std::string FDateTimeValueFormat = "dd/mm/yy";
  TAdvSmoothSpinnerRangeType FRangeType = rtNumber;
  bool FOnlyDate = false;
  std::unique_ptr<TAdvSmoothSpinnerCustomItems> FCustomItems;
  bool FCyclic = false;
  std::unique_ptr<TFont> FFont;
  TAlignment FTextAlign = taCenter;

  int FCurrentScPos = 0;
  int FScPosTo = 0;
  double FSp = 0;
  bool FAnimate = false;
  bool FAnimating = false;
  bool FMouseDown = false;
  bool FMouseUp = false;
  std::uint32_t FTimeStart = 0;
  std::uint32_t FTimeStop = 0;
  int FDragY = 0;
  int FScrollY = 0;
  int FClickX = 0;
  int FClickY = 0;
  int FDrawIndex = 0;
};

// The columns of a spinner, in display order; every change repaints the spinner.
class TAdvSmoothSpinnerColumns : public TCollection {
  SIB_CLASS(TAdvSmoothSpinnerColumns, TCollection)
 public:
  explicit TAdvSmoothSpinnerColumns(TAdvSmoothSpinner* AOwner = nullptr);

  TAdvSmoothSpinner* Spinner() const { return FOwner; }
  TAdvSmoothSpinnerColumn* Add() { return static_cast<TAdvSmoothSpinnerColumn*>(TCollection::Add()); }
  TAdvSmoothSpinnerColumn* Insert(int Index) { return static_cast<TAdvSmoothSpinnerColumn*>(TCollection::Insert(Index)); }
  TAdvSmoothSpinnerColumn* Items(int Index) const {
    return static_cast<TAdvSmoothSpinnerColumn*>(TCollection::Items(Index));
  }

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TAdvSmoothSpinner* FOwner;
};

}  // namespace sib
