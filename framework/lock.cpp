#include "framework/lock.h"

#include <mutex>

namespace sib {
namespace {

constexpr std::uint32_t kLastRetryMs = 20;
constexpr std::uint32_t kStopRetryMs = 1000;

}  // namespace

LockSection TOWLock::ReadLock() {
  auto section = makeRef<TOWSimpleReadLockSection>(this, nullptr);
  if (!section->Locked()) return {};
  return section;
}

LockSection TOWLock::WriteLock() {
  auto section = makeRef<TOWSimpleWriteLockSection>(this, nullptr);
  if (!section->Locked()) return {};
  return section;
}

LockSection TOWLock::StopLock() { return makeRef<TOWSimpleStopLockSection>(this); }

LockSection TOWLock::UnlockAll() { return makeRef<TOWSimpleUnlockSection>(this); }

std::int32_t TOWLock::HoldsOfCurrentThread() {
  std::lock_guard guard(FIntLockSection);
  return IsOwnerLocked() ? FCountLocks + FCountStopLocksOwner : 0;
}

bool TOWLock::StopPending() {
  std::lock_guard guard(FIntLockSection);
  return FInStopCount > 0;
}

bool TOWLock::TryAcquireLocked(std::uint32_t timeoutMs) {
  if (IsOwnerLocked() && FCountLocks > 0) {
    ++FCountLocks;
    return true;
  }
  if (FInStopCount > 0) return false;
  if (!FLockMutex.TryAcquire()) {
    FIntLockSection.Leave();
    const bool acquired = FLockMutex.Acquire(timeoutMs);
    FIntLockSection.Enter();
    if (!acquired) return false;
  }
  FOwningThread = std::this_thread::get_id();
  ++FCountLocks;
  return true;
}

void TOWLock::ReleaseIfFreeLocked() {
  if (FCountLocks == 0 && FCountStopLocksOwner == 0) {
    FOwningThread = {};
    FLockMutex.Release();
  }
}

bool TOWLock::EnterSection(IOWLock* slaveLock, LockSection& unlockSection) {
  std::uint32_t wait = 1;
  for (;;) {
    {
      std::lock_guard guard(FIntLockSection);
      if (TryAcquireLocked(wait)) return true;
      if (FInStopCount > 0) {
        if (IsOwnerLocked()) ++FCountStopLocksOwner;
        else ++FCountStopLocks;
        return false;
      }
    }
    if (wait < kLastRetryMs) ++wait;
    else if (slaveLock && !unlockSection) unlockSection = slaveLock->UnlockAll();
  }
}

void TOWLock::EndHoldLocked(bool ownSection) {
  if (!IsOwnerLocked()) {
    if (FCountStopLocks > 0) --FCountStopLocks;
    return;
  }
  // A section that holds the lock never takes away another thread's let-through count: doing so
  // would leave the mutex held by a thread that has no sections any more.
  if (FCountStopLocksOwner > 0) --FCountStopLocksOwner;
  else if (!ownSection && FCountStopLocks > 0) --FCountStopLocks;
  else if (FCountLocks > 0) --FCountLocks;
  else return;
  ReleaseIfFreeLocked();
}

void TOWLock::LeaveSection(bool locked) {
  std::lock_guard guard(FIntLockSection);
  EndHoldLocked(locked);
}

TOWSimpleReadLockSection::TOWSimpleReadLockSection(TOWLock* AOwner, IOWLock* ASlaveLock)
    : FOwnerIntf(AOwner), FOwner(AOwner) {
  FLocked = FOwner->EnterSection(ASlaveLock, FUnlockSection);
}

TOWSimpleReadLockSection::~TOWSimpleReadLockSection() {
  FOwner->LeaveSection(FLocked);
  FUnlockSection.reset();
}

TOWSimpleWriteLockSection::TOWSimpleWriteLockSection(TOWLock* AOwner, IOWLock* ASlaveLock)
    : TOWSimpleLockSection(AOwner) {
  FLocked = FOwner->EnterSection(ASlaveLock, FUnlockSection);
}

TOWSimpleWriteLockSection::~TOWSimpleWriteLockSection() {
  FOwner->LeaveSection(FLocked);
  FUnlockSection.reset();
}

TOWSimpleStopLockSection::TOWSimpleStopLockSection(TOWLock* AOwner) : TOWSimpleLockSection(AOwner) {
  std::unique_lock guard(FOwner->FIntLockSection);
  ++FOwner->FInStopCount;
  if (FOwner->IsOwnerLocked() && FOwner->FCountLocks > 0) {
    ++FOwner->FCountLocks;
    return;
  }
  guard.unlock();
  while (!FOwner->FLockMutex.Acquire(kStopRetryMs)) {
  }
  guard.lock();
  FOwner->FOwningThread = std::this_thread::get_id();
  ++FOwner->FCountLocks;
}

TOWSimpleStopLockSection::~TOWSimpleStopLockSection() {
  std::lock_guard guard(FOwner->FIntLockSection);
  --FOwner->FInStopCount;
  FOwner->EndHoldLocked(true);
}

TOWSimpleUnlockSection::TOWSimpleUnlockSection(TOWLock* AOwner) : TOWSimpleLockSection(AOwner) {
  std::lock_guard guard(FOwner->FIntLockSection);
  TOWLock& lock = *FOwner;
  if (lock.FOwningThread != std::thread::id{} && !lock.IsOwnerLocked()) return;
  FCountLocks = lock.FCountLocks + lock.FCountStopLocksOwner;
  FCountOtherLocks = lock.FCountStopLocks;
  if (FCountLocks > 0 && lock.FCountLocks > 0) lock.FLockMutex.Release();
  lock.FCountLocks = 0;
  lock.FCountStopLocks = 0;
  lock.FCountStopLocksOwner = 0;
  lock.FOwningThread = {};
}

TOWSimpleUnlockSection::~TOWSimpleUnlockSection() {
  if (FCountLocks == 0 && FCountOtherLocks == 0) return;
  TOWLock& lock = *FOwner;
  for (;;) {
    std::lock_guard guard(lock.FIntLockSection);
    if (lock.TryAcquireLocked(1)) {
      lock.FCountLocks += FCountLocks - 1;
      lock.FCountStopLocks += FCountOtherLocks;
      // With only other threads' counts to give back, the mutex taken for this is not kept.
      lock.ReleaseIfFreeLocked();
      return;
    }
    if (lock.FInStopCount > 0) {
      if (lock.IsOwnerLocked()) {
        lock.FCountStopLocksOwner += FCountLocks;
        lock.FCountStopLocks += FCountOtherLocks;
      } else {
        lock.FCountStopLocks += FCountLocks;
        if (FCountLocks == 0) lock.FCountStopLocks += FCountOtherLocks;
      }
      return;
    }
  }
}

}  // namespace sib
