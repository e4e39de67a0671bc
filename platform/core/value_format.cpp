#include "platform/core/value_format.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/core/errors.h"
#include "platform/core/float_format.h"
#include "platform/core/format.h"

namespace sib {
namespace {

// A checked format: the text around its one conversion (with "%%" already a percent sign).
struct ValueFormat {
  std::string Before;
  std::string After;
  char Type = 0;  // 'd', 'e', 'f', 'g', or 0 for none
  bool LeftAlign = false;
  int Width = 0;
  int Precision = -1;  // -1: the conversion's default
};

[[noreturn]] void refuse(std::string_view format, const std::string& why) {
  throw EConvertError("Format '" + std::string(format) + "' invalid: " + why);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a width or precision, refusing it as soon as it passes the limit (so no overflow).
int readNumber(std::string_view format, std::size_t& i, int limit, const char* what) {
  int n = 0;
  const std::size_t start = i;
  while (i < format.size() && isDigit(format[i])) {
    n = n * 10 + (format[i++] - '0');
    if (n > limit) {
      while (i < format.size() && isDigit(format[i])) ++i;
      refuse(format, std::string(what) + " " + std::string(format.substr(start, i - start)) + " is more than " +
                         std::to_string(limit));
    }
  }
  return n;
}

ValueFormat parse(std::string_view format) {
  ValueFormat f;
  for (std::size_t i = 0; i < format.size(); ++i) {
    std::string& text = f.Type == 0 ? f.Before : f.After;
    if (format[i] != '%') {
      text += format[i];
      continue;
    }
    const std::size_t start = i++;
    if (i < format.size() && format[i] == '%') {
      text += '%';
      continue;
    }
    ValueFormat d;
    if (i < format.size() && format[i] == '-') {
      d.LeftAlign = true;
      ++i;
    }
    d.Width = readNumber(format, i, kMaxValueWidth, "width");
    if (i < format.size() && format[i] == '.') {
      ++i;
      d.Precision = readNumber(format, i, kMaxValuePrecision, "precision");
    }
    if (i >= format.size())
      refuse(format, "\"" + std::string(format.substr(start)) + "\" ends the format without a conversion (\"%%\" is a percent sign)");
    const char letter = static_cast<char>(format[i] | 0x20);
    if (letter != 'd' && letter != 'e' && letter != 'f' && letter != 'g')
      refuse(format, "\"" + std::string(format.substr(start, i + 1 - start)) + "\" is not one of %d, %e, %f and %g");
    if (f.Type != 0) refuse(format, "it converts more than the one value it is given");
    f.Type = letter;
    f.LeftAlign = d.LeftAlign;
    f.Width = d.Width;
    f.Precision = d.Precision;
  }
  return f;
}

std::string zeros(int n) { return std::string(static_cast<std::size_t>(std::max(n, 0)), '0'); }
std::string hashes(int n) { return std::string(static_cast<std::size_t>(std::max(n, 0)), '#'); }

// %e: `significant` digits in all (15 unless given), as "1.50000000000000E3". %f: fixed decimals (2
// unless given). %g: fixed or scientific at `significant` digits as C chooses, without trailing
// zeros. All round halves away from zero, as the float patterns do.
std::string realText(char type, int precision, double value) {
  if (!std::isfinite(value)) return FormatFloat("", value);  // "NAN", "INF", "-INF"
  switch (type) {
    case 'f': {
      const int decimals = precision < 0 ? 2 : precision;
      return FormatFloat(decimals > 0 ? "0." + zeros(decimals) : "0", value);
    }
    case 'e': {
      const int significant = precision < 0 ? 15 : std::max(precision, 1);
      return FormatFloat("0." + zeros(significant - 1) + "E-0", value);
    }
    default: {
      const int significant = precision < 0 ? 15 : std::max(precision, 1);
      const std::string scientific = FormatFloat("0." + hashes(significant - 1) + "E-0", value);
      const int exponent = std::atoi(scientific.c_str() + scientific.find('E') + 1);
      if (exponent < -4 || exponent >= significant) return scientific;
      return FormatFloat("0." + hashes(significant - 1 - exponent), value);
    }
  }
}

std::string padded(const ValueFormat& f, std::string text) {
  if (static_cast<int>(text.size()) < f.Width) {
    const std::string fill(static_cast<std::size_t>(f.Width) - text.size(), ' ');
    text = f.LeftAlign ? text + fill : fill + text;
  }
  return f.Before + text + f.After;
}

}  // namespace

void CheckValueFormat(std::string_view format) { parse(format); }

std::string FormatValue(std::string_view format, double value) {
  const ValueFormat f = parse(format);
  if (f.Type == 'd') refuse(format, "%d takes a whole number, not a real one");
  return padded(f, f.Type == 0 ? std::string() : realText(f.Type, f.Precision, value));
}

std::string FormatValue(std::string_view format, std::int64_t value) {
  const ValueFormat f = parse(format);
  if (f.Type == 0) return f.Before;
  if (f.Type != 'd') return padded(f, realText(f.Type, f.Precision, static_cast<double>(value)));
  // The directive is rebuilt from checked parts, so the renderer sees only "%d" or "%.Nd".
  const std::string directive = f.Precision > 0 ? "%." + std::to_string(f.Precision) + "d" : "%d";
  return padded(f, formatText(directive, {value}));
}

}  // namespace sib
