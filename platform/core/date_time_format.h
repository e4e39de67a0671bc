// Date-time patterns: a TDateTime rendered by a pattern such as "hh:nn:ss" or "dd/mm/yy". Letters
// are read without case; a run of one letter is one specifier:
//
//   d dd          day of the month, 1 or 2 digits          ddd dddd   "Sun", "Sunday"
//   ddddd         the short date "dd/mm/yyyy"              dddddd     the long date "dddd, d mmmm yyyy"
//   m mm          month (minutes right after an h or hh)   mmm mmmm   "Jan", "January"
//   yy yyyy       year, 2 or 4 digits (y as yy, yyy as yyyy)
//   h hh          hour (12-hour when the pattern has am/pm, a/p or ampm)
//   n nn          minute               s ss     second               z zzz    millisecond
//   t tt          the short time "hh:nn" and the long time "hh:nn:ss"
//   c             the short date, then the long time unless it is midnight
//   am/pm a/p     "am" or "pm" ("a" or "p") in the case written      ampm     "AM" or "PM"
//   /  :          the date and time separators, "/" and ":"
//   'x' "x"       text copied as it stands; any other character is copied too
//
// Names are English and separators fixed, whatever the process's locale. An empty pattern means
// "c". A value outside the years 1 to 9999 raises EConvertError (calendar.h).
#pragma once

#include <string>
#include <string_view>

#include "platform/core/numeric.h"

namespace sib {

std::string FormatDateTime(std::string_view pattern, TDateTime value);

}  // namespace sib
