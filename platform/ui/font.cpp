#include "platform/ui/font.h"

#include <cmath>
#include <cstdlib>

namespace sib {
namespace {

const TTypeInfo& charsetTypeInfo() {
  static const TTypeInfo info = TTypeInfo::Integer("TFontCharset", 0, 255,
                                                   {{"ANSI_CHARSET", 0},
                                                    {"DEFAULT_CHARSET", 1},
                                                    {"SYMBOL_CHARSET", 2},
                                                    {"MAC_CHARSET", 77},
                                                    {"SHIFTJIS_CHARSET", 128},
                                                    {"HANGEUL_CHARSET", 129},
                                                    {"GB2312_CHARSET", 134},
                                                    {"CHINESEBIG5_CHARSET", 136},
                                                    {"GREEK_CHARSET", 161},
                                                    {"TURKISH_CHARSET", 162},
                                                    {"HEBREW_CHARSET", 177},
                                                    {"ARABIC_CHARSET", 178},
                                                    {"BALTIC_CHARSET", 186},
                                                    {"RUSSIAN_CHARSET", 204},
                                                    {"THAI_CHARSET", 222},
                                                    {"EASTEUROPE_CHARSET", 238},
                                                    {"OEM_CHARSET", 255}});
  return info;
}

int roundHalfAway(double v) { return static_cast<int>(std::lround(v)); }

}  // namespace

const TTypeInfo& ColorTypeInfo() {
  static const TTypeInfo info = [] {
    std::vector<TIdentMapEntry> idents;
    for (const ColorName& c : ColorNames()) idents.push_back({std::string(c.Name), c.Value});
    return TTypeInfo::Integer("TColor", INT32_MIN, INT32_MAX, std::move(idents));
  }();
  return info;
}

TFont::TFont() = default;

TPropertyList TFont::PublishedProperties() {
  return {
      prop("Charset", &TFont::Charset, &TFont::SetCharset).type(charsetTypeInfo()),
      prop("Color", &TFont::Color, &TFont::SetColor).type(ColorTypeInfo()),
      prop("Height", &TFont::Height, &TFont::SetHeight),
      prop("Name", &TFont::Name, &TFont::SetName),
      prop("Pitch", &TFont::Pitch, &TFont::SetPitch).defaultValue(fpDefault),
      prop("Size", &TFont::Size, &TFont::SetSize).stored(false),
      prop("Style", &TFont::Style, &TFont::SetStyle).defaultValue(TFontStyles{}),
  };
}

void TFont::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TFont*>(Source);
  if (!other) {
    TPersistent::Assign(Source);
    return;
  }
  if (SameAs(*other) && FPixelsPerInch == other->FPixelsPerInch) return;
  FName = other->FName;
  FHeight = other->FHeight;
  FColor = other->FColor;
  FStyle = other->FStyle;
  FCharset = other->FCharset;
  FPitch = other->FPitch;
  FPixelsPerInch = other->FPixelsPerInch;
  Changed();
}

bool TFont::SameAs(const TFont& Other) const {
  return FName == Other.FName && FHeight == Other.FHeight && FColor == Other.FColor && FStyle == Other.FStyle &&
         FCharset == Other.FCharset && FPitch == Other.FPitch;
}

void TFont::SetName(const std::string& Value) {
  if (Value.empty() || Value == FName) return;
  FName = Value;
  Changed();
}

void TFont::SetHeight(int Value) {
  if (Value == FHeight) return;
  FHeight = Value;
  Changed();
}

int TFont::Size() const { return -roundHalfAway(static_cast<double>(FHeight) * 72.0 / FPixelsPerInch); }

void TFont::SetSize(int Value) { SetHeight(-roundHalfAway(static_cast<double>(Value) * FPixelsPerInch / 72.0)); }

float TFont::PixelHeight() const { return static_cast<float>(std::abs(FHeight)); }

void TFont::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed();
}

void TFont::SetStyle(TFontStyles Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Changed();
}

void TFont::SetCharset(TFontCharset Value) {
  if (Value == FCharset) return;
  FCharset = Value;
  Changed();
}

void TFont::SetPitch(TFontPitch Value) {
  if (Value == FPitch) return;
  FPitch = Value;
  Changed();
}

void TFont::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0 && FChangedWhileUpdating) {
    FChangedWhileUpdating = false;
    OnChange(this);
  }
}

void TFont::Changed() {
  if (FUpdateCount > 0) {
    FChangedWhileUpdating = true;
    return;
  }
  OnChange(this);
}

}  // namespace sib
