// TImageList: a component holding pictures that controls refer to by index (the smooth panel's
// markup draws "IDX:n" from the list it is given). Each picture is a decoded bitmap drawn at its
// own size. The program fills the list; a stored description names the list but keeps no pictures.
//
// Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/components/component.h"
#include "platform/graphics/bitmap.h"

namespace sib {

class TImageList : public TComponent {
  SIB_CLASS(TImageList, TComponent)
 public:
  explicit TImageList(TComponent* AOwner) : TComponent(AOwner) {}

  int Count() const { return static_cast<int>(FImages.size()); }
  // Appends a copy of `Image` and returns its index; raises OnChange.
  int Add(const gfx::Bitmap& Image);
  // Out of range indexes do nothing; both raise OnChange when something went.
  void Delete(int Index);
  void Clear();
  // The picture at `Index`, shared with the list; nullptr out of range.
  std::shared_ptr<const gfx::Bitmap> Get(int Index) const;

  TNotifyEvent OnChange;

 private:
  std::vector<std::shared_ptr<const gfx::Bitmap>> FImages;
};

}  // namespace sib
