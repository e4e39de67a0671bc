#include "platform/core/date_time_format.h"

#include <cctype>

#include "platform/core/calendar.h"
#include "platform/core/quoted_text.h"

namespace sib {
namespace {

constexpr const char* kShortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kLongDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr const char* kShortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kLongMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};

constexpr std::string_view kShortDate = "dd/mm/yyyy";
constexpr std::string_view kLongDate = "dddd, d mmmm yyyy";
constexpr std::string_view kShortTime = "hh:nn";
constexpr std::string_view kLongTime = "hh:nn:ss";

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool startsWithNoCase(std::string_view s, std::size_t at, std::string_view word) {
  if (s.size() - at < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (lower(s[at + i]) != word[i]) return false;
  return true;
}

std::string twoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

std::string digits(int n, std::size_t width) {
  std::string text = std::to_string(n);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

bool hasHalfDayMarker(std::string_view pattern) {
  QuoteTracker quotes;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (quotes.Next(pattern[i]) != QuoteState::Outside) continue;
    if (startsWithNoCase(pattern, i, "am/pm") || startsWithNoCase(pattern, i, "a/p") || startsWithNoCase(pattern, i, "ampm"))
      return true;
  }
  return false;
}

// Keeps the case of the marker as written: "AM/PM" gives "PM", "am/pm" "pm".
std::string halfDay(std::string_view written, bool afternoon) {
  const std::string_view half = afternoon ? written.substr(written.find('/') + 1) : written.substr(0, written.find('/'));
  return std::string(half);
}

class Renderer {
 public:
  Renderer(const DateTimeParts& parts, bool twelveHour) : p_(parts), twelveHour_(twelveHour) {}

  void Render(std::string_view pattern, std::string& out, int depth = 0) {
    bool afterHour = false;
    for (std::size_t i = 0; i < pattern.size();) {
      const char c = pattern[i];
      if (c == '\'' || c == '"') {
        const std::size_t close = pattern.find(c, i + 1);
        const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
        out += pattern.substr(i + 1, end - i - 1);
        i = end == pattern.size() ? end : end + 1;
        continue;
      }
      if (startsWithNoCase(pattern, i, "am/pm")) {
        out += halfDay(pattern.substr(i, 5), p_.Hour >= 12);
        i += 5;
        continue;
      }
      if (startsWithNoCase(pattern, i, "a/p")) {
        out += halfDay(pattern.substr(i, 3), p_.Hour >= 12);
        i += 3;
        continue;
      }
      if (startsWithNoCase(pattern, i, "ampm")) {
        out += p_.Hour >= 12 ? "PM" : "AM";
        i += 4;
        continue;
      }
      const char letter = lower(c);
      std::size_t run = 1;
      while (i + run < pattern.size() && lower(pattern[i + run]) == letter) ++run;
      if (std::string_view("dmyhnsztc").find(letter) == std::string_view::npos || (letter == 'c' && depth > 0)) {
        out += c;
        i += 1;
        continue;
      }
      i += run;
      if (letter == 'm' && afterHour) {
        out += run >= 2 ? twoDigits(p_.Minute) : std::to_string(p_.Minute);
      } else {
        Specifier(letter, run, out, depth);
      }
      if (letter != 'm') afterHour = letter == 'h';
      else afterHour = false;
    }
  }

 private:
  void Specifier(char letter, std::size_t run, std::string& out, int depth) {
    switch (letter) {
      case 'd':
        if (run == 1) out += std::to_string(p_.Day);
        else if (run == 2) out += twoDigits(p_.Day);
        else if (run == 3) out += kShortDays[p_.DayOfWeek - 1];
        else if (run == 4) out += kLongDays[p_.DayOfWeek - 1];
        else if (depth == 0) Render(run == 5 ? kShortDate : kLongDate, out, depth + 1);
        break;
      case 'm':
        if (run == 1) out += std::to_string(p_.Month);
        else if (run == 2) out += twoDigits(p_.Month);
        else if (run == 3) out += kShortMonths[p_.Month - 1];
        else out += kLongMonths[p_.Month - 1];
        break;
      case 'y':
        out += run <= 2 ? twoDigits(p_.Year % 100) : digits(p_.Year, 4);
        break;
      case 'h': {
        int hour = p_.Hour;
        if (twelveHour_) hour = hour % 12 == 0 ? 12 : hour % 12;
        out += run >= 2 ? twoDigits(hour) : std::to_string(hour);
        break;
      }
      case 'n':
        out += run >= 2 ? twoDigits(p_.Minute) : std::to_string(p_.Minute);
        break;
      case 's':
        out += run >= 2 ? twoDigits(p_.Second) : std::to_string(p_.Second);
        break;
      case 'z':
        out += run >= 3 ? digits(p_.Millisecond, 3) : std::to_string(p_.Millisecond);
        break;
      case 't':
        if (depth == 0) Render(run == 1 ? kShortTime : kLongTime, out, depth + 1);
        break;
      case 'c':
        Render(kShortDate, out, depth + 1);
        if (p_.Hour != 0 || p_.Minute != 0 || p_.Second != 0 || p_.Millisecond != 0) {
          out += ' ';
          Render(kLongTime, out, depth + 1);
        }
        break;
    }
  }

  const DateTimeParts& p_;
  bool twelveHour_;
};

}  // namespace

std::string FormatDateTime(std::string_view pattern, TDateTime value) {
  if (pattern.empty()) pattern = "c";
  const DateTimeParts parts = DecodeDateTime(value);
  std::string out;
  Renderer(parts, hasHalfDayMarker(pattern)).Render(pattern, out);
  return out;
}

}  // namespace sib
