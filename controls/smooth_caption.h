// What the smooth panel and the smooth label share: where a caption stands, its font with the
// Arial fallback, the brush its text is painted with, and saving a painted bitmap as an image file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "controls/gdip_fill.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/brush.h"
#include "platform/graphics/font.h"
#include "platform/ui/font.h"

namespace sib {

enum TAdvSmoothPanelLocation : std::uint8_t {
  plTopLeft,
  plTopCenter,
  plTopRight,
  plCenterLeft,
  plCenterCenter,
  plCenterRight,
  plBottomLeft,
  plBottomCenter,
  plBottomRight,
  plCustom
};
SIB_ENUM_NAMES(TAdvSmoothPanelLocation, plTopLeft, plTopCenter, plTopRight, plCenterLeft, plCenterCenter,
               plCenterRight, plBottomLeft, plBottomCenter, plBottomRight, plCustom)

using TAdvSmoothLabelLocation = TAdvSmoothPanelLocation;

// Column 0 left, 1 centre, 2 right; row 0 top, 1 centre, 2 bottom (plCustom has neither).
inline int LocationColumn(TAdvSmoothPanelLocation L) { return L == plCustom ? 0 : static_cast<int>(L) % 3; }
inline int LocationRow(TAdvSmoothPanelLocation L) { return L == plCustom ? 0 : static_cast<int>(L) / 3; }

enum TImageType : std::uint8_t { itPNG, itBMP, itJPEG, itTIFF, itGIF };
SIB_ENUM_NAMES(TImageType, itPNG, itBMP, itJPEG, itTIFF, itGIF)

// The caption font: the named family, or "Arial" when the family or the style is not there.
gfx::Font CaptionFont(const TFont& Font);

// The colours, gradient and texture of a caption's text.
struct TCaptionBrushStyle {
  TColor ColorStart = clNone;
  TColor ColorEnd = clNone;  // clNone: the start colour
  std::uint8_t OpacityStart = 255;
  std::uint8_t OpacityEnd = 255;
  TAdvGradientType GradientType = gtVertical;
  gfx::HatchStyle HatchStyle = gfx::HatchStyle::Horizontal;
  const TAdvGDIPPicture* Picture = nullptr;
};

// The brush for text measured at (X, Y) with size W x H; nullptr for the kinds that draw nothing
// (radial, angle, path, none, and a texture without a picture).
std::unique_ptr<gfx::Brush> CaptionBrush(const TCaptionBrushStyle& Style, float X, float Y, float W, float H);

// Stretches Source into ImageWidth x ImageHeight and writes it in the format of ImageType.
void SaveBitmapToImage(const gfx::Bitmap& Source, const std::filesystem::path& Filename, int ImageWidth,
                       int ImageHeight, TImageType ImageType, int ImageQualityPercentage);

}  // namespace sib
