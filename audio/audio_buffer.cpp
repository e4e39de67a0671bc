#include "audio/audio_buffer.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/core/format.h"
#include "signal/buffer_pool.h"

namespace sib {

namespace {

using samples::TValueForm;
using samples::TValueOp;

constexpr std::uint32_t kMaxFrameBytes = 0xFFFF;  // nBlockAlign is 16 bits wide

TALSpeakers lowestSpeakers(std::int32_t channels) {
  if (channels <= 0) return 0;
  if (channels >= 32) return ~TALSpeakers{0};
  return (TALSpeakers{1} << channels) - 1;
}

// Keeps the first AChannels positions of a mask, looking at positions 0 to 16 only: when the last
// kept position is 15 or lower the positions above it are cleared; otherwise the mask stays.
TALSpeakers trimMask(TALSpeakers mask, std::int32_t channels) {
  if (channels <= 0) return 0;
  std::int32_t found = 0;
  for (unsigned bit = 0; bit <= 16; ++bit) {
    if (!hasSpeaker(mask, bit) || ++found < channels) continue;
    return bit <= 15 ? mask & ((TALSpeakers{2} << bit) - 1) : mask;
  }
  return mask;
}

TALWaveFormatExtensible readHeader(const std::uint8_t* block) {
  TALWaveFormatExtensible header;
  std::memcpy(&header, block, sizeof header);
  return header;
}

// The largest value of a signed container of the width.
std::int64_t largestOf(std::uint32_t width) { return (std::int64_t{1} << (width - 1)) - 1; }

// One sample converted between containers for the channel-mapped copy. Results beyond the target's
// range (the most negative source value, and the 8-bit maximum going to 24 bits) are clamped rather
// than wrapped into a sample of the opposite sign.
template <std::uint32_t From, std::uint32_t To>
std::int64_t convertSample(std::int64_t v) {
  if constexpr (From == To) {
    return v;
  } else if constexpr (From == 8 && To == 16) {
    return v * 257 - 32768;
  } else if constexpr (From == 8 && To == 32) {
    return v * 16843009 - 2147483648LL;
  } else if constexpr (From == 8 && To == 24) {
    return std::min<std::int64_t>((v - 127) * 8388607 / 127, 8388607);
  } else if constexpr (From == 16 && To == 8) {
    return ((v - (v >> 8)) >> 8) - 128;
  } else if constexpr (From == 32 && To == 8) {
    return ((v - (v >> 8)) >> 24) - 128;
  } else if constexpr (From == 24 && To == 8) {
    return v * 127 / 8388607 + 127;
  } else {
    const std::int64_t largest = largestOf(To);
    return std::clamp(v * largest / largestOf(From), -largest - 1, largest);
  }
}

template <std::uint32_t Width>
std::int64_t loadAs(const std::uint8_t* at) {
  if constexpr (Width == 8) return samples::load8(at);
  if constexpr (Width == 16) return samples::load16(at);
  if constexpr (Width == 24) return samples::load24(at);
  if constexpr (Width == 32) return samples::load32(at);
}

template <std::uint32_t Width>
void storeAs(std::uint8_t* at, std::int64_t value) {
  if constexpr (Width == 8) samples::store8(at, value);
  if constexpr (Width == 16) samples::store16(at, value);
  if constexpr (Width == 24) samples::store24(at, value);
  if constexpr (Width == 32) samples::store32(at, value);
}

template <std::uint32_t From, std::uint32_t To>
void convertChannel(const std::uint8_t* source, std::size_t sourceStep, std::uint8_t* target, std::size_t targetStep,
                    std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, source += sourceStep, target += targetStep)
    storeAs<To>(target, convertSample<From, To>(loadAs<From>(source)));
}

template <std::size_t Bytes>
void copyChannel(const std::uint8_t* source, std::size_t sourceStep, std::uint8_t* target, std::size_t targetStep,
                 std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, source += sourceStep, target += targetStep)
    std::memcpy(target, source, Bytes);
}

using ChannelCopy = void (*)(const std::uint8_t*, std::size_t, std::uint8_t*, std::size_t, std::size_t);

template <std::uint32_t From>
ChannelCopy converterFrom(std::uint32_t to) {
  switch (to) {
    case 8:
      return convertChannel<From, 8>;
    case 16:
      return convertChannel<From, 16>;
    case 24:
      return convertChannel<From, 24>;
    case 32:
      return convertChannel<From, 32>;
    default:
      return nullptr;
  }
}

// The loop that copies one channel between containers of the two widths; nullptr when a width
// has no conversion.
ChannelCopy channelCopier(std::uint32_t from, std::uint32_t to) {
  if (from == to) {
    switch (from) {
      case 8:
        return copyChannel<1>;
      case 16:
        return copyChannel<2>;
      case 24:
        return copyChannel<3>;
      case 32:
        return copyChannel<4>;
      default:
        return nullptr;
    }
  }
  switch (from) {
    case 8:
      return converterFrom<8>(to);
    case 16:
      return converterFrom<16>(to);
    case 24:
      return converterFrom<24>(to);
    case 32:
      return converterFrom<32>(to);
    default:
      return nullptr;
  }
}

struct ChannelPair {
  std::uint32_t source;
  std::uint32_t target;
};

// Pairs channels by speaker position: the channels of a frame follow their positions in ascending
// order. Channels beyond a buffer's channel count are never paired, even when its mask names more
// positions than it has channels.
struct ChannelMap {
  std::vector<ChannelPair> pairs;
  std::vector<std::uint32_t> targetOnly;
};

ChannelMap mapChannels(TALSpeakers sourceMask, std::uint32_t sourceChannels, TALSpeakers targetMask,
                       std::uint32_t targetChannels, bool stopWhenComplete) {
  ChannelMap map;
  std::uint32_t source = 0, target = 0;
  for (unsigned position = 0; position < kALSpeakerCount; ++position) {
    const bool inSource = hasSpeaker(sourceMask, position);
    const bool inTarget = hasSpeaker(targetMask, position);
    if (inSource && inTarget) {
      if (source < sourceChannels && target < targetChannels) map.pairs.push_back({source, target});
      if (stopWhenComplete && map.pairs.size() >= sourceChannels && map.pairs.size() >= targetChannels) break;
    } else if (inTarget && target < targetChannels) {
      map.targetOnly.push_back(target);
    }
    source += inSource;
    target += inTarget;
  }
  return map;
}

}  // namespace

// ---- Storage block ----

std::unique_ptr<TALSmartAudioBuffer> TALSmartAudioBuffer::Create(std::uint32_t ASize) {
  return std::make_unique<TALSmartAudioBuffer>(ASize);
}

std::unique_ptr<TALSmartAudioBuffer> TALSmartAudioBuffer::CreateData(const void* AData, std::uint32_t ASize) {
  auto block = Create(ASize);
  if (AData && ASize > 0) std::memcpy(block->GetRawData(), AData, ASize);
  return block;
}

std::unique_ptr<TALSmartAudioBuffer> TALSmartAudioBuffer::CopyOfLocked(TALSmartAudioBuffer& AOther, bool APreserve) {
  auto block = std::make_unique<TALSmartAudioBuffer>(AOther.GetAllocatedSize());
  if (APreserve)
    block->CopyFrom(AOther);
  else
    std::memcpy(block->GetRawData(), AOther.GetRawData(), std::min(AOther.GetAllocatedSize(), kALHeaderSize));
  AOther.CopyTimeDataLocked(*block);
  return block;
}

std::unique_ptr<TALSmartAudioBuffer> TALSmartAudioBuffer::CreateEx(TALSmartAudioBuffer& AOther, bool APreserve) {
  std::lock_guard guard(AOther.FCriticalSection);
  return CopyOfLocked(AOther, APreserve);
}

std::unique_ptr<TSLSmartBuffer> TALSmartAudioBuffer::Clone(bool APreserve) { return CreateEx(*this, APreserve); }

std::uint32_t TALSmartAudioBuffer::GetDataOffset() {
  const std::uint32_t allocated = GetAllocatedSize();
  if (allocated < sizeof(TALWaveFormat)) return allocated;
  std::uint16_t cbSize;
  std::memcpy(&cbSize, GetRawData() + offsetof(TALWaveFormat, cbSize), sizeof cbSize);
  return std::min<std::uint32_t>(cbSize + sizeof(TALWaveFormat), allocated);
}

void TALSmartAudioBuffer::ReleaseMemory() { TSLSmartBufferManager::Instance().ReleaseMemory(); }

// ---- Construction ----

RefPtr<TALAudioBuffer> TALAudioBuffer::CreateFormatted(std::uint32_t ARate, std::int32_t ABitsPerSample,
                                                       std::int32_t AChannels, std::uint32_t ASize, TALSpeakers AMask) {
  const std::int64_t containerBits = ABitsPerSample % 8 > 0 ? (ABitsPerSample / 8 + 1) * 8 : ABitsPerSample;
  const std::int64_t frameBytes = containerBits / 8 * std::int64_t{AChannels};
  if (AChannels < 0 || ABitsPerSample < 0 || containerBits > 0xFFFF || frameBytes > kMaxFrameBytes ||
      AChannels > 0xFFFF)
    throw ERangeError(formatText("Audio format out of range: %d channels of %d bits", {AChannels, ABitsPerSample}));
  const std::uint64_t blockSize = std::uint64_t{ASize} * static_cast<std::uint64_t>(frameBytes) + kALHeaderSize;
  auto block = std::make_unique<TALSmartAudioBuffer>(blockSize);

  TALWaveFormatExtensible header;
  header.Format.wFormatTag = kALWaveFormatExtensible;
  header.Format.nChannels = static_cast<std::uint16_t>(AChannels);
  header.Format.wBitsPerSample = static_cast<std::uint16_t>(containerBits);
  header.Format.nSamplesPerSec = ARate;
  header.Format.nBlockAlign = static_cast<std::uint16_t>(frameBytes);
  header.Format.nAvgBytesPerSec = ARate * static_cast<std::uint32_t>(frameBytes);
  header.Format.cbSize = kALExtensibleSize;
  header.wValidBitsPerSample = static_cast<std::uint16_t>(ABitsPerSample);
  header.dwChannelMask = AMask;
  header.SubFormat = kALSubFormatPcm;
  std::memcpy(block->GetRawData(), &header, sizeof header);

  return Construct<TALAudioBuffer>(std::unique_ptr<TMLSmartMediaBuffer>(std::move(block)),
                                   static_cast<std::uint32_t>(blockSize));
}

RefPtr<TALAudioBuffer> TALAudioBuffer::Create() {
  RefPtr<TALAudioBuffer> buffer = CreateFormatted(11025, 8, 1, 0, speakers({spFrontLeft}));
  return buffer;
}

RefPtr<TALAudioBuffer> TALAudioBuffer::CreateSize(std::uint32_t ARate, std::int32_t ABitsPerSample,
                                                  std::int32_t AChannels, std::uint32_t ASize) {
  return CreateFormatted(ARate, ABitsPerSample, AChannels, ASize, lowestSpeakers(AChannels));
}

RefPtr<TALAudioBuffer> TALAudioBuffer::CreateSizeEx(std::uint32_t ARate, std::int32_t ABitsPerSample,
                                                    std::int32_t AChannels, std::uint32_t ASize,
                                                    TALSpeakers ASpeakerMask) {
  const TALSpeakers mask = ASpeakerMask == 0 ? lowestSpeakers(AChannels) : trimMask(ASpeakerMask, AChannels);
  return CreateFormatted(ARate, ABitsPerSample, AChannels, ASize, mask);
}

RefPtr<TALAudioBuffer> TALAudioBuffer::CreateData(const void* AData, std::uint32_t ARate, std::int32_t ABitsPerSample,
                                                  std::int32_t AChannels, std::uint32_t ASize) {
  return CreateDataEx(AData, ARate, ABitsPerSample, AChannels, ASize, lowestSpeakers(AChannels));
}

RefPtr<TALAudioBuffer> TALAudioBuffer::CreateDataEx(const void* AData, std::uint32_t ARate,
                                                    std::int32_t ABitsPerSample, std::int32_t AChannels,
                                                    std::uint32_t ASize, TALSpeakers ASpeakerMask) {
  RefPtr<TALAudioBuffer> buffer = CreateFormatted(ARate, ABitsPerSample, AChannels, ASize, ASpeakerMask);
  const std::uint32_t bytes = buffer->GetByteSize();
  if (AData && bytes > 0) std::memcpy(buffer->Write(), AData, bytes);
  return buffer;
}

RefPtr<TALAudioBuffer> TALAudioBuffer::CreateWaveFormat(const TALWaveFormatExtensible* AWaveFormat,
                                                        std::uint32_t ASize) {
  if (!AWaveFormat) throw EInvalidOperation("An audio buffer needs a format");
  const TALWaveFormatExtensible format = *AWaveFormat;
  return CreateSizeEx(format.Format.nSamplesPerSec, format.wValidBitsPerSample, format.Format.nChannels, ASize,
                      format.dwChannelMask);
}

RefPtr<TALAudioBuffer> TALAudioBuffer::ViewOf(TSLGenericBuffer& AOther) {
  // Only an audio block starts with a format record; reading one from another block would take
  // arbitrary bytes for the layout of the samples.
  auto* block = dynamic_cast<TALSmartAudioBuffer*>(AOther.DataContainer());
  if (!block) throw EInvalidOperation("The data is not an audio buffer");
  RefPtr<TALAudioBuffer> buffer = Construct<TALAudioBuffer>(static_cast<TMLSmartMediaBuffer*>(block), 0u);
  buffer->SetViewedByteSize(AOther.GetByteSize());
  return buffer;
}

RefPtr<TALAudioBuffer> TALAudioBuffer::CreateEx(TALAudioBuffer& AOther) { return ViewOf(AOther); }

RefPtr<TALAudioBuffer> TALAudioBuffer::CreateCopy(IALAudioBuffer* AOther) { return ViewOf(BufferBehind(AOther)); }

RefPtr<TALAudioBuffer> TALAudioBuffer::CreateUniversal(ISLData* AOther) { return ViewOf(BufferBehind(AOther)); }

RefPtr<ISLData> TALAudioBuffer::MakeCopy() { return AsData(CreateEx(*this)); }

void TALAudioBuffer::Assign(ISLDataBuffer* Other) {
  RefPtr<ISLGenericBuffer> generic = queryInterface<ISLGenericBuffer>(Other);
  if (!dynamic_cast<TALSmartAudioBuffer*>(BufferBehind(generic.get()).DataContainer()))
    throw EInvalidOperation("The data is not an audio buffer");
  TMLMediaBuffer::Assign(Other);
}

// ---- Fields and accessors ----

void TALAudioBuffer::UpdateFields() {
  std::uint8_t* raw = pDataContainer->GetRawData();
  const TALWaveFormatExtensible header = readHeader(raw);
  FWaveFormat = reinterpret_cast<PALWaveFormatExtensible>(raw);
  FChannels = header.Format.nChannels;
  FSampleBitWidth = header.Format.wBitsPerSample;
  FDataStep = header.Format.nBlockAlign;
  FChannelMask = header.dwChannelMask;
  FBitsPerSample = header.wValidBitsPerSample;
  FDataOffset = pDataContainer->GetDataOffset();
  FDataPtr = raw + FDataOffset;
}

std::uint32_t TALAudioBuffer::GetByteSize() { return FCharSize > FDataOffset ? FCharSize - FDataOffset : 0; }

std::uint32_t TALAudioBuffer::GetSize() {
  const std::uint32_t bytes = GetByteSize();
  return bytes == 0 || FDataStep == 0 ? 0 : bytes / FDataStep;
}

std::uint32_t TALAudioBuffer::GetPayloadSize() { return GetByteSize(); }

std::uint32_t TALAudioBuffer::GetSampleRate() { return readHeader(pDataContainer->GetRawData()).Format.nSamplesPerSec; }

void TALAudioBuffer::GetWaveFormat(TALWaveFormatExtensible& AFormat) { AFormat = readHeader(pDataContainer->GetRawData()); }

std::size_t TALAudioBuffer::SampleCount() {
  const std::uint32_t bytes = SampleBytes();
  if (bytes == 0) return 0;
  // The frames hold the channels side by side; never more than the bytes in use.
  return std::min<std::size_t>(std::size_t{GetSize()} * FChannels, GetByteSize() / bytes);
}

std::unique_ptr<TSLSmartBuffer> TALAudioBuffer::CreateDataContainer(std::uint32_t ASize) {
  return TALSmartAudioBuffer::Create(ASize);
}

// ---- Single samples ----

std::int32_t TALAudioBuffer::GetSample(std::uint32_t Index, std::uint32_t Channel) {
  if (Channel >= FChannels) raiseChannelOutOfRange(Channel);
  if (Index >= GetSize()) raiseIndexOutOfRange(Index);
  const std::uint8_t* frame = FDataPtr + std::size_t{Index} * FDataStep;
  if (FBitsPerSample <= 8) return samples::load8(frame + Channel);
  if (FBitsPerSample <= 16) return samples::load16(frame + 2 * Channel);
  const std::uint32_t bytes = SampleBytes();
  const std::uint8_t* at = frame + std::size_t{Channel} * bytes;
  if (bytes >= 4) return samples::load32(at);
  // Three bytes go into the low bytes of a zero value, without sign extension.
  std::uint32_t value = 0;
  std::memcpy(&value, at, bytes);
  return static_cast<std::int32_t>(value);
}

void TALAudioBuffer::SetSample(std::uint32_t Index, std::uint32_t Channel, std::int32_t Value) {
  Modify();
  if (Channel >= FChannels) raiseChannelOutOfRange(Channel);
  if (Index >= GetSize()) raiseIndexOutOfRange(Index);
  std::uint8_t* frame = FDataPtr + std::size_t{Index} * FDataStep;
  if (FBitsPerSample <= 8) return samples::store8(frame + Channel, Value);
  if (FBitsPerSample <= 16) return samples::store16(frame + 2 * Channel, Value);
  const std::uint32_t bytes = SampleBytes();
  const auto bits = static_cast<std::uint32_t>(Value);
  std::memcpy(frame + std::size_t{Channel} * bytes, &bits, std::min<std::uint32_t>(bytes, sizeof bits));
}

// ---- Whole-buffer arithmetic ----

void TALAudioBuffer::ApplyWhole(TValueOp AOp, std::int32_t AValue) {
  std::uint8_t* data = AOp == TValueOp::Set ? Write() : Modify();
  if (!samples::isArithmeticWidth(FSampleBitWidth)) return;
  samples::applyValue(data, SampleCount(), FSampleBitWidth, AOp, AValue);
}

void TALAudioBuffer::SetValue(std::int32_t Value) { ApplyWhole(TValueOp::Set, Value); }
void TALAudioBuffer::AddValue(std::int32_t Value) { ApplyWhole(TValueOp::Add, Value); }
void TALAudioBuffer::SubtractValue(std::int32_t Value) { ApplyWhole(TValueOp::Subtract, Value); }
void TALAudioBuffer::MultiplyValue(std::int32_t Value) { ApplyWhole(TValueOp::Multiply, Value); }
void TALAudioBuffer::DivideValue(std::int32_t Value) { ApplyWhole(TValueOp::Divide, Value); }

void TALAudioBuffer::Zero() {
  std::uint8_t* data = Write();
  if (samples::isArithmeticWidth(FSampleBitWidth)) samples::zero(data, SampleCount(), FSampleBitWidth);
}

void TALAudioBuffer::MultiplyReal(double ACoefficient) {
  std::uint8_t* data = Modify();
  if (ACoefficient == 1.0 || !samples::isArithmeticWidth(FSampleBitWidth)) return;
  samples::multiplyReal(data, SampleCount(), FSampleBitWidth, ACoefficient);
}

void TALAudioBuffer::ApplyChannel(std::uint32_t AChannel, TValueOp AOp, std::int32_t AValue) {
  std::uint8_t* data = Modify();
  if (!samples::isArithmeticWidth(FSampleBitWidth)) return;
  // A channel beyond the frame would reach into the next frame and, at the last one, past the end.
  if (AChannel >= FChannels) raiseChannelOutOfRange(AChannel);
  samples::applyStrided(data + std::size_t{AChannel} * SampleBytes(), GetSize(), FDataStep, FSampleBitWidth, AOp,
                        AValue, TValueForm::Channel);
}

void TALAudioBuffer::SetChannelValue(std::uint32_t Channel, std::int32_t Value) {
  ApplyChannel(Channel, TValueOp::Set, Value);
}
void TALAudioBuffer::AddChannelValue(std::uint32_t Channel, std::int32_t Value) {
  ApplyChannel(Channel, TValueOp::Add, Value);
}
void TALAudioBuffer::SubtractChannelValue(std::uint32_t Channel, std::int32_t Value) {
  ApplyChannel(Channel, TValueOp::Subtract, Value);
}
void TALAudioBuffer::MultiplyChannelValue(std::uint32_t Channel, std::int32_t Value) {
  ApplyChannel(Channel, TValueOp::Multiply, Value);
}
void TALAudioBuffer::DivideChannelValue(std::uint32_t Channel, std::int32_t Value) {
  ApplyChannel(Channel, TValueOp::Divide, Value);
}

// ---- Two-buffer arithmetic ----

namespace {

std::int64_t combine8(std::int64_t d, std::int64_t s, int op) {
  switch (op) {
    case 0:
      return d + s - 127;
    case 1:
      return d - s + 127;
    case 2:
      return (d - 127) * (s - 127) + 127;
    default:
      return s == 127 ? 127 : (d - 127) / (s - 127) + 127;
  }
}

std::int64_t combine16(std::int64_t d, std::int64_t s, int op) {
  constexpr std::int64_t lowest = -32768, highest = 32767;
  switch (op) {
    case 0:
      return std::clamp(d + s, lowest, highest);
    case 1:
      return std::clamp(d - s, lowest, highest);
    case 2:
      return std::clamp(d * s, lowest, highest);
    default:
      if (s == 0) return d > 0 ? highest : d < 0 ? lowest : 0;
      return std::clamp(samples::divideRounded(d, s), lowest, highest);
  }
}

// 24 and 32 bits: the 32-bit result wraps; the store keeps what the container holds.
std::int64_t combineWide(std::int64_t d, std::int64_t s, int op) {
  switch (op) {
    case 0:
      return d + s;
    case 1:
      return d - s;
    case 2:
      return d * s;
    default:
      if (s == 0) raiseDivByZero();
      return d / s;
  }
}

}  // namespace

void TALAudioBuffer::Combine(IALAudioBuffer* AOther, TTwoBufferOp AOp) {
  if (!AOther) throw EInvalidOperation("The operation needs a second buffer");
  // This buffer first: when the other is this buffer, its samples move along.
  std::uint8_t* data = Modify();
  const std::uint32_t otherWidth = AOther->GetSampleBitWidth();
  if (!samples::isArithmeticWidth(FSampleBitWidth) || !samples::isArithmeticWidth(otherWidth)) return;
  const std::uint8_t* other = AOther->Read();
  const std::size_t frames = std::min(AOther->GetSize(), GetSize());
  const std::uint32_t otherChannels = AOther->GetChannels();
  const std::size_t otherStep = AOther->GetDataStep();
  const std::uint32_t bytes = SampleBytes(), otherBytes = otherWidth / 8;

  std::vector<ChannelPair> pairs;
  if (otherChannels == 1) {
    for (std::uint32_t c = 0; c < FChannels; ++c) pairs.push_back({c, 0});
  } else {
    pairs = mapChannels(FChannelMask, FChannels, AOther->GetChannelMask(), otherChannels, false).pairs;
  }
  const int op = static_cast<int>(AOp);
  for (const ChannelPair& pair : pairs) {
    std::uint8_t* d = data + std::size_t{pair.source} * bytes;
    const std::uint8_t* s = other + std::size_t{pair.target} * otherBytes;
    for (std::size_t f = 0; f < frames; ++f, d += FDataStep, s += otherStep) {
      const std::int64_t left = samples::loadSample(d, FSampleBitWidth);
      const std::int64_t right = samples::loadSample(s, otherWidth);
      switch (FSampleBitWidth) {
        case 8:
          samples::store8(d, combine8(left, right, op));
          break;
        case 16:
          samples::store16(d, combine16(left, right, op));
          break;
        case 24:
          samples::store24(d, combineWide(left, right, op));
          break;
        default:
          samples::store32(d, combineWide(left, right, op));
          break;
      }
    }
  }
}

void TALAudioBuffer::Add(IALAudioBuffer* Other) { Combine(Other, TTwoBufferOp::Add); }
void TALAudioBuffer::Subtract(IALAudioBuffer* Other) { Combine(Other, TTwoBufferOp::Subtract); }
void TALAudioBuffer::Multiply(IALAudioBuffer* Other) { Combine(Other, TTwoBufferOp::Multiply); }
void TALAudioBuffer::Divide(IALAudioBuffer* Other) { Combine(Other, TTwoBufferOp::Divide); }

// ---- Copying and resizing ----

void TALAudioBuffer::CopyData(std::uint32_t SourceOffset, ISLDataBuffer* Target, std::uint32_t TargetOffset,
                              std::uint32_t Count) {
  auto* target = Target ? dynamic_cast<TALAudioBuffer*>(Target->GetInstance()) : nullptr;
  if (!target) return TMLMediaBuffer::CopyData(SourceOffset, Target, TargetOffset, Count);
  CopyFrames(*target, SourceOffset, TargetOffset, Count);
}

void TALAudioBuffer::CopyFrames(TALAudioBuffer& ATarget, std::uint32_t ASourceOffset, std::uint32_t ATargetOffset,
                                std::uint32_t ACount) {
  CheckRange(ASourceOffset, ACount, GetSize());
  CheckRange(ATargetOffset, ACount, ATarget.GetSize());
  if (ACount == 0) return;
  // The target first: when it is this buffer, making it unique moves the source along.
  std::uint8_t* target = ATarget.Modify() + std::size_t{ATargetOffset} * ATarget.FDataStep;
  const std::uint8_t* source = Read() + std::size_t{ASourceOffset} * FDataStep;
  const std::size_t sourceBytes = std::size_t{ACount} * FDataStep;

  const ChannelMap map = mapChannels(FChannelMask, FChannels, ATarget.FChannelMask, ATarget.FChannels, true);
  const bool sameLayout = FSampleBitWidth == ATarget.FSampleBitWidth && FDataStep == ATarget.FDataStep &&
                          FChannels == ATarget.FChannels && map.targetOnly.empty() &&
                          map.pairs.size() == FChannels &&
                          std::all_of(map.pairs.begin(), map.pairs.end(),
                                      [](const ChannelPair& p) { return p.source == p.target; }) &&
                          SampleBytes() * FChannels == FDataStep;
  if (sameLayout) {
    std::memmove(target, source, sourceBytes);
    return;
  }
  // Within one block the channel loops could overwrite frames they have yet to read.
  std::vector<std::uint8_t> staging;
  if (ATarget.pDataContainer == pDataContainer) {
    staging.assign(source, source + sourceBytes);
    source = staging.data();
  }
  const std::uint32_t targetBytes = ATarget.SampleBytes();
  for (std::uint32_t channel : map.targetOnly) {
    std::uint8_t* at = target + std::size_t{channel} * targetBytes;
    for (std::uint32_t i = 0; i < ACount; ++i, at += ATarget.FDataStep) std::memset(at, 0, targetBytes);
  }
  const ChannelCopy copier = channelCopier(FSampleBitWidth, ATarget.FSampleBitWidth);
  if (!copier) return;
  for (const ChannelPair& pair : map.pairs)
    copier(source + std::size_t{pair.source} * SampleBytes(), FDataStep,
           target + std::size_t{pair.target} * targetBytes, ATarget.FDataStep, ACount);
}

void TALAudioBuffer::Resize(std::uint32_t Size, bool PreserveData) {
  if (Size == 0) return;
  const TALWaveFormatExtensible header = readHeader(pDataContainer->GetRawData());
  const std::uint64_t needed = std::uint64_t{Size} * FDataStep + FDataOffset;
  if (Size <= GetSize() || (pDataContainer->SingleOwner() && pDataContainer->GetAllocatedSize() >= needed)) {
    FCharSize = static_cast<std::uint32_t>(needed);
    UpdateFields();
    return;
  }
  if (needed > TSLPooledMemory::kMaxBlockSize) throw EOutOfMemory("Out of memory");
  std::unique_ptr<TSLSmartBuffer> block = CreateDataContainer(static_cast<std::uint32_t>(needed));
  std::memcpy(block->GetRawData(), &header, sizeof header);
  if (PreserveData)
    std::memcpy(block->GetRawData(), pDataContainer->GetRawData(),
                std::min(block->GetAllocatedSize(), pDataContainer->GetAllocatedSize()));
  ExchangeDataContainer(block.release());
  FCharSize = static_cast<std::uint32_t>(needed);
}

// ---- Channel buffers ----

template <class Make>
void TALAudioBuffer::FillChannel(std::uint32_t AChannel, Make AMake) {
  if (!samples::isArithmeticWidth(FSampleBitWidth)) return;
  if (AChannel >= FChannels) raiseChannelOutOfRange(AChannel);
  const std::uint32_t count = FDataStep == 0 ? 0 : GetByteSize() / FDataStep;
  const std::uint8_t* at = Read() + std::size_t{AChannel} * SampleBytes();
  auto element = [this](const std::uint8_t* sample) -> std::int32_t {
    const std::int32_t value = samples::loadSample(sample, FSampleBitWidth);
    return FSampleBitWidth == 8 ? value - samples::kZeroLevel8 : value;
  };
  AMake(count, [&](std::uint32_t i) { return element(at + std::size_t{i} * FDataStep); });
}

void TALAudioBuffer::GetChannelIntegerBuffer(std::uint32_t Channel, RefPtr<ISLIntegerBuffer>& Result) {
  FillChannel(Channel, [&Result](std::uint32_t count, auto sample) {
    RefPtr<TSLIntegerBuffer> buffer = TSLIntegerBuffer::CreateSize(count);
    std::int32_t* data = buffer->Write();
    for (std::uint32_t i = 0; i < count; ++i) data[i] = sample(i);
    Result = buffer;
  });
}

void TALAudioBuffer::GetChannelRealBuffer(std::uint32_t Channel, RefPtr<ISLRealBuffer>& Result) {
  FillChannel(Channel, [&Result](std::uint32_t count, auto sample) {
    RefPtr<TSLRealBuffer> buffer = TSLRealBuffer::CreateSize(count);
    double* data = buffer->Write();
    for (std::uint32_t i = 0; i < count; ++i) data[i] = sample(i);
    Result = buffer;
  });
}

}  // namespace sib
