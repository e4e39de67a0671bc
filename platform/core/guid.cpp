#include "platform/core/guid.h"

#include <cstdio>

#include "platform/core/errors.h"

namespace sib {

TGUID StringToGUID(std::string_view text) {
  TGUID guid;
  if (!guid_detail::parse(text, guid))
    throw EConvertError("'" + std::string(text) + "' is not a valid GUID value");
  return guid;
}

std::string GUIDToString(const TGUID& g) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.D1, g.D2, g.D3,
                g.D4[0], g.D4[1], g.D4[2], g.D4[3], g.D4[4], g.D4[5], g.D4[6], g.D4[7]);
  return text;
}

}  // namespace sib
