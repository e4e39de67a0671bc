// The re-entrant component lock and the sections through which it is held.
//
// A section is held for as long as a reference to it lives; the last release ends it. ReadLock and
// WriteLock behave alike (there is no shared mode). While any thread asks for or holds a stop section,
// other threads' ReadLock/WriteLock return no section at once, so that a component can be stopped
// while its worker is blocked on it. A caller that gets no section does nothing: every component
// operation returns at once then, and the few that go on say in one line why that is safe there. A
// read or write section built with a secondary lock gives up the calling thread's holds on that lock
// after 20 failed tries, until the section ends, so that a pin's lock and its component's lock cannot
// deadlock.
#pragma once

#include <cstdint>
#include <thread>

#include "framework/sync.h"
#include "platform/core/interface.h"
#include "platform/core/recycled.h"

namespace sib {

class TOWLock;

class IOWLockSection : public IInterface {
 public:
  static constexpr TGUID IID = "{01621A5C-9936-4BEB-BF6F-5D6754E65786}"_guid;
};

using LockSection = RefPtr<IOWLockSection>;

class IOWLock : public IInterface {
 public:
  static constexpr TGUID IID = "{66C8D1BF-FA12-48E8-B0C9-60A652FA80D9}"_guid;

  // Empty when the lock was not granted (another thread is stopping): the caller then does nothing.
  virtual LockSection ReadLock() = 0;
  virtual LockSection WriteLock() = 0;
  // Waits without limit; held until released.
  virtual LockSection StopLock() = 0;
  // Gives up every hold of the calling thread until the section ends, which takes them back.
  virtual LockSection UnlockAll() = 0;
  virtual TOWLock* Instance() = 0;
};

class TOWLock : public Implements<IOWLock> {
 public:
  LockSection ReadLock() override;
  LockSection WriteLock() override;
  LockSection StopLock() override;
  LockSection UnlockAll() override;
  TOWLock* Instance() override { return this; }

  // For tests and diagnostics: the holds of the calling thread (0 when another thread owns the lock).
  std::int32_t HoldsOfCurrentThread();
  bool StopPending();

 private:
  friend class TOWSimpleReadLockSection;
  friend class TOWSimpleWriteLockSection;
  friend class TOWSimpleStopLockSection;
  friend class TOWSimpleUnlockSection;

  // The common body of read and write sections. Returns whether the lock was granted; stores in
  // `unlockSection` the secondary lock's unlock-all section if one was taken.
  bool EnterSection(IOWLock* slaveLock, LockSection& unlockSection);
  void LeaveSection(bool locked);

  bool IsOwnerLocked() const { return FOwningThread == std::this_thread::get_id(); }
  // Called and returns with FIntLockSection held; leaves it while waiting for the mutex.
  bool TryAcquireLocked(std::uint32_t timeoutMs);
  // Called with FIntLockSection held. Ends one hold of the calling thread; `ownSection` is false for a
  // section that was let through during a stop.
  void EndHoldLocked(bool ownSection);
  void ReleaseIfFreeLocked();

  TOWCriticalSection FIntLockSection;
  std::int32_t FCountStopLocks = 0;
  std::int32_t FCountStopLocksOwner = 0;
  std::int32_t FCountLocks = 0;
  std::int32_t FInStopCount = 0;
  std::thread::id FOwningThread;
  TOWMutex FLockMutex;
};

class TOWLockSection : public Implements<IOWLockSection> {};

// Read and write sections: acquire on construction (or are let through during a stop), end on
// destruction. `ASlaveLock` is the secondary lock given up after 20 failed tries; it may be null.
class TOWSimpleReadLockSection : public TOWLockSection, public Recycled<TOWSimpleReadLockSection> {
 public:
  TOWSimpleReadLockSection(TOWLock* AOwner, IOWLock* ASlaveLock);
  ~TOWSimpleReadLockSection() override;
  bool Locked() const { return FLocked; }

 private:
  RefPtr<IOWLock> FOwnerIntf;
  TOWLock* FOwner;
  LockSection FUnlockSection;
  bool FLocked = false;
};

class TOWSimpleLockSection : public TOWLockSection {
 public:
  explicit TOWSimpleLockSection(TOWLock* AOwner) : FOwnerIntf(AOwner), FOwner(AOwner) {}

 protected:
  RefPtr<IOWLock> FOwnerIntf;
  TOWLock* FOwner;
};

class TOWSimpleWriteLockSection : public TOWSimpleLockSection, public Recycled<TOWSimpleWriteLockSection> {
 public:
  TOWSimpleWriteLockSection(TOWLock* AOwner, IOWLock* ASlaveLock);
  ~TOWSimpleWriteLockSection() override;
  bool Locked() const { return FLocked; }

 private:
  LockSection FUnlockSection;
  bool FLocked = false;
};

class TOWSimpleStopLockSection : public TOWSimpleLockSection, public Recycled<TOWSimpleStopLockSection> {
 public:
  explicit TOWSimpleStopLockSection(TOWLock* AOwner);
  ~TOWSimpleStopLockSection() override;
};

class TOWSimpleUnlockSection : public TOWSimpleLockSection, public Recycled<TOWSimpleUnlockSection> {
 public:
  explicit TOWSimpleUnlockSection(TOWLock* AOwner);
  ~TOWSimpleUnlockSection() override;

 private:
  std::int32_t FCountLocks = 0;
  std::int32_t FCountOtherLocks = 0;
};

}  // namespace sib
