#include "signal/notify_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "framework/sync.h"
#include "platform/components/component.h"

namespace sib {
namespace {

TEST(NotifyThreadTest, EveryNotifyYieldsOneCallbackOnTheNotifyThread) {
  constexpr int kSignals = 5;
  std::atomic<int> calls{0};
  std::atomic<bool> onCaller{false};
  TOWEvent allDone(true, false);
  const auto caller = std::this_thread::get_id();
  auto thread = TSLNotifyThread::Create(nullptr, TSLNotifyThreadEvent([&](TSLNotifyThread*) {
    if (std::this_thread::get_id() == caller) onCaller = true;
    if (++calls == kSignals) allDone.Signal();
  }));
  for (int i = 0; i < kSignals; ++i) thread->Notify();

  ASSERT_TRUE(allDone.WaitFor(10000));
  thread.reset();
  EXPECT_EQ(calls, kSignals);
  EXPECT_FALSE(onCaller);
}

TEST(NotifyThreadTest, TheCallbackGetsTheThreadAsSender) {
  TSLNotifyThread* sender = nullptr;
  TOWEvent called(true, false);
  auto thread = TSLNotifyThread::Create(nullptr, TSLNotifyThreadEvent([&](TSLNotifyThread* ASender) {
    sender = ASender;
    called.Signal();
  }));
  thread->Notify();
  ASSERT_TRUE(called.WaitFor(10000));
  EXPECT_EQ(sender, thread.get());
}

// Terminated from its own callback, the thread does not wait for itself; the signals that come after
// are dropped, and freeing it joins it.
TEST(NotifyThreadTest, TerminateFromTheCallbackEndsTheThreadWithoutDeadlock) {
  std::atomic<int> calls{0};
  TOWEvent called(true, false);
  auto thread = TSLNotifyThread::Create(nullptr, TSLNotifyThreadEvent([&](TSLNotifyThread* Sender) {
    ++calls;
    Sender->Terminate();
    called.Signal();
  }));
  thread->Notify();
  ASSERT_TRUE(called.WaitFor(10000));
  thread->Notify();
  thread->Notify();
  thread.reset();
  EXPECT_EQ(calls, 1);
}

TEST(NotifyThreadTest, TheThreadIsNamedAfterItsOwner) {
  TComponent owner(nullptr);
  owner.SetName("out1");
  auto thread = TSLNotifyThread::Create(&owner, TSLNotifyThreadEvent());
  EXPECT_EQ(thread->ThreadName(), "out1.TSLNotifyThread");
}

}  // namespace
}  // namespace sib
