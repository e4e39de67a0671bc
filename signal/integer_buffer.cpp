#include "signal/integer_buffer.h"

#include <algorithm>
#include <limits>

namespace sib {

namespace {

using Limits = std::numeric_limits<std::int32_t>;

std::int32_t saturate(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, Limits::min(), Limits::max()));
}

std::int32_t add(std::int32_t d, std::int32_t r) { return saturate(std::int64_t{d} + r); }
std::int32_t subtract(std::int32_t d, std::int32_t r) { return saturate(std::int64_t{d} - r); }
std::int32_t multiply(std::int32_t d, std::int32_t r) { return saturate(std::int64_t{d} * r); }

std::int32_t divide(std::int32_t d, std::int32_t r) {
  if (r == 0) raiseDivByZero();
  return saturate(std::int64_t{d} / r);
}

std::int32_t modulo(std::int32_t d, std::int32_t r) {
  if (r == 0) raiseDivByZero();
  return static_cast<std::int32_t>(std::int64_t{d} % r);
}

std::int32_t shiftLeft(std::int32_t d, std::uint32_t count) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(d) << (count & 31));
}

std::int32_t shiftRight(std::int32_t d, std::uint32_t count) { return d >> (count & 31); }

}  // namespace

void TSLIntegerBuffer::Add(ISLIntegerBuffer* Right) { Combine(Right, add); }
void TSLIntegerBuffer::Subtract(ISLIntegerBuffer* Right) { Combine(Right, subtract); }
void TSLIntegerBuffer::Multiply(ISLIntegerBuffer* Right) { Combine(Right, multiply); }
void TSLIntegerBuffer::Divide(ISLIntegerBuffer* Right) { Combine(Right, divide); }
void TSLIntegerBuffer::ModBuffer(ISLIntegerBuffer* Right) { Combine(Right, modulo); }

void TSLIntegerBuffer::AndBuffer(ISLIntegerBuffer* Right) {
  Combine(Right, [](std::int32_t d, std::int32_t r) { return d & r; });
}
void TSLIntegerBuffer::OrBuffer(ISLIntegerBuffer* Right) {
  Combine(Right, [](std::int32_t d, std::int32_t r) { return d | r; });
}
void TSLIntegerBuffer::XorBuffer(ISLIntegerBuffer* Right) {
  Combine(Right, [](std::int32_t d, std::int32_t r) { return d ^ r; });
}
void TSLIntegerBuffer::LShift(ISLIntegerBuffer* Right) {
  Combine(Right, [](std::int32_t d, std::int32_t r) { return shiftLeft(d, static_cast<std::uint32_t>(r)); });
}
void TSLIntegerBuffer::RShift(ISLIntegerBuffer* Right) {
  Combine(Right, [](std::int32_t d, std::int32_t r) { return shiftRight(d, static_cast<std::uint32_t>(r)); });
}

void TSLIntegerBuffer::AddValue(std::int32_t AValue) {
  Apply([AValue](std::int32_t d) { return add(d, AValue); });
}
void TSLIntegerBuffer::SubtractValue(std::int32_t AValue) {
  Apply([AValue](std::int32_t d) { return subtract(d, AValue); });
}
void TSLIntegerBuffer::MultiplyValue(std::int32_t AValue) {
  Apply([AValue](std::int32_t d) { return multiply(d, AValue); });
}
void TSLIntegerBuffer::DivideValue(std::int32_t AValue) {
  if (AValue == 0) raiseDivByZero();
  Apply([AValue](std::int32_t d) { return divide(d, AValue); });
}
void TSLIntegerBuffer::ModValue(std::int32_t AValue) {
  if (AValue == 0) raiseDivByZero();
  Apply([AValue](std::int32_t d) { return modulo(d, AValue); });
}
void TSLIntegerBuffer::AndValue(std::int32_t AValue) {
  Apply([AValue](std::int32_t d) { return d & AValue; });
}
void TSLIntegerBuffer::OrValue(std::int32_t AValue) {
  Apply([AValue](std::int32_t d) { return d | AValue; });
}
void TSLIntegerBuffer::XorValue(std::int32_t AValue) {
  Apply([AValue](std::int32_t d) { return d ^ AValue; });
}
void TSLIntegerBuffer::LShiftValue(std::uint32_t AValue) {
  Apply([AValue](std::int32_t d) { return shiftLeft(d, AValue); });
}
void TSLIntegerBuffer::RShiftValue(std::uint32_t AValue) {
  Apply([AValue](std::int32_t d) { return shiftRight(d, AValue); });
}

std::int64_t TSLIntegerBuffer::Dot(ISLIntegerBuffer* Other) {
  if (!Other) throw EInvalidOperation("The operation needs a second buffer");
  const std::uint32_t count = std::min(GetSize(), Other->GetSize());
  const std::int32_t* left = Read();
  const std::int32_t* right = Other->Read();
  // Wraps like the 64-bit accumulator it is, rather than being undefined on overflow.
  std::uint64_t sum = 0;
  for (std::uint32_t i = 0; i < count; ++i) sum += static_cast<std::uint64_t>(std::int64_t{left[i]} * right[i]);
  return static_cast<std::int64_t>(sum);
}

std::int32_t TSLIntegerBuffer::GetMinValue() {
  const std::uint32_t count = GetSize();
  return count == 0 ? 0 : *std::min_element(Read(), Read() + count);
}

std::int32_t TSLIntegerBuffer::GetMaxValue() {
  const std::uint32_t count = GetSize();
  return count == 0 ? 0 : *std::max_element(Read(), Read() + count);
}

}  // namespace sib
