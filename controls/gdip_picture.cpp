#include "controls/gdip_picture.h"

#include <fstream>
#include <istream>
#include <ostream>

#include "platform/components/filer.h"
#include "platform/graphics/brush.h"

namespace sib {

void TAdvGDIPPicture::Assign(TPersistent* Source) {
  if (!Source) {
    FData.clear();
    FWidth = FHeight = 0;
    Changed();
    return;
  }
  auto* other = dynamic_cast<TAdvGDIPPicture*>(Source);
  if (!other) {
    inherited::Assign(Source);
    return;
  }
  if (other != this) {
    FData = other->FData;
    FWidth = other->FWidth;
    FHeight = other->FHeight;
    FTransparent = other->FTransparent;
    FTransparentMode = other->FTransparentMode;
    FTransparentColor = other->FTransparentColor;
  }
  Changed();
}

void TAdvGDIPPicture::DefineProperties(TFiler& Filer) {
  inherited::DefineProperties(Filer);
  Filer.DefineBinaryProperty(
      "Data",
      [this](const std::vector<std::uint8_t>& Bytes) {
        if (Bytes.empty()) Clear();
        else LoadFromBytes(Bytes);
      },
      [this] { return FData; }, !Empty());
}

void TAdvGDIPPicture::LoadFromBytes(std::vector<std::uint8_t> Bytes) {
  // Decoded once here, so that a body cut short or corrupt is refused now rather than when painted.
  const gfx::Image image = gfx::Image::FromBytes(Bytes);
  FData = std::move(Bytes);
  FWidth = image.Width();
  FHeight = image.Height();
  Changed();
}

void TAdvGDIPPicture::LoadFromStream(std::istream& Stream) {
  LoadFromBytes(gfx::ReadStreamBytes(Stream));
}

void TAdvGDIPPicture::LoadFromFile(const std::filesystem::path& FileName) {
  std::ifstream file(FileName, std::ios::binary);
  if (!file) throw gfx::EImageError("The picture file " + FileName.string() + " cannot be opened");
  LoadFromStream(file);
}

void TAdvGDIPPicture::SaveToStream(std::ostream& Stream) const {
  Stream.write(reinterpret_cast<const char*>(FData.data()), static_cast<std::streamsize>(FData.size()));
}

void TAdvGDIPPicture::Clear() {
  if (Empty()) return;
  FData.clear();
  FWidth = FHeight = 0;
  Changed();
}

void TAdvGDIPPicture::GetImageSizes() {
  if (Empty()) {
    FWidth = FHeight = 0;
    return;
  }
  const gfx::ImageInfo info = gfx::Image::Probe(FData);
  FWidth = info.Width;
  FHeight = info.Height;
}

gfx::Image TAdvGDIPPicture::Decode() const { return gfx::Image::FromBytes(FData); }

void TAdvGDIPPicture::GDIPDraw(gfx::Graphics& g, gfx::Rect R) const {
  if (Empty()) return;
  const gfx::Image image = Decode();
  if (!FTransparent) {
    gfx::DrawImage(g, image, R);
    return;
  }
  const TColor fixed = ColorToRGB(FTransparentColor);
  const gfx::Color key = FTransparentMode == tmAuto ? gfx::AutomaticColorKey(image)
                                                    : gfx::Color::Rgb(RedOf(fixed), GreenOf(fixed), BlueOf(fixed));
  gfx::DrawImageKeyed(g, image, R, gfx::RectF{0, 0, float(image.Width()), float(image.Height())}, key);
}

void TAdvGDIPPicture::FillPath(gfx::Graphics& g, const gfx::Path& Path) const {
  if (Empty()) return;
  g.FillPath(gfx::TextureBrush(Decode().Pixels()), Path);
}

void TAdvGDIPPicture::FillRect(gfx::Graphics& g, gfx::RectF R) const {
  if (Empty()) return;
  g.FillRectangle(gfx::TextureBrush(Decode().Pixels()), R);
}

void TAdvGDIPPicture::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  Changed();
}

void TAdvGDIPPicture::SetTransparentMode(TTransparencyMode Value) {
  if (Value == FTransparentMode) return;
  FTransparentMode = Value;
  Changed();
}

void TAdvGDIPPicture::SetTransparentColor(TColor Value) {
  if (Value == FTransparentColor) return;
  FTransparentColor = Value;
  Changed();
}

}  // namespace sib
