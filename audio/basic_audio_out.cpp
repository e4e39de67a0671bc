#include "audio/basic_audio_out.h"

#include "platform/components/filer.h"

namespace sib {

TALBasicAudioOut::TALBasicAudioOut(TComponent* AOwner)
    : TLPComponent(AOwner), FMasterPumping(std::make_unique<TLPMasterPumping>(this)) {
  FInputPin = makePin<TALOWAudioSinkPin>(
      this, FLock.get(), [this](TOWBasicPin* Sender, const TGUID* ID, IOWNotifyOperation* Op, TOWNotifyState State) {
        return InputNotify(Sender, ID, Op, State);
      });
  FEnablePin = makePin<TOWBoolStatePin>(this, FLock.get(),
                                        TOWBoolChangeEvent([this](TOWPin*, bool AValue) { SetEnabled(AValue); }));
  FClockOutputPin = makePin<TOWClockSourcePin>(this, FLock.get());
}

TALBasicAudioOut::~TALBasicAudioOut() = default;

void TALBasicAudioOut::SetEnabled(bool Value) {
  FLock->Setter(FEnabled, Value, TLPPropUpdateFunc(this, &TALBasicAudioOut::EnabledChanged));
}

void TALBasicAudioOut::SetWaveFormat(const TALWaveFormatExtensible* AFormat) {
  if (AFormat) FWaveFormat = *AFormat;
  else FWaveFormat.reset();
}

void TALBasicAudioOut::DefineProperties(TFiler& Filer) {
  TLPComponent::DefineProperties(Filer);
  Filer.DefineProperty(
      "PumpPriority", [this](TReader& Reader) { FMasterPumping->SetPriority(Reader.ReadInteger()); }, {}, false);
  Filer.DefineProperty(
      "EnableMasterPumping", [this](TReader& Reader) { FMasterPumping->SetEnabled(Reader.ReadBoolean()); }, {}, false);
  Filer.DefineProperty("PreFillEnabled", [](TReader& Reader) { Reader.ReadBoolean(); }, {}, false);
}

void TALBasicAudioOut::BeforeDestruction() {
  {
    LockSection stop = FLock->StopLock();
    FInputPin.reset();
    FEnablePin.reset();
    FClockOutputPin.reset();
  }
  TLPComponent::BeforeDestruction();
}

}  // namespace sib
