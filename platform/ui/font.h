// TFont: the description of a control's font (family name, height in pixels or size in points,
// style, colour, character set), and the colour property type of descriptions.
//
// A font is a persistent sub-object of its control: a description writes "Font.Name = 'Tahoma'".
// Every change raises OnChange once, except between BeginUpdate and EndUpdate, where changes are
// gathered into one OnChange at the end. Assigning another font copies all of it with one OnChange.
// Height and Size are two views of one value: Height = -Size * PixelsPerInch / 72 (rounded), a
// negative height being the character height in pixels, as the window system counts it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/components/class_info.h"
#include "platform/components/component.h"
#include "platform/core/colors.h"

namespace sib {

// The property type of colours: an integer written with the colour's name where it has one
// ("clSilver"), read from a name or a number.
const TTypeInfo& ColorTypeInfo();

enum TFontStyle : std::uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
SIB_ENUM_NAMES(TFontStyle, fsBold, fsItalic, fsUnderline, fsStrikeOut)
using TFontStyles = TSet<TFontStyle>;

enum TFontPitch : std::uint8_t { fpDefault, fpVariable, fpFixed };
SIB_ENUM_NAMES(TFontPitch, fpDefault, fpVariable, fpFixed)

using TFontCharset = std::uint8_t;
inline constexpr TFontCharset ANSI_CHARSET = 0;
inline constexpr TFontCharset DEFAULT_CHARSET = 1;

class TFont : public TPersistent {
  SIB_CLASS(TFont, TPersistent)
 public:
  TFont();

  static TPropertyList PublishedProperties();

  void Assign(TPersistent* Source) override;

  const std::string& Name() const { return FName; }
  void SetName(const std::string& Value);
  int Height() const { return FHeight; }
  void SetHeight(int Value);
  // Points, from and to Height at PixelsPerInch.
  int Size() const;
  void SetSize(int Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  TFontCharset Charset() const { return FCharset; }
  void SetCharset(TFontCharset Value);
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch Value);
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int Value) { FPixelsPerInch = Value > 0 ? Value : 96; }

  // The character height in pixels, whatever sign Height has.
  float PixelHeight() const;

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  bool SameAs(const TFont& Other) const;

  TNotifyEvent OnChange;

 private:
  void Changed();

  std::string FName = "Tahoma";
  int FHeight = -11;
  TColor FColor = clWindowText;
  TFontStyles FStyle;
  TFontCharset FCharset = DEFAULT_CHARSET;
  TFontPitch FPitch = fpDefault;
  int FPixelsPerInch = 96;
  int FUpdateCount = 0;
  bool FChangedWhileUpdating = false;
};

}  // namespace sib
