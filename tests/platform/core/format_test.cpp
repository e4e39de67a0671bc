#include "platform/core/format.h"

#include <gtest/gtest.h>

#include "platform/core/errors.h"
#include "platform/core/numeric.h"

namespace sib {
namespace {

struct FormatCase {
  const char* format;
  std::string expected;
  std::string actual;
};

TEST(FormatTest, DirectivesRenderAsTheMessagesNeed) {
  const std::uint32_t code = 0xC00D36B4;
  const FormatCase cases[] = {
      {"%s - %u - %x", "Can't open file : Pink.wav . - 3222091444 - C00D36B4",
       formatText("%s - %u - %x", {"Can't open file : Pink.wav .", code, code})},
      {"%u of -1", "4294967295", formatText("%u", {-1})},
      {"%x of 255", "FF", formatText("%x", {255})},
      {"%d", "-42", formatText("%d", {-42})},
      {"%.3d", "007", formatText("%.3d", {7})},
      {"%5d", "   42", formatText("%5d", {42})},
      {"%-5s|", "ab   |", formatText("%-5s|", {"ab"})},
      {"%.2f", "3.14", formatText("%.2f", {3.14159})},
      {"%f", "2.50", formatText("%f", {2.5})},
      {"%g", "0.1", formatText("%g", {0.1})},
      {"%g big", "1E20", formatText("%g", {1e20})},
      {"%n", "1,234,567.89", formatText("%n", {1234567.891})},
      {"%%", "100%", formatText("%d%%", {100})},
      {"Index", "Index out of range = 12", formatText("Index out of range = %u", {12u})},
  };
  for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected) << c.format;
}

TEST(FormatTest, MissingOrMismatchedArgumentIsAConversionError) {
  EXPECT_THROW(formatText("%d %d", {1}), EConvertError);
  EXPECT_THROW(formatText("%d", {"text"}), EConvertError);
  EXPECT_THROW(formatText("%s", {1}), EConvertError);
  EXPECT_THROW(formatText("%q", {1}), EConvertError);
  EXPECT_THROW(formatText("50%", {}), EConvertError);
}

TEST(NumericTest, RoundsHalvesToEven) {
  const std::pair<double, std::int64_t> cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2},
                                                   {-2.5, -2}, {2.4999, 2}, {2.5001, 3}, {32767.5, 32768}};
  for (auto [x, expected] : cases) EXPECT_EQ(roundHalfEven(x), expected) << x;
}

TEST(NumericTest, DatesCountDaysSinceTheEndOf1899) {
  EXPECT_EQ(encodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(encodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(encodeDate(2000, 1, 1), 36526.0);
  EXPECT_DOUBLE_EQ(encodeTime(12, 0, 0, 0), 0.5);
  EXPECT_GT(now(), encodeDate(2020, 1, 1));
}

}  // namespace
}  // namespace sib
