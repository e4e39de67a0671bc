// The painters of the smooth button: TGDIPButton draws the glossy face (two gradient parts meeting
// along a shallow arc, the band under the seam, the bevel ring, the shadow, the caption and the
// picture); TGDIPStatus sizes and draws the small pill-shaped badge in the button's corner. Both
// are persistent settings objects that report their changes through OnChange; the button
// (smooth_button.h) owns one of each and keeps what they paint in a cached image.
//
// Also here: the pressed colour, the face colour darkened in hue, saturation and value.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "controls/gdip_fill.h"
#include "platform/core/errors.h"
#include "platform/ui/alignment.h"
#include "platform/ui/font.h"

namespace sib {

// Hue in degrees (0..360; undefined for a grey), saturation 0..1, value 0..255.
struct THSV {
  double H = 0;
  bool HueDefined = false;
  double S = 0;
  double V = 0;
};

// Raised by HSVtoRGB for a colour of saturation 0 whose hue is defined.
class EColorError : public Exception {
 public:
  using Exception::Exception;
};

THSV RGBtoHSV(TColor Color);
TColor HSVtoRGB(const THSV& HSV);
// The face of a pressed button: the value scaled by 0.8, hue and saturation kept.
TColor PressedColor(TColor Color);
// Each of red, green and blue plus `N`, clamped to 0..255.
TColor ShiftColor(TColor Color, int N);

enum TGDIPButtonLayout : std::uint8_t { blPictureLeft, blPictureRight, blPictureBottom, blPictureTop, blNone };
SIB_ENUM_NAMES(TGDIPButtonLayout, blPictureLeft, blPictureRight, blPictureBottom, blPictureTop, blNone)

using TFontStoredEvent = TEvent<TObject*, bool&>;

// The setters' pattern: compare, and only when the value differs store it and call Owner.Changed().
template <class T, class Owner>
void SetAndNotify(T& Field, const T& Value, Owner& owner) {
  if (Field == Value) return;
  Field = Value;
  owner.Changed();
}

class TGDIPButton : public TPersistent {
  SIB_CLASS(TGDIPButton, TPersistent)
 public:
  TGDIPButton();
  ~TGDIPButton() override;

  static TPropertyList PublishedProperties();
  // Font, layout, spacing, shift, both alignments and the focus colour; then Changed.
  void Assign(TPersistent* Source) override;

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate() {
    if (FUpdateCount > 0) --FUpdateCount;
  }
  // Raises OnChange unless an update is running.
  void Changed();

  // What Draw paints: the face occupies (X, Y, Width, Height) less the insets; ColorDown clNone
  // darkens Color when Down.
  struct DrawArgs {
    std::string Caption;
    int X = 0, Y = 0, Width = 0, Height = 0;
    int VerticalSpacing = 0, HorizontalSpacing = 0;
    TColor Color = clGray;
    TColor ColorDown = clNone;
    TColor BevelColor = clWhite;
    bool Shadow = false;
    bool Down = false;
    bool Bevel = true;
    TFillRoundingType RoundingType = rtBoth;
    const TAdvGDIPPicture* Picture = nullptr;
  };
  void Draw(gfx::Graphics& g, const DrawArgs& Args) const;

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value) { Set(FAlignment, Value); }
  TAlignment PictureAlignment() const { return FPictureAlignment; }
  void SetPictureAlignment(TAlignment Value) { Set(FPictureAlignment, Value); }
  TFont* Font() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  TGDIPButtonLayout Layout() const { return FLayout; }
  void SetLayout(TGDIPButtonLayout Value) { Set(FLayout, Value); }
  int Spacing() const { return FSpacing; }
  void SetSpacing(int Value) { Set(FSpacing, Value); }
  int ShiftDown() const { return FShiftDown; }
  void SetShiftDown(int Value) { Set(FShiftDown, Value); }
  TColor FocusColor() const { return FFocusColor; }
  void SetFocusColor(TColor Value) { Set(FFocusColor, Value); }

  const TNotifyEvent& OnChange() const { return FOnChange; }
  void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }
  const TNotifyEvent& OnFontChange() const { return FOnFontChange; }
  void SetOnFontChange(TNotifyEvent Value) { FOnFontChange = std::move(Value); }
  const TFontStoredEvent& OnIsFontStored() const { return FOnIsFontStored; }
  void SetOnIsFontStored(TFontStoredEvent Value) { FOnIsFontStored = std::move(Value); }

 private:
  template <class T>
  void Set(T& Field, T Value) {
    SetAndNotify(Field, Value, *this);
  }
  void FontChanged(TObject* Sender);
  bool IsFontStored() const;

  int FUpdateCount = 0;
  std::unique_ptr<TFont> FFont;
  TNotifyEvent FOnChange;
  TNotifyEvent FOnFontChange;
  TFontStoredEvent FOnIsFontStored;
  TGDIPButtonLayout FLayout = blPictureLeft;
  int FSpacing = 3;
  int FShiftDown = 1;
  TAlignment FAlignment = taCenter;
  TColor FFocusColor = clBlack;
  TAlignment FPictureAlignment = taRightJustify;
};

class TGDIPStatus : public TPersistent {
  SIB_CLASS(TGDIPStatus, TPersistent)
 public:
  TGDIPStatus();
  ~TGDIPStatus() override;

  static TPropertyList PublishedProperties();
  void Assign(TPersistent* Source) override;

  // Sizes the badge for `Caption` and the fill's picture; with neither the size stays.
  void CalculateSize(const gfx::Graphics& g, const std::string& Caption);
  int GetWidth() const { return FWidth; }
  int GetHeight() const { return FHeight; }
  // Paints the badge at (X, Y): the computed size when AutoSize, else Width x Height.
  void Draw(gfx::Graphics& g, int X, int Y, int Width, int Height, bool AutoSize, const std::string& Caption);

  TGDIPFill* Fill() const { return FFill.get(); }
  void SetFill(TGDIPFill* Value) { FFill->Assign(Value); }
  TFont* Font() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  int Spacing() const { return FSpacing; }
  void SetSpacing(int Value) { SetAndNotify(FSpacing, Value, *this); }
  bool Glow() const { return FGlow; }
  void SetGlow(bool Value) { SetAndNotify(FGlow, Value, *this); }
  bool AutoSize() const { return FAutoSize; }

  const TNotifyEvent& OnChange() const { return FOnChange; }
  void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }
  // Raises OnChange.
  void Changed();

 private:
  void PartChanged(TObject* Sender);
  gfx::SizeF MeasureCaption(const gfx::Graphics& g, const std::string& Caption) const;

  int FWidth = 0;
  int FHeight = 0;
  std::unique_ptr<TGDIPFill> FFill;
  std::unique_ptr<TFont> FFont;
  TNotifyEvent FOnChange;
  bool FAutoSize = true;
  int FSpacing = 0;
  bool FGlow = true;
};

// The badge settings of a button: every change, including one of Appearance, calls OnChange (the
// owner's Changed).
class TAdvSmoothButtonStatus : public TPersistent {
  SIB_CLASS(TAdvSmoothButtonStatus, TPersistent)
 public:
  TAdvSmoothButtonStatus();
  ~TAdvSmoothButtonStatus() override;

  static TPropertyList PublishedProperties();
  void Assign(TPersistent* Source) override;

  // Visible, with a caption or a picture in the badge's fill.
  bool Shows() const;

  bool Visible() const { return FVisible; }
  void SetVisible(bool Value) { SetAndNotify(FVisible, Value, *this); }
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value) { SetAndNotify(FCaption, Value, *this); }
  int OffsetLeft() const { return FOffsetLeft; }
  void SetOffsetLeft(int Value) { SetAndNotify(FOffsetLeft, Value, *this); }
  int OffsetTop() const { return FOffsetTop; }
  void SetOffsetTop(int Value) { SetAndNotify(FOffsetTop, Value, *this); }
  TGDIPStatus* Appearance() const { return FAppearance.get(); }
  void SetAppearance(TGDIPStatus* Value) { FAppearance->Assign(Value); }

  TNotifyEvent OnChange;
  // Raises OnChange.
  void Changed();

 private:
  void AppearanceChanged(TObject*) { Changed(); }

  int FOffsetTop = 0;
  int FOffsetLeft = 0;
  bool FVisible = false;
  std::string FCaption;
  std::unique_ptr<TGDIPStatus> FAppearance;
};

}  // namespace sib
