#include "framework/lp_collection.h"

namespace sib {

TOWExtCollection::TOWExtCollection(TPersistent* AOwner, const TClassInfo& ItemClass) : TCollection(ItemClass, AOwner) {}

void TOWExtCollection::Notify(TCollectionItem* Item, TCollectionNotification Action) {
  TCollection::Notify(Item, Action);
  LastIndicatedCount = -1;
  if (Action == cnAdded) ItemAdded(Item);
}

void TOWExtCollection::Update(TCollectionItem* Item) {
  TCollection::Update(Item);
  LastIndicatedCount = -1;
}

TLPCollection::TLPCollection(TPersistent* AOwner, RefPtr<ILPLock> ALock, const TClassInfo& ItemClass)
    : TOWExtCollection(AOwner, ItemClass), FLock(std::move(ALock)) {}

TLPCollection::TLPCollection(TPersistent* AOwner, const TClassInfo& ItemClass) : TOWExtCollection(AOwner, ItemClass) {
  ILPLock* ownerLock = OwnerLockOf(AOwner);
  if (!ownerLock) throw Exception("Calling TLPPersistent.Create without lock!");
  FLock = TLPLock::CreateCopy(*ownerLock, TLPPropUpdateFunc(this, &TLPCollection::PropertyChanged));
}

void TLPCollection::Assign(TPersistent* ASource) {
  LockSection section = FLock->WriteLock();
  if (!section) return;
  if (auto* source = dynamic_cast<TLPCollection*>(ASource)) CopyPublishedProperties(this, source, true);
  TOWExtCollection::Assign(ASource);
}

namespace {

ILPLock& CollectionLock(TCollection* Collection) {
  auto* owner = dynamic_cast<TLPCollection*>(Collection);
  if (!owner || !owner->Lock()) throw EInvalidOperation("A TLPCollectionItem must belong to a TLPCollection");
  return *owner->Lock();
}

}  // namespace

TLPCollectionItem::TLPCollectionItem(TCollection* Collection)
    : TOWExtCollectionItem(Collection),
      FLock(TLPLock::CreateCopy(CollectionLock(Collection),
                                TLPPropUpdateFunc(this, &TLPCollectionItem::PropertyChanged))) {}

void TLPCollectionItem::Assign(TPersistent* ASource) {
  LockSection section = FLock->WriteLock();
  if (!section) return;
  if (auto* source = dynamic_cast<TLPCollectionItem*>(ASource))
    CopyPublishedProperties(this, source, true);
  else
    TOWExtCollectionItem::Assign(ASource);
}

}  // namespace sib
