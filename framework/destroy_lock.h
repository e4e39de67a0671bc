// The destroy lock that keeps a pin alive while an operation passes through it. Uses (`Lock`) are
// refused once destruction has begun; `DestroyLock` waits until every use in progress has ended.
// The counters change by atomic operations only.
#pragma once

#include <atomic>
#include <cstdint>

#include "framework/lock.h"

namespace sib {

class IOWDestroyLockSection : public IInterface {
 public:
  static constexpr TGUID IID = "{913E5C19-E2E0-4937-8435-3A8838AE90C4}"_guid;
};

using DestroyLockSection = RefPtr<IOWDestroyLockSection>;

class TOWDestroyLock;

class IOWDestroyLock : public IInterface {
 public:
  static constexpr TGUID IID = "{941BEB02-70F3-4FC6-ACAA-0754D6CB8A0A}"_guid;

  // A use; empty when the object is going away (the caller must skip its work).
  virtual DestroyLockSection Lock() = 0;
  // Marks the object as going away and returns once every earlier use has ended.
  virtual DestroyLockSection DestroyLock() = 0;
  // Lifts pending destroy requests until the section ends, to let one more delivery through.
  virtual DestroyLockSection DestroyUnlockLock() = 0;
  virtual TOWDestroyLock* Instance() = 0;
};

class TOWDestroyLock : public Implements<IOWDestroyLock> {
 public:
  // `AOwnerLock` is the protected object's own lock; DestroyLock gives up the calling thread's holds on
  // it while waiting, so that threads inside a use can finish. It may be null.
  explicit TOWDestroyLock(IOWLock* AOwnerLock) : FOwnerLock(AOwnerLock) {}

  DestroyLockSection Lock() override;
  DestroyLockSection DestroyLock() override;
  DestroyLockSection DestroyUnlockLock() override;
  TOWDestroyLock* Instance() override { return this; }

  bool Destroying() const { return FDestroying.load(std::memory_order_acquire) != 0; }

 private:
  friend class TOWDestroyLockSection;
  friend class TOWDestroyLockLockSection;
  friend class TOWDestroyLockUnlockSection;

  std::atomic<std::int32_t> FLockCounter{0};
  std::atomic<std::int32_t> FDestroying{0};
  IOWLock* FOwnerLock;
};

// Ends a use.
class TOWDestroyLockSection : public Implements<IOWDestroyLockSection>, public Recycled<TOWDestroyLockSection> {
 public:
  explicit TOWDestroyLockSection(TOWDestroyLock* ALock) : FLock(ALock) {}
  ~TOWDestroyLockSection() override { FLock->Instance()->FLockCounter.fetch_sub(1, std::memory_order_acq_rel); }

 private:
  RefPtr<IOWDestroyLock> FLock;
};

// Ends a destroy request.
class TOWDestroyLockLockSection : public Implements<IOWDestroyLockSection> {
 public:
  explicit TOWDestroyLockLockSection(TOWDestroyLock* ALock) : FLock(ALock), FKeep(ALock) {}
  ~TOWDestroyLockLockSection() override { FLock->FDestroying.fetch_sub(1, std::memory_order_acq_rel); }

 private:
  TOWDestroyLock* FLock;
  RefPtr<IOWDestroyLock> FKeep;
};

// Gives back the destroy requests it lifted.
class TOWDestroyLockUnlockSection : public Implements<IOWDestroyLockSection> {
 public:
  TOWDestroyLockUnlockSection(TOWDestroyLock* ALock, std::int32_t ACount) : FLock(ALock), FCount(ACount), FKeep(ALock) {}
  ~TOWDestroyLockUnlockSection() override { FLock->FDestroying.fetch_add(FCount, std::memory_order_acq_rel); }

 private:
  TOWDestroyLock* FLock;
  std::int32_t FCount;
  RefPtr<IOWDestroyLock> FKeep;
};

}  // namespace sib
