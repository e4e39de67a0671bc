// The component base of every pipeline component (TLPComponent), the lock-sharing sub-object base
// (TLPPersistent) with the master-pumping settings built on it, and the copy of published
// properties that their Assign uses.
//
// A component owns one ILPLock; its sub-objects, collections and items each hold their own TLPLock
// over the same underlying lock, so that each runs its own PropertyChanged. A component becomes
// ready (ComponentReady) exactly once at run time: from AfterConstruction when it is created in code
// outside any loading, from Loaded when it was read from a stored description; never while designed.
//
// Components and persistent objects also store "_Floats": the names and values of their published
// floating-point properties (not dates or times) that are 0, which ordinary streaming leaves out.
#pragma once

#include <cstdint>

#include "framework/lp_lock.h"
#include "platform/components/component.h"

namespace sib {

class TLPCollectionItem;

class TLPComponent : public TComponent {
  SIB_CLASS(TLPComponent, TComponent)
 public:
  explicit TLPComponent(TComponent* AOwner);

  void AfterConstruction() override;
  void Loaded() override;
  // From another TLPComponent: its published, stored properties except "Name", events, pins and
  // components, under the write section. Otherwise the inherited behaviour.
  void Assign(TPersistent* ASource) override;
  void DefineProperties(TFiler& Filer) override;

  // The component's lock; pins and sub-objects take it as theirs.
  const RefPtr<ILPLock>& Lock() const { return FLock; }

  // Runs once when the component is ready (see above).
  virtual void ComponentReady() {}
  // The lock's notify callback: runs after every property change made through the lock's setters.
  virtual void PropertyChanged() {}

 protected:
  RefPtr<ILPLock> FLock;
};

class TLPPersistent : public TPersistent {
  SIB_CLASS(TLPPersistent, TPersistent)
 public:
  // A lock-sharing sub-object needs an owner that has a lock: this raises
  // Exception "Calling TLPPersistent.Create without lock!".
  TLPPersistent();
  // Shares the lock of `AOwner`, a TLPComponent, TLPPersistent or TLPCollectionItem; any other
  // owner (or none) has no lock to share and raises as above.
  explicit TLPPersistent(TPersistent* AOwner);
  // Shares `ALock`; `AOwnerProperty` is only the owner that GetOwner reports.
  TLPPersistent(TPersistent* AOwnerProperty, ILPLock& ALock);

  TPersistent* GetOwner() override { return FOwnerProperty; }
  // From another TLPPersistent: its published, stored properties, under the write section.
  void Assign(TPersistent* ASource) override;
  void DefineProperties(TFiler& Filer) override;

  const RefPtr<ILPLock>& Lock() const { return FLock; }
  virtual void PropertyChanged() {}

 protected:
  RefPtr<ILPLock> FLock;
  TPersistent* FOwnerProperty = nullptr;
};

// Whether an output claims to drive the pipeline, and with which priority. Read and written
// directly: no lock, no callback.
class TLPMasterPumping : public TLPPersistent {
  SIB_CLASS(TLPMasterPumping, TLPPersistent)
 public:
  using TLPPersistent::TLPPersistent;

  static TPropertyList PublishedProperties() {
    return {
        prop("Enabled", &TLPMasterPumping::FEnabled).defaultValue(false),
        prop("Priority", &TLPMasterPumping::FPriority).defaultValue(0),
    };
  }

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  std::int32_t Priority() const { return FPriority; }
  void SetPriority(std::int32_t Value) { FPriority = Value; }

 private:
  bool FEnabled = false;
  std::int32_t FPriority = 0;
};

// Copies the published properties of `Source` into `Dest` by name, in the order of Dest's class:
// numbers, enumerations, sets and strings when Dest's property is writable and of the same kind;
// objects by Assign when both are persistent objects and Dest's is neither a component nor a pin
// (pins and components are never copied). Skips events, properties declared not stored, and
// "Name" when `SkipName` is set.
void CopyPublishedProperties(TObject* Dest, TObject* Source, bool SkipName);

// The lock a lock-sharing object takes from its owner: that of a TLPComponent, TLPPersistent or
// TLPCollectionItem; nullptr for any other owner.
ILPLock* OwnerLockOf(TPersistent* AOwner);

// Declares "_Floats" for `Instance` on `Filer` (see above).
void DefineFloatsProperty(TFiler& Filer, TObject* Instance);

}  // namespace sib
