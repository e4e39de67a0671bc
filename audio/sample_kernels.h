// The sample arithmetic of the audio buffers, one container width at a time: loading and storing
// 8-, 16-, 24- and 32-bit samples, the element rules (saturation, wrapping, rounding with ties to
// even, the 24-bit store rule) and the loops over contiguous and strided samples.
//
// The hot loops (MultiplyReal and the whole-buffer value forms) have vector versions, chosen at run
// time by what the processor offers; `plain` holds the reference loops they must match bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sib::samples {

enum class TValueOp : std::uint8_t { Set, Add, Subtract, Multiply, Divide };

// The whole-buffer value forms saturate 32-bit results and store SetValue with the 8-bit zero level
// and the plain low bytes of a 24-bit value; the channel forms wrap 32-bit results, store 8-bit
// values as they are and 24-bit values by the store rule.
enum class TValueForm : std::uint8_t { WholeBuffer, Channel };

// The zero level of a container: 127 for 8 bits, 0 otherwise.
inline constexpr std::uint8_t kZeroLevel8 = 127;

inline std::int32_t load8(const std::uint8_t* at) { return *at; }
inline std::int32_t load16(const std::uint8_t* at) {
  std::int16_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}
// Sign-extended from bit 23.
inline std::int32_t load24(const std::uint8_t* at) {
  const std::uint32_t bits = std::uint32_t{at[0]} | (std::uint32_t{at[1]} << 8) | (std::uint32_t{at[2]} << 16);
  return static_cast<std::int32_t>(bits << 8) >> 8;
}
inline std::int32_t load32(const std::uint8_t* at) {
  std::int32_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

inline void store8(std::uint8_t* at, std::int64_t value) { *at = static_cast<std::uint8_t>(value); }
inline void store16(std::uint8_t* at, std::int64_t value) {
  const auto bits = static_cast<std::uint16_t>(value);
  std::memcpy(at, &bits, sizeof bits);
}
// The low three bytes of the 32-bit value, without any sign rule.
inline void store24Low(std::uint8_t* at, std::int64_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  at[0] = static_cast<std::uint8_t>(bits);
  at[1] = static_cast<std::uint8_t>(bits >> 8);
  at[2] = static_cast<std::uint8_t>(bits >> 16);
}
// The 24-bit store rule: the low three bytes of the 32-bit value, and bit 7 of the third byte set
// when the 32-bit value is negative.
inline void store24(std::uint8_t* at, std::int64_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  store24Low(at, bits);
  if (static_cast<std::int32_t>(bits) < 0) at[2] |= 0x80;
}
inline void store32(std::uint8_t* at, std::int64_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  std::memcpy(at, &bits, sizeof bits);
}

// A sample as the arithmetic sees it: the raw byte for 8 bits, sign-extended otherwise; 0 for a
// width the arithmetic does not handle.
std::int32_t loadSample(const std::uint8_t* at, std::uint32_t AWidth);

// Integer quotient rounded to the nearest integer, halves to even. ADivisor must not be 0.
std::int64_t divideRounded(std::int64_t ADividend, std::int64_t ADivisor);
// The low 64 bits of the integer nearest to AValue (halves to even); 0 for NaN and infinities.
std::uint64_t roundedLowBits(double AValue);

// Whether the whole-buffer arithmetic handles the container width (8, 16, 24 or 32 bits).
constexpr bool isArithmeticWidth(std::uint32_t AWidth) {
  return AWidth == 8 || AWidth == 16 || AWidth == 24 || AWidth == 32;
}

// Multiplies ACount contiguous samples by ACoefficient in double precision, rounds halves to even
// and keeps the low bits of the container (24 bits: by the store rule).
void multiplyReal(std::uint8_t* AData, std::size_t ACount, std::uint32_t AWidth, double ACoefficient);
// The whole-buffer value forms over ACount contiguous samples. Raises EDivByZero for a zero divisor
// in 24- and 32-bit containers; a zero divisor leaves 8- and 16-bit samples unchanged.
void applyValue(std::uint8_t* AData, std::size_t ACount, std::uint32_t AWidth, TValueOp AOp, std::int32_t AValue);
// Fills ACount samples with the zero level.
void zero(std::uint8_t* AData, std::size_t ACount, std::uint32_t AWidth);
// The value forms over ACount samples AStride bytes apart, starting at AFirst.
void applyStrided(std::uint8_t* AFirst, std::size_t ACount, std::size_t AStride, std::uint32_t AWidth, TValueOp AOp,
                  std::int32_t AValue, TValueForm AForm);

// The vector instructions the dispatching loops use (AVX-512 serves the 16-bit MultiplyReal; the
// other loops use the AVX2 or SSE2 forms below it). The level starts at the best the processor
// offers; tests lower it to compare each level's loops with the plain ones.
enum class TVectorLevel : std::uint8_t { None, Sse2, Avx2, Avx512 };
TVectorLevel vectorLevel();
TVectorLevel bestVectorLevel();
// Sets the level, capped at the best the processor offers; returns the level now in use.
TVectorLevel setVectorLevel(TVectorLevel ALevel);

namespace plain {
void multiplyReal(std::uint8_t* AData, std::size_t ACount, std::uint32_t AWidth, double ACoefficient);
void applyValue(std::uint8_t* AData, std::size_t ACount, std::uint32_t AWidth, TValueOp AOp, std::int32_t AValue);
}  // namespace plain

}  // namespace sib::samples
