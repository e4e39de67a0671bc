// Text formatting with the format strings the system's messages use: %s, %d, %u, %x (upper-case
// hexadecimal without prefix), %f, %g, %e, %n and %%, with optional "-", width and precision
// ("%.2f", "%5d", "%-8s"). Arguments are passed as a braced list: formatText("%s - %u", {text, code}).
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace sib {

class FormatArg {
 public:
  template <std::signed_integral T>
  FormatArg(T v) : value_(static_cast<std::int64_t>(v)) {}  // NOLINT: implicit by design
  template <std::unsigned_integral T>
  FormatArg(T v) : value_(static_cast<std::uint64_t>(v)) {}  // NOLINT
  template <std::floating_point T>
  FormatArg(T v) : value_(static_cast<double>(v)) {}  // NOLINT
  FormatArg(bool v) : value_(static_cast<std::int64_t>(v)) {}  // NOLINT
  FormatArg(const char* v) : value_(std::string_view(v)) {}    // NOLINT
  FormatArg(std::string_view v) : value_(v) {}                 // NOLINT
  FormatArg(const std::string& v) : value_(std::string_view(v)) {}  // NOLINT

  using Value = std::variant<std::int64_t, std::uint64_t, double, std::string_view>;
  const Value& value() const { return value_; }

 private:
  Value value_;
};

// Raises EConvertError for a directive whose argument is missing or of the wrong kind.
std::string formatText(std::string_view format, std::initializer_list<FormatArg> args);

}  // namespace sib
