// The 53 hatch patterns, each drawn on an 8 x 8 tile after the picture its name gives. Bit 7 of a
// row is its left pixel.
#include <array>

#include "platform/graphics/brush.h"

namespace sib::gfx {
namespace {

using Tile = std::array<std::uint8_t, 8>;

constexpr std::uint8_t Bit(int x) { return std::uint8_t(0x80u >> (x & 7)); }

// Lines running down to the right ("\"), `width` pixels wide, one every `period` columns.
constexpr Tile Downward(int period, int width) {
  Tile t{};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      if (((x - y) % period + period) % period < width) t[y] |= Bit(x);
  return t;
}

// Lines running up to the right ("/").
constexpr Tile Upward(int period, int width) {
  Tile t{};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      if (((x + y + 1) % period + period) % period < width) t[y] |= Bit(x);
  return t;
}

constexpr Tile Or(Tile a, Tile b) {
  for (int i = 0; i < 8; ++i) a[i] |= b[i];
  return a;
}

// Evenly spread dots: a pixel is set where its rank in the ordered-dither matrix is below the
// share of the 64 pixels the percentage asks for.
constexpr Tile Percent(int percent) {
  constexpr int bayer[8][8] = {
      {0, 32, 8, 40, 2, 34, 10, 42},   {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
      {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
      {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21}};
  int count = (percent * 64 + 50) / 100;
  Tile t{};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      if (bayer[y][x] < count) t[y] |= Bit(x);
  return t;
}

constexpr Tile Rows(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d, std::uint8_t e, std::uint8_t f,
                    std::uint8_t g, std::uint8_t h) {
  return Tile{a, b, c, d, e, f, g, h};
}

struct Entry {
  const char* name;
  Tile tile;
};

constexpr Entry kHatches[kHatchStyleCount] = {
    {"Horizontal", Rows(0xFF, 0, 0, 0, 0, 0, 0, 0)},
    {"Vertical", Rows(0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80)},
    {"ForwardDiagonal", Downward(8, 1)},
    {"BackwardDiagonal", Upward(8, 1)},
    {"Cross", Rows(0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80)},
    {"DiagonalCross", Or(Downward(8, 1), Upward(8, 1))},
    {"Percent05", Percent(5)},
    {"Percent10", Percent(10)},
    {"Percent20", Percent(20)},
    {"Percent25", Percent(25)},
    {"Percent30", Percent(30)},
    {"Percent40", Percent(40)},
    {"Percent50", Percent(50)},
    {"Percent60", Percent(60)},
    {"Percent70", Percent(70)},
    {"Percent75", Percent(75)},
    {"Percent80", Percent(80)},
    {"Percent90", Percent(90)},
    {"LightDownwardDiagonal", Downward(4, 1)},
    {"LightUpwardDiagonal", Upward(4, 1)},
    {"DarkDownwardDiagonal", Downward(4, 2)},
    {"DarkUpwardDiagonal", Upward(4, 2)},
    {"WideDownwardDiagonal", Downward(8, 3)},
    {"WideUpwardDiagonal", Upward(8, 3)},
    {"LightVertical", Rows(0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88)},
    {"LightHorizontal", Rows(0xFF, 0, 0, 0, 0xFF, 0, 0, 0)},
    {"NarrowVertical", Rows(0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA)},
    {"NarrowHorizontal", Rows(0xFF, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0)},
    {"DarkVertical", Rows(0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC)},
    {"DarkHorizontal", Rows(0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0)},
    // Short strokes of the diagonal: the upper half of each tile only.
    {"DashedDownwardDiagonal", Rows(0x88, 0x44, 0x22, 0x11, 0, 0, 0, 0)},
    {"DashedUpwardDiagonal", Rows(0x11, 0x22, 0x44, 0x88, 0, 0, 0, 0)},
    {"DashedHorizontal", Rows(0xF0, 0, 0, 0, 0x0F, 0, 0, 0)},
    {"DashedVertical", Rows(0x80, 0x80, 0x80, 0x80, 0x08, 0x08, 0x08, 0x08)},
    // Single pixels strewn one per row and column.
    {"SmallConfetti", Rows(0x80, 0x04, 0x20, 0x01, 0x10, 0x02, 0x40, 0x08)},
    // Two-by-two flakes strewn over the tile.
    {"LargeConfetti", Rows(0xC0, 0xCC, 0x0C, 0x03, 0x33, 0x30, 0x06, 0x06)},
    {"ZigZag", Rows(0x81, 0x42, 0x24, 0x18, 0x81, 0x42, 0x24, 0x18)},
    {"Wave", Rows(0, 0x70, 0x88, 0x07, 0, 0, 0, 0)},
    {"DiagonalBrick", Rows(0x01, 0x02, 0x04, 0x08, 0x18, 0x24, 0x42, 0x81)},
    {"HorizontalBrick", Rows(0xFF, 0x80, 0x80, 0x80, 0xFF, 0x08, 0x08, 0x08)},
    {"Weave", Rows(0x88, 0x54, 0x22, 0x45, 0x88, 0x14, 0x22, 0x51)},
    {"Plaid", Rows(0xAA, 0x55, 0xAA, 0x55, 0xF0, 0xF0, 0xF0, 0xF0)},
    {"Divot", Rows(0, 0x10, 0x08, 0x10, 0, 0x01, 0x80, 0x01)},
    {"DottedGrid", Rows(0xAA, 0, 0x80, 0, 0x80, 0, 0x80, 0)},
    {"DottedDiamond", Rows(0x80, 0, 0x22, 0, 0x08, 0, 0x22, 0)},
    // Rows of overlapping roof tiles, each row's edge curving down to the next.
    {"Shingle", Rows(0x03, 0x84, 0x48, 0x30, 0x0C, 0x02, 0x01, 0x01)},
    {"Trellis", Rows(0xFF, 0x66, 0xFF, 0x99, 0xFF, 0x66, 0xFF, 0x99)},
    // Balls lit from the upper left.
    {"Sphere", Rows(0x77, 0x89, 0x8F, 0x8F, 0x77, 0x98, 0xF8, 0xF8)},
    {"SmallGrid", Rows(0xFF, 0x88, 0x88, 0x88, 0xFF, 0x88, 0x88, 0x88)},
    {"SmallCheckerBoard", Rows(0xCC, 0xCC, 0x33, 0x33, 0xCC, 0xCC, 0x33, 0x33)},
    {"LargeCheckerBoard", Rows(0xF0, 0xF0, 0xF0, 0xF0, 0x0F, 0x0F, 0x0F, 0x0F)},
    {"OutlinedDiamond", Rows(0x08, 0x14, 0x22, 0x41, 0x80, 0x41, 0x22, 0x14)},
    {"SolidDiamond", Rows(0, 0x08, 0x1C, 0x3E, 0x7F, 0x3E, 0x1C, 0x08)},
};

bool InRange(HatchStyle style) { return int(style) >= 0 && int(style) < kHatchStyleCount; }

}  // namespace

std::span<const std::uint8_t, 8> HatchPattern(HatchStyle style) {
  static constexpr Tile empty{};
  return InRange(style) ? std::span<const std::uint8_t, 8>(kHatches[int(style)].tile) : std::span<const std::uint8_t, 8>(empty);
}

const char* HatchStyleName(HatchStyle style) { return InRange(style) ? kHatches[int(style)].name : ""; }

}  // namespace sib::gfx
