// The headless player's side of the desktop's media-player control, on a private session bus, with
// the chain on the simulated device: a noise whose recording cannot be found is refused with the
// reason and the player goes on with what it played; Quit asks the player to end.
#include "tools/play_mpris.h"

#include <gtest/gtest.h>

#include "platform/audio/simulated_wave_out.h"
#include "platform/timer/media_timer.h"
#include "tests/play/run_loop.h"
#include "tests/platform/desktop/session_bus.h"

namespace sib {
namespace {

using namespace std::chrono_literals;

constexpr const char* kName = "org.mpris.MediaPlayer2.sibilon";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";

std::string Recording(const std::string& name) { return std::string(SIB_DATA_DIR) + "/" + name; }

class PlayMprisTest : public ::testing::Test {
 protected:
  // A call answered while the player's loop runs; "" or the error.
  std::string Call(const std::string& Interface, const std::string& Member) {
    FClient.Send(kName, Interface, Member);
    test::RunUntilSeen(FApp, [&] { return FClient.Answered(); }, 10s);
    return FClient.WaitForAnswer(0ms);
  }

  Application FApp;
  ManualTickSource FTicks;
  ScopedMediaTickSource FScopedTicks{FTicks};
  SimulatedWaveOut FDevice;
  ScopedWaveOutDriver FDriver{FDevice};
  test::SessionBus FBus;
  test::BusClient FClient{FBus.Address()};
};

TEST_F(PlayMprisTest, ANoiseWithoutItsRecordingIsRefusedWithTheReasonAndThePlayerGoesOn) {
  NoiseChain chain;
  chain.SetFile(Recording("Pink.wav"));
  chain.Start();
  PlayMpris::Options options;
  options.Noise = "pink";
  options.FindRecording = [](const std::string& AFileName) -> std::optional<std::filesystem::path> {
    if (AFileName == "White.wav") return std::nullopt;
    return std::filesystem::path(SIB_DATA_DIR);
  };
  options.Address = FBus.Address();
  PlayMpris control(FApp, chain, options);
  ASSERT_EQ(control.Service().WaitWhile(MprisService::Status::Connecting, 10s), MprisService::Status::Serving);

  EXPECT_EQ(Call(kPlayer, "Next"), "org.freedesktop.DBus.Error.Failed: can't find the recording White.wav");
  EXPECT_EQ(FClient.Get(kName, kPlayer, "Metadata"), "/sibilon/track/1 Pink Noise");
  EXPECT_EQ(chain.Player()->FileName(), Recording("Pink.wav"));
  EXPECT_EQ(Call(kPlayer, "Previous"), "");
  EXPECT_EQ(FClient.Get(kName, kPlayer, "Metadata"), "/sibilon/track/0 Brown Noise");
  EXPECT_EQ(FClient.Get(kName, kPlayer, "CanGoPrevious"), "false");
  EXPECT_EQ(chain.Player()->FileName(), Recording("Brown.wav"));
  EXPECT_EQ(FClient.Get(kName, kPlayer, "PlaybackStatus"), "Playing");
  EXPECT_FALSE(control.QuitAsked());
  EXPECT_EQ(Call("org.mpris.MediaPlayer2", "Quit"), "");
  EXPECT_TRUE(control.QuitAsked());
}

}  // namespace
}  // namespace sib
