#include "platform/ui/image_list.h"

namespace sib {

int TImageList::Add(const gfx::Bitmap& Image) {
  FImages.push_back(std::make_shared<const gfx::Bitmap>(Image));
  OnChange(this);
  return Count() - 1;
}

void TImageList::Delete(int Index) {
  if (Index < 0 || Index >= Count()) return;
  FImages.erase(FImages.begin() + Index);
  OnChange(this);
}

void TImageList::Clear() {
  if (FImages.empty()) return;
  FImages.clear();
  OnChange(this);
}

std::shared_ptr<const gfx::Bitmap> TImageList::Get(int Index) const {
  if (Index < 0 || Index >= Count()) return nullptr;
  return FImages[static_cast<std::size_t>(Index)];
}

}  // namespace sib
