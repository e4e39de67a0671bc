#include "framework/lp_component.h"

#include "framework/lp_collection.h"

namespace sib {
namespace {

constexpr const char* kNoLockMessage = "Calling TLPPersistent.Create without lock!";

// Pins belong to their component and are linked, never copied. Their base class lives in a layer
// above this one, so it is recognised by name.
bool IsPinFrameworkObject(const TObject& object) {
  for (const TClassInfo* c = &object.ClassType(); c; c = c->ClassParent()) {
    if (c->ClassName() == "TOWObject") return true;
  }
  return false;
}

ILPLock& RequireOwnerLock(TPersistent* AOwner) {
  ILPLock* lock = OwnerLockOf(AOwner);
  if (!lock) throw Exception(kNoLockMessage);
  return *lock;
}

void CopyObjectProperty(const TPropInfo& destProp, TObject* Dest, const TPropInfo& sourceProp, TObject* Source) {
  auto* target = dynamic_cast<TPersistent*>(destProp.GetObject(Dest));
  auto* from = dynamic_cast<TPersistent*>(sourceProp.GetObject(Source));
  if (!target || !from) return;
  if (dynamic_cast<TComponent*>(target) || IsPinFrameworkObject(*target)) return;
  target->Assign(from);
}

}  // namespace

void CopyPublishedProperties(TObject* Dest, TObject* Source, bool SkipName) {
  if (!Dest || !Source) return;
  const TClassInfo& sourceClass = Source->ClassType();
  for (const TPropInfo* destProp : Dest->ClassType().Properties()) {
    if (SkipName && class_detail::sameText(destProp->Name(), "Name")) continue;
    if (!destProp->IsStored(Dest)) continue;
    const TPropInfo* sourceProp = sourceClass.FindProperty(destProp->Name());
    if (!sourceProp || sourceProp->Kind() != destProp->Kind()) continue;
    switch (destProp->Kind()) {
      case tkInteger:
      case tkEnumeration:
      case tkSet:
        if (destProp->IsWritable()) destProp->SetOrd(Dest, sourceProp->GetOrd(Source));
        break;
      case tkFloat:
        if (destProp->IsWritable()) destProp->SetFloat(Dest, sourceProp->GetFloat(Source));
        break;
      case tkString:
        if (destProp->IsWritable()) destProp->SetString(Dest, sourceProp->GetString(Source));
        break;
      case tkClass:
        CopyObjectProperty(*destProp, Dest, *sourceProp, Source);
        break;
      case tkMethod:
        break;
    }
  }
}

ILPLock* OwnerLockOf(TPersistent* AOwner) {
  if (auto* component = dynamic_cast<TLPComponent*>(AOwner)) return component->Lock().get();
  if (auto* persistent = dynamic_cast<TLPPersistent*>(AOwner)) return persistent->Lock().get();
  if (auto* item = dynamic_cast<TLPCollectionItem*>(AOwner)) return item->Lock().get();
  return nullptr;
}

// --- TLPComponent ---------------------------------------------------------------------------------

TLPComponent::TLPComponent(TComponent* AOwner)
    : TComponent(AOwner), FLock(TLPLock::Create(TLPPropUpdateFunc(this, &TLPComponent::PropertyChanged))) {}

void TLPComponent::AfterConstruction() {
  TComponent::AfterConstruction();
  if (ComponentState().Contains(csDesigning) || ComponentState().Contains(csLoading)) return;
  for (TComponent* owner = Owner(); owner; owner = owner->Owner()) {
    if (owner->ComponentState().Contains(csLoading)) return;
  }
  ComponentReady();
}

void TLPComponent::Loaded() {
  TComponent::Loaded();
  if (!ComponentState().Contains(csDesigning)) ComponentReady();
}

void TLPComponent::Assign(TPersistent* ASource) {
  LockSection section = FLock->WriteLock();
  if (!section) return;
  if (auto* source = dynamic_cast<TLPComponent*>(ASource))
    CopyPublishedProperties(this, source, true);
  else
    TComponent::Assign(ASource);
}

void TLPComponent::DefineProperties(TFiler& Filer) {
  TComponent::DefineProperties(Filer);
  DefineFloatsProperty(Filer, this);
}

// --- TLPPersistent --------------------------------------------------------------------------------

TLPPersistent::TLPPersistent() { throw Exception(kNoLockMessage); }

TLPPersistent::TLPPersistent(TPersistent* AOwner) : TLPPersistent(AOwner, RequireOwnerLock(AOwner)) {}

TLPPersistent::TLPPersistent(TPersistent* AOwnerProperty, ILPLock& ALock)
    : FLock(TLPLock::CreateCopy(ALock, TLPPropUpdateFunc(this, &TLPPersistent::PropertyChanged))),
      FOwnerProperty(AOwnerProperty) {}

void TLPPersistent::Assign(TPersistent* ASource) {
  LockSection section = FLock->WriteLock();
  if (!section) return;
  if (auto* source = dynamic_cast<TLPPersistent*>(ASource))
    CopyPublishedProperties(this, source, false);
  else
    TPersistent::Assign(ASource);
}

void TLPPersistent::DefineProperties(TFiler& Filer) {
  TPersistent::DefineProperties(Filer);
  DefineFloatsProperty(Filer, this);
}

}  // namespace sib
