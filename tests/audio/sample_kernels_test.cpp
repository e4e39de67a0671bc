// The vector loops against the plain loops, bit for bit, at every vector level the processor offers,
// over every container width, odd lengths and unaligned starts; and the channel-mapped copy against
// a sample-by-sample reading of its rules over random formats and speaker masks.
#include "audio/sample_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "audio/audio_buffer.h"

namespace sib {
namespace {

using samples::TValueOp;
using samples::TVectorLevel;

constexpr std::uint32_t kWidths[] = {8, 16, 24, 32};
constexpr std::size_t kLengths[] = {1, 3, 7, 9, 15, 17, 31, 33, 63, 65, 127, 1023};

std::vector<TVectorLevel> levelsToTry() {
  std::vector<TVectorLevel> levels{TVectorLevel::None};
  if (samples::bestVectorLevel() >= TVectorLevel::Sse2) levels.push_back(TVectorLevel::Sse2);
  if (samples::bestVectorLevel() >= TVectorLevel::Avx2) levels.push_back(TVectorLevel::Avx2);
  if (samples::bestVectorLevel() >= TVectorLevel::Avx512) levels.push_back(TVectorLevel::Avx512);
  return levels;
}

const char* nameOf(TVectorLevel level) {
  switch (level) {
    case TVectorLevel::None:
      return "none";
    case TVectorLevel::Sse2:
      return "sse2";
    case TVectorLevel::Avx2:
      return "avx2";
    case TVectorLevel::Avx512:
      return "avx512";
  }
  return "?";
}

class SampleKernelsTest : public ::testing::Test {
 protected:
  void TearDown() override { samples::setVectorLevel(samples::bestVectorLevel()); }

  // Random sample bytes, with the container's extremes and small values mixed in so that products
  // and quotients land on halves and on the limits.
  std::vector<std::uint8_t> randomSamples(std::size_t count, std::uint32_t width) {
    const std::size_t bytes = width / 8;
    std::vector<std::uint8_t> data(count * bytes);
    std::uniform_int_distribution<int> byte(0, 255), pick(0, 3);
    for (std::size_t i = 0; i < count; ++i) {
      std::uint8_t* at = data.data() + i * bytes;
      switch (pick(random)) {
        case 0:  // the largest value
          std::memset(at, 0xFF, bytes);
          if (width > 8) at[bytes - 1] = 0x7F;
          break;
        case 1:  // the smallest value
          std::memset(at, 0, bytes);
          if (width > 8) at[bytes - 1] = 0x80;
          break;
        case 2: {  // a small value, either sign
          const std::int64_t small = std::uniform_int_distribution<int>(-9, 9)(random);
          for (std::size_t b = 0; b < bytes; ++b) at[b] = static_cast<std::uint8_t>(small >> (8 * b));
          break;
        }
        default:
          for (std::size_t b = 0; b < bytes; ++b) at[b] = static_cast<std::uint8_t>(byte(random));
      }
    }
    return data;
  }

  std::mt19937 random{20240611};
};

TEST_F(SampleKernelsTest, MultiplyRealMatchesThePlainLoopAtEveryLevel) {
  const double coefficients[] = {0.5,  1.5,   -0.5, 0.1,     0.2,    0.002, 0.198, 2.0,
                                 -1.0, 3e-5,  0.75, 65535.0, 1000.5, 1e10,  -1e300, std::nan(""),
                                 std::numeric_limits<double>::infinity()};
  for (TVectorLevel level : levelsToTry()) {
    samples::setVectorLevel(level);
    for (std::uint32_t width : kWidths) {
      for (std::size_t length : kLengths) {
        for (double coefficient : coefficients) {
          for (std::size_t offset : {0, 1, 40}) {
            std::vector<std::uint8_t> original = randomSamples(length, width);
            std::vector<std::uint8_t> fast(offset), plain(offset);
            fast.insert(fast.end(), original.begin(), original.end());
            plain.insert(plain.end(), original.begin(), original.end());
            samples::multiplyReal(fast.data() + offset, length, width, coefficient);
            samples::plain::multiplyReal(plain.data() + offset, length, width, coefficient);
            ASSERT_EQ(fast, plain) << nameOf(level) << " width " << width << " length " << length << " offset "
                                   << offset << " coefficient " << coefficient;
          }
        }
      }
    }
  }
}

TEST_F(SampleKernelsTest, ValueFormsMatchThePlainLoopAtEveryLevel) {
  const std::int32_t values[] = {0, 1, -1, 2, 3, 5, 127, 128, 255, 266, 32767, -32768, 65535, -40000,
                                 std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()};
  const TValueOp ops[] = {TValueOp::Set, TValueOp::Add, TValueOp::Subtract, TValueOp::Multiply, TValueOp::Divide};
  for (TVectorLevel level : levelsToTry()) {
    samples::setVectorLevel(level);
    for (std::uint32_t width : kWidths) {
      for (std::size_t length : kLengths) {
        for (TValueOp op : ops) {
          for (std::int32_t value : values) {
            std::vector<std::uint8_t> fast = randomSamples(length, width);
            std::vector<std::uint8_t> plain = fast;
            const bool raises = op == TValueOp::Divide && value == 0 && width >= 24;
            if (raises) {
              EXPECT_THROW(samples::applyValue(fast.data(), length, width, op, value), EDivByZero);
              EXPECT_THROW(samples::plain::applyValue(plain.data(), length, width, op, value), EDivByZero);
              continue;
            }
            samples::applyValue(fast.data(), length, width, op, value);
            samples::plain::applyValue(plain.data(), length, width, op, value);
            ASSERT_EQ(fast, plain) << nameOf(level) << " width " << width << " length " << length << " op "
                                   << static_cast<int>(op) << " value " << value;
          }
        }
      }
    }
  }
}

TEST_F(SampleKernelsTest, RoundingHelpersRoundHalvesToEven) {
  struct Row {
    std::int64_t dividend, divisor, quotient;
  };
  for (Row row : {Row{5, 2, 2}, Row{7, 2, 4}, Row{-5, 2, -2}, Row{-7, 2, -4}, Row{5, -2, -2}, Row{8, 3, 3},
                  Row{-8, 3, -3}, Row{-32768, -1, 32768}}) {
    EXPECT_EQ(samples::divideRounded(row.dividend, row.divisor), row.quotient) << row.dividend << "/" << row.divisor;
  }
  EXPECT_EQ(samples::roundedLowBits(2.5), 2u);
  EXPECT_EQ(samples::roundedLowBits(-2.5), static_cast<std::uint64_t>(-2));
  EXPECT_EQ(samples::roundedLowBits(18446744073709551616.0 + 4096.0), 4096u) << "only the low bits of huge values";
  EXPECT_EQ(samples::roundedLowBits(std::nan("")), 0u);
}

// ---- Channel-mapped copy against its rules, sample by sample ----

std::int64_t largestOf(std::uint32_t width) { return (std::int64_t{1} << (width - 1)) - 1; }

std::int64_t expectedConversion(std::uint32_t from, std::uint32_t to, std::int64_t v) {
  if (from == to) return v;
  if (from == 8 && to == 16) return v * 257 - 32768;
  if (from == 8 && to == 32) return v * 16843009 - 2147483648LL;
  if (from == 8 && to == 24) return std::min<std::int64_t>((v - 127) * 8388607 / 127, 8388607);
  if (from == 16 && to == 8) return ((v - (v >> 8)) >> 8) - 128;
  if (from == 32 && to == 8) return ((v - (v >> 8)) >> 24) - 128;
  if (from == 24 && to == 8) return v * 127 / 8388607 + 127;
  return std::clamp(v * largestOf(to) / largestOf(from), -largestOf(to) - 1, largestOf(to));
}

void storeExpected(std::uint8_t* at, std::uint32_t width, std::int64_t value) {
  for (std::uint32_t b = 0; b < width / 8; ++b) at[b] = static_cast<std::uint8_t>(value >> (8 * b));
  if (width == 24 && static_cast<std::int32_t>(value) < 0) at[2] |= 0x80;
}

struct Format {
  std::uint32_t width;
  std::uint32_t channels;
  TALSpeakers mask;
};

std::vector<std::uint8_t> expectedCopy(const Format& source, const std::uint8_t* sourceData, const Format& target,
                                       std::vector<std::uint8_t> targetData, std::uint32_t sourceOffset,
                                       std::uint32_t targetOffset, std::uint32_t count) {
  const std::uint32_t sourceBytes = source.width / 8, targetBytes = target.width / 8;
  const std::uint32_t sourceStep = sourceBytes * source.channels, targetStep = targetBytes * target.channels;
  std::uint32_t s = 0, t = 0, pairs = 0;
  for (unsigned position = 0; position < 18; ++position) {
    const bool inSource = (source.mask >> position) & 1, inTarget = (target.mask >> position) & 1;
    if (inSource && inTarget) {
      if (s < source.channels && t < target.channels) {
        ++pairs;
        for (std::uint32_t f = 0; f < count; ++f) {
          const std::uint8_t* from = sourceData + (sourceOffset + f) * sourceStep + s * sourceBytes;
          const std::int64_t v = samples::loadSample(from, source.width);
          storeExpected(targetData.data() + (targetOffset + f) * targetStep + t * targetBytes, target.width,
                        expectedConversion(source.width, target.width, v));
        }
      }
      if (pairs >= source.channels && pairs >= target.channels) break;
    } else if (inTarget && t < target.channels) {
      for (std::uint32_t f = 0; f < count; ++f)
        std::memset(targetData.data() + (targetOffset + f) * targetStep + t * targetBytes, 0, targetBytes);
    }
    s += inSource;
    t += inTarget;
  }
  return targetData;
}

TEST_F(SampleKernelsTest, ChannelMappedCopyFollowsItsRulesForRandomFormats) {
  std::uniform_int_distribution<std::uint32_t> widthIndex(0, 3), channels(1, 4), frames(1, 37);
  std::uniform_int_distribution<std::uint32_t> maskBits(0, (1u << 18) - 1);
  for (int round = 0; round < 400; ++round) {
    Format formats[2];
    for (Format& format : formats) {
      format.width = kWidths[widthIndex(random)];
      format.channels = channels(random);
      // Half the time the usual lowest positions, otherwise any set of positions, which may name
      // more or fewer positions than there are channels.
      format.mask = round % 2 == 0 ? (1u << format.channels) - 1 : maskBits(random);
    }
    if (round % 8 == 0) formats[1] = formats[0];
    const std::uint32_t sourceFrames = frames(random), targetFrames = frames(random);
    const std::uint32_t count = std::uniform_int_distribution<std::uint32_t>(0, std::min(sourceFrames, targetFrames))(random);
    const std::uint32_t sourceOffset = std::uniform_int_distribution<std::uint32_t>(0, sourceFrames - count)(random);
    const std::uint32_t targetOffset = std::uniform_int_distribution<std::uint32_t>(0, targetFrames - count)(random);

    std::vector<std::uint8_t> sourceData = randomSamples(sourceFrames * formats[0].channels, formats[0].width);
    std::vector<std::uint8_t> targetData = randomSamples(targetFrames * formats[1].channels, formats[1].width);
    RefPtr<TALAudioBuffer> source = TALAudioBuffer::CreateDataEx(
        sourceData.data(), 8000, static_cast<std::int32_t>(formats[0].width),
        static_cast<std::int32_t>(formats[0].channels), sourceFrames, formats[0].mask);
    RefPtr<TALAudioBuffer> target = TALAudioBuffer::CreateDataEx(
        targetData.data(), 8000, static_cast<std::int32_t>(formats[1].width),
        static_cast<std::int32_t>(formats[1].channels), targetFrames, formats[1].mask);

    source->CopyData(sourceOffset, target->AsDataBufferIntf(), targetOffset, count);
    const std::vector<std::uint8_t> got(target->Read(), target->Read() + target->GetByteSize());
    ASSERT_EQ(got, expectedCopy(formats[0], sourceData.data(), formats[1], targetData, sourceOffset, targetOffset,
                                count))
        << "round " << round << ": " << formats[0].width << "-bit x" << formats[0].channels << " mask "
        << formats[0].mask << " -> " << formats[1].width << "-bit x" << formats[1].channels << " mask "
        << formats[1].mask << ", " << count << " frames from " << sourceOffset << " to " << targetOffset;
  }
}

TEST_F(SampleKernelsTest, ChannelMappedCopyWithinOneBufferReadsEveryFrameBeforeOverwritingIt) {
  for (TALSpeakers mask : {speakers({spFrontLeft, spFrontRight}), speakers({spFrontRight, spBackLeft})}) {
    std::vector<std::int16_t> samples{1, 2, 3, 4, 5, 6, 7, 8};
    RefPtr<TALAudioBuffer> buffer = TALAudioBuffer::CreateDataEx(samples.data(), 8000, 16, 2, 4, mask);
    buffer->CopyData(0, buffer->AsDataBufferIntf(), 1, 3);
    std::vector<std::int16_t> got(8);
    std::memcpy(got.data(), buffer->Read(), 16);
    EXPECT_EQ(got, (std::vector<std::int16_t>{1, 2, 1, 2, 3, 4, 5, 6})) << "mask " << mask;
  }
}

}  // namespace
}  // namespace sib
