// TGDIPPictureContainer: a component holding named pictures, for controls whose captions refer to
// pictures by name.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "controls/gdip_picture.h"
#include "platform/components/component.h"

namespace sib {

class TPictureItem {
 public:
  explicit TPictureItem(std::string Name) : FName(std::move(Name)) {}
  const std::string& Name() const { return FName; }
  void SetName(std::string Value) { FName = std::move(Value); }
  TAdvGDIPPicture* Picture() const { return FPicture.get(); }

 private:
  std::string FName;
  std::unique_ptr<TAdvGDIPPicture> FPicture = std::make_unique<TAdvGDIPPicture>();
};

class TGDIPPictureContainer : public TComponent {
  SIB_CLASS(TGDIPPictureContainer, TComponent)
 public:
  explicit TGDIPPictureContainer(TComponent* AOwner) : TComponent(AOwner) {}

  TPictureItem& Add(std::string Name) { return *FItems.emplace_back(std::make_unique<TPictureItem>(std::move(Name))); }
  int Count() const { return static_cast<int>(FItems.size()); }
  TPictureItem& Items(int Index) const { return *FItems.at(static_cast<std::size_t>(Index)); }

  // The picture of the first item named Name, compared without regard to case; nullptr when none is.
  TAdvGDIPPicture* FindPicture(const std::string& Name) const;

 private:
  std::vector<std::unique_ptr<TPictureItem>> FItems;
};

}  // namespace sib
