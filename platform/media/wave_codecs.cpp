#include "platform/media/wave_codecs.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace sib::media_detail {
namespace {

inline int clampToInt16(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, -32768, 32767));
}

inline void storeSample(std::uint8_t* at, int value) {
  at[0] = static_cast<std::uint8_t>(value & 0xFF);
  at[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// ---- IMA ADPCM ----------------------------------------------------------------------------------
// Per channel a 4-byte header (first sample, step index, reserved), then per channel in turn groups
// of 4 bytes holding 8 samples, low nibble first.

constexpr int kImaMaxStepIndex = 88;
constexpr std::array<int, kImaMaxStepIndex + 1> kImaStepTable = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr std::array<int, 16> kImaIndexAdjust = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

// For every step index and nibble: the signed difference it adds and the step index that follows.
struct ImaTransition {
  std::int32_t difference;
  std::int32_t nextIndex;
};
using ImaTransitionTable = std::array<std::array<ImaTransition, 16>, kImaMaxStepIndex + 1>;

ImaTransitionTable makeImaTransitions() {
  ImaTransitionTable table{};
  for (int index = 0; index <= kImaMaxStepIndex; ++index) {
    const int step = kImaStepTable[index];
    for (unsigned nibble = 0; nibble < 16; ++nibble) {
      int difference = step >> 3;
      if (nibble & 4) difference += step;
      if (nibble & 2) difference += step >> 1;
      if (nibble & 1) difference += step >> 2;
      table[index][nibble] = {nibble & 8 ? -difference : difference,
                              std::clamp(index + kImaIndexAdjust[nibble], 0, kImaMaxStepIndex)};
    }
  }
  return table;
}

const ImaTransitionTable kImaTransitions = makeImaTransitions();

class ImaAdpcmCodec final : public BlockCodec {
 public:
  using BlockCodec::BlockCodec;

  std::uint32_t decode(const std::uint8_t* source, std::uint32_t blocks, std::uint8_t* destination) const override {
    for (std::uint32_t b = 0; b < blocks; ++b) {
      if (!decodeBlock(source + std::size_t{b} * blockBytes(), destination + b * decodedBlockBytes())) return b;
    }
    return blocks;
  }

 private:
  bool decodeBlock(const std::uint8_t* block, std::uint8_t* out) const {
    const unsigned ch = channels();
    for (unsigned c = 0; c < ch; ++c)
      if (block[4 * c + 2] > kImaMaxStepIndex) return false;

    const std::size_t frameBytes = std::size_t{ch} * 2;
    const std::uint32_t groups = (framesPerBlock() - 1) / 8;
    for (unsigned c = 0; c < ch; ++c) {
      const std::uint8_t* header = block + 4 * c;
      int predictor = static_cast<std::int16_t>(loadLe16(header));
      int index = header[2];
      std::uint8_t* sample = out + 2 * c;
      storeSample(sample, predictor);
      sample += frameBytes;
      const std::uint8_t* data = block + 4 * ch + 4 * c;
      for (std::uint32_t g = 0; g < groups; ++g, data += 4 * ch) {
        for (int i = 0; i < 4; ++i) {
          const unsigned byte = data[i];
          predictor = next(predictor, index, byte & 0x0F);
          storeSample(sample, predictor);
          sample += frameBytes;
          predictor = next(predictor, index, byte >> 4);
          storeSample(sample, predictor);
          sample += frameBytes;
        }
      }
    }
    return true;
  }

  static int next(int predictor, int& index, unsigned nibble) {
    const ImaTransition& t = kImaTransitions[static_cast<std::size_t>(index)][nibble];
    index = t.nextIndex;
    return std::clamp(predictor + t.difference, -32768, 32767);
  }
};

std::unique_ptr<const BlockCodec> makeImaAdpcm(const WaveFormatFields& f) {
  const std::uint32_t headerBytes = 4u * f.nChannels;
  if (f.wBitsPerSample != 4 || f.nBlockAlign < headerBytes) return nullptr;
  // Whole groups only: bytes that do not fill a group for every channel are not decoded.
  const std::uint32_t groups = (f.nBlockAlign - headerBytes) / headerBytes;
  const std::uint32_t frames = groups * 8 + 1;
  return std::make_unique<ImaAdpcmCodec>(f.nChannels, f.nBlockAlign, frames);
}

// ---- Microsoft ADPCM ----------------------------------------------------------------------------
// Per channel, field by field: predictor index (byte), then delta, sample1 and sample2 (int16
// each); the header's samples come out first, sample2 (the older) before sample1, then one nibble
// per channel in turn, high nibble first. The predictor coefficient pairs come from the stored format.

constexpr std::array<int, 16> kMsAdaptation = {230, 230, 230, 230, 307, 409, 512, 614,
                                               768, 614, 512, 409, 307, 230, 230, 230};
constexpr int kMsMinDelta = 16;
// Far above any delta a real encoder reaches; stops hostile nibble runs from growing it without end.
constexpr std::int64_t kMsMaxDelta = std::int64_t{1} << 24;
constexpr std::size_t kMsMaxChannels = 32;

struct MsCoefficients {
  int c1;
  int c2;
};

class MsAdpcmCodec final : public BlockCodec {
 public:
  MsAdpcmCodec(std::uint16_t channels, std::uint32_t blockBytes, std::uint32_t framesPerBlock,
               std::vector<MsCoefficients> coefficients)
      : BlockCodec(channels, blockBytes, framesPerBlock), coefficients_(std::move(coefficients)) {}

  std::uint32_t decode(const std::uint8_t* source, std::uint32_t blocks, std::uint8_t* destination) const override {
    for (std::uint32_t b = 0; b < blocks; ++b) {
      if (!decodeBlock(source + std::size_t{b} * blockBytes(), destination + b * decodedBlockBytes())) return b;
    }
    return blocks;
  }

 private:
  struct ChannelState {
    MsCoefficients coefficients;
    std::int64_t delta;
    int sample1;
    int sample2;
  };

  bool decodeBlock(const std::uint8_t* block, std::uint8_t* out) const {
    const unsigned ch = channels();
    std::array<ChannelState, kMsMaxChannels> states;
    for (unsigned c = 0; c < ch; ++c) {
      const unsigned predictor = block[c];
      if (predictor >= coefficients_.size()) return false;
      states[c].coefficients = coefficients_[predictor];
      states[c].delta = static_cast<std::int16_t>(loadLe16(block + ch + 2 * c));
      states[c].sample1 = static_cast<std::int16_t>(loadLe16(block + 3 * ch + 2 * c));
      states[c].sample2 = static_cast<std::int16_t>(loadLe16(block + 5 * ch + 2 * c));
    }
    for (unsigned c = 0; c < ch; ++c, out += 2) storeSample(out, states[c].sample2);
    for (unsigned c = 0; c < ch; ++c, out += 2) storeSample(out, states[c].sample1);

    const std::uint8_t* data = block + 7 * ch;
    const std::uint32_t nibbles = (framesPerBlock() - 2) * ch;
    unsigned c = 0;
    auto decodeNibble = [&](unsigned nibble) {
      storeSample(out, next(states[c], nibble));
      out += 2;
      if (++c == ch) c = 0;
    };
    for (std::uint32_t n = 0; n + 1 < nibbles; n += 2, ++data) {
      decodeNibble(*data >> 4);
      decodeNibble(*data & 0x0F);
    }
    if (nibbles % 2 == 1) decodeNibble(*data >> 4);
    return true;
  }

  static int next(ChannelState& s, unsigned nibble) {
    const std::int64_t prediction =
        (std::int64_t{s.sample1} * s.coefficients.c1 + std::int64_t{s.sample2} * s.coefficients.c2) >> 8;
    const int signedNibble = (nibble & 8) ? static_cast<int>(nibble) - 16 : static_cast<int>(nibble);
    const int sample = clampToInt16(prediction + signedNibble * s.delta);
    s.sample2 = s.sample1;
    s.sample1 = sample;
    s.delta = std::clamp<std::int64_t>((kMsAdaptation[nibble] * s.delta) >> 8, kMsMinDelta, kMsMaxDelta);
    return sample;
  }

  std::vector<MsCoefficients> coefficients_;
};

std::unique_ptr<const BlockCodec> makeMsAdpcm(const WaveFormatFields& f) {
  const std::uint32_t headerBytes = 7u * f.nChannels;
  if (f.wBitsPerSample != 4 || f.nChannels > kMsMaxChannels || f.nBlockAlign < headerBytes) return nullptr;
  // The extra bytes: samples per block, the number of coefficient pairs, then the pairs.
  if (f.extra.size() < 4) return nullptr;
  const std::size_t count = loadLe16(f.extra.data() + 2);
  if (count == 0 || count > 256 || f.extra.size() < 4 + 4 * count) return nullptr;
  std::vector<MsCoefficients> coefficients(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* pair = f.extra.data() + 4 + 4 * i;
    coefficients[i] = {static_cast<std::int16_t>(loadLe16(pair)), static_cast<std::int16_t>(loadLe16(pair + 2))};
  }
  const std::uint32_t frames = (f.nBlockAlign - headerBytes) * 2 / f.nChannels + 2;
  return std::make_unique<MsAdpcmCodec>(f.nChannels, f.nBlockAlign, frames, std::move(coefficients));
}

// ---- G.711 A-law and µ-law ----------------------------------------------------------------------

int expandALaw(unsigned code) {
  code ^= 0x55;
  int magnitude = static_cast<int>((code & 0x0F) << 4);
  const unsigned segment = (code & 0x70) >> 4;
  if (segment == 0) {
    magnitude += 8;
  } else {
    magnitude += 0x108;
    magnitude <<= segment - 1;
  }
  return (code & 0x80) ? magnitude : -magnitude;
}

int expandMuLaw(unsigned code) {
  code = ~code & 0xFF;
  int magnitude = static_cast<int>(((code & 0x0F) << 3) + 0x84);
  magnitude <<= (code & 0x70) >> 4;
  return (code & 0x80) ? 0x84 - magnitude : magnitude - 0x84;
}

using ExpansionTable = std::array<std::uint8_t, 256 * 2>;  // little-endian 16-bit sample per code

ExpansionTable makeExpansionTable(int (*expand)(unsigned)) {
  ExpansionTable table{};
  for (unsigned code = 0; code < 256; ++code) storeSample(table.data() + 2 * code, expand(code));
  return table;
}

class G711Codec final : public BlockCodec {
 public:
  G711Codec(std::uint16_t channels, const ExpansionTable& table) : BlockCodec(channels, channels, 1), table_(table) {}

  std::uint32_t decode(const std::uint8_t* source, std::uint32_t blocks, std::uint8_t* destination) const override {
    const std::size_t samples = std::size_t{blocks} * channels();
    for (std::size_t i = 0; i < samples; ++i) std::memcpy(destination + 2 * i, table_.data() + 2 * source[i], 2);
    return blocks;
  }

 private:
  const ExpansionTable& table_;
};

std::unique_ptr<const BlockCodec> makeG711(const WaveFormatFields& f) {
  static const ExpansionTable aLaw = makeExpansionTable(expandALaw);
  static const ExpansionTable muLaw = makeExpansionTable(expandMuLaw);
  if (f.wBitsPerSample != 8 || f.nBlockAlign != f.nChannels) return nullptr;
  return std::make_unique<G711Codec>(f.nChannels, f.encoding == kWaveFormatALaw ? aLaw : muLaw);
}

// ---- IEEE float ---------------------------------------------------------------------------------
// Full scale ±1.0 maps to ±32768: each value is scaled, clipped to the 16-bit range and rounded to
// the nearest integer, halves to even. NaN becomes 0.

inline int floatToSample(double value) {
  double scaled = value * 32768.0;
  scaled = scaled == scaled ? scaled : 0.0;
  scaled = std::min(std::max(scaled, -32768.0), 32767.0);
  // Adding 1.5 * 2^52 leaves no bits below the units, so the sum is rounded to an integer in the
  // default rounding mode (to nearest, halves to even) without a library call.
  constexpr double kRoundingShift = 6755399441055744.0;
  return static_cast<int>((scaled + kRoundingShift) - kRoundingShift);
}

template <int Bytes>
class FloatCodec final : public BlockCodec {
 public:
  explicit FloatCodec(std::uint16_t channels) : BlockCodec(channels, channels * Bytes, 1) {}

  std::uint32_t decode(const std::uint8_t* source, std::uint32_t blocks, std::uint8_t* destination) const override {
    const std::size_t samples = std::size_t{blocks} * channels();
    for (std::size_t i = 0; i < samples; ++i) storeSample(destination + 2 * i, floatToSample(load(source + i * Bytes)));
    return blocks;
  }

 private:
  static double load(const std::uint8_t* at) {
    if constexpr (Bytes == 4) {
      float value;
      const std::uint32_t bits = loadLe32(at);
      std::memcpy(&value, &bits, sizeof value);
      return value;
    } else {
      double value;
      const std::uint64_t bits = loadLe64(at);
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
  }
};

std::unique_ptr<const BlockCodec> makeFloat(const WaveFormatFields& f) {
  if (f.wBitsPerSample == 32 && f.nBlockAlign == 4u * f.nChannels) return std::make_unique<FloatCodec<4>>(f.nChannels);
  if (f.wBitsPerSample == 64 && f.nBlockAlign == 8u * f.nChannels) return std::make_unique<FloatCodec<8>>(f.nChannels);
  return nullptr;
}

}  // namespace

std::unique_ptr<const BlockCodec> makeBlockCodec(const WaveFormatFields& source) {
  switch (source.encoding) {
    case kWaveFormatImaAdpcm: return makeImaAdpcm(source);
    case kWaveFormatMsAdpcm: return makeMsAdpcm(source);
    case kWaveFormatALaw:
    case kWaveFormatMuLaw: return makeG711(source);
    case kWaveFormatIeeeFloat: return makeFloat(source);
    default: return nullptr;
  }
}

}  // namespace sib::media_detail
