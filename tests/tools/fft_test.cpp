#include "tools/fft.h"

#include <cmath>
#include <numbers>
#include <random>

#include <gtest/gtest.h>

namespace sib {
namespace {

using Complex = std::complex<double>;

std::vector<Complex> randomSignal(std::size_t length, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::vector<Complex> signal(length);
  for (Complex& s : signal) s = {value(generator), value(generator)};
  return signal;
}

std::vector<Complex> directTransform(const std::vector<Complex>& x) {
  const std::size_t n = x.size();
  std::vector<Complex> roots(n);
  for (std::size_t j = 0; j < n; ++j) roots[j] = std::polar(1.0, -2.0 * std::numbers::pi * static_cast<double>(j) / n);
  std::vector<Complex> result(n);
  for (std::size_t k = 0; k < n; ++k)
    for (std::size_t j = 0; j < n; ++j) result[k] += x[j] * roots[(k * j) % n];
  return result;
}

class FftLengthTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(FftLengthTest, ForwardMatchesTheDirectTransform) {
  const std::vector<Complex> signal = randomSignal(GetParam(), 7);
  std::vector<Complex> fast = signal;
  Fft(GetParam()).forward(fast);
  const std::vector<Complex> expected = directTransform(signal);
  for (std::size_t k = 0; k < expected.size(); ++k)
    ASSERT_LT(std::abs(fast[k] - expected[k]), 1e-9 * GetParam()) << "bin " << k;
}

TEST_P(FftLengthTest, InverseOfForwardGivesTheSignalTimesTheLength) {
  const std::vector<Complex> signal = randomSignal(GetParam(), 11);
  std::vector<Complex> data = signal;
  const Fft fft(GetParam());
  fft.forward(data);
  fft.inverse(data);
  for (std::size_t n = 0; n < signal.size(); ++n)
    ASSERT_LT(std::abs(data[n] / static_cast<double>(GetParam()) - signal[n]), 1e-12) << "point " << n;
}

// Single radices, their mixtures, the recording length's factors, and primes without a kernel.
INSTANTIATE_TEST_SUITE_P(Lengths, FftLengthTest,
                         ::testing::Values(1, 2, 3, 4, 5, 7, 8, 12, 60, 98, 16 * 27, 2 * 3 * 5 * 7 * 4, 11 * 13, 97,
                                           4096));

TEST(FftTest, RecordingLengthTransformsAToneIntoItsBin) {
  constexpr std::size_t kLength = 2646000;  // 60 s at 44 100 Hz
  constexpr std::size_t kBin = 26460;       // 441 Hz
  std::vector<Complex> tone(kLength);
  for (std::size_t n = 0; n < kLength; ++n)
    tone[n] = std::polar(1.0, 2.0 * std::numbers::pi * static_cast<double>((kBin * n) % kLength) / kLength);
  Fft(kLength).forward(tone);
  EXPECT_NEAR(std::abs(tone[kBin]), static_cast<double>(kLength), 1e-6 * kLength);
  double elsewhere = 0.0;
  for (std::size_t k = 0; k < kLength; ++k)
    if (k != kBin) elsewhere = std::max(elsewhere, std::abs(tone[k]));
  EXPECT_LT(elsewhere, 1e-6 * kLength);
}

}  // namespace
}  // namespace sib
