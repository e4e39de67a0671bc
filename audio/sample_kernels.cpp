#include "audio/sample_kernels.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>

#include "signal/signal_errors.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define SIB_X86_VECTORS 1
#endif

namespace sib::samples {

std::int32_t loadSample(const std::uint8_t* at, std::uint32_t AWidth) {
  switch (AWidth) {
    case 8:
      return load8(at);
    case 16:
      return load16(at);
    case 24:
      return load24(at);
    case 32:
      return load32(at);
    default:
      return 0;
  }
}

std::int64_t divideRounded(std::int64_t ADividend, std::int64_t ADivisor) {
  std::int64_t quotient = ADividend / ADivisor;
  const std::int64_t remainder = ADividend % ADivisor;
  const std::uint64_t twice = 2 * static_cast<std::uint64_t>(remainder < 0 ? -remainder : remainder);
  const std::uint64_t divisor = static_cast<std::uint64_t>(ADivisor < 0 ? -ADivisor : ADivisor);
  const std::int64_t away = (ADividend < 0) != (ADivisor < 0) ? -1 : 1;
  if (twice > divisor || (twice == divisor && quotient % 2 != 0)) quotient += away;
  return quotient;
}

std::uint64_t roundedLowBits(double AValue) {
  if (!std::isfinite(AValue)) return 0;
  const double whole = std::nearbyint(AValue);
  constexpr double kTwo63 = 9223372036854775808.0;
  if (whole >= -kTwo63 && whole < kTwo63) return static_cast<std::uint64_t>(static_cast<std::int64_t>(whole));
  // Beyond 2^63 every double is a multiple of 2^11, so the remainder modulo 2^64 is exact.
  constexpr double kTwo64 = 18446744073709551616.0;
  double low = std::fmod(whole, kTwo64);
  if (low < 0) low += kTwo64;
  return static_cast<std::uint64_t>(low);
}

namespace {

using Limits16 = std::numeric_limits<std::int16_t>;
using Limits32 = std::numeric_limits<std::int32_t>;

std::int64_t saturate(std::int64_t value, std::int64_t lowest, std::int64_t highest) {
  return std::clamp(value, lowest, highest);
}
std::int64_t saturate16(std::int64_t value) { return saturate(value, Limits16::min(), Limits16::max()); }
std::int64_t saturate32(std::int64_t value) { return saturate(value, Limits32::min(), Limits32::max()); }

// Runs `op` on ACount samples AStride bytes apart: each sample is loaded, combined and stored back.
template <class Load, class Store, class Op>
void forEachSample(std::uint8_t* at, std::size_t count, std::size_t stride, Load load, Store store, Op op) {
  for (std::size_t i = 0; i < count; ++i, at += stride) store(at, op(load(at)));
}

void applyStrided8(std::uint8_t* at, std::size_t count, std::size_t stride, TValueOp op, std::int32_t value,
                   TValueForm form) {
  const std::int64_t byte = value & 0xFF;
  switch (op) {
    case TValueOp::Set: {
      const std::int64_t fill = form == TValueForm::WholeBuffer ? std::int64_t{value} + kZeroLevel8 : value;
      return forEachSample(at, count, stride, load8, store8, [fill](std::int64_t) { return fill; });
    }
    case TValueOp::Add:
      return forEachSample(at, count, stride, load8, store8,
                           [byte](std::int64_t d) { return std::min<std::int64_t>(d + byte, 255); });
    case TValueOp::Subtract:
      return forEachSample(at, count, stride, load8, store8,
                           [byte](std::int64_t d) { return std::max<std::int64_t>(d - byte, 0); });
    case TValueOp::Multiply:
      return forEachSample(at, count, stride, load8, store8,
                           [byte](std::int64_t d) { return std::min<std::int64_t>(d * byte, 255); });
    case TValueOp::Divide:
      if (byte == 0) return;
      return forEachSample(at, count, stride, load8, store8,
                           [byte](std::int64_t d) { return divideRounded(d, byte); });
  }
}

void applyStrided16(std::uint8_t* at, std::size_t count, std::size_t stride, TValueOp op, std::int32_t value) {
  const std::int64_t word = static_cast<std::int16_t>(value);
  switch (op) {
    case TValueOp::Set:
      return forEachSample(at, count, stride, load16, store16, [word](std::int64_t) { return word; });
    case TValueOp::Add:
      return forEachSample(at, count, stride, load16, store16, [word](std::int64_t d) { return saturate16(d + word); });
    case TValueOp::Subtract:
      return forEachSample(at, count, stride, load16, store16, [word](std::int64_t d) { return saturate16(d - word); });
    case TValueOp::Multiply:
      return forEachSample(at, count, stride, load16, store16, [word](std::int64_t d) { return saturate16(d * word); });
    case TValueOp::Divide:
      if (word == 0) return;
      return forEachSample(at, count, stride, load16, store16,
                           [word](std::int64_t d) { return saturate16(divideRounded(d, word)); });
  }
}

// 24 and 32 bits: results wrap to 32 bits (the store keeps the low bits); the whole-buffer forms of
// 32-bit addition, subtraction and multiplication saturate instead.
template <class Load, class Store>
void applyStridedWide(std::uint8_t* at, std::size_t count, std::size_t stride, TValueOp op, std::int32_t value,
                      bool saturating, Load load, Store store) {
  const std::int64_t v = value;
  const auto limit = [saturating](std::int64_t x) { return saturating ? saturate32(x) : x; };
  switch (op) {
    case TValueOp::Set:
      return forEachSample(at, count, stride, load, store, [v](std::int64_t) { return v; });
    case TValueOp::Add:
      return forEachSample(at, count, stride, load, store, [v, limit](std::int64_t d) { return limit(d + v); });
    case TValueOp::Subtract:
      return forEachSample(at, count, stride, load, store, [v, limit](std::int64_t d) { return limit(d - v); });
    case TValueOp::Multiply:
      return forEachSample(at, count, stride, load, store, [v, limit](std::int64_t d) { return limit(d * v); });
    case TValueOp::Divide:
      if (v == 0) raiseDivByZero();
      return forEachSample(at, count, stride, load, store, [v](std::int64_t d) { return d / v; });
  }
}

void applyStridedAny(std::uint8_t* at, std::size_t count, std::size_t stride, std::uint32_t width, TValueOp op,
                     std::int32_t value, TValueForm form) {
  const bool whole = form == TValueForm::WholeBuffer;
  switch (width) {
    case 8:
      return applyStrided8(at, count, stride, op, value, form);
    case 16:
      return applyStrided16(at, count, stride, op, value);
    case 24:
      // SetValue stores the plain low three bytes; every other 24-bit result goes by the store rule.
      if (whole && op == TValueOp::Set) return applyStridedWide(at, count, stride, op, value, false, load24, store24Low);
      return applyStridedWide(at, count, stride, op, value, false, load24, store24);
    case 32:
      return applyStridedWide(at, count, stride, op, value, whole, load32, store32);
    default:
      return;
  }
}

template <class Load, class Store>
void multiplyEach(std::uint8_t* at, std::size_t count, std::size_t width, double coefficient, Load load,
                  Store store) {
  forEachSample(at, count, width, load, store, [coefficient](std::int64_t d) {
    return static_cast<std::int64_t>(roundedLowBits(static_cast<double>(d) * coefficient));
  });
}

// ---- Vector loops. Each returns how many samples it handled; the plain loops finish the rest. ----

std::atomic<TVectorLevel> gLevel{bestVectorLevel()};

// Whether every product of a sample of the width and the coefficient rounds into the 32-bit range,
// where the vector conversion from double to integer is exact.
bool productsFit32(std::uint32_t width, double coefficient) {
  double largest = 0;
  switch (width) {
    case 8:
      largest = 255.0;
      break;
    case 16:
      largest = 32768.0;
      break;
    case 32:
      largest = 2147483648.0;
      break;
    default:
      return false;
  }
  return std::isfinite(coefficient) && std::fabs(coefficient) * largest <= 2147483647.0;
}

#ifdef SIB_X86_VECTORS

// Four 32-bit integers times the coefficient, each rounded to the nearest integer (the conversion
// follows the rounding mode, which rounds halves to even like the plain loop's nearbyint).
inline __m128i multiplyRound4(__m128i values, __m128d coefficient) {
  const __m128d low = _mm_mul_pd(_mm_cvtepi32_pd(values), coefficient);
  const __m128d high = _mm_mul_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(values, 0xEE)), coefficient);
  return _mm_unpacklo_epi64(_mm_cvtpd_epi32(low), _mm_cvtpd_epi32(high));
}

// The low 16 bits of each 32-bit lane, sign-extended, so that the saturating pack is exact.
inline __m128i low16(__m128i values) { return _mm_srai_epi32(_mm_slli_epi32(values, 16), 16); }

std::size_t multiplyReal8Sse2(std::uint8_t* data, std::size_t count, double coefficient) {
  const __m128d c = _mm_set1_pd(coefficient);
  const __m128i zero = _mm_setzero_si128();
  const __m128i byteMask = _mm_set1_epi32(0xFF);
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i words[2] = {_mm_unpacklo_epi8(bytes, zero), _mm_unpackhi_epi8(bytes, zero)};
    __m128i packed[2];
    for (int half = 0; half < 2; ++half) {
      const __m128i a = _mm_and_si128(multiplyRound4(_mm_unpacklo_epi16(words[half], zero), c), byteMask);
      const __m128i b = _mm_and_si128(multiplyRound4(_mm_unpackhi_epi16(words[half], zero), c), byteMask);
      packed[half] = _mm_packs_epi32(a, b);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(data + i), _mm_packus_epi16(packed[0], packed[1]));
  }
  return i;
}

std::size_t multiplyReal16Sse2(std::uint8_t* data, std::size_t count, double coefficient) {
  const __m128d c = _mm_set1_pd(coefficient);
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    auto* at = reinterpret_cast<__m128i*>(data + 2 * i);
    const __m128i words = _mm_loadu_si128(at);
    const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(words, words), 16);
    const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(words, words), 16);
    _mm_storeu_si128(at, _mm_packs_epi32(low16(multiplyRound4(low, c)), low16(multiplyRound4(high, c))));
  }
  return i;
}

std::size_t multiplyReal32Sse2(std::uint8_t* data, std::size_t count, double coefficient) {
  const __m128d c = _mm_set1_pd(coefficient);
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    auto* at = reinterpret_cast<__m128i*>(data + 4 * i);
    _mm_storeu_si128(at, multiplyRound4(_mm_loadu_si128(at), c));
  }
  return i;
}

#define SIB_AVX2 __attribute__((target("avx2")))

SIB_AVX2 inline __m128i multiplyRound4Avx2(__m128i values, __m256d coefficient) {
  return _mm256_cvtpd_epi32(_mm256_mul_pd(_mm256_cvtepi32_pd(values), coefficient));
}

SIB_AVX2 std::size_t multiplyReal8Avx2(std::uint8_t* data, std::size_t count, double coefficient) {
  const __m256d c = _mm256_set1_pd(coefficient);
  // Byte 0 of each 32-bit lane.
  const __m128i pick = _mm_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(data + i));
    const __m256i lanes = _mm256_cvtepu8_epi32(bytes);
    const __m128i a = _mm_shuffle_epi8(multiplyRound4Avx2(_mm256_castsi256_si128(lanes), c), pick);
    const __m128i b = _mm_shuffle_epi8(multiplyRound4Avx2(_mm256_extracti128_si256(lanes, 1), c), pick);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(data + i), _mm_unpacklo_epi32(a, b));
  }
  return i;
}

// Doubles between 2^52 and 2^53 are spaced one apart, so their low mantissa bits hold an integer:
// adding kRoundingMagic (1.5 * 2^52) to a product below 2^51 rounds it to an integer the way the
// rounding mode rounds (halves to even) and leaves that integer, two's complement, in the low bits;
// OR-ing a sample offset to 0..65535 into kRoundingMagic's bits gives the sample back as a double.
// Both replace the slow conversions between doubles and integers.
constexpr std::int64_t kRoundingMagicBits = 0x4338000000000000;
constexpr double kRoundingMagic = 6755399441055744.0;

SIB_AVX2 std::size_t multiplyReal16Avx2(std::uint8_t* data, std::size_t count, double coefficient) {
  const __m256d c = _mm256_set1_pd(coefficient);
  const __m256i magicBits = _mm256_set1_epi64x(kRoundingMagicBits);
  const __m256d magic = _mm256_set1_pd(kRoundingMagic);
  const __m256d offsetMagic = _mm256_set1_pd(kRoundingMagic + 32768.0);
  const __m256i signFlip = _mm256_set1_epi16(static_cast<short>(0x8000));
  const __m256i lowWord = _mm256_set1_epi64x(0xFFFF);
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    auto* at = reinterpret_cast<__m256i*>(data + 2 * i);
    // Each 64-bit lane holds four consecutive samples; word j of every lane is handled together,
    // so that the results go back into the same places.
    const __m256i offsetSamples = _mm256_xor_si256(_mm256_loadu_si256(at), signFlip);
    __m256i rounded[4];
    for (int j = 0; j < 4; ++j) {
      const __m256i word = _mm256_and_si256(_mm256_srli_epi64(offsetSamples, 16 * j), lowWord);
      const __m256d sample = _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(word, magicBits)), offsetMagic);
      rounded[j] = _mm256_castpd_si256(_mm256_add_pd(_mm256_mul_pd(sample, c), magic));
    }
    __m256i result = _mm256_blend_epi16(rounded[0], _mm256_slli_epi64(rounded[1], 16), 0x22);
    result = _mm256_blend_epi16(result, _mm256_slli_epi64(rounded[2], 32), 0x44);
    result = _mm256_blend_epi16(result, _mm256_slli_epi64(rounded[3], 48), 0x88);
    _mm256_storeu_si256(at, result);
  }
  return i;
}

#define SIB_AVX512 __attribute__((target("avx512f,avx512bw")))

// GCC 12 takes the AVX-512 intrinsics' deliberately undefined pass-through operands for
// uninitialised variables.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// Word permute indices for the AVX-512 loop: index k picks word k of the first source below 32 and
// word k - 32 of the second from 32 on. gather[j] moves word j of each 64-bit lane into the lane's
// low word and takes the rest from the magic's bits; scatterLow and scatterHigh put the low words of
// two results back as words 0 and 1, respectively 2 and 3, of each lane.
struct TWordPermutes {
  alignas(64) std::array<std::uint16_t, 32> gather[4];
  alignas(64) std::array<std::uint16_t, 32> scatterLow;
  alignas(64) std::array<std::uint16_t, 32> scatterHigh;
};

constexpr TWordPermutes makeWordPermutes() {
  TWordPermutes permutes{};
  for (int w = 0; w < 32; ++w) {
    const int lane = w / 4, word = w % 4;
    for (int j = 0; j < 4; ++j)
      permutes.gather[j][w] = static_cast<std::uint16_t>(word == 0 ? 4 * lane + j : 32 + w);
    permutes.scatterLow[w] = static_cast<std::uint16_t>(word == 1 ? 32 + 4 * lane : 4 * lane);
    permutes.scatterHigh[w] = static_cast<std::uint16_t>(word == 3 ? 32 + 4 * lane : 4 * lane);
  }
  return permutes;
}

constexpr TWordPermutes kWordPermutes = makeWordPermutes();

// The AVX2 loop's scheme on 32 samples at a time, with word permutes in place of the shifts and
// masks: word j of every 64-bit lane is moved into the low word of a lane that otherwise holds the
// magic's bits, and the four rounded results are moved back the same way.
SIB_AVX512 std::size_t multiplyReal16Avx512(std::uint8_t* data, std::size_t count, double coefficient) {
  const __m512d c = _mm512_set1_pd(coefficient);
  const __m512d magic = _mm512_set1_pd(kRoundingMagic);
  const __m512d offsetMagic = _mm512_set1_pd(kRoundingMagic + 32768.0);
  const __m512i magicBits = _mm512_set1_epi64(kRoundingMagicBits);
  const __m512i signFlip = _mm512_set1_epi16(static_cast<short>(0x8000));
  const __m512i gatherIndex[4] = {_mm512_load_si512(kWordPermutes.gather[0].data()),
                                  _mm512_load_si512(kWordPermutes.gather[1].data()),
                                  _mm512_load_si512(kWordPermutes.gather[2].data()),
                                  _mm512_load_si512(kWordPermutes.gather[3].data())};
  const __m512i lowIndex = _mm512_load_si512(kWordPermutes.scatterLow.data());
  const __m512i highIndex = _mm512_load_si512(kWordPermutes.scatterHigh.data());
  std::size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    auto* at = data + 2 * i;
    const __m512i samples = _mm512_xor_si512(_mm512_loadu_si512(at), signFlip);
    __m512i rounded[4];
    for (int j = 0; j < 4; ++j) {
      const __m512i bits = _mm512_permutex2var_epi16(samples, gatherIndex[j], magicBits);
      const __m512d sample = _mm512_sub_pd(_mm512_castsi512_pd(bits), offsetMagic);
      rounded[j] = _mm512_castpd_si512(_mm512_add_pd(_mm512_mul_pd(sample, c), magic));
    }
    const __m512i low = _mm512_permutex2var_epi16(rounded[0], lowIndex, rounded[1]);
    const __m512i high = _mm512_permutex2var_epi16(rounded[2], highIndex, rounded[3]);
    _mm512_storeu_si512(at, _mm512_mask_blend_epi16(0xCCCCCCCC, low, high));
  }
  return i;
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

SIB_AVX2 std::size_t multiplyReal32Avx2(std::uint8_t* data, std::size_t count, double coefficient) {
  const __m256d c = _mm256_set1_pd(coefficient);
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    auto* at = reinterpret_cast<__m128i*>(data + 4 * i);
    _mm_storeu_si128(at, multiplyRound4Avx2(_mm_loadu_si128(at), c));
    _mm_storeu_si128(at + 1, multiplyRound4Avx2(_mm_loadu_si128(at + 1), c));
  }
  return i;
}

std::size_t multiplyRealVector(std::uint8_t* data, std::size_t count, std::uint32_t width, double coefficient) {
  const TVectorLevel level = gLevel.load(std::memory_order_relaxed);
  if (level == TVectorLevel::None || !productsFit32(width, coefficient)) return 0;
  const bool avx2 = level >= TVectorLevel::Avx2;
  switch (width) {
    case 8:
      return avx2 ? multiplyReal8Avx2(data, count, coefficient) : multiplyReal8Sse2(data, count, coefficient);
    case 16:
      if (level == TVectorLevel::Avx512) {
        const std::size_t done = multiplyReal16Avx512(data, count, coefficient);
        return done + multiplyReal16Avx2(data + 2 * done, count - done, coefficient);
      }
      return avx2 ? multiplyReal16Avx2(data, count, coefficient) : multiplyReal16Sse2(data, count, coefficient);
    case 32:
      return avx2 ? multiplyReal32Avx2(data, count, coefficient) : multiplyReal32Sse2(data, count, coefficient);
    default:
      return 0;
  }
}

// Eight 16-bit lanes divided by a nonzero divisor, rounded to nearest with halves to even and
// saturated. The double quotient of two 16-bit integers is exact at halves and never lands on a
// half otherwise, so rounding it gives the integer rule's result.
inline __m128i divideRound8x16(__m128i words, __m128d divisor) {
  __m128i halves[2];
  const __m128i lanes[2] = {_mm_srai_epi32(_mm_unpacklo_epi16(words, words), 16),
                            _mm_srai_epi32(_mm_unpackhi_epi16(words, words), 16)};
  for (int h = 0; h < 2; ++h) {
    const __m128d low = _mm_div_pd(_mm_cvtepi32_pd(lanes[h]), divisor);
    const __m128d high = _mm_div_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(lanes[h], 0xEE)), divisor);
    halves[h] = _mm_unpacklo_epi64(_mm_cvtpd_epi32(low), _mm_cvtpd_epi32(high));
  }
  return _mm_packs_epi32(halves[0], halves[1]);
}

// The smaller of each 16-bit lane and 255, for lanes read as unsigned.
inline __m128i clampTo255(__m128i words) {
  return _mm_sub_epi16(words, _mm_subs_epu16(words, _mm_set1_epi16(255)));
}

// Runs `f` over the vectors of 16 bytes that fit in `bytes`; returns the bytes handled.
template <class F>
std::size_t forEachVector(std::uint8_t* data, std::size_t bytes, F f) {
  std::size_t i = 0;
  for (; i + 16 <= bytes; i += 16) {
    auto* at = reinterpret_cast<__m128i*>(data + i);
    _mm_storeu_si128(at, f(_mm_loadu_si128(at)));
  }
  return i;
}

std::size_t applyValue8Sse2(std::uint8_t* data, std::size_t count, TValueOp op, std::int32_t value) {
  const int byte = value & 0xFF;
  const __m128i operand = _mm_set1_epi8(static_cast<char>(byte));
  const __m128i operand16 = _mm_set1_epi16(static_cast<short>(byte));
  const __m128i zero = _mm_setzero_si128();
  switch (op) {
    case TValueOp::Add:
      return forEachVector(data, count, [=](__m128i d) { return _mm_adds_epu8(d, operand); });
    case TValueOp::Subtract:
      return forEachVector(data, count, [=](__m128i d) { return _mm_subs_epu8(d, operand); });
    case TValueOp::Multiply:
      return forEachVector(data, count, [=](__m128i d) {
        return _mm_packus_epi16(clampTo255(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), operand16)),
                                clampTo255(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), operand16)));
      });
    case TValueOp::Divide: {
      if (byte == 0) return count;
      const __m128d divisor = _mm_set1_pd(byte);
      return forEachVector(data, count, [=](__m128i d) {
        return _mm_packus_epi16(divideRound8x16(_mm_unpacklo_epi8(d, zero), divisor),
                                divideRound8x16(_mm_unpackhi_epi8(d, zero), divisor));
      });
    }
    case TValueOp::Set:
      break;
  }
  return 0;
}

std::size_t applyValue16Sse2(std::uint8_t* data, std::size_t count, TValueOp op, std::int32_t value) {
  const auto word = static_cast<std::int16_t>(value);
  const __m128i operand = _mm_set1_epi16(word);
  std::size_t bytes = 0;
  switch (op) {
    case TValueOp::Add:
      bytes = forEachVector(data, count * 2, [=](__m128i d) { return _mm_adds_epi16(d, operand); });
      break;
    case TValueOp::Subtract:
      bytes = forEachVector(data, count * 2, [=](__m128i d) { return _mm_subs_epi16(d, operand); });
      break;
    case TValueOp::Multiply:
      bytes = forEachVector(data, count * 2, [=](__m128i d) {
        const __m128i low = _mm_mullo_epi16(d, operand);
        const __m128i high = _mm_mulhi_epi16(d, operand);
        return _mm_packs_epi32(_mm_unpacklo_epi16(low, high), _mm_unpackhi_epi16(low, high));
      });
      break;
    case TValueOp::Divide: {
      if (word == 0) return count;
      const __m128d divisor = _mm_set1_pd(word);
      bytes = forEachVector(data, count * 2, [=](__m128i d) { return divideRound8x16(d, divisor); });
      break;
    }
    case TValueOp::Set:
      break;
  }
  return bytes / 2;
}

// Saturating 32-bit addition and subtraction: where the wrapped result's sign shows an overflow,
// the result is the limit on the side of the first operand.
std::size_t applyValue32Sse2(std::uint8_t* data, std::size_t count, TValueOp op, std::int32_t value) {
  const __m128i operand = _mm_set1_epi32(value);
  const __m128i largest = _mm_set1_epi32(Limits32::max());
  const auto saturated = [largest](__m128i d, __m128i wrapped, __m128i overflow) {
    const __m128i mask = _mm_srai_epi32(overflow, 31);
    const __m128i limit = _mm_xor_si128(_mm_srai_epi32(d, 31), largest);
    return _mm_or_si128(_mm_and_si128(mask, limit), _mm_andnot_si128(mask, wrapped));
  };
  switch (op) {
    case TValueOp::Add:
      return forEachVector(data, count * 4, [=](__m128i d) {
        const __m128i wrapped = _mm_add_epi32(d, operand);
        return saturated(d, wrapped, _mm_and_si128(_mm_xor_si128(d, wrapped), _mm_xor_si128(operand, wrapped)));
      }) / 4;
    case TValueOp::Subtract:
      return forEachVector(data, count * 4, [=](__m128i d) {
        const __m128i wrapped = _mm_sub_epi32(d, operand);
        return saturated(d, wrapped, _mm_and_si128(_mm_xor_si128(d, operand), _mm_xor_si128(d, wrapped)));
      }) / 4;
    default:
      return 0;
  }
}

std::size_t applyValueVector(std::uint8_t* data, std::size_t count, std::uint32_t width, TValueOp op,
                             std::int32_t value) {
  if (gLevel.load(std::memory_order_relaxed) == TVectorLevel::None) return 0;
  switch (width) {
    case 8:
      return applyValue8Sse2(data, count, op, value);
    case 16:
      return applyValue16Sse2(data, count, op, value);
    case 32:
      return applyValue32Sse2(data, count, op, value);
    default:
      return 0;
  }
}

#else

std::size_t multiplyRealVector(std::uint8_t*, std::size_t, std::uint32_t, double) { return 0; }
std::size_t applyValueVector(std::uint8_t*, std::size_t, std::uint32_t, TValueOp, std::int32_t) { return 0; }

#endif

// SetValue and Zero with a sample whose bytes are all alike fill memory directly; false when the
// sample needs the plain loop.
bool fillWithPattern(std::uint8_t* data, std::size_t count, std::uint32_t width, std::int32_t value) {
  switch (width) {
    case 8:
      std::memset(data, value & 0xFF, count);
      return true;
    case 16:
      if (static_cast<std::uint8_t>(value) == static_cast<std::uint8_t>(value >> 8)) {
        std::memset(data, value & 0xFF, count * 2);
        return true;
      }
      return false;
    case 24:
    case 32:
      if (value == 0 || value == -1) {
        std::memset(data, value & 0xFF, count * width / 8);
        return true;
      }
      return false;
    default:
      return false;
  }
}

}  // namespace

namespace plain {

void multiplyReal(std::uint8_t* AData, std::size_t ACount, std::uint32_t AWidth, double ACoefficient) {
  switch (AWidth) {
    case 8:
      return multiplyEach(AData, ACount, 1, ACoefficient, load8, store8);
    case 16:
      return multiplyEach(AData, ACount, 2, ACoefficient, load16, store16);
    case 24:
      return multiplyEach(AData, ACount, 3, ACoefficient, load24, store24);
    case 32:
      return multiplyEach(AData, ACount, 4, ACoefficient, load32, store32);
    default:
      return;
  }
}

void applyValue(std::uint8_t* AData, std::size_t ACount, std::uint32_t AWidth, TValueOp AOp, std::int32_t AValue) {
  applyStridedAny(AData, ACount, AWidth / 8, AWidth, AOp, AValue, TValueForm::WholeBuffer);
}

}  // namespace plain

TVectorLevel bestVectorLevel() {
#ifdef SIB_X86_VECTORS
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) return TVectorLevel::Avx512;
  return __builtin_cpu_supports("avx2") ? TVectorLevel::Avx2 : TVectorLevel::Sse2;
#else
  return TVectorLevel::None;
#endif
}

TVectorLevel vectorLevel() { return gLevel.load(std::memory_order_relaxed); }

TVectorLevel setVectorLevel(TVectorLevel ALevel) {
  const TVectorLevel level = std::min(ALevel, bestVectorLevel());
  gLevel.store(level, std::memory_order_relaxed);
  return level;
}

void multiplyReal(std::uint8_t* AData, std::size_t ACount, std::uint32_t AWidth, double ACoefficient) {
  const std::size_t done = multiplyRealVector(AData, ACount, AWidth, ACoefficient);
  plain::multiplyReal(AData + done * (AWidth / 8), ACount - done, AWidth, ACoefficient);
}

void applyValue(std::uint8_t* AData, std::size_t ACount, std::uint32_t AWidth, TValueOp AOp, std::int32_t AValue) {
  if (AOp == TValueOp::Set) {
    const std::uint32_t offset = AWidth == 8 ? kZeroLevel8 : 0;
    const auto fill = static_cast<std::int32_t>(static_cast<std::uint32_t>(AValue) + offset);
    if (fillWithPattern(AData, ACount, AWidth, fill)) return;
  }
  const std::size_t done = applyValueVector(AData, ACount, AWidth, AOp, AValue);
  plain::applyValue(AData + done * (AWidth / 8), ACount - done, AWidth, AOp, AValue);
}

void zero(std::uint8_t* AData, std::size_t ACount, std::uint32_t AWidth) {
  fillWithPattern(AData, ACount, AWidth, AWidth == 8 ? kZeroLevel8 : 0);
}

void applyStrided(std::uint8_t* AFirst, std::size_t ACount, std::size_t AStride, std::uint32_t AWidth, TValueOp AOp,
                  std::int32_t AValue, TValueForm AForm) {
  applyStridedAny(AFirst, ACount, AStride, AWidth, AOp, AValue, AForm);
}

}  // namespace sib::samples
