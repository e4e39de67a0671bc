#include "platform/audio/rate_interpolator.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <numbers>

namespace sib {
namespace {

constexpr int kTaps = 2 * RateInterpolator::kHalfTaps;
constexpr int kPhases = 256;
constexpr double kKaiserBeta = 8.5;

double besselI0(double x) {
  double sum = 1.0;
  double term = 1.0;
  for (int k = 1; k < 50 && term > sum * 1e-17; ++k) {
    term *= (x / (2.0 * k)) * (x / (2.0 * k));
    sum += term;
  }
  return sum;
}

double windowedSinc(double x) {
  const double half = RateInterpolator::kHalfTaps;
  if (std::abs(x) >= half) return 0.0;
  const double u = x / half;
  const double window = besselI0(kKaiserBeta * std::sqrt(1.0 - u * u)) / besselI0(kKaiserBeta);
  const double sinc = x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
  return sinc * window;
}

// Row p holds the weights of input frames position-(kHalfTaps-1) .. position+kHalfTaps for the
// fraction p / kPhases. Each row sums to one, so a constant signal stays exactly constant.
using KernelTable = std::array<std::array<double, kTaps>, kPhases + 1>;

KernelTable buildKernelTable() {
  KernelTable table{};
  for (int p = 0; p <= kPhases; ++p) {
    const double fraction = static_cast<double>(p) / kPhases;
    double sum = 0.0;
    for (int j = 0; j < kTaps; ++j) {
      const double k = j - (RateInterpolator::kHalfTaps - 1);
      table[p][j] = windowedSinc(k - fraction);
      sum += table[p][j];
    }
    for (double& w : table[p]) w /= sum;
  }
  return table;
}

const KernelTable& kernelTable() {
  static const KernelTable table = buildKernelTable();
  return table;
}

// The stereo rows with every weight written twice (left, right), so that one contiguous pass over
// interleaved frames weighs both channels.
using StereoKernelTable = std::array<std::array<double, 2 * kTaps>, kPhases + 1>;

const StereoKernelTable& stereoKernelTable() {
  static const StereoKernelTable table = [] {
    StereoKernelTable doubled{};
    const KernelTable& plain = kernelTable();
    for (int p = 0; p <= kPhases; ++p)
      for (int j = 0; j < kTaps; ++j) doubled[p][2 * j] = doubled[p][2 * j + 1] = plain[p][j];
    return doubled;
  }();
  return table;
}

// Sum over i of (low[i] + between * (high[i] - low[i])) * x[i], in four running sums so that the
// loop vectorises; sums[k] collects the terms with i % 4 == k.
template <std::size_t kLength>
[[gnu::always_inline]] inline void weighRows(const double* low, const double* high, double between, const double* x,
                                             double (&sums)[4]) {
  for (std::size_t i = 0; i < kLength; i += 4) {
    for (std::size_t k = 0; k < 4; ++k) sums[k] += (low[i + k] + between * (high[i + k] - low[i + k])) * x[i + k];
  }
}

[[gnu::always_inline]] inline void interpolateMono(const double* low, const double* high, double between,
                                                   const double* first, double* frame) {
  double sums[4] = {};
  weighRows<kTaps>(low, high, between, first, sums);
  frame[0] = (sums[0] + sums[2]) + (sums[1] + sums[3]);
}

[[gnu::always_inline]] inline void interpolateStereo(const double* low, const double* high, double between,
                                                     const double* first, double* frame) {
  double sums[4] = {};
  weighRows<2 * kTaps>(low, high, between, first, sums);
  frame[0] = sums[0] + sums[2];
  frame[1] = sums[1] + sums[3];
}

// The same code built for processors with AVX2 and FMA, chosen at run time: a steered device
// interpolates every frame it plays.
__attribute__((target("avx2,fma"))) void interpolateMonoAvx2(const double* low, const double* high, double between,
                                                            const double* first, double* frame) {
  interpolateMono(low, high, between, first, frame);
}
__attribute__((target("avx2,fma"))) void interpolateStereoAvx2(const double* low, const double* high, double between,
                                                              const double* first, double* frame) {
  interpolateStereo(low, high, between, first, frame);
}

void interpolateMonoPlain(const double* low, const double* high, double between, const double* first, double* frame) {
  interpolateMono(low, high, between, first, frame);
}
void interpolateStereoPlain(const double* low, const double* high, double between, const double* first,
                            double* frame) {
  interpolateStereo(low, high, between, first, frame);
}

bool hasAvx2Fma() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

static_assert(sizeof(KernelTable) == sizeof(double) * kTaps * (kPhases + 1), "rows lie back to back");
static_assert(sizeof(StereoKernelTable) == sizeof(double) * 2 * kTaps * (kPhases + 1), "rows lie back to back");

}  // namespace

RateInterpolator::RateInterpolator(std::uint16_t channels, std::size_t maxChunk)
    : channels_(channels), capacity_(2 * maxChunk + 4 * kHalfTaps + 8) {
  history_.resize(capacity_ * channels_);
  // The tables are built and the code chosen here, never on the device's thread.
  const bool vector = hasAvx2Fma();
  if (channels_ == 2) {
    rows_ = stereoKernelTable()[0].data();
    rowLength_ = 2 * kTaps;
    weighRows_ = vector ? interpolateStereoAvx2 : interpolateStereoPlain;
  } else {
    rows_ = kernelTable()[0].data();
    rowLength_ = kTaps;
    if (channels_ == 1) weighRows_ = vector ? interpolateMonoAvx2 : interpolateMonoPlain;
  }
  clear();
}

void RateInterpolator::clear() {
  base_ = -(kHalfTaps - 1);
  count_ = kHalfTaps - 1;
  std::fill(history_.begin(), history_.begin() + static_cast<std::ptrdiff_t>(count_ * channels_), 0.0);
  position_ = 0;
  fraction_ = 0;
}

std::size_t RateInterpolator::inputWanted(std::size_t frames, std::int64_t ppb) const {
  if (frames == 0) return 0;
  const std::int64_t travel = fraction_ + static_cast<std::int64_t>(frames - 1) * (kOne + ppb);
  std::int64_t last = position_ + travel / kOne;
  if (ppb != 0 || fraction_ != 0) last += kHalfTaps;
  const std::int64_t end = base_ + static_cast<std::int64_t>(count_);
  return last < end ? 0 : static_cast<std::size_t>(last + 1 - end);
}

double* RateInterpolator::append(std::size_t frames) {
  if (count_ + frames > capacity_) compact();
  assert(count_ + frames <= capacity_);
  double* room = history_.data() + count_ * channels_;
  count_ += frames;
  return room;
}

void RateInterpolator::compact() {
  const std::int64_t keepFrom = position_ - (kHalfTaps - 1);
  const auto drop = static_cast<std::size_t>(std::max<std::int64_t>(0, keepFrom - base_));
  if (drop == 0) return;
  std::copy(history_.begin() + static_cast<std::ptrdiff_t>(drop * channels_),
            history_.begin() + static_cast<std::ptrdiff_t>(count_ * channels_), history_.begin());
  base_ += static_cast<std::int64_t>(drop);
  count_ -= drop;
}

bool RateInterpolator::canProduce() const {
  const std::int64_t end = base_ + static_cast<std::int64_t>(count_);
  return fraction_ == 0 ? position_ < end : position_ + kHalfTaps < end;
}

std::size_t RateInterpolator::takeUnchanged(std::size_t maxFrames, std::int64_t ppb, const double*& first) {
  if (ppb != 0 || fraction_ != 0) return 0;
  const std::int64_t available = base_ + static_cast<std::int64_t>(count_) - position_;
  const std::size_t frames = std::min(maxFrames, static_cast<std::size_t>(std::max<std::int64_t>(0, available)));
  first = history_.data() + static_cast<std::size_t>(position_ - base_) * channels_;
  position_ += static_cast<std::int64_t>(frames);
  return frames;
}

void RateInterpolator::produce(double* frame, std::int64_t ppb) {
  const std::size_t index = static_cast<std::size_t>(position_ - base_);
  if (fraction_ == 0) {
    const double* sample = history_.data() + index * channels_;
    for (std::uint16_t c = 0; c < channels_; ++c) frame[c] = sample[c];
  } else {
    interpolate(frame, history_.data() + (index - (kHalfTaps - 1)) * channels_);
  }
  const std::int64_t advanced = fraction_ + kOne + ppb;
  position_ += advanced / kOne;
  fraction_ = advanced % kOne;
}

void RateInterpolator::interpolate(double* frame, const double* first) const {
  const std::int64_t scaled = fraction_ * kPhases;
  const double* low = rows_ + static_cast<std::size_t>(scaled / kOne) * rowLength_;
  const double* high = low + rowLength_;
  const double between = static_cast<double>(scaled % kOne) / static_cast<double>(kOne);
  if (weighRows_ != nullptr) {
    weighRows_(low, high, between, first, frame);
    return;
  }
  std::array<double, kTaps> weights;
  for (int j = 0; j < kTaps; ++j) weights[j] = low[j] + between * (high[j] - low[j]);
  for (std::uint16_t c = 0; c < channels_; ++c) {
    double sum = 0.0;
    for (int j = 0; j < kTaps; ++j) sum += weights[j] * first[static_cast<std::size_t>(j) * channels_ + c];
    frame[c] = sum;
  }
}

}  // namespace sib
