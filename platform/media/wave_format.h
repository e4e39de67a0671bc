// Wave format records as a file stores them in its `fmt ` chunk: the format tags we know, a decoded
// view of a stored record's fields, and the sanity limits that decide whether a record describes a
// stream at all. The reader (wave_file.h) and the decoders (wave_decoder.h) both read records here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/core/guid.h"

namespace sib {

inline constexpr std::uint16_t kWaveFormatPcm = 0x0001;
inline constexpr std::uint16_t kWaveFormatMsAdpcm = 0x0002;
inline constexpr std::uint16_t kWaveFormatIeeeFloat = 0x0003;
inline constexpr std::uint16_t kWaveFormatALaw = 0x0006;
inline constexpr std::uint16_t kWaveFormatMuLaw = 0x0007;
inline constexpr std::uint16_t kWaveFormatImaAdpcm = 0x0011;
inline constexpr std::uint16_t kWaveFormatExtensible = 0xFFFE;

// Sub-formats of the extensible record: a format tag in the first field of this base GUID.
inline constexpr TGUID kWaveSubFormatPcm = "{00000001-0000-0010-8000-00AA00389B71}"_guid;
inline constexpr TGUID kWaveSubFormatIeeeFloat = "{00000003-0000-0010-8000-00AA00389B71}"_guid;

// Sizes of the stored records: the 16-byte original without `cbSize`, the 18-byte record with it,
// and the 40-byte extensible record (`cbSize` 22).
inline constexpr std::size_t kWaveFormatBaseSize = 16;
inline constexpr std::size_t kWaveFormatExSize = 18;
inline constexpr std::size_t kWaveFormatExtensibleSize = 40;
// The largest record that can exist: the 18-byte record plus the largest `cbSize`.
inline constexpr std::size_t kWaveFormatMaxSize = kWaveFormatExSize + 0xFFFF;

// Limits beyond which a stored value is taken as absurd and the record as unusable.
inline constexpr std::uint16_t kWaveMaxChannels = 18;  // the speaker positions a channel mask can name
inline constexpr std::uint32_t kWaveMaxSampleRate = 768000;

// The fields of a stored record, little-endian decoded. Fields the record does not store are 0.
struct WaveFormatFields {
  std::uint16_t wFormatTag = 0;
  std::uint16_t nChannels = 0;
  std::uint32_t nSamplesPerSec = 0;
  std::uint32_t nAvgBytesPerSec = 0;
  std::uint16_t nBlockAlign = 0;
  std::uint16_t wBitsPerSample = 0;
  std::uint16_t cbSize = 0;
  // Extensible: `wValidBitsPerSample`; ADPCM: `wSamplesPerBlock`. The same two bytes either way.
  std::uint16_t wValidBitsPerSample = 0;
  std::uint32_t dwChannelMask = 0;
  TGUID SubFormat{};
  // How the samples are coded: `wFormatTag`, or for the extensible record the tag that its
  // sub-format carries (0 when the sub-format is not one of the tag-based GUIDs).
  std::uint16_t encoding = 0;
  // The bytes that follow the 18-byte record (`cbSize` of them, or fewer when the record is cut
  // short). Points into the span that was decoded.
  std::span<const std::uint8_t> extra;
};

// Decodes a stored record. False when it is shorter than 16 bytes, or is extensible without the
// 40 bytes and `cbSize` of at least 22 that the extensible fields need.
bool decodeWaveFormat(std::span<const std::uint8_t> stored, WaveFormatFields& fields);

// True when the record is a sane description of a stream: channels, rate, block size and byte rate
// within bounds, and integer PCM laid out as whole 8/16/24/32-bit containers per channel.
bool isUsableWaveFormat(const WaveFormatFields& fields);

// Integer PCM, plain or extensible.
bool isIntegerPcm(const WaveFormatFields& fields);

// Little-endian field access into stored bytes; `at` must leave room for the field.
inline std::uint16_t loadLe16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}
inline std::uint32_t loadLe32(const std::uint8_t* at) {
  return std::uint32_t{at[0]} | (std::uint32_t{at[1]} << 8) | (std::uint32_t{at[2]} << 16) |
         (std::uint32_t{at[3]} << 24);
}
inline std::uint64_t loadLe64(const std::uint8_t* at) {
  return std::uint64_t{loadLe32(at)} | (std::uint64_t{loadLe32(at + 4)} << 32);
}

}  // namespace sib
