// Float patterns: a number rendered by a pattern such as "000", "000.00", "#,##0.##", "0.00E+00"
// or "0.00;(0.00);'zero'".
//
//   0        a digit that is always shown          ,   thousands separators in the integer part
//   #        a digit shown only when significant   .   the decimal point (always ".")
//   E+ E- e+ e-  scientific notation; the 0s after it are the exponent's least digits ("E+" always
//                shows the sign, "E-" only a minus)
//   'x' "x"  text copied as it stands; any other character is copied too
//   ;        parts the sections for positive, negative and zero values
//
// The value is rounded to the decimals the pattern shows, halves away from zero, from its 15
// significant digits (so 1.005 with "0.00" is "1.01", as written). The integer part is never cut
// short: 1000 with "000" is "1000". A negative value gets a leading "-" unless it has a section of
// its own; a value that shows as zero takes the zero section when there is one, and never a sign.
// An empty pattern gives the general format of 15 significant digits; NaN and the infinities read
// "NAN", "INF" and "-INF".
#pragma once

#include <string>
#include <string_view>

namespace sib {

std::string FormatFloat(std::string_view pattern, double value);

}  // namespace sib
