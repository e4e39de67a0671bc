#include "platform/core/float_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/core/format.h"

namespace sib {
namespace {

// The decimal digits of a magnitude: value = 0.Digits × 10^Point, Digits without leading zeros.
// No digits is zero.
struct Decimal {
  std::string Digits;
  int Point = 0;

  bool IsZero() const { return Digits.empty(); }
};

Decimal decimalOf(double magnitude) {
  Decimal d;
  if (magnitude == 0) return d;
  char buffer[40];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 14);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const auto e = text.find('e');
  d.Digits = std::string(text.substr(0, 1)) + std::string(text.substr(2, e - 2));
  d.Point = std::atoi(std::string(text.substr(e + 1)).c_str()) + 1;
  while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
  return d;
}

// Keeps `count` leading digits, rounding the rest half away from zero (the digits are a magnitude).
Decimal roundToDigits(Decimal d, int count) {
  if (d.IsZero() || count >= static_cast<int>(d.Digits.size())) return d;
  if (count < 0) return {};
  const bool up = d.Digits[static_cast<std::size_t>(count)] >= '5';
  d.Digits.resize(static_cast<std::size_t>(count));
  if (up) {
    int i = count - 1;
    while (i >= 0 && d.Digits[static_cast<std::size_t>(i)] == '9') d.Digits[static_cast<std::size_t>(i--)] = '0';
    if (i >= 0) {
      ++d.Digits[static_cast<std::size_t>(i)];
    } else {
      d.Digits.insert(d.Digits.begin(), '1');
      ++d.Point;
    }
  }
  while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
  if (d.Digits.empty()) d.Point = 0;
  return d;
}

// Digit i of the number, counted from the first digit left of the point (0) to the left (negative
// i is a decimal: -1 the first after the point).
char digitAt(const Decimal& d, int position) {
  const int index = d.Point - 1 - position;
  if (index < 0 || index >= static_cast<int>(d.Digits.size())) return '0';
  return d.Digits[static_cast<std::size_t>(index)];
}

std::vector<std::string_view> sectionsOf(std::string_view pattern) {
  std::vector<std::string_view> sections;
  std::size_t start = 0;
  char quote = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ';' && sections.size() < 2) {
      sections.push_back(pattern.substr(start, i - start));
      start = i + 1;
    }
  }
  sections.push_back(pattern.substr(start));
  return sections;
}

bool isExponentAt(std::string_view s, std::size_t i) {
  return (s[i] == 'E' || s[i] == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-');
}

// What a section asks for, from one pass over it outside quotes.
struct Layout {
  int IntegerPlaces = 0;   // 0 and # before the point
  int MinimumInteger = 0;  // places from the leftmost 0 to the point
  int DecimalPlaces = 0;   // 0 and # after the point
  int MinimumDecimals = 0; // places up to the rightmost 0 after the point
  bool Thousands = false;
  bool Scientific = false;
  bool ExponentSign = false;  // "E+": the sign is always shown
  int ExponentDigits = 0;
};

Layout layoutOf(std::string_view s) {
  Layout l;
  bool afterPoint = false;
  int firstZero = -1;
  char quote = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '0' || c == '#') {
      if (afterPoint) {
        ++l.DecimalPlaces;
        if (c == '0') l.MinimumDecimals = l.DecimalPlaces;
      } else {
        if (c == '0' && firstZero < 0) firstZero = l.IntegerPlaces;
        ++l.IntegerPlaces;
      }
    } else if (c == '.') {
      afterPoint = true;
    } else if (c == ',' && !afterPoint) {
      l.Thousands = true;
    } else if (isExponentAt(s, i)) {
      l.Scientific = true;
      l.ExponentSign = s[i + 1] == '+';
      for (i += 2; i < s.size() && s[i] == '0'; ++i) ++l.ExponentDigits;
      break;
    }
  }
  if (firstZero >= 0) l.MinimumInteger = l.IntegerPlaces - firstZero;
  return l;
}

// The number a section shows: rounded digits and, in scientific notation, the exponent.
struct Shown {
  Decimal Number;
  int Exponent = 0;
  int IntegerDigits = 0;  // digits shown left of the point
  int Decimals = 0;       // digits shown right of the point
};

Shown shownFor(const Layout& l, double magnitude) {
  Shown s;
  const Decimal exact = decimalOf(magnitude);
  if (l.Scientific) {
    const int integerDigits = std::max(1, l.IntegerPlaces);
    s.Number = roundToDigits(exact, integerDigits + l.DecimalPlaces);
    if (!s.Number.IsZero()) {
      s.Exponent = s.Number.Point - integerDigits;
      s.Number.Point = integerDigits;
    }
    s.IntegerDigits = integerDigits;
  } else {
    s.Number = roundToDigits(exact, exact.Point + l.DecimalPlaces);
    s.IntegerDigits = std::max(s.Number.Point, l.MinimumInteger);
    if (s.Number.IsZero()) s.IntegerDigits = l.MinimumInteger;
  }
  s.Decimals = l.DecimalPlaces;
  while (s.Decimals > l.MinimumDecimals && digitAt(s.Number, -s.Decimals) == '0') --s.Decimals;
  return s;
}

std::string exponentText(const Layout& l, int exponent) {
  std::string digits = std::to_string(std::abs(exponent));
  if (static_cast<int>(digits.size()) < l.ExponentDigits)
    digits.insert(0, static_cast<std::size_t>(l.ExponentDigits) - digits.size(), '0');
  const char* sign = exponent < 0 ? "-" : (l.ExponentSign ? "+" : "");
  return sign + digits;
}

// Walks the section once more, putting the digits in the places of its 0s and #s: the first
// integer place takes every digit the pattern has no place for, thousands separators go between
// groups of three integer digits, and text stays where it stands.
std::string render(std::string_view s, const Layout& l, const Shown& shown) {
  std::string out;
  int integerPlace = 0;
  int decimalPlace = 0;
  bool afterPoint = false;
  char quote = 0;
  std::size_t digitSpot = std::string::npos;  // where the point or the exponent went
  auto putInteger = [&](int position) {
    out += digitAt(shown.Number, position);
    if (l.Thousands && !l.Scientific && position > 0 && position % 3 == 0) out += ',';
  };
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      else out += c;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
    } else if ((c == '0' || c == '#') && !afterPoint) {
      const int position = l.IntegerPlaces - 1 - integerPlace++;  // this place's power of ten
      if (integerPlace == 1)
        for (int p = shown.IntegerDigits - 1; p > position; --p) putInteger(p);
      if (position < shown.IntegerDigits) putInteger(position);
    } else if ((c == '0' || c == '#') && afterPoint) {
      if (++decimalPlace <= shown.Decimals) out += digitAt(shown.Number, -decimalPlace);
    } else if (c == '.') {
      if (digitSpot == std::string::npos) digitSpot = out.size();
      if (!afterPoint && shown.Decimals > 0) out += '.';
      afterPoint = true;
    } else if (c == ',') {
      // Only a switch for the integer part.
    } else if (isExponentAt(s, i)) {
      if (digitSpot == std::string::npos) digitSpot = out.size();
      out += c;
      out += exponentText(l, shown.Exponent);
      for (i += 2; i < s.size() && s[i] == '0'; ++i) {}
      --i;
    } else {
      out += c;
    }
  }
  // A pattern with no integer place still shows the integer digits, before the point.
  if (l.IntegerPlaces == 0 && shown.IntegerDigits > 0) {
    std::string digits;
    for (int p = shown.IntegerDigits - 1; p >= 0; --p) digits += digitAt(shown.Number, p);
    out.insert(std::min(digitSpot, out.size()), digits);
  }
  return out;
}

std::string special(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

}  // namespace

std::string FormatFloat(std::string_view pattern, double value) {
  if (!std::isfinite(value)) return special(value);
  if (pattern.empty()) return formatText("%g", {value});
  const std::vector<std::string_view> sections = sectionsOf(pattern);
  const double magnitude = std::fabs(value);
  const bool ownNegative = value < 0 && sections.size() > 1 && !sections[1].empty();
  std::string_view section = ownNegative ? sections[1] : sections[0];
  Layout layout = layoutOf(section);
  Shown shown = shownFor(layout, magnitude);
  if (shown.Number.IsZero()) {
    section = sections.size() > 2 && !sections[2].empty() ? sections[2] : sections[0];
    layout = layoutOf(section);
    shown = shownFor(layout, 0);
    return render(section, layout, shown);
  }
  const std::string text = render(section, layout, shown);
  return value < 0 && !ownNegative ? "-" + text : text;
}

}  // namespace sib
