// Image files made by hand for the tests: a PNG whose header claims a size its body does not have.
#pragma once

#include <cstdint>
#include <vector>

namespace sib::gfx::test {

using Bytes = std::vector<std::uint8_t>;

inline std::uint32_t Crc32(const Bytes& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::uint8_t b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// Stored (uncompressed) deflate data in a zlib wrapper; adler32 of the bytes at the end.
inline Bytes Zlib(const Bytes& raw) {
  const auto size = static_cast<std::uint32_t>(raw.size());
  Bytes z;
  z.reserve(7 + raw.size() + 4);
  for (std::uint32_t v : {0x78u, 0x01u, 0x01u, size, size >> 8u, ~size, ~size >> 8u})
    z.push_back(static_cast<std::uint8_t>(v));
  z.insert(z.end(), raw.begin(), raw.end());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  for (std::uint32_t v : {b >> 8, b, a >> 8, a}) z.push_back(static_cast<std::uint8_t>(v));
  return z;
}

inline void AppendChunk(Bytes& png, const char* type, const Bytes& data) {
  const auto be32 = [&](std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<std::uint8_t>(v >> shift));
  };
  be32(static_cast<std::uint32_t>(data.size()));
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  png.insert(png.end(), typed.begin(), typed.end());
  be32(Crc32(typed));
}

// A well-formed PNG header that claims width x height pixels, with a tiny body.
inline Bytes PngClaiming(std::uint32_t width, std::uint32_t height) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  Bytes ihdr;
  for (std::uint32_t v : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8) ihdr.push_back(static_cast<std::uint8_t>(v >> shift));
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
  AppendChunk(png, "IHDR", ihdr);
  AppendChunk(png, "IDAT", Zlib(Bytes(64, 0)));
  AppendChunk(png, "IEND", {});
  return png;
}

}  // namespace sib::gfx::test
