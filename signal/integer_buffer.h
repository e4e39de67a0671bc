// TSLIntegerBuffer: a resizable array of 32-bit integers. Add, Subtract, Multiply and their value
// forms saturate to the 32-bit range; Divide and Mod truncate toward zero and raise EDivByZero for a
// zero divisor (the one quotient beyond the range, -2^31 / -1, saturates too); shift counts are taken
// modulo 32 and right shifts keep the sign.
#pragma once

#include "signal/typed_buffer.h"

namespace sib {

class TSLIntegerBuffer : public TSLTypedBuffer<TSLIntegerBuffer, ISLIntegerBuffer, std::int32_t> {
 public:
  using TSLTypedBuffer::TSLTypedBuffer;

  void Add(ISLIntegerBuffer* Right) override;
  void Subtract(ISLIntegerBuffer* Right) override;
  void Multiply(ISLIntegerBuffer* Right) override;
  void Divide(ISLIntegerBuffer* Right) override;
  void ModBuffer(ISLIntegerBuffer* Right) override;
  void AndBuffer(ISLIntegerBuffer* Right) override;
  void OrBuffer(ISLIntegerBuffer* Right) override;
  void XorBuffer(ISLIntegerBuffer* Right) override;
  void LShift(ISLIntegerBuffer* Right) override;
  void RShift(ISLIntegerBuffer* Right) override;
  void SetValue(std::int32_t AValue) override { Fill(AValue); }
  void AddValue(std::int32_t AValue) override;
  void SubtractValue(std::int32_t AValue) override;
  void MultiplyValue(std::int32_t AValue) override;
  void DivideValue(std::int32_t AValue) override;
  void ModValue(std::int32_t AValue) override;
  void AndValue(std::int32_t AValue) override;
  void OrValue(std::int32_t AValue) override;
  void XorValue(std::int32_t AValue) override;
  void LShiftValue(std::uint32_t AValue) override;
  void RShiftValue(std::uint32_t AValue) override;
  std::int64_t Dot(ISLIntegerBuffer* Other) override;
  std::int32_t GetMinValue() override;
  std::int32_t GetMaxValue() override;
};

}  // namespace sib
