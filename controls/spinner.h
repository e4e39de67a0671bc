// TAdvSmoothSpinner: a drum picker of one or more vertical columns, each a list of values (numbers,
// date-times or custom texts) that scroll under a fixed selection band; the value under the band is
// the column's selected value. The user turns a column by dragging or flicking it, clicking the item
// above or below the band, the wheel or the keys; the drum glides to its new place on the control's
// timer and reports the selection through OnSelectedValueChanged.
//
// The columns and their custom items are collections (spinner_columns.h). This file and spinner.cpp
// hold the control: its geometry, the glide and the input state machine; painting, a pure function of
// that state and the size, lives in spinner_paint.cpp. The glide's timer runs only while a column
// moves.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "controls/gdip_fill.h"
#include "controls/spinner_columns.h"
#include "platform/graphics/graphics.h"
#include "platform/ui/win_control.h"

namespace sib {

// Layout and fills shared by all columns of a spinner. Every change raises OnChange.
class TAdvSmoothSpinnerColumnAppearance : public TPersistent {
  SIB_CLASS(TAdvSmoothSpinnerColumnAppearance, TPersistent)
 public:
  explicit TAdvSmoothSpinnerColumnAppearance(TAdvSmoothSpinner* AOwner = nullptr);
  ~TAdvSmoothSpinnerColumnAppearance() override;

  static TPropertyList PublishedProperties();
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override;

  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value) { Set(FAutoSize, Value); }
  bool AllowHovering() const { return FAllowHovering; }
  void SetAllowHovering(bool Value) { Set(FAllowHovering, Value); }
  int Spacing() const { return FSpacing; }
  void SetSpacing(int Value) { Set(FSpacing, Value); }
  TGDIPFill* Fill() const { return FFill.get(); }
  void SetFill(TGDIPFill* Value) { FFill->Assign(Value); }
  TGDIPFill* HoverFill() const { return FHoverFill.get(); }
  void SetHoverFill(TGDIPFill* Value) { FHoverFill->Assign(Value); }
  TGDIPFill* DisabledFill() const { return FDisabledFill.get(); }
  void SetDisabledFill(TGDIPFill* Value) { FDisabledFill->Assign(Value); }
  // Never below 1. A new spacing moves every column to its selected item at that spacing.
  int TextSpacing() const { return FTextSpacing; }
  void SetTextSpacing(int Value);
  int ImageWidth() const { return FImageWidth; }
  void SetImageWidth(int Value) { Set(FImageWidth, Value); }
  int ImageHeight() const { return FImageHeight; }
  void SetImageHeight(int Value) { Set(FImageHeight, Value); }

  TNotifyEvent OnChange;

 private:
  template <class T>
  void Set(T& Field, T Value) {
    if (Field == Value) return;
    Field = Value;
    Changed();
  }
  void Changed();
  void FillChanged(TObject* /*Sender*/) { Changed(); }

  TAdvSmoothSpinner* FOwner;
  bool FAutoSize = true;
  bool FAllowHovering = true;
  int FSpacing = 5;
  std::unique_ptr<TGDIPFill> FFill;
  std::unique_ptr<TGDIPFill> FHoverFill;
  std::unique_ptr<TGDIPFill> FDisabledFill;
  int FTextSpacing = 25;
  int FImageWidth = 30;
  int FImageHeight = 30;
};

// (Sender, Column, SelectedCustomIndex, SelectedValue, RangeType). Sender is the column for a change
// applied at once, the spinner for a drag step or a completed glide.
using TAdvSmoothSpinnerSelectedValueChangedEvent = TEvent<TObject*, int, int, double, TAdvSmoothSpinnerRangeType>;
// (Sender, Column, Hint): the hint about to be shown, by value.
using TAdvSmoothSpinnerColumnHintEvent = TEvent<TObject*, int, std::string>;

class TAdvSmoothSpinner : public TCustomControl {
  SIB_CLASS(TAdvSmoothSpinner, TCustomControl)
 public:
  explicit TAdvSmoothSpinner(TComponent* AOwner);
  ~TAdvSmoothSpinner() override;

  static TPropertyList PublishedProperties();

  // Copies the appearance, the fills, SelectedHeight, the columns, AnimationFactor, ReadOnly and
  // SmoothScrolling, then repaints.
  void Assign(TPersistent* Source) override;
  // The columns were read before the appearance: their positions are recomputed at the loaded spacing.
  void Loaded() override;
  // Renumbers the visible columns and repaints.
  void Changed();

  // --- Geometry ---------------------------------------------------------------------------------
  // The client area less the shadow and the border.
  TRect InsideRect() const;
  TGPRectF GetSelectedRect() const;
  TGPRectF GetTopLayerRect() const;
  TGPRectF GetBottomLayerRect() const;
  // The first visible, enabled column whose rectangle holds the point; -1 when none.
  int XYToColumn(int X, int Y) const;
  int VisibleColumnCount() const;

  // --- The glide --------------------------------------------------------------------------------
  // One step of every gliding column; runs on each tick of the glide's timer.
  void Animate();
  // Whether the glide's timer is armed (only while some column glides).
  bool AnimateTimerRunning() const { return FAnimateTimerRunning; }

  // Paints the whole control on `g` at the origin, in the control's size.
  void PaintTo(gfx::Graphics& g);

  // --- Properties -------------------------------------------------------------------------------
  int AnimationFactor() const { return FAnimationFactor; }
  void SetAnimationFactor(int Value) { Set(FAnimationFactor, Value); }
  TAdvSmoothSpinnerColumns* Columns() const { return FColumns.get(); }
  void SetColumns(TAdvSmoothSpinnerColumns* Value) { FColumns->Assign(Value); }
  TAdvSmoothSpinnerColumnAppearance* ColumnAppearance() const { return FColumnAppearance.get(); }
  void SetColumnAppearance(TAdvSmoothSpinnerColumnAppearance* Value) { FColumnAppearance->Assign(Value); }
  TGDIPFill* SelectedFill() const { return FSelectedFill.get(); }
  void SetSelectedFill(TGDIPFill* Value) { FSelectedFill->Assign(Value); }
  int SelectedHeight() const { return FSelectedHeight; }
  void SetSelectedHeight(int Value) { Set(FSelectedHeight, Value); }
  TGDIPFill* TopLayerFill() const { return FTopLayerFill.get(); }
  void SetTopLayerFill(TGDIPFill* Value) { FTopLayerFill->Assign(Value); }
  TGDIPFill* BottomLayerFill() const { return FBottomLayerFill.get(); }
  void SetBottomLayerFill(TGDIPFill* Value) { FBottomLayerFill->Assign(Value); }
  TGDIPFill* Fill() const { return FFill.get(); }
  void SetFill(TGDIPFill* Value) { FFill->Assign(Value); }
  std::string Version() const { return "1.1.0.1"; }
  void SetVersion(const std::string& /*Value*/) {}
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  bool SmoothScrolling() const { return FSmoothScrolling; }
  void SetSmoothScrolling(bool Value) { FSmoothScrolling = Value; }

  TAdvSmoothSpinnerSelectedValueChangedEvent OnSelectedValueChanged;
  TAdvSmoothSpinnerColumnHintEvent OnColumnHint;

  // --- Run-time state, for painting and for tests -------------------------------------------------
  bool IsFocused() const { return FFocused; }
  int FocusedColumn() const { return FFocusedColumn; }
  int HoveredColumn() const { return FHoveredColumn; }

  // --- Input --------------------------------------------------------------------------------------
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseLeave() override;
  void MouseCaptureLost() override;
  bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
  bool GetHintText(TPoint P, std::string& HintText) override;
  void KeyDown(TKey& Key, TShiftState Shift) override;
  unsigned GetDialogCode() override;
  void DoEnter() override;
  void DoExit() override;

  static constexpr std::uint32_t kAnimateTimerId = 1;
  // The window system gives at least 10 ms, so the glide steps about every 10 ms.
  static constexpr std::uint32_t kAnimateIntervalMs = 1;
  // A press and release closer than this many pixels is a click.
  static constexpr int kClickSlop = 2;
  // The band at the top and bottom of a column that steps to the previous or next item.
  static constexpr int kClickZone = 30;
  // Presses longer than this never flick.
  static constexpr std::uint32_t kFlickMaxMs = 500;

  // Chooses item `Index` of the focused column at once, as a click on it would; false for an index
  // past the ends or a column that takes no input.
  bool SelectAccessibleItem(int Index) override;

 protected:
  void Paint(TCanvas& Canvas) override;
  // A list box of the focused column's items, the selected one marked.
  void DescribeAccessible(TAccessibleDescription& Description) const override;
  void Timer(std::uint32_t Id) override;
  void EnabledChanged() override;

 private:
  friend class TAdvSmoothSpinnerColumn;
  friend class TAdvSmoothSpinnerColumns;
  friend class TAdvSmoothSpinnerColumnAppearance;

  template <class T>
  void Set(T& Field, T Value) {
    if (Field == Value) return;
    Field = Value;
    Changed();
  }
  void FillChanged(TObject* /*Sender*/) { Changed(); }
  void AppearanceChanged(TObject* /*Sender*/) { Changed(); }
  bool IgnoresMouse() const;
  TAdvSmoothSpinnerColumn* Column(int Index) const { return FColumns->Items(Index); }
  // Raises OnSelectedValueChanged for the column with `Sender`.
  void ReportSelection(TObject* Sender, TAdvSmoothSpinnerColumn& Col);
  // Arms the glide's timer when a column glides; kills it when none does.
  void UpdateAnimateTimer();
  // Every column at its selected item (at the current spacing).
  void ResetScrollPositions();

  // The input steps of one column (spinner.cpp).
  void DragColumn(TAdvSmoothSpinnerColumn& Col, int Y);
  void ReleaseColumn(TAdvSmoothSpinnerColumn& Col, int X, int Y);
  void StopGlide(TAdvSmoothSpinnerColumn& Col);
  void FlickColumn(TAdvSmoothSpinnerColumn& Col, int Y);
  void UpdateHover(int Index);

  // Painting steps (spinner_paint.cpp).
  void DrawBackGround(gfx::Graphics& g);
  void DrawColumns(gfx::Graphics& g);
  void DrawTopLayer(gfx::Graphics& g);
  void DrawSelectedLayer(gfx::Graphics& g);

  int FAnimationFactor = 4;
  std::unique_ptr<TAdvSmoothSpinnerColumns> FColumns;
  std::unique_ptr<TAdvSmoothSpinnerColumnAppearance> FColumnAppearance;
  std::unique_ptr<TGDIPFill> FSelectedFill;
  int FSelectedHeight = 30;
  std::unique_ptr<TGDIPFill> FTopLayerFill;
  std::unique_ptr<TGDIPFill> FBottomLayerFill;
  std::unique_ptr<TGDIPFill> FFill;
  bool FReadOnly = false;
  bool FSmoothScrolling = false;

  bool FFocused = false;
  int FFocusedColumn = 0;
  int FHoveredColumn = -1;
  bool FAnimateTimerRunning = false;
};

}  // namespace sib
