// A real form with plain buttons in an SDL window on the X server: the screenshot equals the form's
// own image, and a person's clicks, a drag out and back, a double click, Tab and Space reach the
// right buttons in order.
#include "platform/ui/form.h"
#include "platform/ui/forms_application.h"
#include "platform/ui/std_controls.h"
#include "x_fixture.h"

namespace sib::test {
namespace {

constexpr int kLeft = (1280 - 471) / 2;
constexpr int kTop = (1024 - 413) / 2;

class SdlFormXTest : public XHostTest {
 protected:
  void SetUp() override {
    XHostTest::SetUp();
    forms_.emplace(*host_, app_);
    form_ = MakeComponent<TForm>();
    form_->SetCaption("Sibilon");
    form_->SetClientWidth(471);
    form_->SetClientHeight(413);
    form_->SetBorderStyle(bsSingle);
    form_->SetPosition(poDesktopCenter);
    form_->SetColor(clSilver);
    one_ = button("One", 20, 20);
    two_ = button("Two", 20, 80);
    form_->Show();
    native_ = static_cast<SdlFormWindow*>(form_->Window())->Native();
    Xdotool({"windowfocus", "--sync", XId(native_)});
    settle();
    log_.clear();
  }
  void TearDown() override {
    form_.reset();
    forms_.reset();
    XHostTest::TearDown();
  }
  TButton* button(const std::string& caption, int x, int y) {
    auto* b = NewComponent<TButton>(*form_);
    b->SetName(caption);
    b->SetParent(form_.get());
    b->SetBounds(x, y, 120, 32);
    b->SetCaption(caption);
    b->SetTabStop(true);
    b->OnClick = TNotifyEvent([this, caption](TObject*) { log_.push_back(caption + ".click"); });
    return b;
  }
  // Runs the loop until everything pending is handled and painted.
  void settle() {
    RunUntil([&] { return !form_->PaintPending(); });
    host_->Wait().DispatchPending();
    app_.ProcessMessages();
  }
  void moveTo(int x, int y) {
    Xdotool({"mousemove", std::to_string(kLeft + x), std::to_string(kTop + y)});
    settle();
  }
  bool runUntilLogged(std::size_t count) { return RunUntil([&] { return log_.size() >= count; }); }

  std::optional<TApplication> forms_;
  TComponentPtr<TForm> form_;
  TButton* one_ = nullptr;
  TButton* two_ = nullptr;
  SDL_Window* native_ = nullptr;
  std::vector<std::string> log_;
};

TEST_F(SdlFormXTest, ScreenshotEqualsTheFormsOwnImage) {
  const std::string path = OutputFolder() + "/form_with_buttons.png";
  ASSERT_EQ(RunProgram({"import", "-window", XId(native_), "png:" + path}).exitCode, 0);
  const Png shot = ReadPng(path);
  const TImageView image = form_->Image();
  ASSERT_EQ(shot.width, image.Width);
  ASSERT_EQ(shot.height, image.Height);
  EXPECT_EQ(DifferentPixels(shot, image.Pixels, image.Stride), 0);
}

TEST_F(SdlFormXTest, ClickDragDoubleClickTabAndSpaceReachTheRightButtons) {
  // A click on One.
  moveTo(60, 35);
  Xdotool({"click", "1"});
  ASSERT_TRUE(runUntilLogged(1));
  // A drag from Two out of the window and back onto Two: still Two's press, so it clicks.
  moveTo(60, 95);
  Xdotool({"mousedown", "1"});
  settle();
  moveTo(-40, 95);
  moveTo(70, 90);
  Xdotool({"mouseup", "1"});
  ASSERT_TRUE(runUntilLogged(2));
  // A drag from One that ends outside does not click.
  moveTo(60, 35);
  Xdotool({"mousedown", "1"});
  settle();
  moveTo(300, 300);
  Xdotool({"mouseup", "1"});
  settle();
  // A double click on One clicks twice.
  moveTo(50, 30);
  Xdotool({"click", "--repeat", "2", "--delay", "80", "1"});
  ASSERT_TRUE(runUntilLogged(4));
  // One has the focus from its clicks; Tab moves it to Two and Space clicks Two.
  Xdotool({"key", "Tab", "space"});
  ASSERT_TRUE(runUntilLogged(5));
  EXPECT_EQ(log_, (std::vector<std::string>{"One.click", "Two.click", "One.click", "One.click", "Two.click"}));
  EXPECT_EQ(form_->ActiveControl(), two_);
}

}  // namespace
}  // namespace sib::test
