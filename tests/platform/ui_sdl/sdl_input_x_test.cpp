// Real input through the X server (xdotool's XTEST events) reaches the form as the window system's
// events: presses, releases, a drag that leaves the window and comes back, double clicks, keys and
// their characters.
#include <algorithm>

#include "x_fixture.h"

namespace sib::test {
namespace {

class SdlInputXTest : public XWindowTest {
 protected:
  SdlInputXTest() : XWindowTest(200, 150) {}
  // Moves the pointer (XTEST, as a person's mouse) to client coordinates and lets the form see it.
  void MoveTo(int x, int y) {
    Xdotool({"mousemove", std::to_string(ScreenLeft() + x), std::to_string(ScreenTop() + y)});
    RunUntilSeen("move " + std::to_string(x) + "," + std::to_string(y) + " []");
    form_.Log.clear();
  }
  // Runs the loop until the form has logged `line`.
  void RunUntilSeen(const std::string& line) {
    EXPECT_TRUE(RunUntil([&] { return form_.Saw(line); })) << "never saw \"" << line << "\" in " << ::testing::PrintToString(form_.Log);
  }
  std::vector<std::string> Presses() const {
    std::vector<std::string> out = form_.WithoutMoves();
    std::erase_if(out, [](const std::string& l) { return l == "leave" || l == "focus in" || l == "focus out"; });
    return out;
  }

};

TEST_F(SdlInputXTest, ClickArrivesAsPressAndReleaseWhereThePointerIs) {
  MoveTo(30, 40);
  Xdotool({"click", "1"});
  RunUntilSeen("up left 30,40 []");
  EXPECT_EQ(Presses(), (std::vector<std::string>{"down left 30,40 [left]", "up left 30,40 []"}));
}

TEST_F(SdlInputXTest, DragThatLeavesTheWindowKeepsFollowingThePointer) {
  MoveTo(50, 60);
  Xdotool({"mousedown", "1"});
  RunUntilSeen("down left 50,60 [left]");
  // Out past the left edge (screen coordinates), then back in, at a person's pace: the loop runs
  // between the steps.
  Xdotool({"mousemove", std::to_string(ScreenLeft() - 40), std::to_string(ScreenTop() + 70)});
  RunUntilSeen("move -40,70 [left]");
  Xdotool({"mousemove", std::to_string(ScreenLeft() + 120), std::to_string(ScreenTop() + 90)});
  RunUntilSeen("move 120,90 [left]");
  Xdotool({"mouseup", "1"});
  RunUntilSeen("up left 120,90 []");
  EXPECT_EQ(Presses(), (std::vector<std::string>{"down left 50,60 [left]", "up left 120,90 []"}));
  // No leave reached the form between the press and the release.
  const auto down = std::find(form_.Log.begin(), form_.Log.end(), "down left 50,60 [left]");
  const auto up = std::find(form_.Log.begin(), form_.Log.end(), "up left 120,90 []");
  EXPECT_EQ(std::find(down, up, "leave"), up);
}

TEST_F(SdlInputXTest, SecondQuickPressIsADoubleClick) {
  MoveTo(70, 20);
  Xdotool({"click", "--repeat", "2", "--delay", "80", "1"});
  RunUntilSeen("up left 70,20 []");
  RunUntil([&] { return Presses().size() == 4; });
  EXPECT_EQ(Presses(), (std::vector<std::string>{"down left 70,20 [left]", "up left 70,20 []",
                                                 "double left 70,20 [left double]", "up left 70,20 []"}));
}

TEST_F(SdlInputXTest, RightButtonAndWheelTurnedTowardsTheUserIsNegative) {
  MoveTo(10, 10);
  Xdotool({"click", "3", "click", "5", "click", "4"});
  RunUntilSeen("wheel 120 10,10 []");
  EXPECT_EQ(Presses(), (std::vector<std::string>{"down right 10,10 [right]", "up right 10,10 []",
                                                 "wheel -120 10,10 []", "wheel 120 10,10 []"}));
}

TEST_F(SdlInputXTest, TabAndSpaceArriveAsKeysAndCharactersInOrder) {
  Xdotool({"key", "Tab", "space", "shift+Tab", "Return"});
  RunUntilSeen("key up 13 []");
  EXPECT_EQ(Presses(), (std::vector<std::string>{
                           "key down 9 []", "char 9 []", "key up 9 []",           // Tab
                           "key down 32 []", "char 32 []", "key up 32 []",        // Space
                           "key down 16 [shift]", "key down 9 [shift]", "char 9 [shift]",  // Shift+Tab: xdotool
                           "key up 16 []", "key up 9 []",                                 // lets go in press order
                           "key down 13 []", "char 13 []", "key up 13 []"}));     // Enter
}

TEST_F(SdlInputXTest, CloseBoxAsksTheFormToClose) {
  // What a window manager sends when the close box is pressed.
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = SDL_GetWindowID(native_);
  SDL_PushEvent(&close);
  RunUntilSeen("close");
  EXPECT_TRUE(window_ != nullptr);  // the host only asks; the form decides
}

}  // namespace
}  // namespace sib::test
