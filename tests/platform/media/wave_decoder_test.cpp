#include "platform/media/wave_decoder.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include <gtest/gtest.h>

#include "tests/platform/media/wave_fixtures.h"

namespace sib::test {
namespace {

std::string firstDifference(const std::vector<std::int16_t>& ours, const std::vector<std::int16_t>& reference,
                            int tolerance) {
  if (ours.size() != reference.size())
    return "lengths differ: " + std::to_string(ours.size()) + " vs " + std::to_string(reference.size());
  for (std::size_t i = 0; i < ours.size(); ++i)
    if (std::abs(ours[i] - reference[i]) > tolerance)
      return "sample " + std::to_string(i) + ": " + std::to_string(ours[i]) + " vs " + std::to_string(reference[i]);
  return {};
}

std::vector<std::int16_t> samplesOf(const Bytes& pcm, std::size_t bytes) {
  std::vector<std::int16_t> samples(bytes / 2);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<std::int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
  return samples;
}

// ---- Against sox --------------------------------------------------------------------------------

struct SoxCase {
  const char* name;
  const char* sourceFormat;  // sox output options of the source file
  const char* signal;        // sox effects that make the source's signal
  const char* encode;        // sox output options that code the source; empty when it is coded already
  int tolerance;             // largest difference allowed against sox's own 16-bit decode
};

std::ostream& operator<<(std::ostream& out, const SoxCase& row) { return out << row.name; }

// Loud noise, full-scale squares and sweeps drive the ADPCM predictors into clipping and their step
// tables to both ends.
constexpr const char* kStereo44k = "-r 44100 -c 2 -b 16 -e signed-integer";
constexpr const char* kMono8k = "-r 8000 -c 1 -b 16 -e signed-integer";
constexpr const char* kNoiseAndSweep = "synth 0.4 whitenoise sine 20-20000 vol 0.98";
constexpr const char* kSquareAndQuiet = "synth 0.4 square 300-3000 vol 0.999";

class SoxReferenceTest : public ::testing::TestWithParam<SoxCase> {};

TEST_P(SoxReferenceTest, DecodesToTheSamplesSoxDecodesTo) {
  const SoxCase& row = GetParam();
  TempDir dir;
  const std::string source = dir.file("source.wav");
  const std::string coded = dir.file("coded.wav");
  const std::string reference = dir.file("reference.wav");
  ASSERT_TRUE(sox(std::string("-n ") + row.sourceFormat + " " + source + " " + row.signal))
      << "sox is needed (scripts/setup installs it)";
  if (*row.encode) {
    ASSERT_TRUE(sox(source + " " + row.encode + " " + coded));
  } else {
    std::filesystem::copy_file(source, coded);
  }
  ASSERT_TRUE(sox(coded + " -e signed-integer -b 16 " + reference));

  const DecodeRun run = decodeFile(coded);
  ASSERT_EQ(run.openResult, kMediaOk);
  ASSERT_EQ(run.lastResult, kMediaOk);
  const std::vector<std::int16_t> expected = readPcm16(reference);
  ASSERT_GT(expected.size(), 1000u);
  EXPECT_EQ(firstDifference(run.samples, expected, row.tolerance), "");
}

// Float sources are made as float by sox, so their values are not all on the 16-bit grid and the
// rounding shows. Our rounding (nearest, halves to even) and sox's may differ by one.
INSTANTIATE_TEST_SUITE_P(
    Codecs, SoxReferenceTest,
    ::testing::Values(SoxCase{"ImaAdpcmStereo44k", kStereo44k, kNoiseAndSweep, "-e ima-adpcm", 0},
                      SoxCase{"ImaAdpcmMono8k", kMono8k, kSquareAndQuiet, "-e ima-adpcm", 0},
                      SoxCase{"MsAdpcmStereo44k", kStereo44k, kNoiseAndSweep, "-e ms-adpcm", 0},
                      SoxCase{"MsAdpcmMono8k", kMono8k, kSquareAndQuiet, "-e ms-adpcm", 0},
                      SoxCase{"ALawStereo44k", kStereo44k, kNoiseAndSweep, "-e a-law", 0},
                      SoxCase{"MuLawMono8k", kMono8k, kSquareAndQuiet, "-e u-law", 0},
                      SoxCase{"Float32Stereo", "-r 44100 -c 2 -e floating-point -b 32", kNoiseAndSweep, "", 1},
                      SoxCase{"Float64Mono", "-r 8000 -c 1 -e floating-point -b 64", kSquareAndQuiet, "", 1}),
    [](const auto& info) { return std::string(info.param.name); });

// Every one of the 256 codes, in both channels, against sox's expansion.
TEST(WaveDecoderTest, EveryG711CodeExpandsAsSoxExpandsIt) {
  for (const std::uint16_t tag : {kWaveFormatALaw, kWaveFormatMuLaw}) {
    SCOPED_TRACE(tag);
    TempDir dir;
    Bytes codes;
    for (int code = 0; code < 256; ++code) codes.insert(codes.end(), {std::uint8_t(code), std::uint8_t(255 - code)});
    writeFile(dir.file("coded.wav"),
              riffWave({{"fmt ", formatRecord(tag, 2, 8000, 16000, 2, 8)}, {"data", codes}}));
    ASSERT_TRUE(sox(dir.file("coded.wav") + " -e signed-integer -b 16 " + dir.file("reference.wav")));
    const DecodeRun run = decodeFile(dir.file("coded.wav"));
    ASSERT_EQ(run.lastResult, kMediaOk);
    EXPECT_EQ(firstDifference(run.samples, readPcm16(dir.file("reference.wav")), 0), "");
  }
}

// The extensible record whose sub-format is float is decoded exactly like tag 3.
TEST(WaveDecoderTest, ExtensibleFloatDecodesLikePlainFloat) {
  TempDir dir;
  ASSERT_TRUE(sox("-n -r 22050 -c 2 -e floating-point -b 32 " + dir.file("plain.wav") + " " + kNoiseAndSweep));
  const auto plain = openFileStream(dir.file("plain.wav"));
  ASSERT_TRUE(plain);
  ASSERT_EQ(plain->formatFields().wFormatTag, kWaveFormatIeeeFloat);

  Bytes data(std::size_t{plain->info().dwLength} * 8);
  ASSERT_EQ(plain->read(0, static_cast<std::int32_t>(plain->info().dwLength), data.data(),
                        static_cast<std::int32_t>(data.size()), nullptr, nullptr),
            kMediaOk);
  writeFile(dir.file("extensible.wav"),
            riffWave({{"fmt ", extensibleFormat(kWaveFormatIeeeFloat, 2, 22050, 32, 32)}, {"data", data}}));

  const DecodeRun fromPlain = decodeFile(dir.file("plain.wav"));
  const DecodeRun fromExtensible = decodeFile(dir.file("extensible.wav"));
  ASSERT_EQ(fromExtensible.openResult, kMediaOk);
  ASSERT_EQ(fromExtensible.lastResult, kMediaOk);
  EXPECT_EQ(fromExtensible.samples, fromPlain.samples);
}

// ---- Float rounding -----------------------------------------------------------------------------

struct FloatCase {
  double value;
  std::int16_t expected;
};

std::ostream& operator<<(std::ostream& out, const FloatCase& row) { return out << row.value; }

class FloatRoundingTest : public ::testing::TestWithParam<FloatCase> {};

Bytes decodeOneFloat(double value, int bits) {
  Bytes data(bits / 8);
  if (bits == 32) {
    const float f = static_cast<float>(value);
    std::memcpy(data.data(), &f, 4);
  } else {
    std::memcpy(data.data(), &value, 8);
  }
  std::unique_ptr<WaveDecoder> decoder;
  const Bytes format = formatRecord(kWaveFormatIeeeFloat, 1, 8000, 8000u * (bits / 8), bits / 8, bits);
  EXPECT_EQ(WaveDecoder::open(format, pcm16Destination(1, 8000), decoder), kMediaOk);
  Bytes pcm(2);
  WaveConvertHeader header = convertHeader(data.data(), data.size(), pcm.data(), 2);
  EXPECT_EQ(decoder->prepareHeader(header), kMediaOk);
  EXPECT_EQ(decoder->convert(header, kWaveConvertBlockAlign), kMediaOk);
  EXPECT_EQ(header.cbDstLengthUsed, 2u);
  return pcm;
}

TEST_P(FloatRoundingTest, ScalesBy32768RoundsHalvesToEvenAndClips) {
  for (const int bits : {32, 64}) {
    SCOPED_TRACE(bits);
    EXPECT_EQ(samplesOf(decodeOneFloat(GetParam().value, bits), 2)[0], GetParam().expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Values, FloatRoundingTest,
                         ::testing::Values(FloatCase{0.0, 0}, FloatCase{0.5 / 32768, 0}, FloatCase{1.5 / 32768, 2},
                                           FloatCase{2.5 / 32768, 2}, FloatCase{-0.5 / 32768, 0},
                                           FloatCase{-1.5 / 32768, -2}, FloatCase{0.75 / 32768, 1},
                                           FloatCase{0.5, 16384}, FloatCase{1.0, 32767}, FloatCase{-1.0, -32768},
                                           FloatCase{7.5, 32767}, FloatCase{-1e30, -32768},
                                           FloatCase{std::numeric_limits<double>::infinity(), 32767},
                                           FloatCase{-std::numeric_limits<double>::infinity(), -32768},
                                           FloatCase{std::numeric_limits<double>::quiet_NaN(), 0}));

// ---- Whole blocks, the size bound, the header's life ---------------------------------------------

// One decoder per coded format, over a stream made here, with its block size and frames per block.
struct CodecCase {
  const char* name;
  Bytes format;
  std::uint32_t blockBytes;
  std::uint32_t framesPerBlock;
};

std::ostream& operator<<(std::ostream& out, const CodecCase& row) { return out << row.name; }

std::vector<CodecCase> codecCases() {
  return {
      {"ImaStereo", formatRecord(kWaveFormatImaAdpcm, 2, 44100, 44359, 2048, 4, {0xF9, 0x07}), 2048, 2041},
      {"ImaMono", formatRecord(kWaveFormatImaAdpcm, 1, 8000, 4055, 256, 4, {0xF9, 0x01}), 256, 505},
      {"MsStereo", formatRecord(kWaveFormatMsAdpcm, 2, 44100, 44359, 2048, 4, msAdpcmExtra(2036)), 2048, 2036},
      {"MsMono", formatRecord(kWaveFormatMsAdpcm, 1, 8000, 4096, 256, 4, msAdpcmExtra(500)), 256, 500},
      {"ALaw", formatRecord(kWaveFormatALaw, 2, 8000, 16000, 2, 8), 2, 1},
      {"MuLaw", formatRecord(kWaveFormatMuLaw, 2, 8000, 16000, 2, 8), 2, 1},
      {"Float32", formatRecord(kWaveFormatIeeeFloat, 2, 8000, 64000, 8, 32), 8, 1},
      {"Float64", formatRecord(kWaveFormatIeeeFloat, 1, 8000, 64000, 8, 64), 8, 1},
      {"ExtensibleFloat", extensibleFormat(kWaveFormatIeeeFloat, 2, 8000, 32, 32), 8, 1},
  };
}

class CodecTest : public ::testing::TestWithParam<CodecCase> {
 protected:
  void SetUp() override {
    WaveFormatFields fields;
    ASSERT_TRUE(decodeWaveFormat(GetParam().format, fields));
    channels_ = fields.nChannels;
    ASSERT_EQ(WaveDecoder::open(GetParam().format, pcm16Destination(channels_, fields.nSamplesPerSec), decoder_),
              kMediaOk);
  }
  // Blocks whose headers are valid for every codec: zero bytes are silence everywhere, except that
  // a zero MS ADPCM delta is raised to its minimum, which is fine too.
  Bytes blocks(double count) const {
    return Bytes(static_cast<std::size_t>(count * GetParam().blockBytes), 0);
  }
  std::uint32_t decodedBlockBytes() const { return GetParam().framesPerBlock * channels_ * 2; }

  std::unique_ptr<WaveDecoder> decoder_;
  std::uint16_t channels_ = 0;
};

TEST_P(CodecTest, ReportsItsBlockGeometry) {
  EXPECT_EQ(decoder_->sourceBlockBytes(), GetParam().blockBytes);
  EXPECT_EQ(decoder_->framesPerBlock(), GetParam().framesPerBlock);
}

TEST_P(CodecTest, ConvertsWholeBlocksOnlyWithinTheSizeBound) {
  const Bytes source = blocks(3.5);
  std::uint32_t bound = 0;
  ASSERT_EQ(decoder_->size(source.size(), bound), kMediaOk);
  Bytes pcm(bound + 16, 0xAB);
  WaveConvertHeader header = convertHeader(source.data(), source.size(), pcm.data(), bound);
  ASSERT_EQ(decoder_->prepareHeader(header), kMediaOk);
  ASSERT_EQ(decoder_->convert(header, kWaveConvertStart | kWaveConvertBlockAlign), kMediaOk);
  EXPECT_EQ(header.cbSrcLengthUsed, (source.size() / GetParam().blockBytes) * GetParam().blockBytes);
  EXPECT_EQ(header.cbDstLengthUsed, (source.size() / GetParam().blockBytes) * decodedBlockBytes());
  EXPECT_LE(header.cbDstLengthUsed, bound);
  EXPECT_EQ(pcm[bound], 0xAB) << "wrote past the destination";
  EXPECT_EQ(decoder_->unprepareHeader(header), kMediaOk);
}

TEST_P(CodecTest, SourceSmallerThanOneBlockCannotBePrepared) {
  const Bytes source = blocks(1.0);
  Bytes pcm(decodedBlockBytes());
  WaveConvertHeader header = convertHeader(source.data(), GetParam().blockBytes - 1, pcm.data(), decodedBlockBytes());
  EXPECT_EQ(decoder_->prepareHeader(header), kMediaSourceTooSmall);
  EXPECT_FALSE(header.prepared);
}

TEST_P(CodecTest, DestinationThatCannotHoldOneBlockIsRefused) {
  const Bytes source = blocks(2.0);
  Bytes pcm(decodedBlockBytes() - 1);
  WaveConvertHeader header = convertHeader(source.data(), source.size(), pcm.data(), pcm.size());
  ASSERT_EQ(decoder_->prepareHeader(header), kMediaOk);
  EXPECT_EQ(decoder_->convert(header, kWaveConvertBlockAlign), kMediaDestinationTooSmall);
  EXPECT_EQ(header.cbDstLengthUsed, 0u);
}

TEST_P(CodecTest, HeaderMustBePreparedOverTheBuffersItConverts) {
  const Bytes source = blocks(2.0);
  Bytes pcm(2 * decodedBlockBytes());
  WaveConvertHeader header = convertHeader(source.data(), source.size(), pcm.data(), pcm.size());
  EXPECT_EQ(decoder_->convert(header, kWaveConvertBlockAlign), kMediaHeaderState);
  EXPECT_EQ(decoder_->unprepareHeader(header), kMediaHeaderState);
  ASSERT_EQ(decoder_->prepareHeader(header), kMediaOk);
  EXPECT_EQ(decoder_->prepareHeader(header), kMediaHeaderState);
  EXPECT_EQ(decoder_->convert(header, 0x01), kMediaInvalidParameter);
  header.cbSrcLength += 1;
  EXPECT_EQ(decoder_->convert(header, kWaveConvertBlockAlign), kMediaHeaderState);
  header.cbSrcLength -= 1;
  EXPECT_EQ(decoder_->convert(header, kWaveConvertBlockAlign), kMediaOk);
  EXPECT_EQ(decoder_->unprepareHeader(header), kMediaOk);
}

INSTANTIATE_TEST_SUITE_P(Formats, CodecTest, ::testing::ValuesIn(codecCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WaveDecoderTest, SizeBoundThatDoesNotFit32BitsIsAnError) {
  std::unique_ptr<WaveDecoder> decoder;
  ASSERT_EQ(WaveDecoder::open(formatRecord(kWaveFormatMuLaw, 1, 8000, 8000, 1, 8), pcm16Destination(1, 8000), decoder),
            kMediaOk);
  std::uint32_t bound = 1;
  EXPECT_EQ(decoder->size(0x90000000u, bound), kMediaInvalidParameter);
  EXPECT_EQ(bound, 0u);
}

// ---- Which decoders open ------------------------------------------------------------------------

struct OpenCase {
  const char* name;
  Bytes source;
  Bytes destination;
  MediaResult expected;
};

std::ostream& operator<<(std::ostream& out, const OpenCase& row) { return out << row.name; }

class DecoderOpenTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(DecoderOpenTest, OpensOnlyFromACodedFormatToMatching16BitPcm) {
  std::unique_ptr<WaveDecoder> decoder;
  EXPECT_EQ(WaveDecoder::open(GetParam().source, GetParam().destination, decoder), GetParam().expected);
  EXPECT_EQ(decoder != nullptr, GetParam().expected == kMediaOk);
}

const Bytes kImaMono = formatRecord(kWaveFormatImaAdpcm, 1, 8000, 4055, 256, 4, {0xF9, 0x01});

INSTANTIATE_TEST_SUITE_P(
    Formats, DecoderOpenTest,
    ::testing::Values(
        OpenCase{"ImaToPcm16", kImaMono, pcm16Destination(1, 8000), kMediaOk},
        OpenCase{"ToPlainPcm16", kImaMono, pcmFormat(1, 8000, 16), kMediaOk},
        OpenCase{"To24Bit", kImaMono, extensibleFormat(kWaveFormatPcm, 1, 8000, 24, 24), kMediaFormatNotSupported},
        OpenCase{"ToOtherChannels", kImaMono, pcm16Destination(2, 8000), kMediaFormatNotSupported},
        OpenCase{"ToOtherRate", kImaMono, pcm16Destination(1, 44100), kMediaFormatNotSupported},
        OpenCase{"ToFloat", kImaMono, extensibleFormat(kWaveFormatIeeeFloat, 1, 8000, 32, 32), kMediaFormatNotSupported},
        OpenCase{"FromPcm", pcmFormat(1, 8000, 16), pcm16Destination(1, 8000), kMediaFormatNotSupported},
        OpenCase{"FromMp3Tag", formatRecord(0x55, 1, 8000, 2000, 1, 0), pcm16Destination(1, 8000),
                 kMediaFormatNotSupported},
        OpenCase{"FromGarbage", Bytes{1, 2, 3}, pcm16Destination(1, 8000), kMediaFormatNotSupported}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sib::test
