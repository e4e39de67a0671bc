// UTF-8: appending a character, and reading one back from text that may be broken.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sib {

// Appends the UTF-8 form of `c`, which must be a Unicode scalar value.
inline void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// The character whose UTF-8 form starts at s[i] (i < s.size()), moving i past it. A byte that
// starts no valid form (a stray continuation, an overlong form, a surrogate, a value beyond
// U+10FFFF, a form cut short) reads as U+FFFD and is passed alone.
inline char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  std::size_t extra = 0;
  char32_t c = 0, least = 0;
  if ((b0 & 0xE0) == 0xC0)
    extra = 1, c = b0 & 0x1F, least = 0x80;
  else if ((b0 & 0xF0) == 0xE0)
    extra = 2, c = b0 & 0x0F, least = 0x800;
  else if ((b0 & 0xF8) == 0xF0)
    extra = 3, c = b0 & 0x07, least = 0x10000;
  if (extra == 0 || i + extra >= s.size()) {
    ++i;
    return 0xFFFD;
  }
  for (std::size_t k = 1; k <= extra; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    c = (c << 6) | (b & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
    ++i;
    return 0xFFFD;
  }
  i += extra + 1;
  return c;
}

}  // namespace sib
