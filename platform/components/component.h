// Persistent objects and components, the base of everything a stored description holds.
//
// TPersistent: an object with published properties that can copy another (Assign), names its owner
// (GetOwner) and may declare extra stored values (DefineProperties; see filer.h).
//
// TComponent: a named persistent object with an owner. The owner destroys what it owns (the last
// created first), tells its owned components about insertions and removals (Notification), and sets
// its published fields (class_info.h) to owned components of the same name. Components are created
// through NewComponent (with an owner) or MakeComponent (without), which run AfterConstruction once
// the constructor has finished; they are destroyed by their owner, by their TComponentPtr, or early
// by FreeComponent. Each destruction runs BeforeDestruction first, while the object is whole.
//
// All of this is main-thread code: components are not guarded against concurrent use.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/components/class_info.h"
#include "platform/core/errors.h"

namespace sib {

class TFiler;
class TComponent;

// A component's name or its ownership is invalid: a bad identifier, or a name taken in its owner.
class EComponentError : public Exception {
 public:
  using Exception::Exception;
};

class TPersistent : public TObject {
  SIB_CLASS(TPersistent, TObject)
 public:
  TPersistent() = default;

  // Copies `Source` into this object. The base hands the work to Source->AssignTo and, failing
  // that, raises EConvertError "Cannot assign a <source class> to a <this class>".
  virtual void Assign(TPersistent* Source);
  // The object that owns this one in a description (a component's owner, an item's collection).
  virtual TPersistent* GetOwner() { return nullptr; }
  // Declares the values stored beside the published properties, with TFiler::DefineProperty.
  // Overrides call the inherited version first.
  virtual void DefineProperties(TFiler& Filer);

 protected:
  // The other direction of Assign: copy this object into `Dest`. The base raises the error above.
  virtual void AssignTo(TPersistent* Dest);
  [[noreturn]] void AssignError(TPersistent* Source);
};

enum TComponentStateFlag : std::uint8_t { csLoading, csReading, csWriting, csDestroying, csDesigning };
SIB_ENUM_NAMES(TComponentStateFlag, csLoading, csReading, csWriting, csDestroying, csDesigning)
using TComponentState = TSet<TComponentStateFlag>;

enum TOperation : std::uint8_t { opInsert, opRemove };
SIB_ENUM_NAMES(TOperation, opInsert, opRemove)

// Destroys a component as its owner would: BeforeDestruction, then the destructor. A component
// that has an owner leaves it first (the owner is told).
struct TComponentDeleter {
  void operator()(TComponent* component) const noexcept;
};

template <class T = TComponent>
using TComponentPtr = std::unique_ptr<T, TComponentDeleter>;

class TComponent : public TPersistent {
  SIB_CLASS(TComponent, TPersistent)
 public:
  // Inserts the component into `AOwner` (which then owns it). Create components with NewComponent
  // or MakeComponent so that AfterConstruction runs.
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  static TPropertyList PublishedProperties();

  TComponent* Owner() const { return owner_; }
  TPersistent* GetOwner() override { return owner_; }

  const std::string& Name() const { return name_; }
  // Raises EComponentError for a name that is not an identifier ("'%s' is not a valid component
  // name") or that another component of the owner bears ("A component named %s already exists";
  // names compare without regard to case). The empty name is always allowed.
  virtual void SetName(const std::string& NewName);
  std::int64_t Tag() const { return tag_; }
  void SetTag(std::int64_t value) { tag_ = value; }

  // Where a designer placed a component that is not a control, stored as "Left" and "Top". Only
  // kept and saved again; nothing at run time depends on it.
  struct TDesignInfo {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
  };
  TDesignInfo DesignInfo() const { return designInfo_; }
  void SetDesignInfo(TDesignInfo Value) { designInfo_ = Value; }
  void DefineProperties(TFiler& Filer) override;

  TComponentState ComponentState() const { return state_; }
  // Marks the component, and with `SetChildren` what it owns, as being designed (or not).
  void SetDesigning(bool Value, bool SetChildren = true);

  // Owned components, in the order they were inserted.
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int Index) const;
  // The position in the owner's list, -1 without owner.
  int ComponentIndex() const;
  // The owned component of that name (case-insensitive), or nullptr. The empty name finds nothing.
  TComponent* FindComponent(std::string_view AName) const;
  // Takes over ownership of `AComponent` (which must have no owner) / gives it up (the caller then
  // owns it, e.g. through a TComponentPtr). Both tell the owned components (Notification).
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);

  // Asks to be told (Notification with opRemove) when `AComponent` is destroyed, and tells it the same
  // way when this one is. RemoveFreeNotification undoes it.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  // Runs after construction has completed (NewComponent, MakeComponent, the loader).
  virtual void AfterConstruction() {}
  // Runs before the destructor, while the whole object still exists; marks it csDestroying. Must
  // not throw. Overrides call the inherited version.
  virtual void BeforeDestruction();
  // Runs after a description has been loaded into the component, in creation order; the base
  // clears csLoading. Overrides call the inherited version first.
  virtual void Loaded();
  // `AComponent` was inserted into or removed from this component's owner tree, or a component this
  // one asked about (FreeNotification) is being destroyed. The base forwards the news to every
  // owned component; overrides drop their references to a removed component and call the inherited
  // version.
  virtual void Notification(TComponent* AComponent, TOperation Operation);

  // The tree a description nests objects in. The parent of a component is the object its
  // description is nested in; components without parents stand directly under the root.
  virtual TComponent* GetParentComponent() const { return nullptr; }
  // Called by the loader with the object the component's description is nested in (the root for the
  // top level). The base ignores it.
  virtual void SetParentComponent(TComponent* /*Value*/) {}
  // Calls `Proc` for each component whose description is nested in this one's, in order. The base
  // lists the root's owned components whose parent is this component (for the root, also those
  // without a parent).
  virtual void GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root);

  // True for classes that form a root of their own (forms, data modules, frames) even with an owner.
  virtual bool IsRootClass() const { return false; }
  // True for an application object: every component it owns is a root of its own.
  virtual bool HoldsRoots() const { return false; }
  // The component whose description holds this one: itself when it has no owner, when it is of a
  // root class or when its owner holds roots; otherwise its owner's root.
  TComponent* GetRootComponent();

  // Sets or clears a state flag. For the loader and writer (csLoading, csReading, csWriting) and for
  // tests; csDestroying and csDesigning have their own operations.
  void SetStateFlag(TComponentStateFlag Flag, bool On);

 protected:
  // Sets csDestroying on this component and everything it owns.
  void Destroying();

 private:
  friend bool RegisterGlobalRoot(TComponent* root);
  friend void UnregisterGlobalRoot(TComponent* root);

  void SetReference(bool Enable);
  void DestroyComponents();
  void RemoveFreeNotifications();
  void ValidateRename(TComponent* AComponent, const std::string& CurName, const std::string& NewName) const;

  TComponent* owner_ = nullptr;
  std::string name_;
  std::int64_t tag_ = 0;
  TDesignInfo designInfo_;
  TComponentState state_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  bool globalRoot_ = false;
};

// Destroys a component now (its owner, if any, lets it go first).
void FreeComponent(TComponent* component);

// Creates a T owned by `owner` and runs AfterConstruction; the owner destroys it. The pointer
// returned is not an owner. If construction or AfterConstruction throws, nothing is left behind.
template <class T, class... Args>
T* NewComponent(TComponent& owner, Args&&... args) {
  TComponentPtr<T> created(new T(&owner, std::forward<Args>(args)...));
  created->AfterConstruction();
  return created.release();
}

// Creates a T without owner and runs AfterConstruction; the returned pointer owns it.
template <class T, class... Args>
TComponentPtr<T> MakeComponent(Args&&... args) {
  TComponentPtr<T> created(new T(nullptr, std::forward<Args>(args)...));
  created->AfterConstruction();
  return created;
}

// Creates a component of a registered class through its factory (without AfterConstruction: the
// caller runs it). Raises EInvalidOperation when the class cannot create components.
TComponentPtr<> CreateComponentOfClass(const TClassInfo& componentClass, TComponent* owner);

// Roots that loaded a description, by name: how references to other roots are resolved and how a
// loaded root finds a free name. A root is removed when it is destroyed.
// RegisterGlobalRoot answers false when the root was registered already.
bool RegisterGlobalRoot(TComponent* root);
void UnregisterGlobalRoot(TComponent* root);
TComponent* FindGlobalComponent(std::string_view name);

// True for a valid component name: a letter or underscore, then letters, digits and underscores.
bool IsValidIdent(std::string_view name);

}  // namespace sib
