#include "framework/lock.h"

#include <gtest/gtest.h>

#include <thread>

namespace sib {
namespace {

// How long a negative check waits for something that must not happen.
constexpr std::uint32_t kMustNotHappenMs = 100;

RefPtr<TOWLock> newLock() { return makeRef<TOWLock>(); }

TEST(LockTest, NestedSectionsOfOneThreadReleaseTheMutexWithTheLast) {
  auto lock = newLock();
  TOWEvent got(true, false);
  {
    LockSection w1 = lock->WriteLock();
    LockSection w2 = lock->WriteLock();
    LockSection r1 = lock->ReadLock();
    ASSERT_TRUE(w1 && w2 && r1);
    EXPECT_EQ(lock->HoldsOfCurrentThread(), 3);

    std::thread other([&] {
      LockSection s = lock->WriteLock();
      EXPECT_TRUE(s);
      got.Signal();
    });
    w1.reset();
    w2.reset();
    EXPECT_EQ(lock->HoldsOfCurrentThread(), 1);
    EXPECT_FALSE(got.WaitFor(kMustNotHappenMs));
    r1.reset();
    EXPECT_EQ(lock->HoldsOfCurrentThread(), 0);
    EXPECT_TRUE(got.WaitFor(kInfinite));
    other.join();
  }
}

TEST(LockTest, WriteLockFromSecondThreadWaitsUntilReleased) {
  auto lock = newLock();
  TOWEvent asking(true, false), got(true, false);
  LockSection a = lock->WriteLock();
  std::thread b([&] {
    asking.Signal();
    LockSection s = lock->WriteLock();
    EXPECT_TRUE(s);
    EXPECT_EQ(lock->HoldsOfCurrentThread(), 1);
    got.Signal();
  });
  ASSERT_TRUE(asking.WaitFor(kInfinite));
  EXPECT_FALSE(got.WaitFor(kMustNotHappenMs));
  a.reset();
  EXPECT_TRUE(got.WaitFor(kInfinite));
  b.join();
}

TEST(LockTest, PendingStopLetsOtherThreadsThroughUnlocked) {
  auto lock = newLock();
  TOWEvent stopGranted(true, false), endStop(true, false), stopEnded(true, false);
  LockSection a = lock->WriteLock();

  std::thread b([&] {
    LockSection stop = lock->StopLock();
    stopGranted.Signal();
    endStop.WaitFor(kInfinite);
    stop.reset();
    stopEnded.Signal();
  });
  while (!lock->StopPending()) std::this_thread::yield();

  LockSection duringStop;
  std::thread c([&] { duringStop = lock->ReadLock(); });
  c.join();
  EXPECT_FALSE(duringStop) << "a read during a pending stop returns at once with no section";

  EXPECT_FALSE(stopGranted.WaitFor(kMustNotHappenMs));
  a.reset();
  ASSERT_TRUE(stopGranted.WaitFor(kInfinite));

  // While B holds the stop section, C still passes through; after B ends, C waits normally.
  TOWEvent cAsking(true, false), cGot(true, false);
  std::thread c2([&] {
    EXPECT_FALSE(lock->ReadLock());
    endStop.Signal();
    stopEnded.WaitFor(kInfinite);
    cAsking.Signal();
    LockSection s = lock->ReadLock();
    EXPECT_TRUE(s);
    cGot.Signal();
  });
  ASSERT_TRUE(cGot.WaitFor(kInfinite));
  c2.join();
  b.join();
  EXPECT_FALSE(lock->StopPending());
}

TEST(LockTest, StopSectionHolderMayNestOrdinarySections) {
  auto lock = newLock();
  LockSection stop = lock->StopLock();
  LockSection w = lock->WriteLock();
  EXPECT_TRUE(w);
  EXPECT_EQ(lock->HoldsOfCurrentThread(), 2);
  w.reset();
  stop.reset();
  EXPECT_EQ(lock->HoldsOfCurrentThread(), 0);
  EXPECT_TRUE(lock->WriteLock());
}

TEST(LockTest, UnlockAllLetsAnotherThreadInAndTakesTheHoldsBack) {
  auto lock = newLock();
  LockSection s1 = lock->WriteLock();
  LockSection s2 = lock->ReadLock();
  TOWEvent otherHolds(true, false), otherMayEnd(true, false);
  std::thread other;
  {
    LockSection unlocked = lock->UnlockAll();
    EXPECT_EQ(lock->HoldsOfCurrentThread(), 0);
    other = std::thread([&] {
      LockSection s = lock->WriteLock();
      EXPECT_TRUE(s);
      otherHolds.Signal();
      otherMayEnd.WaitFor(kInfinite);
    });
    ASSERT_TRUE(otherHolds.WaitFor(kInfinite));
    otherMayEnd.Signal();
  }  // taking the holds back waits for the other thread's section to end
  EXPECT_EQ(lock->HoldsOfCurrentThread(), 2);
  other.join();
  s2.reset();
  s1.reset();
  EXPECT_EQ(lock->HoldsOfCurrentThread(), 0);
}

TEST(LockTest, UnlockAllByAThreadWithoutHoldsTakesNothing) {
  auto lock = newLock();
  LockSection mine = lock->WriteLock();
  std::thread other([&] {
    LockSection unlocked = lock->UnlockAll();
    EXPECT_EQ(lock->HoldsOfCurrentThread(), 0);
  });
  other.join();
  EXPECT_EQ(lock->HoldsOfCurrentThread(), 1);
}

// The section of a pin: its own lock, with the component's lock as secondary lock.
LockSection pinSection(TOWLock* pinLock, IOWLock* componentLock) {
  return makeRef<TOWSimpleWriteLockSection>(pinLock, componentLock);
}

TEST(LockTest, WaitingForAPinGivesUpTheSecondaryLockUntilTheSectionEnds) {
  auto pin = newLock();
  auto component = newLock();
  TOWEvent aHoldsPin(true, false), bHoldsComponent(true, false);

  std::thread a([&] {
    LockSection p = pin->WriteLock();
    aHoldsPin.Signal();
    bHoldsComponent.WaitFor(kInfinite);
    LockSection c = component->WriteLock();  // blocked until B gives the component lock up
    EXPECT_TRUE(c);
  });

  std::thread b([&] {
    LockSection c = component->WriteLock();
    aHoldsPin.WaitFor(kInfinite);
    bHoldsComponent.Signal();
    {
      LockSection p = pinSection(pin.get(), component.get());
      EXPECT_EQ(pin->HoldsOfCurrentThread(), 1);
    }
    EXPECT_EQ(component->HoldsOfCurrentThread(), 1) << "the component lock is held again";
  });
  a.join();
  b.join();
}

TEST(SyncTest, EventWaitWithZeroTimeoutReturnsAtOnce) {
  TOWEvent manual(true, false);
  EXPECT_FALSE(manual.WaitFor(0));
  manual.Signal();
  EXPECT_TRUE(manual.WaitFor(0));
  EXPECT_TRUE(manual.WaitFor(0)) << "a manual-reset event stays signalled";

  TOWEvent automatic(false, true);
  EXPECT_TRUE(automatic.WaitFor(0));
  EXPECT_FALSE(automatic.WaitFor(0)) << "an auto-reset event is reset by the wait";
}

TEST(SyncTest, SemaphoreCountsUnitsUpToItsMaximum) {
  TOWSemaphore sem(1, 2);
  EXPECT_TRUE(sem.Increment(1));
  EXPECT_FALSE(sem.Increment(1));
  EXPECT_TRUE(sem.Decrement(0));
  EXPECT_TRUE(sem.Decrement(0));
  EXPECT_FALSE(sem.Decrement(0));

  std::thread producer([&] { sem.Increment(1); });
  EXPECT_TRUE(sem.Decrement(kInfinite));
  producer.join();
}

TEST(SyncTest, MutexIsRecursiveAndTimesOutForOthers) {
  TOWMutex m;
  ASSERT_TRUE(m.Acquire(0));
  ASSERT_TRUE(m.Acquire(0));
  std::thread other([&] { EXPECT_FALSE(m.Acquire(1)); });
  other.join();
  EXPECT_TRUE(m.Release());
  EXPECT_TRUE(m.Release());
  std::thread again([&] {
    EXPECT_TRUE(m.Acquire(kInfinite));
    m.Release();
  });
  again.join();
}

}  // namespace
}  // namespace sib
