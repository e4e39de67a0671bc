#include "audio/wave_player.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>

#include "platform/core/errors.h"
#include "platform/core/format.h"
#include "platform/core/numeric.h"
#include "platform/media/wave_format.h"

namespace sib {

namespace {

// a × b / c rounded to the nearest integer, halves away from zero; -1 when c is 0.
std::int64_t mulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
  if (c == 0) return -1;
  const std::int64_t product = a * b;
  const std::int64_t half = (c < 0 ? -c : c) / 2;
  const bool negative = (product < 0) != (c < 0);
  const std::int64_t magnitude = ((product < 0 ? -product : product) + half) / (c < 0 ? -c : c);
  return negative ? -magnitude : magnitude;
}

std::int32_t clampToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

std::uint32_t lowChannelMask(std::uint16_t channels) {
  return static_cast<std::uint32_t>((std::uint64_t{1} << (channels % 32)) - 1);
}

TALWaveFormatExtensible pcm16Format(const WaveFormatFields& source) {
  TALWaveFormatExtensible format;
  format.Format.wFormatTag = kALWaveFormatExtensible;
  format.Format.nChannels = source.nChannels;
  format.Format.nSamplesPerSec = source.nSamplesPerSec;
  format.Format.wBitsPerSample = 16;
  format.Format.nBlockAlign = static_cast<std::uint16_t>(2 * source.nChannels);
  format.Format.nAvgBytesPerSec = format.Format.nBlockAlign * source.nSamplesPerSec;
  format.Format.cbSize = kALExtensibleSize;
  format.wValidBitsPerSample = 16;
  format.dwChannelMask = lowChannelMask(source.nChannels);
  format.SubFormat = kALSubFormatPcm;
  return format;
}

}  // namespace

TALWavePlayer::TALWavePlayer(TComponent* AOwner) : TALCommonPlayer(AOwner) {}

TALWavePlayer::~TALWavePlayer() = default;

void TALWavePlayer::SetOnError(TSLErrorEvent Value) {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  FOnError = std::move(Value);
}

void TALWavePlayer::ReportError(const std::string& AText, std::int32_t ACode) {
  bool handled = false;
  FOnError(this, AText, ACode, handled);
  if (handled) return;
  const auto code = static_cast<std::uint32_t>(ACode);
  throw ESLException(formatText("%s - %u - %x", {AText, code, code}));
}

// ---- Opening and closing ----------------------------------------------------------------------------

bool TALWavePlayer::ChooseDeliveredFormat(const WaveStream& AStream, std::unique_ptr<WaveDecoder>& ADecoder,
                                          MediaResult& ADecoderResult) {
  const WaveFormatFields& fields = AStream.formatFields();
  if (fields.wFormatTag == kWaveFormatPcm || (fields.wFormatTag == kWaveFormatExtensible && isIntegerPcm(fields))) {
    if (fields.wFormatTag == kWaveFormatPcm) {
      FWaveFormat = TALWaveFormatExtensible{};
      FWaveFormat.Format.wFormatTag = kALWaveFormatExtensible;
      FWaveFormat.Format.nChannels = fields.nChannels;
      FWaveFormat.Format.nSamplesPerSec = fields.nSamplesPerSec;
      FWaveFormat.Format.nAvgBytesPerSec = fields.nAvgBytesPerSec;
      FWaveFormat.Format.nBlockAlign = fields.nBlockAlign;
      FWaveFormat.Format.wBitsPerSample = fields.wBitsPerSample;
      FWaveFormat.Format.cbSize = kALExtensibleSize;
      FWaveFormat.wValidBitsPerSample = fields.wBitsPerSample;
      FWaveFormat.dwChannelMask = lowChannelMask(fields.nChannels);
      FWaveFormat.SubFormat = kALSubFormatPcm;
    } else {
      std::memcpy(&FWaveFormat, AStream.format().data(), sizeof(FWaveFormat));
    }
    FWaveFormat.Format.wBitsPerSample = static_cast<std::uint16_t>((FWaveFormat.Format.wBitsPerSample + 7) / 8 * 8);
    return true;
  }
  // Everything else is coded, an extensible record whose sub-format is IEEE float included: it is
  // decoded to 16-bit PCM, never handed on as if it were integer samples.
  FUncompressedAudioFormat = pcm16Format(fields);
  FWaveFormat = FUncompressedAudioFormat;
  const auto destination = std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(&FUncompressedAudioFormat), sizeof(FUncompressedAudioFormat));
  ADecoderResult = WaveDecoder::open(AStream.format(), destination, ADecoder);
  return ADecoderResult == kMediaOk && ADecoder;
}

void TALWavePlayer::OpenFile() {
  LockSection write = FLock->WriteLock();
  if (!write || FOpened) return;
  FExtractPosition = 0;
  FFirstRequest = true;
  if (FFileName.empty()) return;

  std::unique_ptr<WaveFile> file;
  MediaResult hr = WaveFile::open(FFileName, file);
  if (hr != kMediaOk || !file) {
    ReportError(formatText("Can't open file : %s .", {FFileName}), hr);
    return;
  }
  std::unique_ptr<WaveStream> stream;
  hr = file->getAudioStream(stream);
  if (!stream) {
    file.reset();
    ReportError(formatText("Can't open stream : %s .", {FFileName}), hr);
    return;
  }

  const WaveStreamInfo info = stream->info();
  std::unique_ptr<WaveDecoder> decoder;
  MediaResult decoderResult = kMediaOk;
  if (!ChooseDeliveredFormat(*stream, decoder, decoderResult)) {
    stream.reset();
    file.reset();
    ReportError(formatText("Can't decode file : %s .", {FFileName}), decoderResult);
    return;
  }

  lpFormat.assign(stream->format().begin(), stream->format().end());
  const std::uint32_t rate = FWaveFormat.Format.nSamplesPerSec;
  if (decoder) {
    // Whole coded blocks decode to a fixed number of frames each; the byte rate a file states may be
    // rounded, and a length computed from it could promise frames that never come.
    FLength = static_cast<std::int64_t>(info.dwLength) * decoder->framesPerBlock();
    FFrameDelay = rate == 0 ? 0 : clampToInt32(roundHalfEven(999.0 / (static_cast<double>(rate) / FBufferSize)));
  } else {
    FLength = info.dwLength;
    FFrameDelay = clampToInt32(mulDiv(static_cast<std::int64_t>(info.dwScale) * FBufferSize, 1000, info.dwRate));
  }
  FAudioStart = static_cast<std::int32_t>(info.dwStart);
  FAVIFile = std::move(file);
  FAudioStream = std::move(stream);
  FPACMStream = std::move(decoder);
  FOpened = true;
}

void TALWavePlayer::CloseFile() {
  FPACMStream.reset();
  FAudioStream.reset();
  FAVIFile.reset();
  lpFormat.clear();
}

// ---- Playing ----------------------------------------------------------------------------------------

void TALWavePlayer::StartPlaying(bool ARestart) {
  LockSection write = FLock->WriteLock();
  if (!write || FFileName.empty()) return;
  OpenFile();
  if (FPlaySegment->Enabled()) {
    FStartSample = std::min(FPlaySegment->StartSample(), FLength - 1);
    FStopSample = std::min(FPlaySegment->StopSample(), FLength - 1);
  } else {
    FStartSample = FAudioStart;
    FStopSample = FLength - 1;
  }
  FSample = FStartSample;
  FFirstBuffer = true;
  ResetPosition();
  // The spare block is ready before anything goes downstream: a driving output answers the start-pump
  // at once by asking for blocks, and a spare block replaced after those would lose the frames it
  // held for the next one.
  const TALWaveFormat& format = FWaveFormat.Format;
  FInternalBuffer = TALAudioBuffer::CreateSizeEx(format.nSamplesPerSec, FWaveFormat.wValidBitsPerSample,
                                                 format.nChannels, static_cast<std::uint32_t>(FBufferSize),
                                                 FWaveFormat.dwChannelMask);
  FInternalPosition = 0;
  FInternalSize = 0;
  if (FOpened && FOutputPin) {
    AnnounceFormat(ARestart);
    if (FClockSource == TSLClockSource::csInternal && !FIsPump)
      FOutputPin->Notify(newOperation<TOWStartPumpOperation>(FMasterPump));
  }
  OperationRef request =
      newOperation<TOWPumpRequestOperation>(this, ptMaster, FPumpPriority, static_cast<float>(FFrameDelay));
  if (FOutputPin) FOutputPin->Notify(request);
  TakePumpRole(operationAs<TOWPumpRequestOperation>(request.get()));
  if (FFrameDelay == 0) FFrameDelay = 10;
  if (FOpened && !FPaused) StartClock();
  FRunning = true;
}

void TALWavePlayer::AnnounceFormat(bool ARestart) {
  const bool newFormat =
      FRunning && std::memcmp(&FAnnouncedFormat, &FWaveFormat, sizeof(TALWaveFormatExtensible)) != 0;
  if (newFormat && !ARestart) FOutputPin->Stop();
  if (!FRunning || ARestart || newFormat) {
    FOutputPin->Notify(newOperation<TOWStartWaveOperation>(&FWaveFormat, FPaused));
    FAnnouncedFormat = FWaveFormat;
  }
}

void TALWavePlayer::ResetPosition() {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  TALCommonPlayer::ResetPosition();
  // A coded stream is positioned in whole blocks: the block that holds the frame.
  const std::uint32_t framesPerBlock = FPACMStream ? std::max<std::uint32_t>(FPACMStream->framesPerBlock(), 1) : 1;
  FReadPosition = static_cast<std::int32_t>(static_cast<std::uint32_t>(FSample / framesPerBlock));
  FExtractPosition = 0;
  FOldTextStart = -1;
}

std::int32_t TALWavePlayer::ExtractPending(std::uint8_t* ABuffer, std::int32_t ACount, std::uint32_t AFrameBytes) {
  const std::int32_t n = std::min(ACount, FUncompressedLength - FExtractPosition);
  std::memcpy(ABuffer, FUncompressedBuffer.data() + static_cast<std::size_t>(FExtractPosition) * AFrameBytes,
              static_cast<std::size_t>(n) * AFrameBytes);
  FExtractPosition += n;
  if (FExtractPosition >= FUncompressedLength) {
    FExtractPosition = 0;
    FUncompressedBuffer.clear();
  }
  return n;
}

std::int32_t TALWavePlayer::DecodeInPlace(std::uint8_t* ABuffer, std::int32_t ABytes, std::int32_t ACount,
                                          std::uint32_t AFrameBytes) {
  std::uint32_t bound = 0;
  if (FPACMStream->size(static_cast<std::uint32_t>(ABytes), bound) != kMediaOk) return 0;
  FUncompressedBuffer.assign(bound, 0);
  WaveConvertHeader header;
  header.pbSrc = ABuffer;
  header.cbSrcLength = static_cast<std::uint32_t>(ABytes);
  header.pbDst = FUncompressedBuffer.data();
  header.cbDstLength = bound;
  if (FPACMStream->prepareHeader(header) != kMediaOk) return 0;
  const std::uint32_t flags = FFirstBuffer ? (kWaveConvertStart | kWaveConvertBlockAlign) : kWaveConvertBlockAlign;
  FFirstBuffer = false;
  if (FPACMStream->convert(header, flags) != kMediaOk) {
    FPACMStream->unprepareHeader(header);
    return 0;
  }
  const std::uint64_t used = header.cbDstLengthUsed;
  const std::uint64_t asked = static_cast<std::uint64_t>(ACount) * AFrameBytes;
  std::int32_t placed = 0;
  if (used > asked) {
    std::memcpy(ABuffer, FUncompressedBuffer.data(), asked);
    FExtractPosition = ACount;
    FUncompressedLength = static_cast<std::int32_t>(used / AFrameBytes);
    placed = ACount;
  } else if (used > 0) {
    FExtractPosition = 0;
    std::memcpy(ABuffer, FUncompressedBuffer.data(), used);
    placed = static_cast<std::int32_t>(used / AFrameBytes);
  }
  FPACMStream->unprepareHeader(header);
  return placed;
}

std::int32_t TALWavePlayer::ReadSamples(std::uint8_t* ABuffer, std::int32_t ACount) {
  LockSection write = FLock->WriteLock();
  if (!write || ACount <= 0) return 0;
  const std::uint32_t frameBytes = FWaveFormat.Format.nBlockAlign;
  if (frameBytes == 0) return 0;
  std::int32_t delivered = 0;
  if (FExtractPosition != 0) {
    delivered = ExtractPending(ABuffer, ACount, frameBytes);
    if (delivered == ACount) return delivered;
    ABuffer += static_cast<std::size_t>(delivered) * frameBytes;
    ACount -= delivered;
    FExtractPosition = 0;
    FUncompressedBuffer.clear();
  }
  if (!FAudioStream) return delivered;
  const std::int32_t bufferBytes = clampToInt32(static_cast<std::int64_t>(ACount) * frameBytes);
  std::int32_t bytesRead = 0;
  std::int32_t samplesRead = 0;
  if (FAudioStream->read(FReadPosition, ACount, ABuffer, bufferBytes, &bytesRead, &samplesRead) != kMediaOk) return -1;
  FReadPosition += samplesRead;
  if (samplesRead == 0) return delivered;
  if (!FPACMStream) return delivered + samplesRead;
  return delivered + DecodeInPlace(ABuffer, bytesRead, ACount, frameBytes);
}

}  // namespace sib
