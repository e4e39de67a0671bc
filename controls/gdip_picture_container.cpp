#include "controls/gdip_picture_container.h"

#include <algorithm>
#include <cctype>

namespace sib {

namespace {

bool SameTextAscii(const std::string& a, const std::string& b) {
  return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

TAdvGDIPPicture* TGDIPPictureContainer::FindPicture(const std::string& Name) const {
  for (const auto& item : FItems)
    if (SameTextAscii(item->Name(), Name)) return item->Picture();
  return nullptr;
}

}  // namespace sib
