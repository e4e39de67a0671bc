// TSLBlockBuffer: a resizable array of bytes. Add, Subtract and Multiply saturate to 0..255; Divide
// is integer division element by element and raises EDivByZero for a zero divisor.
#pragma once

#include "signal/typed_buffer.h"

namespace sib {

class TSLBlockBuffer : public TSLTypedBuffer<TSLBlockBuffer, ISLBlockBuffer, std::uint8_t> {
 public:
  using TSLTypedBuffer::TSLTypedBuffer;

  void Add(ISLBlockBuffer* Right) override;
  void Subtract(ISLBlockBuffer* Right) override;
  void Multiply(ISLBlockBuffer* Right) override;
  void Divide(ISLBlockBuffer* Right) override;
  void SetValue(std::uint8_t AValue) override { Fill(AValue); }
};

}  // namespace sib
