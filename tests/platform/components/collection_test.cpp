// Collections: items created by the collection, the change hooks, updates deferred while an update
// is open, and copying.
#include "platform/components/collection.h"

#include <gtest/gtest.h>

#include "tests/platform/components/test_classes.h"

namespace sib::test {
namespace {

// Records the hooks in the order they run.
class TRecordingCollection : public TCollection {
 public:
  explicit TRecordingCollection(const TClassInfo& itemClass = TTestItem::StaticClass()) : TCollection(itemClass) {}
  std::vector<std::string> Log;

 protected:
  void Notify(TCollectionItem* Item, TCollectionNotification Action) override {
    const char* names[] = {"added", "extracting", "deleting"};
    Log.push_back(std::string(names[Action]) + " " + std::to_string(Item->ID()));
  }
  void Update(TCollectionItem* Item) override {
    Log.push_back(Item ? "update " + std::to_string(Item->ID()) : "update all");
  }
};

class TChangingItem : public TTestItem {
  SIB_CLASS(TChangingItem, TTestItem)
 public:
  using TTestItem::TTestItem;
  void Touch() { Changed(false); }
};

TEST(CollectionTest, AddInsertAndDeleteRunTheHooks) {
  TRecordingCollection c;
  TCollectionItem* a = c.Add();
  TCollectionItem* b = c.Insert(0);
  EXPECT_EQ(c.Items(0), b);
  EXPECT_EQ(a->Index(), 1);
  EXPECT_EQ(a->Collection(), &c);
  EXPECT_EQ(a->GetOwner(), &c);
  c.Delete(0);
  EXPECT_EQ(c.Count(), 1);
  const std::vector<std::string> expected = {"added 0", "update all", "added 1", "update all", "deleting 1",
                                             "update all"};
  EXPECT_EQ(c.Log, expected);
}

TEST(CollectionTest, UpdatesWaitForTheLastEndUpdate) {
  TRecordingCollection c;
  c.BeginUpdate();
  c.BeginUpdate();
  c.Add();
  c.Add();
  c.EndUpdate();
  EXPECT_EQ(c.Log, (std::vector<std::string>{"added 0", "added 1"}));
  c.EndUpdate();
  EXPECT_EQ(c.Log.back(), "update all");
  c.Clear();
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(std::count(c.Log.begin(), c.Log.end(), "update all"), 2);  // one for the whole Clear
}

TEST(CollectionTest, AnItemChangeReachesUpdateWithTheItemUnlessAnUpdateIsOpen) {
  TRecordingCollection c(TChangingItem::StaticClass());
  auto* item = static_cast<TChangingItem*>(c.Add());
  c.Log.clear();
  item->Touch();
  c.BeginUpdate();
  item->Touch();
  c.EndUpdate();
  EXPECT_EQ(c.Log, (std::vector<std::string>{"update 0", "update all"}));
}

TEST(CollectionTest, MovingAnItemKeepsItsID) {
  TRecordingCollection c;
  TCollectionItem* first = c.Add();
  c.Add();
  c.Add();
  first->SetIndex(2);
  EXPECT_EQ(c.Items(2), first);
  EXPECT_EQ(first->ID(), 0);
  EXPECT_EQ(c.FindItemID(0), first);
  EXPECT_THROW(first->SetIndex(3), ERangeError);
}

TEST(CollectionTest, AssignCopiesEveryItem) {
  TCollection source(TTestItem::StaticClass());
  static_cast<TTestItem*>(source.Add())->FCaption = "a";
  static_cast<TTestItem*>(source.Add())->FCaption = "b";
  TRecordingCollection dest;
  dest.Add();
  dest.Assign(&source);
  ASSERT_EQ(dest.Count(), 2);
  EXPECT_EQ(static_cast<TTestItem*>(dest.Items(0))->FCaption, "a");
  EXPECT_EQ(static_cast<TTestItem*>(dest.Items(1))->FCaption, "b");
  EXPECT_THROW(dest.Assign(MakeComponent<TComponent>().get()), EConvertError);
}

TEST(CollectionTest, AnItemClassMustBeAnItemWithAFactory) {
  EXPECT_THROW(TCollection fonts(TTestFont::StaticClass()), EInvalidOperation);
  TCollection c(TTestItem::StaticClass());
  EXPECT_THROW(c.Items(0), ERangeError);
  EXPECT_THROW(c.Insert(1), ERangeError);
}

}  // namespace
}  // namespace sib::test
