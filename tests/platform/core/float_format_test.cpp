// Float patterns: the readout's own patterns, sections, rounding at halves, thousands, quoted text,
// exponents and large values.
#include "platform/core/float_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace sib {
namespace {

struct FloatCase {
  const char* Pattern;
  double Value;
  const char* Expected;
};

std::ostream& operator<<(std::ostream& os, const FloatCase& c) {
  return os << '"' << c.Pattern << "\" with " << c.Value;
}

class FloatPatterns : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FloatPatterns, RenderAsWritten) {
  EXPECT_EQ(FormatFloat(GetParam().Pattern, GetParam().Value), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(TheReadout, FloatPatterns, ::testing::Values(
    FloatCase{"000", 50, "050"}, FloatCase{"000", 7, "007"}, FloatCase{"000", 100, "100"},
    FloatCase{"000", 1000, "1000"}, FloatCase{"000", 0, "000"}, FloatCase{"000", -5, "-005"},
    FloatCase{"000.00", 7.5, "007.50"}, FloatCase{"000.00", 12.5, "012.50"}, FloatCase{"000.00", 0, "000.00"}));

INSTANTIATE_TEST_SUITE_P(HalvesAwayFromZero, FloatPatterns, ::testing::Values(
    FloatCase{"000", 49.5, "050"}, FloatCase{"000", 48.5, "049"}, FloatCase{"0", 0.5, "1"}, FloatCase{"0", 2.5, "3"},
    FloatCase{"0", -2.5, "-3"}, FloatCase{"0", 2.4999, "2"}, FloatCase{"0.00", 1.005, "1.01"},
    FloatCase{"0.00", 2.675, "2.68"}, FloatCase{"0.0", 0.05, "0.1"}, FloatCase{"0.0", -0.05, "-0.1"},
    FloatCase{"0", 9.5, "10"}, FloatCase{"0.00", 9.995, "10.00"}, FloatCase{"#", 999.5, "1000"}));

INSTANTIATE_TEST_SUITE_P(Placeholders, FloatPatterns, ::testing::Values(
    FloatCase{"#", 0, ""}, FloatCase{"#", 5, "5"}, FloatCase{"#.##", 0.5, ".5"}, FloatCase{"#.##", 1, "1"},
    FloatCase{"0.##", 1.5, "1.5"}, FloatCase{"0.0#", 1.5, "1.5"}, FloatCase{"0.0#", 1.256, "1.26"},
    FloatCase{"0.0#", 2, "2.0"}, FloatCase{"#0", 0.2, "0"}, FloatCase{"0#", 5, "05"}, FloatCase{"##0", 3, "3"},
    FloatCase{"0.", 3.7, "4"}, FloatCase{".00", 12.5, "12.50"}, FloatCase{"0.000", 1.0 / 3, "0.333"},
    FloatCase{"00.0", 0.04, "00.0"}, FloatCase{"0.##########", 0.1, "0.1"}));

INSTANTIATE_TEST_SUITE_P(Sections, FloatPatterns, ::testing::Values(
    FloatCase{"0.00;(0.00)", -5, "(5.00)"}, FloatCase{"0.00;(0.00)", 5, "5.00"},
    FloatCase{"0;-0;'zero'", 0, "zero"}, FloatCase{"0;-0;'zero'", -0.4, "zero"}, FloatCase{"0;-0;'zero'", 3, "3"},
    FloatCase{"0;;'none'", -3, "-3"}, FloatCase{"0;;'none'", 0, "none"}, FloatCase{"0.0;neg 0.0;", 0, "0.0"},
    FloatCase{"0", -0.4, "0"}, FloatCase{"0.00", -0.001, "0.00"}, FloatCase{"0;[0];zero;extra", -1, "[1]"},
    FloatCase{"'a;b' 0", 2, "a;b 2"}));

INSTANTIATE_TEST_SUITE_P(Thousands, FloatPatterns, ::testing::Values(
    FloatCase{"#,##0", 1234567, "1,234,567"}, FloatCase{"#,##0.00", 1234.5, "1,234.50"}, FloatCase{"#,##0", 999, "999"},
    FloatCase{"#,##0", 1000, "1,000"}, FloatCase{"0,", 1234, "1,234"}, FloatCase{"#,##0", -1234, "-1,234"},
    FloatCase{"#,##0", 0, "0"}, FloatCase{"#,#", 100, "100"}));

INSTANTIATE_TEST_SUITE_P(Text, FloatPatterns, ::testing::Values(
    FloatCase{"0 'dB'", 3, "3 dB"}, FloatCase{"\"#0\" 0", 4, "#0 4"}, FloatCase{"0 db", 3, "3 db"},
    FloatCase{"'level: '000", 50, "level: 050"}, FloatCase{"0%", 50, "50%"}, FloatCase{"'open", 1, "open1"},
    FloatCase{"'only text'", 5, "only text5"}, FloatCase{"'only text'", 0, "only text"}));

INSTANTIATE_TEST_SUITE_P(Exponent, FloatPatterns, ::testing::Values(
    FloatCase{"0.00E+00", 1234.5, "1.23E+03"}, FloatCase{"0.00E+00", 0.00012345, "1.23E-04"},
    FloatCase{"0.00E-00", 1234.5, "1.23E03"}, FloatCase{"0.00e-0", 0.00012345, "1.23e-4"},
    FloatCase{"0.00E+00", 0, "0.00E+00"}, FloatCase{"0.00E+00", -1234.5, "-1.23E+03"},
    FloatCase{"0.00E+00", 9.999, "1.00E+01"}, FloatCase{"00.0E+0", 1234.5, "12.3E+2"},
    FloatCase{"0.###E+000", 1.5e100, "1.5E+100"}, FloatCase{"0E+0", 1e-300, "1E-300"}, FloatCase{".0E+0", 25, "2.5E+1"}));

INSTANTIATE_TEST_SUITE_P(LargeAndSpecial, FloatPatterns, ::testing::Values(
    FloatCase{"0", 1e20, "100000000000000000000"}, FloatCase{"#,##0", 1e15, "1,000,000,000,000,000"},
    FloatCase{"0", 123456789012345678.0, "123456789012346000"}, FloatCase{"0.00", 4294967295.0, "4294967295.00"},
    FloatCase{"0.00", 1e-300, "0.00"}, FloatCase{"0", std::numeric_limits<double>::quiet_NaN(), "NAN"},
    FloatCase{"0", INFINITY, "INF"}, FloatCase{"0", -INFINITY, "-INF"}, FloatCase{"", 12.5, "12.5"},
    FloatCase{"", 1e20, "1E20"}, FloatCase{"", -0.1, "-0.1"}));

TEST(FloatPatternLimits, TheLargestDoubleShowsEveryIntegerDigit) {
  const std::string text = FormatFloat("0", std::numeric_limits<double>::max());
  EXPECT_EQ(text.size(), 309u);
  EXPECT_EQ(text.substr(0, 15), "179769313486232");
}

}  // namespace
}  // namespace sib
