// The window's command line: what each option sets, that an option not given stays unset, and that
// the refusals are the headless player's words for the options the two share.
#include "player/start_options.h"

#include <gtest/gtest.h>

#include <ostream>

namespace sib {
namespace {

TEST(WindowOptions, NoArgumentsLeaveEverythingAsTheWindowStarts) {
  const WindowArguments parsed = ParseWindowArguments({});
  EXPECT_EQ(parsed.Error, "");
  EXPECT_FALSE(parsed.Options.Play);
  EXPECT_FALSE(parsed.Options.Noise.has_value());
  EXPECT_FALSE(parsed.Options.Level.has_value());
  EXPECT_FALSE(parsed.Options.SleepMinutes.has_value());
  EXPECT_FALSE(parsed.Options.Help);
  EXPECT_FALSE(parsed.Options.Version);
}

struct GoodRow {
  std::vector<std::string> Arguments;
  bool Play;
  std::optional<std::string> Noise;
  std::optional<double> Level;
  std::optional<double> Sleep;
};

std::ostream& operator<<(std::ostream& os, const GoodRow& row) {
  for (const std::string& argument : row.Arguments) os << argument << ' ';
  return os;
}

class WindowOptionsTaken : public ::testing::TestWithParam<GoodRow> {};

TEST_P(WindowOptionsTaken, SetWhatTheyNameAndNothingElse) {
  const GoodRow& row = GetParam();
  const WindowArguments parsed = ParseWindowArguments(row.Arguments);
  ASSERT_EQ(parsed.Error, "");
  EXPECT_EQ(parsed.Options.Play, row.Play);
  EXPECT_EQ(parsed.Options.Noise, row.Noise);
  EXPECT_EQ(parsed.Options.Level, row.Level);
  EXPECT_EQ(parsed.Options.SleepMinutes, row.Sleep);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WindowOptionsTaken,
    ::testing::Values(GoodRow{{"--play"}, true, {}, {}, {}},
                      GoodRow{{"--play", "--noise", "white", "--level", "30"}, true, "white", 30, {}},
                      GoodRow{{"--noise=brown"}, false, "brown", {}, {}},
                      GoodRow{{"--level=0"}, false, {}, 0, {}},
                      GoodRow{{"--level", "100"}, false, {}, 100, {}},
                      GoodRow{{"--level", "50", "--noise", "pink"}, false, "pink", 50, {}},
                      GoodRow{{"--sleep", "30"}, false, {}, {}, 30},
                      GoodRow{{"--sleep=0.5", "--play"}, true, {}, {}, 0.5}));

TEST(WindowOptions, HelpAndVersionAreFlags) {
  EXPECT_TRUE(ParseWindowArguments({"--help"}).Options.Help);
  EXPECT_TRUE(ParseWindowArguments({"-h"}).Options.Help);
  EXPECT_TRUE(ParseWindowArguments({"--version"}).Options.Version);
  EXPECT_TRUE(ParsePlayArguments({"--version"}).Options.Version);
  EXPECT_EQ(VersionLine("sibilon").rfind("sibilon ", 0), 0u);
}

struct BadRow {
  std::vector<std::string> Arguments;
  std::string Error;
};

std::ostream& operator<<(std::ostream& os, const BadRow& row) {
  for (const std::string& argument : row.Arguments) os << argument << ' ';
  return os;
}

class WindowOptionsRefused : public ::testing::TestWithParam<BadRow> {};

TEST_P(WindowOptionsRefused, WithTheComplaintThatNamesTheArgument) {
  EXPECT_EQ(ParseWindowArguments(GetParam().Arguments).Error, GetParam().Error);
}

// The options both programs take are refused by both in the same words.
TEST_P(WindowOptionsRefused, AsTheHeadlessPlayerRefusesTheOptionsItShares) {
  const std::vector<std::string>& arguments = GetParam().Arguments;
  const std::string& first = arguments.front();
  if (first.starts_with("--play") || first.starts_with("--seconds") || first.starts_with("--device") ||
      first.starts_with("--list-devices"))
    GTEST_SKIP();
  EXPECT_EQ(ParsePlayArguments(arguments).Error, GetParam().Error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WindowOptionsRefused,
    ::testing::Values(BadRow{{"--noise", "grey"}, "--noise must be brown, pink or white, not \"grey\""},
                      BadRow{{"--level", "101"}, "--level must be a number from 0 to 100, not \"101\""},
                      BadRow{{"--level=-1"}, "--level must be a number from 0 to 100, not \"-1\""},
                      BadRow{{"--level"}, "--level needs a value"},
                      BadRow{{"--sleep", "0"}, "--sleep must be a number of minutes above 0 and at most a year (525600), not \"0\""},
                      BadRow{{"--sleep", "soon"}, "--sleep must be a number of minutes above 0 and at most a year (525600), not \"soon\""},
                      BadRow{{"--play=yes"}, "--play takes no value"},
                      BadRow{{"--version=2"}, "--version takes no value"},
                      // What only the headless player takes is unknown to the window.
                      BadRow{{"--seconds", "10"}, "unknown argument \"--seconds\""},
                      BadRow{{"--device", "Default"}, "unknown argument \"--device\""},
                      BadRow{{"--list-devices"}, "unknown argument \"--list-devices\""},
                      BadRow{{"--volume", "3"}, "unknown argument \"--volume\""},
                      BadRow{{"white"}, "unknown argument \"white\""}));

TEST(PlayOptions, TheWindowsOwnOptionIsUnknownToTheHeadlessPlayer) {
  EXPECT_EQ(ParsePlayArguments({"--play"}).Error, "unknown argument \"--play\"");
}

}  // namespace
}  // namespace sib
