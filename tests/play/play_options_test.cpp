// The headless player's command line: defaults, both option forms, and every kind of bad argument
// with the complaint that names it.
#include "player/start_options.h"

#include <gtest/gtest.h>

#include "player/sleep_timer.h"
#include "tools/noise_chain.h"

namespace sib {
namespace {

TEST(PlayOptions, NoArgumentsPlayPinkAtFiftyOnTheDefaultDeviceUntilInterrupted) {
  const PlayArguments parsed = ParsePlayArguments({});
  EXPECT_EQ(parsed.Error, "");
  EXPECT_EQ(parsed.Options.Noise, "pink");
  EXPECT_EQ(parsed.Options.Level, 50);
  EXPECT_FALSE(parsed.Options.Seconds.has_value());
  EXPECT_EQ(parsed.Options.Device, "Default");
  EXPECT_EQ(parsed.Options.File, "");
  EXPECT_EQ(parsed.Options.Pace, PlayPace::Device);
  EXPECT_FALSE(parsed.Options.Status);
  EXPECT_FALSE(parsed.Options.ListDevices);
  EXPECT_FALSE(parsed.Options.Help);
}

TEST(PlayOptions, ValuesAreTakenAfterASpaceOrAnEqualsSign) {
  const PlayArguments parsed =
      ParsePlayArguments({"--noise", "white", "--level=100", "--seconds", "2.5", "--device=Second device"});
  ASSERT_EQ(parsed.Error, "");
  EXPECT_EQ(parsed.Options.Noise, "white");
  EXPECT_EQ(parsed.Options.Level, 100);
  EXPECT_EQ(parsed.Options.Seconds, 2.5);
  EXPECT_EQ(parsed.Options.Device, "Second device");
  EXPECT_EQ(ParsePlayArguments({"--sleep", "0.5"}).Options.SleepMinutes, 0.5);
  EXPECT_EQ(ParsePlayArguments({"--sleep=90"}).Options.SleepMinutes, 90);
  EXPECT_TRUE(ParsePlayArguments({"--list-devices"}).Options.ListDevices);
  const PlayArguments window = ParsePlayArguments({"--file=short.wav", "--paced-by", "player", "--status"});
  ASSERT_EQ(window.Error, "");
  EXPECT_EQ(window.Options.File, "short.wav");
  EXPECT_EQ(window.Options.Pace, PlayPace::Player);
  EXPECT_TRUE(window.Options.Status);
  EXPECT_TRUE(ParsePlayArguments({"--help"}).Options.Help);
}

struct BadRow {
  std::vector<std::string> Arguments;
  std::string Error;
};

class PlayOptionsRefused : public ::testing::TestWithParam<BadRow> {};

TEST_P(PlayOptionsRefused, WithAComplaintNamingTheArgument) {
  EXPECT_EQ(ParsePlayArguments(GetParam().Arguments).Error, GetParam().Error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlayOptionsRefused,
    ::testing::Values(BadRow{{"--noise", "grey"}, "--noise must be brown, pink or white, not \"grey\""},
                      BadRow{{"--noise", "Pink"}, "--noise must be brown, pink or white, not \"Pink\""},
                      BadRow{{"--level", "101"}, "--level must be a number from 0 to 100, not \"101\""},
                      BadRow{{"--level", "-1"}, "--level must be a number from 0 to 100, not \"-1\""},
                      BadRow{{"--level", "5x"}, "--level must be a number from 0 to 100, not \"5x\""},
                      BadRow{{"--level", "nan"}, "--level must be a number from 0 to 100, not \"nan\""},
                      BadRow{{"--seconds", "0"}, "--seconds must be a number above 0 and at most a year (31536000), not \"0\""},
                      BadRow{{"--seconds="}, "--seconds must be a number above 0 and at most a year (31536000), not \"\""},
                      BadRow{{"--seconds", "1e10"}, "--seconds must be a number above 0 and at most a year (31536000), not \"1e10\""},
                      BadRow{{"--sleep", "0"}, "--sleep must be a number of minutes above 0 and at most a year (525600), not \"0\""},
                      BadRow{{"--sleep", "525601"}, "--sleep must be a number of minutes above 0 and at most a year (525600), not \"525601\""},
                      BadRow{{"--sleep", "soon"}, "--sleep must be a number of minutes above 0 and at most a year (525600), not \"soon\""},
                      BadRow{{"--sleep", "20", "--seconds", "60"}, "--seconds and --sleep can't be used together"},
                      BadRow{{"--device", ""}, "--device needs a device name"},
                      BadRow{{"--level"}, "--level needs a value"},
                      BadRow{{"--file", ""}, "--file needs a file name"},
                      BadRow{{"--paced-by", "clock"}, "--paced-by must be device or player, not \"clock\""},
                      BadRow{{"--status=1"}, "--status takes no value"},
                      BadRow{{"--help=yes"}, "--help takes no value"},
                      BadRow{{"--volume", "3"}, "unknown argument \"--volume\""},
                      BadRow{{"pink"}, "unknown argument \"pink\""}));

TEST(PlayOptions, EachNoiseHasItsRecordingAndItsTitleInTheWindowsOrder) {
  EXPECT_EQ(NoiseNames(), (std::vector<std::string>{"brown", "pink", "white"}));
  EXPECT_EQ(NoiseFileName("brown"), "Brown.wav");
  EXPECT_EQ(NoiseFileName("pink"), "Pink.wav");
  EXPECT_EQ(NoiseFileName("white"), "White.wav");
  EXPECT_EQ(NoiseTitle("brown"), "Brown Noise");
  EXPECT_EQ(NoiseTitle("pink"), "Pink Noise");
  EXPECT_EQ(NoiseTitle("white"), "White Noise");
}

TEST(PlayOptions, TheSleepTimerFadesOverTheLastThirtySecondsOrAllOfAShorterTime) {
  struct Row {
    double Minutes;
    double Start;
    double Length;
  };
  const Row rows[] = {{20, 1170, 30}, {0.5, 0, 30}, {0.25, 0, 15}, {0.1, 0, 6}, {1, 30, 30}};
  for (const Row& row : rows) {
    const SleepFade fade = SleepFadeOf(row.Minutes);
    EXPECT_DOUBLE_EQ(fade.Start, row.Start) << row.Minutes << " minutes";
    EXPECT_DOUBLE_EQ(fade.Length, row.Length) << row.Minutes << " minutes";
  }
}

TEST(LevelGain, RunsFromZeroToAFifthAndFiftyIsTheWindowsStartingGain) {
  EXPECT_EQ(LevelGain(0), 0.0);
  EXPECT_EQ(LevelGain(50), 0.1);
  EXPECT_EQ(LevelGain(100), 0.2);
  EXPECT_EQ(LevelGain(35), 0.07);
}

}  // namespace
}  // namespace sib
