// Fuzzes the float, date-time and value formats with a pattern from the input and a value from its
// first eight bytes. Float patterns take any pattern; date-time patterns and value formats either
// render or fail with a conversion error; a value format that passes the check renders a whole
// number without an error.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/core/date_time_format.h"
#include "platform/core/errors.h"
#include "platform/core/float_format.h"
#include "platform/core/value_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < sizeof(double)) return 0;
  double value = 0;
  std::memcpy(&value, data, sizeof value);
  const std::string_view pattern(reinterpret_cast<const char*>(data) + sizeof value, size - sizeof value);
  (void)sib::FormatFloat(pattern, value);
  try {
    (void)sib::FormatDateTime(pattern, value);
  } catch (const sib::EConvertError&) {
  }
  bool checked = true;
  try {
    sib::CheckValueFormat(pattern);
  } catch (const sib::EConvertError&) {
    checked = false;
  }
  try {
    (void)sib::FormatValue(pattern, value);
  } catch (const sib::EConvertError&) {
  }
  try {
    (void)sib::FormatValue(pattern, static_cast<std::int64_t>(data[0]) - 128);
  } catch (const sib::EConvertError&) {
    if (checked) std::abort();
  }
  return 0;
}
