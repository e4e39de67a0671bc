// On a desktop scaled twice (Xft.dpi 192) the whole window is twice the size, drawn from an image
// rendered at twice the resolution (crisp lines and text, not an enlarged picture), and the
// pointer's positions come back in the form's own 96-dpi coordinates.
#include "x_fixture.h"

namespace sib::test {
namespace {

class SdlScaleXTest : public XHostTest {
 protected:
  void SetUp() override {
    XEnvironment::Server();
    RunProgram({"xprop", "-root", "-f", "RESOURCE_MANAGER", "8s", "-set", "RESOURCE_MANAGER", "Xft.dpi:\t192\n"});
    XHostTest::SetUp();
  }
  void TearDown() override {
    XHostTest::TearDown();
    RunProgram({"xprop", "-root", "-remove", "RESOURCE_MANAGER"});
  }
};

TEST_F(SdlScaleXTest, WholeWindowIsScaledAndStaysCrisp) {
  ASSERT_EQ(host_->DesktopScale(), 2.0);
  TestForm form(471, 413);
  auto window = host_->CreateFormWindow(FixedCentred("Scaled", 471, 413), form);
  form.Window = window.get();
  ASSERT_EQ(window->ScaleFactor(), 2.0);
  form.Render(window->ScaleFactor());
  window->Show();
  host_->Wait().DispatchPending();
  form.PresentAll(*window);
  SDL_Window* native = static_cast<SdlFormWindow&>(*window).Native();

  const std::string path = OutputFolder() + "/form_471x413_at_2x.png";
  ASSERT_EQ(RunProgram({"import", "-window", XId(native), "png:" + path}).exitCode, 0);
  const Png shot = ReadPng(path);
  ASSERT_EQ(shot.width, 942);
  ASSERT_EQ(shot.height, 826);
  const TImageView image = form.Image();
  EXPECT_EQ(DifferentPixels(shot, image.Pixels, image.Stride), 0);
  // The 1-pixel frame is two device pixels of pure black, then the background: no blur.
  EXPECT_EQ(shot.At(300, 0) & 0xFFFFFF, 0x000000u);
  EXPECT_EQ(shot.At(300, 1) & 0xFFFFFF, 0x000000u);
  EXPECT_EQ(shot.At(300, 2) & 0xFFFFFF, 0xC0C0C0u);
  // The box's white border: two device rows, sharp on both sides.
  EXPECT_EQ(shot.At(100, 39) & 0xFFFFFF, 0xC0C0C0u);
  EXPECT_EQ(shot.At(100, 40) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(shot.At(100, 41) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(shot.At(100, 42) & 0xFFFFFF, image.Pixel(100, 42) & 0xFFFFFF);
  EXPECT_NE(shot.At(100, 42) & 0xFFFFFF, 0xFFFFFFu);

  const int left = (1280 - 942) / 2;
  const int top = (1024 - 826) / 2;
  Xdotool({"mousemove", std::to_string(left + 201), std::to_string(top + 101)});
  EXPECT_TRUE(RunUntil([&] { return form.Saw("move 100,50 []"); })) << ::testing::PrintToString(form.Log);
}

}  // namespace
}  // namespace sib::test
