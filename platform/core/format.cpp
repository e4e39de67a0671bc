#include "platform/core/format.h"

#include <cstdio>
#include <vector>

#include "platform/core/errors.h"

namespace sib {
namespace {

struct Directive {
  bool leftAlign = false;
  int width = -1;
  int precision = -1;
  char type = 0;
};

[[noreturn]] void badFormat(std::string_view format) {
  throw EConvertError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

std::string pad(std::string text, const Directive& d) {
  if (d.width > 0 && static_cast<int>(text.size()) < d.width) {
    const std::string fill(static_cast<std::size_t>(d.width) - text.size(), ' ');
    text = d.leftAlign ? text + fill : fill + text;
  }
  return text;
}

std::string printed(const char* pattern, auto... values) {
  char buffer[512];
  const int n = std::snprintf(buffer, sizeof buffer, pattern, values...);
  if (n < static_cast<int>(sizeof buffer)) return std::string(buffer, static_cast<std::size_t>(n));
  std::vector<char> big(static_cast<std::size_t>(n) + 1);
  std::snprintf(big.data(), big.size(), pattern, values...);
  return std::string(big.data(), static_cast<std::size_t>(n));
}

// Integer directives zero-pad to the precision, as "%.3d" does in C.
std::string integerText(const FormatArg::Value& v, const Directive& d, std::string_view format) {
  std::string digits;
  if (const auto* s = std::get_if<std::int64_t>(&v)) {
    // Unsigned directives show a negative 32-bit value as its two's complement, as a Cardinal.
    const auto asUnsigned = static_cast<unsigned long long>(
        *s >= INT32_MIN && *s <= INT32_MAX ? static_cast<std::uint32_t>(*s) : static_cast<std::uint64_t>(*s));
    if (d.type == 'd') digits = printed("%lld", static_cast<long long>(*s));
    else if (d.type == 'u') digits = printed("%llu", asUnsigned);
    else digits = printed("%llX", asUnsigned);
  } else if (const auto* u = std::get_if<std::uint64_t>(&v)) {
    digits = d.type == 'x' ? printed("%llX", static_cast<unsigned long long>(*u)) : printed("%llu", static_cast<unsigned long long>(*u));
  } else {
    badFormat(format);
  }
  if (d.precision > 0) {
    const bool negative = !digits.empty() && digits[0] == '-';
    std::string body = negative ? digits.substr(1) : digits;
    if (static_cast<int>(body.size()) < d.precision) body.insert(0, static_cast<std::size_t>(d.precision) - body.size(), '0');
    digits = negative ? "-" + body : body;
  }
  return digits;
}

// Drops the "+" and leading zeros of an exponent: "1.5E+020" reads "1.5E20".
std::string tidyExponent(std::string text) {
  const auto e = text.find('E');
  if (e == std::string::npos) return text;
  std::size_t digits = e + 1;
  std::string sign;
  if (digits < text.size() && (text[digits] == '+' || text[digits] == '-')) {
    if (text[digits] == '-') sign = "-";
    ++digits;
  }
  while (digits + 1 < text.size() && text[digits] == '0') ++digits;
  return text.substr(0, e + 1) + sign + text.substr(digits);
}

std::string withThousands(const std::string& fixed) {
  const std::size_t begin = !fixed.empty() && fixed[0] == '-' ? 1 : 0;
  const auto dot = fixed.find('.');
  const std::size_t end = dot == std::string::npos ? fixed.size() : dot;
  std::string out = fixed.substr(0, begin);
  for (std::size_t i = begin; i < end; ++i) {
    if (i > begin && (end - i) % 3 == 0) out += ',';
    out += fixed[i];
  }
  return out + fixed.substr(end);
}

std::string floatText(const FormatArg::Value& v, const Directive& d, std::string_view format) {
  double x = 0;
  if (const auto* f = std::get_if<double>(&v)) x = *f;
  else if (const auto* s = std::get_if<std::int64_t>(&v)) x = static_cast<double>(*s);
  else if (const auto* u = std::get_if<std::uint64_t>(&v)) x = static_cast<double>(*u);
  else badFormat(format);
  switch (d.type) {
    case 'f': return printed("%.*f", d.precision < 0 ? 2 : d.precision, x);
    case 'n': return withThousands(printed("%.*f", d.precision < 0 ? 2 : d.precision, x));
    case 'e': return tidyExponent(printed("%.*E", d.precision < 0 ? 14 : d.precision - 1, x));
    default: return tidyExponent(printed("%.*G", d.precision < 0 ? 15 : d.precision, x));
  }
}

}  // namespace

std::string formatText(std::string_view format, std::initializer_list<FormatArg> args) {
  std::string out;
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    if (++i >= format.size()) badFormat(format);
    if (format[i] == '%') {
      out += '%';
      continue;
    }
    Directive d;
    if (format[i] == '-') { d.leftAlign = true; ++i; }
    auto number = [&] {
      int n = -1;
      while (i < format.size() && format[i] >= '0' && format[i] <= '9') n = (n < 0 ? 0 : n * 10) + (format[i++] - '0');
      return n;
    };
    d.width = number();
    if (i < format.size() && format[i] == '.') {
      ++i;
      d.precision = number();
      if (d.precision < 0) d.precision = 0;
    }
    if (i >= format.size() || next == args.end()) badFormat(format);
    d.type = static_cast<char>(format[i] | 0x20);  // directives are case-insensitive
    const FormatArg::Value& v = (next++)->value();
    switch (d.type) {
      case 'd': case 'u': case 'x': out += pad(integerText(v, d, format), d); break;
      case 'f': case 'g': case 'e': case 'n': out += pad(floatText(v, d, format), d); break;
      case 's': {
        const auto* s = std::get_if<std::string_view>(&v);
        if (!s) badFormat(format);
        std::string text(*s);
        if (d.precision >= 0 && static_cast<std::size_t>(d.precision) < text.size()) text.resize(static_cast<std::size_t>(d.precision));
        out += pad(std::move(text), d);
        break;
      }
      default: badFormat(format);
    }
  }
  return out;
}

}  // namespace sib
