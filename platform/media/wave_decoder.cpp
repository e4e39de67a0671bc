#include "platform/media/wave_decoder.h"

#include <algorithm>
#include <limits>

#include "platform/media/wave_codecs.h"

namespace sib {

using media_detail::BlockCodec;

namespace {

bool isPcm16For(const WaveFormatFields& destination, const WaveFormatFields& source) {
  if (!isIntegerPcm(destination) || destination.wBitsPerSample != 16) return false;
  if (destination.wFormatTag == kWaveFormatExtensible && destination.wValidBitsPerSample != 16) return false;
  return destination.nChannels == source.nChannels && destination.nSamplesPerSec == source.nSamplesPerSec &&
         destination.nBlockAlign == 2u * source.nChannels;
}

bool isPreparedOver(const WaveConvertHeader& header) {
  return header.prepared && header.pbSrc == header.preparedSrc && header.pbDst == header.preparedDst &&
         header.cbSrcLength <= header.preparedSrcLength && header.cbDstLength <= header.preparedDstLength;
}

}  // namespace

MediaResult WaveDecoder::open(std::span<const std::uint8_t> sourceFormat,
                              std::span<const std::uint8_t> destinationFormat,
                              std::unique_ptr<WaveDecoder>& decoder) {
  decoder.reset();
  WaveFormatFields source;
  WaveFormatFields destination;
  if (!decodeWaveFormat(sourceFormat, source) || !isUsableWaveFormat(source)) return kMediaFormatNotSupported;
  if (!decodeWaveFormat(destinationFormat, destination) || !isPcm16For(destination, source))
    return kMediaFormatNotSupported;
  auto codec = media_detail::makeBlockCodec(source);
  if (!codec) return kMediaFormatNotSupported;
  decoder.reset(new WaveDecoder(std::move(codec)));
  return kMediaOk;
}

WaveDecoder::WaveDecoder(std::unique_ptr<const BlockCodec> codec) : codec_(std::move(codec)) {}
WaveDecoder::~WaveDecoder() = default;

std::uint32_t WaveDecoder::sourceBlockBytes() const { return codec_->blockBytes(); }
std::uint32_t WaveDecoder::framesPerBlock() const { return codec_->framesPerBlock(); }
std::uint16_t WaveDecoder::channels() const { return codec_->channels(); }

MediaResult WaveDecoder::size(std::uint32_t sourceBytes, std::uint32_t& destinationBytes) const {
  destinationBytes = 0;
  const std::uint64_t blocks = (std::uint64_t{sourceBytes} + codec_->blockBytes() - 1) / codec_->blockBytes();
  const std::uint64_t bytes = blocks * codec_->decodedBlockBytes();
  if (bytes > std::numeric_limits<std::uint32_t>::max()) return kMediaInvalidParameter;
  destinationBytes = static_cast<std::uint32_t>(bytes);
  return kMediaOk;
}

MediaResult WaveDecoder::prepareHeader(WaveConvertHeader& header) const {
  if (header.prepared) return kMediaHeaderState;
  if (header.pbSrc == nullptr || header.pbDst == nullptr) return kMediaInvalidParameter;
  if (header.cbSrcLength < codec_->blockBytes()) return kMediaSourceTooSmall;
  header.prepared = true;
  header.preparedSrc = header.pbSrc;
  header.preparedSrcLength = header.cbSrcLength;
  header.preparedDst = header.pbDst;
  header.preparedDstLength = header.cbDstLength;
  header.cbSrcLengthUsed = 0;
  header.cbDstLengthUsed = 0;
  return kMediaOk;
}

MediaResult WaveDecoder::convert(WaveConvertHeader& header, std::uint32_t flags) const {
  if ((flags & ~(kWaveConvertBlockAlign | kWaveConvertStart)) != 0) return kMediaInvalidParameter;
  if (!isPreparedOver(header)) return kMediaHeaderState;
  header.cbSrcLengthUsed = 0;
  header.cbDstLengthUsed = 0;
  const std::uint64_t sourceBlocks = header.cbSrcLength / codec_->blockBytes();
  const std::uint64_t roomBlocks = header.cbDstLength / codec_->decodedBlockBytes();
  if (sourceBlocks == 0) return kMediaSourceTooSmall;
  if (roomBlocks == 0) return kMediaDestinationTooSmall;

  const auto blocks = static_cast<std::uint32_t>(std::min(sourceBlocks, roomBlocks));
  const std::uint32_t decoded = codec_->decode(header.pbSrc, blocks, header.pbDst);
  header.cbSrcLengthUsed = decoded * codec_->blockBytes();
  header.cbDstLengthUsed = static_cast<std::uint32_t>(decoded * codec_->decodedBlockBytes());
  return decoded == 0 ? kMediaCorruptBlock : kMediaOk;
}

MediaResult WaveDecoder::unprepareHeader(WaveConvertHeader& header) const {
  if (!header.prepared) return kMediaHeaderState;
  header.prepared = false;
  header.preparedSrc = nullptr;
  header.preparedSrcLength = 0;
  header.preparedDst = nullptr;
  header.preparedDstLength = 0;
  return kMediaOk;
}

}  // namespace sib
