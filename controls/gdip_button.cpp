#include "controls/gdip_button.h"

#include <algorithm>
#include <cmath>

namespace sib {

// ---- colours --------------------------------------------------------------------------------------

THSV RGBtoHSV(TColor Color) {
  const TColor c = ColorToRGB(Color);
  const double r = RedOf(c), g = GreenOf(c), b = BlueOf(c);
  const double max = std::max({r, g, b});
  const double min = std::min({r, g, b});
  THSV hsv;
  hsv.V = max;
  hsv.S = max > 0 ? (max - min) / max : 0;
  if (hsv.S == 0) return hsv;  // a grey: the hue stays undefined
  const double delta = max - min;
  double h = 0;
  if (r == max) h = (g - b) / delta;
  else if (g == max) h = 2 + (b - r) / delta;
  else h = 4 + (r - g) / delta;
  h *= 60;
  if (h < 0) h += 360;
  hsv.H = h;
  hsv.HueDefined = true;
  return hsv;
}

TColor HSVtoRGB(const THSV& HSV) {
  const auto channel = [](double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
  if (HSV.S == 0) {
    if (HSV.HueDefined) throw EColorError("HSVtoRGB: S = 0 and H has a value");
    const std::uint8_t v = channel(HSV.V);
    return RGB(v, v, v);
  }
  const double h = HSV.H >= 360 ? 0 : HSV.H / 60;
  const int sector = static_cast<int>(std::floor(h));
  const double f = h - sector;
  const double v = HSV.V;
  const double p = v * (1 - HSV.S);
  const double q = v * (1 - HSV.S * f);
  const double t = v * (1 - HSV.S * (1 - f));
  double r = v, g = t, b = p;
  switch (sector) {
    case 1: r = q, g = v, b = p; break;
    case 2: r = p, g = v, b = t; break;
    case 3: r = p, g = q, b = v; break;
    case 4: r = t, g = p, b = v; break;
    case 5: r = v, g = p, b = q; break;
    default: break;
  }
  return RGB(channel(r), channel(g), channel(b));
}

TColor PressedColor(TColor Color) {
  THSV hsv = RGBtoHSV(Color);
  hsv.V *= 0.8;
  return HSVtoRGB(hsv);
}

TColor ShiftColor(TColor Color, int N) {
  const TColor c = ColorToRGB(Color);
  const auto add = [N](int v) { return static_cast<std::uint8_t>(std::clamp(v + N, 0, 255)); };
  return RGB(add(RedOf(c)), add(GreenOf(c)), add(BlueOf(c)));
}

// ---- TGDIPButton ----------------------------------------------------------------------------------

TGDIPButton::TGDIPButton() : FFont(std::make_unique<TFont>()) {
  FFont->OnChange = TNotifyEvent(this, &TGDIPButton::FontChanged);
}

TGDIPButton::~TGDIPButton() = default;

TPropertyList TGDIPButton::PublishedProperties() {
  using B = TGDIPButton;
  return {
      prop("Alignment", &B::Alignment, &B::SetAlignment).defaultValue(taCenter),
      prop("PictureAlignment", &B::PictureAlignment, &B::SetPictureAlignment).defaultValue(taRightJustify),
      prop("Font", &B::Font, &B::SetFont).stored(&B::IsFontStored),
      prop("Layout", &B::Layout, &B::SetLayout).defaultValue(blPictureLeft),
      prop("Spacing", &B::Spacing, &B::SetSpacing).defaultValue(3),
      prop("ShiftDown", &B::ShiftDown, &B::SetShiftDown).defaultValue(1),
      prop("FocusColor", &B::FocusColor, &B::SetFocusColor).type(colorTypeInfo()).defaultValue(clBlack),
      prop("OnChange", &B::OnChange, &B::SetOnChange),
      prop("OnFontChange", &B::OnFontChange, &B::SetOnFontChange),
      prop("OnIsFontStored", &B::OnIsFontStored, &B::SetOnIsFontStored),
  };
}

void TGDIPButton::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TGDIPButton*>(Source);
  if (source == nullptr) return TPersistent::Assign(Source);
  BeginUpdate();
  FFont->Assign(source->FFont.get());
  FLayout = source->FLayout;
  FSpacing = source->FSpacing;
  FShiftDown = source->FShiftDown;
  FAlignment = source->FAlignment;
  FPictureAlignment = source->FPictureAlignment;
  FFocusColor = source->FFocusColor;
  EndUpdate();
  Changed();
}

void TGDIPButton::Changed() {
  if (FUpdateCount == 0) FOnChange(this);
}

void TGDIPButton::FontChanged(TObject*) {
  Changed();
  FOnFontChange(this);
}

bool TGDIPButton::IsFontStored() const {
  bool stored = true;
  if (FOnIsFontStored) FOnIsFontStored(const_cast<TGDIPButton*>(this), stored);
  return stored;
}

// ---- TGDIPStatus ----------------------------------------------------------------------------------

TGDIPStatus::TGDIPStatus() : FFill(std::make_unique<TGDIPFill>()), FFont(std::make_unique<TFont>()) {
  FFill->SetOnChange(TNotifyEvent(this, &TGDIPStatus::PartChanged));
  FFont->OnChange = TNotifyEvent(this, &TGDIPStatus::PartChanged);
}

TGDIPStatus::~TGDIPStatus() = default;

TPropertyList TGDIPStatus::PublishedProperties() {
  using S = TGDIPStatus;
  return {
      prop("Fill", &S::Fill, &S::SetFill),
      prop("Font", &S::Font, &S::SetFont),
      prop("Spacing", &S::Spacing, &S::SetSpacing).defaultValue(0),
      prop("Glow", &S::Glow, &S::SetGlow).defaultValue(true),
      prop("OnChange", &S::OnChange, &S::SetOnChange),
  };
}

void TGDIPStatus::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TGDIPStatus*>(Source);
  if (source == nullptr) return TPersistent::Assign(Source);
  FFill->Assign(source->FFill.get());
  FFont->Assign(source->FFont.get());
  FSpacing = source->FSpacing;
  FGlow = source->FGlow;
  Changed();
}

void TGDIPStatus::PartChanged(TObject*) { Changed(); }
void TGDIPStatus::Changed() { FOnChange(this); }

// ---- TAdvSmoothButtonStatus -----------------------------------------------------------------------

TAdvSmoothButtonStatus::TAdvSmoothButtonStatus() : FAppearance(std::make_unique<TGDIPStatus>()) {
  FAppearance->SetOnChange(TNotifyEvent(this, &TAdvSmoothButtonStatus::AppearanceChanged));
}

TAdvSmoothButtonStatus::~TAdvSmoothButtonStatus() = default;

TPropertyList TAdvSmoothButtonStatus::PublishedProperties() {
  using S = TAdvSmoothButtonStatus;
  return {
      prop("Visible", &S::Visible, &S::SetVisible).defaultValue(false),
      prop("Caption", &S::Caption, &S::SetCaption),
      prop("OffsetLeft", &S::OffsetLeft, &S::SetOffsetLeft).defaultValue(0),
      prop("OffsetTop", &S::OffsetTop, &S::SetOffsetTop).defaultValue(0),
      prop("Appearance", &S::Appearance, &S::SetAppearance),
  };
}

void TAdvSmoothButtonStatus::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TAdvSmoothButtonStatus*>(Source);
  if (source == nullptr) return TPersistent::Assign(Source);
  FOffsetTop = source->FOffsetTop;
  FOffsetLeft = source->FOffsetLeft;
  FVisible = source->FVisible;
  FCaption = source->FCaption;
  FAppearance->Assign(source->FAppearance.get());
  Changed();
}

bool TAdvSmoothButtonStatus::Shows() const {
  return FVisible && (!FCaption.empty() || !FAppearance->Fill()->Picture()->Empty());
}

void TAdvSmoothButtonStatus::Changed() { OnChange(this); }

}  // namespace sib
