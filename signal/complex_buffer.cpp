#include "signal/complex_buffer.h"

#include <algorithm>
#include <complex>
#include <vector>

#include "signal/real_buffer.h"

namespace sib {

namespace {

using Complex = std::complex<double>;

Complex toStd(TOWRealComplex value) { return {value.Re, value.Im}; }
TOWRealComplex fromStd(Complex value) { return {value.real(), value.imag()}; }

template <class Op>
auto elementwise(Op op) {
  return [op](TOWRealComplex d, TOWRealComplex r) { return fromStd(op(toStd(d), toStd(r))); };
}

std::vector<Complex> copyOf(ISLComplexBuffer* buffer) {
  std::vector<Complex> copy;
  for (TOWRealComplex element : copyElements(buffer)) copy.push_back(toStd(element));
  return copy;
}

auto thresholdOf(double threshold, TSLThresholdType type) {
  return [=](TOWRealComplex element) {
    const Complex value = toStd(element);
    const double magnitude = std::abs(value);
    const bool replace = type == TSLThresholdType::ttLess ? magnitude < threshold : magnitude > threshold;
    if (!replace) return element;
    if (magnitude == 0.0) return TOWRealComplex{threshold, 0.0};
    return fromStd(value * (threshold / magnitude));
  };
}

}  // namespace

template <class F>
RefPtr<ISLRealBuffer> TSLComplexBuffer::ToReal(F f) {
  const std::uint32_t count = GetSize();
  RefPtr<TSLRealBuffer> result = TSLRealBuffer::CreateSize(count);
  const TOWRealComplex* data = Read();
  double* target = result->Write();
  for (std::uint32_t i = 0; i < count; ++i) target[i] = f(data[i]);
  return result;
}

RefPtr<ISLRealBuffer> TSLComplexBuffer::GetReal() {
  return ToReal([](TOWRealComplex v) { return v.Re; });
}
RefPtr<ISLRealBuffer> TSLComplexBuffer::GetImaginary() {
  return ToReal([](TOWRealComplex v) { return v.Im; });
}
RefPtr<ISLRealBuffer> TSLComplexBuffer::Phase() {
  return ToReal([](TOWRealComplex v) { return std::atan2(v.Im, v.Re); });
}
RefPtr<ISLRealBuffer> TSLComplexBuffer::Magnitude() {
  return ToReal([](TOWRealComplex v) { return std::hypot(v.Re, v.Im); });
}
RefPtr<ISLRealBuffer> TSLComplexBuffer::PowerSpectrum() {
  return ToReal([](TOWRealComplex v) { return v.Re * v.Re + v.Im * v.Im; });
}

void TSLComplexBuffer::Add(ISLComplexBuffer* Right) { Combine(Right, elementwise(std::plus<Complex>())); }
void TSLComplexBuffer::Subtract(ISLComplexBuffer* Right) { Combine(Right, elementwise(std::minus<Complex>())); }
void TSLComplexBuffer::Multiply(ISLComplexBuffer* Right) { Combine(Right, elementwise(std::multiplies<Complex>())); }
void TSLComplexBuffer::Divide(ISLComplexBuffer* Right) { Combine(Right, elementwise(std::divides<Complex>())); }

void TSLComplexBuffer::AddValue(TOWRealComplex AValue) {
  Apply([v = toStd(AValue)](TOWRealComplex d) { return fromStd(toStd(d) + v); });
}
void TSLComplexBuffer::SubtractValue(TOWRealComplex AValue) {
  Apply([v = toStd(AValue)](TOWRealComplex d) { return fromStd(toStd(d) - v); });
}
void TSLComplexBuffer::MultiplyValue(TOWRealComplex AValue) {
  Apply([v = toStd(AValue)](TOWRealComplex d) { return fromStd(toStd(d) * v); });
}
void TSLComplexBuffer::DivideValue(TOWRealComplex AValue) {
  Apply([v = toStd(AValue)](TOWRealComplex d) { return fromStd(toStd(d) / v); });
}

void TSLComplexBuffer::SetBuffer(ISLRealBuffer* AReal, ISLRealBuffer* AImag) {
  const std::vector<double> real = copyElements(AReal);
  const std::vector<double> imag = copyElements(AImag);
  const std::uint32_t count = static_cast<std::uint32_t>(std::min(real.size(), imag.size()));
  Resize(count, false);
  TOWRealComplex* data = Write();
  for (std::uint32_t i = 0; i < count; ++i) data[i] = {real[i], imag[i]};
}

void TSLComplexBuffer::NormalizeFrom(ISLComplexBuffer* Src, TOWRealComplex AOffset, double AFactor) {
  ApplyFrom(Src, [o = toStd(AOffset), AFactor](TOWRealComplex d) { return fromStd((toStd(d) - o) / AFactor); });
}

void TSLComplexBuffer::Normalize(TOWRealComplex AOffset, double AFactor) {
  Apply([o = toStd(AOffset), AFactor](TOWRealComplex d) { return fromStd((toStd(d) - o) / AFactor); });
}

TOWRealComplex TSLComplexBuffer::Dot(ISLComplexBuffer* Other) {
  if (!Other) throw EInvalidOperation("The operation needs a second buffer");
  const std::uint32_t count = std::min(GetSize(), Other->GetSize());
  const TOWRealComplex* left = Read();
  const TOWRealComplex* right = Other->Read();
  Complex sum = 0.0;
  for (std::uint32_t i = 0; i < count; ++i) sum += toStd(left[i]) * toStd(right[i]);
  return fromStd(sum);
}

void TSLComplexBuffer::Threshold(double AThreshold, TSLThresholdType AType) { Apply(thresholdOf(AThreshold, AType)); }

void TSLComplexBuffer::ThresholdFrom(ISLComplexBuffer* Src, double AThreshold, TSLThresholdType AType) {
  ApplyFrom(Src, thresholdOf(AThreshold, AType));
}

void TSLComplexBuffer::Sqr() {
  Apply([](TOWRealComplex d) { return fromStd(toStd(d) * toStd(d)); });
}
void TSLComplexBuffer::SqrFrom(ISLComplexBuffer* Src) {
  ApplyFrom(Src, [](TOWRealComplex d) { return fromStd(toStd(d) * toStd(d)); });
}
void TSLComplexBuffer::Sqrt() {
  Apply([](TOWRealComplex d) { return fromStd(std::sqrt(toStd(d))); });
}
void TSLComplexBuffer::SqrtFrom(ISLComplexBuffer* Src) {
  ApplyFrom(Src, [](TOWRealComplex d) { return fromStd(std::sqrt(toStd(d))); });
}

void TSLComplexBuffer::AutoCorr(ISLComplexBuffer* Src, TSLCorrelationType AType) {
  const std::vector<Complex> lags =
      autoCorrelate(copyOf(Src), GetSize(), AType, [](Complex v) { return std::conj(v); });
  std::transform(lags.begin(), lags.end(), Write(), fromStd);
}

void TSLComplexBuffer::CrossCorr(ISLComplexBuffer* Src1, ISLComplexBuffer* Src2, std::int32_t ALoLag) {
  const std::vector<Complex> lags = crossCorrelate(copyOf(Src1), copyOf(Src2), GetSize(), ALoLag);
  std::transform(lags.begin(), lags.end(), Write(), fromStd);
}

}  // namespace sib
