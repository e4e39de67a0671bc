// The sleep timer's title: the minutes left, rounded up, after the window's own title.
#include "app/window_sleep.h"

#include <gtest/gtest.h>

namespace sib {
namespace {

TEST(WindowSleep, TheTitleCountsTheMinutesLeftRoundedUp) {
  struct Row {
    double SecondsLeft;
    const char* Title;
  };
  const Row rows[] = {{900, "Sibilon \u2013 stops in 15 min"}, {899.5, "Sibilon \u2013 stops in 15 min"},
                      {840.01, "Sibilon \u2013 stops in 15 min"}, {840, "Sibilon \u2013 stops in 14 min"},
                      {7200, "Sibilon \u2013 stops in 120 min"}, {0.5, "Sibilon \u2013 stops in 1 min"},
                      {0, "Sibilon \u2013 stops in 0 min"}};
  for (const Row& row : rows) EXPECT_EQ(TWindowSleep::TitleFor("Sibilon", row.SecondsLeft), row.Title) << row.SecondsLeft;
}

}  // namespace
}  // namespace sib
