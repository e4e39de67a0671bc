// Value formats: the printf-like texts a control stores to label a number ("%g", "%g db", "%.2f",
// "%3d"). They come from stored descriptions and files, so they are checked before anything is
// rendered: a format holds text, "%%" for a percent sign, and at most one conversion
// %[-][width][.precision]type with type d, e, f or g (either case), width at most kMaxValueWidth
// and precision at most kMaxValuePrecision. Everything else ("%s", "%n", "%p", "%*d", "%ld", a
// lone "%", two conversions) raises EConvertError with a message that names the format and the
// fault. Reals round halves away from zero (0.125 with "%.2f" is "0.13"). Rendering is our own
// (float_format.h, format.h); a stored format never reaches the C library's printf family.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sib {

inline constexpr int kMaxValueWidth = 64;
inline constexpr int kMaxValuePrecision = 20;

// Raises EConvertError when the format is not one of the formats above.
void CheckValueFormat(std::string_view format);

// %e, %f and %g take either argument; %d takes only a whole number (round a real first).
std::string FormatValue(std::string_view format, double value);
std::string FormatValue(std::string_view format, std::int64_t value);

}  // namespace sib
