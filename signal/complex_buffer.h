// TSLComplexBuffer: a resizable array of complex numbers (pairs of doubles) with complex arithmetic,
// thresholds, correlations and the conversions to real buffers of their parts, phase, magnitude and
// power.
#pragma once

#include "signal/typed_buffer.h"

namespace sib {

class TSLComplexBuffer : public TSLTypedBuffer<TSLComplexBuffer, ISLComplexBuffer, TOWRealComplex> {
 public:
  using TSLTypedBuffer::TSLTypedBuffer;

  RefPtr<ISLRealBuffer> GetReal() override;
  RefPtr<ISLRealBuffer> GetImaginary() override;
  void Add(ISLComplexBuffer* Right) override;
  void Subtract(ISLComplexBuffer* Right) override;
  void Multiply(ISLComplexBuffer* Right) override;
  void Divide(ISLComplexBuffer* Right) override;
  void AddValue(TOWRealComplex AValue) override;
  void SubtractValue(TOWRealComplex AValue) override;
  void MultiplyValue(TOWRealComplex AValue) override;
  void DivideValue(TOWRealComplex AValue) override;
  void SetBuffer(ISLRealBuffer* AReal, ISLRealBuffer* AImag) override;
  void SetValue(double AReal, double AImag) override { Fill({AReal, AImag}); }
  void SetValue(TOWRealComplex AValue) override { Fill(AValue); }
  void NormalizeFrom(ISLComplexBuffer* Src, TOWRealComplex AOffset, double AFactor) override;
  void Normalize(TOWRealComplex AOffset, double AFactor) override;
  TOWRealComplex Dot(ISLComplexBuffer* Other) override;
  void Threshold(double AThreshold, TSLThresholdType AType) override;
  void ThresholdFrom(ISLComplexBuffer* Src, double AThreshold, TSLThresholdType AType) override;
  void Sqr() override;
  void SqrFrom(ISLComplexBuffer* Src) override;
  void Sqrt() override;
  void SqrtFrom(ISLComplexBuffer* Src) override;
  void AutoCorr(ISLComplexBuffer* Src, TSLCorrelationType AType) override;
  void CrossCorr(ISLComplexBuffer* Src1, ISLComplexBuffer* Src2, std::int32_t ALoLag) override;
  RefPtr<ISLRealBuffer> Phase() override;
  RefPtr<ISLRealBuffer> Magnitude() override;
  RefPtr<ISLRealBuffer> PowerSpectrum() override;

 private:
  template <class F>
  RefPtr<ISLRealBuffer> ToReal(F f);
};

}  // namespace sib
