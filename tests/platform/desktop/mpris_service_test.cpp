// The media-player control on a private session bus, called by a client in this process as a
// desktop's sound menu calls it: what it tells, how commands reach the program and are answered, and
// what happens without a bus, with a bus that hangs and when the bus goes away.
#include "platform/desktop/mpris_service.h"

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>

#include "tests/platform/desktop/session_bus.h"

namespace sib::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kName = "org.mpris.MediaPlayer2.sibtest";
constexpr const char* kRoot = "org.mpris.MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
constexpr auto kLimit = 10s;

// The commands the service handed over, each with its answer; the test decides when each is answered.
class Commands {
 public:
  struct Received {
    MprisCommand Command;
    double Value;
    MprisDone Done;
  };

  MprisService::CommandHandler Handler() {
    return [this](MprisCommand command, double value, MprisDone done) {
      std::lock_guard lock(FMutex);
      FReceived.push_back({command, value, std::move(done)});
      FArrived.notify_all();
    };
  }
  // Waits for the next command; it stays unanswered while the test holds its Done.
  std::optional<Received> Next(std::chrono::milliseconds Limit = kLimit) {
    std::unique_lock lock(FMutex);
    if (!FArrived.wait_for(lock, Limit, [&] { return !FReceived.empty(); })) return std::nullopt;
    Received first = std::move(FReceived.front());
    FReceived.pop_front();
    return first;
  }

 private:
  std::mutex FMutex;
  std::condition_variable FArrived;
  std::deque<Received> FReceived;
};

// Answers every command at once, as a program does that acts without delay.
MprisService::CommandHandler Recording(std::vector<std::pair<MprisCommand, double>>& Log, std::mutex& Mutex) {
  return [&](MprisCommand command, double value, MprisDone) {
    std::lock_guard lock(Mutex);
    Log.emplace_back(command, value);
  };
}

MprisService::Options TestOptions(const std::string& Address, std::vector<std::string>* Notices = nullptr,
                                  std::mutex* NoticeMutex = nullptr) {
  MprisService::Options options;
  options.Name = "sibtest";
  options.Identity = "Sibilon";
  options.DesktopEntry = "sibilon";
  options.Address = Address;
  if (Notices)
    options.OnNotice = [Notices, NoticeMutex](const std::string& line) {
      std::lock_guard lock(*NoticeMutex);
      Notices->push_back(line);
    };
  return options;
}

MprisState PinkStopped() {
  MprisState state;
  state.Playing = false;
  state.Volume = 0.5;
  state.Title = "Pink Noise";
  state.Track = 1;
  state.CanGoNext = true;
  state.CanGoPrevious = true;
  return state;
}

class MprisServiceTest : public ::testing::Test {
 protected:
  SessionBus FBus;
  BusClient FClient{FBus.Address()};
};

TEST_F(MprisServiceTest, TellsWhoItIsAndWhatPlaysUnderItsName) {
  std::mutex mutex;
  std::vector<std::pair<MprisCommand, double>> log;
  MprisService service(TestOptions(FBus.Address()), PinkStopped(), Recording(log, mutex));
  ASSERT_EQ(service.WaitWhile(MprisService::Status::Connecting, kLimit), MprisService::Status::Serving);
  EXPECT_EQ(service.BusName(), kName);

  struct Row {
    const char* Interface;
    const char* Property;
    const char* Expected;
  };
  const Row rows[] = {
      {kRoot, "Identity", "Sibilon"},
      {kRoot, "DesktopEntry", "sibilon"},
      {kRoot, "CanQuit", "true"},
      {kRoot, "CanRaise", "false"},
      {kRoot, "HasTrackList", "false"},
      {kRoot, "SupportedUriSchemes", ""},
      {kPlayer, "PlaybackStatus", "Stopped"},
      {kPlayer, "Volume", "0.5"},
      {kPlayer, "Metadata", "/sibtest/track/1 Pink Noise"},
      {kPlayer, "CanGoNext", "true"},
      {kPlayer, "CanGoPrevious", "true"},
      {kPlayer, "CanPlay", "true"},
      {kPlayer, "CanPause", "true"},
      {kPlayer, "CanSeek", "false"},
      {kPlayer, "CanControl", "true"},
      {kPlayer, "Rate", "1"},
      {kPlayer, "Position", "0"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(FClient.Get(kName, row.Interface, row.Property), row.Expected) << row.Interface << "." << row.Property;
  EXPECT_TRUE(log.empty()) << "reading commanded something";
}

TEST_F(MprisServiceTest, EachCommandReachesTheProgramAndIsAnsweredOnlyOnceItHasTakenEffect) {
  Commands commands;
  MprisService::Options options = TestOptions(FBus.Address());
  options.CanRaise = true;
  MprisService service(options, PinkStopped(), commands.Handler());
  ASSERT_EQ(service.WaitWhile(MprisService::Status::Connecting, kLimit), MprisService::Status::Serving);

  struct Row {
    const char* Interface;
    const char* Member;
    MprisCommand Command;
  };
  const Row rows[] = {
      {kRoot, "Raise", MprisCommand::Raise},         {kRoot, "Quit", MprisCommand::Quit},
      {kPlayer, "Play", MprisCommand::Play},         {kPlayer, "Pause", MprisCommand::Pause},
      {kPlayer, "PlayPause", MprisCommand::PlayPause}, {kPlayer, "Stop", MprisCommand::Stop},
      {kPlayer, "Next", MprisCommand::Next},         {kPlayer, "Previous", MprisCommand::Previous},
  };
  for (const Row& row : rows) {
    FClient.Send(kName, row.Interface, row.Member);
    std::optional<Commands::Received> received = commands.Next();
    ASSERT_TRUE(received) << row.Member << " never reached the program";
    EXPECT_EQ(received->Command, row.Command) << row.Member;
    // The service's thread waits for the answer, so none can have been sent yet.
    EXPECT_FALSE(FClient.Answered()) << row.Member << " was answered before it took effect";
    received->Done.reset();
    EXPECT_EQ(FClient.WaitForAnswer(kLimit), "") << row.Member;
  }
}

TEST_F(MprisServiceTest, TheVolumeIsKeptWithinZeroAndOneAndWhatIsNoNumberIsRefused) {
  std::mutex mutex;
  std::vector<std::pair<MprisCommand, double>> log;
  MprisService service(TestOptions(FBus.Address()), PinkStopped(), Recording(log, mutex));
  ASSERT_EQ(service.WaitWhile(MprisService::Status::Connecting, kLimit), MprisService::Status::Serving);

  struct Row {
    double Sent;
    std::optional<double> Handed;  // none: refused
  };
  const Row rows[] = {
      {0.8, 0.8},
      {-1, 0.0},
      {7, 1.0},
      {0, 0.0},
      {1, 1.0},
      {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
      {std::numeric_limits<double>::infinity(), std::nullopt},
  };
  for (const Row& row : rows) {
    {
      std::lock_guard lock(mutex);
      log.clear();
    }
    const std::string error = FClient.SetVolume(kName, row.Sent);
    std::lock_guard lock(mutex);
    if (row.Handed) {
      EXPECT_EQ(error, "") << row.Sent;
      ASSERT_EQ(log.size(), 1u) << row.Sent;
      EXPECT_EQ(log[0].first, MprisCommand::SetVolume);
      EXPECT_EQ(log[0].second, *row.Handed) << row.Sent;
    } else {
      EXPECT_EQ(error.rfind("org.freedesktop.DBus.Error.InvalidArgs", 0), 0u) << row.Sent << ": " << error;
      EXPECT_TRUE(log.empty()) << row.Sent << " reached the program";
    }
  }
}

TEST_F(MprisServiceTest, ARefusedCommandIsAnErrorCarryingTheReason) {
  MprisService service(TestOptions(FBus.Address()), PinkStopped(),
                       [](MprisCommand, double, MprisDone done) { done->Refuse("can't find the recording White.wav"); });
  ASSERT_EQ(service.WaitWhile(MprisService::Status::Connecting, kLimit), MprisService::Status::Serving);
  EXPECT_EQ(FClient.Call(kName, kPlayer, "Next"),
            "org.freedesktop.DBus.Error.Failed: can't find the recording White.wav");
  EXPECT_EQ(FClient.SetVolume(kName, 0.3), "org.freedesktop.DBus.Error.Failed: can't find the recording White.wav");
}

TEST_F(MprisServiceTest, WhatThePlayerCannotDoIsRefusedOrIgnoredAndItGoesOn) {
  std::mutex mutex;
  std::vector<std::pair<MprisCommand, double>> log;
  MprisService service(TestOptions(FBus.Address()), PinkStopped(), Recording(log, mutex));
  ASSERT_EQ(service.WaitWhile(MprisService::Status::Connecting, kLimit), MprisService::Status::Serving);

  EXPECT_EQ(FClient.Call(kName, kPlayer, "Rewind").rfind("org.freedesktop.DBus.Error.UnknownMethod", 0), 0u);
  EXPECT_EQ(FClient.Call(kName, "org.example.Nothing", "Play").rfind("org.freedesktop.DBus.Error.Unknown", 0), 0u);
  // Seek without its offset: the wrong arguments.
  EXPECT_EQ(FClient.Call(kName, kPlayer, "Seek").rfind("org.freedesktop.DBus.Error.InvalidArgs", 0), 0u);
  // Nothing to raise without a window: no effect, as the interface has it.
  EXPECT_EQ(FClient.Call(kName, kRoot, "Raise"), "");
  EXPECT_EQ(FClient.Get(kName, kPlayer, "Identity").rfind("org.freedesktop.DBus.Error.UnknownProperty", 0), 0u);
  {
    std::lock_guard lock(mutex);
    EXPECT_TRUE(log.empty()) << "a refused call reached the program";
  }
  EXPECT_EQ(FClient.Call(kName, kPlayer, "Play"), "");
  std::lock_guard lock(mutex);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].first, MprisCommand::Play);
}

TEST_F(MprisServiceTest, EachPublishedChangeIsAnnouncedWithTheNamesOfWhatChanged) {
  std::mutex mutex;
  std::vector<std::pair<MprisCommand, double>> log;
  MprisService service(TestOptions(FBus.Address()), PinkStopped(), Recording(log, mutex));
  ASSERT_EQ(service.WaitWhile(MprisService::Status::Connecting, kLimit), MprisService::Status::Serving);
  FClient.WatchChanges();

  MprisState state = PinkStopped();
  struct Row {
    const char* What;
    void (*Change)(MprisState&);
    const char* Announced;
  };
  const Row rows[] = {
      {"started", [](MprisState& s) { s.Playing = true; }, "PlaybackStatus"},
      {"louder", [](MprisState& s) { s.Volume = 0.8; }, "Volume"},
      {"white",
       [](MprisState& s) {
         s.Title = "White Noise";
         s.Track = 2;
         s.CanGoNext = false;
       },
       "Metadata CanGoNext"},
      {"unchanged, then stopped", [](MprisState& s) { s.Playing = false; }, "PlaybackStatus"},
  };
  for (const Row& row : rows) {
    if (std::string(row.What).starts_with("unchanged")) service.Publish(state);
    row.Change(state);
    service.Publish(state);
    EXPECT_EQ(FClient.NextChange(kLimit), row.Announced) << row.What;
  }
  EXPECT_EQ(FClient.Get(kName, kPlayer, "Metadata"), "/sibtest/track/2 White Noise");
  EXPECT_EQ(FClient.Get(kName, kPlayer, "PlaybackStatus"), "Stopped");
}

TEST_F(MprisServiceTest, ASecondPlayerTakesANameOfItsOwnBesideTheFirst) {
  std::mutex mutex;
  std::vector<std::pair<MprisCommand, double>> log;
  MprisService first(TestOptions(FBus.Address()), PinkStopped(), Recording(log, mutex));
  ASSERT_EQ(first.WaitWhile(MprisService::Status::Connecting, kLimit), MprisService::Status::Serving);
  MprisService second(TestOptions(FBus.Address()), PinkStopped(), Recording(log, mutex));
  ASSERT_EQ(second.WaitWhile(MprisService::Status::Connecting, kLimit), MprisService::Status::Serving);
  EXPECT_EQ(first.BusName(), kName);
  EXPECT_EQ(second.BusName(), std::string(kName) + ".instance" + std::to_string(::getpid()));
  EXPECT_EQ(FClient.NamesStartingWith(kName).size(), 2u);
}

TEST_F(MprisServiceTest, ACommandThatTakesTooLongIsAnsweredAfterTheLimit) {
  Commands commands;
  MprisService::Options options = TestOptions(FBus.Address());
  options.CommandLimit = 100ms;
  MprisService service(options, PinkStopped(), commands.Handler());
  ASSERT_EQ(service.WaitWhile(MprisService::Status::Connecting, kLimit), MprisService::Status::Serving);
  FClient.Send(kName, kPlayer, "Play");
  std::optional<Commands::Received> held = commands.Next();
  ASSERT_TRUE(held);
  EXPECT_EQ(FClient.WaitForAnswer(kLimit), "");
  // Answered late, it changes nothing for the next one.
  held->Done.reset();
  FClient.Send(kName, kPlayer, "Stop");
  std::optional<Commands::Received> next = commands.Next();
  ASSERT_TRUE(next);
  EXPECT_FALSE(FClient.Answered());
  next->Done.reset();
  EXPECT_EQ(FClient.WaitForAnswer(kLimit), "");
}

TEST_F(MprisServiceTest, ACallWaitingWhenTheServiceEndsIsAnsweredWithAnError) {
  Commands commands;
  auto service = std::make_unique<MprisService>(TestOptions(FBus.Address()), PinkStopped(), commands.Handler());
  ASSERT_EQ(service->WaitWhile(MprisService::Status::Connecting, kLimit), MprisService::Status::Serving);
  FClient.Send(kName, kRoot, "Quit");
  std::optional<Commands::Received> held = commands.Next();
  ASSERT_TRUE(held);
  service.reset();
  EXPECT_EQ(FClient.WaitForAnswer(kLimit), "org.freedesktop.DBus.Error.Failed: The player is closing");
}

TEST_F(MprisServiceTest, TheBusGoingAwayIsToldOnceAndTheProgramGoesOn) {
  std::mutex mutex;
  std::vector<std::string> notices;
  std::vector<std::pair<MprisCommand, double>> log;
  MprisService service(TestOptions(FBus.Address(), &notices, &mutex), PinkStopped(), Recording(log, mutex));
  ASSERT_EQ(service.WaitWhile(MprisService::Status::Connecting, kLimit), MprisService::Status::Serving);
  FBus.Kill();
  ASSERT_EQ(service.WaitWhile(MprisService::Status::Serving, kLimit), MprisService::Status::Off);
  MprisState state = PinkStopped();
  state.Playing = true;
  service.Publish(state);
  std::lock_guard lock(mutex);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0], "lost the session bus; media keys and desktop control are off");
}

struct NoBusRow {
  const char* What;
  std::string Address;
  std::string Notice;
};

class MprisServiceWithoutABus : public ::testing::TestWithParam<NoBusRow> {};

TEST_P(MprisServiceWithoutABus, SaysWhyOnceAndStaysOff) {
  std::mutex mutex;
  std::vector<std::string> notices;
  std::vector<std::pair<MprisCommand, double>> log;
  {
    MprisService service(TestOptions(GetParam().Address, &notices, &mutex), PinkStopped(), Recording(log, mutex));
    EXPECT_EQ(service.WaitWhile(MprisService::Status::Connecting, kLimit), MprisService::Status::Off);
    service.Publish(MprisState{});
  }
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0], GetParam().Notice);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MprisServiceWithoutABus,
    ::testing::Values(
        NoBusRow{"NoAddress", "", "no session bus (DBUS_SESSION_BUS_ADDRESS is not set); media keys and desktop control are off"},
        NoBusRow{"NoSocket", "unix:path=/nonexistent/bus",
                 "can't reach the session bus at unix:path=/nonexistent/bus: No such file or directory; media keys "
                 "and desktop control are off"}),
    [](const auto& info) { return info.param.What; });

TEST(MprisServiceOnASilentBus, WaitsWithoutHoldingTheProgramUpAndEndsAtOnce) {
  SilentBus bus;
  std::mutex mutex;
  std::vector<std::string> notices;
  std::vector<std::pair<MprisCommand, double>> log;
  {
    MprisService service(TestOptions(bus.Address(), &notices, &mutex), PinkStopped(), Recording(log, mutex));
    // Made at once; still connecting after a while, and ending without waiting for the bus.
    EXPECT_EQ(service.WaitWhile(MprisService::Status::Connecting, 1500ms), MprisService::Status::Connecting);
    service.Publish(MprisState{});
  }
  EXPECT_TRUE(notices.empty());
}

}  // namespace
}  // namespace sib::test
