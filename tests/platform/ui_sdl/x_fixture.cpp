#include "x_fixture.h"

namespace sib::test {
namespace {

XServer* server = nullptr;

}  // namespace

void XEnvironment::SetUp() {}

void XEnvironment::TearDown() {
  delete server;
  server = nullptr;
}

XServer& XEnvironment::Server() {
  if (!server) {
    server = new XServer();
    ::setenv("SDL_VIDEODRIVER", "x11", 1);
    SDL_InitSubSystem(SDL_INIT_VIDEO);
  }
  return *server;
}

void XHostTest::SetUpTestSuite() { XEnvironment::Server(); }

void XWindowTest::SetUp() {
  XHostTest::SetUp();
  window_ = host_->CreateFormWindow(FixedCentred("Owner", width_, height_), form_);
  form_.Window = window_.get();
  form_.Render(window_->ScaleFactor());
  window_->Show();
  native_ = static_cast<SdlFormWindow&>(*window_).Native();
  Xdotool({"windowfocus", "--sync", XId(native_)});
  RunUntil([&] { return form_.Saw("focus in"); });
  form_.Log.clear();
}

void XWindowTest::TearDown() {
  window_.reset();
  XHostTest::TearDown();
}

[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new XEnvironment);

}  // namespace sib::test
