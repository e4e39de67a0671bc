// The block decoders behind WaveDecoder, one per coded format. Internal to the media library: the
// public face is wave_decoder.h.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/media/wave_format.h"

namespace sib::media_detail {

// Decodes whole blocks of one coded format to interleaved 16-bit little-endian PCM.
class BlockCodec {
 public:
  BlockCodec(std::uint16_t channels, std::uint32_t blockBytes, std::uint32_t framesPerBlock)
      : channels_(channels), blockBytes_(blockBytes), framesPerBlock_(framesPerBlock) {}
  virtual ~BlockCodec() = default;

  // Decodes `blocks` blocks from `source` into `destination`, which holds
  // blocks × decodedBlockBytes() bytes. Returns how many were decoded: fewer than asked when a block
  // is corrupt, which is then left undecoded together with those after it.
  virtual std::uint32_t decode(const std::uint8_t* source, std::uint32_t blocks, std::uint8_t* destination) const = 0;

  std::uint16_t channels() const { return channels_; }
  std::uint32_t blockBytes() const { return blockBytes_; }
  std::uint32_t framesPerBlock() const { return framesPerBlock_; }
  std::uint64_t decodedBlockBytes() const { return std::uint64_t{framesPerBlock_} * channels_ * 2; }

 private:
  std::uint16_t channels_;
  std::uint32_t blockBytes_;
  std::uint32_t framesPerBlock_;
};

// The decoder for a stored format whose general fields are sane (isUsableWaveFormat), or null when
// the format is not one we decode or its codec-specific fields do not make sense.
std::unique_ptr<const BlockCodec> makeBlockCodec(const WaveFormatFields& source);

}  // namespace sib::media_detail
