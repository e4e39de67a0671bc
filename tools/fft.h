// A complex fast Fourier transform of any length, by mixed radices (2, 3, 4, 5 and any other
// factor by a direct transform of that size), in Stockham order so that no bit reversal is needed.
// Used to synthesise the noise recordings in one transform over their whole length, and to measure
// spectra in their tests.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

namespace sib {

class Fft {
 public:
  // Plans transforms of `length` points (at least 1). A plan is read-only once made: one object
  // may serve several threads. Lengths whose factors are all small are fast;
  // a large prime factor p costs p operations per point.
  explicit Fft(std::size_t length);

  std::size_t length() const { return length_; }

  // X[k] = sum x[n] e^(-2 pi i k n / N), in place. Not scaled.
  void forward(std::vector<std::complex<double>>& data) const;
  // x[n] = sum X[k] e^(+2 pi i k n / N), in place. Not scaled (divide by N for the inverse).
  void inverse(std::vector<std::complex<double>>& data) const;

 private:
  struct Stage {
    std::size_t radix;
    std::size_t span;  // product of the radices of the stages before this one
    std::vector<std::complex<double>> twiddles;  // [k][r] = e^(-2 pi i k r / (span * radix)), r = 1..radix-1
    std::vector<std::complex<double>> roots;     // e^(-2 pi i j / radix), for the direct transform
  };

  void run(std::vector<std::complex<double>>& data) const;

  std::size_t length_;
  std::vector<Stage> stages_;
};

}  // namespace sib
