// The fill's property model: the values of a new fill, change notification and its suspension,
// Assign, and the rounding a split fill's layers take.
#include <gtest/gtest.h>

#include "tests/controls/fill_fixtures.h"

namespace sib::test {
namespace {

TEST(GDIPFill, ANewFillHasTheDocumentedValues) {
  TGDIPFill f;
  EXPECT_EQ(f.Color(), clSilver);
  EXPECT_EQ(f.ColorTo(), clGray);
  EXPECT_EQ(f.ColorMirror(), clNone);
  EXPECT_EQ(f.ColorMirrorTo(), clNone);
  EXPECT_EQ(f.GradientType(), gtVertical);
  EXPECT_EQ(f.GradientMirrorType(), gtSolid);
  EXPECT_EQ(f.HatchStyle(), gfx::HatchStyle::Horizontal);
  EXPECT_EQ(f.BackGroundPictureMode(), pmOutsideFill);
  EXPECT_TRUE(f.BackGroundPicture()->Empty());
  EXPECT_TRUE(f.Picture()->Empty());
  EXPECT_EQ(f.PictureWidth(), 50);
  EXPECT_EQ(f.PictureHeight(), 50);
  EXPECT_EQ(f.Opacity(), 255);
  EXPECT_EQ(f.BorderColor(), clNone);
  EXPECT_EQ(f.BorderWidth(), 1);
  EXPECT_EQ(f.Rounding(), 0);
  EXPECT_EQ(f.RoundingType(), rtBoth);
  EXPECT_EQ(f.ShadowColor(), clGray);
  EXPECT_EQ(f.ShadowOffset(), 0);
  EXPECT_EQ(f.Glow(), gmNone);
  EXPECT_EQ(f.GlowGradientColor(), clWhite);
  EXPECT_FALSE(f.Focus());
  EXPECT_EQ(f.FocusColor(), clBlack);
}

TEST(GDIPFill, StoredOrdinalsAreThoseOfTheStoredForms) {
  EXPECT_EQ(static_cast<int>(gtTexture), 9);
  EXPECT_EQ(static_cast<int>(gtNone), 10);
  EXPECT_EQ(static_cast<int>(rtRight), 5);
  EXPECT_EQ(static_cast<int>(ppCustom), 11);
  EXPECT_EQ(static_cast<int>(gmRadialGradient), 3);
  const TTypeInfo& hatch = typeInfoOf<gfx::HatchStyle>();
  ASSERT_EQ(hatch.EnumNames.size(), 54u);
  EXPECT_EQ(hatch.EnumNames[0], "HatchStyleHorizontal");
  EXPECT_EQ(hatch.EnumNames[52], "HatchStyleSolidDiamond");
  EXPECT_EQ(hatch.EnumNames[53], "HatchStyleTotal");
}

TEST(GDIPFill, PublishedPropertiesComeInStreamingOrder) {
  std::vector<std::string> names;
  for (const TPropInfo* p : TGDIPFill::StaticClass().Properties()) names.push_back(p->Name());
  const std::vector<std::string> expected = {
      "Color", "ColorTo", "ColorMirror", "ColorMirrorTo", "GradientType", "GradientMirrorType", "HatchStyle",
      "HatchStyleMirror", "BackGroundPictureMode", "BackGroundPicture", "BackGroundPicturePosition",
      "BackGroundPictureLeft", "BackGroundPictureTop", "Picture", "PicturePosition", "PictureLeft", "PictureTop",
      "PictureSize", "PictureWidth", "PictureHeight", "Opacity", "OpacityTo", "OpacityMirror", "OpacityMirrorTo",
      "BorderColor", "BorderOpacity", "BorderWidth", "Rounding", "RoundingType", "ShadowColor", "ShadowOffset",
      "Angle", "OnChange", "Glow", "GlowGradientColor", "GlowRadialColor"};
  EXPECT_EQ(names, expected);
  // The always-stored ones have no default.
  for (const char* name : {"ColorMirror", "ColorMirrorTo", "BorderColor", "Rounding", "ShadowOffset"})
    EXPECT_FALSE(TGDIPFill::StaticClass().FindProperty(name)->HasDefault()) << name;
  EXPECT_TRUE(TGDIPFill::StaticClass().FindProperty("Color")->HasDefault());
}

TEST(GDIPFill, ASetterRaisesOnChangeOnlyWhenTheValueChanges) {
  TGDIPFill f;
  ChangeCounter changes;
  changes.Watch(f);
  f.SetColor(clSilver);
  f.SetRounding(0);
  EXPECT_EQ(changes.count, 0);
  f.SetColor(clRed);
  f.SetFocus(true);
  f.SetFocusColor(clRed);
  EXPECT_EQ(changes.count, 3);
}

TEST(GDIPFill, NoOnChangeBetweenBeginUpdateAndEndUpdateNorFromEndUpdate) {
  TGDIPFill f;
  ChangeCounter changes;
  changes.Watch(f);
  f.BeginUpdate();
  f.BeginUpdate();
  f.SetColor(clRed);
  f.SetOpacity(10);
  f.Picture()->LoadFromBytes(PngOf(2, 2, gfx::Color::Rgb(1, 2, 3)));
  f.EndUpdate();
  f.SetColorTo(clBlue);
  f.EndUpdate();
  EXPECT_EQ(changes.count, 0);
  EXPECT_EQ(f.UpdateCount(), 0);
  f.EndUpdate();  // never below 0
  EXPECT_EQ(f.UpdateCount(), 0);
  f.Changed();
  EXPECT_EQ(changes.count, 1);
}

TEST(GDIPFill, PictureChangesReachTheFillsOnChange) {
  TGDIPFill f;
  ChangeCounter changes;
  changes.Watch(f);
  f.BackGroundPicture()->LoadFromBytes(PngOf(3, 3, gfx::Color::Rgb(9, 9, 9)));
  EXPECT_EQ(changes.count, 1);
  f.BackGroundPicture()->Clear();
  EXPECT_EQ(changes.count, 2);
  f.BackGroundPicture()->Clear();  // nothing left to clear
  EXPECT_EQ(changes.count, 2);
}

TEST(GDIPFill, AssignCopiesEveryPublishedPropertyButNotFocusNorOnChange) {
  TGDIPFill source;
  source.SetColor(clRed);
  source.SetColorMirror(clBlue);
  source.SetHatchStyleMirror(gfx::HatchStyle::Weave);
  source.SetRounding(7);
  source.SetGlowRadialColor(clLime);
  source.SetFocus(true);
  source.SetFocusColor(clRed);
  source.Picture()->LoadFromBytes(PngOf(4, 2, gfx::Color::Rgb(0, 255, 0)));
  int sourceChanges = 0;
  source.SetOnChange(TNotifyEvent([&](TObject*) { ++sourceChanges; }));

  TGDIPFill target;
  ChangeCounter changes;
  changes.Watch(target);
  target.Assign(&source);
  EXPECT_EQ(target.Color(), clRed);
  EXPECT_EQ(target.ColorMirror(), clBlue);
  EXPECT_EQ(target.HatchStyleMirror(), gfx::HatchStyle::Weave);
  EXPECT_EQ(target.Rounding(), 7);
  EXPECT_EQ(target.GlowRadialColor(), clLime);
  EXPECT_EQ(target.Picture()->Data(), source.Picture()->Data());
  EXPECT_EQ(target.Picture()->Width(), 4);
  EXPECT_FALSE(target.Focus());
  EXPECT_EQ(target.FocusColor(), clBlack);
  // One change per picture copied, then the fill's own.
  EXPECT_EQ(changes.count, 3);
  EXPECT_EQ(sourceChanges, 0);

  for (const TPropInfo* p : TGDIPFill::StaticClass().Properties()) {
    if (p->Kind() == tkInteger || p->Kind() == tkEnumeration) {
      EXPECT_EQ(p->GetOrd(&target), p->GetOrd(&source)) << p->Name();
    }
  }
}

TEST(GDIPFill, AssignFromSomethingElseIsIgnored) {
  TGDIPFill f;
  TAdvGDIPPicture picture;
  f.Assign(&picture);
  f.Assign(nullptr);
  EXPECT_EQ(f.Color(), clSilver);
}

TEST(GDIPFill, SplitLayersTakeTheRoundingOfTheTable) {
  struct Row {
    TFillRoundingType type, upper, lower;
  };
  const Row rows[] = {{rtNone, rtNone, rtNone},   {rtTop, rtTop, rtNone},     {rtBottom, rtNone, rtBottom},
                      {rtBoth, rtTop, rtBottom}, {rtLeft, rtLeft, rtLeft}, {rtRight, rtRight, rtRight}};
  for (const Row& r : rows) {
    EXPECT_EQ(LayerRounding(r.type, false), r.upper) << enumName(r.type);
    EXPECT_EQ(LayerRounding(r.type, true), r.lower) << enumName(r.type);
  }
}

TEST(GDIPFill, MakeColorPacksAlphaAndResolvesSystemColours) {
  EXPECT_EQ(MakeColor(40, RGB(1, 2, 3)).ToArgb(), 0x28010203u);
  EXPECT_EQ(MakeColor(255, clWindowText), Opaque(ColorToRGB(clWindowText)));
}

TEST(GDIPFill, RoundRectangleOutlinesEachCornerKind) {
  // The outline's bounds stay the rectangle's; a rounded corner leaves its very corner outside.
  struct Row {
    TFillRoundingType type;
    bool tl, tr, br, bl;
  };
  const Row rows[] = {{rtNone, 0, 0, 0, 0}, {rtTop, 1, 1, 0, 0},  {rtBottom, 0, 0, 1, 1},
                      {rtBoth, 1, 1, 1, 1}, {rtLeft, 1, 0, 0, 1}, {rtRight, 0, 1, 1, 0}};
  const TGPRectF r{10, 20, 100, 60};
  for (const Row& row : rows) {
    const gfx::Path path = CreateRoundRectangle(r, 10, row.type);
    const gfx::RectF b = path.GetBounds();
    EXPECT_NEAR(b.X, 10, 1e-3);
    EXPECT_NEAR(b.Right(), 110, 1e-3);
    EXPECT_NEAR(b.Bottom(), 80, 1e-3);
    EXPECT_EQ(path.IsVisible({11, 21}), !row.tl) << enumName(row.type) << " top left";
    EXPECT_EQ(path.IsVisible({109, 21}), !row.tr) << enumName(row.type) << " top right";
    EXPECT_EQ(path.IsVisible({109, 79}), !row.br) << enumName(row.type) << " bottom right";
    EXPECT_EQ(path.IsVisible({11, 79}), !row.bl) << enumName(row.type) << " bottom left";
    EXPECT_TRUE(path.IsVisible({60, 50}));
    // Mid-edge points are inside whatever the corners.
    EXPECT_TRUE(path.IsVisible({10.5f, 50})) << enumName(row.type);
    EXPECT_TRUE(path.IsVisible({60, 20.5f})) << enumName(row.type);
  }
  const gfx::Path square = CreateRoundRectangle(r, 0, rtBoth);
  EXPECT_TRUE(square.IsVisible({10.5f, 20.5f}));
  const gfx::Path negative = CreateRoundRectangle(r, -4, rtBoth);
  EXPECT_TRUE(negative.IsVisible({10.5f, 20.5f}));
}

}  // namespace
}  // namespace sib::test
