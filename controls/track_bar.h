// TAdvSmoothTrackBar: a slider painted with gradient fills — a background track, a progress bar
// from the start of the track to the middle of the thumb, tick marks and value labels, a translucent
// groove and a draggable thumb. Its value (Position) lies in [Minimum, Maximum]; the user drags the
// thumb, clicks the track beside it (one Step) or uses the keys. While the value changes it raises
// OnPositionChanging, and OnPositionChanged when a change is finished. After a change by the mouse
// or by the Position setter a white glint runs along the progress bar.
//
// The input state machine and the geometry live in track_bar.cpp; painting (a pure function of the
// state and the size) in track_bar_paint.cpp. The glint's timer runs only while the glint moves.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "controls/gdip_fill.h"
#include "platform/graphics/graphics.h"
#include "platform/ui/win_control.h"

namespace sib {

class THintWindow;

enum TAdvSmoothTrackBarDirection : std::uint8_t { dVertical, dHorizontal };
SIB_ENUM_NAMES(TAdvSmoothTrackBarDirection, dVertical, dHorizontal)

// (Sender, Position): always the track bar and its new position.
using TAdvSmoothTrackBarValueChanged = TEvent<TObject*, double>;
// (Sender, value, text, AllowDrawText, AllowDrawTickMark).
using TAdvSmoothTrackBarDrawNumber = TEvent<TObject*, double, std::string&, bool&, bool&>;
// (Sender, Position, ToolTipText).
using TAdvSmoothTrackBarGetToolTipText = TEvent<TObject*, double, std::string&>;

class TAdvSmoothTrackBar : public TCustomControl {
  SIB_CLASS(TAdvSmoothTrackBar, TCustomControl)
 public:
  explicit TAdvSmoothTrackBar(TComponent* AOwner);
  ~TAdvSmoothTrackBar() override;

  static TPropertyList PublishedProperties();

  // Copies direction, the three fills, ThumbSize, Font, the range, Step, Position, ValueFormat, the
  // value and tick settings, snapping and GlowAnimation, then repaints.
  void Assign(TPersistent* Source) override;
  void Loaded() override;
  // Repaints the control.
  void Changed();

  // --- Geometry -----------------------------------------------------------------------------------
  // The area inside the border and the shadow: Right and Bottom are used as a width and a height by
  // the rectangles below, as the track's drawing model has them.
  TRect InsideRect() const;
  // The band along which values are laid out: the inside rectangle less half a thumb at each end.
  TGPRectF GetNumRect() const;
  // The offset of Position along the value rectangle, in pixels.
  double GetPosition() const;
  // The value at pixel offset `d` along the value rectangle, snapped and clamped.
  double GetPosition(double d) const;
  TGPRectF GetSliderRect() const;
  // The part the progress fill covers: from the start of the track to the middle of the thumb.
  TGPRectF GetProgressRect() const;

  // Paints the whole control on `g` at the origin, in the control's size.
  void PaintTo(gfx::Graphics& g);

  // --- Properties ---------------------------------------------------------------------------------
  TAdvSmoothTrackBarDirection Direction() const { return FDirection; }
  void SetDirection(TAdvSmoothTrackBarDirection Value);
  TGDIPFill* Fill() const { return FFill.get(); }
  void SetFill(TGDIPFill* Value) { FFill->Assign(Value); }
  TGDIPFill* ProgressFill() const { return FProgressFill.get(); }
  void SetProgressFill(TGDIPFill* Value) { FProgressFill->Assign(Value); }
  TGDIPFill* ThumbFill() const { return FThumbFill.get(); }
  void SetThumbFill(TGDIPFill* Value) { FThumbFill->Assign(Value); }
  int ThumbSize() const { return FThumbSize; }
  void SetThumbSize(int Value) { Set(FThumbSize, Value); }
  TFont* ProgressFont() const { return FProgressFont.get(); }
  void SetProgressFont(TFont* Value) { FProgressFont->Assign(Value); }
  double Minimum() const { return FMinimum; }
  void SetMinimum(double Value);
  double Maximum() const { return FMaximum; }
  void SetMaximum(double Value);
  double Step() const { return FStep; }
  void SetStep(double Value);
  double Position() const { return FPosition; }
  void SetPosition(double Value);
  bool PositionToolTip() const { return FPositionToolTip; }
  void SetPositionToolTip(bool Value) { FPositionToolTip = Value; }
  const std::string& PositionToolTipFormat() const { return FPositionToolTipFormat; }
  void SetPositionToolTipFormat(const std::string& Value) { FPositionToolTipFormat = Value; }
  const std::string& ValueFormat() const { return FValueFormat; }
  void SetValueFormat(const std::string& Value) { Set(FValueFormat, Value); }
  bool ShowValues() const { return FShowValues; }
  void SetShowValues(bool Value) { Set(FShowValues, Value); }
  bool ShowTickMarks() const { return FShowTickMarks; }
  void SetShowTickMarks(bool Value) { Set(FShowTickMarks, Value); }
  int TickMarkSize() const { return FTickMarkSize; }
  void SetTickMarkSize(int Value) { Set(FTickMarkSize, Value); }
  TColor TickMarkColor() const { return FTickMarkColor; }
  void SetTickMarkColor(TColor Value) { Set(FTickMarkColor, Value); }
  bool SnapToTickMarks() const { return FSnapToTickMarks; }
  void SetSnapToTickMarks(bool Value) { Set(FSnapToTickMarks, Value); }
  double SnapMargin() const { return FSnapMargin; }
  void SetSnapMargin(double Value) { Set(FSnapMargin, Value); }
  bool GlowAnimation() const { return FGlowAnimation; }
  void SetGlowAnimation(bool Value);
  bool ShowProgress() const { return FShowProgress; }
  void SetShowProgress(bool Value) { Set(FShowProgress, Value); }
  std::string Version() const { return "1.2.2.0"; }
  void SetVersion(const std::string&) {}

  // --- Run-time state, for painting and for tests -------------------------------------------------
  bool MouseDownOnSlider() const { return FMouseDownOnSlider; }
  bool Glowing() const { return FDoGlow; }
  double GlowPos() const { return FGlowPos; }
  // Whether the glint's timer is armed.
  bool GlowTimerRunning() const { return FGlowTimerRunning; }
  // The tooltip that shows the position while the thumb is dragged; nullptr until first shown.
  THintWindow* PositionHint() const { return FHint.get(); }

  // --- Input --------------------------------------------------------------------------------------
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseCaptureLost() override;
  void KeyDown(TKey& Key, TShiftState Shift) override;
  void KeyUp(TKey& Key, TShiftState Shift) override;
  unsigned GetDialogCode() override;
  void DoEnter() override;
  void DoExit() override;

  TAdvSmoothTrackBarValueChanged OnPositionChanged;
  TAdvSmoothTrackBarValueChanged OnPositionChanging;
  TAdvSmoothTrackBarDrawNumber OnDrawNumber;
  TAdvSmoothTrackBarGetToolTipText OnGetToolTipText;

  // The glint's step every tick, in pixels, and its rest position.
  static constexpr double kGlowStep = 3;
  static constexpr double kGlowIdle = -60;
  static constexpr std::uint32_t kGlowTimerId = 1;
  static constexpr std::uint32_t kGlowIntervalMs = 10;

 // Sets Position as a drag to it would; false for a value that is no number or out of range.
  bool SetAccessibleValue(double Value) override;

 protected:
  void Paint(TCanvas& Canvas) override;
  // A slider over [Minimum, Maximum] at Position, moved by Step.
  void DescribeAccessible(TAccessibleDescription& Description) const override;
  void Resize() override;
  void Timer(std::uint32_t Id) override;
  void FontChanged() override;

 private:
  template <class T>
  void Set(T& Field, const T& Value) {
    if (Field == Value) return;
    Field = Value;
    Changed();
  }
  void FillChanged(TObject* Sender);
  void FontOnChange(TObject* /*Sender*/) { Changed(); }
  // Opaque when the background covers every pixel, so that the parent need not paint under it.
  void UpdateOpaque();
  // Records the length along the track and the thickness across it, for a change of direction.
  void RecordExtent();
  bool Horizontal() const { return FDirection == dHorizontal; }
  // The value rectangle's length along the track.
  double NumLength() const;
  bool InRange(double Value) const { return Value >= FMinimum && Value <= FMaximum; }
  bool OnThumb(int X, int Y) const;
  // Stores a position that lies in the range, with no event.
  void StorePosition(double Value);
  void StartGlow();
  void AnimateGlow();
  void ArmGlowTimer(bool On);
  void UpdateToolTip();
  void HideToolTip();

  // Painting steps (track_bar_paint.cpp).
  void PaintProgress(gfx::Graphics& g, const TRect& I, double o);
  void PaintGlint(gfx::Graphics& g, const TGPRectF& progress, const TRect& I);
  void DrawNumbers(gfx::Graphics& g, const TRect& I, double o);
  void PaintGroove(gfx::Graphics& g, const TRect& I);
  void PaintThumb(gfx::Graphics& g);

  TAdvSmoothTrackBarDirection FDirection = dVertical;
  std::unique_ptr<TGDIPFill> FFill;
  std::unique_ptr<TGDIPFill> FProgressFill;
  std::unique_ptr<TGDIPFill> FThumbFill;
  int FThumbSize = 40;
  std::unique_ptr<TFont> FProgressFont;
  double FMinimum = 0;
  double FMaximum = 100;
  double FStep = 20;
  double FPosition = 0;
  bool FPositionToolTip = false;
  std::string FPositionToolTipFormat = "%.2f";
  std::string FValueFormat = "%g db";
  bool FShowValues = true;
  bool FShowTickMarks = true;
  int FTickMarkSize = 15;
  TColor FTickMarkColor = clBlack;
  bool FSnapToTickMarks = true;
  double FSnapMargin = 10;
  bool FGlowAnimation = true;
  bool FShowProgress = true;

  bool FFocused = false;
  bool FMouseDownOnSlider = false;
  double FPrevPos = 0;
  bool FDoGlow = false;
  double FGlowPos = kGlowIdle;
  bool FGlowTimerRunning = false;
  int FLength = 0;
  int FThickness = 0;
  std::unique_ptr<THintWindow> FHint;
  std::string FHintText;
};

}  // namespace sib
