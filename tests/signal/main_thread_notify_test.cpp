#include "signal/main_thread_notify.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "framework/sync.h"
#include "platform/ui/application.h"

namespace sib {
namespace {

class MainThreadNotifyTest : public ::testing::Test {
 protected:
  // Records which notify object ran, and on which thread.
  TNotifyEvent Recorder() {
    return TNotifyEvent([this](TObject* Sender) {
      ran.push_back(Sender);
      ranOnMainThread = ranOnMainThread && app.IsMainThread();
    });
  }

  Application app;  // this test's thread is its main thread
  std::vector<TObject*> ran;
  bool ranOnMainThread = true;
};

TEST_F(MainThreadNotifyTest, NotifyOnTheMainThreadRunsBeforeReturning) {
  TSLMainThreadNotify notify(Recorder());
  notify.Notify(false);
  EXPECT_EQ(ran, std::vector<TObject*>{&notify});
}

TEST_F(MainThreadNotifyTest, ForcedPostOnTheMainThreadRunsLaterFromTheLoop) {
  TSLMainThreadNotify notify(Recorder());
  notify.Notify(true);
  EXPECT_TRUE(ran.empty());

  app.ProcessMessages();
  EXPECT_EQ(ran, std::vector<TObject*>{&notify});
}

TEST_F(MainThreadNotifyTest, NotifyFromAnotherThreadRunsOnTheMainThreadInPostingOrder) {
  TSLMainThreadNotify first(Recorder()), second(Recorder());
  std::thread worker([&] {
    first.Notify(false);
    second.Notify(false);
    first.Notify(false);
  });
  worker.join();
  EXPECT_TRUE(ran.empty());

  app.ProcessMessages();
  EXPECT_EQ(ran, (std::vector<TObject*>{&first, &second, &first}));
  EXPECT_TRUE(ranOnMainThread);
}

TEST_F(MainThreadNotifyTest, ANotifyFreedBeforeItsMessageIsHandledRunsNothing) {
  auto freed = std::make_unique<TSLMainThreadNotify>(Recorder());
  TSLMainThreadNotify kept(Recorder());
  freed->Notify(true);
  kept.Notify(true);
  freed.reset();

  app.ProcessMessages();
  EXPECT_EQ(ran, std::vector<TObject*>{&kept});
}

TEST_F(MainThreadNotifyTest, ANotifyFreedByItsOwnCallbackIgnoresItsLaterMessages) {
  std::unique_ptr<TSLMainThreadNotify> notify;
  int calls = 0;
  notify = std::make_unique<TSLMainThreadNotify>(TNotifyEvent([&](TObject*) {
    ++calls;
    notify.reset();
  }));
  notify->Notify(true);
  notify->Notify(true);

  app.ProcessMessages();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(notify, nullptr);
}

TEST_F(MainThreadNotifyTest, AThrowingCallbackGoesToTheLoopsHandlerAndLaterOnesStillRun) {
  std::vector<std::string> errors;
  app.SetExceptionHandler([&](const std::exception& error) { errors.emplace_back(error.what()); });
  auto throwing = std::make_unique<TSLMainThreadNotify>(TNotifyEvent([](TObject*) { throw std::runtime_error("boom"); }));
  TSLMainThreadNotify after(Recorder());
  throwing->Notify(true);
  after.Notify(true);

  app.ProcessMessages();
  EXPECT_EQ(errors, std::vector<std::string>{"boom"});
  EXPECT_EQ(ran, std::vector<TObject*>{&after});
  // Freeing it on another thread does not wait for a callback that is long over.
  std::thread freer([&] { throwing.reset(); });
  freer.join();
}

// Freed on another thread while the main thread runs its callback, the object waits for the
// callback to return before it goes.
TEST_F(MainThreadNotifyTest, FreeingOnAnotherThreadWaitsForTheRunningCallback) {
  TOWEvent callbackEntered(true, false), freeing(true, false);
  std::atomic<bool> freed{false};
  bool freedDuringCallback = true;
  auto notify = std::make_unique<TSLMainThreadNotify>(TNotifyEvent([&](TObject*) {
    callbackEntered.Signal();
    freeing.WaitFor(kInfinite);
    freedDuringCallback = freed.load();
  }));
  std::thread freer([&] {
    callbackEntered.WaitFor(kInfinite);
    freeing.Signal();
    notify.reset();
    freed = true;
  });
  // Posted from the main thread, run by the loop.
  notify->Notify(true);
  app.ProcessMessages();
  freer.join();

  EXPECT_FALSE(freedDuringCallback);
  EXPECT_TRUE(freed);
}

TEST_F(MainThreadNotifyTest, EveryNotifyRunsItsOwnCallback) {
  TSLMainThreadNotify notify(Recorder());
  for (int i = 0; i < 3; ++i) notify.Notify(true);
  app.ProcessMessages();
  EXPECT_EQ(ran.size(), 3u);
}

}  // namespace
}  // namespace sib
