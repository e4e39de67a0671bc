// Result codes of the wave file reader and the wave decoders. Like the platform calls they stand in
// for, these report by code rather than by exception: 0 is success, anything else is an error
// number that the caller puts into its own message (in decimal and in hexadecimal).
#pragma once

#include <cstdint>

namespace sib {

using MediaResult = std::int32_t;

namespace media_detail {
constexpr MediaResult code(std::uint32_t value) { return static_cast<MediaResult>(value); }
}  // namespace media_detail

inline constexpr MediaResult kMediaOk = 0;
// The file is missing, unreadable, not a regular file, or not a RIFF WAVE file.
inline constexpr MediaResult kMediaCannotOpen = media_detail::code(0x80041001u);
// The file has no usable `fmt ` chunk or no `data` chunk.
inline constexpr MediaResult kMediaNoAudioStream = media_detail::code(0x80041002u);
// Reading the file failed at the operating-system level.
inline constexpr MediaResult kMediaReadFailed = media_detail::code(0x80041003u);
// A null pointer, a negative count or position, or a flag outside those defined.
inline constexpr MediaResult kMediaInvalidParameter = media_detail::code(0x80041004u);
// No decoder turns this source format into the requested destination format.
inline constexpr MediaResult kMediaFormatNotSupported = media_detail::code(0x80041005u);
// The source of a conversion holds less than one whole block.
inline constexpr MediaResult kMediaSourceTooSmall = media_detail::code(0x80041006u);
// The destination of a conversion cannot hold one decoded block.
inline constexpr MediaResult kMediaDestinationTooSmall = media_detail::code(0x80041007u);
// The first block of a conversion is corrupt (an ADPCM header with an impossible predictor or step).
inline constexpr MediaResult kMediaCorruptBlock = media_detail::code(0x80041008u);
// A conversion header used without being prepared, or prepared twice, or changed while prepared.
inline constexpr MediaResult kMediaHeaderState = media_detail::code(0x80041009u);

}  // namespace sib
