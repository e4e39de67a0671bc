// sibilon-noise FOLDER: writes the three noise recordings (Brown.wav, Pink.wav, White.wav) into
// FOLDER. The build runs it to fill its data folder, from which the program starts.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <vector>

#include "tools/noise_synth.h"

namespace {

// Peaks at most at -1 dBFS.
constexpr double kPeakLimit = 32767.0 * 0.891250938;  // 10^(-1/20)
// All three sound equally loud. Brown noise has the least loudness for its peaks (its energy lies
// where hearing is least sensitive), so it sets the level: at -19 LUFS it peaks near -2 dBFS,
// leaving a decibel to spare, and pink and white peak far lower.
constexpr double kLoudnessLufs = -19.0;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  try {
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    for (const sib::NoiseSpec& spec : sib::noiseSpecs()) {
      const std::vector<double> signal = sib::synthesiseNoise(spec, sib::kNoiseFrames, sib::kNoiseSampleRate);
      const std::vector<std::int16_t> recording =
          sib::quantiseAtLoudness(signal, kLoudnessLufs, kPeakLimit, spec.fileName);
      sib::writeWave16((folder / spec.fileName).string(), recording, 2, sib::kNoiseSampleRate);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "sibilon-noise: %s\n", error.what());
    return 1;
  }
  return 0;
}
