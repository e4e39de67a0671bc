// TGDIPFill: the description of one painted surface that every smooth control owns one or more of —
// a start and an end colour with their opacities, an optional second ("mirror") pair for the lower
// half, a gradient kind, rounded corners, a drop shadow, a border, a glow and two pictures. A fill
// has no size of its own: the owner calls Fill with a surface and a rectangle each time it paints,
// and repaints when the fill's OnChange tells it that a property changed.
//
// Also here: CreateRoundRectangle, the rounded outline the controls reuse for their own shapes, and
// the fill's persistence in INI sections and on the clipboard (as text, through fill_clipboard.h).
// The painting lives in gdip_fill_paint.cpp.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "controls/gdip_picture.h"
#include "platform/components/component.h"
#include "platform/core/colors.h"
#include "platform/graphics/graphics.h"

namespace sib::gfx {
// The hatch styles as fills store them: "HatchStyleHorizontal" (0) to "HatchStyleSolidDiamond"
// (52), then "HatchStyleTotal" (53).
const TTypeInfo& sibEnumTypeInfo(HatchStyle*);
}  // namespace sib::gfx

namespace sib {

class IniFile;

// The rectangle of four floats the fills paint into.
using TGPRectF = gfx::RectF;

enum TAdvGradientType : std::uint8_t {
  gtSolid,
  gtRadial,
  gtVertical,
  gtHorizontal,
  gtForwardDiagonal,
  gtBackwardDiagonal,
  gtAngle,
  gtHatch,
  gtPath,
  gtTexture,
  gtNone
};
SIB_ENUM_NAMES(TAdvGradientType, gtSolid, gtRadial, gtVertical, gtHorizontal, gtForwardDiagonal, gtBackwardDiagonal,
               gtAngle, gtHatch, gtPath, gtTexture, gtNone)

enum TFillRoundingType : std::uint8_t { rtNone, rtTop, rtBottom, rtBoth, rtLeft, rtRight };
SIB_ENUM_NAMES(TFillRoundingType, rtNone, rtTop, rtBottom, rtBoth, rtLeft, rtRight)

enum TFillPicturePosition : std::uint8_t {
  ppTopLeft,
  ppTopCenter,
  ppTopRight,
  ppBottomLeft,
  ppBottomCenter,
  ppBottomRight,
  ppTiled,
  ppStretched,
  ppCenterLeft,
  ppCenterCenter,
  ppCenterRight,
  ppCustom
};
SIB_ENUM_NAMES(TFillPicturePosition, ppTopLeft, ppTopCenter, ppTopRight, ppBottomLeft, ppBottomCenter, ppBottomRight,
               ppTiled, ppStretched, ppCenterLeft, ppCenterCenter, ppCenterRight, ppCustom)

enum TFillPictureSize : std::uint8_t { psOriginal, psCustom };
SIB_ENUM_NAMES(TFillPictureSize, psOriginal, psCustom)

enum TFillPictureMode : std::uint8_t { pmInsideFill, pmOutsideFill };
SIB_ENUM_NAMES(TFillPictureMode, pmInsideFill, pmOutsideFill)

enum TGlowMode : std::uint8_t { gmNone, gmGradient, gmRadial, gmRadialGradient };
SIB_ENUM_NAMES(TGlowMode, gmNone, gmGradient, gmRadial, gmRadialGradient)

// The type info of TColor properties: any 32-bit value, written by name where the colour has one.
const TTypeInfo& colorTypeInfo();

// The ARGB value of a colour at an opacity: alpha << 24 | red << 16 | green << 8 | blue, system
// colours resolved through the colour table first.
gfx::Color MakeColor(std::uint8_t Alpha, TColor Color);

// A closed path in the alternate fill mode that outlines R with the corners of RoundingType rounded
// to Radius (a radius of 0 or less gives the plain rectangle). `Shadow` has no effect on the outline.
gfx::Path CreateRoundRectangle(TGPRectF R, int Radius, TFillRoundingType RoundingType, bool Shadow = false);

// The rounding a layer of a split fill takes: the upper layer keeps the top corners, the lower one
// the bottom corners; left and right rounding apply to both.
TFillRoundingType LayerRounding(TFillRoundingType RoundingType, bool Mirror);

class TGDIPFill : public TPersistent {
  SIB_CLASS(TGDIPFill, TPersistent)
 public:
  TGDIPFill();
  ~TGDIPFill() override;

  static TPropertyList PublishedProperties();

  // From another fill: every published property (pictures by content), then Changed. Focus,
  // FocusColor and OnChange stay as they are. Any other source is ignored.
  void Assign(TPersistent* Source) override;

  void BeginUpdate() { ++FUpdateCount; }
  // Never goes below 0 and raises no OnChange by itself.
  void EndUpdate() {
    if (FUpdateCount > 0) --FUpdateCount;
  }
  // Raises OnChange unless an update is running.
  void Changed();

  // Paints the surface into R and returns the part the body covers (R less the shadow). An opacity
  // argument of 255 means "the fill's own property". Does nothing without a surface, but still
  // returns the reduced rectangle and sets FocusRect.
  TGPRectF Fill(gfx::Graphics* g, TGPRectF R, std::uint8_t ABorderOpacity = 255, std::uint8_t AOpacity = 255,
                std::uint8_t AOpacityTo = 255, std::uint8_t AOpacityMirror = 255, std::uint8_t AOpacityMirrorTo = 255);
  // One layer: the upper one, or the lower one when `Mirror` is set.
  void DrawGradientBackGround(gfx::Graphics& g, TGPRectF R, bool Mirror, std::uint8_t Opacity, std::uint8_t OpacityTo,
                              std::uint8_t OpacityMirror, std::uint8_t OpacityMirrorTo);
  void DrawGlow(gfx::Graphics& g, TGPRectF R);

  // Every published property as an integer under its own name in `Section`, the pictures as
  // hexadecimal text under "Picture" and "BackgroundPicture" with their text lengths under
  // "PictureDataSize" and "BackgroundPictureSize". The file is written atomically.
  void SaveToFile(const std::filesystem::path& FileName, const std::string& Section);
  void SaveToFile(IniFile& Ini, const std::string& Section);
  // Reads what SaveToFile wrote; keys that are missing keep their values. A value outside its
  // property's range, a number that is not one, a picture whose length is negative, odd or longer
  // than its text, or a picture that does not decode raises EReadError naming the file, section
  // and key, and leaves the fill as it was. Raises Changed once at the end.
  void LoadFromFile(const std::filesystem::path& FileName, const std::string& Section);
  void LoadFromFile(const IniFile& Ini, const std::string& Section);

  // The whole fill as text, under the clipboard format "GDI+ Fill" (see fill_clipboard.h).
  void SaveToClipBoard();
  // Does nothing when the clipboard holds no fill; text that is not a valid fill raises EReadError
  // and leaves the fill as it was.
  void LoadFromClipBoard();
  // The text SaveToClipBoard puts on the clipboard, and its reader.
  std::string ToClipboardText();
  void FromClipboardText(const std::string& Text);

  // --- properties ---
  TColor Color() const { return FColor; }
  void SetColor(TColor Value) { Set(FColor, Value); }
  TColor ColorTo() const { return FColorTo; }
  void SetColorTo(TColor Value) { Set(FColorTo, Value); }
  TColor ColorMirror() const { return FColorMirror; }
  void SetColorMirror(TColor Value) { Set(FColorMirror, Value); }
  TColor ColorMirrorTo() const { return FColorMirrorTo; }
  void SetColorMirrorTo(TColor Value) { Set(FColorMirrorTo, Value); }
  TAdvGradientType GradientType() const { return FGradientType; }
  void SetGradientType(TAdvGradientType Value) { Set(FGradientType, Value); }
  TAdvGradientType GradientMirrorType() const { return FGradientMirrorType; }
  void SetGradientMirrorType(TAdvGradientType Value) { Set(FGradientMirrorType, Value); }
  gfx::HatchStyle HatchStyle() const { return FHatchStyle; }
  void SetHatchStyle(gfx::HatchStyle Value) { Set(FHatchStyle, Value); }
  gfx::HatchStyle HatchStyleMirror() const { return FHatchStyleMirror; }
  void SetHatchStyleMirror(gfx::HatchStyle Value) { Set(FHatchStyleMirror, Value); }
  TFillPictureMode BackGroundPictureMode() const { return FBackGroundPictureMode; }
  void SetBackGroundPictureMode(TFillPictureMode Value) { Set(FBackGroundPictureMode, Value); }
  TAdvGDIPPicture* BackGroundPicture() const { return FBackGroundPicture.get(); }
  void SetBackGroundPicture(TAdvGDIPPicture* Value) { FBackGroundPicture->Assign(Value); }
  TFillPicturePosition BackGroundPicturePosition() const { return FBackGroundPicturePosition; }
  void SetBackGroundPicturePosition(TFillPicturePosition Value) { Set(FBackGroundPicturePosition, Value); }
  std::int32_t BackGroundPictureLeft() const { return FBackGroundPictureLeft; }
  void SetBackGroundPictureLeft(std::int32_t Value) { Set(FBackGroundPictureLeft, Value); }
  std::int32_t BackGroundPictureTop() const { return FBackGroundPictureTop; }
  void SetBackGroundPictureTop(std::int32_t Value) { Set(FBackGroundPictureTop, Value); }
  TAdvGDIPPicture* Picture() const { return FPicture.get(); }
  void SetPicture(TAdvGDIPPicture* Value) { FPicture->Assign(Value); }
  TFillPicturePosition PicturePosition() const { return FPicturePosition; }
  void SetPicturePosition(TFillPicturePosition Value) { Set(FPicturePosition, Value); }
  std::int32_t PictureLeft() const { return FPictureLeft; }
  void SetPictureLeft(std::int32_t Value) { Set(FPictureLeft, Value); }
  std::int32_t PictureTop() const { return FPictureTop; }
  void SetPictureTop(std::int32_t Value) { Set(FPictureTop, Value); }
  TFillPictureSize PictureSize() const { return FPictureSize; }
  void SetPictureSize(TFillPictureSize Value) { Set(FPictureSize, Value); }
  std::int32_t PictureWidth() const { return FPictureWidth; }
  void SetPictureWidth(std::int32_t Value) { Set(FPictureWidth, Value); }
  std::int32_t PictureHeight() const { return FPictureHeight; }
  void SetPictureHeight(std::int32_t Value) { Set(FPictureHeight, Value); }
  std::uint8_t Opacity() const { return FOpacity; }
  void SetOpacity(std::uint8_t Value) { Set(FOpacity, Value); }
  std::uint8_t OpacityTo() const { return FOpacityTo; }
  void SetOpacityTo(std::uint8_t Value) { Set(FOpacityTo, Value); }
  std::uint8_t OpacityMirror() const { return FOpacityMirror; }
  void SetOpacityMirror(std::uint8_t Value) { Set(FOpacityMirror, Value); }
  std::uint8_t OpacityMirrorTo() const { return FOpacityMirrorTo; }
  void SetOpacityMirrorTo(std::uint8_t Value) { Set(FOpacityMirrorTo, Value); }
  TColor BorderColor() const { return FBorderColor; }
  void SetBorderColor(TColor Value) { Set(FBorderColor, Value); }
  std::uint8_t BorderOpacity() const { return FBorderOpacity; }
  void SetBorderOpacity(std::uint8_t Value) { Set(FBorderOpacity, Value); }
  std::int32_t BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(std::int32_t Value) { Set(FBorderWidth, Value); }
  std::int32_t Rounding() const { return FRounding; }
  void SetRounding(std::int32_t Value) { Set(FRounding, Value); }
  TFillRoundingType RoundingType() const { return FRoundingType; }
  void SetRoundingType(TFillRoundingType Value) { Set(FRoundingType, Value); }
  TColor ShadowColor() const { return FShadowColor; }
  void SetShadowColor(TColor Value) { Set(FShadowColor, Value); }
  std::int32_t ShadowOffset() const { return FShadowOffset; }
  void SetShadowOffset(std::int32_t Value) { Set(FShadowOffset, Value); }
  std::int32_t Angle() const { return FAngle; }
  void SetAngle(std::int32_t Value) { Set(FAngle, Value); }
  const TNotifyEvent& OnChange() const { return FOnChange; }
  void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }
  TGlowMode Glow() const { return FGlow; }
  void SetGlow(TGlowMode Value) { Set(FGlow, Value); }
  TColor GlowGradientColor() const { return FGlowGradientColor; }
  void SetGlowGradientColor(TColor Value) { Set(FGlowGradientColor, Value); }
  TColor GlowRadialColor() const { return FGlowRadialColor; }
  void SetGlowRadialColor(TColor Value) { Set(FGlowRadialColor, Value); }

  bool Focus() const { return FFocus; }
  void SetFocus(bool Value) { Set(FFocus, Value); }
  TColor FocusColor() const { return FFocusColor; }
  void SetFocusColor(TColor Value) { Set(FFocusColor, Value); }
  // The painted rectangle of the last Fill inset by BorderWidth on every side.
  TGPRectF FocusRect() const { return FFocusRect; }
  int UpdateCount() const { return FUpdateCount; }

 private:
  template <class T>
  void Set(T& Field, T Value) {
    if (Field == Value) return;
    Field = Value;
    Changed();
  }
  void PictureChanged(TObject* Sender);

  // Painting steps (gdip_fill_paint.cpp).
  struct Opacities {
    std::uint8_t Border, Start, End, Mirror, MirrorTo;
  };
  void FillBody(gfx::Graphics& g, TGPRectF R, const Opacities& o);
  void DrawRadialGradient(gfx::Graphics& g, TGPRectF R, TColor CA, TColor CB, std::uint8_t OA, std::uint8_t OB, bool Upper,
                          int Radius, TFillRoundingType RoundingType);
  void DrawFocus(gfx::Graphics& g, std::uint8_t Opacity);
  void DrawPicture(gfx::Graphics& g, TAdvGDIPPicture& Pic, TGPRectF R, TFillPicturePosition Position, int Left, int Top,
                   int Width, int Height);

  TColor FColor = clSilver;
  TColor FColorTo = clGray;
  TColor FColorMirror = clNone;
  TColor FColorMirrorTo = clNone;
  TAdvGradientType FGradientType = gtVertical;
  TAdvGradientType FGradientMirrorType = gtSolid;
  gfx::HatchStyle FHatchStyle = gfx::HatchStyle::Horizontal;
  gfx::HatchStyle FHatchStyleMirror = gfx::HatchStyle::Horizontal;
  TFillPictureMode FBackGroundPictureMode = pmOutsideFill;
  std::unique_ptr<TAdvGDIPPicture> FBackGroundPicture;
  TFillPicturePosition FBackGroundPicturePosition = ppTopLeft;
  std::int32_t FBackGroundPictureLeft = 0;
  std::int32_t FBackGroundPictureTop = 0;
  std::unique_ptr<TAdvGDIPPicture> FPicture;
  TFillPicturePosition FPicturePosition = ppTopLeft;
  std::int32_t FPictureLeft = 0;
  std::int32_t FPictureTop = 0;
  TFillPictureSize FPictureSize = psOriginal;
  std::int32_t FPictureWidth = 50;
  std::int32_t FPictureHeight = 50;
  std::uint8_t FOpacity = 255;
  std::uint8_t FOpacityTo = 255;
  std::uint8_t FOpacityMirror = 255;
  std::uint8_t FOpacityMirrorTo = 255;
  TColor FBorderColor = clNone;
  std::uint8_t FBorderOpacity = 255;
  std::int32_t FBorderWidth = 1;
  std::int32_t FRounding = 0;
  TFillRoundingType FRoundingType = rtBoth;
  TColor FShadowColor = clGray;
  std::int32_t FShadowOffset = 0;
  std::int32_t FAngle = 0;
  TNotifyEvent FOnChange;
  TGlowMode FGlow = gmNone;
  TColor FGlowGradientColor = clWhite;
  TColor FGlowRadialColor = clWhite;

  bool FFocus = false;
  TColor FFocusColor = clBlack;
  TGPRectF FFocusRect{};
  int FUpdateCount = 0;
};

}  // namespace sib
