#include "controls/led_label.h"

#include <fstream>

#include "platform/graphics/image.h"

namespace sib {

// --- Caption ---------------------------------------------------------------------------------------

TAdvSmoothLedLabelCaption::TAdvSmoothLedLabelCaption()
    : FPicture(std::make_unique<TAdvGDIPPicture>()), FTimeValue(now()) {
  FPicture->SetOnChange(TNotifyEvent(this, &TAdvSmoothLedLabelCaption::PictureChanged));
}

TAdvSmoothLedLabelCaption::~TAdvSmoothLedLabelCaption() = default;

TPropertyList TAdvSmoothLedLabelCaption::PublishedProperties() {
  using C = TAdvSmoothLedLabelCaption;
  const TTypeInfo& color = ColorTypeInfo();
  return {
      prop("Value", &C::Value, &C::SetValue).defaultValue(0.0),
      prop("Left", &C::Left, &C::SetLeft).defaultValue(0),
      prop("Top", &C::Top, &C::SetTop).defaultValue(0),
      prop("Picture", &C::Picture, &C::SetPicture),
      prop("ColorStart", &C::ColorStart, &C::SetColorStart).type(color).defaultValue(4227327),
      prop("ColorEnd", &C::ColorEnd, &C::SetColorEnd).type(color).defaultValue(clRed),
      prop("ColorOff", &C::ColorOff, &C::SetColorOff).type(color).defaultValue(clGray),
      prop("ColorOffOpacity", &C::ColorOffOpacity, &C::SetColorOffOpacity).defaultValue(255),
      prop("OpacityStart", &C::OpacityStart, &C::SetOpacityStart).defaultValue(255),
      prop("OpacityEnd", &C::OpacityEnd, &C::SetOpacityEnd).defaultValue(255),
      prop("GradientType", &C::GradientType, &C::SetGradientType).defaultValue(gtVertical),
      prop("HatchStyle", &C::HatchStyle, &C::SetHatchStyle).defaultValue(gfx::HatchStyle::Horizontal),
      prop("Angle", &C::Angle, &C::SetAngle).defaultValue(0),
      prop("Format", &C::Format, &C::SetFormat).defaultValue("000.00"),
      prop("TimeFormat", &C::TimeFormat, &C::SetTimeFormat).defaultValue("hh:nn:ss"),
      prop("ValueType", &C::ValueType, &C::SetValueType).defaultValue(vtNormal),
      prop("TimeValue", &C::TimeValue, &C::SetTimeValue),
      prop("OnChange", &C::OnChange),
  };
}

void TAdvSmoothLedLabelCaption::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TAdvSmoothLedLabelCaption*>(Source);
  if (!other) {
    TPersistent::Assign(Source);
    return;
  }
  SetValue(other->FValue);
  SetLeft(other->FLeft);
  SetTop(other->FTop);
  SetPicture(other->FPicture.get());
  SetColorStart(other->FColorStart);
  SetColorEnd(other->FColorEnd);
  SetColorOff(other->FColorOff);
  SetColorOffOpacity(other->FColorOffOpacity);
  SetOpacityStart(other->FOpacityStart);
  SetOpacityEnd(other->FOpacityEnd);
  SetGradientType(other->FGradientType);
  SetHatchStyle(other->FHatchStyle);
  SetAngle(other->FAngle);
  SetFormat(other->FFormat);
  SetTimeFormat(other->FTimeFormat);
  SetValueType(other->FValueType);
  SetTimeValue(other->FTimeValue);
}

// --- Label -----------------------------------------------------------------------------------------

TAdvSmoothLedLabel::TAdvSmoothLedLabel(TComponent* AOwner)
    : TGraphicControl(AOwner),
      FFill(std::make_unique<TGDIPFill>()),
      FCaption(std::make_unique<TAdvSmoothLedLabelCaption>()) {
  FFill->SetOnChange(TNotifyEvent(this, &TAdvSmoothLedLabel::PartChanged));
  FCaption->OnChange = TNotifyEvent(this, &TAdvSmoothLedLabel::PartChanged);
  SetBounds(0, 0, 200, 50);
}

TAdvSmoothLedLabel::~TAdvSmoothLedLabel() = default;

TPropertyList TAdvSmoothLedLabel::PublishedProperties() {
  using L = TAdvSmoothLedLabel;
  return {
      prop("Fill", &L::Fill, &L::SetFill),
      prop("Caption", &L::Caption, &L::SetCaption),
      prop("Version", &L::Version, &L::SetVersion),
      prop("Transparent", &L::Transparent, &L::SetTransparent).defaultValue(false),
      prop("OnChange", &L::OnChange),
  };
}

void TAdvSmoothLedLabel::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TAdvSmoothLedLabel*>(Source);
  if (!other) {
    TGraphicControl::Assign(Source);
    return;
  }
  FFill->Assign(other->FFill.get());
  FCaption->Assign(other->FCaption.get());
  SetTransparent(other->FTransparent);
}

void TAdvSmoothLedLabel::Changed() {
  Invalidate();
  AccessibleChanged();
  OnChange(this);
}

std::string TAdvSmoothLedLabel::ShownText() const {
  return LedText(FCaption->ValueType(), FCaption->Format(), FCaption->TimeFormat(), FCaption->Value(),
                 FCaption->TimeValue());
}

void TAdvSmoothLedLabel::DescribeAccessible(TAccessibleDescription& Description) const {
  TGraphicControl::DescribeAccessible(Description);
  Description.Role = TAccessibleRole::Label;
  Description.Name = ShownText();
  Description.Text = Description.Name;
}

void TAdvSmoothLedLabel::SetTransparent(bool Value) {
  if (FTransparent == Value) return;
  FTransparent = Value;
  Changed();
}

namespace {

gfx::ImageFormat ToImageFormat(TImageType Type) {
  switch (Type) {
    case itPNG: return gfx::ImageFormat::Png;
    case itBMP: return gfx::ImageFormat::Bmp;
    case itJPEG: return gfx::ImageFormat::Jpeg;
    case itTIFF: return gfx::ImageFormat::Tiff;
    case itGIF: return gfx::ImageFormat::Gif;
  }
  return gfx::ImageFormat::Unknown;
}

}  // namespace

void TAdvSmoothLedLabel::SaveToImage(const std::filesystem::path& Filename, int ImageWidth, int ImageHeight,
                                     TImageType ImageType, int ImageQualityPercentage) {
  gfx::Image image(ImageWidth, ImageHeight);
  {
    gfx::Graphics g(image.Pixels());
    DrawLedLabel(g, ImageWidth, ImageHeight);
  }
  const std::vector<std::uint8_t> bytes = image.Save(ToImageFormat(ImageType), ImageQualityPercentage);
  std::ofstream out(Filename, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw gfx::EImageError("Cannot write the image file " + Filename.string());
}

}  // namespace sib
