#include "platform/core/numeric.h"

#include <chrono>

namespace sib {
namespace {

using namespace std::chrono;

constexpr sys_days kEpoch = year{1899} / December / 30;

}  // namespace

TDateTime encodeDate(int y, int m, int d) {
  const sys_days day = year{y} / month{static_cast<unsigned>(m)} / static_cast<unsigned>(d);
  return static_cast<double>((day - kEpoch).count());
}

TDateTime encodeTime(int hour, int minute, int second, int millisecond) {
  return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / 86'400'000.0;
}

TDateTime now() {
  const auto since = system_clock::now() - sys_time<system_clock::duration>(kEpoch);
  return duration<double, days::period>(since).count();
}

}  // namespace sib
