// The calendar and date-time patterns: day numbers around the epoch, month ends and leap years in
// the steps of a date range, rounding to the millisecond, and the pattern specifiers.
#include "platform/core/calendar.h"
#include "platform/core/date_time_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/core/errors.h"

namespace sib {
namespace {

TDateTime date(int y, int m, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return EncodeDateTime({y, m, d, h, mi, s, ms});
}

std::string iso(TDateTime v) { return FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", v); }

TEST(Calendar, DayNumbersAroundTheEpochAndTheEndsOfTheRange) {
  const struct {
    TDateTime Value;
    const char* Expected;
  } rows[] = {{0, "1899-12-30 00:00:00.000"},     {1, "1899-12-31 00:00:00.000"},
              {2, "1900-01-01 00:00:00.000"},     {60, "1900-02-28 00:00:00.000"},
              {61, "1900-03-01 00:00:00.000"},    {-1.25, "1899-12-29 06:00:00.000"},
              {-0.75, "1899-12-30 18:00:00.000"}, {36526, "2000-01-01 00:00:00.000"},
              {36585, "2000-02-29 00:00:00.000"}, {40542.27532230324, "2010-12-30 06:36:27.847"},
              {-693593, "0001-01-01 00:00:00.000"}, {2958465.999, "9999-12-31 23:58:33.600"}};
  for (const auto& row : rows) EXPECT_EQ(iso(row.Value), row.Expected) << row.Value;
  EXPECT_EQ(DecodeDateTime(0).DayOfWeek, 7);  // a Saturday
  EXPECT_EQ(DecodeDateTime(40542).DayOfWeek, 5);
  EXPECT_EQ(date(2012, 2, 29), 40968);
  EXPECT_EQ(date(1899, 12, 29, 6), -1.25);
  EXPECT_EQ(date(2010, 12, 30, 6, 36, 27, 847), 40542 + (((6 * 60 + 36) * 60 + 27) * 1000 + 847) / 86400000.0);
}

TEST(Calendar, TimesRoundToTheMillisecondAndMidnightCarriesToTheNextDay) {
  EXPECT_EQ(iso(1 - 1e-10), "1899-12-31 00:00:00.000");
  EXPECT_EQ(iso(2 - 0.4 / 86400000), "1900-01-01 00:00:00.000");
  EXPECT_EQ(iso(2 - 0.6 / 86400000), "1899-12-31 23:59:59.999");
  EXPECT_EQ(iso(2 - 1.6 / 86400000), "1899-12-31 23:59:59.998");
  EXPECT_EQ(iso(-1 - (1 - 1e-10)), "1899-12-30 00:00:00.000");
}

TEST(Calendar, LeapYearsAndMonthLengths) {
  const struct {
    int Year;
    bool Leap;
  } years[] = {{1900, false}, {2000, true}, {2011, false}, {2012, true}, {2100, false}, {2400, true}, {4, true}};
  for (const auto& y : years) {
    EXPECT_EQ(IsLeapYear(y.Year), y.Leap) << y.Year;
    EXPECT_EQ(DaysInMonth(y.Year, 2), y.Leap ? 29 : 28) << y.Year;
  }
  EXPECT_EQ(DaysInMonth(2011, 4), 30);
  EXPECT_EQ(DaysInMonth(2011, 12), 31);
  EXPECT_THROW(DaysInMonth(2011, 13), EConvertError);
}

TEST(Calendar, EncodingRefusesPartsThatNameNoMoment) {
  const DateTimeParts bad[] = {{2011, 2, 29}, {2011, 4, 31}, {2011, 13, 1}, {2011, 0, 1},
                               {0, 1, 1},     {10000, 1, 1}, {2011, 1, 1, 24}, {2011, 1, 1, 0, 60},
                               {2011, 1, 1, 0, 0, 60}, {2011, 1, 1, 0, 0, 0, 1000}, {2011, 1, 0}};
  for (const auto& p : bad) EXPECT_THROW(EncodeDateTime(p), EConvertError) << p.Year << "-" << p.Month << "-" << p.Day;
  for (double v : {std::numeric_limits<double>::quiet_NaN(), double{INFINITY}, 2958466.5, -693594.5, 1e300})
    EXPECT_THROW(DecodeDateTime(v), EConvertError) << v;
}

TEST(CalendarSteps, MonthsAndYearsKeepTheDayOrTakeTheMonthsLastDay) {
  const struct {
    TDateTime From;
    std::int64_t Months;
    TDateTime Expected;
  } rows[] = {
      {date(2011, 1, 31), 1, date(2011, 2, 28)},        {date(2012, 1, 31), 1, date(2012, 2, 29)},
      {date(2012, 3, 31), -1, date(2012, 2, 29)},       {date(2011, 3, 31), 1, date(2011, 4, 30)},
      {date(2011, 12, 15), 1, date(2012, 1, 15)},       {date(2012, 1, 15), -1, date(2011, 12, 15)},
      {date(2011, 1, 31), 13, date(2012, 2, 29)},       {date(2011, 5, 31), -15, date(2010, 2, 28)},
      {date(2012, 2, 29), 12, date(2013, 2, 28)},       {date(2012, 2, 29), 48, date(2016, 2, 29)},
      {date(2000, 2, 29), 1200, date(2100, 2, 28)},     {date(2010, 12, 30, 6, 36, 27, 847), 1, date(2011, 1, 30, 6, 36, 27, 847)},
      {date(1899, 12, 29, 6), 1, date(1900, 1, 29, 6)}, {date(1900, 1, 29, 6), -1, date(1899, 12, 29, 6)},
      {date(2011, 1, 31), 0, date(2011, 1, 31)},
  };
  for (const auto& row : rows) EXPECT_EQ(iso(IncMonth(row.From, row.Months)), iso(row.Expected)) << iso(row.From) << " + " << row.Months;
  EXPECT_EQ(iso(IncYear(date(2012, 2, 29), 1)), iso(date(2013, 2, 28)));
  EXPECT_EQ(iso(IncYear(date(2012, 2, 29), -4)), iso(date(2008, 2, 29)));
}

TEST(CalendarSteps, DaysCrossTheEpochKeepingTheTime) {
  EXPECT_EQ(iso(IncDay(0.25, -1)), "1899-12-29 06:00:00.000");
  EXPECT_EQ(iso(IncDay(-1.25, 2)), "1899-12-31 06:00:00.000");
  EXPECT_EQ(iso(IncDay(date(2012, 2, 28, 12), 1)), "2012-02-29 12:00:00.000");
  EXPECT_EQ(iso(IncDay(date(2011, 2, 28, 12), 1)), "2011-03-01 12:00:00.000");
}

TEST(CalendarSteps, StepsOutsideTheYearsRaise) {
  EXPECT_THROW(IncYear(date(9999, 6, 1), 1), EConvertError);
  EXPECT_THROW(IncMonth(date(1, 1, 1), -1), EConvertError);
  EXPECT_THROW(IncDay(date(9999, 12, 31), 1), EConvertError);
  EXPECT_THROW(IncMonth(0, std::numeric_limits<std::int64_t>::max()), EConvertError);
  EXPECT_THROW(IncDay(0, std::numeric_limits<std::int64_t>::min()), EConvertError);
}

TEST(CalendarSteps, StepsToReachARangesEnd) {
  const struct {
    TDateTime From;
    TDateTime To;
    int MonthsPerStep;
    std::int64_t Steps;
  } rows[] = {{date(2011, 1, 31), date(2011, 3, 30), 1, 2},   // 28 Feb falls short, 31 Mar passes
              {date(2011, 1, 31), date(2011, 2, 28), 1, 1},   {date(2011, 1, 15), date(2011, 1, 15), 1, 0},
              {date(2011, 1, 15), date(2011, 1, 15, 0, 0, 0, 1), 1, 1},
              {date(2011, 1, 15), date(2021, 1, 15), 12, 10}, {date(2011, 1, 15), date(2021, 1, 16), 12, 11},
              {date(2012, 2, 29), date(2016, 2, 28), 12, 4},  {date(2011, 3, 31), date(2011, 1, 31), 1, 2},
              {date(2011, 3, 31), date(2011, 2, 1), 1, 2},    {date(2010, 12, 30), date(2011, 1, 19), 1, 1},
              {date(1, 1, 1), date(9999, 12, 1), 1, 119987}};
  for (const auto& row : rows)
    EXPECT_EQ(MonthStepsToReach(row.From, row.To, row.MonthsPerStep), row.Steps) << iso(row.From) << " to " << iso(row.To);
  EXPECT_THROW(MonthStepsToReach(0, 1, 0), EConvertError);
}

struct PatternCase {
  const char* Pattern;
  TDateTime Value;
  const char* Expected;
};

std::ostream& operator<<(std::ostream& os, const PatternCase& c) { return os << '"' << c.Pattern << '"'; }

class DateTimePatterns : public ::testing::TestWithParam<PatternCase> {};

TEST_P(DateTimePatterns, RenderAsWritten) {
  EXPECT_EQ(FormatDateTime(GetParam().Pattern, GetParam().Value), GetParam().Expected);
}

constexpr TDateTime kStored = 40542.27532230324;  // Thursday 30 December 2010, 06:36:27.847

INSTANTIATE_TEST_SUITE_P(Specifiers, DateTimePatterns, ::testing::Values(
    PatternCase{"hh:nn:ss", kStored, "06:36:27"}, PatternCase{"dd/mm/yy", kStored, "30/12/10"},
    PatternCase{"HH:NN:SS", kStored, "06:36:27"}, PatternCase{"h:n:s", kStored, "6:36:27"},
    PatternCase{"d/m/yyyy", 40544, "1/1/2011"}, PatternCase{"ddd dddd", kStored, "Thu Thursday"},
    PatternCase{"mmm mmmm", kStored, "Dec December"}, PatternCase{"h:mm", kStored, "6:36"},
    PatternCase{"hh dd/mm", kStored, "06 30/12"}, PatternCase{"zzz z", kStored, "847 847"},
    PatternCase{"y yyy", kStored, "10 2010"}, PatternCase{"yyyy", -693593, "0001"},
    PatternCase{"yyyy-mm-dd'T'hh:nn:ss", kStored, "2010-12-30T06:36:27"},
    PatternCase{"'day' d \"of\" mmmm", kStored, "day 30 of December"}, PatternCase{"d 'open", kStored, "30 open"},
    PatternCase{"ddddd", kStored, "30/12/2010"}, PatternCase{"dddddd", kStored, "Thursday, 30 December 2010"},
    PatternCase{"t", kStored, "06:36"}, PatternCase{"tt", kStored, "06:36:27"},
    PatternCase{"c", kStored, "30/12/2010 06:36:27"}, PatternCase{"c", 40542, "30/12/2010"},
    PatternCase{"", kStored, "30/12/2010 06:36:27"}, PatternCase{"[x] = d!", kStored, "[x] = 30!"}));

INSTANTIATE_TEST_SUITE_P(TwelveHourClock, DateTimePatterns, ::testing::Values(
    PatternCase{"h:nn am/pm", 0.75, "6:00 pm"}, PatternCase{"h:nn AM/PM", 0.25, "6:00 AM"},
    PatternCase{"hh a/p", 0.5, "12 p"}, PatternCase{"hh A/P", 0, "12 A"}, PatternCase{"h ampm", 0.99, "11 PM"},
    PatternCase{"hh:nn 'am/pm'", 0.75, "18:00 am/pm"}));

TEST(DateTimePatternErrors, AValueOutsideTheYearsRaises) {
  EXPECT_THROW(FormatDateTime("dd/mm/yy", 1e10), EConvertError);
  EXPECT_THROW(FormatDateTime("hh:nn:ss", std::numeric_limits<double>::quiet_NaN()), EConvertError);
}

}  // namespace
}  // namespace sib
