// Decoders from coded wave data to 16-bit PCM: IMA ADPCM, Microsoft ADPCM, A-law, µ-law and IEEE
// float (32 and 64 bit, plain or as the extensible record's sub-format). Used in the order a player
// converts a stream: open from the stored source format to a 16-bit PCM destination format, ask the
// size bound, prepare a header over the caller's source and destination bytes, convert, unprepare,
// and close by destroying the decoder.
//
// Conversion works in whole source blocks (`nBlockAlign` bytes: one ADPCM block, or one frame of
// the sample codecs); a partial block at the end of the source is left unused. Results are codes
// (media_result.h). Corrupt data ends a conversion early; it never makes a decoder read or write
// outside the header's buffers.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "platform/media/media_result.h"
#include "platform/media/wave_format.h"

namespace sib {

// Flags of WaveDecoder::convert. Both may be combined; every conversion is block-aligned, and ADPCM
// blocks carry their whole state, so a start needs no state reset.
inline constexpr std::uint32_t kWaveConvertBlockAlign = 0x04;
inline constexpr std::uint32_t kWaveConvertStart = 0x10;

// One conversion's buffers. The caller owns the memory both pointers point to.
struct WaveConvertHeader {
  const std::uint8_t* pbSrc = nullptr;
  std::uint32_t cbSrcLength = 0;
  std::uint32_t cbSrcLengthUsed = 0;  // set by convert: whole blocks consumed
  std::uint8_t* pbDst = nullptr;
  std::uint32_t cbDstLength = 0;
  std::uint32_t cbDstLengthUsed = 0;  // set by convert: bytes of 16-bit PCM produced

  // Kept by prepare and unprepare: the buffers the header was prepared over.
  bool prepared = false;
  const std::uint8_t* preparedSrc = nullptr;
  std::uint32_t preparedSrcLength = 0;
  std::uint8_t* preparedDst = nullptr;
  std::uint32_t preparedDstLength = 0;
};

namespace media_detail {
class BlockCodec;
}

class WaveDecoder {
 public:
  // Opens a decoder from `sourceFormat` (a stored `fmt ` record) to `destinationFormat`, which must
  // be 16-bit integer PCM (plain or extensible) with the source's channels and rate.
  // kMediaFormatNotSupported when the source is not one of the coded formats above, or its fields do
  // not make sense for its codec (ADPCM blocks shorter than their headers, missing coefficients,
  // wrong bit depth or block size), or the destination is anything else.
  static MediaResult open(std::span<const std::uint8_t> sourceFormat, std::span<const std::uint8_t> destinationFormat,
                          std::unique_ptr<WaveDecoder>& decoder);

  ~WaveDecoder();
  WaveDecoder(const WaveDecoder&) = delete;
  WaveDecoder& operator=(const WaveDecoder&) = delete;

  // An upper bound of the bytes that `sourceBytes` of source decode to. kMediaInvalidParameter when
  // that bound does not fit 32 bits.
  MediaResult size(std::uint32_t sourceBytes, std::uint32_t& destinationBytes) const;

  // Checks and records the header's buffers. kMediaSourceTooSmall when the source holds less than
  // one block, kMediaInvalidParameter for a null buffer, kMediaHeaderState when already prepared.
  MediaResult prepareHeader(WaveConvertHeader& header) const;

  // Decodes as many whole source blocks as the destination holds. Sets the used lengths (also on
  // failure, to what was done). kMediaDestinationTooSmall when not even one block fits,
  // kMediaCorruptBlock when the first block is corrupt (a later corrupt block ends the conversion
  // before it, with success), kMediaHeaderState when the header is not prepared over these buffers.
  MediaResult convert(WaveConvertHeader& header, std::uint32_t flags) const;

  // Releases the header. kMediaHeaderState when it was not prepared.
  MediaResult unprepareHeader(WaveConvertHeader& header) const;

  std::uint32_t sourceBlockBytes() const;
  std::uint32_t framesPerBlock() const;
  std::uint16_t channels() const;

 private:
  explicit WaveDecoder(std::unique_ptr<const media_detail::BlockCodec> codec);
  std::unique_ptr<const media_detail::BlockCodec> codec_;
};

}  // namespace sib
