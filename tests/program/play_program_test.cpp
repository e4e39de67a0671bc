// The headless player as a person runs it: `sibilon-play` started in a folder of its own, its sound
// written by SDL's disk driver in real time, driven from a private session bus by playerctl and
// dbus-send; its sleep timer run to its end. The recordings here hold one level throughout, so every
// sample written shows the gain it went out with.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>

#include "tests/audio/wave_fixtures.h"
#include "tests/platform/desktop/session_bus.h"
#include "tests/support/child_process.h"

namespace sib::test {
namespace {

using namespace std::chrono_literals;

constexpr int kRate = 44100;
// The blocks sibilon-play pumps when the device sets the pace; the output holds about a second of them
// between the amplifier and the device, so a change is heard that much later.
constexpr std::size_t kBlockFrames = 4096;
constexpr const char* kName = "org.mpris.MediaPlayer2.sibilon";

// A second of stereo 16-bit frames that all hold `Value`.
std::vector<std::uint8_t> Level(std::int16_t Value) {
  std::vector<std::uint8_t> data;
  for (int i = 0; i < 2 * kRate; ++i) putLe(data, static_cast<std::uint16_t>(Value), 2);
  return waveBytes(WaveSpec{}, data);
}

// What SDL's disk driver has written: 16-bit stereo frames, growing in real time.
class DiskOutput {
 public:
  explicit DiskOutput(std::filesystem::path AFile) : FFile(std::move(AFile)) {}
  const std::filesystem::path& File() const { return FFile; }

  std::size_t Frames() const {
    std::error_code error;
    const auto bytes = std::filesystem::file_size(FFile, error);
    return error ? 0 : static_cast<std::size_t>(bytes) / 4;
  }
  // Waits until the file holds `Count` frames, following the folder's changes.
  bool WaitForFrames(std::size_t Count, std::chrono::milliseconds Limit) const {
    return WaitUntil([&] { return Frames() >= Count; }, Limit);
  }
  // Waits until `Done` holds, looking again whenever the file changes.
  bool WaitUntil(const std::function<bool()>& Done, std::chrono::milliseconds Limit) const {
    const int watch = inotify_init1(IN_CLOEXEC);
    inotify_add_watch(watch, FFile.parent_path().c_str(), IN_MODIFY | IN_CREATE);
    const auto until = std::chrono::steady_clock::now() + Limit;
    bool reached = false;
    while (!(reached = Done()) && std::chrono::steady_clock::now() < until) {
      pollfd fd{watch, POLLIN, 0};
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      if (::poll(&fd, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0))) > 0) {
        char events[4096];
        [[maybe_unused]] const ssize_t read = ::read(watch, events, sizeof events);
      }
    }
    ::close(watch);
    return reached;
  }
  // The left channel of every frame written.
  std::vector<std::int16_t> Left() const {
    std::ifstream in(FFile, std::ios::binary);
    std::vector<std::int16_t> left;
    std::int16_t frame[2];
    while (in.read(reinterpret_cast<char*>(frame), sizeof frame)) left.push_back(frame[0]);
    return left;
  }

 private:
  std::filesystem::path FFile;
};

// The levels held for at least `Frames` frames in a row, in order, each once. The output's rate
// steering rounds off the edges between them by a few frames.
std::vector<int> Plateaus(const std::vector<std::int16_t>& Samples, std::size_t Frames) {
  std::vector<int> levels;
  for (std::size_t start = 0, end = 0; start < Samples.size(); start = end) {
    end = start;
    while (end < Samples.size() && Samples[end] == Samples[start]) ++end;
    if (end - start >= Frames && (levels.empty() || levels.back() != Samples[start])) levels.push_back(Samples[start]);
  }
  return levels;
}

class HeadlessPlayer : public ::testing::Test {
 protected:
  std::unique_ptr<ChildProcess> Start(std::vector<std::string> Arguments, const std::string& BusAddress) {
    Arguments.insert(Arguments.begin(), SIB_PLAY_PROGRAM);
    // What the sound and bus libraries keep for the life of the program is theirs.
    const std::string leaks = LeakSuppressions(FFolder.path("lsan.txt"), {"libSDL2", "libdbus", "libsystemd"});
    return std::make_unique<ChildProcess>(ChildProcess::Options{
        .Argv = Arguments,
        .Environment = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + FOutput.File().string(),
                        "DBUS_SESSION_BUS_ADDRESS=" + BusAddress, leaks},
        .Folder = FFolder.path("")});
  }

  TempFolder FFolder;
  DiskOutput FOutput{FFolder.path("played.raw")};
};

TEST_F(HeadlessPlayer, PlayerctlDrivesItAsItDrivesTheWindow) {
  // The brown recording comes from the build's data folder, as it would from the installed one.
  FFolder.write("Pink.wav", Level(10000));
  FFolder.write("White.wav", Level(20000));
  SessionBus bus;
  BusClient client(bus.Address());
  std::unique_ptr<ChildProcess> player = Start({"--noise", "pink", "--level", "50", "--seconds", "120"}, bus.Address());
  ASSERT_EQ(client.WaitForNameStartingWith(kName, 30s), kName) << player->ErrorOutput();

  struct Row {
    std::vector<std::string> Args;
    int ExitCode;
    std::string Output;
  };
  const auto playerctl = [](std::vector<std::string> args) { return PlayerctlCommand(std::move(args)); };
  const auto set = [](const std::string& value) { return DbusSetVolumeCommand(kName, value); };
  const auto call = [](const std::string& member) { return DbusSendCommand(kName, member); };
  const Row rows[] = {
      {playerctl({"status"}), 0, "Playing"},
      {playerctl({"metadata", "title"}), 0, "Pink Noise"},
      {playerctl({"volume"}), 0, "0.500000"},
      {playerctl({"pause"}), 0, ""},
      {playerctl({"status"}), 0, "Stopped"},
      {playerctl({"play-pause"}), 0, ""},
      {playerctl({"status"}), 0, "Playing"},
      {playerctl({"stop"}), 0, ""},
      {playerctl({"play"}), 0, ""},
      {playerctl({"status"}), 0, "Playing"},
      {playerctl({"previous"}), 0, ""},
      {playerctl({"metadata", "title"}), 0, "Brown Noise"},
      {playerctl({"previous"}), 1, ""},
      {playerctl({"next"}), 0, ""},
      {playerctl({"metadata", "title"}), 0, "Pink Noise"},
      {playerctl({"volume", "--", "-1"}), 0, ""},
      {playerctl({"volume"}), 0, "0.000000"},
      {set("7"), 0, ""},
      {playerctl({"volume"}), 0, "1.000000"},
      {set("nan"), 1, ""},
      {call("org.mpris.MediaPlayer2.Player.Rewind"), 1, ""},
      {call("org.mpris.MediaPlayer2.Raise"), 0, ""},
      {playerctl({"volume", "0.8"}), 0, ""},
      {playerctl({"volume"}), 0, "0.800000"},
      {playerctl({"next"}), 0, ""},
      {playerctl({"metadata", "title"}), 0, "White Noise"},
      {playerctl({"next"}), 1, ""},
      {playerctl({"status"}), 0, "Playing"},
  };
  for (const Row& row : rows) {
    std::string what;
    for (const std::string& arg : row.Args) what += arg + " ";
    const ClientResult result = RunBusClient(bus.Address(), row.Args);
    EXPECT_EQ(result.ExitCode, row.ExitCode) << what << result.Errors;
    if (row.Args[0] == "playerctl") {
      EXPECT_EQ(result.Output, row.Output) << what;
    }
  }
  // White at 0.8, once it has been heard for half a second (the output still held what went before);
  // then the desktop ends it.
  ASSERT_TRUE(FOutput.WaitUntil(
      [&] {
        const std::vector<int> levels = Plateaus(FOutput.Left(), kRate / 2);
        return !levels.empty() && levels.back() == 3200;
      },
      10s))
      << "white at 0.8 was not heard";
  EXPECT_EQ(RunBusClient(bus.Address(), call("org.mpris.MediaPlayer2.Quit")).ExitCode, 0);
  EXPECT_EQ(player->WaitForExit(30s), std::optional<int>(0)) << player->ErrorOutput();

  // Pink at 50 (10000 × 0.1) first; white at 0.8 (20000 × 0.16) last.
  std::vector<int> levels = Plateaus(FOutput.Left(), kBlockFrames);
  levels.erase(std::remove(levels.begin(), levels.end(), 0), levels.end());
  ASSERT_FALSE(levels.empty());
  EXPECT_EQ(levels.front(), 1000);
  EXPECT_EQ(levels.back(), 3200);
}

TEST_F(HeadlessPlayer, TheSleepTimerFadesToSilenceInStepsOfABlockAndEndsWithZeroAtItsTime) {
  FFolder.write("White.wav", Level(30000));
  const auto started = std::chrono::steady_clock::now();
  // No session bus: the player says so once and plays as before. Six seconds: the fade takes them all.
  std::unique_ptr<ChildProcess> player = Start({"--noise", "white", "--level", "100", "--sleep", "0.1"}, "");
  ASSERT_EQ(player->WaitForExit(30s), std::optional<int>(0)) << player->ErrorOutput();
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_GE(took, 6.0);
  EXPECT_LT(took, 8.0) << "the player ended late";
  const std::string notice =
      "sibilon-play: no session bus (DBUS_SESSION_BUS_ADDRESS is not set); media keys and desktop control are off\n";
  const std::string errors = player->ErrorOutput();
  EXPECT_NE(errors.find(notice), std::string::npos) << errors;
  EXPECT_EQ(errors.find(notice), errors.rfind(notice)) << "said more than once: " << errors;

  const std::vector<std::int16_t> left = FOutput.Left();
  std::size_t first = 0;
  while (first < left.size() && left[first] == 0) ++first;
  std::size_t last = left.size();
  while (last > first && left[last - 1] == 0) --last;
  ASSERT_LT(last, left.size()) << "the sound did not end in silence";
  ASSERT_GT(last - first, 5u * kRate) << "the fade was cut short";
  // Block by block: each block's level, then the next one's no more than one block's share of the fade
  // lower (6000 × 4096 / (6 × 44100) ≈ 92.9, and a unit of rounding), never higher; 0 at the end. The
  // short block at the end of each pass of the recording is a level of its own. A stretch of silence
  // between two levels is the device running short, not the fade: counted and passed over.
  std::vector<int> levels = Plateaus(std::vector<std::int16_t>(left.begin() + first, left.end()), 48);
  std::size_t gaps = 0;
  for (std::size_t i = levels.size(); i-- > 1;)
    if (levels[i - 1] == 0 && i < levels.size()) {
      levels.erase(levels.begin() + static_cast<std::ptrdiff_t>(i - 1));
      ++gaps;
    }
  ASSERT_GT(levels.size(), 6 * kRate / kBlockFrames - 4) << "the fade did not move block by block";
  EXPECT_EQ(levels.front(), 6000) << "the fade did not begin at the level (30000 × 0.2)";
  EXPECT_EQ(levels.back(), 0);
  const double step = 6000.0 * kBlockFrames / (6.0 * kRate) + 1;
  int largest = 0;
  for (std::size_t i = 1; i < levels.size(); ++i) {
    const int fall = levels[i - 1] - levels[i];
    EXPECT_GE(fall, 0) << "the level rose from " << levels[i - 1] << " to " << levels[i];
    EXPECT_LE(fall, step) << "a step from " << levels[i - 1] << " to " << levels[i];
    largest = std::max(largest, fall);
  }
  std::printf("sleep: ended after %.2f s; the fade sounded for %.2f s in %zu levels; its largest step %d (one "
              "block's share %.1f); the device ran short %zu times\n",
              took, static_cast<double>(last - first) / kRate, levels.size(), largest, step - 1, gaps);
}

}  // namespace
}  // namespace sib::test
