// Collections: an owned, ordered list of items of one item class, stored in a description as
// `Prop = < item ... end item ... end >`. The collection creates its items (Add, Insert) and
// destroys them (Delete, Clear, its destructor). Every change goes through two hooks that
// descendants override: Notify (an item was added, or is about to leave) and Update (an item's
// values changed, or with nullptr, the list itself changed; deferred while BeginUpdate is open).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/components/component.h"

namespace sib {

class TCollection;

enum TCollectionNotification : std::uint8_t { cnAdded, cnExtracting, cnDeleting };

class TCollectionItem : public TPersistent {
  SIB_CLASS(TCollectionItem, TPersistent)
 public:
  // `Collection` is the collection that is creating the item; it adds the item once it is built.
  // Create items through TCollection::Add or Insert.
  explicit TCollectionItem(TCollection* Collection);
  ~TCollectionItem() override;

  TCollection* Collection() const { return collection_; }
  TPersistent* GetOwner() override;
  int Index() const;
  // Moves the item to another position.
  void SetIndex(int Value);
  // A unique number within the collection, kept when the item moves.
  int ID() const { return id_; }
  // The name an editor shows; the class name unless a descendant has a better one.
  virtual std::string GetDisplayName() const;

 protected:
  // Tells the collection that this item's values changed (AllItems: that the whole list did).
  void Changed(bool AllItems);

 private:
  friend class TCollection;
  TCollection* collection_;
  int id_ = 0;
};

class TCollection : public TPersistent {
  SIB_CLASS(TCollection, TPersistent)
 public:
  // `ItemClass` must derive from TCollectionItem and have a constructor taking the collection.
  TCollection(const TClassInfo& ItemClass, TPersistent* AOwner = nullptr);
  ~TCollection() override;

  TPersistent* GetOwner() override { return owner_; }
  const TClassInfo& ItemClass() const { return *itemClass_; }

  int Count() const { return static_cast<int>(items_.size()); }
  TCollectionItem* Items(int Index) const;
  TCollectionItem* FindItemID(int ID) const;

  TCollectionItem* Add();
  TCollectionItem* Insert(int Index);
  void Delete(int Index);
  void Clear();

  // Defers Update until the matching EndUpdate; nests.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  // Copies another collection: clears this one, then adds an item per source item and assigns it.
  void Assign(TPersistent* Source) override;

 protected:
  // An item was added (cnAdded) or is about to be extracted or deleted.
  virtual void Notify(TCollectionItem* Item, TCollectionNotification Action);
  // An item's values changed, or (Item nullptr) the list changed. Runs only outside BeginUpdate.
  virtual void Update(TCollectionItem* Item);
  // Runs Update when no update is open.
  void Changed();

 private:
  friend class TCollectionItem;
  void ItemChanged(TCollectionItem* Item);
  void MoveItem(TCollectionItem* Item, int NewIndex);
  std::unique_ptr<TCollectionItem> CreateItem();

  const TClassInfo* itemClass_;
  TPersistent* owner_;
  std::vector<std::unique_ptr<TCollectionItem>> items_;
  int updateCount_ = 0;
  int nextId_ = 0;
};

}  // namespace sib
