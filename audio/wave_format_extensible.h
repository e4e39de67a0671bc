// The 40-byte audio format record that heads every audio buffer's storage block and that the audio
// output hands unchanged to the sound device: the extensible wave format, packed and little-endian.
// Also the speaker positions whose set (`TALSpeakers`) is the record's channel mask.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "platform/core/guid.h"

namespace sib {

static_assert(std::endian::native == std::endian::little, "the format record is stored little-endian");

#pragma pack(push, 1)
// The plain wave format: the first 18 bytes of the record.
struct TALWaveFormat {
  std::uint16_t wFormatTag = 0;
  std::uint16_t nChannels = 0;
  std::uint32_t nSamplesPerSec = 0;
  std::uint32_t nAvgBytesPerSec = 0;
  std::uint16_t nBlockAlign = 0;
  std::uint16_t wBitsPerSample = 0;
  std::uint16_t cbSize = 0;
};

struct TALWaveFormatExtensible {
  TALWaveFormat Format;
  // Also named wSamplesPerBlock and wReserved: the same two bytes.
  std::uint16_t wValidBitsPerSample = 0;
  std::uint32_t dwChannelMask = 0;
  TGUID SubFormat;
};
#pragma pack(pop)

static_assert(sizeof(TALWaveFormat) == 18);
static_assert(sizeof(TALWaveFormatExtensible) == 40);
static_assert(offsetof(TALWaveFormatExtensible, wValidBitsPerSample) == 18);
static_assert(offsetof(TALWaveFormatExtensible, dwChannelMask) == 20);
static_assert(offsetof(TALWaveFormatExtensible, SubFormat) == 24);

using PALWaveFormatExtensible = TALWaveFormatExtensible*;

inline constexpr std::uint16_t kALWaveFormatExtensible = 0xFFFE;
// cbSize of the extensible record: the bytes after the plain 18-byte format.
inline constexpr std::uint16_t kALExtensibleSize = 22;
inline constexpr std::uint32_t kALHeaderSize = sizeof(TALWaveFormatExtensible);
inline constexpr TGUID kALSubFormatPcm = "{00000001-0000-0010-8000-00AA00389B71}"_guid;

// Speaker positions in bit order; the channels of a frame appear in ascending order of their bits.
enum TALSpeaker : std::uint8_t {
  spFrontLeft,
  spFrontRight,
  spFrontCenter,
  spSubwoofer,
  spBackLeft,
  spBackRight,
  spFrontLeftOfCenter,
  spFrontRightOfCenter,
  spBackCenter,
  spSideLeft,
  spSideRight,
  spTopCenter,
  spTopFrontLeft,
  spTopFrontCenter,
  spTopFrontRight,
  spTopBackLeft,
  spTopBackCenter,
  spTopBackRight,
};
inline constexpr unsigned kALSpeakerCount = 18;

// A set of speaker positions, stored as the record's 32-bit channel mask (bit n = position n).
using TALSpeakers = std::uint32_t;

constexpr TALSpeakers speakers(std::initializer_list<TALSpeaker> positions) {
  TALSpeakers mask = 0;
  for (TALSpeaker position : positions) mask |= TALSpeakers{1} << position;
  return mask;
}

constexpr bool hasSpeaker(TALSpeakers mask, unsigned position) { return (mask >> position) & 1u; }

}  // namespace sib
