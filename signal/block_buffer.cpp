#include "signal/block_buffer.h"

#include <algorithm>

namespace sib {

namespace {

std::uint8_t saturateByte(int value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

}  // namespace

void TSLBlockBuffer::Add(ISLBlockBuffer* Right) {
  Combine(Right, [](std::uint8_t d, std::uint8_t r) { return saturateByte(d + r); });
}

void TSLBlockBuffer::Subtract(ISLBlockBuffer* Right) {
  Combine(Right, [](std::uint8_t d, std::uint8_t r) { return saturateByte(d - r); });
}

void TSLBlockBuffer::Multiply(ISLBlockBuffer* Right) {
  Combine(Right, [](std::uint8_t d, std::uint8_t r) { return saturateByte(d * r); });
}

void TSLBlockBuffer::Divide(ISLBlockBuffer* Right) {
  Combine(Right, [](std::uint8_t d, std::uint8_t r) {
    if (r == 0) raiseDivByZero();
    return static_cast<std::uint8_t>(d / r);
  });
}

}  // namespace sib
