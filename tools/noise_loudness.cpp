#include "tools/noise_loudness.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

namespace sib {
namespace {

// The weighting as published, for 48 kHz; other rates are derived from the analogue sections
// these coefficients come from.
constexpr double kDefiningRate = 48000.0;
constexpr Biquad kShelfAt48k{1.53512485958697, -2.69169618940638, 1.19839281085285, -1.69065929318241,
                             0.73248077421585};
constexpr Biquad kHighPassAt48k{1.0, -2.0, 1.0, -1.99004745483398, 0.99007225036621};

// Makes a 1 kHz tone read its own mean square: it cancels the weighting's gain there.
constexpr double kLoudnessOffset = -0.691;
constexpr double kAbsoluteGateLufs = -70.0;
constexpr double kRelativeGateLu = -10.0;
constexpr std::size_t kStepsPerBlock = 4;  // 400 ms blocks overlapping by three quarters

// Undoes the warped bilinear transform: the denominator gives the corner and q, the gains follow
// from the response at DC, at Nyquist and from the odd part of the numerator.
AnalogSection analogueOf(const Biquad& d, double sampleRate) {
  const double atNyquist = 1.0 - d.a1 + d.a2;  // 4 / a0 of the transform
  const double k = std::sqrt((1.0 + d.a1 + d.a2) / atNyquist);
  const double kOverQ = 2.0 * (1.0 - d.a2) / atNyquist;
  return {.cornerHz = sampleRate / std::numbers::pi * std::atan(k),
          .q = k / kOverQ,
          .highGain = (d.b0 - d.b1 + d.b2) / atNyquist,
          .bandGain = (d.b0 - d.b2) / (1.0 - d.a2),
          .lowGain = (d.b0 + d.b1 + d.b2) / (1.0 + d.a1 + d.a2)};
}

double loudnessOf(double meanSquare) { return kLoudnessOffset + 10.0 * std::log10(meanSquare); }

class Weighter {
 public:
  explicit Weighter(const KWeighting& weighting) : shelf_(weighting.shelf), highPass_(weighting.highPass) {}

  double operator()(double x) { return highPass_(shelf_(x)); }

 private:
  // Transposed direct form II: two state values, well behaved in double precision for the
  // high-pass's poles so close to 1.
  struct Stage {
    explicit Stage(const Biquad& c) : c(c) {}
    double operator()(double x) {
      const double y = c.b0 * x + s1;
      s1 = c.b1 * x - c.a1 * y + s2;
      s2 = c.b2 * x - c.a2 * y;
      return y;
    }
    Biquad c;
    double s1 = 0.0, s2 = 0.0;
  };
  Stage shelf_, highPass_;
};

// The weighted energy, summed over the channels, of every 100 ms step; a partial step at the end
// belongs to no block and is left out.
std::vector<double> stepEnergies(std::span<const double> interleaved, std::size_t channels, std::uint32_t sampleRate,
                                 std::size_t stepFrames) {
  const std::size_t frames = interleaved.size() / channels;
  std::vector<double> energies(frames / stepFrames);
  std::vector<Weighter> weighters(channels, Weighter(kWeighting(sampleRate)));
  for (std::size_t step = 0; step < energies.size(); ++step) {
    double energy = 0.0;
    for (std::size_t n = step * stepFrames; n < (step + 1) * stepFrames; ++n)
      for (std::size_t c = 0; c < channels; ++c) {
        const double y = weighters[c](interleaved[n * channels + c]);
        energy += y * y;
      }
    energies[step] = energy;
  }
  return energies;
}

// The mean of the blocks' mean squares over those louder than `gateLufs`, or 0 when none is.
double gatedMeanSquare(const std::vector<double>& blocks, double gateLufs) {
  double sum = 0.0;
  std::size_t count = 0;
  for (double meanSquare : blocks)
    if (loudnessOf(meanSquare) > gateLufs) {
      sum += meanSquare;
      ++count;
    }
  return count > 0 ? sum / static_cast<double>(count) : 0.0;
}

}  // namespace

AnalogSection kWeightingShelf() { return analogueOf(kShelfAt48k, kDefiningRate); }
AnalogSection kWeightingHighPass() { return analogueOf(kHighPassAt48k, kDefiningRate); }

Biquad bilinear(const AnalogSection& s, double sampleRate) {
  const double k = std::tan(std::numbers::pi * s.cornerHz / sampleRate);
  const double kOverQ = k / s.q;
  const double a0 = 1.0 + kOverQ + k * k;
  return {.b0 = (s.highGain + s.bandGain * kOverQ + s.lowGain * k * k) / a0,
          .b1 = 2.0 * (s.lowGain * k * k - s.highGain) / a0,
          .b2 = (s.highGain - s.bandGain * kOverQ + s.lowGain * k * k) / a0,
          .a1 = 2.0 * (k * k - 1.0) / a0,
          .a2 = (1.0 - kOverQ + k * k) / a0};
}

KWeighting kWeighting(double sampleRate) {
  return {bilinear(kWeightingShelf(), sampleRate), bilinear(kWeightingHighPass(), sampleRate)};
}

double integratedLoudness(std::span<const double> interleaved, std::size_t channels, std::uint32_t sampleRate) {
  if (channels == 0 || interleaved.size() % channels != 0)
    throw std::invalid_argument("loudness: the samples are not whole frames of " + std::to_string(channels) +
                                " channels");
  const std::size_t stepFrames = (sampleRate + 5) / 10;
  const std::vector<double> steps = stepEnergies(interleaved, channels, sampleRate, stepFrames);
  std::vector<double> blocks;
  const double blockFrames = static_cast<double>(kStepsPerBlock * stepFrames);
  for (std::size_t first = 0; first + kStepsPerBlock <= steps.size(); ++first) {
    double energy = 0.0;
    for (std::size_t s = first; s < first + kStepsPerBlock; ++s) energy += steps[s];
    blocks.push_back(energy / blockFrames);
  }
  const double aboveAbsolute = gatedMeanSquare(blocks, kAbsoluteGateLufs);
  if (aboveAbsolute == 0.0) return -std::numeric_limits<double>::infinity();
  // Near the absolute gate the relative one would fall under it; a block must pass both.
  const double relativeGate = loudnessOf(aboveAbsolute) + kRelativeGateLu;
  return loudnessOf(gatedMeanSquare(blocks, std::max(kAbsoluteGateLufs, relativeGate)));
}

double integratedLoudness(std::span<const std::int16_t> interleaved, std::size_t channels, std::uint32_t sampleRate) {
  std::vector<double> scaled(interleaved.size());
  for (std::size_t n = 0; n < scaled.size(); ++n) scaled[n] = interleaved[n] / 32768.0;
  return integratedLoudness(std::span<const double>(scaled), channels, sampleRate);
}

}  // namespace sib
