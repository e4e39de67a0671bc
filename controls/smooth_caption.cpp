#include "controls/smooth_caption.h"

#include <fstream>

#include "platform/graphics/graphics.h"
#include "platform/graphics/image.h"

namespace sib {

TSmoothCaption::TSmoothCaption(TAdvSmoothPanelLocation Location, TCaptionBrushStyle Style)
    : FLocation(Location),
      FFont(std::make_unique<TFont>()),
      FPicture(std::make_unique<TAdvGDIPPicture>()),
      FStyle(Style) {
  FFont->OnChange = TNotifyEvent(this, &TSmoothCaption::PartChanged);
  FPicture->SetOnChange(TNotifyEvent(this, &TSmoothCaption::PartChanged));
}

TSmoothCaption::~TSmoothCaption() = default;

void TSmoothCaption::AssignCaption(const TSmoothCaption& Source) {
  FText = Source.FText;
  FLocation = Source.FLocation;
  FFont->Assign(Source.FFont.get());
  FLeft = Source.FLeft;
  FTop = Source.FTop;
  FPicture->Assign(Source.FPicture.get());
  FStyle = Source.FStyle;
}

TCaptionBrushStyle TSmoothCaption::BrushStyle() const {
  TCaptionBrushStyle style = FStyle;
  style.Picture = FPicture.get();
  return style;
}

void TSmoothCaption::Changed() {
  if (FOwnerChanged) FOwnerChanged();
  FOnChange(this);
}

gfx::Font CaptionFont(const TFont& Font) {
  int style = gfx::FontStyleRegular;
  if (Font.Style().Contains(fsBold)) style |= gfx::FontStyleBold;
  if (Font.Style().Contains(fsItalic)) style |= gfx::FontStyleItalic;
  if (Font.Style().Contains(fsUnderline)) style |= gfx::FontStyleUnderline;
  const auto size = static_cast<float>(Font.Size());
  gfx::FontFamily family(Font.Name());
  if (!family.Ok() || !family.IsStyleAvailable(style)) return gfx::Font("Arial", size, style, gfx::FontUnit::Point);
  return gfx::Font(family, size, style, gfx::FontUnit::Point);
}

std::unique_ptr<gfx::Brush> CaptionBrush(const TCaptionBrushStyle& Style, float X, float Y, float W, float H) {
  const gfx::Color c1 = MakeColor(Style.OpacityStart, Style.ColorStart);
  const gfx::Color c2 = Style.ColorEnd == clNone ? c1 : MakeColor(Style.OpacityEnd, Style.ColorEnd);
  using gfx::LinearGradientBrush;
  switch (Style.GradientType) {
    case gtSolid:
      return std::make_unique<gfx::SolidBrush>(c1);
    case gtVertical:
      return std::make_unique<LinearGradientBrush>(gfx::PointF{X, Y}, gfx::PointF{X, Y + H}, c1, c2);
    case gtHorizontal:
      return std::make_unique<LinearGradientBrush>(gfx::PointF{X, Y}, gfx::PointF{X + W, Y}, c1, c2);
    case gtForwardDiagonal:
      return std::make_unique<LinearGradientBrush>(gfx::PointF{X, Y}, gfx::PointF{X + W, Y + H}, c1, c2);
    case gtBackwardDiagonal:
      return std::make_unique<LinearGradientBrush>(gfx::PointF{X, Y + H}, gfx::PointF{X + W, Y}, c2, c1);
    case gtHatch:
      return std::make_unique<gfx::HatchBrush>(Style.HatchStyle, c1, c2);
    case gtTexture:
      if (Style.Picture == nullptr || Style.Picture->Empty()) return nullptr;
      try {
        return std::make_unique<gfx::TextureBrush>(Style.Picture->Decode().Pixels(), gfx::WrapMode::Tile);
      } catch (const gfx::EImageError&) {
        return nullptr;  // painting reports nothing
      }
    case gtRadial:
    case gtAngle:
    case gtPath:
    case gtNone:
      break;
  }
  return nullptr;
}

namespace {

gfx::ImageFormat FormatOf(TImageType Type) {
  switch (Type) {
    case itBMP: return gfx::ImageFormat::Bmp;
    case itJPEG: return gfx::ImageFormat::Jpeg;
    case itTIFF: return gfx::ImageFormat::Tiff;
    case itGIF: return gfx::ImageFormat::Gif;
    case itPNG: break;
  }
  return gfx::ImageFormat::Png;
}

}  // namespace

void SaveBitmapToImage(const gfx::Bitmap& Source, const std::filesystem::path& Filename, int ImageWidth,
                       int ImageHeight, TImageType ImageType, int ImageQualityPercentage) {
  gfx::Bitmap stretched(ImageWidth, ImageHeight);
  {
    gfx::Graphics g(stretched);
    g.SetInterpolationMode(gfx::InterpolationMode::HighQuality);
    g.DrawImage(Source, gfx::RectF{0, 0, static_cast<float>(ImageWidth), static_cast<float>(ImageHeight)});
  }
  const std::vector<std::uint8_t> bytes =
      gfx::Image::FromBitmap(std::move(stretched)).Save(FormatOf(ImageType), ImageQualityPercentage);
  std::ofstream out(Filename, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw gfx::EImageError("Could not write " + Filename.string());
}

}  // namespace sib
