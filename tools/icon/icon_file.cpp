#include "tools/icon/icon_file.h"

#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>
#include <string>

#include "platform/graphics/image.h"

namespace sib::icon {
namespace {

constexpr int kLargestBitmapSide = 255;  // larger images go in as PNG

struct Rgb {
  std::uint8_t R = 0, G = 0, B = 0;
  friend bool operator==(Rgb, Rgb) = default;
};

std::uint32_t Key(Rgb c) { return std::uint32_t{c.R} << 16 | std::uint32_t{c.G} << 8 | c.B; }

// A pixel is drawn when it is at least half opaque; palettised images have no other transparency.
bool Shown(gfx::Color c) { return c.A >= 128; }

struct Weighted {
  Rgb Colour;
  std::uint64_t Count = 0;
};

std::uint8_t Channel(Rgb c, int channel) { return channel == 0 ? c.R : channel == 1 ? c.G : c.B; }

std::size_t Nearest(const std::vector<Rgb>& palette, Rgb c) {
  std::size_t best = 0;
  int bestDistance = 1 << 30;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const int dr = palette[i].R - c.R, dg = palette[i].G - c.G, db = palette[i].B - c.B;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) bestDistance = d, best = i;
  }
  return best;
}

// Moves each palette colour to the weighted mean of the colours nearest to it, a few times over (Lloyd's
// refinement): median cut splits only in halves, which leaves some boxes twice as wide as others.
void Refine(std::vector<Rgb>& palette, const std::vector<Weighted>& colours) {
  constexpr int kRounds = 16;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::array<std::uint64_t, 4>> sums(palette.size(), {0, 0, 0, 0});
    for (const Weighted& w : colours) {
      auto& sum = sums[Nearest(palette, w.Colour)];
      sum[0] += w.Count, sum[1] += w.Count * w.Colour.R, sum[2] += w.Count * w.Colour.G, sum[3] += w.Count * w.Colour.B;
    }
    bool moved = false;
    for (std::size_t i = 0; i < palette.size(); ++i) {
      const std::uint64_t n = sums[i][0];
      if (n == 0) continue;
      const Rgb mean{static_cast<std::uint8_t>((sums[i][1] + n / 2) / n), static_cast<std::uint8_t>((sums[i][2] + n / 2) / n),
                     static_cast<std::uint8_t>((sums[i][3] + n / 2) / n)};
      moved = moved || !(mean == palette[i]);
      palette[i] = mean;
    }
    if (!moved) return;
  }
}

// Median cut: the box whose widest channel spans most is split at its weighted median along that
// channel until there are `count` boxes (or no box holds two colours); each box gives its weighted mean.
std::vector<Rgb> MedianCut(std::vector<Weighted> colours, std::size_t count) {
  struct Box {
    std::size_t Begin, End;  // into `colours`
    int Channel = 0;
    int Span = 0;
  };
  auto measure = [&](Box& box) {
    std::array<int, 3> lo{255, 255, 255}, hi{0, 0, 0};
    for (std::size_t i = box.Begin; i < box.End; ++i)
      for (int c = 0; c < 3; ++c) {
        lo[c] = std::min<int>(lo[c], Channel(colours[i].Colour, c));
        hi[c] = std::max<int>(hi[c], Channel(colours[i].Colour, c));
      }
    box.Span = -1;
    for (int c = 0; c < 3; ++c)
      if (hi[c] - lo[c] > box.Span) box.Span = hi[c] - lo[c], box.Channel = c;
  };
  std::vector<Box> boxes{{0, colours.size()}};
  measure(boxes[0]);
  while (boxes.size() < count) {
    auto widest = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.Span < b.Span; });
    if (widest->Span <= 0) break;
    Box box = *widest;
    std::sort(colours.begin() + static_cast<std::ptrdiff_t>(box.Begin), colours.begin() + static_cast<std::ptrdiff_t>(box.End),
              [&](const Weighted& a, const Weighted& b) { return Channel(a.Colour, box.Channel) < Channel(b.Colour, box.Channel); });
    std::uint64_t total = 0, seen = 0;
    for (std::size_t i = box.Begin; i < box.End; ++i) total += colours[i].Count;
    std::size_t split = box.Begin + 1;
    for (std::size_t i = box.Begin; i + 1 < box.End; ++i) {
      seen += colours[i].Count;
      split = i + 1;
      if (2 * seen >= total) break;
    }
    Box low{box.Begin, split}, high{split, box.End};
    measure(low);
    measure(high);
    *widest = low;
    boxes.push_back(high);
  }
  std::vector<Rgb> palette;
  for (const Box& box : boxes) {
    std::uint64_t n = 0, r = 0, g = 0, b = 0;
    for (std::size_t i = box.Begin; i < box.End; ++i) {
      const Weighted& w = colours[i];
      n += w.Count, r += w.Count * w.Colour.R, g += w.Count * w.Colour.G, b += w.Count * w.Colour.B;
    }
    palette.push_back({static_cast<std::uint8_t>((r + n / 2) / n), static_cast<std::uint8_t>((g + n / 2) / n),
                       static_cast<std::uint8_t>((b + n / 2) / n)});
  }
  return palette;
}


class Writer {
 public:
  void U8(unsigned v) { bytes_.push_back(static_cast<std::uint8_t>(v)); }
  void U16(unsigned v) { U8(v & 0xff), U8(v >> 8 & 0xff); }
  void U32(std::uint32_t v) { U16(v & 0xffff), U16(v >> 16); }
  void Append(std::span<const std::uint8_t> b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }
  void PadRow(std::size_t rowStart, std::size_t stride) {
    while (bytes_.size() - rowStart < stride) U8(0);
  }
  std::size_t Size() const { return bytes_.size(); }
  std::vector<std::uint8_t>& Bytes() { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

std::size_t Stride(int width, int bits) { return (static_cast<std::size_t>(width) * bits + 31) / 32 * 4; }

// The image as a device-independent bitmap: its header, the palette, the colour rows and the mask's,
// both bottom row first.
std::vector<std::uint8_t> EncodeBitmap(const gfx::Bitmap& pixels, int bits) {
  const int size = pixels.Width();
  std::vector<gfx::Color> straight;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) straight.push_back(pixels.GetPixel(x, y));
  auto at = [&](int x, int y) { return straight[static_cast<std::size_t>(y) * size + x]; };

  std::vector<Rgb> palette;
  if (bits < 32) {
    // Entry 0 stays black: a masked pixel's colour bits are 0, and black leaves the screen unchanged
    // where the mask has already cleared it.
    std::map<std::uint32_t, Weighted> histogram;
    for (const gfx::Color c : straight)
      if (Shown(c)) {
        Weighted& w = histogram[Key({c.R, c.G, c.B})];
        w.Colour = {c.R, c.G, c.B};
        ++w.Count;
      }
    std::vector<Weighted> colours;
    for (const auto& [key, w] : histogram) colours.push_back(w);
    palette = {Rgb{}};
    if (!colours.empty()) {
      std::vector<Rgb> chosen = MedianCut(colours, (std::size_t{1} << bits) - 1);
      Refine(chosen, colours);
      palette.insert(palette.end(), chosen.begin(), chosen.end());
    }
  }
  const std::size_t entries = bits < 32 ? std::size_t{1} << bits : 0;
  const std::size_t colourStride = Stride(size, bits), maskStride = Stride(size, 1);

  Writer w;
  w.U32(40);
  w.U32(static_cast<std::uint32_t>(size));
  w.U32(static_cast<std::uint32_t>(2 * size));  // the colour rows and the mask's
  w.U16(1);
  w.U16(static_cast<unsigned>(bits));
  w.U32(0);  // uncompressed
  w.U32(static_cast<std::uint32_t>((colourStride + maskStride) * static_cast<std::size_t>(size)));
  w.U32(0), w.U32(0);
  w.U32(static_cast<std::uint32_t>(entries));
  w.U32(0);
  for (std::size_t i = 0; i < entries; ++i) {
    const Rgb c = i < palette.size() ? palette[i] : Rgb{};
    w.U8(c.B), w.U8(c.G), w.U8(c.R), w.U8(0);
  }
  for (int y = size - 1; y >= 0; --y) {
    const std::size_t row = w.Size();
    if (bits == 32) {
      for (int x = 0; x < size; ++x) {
        const gfx::Color c = at(x, y);
        w.U8(c.B), w.U8(c.G), w.U8(c.R), w.U8(c.A);
      }
    } else {
      unsigned byte = 0;
      int filled = 0;
      for (int x = 0; x < size; ++x) {
        const gfx::Color c = at(x, y);
        const std::size_t index = Shown(c) ? Nearest(palette, {c.R, c.G, c.B}) : 0;
        byte = byte << bits | static_cast<unsigned>(index);
        filled += bits;
        if (filled == 8) w.U8(byte), byte = 0, filled = 0;
      }
      if (filled > 0) w.U8(byte << (8 - filled));
    }
    w.PadRow(row, colourStride);
  }
  for (int y = size - 1; y >= 0; --y) {
    const std::size_t row = w.Size();
    for (int x0 = 0; x0 < size; x0 += 8) {
      unsigned byte = 0;
      for (int bit = 0; bit < 8; ++bit) {
        const int x = x0 + bit;
        const bool masked = x < size && !Shown(at(x, y));
        byte |= (masked ? 1u : 0u) << (7 - bit);
      }
      w.U8(byte);
    }
    w.PadRow(row, maskStride);
  }
  return std::move(w.Bytes());
}

}  // namespace

std::vector<std::uint8_t> EncodeIconFile(std::span<const IconImage> images) {
  std::vector<std::vector<std::uint8_t>> encoded;
  for (const IconImage& image : images) {
    const int size = image.Pixels.Width();
    if (!image.Pixels.Ok() || image.Pixels.Height() != size || size > 256)
      throw std::invalid_argument("an icon image must be square and 1 to 256 pixels a side");
    if (image.BitCount != 4 && image.BitCount != 8 && image.BitCount != 32)
      throw std::invalid_argument("an icon image has 4, 8 or 32 bits per pixel, not " + std::to_string(image.BitCount));
    if (image.BitCount == 32 && size > kLargestBitmapSide)
      encoded.push_back(gfx::Image::FromBitmap(image.Pixels).Save(gfx::ImageFormat::Png));
    else
      encoded.push_back(EncodeBitmap(image.Pixels, image.BitCount));
  }

  Writer w;
  w.U16(0);  // reserved
  w.U16(1);  // an icon, not a cursor
  w.U16(static_cast<unsigned>(images.size()));
  std::size_t offset = 6 + 16 * images.size();
  for (std::size_t i = 0; i < images.size(); ++i) {
    const int size = images[i].Pixels.Width();
    const int bits = images[i].BitCount;
    w.U8(size == 256 ? 0 : static_cast<unsigned>(size));  // 0 stands for 256
    w.U8(size == 256 ? 0 : static_cast<unsigned>(size));
    w.U8(bits == 4 ? 16 : 0);  // palette entries, 0 for 256 and for none
    w.U8(0);
    w.U16(1);  // planes
    w.U16(static_cast<unsigned>(bits));
    w.U32(static_cast<std::uint32_t>(encoded[i].size()));
    w.U32(static_cast<std::uint32_t>(offset));
    offset += encoded[i].size();
  }
  for (const std::vector<std::uint8_t>& e : encoded) w.Append(e);
  return std::move(w.Bytes());
}

}  // namespace sib::icon
