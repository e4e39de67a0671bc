// The bases under every pin: TOWObject (a pin-framework object with a lock of its own), TOWPinObject
// (an object that hears when a pin goes or is replaced) and TOWPinStreams (adds stream interfaces to a
// pin class).
#pragma once

#include <cstdint>

#include "framework/lock.h"
#include "framework/pin_owner.h"
#include "framework/sync.h"
#include "platform/core/interface.h"

namespace sib {

class TOWBasicPin;

// The base of every pin-framework object: a lock of its own.
class TOWObject : public TOWPersistentBase {
  SIB_CLASS(TOWObject, TPersistent)
 public:
  TOWObject();
  ~TOWObject() override;

  // Always granted: nothing takes a stop section on a pin-framework object's own lock (stops are taken
  // on the component lock), so the sections of pins, dispatchers and pin lists never come back empty.
  virtual LockSection ReadLock();
  virtual LockSection WriteLock();
  virtual LockSection UnlockAll();
  TOWLock* IntLock() const { return FIntLock.get(); }

 protected:
  RefPtr<TOWLock> FIntLock;
  TOWCriticalSection FIntLockSection;
};

class TOWPinObject : public TOWObject {
  SIB_CLASS(TOWPinObject, TOWObject)
 public:
  // A pin is being destroyed: drop every reference to it.
  virtual void PinRemoved(TOWBasicPin* APin);
  // Replace every reference to AOldPin with ANewPin.
  virtual void PinReplaced(TOWBasicPin* AOldPin, TOWBasicPin* ANewPin);
};

// Adds stream interfaces to a pin class. Pins answer the query for each added interface and for the
// interfaces it extends; `Base` answers the rest.
template <class Base, class... Streams>
class TOWPinStreams : public Base, public Streams... {
 public:
  using Base::Base;
  IInterface* QueryInterface(const TGUID& iid) override { return Base::QueryInterface(iid); }
  std::int32_t AddRef() override { return 1; }
  std::int32_t Release() override { return 1; }

 protected:
  IInterface* FindInterface(const TGUID& iid) override {
    IInterface* found = nullptr;
    ((found = found ? found : FindIn<Streams>(static_cast<Streams*>(this), iid)), ...);
    return found ? found : Base::FindInterface(iid);
  }

 private:
  // Walks I and the interfaces it extends, through I's own chain so that interfaces sharing a parent
  // do not make the cast ambiguous.
  template <class I>
  static IInterface* FindIn(I* self, const TGUID& iid) {
    if (iid == I::IID) return self;
    if constexpr (requires { typename I::Parent; }) return FindIn<typename I::Parent>(self, iid);
    return nullptr;
  }
};

}  // namespace sib
