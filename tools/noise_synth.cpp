#include "tools/noise_synth.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <stdexcept>

#include "tools/fft.h"
#include "tools/noise_loudness.h"

namespace sib {
namespace {

using Complex = std::complex<double>;

// A uniform phase from the generator's raw bits, so that the same seed gives the same file with
// any standard library.
double randomPhase(std::mt19937_64& generator) {
  const double unit = static_cast<double>(generator() >> 11) * 0x1.0p-53;
  return 2.0 * std::numbers::pi * unit;
}

double fade(double frequency) {
  if (frequency <= kNoiseFadeStartHz) return 0.0;
  if (frequency >= kNoiseLineStartHz) return 1.0;
  const double position = (frequency - kNoiseFadeStartHz) / (kNoiseLineStartHz - kNoiseFadeStartHz);
  return 0.5 - 0.5 * std::cos(std::numbers::pi * position);
}

void scaleToUnitRms(std::vector<double>& samples) {
  double energy = 0.0;
  for (double s : samples) energy += s * s;
  const double rms = std::sqrt(energy / static_cast<double>(samples.size()));
  if (rms > 0.0)
    for (double& s : samples) s /= rms;
}

void appendLe(std::vector<char>& bytes, std::uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

const std::vector<NoiseSpec>& noiseSpecs() {
  static const std::vector<NoiseSpec> specs = {
      {NoiseColour::Brown, "Brown.wav", -1.0, 0x5EB1'0000'B704'0001},
      {NoiseColour::Pink, "Pink.wav", -0.5, 0x5EB1'0000'B704'0002},
      {NoiseColour::White, "White.wav", 0.0, 0x5EB1'0000'B704'0003},
  };
  return specs;
}

double slopeDbPerOctave(const NoiseSpec& spec) { return spec.amplitudeExponent * 20.0 * std::log10(2.0); }

// Each channel's spectrum is Hermitian, so its transform is real; packing the right channel as
// the imaginary part gives both channels from one transform.
std::vector<double> synthesiseNoise(const NoiseSpec& spec, std::size_t frames, std::uint32_t sampleRate) {
  std::vector<Complex> spectrum(frames);
  std::mt19937_64 generator(spec.seed);
  const std::size_t lastBin = (frames - 1) / 2;  // below the Nyquist bin, which stays empty
  for (std::size_t k = 1; k <= lastBin; ++k) {
    const double frequency = static_cast<double>(k) * sampleRate / static_cast<double>(frames);
    const double magnitude = std::pow(frequency, spec.amplitudeExponent) * fade(frequency);
    const Complex left = std::polar(magnitude, randomPhase(generator));
    const Complex right = std::polar(magnitude, randomPhase(generator));
    const Complex i(0.0, 1.0);
    spectrum[k] = left + i * right;
    spectrum[frames - k] = std::conj(left) + i * std::conj(right);
  }
  Fft(frames).inverse(spectrum);

  std::vector<double> interleaved(2 * frames);
  for (std::size_t n = 0; n < frames; ++n) {
    interleaved[2 * n] = spectrum[n].real();
    interleaved[2 * n + 1] = spectrum[n].imag();
  }
  scaleToUnitRms(interleaved);
  return interleaved;
}

std::vector<std::int16_t> quantiseAtLoudness(const std::vector<double>& interleaved, double lufs, double peakLimit,
                                             const std::string& name) {
  const double loudness = integratedLoudness(std::span<const double>(interleaved), 2, kNoiseSampleRate);
  const double scale = 32768.0 * std::pow(10.0, (lufs - loudness) / 20.0);
  double peak = 0.0;
  for (double s : interleaved) peak = std::max(peak, std::abs(s) * scale);
  // Rounding is symmetric and monotonic, so the largest rounded sample is the rounded peak.
  if (!(std::nearbyint(peak) <= peakLimit)) {
    char message[160];
    std::snprintf(message, sizeof message, "%s would peak at %.2f dBFS at %.1f LUFS", name.c_str(),
                  20.0 * std::log10(std::nearbyint(peak) / 32767.0), lufs);
    throw std::runtime_error(message);
  }
  std::vector<std::int16_t> quantised(interleaved.size());
  for (std::size_t n = 0; n < interleaved.size(); ++n)
    quantised[n] = static_cast<std::int16_t>(std::lrint(interleaved[n] * scale));
  return quantised;
}

void writeWave16(const std::string& path, const std::vector<std::int16_t>& interleaved, std::uint16_t channels,
                 std::uint32_t sampleRate) {
  const std::uint32_t dataBytes = static_cast<std::uint32_t>(interleaved.size() * 2);
  const std::uint32_t blockAlign = 2u * channels;
  std::vector<char> bytes;
  bytes.reserve(44 + dataBytes);
  bytes.insert(bytes.end(), {'R', 'I', 'F', 'F'});
  appendLe(bytes, 36 + dataBytes, 4);
  bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  appendLe(bytes, 16, 4);
  appendLe(bytes, 1, 2);  // integer PCM
  appendLe(bytes, channels, 2);
  appendLe(bytes, sampleRate, 4);
  appendLe(bytes, sampleRate * blockAlign, 4);
  appendLe(bytes, blockAlign, 2);
  appendLe(bytes, 16, 2);
  bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
  appendLe(bytes, dataBytes, 4);
  for (std::int16_t s : interleaved) appendLe(bytes, static_cast<std::uint16_t>(s), 2);

  // Written aside and renamed, so that a build stopped halfway leaves no truncated recording.
  const std::string partial = path + ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + partial);
  }
  std::error_code error;
  std::filesystem::rename(partial, path, error);
  if (error) throw std::runtime_error("cannot rename " + partial + " to " + path + ": " + error.message());
}

}  // namespace sib
