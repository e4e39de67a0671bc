#include "platform/core/calendar.h"

#include <cmath>
#include <string>

#include "platform/core/errors.h"

namespace sib {
namespace {

constexpr std::int64_t kMillisecondsPerDay = 86'400'000;

// Days since 1 March of year 0 in the proleptic Gregorian calendar, and back (after H. Hinnant).
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe;
}

void civilFromDays(std::int64_t z, int& year, int& month, int& day) {
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

const std::int64_t kEpoch = daysFromCivil(1899, 12, 30);
const std::int64_t kFirstDay = daysFromCivil(1, 1, 1) - kEpoch;
const std::int64_t kLastDay = daysFromCivil(9999, 12, 31) - kEpoch;

[[noreturn]] void outOfRange(TDateTime value) {
  throw EConvertError("Invalid date-time value " + std::to_string(value) + ": outside the years 1 to 9999");
}

// A moment as whole days from the epoch and milliseconds into the day.
struct Moment {
  std::int64_t Day = 0;
  std::int64_t Milliseconds = 0;
};

Moment momentOf(TDateTime value) {
  if (!std::isfinite(value) || value < static_cast<double>(kFirstDay) - 1 || value > static_cast<double>(kLastDay) + 1)
    outOfRange(value);
  Moment m;
  const double whole = std::trunc(value);
  m.Day = static_cast<std::int64_t>(whole);
  m.Milliseconds = static_cast<std::int64_t>(std::llround(std::fabs(value - whole) * kMillisecondsPerDay));
  if (m.Milliseconds == kMillisecondsPerDay) {
    m.Milliseconds = 0;
    ++m.Day;
  }
  if (m.Day < kFirstDay || m.Day > kLastDay) outOfRange(value);
  return m;
}

TDateTime valueOf(Moment m) {
  if (m.Day < kFirstDay || m.Day > kLastDay)
    throw EConvertError("Invalid date: outside the years 1 to 9999");
  const double time = static_cast<double>(m.Milliseconds) / kMillisecondsPerDay;
  const double day = static_cast<double>(m.Day);
  return m.Day >= 0 ? day + time : day - time;
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) throw EConvertError("Invalid month " + std::to_string(month));
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

DateTimeParts DecodeDateTime(TDateTime value) {
  const Moment m = momentOf(value);
  DateTimeParts p;
  civilFromDays(m.Day + kEpoch, p.Year, p.Month, p.Day);
  std::int64_t ms = m.Milliseconds;
  p.Millisecond = static_cast<int>(ms % 1000);
  ms /= 1000;
  p.Second = static_cast<int>(ms % 60);
  ms /= 60;
  p.Minute = static_cast<int>(ms % 60);
  p.Hour = static_cast<int>(ms / 60);
  p.DayOfWeek = static_cast<int>(((m.Day + 6) % 7 + 7) % 7) + 1;
  return p;
}

TDateTime EncodeDateTime(const DateTimeParts& p) {
  const bool dateOk = p.Year >= 1 && p.Year <= 9999 && p.Month >= 1 && p.Month <= 12 && p.Day >= 1 &&
                      p.Day <= DaysInMonth(p.Year, p.Month);
  const bool timeOk = p.Hour >= 0 && p.Hour < 24 && p.Minute >= 0 && p.Minute < 60 && p.Second >= 0 &&
                      p.Second < 60 && p.Millisecond >= 0 && p.Millisecond < 1000;
  if (!dateOk || !timeOk) {
    throw EConvertError("Invalid date-time " + std::to_string(p.Year) + "-" + std::to_string(p.Month) + "-" +
                        std::to_string(p.Day) + " " + std::to_string(p.Hour) + ":" + std::to_string(p.Minute) +
                        ":" + std::to_string(p.Second) + "." + std::to_string(p.Millisecond));
  }
  Moment m;
  m.Day = daysFromCivil(p.Year, p.Month, p.Day) - kEpoch;
  m.Milliseconds = ((p.Hour * 60LL + p.Minute) * 60 + p.Second) * 1000 + p.Millisecond;
  return valueOf(m);
}

TDateTime IncDay(TDateTime value, std::int64_t days) {
  Moment m = momentOf(value);
  if (days > kLastDay - kFirstDay || days < kFirstDay - kLastDay) outOfRange(value + static_cast<double>(days));
  m.Day += days;
  return valueOf(m);
}

TDateTime IncMonth(TDateTime value, std::int64_t months) {
  const Moment m = momentOf(value);
  DateTimeParts p = DecodeDateTime(value);
  if (months > 12 * 10000 || months < -12 * 10000) outOfRange(value);
  const std::int64_t index = p.Year * 12LL + (p.Month - 1) + months;
  const std::int64_t year = index >= 0 ? index / 12 : (index - 11) / 12;
  if (year < 1 || year > 9999) throw EConvertError("Invalid date: outside the years 1 to 9999");
  p.Year = static_cast<int>(year);
  p.Month = static_cast<int>(index - year * 12) + 1;
  p.Day = std::min(p.Day, DaysInMonth(p.Year, p.Month));
  Moment moved;
  moved.Day = daysFromCivil(p.Year, p.Month, p.Day) - kEpoch;
  moved.Milliseconds = m.Milliseconds;
  return valueOf(moved);
}

TDateTime IncYear(TDateTime value, std::int64_t years) {
  if (years > 10000 || years < -10000) outOfRange(value);
  return IncMonth(value, years * 12);
}

std::int64_t MonthStepsToReach(TDateTime start, TDateTime end, int monthsPerStep) {
  if (monthsPerStep <= 0) throw EConvertError("Invalid month step " + std::to_string(monthsPerStep));
  const Moment from = momentOf(start);
  const Moment to = momentOf(end);
  const auto before = [](const Moment& a, const Moment& b) {
    return a.Day < b.Day || (a.Day == b.Day && a.Milliseconds < b.Milliseconds);
  };
  if (!before(from, to) && !before(to, from)) return 0;
  const int sign = before(from, to) ? 1 : -1;
  const DateTimeParts a = DecodeDateTime(start);
  const DateTimeParts b = DecodeDateTime(end);
  const std::int64_t months = std::llabs((b.Year * 12LL + b.Month) - (a.Year * 12LL + a.Month));
  // Start one step short of the calendar estimate and walk to the first step that gets there.
  std::int64_t k = std::max<std::int64_t>(0, months / monthsPerStep - 1);
  for (;; ++k) {
    const Moment at = momentOf(IncMonth(start, sign * k * monthsPerStep));
    if (sign > 0 ? !before(at, to) : !before(to, at)) return k;
  }
}

}  // namespace sib
