#include "framework/destroy_lock.h"

#include <thread>

namespace sib {

DestroyLockSection TOWDestroyLock::Lock() {
  FLockCounter.fetch_add(1, std::memory_order_acq_rel);
  if (FDestroying.load(std::memory_order_acquire) != 0) {
    FLockCounter.fetch_sub(1, std::memory_order_acq_rel);
    return {};
  }
  return makeRef<TOWDestroyLockSection>(this);
}

DestroyLockSection TOWDestroyLock::DestroyLock() {
  FDestroying.fetch_add(1, std::memory_order_acq_rel);
  {
    LockSection unlocked;
    if (FOwnerLock) unlocked = FOwnerLock->UnlockAll();
    while (FLockCounter.load(std::memory_order_acquire) != 0) std::this_thread::yield();
  }
  return makeRef<TOWDestroyLockLockSection>(this);
}

DestroyLockSection TOWDestroyLock::DestroyUnlockLock() {
  const std::int32_t lifted = FDestroying.exchange(0, std::memory_order_acq_rel);
  return makeRef<TOWDestroyLockUnlockSection>(this, lifted);
}

}  // namespace sib
