#include "tools/fft.h"

#include <algorithm>
#include <numbers>
#include <stdexcept>
#include <utility>

namespace sib {
namespace {

using Complex = std::complex<double>;

// Fours first (the cheapest per point), then the remaining factors in ascending order.
std::vector<std::size_t> factorise(std::size_t n) {
  std::vector<std::size_t> factors;
  while (n % 4 == 0) {
    factors.push_back(4);
    n /= 4;
  }
  for (std::size_t p = 2; n > 1; ++p) {
    if (p * p > n) p = n;
    while (n % p == 0) {
      factors.push_back(p);
      n /= p;
    }
  }
  return factors;
}

// Plain complex product: the library's operator checks for infinities on every call, which the
// transforms' finite data never need.
inline Complex times(const Complex& a, const Complex& b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

Complex rotation(std::size_t numerator, std::size_t denominator) {
  return std::polar(1.0, -2.0 * std::numbers::pi * static_cast<double>(numerator) / static_cast<double>(denominator));
}

// The forward transform of v[0..radix) in place; `roots` are the radix-th roots of unity.
void butterfly(std::size_t radix, Complex* v, const std::vector<Complex>& roots, std::vector<Complex>& scratch) {
  switch (radix) {
    case 2: {
      const Complex a = v[0];
      v[0] = a + v[1];
      v[1] = a - v[1];
      return;
    }
    case 3: {
      constexpr double kSin60 = 0.86602540378443864676;
      const Complex sum = v[1] + v[2];
      const Complex middle = v[0] - 0.5 * sum;
      const Complex difference = v[1] - v[2];
      const Complex turn(kSin60 * difference.imag(), -kSin60 * difference.real());  // -i sin60 (v1 - v2)
      v[0] += sum;
      v[1] = middle + turn;
      v[2] = middle - turn;
      return;
    }
    case 4: {
      const Complex evenSum = v[0] + v[2];
      const Complex evenDifference = v[0] - v[2];
      const Complex oddSum = v[1] + v[3];
      const Complex oddDifference = v[1] - v[3];
      const Complex oddTurn(oddDifference.imag(), -oddDifference.real());  // -i (v1 - v3)
      v[0] = evenSum + oddSum;
      v[1] = evenDifference + oddTurn;
      v[2] = evenSum - oddSum;
      v[3] = evenDifference - oddTurn;
      return;
    }
    default: {
      for (std::size_t m = 0; m < radix; ++m) {
        Complex sum = v[0];
        for (std::size_t r = 1, index = m; r < radix; ++r, index = (index + m) % radix) sum += times(v[r], roots[index]);
        scratch[m] = sum;
      }
      std::copy(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(radix), v);
    }
  }
}

}  // namespace

Fft::Fft(std::size_t length) : length_(length) {
  if (length == 0) throw std::invalid_argument("a transform needs at least one point");
  std::size_t span = 1;
  for (const std::size_t radix : factorise(length)) {
    Stage stage{radix, span, {}, {}};
    stage.twiddles.reserve(span * (radix - 1));
    for (std::size_t k = 0; k < span; ++k)
      for (std::size_t r = 1; r < radix; ++r) stage.twiddles.push_back(rotation(k * r, span * radix));
    for (std::size_t j = 0; j < radix; ++j) stage.roots.push_back(rotation(j, radix));
    stages_.push_back(std::move(stage));
    span *= radix;
  }
}

void Fft::forward(std::vector<std::complex<double>>& data) const { run(data); }

void Fft::inverse(std::vector<std::complex<double>>& data) const {
  for (Complex& value : data) value = std::conj(value);
  run(data);
  for (Complex& value : data) value = std::conj(value);
}

// Stockham's autosort: each stage reads the sub-transforms of the last, combines `radix` of them
// with twiddles, and writes the longer transforms into the other buffer in order.
void Fft::run(std::vector<std::complex<double>>& data) const {
  if (data.size() != length_) throw std::invalid_argument("data length differs from the planned length");
  std::vector<Complex> other(length_);
  Complex* in = data.data();
  Complex* out = other.data();
  std::vector<Complex> v;
  std::vector<Complex> scratch;
  for (const Stage& stage : stages_) {
    const std::size_t radix = stage.radix;
    const std::size_t span = stage.span;
    const std::size_t stride = length_ / radix;
    v.resize(radix);
    scratch.resize(radix);
    for (std::size_t group = 0; group < stride / span; ++group) {
      for (std::size_t k = 0; k < span; ++k) {
        const std::size_t j = group * span + k;
        const Complex* twiddle = stage.twiddles.data() + k * (radix - 1);
        v[0] = in[j];
        for (std::size_t r = 1; r < radix; ++r) v[r] = times(in[j + r * stride], twiddle[r - 1]);
        butterfly(radix, v.data(), stage.roots, scratch);
        Complex* target = out + group * span * radix + k;
        for (std::size_t r = 0; r < radix; ++r) target[r * span] = v[r];
      }
    }
    std::swap(in, out);
  }
  if (in != data.data()) std::copy(in, in + length_, data.data());
}

}  // namespace sib
