// Audio pins: the audio stream type and its registration, the audio source and sink pins every audio
// component uses, the start-wave notification that announces a stream's format before its first
// buffer, and the converters that let an audio source feed integer, real or byte consumers.
//
// A player or filter sends with its TALOWAudioSourcePin:
//
//   FOutputPin->Notify(newOperation<TOWStartWaveOperation>(&format, /*APaused=*/true));
//   FOutputPin->SubmitBuffer(buffer->AsDataIntf());      // one block
//   FOutputPin->Notify(newOperation<TOWSLResumeOperation>());
//   FOutputPin->Stop();
//
// and a filter or the output receives everything on its TALOWAudioSinkPin's operation event, on the
// sender's thread: the start-wave (its WaveFormat), supplied buffers (TALAudioBuffer::CreateUniversal
// over the notification's Buffer), pause, resume and stop. A sink that connects to a running source is
// first sent the source's last start-wave and then its last resume.
#pragma once

#include "audio/wave_format_extensible.h"
#include "signal/signal_pins.h"

namespace sib {

class IOWALAudioStream : public IOWSLChannelStream {
 public:
  static constexpr TGUID IID = "{1D5BD085-492E-4979-8F76-9C97D5C3C5B6}"_guid;
  using Parent = IOWSLChannelStream;
};

// Registers the audio stream ("AL Audio stream", the common signal send function) and its three
// converters. Runs once; every audio pin's constructor calls it.
void ALRegisterAudioStreamTypes();

// A start that carries the format of the buffers that follow.
class TOWStartWaveOperation : public TOWStartSampleRateOperation {
 public:
  // SampleRate is the record's frame rate. Without a record, the default format below.
  TOWStartWaveOperation(const TALWaveFormatExtensible* AWaveFormat, bool APaused);
  // SampleRate is ABufferRate; the extensible record is built from the plain 18-byte format (integer
  // PCM, the lowest nChannels speaker bits). Without a format, the default format.
  TOWStartWaveOperation(float ABufferRate, const TALWaveFormat* AWaveFormat, bool APaused);

  // Stereo 16-bit integer PCM at 11024 frames/s.
  static TALWaveFormatExtensible DefaultWaveFormat();

  TALWaveFormatExtensible WaveFormat;
  bool Paused;
};

class TALOWAudioSourcePin : public TSLOWTypedPin<TSLOWSourcePin, IOWALAudioStream> {
 public:
  TALOWAudioSourcePin(TComponent* AOwner, IOWLock* AOwnerLock, TSLOperationEvent AOperationEvent = {});

  // Also remembers the last resume, forgotten on a stop.
  TOWNotifyResult Notify(IOWNotifyOperation* Operation) override;
  using TOWBasicPin::Notify;
  // After the remembered start, a joining sink is sent the remembered resume.
  void AddConnection(TOWBasicPin* APin, TOWBasicPin* AAfterPin) override;
  OperationRef ResumeOperation();

 protected:
  OperationRef FResumeOperation;
};

class TALOWAudioSinkPin : public TSLOWTypedPin<TSLOWSinkPin, IOWALAudioStream> {
 public:
  TALOWAudioSinkPin(TComponent* AOwner, IOWLock* AOwnerLock, TSLOperationEvent AOperationEvent = {});
};

class TOWAudioToIntFormatConverter : public TSLOWPinConverter<TALOWAudioSinkPin, TSLOWIntegerSourcePin> {
  SIB_CLASS(TOWAudioToIntFormatConverter, TSLOWFormatConverter)
 public:
  using TSLOWPinConverter::TSLOWPinConverter;

 protected:
  // Channel 0 as integers.
  RefPtr<ISLData> ConvertBuffer(ISLData* ABuffer) override;
};

class TOWAudioToRealFormatConverter : public TSLOWPinConverter<TALOWAudioSinkPin, TSLOWRealSourcePin> {
  SIB_CLASS(TOWAudioToRealFormatConverter, TSLOWFormatConverter)
 public:
  using TSLOWPinConverter::TSLOWPinConverter;

 protected:
  // Channel 0 as reals.
  RefPtr<ISLData> ConvertBuffer(ISLData* ABuffer) override;
};

class TOWAudioToBinaryFormatConverter : public TSLOWPinConverter<TALOWAudioSinkPin, TSLOWBinarySourcePin> {
  SIB_CLASS(TOWAudioToBinaryFormatConverter, TSLOWFormatConverter)
 public:
  using TSLOWPinConverter::TSLOWPinConverter;

 protected:
  // The same sample bytes as a byte buffer; nothing is copied.
  RefPtr<ISLData> ConvertBuffer(ISLData* ABuffer) override;
};

}  // namespace sib
