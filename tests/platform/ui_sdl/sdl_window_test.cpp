// The host's windows on a real X server: placement, fixed size, and pixels as the X server holds them.
#include <cstdlib>

#include "x_fixture.h"

namespace sib::test {
namespace {

TFormWindowParams mainFormParams() { return FixedCentred("Sibilon", 471, 413); }

// The number after `label` in a tool's report ("Width: 471").
int field(const std::string& text, const std::string& label) {
  const std::size_t at = text.find(label);
  if (at == std::string::npos) return -1;
  return std::atoi(text.c_str() + at + label.size());
}

class SdlWindowTest : public XHostTest {
 protected:
  // Shows the form's window with its picture on screen.
  std::unique_ptr<IFormWindow> ShowForm(TestForm& form, const TFormWindowParams& params) {
    auto window = host_->CreateFormWindow(params, form);
    form.Window = window.get();
    form.Render(window->ScaleFactor());
    form.PresentAll(*window);
    window->Show();
    host_->Wait().DispatchPending();
    form.PresentAll(*window);
    return window;
  }
  Png Screenshot(SDL_Window* window, const std::string& name) {
    const std::string path = OutputFolder() + "/" + name;
    EXPECT_EQ(RunProgram({"import", "-window", XId(window), "png:" + path}).exitCode, 0);
    return ReadPng(path);
  }
};

TEST_F(SdlWindowTest, FixedSizeFormOpensCentredOnTheDesktop) {
  TestForm form(471, 413);
  auto window = ShowForm(form, mainFormParams());
  SDL_Window* native = static_cast<SdlFormWindow&>(*window).Native();
  const std::string info = RunProgram({"xwininfo", "-id", XId(native)}).output;
  EXPECT_EQ(field(info, "Width:"), 471) << info;
  EXPECT_EQ(field(info, "Height:"), 413) << info;
  EXPECT_EQ(field(info, "Absolute upper-left X:"), (1280 - 471) / 2) << info;
  EXPECT_EQ(field(info, "Absolute upper-left Y:"), (1024 - 413) / 2) << info;
  // Minimum and maximum size equal: the window manager offers neither resizing nor maximising.
  const std::string hints = RunProgram({"xprop", "-id", XId(native), "WM_NORMAL_HINTS"}).output;
  EXPECT_NE(hints.find("minimum size: 471 by 413"), std::string::npos) << hints;
  EXPECT_NE(hints.find("maximum size: 471 by 413"), std::string::npos) << hints;
  const std::string title = RunProgram({"xprop", "-id", XId(native), "_NET_WM_NAME"}).output;
  EXPECT_NE(title.find("\"Sibilon\""), std::string::npos) << title;
}

TEST_F(SdlWindowTest, ScreenshotFromTheXServerEqualsTheFormsImage) {
  TestForm form(471, 413);
  auto window = ShowForm(form, mainFormParams());
  const Png shot = Screenshot(static_cast<SdlFormWindow&>(*window).Native(), "form_471x413.png");
  const TImageView image = form.Image();
  WritePng(OutputFolder() + "/form_471x413_image.png", image.Width, image.Height, image.Pixels, image.Stride);
  ASSERT_EQ(shot.width, 471);
  ASSERT_EQ(shot.height, 413);
  EXPECT_EQ(DifferentPixels(shot, image.Pixels, image.Stride), 0);
}

TEST_F(SdlWindowTest, SomethingThatResizesAFixedWindowAnywaySeesItPutBack) {
  TestForm form(471, 413);
  auto window = ShowForm(form, mainFormParams());
  SDL_Window* native = static_cast<SdlFormWindow&>(*window).Native();
  // Without a window manager nothing enforces the size hints: the host does.
  Xdotool({"windowsize", XId(native), "600", "500"});
  EXPECT_TRUE(RunUntil([&] { return form.Saw("exposed"); }));
  host_->Wait().DispatchPending();
  const std::string info = RunProgram({"xwininfo", "-id", XId(native)}).output;
  EXPECT_EQ(field(info, "Width:"), 471) << info;
  EXPECT_EQ(field(info, "Height:"), 413) << info;
}

TEST_F(SdlWindowTest, ExposeResendsThePixelsWithoutAskingTheForm) {
  TestForm form(200, 100);
  TFormWindowParams params = mainFormParams();
  params.ClientWidth = 200;
  params.ClientHeight = 100;
  auto window = ShowForm(form, params);
  SDL_Window* native = static_cast<SdlFormWindow&>(*window).Native();
  form.Log.clear();
  // Unmapping and mapping again loses the window's contents on the server.
  Xdotool({"windowunmap", "--sync", XId(native)});
  Xdotool({"windowmap", "--sync", XId(native)});
  host_->Wait().DispatchPending();
  const Png shot = Screenshot(native, "exposed.png");
  ASSERT_EQ(shot.width, 200);
  EXPECT_EQ(shot.At(50, 50) & 0xFFFFFF, form.Image().Pixel(50, 50) & 0xFFFFFF);
  EXPECT_FALSE(form.Saw("exposed"));
}

TEST_F(SdlWindowTest, IconComesFromTheFormsImage) {
  TestForm form(200, 100);
  auto window = ShowForm(form, mainFormParams());
  std::vector<std::uint32_t> icon(32 * 32, 0x80400000u);  // half-transparent dark red, premultiplied
  window->SetIcon(TImageView{icon.data(), 32, 32, 32 * 4});
  const std::string prop =
      RunProgram({"xprop", "-id", XId(static_cast<SdlFormWindow&>(*window).Native()), "-f", "_NET_WM_ICON", "32x", "_NET_WM_ICON"}).output;
  // Width, height, then the first pixel with straight alpha.
  EXPECT_NE(prop.find("= 0x20, 0x20, 0x80800000"), std::string::npos) << prop.substr(0, 200);
}

}  // namespace
}  // namespace sib::test
