// What the smooth panel and the smooth label share: where a caption stands, its font with the
// Arial fallback, the brush its text is painted with, and saving a painted bitmap as an image file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "controls/gdip_fill.h"
#include "controls/image_type.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/brush.h"
#include "platform/graphics/font.h"
#include "platform/ui/font.h"

namespace sib {

enum TAdvSmoothPanelLocation : std::uint8_t {
  plTopLeft,
  plTopCenter,
  plTopRight,
  plCenterLeft,
  plCenterCenter,
  plCenterRight,
  plBottomLeft,
  plBottomCenter,
  plBottomRight,
  plCustom
};
SIB_ENUM_NAMES(TAdvSmoothPanelLocation, plTopLeft, plTopCenter, plTopRight, plCenterLeft, plCenterCenter,
               plCenterRight, plBottomLeft, plBottomCenter, plBottomRight, plCustom)

using TAdvSmoothLabelLocation = TAdvSmoothPanelLocation;

// Column 0 left, 1 centre, 2 right; row 0 top, 1 centre, 2 bottom (plCustom has neither).
inline int LocationColumn(TAdvSmoothPanelLocation L) { return L == plCustom ? 0 : static_cast<int>(L) % 3; }
inline int LocationRow(TAdvSmoothPanelLocation L) { return L == plCustom ? 0 : static_cast<int>(L) / 3; }

// The colours, gradient and texture of a caption's text.
struct TCaptionBrushStyle {
  TColor ColorStart = clNone;
  TColor ColorEnd = clNone;  // clNone: the start colour
  std::uint8_t OpacityStart = 255;
  std::uint8_t OpacityEnd = 255;
  TAdvGradientType GradientType = gtVertical;
  gfx::HatchStyle HatchStyle = gfx::HatchStyle::Horizontal;
  const TAdvGDIPPicture* Picture = nullptr;
};

// What every smooth caption has: a text at a location (or at Left, Top), its font, and the brush
// its text is painted with. Every change tells the owner (OwnerChanged), then raises OnChange.
class TSmoothCaption : public TPersistent {
  SIB_CLASS(TSmoothCaption, TPersistent)
 public:
  TSmoothCaption(TAdvSmoothPanelLocation Location, TCaptionBrushStyle Style);
  ~TSmoothCaption() override;

  const std::string& Text() const { return FText; }
  void SetText(const std::string& Value) { Set(FText, Value); }
  TAdvSmoothPanelLocation Location() const { return FLocation; }
  void SetLocation(TAdvSmoothPanelLocation Value) { Set(FLocation, Value); }
  TFont* Font() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  int Left() const { return FLeft; }
  void SetLeft(int Value) { Set(FLeft, Value); }
  int Top() const { return FTop; }
  void SetTop(int Value) { Set(FTop, Value); }
  TAdvGDIPPicture* Picture() const { return FPicture.get(); }
  void SetPicture(TAdvGDIPPicture* Value) { FPicture->Assign(Value); }
  TColor ColorStart() const { return FStyle.ColorStart; }
  void SetColorStart(TColor Value) { Set(FStyle.ColorStart, Value); }
  TColor ColorEnd() const { return FStyle.ColorEnd; }
  void SetColorEnd(TColor Value) { Set(FStyle.ColorEnd, Value); }
  std::uint8_t OpacityStart() const { return FStyle.OpacityStart; }
  void SetOpacityStart(std::uint8_t Value) { Set(FStyle.OpacityStart, Value); }
  std::uint8_t OpacityEnd() const { return FStyle.OpacityEnd; }
  void SetOpacityEnd(std::uint8_t Value) { Set(FStyle.OpacityEnd, Value); }
  TAdvGradientType GradientType() const { return FStyle.GradientType; }
  void SetGradientType(TAdvGradientType Value) { Set(FStyle.GradientType, Value); }
  gfx::HatchStyle HatchStyle() const { return FStyle.HatchStyle; }
  void SetHatchStyle(gfx::HatchStyle Value) { Set(FStyle.HatchStyle, Value); }
  const TNotifyEvent& OnChange() const { return FOnChange; }
  void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }

  TCaptionBrushStyle BrushStyle() const;

 protected:
  template <class T>
  void Set(T& Field, const T& Value) {
    if (Field == Value) return;
    Field = Value;
    Changed();
  }
  void Changed();
  void PartChanged(TObject* Sender) { (void)Sender, Changed(); }
  // Set once the caption's own defaults are in place, so that setting them tells nobody.
  void SetOwnerChanged(std::function<void()> OwnerChanged) { FOwnerChanged = std::move(OwnerChanged); }
  // Copies what every caption has, without raising a change.
  void AssignCaption(const TSmoothCaption& Source);

 private:
  std::function<void()> FOwnerChanged;
  std::string FText;
  TAdvSmoothPanelLocation FLocation;
  std::unique_ptr<TFont> FFont;
  int FLeft = 0;
  int FTop = 0;
  std::unique_ptr<TAdvGDIPPicture> FPicture;
  TCaptionBrushStyle FStyle;
  TNotifyEvent FOnChange;
};

// The caption font: the named family, or "Arial" when the family or the style is not there.
gfx::Font CaptionFont(const TFont& Font);


// The brush for text measured at (X, Y) with size W x H; nullptr for the kinds that draw nothing
// (radial, angle, path, none, and a texture without a picture).
std::unique_ptr<gfx::Brush> CaptionBrush(const TCaptionBrushStyle& Style, float X, float Y, float W, float H);

// Stretches Source into ImageWidth x ImageHeight and writes it in the format of ImageType.
void SaveBitmapToImage(const gfx::Bitmap& Source, const std::filesystem::path& Filename, int ImageWidth,
                       int ImageHeight, TImageType ImageType, int ImageQualityPercentage);

}  // namespace sib
