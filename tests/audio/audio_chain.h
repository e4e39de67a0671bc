// A producer and a consumer of audio for the pin and amplifier tests: the producer owns an audio source
// pin, the consumer an audio sink pin that records every notification it receives, in order, from any
// thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "audio/audio_buffer.h"
#include "audio/audio_pins.h"
#include "framework/lp_component.h"

namespace sib::test {

class TTestAudioProducer : public TLPComponent {
  SIB_CLASS(TTestAudioProducer, TLPComponent)
 public:
  explicit TTestAudioProducer(TComponent* AOwner)
      : TLPComponent(AOwner), FOutputPin(makePin<TALOWAudioSourcePin>(this, FLock.get())) {}
  void BeforeDestruction() override {
    {
      LockSection stop = FLock->StopLock();
      FOutputPin.reset();
    }
    TLPComponent::BeforeDestruction();
  }
  TALOWAudioSourcePin* OutputPin() const { return FOutputPin.get(); }

 private:
  TOWPinRef<TALOWAudioSourcePin> FOutputPin;
};

// One notification as the consumer saw it.
struct Received {
  std::string Kind;  // "start-wave", "start-rate", "stop", "pause", "resume", "buffer", "other"
  double SampleRate = 0;
  std::vector<std::int16_t> Samples;
  std::int64_t BeginTime = -1;
  std::int64_t EndTime = -1;
};

template <class SinkPin = TALOWAudioSinkPin>
class TTestAudioConsumer : public TLPComponent {
 public:
  explicit TTestAudioConsumer(TComponent* AOwner)
      : TLPComponent(AOwner),
        FInputPin(makePin<SinkPin>(this, FLock.get(),
                                   [this](TOWBasicPin*, const TGUID*, IOWNotifyOperation* Op, TOWNotifyState) {
                                     return Receive(Op);
                                   })) {}
  void BeforeDestruction() override {
    {
      LockSection stop = FLock->StopLock();
      FInputPin.reset();
    }
    TLPComponent::BeforeDestruction();
  }
  SinkPin* InputPin() const { return FInputPin.get(); }

  std::vector<Received> Log() {
    std::lock_guard guard(FMutex);
    return FLog;
  }
  // Waits until `count` buffers have been recorded: a worker thread may still be delivering them.
  void WaitForBuffers(std::size_t count) {
    std::unique_lock guard(FMutex);
    FLogged.wait(guard, [&] { return FBufferCount >= count; });
  }
  std::vector<std::string> Kinds() {
    std::vector<std::string> kinds;
    for (const Received& r : Log()) kinds.push_back(r.Kind);
    return kinds;
  }
  // Runs for each buffer before it is recorded (on the delivering thread).
  std::function<void(const Received&)> OnBuffer;

 private:
  TOWNotifyResult Receive(IOWNotifyOperation* Op) {
    Received r;
    if (auto* wave = operationAs<TOWStartWaveOperation>(Op)) {
      r.Kind = "start-wave";
      r.SampleRate = wave->SampleRate;
    } else if (auto* rate = operationAs<TOWStartSampleRateOperation>(Op)) {
      r.Kind = "start-rate";
      r.SampleRate = rate->SampleRate;
    } else if (operationIs<TOWStopOperation>(Op)) {
      r.Kind = "stop";
    } else if (operationIs<TOWSLPauseOperation>(Op)) {
      r.Kind = "pause";
    } else if (operationIs<TOWSLResumeOperation>(Op)) {
      r.Kind = "resume";
    } else if (auto* supplied = operationAs<TOWSuppliedBufferOperation>(Op)) {
      r.Kind = "buffer";
      RefPtr<TALAudioBuffer> buffer = TALAudioBuffer::CreateUniversal(supplied->Buffer.get());
      const auto* samples = reinterpret_cast<const std::int16_t*>(buffer->Read());
      r.Samples.assign(samples, samples + buffer->GetSize() * buffer->GetChannels());
      if (buffer->GetTimeStamp()->Available()) {
        r.BeginTime = buffer->GetTimeStamp()->BeginTime();
        r.EndTime = buffer->GetTimeStamp()->EndTime();
      }
      if (OnBuffer) OnBuffer(r);
    } else {
      r.Kind = "other";
    }
    {
      std::lock_guard guard(FMutex);
      if (r.Kind == "buffer") ++FBufferCount;
      FLog.push_back(std::move(r));
    }
    FLogged.notify_all();
    return {};
  }

  TOWPinRef<SinkPin> FInputPin;
  std::mutex FMutex;
  std::condition_variable FLogged;
  std::size_t FBufferCount = 0;
  std::vector<Received> FLog;
};

inline RefPtr<TALAudioBuffer> stereo16(const std::vector<std::int16_t>& interleaved, std::uint32_t rate = 44100) {
  return TALAudioBuffer::CreateData(interleaved.data(), rate, 16, 2, static_cast<std::uint32_t>(interleaved.size() / 2));
}

inline TALWaveFormatExtensible stereo16Format(std::uint32_t rate = 44100) {
  TALWaveFormat plain;
  plain.wFormatTag = 1;
  plain.nChannels = 2;
  plain.nSamplesPerSec = rate;
  plain.nAvgBytesPerSec = rate * 4;
  plain.nBlockAlign = 4;
  plain.wBitsPerSample = 16;
  return TOWStartWaveOperation(0.0f, &plain, false).WaveFormat;
}

}  // namespace sib::test
