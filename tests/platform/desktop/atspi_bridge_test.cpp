// The accessibility bridge on a private session bus that starts the desktop's accessibility bus on
// demand: it joins only once accessibility is switched on and leaves when it is switched off, serves
// what was published, hands requests over and answers them once done, and refuses them while the
// window closes.
#include "platform/desktop/atspi_bridge.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "tests/platform/desktop/session_bus.h"

namespace sib::test {
namespace {

using namespace std::chrono_literals;

ClientResult SetAccessibility(const SessionBus& Bus, bool On) {
  return RunBusClient(Bus.Address(), {"busctl", "--user", "set-property", "org.a11y.Bus", "/org/a11y/bus",
                                      "org.a11y.Status", "IsEnabled", "b", On ? "true" : "false"});
}

std::string A11yAddress(const SessionBus& Bus) {
  const ClientResult r = RunBusClient(
      Bus.Address(), {"busctl", "--user", "call", "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress"});
  const std::size_t open = r.Output.find('"');
  return open == std::string::npos ? "" : r.Output.substr(open + 1, r.Output.rfind('"') - open - 1);
}

// A frame holding one button.
AtspiTree SmallWindow() {
  AtspiNode frame;
  frame.Id = 1;
  frame.Role = TAccessibleRole::Frame;
  frame.Name = "Small";
  frame.Children = {2};
  frame.States = {asEnabled, asVisible, asShowing};
  frame.Extents = TRect::FromSize(10, 20, 200, 100);
  AtspiNode button;
  button.Id = 2;
  button.Parent = 1;
  button.Role = TAccessibleRole::PushButton;
  button.Name = "Press Me";
  button.States = {asEnabled, asVisible, asShowing, asFocusable};
  button.Actions = {{"click", "Clicks"}};
  button.Extents = TRect::FromSize(20, 30, 80, 25);
  return {{frame, button}};
}

class Bridge : public ::testing::Test {
 protected:
  AtspiBridge::Options Options() {
    AtspiBridge::Options options;
    options.ApplicationName = "Small";
    options.SessionAddress = bus_.Address();
    options.AccessibilityAddress = "";
    return options;
  }
  // Requests are carried out at once, on the bridge's thread, and recorded.
  AtspiBridge::RequestHandler Recorder() {
    return [this](const AtspiRequest& request, const AtspiDone&) {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    };
  }
  ClientResult Call(const AtspiBridge& bridge, std::vector<std::string> Args) {
    Args.insert(Args.begin(), {"busctl", "--address=" + A11yAddress(bus_)});
    Args.insert(Args.begin() + 3, bridge.UniqueName());
    return RunBusClient(bus_.Address(), Args);
  }

  SessionBus bus_{{.DesktopServices = true}};
  std::mutex mutex_;
  std::vector<AtspiRequest> requests_;
};

TEST_F(Bridge, JoinsTheAccessibilityBusOnlyOnceSwitchedOnAndLeavesWhenSwitchedOff) {
  // Accessibility off: the bridge has read the status (the launcher it started answers) and waits.
  ASSERT_FALSE(A11yAddress(bus_).empty());
  AtspiBridge bridge(Options(), Recorder());
  bridge.Publish(SmallWindow());
  EXPECT_EQ(bridge.CurrentStatus(), AtspiBridge::Status::Waiting);
  EXPECT_EQ(bridge.UniqueName(), "");

  ASSERT_EQ(SetAccessibility(bus_, true).ExitCode, 0);
  ASSERT_EQ(bridge.WaitWhile(AtspiBridge::Status::Waiting, 30s), AtspiBridge::Status::Connected);
  EXPECT_EQ(
      Call(bridge, {"get-property", "/org/a11y/atspi/accessible/root", "org.a11y.atspi.Accessible", "Name"}).Output,
      "s \"Small\"");
  EXPECT_EQ(Call(bridge, {"call", "/org/a11y/atspi/accessible/2", "org.a11y.atspi.Accessible", "GetRole"}).Output,
            "u 43");  // a push button
  EXPECT_EQ(
      Call(bridge, {"call", "/org/a11y/atspi/accessible/2", "org.a11y.atspi.Component", "GetExtents", "u", "1"}).Output,
      "(iiii) 10 10 80 25");  // in the window's coordinates
  const auto at = [&](const char* X, const char* Y) {
    return Call(bridge, {"call", "/org/a11y/atspi/accessible/1", "org.a11y.atspi.Component", "GetAccessibleAtPoint",
                         "iiu", X, Y, "0"})
        .Output;
  };
  EXPECT_EQ(at("30", "40"), "(so) \"" + bridge.UniqueName() + "\" \"/org/a11y/atspi/accessible/2\"");
  EXPECT_EQ(at("150", "100"), "(so) \"\" \"/org/a11y/atspi/null\"");  // the frame, beside the button

  ASSERT_EQ(SetAccessibility(bus_, false).ExitCode, 0);
  EXPECT_EQ(bridge.WaitWhile(AtspiBridge::Status::Connected, 30s), AtspiBridge::Status::Waiting);
}

TEST_F(Bridge, AnActionIsHandedOverAndAnsweredAndARequestWhileClosingIsRefused) {
  ASSERT_EQ(SetAccessibility(bus_, true).ExitCode, 0);
  AtspiBridge bridge(Options(), Recorder());
  bridge.Publish(SmallWindow());
  ASSERT_EQ(bridge.WaitWhile(AtspiBridge::Status::Waiting, 30s), AtspiBridge::Status::Connected);
  EXPECT_EQ(
      Call(bridge, {"call", "/org/a11y/atspi/accessible/2", "org.a11y.atspi.Action", "DoAction", "i", "0"}).Output,
      "b true");
  {
    std::lock_guard lock(mutex_);
    ASSERT_EQ(requests_.size(), 1u);
    EXPECT_EQ(requests_[0].Node, 2u);
    EXPECT_EQ(requests_[0].Kind, AtspiRequestKind::Action);
  }
  bridge.Close();
  const ClientResult closing =
      Call(bridge, {"call", "/org/a11y/atspi/accessible/2", "org.a11y.atspi.Action", "DoAction", "i", "0"});
  EXPECT_NE(closing.ExitCode, 0);
  EXPECT_NE(closing.Errors.find("closing"), std::string::npos) << closing.Errors;
  std::lock_guard lock(mutex_);
  EXPECT_EQ(requests_.size(), 1u);
}

TEST(BridgeWithoutBuses, TurnsOffQuietly) {
  AtspiBridge::Options options;
  options.SessionAddress = "";
  options.AccessibilityAddress = "";
  AtspiBridge bridge(options, [](const AtspiRequest&, const AtspiDone&) {});
  EXPECT_EQ(bridge.WaitWhile(AtspiBridge::Status::Waiting, 30s), AtspiBridge::Status::Off);
}

}  // namespace
}  // namespace sib::test
