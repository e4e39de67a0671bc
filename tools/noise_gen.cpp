// sibilon-noise FOLDER: writes the three noise recordings (Brown.wav, Pink.wav, White.wav) into
// FOLDER. The build runs it to fill its data folder, from which the program starts.
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <vector>

#include "tools/noise_synth.h"

namespace {

// -1 dBFS, and a little under it so that rounding cannot reach it.
constexpr double kPeakLimit = 32767.0 * 0.891250938;  // 10^(-1/20)
constexpr double kPeakTarget = kPeakLimit - 2.0;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  try {
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    std::vector<std::vector<double>> signals;
    for (const sib::NoiseSpec& spec : sib::noiseSpecs())
      signals.push_back(sib::synthesiseNoise(spec, sib::kNoiseFrames, sib::kNoiseSampleRate));
    const auto recordings = sib::quantiseTogether(signals, kPeakTarget);
    for (std::size_t i = 0; i < recordings.size(); ++i)
      sib::writeWave16((folder / sib::noiseSpecs()[i].fileName).string(), recordings[i], 2, sib::kNoiseSampleRate);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "sibilon-noise: %s\n", error.what());
    return 1;
  }
  return 0;
}
