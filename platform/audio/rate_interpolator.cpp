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

// The common channel counts with the count known to the compiler, so the loop vectorises.
template <std::size_t kChannels>
void weigh(const double* weights, const double* first, double* frame) {
  std::array<double, kChannels> sums{};
  for (int j = 0; j < kTaps; ++j) {
    for (std::size_t c = 0; c < kChannels; ++c) sums[c] += weights[j] * first[static_cast<std::size_t>(j) * kChannels + c];
  }
  for (std::size_t c = 0; c < kChannels; ++c) frame[c] = sums[c];
}

const KernelTable& kernelTable() {
  static const KernelTable table = buildKernelTable();
  return table;
}

}  // namespace

RateInterpolator::RateInterpolator(std::uint16_t channels, std::size_t maxChunk)
    : channels_(channels), capacity_(2 * maxChunk + 4 * kHalfTaps + 8) {
  history_.resize(capacity_ * channels_);
  kernelTable();  // built here, never on the device's thread
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
  const KernelTable& table = kernelTable();
  const std::int64_t scaled = fraction_ * kPhases;
  const auto phase = static_cast<std::size_t>(scaled / kOne);
  const double between = static_cast<double>(scaled % kOne) / static_cast<double>(kOne);
  std::array<double, kTaps> weights;
  for (int j = 0; j < kTaps; ++j) {
    weights[j] = table[phase][j] + between * (table[phase + 1][j] - table[phase][j]);
  }
  switch (channels_) {
    case 1: weigh<1>(weights.data(), first, frame); break;
    case 2: weigh<2>(weights.data(), first, frame); break;
    default:
      for (std::uint16_t c = 0; c < channels_; ++c) {
        double sum = 0.0;
        for (int j = 0; j < kTaps; ++j) sum += weights[j] * first[static_cast<std::size_t>(j) * channels_ + c];
        frame[c] = sum;
      }
  }
}

}  // namespace sib
