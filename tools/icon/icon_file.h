// Writing icon files: a directory of images of several sizes and colour depths in one file, as the
// desktop's window icons and the program's description keep them.
//
// An image of 4 or 8 bits per pixel is stored as a palettised bitmap with an AND mask: its colours are
// reduced to 16 or 256 (by median cut over the opaque pixels, refined by a few rounds of moving each
// palette colour to the mean of its pixels; without dithering, so that small images keep clean edges) and a pixel less than half opaque is left out by the mask. A 32-bit image keeps its
// alpha channel, with the mask derived from it for readers that use only the mask; a 256-pixel image is
// stored PNG-compressed, as icon files usually hold their largest image.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/graphics/bitmap.h"

namespace sib::icon {

struct IconImage {
  gfx::Bitmap Pixels;  // square, 1 to 256 pixels a side
  int BitCount = 32;   // 4, 8 or 32
};

// The icon file holding the images in the given order. Raises std::invalid_argument for an image that
// is not Ok, not square, larger than 256 pixels or of another depth.
std::vector<std::uint8_t> EncodeIconFile(std::span<const IconImage> images);

}  // namespace sib::icon
