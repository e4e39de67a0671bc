// Collections whose items share their owner component's lock. TOWExtCollection is the collection
// base (it resets LastIndicatedCount on every change and reports added items through ItemAdded);
// TLPCollection and TLPCollectionItem add the lock, each through a TLPLock of its own over the
// owner's underlying lock, so that each runs its own PropertyChanged.
#pragma once

#include "framework/lp_component.h"
#include "platform/components/collection.h"

namespace sib {

class TOWExtCollectionItem : public TCollectionItem {
  SIB_CLASS(TOWExtCollectionItem, TCollectionItem)
 public:
  using TCollectionItem::TCollectionItem;
};

class TOWExtCollection : public TCollection {
  SIB_CLASS(TOWExtCollection, TCollection)
 public:
  TOWExtCollection(TPersistent* AOwner, const TClassInfo& ItemClass);

  // The item count an editor last showed; -1 after every change.
  std::int32_t LastIndicatedCount = -1;

 protected:
  // An item was added to the collection.
  virtual void ItemAdded(TCollectionItem* /*Item*/) {}
  void Notify(TCollectionItem* Item, TCollectionNotification Action) override;
  void Update(TCollectionItem* Item) override;
};

class TLPCollection : public TOWExtCollection {
  SIB_CLASS(TLPCollection, TOWExtCollection)
 public:
  // Keeps `ALock` itself as the collection's lock.
  TLPCollection(TPersistent* AOwner, RefPtr<ILPLock> ALock, const TClassInfo& ItemClass);
  // Shares the lock of `AOwner` (a TLPComponent, TLPPersistent or TLPCollectionItem) through a lock
  // of its own; any other owner raises "Calling TLPPersistent.Create without lock!".
  TLPCollection(TPersistent* AOwner, const TClassInfo& ItemClass);

  // Under the write section: the published properties of another TLPCollection (except "Name"),
  // then always the items (cleared and copied).
  void Assign(TPersistent* ASource) override;

  const RefPtr<ILPLock>& Lock() const { return FLock; }
  virtual void PropertyChanged() {}

 protected:
  RefPtr<ILPLock> FLock;
};

class TLPCollectionItem : public TOWExtCollectionItem {
  SIB_CLASS(TLPCollectionItem, TOWExtCollectionItem)
 public:
  // `Collection` must be a TLPCollection (otherwise EInvalidOperation): the item shares its lock.
  explicit TLPCollectionItem(TCollection* Collection);

  // Under the write section: the published properties of another TLPCollectionItem except "Name";
  // otherwise the inherited behaviour.
  void Assign(TPersistent* ASource) override;

  const RefPtr<ILPLock>& Lock() const { return FLock; }
  virtual void PropertyChanged() {}

 protected:
  RefPtr<ILPLock> FLock;
};

}  // namespace sib
