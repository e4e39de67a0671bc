// Ownership, names, removal notification and the creation and destruction hooks of components.
#include "platform/components/component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sib {
namespace {

// Records what happens to it in a log shared by a test.
class TLogged : public TComponent {
  SIB_CLASS(TLogged, TComponent)
 public:
  TLogged(TComponent* AOwner, std::vector<std::string>* log) : TComponent(AOwner), log_(log) {}
  explicit TLogged(TComponent* AOwner) : TComponent(AOwner) {}
  ~TLogged() override { Add("destroy " + Name()); }

  void AfterConstruction() override {
    TComponent::AfterConstruction();
    Add("after construction");
  }
  void BeforeDestruction() override {
    TComponent::BeforeDestruction();
    Add("before destruction " + Name() + (ComponentState().Contains(csDestroying) ? " (destroying)" : ""));
  }
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == Watched) Watched = nullptr;
    Add(Name() + (Operation == opInsert ? " sees insert of " : " sees remove of ") + AComponent->Name());
  }

  TComponent* Watched = nullptr;

 private:
  void Add(const std::string& entry) {
    if (log_) log_->push_back(entry);
  }
  std::vector<std::string>* log_ = nullptr;
};

class TOwnerForm : public TComponent {
  SIB_CLASS(TOwnerForm, TComponent)
 public:
  using TComponent::TComponent;
  TLogged* first = nullptr;
  TComponent* second = nullptr;
  static TFieldList PublishedFields() { return {field("first", &TOwnerForm::first), field("second", &TOwnerForm::second)}; }
};

TEST(ComponentTest, OwnerDestroysWhatItOwnsLastCreatedFirst) {
  std::vector<std::string> log;
  {
    auto owner = MakeComponent<TComponent>();
    NewComponent<TLogged>(*owner, &log)->SetName("a");
    NewComponent<TLogged>(*owner, &log)->SetName("b");
    log.clear();
  }
  const std::vector<std::string> expected = {
      "before destruction b (destroying)", "destroy b", "before destruction a (destroying)", "destroy a"};
  // Each removal is also told to the remaining siblings; keep only the lifecycle entries.
  std::vector<std::string> lifecycle;
  for (const auto& e : log)
    if (e.rfind("before", 0) == 0 || e.rfind("destroy", 0) == 0) lifecycle.push_back(e);
  EXPECT_EQ(lifecycle, expected);
}

TEST(ComponentTest, AfterConstructionRunsOnceTheObjectIsWhole) {
  std::vector<std::string> log;
  auto owner = MakeComponent<TComponent>();
  NewComponent<TLogged>(*owner, &log);
  EXPECT_EQ(log, std::vector<std::string>{"after construction"});
}

TEST(ComponentTest, FreeComponentLeavesTheOwnerAndTellsTheSiblings) {
  std::vector<std::string> log;
  auto owner = MakeComponent<TComponent>();
  auto* a = NewComponent<TLogged>(*owner, &log);
  a->SetName("a");
  auto* b = NewComponent<TLogged>(*owner, &log);
  b->SetName("b");
  a->Watched = b;
  log.clear();
  FreeComponent(b);
  EXPECT_EQ(owner->ComponentCount(), 1);
  EXPECT_EQ(owner->Components(0), a);
  EXPECT_EQ(a->Watched, nullptr);
  EXPECT_NE(std::find(log.begin(), log.end(), "a sees remove of b"), log.end());
}

TEST(ComponentTest, FreeNotificationTellsAComponentOfAnotherOwner) {
  std::vector<std::string> log;
  auto ownerA = MakeComponent<TComponent>();
  auto ownerB = MakeComponent<TComponent>();
  auto* watcher = NewComponent<TLogged>(*ownerA, &log);
  auto* watched = NewComponent<TLogged>(*ownerB, &log);
  watched->SetName("watched");
  watcher->Watched = watched;
  watcher->FreeNotification(watched);
  ownerB.reset();
  EXPECT_EQ(watcher->Watched, nullptr);
}

TEST(ComponentTest, RemovedFreeNotificationIsNotTold) {
  std::vector<std::string> log;
  auto ownerA = MakeComponent<TComponent>();
  auto ownerB = MakeComponent<TComponent>();
  auto* watcher = NewComponent<TLogged>(*ownerA, &log);
  auto* watched = NewComponent<TLogged>(*ownerB, &log);
  watcher->Watched = watched;
  watcher->FreeNotification(watched);
  watcher->RemoveFreeNotification(watched);
  ownerB.reset();
  EXPECT_EQ(watcher->Watched, watched);  // never told, so it kept the (now dangling) value
}

TEST(ComponentTest, WatcherDestroyedFirstIsForgottenByTheWatched) {
  auto ownerA = MakeComponent<TComponent>();
  auto ownerB = MakeComponent<TComponent>();
  auto* watcher = NewComponent<TLogged>(*ownerA);
  auto* watched = NewComponent<TLogged>(*ownerB);
  watcher->FreeNotification(watched);
  ownerA.reset();   // the watcher goes first
  ownerB.reset();   // the watched must not tell the destroyed watcher (ASan would report it)
  SUCCEED();
}

TEST(ComponentTest, NamesAreValidatedAndUniqueWithinTheOwnerRegardlessOfCase) {
  struct Row {
    const char* name;
    bool valid;
  };
  const Row rows[] = {{"amp1", true}, {"_x", true}, {"1amp", false}, {"a.b", false}, {"a b", false}, {"", true}};
  auto owner = MakeComponent<TComponent>();
  for (const Row& row : rows) {
    auto* c = NewComponent<TComponent>(*owner);
    if (row.valid) {
      EXPECT_NO_THROW(c->SetName(row.name)) << row.name;
    } else {
      EXPECT_THROW(c->SetName(row.name), EComponentError) << row.name;
      EXPECT_EQ(c->Name(), "") << row.name;
    }
  }
  auto* other = NewComponent<TComponent>(*owner);
  try {
    other->SetName("AMP1");
    FAIL() << "duplicate name accepted";
  } catch (const EComponentError& e) {
    EXPECT_STREQ(e.what(), "A component named AMP1 already exists");
  }
  EXPECT_EQ(owner->FindComponent("Amp1")->Name(), "amp1");
  EXPECT_EQ(owner->FindComponent(""), nullptr);
}

TEST(ComponentTest, PublishedFieldsFollowTheOwnedComponentsOfTheirName) {
  auto form = MakeComponent<TOwnerForm>();
  auto* c = NewComponent<TLogged>(*form);
  c->SetName("first");
  EXPECT_EQ(form->first, c);
  c->SetName("other");
  EXPECT_EQ(form->first, nullptr);
  c->SetName("first");
  FreeComponent(c);
  EXPECT_EQ(form->first, nullptr);
}

TEST(ComponentTest, PublishedFieldOfAnotherClassRefusesTheName) {
  auto form = MakeComponent<TOwnerForm>();
  auto* plain = NewComponent<TComponent>(*form);
  EXPECT_THROW(plain->SetName("first"), EInvalidOperation);  // `first` holds only a TLogged
  EXPECT_EQ(plain->Name(), "");
  EXPECT_EQ(form->first, nullptr);
}

TEST(ComponentTest, InsertAndRemoveTransferOwnership) {
  auto a = MakeComponent<TComponent>();
  auto b = MakeComponent<TComponent>();
  auto* c = NewComponent<TComponent>(*a);
  EXPECT_THROW(b->InsertComponent(c), EComponentError);
  a->RemoveComponent(c);
  EXPECT_EQ(c->Owner(), nullptr);
  b->InsertComponent(c);
  EXPECT_EQ(c->Owner(), b.get());
  EXPECT_EQ(c->ComponentIndex(), 0);
  EXPECT_THROW(c->InsertComponent(b.get()), EComponentError);  // b owns c: no cycles
}

TEST(ComponentTest, DesigningSpreadsToOwnedAndInsertedComponents) {
  auto root = MakeComponent<TComponent>();
  auto* before = NewComponent<TComponent>(*root);
  root->SetDesigning(true);
  auto* after = NewComponent<TComponent>(*root);
  EXPECT_TRUE(before->ComponentState().Contains(csDesigning));
  EXPECT_TRUE(after->ComponentState().Contains(csDesigning));
}

class TFrame : public TComponent {
  SIB_CLASS(TFrame, TComponent)
 public:
  using TComponent::TComponent;
  bool IsRootClass() const override { return true; }
};

TEST(ComponentTest, RootIsTheTopOwnerOrTheNearestRootClass) {
  auto top = MakeComponent<TComponent>();
  auto* frame = NewComponent<TFrame>(*top);
  auto* inner = NewComponent<TComponent>(*frame);
  auto* plain = NewComponent<TComponent>(*top);
  EXPECT_EQ(inner->GetRootComponent(), frame);
  EXPECT_EQ(plain->GetRootComponent(), top.get());
  EXPECT_EQ(top->GetRootComponent(), top.get());
}

TEST(ComponentTest, AssignWithoutSupportRaisesConvertError) {
  auto a = MakeComponent<TComponent>();
  auto b = MakeComponent<TComponent>();
  try {
    a->Assign(b.get());
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TComponent to a TComponent");
  }
}

}  // namespace
}  // namespace sib
