// A column's values: number, date-time and custom ranges, their steps and item texts, and the
// selected value, on columns of a collection that belongs to no spinner.
#include <gtest/gtest.h>

#include "controls/spinner.h"
#include "platform/core/calendar.h"

namespace sib::test {
namespace {

class SpinnerRangeTest : public ::testing::Test {
 protected:
  TAdvSmoothSpinnerColumns columns;
  TAdvSmoothSpinnerColumn& c = *columns.Add();
};

TDateTime Day(int y, int m, int d, int h = 0) {
  return EncodeDateTime(DateTimeParts{.Year = y, .Month = m, .Day = d, .Hour = h});
}

struct RangeCase {
  const char* name;
  TAdvSmoothSpinnerRangeType type;
  TAdvSmoothSpinnerStepType stepType;
  double step;
  double from, to;
  const char* format;
  std::int64_t count;
  std::int64_t k;
  double value;
  const char* text;
};

TEST_F(SpinnerRangeTest, RangesStepsAndItemTexts) {
  const double d0 = 40542.24794212963;  // 30/12/10 05:57
  const RangeCase cases[] = {
      {"numbers", rtNumber, stNumber, 1, 0, 20, "%g", 20, 3, 3, "3"},
      {"halves", rtNumber, stNumber, 0.5, 0, 10, "%.1f", 20, 5, 2.5, "2.5"},
      {"halves as whole numbers", rtNumber, stNumber, 0.5, 0, 10, "%d", 20, 5, 2.5, "2"},
      {"a bad format", rtNumber, stNumber, 1, 0, 20, "%s", 20, 1, 1, ""},
      {"days", rtDateTime, stDay, 1, d0, d0 + 20, "dd/mm/yy", 20, 2, d0 + 2, "01/01/11"},
      {"six hours", rtDateTime, stHour, 6, Day(2011, 1, 1), Day(2011, 1, 2), "hh:nn", 4, 1, Day(2011, 1, 1, 6), "06:00"},
      {"half hours", rtDateTime, stMinute, 30, Day(2011, 1, 1), Day(2011, 1, 1, 2), "hh:nn", 4, 3,
       Day(2011, 1, 1, 1) + 1.0 / 48, "01:30"},
      {"fifteen seconds", rtDateTime, stSecond, 15, Day(2011, 1, 1), Day(2011, 1, 1) + 60.0 / 86400, "nn:ss", 4, 2,
       Day(2011, 1, 1) + 30.0 / 86400, "00:30"},
      {"months from the 31st", rtDateTime, stMonth, 1, Day(2011, 1, 31), Day(2011, 12, 31), "dd/mm", 11, 1,
       Day(2011, 2, 28), "28/02"},
      {"years from 29 February", rtDateTime, stYear, 1, Day(2012, 2, 29), Day(2020, 2, 29), "dd/mm/yyyy", 8, 1,
       Day(2013, 2, 28), "28/02/2013"},
  };
  for (const RangeCase& r : cases) {
    SCOPED_TRACE(r.name);
    c.SetRangeType(r.type);
    c.SetStepType(r.stepType);
    c.SetStep(r.step);
    c.SetRangeFrom(r.from);
    c.SetRangeTo(r.to);
    c.SetDateRangeFrom(r.from);
    c.SetDateRangeTo(r.to);
    c.SetValueFormat(r.format);
    c.SetDateTimeValueFormat(r.format);
    EXPECT_EQ(c.GetRangeCount(), r.count);
    EXPECT_NEAR(c.IncSteps(c.GetRangeFrom(), r.k), r.value, 1e-9);
    EXPECT_EQ(c.StepsFromTo(c.GetRangeFrom(), r.value), r.k);
    EXPECT_EQ(c.ItemText(r.k), r.text);
  }
}

TEST_F(SpinnerRangeTest, MonthStepsGoBackwardForNegativeCountsAndOnlyDateCutsTheEnds) {
  c.SetRangeType(rtDateTime);
  c.SetStepType(stMonth);
  EXPECT_EQ(c.IncSteps(Day(2011, 3, 31), -1), Day(2011, 2, 28));
  EXPECT_EQ(c.IncSteps(Day(2011, 3, 31), 0), Day(2011, 3, 31));
  c.SetDateRangeFrom(Day(2011, 1, 1, 13));
  c.SetDateRangeTo(Day(2011, 1, 5, 13));
  EXPECT_EQ(c.GetRangeFrom(), Day(2011, 1, 1, 13));
  c.SetOnlyDate(true);
  EXPECT_EQ(c.GetRangeFrom(), Day(2011, 1, 1));
  EXPECT_EQ(c.GetRangeTo(), Day(2011, 1, 5));
}

TEST_F(SpinnerRangeTest, StepsOfZeroOrLessAreIgnored) {
  c.SetStep(2);
  c.SetStep(0);
  c.SetStep(-1);
  EXPECT_EQ(c.Step(), 2);
}

TEST_F(SpinnerRangeTest, TheSelectedValueIsClampedWhenReadAndARangeOfOneValueStoresMinusOne) {
  c.SetRangeFrom(5);
  c.SetRangeTo(10);
  EXPECT_EQ(c.SelectedValue(), 5) << "the stored 0 lies below the range";
  c.SetSelectedValue(7);
  EXPECT_EQ(c.SelectedValue(), 7);
  EXPECT_EQ(c.SelectedCustomIndex(), 2);
  EXPECT_EQ(c.CurrentScPos(), 2 * 25);
  c.SetSelectedValue(11);
  EXPECT_EQ(c.SelectedValue(), 7);

  c.SetRangeType(rtCustom);
  c.CustomItems()->Add()->SetText("only");
  c.SetSelectedValue(0);
  EXPECT_EQ(c.StoredSelectedValue(), -1);
  EXPECT_EQ(c.SelectedValue(), 0);
}

TEST_F(SpinnerRangeTest, ACustomColumnCountsItsItems) {
  c.SetRangeType(rtCustom);
  EXPECT_FALSE(c.HasItems());
  EXPECT_EQ(c.GetRangeTo(), -1);
  EXPECT_EQ(c.ClampToRange(5), -1) << "an empty range clamps to its end without fault";
  for (const char* text : {"Brown Noise", "Pink Noise", "White Noise"}) c.CustomItems()->Add()->SetText(text);
  EXPECT_TRUE(c.HasItems());
  EXPECT_EQ(c.GetRangeCount(), 2);
  EXPECT_EQ(c.ItemText(2), "White Noise");
  EXPECT_EQ(c.ItemText(3), "");
}

}  // namespace
}  // namespace sib::test
