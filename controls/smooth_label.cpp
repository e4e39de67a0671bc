#include "controls/smooth_label.h"

#include <cmath>

#include "platform/graphics/graphics.h"
#include "platform/ui/canvas.h"

namespace sib {

TAdvSmoothLabelCaption::TAdvSmoothLabelCaption(TAdvSmoothLabel* AOwner)
    : TSmoothCaption(plCenterCenter, {16769183, 7687936, 255, 255, gtVertical, gfx::HatchStyle::Horizontal, nullptr}) {
  Font()->SetSize(20);
  if (AOwner != nullptr) SetOwnerChanged([AOwner] { AOwner->Changed(); });
}

TPropertyList TAdvSmoothLabelCaption::PublishedProperties() {
  using C = TAdvSmoothLabelCaption;
  const TTypeInfo& color = colorTypeInfo();
  return {
      prop("Text", &C::Text, &C::SetText),
      prop("Location", &C::Location, &C::SetLocation).defaultValue(plCenterCenter),
      prop("Font", &C::Font, &C::SetFont),
      prop("Left", &C::Left, &C::SetLeft),
      prop("Top", &C::Top, &C::SetTop),
      prop("Picture", &C::Picture, &C::SetPicture),
      prop("ColorStart", &C::ColorStart, &C::SetColorStart).type(color).defaultValue(16769183),
      prop("ColorEnd", &C::ColorEnd, &C::SetColorEnd).type(color).defaultValue(7687936),
      prop("OpacityStart", &C::OpacityStart, &C::SetOpacityStart).defaultValue(255),
      prop("OpacityEnd", &C::OpacityEnd, &C::SetOpacityEnd).defaultValue(255),
      prop("GradientType", &C::GradientType, &C::SetGradientType).defaultValue(gtVertical),
      prop("HatchStyle", &C::HatchStyle, &C::SetHatchStyle).defaultValue(gfx::HatchStyle::Horizontal),
      prop("OnChange", &C::OnChange, &C::SetOnChange),
  };
}

void TAdvSmoothLabelCaption::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TAdvSmoothLabelCaption*>(Source);
  if (other == nullptr) return TSmoothCaption::Assign(Source);
  AssignCaption(*other);
  Changed();
}

TAdvSmoothLabel::TAdvSmoothLabel(TComponent* AOwner)
    : TGraphicControl(AOwner),
      FFill(std::make_unique<TGDIPFill>()),
      FCaption(std::make_unique<TAdvSmoothLabelCaption>(this)),
      FCaptionShadow(std::make_unique<TAdvSmoothLabelCaption>(this)) {
  SetBounds(0, 0, 280, 50);
  FFill->SetOnChange(TNotifyEvent(this, &TAdvSmoothLabel::PartChanged));
}

TAdvSmoothLabel::~TAdvSmoothLabel() = default;

TPropertyList TAdvSmoothLabel::PublishedProperties() {
  using L = TAdvSmoothLabel;
  return {
      prop("Fill", &L::Fill, &L::SetFill),
      prop("Caption", &L::Caption, &L::SetCaption),
      prop("CaptionShadow", &L::CaptionShadow, &L::SetCaptionShadow),
      prop("CaptionShadowVisible", &L::CaptionShadowVisible, &L::SetCaptionShadowVisible).defaultValue(false),
      prop("CaptionShadowOffsetLeft", &L::CaptionShadowOffsetLeft, &L::SetCaptionShadowOffsetLeft).defaultValue(1),
      prop("CaptionShadowOffsetTop", &L::CaptionShadowOffsetTop, &L::SetCaptionShadowOffsetTop).defaultValue(1),
      prop("Transparent", &L::Transparent, &L::SetTransparent).defaultValue(true),
      prop("WordWrap", &L::WordWrap, &L::SetWordWrap).defaultValue(false),
      prop("TextRendering", &L::TextRendering, &L::SetTextRendering).defaultValue(TTextRenderingHint::tAntiAlias),
      prop("OnChange", &L::OnChange, &L::SetOnChange),
      prop("Version", &L::Version, &L::SetVersion),
      prop("FocusControl", &L::FocusControl, &L::SetFocusControl),
  };
}

void TAdvSmoothLabel::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TAdvSmoothLabel*>(Source);
  if (other == nullptr) return TGraphicControl::Assign(Source);
  FFill->Assign(other->FFill.get());
  FCaption->Assign(other->FCaption.get());
  FCaptionShadow->Assign(other->FCaptionShadow.get());
  FTransparent = other->FTransparent;
  FWordWrap = other->FWordWrap;
  FTextRendering = other->FTextRendering;
  FCaptionShadowVisible = other->FCaptionShadowVisible;
  FCaptionShadowOffsetLeft = other->FCaptionShadowOffsetLeft;
  FCaptionShadowOffsetTop = other->FCaptionShadowOffsetTop;
  Changed();
}

void TAdvSmoothLabel::Changed() {
  Invalidate();
  AccessibleChanged();
  FOnChangeEvent(this);
}

void TAdvSmoothLabel::SetFocusControl(TControl* Value) {
  if (Value == FFocusControl) return;
  if (FFocusControl) {
    if (FFocusControl->AccessibleLabel() == this) FFocusControl->SetAccessibleLabel(nullptr);
    FFocusControl->RemoveFreeNotification(this);
  }
  FFocusControl = Value;
  if (FFocusControl) {
    FFocusControl->FreeNotification(this);
    FFocusControl->SetAccessibleLabel(this);
  }
}

void TAdvSmoothLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TAdvSmoothLabel::DescribeAccessible(TAccessibleDescription& Description) const {
  TGraphicControl::DescribeAccessible(Description);
  Description.Role = TAccessibleRole::Label;
  Description.Name = FCaption->Text();
  Description.Text = Description.Name;
}

void TAdvSmoothLabel::Paint(TCanvas& Canvas) { DrawLabel(Canvas.Graphics()); }

void TAdvSmoothLabel::DrawLabel(gfx::Graphics& g) {
  if (Width() < 2 || Height() < 2) return;
  const gfx::GraphicsState saved = g.Save();
  gfx::RectF R{0, 0, static_cast<float>(Width() - 1), static_cast<float>(Height() - 1)};
  if (!FTransparent) R = FFill->Fill(&g, R);
  if (!FCaptionShadow->Text().empty() && FCaptionShadowVisible)
    DrawCaption(*FCaptionShadow, g, R, FCaptionShadowOffsetLeft, FCaptionShadowOffsetTop);
  if (!FCaption->Text().empty()) DrawCaption(*FCaption, g, R, 0, 0);
  g.Restore(saved);
}

void TAdvSmoothLabel::DrawCaption(const TAdvSmoothLabelCaption& c, gfx::Graphics& g, gfx::RectF R, int OffsetX,
                                  int OffsetY) const {
  const gfx::Font font = CaptionFont(*c.Font());
  gfx::StringFormat format;
  format.NoWrap = !FWordWrap;
  const gfx::RectF box = g.MeasureString(c.Text(), font, R, format).Box;
  const float w = box.Width;
  const float h = box.Height;

  float x0 = 0;
  float y0 = 0;
  if (FCaption->Location() == plCustom) {
    // The shadow text follows the main caption's place, so that the two stay together.
    x0 = static_cast<float>(FCaption->Left());
    y0 = static_cast<float>(FCaption->Top());
  } else {
    const float across[] = {0, (R.Width - w) / 2, R.Width - w};
    const float down[] = {0, (R.Height - h) / 2, R.Height - h};
    x0 = across[LocationColumn(c.Location())];
    y0 = down[LocationRow(c.Location())];
  }
  const float x = x0 + static_cast<float>(OffsetX);
  const float y = y0 + static_cast<float>(OffsetY);

  g.SetTextRenderingHint(FTextRendering == TTextRenderingHint::tClearType ? gfx::TextRenderingHint::ClearTypeGridFit
                                                                           : gfx::TextRenderingHint::AntiAliasGridFit);
  const std::unique_ptr<gfx::Brush> brush = CaptionBrush(c.BrushStyle(), x, y, w, h);
  if (!brush) return;
  g.DrawString(c.Text(), font, gfx::RectF{x, y, R.Width - x, R.Height - y}, format, *brush);
}

void TAdvSmoothLabel::SaveToImage(const std::filesystem::path& Filename, int ImageWidth, int ImageHeight,
                                  TImageType ImageType, int ImageQualityPercentage) {
  gfx::Bitmap own(Width(), Height());
  {
    gfx::Graphics g(own);
    DrawLabel(g);
  }
  SaveBitmapToImage(own, Filename, ImageWidth, ImageHeight, ImageType, ImageQualityPercentage);
}

}  // namespace sib
