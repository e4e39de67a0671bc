#include "platform/graphics/brush.h"

namespace sib::gfx {

std::span<const std::uint8_t, 8> HatchPattern(HatchStyle) {
  static const std::uint8_t empty[8] = {};
  return std::span<const std::uint8_t, 8>(empty, 8);
}
const char* HatchStyleName(HatchStyle) { return ""; }

}  // namespace sib::gfx
