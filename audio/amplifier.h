// The audio filter base (TALCommonFilter) and the program's one filter, the amplifier (TALAmplifier).
//
// An audio filter sits between an audio source and an audio sink. It takes the stream's format from
// the start-wave that opens each run, stamps the time span of every buffer that arrives without one
// (a running clock from 0 at each start and stop, in 100-nanosecond units), processes each buffer
// into a copy and sends that on. Notifications from upstream (pump requests, pause, resume, stops)
// pass on downstream; those from downstream go upstream, master-pump requests at once.
//
// A concrete filter overrides ProcessAudio. All handlers run on the delivering thread under the
// component's write lock; with Threading.Enabled the processing moves to the filter's worker.
#pragma once

#include <cstdint>

#include "audio/audio_buffer.h"
#include "audio/audio_pins.h"
#include "signal/filter_thread.h"

namespace sib {

class TALCommonFilter : public TSLBasicCommonFilter {
  SIB_CLASS(TALCommonFilter, TSLBasicCommonFilter)
 public:
  explicit TALCommonFilter(TComponent* AOwner);

  static TPropertyList PublishedProperties() {
    return {prop("InputPin", &TALCommonFilter::InputPin), prop("OutputPin", &TALCommonFilter::OutputPin)};
  }
  TALOWAudioSinkPin* InputPin() const { return FInputPin.get(); }
  TALOWAudioSourcePin* OutputPin() const { return FOutputPin.get(); }
  // The format of the current run.
  const TALWaveFormatExtensible* GetWaveFormat() const { return &FWaveFormat; }

  void BeforeDestruction() override;
  TOWNotifyResult InputNotification(TOWBasicPin* Sender, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                    TOWNotifyState State) override;
  // Operations arriving at the output pin from downstream.
  virtual TOWNotifyResult OutputNotification(TOWBasicPin* Sender, const TGUID* DataTypeID,
                                             IOWNotifyOperation* Operation, TOWNotifyState State);

 protected:
  virtual void DoProcessAudio(IALAudioBuffer* AIn, RefPtr<IALAudioBuffer>& AOut, bool AActive, bool& ASend);
  // AOut starts as a view of AIn's block; ASend false drops the block.
  virtual void ProcessAudio(IALAudioBuffer*, RefPtr<IALAudioBuffer>&, bool&) {}
  virtual bool SkipWhenUnconnected() { return true; }
  virtual void StartWave(TOWStartWaveOperation* AOperation);
  virtual TOWNotifyResult ForwardMasterPump(IOWNotifyOperation* AOperation);
  virtual bool ForwardsStartWave() { return true; }

  TOWNotifyResult ProcessOperation(IOWNotifyOperation* Operation) override;
  TOWNotifyResult ProcessData(ISLDataBuffer* AIn, ISLDataBuffer* AOut) override;
  TOWSourcePin* GetOutputPin() override { return FOutputPin.get(); }
  void StopThread() override;
  void DestroyPins() override;

  // Stamps the buffer's time span when it has none, else takes the clock from it. Write lock held.
  void StampTime(IALAudioBuffer* ABuffer);

  TOWPinRef<TALOWAudioSinkPin> FInputPin;
  TOWPinRef<TALOWAudioSourcePin> FOutputPin;
  TALWaveFormatExtensible FWaveFormat;
  std::int64_t FCurrentTime = 0;
  bool FStartSent = false;
};

// Multiplies every sample by Coefficient, rounding halves to even and wrapping in the container width.
// A coefficient written on another thread applies from the next block on.
class TALAmplifier : public TALCommonFilter {
  SIB_CLASS(TALAmplifier, TALCommonFilter)
 public:
  explicit TALAmplifier(TComponent* AOwner);

  static TPropertyList PublishedProperties() {
    return {prop("Coefficient", &TALAmplifier::Coefficient, &TALAmplifier::SetCoefficient)};
  }
  double Coefficient() const { return FLock->Getter(FCoefficient); }
  void SetCoefficient(double AValue) { FLock->Setter(FCoefficient, AValue, {}); }

  void BeforeDestruction() override;
  // Also reads the older key "CoefficientValue", which is never written.
  void DefineProperties(TFiler& Filer) override;

 protected:
  void ProcessAudio(IALAudioBuffer* AIn, RefPtr<IALAudioBuffer>& AOut, bool& ASend) override;

 private:
  double FCoefficient = 1.0;
};

}  // namespace sib
