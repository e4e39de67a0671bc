#include "framework/destroy_lock.h"

#include <gtest/gtest.h>

#include <thread>

namespace sib {
namespace {

TEST(DestroyLockTest, UsesAreRefusedOnceDestructionBegins) {
  auto lock = makeRef<TOWDestroyLock>(nullptr);
  EXPECT_TRUE(lock->Lock());
  DestroyLockSection destroying = lock->DestroyLock();
  EXPECT_FALSE(lock->Lock());
  {
    DestroyLockSection lifted = lock->DestroyUnlockLock();
    EXPECT_TRUE(lock->Lock()) << "one more delivery passes while the request is lifted";
  }
  EXPECT_FALSE(lock->Lock());
  destroying.reset();
  EXPECT_TRUE(lock->Lock());
}

TEST(DestroyLockTest, DestroyLockWaitsForEveryEarlierUseToEnd) {
  auto ownLock = makeRef<TOWLock>();
  auto lock = makeRef<TOWDestroyLock>(ownLock.get());
  TOWEvent inUse(true, false), finishUse(true, false), destroyed(true, false);

  std::thread user([&] {
    DestroyLockSection use = lock->Lock();
    ASSERT_TRUE(use);
    inUse.Signal();
    finishUse.WaitFor(kInfinite);
    // A use may need the protected object's lock, which the destroying thread held.
    LockSection s = ownLock->WriteLock();
    EXPECT_TRUE(s);
  });
  ASSERT_TRUE(inUse.WaitFor(kInfinite));

  std::thread destroyer([&] {
    LockSection held = ownLock->WriteLock();
    DestroyLockSection d = lock->DestroyLock();
    destroyed.Signal();
    EXPECT_EQ(ownLock->HoldsOfCurrentThread(), 1) << "the holds come back after the wait";
  });
  while (!lock->Destroying()) std::this_thread::yield();
  EXPECT_FALSE(lock->Lock());
  EXPECT_FALSE(destroyed.WaitFor(100));
  finishUse.Signal();
  EXPECT_TRUE(destroyed.WaitFor(kInfinite));
  user.join();
  destroyer.join();
}

TEST(DestroyLockTest, ConcurrentUsesAndDestroyBalanceTheCounters) {
  auto lock = makeRef<TOWDestroyLock>(nullptr);
  std::atomic<bool> stop{false};
  std::atomic<int> usesAfterDestroy{0};
  std::atomic<bool> destroyed{false};
  std::thread users[2];
  for (auto& t : users)
    t = std::thread([&] {
      while (!stop.load()) {
        if (DestroyLockSection use = lock->Lock()) {
          if (destroyed.load()) usesAfterDestroy.fetch_add(1);
        }
      }
    });
  for (int round = 0; round < 2000; ++round) {
    DestroyLockSection d = lock->DestroyLock();
    destroyed.store(true);
    destroyed.store(false);
  }
  stop.store(true);
  for (auto& t : users) t.join();
  EXPECT_EQ(usesAfterDestroy.load(), 0);
  EXPECT_FALSE(lock->Destroying());
}

}  // namespace
}  // namespace sib
