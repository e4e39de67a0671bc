// TAdvGDIPPicture: a picture that keeps the bytes of an image file in memory and decodes them when
// it is used, as the fills (gdip_fill.h) and the controls' captions need it. The bytes are checked
// when they arrive (from a stream, a stored description or an INI file): bytes that are not an
// image of a known format, or that are corrupt or truncated, are refused with EImageError and the
// picture keeps what it held.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <span>
#include <vector>

#include "platform/components/component.h"
#include "platform/core/colors.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/image.h"

namespace sib {

enum TTransparencyMode : std::uint8_t { tmAuto, tmFixed };
SIB_ENUM_NAMES(TTransparencyMode, tmAuto, tmFixed)

class TAdvGDIPPicture : public TPersistent {
  SIB_CLASS(TAdvGDIPPicture, TPersistent)
 public:
  TAdvGDIPPicture() = default;

  // From another picture: its bytes and transparency. nullptr clears. Any other source raises the
  // base class's conversion error.
  void Assign(TPersistent* Source) override;
  // The image bytes as "Data", binary.
  void DefineProperties(TFiler& Filer) override;

  bool Empty() const { return FData.empty(); }
  const std::vector<std::uint8_t>& Data() const { return FData; }
  // Takes the bytes of an image file; raises EImageError and keeps the old bytes when they do not
  // decode. Raises OnChange.
  void LoadFromBytes(std::vector<std::uint8_t> Bytes);
  void LoadFromStream(std::istream& Stream);
  void LoadFromFile(const std::filesystem::path& FileName);
  void SaveToStream(std::ostream& Stream) const;
  // Raises OnChange when there was something to clear.
  void Clear();

  // Reads the size from the image's header into Width and Height (0 x 0 when empty).
  void GetImageSizes();
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }

  // Decodes the bytes; raises EImageError ("Could not allocate memory for image" when the pixels
  // do not fit).
  gfx::Image Decode() const;

  // Draws the image scaled into the integer rectangle (left, top, right, bottom). A bitmap-format
  // image with Transparent set leaves out the pixels of its colour key: TransparentColor, or in
  // tmAuto the colour of its bottom-left pixel. Nothing for an empty picture.
  void GDIPDraw(gfx::Graphics& g, gfx::Rect R) const;
  // Fill with the image as a repeating texture.
  void FillPath(gfx::Graphics& g, const gfx::Path& Path) const;
  void FillRect(gfx::Graphics& g, gfx::RectF R) const;

  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  TTransparencyMode TransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparencyMode Value);
  TColor TransparentColor() const { return FTransparentColor; }
  void SetTransparentColor(TColor Value);

  const TNotifyEvent& OnChange() const { return FOnChange; }
  void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }

 private:
  void Changed() { FOnChange(this); }

  std::vector<std::uint8_t> FData;
  int FWidth = 0;
  int FHeight = 0;
  bool FTransparent = false;
  TTransparencyMode FTransparentMode = tmAuto;
  TColor FTransparentColor = clWhite;
  TNotifyEvent FOnChange;
};

}  // namespace sib
