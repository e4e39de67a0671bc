// A later start finding the program that runs on a private session bus and handing it its arguments:
// taken once the program has acted on them, refused with its reason, and nobody to ask when there is
// no bus, nobody under the name, or a program there that takes no arguments.
#include "platform/desktop/running_instance.h"

#include <gtest/gtest.h>

#include <mutex>

#include "platform/desktop/mpris_service.h"
#include "tests/platform/desktop/session_bus.h"

namespace sib::test {
namespace {

using namespace std::chrono_literals;

constexpr auto kLimit = 10s;

// This program's own name on the bus, as a later start looks for it.
MprisService::Options ProgramOn(const std::string& Address) {
  MprisService::Options options = MprisService::Options::ThisProgram();
  options.Address = Address;
  options.OnNotice = [](const std::string&) {};
  return options;
}

MprisService::CommandHandler Ignoring() {
  return [](MprisCommand, double, MprisDone) {};
}

TEST(RunningInstance, WithoutABusOrWithNobodyOnItThereIsNobodyToAsk) {
  EXPECT_EQ(OpenInRunningInstance({"--play"}, std::string()).Result, InstanceAnswer::None);
  EXPECT_EQ(OpenInRunningInstance({"--play"}, std::string("unix:path=/nonexistent/bus")).Result, InstanceAnswer::None);
  SessionBus bus;
  EXPECT_EQ(OpenInRunningInstance({"--play"}, bus.Address()).Result, InstanceAnswer::None);
  // A player under the name that takes no arguments (the headless player) is nobody to ask either.
  MprisService player(ProgramOn(bus.Address()), MprisState{}, Ignoring());
  ASSERT_EQ(player.WaitWhile(MprisService::Status::Connecting, kLimit), MprisService::Status::Serving);
  EXPECT_EQ(OpenInRunningInstance({"--play"}, bus.Address()).Result, InstanceAnswer::None);
}

TEST(RunningInstance, TheArgumentsAreTakenOnceTheProgramHasActedOnThem) {
  SessionBus bus;
  std::mutex mutex;
  std::vector<std::vector<std::string>> opened;
  MprisService::Options options = ProgramOn(bus.Address());
  options.OnOpen = [&](std::vector<std::string> Arguments, MprisDone) {
    std::lock_guard lock(mutex);
    opened.push_back(std::move(Arguments));
  };
  MprisService window(options, MprisState{}, Ignoring());
  ASSERT_EQ(window.WaitWhile(MprisService::Status::Connecting, kLimit), MprisService::Status::Serving);
  EXPECT_EQ(OpenInRunningInstance({"--play", "--noise", "brown", "--level=30"}, bus.Address()).Result,
            InstanceAnswer::Taken);
  EXPECT_EQ(OpenInRunningInstance({}, bus.Address()).Result, InstanceAnswer::Taken);
  std::lock_guard lock(mutex);
  EXPECT_EQ(opened, (std::vector<std::vector<std::string>>{{"--play", "--noise", "brown", "--level=30"}, {}}));
}

TEST(RunningInstance, ARefusalComesBackWithItsReason) {
  SessionBus bus;
  MprisService::Options options = ProgramOn(bus.Address());
  options.OnOpen = [](std::vector<std::string>, MprisDone Done) { Done->Refuse("--noise must be brown, pink or white"); };
  MprisService window(options, MprisState{}, Ignoring());
  ASSERT_EQ(window.WaitWhile(MprisService::Status::Connecting, kLimit), MprisService::Status::Serving);
  const InstanceAnswer answer = OpenInRunningInstance({"--noise", "grey"}, bus.Address());
  EXPECT_EQ(answer.Result, InstanceAnswer::Refused);
  EXPECT_EQ(answer.Why, "--noise must be brown, pink or white");
}

}  // namespace
}  // namespace sib::test
