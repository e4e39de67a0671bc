// A test fixture with a private X server for the whole suite and, per test, an application on this
// thread with an SDL host over that server.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/application.h"
#include "platform/ui/sdl_form_window.h"
#include "platform/ui/sdl_host.h"
#include "test_form.h"
#include "x_server.h"

namespace sib::test {

// One X server for the whole test program. SDL's video stays initialised from the first test to
// the end, so that SDL does not unload the X libraries whose caches the leak checker then reports.
class XEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
  static XServer& Server();
};

class XHostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();

  void SetUp() override { host_.emplace(app_); }
  void TearDown() override { host_.reset(); }

  static std::string XId(SDL_Window* window) { return std::to_string(XWindowOf(window)); }

  // Runs the loop until `done` holds (or 5 s pass, a failure).
  bool RunUntil(const std::function<bool()>& done) { return app_.RunUntil(done, std::chrono::seconds(5)); }
  // Runs xdotool and fails the test when it fails.
  static void Xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    EXPECT_EQ(RunProgram(args).exitCode, 0) << args[1];
  }

  Application app_;
  std::optional<SdlHost> host_;
};

// A shown window of a TestForm of the given size, centred (so at ScreenLeft, ScreenTop), with the
// keyboard focus.
class XWindowTest : public XHostTest {
 protected:
  XWindowTest(int width, int height) : form_(width, height), width_(width), height_(height) {}
  void SetUp() override;
  void TearDown() override;
  int ScreenLeft() const { return (1280 - width_) / 2; }
  int ScreenTop() const { return (1024 - height_) / 2; }

  TestForm form_;
  std::unique_ptr<IFormWindow> window_;
  SDL_Window* native_ = nullptr;

 private:
  int width_;
  int height_;
};

}  // namespace sib::test
