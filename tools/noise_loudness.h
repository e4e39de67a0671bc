// Integrated loudness of a recording, in LUFS, so that the noise generator can level the three
// colours by how loud they sound rather than by their RMS. The measurement weights each channel
// with the K curve (a high shelf for the head, then a high-pass), sums the mean squares of the two
// channels and gates them in blocks of 400 ms. Full scale is a sample value of 1.0: a 1 kHz sine
// whose peaks reach it, in one channel, measures -3.01 LUFS.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace sib {

// A second-order section y = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2) x.
struct Biquad {
  double b0, b1, b2, a1, a2;
};

// One stage of the weighting as an analogue filter in s normalised to its corner frequency:
// (highGain s^2 + bandGain s / q + lowGain) / (s^2 + s / q + 1). The bilinear transform, warped to
// hit the corner exactly, turns it into a Biquad at any sample rate.
struct AnalogSection {
  double cornerHz;
  double q;
  double highGain;
  double bandGain;
  double lowGain;
};

struct KWeighting {
  Biquad shelf;
  Biquad highPass;
};

// The two analogue stages, recovered from the coefficients that define the weighting at 48 kHz.
AnalogSection kWeightingShelf();
AnalogSection kWeightingHighPass();

Biquad bilinear(const AnalogSection& section, double sampleRate);
KWeighting kWeighting(double sampleRate);

// Gated integrated loudness of interleaved frames in LUFS, every channel weighted 1 (stereo left
// and right). Blocks of 400 ms start every 100 ms; blocks under -70 LUFS are left out, then those
// more than 10 LU under the loudness of the rest. Returns -infinity when no block is left: silence,
// or less than 400 ms of sound. Throws std::invalid_argument when `channels` is 0 or the samples
// are not whole frames.
double integratedLoudness(std::span<const double> interleaved, std::size_t channels, std::uint32_t sampleRate);
// 16-bit samples, full scale 32768.
double integratedLoudness(std::span<const std::int16_t> interleaved, std::size_t channels, std::uint32_t sampleRate);

}  // namespace sib
