#include "signal/operation_list.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace sib {
namespace {

OperationRef start() { return newOperation<TOWStartOperation>(); }

TEST(OperationListTest, PopTakesItemsInTheOrderTheyWerePushed) {
  TSLOperationList list;
  const std::vector<OperationRef> items{start(), start(), start()};
  for (std::size_t i = 0; i < items.size(); ++i) EXPECT_EQ(list.Push(items[i]), static_cast<std::int32_t>(i + 1));

  for (const OperationRef& expected : items) EXPECT_EQ(list.Pop(), expected);
  EXPECT_EQ(list.ItemsCount(), 0);
}

TEST(OperationListTest, PopAndPeekOnAnEmptyListYieldNil) {
  TSLOperationList list;
  EXPECT_EQ(list.Pop(), nullptr);
  EXPECT_EQ(list.Peek(), nullptr);
}

TEST(OperationListTest, PushAsSingleItemLeavesOnlyTheNewItem) {
  TSLOperationList list;
  for (int i = 0; i < 3; ++i) list.Push(start());
  const OperationRef x = start();

  EXPECT_EQ(list.Push(x, true), 1);
  EXPECT_EQ(list.Pop(), x);
  EXPECT_EQ(list.Pop(), nullptr);
}

TEST(OperationListTest, PushBackMakesTheItemTheNextOut) {
  TSLOperationList list;
  const OperationRef a = start(), b = start(), urgent = start();
  list.Push(a);
  list.Push(b);

  EXPECT_EQ(list.PushBack(urgent), 3);
  EXPECT_EQ(list.Peek(), urgent);
  EXPECT_EQ(list.Pop(), urgent);
  EXPECT_EQ(list.Pop(), a);
  EXPECT_EQ(list.Pop(), b);
}

TEST(OperationListTest, ClearReleasesTheQueuedOperations) {
  TSLOperationList list;
  const OperationRef kept = start();
  list.Push(kept);
  list.Push(start());
  ASSERT_EQ(kept->Instance()->RefCount(), 2);

  list.Clear();
  EXPECT_EQ(list.ItemsCount(), 0);
  EXPECT_EQ(kept->Instance()->RefCount(), 1);
}

TEST(OperationListTest, UsesTheLockItIsGiven) {
  const RefPtr<IOWLock> lock(makeRef<TOWLock>());
  TSLOperationList list(lock);
  EXPECT_EQ(list.Lock(), lock.get());
}

// While another thread holds a stop section the lock grants none: every operation does nothing.
TEST(OperationListTest, DoesNothingWhileAStopIsPending) {
  const RefPtr<IOWLock> lock(makeRef<TOWLock>());
  TSLOperationList list(lock);
  const OperationRef queued = start();
  list.Push(queued);

  TOWEvent stopHeld(true, false), release(true, false);
  std::thread stopper([&] {
    const LockSection stop = lock->StopLock();
    stopHeld.Signal();
    release.WaitFor(kInfinite);
  });
  ASSERT_TRUE(stopHeld.WaitFor(10000));

  EXPECT_EQ(list.Push(start()), 0);
  EXPECT_EQ(list.PushBack(start()), 0);
  EXPECT_EQ(list.Pop(), nullptr);
  EXPECT_EQ(list.Peek(), nullptr);
  EXPECT_EQ(list.ItemsCount(), 0);
  list.Clear();

  release.Signal();
  stopper.join();
  EXPECT_EQ(list.ItemsCount(), 1);
  EXPECT_EQ(list.Pop(), queued);
}

}  // namespace
}  // namespace sib
