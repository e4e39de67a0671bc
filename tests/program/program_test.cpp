// The whole program as a person uses it: `sibilon` started in a folder with the recordings, its window
// on a private X server driven with xdotool, its sound going to a private PulseAudio server and
// recorded from the null sink's monitor. The window's pixels are compared with the same window made in
// this process, and the recorded noise with the recordings themselves.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <functional>
#include <mutex>
#include <span>
#include <sstream>
#include <thread>

#include "tests/program/program_fixture.h"

namespace sib::test {
namespace {

using namespace std::chrono_literals;

// The threads SDL runs for the program's open playback devices ("SDLAudioP<n>").
int SdlAudioThreads(pid_t Pid) {
  int count = 0;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(Pid) + "/task", error)) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    if (std::getline(comm, name) && name.rfind("SDLAudioP", 0) == 0) ++count;
  }
  return count;
}

// SDL's thread ends some time after the device has played out; the wait is for that, bounded.
bool WaitForSdlAudioThreads(pid_t Pid, int Count, std::chrono::milliseconds Limit) {
  const auto deadline = std::chrono::steady_clock::now() + Limit;
  while (SdlAudioThreads(Pid) != Count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

TEST_F(Program, PlaysTheChosenNoiseAtTheChosenLevelUntilStoppedAndExitsCleanly) {
  const std::vector<std::int16_t> pink = readPcm16(std::string(SIB_DATA_DIR) + "/Pink.wav");
  const std::vector<std::int16_t> white = readPcm16(std::string(SIB_DATA_DIR) + "/White.wav");
  ASSERT_FALSE(pink.empty() || white.empty()) << "the build's recordings are missing";
  ReferenceWindow reference(SIB_DATA_DIR);
  TForm1& window = *reference.form;

  SoundServer sound;
  MonitorRecorder recorder(sound);
  RecordingsFolder folder{"Brown.wav", "Pink.wav", "White.wav"};
  std::unique_ptr<ChildProcess> program = Start(folder.Path(), sound);
  ASSERT_TRUE(WaitForWindow()) << program->ErrorOutput();
  Xdotool({"mousemove", "--sync", "0", "0"});  // the pointer away from the window

  // At start: Pink Noise chosen, the level at its middle, "050", "Start Noise" on silver, and silence.
  const std::size_t opened = recorder.Frames();
  ASSERT_TRUE(recorder.WaitForFrames(opened + MonitorRecorder::FramesOf(1000ms), 10s));
  const Png atStart = Screenshot("program_at_start.png");
  const TImageView image = reference.Image();
  ASSERT_EQ(atStart.width, image.Width);
  ASSERT_EQ(atStart.height, image.Height);
  EXPECT_EQ(DifferentPixels(atStart, image.Pixels, image.Stride), 0) << "the window differs from its description";
  EXPECT_EQ(Rms(recorder.Samples(opened, MonitorRecorder::FramesOf(1000ms))), 0) << "something played before Start";

  // Start: the pink recording at a tenth of its level (the output steers its rate a little).
  std::size_t mark = recorder.Frames();
  ClickAt(ReferenceWindow::Middle(window.btnBegin));
  const std::optional<std::size_t> onset = recorder.WaitForSound(mark, 20, 20s);
  ASSERT_TRUE(onset) << "Start played nothing";
  const std::size_t steady = *onset + MonitorRecorder::FramesOf(250ms);
  ASSERT_TRUE(recorder.WaitForFrames(steady + MonitorRecorder::FramesOf(2000ms), 10s));
  const std::vector<std::int16_t> started = recorder.Samples(steady, MonitorRecorder::FramesOf(2000ms));
  EXPECT_NEAR(LevelAgainst(started, pink), 0.1, 0.005);
  EXPECT_NEAR(Brightness(started) / Brightness(pink), 1.0, 0.1) << "not the pink recording";
  const Png playing = Screenshot("program_playing.png");
  reference.application.Loop().ProcessMessages();
  {
    // The same window in this process, started the same way, shows the same button.
    window.Events().HostMouseMove({}, ReferenceWindow::Middle(window.btnBegin));
    window.Events().HostMouseDown(mbLeft, {ssLeft}, ReferenceWindow::Middle(window.btnBegin));
    window.Events().HostMouseUp(mbLeft, {}, ReferenceWindow::Middle(window.btnBegin));
    EXPECT_EQ(DifferentPixelsIn(playing, reference.Image(), *window.btnBegin), 0) << "the button does not show Stop";
  }

  // The thumb dragged to the end: "100", and twice the level within two blocks and what the device
  // holds (measured below, by how long the stop takes to fall silent).
  const TGPRectF thumb = window.tbVol->GetSliderRect();
  const int thumbY = static_cast<int>(thumb.Y + thumb.Height / 2);
  MoveTo(window.tbVol->ClientToForm({static_cast<int>(thumb.X + thumb.Width / 2), thumbY}));
  Xdotool({"mousedown", "1"});
  const std::size_t dragged = recorder.Frames();
  MoveTo(window.tbVol->ClientToForm({window.tbVol->Width() - 1, thumbY}));
  Xdotool({"mouseup", "1"});
  ASSERT_TRUE(recorder.WaitForFrames(dragged + MonitorRecorder::FramesOf(2000ms), 10s));
  const std::optional<std::size_t> rise = LevelRise(recorder, dragged);
  ASSERT_TRUE(rise) << "the level did not rise";
  const std::vector<std::int16_t> louder =
      recorder.Samples(*rise + MonitorRecorder::FramesOf(200ms), MonitorRecorder::FramesOf(1000ms));
  EXPECT_NEAR(LevelAgainst(louder, pink), 0.2, 0.01);
  {
    const Png afterDrag = Screenshot("program_level_100.png");
    TAdvSmoothTrackBar& bar = *window.tbVol;
    const TGPRectF referenceThumb = bar.GetSliderRect();
    const TPoint from = bar.ClientToForm({static_cast<int>(referenceThumb.X + referenceThumb.Width / 2), thumbY});
    window.Events().HostMouseMove({}, from);
    window.Events().HostMouseDown(mbLeft, {ssLeft}, from);
    window.Events().HostMouseMove({ssLeft}, bar.ClientToForm({bar.Width() - 1, thumbY}));
    window.Events().HostMouseUp(mbLeft, {}, bar.ClientToForm({bar.Width() - 1, thumbY}));
    EXPECT_EQ(window.ledVol->Caption()->Value(), 100);
    EXPECT_EQ(DifferentPixelsIn(afterDrag, reference.Image(), *window.ledVol), 0) << "the readout does not show 100";
  }

  // White Noise chosen on the spinner while playing: the file switches without a pause.
  const TGPRectF band = window.spNoise->GetSelectedRect();
  mark = recorder.Frames();
  ClickAt(window.spNoise->ClientToForm(
      {window.spNoise->Width() / 2,
       static_cast<int>(band.Y + band.Height / 2) + window.spNoise->ColumnAppearance()->TextSpacing()}));
  std::optional<std::size_t> switched;
  for (std::size_t at = mark; !switched && recorder.WaitForFrames(at + 4096, 10s); at += 1024)
    if (Brightness(recorder.Samples(at, 4096)) > 0.9 * Brightness(white)) switched = at + 4096;
  ASSERT_TRUE(switched) << "White Noise never played";
  ASSERT_TRUE(recorder.WaitForFrames(*switched + MonitorRecorder::FramesOf(1000ms), 10s));
  EXPECT_NEAR(LevelAgainst(recorder.Samples(*switched, MonitorRecorder::FramesOf(1000ms)), white), 0.2, 0.01);
  const std::vector<double> levels = RmsLevels(recorder.Samples(mark, *switched - mark), 256);
  EXPECT_GT(*std::min_element(levels.begin(), levels.end()), 0.05 * Rms(white)) << "a gap at the switch";

  // Stop: silence once the device has played what it held, and from then on.
  const std::size_t stopped = recorder.Frames();
  ClickAt(ReferenceWindow::Middle(window.btnBegin));
  ASSERT_TRUE(recorder.WaitForFrames(stopped + MonitorRecorder::FramesOf(2000ms), 10s));
  const std::size_t silent = SilenceFrom(recorder, stopped, 2000ms);
  EXPECT_LT(silent - stopped, MonitorRecorder::FramesOf(1000ms)) << "Stop did not silence the noise";
  const std::size_t deviceHeld = silent - stopped;
  EXPECT_LE(*rise - dragged, 2 * kBlockFrames + deviceHeld + MonitorRecorder::FramesOf(50ms))
      << "the new level came late: " << (*rise - dragged) << " frames, the device held " << deviceHeld;

  std::printf("pink level %.4f (0.1), brightness %.3f of the recording's; louder %.4f (0.2); new level after %.1f ms; "
              "white level %.4f (0.2); stop silent after %.1f ms\n",
              LevelAgainst(started, pink), Brightness(started) / Brightness(pink), LevelAgainst(louder, pink),
              (*rise - dragged) * 1000.0 / MonitorRecorder::kRate,
              LevelAgainst(recorder.Samples(*switched, MonitorRecorder::FramesOf(1000ms)), white),
              deviceHeld * 1000.0 / MonitorRecorder::kRate);

  // Stopped and played out, the sound device is let go: SDL's thread for it ends, and nothing of the
  // program's sound wakes. Start plays again from there.
  EXPECT_TRUE(WaitForSdlAudioThreads(program->Pid(), 0, 20s)) << "SDL's audio thread runs on while stopped";
  Xdotool({"mousemove", "--sync", "0", "0"});  // a move to where the pointer already is never ends
  mark = recorder.Frames();
  ClickAt(ReferenceWindow::Middle(window.btnBegin));
  const std::optional<std::size_t> again = recorder.WaitForSound(mark, 20, 20s);
  ASSERT_TRUE(again) << "Start after a Stop played nothing";
  ASSERT_TRUE(recorder.WaitForFrames(*again + MonitorRecorder::FramesOf(1250ms), 10s));
  EXPECT_NEAR(LevelAgainst(recorder.Samples(*again + MonitorRecorder::FramesOf(250ms), MonitorRecorder::FramesOf(1000ms)),
                           white),
              0.2, 0.01);
  std::printf("second start heard after %.1f ms\n", (*again - mark) * 1000.0 / MonitorRecorder::kRate);
  Xdotool({"mousemove", "--sync", "0", "0"});
  ClickAt(ReferenceWindow::Middle(window.btnBegin));

  // Exit: the loop ends and the program with it, every thread joined.
  ClickAt(ReferenceWindow::Middle(window.btnExit));
  EXPECT_EQ(program->WaitForExit(30s), std::optional<int>(0)) << program->ErrorOutput();
  // Without a bus to reach, the program said so once and did all of the above as before.
  const std::string errors = program->ErrorOutput();
  const std::string notice = std::string("sibilon: can't reach the session bus at ") + kNoBus +
                             ": No such file or directory; media keys and desktop control are off\n";
  EXPECT_NE(errors.find(notice), std::string::npos) << errors;
  EXPECT_EQ(errors.find(notice), errors.rfind(notice)) << "said more than once: " << errors;
}

TEST_F(Program, AMissingRecordingIsShownAndTheProgramEndsWithOneOnceTheBoxIsClosed) {
  SoundServer sound;
  RecordingsFolder folder{"Brown.wav", "White.wav"};
  std::unique_ptr<ChildProcess> program = Start(folder.Path(), sound);
  ASSERT_TRUE(WaitForWindow()) << program->ErrorOutput();
  ASSERT_TRUE(program->WaitForErrorOutput("\n", 10s));
  // "<code> - <HEX>": the same number in decimal and in upper-case hexadecimal.
  const std::string errors = program->ErrorOutput();
  const std::string shown = "Sibilon: Can't open file : Pink.wav . - ";
  const std::size_t at = errors.find(shown);
  ASSERT_NE(at, std::string::npos) << errors;
  const std::string code = errors.substr(at + shown.size(), errors.find('\n', at) - at - shown.size());
  const std::size_t dash = code.find(" - ");
  ASSERT_NE(dash, std::string::npos) << code;
  const std::string decimal = code.substr(0, dash);
  const std::string hex = code.substr(dash + 3);
  EXPECT_EQ(decimal.find_first_not_of("0123456789"), std::string::npos) << code;
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos) << code;
  EXPECT_EQ(std::stoul(decimal), std::stoul(hex, nullptr, 16)) << code;
  Screenshot("program_missing_recording.png");
  EXPECT_FALSE(program->WaitForExit(0ms)) << "the program ended before the box was closed";
  Xdotool({"key", "--window", FWindow, "Return"});
  EXPECT_EQ(program->WaitForExit(30s), std::optional<int>(1)) << errors;
}

TEST_F(Program, MediaKeysAndScriptsDriveTheWindowAndItsSoundOverTheSessionBus) {
  const std::vector<std::int16_t> pink = readPcm16(std::string(SIB_DATA_DIR) + "/Pink.wav");
  const std::vector<std::int16_t> white = readPcm16(std::string(SIB_DATA_DIR) + "/White.wav");
  ASSERT_FALSE(pink.empty() || white.empty()) << "the build's recordings are missing";
  ReferenceWindow reference(SIB_DATA_DIR);
  TForm1& window = *reference.form;

  SoundServer sound;
  MonitorRecorder recorder(sound);
  SessionBus bus;
  BusClient client(bus.Address());
  RecordingsFolder folder{"Brown.wav", "Pink.wav", "White.wav"};
  std::unique_ptr<ChildProcess> program = Start(folder.Path(), sound, bus.Address());
  ASSERT_TRUE(WaitForWindow()) << program->ErrorOutput();
  ASSERT_EQ(client.WaitForNameStartingWith("org.mpris.MediaPlayer2.sibilon", 30s), "org.mpris.MediaPlayer2.sibilon");
  Xdotool({"mousemove", "--sync", "0", "0"});  // the pointer away from the window
  const auto playerctl = [&](std::vector<std::string> Args) {
    return RunBusClient(bus.Address(), PlayerctlCommand(std::move(Args)));
  };
  // The level and the brightness of the second that begins half a second after `From`: by then a
  // change has reached the speaker.
  const auto heard = [&](std::size_t From, const std::vector<std::int16_t>& Recording) {
    const std::size_t begin = From + MonitorRecorder::FramesOf(500ms);
    EXPECT_TRUE(recorder.WaitForFrames(begin + MonitorRecorder::FramesOf(1000ms), 10s));
    const std::vector<std::int16_t> samples = recorder.Samples(begin, MonitorRecorder::FramesOf(1000ms));
    return std::pair{LevelAgainst(samples, Recording), Brightness(samples) / Brightness(Recording)};
  };

  // Play, once the window has been open for a second as in the test above: the pink recording at a
  // tenth, and the button as a click leaves it.
  std::size_t mark = recorder.Frames();
  ASSERT_TRUE(recorder.WaitForFrames(mark + MonitorRecorder::FramesOf(1000ms), 10s));
  mark = recorder.Frames();
  EXPECT_EQ(playerctl({"play"}).ExitCode, 0);
  ASSERT_TRUE(recorder.WaitForSound(mark, 20, 20s)) << "Play played nothing";
  EXPECT_EQ(playerctl({"status"}).Output, "Playing");
  auto [level, brightness] = heard(recorder.Frames(), pink);
  const double started = level;
  EXPECT_NEAR(level, 0.1, 0.005);
  EXPECT_NEAR(brightness, 1.0, 0.1) << "not the pink recording";
  window.btnBegin->Click();
  EXPECT_EQ(DifferentPixelsIn(Screenshot("program_mpris_playing.png"), reference.Image(), *window.btnBegin), 0)
      << "the button does not show Stop";

  // Volume 0.8: the readout shows 080 and the noise plays at 0.16 of the recording.
  mark = recorder.Frames();
  EXPECT_EQ(playerctl({"volume", "0.8"}).ExitCode, 0);
  std::tie(level, brightness) = heard(mark, pink);
  const double louder = level;
  EXPECT_NEAR(level, 0.16, 0.008);
  window.tbVol->SetPosition(80);
  EXPECT_EQ(DifferentPixelsIn(Screenshot("program_mpris_volume.png"), reference.Image(), *window.ledVol), 0)
      << "the readout does not show 080";

  // Next: white noise at the same level, and the spinner on White Noise.
  mark = recorder.Frames();
  EXPECT_EQ(playerctl({"next"}).ExitCode, 0);
  EXPECT_EQ(playerctl({"metadata", "title"}).Output, "White Noise");
  std::tie(level, brightness) = heard(mark, white);
  EXPECT_NEAR(level, 0.16, 0.008);
  EXPECT_NEAR(brightness, 1.0, 0.1) << "not the white recording";
  const double whiteLevel = level;
  {
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(SIB_DATA_DIR);  // where the reference window's player finds White.wav
    window.spNoise->Columns()->Items(0)->Next(false);
    std::filesystem::current_path(here);
  }
  EXPECT_EQ(DifferentPixelsIn(Screenshot("program_mpris_white.png"), reference.Image(), *window.spNoise), 0)
      << "the spinner does not show White Noise";

  // Pause: silence once the device has played what it held, and the button back at Start.
  mark = recorder.Frames();
  EXPECT_EQ(playerctl({"pause"}).ExitCode, 0);
  EXPECT_EQ(playerctl({"status"}).Output, "Stopped");
  ASSERT_TRUE(recorder.WaitForFrames(mark + MonitorRecorder::FramesOf(2000ms), 10s));
  EXPECT_LT(SilenceFrom(recorder, mark, 2000ms) - mark, MonitorRecorder::FramesOf(1000ms)) << "Pause did not silence it";
  window.btnBegin->Click();
  EXPECT_EQ(DifferentPixelsIn(Screenshot("program_mpris_paused.png"), reference.Image(), *window.btnBegin), 0)
      << "the button does not show Start";

  // A click in the window is announced on the bus.
  client.WatchChanges();
  ClickAt(ReferenceWindow::Middle(window.btnBegin));
  EXPECT_EQ(client.NextChange(10s), "PlaybackStatus");
  EXPECT_EQ(playerctl({"status"}).Output, "Playing");

  // Raise: the window comes over another one that covers it (there is no window manager here, so the
  // X server's stacking order tells which is on top).
  ChildProcess cover(
      {.Argv = {"xmessage", "-geometry", "1280x1024+0+0", "cover"}, .Environment = {"DISPLAY=" + FX->Display()}});
  ASSERT_EQ(RunProgram({"timeout", "30", "xdotool", "search", "--sync", "--onlyvisible", "--classname", "xmessage"})
                .exitCode,
            0);
  const auto topmost = [] {
    const std::string tree = RunProgram({"xwininfo", "-root", "-children"}).output;
    return tree.find("\"Sibilon\"") < tree.find("\"xmessage\"") ? "Sibilon" : "xmessage";
  };
  EXPECT_STREQ(topmost(), "xmessage");
  EXPECT_EQ(RunBusClient(bus.Address(), {"dbus-send", "--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.sibilon",
                                         "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Raise"})
                .ExitCode,
            0);
  EXPECT_STREQ(topmost(), "Sibilon");

  // Quit ends the program as the exit button does.
  EXPECT_EQ(RunBusClient(bus.Address(), {"dbus-send", "--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.sibilon",
                                         "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Quit"})
                .ExitCode,
            0);
  EXPECT_EQ(program->WaitForExit(30s), std::optional<int>(0)) << program->ErrorOutput();
  EXPECT_EQ(program->ErrorOutput().find("sibilon:"), std::string::npos) << "the program complained";
  std::printf("over the bus: pink at %.4f (0.1), at volume 0.8 %.4f (0.16), white %.4f (0.16)\n", started, louder,
              whiteLevel);
}

// The window as a screen reader finds it: the desktop's accessibility bus started on demand by the
// session bus, accessibility switched on as a desktop's settings do, and a client of the screen
// readers' library reading and working the window through the registry.
class ScreenReader {
 public:
  explicit ScreenReader(const SessionBus& ABus) : FBus(ABus) {}

  ClientResult Run(std::vector<std::string> Args) const {
    Args.insert(Args.begin(), {"/usr/bin/python3", SIB_SCREEN_READER, "Sibilon"});
    return RunBusClient(FBus.Address(), Args);
  }
  std::string Tree() const { return Run({"tree"}).Output; }
  // A busctl call on the accessibility bus; its exit code and error.
  ClientResult Busctl(std::vector<std::string> Args) const {
    Args.insert(Args.begin(), {"busctl", "--address=" + A11yAddress()});
    return RunBusClient(FBus.Address(), Args);
  }
  std::string A11yAddress() const {
    const ClientResult r = RunBusClient(FBus.Address(), {"busctl", "--user", "call", "org.a11y.Bus", "/org/a11y/bus",
                                                          "org.a11y.Bus", "GetAddress"});
    // s "unix:path=..."
    const std::size_t open = r.Output.find('"');
    return open == std::string::npos ? "" : r.Output.substr(open + 1, r.Output.rfind('"') - open - 1);
  }

 private:
  const SessionBus& FBus;
};

// A screen reader listening for events of one kind (screen_reader.py listen) while a test goes on.
class ScreenReaderEvents {
 public:
  ScreenReaderEvents(const SessionBus& Bus, const std::string& Event, int Count)
      : FListener({.Argv = {"/usr/bin/python3", SIB_SCREEN_READER, "Sibilon", "listen", Event, std::to_string(Count),
                            "30"},
                   .Environment = {"DBUS_SESSION_BUS_ADDRESS=" + Bus.Address()},
                   .OnOutput = [this](std::span<const char> bytes) {
                     std::lock_guard lock(FMutex);
                     FLines.append(bytes.data(), bytes.size());
                     FSaid.notify_all();
                   }}) {}
  ~ScreenReaderEvents() { FListener.WaitForExit(std::chrono::seconds(40)); }

  // Whether it listens (said "ready").
  bool Ready() { return WaitFor("ready\n"); }
  bool WaitFor(const std::string& Text) {
    std::unique_lock lock(FMutex);
    return FSaid.wait_for(lock, std::chrono::seconds(20), [&] { return FLines.find(Text) != std::string::npos; });
  }
  std::string Lines() {
    std::lock_guard lock(FMutex);
    return FLines;
  }

 private:
  std::mutex FMutex;
  std::condition_variable FSaid;
  std::string FLines;
  ChildProcess FListener;  // last: its reader thread stops before what it writes into goes
};

// The line of the tree that begins with `Prefix` once its indent is left out; "" when none.
std::string TreeLine(const std::string& Tree, const std::string& Prefix) {
  std::istringstream lines(Tree);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t text = line.find_first_not_of(' ');
    if (text != std::string::npos && line.compare(text, Prefix.size(), Prefix) == 0) return line.substr(text);
  }
  return "";
}

TEST_F(Program, AScreenReaderReadsAndWorksTheWindowOverTheAccessibilityBus) {
  const std::vector<std::int16_t> pink = readPcm16(std::string(SIB_DATA_DIR) + "/Pink.wav");
  const std::vector<std::int16_t> white = readPcm16(std::string(SIB_DATA_DIR) + "/White.wav");
  ASSERT_FALSE(pink.empty() || white.empty()) << "the build's recordings are missing";
  SoundServer sound;
  MonitorRecorder recorder(sound);
  SessionBus bus({.DesktopServices = true, .Environment = {"DISPLAY=" + FX->Display()}});
  ASSERT_EQ(RunBusClient(bus.Address(), {"busctl", "--user", "set-property", "org.a11y.Bus", "/org/a11y/bus",
                                         "org.a11y.Status", "IsEnabled", "b", "true"})
                .ExitCode,
            0)
      << "the accessibility bus did not start";
  RecordingsFolder folder{"Brown.wav", "Pink.wav", "White.wav"};
  std::unique_ptr<ChildProcess> program = Start(folder.Path(), sound, bus.Address());
  ASSERT_TRUE(WaitForWindow()) << program->ErrorOutput();
  const ScreenReader reader(bus);
  const auto heard = [&](std::size_t From, const std::vector<std::int16_t>& Recording) {
    const std::size_t begin = From + MonitorRecorder::FramesOf(500ms);
    EXPECT_TRUE(recorder.WaitForFrames(begin + MonitorRecorder::FramesOf(1000ms), 10s));
    const std::vector<std::int16_t> samples = recorder.Samples(begin, MonitorRecorder::FramesOf(1000ms));
    return std::pair{LevelAgainst(samples, Recording), Brightness(samples) / Brightness(Recording)};
  };

  // The tree: each control with its role, name, states and value, as the window shows it.
  const std::string tree = reader.Tree();
  std::printf("%s\n", tree.c_str());
  // (The frame is active or not as the X server's focus has it: there is no window manager here.)
  EXPECT_NE(TreeLine(tree, "frame|Sibilon|").find("enabled,sensitive,showing,visible||"), std::string::npos) << tree;
  EXPECT_EQ(TreeLine(tree, "toggle button|"),
            "toggle button|Start Noise|checkable,enabled,focusable,focused,sensitive,showing,visible||")
      << tree;
  EXPECT_EQ(TreeLine(tree, "slider|"), "slider|Set Level|enabled,focusable,horizontal,sensitive,showing,visible|50[0,100]/1|")
      << tree;
  EXPECT_EQ(TreeLine(tree, "list box|"), "list box|Select Noise Type|enabled,focusable,sensitive,showing,visible||") << tree;
  EXPECT_EQ(TreeLine(tree, "list item|Pink Noise|"),
            "list item|Pink Noise|enabled,selectable,selected,sensitive,showing,visible||")
      << tree;
  EXPECT_EQ(TreeLine(tree, "list item|White Noise|"), "list item|White Noise|enabled,selectable,sensitive,showing,visible||")
      << tree;
  EXPECT_EQ(TreeLine(tree, "label|050|"), "label|050|enabled,sensitive,showing,visible||050") << tree;
  EXPECT_EQ(TreeLine(tree, "push button|Exit Program|"),
            "push button|Exit Program|enabled,focusable,sensitive,showing,visible||")
      << tree;
  EXPECT_NE(TreeLine(tree, "push button|Click here to visit"), "") << tree;

  // Start and Stop through the button's action: the tree is as it was.
  std::size_t mark = recorder.Frames();
  ASSERT_TRUE(recorder.WaitForFrames(mark + MonitorRecorder::FramesOf(1000ms), 10s));
  mark = recorder.Frames();
  EXPECT_EQ(reader.Run({"action", "Start Noise", "0"}).Output, "True");
  ASSERT_TRUE(recorder.WaitForSound(mark, 20, 20s)) << "the start button's action played nothing";
  auto [level, brightness] = heard(recorder.Frames(), pink);
  EXPECT_NEAR(level, 0.1, 0.005);
  EXPECT_EQ(TreeLine(reader.Tree(), "toggle button|"),
            "toggle button|Stop Noise|checkable,checked,enabled,focusable,focused,sensitive,showing,visible||");
  EXPECT_EQ(reader.Run({"action", "Stop Noise", "0"}).Output, "True");
  EXPECT_EQ(reader.Tree(), tree) << "the tree changed after a Start and Stop";

  // The level set to 80 through the slider's value: the readout reads 080 and the noise plays at 0.16.
  EXPECT_EQ(reader.Run({"action", "Start Noise", "0"}).Output, "True");
  mark = recorder.Frames();
  EXPECT_EQ(reader.Run({"value", "Set Level", "80"}).Output, "ok");
  std::tie(level, brightness) = heard(mark, pink);
  EXPECT_NEAR(level, 0.16, 0.008);
  const std::string louder = reader.Tree();
  EXPECT_EQ(TreeLine(louder, "label|080|"), "label|080|enabled,sensitive,showing,visible||080") << louder;
  EXPECT_EQ(TreeLine(louder, "slider|"), "slider|Set Level|enabled,focusable,horizontal,sensitive,showing,visible|80[0,100]/1|");

  // White Noise chosen through the list's selection: white plays.
  mark = recorder.Frames();
  EXPECT_EQ(reader.Run({"select", "Select Noise Type", "2"}).Output, "True");
  std::tie(level, brightness) = heard(mark, white);
  EXPECT_NEAR(level, 0.16, 0.008);
  EXPECT_NEAR(brightness, 1.0, 0.1) << "not the white recording";
  EXPECT_EQ(TreeLine(reader.Tree(), "list item|White Noise|"),
            "list item|White Noise|enabled,selectable,selected,sensitive,showing,visible||");

  // Tab moves the focus: a focus event names the exit button.
  {
    ScreenReaderEvents focus(bus, "object:state-changed:focused", 2);
    ASSERT_TRUE(focus.Ready()) << focus.Lines();
    Xdotool({"key", "--window", FWindow, "Tab"});
    EXPECT_TRUE(focus.WaitFor("object:state-changed:focused|push button|Exit Program|1")) << focus.Lines();
    EXPECT_NE(focus.Lines().find("object:state-changed:focused|toggle button|Stop Noise|0"), std::string::npos)
        << focus.Lines();
  }

  // Bad requests: each answered with an error, the window as it was.
  const std::string before = reader.Tree();
  // The application's name on the accessibility bus, from the registry; the objects' paths found by
  // asking each for its role and name.
  const std::string registry =
      reader.Busctl({"call", "org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root", "org.a11y.atspi.Accessible",
                     "GetChildren"})
          .Output;
  std::string app;
  for (std::size_t quote = registry.find("\":"); quote != std::string::npos && app.empty();
       quote = registry.find("\":", quote + 1)) {
    const std::string name = registry.substr(quote + 1, registry.find('"', quote + 1) - quote - 1);
    if (reader.Busctl({"get-property", name, "/org/a11y/atspi/accessible/root", "org.a11y.atspi.Accessible", "Name"})
            .Output == "s \"Sibilon\"")
      app = name;
  }
  ASSERT_FALSE(app.empty()) << registry;
  const std::string prefix = "/org/a11y/atspi/accessible/";
  const auto pathOf = [&](const std::string& Role, const std::string& Name) {
    for (int n = 1; n < 64; ++n) {
      const std::string path = prefix + std::to_string(n);
      if (reader.Busctl({"get-property", app, path, "org.a11y.atspi.Accessible", "Name"}).Output != "s \"" + Name + "\"")
        continue;
      if (reader.Busctl({"call", app, path, "org.a11y.atspi.Accessible", "GetRoleName"}).Output == "s \"" + Role + "\"")
        return path;
    }
    return std::string();
  };
  const std::string slider = pathOf("slider", "Set Level");
  const std::string list = pathOf("list box", "Select Noise Type");
  const std::string start = pathOf("toggle button", "Stop Noise");
  ASSERT_FALSE(slider.empty() || list.empty() || start.empty());
  struct BadRequest {
    const char* What;
    std::vector<std::string> Args;
  };
  const BadRequest requests[] = {
      {"level NaN", {"set-property", app, slider, "org.a11y.atspi.Value", "CurrentValue", "d", "nan"}},
      {"level 101", {"set-property", app, slider, "org.a11y.atspi.Value", "CurrentValue", "d", "101"}},
      {"level -1", {"set-property", app, slider, "org.a11y.atspi.Value", "CurrentValue", "d", "-1"}},
      {"unknown path", {"call", app, prefix + "4096", "org.a11y.atspi.Accessible", "GetRole"}},
      {"path outside the tree", {"call", app, "/org/a11y/atspi/elsewhere", "org.a11y.atspi.Accessible", "GetRole"}},
      {"child index past the end", {"call", app, list, "org.a11y.atspi.Accessible", "GetChildAtIndex", "i", "3"}},
      {"child to select past the end", {"call", app, list, "org.a11y.atspi.Selection", "SelectChild", "i", "3"}},
      {"negative child", {"call", app, list, "org.a11y.atspi.Selection", "SelectChild", "i", "-1"}},
      {"action 1 of one", {"call", app, start, "org.a11y.atspi.Action", "DoAction", "i", "1"}},
      {"action -1", {"call", app, start, "org.a11y.atspi.Action", "DoAction", "i", "-1"}},
      {"value of a button", {"get-property", app, start, "org.a11y.atspi.Value", "CurrentValue"}},
      {"unknown coordinate type", {"call", app, start, "org.a11y.atspi.Component", "GetExtents", "u", "7"}},
  };
  for (const BadRequest& request : requests) {
    SCOPED_TRACE(request.What);
    const ClientResult r = reader.Busctl(request.Args);
    EXPECT_NE(r.ExitCode, 0) << r.Output;
    EXPECT_FALSE(r.Errors.empty());
  }
  EXPECT_TRUE(program->Running()) << program->ErrorOutput();
  EXPECT_EQ(reader.Tree(), before) << "a bad request changed the window";

  // The context menu, opened from the keyboard, reads as a menu of check items with the timer in force
  // checked, and its first item lit; Escape closes it.
  const auto waitForTree = [&](const std::function<bool(const std::string&)>& Wanted) {
    std::string tree;
    for (int tries = 0; tries < 100 && !Wanted(tree = reader.Tree()); ++tries) std::this_thread::sleep_for(100ms);
    return tree;
  };
  Xdotool({"key", "--window", FWindow, "shift+F10"});
  const std::string menu =
      waitForTree([](const std::string& Tree) { return Tree.find("check menu item|No sleep timer|") != std::string::npos; });
  const std::string none = TreeLine(menu, "check menu item|No sleep timer|");
  EXPECT_NE(none.find(",checked,"), std::string::npos) << menu;
  EXPECT_NE(none.find("showing"), std::string::npos) << menu;
  EXPECT_EQ(TreeLine(menu, "check menu item|Stop after 15 minutes|").find(",checked,"), std::string::npos) << menu;
  EXPECT_NE(TreeLine(menu, "check menu item|Stop after 15 minutes|").find(",selected,"), std::string::npos) << menu;
  EXPECT_NE(TreeLine(menu, "menu||").find(",focused,"), std::string::npos) << menu;
  Xdotool({"key", "--window", FWindow, "Escape"});
  const std::string closed = waitForTree([](const std::string& Tree) {
    return Tree.find("check menu item|No sleep timer|") == std::string::npos ||
           TreeLine(Tree, "check menu item|No sleep timer|").find("showing") == std::string::npos;
  });
  EXPECT_EQ(TreeLine(closed, "menu||").find("showing"), std::string::npos) << closed;

  // The focus moved to the level by the screen reader; the start button's new name announced.
  EXPECT_EQ(reader.Busctl({"call", app, slider, "org.a11y.atspi.Component", "GrabFocus"}).Output, "b true");
  EXPECT_NE(TreeLine(reader.Tree(), "slider|Set Level|").find(",focused,"), std::string::npos);
  {
    ScreenReaderEvents names(bus, "object:property-change:accessible-name", 1);
    ASSERT_TRUE(names.Ready()) << names.Lines();
    EXPECT_EQ(reader.Run({"action", "Stop Noise", "0"}).Output, "True");
    EXPECT_TRUE(names.WaitFor("object:property-change:accessible-name|toggle button|Start Noise|0")) << names.Lines();
  }

  EXPECT_EQ(reader.Run({"action", "Exit Program", "0"}).ExitCode, 0);
  EXPECT_EQ(program->WaitForExit(30s), std::optional<int>(0)) << program->ErrorOutput();
  EXPECT_EQ(program->ErrorOutput().find("sibilon:"), std::string::npos) << program->ErrorOutput();
}

}  // namespace
}  // namespace sib::test
