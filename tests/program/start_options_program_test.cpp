// Both programs' command lines as a person meets them in a terminal: what --help and --version print
// (with no display), the one line a bad option gets, and the window started with options, heard from
// a private sound server and seen on a private X server.
#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>

#include "player/start_options.h"
#include "tests/program/program_fixture.h"

namespace sib::test {
namespace {

struct OptionRow {
  const char* Program;  // SIB_PROGRAM or SIB_PLAY_PROGRAM
  std::vector<std::string> Arguments;
  int ExitCode;
  std::string Output;  // what standard output begins with
  std::string Error;   // what standard error begins with
};

std::ostream& operator<<(std::ostream& os, const OptionRow& row) {
  os << std::filesystem::path(row.Program).filename().string();
  for (const std::string& argument : row.Arguments) os << ' ' << argument;
  return os;
}

class CommandLine : public ::testing::TestWithParam<OptionRow> {};

// Run where there is no display at all: the answers come before any window would.
TEST_P(CommandLine, IsAnsweredBeforeAnyWindowWithTheExitCodeAndTheLineItDeserves) {
  const OptionRow& row = GetParam();
  std::mutex mutex;
  std::string output;
  std::vector<std::string> argv{row.Program};
  argv.insert(argv.end(), row.Arguments.begin(), row.Arguments.end());
  ChildProcess program({.Argv = argv,
                        .Environment = {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=", "SDL_AUDIODRIVER=dummy",
                                        "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"},
                        .OnOutput = [&](std::span<const char> AText) {
                          const std::lock_guard lock(mutex);
                          output.append(AText.data(), AText.size());
                        }});
  ASSERT_EQ(program.WaitForExit(10s), std::optional<int>(row.ExitCode)) << program.ErrorOutput();
  const std::lock_guard lock(mutex);
  EXPECT_EQ(output.substr(0, row.Output.size()), row.Output) << output;
  EXPECT_EQ(program.ErrorOutput().substr(0, row.Error.size()), row.Error) << program.ErrorOutput();
  if (row.Error.empty()) {
    EXPECT_EQ(program.ErrorOutput(), "");
  }
  // A refusal is one line, then the usage.
  if (row.ExitCode == 2) {
    EXPECT_EQ(program.ErrorOutput().find('\n'), program.ErrorOutput().find("\n\nUsage:"));
  }
}

const std::string kVersion = VersionLine("");

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLine,
    ::testing::Values(
        OptionRow{SIB_PROGRAM, {"--help"}, 0, "Usage: sibilon [--play] [--noise brown|pink|white]", ""},
        OptionRow{SIB_PROGRAM, {"-h"}, 0, "Usage: sibilon ", ""},
        OptionRow{SIB_PROGRAM, {"--version"}, 0, "sibilon" + kVersion + "\n", ""},
        OptionRow{SIB_PLAY_PROGRAM, {"--help"}, 0, "Usage: sibilon-play ", ""},
        OptionRow{SIB_PLAY_PROGRAM, {"--version"}, 0, "sibilon-play" + kVersion + "\n", ""},
        OptionRow{SIB_PROGRAM, {"--noise", "grey"}, 2, "", "sibilon: --noise must be brown, pink or white, not \"grey\"\n"},
        OptionRow{SIB_PLAY_PROGRAM, {"--noise", "grey"}, 2, "", "sibilon-play: --noise must be brown, pink or white, not \"grey\"\n"},
        OptionRow{SIB_PROGRAM, {"--play", "--level=101"}, 2, "", "sibilon: --level must be a number from 0 to 100, not \"101\"\n"},
        OptionRow{SIB_PLAY_PROGRAM, {"--level=101"}, 2, "", "sibilon-play: --level must be a number from 0 to 100, not \"101\"\n"},
        OptionRow{SIB_PROGRAM, {"--sleep", "0"}, 2, "",
                  "sibilon: --sleep must be a number of minutes above 0 and at most a year (525600), not \"0\"\n"},
        OptionRow{SIB_PLAY_PROGRAM, {"--sleep", "0"}, 2, "",
                  "sibilon-play: --sleep must be a number of minutes above 0 and at most a year (525600), not \"0\"\n"},
        OptionRow{SIB_PROGRAM, {"--level"}, 2, "", "sibilon: --level needs a value\n"},
        OptionRow{SIB_PROGRAM, {"--play=1"}, 2, "", "sibilon: --play takes no value\n"},
        OptionRow{SIB_PROGRAM, {"--seconds", "5"}, 2, "", "sibilon: unknown argument \"--seconds\"\n"},
        OptionRow{SIB_PLAY_PROGRAM, {"--play"}, 2, "", "sibilon-play: unknown argument \"--play\"\n"},
        // Good options, but no desktop to open the window on: one line and 1.
        OptionRow{SIB_PROGRAM, {}, 1, "", "sibilon: needs a graphical desktop, and neither DISPLAY nor WAYLAND_DISPLAY is set\n"},
        OptionRow{SIB_PROGRAM, {"--play", "--noise", "brown"}, 1, "", "sibilon: needs a graphical desktop"}));

TEST(NoDisplay, TheWindowSaysSoInOneLineAndEndsWithinASecond) {
  const auto started = std::chrono::steady_clock::now();
  ChildProcess program({.Argv = {SIB_PROGRAM},
                        .Environment = {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=", "SDL_AUDIODRIVER=dummy"}});
  EXPECT_EQ(program.WaitForExit(10s), std::optional<int>(1));
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
  const std::string errors = program.ErrorOutput();
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

TEST_F(Program, StartOptionsPlayTheChosenNoiseAtTheChosenLevelFromTheStartAndTheWindowShowsThem) {
  const std::vector<std::int16_t> white = readPcm16(std::string(SIB_DATA_DIR) + "/White.wav");
  ASSERT_FALSE(white.empty()) << "the build's recordings are missing";
  ReferenceWindow reference(SIB_DATA_DIR);
  TForm1& window = *reference.form;

  SoundServer sound;
  MonitorRecorder recorder(sound);
  RecordingsFolder folder{"Brown.wav", "Pink.wav", "White.wav"};
  std::unique_ptr<ChildProcess> program = Start(folder.Path(), sound, kNoBus, {"--play", "--noise", "white", "--level", "30"});
  ASSERT_TRUE(WaitForWindow()) << program->ErrorOutput();
  Xdotool({"mousemove", "--sync", "0", "0"});  // the pointer away from the window

  // Sound from the start, with no click: the white recording at 30 × 0.002.
  const std::optional<std::size_t> onset = recorder.WaitForSound(0, 20, 30s);
  ASSERT_TRUE(onset) << "nothing played";
  const std::size_t steady = *onset + MonitorRecorder::FramesOf(250ms);
  ASSERT_TRUE(recorder.WaitForFrames(steady + MonitorRecorder::FramesOf(2000ms), 10s));
  const std::vector<std::int16_t> heard = recorder.Samples(steady, MonitorRecorder::FramesOf(2000ms));
  EXPECT_NEAR(LevelAgainst(heard, white), 0.06, 0.003);
  EXPECT_NEAR(Brightness(heard) / Brightness(white), 1.0, 0.1) << "not the white recording";

  // The spinner on White Noise, the readout at 030, the bar at 30 and the button at Stop: as the same
  // window shows them when a person sets them.
  {
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(SIB_DATA_DIR);
    TAdvSmoothSpinnerColumn* column = window.spNoise->Columns()->Items(0);
    column->ScrollToValue(column->RangeFrom() + 2, false, 0);
    std::filesystem::current_path(here);
  }
  window.tbVol->SetPosition(30);
  window.btnBegin->Click();
  reference.application.Loop().ProcessMessages();
  const Png shot = Screenshot("program_options_white_30.png");
  const TImageView image = reference.Image();
  EXPECT_EQ(DifferentPixelsIn(shot, image, *window.spNoise), 0) << "the spinner does not show White Noise";
  EXPECT_EQ(DifferentPixelsIn(shot, image, *window.ledVol), 0) << "the readout does not show 030";
  EXPECT_EQ(DifferentPixelsIn(shot, image, *window.btnBegin), 0) << "the button does not show Stop";
  std::printf("started with options: white at %.4f (0.06)\n", LevelAgainst(heard, white));

  ClickAt(ReferenceWindow::Middle(window.btnExit));
  EXPECT_EQ(program->WaitForExit(30s), std::optional<int>(0)) << program->ErrorOutput();
}

}  // namespace
}  // namespace sib::test
