// Sibilon's icon, drawn with the drawing layer: a rounded square in the window's panel colours (a
// dark gradient from black at the top to teal at the bottom, inside a yellow border) with amber sound
// waves spreading from a point on its left. Each size is drawn for itself, its edges on whole pixels,
// and the smallest sizes carry fewer and plainer waves so that they stay crisp.
#pragma once

#include "platform/graphics/bitmap.h"

namespace sib::icon {

// The icon at `size` x `size` pixels (16 and up), straight on a transparent background.
gfx::Bitmap DrawIcon(int size);

}  // namespace sib::icon
