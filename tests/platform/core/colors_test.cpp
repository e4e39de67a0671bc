// Colours as stored (red in the low byte), system colours resolved through the fixed table, the
// sentinels that name no colour, and the names a description writes; font heights as points.
#include "platform/core/colors.h"

#include <gtest/gtest.h>

#include "platform/core/font_size.h"

namespace sib {
namespace {

TEST(Colors, StoredValuesKeepRedInTheLowByte) {
  EXPECT_EQ(RedOf(6049827), 0x23);
  EXPECT_EQ(GreenOf(6049827), 0x50);
  EXPECT_EQ(BlueOf(6049827), 0x5C);
  EXPECT_EQ(RGB(255, 128, 64), 4227327);  // the readout's orange
  const struct {
    TColor Named;
    TColor Stored;
  } rows[] = {{clSilver, 12632256}, {clGray, 8421504}, {clWhite, 16777215}, {clBlue, 16711680},
              {clRed, 255},         {clBlack, 0},      {clYellow, 65535},   {clNone, 536870911}};
  for (const auto& row : rows) EXPECT_EQ(row.Named, row.Stored);
}

TEST(Colors, SystemColoursResolveToFixedValuesAndPlainOnesStayAsTheyAre) {
  const struct {
    TColor Color;
    TColor Rgb;
  } rows[] = {{clWindowText, RGB(0, 0, 0)},       {clBtnFace, RGB(240, 240, 240)}, {clWindow, RGB(255, 255, 255)},
              {clBtnText, RGB(0, 0, 0)},          {clHighlight, RGB(0, 120, 215)}, {clInfoBk, RGB(255, 255, 225)},
              {clBtnShadow, RGB(160, 160, 160)},  {clSilver, clSilver},            {0x5C5023, 0x5C5023},
              {0x7F5C5023, 0x5C5023},             {SystemColor(25), clBlack},      {SystemColor(200), clBlack},
              {static_cast<TColor>(0x8000FF0F), clBlack}};
  for (const auto& row : rows) EXPECT_EQ(ColorToRGB(row.Color), row.Rgb) << std::hex << row.Color;
  EXPECT_TRUE(IsSystemColor(clBtnFace));
  EXPECT_FALSE(IsSystemColor(clNone));
  EXPECT_FALSE(IsSystemColor(clWhite));
}

TEST(Colors, TheSentinelsNameNoColour) {
  EXPECT_EQ(ColorToRGB(clNone), clNone);
  EXPECT_EQ(ColorToRGB(clDefault), clDefault);
}

TEST(Colors, NamesRoundTripAndReadWithoutCase) {
  for (const ColorName& entry : ColorNames()) {
    EXPECT_EQ(IdentToColor(entry.Name), entry.Value) << entry.Name;
    // Aliases (clLtGray is clSilver) write as the first name of their value.
    EXPECT_EQ(IdentToColor(*ColorToIdent(entry.Value)), entry.Value) << entry.Name;
  }
  EXPECT_EQ(IdentToColor("clbtnface"), clBtnFace);
  EXPECT_EQ(IdentToColor("CLRED"), clRed);
  EXPECT_EQ(ColorToIdent(clSilver), "clSilver");
  EXPECT_EQ(ColorToIdent(clWindowText), "clWindowText");
  EXPECT_FALSE(IdentToColor("clPink"));
  EXPECT_FALSE(IdentToColor(""));
  EXPECT_FALSE(ColorToIdent(0x123456));
}

TEST(FontSize, NegativeHeightsArePointsAtNinetySixPixelsPerInch) {
  const struct {
    int Height;
    int Size;
  } rows[] = {{-11, 8}, {-13, 10}, {-15, 11}, {-16, 12}, {-21, 16}, {-27, 20},
              {-2, 2},  {-10, 8},  {-1, 1},   {0, 0},    {11, 8}};  // -2 and -10 fall on halves
  for (const auto& row : rows) EXPECT_EQ(FontSizeFromHeight(row.Height), row.Size) << row.Height;
  EXPECT_EQ(FontHeightFromSize(8), -11);
  EXPECT_EQ(FontHeightFromSize(12), -16);
  EXPECT_EQ(FontSizeFromHeight(-20, 144), 10);
  EXPECT_EQ(MulDivRounded(-3, 1, 2), -2);
  EXPECT_EQ(MulDivRounded(3, -1, 2), -2);
  EXPECT_EQ(MulDivRounded(2147483647, 2147483647, 2147483647), 2147483647);
}

}  // namespace
}  // namespace sib
