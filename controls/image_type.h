// The file formats a smooth control saves its painted image as (SaveToImage).
#pragma once

#include <cstdint>

#include "platform/components/type_info.h"

namespace sib {

enum TImageType : std::uint8_t { itPNG, itBMP, itJPEG, itTIFF, itGIF };
SIB_ENUM_NAMES(TImageType, itPNG, itBMP, itJPEG, itTIFF, itGIF)

}  // namespace sib
