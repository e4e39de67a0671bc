// GUIDs: the identity of every interface, and the text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
// used in stored descriptions. Interfaces declare theirs with the _guid literal at compile time.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sib {

struct TGUID {
  std::uint32_t D1 = 0;
  std::uint16_t D2 = 0;
  std::uint16_t D3 = 0;
  std::array<std::uint8_t, 8> D4{};

  friend constexpr bool operator==(const TGUID&, const TGUID&) = default;
};

namespace guid_detail {

constexpr int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Parses the braced text form; returns false on any deviation from it.
constexpr bool parse(std::string_view text, TGUID& out) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  constexpr int kDashes[] = {9, 14, 19, 24};
  for (int dash : kDashes)
    if (text[dash] != '-') return false;
  std::uint8_t bytes[16]{};
  int n = 0;
  for (std::size_t i = 1; i < 37; ++i) {
    if (i == 9 || i == 14 || i == 19 || i == 24) continue;
    const int hi = hexDigit(text[i]);
    const int lo = hexDigit(text[++i]);
    if (hi < 0 || lo < 0) return false;
    bytes[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  out.D1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) | bytes[3];
  out.D2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
  out.D3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) out.D4[i] = bytes[8 + i];
  return true;
}

struct Literal {
  TGUID value;
  template <std::size_t N>
  consteval Literal(const char (&text)[N]) {  // NOLINT: implicit on purpose, for the literal below
    std::string_view view(text, N - 1);
    if (!parse(view, value)) throw "malformed GUID literal";
  }
};

}  // namespace guid_detail

// "{66C8D1BF-FA12-48E8-B0C9-60A652FA80D9}"_guid, checked while compiling.
template <guid_detail::Literal L>
consteval TGUID operator""_guid() {
  return L.value;
}

// Raises EConvertError naming the text when it is not a GUID.
TGUID StringToGUID(std::string_view text);
// Upper-case hex in braces.
std::string GUIDToString(const TGUID& guid);

}  // namespace sib
