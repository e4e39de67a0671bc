// Fractional-rate interpolation for steering a device's playback rate by a few hundred ppm.
//
// Input frames are appended to a short history; each output frame is the input signal evaluated at
// a position that advances by exactly (1e9 + ppb) / 1e9 input frames per output frame, kept as an
// integer frame index plus a remainder in billionths, so no rounding error accumulates. Between
// samples the value comes from a 32-tap Kaiser-windowed sinc (polyphase table, linear between
// phases); on a sample (remainder 0) it is that sample, bit for bit, so at 0 ppm the stream passes
// unchanged and switching the adjustment on or off never shifts the signal.
//
// Single-threaded: the device stream calls it under its device lock. Allocates only when built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sib {

class RateInterpolator {
 public:
  static constexpr int kHalfTaps = 16;
  static constexpr std::int64_t kOne = 1'000'000'000;  // one input frame, in billionths

  // maxChunk: the most output frames asked for between two appends.
  RateInterpolator(std::uint16_t channels, std::size_t maxChunk);

  // Back to position 0 with a silent past.
  void clear();

  // How many more input frames must be appended so that `frames` output frames can be produced at
  // the given rate; never more than maxChunk + 2 * kHalfTaps + 2.
  std::size_t inputWanted(std::size_t frames, std::int64_t ppb) const;
  // Room for `frames` input frames, interleaved, to be filled by the caller at once.
  double* append(std::size_t frames);

  // Whether the next output frame's input is all present.
  bool canProduce() const;
  // Writes the next output frame (channels values) and advances by one output frame.
  void produce(double* frame, std::int64_t ppb);

  // At 0 ppm on a sample: up to maxFrames input frames, which are the output unchanged; the
  // position moves past them. Returns 0 when steering or between samples (use produce).
  std::size_t takeUnchanged(std::size_t maxFrames, std::int64_t ppb, const double*& first);

  // The integer part of the position: input frames played since clear().
  std::int64_t position() const { return position_; }
  // Input frames appended and not yet played.
  std::int64_t held() const { return base_ + static_cast<std::int64_t>(count_) - position_; }

 private:
  void compact();
  void interpolate(double* frame, const double* first) const;

  // One frame from rows low and high of the phase table, blended by `between`.
  using WeighRows = void (*)(const double* low, const double* high, double between, const double* first,
                             double* frame);

  std::uint16_t channels_;
  const double* rows_ = nullptr;  // the phase table, rowLength_ weights a row, rows back to back
  std::size_t rowLength_ = 0;
  WeighRows weighRows_ = nullptr;  // none: the general loop over any channel count
  std::vector<double> history_;  // interleaved frames
  std::size_t capacity_;         // in frames
  std::int64_t base_ = 0;        // input index of history_[0]
  std::size_t count_ = 0;        // frames held
  std::int64_t position_ = 0;    // input index of the next output frame
  std::int64_t fraction_ = 0;    // 0 .. kOne-1
};

}  // namespace sib
