// Horizontal and vertical placement of a text in its box, as controls publish it.
#pragma once

#include <cstdint>

#include "platform/components/type_info.h"

namespace sib {

enum TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };
SIB_ENUM_NAMES(TAlignment, taLeftJustify, taRightJustify, taCenter)

enum TTextLayout : std::uint8_t { tlTop, tlCenter, tlBottom };
SIB_ENUM_NAMES(TTextLayout, tlTop, tlCenter, tlBottom)

}  // namespace sib
