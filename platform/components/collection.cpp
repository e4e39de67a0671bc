#include "platform/components/collection.h"

#include <algorithm>

#include "platform/core/format.h"

namespace sib {

// --- TCollectionItem ------------------------------------------------------------------------------

TCollectionItem::TCollectionItem(TCollection* Collection) : collection_(Collection) {}

TCollectionItem::~TCollectionItem() = default;

TPersistent* TCollectionItem::GetOwner() { return collection_; }

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  const auto& items = collection_->items_;
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i].get() == this) return static_cast<int>(i);
  return -1;
}

void TCollectionItem::SetIndex(int Value) {
  if (collection_) collection_->MoveItem(this, Value);
}

std::string TCollectionItem::GetDisplayName() const { return ClassName(); }

void TCollectionItem::Changed(bool AllItems) {
  if (collection_) collection_->ItemChanged(AllItems ? nullptr : this);
}

// --- TCollection ----------------------------------------------------------------------------------

TCollection::TCollection(const TClassInfo& ItemClass, TPersistent* AOwner) : itemClass_(&ItemClass), owner_(AOwner) {
  if (!ItemClass.InheritsFrom(TCollectionItem::StaticClass()) || !ItemClass.Factory())
    throw EInvalidOperation("Class " + ItemClass.ClassName() + " cannot be the item class of a collection");
}

TCollection::~TCollection() {
  // Items go without notifications: the descendant that would hear them is already gone.
  while (!items_.empty()) items_.pop_back();
}

TCollectionItem* TCollection::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw ERangeError(formatText("List index out of bounds (%d)", {Index}));
  return items_[static_cast<std::size_t>(Index)].get();
}

TCollectionItem* TCollection::FindItemID(int ID) const {
  for (const auto& item : items_)
    if (item->id_ == ID) return item.get();
  return nullptr;
}

std::unique_ptr<TCollectionItem> TCollection::CreateItem() {
  std::unique_ptr<TObject> created(itemClass_->Factory()(this));
  auto* item = static_cast<TCollectionItem*>(created.release());
  return std::unique_ptr<TCollectionItem>(item);
}

TCollectionItem* TCollection::Add() { return Insert(Count()); }

TCollectionItem* TCollection::Insert(int Index) {
  if (Index < 0 || Index > Count()) throw ERangeError(formatText("List index out of bounds (%d)", {Index}));
  std::unique_ptr<TCollectionItem> item = CreateItem();
  TCollectionItem* raw = item.get();
  raw->collection_ = this;
  raw->id_ = nextId_++;
  items_.insert(items_.begin() + Index, std::move(item));
  try {
    Notify(raw, cnAdded);
  } catch (...) {
    items_.erase(items_.begin() + Index);
    throw;
  }
  Changed();
  return raw;
}

void TCollection::Delete(int Index) {
  TCollectionItem* item = Items(Index);
  Notify(item, cnDeleting);
  // Notify may have moved items; find the item again.
  auto it = std::find_if(items_.begin(), items_.end(), [item](const auto& p) { return p.get() == item; });
  if (it == items_.end()) return;
  std::unique_ptr<TCollectionItem> gone = std::move(*it);
  items_.erase(it);
  gone.reset();
  Changed();
}

void TCollection::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  struct EndOnExit {
    TCollection* c;
    ~EndOnExit() { c->EndUpdate(); }
  } end{this};
  while (!items_.empty()) Delete(Count() - 1);
}

void TCollection::BeginUpdate() { ++updateCount_; }

void TCollection::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0) Changed();
}

void TCollection::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TCollection*>(Source);
  if (!source) {
    TPersistent::Assign(Source);
    return;
  }
  if (source == this) return;
  BeginUpdate();
  struct EndOnExit {
    TCollection* c;
    ~EndOnExit() { c->EndUpdate(); }
  } end{this};
  Clear();
  for (const auto& item : source->items_) Add()->Assign(item.get());
}

void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Changed() {
  if (updateCount_ == 0) Update(nullptr);
}

void TCollection::ItemChanged(TCollectionItem* Item) {
  if (updateCount_ == 0) Update(Item);
}

void TCollection::MoveItem(TCollectionItem* Item, int NewIndex) {
  const int current = Item->Index();
  if (current < 0 || current == NewIndex) return;
  if (NewIndex < 0 || NewIndex >= Count()) throw ERangeError(formatText("List index out of bounds (%d)", {NewIndex}));
  std::unique_ptr<TCollectionItem> moving = std::move(items_[static_cast<std::size_t>(current)]);
  items_.erase(items_.begin() + current);
  items_.insert(items_.begin() + NewIndex, std::move(moving));
  Changed();
}

}  // namespace sib
