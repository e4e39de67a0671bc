// The audio buffer: a reference-counted, copy-on-write buffer of interleaved frames whose storage
// block starts with the 40-byte format record (wave_format_extensible.h), the samples directly
// behind it. `IALAudioBuffer` lists every operation in slot order; `TALAudioBuffer` implements it on
// `TALSmartAudioBuffer` blocks from the process-wide pool.
//
// Components pass buffers as `IALAudioBuffer` references; wrapping one that arrived on a pin
// (`CreateUniversal`), copying (`MakeCopy`) and assigning share the block and copy no samples; the
// first write (`Write`, `Modify`, any arithmetic) gives the writer a private block. The sample
// arithmetic itself is in sample_kernels.h.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/media_buffer.h"
#include "audio/sample_kernels.h"
#include "audio/wave_format_extensible.h"
#include "signal/integer_buffer.h"
#include "signal/real_buffer.h"

namespace sib {

class IALAudioBuffer : public IMLMediaBuffer {
 public:
  static constexpr TGUID IID = "{49372BB8-FFDD-437C-A9D3-BA5DFB8A3B97}"_guid;
  using Parent = IMLMediaBuffer;

  virtual std::uint32_t GetChannels() = 0;
  // Significant bits per sample.
  virtual std::uint32_t GetBitsPerSample() = 0;
  virtual std::uint32_t GetSampleRate() = 0;
  // Bytes per frame.
  virtual std::uint32_t GetDataStep() = 0;
  virtual TALSpeakers GetChannelMask() = 0;
  // Container bits per sample.
  virtual std::uint32_t GetSampleBitWidth() = 0;
  virtual void GetWaveFormat(TALWaveFormatExtensible& AFormat) = 0;
  virtual std::uint32_t GetHeaderSize() = 0;
  // The first sample byte; Write and Modify make the block private first (Write without keeping the
  // samples, Modify keeping them; the format is kept either way).
  virtual const std::uint8_t* Read() = 0;
  virtual std::uint8_t* Write() = 0;
  virtual std::uint8_t* Modify() = 0;
  // Raise ERangeError "Channel out of range = %u", then "Index out of range = %u".
  virtual std::int32_t GetSample(std::uint32_t Index, std::uint32_t Channel) = 0;
  virtual void SetSample(std::uint32_t Index, std::uint32_t Channel, std::int32_t Value) = 0;
  virtual void Add(IALAudioBuffer* Other) = 0;
  virtual void Subtract(IALAudioBuffer* Other) = 0;
  virtual void Multiply(IALAudioBuffer* Other) = 0;
  virtual void Divide(IALAudioBuffer* Other) = 0;
  virtual void SetValue(std::int32_t Value) = 0;
  virtual void AddValue(std::int32_t Value) = 0;
  virtual void SubtractValue(std::int32_t Value) = 0;
  virtual void MultiplyValue(std::int32_t Value) = 0;
  virtual void DivideValue(std::int32_t Value) = 0;
  virtual void SetChannelValue(std::uint32_t Channel, std::int32_t Value) = 0;
  virtual void AddChannelValue(std::uint32_t Channel, std::int32_t Value) = 0;
  virtual void SubtractChannelValue(std::uint32_t Channel, std::int32_t Value) = 0;
  virtual void MultiplyChannelValue(std::uint32_t Channel, std::int32_t Value) = 0;
  virtual void DivideChannelValue(std::uint32_t Channel, std::int32_t Value) = 0;
  virtual void Zero() = 0;
  // Every sample times ACoefficient in double precision, rounded with halves to even, keeping the
  // low bits of the container (no clamping). Gives the buffer a private block even at 1.0.
  virtual void MultiplyReal(double ACoefficient) = 0;
  // Sets the number of frames; the format stays.
  virtual void Resize(std::uint32_t Size, bool PreserveData) = 0;
  // New buffers holding one channel's samples (8-bit as byte - 127); Result is left alone for a
  // container width other than 8, 16, 24 or 32.
  virtual void GetChannelIntegerBuffer(std::uint32_t Channel, RefPtr<ISLIntegerBuffer>& Result) = 0;
  virtual void GetChannelRealBuffer(std::uint32_t Channel, RefPtr<ISLRealBuffer>& Result) = 0;
};

// The storage block of an audio buffer: pooled memory, format record first.
class TALSmartAudioBuffer : public TMLSmartMediaBuffer {
 public:
  explicit TALSmartAudioBuffer(std::uint64_t ASize) : FMemory(ASize) {}

  static std::unique_ptr<TALSmartAudioBuffer> Create(std::uint32_t ASize);
  // Allocates, then copies ASize bytes from AData.
  static std::unique_ptr<TALSmartAudioBuffer> CreateData(const void* AData, std::uint32_t ASize);
  // A block of AOther's allocated size with its time stamp; all of AOther's bytes copied when
  // APreserve, otherwise only the format record.
  static std::unique_ptr<TALSmartAudioBuffer> CreateEx(TALSmartAudioBuffer& AOther, bool APreserve);

  // Holds the block's lock while cloning, so that the clone's time stamp is a consistent copy.
  std::unique_ptr<TSLSmartBuffer> Clone(bool APreserve) override;
  std::uint8_t* GetRawData() override { return FMemory.Data(); }
  std::uint32_t GetAllocatedSize() override { return FMemory.Size(); }
  // The size of the format record (cbSize + 18), within the block.
  std::uint32_t GetDataOffset() override;

  void CopyFrom(TALSmartAudioBuffer& AOther) { FMemory.CopyFrom(AOther.FMemory); }
  static void ReleaseMemory();

 private:
  // Called with AOther's lock held.
  static std::unique_ptr<TALSmartAudioBuffer> CopyOfLocked(TALSmartAudioBuffer& AOther, bool APreserve);

  TSLPooledMemory FMemory;
};

class TALAudioBuffer : public TSLWithInterface<TMLMediaBuffer, IALAudioBuffer> {
 public:
  using TSLWithInterface::TSLWithInterface;

  // Sizes count frames, rates frames per second. ABitsPerSample are the valid bits; the container
  // is the next multiple of 8. Raise EOutOfMemory when the block cannot be had and ERangeError for
  // a negative channel count or a frame wider than the format record can describe.
  static RefPtr<TALAudioBuffer> Create();
  static RefPtr<TALAudioBuffer> CreateSize(std::uint32_t ARate, std::int32_t ABitsPerSample, std::int32_t AChannels,
                                           std::uint32_t ASize);
  // A mask that is not empty is trimmed to AChannels positions; 0 means the lowest AChannels bits.
  static RefPtr<TALAudioBuffer> CreateSizeEx(std::uint32_t ARate, std::int32_t ABitsPerSample,
                                             std::int32_t AChannels, std::uint32_t ASize, TALSpeakers ASpeakerMask);
  static RefPtr<TALAudioBuffer> CreateData(const void* AData, std::uint32_t ARate, std::int32_t ABitsPerSample,
                                           std::int32_t AChannels, std::uint32_t ASize);
  // The mask is stored exactly as given.
  static RefPtr<TALAudioBuffer> CreateDataEx(const void* AData, std::uint32_t ARate, std::int32_t ABitsPerSample,
                                             std::int32_t AChannels, std::uint32_t ASize, TALSpeakers ASpeakerMask);
  static RefPtr<TALAudioBuffer> CreateWaveFormat(const TALWaveFormatExtensible* AWaveFormat, std::uint32_t ASize);
  // Views of another buffer's block. Raise EInvalidOperation unless the block is an audio block.
  static RefPtr<TALAudioBuffer> CreateEx(TALAudioBuffer& AOther);
  static RefPtr<TALAudioBuffer> CreateCopy(IALAudioBuffer* AOther);
  static RefPtr<TALAudioBuffer> CreateUniversal(ISLData* AOther);

  RefPtr<ISLData> MakeCopy() override;
  // Into another audio buffer, offsets and Count are frames and the copy is channel-mapped.
  void CopyData(std::uint32_t SourceOffset, ISLDataBuffer* Target, std::uint32_t TargetOffset,
                std::uint32_t Count) override;
  // Raises EInvalidOperation unless Other's block is an audio block.
  void Assign(ISLDataBuffer* Other) override;
  std::uint32_t GetByteSize() override;
  std::uint32_t GetSize() override;
  void UpdateFields() override;
  TMLTimeStamp* GetTimeStamp() override { return TMLMediaBuffer::GetTimeStamp(); }

  std::uint32_t GetChannels() override { return FChannels; }
  std::uint32_t GetBitsPerSample() override { return FBitsPerSample; }
  std::uint32_t GetSampleRate() override;
  std::uint32_t GetDataStep() override { return FDataStep; }
  TALSpeakers GetChannelMask() override { return FChannelMask; }
  std::uint32_t GetSampleBitWidth() override { return FSampleBitWidth; }
  void GetWaveFormat(TALWaveFormatExtensible& AFormat) override;
  std::uint32_t GetHeaderSize() override { return FDataOffset; }
  const std::uint8_t* Read() override { return FDataPtr; }
  std::uint8_t* Write() override { return ByteWrite(); }
  std::uint8_t* Modify() override { return ByteModify(); }
  std::int32_t GetSample(std::uint32_t Index, std::uint32_t Channel) override;
  void SetSample(std::uint32_t Index, std::uint32_t Channel, std::int32_t Value) override;
  void Add(IALAudioBuffer* Other) override;
  void Subtract(IALAudioBuffer* Other) override;
  void Multiply(IALAudioBuffer* Other) override;
  void Divide(IALAudioBuffer* Other) override;
  void SetValue(std::int32_t Value) override;
  void AddValue(std::int32_t Value) override;
  void SubtractValue(std::int32_t Value) override;
  void MultiplyValue(std::int32_t Value) override;
  void DivideValue(std::int32_t Value) override;
  void SetChannelValue(std::uint32_t Channel, std::int32_t Value) override;
  void AddChannelValue(std::uint32_t Channel, std::int32_t Value) override;
  void SubtractChannelValue(std::uint32_t Channel, std::int32_t Value) override;
  void MultiplyChannelValue(std::uint32_t Channel, std::int32_t Value) override;
  void DivideChannelValue(std::uint32_t Channel, std::int32_t Value) override;
  void Zero() override;
  void MultiplyReal(double ACoefficient) override;
  void Resize(std::uint32_t Size, bool PreserveData) override;
  void GetChannelIntegerBuffer(std::uint32_t Channel, RefPtr<ISLIntegerBuffer>& Result) override;
  void GetChannelRealBuffer(std::uint32_t Channel, RefPtr<ISLRealBuffer>& Result) override;

  // A new block of ASize bytes.
  virtual std::unique_ptr<TSLSmartBuffer> CreateDataContainer(std::uint32_t ASize);
  // Bytes in use after the format record.
  virtual std::uint32_t GetPayloadSize();

 protected:
  void SetViewedByteSize(std::uint32_t ABytes) override { FCharSize = ABytes + FDataOffset; }

 private:
  enum class TTwoBufferOp : std::uint8_t { Add, Subtract, Multiply, Divide };

  static RefPtr<TALAudioBuffer> CreateFormatted(std::uint32_t ARate, std::int32_t ABitsPerSample,
                                                std::int32_t AChannels, std::uint32_t ASize, TALSpeakers AMask);
  static RefPtr<TALAudioBuffer> ViewOf(TSLGenericBuffer& AOther);
  void ApplyWhole(samples::TValueOp AOp, std::int32_t AValue);
  void ApplyChannel(std::uint32_t AChannel, samples::TValueOp AOp, std::int32_t AValue);
  void Combine(IALAudioBuffer* AOther, TTwoBufferOp AOp);
  void CopyFrames(TALAudioBuffer& ATarget, std::uint32_t ASourceOffset, std::uint32_t ATargetOffset,
                  std::uint32_t ACount);
  // Samples of the whole buffer the arithmetic works on.
  std::size_t SampleCount();
  std::uint32_t SampleBytes() const { return FSampleBitWidth / 8; }
  template <class Make>
  void FillChannel(std::uint32_t AChannel, Make AMake);

  std::uint32_t FChannels = 0;
  std::uint32_t FBitsPerSample = 0;
  TALSpeakers FChannelMask = 0;
  std::uint32_t FSampleBitWidth = 0;
  std::uint32_t FDataStep = 0;
  std::uint32_t FDataOffset = 0;
  PALWaveFormatExtensible FWaveFormat = nullptr;
};

}  // namespace sib
