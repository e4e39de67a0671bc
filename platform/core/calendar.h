// The calendar over TDateTime (numeric.h): days since 30 December 1899 with the time of day as the
// fraction. Before that day the value is the day minus the time, so -1.25 is 29 December 1899 at
// 06:00. Times are kept to the millisecond: decoding rounds to the nearest one, and a time that
// rounds up to midnight is 00:00 of the next day. Years run from 1 to 9999; a date outside them
// raises EConvertError.
//
// The steps of a date range: days, months and years. A month or year step keeps the time and the
// day of the month, or the month's last day where the month is shorter (31 January + 1 month is 28
// or 29 February; 29 February + 1 year is 28 February).
#pragma once

#include <cstdint>

#include "platform/core/numeric.h"

namespace sib {

struct DateTimeParts {
  int Year = 1899;
  int Month = 12;
  int Day = 30;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
  int DayOfWeek = 7;  // 1 Sunday ... 7 Saturday
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Raises EConvertError for a value that is not a finite date of years 1 to 9999.
DateTimeParts DecodeDateTime(TDateTime value);
// Raises EConvertError for parts that name no moment (31 April, 24:00, year 0).
TDateTime EncodeDateTime(const DateTimeParts& parts);

TDateTime IncDay(TDateTime value, std::int64_t days);
TDateTime IncMonth(TDateTime value, std::int64_t months);
TDateTime IncYear(TDateTime value, std::int64_t years);

// The fewest steps of `monthsPerStep` months (k in IncMonth(start, ±k × monthsPerStep)) that reach
// or pass `end`, forward when end is after start and backward when it is before; 0 when equal.
std::int64_t MonthStepsToReach(TDateTime start, TDateTime end, int monthsPerStep);

}  // namespace sib
