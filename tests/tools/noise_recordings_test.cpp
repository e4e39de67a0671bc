// Checks the three recordings that the build wrote into its data folder: their format, the slope
// of their spectra octave by octave, the seam where they loop, their loudness and peaks.
#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <map>
#include <memory>
#include <numbers>
#include <string>

#include <gtest/gtest.h>

#include "platform/media/wave_file.h"
#include "tests/tools/k_weighting_reference.h"
#include "tools/fft.h"
#include "tools/noise_loudness.h"
#include "tools/noise_synth.h"

namespace sib {
namespace {

constexpr std::size_t kFrames = 2646000;  // 60 s
constexpr double kRate = 44100.0;

struct Recording {
  WaveFormatFields format;
  std::uint32_t frames = 0;
  std::vector<std::int16_t> samples;  // interleaved stereo
};

// Each file is read once for all the tests.
const Recording& recording(const std::string& name) {
  static std::map<std::string, Recording> cache;
  auto found = cache.find(name);
  if (found != cache.end()) return found->second;
  Recording& r = cache[name];
  std::unique_ptr<WaveFile> file;
  std::unique_ptr<WaveStream> stream;
  if (WaveFile::open(std::string(SIB_DATA_DIR) + "/" + name, file) != kMediaOk ||
      file->getAudioStream(stream) != kMediaOk)
    return r;
  r.format = stream->formatFields();
  r.frames = stream->info().dwLength;
  r.samples.resize(std::size_t{r.frames} * r.format.nChannels);
  std::int32_t bytes = 0;
  stream->read(0, static_cast<std::int32_t>(r.frames), r.samples.data(),
               static_cast<std::int32_t>(r.samples.size() * 2), &bytes, nullptr);
  r.samples.resize(static_cast<std::size_t>(bytes) / 2);
  return r;
}

double sample(const Recording& r, std::size_t frame, int channel) { return r.samples[2 * frame + channel]; }

class NoiseRecordingTest : public ::testing::TestWithParam<NoiseSpec> {
 protected:
  const Recording& file() const { return recording(GetParam().fileName); }
};

TEST_P(NoiseRecordingTest, IsSixtySecondsOf44100Hz16BitStereo) {
  const Recording& r = file();
  ASSERT_EQ(r.frames, kFrames) << "missing or short: " << SIB_DATA_DIR << "/" << GetParam().fileName;
  EXPECT_EQ(r.format.wFormatTag, kWaveFormatPcm);
  EXPECT_EQ(r.format.nChannels, 2);
  EXPECT_EQ(r.format.nSamplesPerSec, 44100u);
  EXPECT_EQ(r.format.wBitsPerSample, 16);
  EXPECT_EQ(r.samples.size(), 2 * kFrames);
}

// Welch's estimate: Hann-windowed segments of 65 536 frames (0.67 Hz apart), half overlapping,
// their power spectra averaged. Both channels go through one complex transform and are separated
// by the symmetry of real signals.
std::array<std::vector<double>, 2> welchSpectra(const Recording& r) {
  constexpr std::size_t kSegment = 65536;
  const Fft fft(kSegment);
  std::vector<double> window(kSegment);
  for (std::size_t n = 0; n < kSegment; ++n)
    window[n] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(n) / kSegment);
  std::array<std::vector<double>, 2> power{std::vector<double>(kSegment / 2 + 1), std::vector<double>(kSegment / 2 + 1)};
  std::vector<std::complex<double>> data(kSegment);
  for (std::size_t start = 0; start + kSegment <= r.frames; start += kSegment / 2) {
    for (std::size_t n = 0; n < kSegment; ++n)
      data[n] = {window[n] * sample(r, start + n, 0), window[n] * sample(r, start + n, 1)};
    fft.forward(data);
    for (std::size_t k = 0; k <= kSegment / 2; ++k) {
      const std::complex<double> z = data[k];
      const std::complex<double> mirror = std::conj(data[(kSegment - k) % kSegment]);
      power[0][k] += std::norm((z + mirror) * 0.5);
      power[1][k] += std::norm((z - mirror) * 0.5);
    }
  }
  return power;
}

TEST_P(NoiseRecordingTest, EveryOctaveFrom20HzTo20kHzLiesWithinAQuarterDecibelOfTheLine) {
  const Recording& r = file();
  ASSERT_EQ(r.frames, kFrames);
  const double slope = slopeDbPerOctave(GetParam());
  const auto spectra = welchSpectra(r);
  const double binHz = kRate / static_cast<double>(2 * (spectra[0].size() - 1));
  for (int channel = 0; channel < 2; ++channel) {
    // The mean density of each octave band, less the line's fall to it.
    std::vector<double> offsets;
    for (double low = 20.0; low < 20000.0; low *= 2.0) {
      double sum = 0.0;
      int bins = 0;
      for (auto k = static_cast<std::size_t>(std::ceil(low / binHz)); k * binHz < 2.0 * low; ++k, ++bins)
        sum += spectra[channel][k];
      offsets.push_back(10.0 * std::log10(sum / bins) - slope * static_cast<double>(offsets.size()));
    }
    double mean = 0.0;
    for (double o : offsets) mean += o / static_cast<double>(offsets.size());
    for (std::size_t band = 0; band < offsets.size(); ++band)
      EXPECT_NEAR(offsets[band], mean, 0.25) << "channel " << channel << ", octave from " << 20 * (1 << band) << " Hz";
  }
}

// The file is one period of a periodic signal: stepping from its last frame back to its first is
// a step like any other between neighbours.
TEST_P(NoiseRecordingTest, LoopSeamIsNoLargerThanATypicalStep) {
  const Recording& r = file();
  ASSERT_EQ(r.frames, kFrames);
  for (int channel = 0; channel < 2; ++channel) {
    double stepEnergy = 0.0;
    for (std::size_t n = 1; n < r.frames; ++n) {
      const double step = sample(r, n, channel) - sample(r, n - 1, channel);
      stepEnergy += step * step;
    }
    const double rmsStep = std::sqrt(stepEnergy / static_cast<double>(r.frames - 1));
    const double seam = std::abs(sample(r, 0, channel) - sample(r, r.frames - 1, channel));
    // Four times the RMS step: a step of a Gaussian signal exceeds it once in 16 000.
    EXPECT_LE(seam, 4.0 * rmsStep) << "channel " << channel;
  }
}

TEST_P(NoiseRecordingTest, ChannelsAreIndependentAndFreeOfDc) {
  const Recording& r = file();
  ASSERT_EQ(r.frames, kFrames);
  double sums[2] = {0, 0}, squares[2] = {0, 0}, product = 0;
  for (std::size_t n = 0; n < r.frames; ++n) {
    for (int c = 0; c < 2; ++c) {
      sums[c] += sample(r, n, c);
      squares[c] += sample(r, n, c) * sample(r, n, c);
    }
    product += sample(r, n, 0) * sample(r, n, 1);
  }
  const double frames = static_cast<double>(r.frames);
  for (int c = 0; c < 2; ++c) EXPECT_LT(std::abs(sums[c] / frames), 0.5) << "DC in channel " << c;
  const double correlation = product / std::sqrt(squares[0] * squares[1]);
  EXPECT_LT(std::abs(correlation), 0.1);
}

// The same loudness by another road: the file is one period of a looping signal, so its
// transform over the whole length is its exact spectrum, and the weighted mean square is the
// spectrum weighted by the published filter's response. Steady noise leaves every block above
// both gates, so gating changes nothing.
double spectralLoudness(const Recording& r) {
  std::vector<std::complex<double>> data(r.frames);
  for (std::size_t n = 0; n < r.frames; ++n) data[n] = {sample(r, n, 0) / 32768.0, sample(r, n, 1) / 32768.0};
  Fft(r.frames).forward(data);
  double weighted = 0.0;
  for (std::size_t k = 1; k < r.frames; ++k) {
    const double hz = kRate * static_cast<double>(std::min(k, r.frames - k)) / static_cast<double>(r.frames);
    // |X|^2 of the packed transform at k and N - k is the sum of both channels' powers there.
    weighted += std::norm(data[k]) * test::publishedPowerGain(hz);
  }
  const double frames = static_cast<double>(r.frames);
  return -0.691 + 10.0 * std::log10(weighted / (frames * frames));
}

TEST_P(NoiseRecordingTest, LoudnessAgreesWithTheWeightedSpectrum) {
  const Recording& r = file();
  ASSERT_EQ(r.frames, kFrames);
  const double measured = integratedLoudness(std::span<const std::int16_t>(r.samples), 2, kNoiseSampleRate);
  EXPECT_NEAR(measured, spectralLoudness(r), 0.01);
}

INSTANTIATE_TEST_SUITE_P(Recordings, NoiseRecordingTest, ::testing::ValuesIn(noiseSpecs()),
                         [](const auto& info) {
                           const std::string name = info.param.fileName;
                           return name.substr(0, name.find('.'));
                         });

// Switching colours on the spinner must not change how loud the noise sounds.
TEST(NoiseRecordingsTest, AllThreeHaveTheSameLoudnessAndPeakAtMostMinusOneDbfs) {
  std::vector<double> levels;
  for (const NoiseSpec& spec : noiseSpecs()) {
    const Recording& r = recording(spec.fileName);
    ASSERT_EQ(r.frames, kFrames) << spec.fileName;
    levels.push_back(integratedLoudness(std::span<const std::int16_t>(r.samples), 2, kNoiseSampleRate));
    int peak = 0;
    for (std::int16_t s : r.samples) peak = std::max(peak, std::abs(int{s}));
    const double peakDbfs = 20.0 * std::log10(peak / 32767.0);
    std::printf("%s: %.2f LUFS, peak %.2f dBFS\n", spec.fileName, levels.back(), peakDbfs);
    EXPECT_LE(peakDbfs, -1.0) << spec.fileName;
  }
  const auto [quietest, loudest] = std::minmax_element(levels.begin(), levels.end());
  EXPECT_LE(*loudest - *quietest, 0.3);
}

}  // namespace
}  // namespace sib
