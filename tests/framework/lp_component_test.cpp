#include "framework/lp_component.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/lp_collection.h"

namespace sib {
namespace {

// Stands in for the pin framework's base class, which Assign never copies into.
class TOWObject : public TPersistent {
  SIB_CLASS(TOWObject, TPersistent)
 public:
  int Assigned = 0;
  void Assign(TPersistent*) override { ++Assigned; }
};

class TTestFill : public TLPPersistent {
  SIB_CLASS(TTestFill, TLPPersistent)
 public:
  using TLPPersistent::TLPPersistent;
  static TPropertyList PublishedProperties() {
    return {prop("Colour", &TTestFill::FColour, &TTestFill::SetColour).defaultValue(0)};
  }
  void SetColour(std::uint32_t Value) { FLock->Setter(FColour, Value, TLPPropUpdateFunc()); }
  void PropertyChanged() override { ++Changes; }

  std::uint32_t FColour = 0;
  int Changes = 0;
};

class TTestComponent : public TLPComponent {
  SIB_CLASS(TTestComponent, TLPComponent)
 public:
  explicit TTestComponent(TComponent* AOwner) : TLPComponent(AOwner), FFill(this), FPin() {}

  static TPropertyList PublishedProperties() {
    return {
        prop("Level", &TTestComponent::FLevel, &TTestComponent::SetLevel).defaultValue(0),
        prop("Gain", &TTestComponent::FGain, &TTestComponent::SetGain),
        prop("Shade", &TTestComponent::FShade),
        prop("Caption", &TTestComponent::FCaption),
        prop("Hidden", &TTestComponent::FHidden).stored(false),
        prop("Fill", &TTestComponent::GetFill),
        prop("Pin", &TTestComponent::GetPin),
        prop("Peer", &TTestComponent::FPeer),
        prop("OnChange", &TTestComponent::FOnChange),
    };
  }

  void SetLevel(std::int32_t Value) { FLock->SetterMinMax(FLevel, Value, 0, 100, TLPPropUpdateFunc()); }
  void SetGain(double Value) { FLock->Setter(FGain, Value, TLPPropUpdateFunc()); }
  TTestFill* GetFill() { return &FFill; }
  TOWObject* GetPin() { return &FPin; }

  void ComponentReady() override { ++ReadyCount; }
  void PropertyChanged() override { ++Changes; }

  std::int32_t FLevel = 0;
  double FGain = 0.5;
  TComponentStateFlag FShade = csLoading;
  std::string FCaption;
  std::int32_t FHidden = 0;
  TTestFill FFill;
  TOWObject FPin;
  TComponent* FPeer = nullptr;
  TNotifyEvent FOnChange;
  int ReadyCount = 0;
  int Changes = 0;
};

TEST(LPComponentTest, CreatedInCodeIsReadyOnce) {
  auto root = MakeComponent<TTestComponent>();
  auto* child = NewComponent<TTestComponent>(*root);
  EXPECT_EQ(root->ReadyCount, 1);
  EXPECT_EQ(child->ReadyCount, 1);
}

TEST(LPComponentTest, CreatedWhileAnOwnerUpTheChainLoadsIsReadyOnceFromLoaded) {
  auto root = MakeComponent<TTestComponent>();
  auto* middle = NewComponent<TTestComponent>(*root);
  root->SetStateFlag(csLoading, true);
  auto* leaf = NewComponent<TTestComponent>(*middle);
  EXPECT_EQ(leaf->ReadyCount, 0) << "not ready while its owner's owner is loading";
  leaf->SetStateFlag(csLoading, true);
  leaf->Loaded();
  root->Loaded();
  EXPECT_EQ(leaf->ReadyCount, 1);
}

TEST(LPComponentTest, NeverReadyWhileDesigning) {
  auto root = MakeComponent<TTestComponent>();
  root->SetDesigning(true);
  auto* child = NewComponent<TTestComponent>(*root);
  EXPECT_TRUE(child->ComponentState().Contains(csDesigning));
  child->Loaded();
  EXPECT_EQ(child->ReadyCount, 0);
}

TEST(LPComponentTest, SettersRunTheComponentsPropertyChangedOnlyOnChange) {
  auto c = MakeComponent<TTestComponent>();
  c->SetLevel(0);
  EXPECT_EQ(c->Changes, 0);
  c->SetLevel(250);
  EXPECT_EQ(c->FLevel, 100);
  EXPECT_EQ(c->Changes, 1);
}

TEST(LPComponentTest, AssignCopiesStoredPublishedValuesButNotNameEventsPinsOrComponents) {
  auto source = MakeComponent<TTestComponent>();
  auto dest = MakeComponent<TTestComponent>();
  auto peer = MakeComponent<TTestComponent>();
  source->SetName("source");
  dest->SetName("dest");
  source->SetLevel(42);
  source->SetGain(0.0);
  source->FShade = csDesigning;
  source->FCaption = "Pink Noise";
  source->FHidden = 7;
  source->FFill.SetColour(0xFF00FF);
  source->FPeer = peer.get();
  source->FOnChange = TNotifyEvent([](TObject*) {});

  dest->Assign(source.get());

  EXPECT_EQ(dest->Name(), "dest");
  EXPECT_EQ(dest->FLevel, 42);
  EXPECT_EQ(dest->FGain, 0.0);
  EXPECT_EQ(dest->FShade, csDesigning);
  EXPECT_EQ(dest->FCaption, "Pink Noise");
  EXPECT_EQ(dest->FHidden, 0) << "not stored, not copied";
  EXPECT_EQ(dest->FFill.FColour, 0xFF00FFu) << "persistent sub-objects are assigned";
  EXPECT_EQ(dest->FPin.Assigned, 0) << "pins are never copied";
  EXPECT_EQ(dest->FPeer, nullptr) << "components are never copied";
  EXPECT_FALSE(dest->FOnChange);
}

TEST(LPComponentTest, AssignFromAnotherKindIsTheInheritedError) {
  auto c = MakeComponent<TTestComponent>();
  TOWObject other;
  EXPECT_THROW(c->Assign(&other), EConvertError);
}

TEST(LPPersistentTest, CreatingWithoutALockRaises) {
  try {
    TLPPersistent orphan;
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Calling TLPPersistent.Create without lock!");
  }
  TOWObject plain;
  EXPECT_THROW(TLPPersistent{nullptr}, Exception);
  EXPECT_THROW(TLPPersistent{&plain}, Exception) << "an owner without a lock has none to share";
}

TEST(LPPersistentTest, SharesItsOwnersLockButNotifiesItself) {
  auto c = MakeComponent<TTestComponent>();
  EXPECT_EQ(c->FFill.Lock()->Instance(), c->Lock()->Instance());
  EXPECT_EQ(c->FFill.GetOwner(), c.get());
  c->FFill.SetColour(0x123456);
  EXPECT_EQ(c->FFill.Changes, 1);
  EXPECT_EQ(c->Changes, 0);

  TTestFill nested(&c->FFill);
  EXPECT_EQ(nested.Lock()->Instance(), c->Lock()->Instance()) << "a persistent may own another";
  RefPtr<ILPLock> own = TLPLock::Create(TLPPropUpdateFunc());
  TTestFill explicitLock(c.get(), *own);
  EXPECT_EQ(explicitLock.Lock()->Instance(), own->Instance());
  EXPECT_EQ(explicitLock.GetOwner(), c.get());
}

TEST(LPPersistentTest, LockOutlivesItsComponentWhileReferenced) {
  auto c = MakeComponent<TTestComponent>();
  RefPtr<IOWLock> kept(c->Lock()->Instance());
  c.reset();
  EXPECT_TRUE(kept->WriteLock());
}

TEST(LPMasterPumpingTest, DefaultsAndAssignCopyBothValues) {
  auto c = MakeComponent<TTestComponent>();
  TLPMasterPumping a(c.get()), b(c.get());
  EXPECT_FALSE(a.Enabled());
  EXPECT_EQ(a.Priority(), 0);
  a.SetEnabled(true);
  a.SetPriority(5);
  b.Assign(&a);
  EXPECT_TRUE(b.Enabled());
  EXPECT_EQ(b.Priority(), 5);
}

// --- collections ---------------------------------------------------------------------------------

class TTestItem : public TLPCollectionItem {
  SIB_CLASS(TTestItem, TLPCollectionItem)
 public:
  using TLPCollectionItem::TLPCollectionItem;
  static TPropertyList PublishedProperties() {
    return {prop("DeviceName", &TTestItem::FDeviceName, &TTestItem::SetDeviceName)};
  }
  void SetDeviceName(std::string Value) { FLock->Setter(FDeviceName, Value, TLPPropUpdateFunc()); }
  void PropertyChanged() override { ++Changes; }
  std::string FDeviceName;
  int Changes = 0;
};

class TTestItems : public TLPCollection {
  SIB_CLASS(TTestItems, TLPCollection)
 public:
  explicit TTestItems(TPersistent* AOwner) : TLPCollection(AOwner, TTestItem::StaticClass()) {}
  std::vector<TCollectionItem*> Added;

 protected:
  void ItemAdded(TCollectionItem* Item) override { Added.push_back(Item); }
};

TEST(LPCollectionTest, ItemsShareTheOwnersLockAndReportThemselves) {
  auto c = MakeComponent<TTestComponent>();
  TTestItems items(c.get());
  items.LastIndicatedCount = 3;
  auto* item = static_cast<TTestItem*>(items.Add());
  EXPECT_EQ(items.Lock()->Instance(), c->Lock()->Instance());
  EXPECT_EQ(item->Lock()->Instance(), c->Lock()->Instance());
  EXPECT_EQ(items.Added, (std::vector<TCollectionItem*>{item}));
  EXPECT_EQ(items.LastIndicatedCount, -1);

  items.LastIndicatedCount = 1;
  item->SetDeviceName("System audio output device");
  EXPECT_EQ(item->Changes, 1);
  EXPECT_EQ(c->Changes, 0);
  items.LastIndicatedCount = 1;
  items.Delete(0);
  EXPECT_EQ(items.LastIndicatedCount, -1);
}

TEST(LPCollectionTest, AssignCopiesTheItems) {
  auto c = MakeComponent<TTestComponent>();
  TTestItems source(c.get()), dest(c.get());
  static_cast<TTestItem*>(source.Add())->SetDeviceName("first");
  static_cast<TTestItem*>(source.Add())->SetDeviceName("second");
  dest.Add();
  dest.Assign(&source);
  ASSERT_EQ(dest.Count(), 2);
  EXPECT_EQ(static_cast<TTestItem*>(dest.Items(1))->FDeviceName, "second");
}

TEST(LPCollectionTest, ExplicitLockIsKeptAndItemsOfOtherCollectionsAreRefused) {
  RefPtr<ILPLock> lock = TLPLock::Create(TLPPropUpdateFunc());
  TLPCollection withLock(nullptr, lock, TTestItem::StaticClass());
  EXPECT_EQ(withLock.Lock(), lock);
  TOWObject plain;
  EXPECT_THROW(TLPCollection(&plain, TTestItem::StaticClass()), Exception);
  TCollection ordinary(TTestItem::StaticClass());
  EXPECT_THROW(ordinary.Add(), EInvalidOperation);
}

}  // namespace
}  // namespace sib
