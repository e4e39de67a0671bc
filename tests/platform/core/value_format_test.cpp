// Value formats: what the controls store renders; anything else, hostile or mistaken, is refused
// with a message naming the format, and never reaches a C formatter.
#include "platform/core/value_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/core/errors.h"

namespace sib {
namespace {

TEST(ValueFormat, RendersTheFormatsTheControlsUse) {
  const struct {
    const char* Format;
    double Value;
    const char* Expected;
  } rows[] = {{"%g", 0, "0"},          {"%g", 2.5, "2.5"},       {"%g", 0.1, "0.1"},        {"%g", 1e20, "1E20"},
              {"%g db", 40, "40 db"},  {"%g db", -6.5, "-6.5 db"}, {"%.2f", 0.125, "0.13"}, {"%.2f", 3, "3.00"},
              {"%5.1f|", 2.25, "  2.3|"}, {"%-6g|", 1.5, "1.5   |"}, {"%e", 1234.5, "1.23450000000000E3"},
              {"%.3e", 0.00123, "1.23E-3"}, {"%G", 2, "2"},    {"%.2f", -0.001, "0.00"},
              {"%.2g", 9.96, "10"},    {"%.2g", 0.25, "0.25"},   {"%.1g", 0.25, "0.3"},     {"%g", 1e-5, "1E-5"},
              {"%g", 123456789012345678.0, "1.23456789012346E17"}, {"%.0f", 2.5, "3"}, {"%f", 1.5, "1.50"},
              {"%g", NAN, "NAN"},      {"%5.2f", INFINITY, "  INF"}, {"%e", -INFINITY, "-INF"},         {"level", 7, "level"},    {"100%%", 1, "100%"},
              {"%g%%", 50, "50%"},     {"", 1, ""}};
  for (const auto& row : rows) EXPECT_EQ(FormatValue(row.Format, row.Value), row.Expected) << row.Format;
}

TEST(ValueFormat, WholeNumbersTakeEveryConversion) {
  const struct {
    const char* Format;
    std::int64_t Value;
    const char* Expected;
  } rows[] = {{"%d", 7, "7"}, {"%3d", 7, "  7"}, {"%-3d|", 7, "7  |"}, {"%.3d", 7, "007"}, {"%d", -12, "-12"},
              {"%g", 3, "3"}, {"%.1f", 3, "3.0"}, {"%d items", 9223372036854775807, "9223372036854775807 items"}};
  for (const auto& row : rows) EXPECT_EQ(FormatValue(row.Format, row.Value), row.Expected) << row.Format;
}

TEST(ValueFormat, RefusesEverythingElseWithAClearError) {
  const struct {
    const char* Format;
    const char* Names;  // a part of the message that says what is wrong
  } rows[] = {{"%s", "\"%s\" is not one of"},          {"%n", "\"%n\" is not one of"},
              {"%p", "\"%p\" is not one of"},          {"%x", "\"%x\" is not one of"},
              {"%u", "\"%u\" is not one of"},          {"%ld", "\"%l\" is not one of"},
              {"%*d", "\"%*\" is not one of"},         {"%+d", "\"%+\" is not one of"},
              {"%999999d", "width 999999 is more than 64"}, {"%65g", "width 65 is more than 64"},
              {"%.21f", "precision 21 is more than 20"}, {"%99999999999999999999g", "width 99999999999999999999"},
              {"%", "\"%\" ends the format"},           {"50%", "\"%\" ends the format"},
              {"%5.", "\"%5.\" ends the format"},       {"%g %g", "more than the one value"},
              {"%g%s", "\"%s\" is not one of"},         {"%-", "ends the format"}};
  for (const auto& row : rows) {
    for (auto render : {+[](const char* f) { return FormatValue(f, 1.5); },
                        +[](const char* f) { return FormatValue(f, std::int64_t{1}); }}) {
      try {
        const std::string text = render(row.Format);
        ADD_FAILURE() << row.Format << " gave \"" << text << '"';
      } catch (const EConvertError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(std::string("Format '") + row.Format + "' invalid"), std::string::npos) << message;
        EXPECT_NE(message.find(row.Names), std::string::npos) << message;
      }
    }
    EXPECT_THROW(CheckValueFormat(row.Format), EConvertError) << row.Format;
  }
}

TEST(ValueFormat, ARealForAWholeNumberConversionIsRefused) {
  EXPECT_THROW(FormatValue("%d", 2.0), EConvertError);
  EXPECT_NO_THROW(CheckValueFormat("%d"));
  EXPECT_EQ(FormatValue("%64.20f", 1.0).size(), 64u);  // the limits themselves are fine
}

}  // namespace
}  // namespace sib
