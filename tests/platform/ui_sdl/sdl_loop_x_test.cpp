// The message loop with an open window: posted work from other threads runs in order, an exception
// from a handler is shown in a modal box (ending a drag first, dropping input made meanwhile) and
// the loop goes on; an idle window does not wake the loop.
#include <thread>

#include "platform/core/errors.h"
#include "platform/ui/message_window.h"
#include "x_fixture.h"

namespace sib::test {
namespace {

// Whether the X window `id` is still mapped and viewable.
bool Viewable(const std::string& id) {
  return RunProgram({"xwininfo", "-id", id}).output.find("IsViewable") != std::string::npos;
}

class SdlLoopXTest : public XWindowTest {
 protected:
  SdlLoopXTest() : XWindowTest(200, 150) {}
};

TEST_F(SdlLoopXTest, WorkPostedFromOtherThreadsRunsOnTheMainThreadInPostingOrder) {
  constexpr int kCount = 2000;
  std::vector<int> ran;
  bool allOnMain = true;
  std::thread poster([&] {
    for (int i = 0; i < kCount; ++i)
      app_.Post([&, i] {
        ran.push_back(i);
        allOnMain = allOnMain && app_.IsMainThread();
      });
  });
  EXPECT_TRUE(RunUntil([&] { return ran.size() == kCount; }));
  poster.join();
  std::vector<int> expected(kCount);
  for (int i = 0; i < kCount; ++i) expected[static_cast<std::size_t>(i)] = i;
  EXPECT_EQ(ran, expected);
  EXPECT_TRUE(allOnMain);
}

TEST_F(SdlLoopXTest, ExceptionFromAHandlerIsShownInABoxAndTheLoopGoesOn) {
  host_->ShowLoopErrorsInMessageBoxes("Sibilon");
  // A drag is under way when the error comes.
  Xdotool({"mousemove", std::to_string(ScreenLeft() + 40), std::to_string(ScreenTop() + 40)});
  ASSERT_TRUE(RunUntil([&] { return form_.Saw("move 40,40 []"); }));
  Xdotool({"mousedown", "1"});
  ASSERT_TRUE(RunUntil([&] { return form_.Saw("down left 40,40 [left]"); }));

  // While the box is open, another thread finds it, photographs it, lets the button go and clicks
  // the window under it, then presses Enter on the box.
  int found = -1;
  std::thread person([&] {
    const unsigned long box = WaitForWindowNamed("Sibilon", 10000);
    found = box != 0 ? 0 : -1;
    if (box == 0) return;  // "import -window 0" would wait for a click on the screen for ever
    const std::string id = std::to_string(box);
    RunProgram({"import", "-window", id, "png:" + OutputFolder() + "/error_box.png"});
    RunProgram({"xdotool", "mouseup", "1"});
    RunProgram({"xdotool", "mousemove", std::to_string(ScreenLeft() + 150), std::to_string(ScreenTop() + 120), "click", "1"});
    // On a busy machine the box may not take keys at once: Return again until it has gone.
    for (int tries = 0; tries < 20 && Viewable(id); ++tries)
      RunProgram({"timeout", "5", "xdotool", "windowfocus", "--sync", id, "key", "Return"});
  });

  std::vector<std::string> ran;
  std::thread poster([&] {
    app_.Post([&] { ran.push_back("before"); });
    app_.Post([&] {
      ran.push_back("throws");
      throw Exception("Cannot open file \"Missing.wav\"");
    });
    app_.Post([&] { ran.push_back("after"); });
  });
  EXPECT_TRUE(RunUntil([&] { return ran.size() == 3; }));
  poster.join();
  person.join();
  EXPECT_EQ(found, 0) << "no message box appeared";
  EXPECT_EQ(ran, (std::vector<std::string>{"before", "throws", "after"}));
  // The drag was ended before the box opened; the release and click made meanwhile never arrived.
  std::vector<std::string> presses = form_.WithoutMoves();
  const auto lost = std::find(presses.begin(), presses.end(), "capture lost");
  ASSERT_NE(lost, presses.end());
  for (auto it = lost; it != presses.end(); ++it)
    EXPECT_TRUE(it->rfind("down", 0) != 0 && it->rfind("up", 0) != 0) << *it;

  // And the window takes input again afterwards.
  Xdotool({"mousemove", std::to_string(ScreenLeft() + 60), std::to_string(ScreenTop() + 60)});
  ASSERT_TRUE(RunUntil([&] { return form_.Saw("move 60,60 []"); }));
  Xdotool({"click", "1"});
  EXPECT_TRUE(RunUntil([&] { return form_.Saw("up left 60,60 []"); }));
}

TEST_F(SdlLoopXTest, IdleWindowDoesNotWakeTheLoop) {
  app_.RunUntil([] { return false; }, std::chrono::milliseconds(50));
  const std::uint64_t before = host_->Wait().Wakeups();
  // Nothing is due and nothing happens: the loop sleeps through to the limit, waking once for it.
  app_.RunUntil([] { return false; }, std::chrono::milliseconds(400));
  EXPECT_LE(host_->Wait().Wakeups() - before, 1u);
}

TEST_F(SdlLoopXTest, TimersWakeTheLoopAtTheirDeadlines) {
  int ticks = 0;
  MessageWindow timer(app_, [&](Message& message) {
    if (message.Msg == kTimerMessage) ++ticks;
  });
  ASSERT_TRUE(timer.SetTimer(1, 20));
  const std::uint64_t before = host_->Wait().Wakeups();
  EXPECT_TRUE(RunUntil([&] { return ticks == 5; }));
  // One wake per tick, give or take the window's own events: no spinning towards a deadline.
  EXPECT_LE(host_->Wait().Wakeups() - before, 10u);
}

}  // namespace
}  // namespace sib::test
