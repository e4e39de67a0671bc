#include "signal/real_buffer.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace sib {

namespace {

// Rounded to nearest with ties to even, or truncated; saturated to T's range; NaN gives 0.
template <class T>
T toIntegral(double value, bool round) {
  if (std::isnan(value)) return 0;
  const double whole = round ? std::nearbyint(value) : std::trunc(value);
  constexpr double lowest = std::numeric_limits<T>::min();
  constexpr double highest = std::numeric_limits<T>::max();
  if (whole <= lowest) return std::numeric_limits<T>::min();
  if (whole >= highest) return std::numeric_limits<T>::max();
  return static_cast<T>(whole);
}

// The extreme of data[first, last) by `better`; 0 at -1 when the range is empty.
template <class Better>
void findExtreme(const double* data, std::uint32_t first, std::uint32_t last, Better better, double& value,
                 std::int32_t& index) {
  value = 0.0;
  index = -1;
  for (std::uint32_t i = first; i < last; ++i) {
    if (index < 0 || better(data[i], value)) {
      value = data[i];
      index = static_cast<std::int32_t>(i);
    }
  }
}

}  // namespace

template <class T>
RefPtr<TSLRealBuffer> TSLRealBuffer::CreateConverted(const T* AData, std::uint32_t ASize) {
  RefPtr<TSLRealBuffer> buffer = CreateSize(ASize);
  double* data = buffer->Write();
  for (std::uint32_t i = 0; i < ASize; ++i) data[i] = static_cast<double>(AData[i]);
  return buffer;
}

RefPtr<TSLRealBuffer> TSLRealBuffer::CreateWordData(const std::uint16_t* AData, std::uint32_t ASize) {
  return CreateConverted(AData, ASize);
}
RefPtr<TSLRealBuffer> TSLRealBuffer::CreateSmallIntData(const std::int16_t* AData, std::uint32_t ASize) {
  return CreateConverted(AData, ASize);
}
RefPtr<TSLRealBuffer> TSLRealBuffer::CreateCardinalData(const std::uint32_t* AData, std::uint32_t ASize) {
  return CreateConverted(AData, ASize);
}
RefPtr<TSLRealBuffer> TSLRealBuffer::CreateIntegerData(const std::int32_t* AData, std::uint32_t ASize) {
  return CreateConverted(AData, ASize);
}
RefPtr<TSLRealBuffer> TSLRealBuffer::CreateSingleData(const float* AData, std::uint32_t ASize) {
  return CreateConverted(AData, ASize);
}

void TSLRealBuffer::CopyData(std::uint32_t SourceOffset, ISLDataBuffer* Target, std::uint32_t TargetOffset,
                             std::uint32_t Count) {
  auto* target = Target ? dynamic_cast<TSLRealBuffer*>(Target->GetInstance()) : nullptr;
  if (!target) return TSLTypedBuffer::CopyData(SourceOffset, Target, TargetOffset, Count);
  CheckRange(SourceOffset, Count, GetSize());
  CheckRange(TargetOffset, Count, target->GetSize());
  if (Count == 0) return;
  double* destination = target->Modify() + TargetOffset;
  std::memmove(destination, Read() + SourceOffset, std::size_t{Count} * sizeof(double));
}

void TSLRealBuffer::VectorJaehne(double AMagnitude) {
  const std::uint32_t count = GetSize();
  double* data = Write();
  for (std::uint32_t n = 0; n < count; ++n) {
    const double phase = std::numbers::pi / 2.0 * static_cast<double>(n) * static_cast<double>(n) / count;
    data[n] = AMagnitude * std::sin(phase);
  }
}

void TSLRealBuffer::Add(ISLRealBuffer* Right) {
  Combine(Right, [](double d, double r) { return d + r; });
}

void TSLRealBuffer::Subtract(ISLRealBuffer* Right) {
  Combine(Right, [](double d, double r) { return d - r; });
}

void TSLRealBuffer::Multiply(ISLRealBuffer* Right) {
  Combine(Right, [](double d, double r) { return d * r; });
}

void TSLRealBuffer::Divide(ISLRealBuffer* Right) {
  Combine(Right, [](double d, double r) {
    if (r != 0.0) return d / r;
    if (d > 0.0) return 1000000000000000.0;
    if (d < 0.0) return -100000000000000.0;
    return std::numeric_limits<double>::quiet_NaN();
  });
}

void TSLRealBuffer::AddValue(double AValue) {
  if (AValue == 0.0) return;
  Apply([AValue](double d) { return d + AValue; });
}

void TSLRealBuffer::SubtractValue(double AValue) {
  if (AValue == 0.0) return;
  Apply([AValue](double d) { return d - AValue; });
}

void TSLRealBuffer::MultiplyValue(double AValue) {
  if (AValue == 1.0) return;
  Apply([AValue](double d) { return d * AValue; });
}

void TSLRealBuffer::DivideValue(double AValue) {
  if (AValue == 0.0 || AValue == 1.0) return;
  Apply([AValue](double d) { return d / AValue; });
}

void TSLRealBuffer::ToInt(std::int32_t* AOutBuffer, bool ARound) {
  const double* data = Read();
  for (std::uint32_t i = 0, n = GetSize(); i < n; ++i) AOutBuffer[i] = toIntegral<std::int32_t>(data[i], ARound);
}

void TSLRealBuffer::ToShort(std::int16_t* AOutBuffer, bool ARound) {
  const double* data = Read();
  for (std::uint32_t i = 0, n = GetSize(); i < n; ++i) AOutBuffer[i] = toIntegral<std::int16_t>(data[i], ARound);
}

void TSLRealBuffer::ToSingle(float* AOutBuffer) {
  const double* data = Read();
  for (std::uint32_t i = 0, n = GetSize(); i < n; ++i) AOutBuffer[i] = static_cast<float>(data[i]);
}

void TSLRealBuffer::FromInt(const std::int32_t* AInBuffer, std::uint32_t ASize) {
  ApplyFrom(AInBuffer, ASize, [](std::int32_t v) { return static_cast<double>(v); });
}

void TSLRealBuffer::FromShort(const std::int16_t* AInBuffer, std::uint32_t ASize) {
  ApplyFrom(AInBuffer, ASize, [](std::int16_t v) { return static_cast<double>(v); });
}

void TSLRealBuffer::FromSingle(const float* AInBuffer, std::uint32_t ASize) {
  ApplyFrom(AInBuffer, ASize, [](float v) { return static_cast<double>(v); });
}

void TSLRealBuffer::NormalizeFrom(ISLRealBuffer* Src, double AOffset, double AFactor) {
  ApplyFrom(Src, [=](double v) { return (v - AOffset) / AFactor; });
}

void TSLRealBuffer::Normalize(double AOffset, double AFactor) {
  Apply([=](double v) { return (v - AOffset) / AFactor; });
}

double TSLRealBuffer::Dot(ISLRealBuffer* Other) {
  if (!Other) throw EInvalidOperation("The operation needs a second buffer");
  const std::uint32_t count = std::min(GetSize(), Other->GetSize());
  const double* left = Read();
  const double* right = Other->Read();
  double sum = 0.0;
  for (std::uint32_t i = 0; i < count; ++i) sum += left[i] * right[i];
  return sum;
}

namespace {

auto thresholdOf(double threshold, TSLThresholdType type) {
  return [=](double v) {
    if (type == TSLThresholdType::ttLess) return v < threshold ? threshold : v;
    return v > threshold ? threshold : v;
  };
}

}  // namespace

void TSLRealBuffer::Threshold(double AThreshold, TSLThresholdType AType) { Apply(thresholdOf(AThreshold, AType)); }

void TSLRealBuffer::ThresholdFrom(ISLRealBuffer* Src, double AThreshold, TSLThresholdType AType) {
  ApplyFrom(Src, thresholdOf(AThreshold, AType));
}

void TSLRealBuffer::Sqr() {
  Apply([](double v) { return v * v; });
}
void TSLRealBuffer::SqrFrom(ISLRealBuffer* Src) {
  ApplyFrom(Src, [](double v) { return v * v; });
}
void TSLRealBuffer::Sqrt() {
  Apply([](double v) { return std::sqrt(v); });
}
void TSLRealBuffer::SqrtFrom(ISLRealBuffer* Src) {
  ApplyFrom(Src, [](double v) { return std::sqrt(v); });
}
void TSLRealBuffer::Abs() {
  Apply([](double v) { return std::fabs(v); });
}
void TSLRealBuffer::AbsFrom(ISLRealBuffer* Src) {
  ApplyFrom(Src, [](double v) { return std::fabs(v); });
}
void TSLRealBuffer::Exp() {
  Apply([](double v) { return std::exp(v); });
}
void TSLRealBuffer::ExpFrom(ISLRealBuffer* Src) {
  ApplyFrom(Src, [](double v) { return std::exp(v); });
}
void TSLRealBuffer::Ln() {
  Apply([](double v) { return std::log(v); });
}
void TSLRealBuffer::LnFrom(ISLRealBuffer* Src) {
  ApplyFrom(Src, [](double v) { return std::log(v); });
}

void TSLRealBuffer::AutoCorr(ISLRealBuffer* Src, TSLCorrelationType AType) {
  const std::vector<double> lags = autoCorrelate(copyElements(Src), GetSize(), AType, [](double v) { return v; });
  std::copy(lags.begin(), lags.end(), Write());
}

void TSLRealBuffer::CrossCorr(ISLRealBuffer* Src1, ISLRealBuffer* Src2, std::int32_t ALoLag) {
  const std::vector<double> lags = crossCorrelate(copyElements(Src1), copyElements(Src2), GetSize(), ALoLag);
  std::copy(lags.begin(), lags.end(), Write());
}

double TSLRealBuffer::Mean() {
  const std::uint32_t count = GetSize();
  if (count == 0) return 0.0;
  const double* data = Read();
  double sum = 0.0;
  for (std::uint32_t i = 0; i < count; ++i) sum += data[i];
  return sum / count;
}

double TSLRealBuffer::StdDev() {
  const std::uint32_t count = GetSize();
  if (count < 2) return 0.0;
  const double mean = Mean();
  const double* data = Read();
  double sum = 0.0;
  for (std::uint32_t i = 0; i < count; ++i) sum += (data[i] - mean) * (data[i] - mean);
  return std::sqrt(sum / (count - 1));
}

void TSLRealBuffer::Convolve(ISLRealBuffer* Src1, ISLRealBuffer* Src2) {
  const std::vector<double> first = copyElements(Src1);
  const std::vector<double> second = copyElements(Src2);
  const std::size_t size = first.empty() || second.empty() ? 0 : first.size() + second.size() - 1;
  Resize(static_cast<std::uint32_t>(size), false);
  double* data = Write();
  std::fill_n(data, size, 0.0);
  for (std::size_t i = 0; i < first.size(); ++i)
    for (std::size_t j = 0; j < second.size(); ++j) data[i + j] += first[i] * second[j];
}

double TSLRealBuffer::Norm(TSLNormType AType) {
  const std::uint32_t count = GetSize();
  const double* data = Read();
  double result = 0.0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const double magnitude = std::fabs(data[i]);
    switch (AType) {
      case TSLNormType::ntInf:
        result = std::max(result, magnitude);
        break;
      case TSLNormType::ntL1:
        result += magnitude;
        break;
      case TSLNormType::ntL2:
        result += magnitude * magnitude;
        break;
    }
  }
  return AType == TSLNormType::ntL2 ? std::sqrt(result) : result;
}

void TSLRealBuffer::GetMin(double& AValue, std::int32_t& AIndex) { GetMinRestricted(0, GetSize(), AValue, AIndex); }

void TSLRealBuffer::GetMax(double& AValue, std::int32_t& AIndex) { GetMaxRestricted(0, GetSize(), AValue, AIndex); }

void TSLRealBuffer::GetMinRestricted(std::uint32_t AStart, std::uint32_t ACount, double& AValue,
                                     std::int32_t& AIndex) {
  const std::uint32_t last = static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{AStart} + ACount, GetSize()));
  findExtreme(Read(), AStart, last, [](double a, double b) { return a < b; }, AValue, AIndex);
}

void TSLRealBuffer::GetMaxRestricted(std::uint32_t AStart, std::uint32_t ACount, double& AValue,
                                     std::int32_t& AIndex) {
  const std::uint32_t last = static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{AStart} + ACount, GetSize()));
  findExtreme(Read(), AStart, last, [](double a, double b) { return a > b; }, AValue, AIndex);
}

double TSLRealBuffer::GetMinValue() {
  double value;
  std::int32_t index;
  GetMin(value, index);
  return value;
}

double TSLRealBuffer::GetMaxValue() {
  double value;
  std::int32_t index;
  GetMax(value, index);
  return value;
}

std::int32_t TSLRealBuffer::GetMinIndex() {
  double value;
  std::int32_t index;
  GetMin(value, index);
  return index;
}

std::int32_t TSLRealBuffer::GetMaxIndex() {
  double value;
  std::int32_t index;
  GetMax(value, index);
  return index;
}

}  // namespace sib
