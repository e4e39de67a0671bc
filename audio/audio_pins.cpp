#include "audio/audio_pins.h"

#include <mutex>

#include "audio/audio_buffer.h"
#include "signal/block_buffer.h"

namespace sib {
namespace {

void registerOnce() {
  SLRegisterSignalStreamTypes();
  OWRegisterStreamType(IOWALAudioStream::IID, "AL Audio stream");
  OWRegisterStreamTypeSendFunction(IOWALAudioStream::IID, &SLSendSignal);
  OWRegisterFormatConverter(IOWALAudioStream::IID, IOWSLIntegerStream::IID,
                            &createFormatConverter<TOWAudioToIntFormatConverter>);
  OWRegisterFormatConverter(IOWALAudioStream::IID, IOWSLRealStream::IID,
                            &createFormatConverter<TOWAudioToRealFormatConverter>);
  OWRegisterFormatConverter(IOWALAudioStream::IID, IOWSLBinaryStream::IID,
                            &createFormatConverter<TOWAudioToBinaryFormatConverter>);
}

TALWaveFormatExtensible extensibleFrom(const TALWaveFormat& AFormat) {
  TALWaveFormatExtensible result;
  result.Format = AFormat;
  result.Format.wFormatTag = kALWaveFormatExtensible;
  result.Format.cbSize = kALExtensibleSize;
  result.wValidBitsPerSample = AFormat.wBitsPerSample;
  result.dwChannelMask = AFormat.nChannels >= 32 ? 0xFFFFFFFFu : (1u << AFormat.nChannels) - 1u;
  result.SubFormat = kALSubFormatPcm;
  return result;
}

}  // namespace

void ALRegisterAudioStreamTypes() {
  static std::once_flag once;
  std::call_once(once, registerOnce);
}

// ---- TOWStartWaveOperation ----------------------------------------------------------------------------

TALWaveFormatExtensible TOWStartWaveOperation::DefaultWaveFormat() {
  TALWaveFormat plain;
  plain.nChannels = 2;
  plain.nSamplesPerSec = 11024;
  plain.nAvgBytesPerSec = 44096;
  plain.nBlockAlign = 4;
  plain.wBitsPerSample = 16;
  return extensibleFrom(plain);
}

TOWStartWaveOperation::TOWStartWaveOperation(const TALWaveFormatExtensible* AWaveFormat, bool APaused)
    : TOWStartSampleRateOperation(AWaveFormat ? AWaveFormat->Format.nSamplesPerSec
                                              : DefaultWaveFormat().Format.nSamplesPerSec),
      WaveFormat(AWaveFormat ? *AWaveFormat : DefaultWaveFormat()),
      Paused(APaused) {}

TOWStartWaveOperation::TOWStartWaveOperation(float ABufferRate, const TALWaveFormat* AWaveFormat, bool APaused)
    : TOWStartSampleRateOperation(ABufferRate),
      WaveFormat(AWaveFormat ? extensibleFrom(*AWaveFormat) : DefaultWaveFormat()),
      Paused(APaused) {}

// ---- Pins -------------------------------------------------------------------------------------------

TALOWAudioSourcePin::TALOWAudioSourcePin(TComponent* AOwner, IOWLock* AOwnerLock, TSLOperationEvent AOperationEvent)
    : TSLOWTypedPin(AOwner, AOwnerLock, std::move(AOperationEvent)) {
  ALRegisterAudioStreamTypes();
  AddStreamType(IOWALAudioStream::IID, DataSubmit());
}

TOWNotifyResult TALOWAudioSourcePin::Notify(IOWNotifyOperation* Operation) {
  const TOWNotifyResult result = TSLOWSourcePin::Notify(Operation);
  if (operationIs<TOWSLResumeOperation>(Operation)) {
    LockSection write = WriteLock();
    FResumeOperation = OperationRef(Operation);
  } else if (operationIs<TOWStopOperation>(Operation)) {
    LockSection write = WriteLock();
    FResumeOperation.reset();
  }
  return result;
}

OperationRef TALOWAudioSourcePin::ResumeOperation() {
  LockSection read = ReadLock();
  return FResumeOperation;
}

void TALOWAudioSourcePin::AddConnection(TOWBasicPin* APin, TOWBasicPin* AAfterPin) {
  TSLOWSourcePin::AddConnection(APin, AAfterPin);
  SendTo(APin, ResumeOperation());
}

TALOWAudioSinkPin::TALOWAudioSinkPin(TComponent* AOwner, IOWLock* AOwnerLock, TSLOperationEvent AOperationEvent)
    : TSLOWTypedPin(AOwner, AOwnerLock, std::move(AOperationEvent)) {
  ALRegisterAudioStreamTypes();
  AddStreamType(IOWALAudioStream::IID, DataSubmit());
}

// ---- Converters -------------------------------------------------------------------------------------

RefPtr<ISLData> TOWAudioToIntFormatConverter::ConvertBuffer(ISLData* ABuffer) {
  RefPtr<ISLIntegerBuffer> channel;
  TALAudioBuffer::CreateUniversal(ABuffer)->GetChannelIntegerBuffer(0, channel);
  return channel ? queryInterface<ISLData>(channel.get()) : RefPtr<ISLData>();
}

RefPtr<ISLData> TOWAudioToRealFormatConverter::ConvertBuffer(ISLData* ABuffer) {
  RefPtr<ISLRealBuffer> channel;
  TALAudioBuffer::CreateUniversal(ABuffer)->GetChannelRealBuffer(0, channel);
  return channel ? queryInterface<ISLData>(channel.get()) : RefPtr<ISLData>();
}

RefPtr<ISLData> TOWAudioToBinaryFormatConverter::ConvertBuffer(ISLData* ABuffer) {
  return RefPtr<ISLData>(TSLBlockBuffer::CreateUniversal(ABuffer)->AsDataIntf());
}

}  // namespace sib
