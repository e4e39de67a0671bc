// TALBasicAudioOut: what every audio output has, without a device: its input pin, its Enabled
// switch and the pin that sets it, the clock output pin, the master-pumping settings and the format
// of the last start-wave. TALAudioOut (audio/audio_out.h) adds the device.
#pragma once

#include <memory>
#include <optional>

#include "audio/audio_pins.h"
#include "audio/wave_format_extensible.h"
#include "framework/lp_component.h"
#include "framework/value_pins.h"

namespace sib {

class TALBasicAudioOut : public TLPComponent {
  SIB_CLASS(TALBasicAudioOut, TLPComponent)
 public:
  explicit TALBasicAudioOut(TComponent* AOwner);
  ~TALBasicAudioOut() override;

  static TPropertyList PublishedProperties() {
    return {
        prop("Enabled", &TALBasicAudioOut::Enabled, &TALBasicAudioOut::SetEnabled).defaultValue(true),
        prop("MasterPumping", &TALBasicAudioOut::MasterPumping, &TALBasicAudioOut::SetMasterPumping),
        prop("InputPin", &TALBasicAudioOut::InputPin),
        prop("EnablePin", &TALBasicAudioOut::EnablePin),
        prop("ClockOutputPin", &TALBasicAudioOut::ClockOutputPin),
    };
  }
  bool Enabled() const { return FLock->Getter(FEnabled); }
  void SetEnabled(bool Value);
  TLPMasterPumping* MasterPumping() const { return FMasterPumping.get(); }
  void SetMasterPumping(TLPMasterPumping* Value) { FMasterPumping->Assign(Value); }
  TALOWAudioSinkPin* InputPin() const { return FInputPin.get(); }
  TOWBoolStatePin* EnablePin() const { return FEnablePin.get(); }
  TOWClockSourcePin* ClockOutputPin() const { return FClockOutputPin.get(); }

  // Reads the keys of older versions: "PumpPriority", "EnableMasterPumping", "PreFillEnabled".
  void DefineProperties(TFiler& Filer) override;
  void BeforeDestruction() override;

 protected:
  virtual void EnabledChanged() {}
  virtual TOWNotifyResult InputNotify(TOWBasicPin*, const TGUID*, IOWNotifyOperation*, TOWNotifyState) { return {}; }
  void SetWaveFormat(const TALWaveFormatExtensible* AFormat);

  TOWPinRef<TALOWAudioSinkPin> FInputPin;
  TOWPinRef<TOWBoolStatePin> FEnablePin;
  TOWPinRef<TOWClockSourcePin> FClockOutputPin;
  bool FEnabled = true;
  std::unique_ptr<TLPMasterPumping> FMasterPumping;
  std::optional<TALWaveFormatExtensible> FWaveFormat;
};

}  // namespace sib
