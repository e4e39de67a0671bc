// Numeric helpers shared by the subsystems: rounding as the system rounds, and dates as day counts.
#pragma once

#include <cmath>
#include <cstdint>

namespace sib {

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
inline std::int64_t roundHalfEven(double x) {
  const double r = std::nearbyint(x);  // the default rounding mode rounds halves to even
  return static_cast<std::int64_t>(r);
}

// Days since 30 December 1899, with the time of day as the fraction.
using TDateTime = double;
using TDate = double;
using TTime = double;

TDateTime encodeDate(int year, int month, int day);
TDateTime encodeTime(int hour, int minute, int second, int millisecond);
TDateTime now();

}  // namespace sib
