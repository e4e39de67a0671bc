#include "tools/noise_loudness.h"

#include <cmath>
#include <numbers>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/tools/k_weighting_reference.h"
#include "tools/noise_synth.h"

namespace sib {
namespace {

constexpr std::uint32_t kRate = 44100;

// A stretch of a stereo signal: a sine of the given peak level in each channel, or silence where
// the level is -infinity.
struct Stretch {
  double seconds;
  double leftDbfs;
  double rightDbfs;
  double hz = 1000.0;
};

std::vector<double> stereo(const std::vector<Stretch>& stretches) {
  std::vector<double> samples;
  std::size_t n = 0;
  for (const Stretch& s : stretches) {
    const double left = std::pow(10.0, s.leftDbfs / 20.0), right = std::pow(10.0, s.rightDbfs / 20.0);
    const auto frames = static_cast<std::size_t>(std::lround(s.seconds * kRate));
    for (std::size_t i = 0; i < frames; ++i, ++n) {
      const double phase = std::sin(2.0 * std::numbers::pi * s.hz * static_cast<double>(n) / kRate);
      samples.push_back(left * phase);
      samples.push_back(right * phase);
    }
  }
  return samples;
}

constexpr double kSilent = -INFINITY;

struct LoudnessCase {
  const char* name;
  std::vector<Stretch> signal;
  double lufs;
  double tolerance;
};

void PrintTo(const LoudnessCase& c, std::ostream* out) { *out << c.name; }

class LoudnessCaseTest : public ::testing::TestWithParam<LoudnessCase> {};

// Full scale is a sample of 1.0 and levels are peak levels: a 1 kHz sine of peak 1.0 in one
// channel reads -3.01 LUFS, so one at -20 dBFS reads -23.0.
TEST_P(LoudnessCaseTest, MeasuresTheExpectedIntegratedLoudness) {
  const LoudnessCase& c = GetParam();
  const std::vector<double> samples = stereo(c.signal);
  EXPECT_NEAR(integratedLoudness(std::span<const double>(samples), 2, kRate), c.lufs, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, LoudnessCaseTest,
    ::testing::Values(
        LoudnessCase{"SineAtMinus20InTheLeftChannel", {{10.0, -20.0, kSilent}}, -23.0, 0.05},
        LoudnessCase{"SineAtMinus20InTheRightChannel", {{10.0, kSilent, -20.0}}, -23.0, 0.05},
        LoudnessCase{"SineAtFullScaleInOneChannel", {{10.0, 0.0, kSilent}}, -3.01, 0.05},
        // The two channels' powers add.
        LoudnessCase{"SineAtMinus20InBothChannels", {{10.0, -20.0, -20.0}}, -20.0, 0.05},
        LoudnessCase{"SineAtMinus40InBothChannels", {{10.0, -40.0, -40.0}}, -40.0, 0.05},
        // The weighting: +4 dB of shelf above a few kilohertz, a high-pass under 60 Hz.
        LoudnessCase{"SineAt10kHzIsRaisedByTheShelf", {{10.0, -20.0, kSilent, 10000.0}}, -19.66, 0.05},
        LoudnessCase{"SineAt20HzIsCutByTheHighPass", {{10.0, -20.0, kSilent, 20.0}}, -36.98, 0.05},
        // Silence under the absolute gate does not dilute the sound.
        LoudnessCase{"SilenceAfterTheSoundIsGatedOut", {{10.0, -20.0, kSilent}, {10.0, kSilent, kSilent}}, -23.0, 0.1},
        // Quiet passages more than 10 LU under the rest are gated out; the blocks that straddle the
        // step count, pulling the figure a little under the loud part.
        LoudnessCase{"QuietPassageIsGatedOut", {{10.0, -20.0, kSilent}, {10.0, -40.0, kSilent}}, -23.06, 0.05},
        LoudnessCase{"PassageWithin10LuCounts", {{10.0, -20.0, kSilent}, {10.0, -26.0, kSilent}}, -25.04, 0.05},
        // Where the relative gate falls under the absolute one, the absolute one still holds.
        LoudnessCase{"AbsoluteGateHoldsUnderTheRelativeOne",
                     {{10.0, -62.0, kSilent}, {10.0, -68.0, kSilent}}, -65.05, 0.05}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NoiseLoudnessTest, NothingLeftAfterGatingIsMinusInfinity) {
  const std::vector<std::vector<double>> cases = {
      {},
      stereo({{10.0, kSilent, kSilent}}),
      stereo({{10.0, -80.0, -80.0}}),  // under the absolute gate
      stereo({{0.39, -20.0, -20.0}}),  // shorter than one block
  };
  for (std::size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(integratedLoudness(std::span<const double>(cases[i]), 2, kRate), -INFINITY) << "case " << i;
}

TEST(NoiseLoudnessTest, SamplesThatAreNotWholeFramesAreRejected) {
  const std::vector<double> three(3, 0.1);
  EXPECT_THROW(integratedLoudness(std::span<const double>(three), 2, kRate), std::invalid_argument);
  EXPECT_THROW(integratedLoudness(std::span<const double>(three), 0, kRate), std::invalid_argument);
}

TEST(NoiseLoudnessTest, SixteenBitSamplesHaveTheirFullScaleAt32768) {
  std::vector<std::int16_t> samples;
  for (double s : stereo({{10.0, -20.0, kSilent}})) samples.push_back(static_cast<std::int16_t>(std::lrint(s * 32768.0)));
  const double asDouble = integratedLoudness(std::span<const double>(stereo({{10.0, -20.0, kSilent}})), 2, kRate);
  EXPECT_NEAR(integratedLoudness(std::span<const std::int16_t>(samples), 2, kRate), asDouble, 0.001);
}

// Undoing the transform at 48 kHz and doing it again gives back the published coefficients, so the
// analogue sections are the ones they were made from.
TEST(NoiseLoudnessTest, WeightingAt48kHzIsThePublishedOne) {
  const KWeighting at48k = kWeighting(test::kPublishedRate);
  const std::pair<Biquad, Biquad> pairs[] = {{at48k.shelf, test::kPublishedShelf},
                                             {at48k.highPass, test::kPublishedHighPass}};
  for (const auto& [derived, published] : pairs) {
    EXPECT_NEAR(derived.b0, published.b0, 1e-12);
    EXPECT_NEAR(derived.b1, published.b1, 1e-12);
    EXPECT_NEAR(derived.b2, published.b2, 1e-12);
    EXPECT_NEAR(derived.a1, published.a1, 1e-12);
    EXPECT_NEAR(derived.a2, published.a2, 1e-12);
  }
  // A shelf of +4 dB about 1.7 kHz and a second-order high-pass at 38 Hz.
  EXPECT_NEAR(kWeightingShelf().cornerHz, 1682.0, 0.5);
  EXPECT_NEAR(20.0 * std::log10(kWeightingShelf().highGain), 4.0, 0.001);
  EXPECT_NEAR(kWeightingShelf().lowGain, 1.0, 1e-12);
  EXPECT_NEAR(kWeightingHighPass().cornerHz, 38.1, 0.05);
  EXPECT_NEAR(kWeightingHighPass().q, 0.5, 0.001);
}

// At 44.1 kHz the weighting has the published response wherever there is sound to weigh.
TEST(NoiseLoudnessTest, WeightingAt44100HzFollowsThePublishedResponse) {
  const KWeighting at44k = kWeighting(kRate);
  for (double hz = 10.0; hz < 20000.0; hz *= 1.05) {
    const double ours = test::magnitude(at44k.shelf, hz, kRate) * test::magnitude(at44k.highPass, hz, kRate);
    EXPECT_NEAR(20.0 * std::log10(ours), 10.0 * std::log10(test::publishedPowerGain(hz)), 0.02) << hz << " Hz";
  }
}

// The generator levels each recording to one loudness and refuses a level at which it would clip.
TEST(NoiseLoudnessTest, LevellingReachesTheLoudnessOrRefusesToPassThePeakLimit) {
  const std::vector<double> tone = stereo({{10.0, -30.0, kSilent}});
  const double minusOneDbfs = 32767.0 * std::pow(10.0, -1.0 / 20.0);
  const std::vector<std::int16_t> levelled = quantiseAtLoudness(tone, -23.0, minusOneDbfs, "Tone.wav");
  EXPECT_NEAR(integratedLoudness(std::span<const std::int16_t>(levelled), 2, kRate), -23.0, 0.01);
  // A one-channel sine reads -3.01 LUFS with its peaks at full scale: -3.5 needs more than -1 dBFS.
  try {
    quantiseAtLoudness(tone, -3.5, minusOneDbfs, "Tone.wav");
    ADD_FAILURE() << "levelled past the peak limit";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("Tone.wav"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace sib
