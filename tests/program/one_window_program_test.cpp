// One window at a time: a second `sibilon` started while a window runs on a private session bus
// brings that window to the front, hands it its options and ends; without a bus a second window opens.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>

#include "tests/program/program_fixture.h"

namespace sib::test {
namespace {

// The mapped windows named exactly "Sibilon".
int WindowsNamedSibilon() {
  const std::string ids = RunProgram({"xdotool", "search", "--onlyvisible", "--name", "^Sibilon$"}).output;
  return static_cast<int>(std::count(ids.begin(), ids.end(), '\n'));
}

TEST_F(Program, ASecondStartHandsItsOptionsToTheWindowThatRunsRaisesItAndEnds) {
  const std::vector<std::int16_t> brown = readPcm16(std::string(SIB_DATA_DIR) + "/Brown.wav");
  ASSERT_FALSE(brown.empty()) << "the build's recordings are missing";
  ReferenceWindow reference(SIB_DATA_DIR);
  TForm1& window = *reference.form;

  SoundServer sound;
  MonitorRecorder recorder(sound);
  SessionBus bus;
  BusClient client(bus.Address());
  RecordingsFolder folder{"Brown.wav", "Pink.wav", "White.wav"};
  std::unique_ptr<ChildProcess> first = Start(folder.Path(), sound, bus.Address());
  ASSERT_TRUE(WaitForWindow()) << first->ErrorOutput();
  ASSERT_EQ(client.WaitForNameStartingWith("org.mpris.MediaPlayer2.sibilon", 30s), "org.mpris.MediaPlayer2.sibilon");
  Xdotool({"mousemove", "--sync", "0", "0"});

  // Another window over it (there is no window manager here: the X server's stacking order tells).
  ChildProcess cover(
      {.Argv = {"xmessage", "-geometry", "1280x1024+0+0", "cover"}, .Environment = {"DISPLAY=" + FX->Display()}});
  ASSERT_EQ(RunProgram({"timeout", "30", "xdotool", "search", "--sync", "--onlyvisible", "--classname", "xmessage"})
                .exitCode,
            0);
  const auto topmost = [] {
    const std::string tree = RunProgram({"xwininfo", "-root", "-children"}).output;
    return tree.find("\"Sibilon\"") < tree.find("\"xmessage\"") ? "Sibilon" : "xmessage";
  };
  ASSERT_STREQ(topmost(), "xmessage");

  // The second start: it ends with 0, and the first window plays brown noise at its level, in front.
  const std::size_t mark = recorder.Frames();
  std::unique_ptr<ChildProcess> second = Start(folder.Path(), sound, bus.Address(), {"--play", "--noise", "brown"});
  EXPECT_EQ(second->WaitForExit(30s), std::optional<int>(0)) << second->ErrorOutput();
  EXPECT_EQ(second->ErrorOutput(), "");
  EXPECT_STREQ(topmost(), "Sibilon");
  EXPECT_EQ(WindowsNamedSibilon(), 1) << "a second window opened";
  const std::optional<std::size_t> onset = recorder.WaitForSound(mark, 20, 20s);
  ASSERT_TRUE(onset) << "the window did not start";
  const std::size_t steady = *onset + MonitorRecorder::FramesOf(250ms);
  ASSERT_TRUE(recorder.WaitForFrames(steady + MonitorRecorder::FramesOf(2000ms), 10s));
  const std::vector<std::int16_t> heard = recorder.Samples(steady, MonitorRecorder::FramesOf(2000ms));
  EXPECT_NEAR(LevelAgainst(heard, brown), 0.1, 0.005);
  // Brown's brightness is tiny (pink's is 86 times it), so the rate steering's interpolation moves the
  // ratio more than for the others; 0.2 still tells brown from any other noise.
  EXPECT_NEAR(Brightness(heard) / Brightness(brown), 1.0, 0.2) << "not the brown recording";
  EXPECT_EQ(RunBusClient(bus.Address(), PlayerctlCommand({"metadata", "title"})).Output, "Brown Noise");
  {
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(SIB_DATA_DIR);
    TAdvSmoothSpinnerColumn* column = window.spNoise->Columns()->Items(0);
    column->ScrollToValue(column->RangeFrom(), false, 0);
    std::filesystem::current_path(here);
  }
  window.btnBegin->Click();
  const Png shot = Screenshot("program_second_start_brown.png");
  EXPECT_EQ(DifferentPixelsIn(shot, reference.Image(), *window.spNoise), 0) << "the spinner does not show Brown Noise";
  EXPECT_EQ(DifferentPixelsIn(shot, reference.Image(), *window.btnBegin), 0) << "the button does not show Stop";

  // A second start with a bad option is refused by itself, before it asks anyone.
  std::unique_ptr<ChildProcess> refused = Start(folder.Path(), sound, bus.Address(), {"--noise", "grey"});
  EXPECT_EQ(refused->WaitForExit(30s), std::optional<int>(2));

  EXPECT_EQ(RunBusClient(bus.Address(), {"dbus-send", "--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.sibilon",
                                         "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Quit"})
                .ExitCode,
            0);
  EXPECT_EQ(first->WaitForExit(30s), std::optional<int>(0)) << first->ErrorOutput();
}

TEST_F(Program, WithoutASessionBusASecondStartOpensASecondWindow) {
  SoundServer sound;
  RecordingsFolder folder{"Brown.wav", "Pink.wav", "White.wav"};
  std::unique_ptr<ChildProcess> first = Start(folder.Path(), sound);
  ASSERT_NE(WaitForWindowNamed("Sibilon", 60000), 0u) << first->ErrorOutput();
  std::unique_ptr<ChildProcess> second = Start(folder.Path(), sound);
  const auto until = std::chrono::steady_clock::now() + 60s;
  while (WindowsNamedSibilon() < 2 && std::chrono::steady_clock::now() < until && second->Running()) {
  }
  EXPECT_EQ(WindowsNamedSibilon(), 2) << second->ErrorOutput();
  second->Kill(SIGTERM);
  first->Kill(SIGTERM);
  second->WaitForExit(30s);
  first->WaitForExit(30s);
}

}  // namespace
}  // namespace sib::test
