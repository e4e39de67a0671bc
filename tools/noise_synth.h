// Synthesis of the three noise recordings in the frequency domain: every bin gets the magnitude of
// its colour's spectral line and a random phase, and one inverse transform over the whole length
// makes the signal, which is therefore exactly periodic and loops without a seam. Each recording
// is then levelled by its loudness, so that switching colours does not change how loud it sounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sib {

enum class NoiseColour { Brown, Pink, White };

struct NoiseSpec {
  NoiseColour colour;
  const char* fileName;
  // The magnitude of a bin goes as f^amplitudeExponent: -1, -0.5 and 0 give power spectral
  // densities falling by 6.02, 3.01 and 0 dB per octave.
  double amplitudeExponent;
  std::uint64_t seed;
};

// The slope of the power spectral density, in dB per octave.
double slopeDbPerOctave(const NoiseSpec& spec);

// The three recordings, their file names, slopes and fixed seeds.
const std::vector<NoiseSpec>& noiseSpecs();

inline constexpr std::uint32_t kNoiseSampleRate = 44100;
inline constexpr std::size_t kNoiseFrames = 60 * kNoiseSampleRate;  // 2^4 * 3^3 * 5^3 * 7^2
// Between these the spectrum follows the line; below, it fades to nothing (no DC, no subsonic
// rumble); above, it goes on to the Nyquist frequency.
inline constexpr double kNoiseFadeStartHz = 10.0;
inline constexpr double kNoiseLineStartHz = 20.0;

// Two independent channels of `frames` frames, interleaved, with unit RMS.
std::vector<double> synthesiseNoise(const NoiseSpec& spec, std::size_t frames, std::uint32_t sampleRate);

// Scales a stereo recording to `lufs` of integrated loudness (16-bit full scale being 32768) and
// rounds it to 16 bits. Throws std::runtime_error naming `name` when a rounded sample would pass
// `peakLimit` (in sample units).
std::vector<std::int16_t> quantiseAtLoudness(const std::vector<double>& interleaved, double lufs, double peakLimit,
                                             const std::string& name);

// Writes a 16-bit PCM RIFF WAVE file. Throws std::runtime_error naming the file on failure.
void writeWave16(const std::string& path, const std::vector<std::int16_t>& interleaved, std::uint16_t channels,
                 std::uint32_t sampleRate);

}  // namespace sib
