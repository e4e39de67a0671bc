// TSLRealBuffer: a resizable array of doubles with element arithmetic, conversions, statistics and
// correlations. Value forms skip the work when the value is neutral (adding 0, multiplying by 1,
// dividing by 0 or 1).
#pragma once

#include "signal/typed_buffer.h"

namespace sib {

class TSLRealBuffer : public TSLTypedBuffer<TSLRealBuffer, ISLRealBuffer, double> {
 public:
  using TSLTypedBuffer::TSLTypedBuffer;

  // Arrays of other number types converted to doubles.
  static RefPtr<TSLRealBuffer> CreateWordData(const std::uint16_t* AData, std::uint32_t ASize);
  static RefPtr<TSLRealBuffer> CreateSmallIntData(const std::int16_t* AData, std::uint32_t ASize);
  static RefPtr<TSLRealBuffer> CreateCardinalData(const std::uint32_t* AData, std::uint32_t ASize);
  static RefPtr<TSLRealBuffer> CreateIntegerData(const std::int32_t* AData, std::uint32_t ASize);
  static RefPtr<TSLRealBuffer> CreateSingleData(const float* AData, std::uint32_t ASize);

  // Into another real buffer, offsets and Count count doubles; otherwise bytes.
  void CopyData(std::uint32_t SourceOffset, ISLDataBuffer* Target, std::uint32_t TargetOffset,
                std::uint32_t Count) override;

  void VectorJaehne(double AMagnitude) override;
  void Add(ISLRealBuffer* Right) override;
  void Subtract(ISLRealBuffer* Right) override;
  void Multiply(ISLRealBuffer* Right) override;
  void Divide(ISLRealBuffer* Right) override;
  void SetValue(double AValue) override { Fill(AValue); }
  void AddValue(double AValue) override;
  void SubtractValue(double AValue) override;
  void MultiplyValue(double AValue) override;
  void DivideValue(double AValue) override;
  void ToInt(std::int32_t* AOutBuffer, bool ARound) override;
  void ToShort(std::int16_t* AOutBuffer, bool ARound) override;
  void ToSingle(float* AOutBuffer) override;
  void FromInt(const std::int32_t* AInBuffer, std::uint32_t ASize) override;
  void FromShort(const std::int16_t* AInBuffer, std::uint32_t ASize) override;
  void FromSingle(const float* AInBuffer, std::uint32_t ASize) override;
  void NormalizeFrom(ISLRealBuffer* Src, double AOffset, double AFactor) override;
  void Normalize(double AOffset, double AFactor) override;
  double Dot(ISLRealBuffer* Other) override;
  void Threshold(double AThreshold, TSLThresholdType AType) override;
  void ThresholdFrom(ISLRealBuffer* Src, double AThreshold, TSLThresholdType AType) override;
  void Sqr() override;
  void SqrFrom(ISLRealBuffer* Src) override;
  void Sqrt() override;
  void SqrtFrom(ISLRealBuffer* Src) override;
  void AutoCorr(ISLRealBuffer* Src, TSLCorrelationType AType) override;
  void CrossCorr(ISLRealBuffer* Src1, ISLRealBuffer* Src2, std::int32_t ALoLag) override;
  void Abs() override;
  void AbsFrom(ISLRealBuffer* Src) override;
  void Exp() override;
  void ExpFrom(ISLRealBuffer* Src) override;
  void Ln() override;
  void LnFrom(ISLRealBuffer* Src) override;
  double Mean() override;
  double StdDev() override;
  void Convolve(ISLRealBuffer* Src1, ISLRealBuffer* Src2) override;
  double Norm(TSLNormType AType) override;
  double GetMinValue() override;
  double GetMaxValue() override;
  std::int32_t GetMinIndex() override;
  std::int32_t GetMaxIndex() override;
  void GetMin(double& AValue, std::int32_t& AIndex) override;
  void GetMax(double& AValue, std::int32_t& AIndex) override;
  void GetMinRestricted(std::uint32_t AStart, std::uint32_t ACount, double& AValue, std::int32_t& AIndex) override;
  void GetMaxRestricted(std::uint32_t AStart, std::uint32_t ACount, double& AValue, std::int32_t& AIndex) override;

 private:
  template <class T>
  static RefPtr<TSLRealBuffer> CreateConverted(const T* AData, std::uint32_t ASize);
};

}  // namespace sib
