#include "platform/ui/application.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/errors.h"
#include "platform/ui/message_window.h"

namespace sib {
namespace {

using namespace std::chrono_literals;

// How long a negative check waits for something that must not happen.
constexpr auto kMustNotHappen = 100ms;

class ApplicationTest : public ::testing::Test {
 protected:
  std::shared_ptr<SimulatedTime> time = std::make_shared<SimulatedTime>();
  Application app{Application::Options{.wait = time, .timerLimit = kDefaultTimerLimit}};
};

TEST_F(ApplicationTest, IsTheCurrentApplicationWhileItLives) {
  EXPECT_EQ(&Application::Instance(), &app);
  {
    Application inner;
    EXPECT_EQ(&Application::Instance(), &inner);
  }
  EXPECT_EQ(&Application::Instance(), &app);
  EXPECT_TRUE(app.IsMainThread());
  EXPECT_EQ(app.MainThreadId(), std::this_thread::get_id());
}

// On real time: the loop must sleep until the other thread's posts wake it.
TEST(ApplicationRealTimeTest, WorkPostedFromAnotherThreadRunsInPostingOrderOnTheMainThread) {
  Application app;
  constexpr int kCount = 2000;
  std::vector<int> seen;
  bool allOnMainThread = true;
  std::thread poster([&] {
    for (int i = 0; i < kCount; ++i) {
      app.Post([&, i] {
        seen.push_back(i);
        allOnMainThread = allOnMainThread && app.IsMainThread();
      });
    }
  });
  ASSERT_TRUE(app.RunUntil([&] { return seen.size() == kCount; }, 1h));
  poster.join();
  EXPECT_TRUE(allOnMainThread);
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(seen[i], i);
}

TEST_F(ApplicationTest, MessagesAndWorkForOneWindowKeepTheirOrder) {
  std::vector<std::string> seen;
  MessageWindow window(app, [&](Message& m) { seen.push_back("message " + std::to_string(m.WParam)); });
  window.PostMessage(kUserMessage, 1);
  window.Post([&] { seen.push_back("work"); });
  app.Post([&] { seen.push_back("application work"); });
  window.PostMessage(kUserMessage, 2);
  app.ProcessMessages();
  EXPECT_EQ(seen, (std::vector<std::string>{"message 1", "work", "application work", "message 2"}));
}

TEST_F(ApplicationTest, WhatWasPostedToADestroyedWindowIsSkipped) {
  int handled = 0;
  auto window = std::make_unique<MessageWindow>(app, [&](Message&) { ++handled; });
  const WindowHandle handle = window->Handle();
  window->PostMessage(kUserMessage);
  window->Post([&] { ++handled; });
  window.reset();
  app.ProcessMessages();
  EXPECT_EQ(handled, 0);
  EXPECT_FALSE(app.PostMessage(handle, kUserMessage)) << "posting to a window that is gone is refused";
  EXPECT_FALSE(app.Post(handle, [&] { ++handled; }));
}

TEST_F(ApplicationTest, ProcessMessagesLeavesWhatHandlersPostForTheNextCall) {
  int rounds = 0;
  std::function<void()> again = [&] {
    ++rounds;
    app.Post(again);
  };
  app.Post(again);
  app.ProcessMessages();
  EXPECT_EQ(rounds, 1);
  app.ProcessMessages();
  EXPECT_EQ(rounds, 2);
}

TEST_F(ApplicationTest, ExceptionFromAHandlerGoesToTheExceptionHandlerAndTheLoopGoesOn) {
  std::vector<std::string> reported;
  bool laterRan = false;
  app.SetExceptionHandler([&](const std::exception& e) { reported.push_back(e.what()); });
  app.Post([] { throw EReadError("bad value"); });
  app.Post([] { throw 42; });
  app.Post([&] { laterRan = true; });
  app.ProcessMessages();
  EXPECT_EQ(reported, (std::vector<std::string>{"bad value", "Unknown exception"}));
  EXPECT_TRUE(laterRan);
}

TEST_F(ApplicationTest, DefaultExceptionHandlerPrintsTheMessage) {
  app.Post([] { throw EReadError("bad value"); });
  testing::internal::CaptureStderr();
  app.ProcessMessages();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "bad value\n");
}

TEST_F(ApplicationTest, FailingExceptionHandlerDoesNotStopTheLoop) {
  bool laterRan = false;
  app.SetExceptionHandler([](const std::exception&) { throw Exception("handler failed"); });
  app.Post([] { throw Exception("first"); });
  app.Post([&] { laterRan = true; });
  testing::internal::CaptureStderr();
  app.ProcessMessages();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "first\nhandler failed\n");
  EXPECT_TRUE(laterRan);
}

TEST_F(ApplicationTest, TerminateFromAnotherThreadEndsRunAndRunCanStartAgain) {
  std::thread stopper([&] { app.Terminate(); });
  app.Run();
  stopper.join();
  EXPECT_FALSE(app.Terminated());
  bool ran = false;
  app.Post([&] {
    ran = true;
    app.Terminate();
  });
  app.Run();
  EXPECT_TRUE(ran);
}

TEST_F(ApplicationTest, LoopOperationsRefuseOtherThreads) {
  std::thread other([&] {
    EXPECT_FALSE(app.IsMainThread());
    EXPECT_THROW(app.ProcessMessages(), EInvalidOperation);
    EXPECT_THROW(app.Run(), EInvalidOperation);
  });
  other.join();
}

TEST_F(ApplicationTest, DestroyingAWindowFromAnotherThreadWaitsForItsRunningHandler) {
  std::promise<void> handlerEntered, destroyerStarted, destroyed;
  std::future<void> destroyedSeen = destroyed.get_future();
  bool destroyedWhileHandlerRan = true;
  auto window = std::make_unique<MessageWindow>(app, [&](Message&) {
    handlerEntered.set_value();
    destroyerStarted.get_future().wait();
    destroyedWhileHandlerRan = destroyedSeen.wait_for(kMustNotHappen) == std::future_status::ready;
  });
  window->PostMessage(kUserMessage);
  std::thread destroyer([&] {
    handlerEntered.get_future().wait();
    destroyerStarted.set_value();
    window.reset();
    destroyed.set_value();
  });
  app.ProcessMessages();
  destroyer.join();
  EXPECT_FALSE(destroyedWhileHandlerRan);
}

TEST_F(ApplicationTest, WindowMayDestroyItselfFromItsHandler) {
  int handled = 0;
  std::unique_ptr<MessageWindow> window;
  window = std::make_unique<MessageWindow>(app, [&](Message&) {
    ++handled;
    window.reset();
  });
  window->PostMessage(kUserMessage);
  window->PostMessage(kUserMessage);
  app.ProcessMessages();
  EXPECT_EQ(handled, 1);
}

TEST_F(ApplicationTest, HandlerMayRunTheLoopAgain) {
  std::vector<std::string> seen;
  MessageWindow window(app, [&](Message& m) {
    seen.push_back(m.Msg == kTimerMessage ? "timer " + std::to_string(m.WParam) : "posted");
    if (m.Msg == kTimerMessage && m.WParam == 1) app.ProcessMessages();
  });
  ASSERT_TRUE(window.SetTimer(1, 10));
  ASSERT_TRUE(window.SetTimer(2, 10));
  time->Advance(10ms);
  app.ProcessMessages();
  EXPECT_EQ(seen, (std::vector<std::string>{"timer 1", "timer 2"})) << "each due timer comes once";
}

TEST(ApplicationWaitTest, AnotherWaitCanTakeOverTheLoop) {
  Application app;
  auto time = std::make_shared<SimulatedTime>();
  app.SetWait(time);
  int ticks = 0;
  MessageWindow window(app, [&](Message&) { ++ticks; });
  ASSERT_TRUE(window.SetTimer(1, 5000));
  ASSERT_TRUE(app.RunUntil([&] { return ticks == 1; }, 1h));
  EXPECT_EQ(time->Elapsed(), 5000ms) << "the simulated clock drove the timer";
}

}  // namespace
}  // namespace sib
