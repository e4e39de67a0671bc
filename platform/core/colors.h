// Colours as the controls store them: a TColor is 32 bits, 0x00BBGGRR (red in the low byte) for a
// plain colour, 0x80000000 | index for a system colour, which is resolved through a fixed table of
// RGB values (the window's look does not follow a desktop theme). clNone means "no colour here"
// and clDefault "the control's own default"; neither has an RGB value, so callers test for them
// before they resolve a colour. The names are the ones a stored description writes and the markup
// accepts (compared without case).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace sib {

using TColor = std::int32_t;

constexpr TColor RGB(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<TColor>(red | (green << 8) | (blue << 16));
}
constexpr std::uint8_t RedOf(TColor c) { return static_cast<std::uint8_t>(c & 0xFF); }
constexpr std::uint8_t GreenOf(TColor c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
constexpr std::uint8_t BlueOf(TColor c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }

constexpr TColor kSystemColorFlag = static_cast<TColor>(0x80000000u);
constexpr TColor SystemColor(int index) { return kSystemColorFlag | index; }

// Plain colours.
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clLtGray = clSilver;
constexpr TColor clDkGray = clGray;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;

// System colours.
constexpr TColor clScrollBar = SystemColor(0);
constexpr TColor clBackground = SystemColor(1);
constexpr TColor clActiveCaption = SystemColor(2);
constexpr TColor clInactiveCaption = SystemColor(3);
constexpr TColor clMenu = SystemColor(4);
constexpr TColor clWindow = SystemColor(5);
constexpr TColor clWindowFrame = SystemColor(6);
constexpr TColor clMenuText = SystemColor(7);
constexpr TColor clWindowText = SystemColor(8);
constexpr TColor clCaptionText = SystemColor(9);
constexpr TColor clActiveBorder = SystemColor(10);
constexpr TColor clInactiveBorder = SystemColor(11);
constexpr TColor clAppWorkSpace = SystemColor(12);
constexpr TColor clHighlight = SystemColor(13);
constexpr TColor clHighlightText = SystemColor(14);
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clBtnShadow = SystemColor(16);
constexpr TColor clGrayText = SystemColor(17);
constexpr TColor clBtnText = SystemColor(18);
constexpr TColor clInactiveCaptionText = SystemColor(19);
constexpr TColor clBtnHighlight = SystemColor(20);
constexpr TColor cl3DDkShadow = SystemColor(21);
constexpr TColor cl3DLight = SystemColor(22);
constexpr TColor clInfoText = SystemColor(23);
constexpr TColor clInfoBk = SystemColor(24);
constexpr TColor clHotLight = SystemColor(26);
constexpr TColor clGradientActiveCaption = SystemColor(27);
constexpr TColor clGradientInactiveCaption = SystemColor(28);
constexpr TColor clMenuHighlight = SystemColor(29);
constexpr TColor clMenuBar = SystemColor(30);

// Sentinels.
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr bool IsSystemColor(TColor c) { return (c & kSystemColorFlag) != 0; }

// The plain RGB value of a colour: system colours through the table (an unknown index gives
// black), plain colours with their unused high byte cleared. clNone and clDefault come back
// unchanged, since they name no colour.
TColor ColorToRGB(TColor color);

struct ColorName {
  std::string_view Name;
  TColor Value;
};

// Every named colour above, in the order a description writer prefers a name for a value.
std::span<const ColorName> ColorNames();
// The colour of a name such as "clBtnFace" or "clbtnface"; nothing for an unknown name.
std::optional<TColor> IdentToColor(std::string_view name);
// The name of a colour value, if it has one ("clSilver" for 0xC0C0C0).
std::optional<std::string_view> ColorToIdent(TColor color);

}  // namespace sib
