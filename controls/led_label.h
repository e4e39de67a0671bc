// TAdvSmoothLedLabel: a number (or a time) shown as slanted seven-segment LED digits over a
// gradient background. The caption (TAdvSmoothLedLabelCaption) says what is shown and how: the value
// and its float pattern or the time and its time pattern, the lit colours and gradient, and the dim
// colour of unlit segments. The lit segments of all digits share one brush, so a gradient runs
// across the whole display rather than per digit.
//
// DrawLed paints LED text into any rectangle; the label calls it with its caption's values. The
// drawing lives in led_label_paint.cpp.
//
// A graphic control: it paints on its parent's surface, takes no focus and no keys. Main thread only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "controls/gdip_fill.h"
#include "controls/gdip_picture.h"
#include "controls/image_type.h"
#include "platform/core/numeric.h"
#include "platform/graphics/graphics.h"
#include "platform/ui/control.h"

namespace sib {

enum TAdvSmoothLedLabelValueType : std::uint8_t { vtNormal, vtDateTime };
SIB_ENUM_NAMES(TAdvSmoothLedLabelValueType, vtNormal, vtDateTime)
// The same two kinds as DrawLed takes them.
using TFillValueType = TAdvSmoothLedLabelValueType;

// What the label shows and how. Every setter stores a differing value and raises OnChange.
class TAdvSmoothLedLabelCaption : public TPersistent {
  SIB_CLASS(TAdvSmoothLedLabelCaption, TPersistent)
 public:
  TAdvSmoothLedLabelCaption();
  ~TAdvSmoothLedLabelCaption() override;

  static TPropertyList PublishedProperties();
  void Assign(TPersistent* Source) override;

  double Value() const { return FValue; }
  void SetValue(double V) { Set(FValue, V); }
  int Left() const { return FLeft; }
  void SetLeft(int V) { Set(FLeft, V); }
  int Top() const { return FTop; }
  void SetTop(int V) { Set(FTop, V); }
  TAdvGDIPPicture* Picture() const { return FPicture.get(); }
  void SetPicture(TAdvGDIPPicture* V) { FPicture->Assign(V); }
  TColor ColorStart() const { return FColorStart; }
  void SetColorStart(TColor V) { Set(FColorStart, V); }
  TColor ColorEnd() const { return FColorEnd; }
  void SetColorEnd(TColor V) { Set(FColorEnd, V); }
  TColor ColorOff() const { return FColorOff; }
  void SetColorOff(TColor V) { Set(FColorOff, V); }
  std::uint8_t ColorOffOpacity() const { return FColorOffOpacity; }
  void SetColorOffOpacity(std::uint8_t V) { Set(FColorOffOpacity, V); }
  std::uint8_t OpacityStart() const { return FOpacityStart; }
  void SetOpacityStart(std::uint8_t V) { Set(FOpacityStart, V); }
  std::uint8_t OpacityEnd() const { return FOpacityEnd; }
  void SetOpacityEnd(std::uint8_t V) { Set(FOpacityEnd, V); }
  TAdvGradientType GradientType() const { return FGradientType; }
  void SetGradientType(TAdvGradientType V) { Set(FGradientType, V); }
  gfx::HatchStyle HatchStyle() const { return FHatchStyle; }
  void SetHatchStyle(gfx::HatchStyle V) { Set(FHatchStyle, V); }
  int Angle() const { return FAngle; }
  void SetAngle(int V) { Set(FAngle, V); }
  const std::string& Format() const { return FFormat; }
  void SetFormat(const std::string& V) { Set(FFormat, V); }
  const std::string& TimeFormat() const { return FTimeFormat; }
  void SetTimeFormat(const std::string& V) { Set(FTimeFormat, V); }
  TAdvSmoothLedLabelValueType ValueType() const { return FValueType; }
  void SetValueType(TAdvSmoothLedLabelValueType V) { Set(FValueType, V); }
  TDateTime TimeValue() const { return FTimeValue; }
  void SetTimeValue(TDateTime V) { Set(FTimeValue, V); }

  TNotifyEvent OnChange;

 private:
  template <class T>
  void Set(T& Field, const T& V) {
    if (Field == V) return;
    Field = V;
    Changed();
  }
  void Changed() { OnChange(this); }
  void PictureChanged(TObject*) { Changed(); }

  double FValue = 0;
  int FLeft = 0;
  int FTop = 0;
  std::unique_ptr<TAdvGDIPPicture> FPicture;
  TColor FColorStart = 4227327;  // orange: red 255, green 128, blue 64
  TColor FColorEnd = clRed;
  TColor FColorOff = clGray;
  std::uint8_t FColorOffOpacity = 255;
  std::uint8_t FOpacityStart = 255;
  std::uint8_t FOpacityEnd = 255;
  TAdvGradientType FGradientType = gtVertical;
  gfx::HatchStyle FHatchStyle = gfx::HatchStyle::Horizontal;
  int FAngle = 0;
  std::string FFormat = "000.00";
  std::string FTimeFormat = "hh:nn:ss";
  TAdvSmoothLedLabelValueType FValueType = vtNormal;
  TDateTime FTimeValue;
};

// The text DrawLed shows: Value by its float pattern, or TimeValue by its time pattern. A pattern
// that cannot be rendered gives an empty text.
std::string LedText(TFillValueType ValueType, const std::string& Format, const std::string& TimeFormat, double Value,
                    TDateTime TimeValue);

// Draws LED text into R: one cell per character other than "." and ":", W / n wide; digits and "-"
// advance a cell, "." and ":" sit at the lower right of the previous cell, anything else keeps its
// cell empty. Unlit segments are drawn in ColorOff unless it is clNone; lit ones with one brush of
// GradientType over the whole of R (gtNone, or gtTexture without a picture: no text at all). A text
// without cells draws nothing.
void DrawLed(gfx::Graphics& Graphics, TGPRectF R, TFillValueType ValueType, const std::string& Format,
             const std::string& TimeFormat, double Value, TDateTime TimeValue, TColor ColorOff,
             std::uint8_t ColorOffOpacity, TColor ColorStart, TColor ColorEnd, std::uint8_t OpacityStart,
             std::uint8_t OpacityEnd, TAdvGradientType GradientType, int Angle, gfx::HatchStyle HatchStyle,
             const TAdvGDIPPicture* Picture);

class TAdvSmoothLedLabel : public TGraphicControl {
  SIB_CLASS(TAdvSmoothLedLabel, TGraphicControl)
 public:
  explicit TAdvSmoothLedLabel(TComponent* AOwner);
  ~TAdvSmoothLedLabel() override;

  static TPropertyList PublishedProperties();

  // Copies Fill, Caption and Transparent.
  void Assign(TPersistent* Source) override;
  // Repaints, then raises OnChange.
  void Changed();

  // Paints the label (background unless Transparent, then the LED text) at the origin of `g` in a
  // Width x Height area; nothing when either is 0 or less.
  void DrawLedLabel(gfx::Graphics& g, int Width, int Height);
  // Renders the label at ImageWidth x ImageHeight into an image file. Raises EImageError when the
  // size is not drawable or the type cannot be written (GIF), or when the file cannot be written.
  void SaveToImage(const std::filesystem::path& Filename, int ImageWidth, int ImageHeight, TImageType ImageType,
                   int ImageQualityPercentage = 100);

  TGDIPFill* Fill() const { return FFill.get(); }
  void SetFill(TGDIPFill* Value) { FFill->Assign(Value); }
  TAdvSmoothLedLabelCaption* Caption() const { return FCaption.get(); }
  void SetCaption(TAdvSmoothLedLabelCaption* Value) { FCaption->Assign(Value); }
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  std::string Version() const { return "1.1.0.2"; }
  void SetVersion(const std::string&) {}

  // True while a paint is running.
  bool IsPainting() const { return FIsPainting; }
  // How many paints have run.
  std::uint64_t Getcount() const { return FCount; }

  TNotifyEvent OnChange;

  // The text the LED shows ("050"), as LedText renders it.
  std::string ShownText() const;

 protected:
  void Paint(TCanvas& Canvas) override;
  // A label reading the LED's text.
  void DescribeAccessible(TAccessibleDescription& Description) const override;

 private:
  void PartChanged(TObject*) { Changed(); }

  std::unique_ptr<TGDIPFill> FFill;
  std::unique_ptr<TAdvSmoothLedLabelCaption> FCaption;
  bool FTransparent = false;
  bool FIsPainting = false;
  std::uint64_t FCount = 0;
};

}  // namespace sib
