#include "platform/core/colors.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace sib {
namespace {

// A light, neutral look: the values of a classic desktop's default scheme.
constexpr std::array<TColor, 31> kSystemColors = {
    RGB(200, 200, 200),  // 0 scroll bar
    RGB(0, 0, 0),        // 1 desktop
    RGB(153, 180, 209),  // 2 active caption
    RGB(191, 205, 219),  // 3 inactive caption
    RGB(240, 240, 240),  // 4 menu
    RGB(255, 255, 255),  // 5 window
    RGB(100, 100, 100),  // 6 window frame
    RGB(0, 0, 0),        // 7 menu text
    RGB(0, 0, 0),        // 8 window text
    RGB(0, 0, 0),        // 9 caption text
    RGB(180, 180, 180),  // 10 active border
    RGB(244, 247, 252),  // 11 inactive border
    RGB(171, 171, 171),  // 12 application workspace
    RGB(0, 120, 215),    // 13 highlight
    RGB(255, 255, 255),  // 14 highlight text
    RGB(240, 240, 240),  // 15 button face
    RGB(160, 160, 160),  // 16 button shadow
    RGB(109, 109, 109),  // 17 grey text
    RGB(0, 0, 0),        // 18 button text
    RGB(0, 0, 0),        // 19 inactive caption text
    RGB(255, 255, 255),  // 20 button highlight
    RGB(105, 105, 105),  // 21 3-D dark shadow
    RGB(227, 227, 227),  // 22 3-D light
    RGB(0, 0, 0),        // 23 tooltip text
    RGB(255, 255, 225),  // 24 tooltip background
    RGB(0, 0, 0),        // 25 unused
    RGB(0, 102, 204),    // 26 hot-tracked item
    RGB(185, 209, 234),  // 27 gradient of the active caption
    RGB(215, 228, 242),  // 28 gradient of the inactive caption
    RGB(0, 120, 215),    // 29 menu highlight
    RGB(240, 240, 240),  // 30 menu bar
};

constexpr ColorName kNames[] = {
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clLtGray", clLtGray},
    {"clDkGray", clDkGray},
    {"clMoneyGreen", clMoneyGreen},
    {"clSkyBlue", clSkyBlue},
    {"clCream", clCream},
    {"clMedGray", clMedGray},
    {"clScrollBar", clScrollBar},
    {"clBackground", clBackground},
    {"clActiveCaption", clActiveCaption},
    {"clInactiveCaption", clInactiveCaption},
    {"clMenu", clMenu},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clMenuText", clMenuText},
    {"clWindowText", clWindowText},
    {"clCaptionText", clCaptionText},
    {"clActiveBorder", clActiveBorder},
    {"clInactiveBorder", clInactiveBorder},
    {"clAppWorkSpace", clAppWorkSpace},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},
    {"clGrayText", clGrayText},
    {"clBtnText", clBtnText},
    {"clInactiveCaptionText", clInactiveCaptionText},
    {"clBtnHighlight", clBtnHighlight},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clInfoText", clInfoText},
    {"clInfoBk", clInfoBk},
    {"clHotLight", clHotLight},
    {"clGradientActiveCaption", clGradientActiveCaption},
    {"clGradientInactiveCaption", clGradientInactiveCaption},
    {"clMenuHighlight", clMenuHighlight},
    {"clMenuBar", clMenuBar},
    {"clNone", clNone},
    {"clDefault", clDefault},
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
    return std::tolower(x) == std::tolower(y);
  });
}

}  // namespace

TColor ColorToRGB(TColor color) {
  if (color == clNone || color == clDefault) return color;
  if (IsSystemColor(color)) {
    const auto index = static_cast<std::uint32_t>(color & 0xFF);
    const bool known = (color & 0x7FFFFF00) == 0 && index < kSystemColors.size();
    return known ? kSystemColors[index] : clBlack;
  }
  return color & 0xFFFFFF;
}

std::span<const ColorName> ColorNames() { return kNames; }

std::optional<TColor> IdentToColor(std::string_view name) {
  for (const ColorName& entry : kNames)
    if (equalsIgnoringCase(entry.Name, name)) return entry.Value;
  return std::nullopt;
}

std::optional<std::string_view> ColorToIdent(TColor color) {
  for (const ColorName& entry : kNames)
    if (entry.Value == color) return entry.Name;
  return std::nullopt;
}

}  // namespace sib
