// The loudness weighting as published, for 48 kHz, and the response of a second-order section:
// what the tests compare the noise tool's own derivation and measurement against.
#pragma once

#include <cmath>
#include <complex>
#include <numbers>

#include "tools/noise_loudness.h"

namespace sib::test {

inline constexpr double kPublishedRate = 48000.0;
inline constexpr Biquad kPublishedShelf{1.53512485958697, -2.69169618940638, 1.19839281085285, -1.69065929318241,
                                        0.73248077421585};
inline constexpr Biquad kPublishedHighPass{1.0, -2.0, 1.0, -1.99004745483398, 0.99007225036621};

// |H(e^(i w))| at `hz`.
inline double magnitude(const Biquad& c, double hz, double sampleRate) {
  const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * hz / sampleRate);  // z^-1
  return std::abs((c.b0 + c.b1 * z1 + c.b2 * z1 * z1) / (1.0 + c.a1 * z1 + c.a2 * z1 * z1));
}

// The power gain of the published weighting at `hz`.
inline double publishedPowerGain(double hz) {
  const double gain = magnitude(kPublishedShelf, hz, kPublishedRate) * magnitude(kPublishedHighPass, hz, kPublishedRate);
  return gain * gain;
}

}  // namespace sib::test
